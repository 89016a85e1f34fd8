// Shared by the format tests: images built from rows,
// their colours, saving to and loading from memory, the peer samples under
// tests/data/<format>/peer and the peer check of files we write.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

#include "rastrix/rastrix.h"
#include "rastrix/rpb.h"
#include "support/engine_fixture.h"
#include "support/files.h"
#include "support/peers.h"

namespace rast {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

inline Bytes slurp(const fs::path& path) { return file_bytes(path); }
inline void spill(const fs::path& path, const Bytes& b) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), b.size());
}

inline Bytes cat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

inline int64_t stride_of(int64_t width, int64_t bits) { return (bits * width + 31) / 32 * 4; }

// An image from rows given top first (packed, stride-padded or not) and a
// palette of (red, green, blue) entries.
struct Picture {
  int32_t width = 0, height = 0, bits = 0;
  std::vector<Bytes> rows;
  std::vector<std::array<uint8_t, 3>> palette;
};

inline RX_HIMAGE image_of(const Picture& p) {
  Bytes dib(40);
  RX_BITMAPINFOHEADER h{};
  RPb_DIB_init(&h, p.width, p.height, p.bits, 0, 2835, 2835);
  std::memcpy(dib.data(), &h, 40);
  if (p.bits <= 8)
    for (int32_t i = 0; i < (1 << p.bits); ++i) {
      const auto c = i < static_cast<int32_t>(p.palette.size()) ? p.palette[i] : std::array<uint8_t, 3>{};
      dib.insert(dib.end(), {c[2], c[1], c[0], 0});
    }
  const auto stride = static_cast<size_t>(stride_of(p.width, p.bits));
  for (int32_t r = p.height - 1; r >= 0; --r) {
    Bytes row = p.rows.at(r);
    row.resize(stride);
    dib.insert(dib.end(), row.begin(), row.end());
  }
  RX_HIMAGE image = 0;
  EXPECT_EQ(RX_image_create_from_DIB(dib.data(), dib.size(), &image), 0);
  return image;
}

// Every pixel as red, green, blue, top row first: the layout of the .rgb
// files.
inline Bytes rgb_of(RX_HIMAGE image) {
  int32_t w = 0, h = 0, bits = 0;
  RX_image_dimensions_get(image, &w, &h, &bits);
  const RX_RGBQUAD* pal = RPb_palette_pointer_get(reinterpret_cast<IMAGE_REC*>(image));
  Bytes out, row(stride_of(w, bits));
  for (int32_t r = 0; r < h; ++r) {
    RX_DIB_raster_get(image, r, row.data(), RX_ROW_PACKED);
    for (int32_t x = 0; x < w; ++x) {
      if (bits == 24) {
        out.insert(out.end(), {row[3 * x + 2], row[3 * x + 1], row[3 * x]});
        continue;
      }
      const int32_t bit = x * bits;
      const uint32_t i = (row[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
      out.insert(out.end(), {pal[i].rgbRed, pal[i].rgbGreen, pal[i].rgbBlue});
    }
  }
  return out;
}

inline Bytes rgb_of(const Picture& p) {
  RX_HIMAGE image = image_of(p);
  Bytes out = rgb_of(image);
  RX_image_delete(image);
  return out;
}

// Saves to memory; the error count, and the file in `out`.
inline int32_t save(RX_HIMAGE image, uint32_t format_word, Bytes* out, size_t capacity = 1 << 20) {
  Bytes file(capacity);
  int32_t size = 0;
  const int32_t n = RX_image_save_memory(image, file.data(), 0, static_cast<int32_t>(file.size()), 0,
                                         1, format_word, &size);
  file.resize(static_cast<size_t>(std::max(size, 0)));
  *out = file;
  return n;
}

// Loads page `page` from memory; 0 on failure (the error stack says why).
inline RX_HIMAGE load(const Bytes& file, int32_t page = 1) {
  RX_HIMAGE image = 0;
  RX_image_load_memory(file.data(), static_cast<int32_t>(file.size()), page, 1, &image);
  return image;
}

// The error codes of a file whose page must not load (a failure of the
// test when it does).
inline std::vector<int32_t> refusal(const Bytes& file, int32_t page = 1) {
  const RX_HIMAGE image = load(file, page);
  const std::vector<int32_t> codes = error_codes();
  EXPECT_EQ(image, 0u) << "page " << page << " loaded";
  if (image != 0) RX_image_delete(image);
  return codes;
}

// The colours of page `page` of a file, empty when it does not load.
inline Bytes rgb_loaded(const Bytes& file, int32_t page = 1) {
  RX_HIMAGE image = load(file, page);
  if (image == 0) return {};
  Bytes out = rgb_of(image);
  RX_image_delete(image);
  return out;
}

inline fs::path data_dir(const std::string& format) { return fs::path(RX_TEST_DATA_DIR) / format; }

// The peer samples of a format with the file extension `ext`.
inline std::vector<fs::path> peer_samples(const std::string& format, const std::string& ext) {
  std::vector<fs::path> out;
  for (const auto& e : fs::directory_iterator(data_dir(format) / "peer"))
    if (e.path().extension() == ext) out.push_back(e.path());
  std::sort(out.begin(), out.end());
  return out;
}

// Every peer sample NAME.EXT of a format loads with the colours of
// NAME.rgb, page N past the first with those of NAME.pN.rgb; at least
// `least` files.
inline void peer_files_load(const std::string& format, const std::string& ext, int least) {
  int files = 0;
  for (const fs::path& path : peer_samples(format, ext)) {
    const Bytes file = slurp(path);
    int32_t pages = 0;
    ASSERT_EQ(RX_memory_page_count_get(file.data(), static_cast<int32_t>(file.size()), &pages), 0) << path;
    for (int32_t page = 1; page <= pages; ++page) {
      fs::path want = path;
      want.replace_extension(page == 1 ? ".rgb" : ".p" + std::to_string(page) + ".rgb");
      EXPECT_EQ(rgb_loaded(file, page), slurp(want)) << want.filename();
    }
    ++files;
  }
  EXPECT_GE(files, least);
}

// Every file under tests/data/<format>/bad must fail to load, leaving no
// image and an error; information and page counts must not crash either.
inline void bad_files_fail(const std::string& format) {
  const fs::path dir = data_dir(format) / "bad";
  ASSERT_TRUE(fs::is_directory(dir)) << dir;
  int files = 0;
  for (const auto& e : fs::directory_iterator(dir)) {
    const Bytes b = slurp(e.path());
    RX_HIMAGE image = 0;
    const auto n = static_cast<int32_t>(b.size());
    EXPECT_NE(RX_image_load_memory(b.data(), n, 1, 1, &image), 0) << e.path();
    EXPECT_EQ(image, 0u) << e.path();
    int32_t format_code = 0, pages = 0;
    RX_memory_info_get(b.data(), n, 1, &format_code, nullptr, nullptr);
    RX_memory_page_count_get(b.data(), n, &pages);
    ++files;
  }
  EXPECT_GT(files, 0);
}

// Every file under tests/data/<format>/hostile is odd but sound (runs that
// go on past a line or the image's end): it loads with the colours in its
// .rgb file, worked out by hand.
inline void hostile_files_load(const std::string& format) {
  const fs::path dir = data_dir(format) / "hostile";
  ASSERT_TRUE(fs::is_directory(dir)) << dir;
  int files = 0;
  for (const auto& e : fs::directory_iterator(dir)) {
    if (e.path().extension() == ".rgb") continue;
    EXPECT_EQ(rgb_loaded(slurp(e.path())), slurp(fs::path(e.path()).replace_extension(".rgb")))
        << e.path();
    ++files;
  }
  EXPECT_GT(files, 0);
}

// A folder for files that a peer checks; removed when the test passed.
struct PeerDir {
  fs::path dir;
  explicit PeerDir(const std::string& name)
      : dir(fs::temp_directory_path() / ("rastrix_" + name + "_" + std::to_string(::getpid()))) {
    fs::create_directories(dir);
  }
  void keep(const std::string& name, const Bytes& file, const Bytes& rgb) {
    spill(dir / name, file);
    spill(dir / (fs::path(name).stem().string() + ".rgb"), rgb);
  }
  // A file of several pages, page N's colours in NAME.pN.rgb.
  void keep_pages(const std::string& name, const Bytes& file, const std::vector<Bytes>& pages) {
    spill(dir / name, file);
    for (size_t i = 0; i < pages.size(); ++i)
      spill(dir / (fs::path(name).stem().string() + ".p" + std::to_string(i + 1) + ".rgb"), pages[i]);
  }
  // Runs a peer check script on the folder: 0 when every file matched.
  int check(const std::string& script = "check_fmt_with_peers.py") const {
    const std::string cmd = std::string(rxtest::kPeersRequired ? "RX_REQUIRE_PEERS=1 " : "") +
                            RX_PEER_PYTHON " " RX_TEST_DATA_DIR "/../interop/" + script + " " + dir.string();
    return std::system(cmd.c_str());
  }
  void done(bool passed) const {
    if (passed) fs::remove_all(dir);
  }
};

// The peer check needs Pillow, ImageMagick and netpbm.
inline constexpr const char* kPeerReaders = "python3 with PIL, /usr/bin/convert and netpbm";
inline bool have_peers() {
  return rxtest::runnable(RX_PEER_PYTHON) && rxtest::runnable("/usr/bin/convert") &&
         std::system("command -v rasttopnm >/dev/null") == 0;
}

// Reads an n-byte little-endian field.
inline uint32_t le(const Bytes& b, size_t at, int n) {
  uint32_t v = 0;
  for (int k = n - 1; k >= 0; --k) v = v << 8 | b.at(at + k);
  return v;
}
inline uint32_t be32(const Bytes& b, size_t at) {
  return uint32_t{b.at(at)} << 24 | uint32_t{b.at(at + 1)} << 16 | uint32_t{b.at(at + 2)} << 8 | b.at(at + 3);
}

// A picture of every depth with varied pixels; width odd so that rows have
// padding in every layout.
inline Picture picture(int32_t bits, int32_t width = 37, int32_t height = 9) {
  Picture p{width, height, bits, {}, {}};
  if (bits <= 8)
    for (int32_t i = 0; i < (1 << bits); ++i)
      p.palette.push_back({static_cast<uint8_t>(i * 53 + 7), static_cast<uint8_t>(255 - i * 3),
                           static_cast<uint8_t>(i * 11)});
  if (bits == 1) p.palette = {{0, 0, 0}, {255, 255, 255}};
  for (int32_t y = 0; y < height; ++y) {
    Bytes row(static_cast<size_t>(stride_of(width, bits)));
    for (size_t i = 0; i < row.size(); ++i)
      // Stretches of equal bytes for the coders, and varied ones.
      row[i] = static_cast<uint8_t>(i < row.size() / 3 ? y * 7 : (i * 29 + y * 3) ^ (i / 5));
    p.rows.push_back(row);
  }
  return p;
}

}  // namespace rast
