// The JPEG writer: the transform against the exact DCT, fast kernels
// against the plain ones, the Huffman bit stream, the marker segments and
// the tag exchange, failures, and a peer decoder reading every file we make.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "IO/io_rec.h"
#include "SUPPORT/dib_size.h"
#include "SUPPORT/kernels.h"
#include "SUPPORT/mem_tag.h"
#include "SUPPORT/dib_builder.h"
#include "filters/jpeg/jpeg.h"
#include "filters/jpeg/jpeg_bands.h"
#include "filters/jpeg/jpeg_enc_kernels.h"
#include "filters/jpeg/jpeg_encode.h"
#include "filters/jpeg/jpeg_fdct.h"
#include "filters/jpeg/jpeg_huff_enc.h"
#include "filters/jpeg/jpeg_quant.h"
#include "filters/jpeg/jpeg_tables.h"
#include "filters/jpeg/jpeg_paths.h"
#include "filters/jpeg/jpeg_test_util.h"
#include "support/engine_fixture.h"
#include "support/peers.h"

namespace {

using namespace jpegpath;

namespace enc = rx::jpeg::enc;
using rx::JPEG_SAVE_OPTIONS;

constexpr double kPi = 3.14159265358979323846;
const uint32_t kSamplingCodes[] = {0x111111, 0x211111, 0x121111, 0x221111, 0x222121, 0x421111,
                                   0x241111, 0x411111, 0x141111, 0x412121, 0x141212, 0x442222};

// ---- Blocks and the exact transform -----------------------------------------

using Block = std::array<int8_t, 64>;

std::array<double, 64> exact_dct(const Block& b) {
  std::array<double, 64> out{};
  for (int u = 0; u < 8; ++u)
    for (int v = 0; v < 8; ++v) {
      double s = 0;
      for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 8; ++j)
          s += b[i * 8 + j] * std::cos((2 * i + 1) * u * kPi / 16) * std::cos((2 * j + 1) * v * kPi / 16);
      out[u * 8 + v] = s / 4 * (u == 0 ? M_SQRT1_2 : 1) * (v == 0 ? M_SQRT1_2 : 1);
    }
  return out;
}

std::array<int32_t, 64> fdct(const Block& b, enc::FdctFn fn = enc::fdct_fast) {
  std::array<int32_t, 64> out{};
  fn(b.data(), 8, out.data());
  return out;
}

Block pattern_block(int u, int v, double amplitude) {
  Block b{};
  for (int i = 0; i < 8; ++i)
    for (int j = 0; j < 8; ++j)
      b[i * 8 + j] = static_cast<int8_t>(std::lround(
          amplitude * std::cos((2 * i + 1) * u * kPi / 16) * std::cos((2 * j + 1) * v * kPi / 16)));
  return b;
}

Block random_block(std::mt19937& rng, int spread = 256) {
  Block b{};
  std::uniform_int_distribution<int> d(-spread / 2, spread / 2 - 1);
  for (int8_t& s : b) s = static_cast<int8_t>(d(rng));
  return b;
}

TEST(JpegWriteDct, TellingValues) {
  Block flat;
  flat.fill(100);
  const auto f = fdct(flat);
  EXPECT_EQ(f[0], 800);
  for (int k = 1; k < 64; ++k) EXPECT_EQ(f[k], 0) << k;
  const Block p77 = pattern_block(7, 7, 100);
  EXPECT_NEAR(exact_dct(p77)[63], 399.7, 0.01);
  EXPECT_EQ(fdct(p77)[63], 403) << "(7, 7) reads high by the graph's rounding";
  EXPECT_NEAR(fdct(pattern_block(0, 1, 100))[1], exact_dct(pattern_block(0, 1, 100))[1], 1.5);
}

TEST(JpegWriteDct, CloseToTheExactTransform) {
  std::mt19937 rng(11);
  double worst = 0, worst77 = 0, sum = 0;
  int over = 0, n = 0;
  for (int t = 0; t < 3000; ++t) {
    const Block b = random_block(rng, t % 2 ? 256 : 40);
    const auto f = fdct(b);
    const auto x = exact_dct(b);
    for (int k = 0; k < 64; ++k) {
      const double e = std::abs(f[k] - x[k]);
      if (k == 63) { worst77 = std::max(worst77, e); continue; }
      worst = std::max(worst, e);
      sum += e;
      over += e > 1.5;
      ++n;
    }
  }
  EXPECT_LT(worst, 2.5);
  EXPECT_LT(worst77, 6.0);
  EXPECT_LT(over, n / 100) << "nearly every coefficient within 1.5";
  EXPECT_LT(sum / n, 0.6);
}

// Every coefficient peaks on the block whose samples follow the sign of its
// basis; all must stay inside the baseline Huffman categories.
TEST(JpegWriteDct, WidestSwingStaysInBaselineRange) {
  for (int u = 0; u < 8; ++u)
    for (int v = 0; v < 8; ++v)
      for (int sign : {1, -1}) {
        Block b{};
        for (int i = 0; i < 64; ++i) {
          const double c = sign * std::cos((2 * (i / 8) + 1) * u * kPi / 16) *
                           std::cos((2 * (i % 8) + 1) * v * kPi / 16);
          b[i] = static_cast<int8_t>(c > 1e-9 ? 127 : (c < -1e-9 ? -128 : 0));
        }
        const auto f = fdct(b);
        EXPECT_GE(f[0], -1024);
        EXPECT_LE(f[0], 1016);
        for (int k = 1; k < 64; ++k) EXPECT_LE(std::abs(f[k]), 1023) << u << v;
      }
}

// The fast transform and quantiser are checked against the plain ones
// with the block row kernels.
TEST(JpegWriteQuant, ReciprocalsDivideExactly) {
  for (uint32_t d = 1; d <= 255; ++d) {
    const uint32_t r = ((1u << enc::kReciprocalShift) + d - 1) / d;
    for (uint32_t x = 0; x <= enc::kMaxCoefficient; ++x)
      ASSERT_EQ(enc::quant_magnitude(x, r), x / d) << x << " / " << d;
  }
}

// ---- Huffman codes and the bit stream ----------------------------------------

TEST(JpegWriteHuffman, DefaultCodeTables) {
  const auto& dc = enc::kDcLuminanceCodes;
  const uint32_t dc_codes[12] = {0, 2, 3, 4, 5, 6, 14, 30, 62, 126, 254, 510};
  const int32_t dc_lengths[12] = {2, 3, 3, 3, 3, 3, 4, 5, 6, 7, 8, 9};
  for (int c = 0; c < 12; ++c) {
    EXPECT_EQ(dc.code(c), dc_codes[c]) << c;
    EXPECT_EQ(dc.length(c), dc_lengths[c]) << c;
  }
  EXPECT_EQ(enc::kAcLuminanceCodes.length(0x01), 2);
  EXPECT_EQ(enc::kAcLuminanceCodes.code(0xFA), 0xFFFEu);
  EXPECT_EQ(enc::kAcLuminanceCodes.length(0xFA), 16);
  EXPECT_EQ(enc::kAcLuminanceCodes.length(0x0B), 0) << "no category 11 for AC";
  EXPECT_EQ(enc::kAcChrominanceCodes.code(0xF0), 0x3FAu);
  const uint8_t values[3] = {0, 1, 2};
  bool ok = true;
  enc::huff_code_table({{3}, values, 3}, &ok);  // three codes of length 1
  EXPECT_FALSE(ok);
}

// ---- Whole files ---------------------------------------------------------------

// An image served through the writer-side callbacks.
struct Picture {
  int32_t width = 0, height = 0, bits = 24, stride = 0;
  int32_t x_ppm = 3780, y_ppm = 3780;
  uint32_t colours_used = 0;
  std::vector<RX_RGBQUAD> palette = std::vector<RX_RGBQUAD>(256);
  std::vector<uint8_t> pixels;  // top row first
  int32_t fail_row = -1;
  bool fail_silently = false;
  uint8_t* row(int32_t r) { return pixels.data() + size_t(r) * stride; }
  const uint8_t* row(int32_t r) const { return pixels.data() + size_t(r) * stride; }
};

Picture blank(int32_t w, int32_t h, int32_t bits) {
  Picture p;
  p.width = w, p.height = h, p.bits = bits;
  p.stride = static_cast<int32_t>(rx::dib_stride(bits, w));
  p.pixels.assign(size_t(p.stride) * h, 0);
  for (int i = 0; i < 256; ++i) p.palette[i] = {uint8_t(i), uint8_t(i), uint8_t(i), 0};
  return p;
}

// Smooth shading, texture, soft noise and a few hard edges.
Picture photo(int32_t w, int32_t h, uint32_t seed = 1) {
  Picture p = blank(w, h, 24);
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> noise(-3, 3);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const double a = std::sin(x / 37.0 + y / 53.0), b = std::cos(x / 11.0) * std::sin(y / 17.0);
      const bool edge = ((x / 40) + (y / 30)) % 5 == 0;
      const double lum = 120 + 70 * a + 25 * b + (edge ? 30 : 0);
      const double rgb[3] = {lum + 30 * std::sin(y / 29.0), lum - 20 * a, lum + 35 * std::cos(x / 23.0)};
      for (int c = 0; c < 3; ++c)  // blue, green, red
        p.row(y)[3 * x + c] = static_cast<uint8_t>(std::clamp(rgb[2 - c] + noise(rng), 0.0, 255.0));
    }
  return p;
}

Picture noisy(int32_t w, int32_t h, int32_t bits, uint32_t seed) {
  Picture p = blank(w, h, bits);
  std::mt19937 rng(seed);
  for (auto& b : p.pixels) b = uint8_t(rng());
  if (bits == 8 && seed % 2)
    for (auto& q : p.palette) q = {uint8_t(rng()), uint8_t(rng()), uint8_t(rng()), 0};
  return p;
}

int32_t serve_header(IO_REC* io, RX_BITMAPINFOHEADER* h, RX_RGBQUAD* palette) {
  const auto* p = reinterpret_cast<const Picture*>(io->cb_data[RX_CBD_DIB_GET]);
  *h = {40, p->width, p->height, 1, uint16_t(p->bits), 0, 0, p->x_ppm, p->y_ppm, p->colours_used, 0};
  if (p->bits <= 8) std::memcpy(palette, p->palette.data(), (size_t{4} << p->bits));
  return 0;
}

int32_t serve_row(IO_REC* io, uint8_t* row, int32_t r, int32_t n) {
  const auto* p = reinterpret_cast<const Picture*>(io->cb_data[RX_CBD_RASTER_GET]);
  if (r == p->fail_row) {
    if (!p->fail_silently) RPb_AF_error_set("source\\test", 1, RXE_INTERRUPTED_BY_USER, r, 0);
    return 1;
  }
  EXPECT_TRUE(r >= 0 && r < p->height && n == p->stride) << r << " " << n;
  if (r < 0 || r >= p->height || n != p->stride) return 1;
  std::memcpy(row, p->row(r), size_t(n));
  return 0;
}

struct Saved {
  std::vector<uint8_t> bytes;
  std::vector<ErrorEntry> errors;
  int32_t position = 0;  // where the stream stands afterwards
};

struct Segment {
  uint8_t marker;
  size_t at;  // offset of the marker
  std::vector<uint8_t> body;  // after the length word
};

// The marker segments up to and including SOS.
std::vector<Segment> segments(const std::vector<uint8_t>& f) {
  std::vector<Segment> out;
  size_t i = 2;
  while (i + 4 <= f.size() && f[i] == 0xFF) {
    const size_t len = size_t(f[i + 2]) << 8 | f[i + 3];
    if (len < 2 || i + 2 + len > f.size()) break;
    out.push_back({f[i + 1], i, std::vector<uint8_t>(f.begin() + i + 4, f.begin() + i + 2 + len)});
    if (f[i + 1] == 0xDA) break;
    i += 2 + len;
  }
  return out;
}

const Segment* find(const std::vector<Segment>& s, uint8_t marker, int nth = 0) {
  for (const Segment& x : s)
    if (x.marker == marker && nth-- == 0) return &x;
  return nullptr;
}

class JpegWriteFile : public EngineTest {
 protected:
  rx::KernelLevelScope level_{rx::kernel_level()};  // restored after each test
  IO_REC stream(Picture& p, std::vector<uint8_t>& mem, int32_t capacity) {
    IO_REC io{};
    RPb_IO_inst_lookup(&io);
    mem.assign(size_t(capacity), 0xEE);
    rx::io_memory_attach(&io, mem.data(), capacity, 0);
    io.dib_get = serve_header;
    io.raster_get = serve_row;
    io.cb_data[RX_CBD_DIB_GET] = io.cb_data[RX_CBD_RASTER_GET] = reinterpret_cast<uintptr_t>(&p);
    io.tag_get = tag_get;
    io.tag_user_get = tag_user_get;
    io.tag_get_data = tag_data;
    return io;
  }
  Saved save(Picture& p, uint32_t quality = 100, uint32_t sampling = 0x211111,
             int32_t capacity = 1 << 22) {
    std::vector<uint8_t> mem;
    IO_REC io = stream(p, mem, capacity);
    RPb_AF_error_clear();
    uint32_t flags[7] = {1, 16, 16, 0, 0, quality, sampling};
    const int32_t count = rx::jpeg_write(&io, flags, 0, 1, 0);
    Saved s;
    s.errors = error_entries();
    EXPECT_EQ(count, int32_t(s.errors.size()));
    EXPECT_EQ(flags[5], quality) << "the caller's options stay as they were";
    EXPECT_EQ(flags[0], 1u);
    s.position = RPb_IO_tell(&io);
    mem.resize(size_t(rx::io_data_length_get(&io)));
    s.bytes = mem;
    return s;
  }
  struct Encoded {
    std::vector<uint8_t> bytes;
    rx::JPEG_WORK work;
    rx::JPEG_TABLE_POS pos{};
  };
  // Encodes `p` with the default options after `lead` bytes already in the
  // stream, asking for the table positions with luma factors h and v.
  int32_t encode(Encoded* e, Picture& p, uint16_t h, uint16_t v, size_t lead = 0) {
    IO_REC io = stream(p, e->bytes, 1 << 20);
    const std::vector<uint8_t> before(lead, 1);
    RPb_IO_write(&io, before.data(), int32_t(lead));
    RX_BITMAPINFOHEADER hd;
    RX_RGBQUAD pal[256];
    serve_header(&io, &hd, pal);
    rx::JPEG_SAVE_OPTIONS o = rx::kJpegDefaultOptions;
    e->pos.luma_h = h, e->pos.luma_v = v;
    rx::TagGuard tag;
    RPb_AF_error_clear();
    const int32_t result = rx::jpeg_encode(&io, tag.tag(), &o, &hd, pal, &e->work, &e->pos);
    e->bytes.resize(size_t(rx::io_data_length_get(&io)));
    return result;
  }
  RX_TAG_GET_CB tag_get = nullptr;
  RX_TAG_USER_GET_CB tag_user_get = nullptr;
  uintptr_t tag_data = 0;
};

uint64_t fnv1a(const std::vector<uint8_t>& v) {
  uint64_t h = 0xcbf29ce484222325ull;
  for (uint8_t b : v) h = (h ^ b) * 0x100000001b3ull;
  return h;
}

bool ends_with_eoi(const std::vector<uint8_t>& f) {
  return f.size() >= 2 && f[f.size() - 2] == 0xFF && f.back() == 0xD9;
}

TEST_F(JpegWriteFile, SegmentsInOrder) {
  Picture p = photo(21, 11);
  const Saved s = save(p, 70, 0x211111);
  ASSERT_TRUE(s.errors.empty());
  ASSERT_GT(s.bytes.size(), 2u);
  EXPECT_EQ(std::tie(s.bytes[0], s.bytes[1]), std::tuple(0xFF, 0xD8));
  EXPECT_TRUE(ends_with_eoi(s.bytes));
  const auto seg = segments(s.bytes);
  std::vector<uint8_t> order;
  for (const auto& x : seg) order.push_back(x.marker);
  EXPECT_EQ(order, (std::vector<uint8_t>{0xFE, 0xE0, 0xC0, 0xDB, 0xC4, 0xC4, 0xC4, 0xC4, 0xDA}));
  EXPECT_EQ(std::string(seg[0].body.begin(), seg[0].body.end()), "Created by Orvanta Corp.");
  EXPECT_EQ(seg[1].body, (std::vector<uint8_t>{'J', 'F', 'I', 'F', 0, 1, 0, 1, 0, 96, 0, 96, 0, 0}))
      << "3780 pixels per metre is 96 dots per inch";
  EXPECT_EQ(seg[2].body, (std::vector<uint8_t>{8, 0, 11, 0, 21, 3, 1, 0x21, 0, 2, 0x11, 1, 3, 0x11, 1}));
  EXPECT_EQ(seg[3].body.size(), 130u);
  EXPECT_EQ(seg[3].body[1], 1) << "quality 70 divides by 64: 16 x 3 / 64 is below 1";
  EXPECT_EQ(seg[3].body[64], 3 * 99 / 64);
  const uint8_t classes[4] = {0x00, 0x10, 0x01, 0x11};
  for (int t = 0; t < 4; ++t) {
    EXPECT_EQ(seg[4 + t].body[0], classes[t]);
    EXPECT_EQ(seg[4 + t].body.size(), t % 2 ? 179u : 29u);
  }
  EXPECT_EQ(seg[8].body, (std::vector<uint8_t>{3, 1, 0x00, 2, 0x11, 3, 0x11, 0, 63, 0}));
  EXPECT_EQ(s.position, int32_t(s.bytes.size()));
}

// A zero on either axis gives 96 dots per inch on both; 11811 pixels per
// metre is 300 dots per inch (0x012C).
TEST_F(JpegWriteFile, ResolutionDefaults) {
  Picture p = photo(8, 8);
  for (auto [x, y, dpi] : {std::tuple{0, 2835, 96}, {11811, 0, 300}}) {
    p.x_ppm = x, p.y_ppm = y;
    const auto app0 = find(segments(save(p).bytes), 0xE0)->body;
    const uint8_t hi = uint8_t(dpi >> 8), lo = uint8_t(dpi);
    EXPECT_EQ(std::vector<uint8_t>(app0.begin() + 8, app0.begin() + 12), (std::vector<uint8_t>{hi, lo, hi, lo}));
  }
}

TEST_F(JpegWriteFile, QualityRule) {
  const struct { uint32_t q, d; } cases[] = {{1, 1}, {11, 1}, {12, 2}, {25, 4}, {50, 19}, {75, 86},
                                             {90, 211}, {100, 384}, {0, 384}, {101, 384}, {277, 384}};
  Picture p = photo(16, 8);
  for (const auto& c : cases) {
    const auto dqt = find(segments(save(p, c.q).bytes), 0xDB)->body;
    ASSERT_EQ(dqt.size(), 130u);
    EXPECT_EQ(dqt[0], 0);
    EXPECT_EQ(dqt[65], 1);
    for (int k = 0; k < 64; ++k) {
      const int n = rx::jpeg::kZigzag[k];
      const int luma = std::clamp<int>(3 * rx::jpeg::kBaseLuminance[n] / c.d, 1, 255);
      const int chroma = std::clamp<int>(3 * rx::jpeg::kBaseChrominance[n] / c.d, 1, 255);
      ASSERT_EQ(dqt[1 + k], luma) << "quality " << c.q << " position " << k;
      ASSERT_EQ(dqt[66 + k], chroma) << "quality " << c.q << " position " << k;
    }
  }
}

TEST_F(JpegWriteFile, SamplingCodes) {
  Picture p = photo(9, 9);
  std::vector<std::pair<uint32_t, uint32_t>> cases;  // asked, written
  for (uint32_t code : kSamplingCodes)  // 4x4 is more than ten blocks per MCU: halved
    cases.push_back({code, code == 0x442222 ? 0x221111 : code});
  for (uint32_t code : {0u, 0x123456u, 0x311111u}) cases.push_back({code, 0x111111});
  for (auto [code, written] : cases) {
    const auto sof = find(segments(save(p, 90, code).bytes), 0xC0)->body;
    EXPECT_EQ(uint32_t(sof[7] << 16 | sof[10] << 8 | sof[13]), written) << std::hex << code;
  }
}

TEST_F(JpegWriteFile, GreyPaletteMakesOneComponent) {
  Picture p = noisy(10, 6, 8, 2);  // grey palette
  auto seg = segments(save(p).bytes);
  ASSERT_EQ(seg.size(), 7u);
  EXPECT_EQ(find(seg, 0xC0)->body, (std::vector<uint8_t>{8, 0, 6, 0, 10, 1, 1, 0x11, 0}));
  EXPECT_EQ(find(seg, 0xDB)->body.size(), 130u) << "both tables still";
  EXPECT_EQ(find(seg, 0xC4, 1)->body[0], 0x10);
  EXPECT_EQ(find(seg, 0xC4, 2), nullptr);
  EXPECT_EQ(find(seg, 0xDA)->body, (std::vector<uint8_t>{1, 1, 0x00, 0, 63, 0}));
  p.palette[200].rgbRed = 1;  // one coloured entry makes it colour...
  EXPECT_EQ(find(segments(save(p).bytes), 0xC0)->body[5], 3);
  p.colours_used = 200;  // ...unless it lies past the entries in use
  EXPECT_EQ(find(segments(save(p).bytes), 0xC0)->body[5], 1);
}

// 1 and 4 bits are refused before anything is written; 16 and 32 after SOI,
// which still gets its EOI while the stream moves back. The frame header
// holds a width of 16 bits.
TEST_F(JpegWriteFile, DepthChecks) {
  const std::vector<uint8_t> soi_eoi = {0xFF, 0xD8, 0xFF, 0xD9};
  const struct { int32_t w, bits, code, iVal; bool soi; } cases[] = {
      {4, 1, RXE_INVALID_BITCOUNT_FOR_FORMAT, 1, false}, {4, 4, RXE_INVALID_BITCOUNT_FOR_FORMAT, 4, false},
      {4, 16, RXE_INVALID_BIT_COUNT, 16, true},          {4, 32, RXE_INVALID_BIT_COUNT, 32, true},
      {70000, 8, RXE_PARAMETERS_OUT_OF_LIMITS, -1, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.w) + " pixels at " + std::to_string(c.bits) + " bits");
    Picture p = blank(c.w, c.w > 4 ? 1 : 4, c.bits > 8 ? 24 : c.bits);
    p.bits = c.bits;
    const Saved s = save(p);
    ASSERT_EQ(s.errors.size(), 1u);
    EXPECT_EQ(s.errors[0].code, c.code);
    if (c.iVal > 0) {
      EXPECT_EQ(s.errors[0].iVal, c.iVal);
    }
    EXPECT_EQ(s.errors[0].file, "JPGWRITE.cpp");
    EXPECT_EQ(s.bytes, c.soi ? soi_eoi : std::vector<uint8_t>{});
    EXPECT_EQ(s.position, 0);
  }
}

// Files are pinned; every path must make the same bytes, so a faster path
// can never change them unnoticed.
TEST_F(JpegWriteFile, PinnedBytesFromEveryPath) {
  struct Case { int32_t w, h, bits; uint32_t seed, quality, sampling; uint64_t hash; };
  const Case cases[] = {
      {1, 1, 24, 1, 100, 0x211111, 0x1a4657b1a06cfa91ull},
      {13, 7, 24, 2, 70, 0x211111, 0xc79a379021e828b3ull},
      {33, 17, 24, 3, 50, 0x222121, 0xe765f8c6329d8b6eull},
      {40, 24, 24, 4, 90, 0x442222, 0x385f9d02352ee3aaull},
      {17, 9, 8, 5, 100, 0x412121, 0x6a87fdad77b7e477ull},
      {17, 9, 8, 6, 25, 0x111111, 0x23f3ddbb7becfad4ull},
      {64, 16, 24, 7, 1, 0x141212, 0xa175cba7d35be0a5ull}};
  on_every_path([&] {
    for (const Case& c : cases) {
      Picture p = c.w > 20 ? photo(c.w, c.h, c.seed) : noisy(c.w, c.h, c.bits, c.seed);
      const Saved s = save(p, c.quality, c.sampling);
      ASSERT_TRUE(s.errors.empty());
      EXPECT_EQ(fnv1a(s.bytes), c.hash) << std::hex << "0x" << fnv1a(s.bytes) << " for " << std::dec
                                        << c.w << "x" << c.h;
    }
  });
}

TEST_F(JpegWriteFile, EveryPathMakesThePlainKernelsFiles) {
  std::mt19937 rng(17);
  for (int t = 0; t < 40; ++t) {
    const int32_t w = 1 + int32_t(rng() % 90), h = 1 + int32_t(rng() % 70);
    const int32_t bits = t % 3 == 0 ? 8 : 24;
    Picture p = t % 2 ? noisy(w, h, bits, uint32_t(t)) : photo(w, h, uint32_t(t));
    const uint32_t q = 1 + rng() % 100, code = kSamplingCodes[rng() % 12];
    const Saved plain = on_plain_path([&] { return save(p, q, code); });
    ASSERT_TRUE(plain.errors.empty());
    on_every_path([&] {
      EXPECT_EQ(save(p, q, code).bytes, plain.bytes)
          << w << "x" << h << " bits " << bits << " q " << q << " " << std::hex << code;
    });
  }
}

// A picture big enough for the helper thread at the default threshold,
// with an odd number of bands and the last one short.
TEST_F(JpegWriteFile, LargePictureTheSameWithAndWithoutHelper) {
  Picture p = photo(700, 410, 3);
  const Saved plain = on_plain_path([&] { return save(p, 100, 0x211111, 1 << 23); });
  ASSERT_TRUE(plain.errors.empty());
  rx::KernelLevelScope fast(rx::kernel_level_supported());
  const Saved s = save(p, 100, 0x211111, 1 << 23);
  EXPECT_EQ(s.bytes, plain.bytes);
}

// ---- Tag exchange ----------------------------------------------------------------

struct Offer {
  int32_t id, type, size;
};
std::vector<Offer> g_offers;

int32_t record_and_replace(uintptr_t, int32_t id, int32_t* type, void* buffer, int32_t size) {
  g_offers.push_back({id, *type, size});
  auto* b = static_cast<uint8_t*>(buffer);
  switch (id) {
    case 201: *reinterpret_cast<uint16_t*>(b) = 0x0102; break;
    case 203: *reinterpret_cast<uint16_t*>(b) = 300; break;
    case 207: std::strcpy(static_cast<char*>(buffer), "Hi"); break;
    case 208: std::fill(b, b + size, uint8_t{2}); break;
    case 209: b[0] = 7; break;
    case 213: *reinterpret_cast<uint16_t*>(b) = 5; break;  // fewer lines than the image
    case 216: case 229: *b = 9; break;  // renamed, and selected by the new name
    case 221: *b = 0x12; break;
    default: break;
  }
  return 0;
}

int32_t two_segments(uintptr_t, int32_t* id, int32_t* type, void* buffer, int32_t* count) {
  // The writer says how much its buffer holds.
  if (*count != 65533 || (*id != 238 && *id != 240)) return 0;
  *type = 13;
  *count = *id == 238 ? 3 : 1;
  std::memcpy(buffer, *id == 238 ? "abc" : "z", size_t(*count));
  return 1;
}

TEST_F(JpegWriteFile, EveryFieldIsOfferedAndMayBeReplaced) {
  g_offers.clear();
  tag_get = record_and_replace;
  tag_user_get = two_segments;
  Picture p = photo(16, 16);
  const Saved s = save(p, 100, 0x221111);
  ASSERT_TRUE(s.errors.empty()) << s.errors[0].code;
  std::vector<int32_t> ids;
  for (const Offer& o : g_offers) ids.push_back(o.id);
  const std::vector<int32_t> want = {207, 200, 201, 202, 203, 204, 205, 206, 212, 213, 214, 215,
                                     216, 219, 225, 217, 220, 226, 218, 221, 227, 208, 209, 228,
                                     229, 232, 230, 233, 231, 234, 235, 236, 237};
  EXPECT_EQ(ids, want);
  for (const Offer& o : g_offers) {
    const int32_t type = o.id == 207 ? 2 : (o.id == 200 || o.id == 208 || o.id == 209) ? 13
                       : (o.id == 201 || o.id == 203 || o.id == 204 || o.id == 213 || o.id == 214) ? 3 : 1;
    const int32_t size = o.id == 207 ? 25 : o.id == 200 ? 5 : type == 13 ? 64 : type == 3 ? 2 : 1;
    EXPECT_EQ(o.type, type) << o.id;
    EXPECT_EQ(o.size, size) << o.id;
  }
  const auto seg = segments(s.bytes);
  std::vector<uint8_t> order;
  for (const auto& x : seg) order.push_back(x.marker);
  EXPECT_EQ(order, (std::vector<uint8_t>{0xFE, 0xE0, 0xE1, 0xE3, 0xC0, 0xDB, 0xC4, 0xC4, 0xC4, 0xC4, 0xDA}));
  EXPECT_EQ(seg[0].body, (std::vector<uint8_t>{'H', 'i'}));
  EXPECT_EQ(seg[1].body[5], 1);
  EXPECT_EQ(seg[1].body[6], 2);
  EXPECT_EQ(seg[1].body[9], 0x2C) << "X density 300";
  EXPECT_EQ(seg[2].body, (std::vector<uint8_t>{'a', 'b', 'c'}));
  EXPECT_EQ(seg[3].body, (std::vector<uint8_t>{'z'}));
  EXPECT_EQ(seg[4].body, (std::vector<uint8_t>{8, 0, 5, 0, 16, 3, 9, 0x22, 0, 2, 0x11, 1, 3, 0x12, 1}));
  EXPECT_EQ(seg[5].body[1], 2);
  EXPECT_EQ(seg[5].body[64], 2);
  EXPECT_EQ(seg[5].body[66], 7);
  EXPECT_EQ(seg[10].body[1], 9);
}

int32_t spoil(uintptr_t which, int32_t id, int32_t*, void* buffer, int32_t) {
  auto* b = static_cast<uint8_t*>(buffer);
  if (int32_t(which) == id) *b = id == 220 ? 0x31 : id == 208 ? 0 : 0x22;
  if (int32_t(which) == 229 && id == 229) *b = 7;
  return 0;
}

TEST_F(JpegWriteFile, HeaderFieldsTheScanCannotHonour) {
  const struct { int32_t tag, code, iVal, lVal; } cases[] = {
      {229, RXE_INVALID_FILE_HEADER, 4, 4},    // selects no frame component
      {220, RXE_INVALID_FILE_HEADER, 220, 0x31},  // 3 does not divide the largest factor, 4
      {208, RXE_INVALID_FILE_HEADER, 208, 0},  // a zero quantiser
      {232, RXE_INVALID_FILE_HEADER, 232, 0x22}};  // a table never written
  tag_get = spoil;
  for (const auto& c : cases) {
    tag_data = uintptr_t(c.tag);
    Picture p = photo(16, 16);
    const Saved s = save(p, 100, 0x421111);
    ASSERT_EQ(s.errors.size(), 1u) << c.tag;
    EXPECT_EQ(s.errors[0].code, c.code);
    EXPECT_EQ(s.errors[0].iVal, c.iVal);
    EXPECT_EQ(s.errors[0].lVal, c.lVal);
    EXPECT_TRUE(ends_with_eoi(s.bytes));
    EXPECT_EQ(find(segments(s.bytes), 0xDA)->at + 14, s.bytes.size() - 2) << "no data after SOS";
  }
}

// ---- Failures on the way -------------------------------------------------------

TEST_F(JpegWriteFile, ShortStreams) {
  Picture p = photo(64, 64);
  const Saved full = save(p);
  ASSERT_TRUE(full.errors.empty());
  const Saved header = save(p, 100, 0x211111, 300);
  ASSERT_FALSE(header.errors.empty());
  EXPECT_EQ(header.errors[0].code, RXE_CANT_WRITE_HEADER);
  EXPECT_EQ(header.errors[0].file, "JPGWRITE.cpp");
  const size_t sos = find(segments(full.bytes), 0xDA)->at;
  const Saved data = save(p, 100, 0x211111, int32_t(sos + 14 + 100));
  ASSERT_FALSE(data.errors.empty());
  EXPECT_EQ(data.errors[0].code, RXE_CANT_WRITE_PIXEL_DATA);
  EXPECT_EQ(data.position, 0);
}

// The helper's buffers are extra memory: refused, the save goes on
// without the helper, with no error and the same bytes.
TEST_F(JpegWriteFile, RefusedHelperMemoryLeavesTheSerialPath) {
  Picture p = photo(2000, 64, 4);
  const Saved plain = on_plain_path([&] { return save(p, 100, 0x211111, 1 << 23); });
  ASSERT_TRUE(plain.errors.empty());
  PathScope scope({rx::kernel_level_supported(), true});
  const size_t before = rx::mem_alloc_limit_set(200000);  // one band's blocks fit, a chunk's not
  const Saved s = save(p, 100, 0x211111, 1 << 23);
  rx::mem_alloc_limit_set(before);
  EXPECT_TRUE(s.errors.empty());
  EXPECT_EQ(s.bytes, plain.bytes);
}

// A row that cannot be fetched stops the save in every path alike: the
// fetch's own error, and the same bytes, ending in EOI, written before the
// stream goes back. A fetch that fails without an entry still fails.
TEST_F(JpegWriteFile, RowFetchFailuresAlikeOnEveryPath) {
  Picture p = photo(48, 72);  // nine bands of 8 rows at 2x1
  for (int32_t fail_row : {0, 7, 8, 15, 16, 17, 20, 40, 63, 64, 71}) {
    SCOPED_TRACE("row " + std::to_string(fail_row));
    p.fail_row = fail_row;
    const Saved plain = on_plain_path([&] { return save(p); });
    ASSERT_EQ(plain.errors.size(), 1u);
    EXPECT_TRUE(ends_with_eoi(plain.bytes));
    on_every_path([&] {
      const Saved s = save(p);
      ASSERT_EQ(s.errors.size(), 1u);
      EXPECT_EQ(s.errors[0].code, RXE_INTERRUPTED_BY_USER);
      EXPECT_EQ(s.bytes, plain.bytes);
      EXPECT_EQ(s.position, 0);
    });
  }
  p.fail_row = 17;
  p.fail_silently = true;
  const Saved s = save(p);
  ASSERT_EQ(s.errors.size(), 1u);
  EXPECT_EQ(s.errors[0].code, RXE_CANT_READ_PIXEL_DATA);
  EXPECT_EQ(s.errors[0].iVal, 17);
}

TEST_F(JpegWriteFile, TablePositionsForTiff) {
  for (int bits : {24, 8}) {
    Picture p = bits == 24 ? photo(20, 12) : noisy(20, 12, 8, 4);
    Encoded e;
    ASSERT_EQ(encode(&e, p, 2, 2, 5), 0);  // the strip starts 5 bytes inside a file
    const auto& [mem, work, pos] = e;
    EXPECT_EQ(pos.start, 5u);
    EXPECT_EQ(pos.total_length, mem.size() - 5);
    // Each table's class and number stand in the byte before it.
    EXPECT_EQ(std::tie(mem[pos.quant_luma - 1], mem[pos.quant_chroma[0] - 1], mem[pos.dc_luma - 1],
                       mem[pos.ac_luma - 1]), std::tuple(0x00, 0x01, 0x00, 0x10));
    EXPECT_EQ(mem[pos.quant_luma], 1) << "quality 70: 16 x 3 / 64 rounds up to 1";
    EXPECT_EQ(pos.quant_chroma[1], pos.quant_chroma[0]);
    EXPECT_EQ(mem[pos.ac_luma + 15], 0x7D);
    EXPECT_EQ(pos.data_start, find(segments(std::vector<uint8_t>(mem.begin() + 5, mem.end())), 0xDA)->at +
                                  5 + 4 + (bits == 24 ? 10 : 6));
    EXPECT_EQ(pos.data_length, mem.size() - pos.data_start);
    EXPECT_EQ(pos.components & 0xFFFF, bits == 24 ? 3u : 1u);
    if (bits == 24) {
      EXPECT_EQ(std::tie(mem[pos.dc_chroma[0] - 1], mem[pos.ac_chroma[1] - 1]), std::tuple(0x01, 0x11));
      EXPECT_EQ(std::tie(work.component[0].sampling, work.component[1].sampling), std::tuple(0x22, 0x11));
    } else {
      EXPECT_EQ(std::tie(pos.luma_h, pos.luma_v, pos.dc_chroma[0]), std::tuple(1, 1, 0u));
    }
  }
}

// The caller's luma factors are 16 bits wide; one past a nibble must be
// refused, not wrapped into a factor that looks valid (17 as 1).
TEST_F(JpegWriteFile, TablePositionFactorsOutOfRange) {
  for (auto [h, v, sampling] : {std::tuple{17, 1, 0xF1}, {1, 17, 0x1F}, {0, 2, 0x02}}) {
    Picture p = photo(16, 16);
    Encoded out;
    EXPECT_EQ(encode(&out, p, uint16_t(h), uint16_t(v)), 1) << h << " " << v;
    const ErrorEntry e = error_entries().at(0);
    EXPECT_EQ(std::vector<int32_t>({e.code, e.iVal, e.lVal}),
              std::vector<int32_t>({RXE_INVALID_FILE_HEADER, 219, sampling}));
  }
}

// ---- A peer decoder reads what we write -------------------------------------------

// What the peer decoder makes of a file: R, G, B (or grey) rows top down,
// none where it failed or warned.
struct Decoded {
  int width = 0, height = 0, components = 0;
  std::vector<uint8_t> pixels;
};

Decoded peer_decode(const std::vector<uint8_t>& file) {
  Decoded d;
  d.pixels = jpegtest::peer_decode(file, &d.width, &d.height, &d.components);
  return d;
}

// Mean squared error of the decoded picture against the 24-bit source.
double psnr(const Picture& p, const Decoded& d) {
  double sq = 0;
  for (int32_t y = 0; y < p.height; ++y)
    for (int32_t x = 0; x < p.width; ++x)
      for (int c = 0; c < 3; ++c) {
        const double e = double(p.row(y)[3 * x + 2 - c]) - d.pixels[(size_t(y) * d.width + x) * 3 + c];
        sq += e * e;
      }
  return 10 * std::log10(255.0 * 255.0 / (sq / (3.0 * p.width * p.height)));
}

TEST_F(JpegWriteFile, PeerDecodesEveryDepthAndSampling) {
  RX_NEED_PEER(jpegtest::peer_available(), "djpeg");
  for (uint32_t code : kSamplingCodes)
    for (int kind = 0; kind < 3; ++kind) {
      const int32_t w = 1 + int32_t(code % 37), h = 1 + int32_t(code % 23);
      Picture p = kind == 0 ? photo(w, h) : noisy(w, h, 8, uint32_t(kind));  // grey, colour palette
      const Saved s = save(p, 85, code);
      ASSERT_TRUE(s.errors.empty());
      const Decoded d = peer_decode(s.bytes);
      ASSERT_FALSE(d.pixels.empty()) << std::hex << code << " kind " << kind;
      EXPECT_EQ(d.width, w);
      EXPECT_EQ(d.height, h);
      EXPECT_EQ(d.components, kind == 2 ? 1 : 3);
    }
}

TEST_F(JpegWriteFile, PeerSeesTheSamePicture) {
  RX_NEED_PEER(jpegtest::peer_available(), "djpeg");
  Picture one = blank(1, 1, 24);
  one.pixels[0] = 40, one.pixels[1] = 160, one.pixels[2] = 220;  // blue, green, red
  const Decoded d = peer_decode(save(one).bytes);
  ASSERT_EQ(d.pixels.size(), 3u);
  for (int c = 0; c < 3; ++c) EXPECT_NEAR(d.pixels[c], one.pixels[2 - c], 3) << c;

  Picture big = photo(301, 203, 8);
  // The second at half chroma width.
  for (auto [quality, sampling, floor] : {std::tuple{100u, 0x111111u, 44.0}, {100u, 0x211111u, 38.0},
                                          {30u, 0x111111u, 28.0}}) {
    const Decoded b = peer_decode(save(big, quality, sampling).bytes);
    ASSERT_FALSE(b.pixels.empty());
    EXPECT_GE(psnr(big, b), floor) << quality << " " << std::hex << sampling;
  }
}

// ---- Through the save pipeline -------------------------------------------------

// The test DIB holds 2835 pixels per metre: 72 dots per inch in APP0, and
// the same 2835 again once loaded.
TEST_F(JpegWriteFile, SavedThroughThePipelineAndLoadedBack) {
  auto dib = test::make_dib(37, 19, 24);
  test::fill_pattern(dib, 3);
  const RX_HIMAGE image = test::create(dib);
  ASSERT_NE(image, 0u);
  ASSERT_EQ(RX_image_control_set(RX_OPTION_JPEG_QUALITY, 0), 0);  // quality 0: saved as 100
  std::vector<uint8_t> mem(1 << 16);
  int32_t size = 0;
  ASSERT_EQ(
      RX_image_save_memory(image, mem.data(), 0, int32_t(mem.size()), 0, 1, RX_FORMAT_JPEG, &size),
      0);
  mem.resize(size_t(size));
  uint32_t quality = 7;
  RX_image_control_get(RX_OPTION_JPEG_QUALITY, &quality);
  EXPECT_EQ(quality, 0u) << "the option keeps the value that was set";
  const auto seg = segments(mem);
  EXPECT_EQ(find(seg, 0xC0)->body[7], 0x21);
  EXPECT_EQ(find(seg, 0xDB)->body[1], 1);
  const auto& app0 = find(seg, 0xE0)->body;
  EXPECT_EQ(std::vector<uint8_t>(app0.begin() + 7, app0.begin() + 10), (std::vector<uint8_t>{1, 0, 72}));
  EXPECT_TRUE(ends_with_eoi(mem));

  RX_HIMAGE loaded = 0;
  ASSERT_EQ(RX_image_load_memory(mem.data(), size, 1, 1, &loaded), 0);
  int32_t xn = 0, xd = 0, yn = 0, yd = 0, units = 0;
  ASSERT_EQ(RX_image_resolution_get(loaded, &xn, &xd, &yn, &yd, &units), 0);
  EXPECT_EQ(std::tie(xn, yn), std::tuple(2835, 2835));
  RX_image_delete(loaded);

  std::vector<uint8_t> small(200);
  EXPECT_GT(RX_image_save_memory(image, small.data(), 0, 200, 0, 1, RX_FORMAT_JPEG, &size), 0);
  EXPECT_EQ(error_codes()[0], RXE_CANT_WRITE_HEADER);
  RX_image_delete(image);
}

}  // namespace
