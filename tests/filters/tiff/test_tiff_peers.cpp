// Interoperability: files that libtiff's tools, ImageMagick and Pillow
// write (tests/interop/make_tiff_samples.py) load with the pixels those
// programs decode; and files we write are read by libtiff's own programs
// without a complaint, with our pixels.
#include <algorithm>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

#include "SUPPORT/img_ctrl.h"
#include "filters/tiff/lzw_test_codec.h"
#include "filters/tiff/tiff_harness.h"
#include "rastrix/rpb.h"
#include "support/engine_fixture.h"
#include "support/peers.h"

namespace tifft {
namespace {

using TiffPeers = EngineTest;

// The pictures of the samples, and the tiles of the tiled ones.
constexpr int32_t kWidth = 45, kHeight = 29, kTile = 16;
const std::string kPeerDir = RX_TEST_DATA_DIR "/tiff/peer";

bool contains(const std::string& s, const std::string& part) { return s.find(part) != std::string::npos; }

std::vector<std::string> samples() {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(kPeerDir))
    if (e.path().extension() == ".tif") names.push_back(e.path().stem().string());
  std::sort(names.begin(), names.end());
  return names;
}

Bytes reference(const std::string& name, int32_t page) {
  const std::string suffix = page == 1 ? ".rgb" : ".p" + std::to_string(page) + ".rgb";
  return read_file(kPeerDir + "/" + name + suffix);
}

// Largest difference between two pixel lists of the same size.
int difference(const Bytes& a, const Bytes& b) {
  if (a.size() != b.size()) return 256;
  int worst = 0;
  for (size_t i = 0; i < a.size(); ++i) worst = std::max(worst, std::abs(int(a[i]) - int(b[i])));
  return worst;
}

void tiles_check(const std::string& name, const Bytes& file, const Bytes& whole) {
  const int32_t across = (kWidth + kTile - 1) / kTile, down = (kHeight + kTile - 1) / kTile;
  for (int32_t t = 0; t < across * down; ++t) {
    const Pixels p = load_pixels(file, 1, t);
    ASSERT_EQ(p.width, kTile) << name << " tile " << t;
    ASSERT_EQ(p.height, kTile) << name << " tile " << t;
    const int32_t x0 = t % across * kTile, y0 = t / across * kTile;
    for (int32_t y = 0; y < kTile && y0 + y < kHeight; ++y)
      for (int32_t x = 0; x < kTile && x0 + x < kWidth; ++x)
        for (int c = 0; c < 3; ++c)
          ASSERT_EQ(p.rgb[3 * (y * kTile + x) + c], whole[3 * ((y0 + y) * kWidth + x0 + x) + c])
              << name << " tile " << t << " at " << x << "," << y;
  }
}

TEST_F(TiffPeers, SamplesLoadWithThePixelsTheirWritersDecode) {
  LzwInstalled lzw;
  const std::vector<std::string> names = samples();
  ASSERT_GE(names.size(), 50u);
  for (const std::string& name : names) {
    const Bytes file = read_file(kPeerDir + "/" + name + ".tif");
    if (contains(name, "_refused")) {
      EXPECT_EQ(load(file), 0u) << name;
      EXPECT_EQ(error_codes(), std::vector<int32_t>{RXE_TIFF_COMPRESSION_UNSUPPORTED}) << name;
      int32_t format = 0, compression = 0;
      RX_BITMAPINFOHEADER h{};
      EXPECT_EQ(RX_memory_info_get(file.data(), static_cast<int32_t>(file.size()), 1, &format,
                                   &compression, &h),
                0)
          << name;
      EXPECT_EQ(h.biWidth, kWidth) << name;
      continue;
    }
    int32_t pages = 0;
    ASSERT_EQ(RX_memory_page_count_get(file.data(), static_cast<int32_t>(file.size()), &pages), 0) << name;
    for (int32_t page = 1; page <= pages; ++page) {
      const Bytes expected = reference(name, page);
      ASSERT_FALSE(expected.empty()) << name << " page " << page;
      if (contains(name, "tiles")) {
        tiles_check(name, file, expected);
        continue;
      }
      const Pixels p = load_pixels(file, page);
      ASSERT_EQ(p.width, kWidth) << name << " page " << page;
      ASSERT_EQ(p.height, kHeight) << name << " page " << page;
      // JPEG decoders may round their inverse DCTs otherwise; ImageMagick
      // rounds 16-bit colour map values where the reader takes their high
      // byte.
      const int allowed = contains(name, "jpeg") ? 4 : name == "im_pal" ? 1 : 0;
      EXPECT_LE(difference(p.rgb, expected), allowed) << name << " page " << page;
    }
  }
}

TEST_F(TiffPeers, TheFillOrderOptionOverridesTheFile) {
  // libtiff's Group 4 sample stored least significant bit first, with its
  // FillOrder field made to claim the other order.
  Bytes file = read_file(kPeerDir + "/tc_bw_g4_lsb.tif");
  const Bytes expected = reference("tc_bw_g4_lsb", 1);
  ASSERT_EQ(load_pixels(file).rgb, expected);
  const uint32_t ifd = file[4] | file[5] << 8 | file[6] << 16 | file[7] << 24;
  const uint32_t n = file[ifd] | file[ifd + 1] << 8;
  bool patched = false;
  for (uint32_t i = 0; i < n; ++i) {
    const uint32_t e = ifd + 2 + 12 * i;
    if ((file[e] | file[e + 1] << 8) == 266) {
      file[e + 8] = 1;
      patched = true;
    }
  }
  ASSERT_TRUE(patched);
  EXPECT_NE(load_pixels(file).rgb, expected);
  RX_image_control_set(RX_OPTION_TIFF_FILL_ORDER, 2);
  EXPECT_EQ(load_pixels(file).rgb, expected);
  RX_image_control_set(RX_OPTION_TIFF_FILL_ORDER, 0xFFFF);
}

// Damaged and hostile files (tests/interop/make_tiff_bad_samples.py): each
// is refused with the code that names its fault, with no image made, and
// counting its pages ends. Their last page is loaded: in the loop_ files
// that is the damaged one.
TEST_F(TiffPeers, DamagedFilesGiveOnlyTheirError) {
  const std::map<std::string, int32_t> expected = {
      {"header_cut_short", RXE_CANT_READ_HEADER},
      {"first_directory_past_end", RXE_INVALID_TIFF_IFD},
      {"directory_of_65535_entries", RXE_INVALID_TIFF_TAG},
      {"width_zero", RXE_TIFF_INVALID_IMAGE_DIMENSION},
      {"strip_offset_past_end", RXE_CANT_READ_PIXEL_DATA},
      {"strip_byte_count_past_end", RXE_CANT_READ_PIXEL_DATA},
      {"strips_4000000", RXE_TIFF_CANT_READ_TAG_DATA},
      {"colormap_past_end", RXE_TIFF_CANT_READ_TAG_DATA},
      {"kib_claims_gigabytes_none", RXE_CANT_READ_PIXEL_DATA},
      {"kib_claims_gigabytes_packbits", RXE_CANT_READ_PIXEL_DATA},
      {"kib_claims_gigabytes_g4", RXE_CANT_READ_PIXEL_DATA},
      {"g4_at_depth_8", RXE_TIFF_DEPTH_INVALID_FOR_COMPRESSION},
      {"compression_7", RXE_TIFF_COMPRESSION_UNSUPPORTED},
      {"compression_8_deflate", RXE_TIFF_COMPRESSION_UNSUPPORTED},
      {"compression_32946_deflate", RXE_TIFF_COMPRESSION_UNSUPPORTED},
      {"planar_2_ycbcr", RXE_TIFF_PLANAR_CONFIG_ERROR},
      {"planar_3", RXE_TIFF_PLANAR_CONFIG_ERROR},
      {"samples_per_pixel_0", RXE_TIFF_INVALID_BITS_PER_SAMPLE},
      {"g4_run_past_width", RXE_CANT_READ_PIXEL_DATA},
      {"loop_onto_itself", RXE_TIFF_INVALID_IMAGE_DIMENSION},
      {"loop_back_to_first", RXE_TIFF_INVALID_IMAGE_DIMENSION},
      // 280 bytes of JPEG whose frame is 21,549 x 1,309 pixels.
      {"jpeg_stream_claims_28_megapixels", RXE_CANT_READ_PIXEL_DATA},
  };
  size_t seen = 0;
  for (const auto& e : std::filesystem::directory_iterator(RX_TEST_DATA_DIR "/tiff/bad")) {
    if (e.path().extension() != ".tif") continue;
    const std::string name = e.path().stem().string();
    const auto want = expected.find(name);
    ASSERT_NE(want, expected.end()) << name << " has no expected code";
    ++seen;
    const Bytes file = read_file(e.path().string());
    int32_t count = 0;
    RX_memory_page_count_get(file.data(), static_cast<int32_t>(file.size()), &count);
    EXPECT_LE(count, 2) << name;
    RX_HIMAGE image = 0;
    EXPECT_NE(RX_image_load_memory(file.data(), static_cast<int32_t>(file.size()), 65535, 0, &image), 0)
        << name;
    EXPECT_EQ(image, 0u) << name;
    const std::vector<int32_t> codes = error_codes();
    ASSERT_FALSE(codes.empty()) << name;
    EXPECT_EQ(codes.front(), want->second) << name;
  }
  EXPECT_EQ(seen, expected.size());
}

// The files of ours that the interop check gives libtiff's programs
// (tests/data/tiff/ours) still load with the pixels they were written from.
TEST_F(TiffPeers, OurKeptFilesLoadWithTheirPixels) {
  LzwInstalled lzw;
  const std::string dir = RX_TEST_DATA_DIR "/tiff/ours";
  size_t files = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir)) {
    if (e.path().extension() != ".tif") continue;
    ++files;
    const std::string stem = dir + "/" + e.path().stem().string();
    const Bytes file = read_file(e.path().string());
    for (int32_t page = 1; std::filesystem::exists(stem + ".p" + std::to_string(page) + ".rgb"); ++page)
      EXPECT_EQ(load_pixels(file, page).rgb, read_file(stem + ".p" + std::to_string(page) + ".rgb"))
          << stem << " page " << page;
  }
  EXPECT_GE(files, 30u);
}

#if RX_HAVE_PEER_LIBTIFF
void byte_order_set(uint16_t order) { std::memcpy(rx::options_record()->tiff + 12, &order, 2); }

// Our files, every compression and both byte orders, new, appended and
// inserted pages among them, read by libtiff's programs: tiffinfo reads
// every directory without a warning and tiff2rgba decodes our pixels.
// Each NAME.tif goes with NAME.pN.rgb for its pages.
// With RX_TIFF_KEEP_OURS set to a directory the files are made there: that
// is how tests/data/tiff/ours, which the interop check reads, was made.
TEST_F(TiffPeers, LibtiffProgramsReadWhatWeWrite) {
  RX_NEED_PEER(rxtest::runnable(RX_PEER_PYTHON), "python3 with PIL");
  RX_NEED_PEER(rxtest::runnable("/usr/bin/tiffinfo") && rxtest::runnable("/usr/bin/tiff2rgba") &&
                   rxtest::runnable("/usr/bin/tiffcp"),
               "libtiff's programs (libtiff-tools)");
  LzwInstalled lzw;
  const char* keep = std::getenv("RX_TIFF_KEEP_OURS");
  const std::string dir = keep != nullptr ? std::string(keep) : temp_dir();
  struct Case {
    int32_t bits, compression;
  };
  const Case cases[] = {{1, 0}, {1, 1}, {1, 2}, {1, 3}, {1, 4}, {1, 5}, {1, 8}, {4, 0}, {4, 1},
                        {8, 0}, {8, 1}, {8, 8}, {24, 0}, {24, 1}, {24, 8}};
  for (uint16_t order : {0, 1}) {
    byte_order_set(order);
    for (const Case& c : cases) {
      RX_HIMAGE first = picture(37, 23, c.bits, 7), second = picture(29, 31, c.bits, 8);
      Bytes file;
      // A page, one inserted before it, one appended.
      ASSERT_EQ(save(first, &file, c.compression), 0);
      ASSERT_EQ(save(second, &file, c.compression, 1), 0);
      ASSERT_EQ(save(first, &file, c.compression), 0);
      const std::string name = std::string(order != 0 ? "mm_" : "ii_") + std::to_string(c.bits) +
                               "_" + std::to_string(c.compression);
      write_file(dir + "/" + name + ".tif", file);
      write_file(dir + "/" + name + ".p1.rgb", pixels_of(second).rgb);
      write_file(dir + "/" + name + ".p2.rgb", pixels_of(first).rgb);
      write_file(dir + "/" + name + ".p3.rgb", pixels_of(first).rgb);
      RX_image_delete(first);
      RX_image_delete(second);
    }
  }
  byte_order_set(0);
  // Pages added to libtiff's big-endian file.
  Bytes file = read_file(kPeerDir + "/tc_rgb_mm.tif");
  RX_HIMAGE bw = picture(40, 20, 1, 9);
  ASSERT_EQ(save(bw, &file, 4, 1), 0);
  ASSERT_EQ(save(bw, &file, 5), 0);
  write_file(dir + "/seeded.tif", file);
  write_file(dir + "/seeded.p1.rgb", pixels_of(bw).rgb);
  write_file(dir + "/seeded.p2.rgb", reference("tc_rgb_mm", 1));
  write_file(dir + "/seeded.p3.rgb", pixels_of(bw).rgb);
  RX_image_delete(bw);
  const std::string check =
      std::string(RX_PEER_PYTHON) + " " RX_TEST_DATA_DIR "/../interop/check_tiff_with_libtiff.py " + dir;
  EXPECT_EQ(std::system(check.c_str()), 0);
}
#endif

}  // namespace
}  // namespace tifft
