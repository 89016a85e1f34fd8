#include "filters/jpeg/jpeg_test_util.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "IO/io_rec.h"
#include "filters/jpeg/jpeg.h"
#include "filters/jpeg/jpeg_tables.h"
#include "rastrix/rastrix.h"
#include "rastrix/rpb.h"
#include "support/files.h"
#include "support/peers.h"

namespace jpegtest {
namespace fs = std::filesystem;

// ---- capturing callbacks -------------------------------------------------

int Capture::stride() const {
  return ((header.biBitCount * header.biWidth + 31) / 32) * 4;
}

bool Capture::complete() const {
  if (creates != 1 || !violation.empty()) return false;
  for (int d : delivered)
    if (d != 1) return false;
  return true;
}

namespace {

Capture* capture_of(IO_REC* io) { return reinterpret_cast<Capture*>(io->cb_data[RX_CBD_RASTER_SET]); }

int32_t capture_create(IO_REC* io, const RX_BITMAPINFOHEADER* h, const RX_RGBQUAD* palette) {
  Capture* c = capture_of(io);
  ++c->creates;
  c->header = *h;
  if (palette != nullptr) c->palette.assign(palette, palette + 256);
  if (h->biWidth <= 0 || h->biHeight <= 0) {
    c->violation = "bad image size";
    return 1;
  }
  // Damaged files may ask for large images; the tests keep to small ones,
  // refusing as a pipeline short of memory would.
  if (int64_t{h->biWidth} * h->biHeight > (1 << 22))
    return RPb_AF_error_set("test", 1, RXE_GLOBAL_MEMORY_DEPLETED, h->biWidth, h->biHeight) != 0;
  c->rows.assign(static_cast<size_t>(h->biHeight), Bytes{});
  c->delivered.assign(static_cast<size_t>(h->biHeight), 0);
  return 0;
}

int32_t capture_row(IO_REC* io, const uint8_t* row, int32_t r, int32_t n) {
  Capture* c = capture_of(io);
  if (c->creates != 1 || r < 0 || r >= c->header.biHeight || n != c->stride()) {
    c->violation = "row " + std::to_string(r) + " of " + std::to_string(n) + " bytes";
    return 1;
  }
  c->rows[r].assign(row, row + n);
  ++c->delivered[r];
  if (r == c->refuse_row) return RPb_AF_error_set("test", 1, RXE_INTERRUPTED_BY_USER, r, 0) != 0;
  return 0;
}

int32_t capture_tag(uintptr_t user, int32_t id, int32_t type, uintptr_t data, int32_t count) {
  auto* tags = reinterpret_cast<std::vector<TagReport>*>(user);
  TagReport t{id, type, count, {}};
  if (type == 2 || type == 13) {
    const auto* p = reinterpret_cast<const uint8_t*>(data);
    t.data.assign(p, p + count);
  } else {
    for (int i = 0; i < count; ++i) t.data.push_back(static_cast<uint8_t>(data >> (8 * i)));
  }
  tags->push_back(t);
  return 0;
}

std::vector<int32_t> codes_now() {
  std::vector<int32_t> out;
  for (int32_t i = 0; i < RPb_AF_error_check(); ++i) {
    int32_t line, code, iv, lv;
    char name[16];
    RX_error_get(i, name, sizeof name, &line, &code, &iv, &lv);
    out.push_back(code);
  }
  return out;
}

// A stream over `copy`, the file with one byte more: a block of at least
// one byte, even for an empty file.
IO_REC reading(Bytes* copy) {
  const auto size = static_cast<int32_t>(copy->size());
  copy->push_back(0);
  IO_REC io{};
  RPb_IO_inst_lookup(&io);
  rx::io_memory_attach(&io, copy->data(), size, size);
  RPb_AF_error_clear();
  return io;
}

void finish(Outcome* run, IO_REC* io) {
  run->codes = codes_now();
  run->position = RPb_IO_tell(io);
}

}  // namespace

Outcome read(const Bytes& file, int refuse_row, bool with_tags) {
  Outcome run;
  run.cap.refuse_row = refuse_row;
  Bytes copy = file;
  IO_REC io = reading(&copy);
  io.dib_create = capture_create;
  io.raster_set = capture_row;
  io.cb_data[RX_CBD_RASTER_SET] = reinterpret_cast<uintptr_t>(&run.cap);
  if (with_tags) {
    io.tag_set = capture_tag;
    io.tag_set_data = reinterpret_cast<uintptr_t>(&run.tags);
  }
  run.result = rx::jpeg_read(&io, nullptr, 1, 1);
  finish(&run, &io);
  return run;
}

Outcome info(const Bytes& file, RX_BITMAPINFOHEADER* header, RX_RGBQUAD* palette,
         int32_t* compression) {
  Outcome run;
  Bytes copy = file;
  IO_REC io = reading(&copy);
  run.result = rx::jpeg_info(&io, header, palette, compression, nullptr, 1);
  finish(&run, &io);
  return run;
}

// ---- hand-made files -----------------------------------------------------

namespace {

Bytes dht_body(uint8_t id, const rx::jpeg::HuffmanSpec& table) {
  Bytes b{id};
  b.insert(b.end(), table.bits.begin(), table.bits.end());
  b.insert(b.end(), table.values, table.values + table.count);
  return b;
}

// Bits MSB first, padded with ones; restart markers between intervals.
struct BitWriter {
  Bytes out;
  uint32_t acc = 0;
  int n = 0;
  void put(uint32_t bits, int len) {
    for (int i = len - 1; i >= 0; --i) {
      acc = acc << 1 | ((bits >> i) & 1);
      if (++n == 8) flush_byte();
    }
  }
  void flush_byte() {
    out.push_back(static_cast<uint8_t>(acc));
    if (acc == 0xFF) out.push_back(0);
    acc = 0;
    n = 0;
  }
  void align() {
    while (n != 0) put(1, 1);
  }
};

// A DC difference with the usual luminance DC codes.
void dc_put(BitWriter* w, int diff) {
  static const uint16_t kCode[12] = {0, 2, 3, 4, 5, 6, 14, 30, 62, 126, 254, 510};
  static const int kLength[12] = {2, 3, 3, 3, 3, 3, 4, 5, 6, 7, 8, 9};
  int cat = 0;
  while ((std::abs(diff) >> cat) != 0) ++cat;
  w->put(kCode[cat], kLength[cat]);
  if (cat > 0) w->put(static_cast<uint32_t>(diff < 0 ? diff - 1 : diff) & ((1u << cat) - 1), cat);
}

}  // namespace

Bytes jfif_body(uint16_t xd, uint16_t yd, uint8_t tw, uint8_t th) {
  return Bytes{'J', 'F', 'I', 'F', 0, 1, 1, 0, static_cast<uint8_t>(xd >> 8),
               static_cast<uint8_t>(xd), static_cast<uint8_t>(yd >> 8), static_cast<uint8_t>(yd),
               tw, th};
}

Builder& Builder::make() {
  segs.clear();
  segs.push_back({0xE0, jfif_body(72, 72)});
  segs.push_back({0xDB, Bytes(65, 1)});
  segs.back().body[0] = 0;
  segs.push_back({0xC4, dht_body(0x00, rx::jpeg::kDcLuminance)});
  segs.push_back({0xC4, dht_body(0x10, rx::jpeg::kAcLuminance)});
  if (restart != 0)
    segs.push_back({0xDD, Bytes{static_cast<uint8_t>(restart >> 8), static_cast<uint8_t>(restart)}});
  Bytes sof{8, static_cast<uint8_t>(height >> 8), static_cast<uint8_t>(height),
            static_cast<uint8_t>(width >> 8), static_cast<uint8_t>(width), static_cast<uint8_t>(comps)};
  Bytes sos{static_cast<uint8_t>(comps)};
  int hmax = 1, vmax = 1;
  for (int i = 0; i < comps; ++i) {
    sof.insert(sof.end(), {static_cast<uint8_t>(i + 1), sampling[i], 0});
    sos.insert(sos.end(), {static_cast<uint8_t>(i + 1), 0x00});
    hmax = std::max(hmax, sampling[i] >> 4);
    vmax = std::max(vmax, sampling[i] & 15);
  }
  if (comps == 1) hmax = vmax = 1;
  sos.insert(sos.end(), {0, 63, 0});
  segs.push_back({0xC0, sof});
  segs.push_back({0xDA, sos});
  const int mcus = ((width + 8 * hmax - 1) / (8 * hmax)) * ((height + 8 * vmax - 1) / (8 * vmax));
  BitWriter w;
  for (int m = 0; m < mcus; ++m) {
    if (restart != 0 && m > 0 && m % restart == 0) {
      w.align();
      w.out.push_back(0xFF);
      w.out.push_back(static_cast<uint8_t>(0xD0 + (m / restart - 1) % 8));
    }
    const bool reset = m == 0 || (restart != 0 && m % restart == 0);
    for (int c = 0; c < comps; ++c) {
      const int n = comps == 1 ? 1 : (sampling[c] >> 4) * (sampling[c] & 15);
      for (int b = 0; b < n; ++b) {
        // The predictor starts at 0 after each reset; 8 per unit of level
        // with quantisation values of 1.
        dc_put(&w, reset && b == 0 ? 8 * level[c] : 0);
        w.put(0b1010, 4);  // end of block
      }
    }
  }
  w.align();
  entropy = w.out;
  return *this;
}

Bytes Builder::bytes() const {
  Bytes f{0xFF, 0xD8};
  for (const Segment& s : segs) {
    const size_t len = s.body.size() + 2;
    f.insert(f.end(), {0xFF, s.marker, static_cast<uint8_t>(len >> 8), static_cast<uint8_t>(len)});
    f.insert(f.end(), s.body.begin(), s.body.end());
  }
  f.insert(f.end(), entropy.begin(), entropy.end());
  f.insert(f.end(), {0xFF, 0xD9});
  return f;
}

Segment* Builder::find(uint8_t marker) {
  for (Segment& s : segs)
    if (s.marker == marker) return &s;
  return nullptr;
}

void Builder::insert_before(uint8_t marker, Segment s) {
  for (size_t i = 0; i < segs.size(); ++i) {
    if (segs[i].marker == marker) {
      segs.insert(segs.begin() + static_cast<ptrdiff_t>(i), std::move(s));
      return;
    }
  }
  segs.push_back(std::move(s));
}

// ---- peer tools ----------------------------------------------------------

namespace {

fs::path temp_dir() {
  static fs::path dir = [] {
    std::string t = (fs::temp_directory_path() / "rx_jpeg_XXXXXX").string();
    const char* made = mkdtemp(t.data());
    return fs::path(made != nullptr ? made : "/tmp");
  }();
  return dir;
}

void spit(const fs::path& p, const Bytes& b) {
  std::ofstream out(p, std::ios::binary);
  out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

std::string unique_name(const char* ext) {
  static int n = 0;
  return "f" + std::to_string(getpid()) + "_" + std::to_string(n++) + ext;
}

// Runs a peer program on `input` written to a file of extension `in_ext`;
// the bytes of its output file, none if it failed.
Bytes run_peer(const char* program, const std::string& options, const Bytes& input,
               const char* in_ext, const char* out_ext) {
  const fs::path in = temp_dir() / unique_name(in_ext);
  const fs::path out = temp_dir() / unique_name(out_ext);
  spit(in, input);
  const std::string cmd =
      std::string(program) + " " + options + " -outfile " + out.string() + " " + in.string();
  Bytes result;
  if (std::system(cmd.c_str()) == 0) result = file_bytes(out);
  fs::remove(in);
  fs::remove(out);
  return result;
}

}  // namespace

bool peer_available() { return rxtest::runnable(RX_PEER_CJPEG) && rxtest::runnable(RX_PEER_DJPEG); }

Bytes picture(int w, int h, int channels, uint32_t seed, bool mid_range) {
  Bytes px(static_cast<size_t>(w) * h * channels);
  uint32_t s = seed * 2654435761u + 1;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      s = s * 1664525u + 1013904223u;
      const int noise = static_cast<int>(s >> 27) - 16;
      for (int c = 0; c < channels; ++c) {
        int v = (x * 255 / std::max(1, w - 1) * (c + 1) + y * 200 / std::max(1, h - 1)) / (c + 2);
        if (((x / 7) + (y / 5) + c) % 3 == 0) v += 90;  // edges
        v += noise * (c + 1) / 2;
        if (mid_range) v = 70 + v % 110;
        px[(static_cast<size_t>(y) * w + x) * channels + c] =
            static_cast<uint8_t>(std::clamp(v, 0, 255));
      }
    }
  }
  return px;
}

Bytes peer_encode(const Bytes& pixels, int w, int h, int channels, const std::string& options) {
  std::string head = (channels == 3 ? "P6\n" : "P5\n") + std::to_string(w) + " " +
                     std::to_string(h) + "\n255\n";
  Bytes file(head.begin(), head.end());
  file.insert(file.end(), pixels.begin(), pixels.end());
  return run_peer(RX_PEER_CJPEG, options, file, channels == 3 ? ".ppm" : ".pgm", ".jpg");
}

Bytes peer_decode(const Bytes& file, int* w, int* h, int* channels) {
  const Bytes pnm = run_peer(RX_PEER_DJPEG, "-nosmooth -pnm", file, ".jpg", ".pnm");
  int maxval = 0, used = 0;
  char kind[3] = {};
  if (pnm.empty() || std::sscanf(reinterpret_cast<const char*>(pnm.data()), "%2s %d %d %d%n", kind,
                                 w, h, &maxval, &used) != 4)
    return {};
  *channels = kind[1] == '6' ? 3 : 1;
  return Bytes(pnm.begin() + used + 1, pnm.end());
}

fs::path data_dir() { return fs::path(RX_TEST_DATA_DIR) / "jpeg"; }

}  // namespace jpegtest
