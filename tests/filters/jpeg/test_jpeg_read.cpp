// The JPEG reader: values it must produce exactly (colour terms, densities,
// palettes, chroma replication, restart handling), agreement with a peer
// decoder on files made the usual way, identical output of the fast and
// reference paths, and clean failures on damaged files.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "SUPPORT/kernels.h"
#include "SUPPORT/mem_tag.h"
#include "filters/jpeg/jpeg_color.h"
#include "filters/jpeg/jpeg_idct.h"
#include "filters/jpeg/jpeg_read.h"
#include "filters/jpeg/jpeg_tables.h"
#include "filters/jpeg/jpeg_paths.h"
#include "filters/jpeg/jpeg_test_util.h"
#include "support/engine_fixture.h"
#include "support/files.h"
#include "support/peers.h"

namespace {

using namespace jpegtest;
using namespace jpegpath;
namespace jp = rx::jpeg;

constexpr const char* kPeerPrograms = "cjpeg and djpeg";

class JpegRead : public EngineTest {
 protected:
  rx::KernelLevelScope level_{rx::kernel_level()};  // restored after each test
};

// Pixel (x, y) of a capture as B, G, R (or the gray value three times).
std::array<int, 3> pixel(const Capture& c, int x, int y) {
  const Bytes& r = c.rows[y];
  if (c.header.biBitCount == 8) return {r[x], r[x], r[x]};
  return {r[3 * x], r[3 * x + 1], r[3 * x + 2]};
}

bool failed_cleanly(const Outcome& r) { return r.result > 0 && !r.codes.empty(); }
bool read_whole(const Outcome& r) { return r.result == 0 && r.cap.complete(); }

// The rows of a loaded image, top down, are the rows a read captured.
void expect_rows(RX_HIMAGE image, const Capture& cap) {
  for (int32_t r = 0; r < cap.header.biHeight; ++r) {
    Bytes row(cap.stride());
    ASSERT_EQ(RX_DIB_raster_get(image, r, row.data(), RX_ROW_PACKED), 0);
    ASSERT_EQ(row, cap.rows[r]) << r;
  }
}

// A w x h colour frame of flat level-shifted Y, Cb and Cr.
Builder colour(int w, int h, int y = 0, int cb = 0, int cr = 0) {
  return {.width = w, .height = h, .comps = 3, .level = {y, cb, cr}};
}

Outcome read_plain(const Bytes& file) {
  return on_plain_path([&] { return read(file); });
}

// A colour picture made the usual way by the peer encoder.
Bytes peer_file(int w, int h, uint32_t seed, const std::string& options) {
  return peer_encode(picture(w, h, 3, seed), w, h, 3, options);
}

// ---- values the reader must produce exactly -------------------------------

using JpegReadValues = JpegRead;

TEST_F(JpegReadValues, OneComponentLoadsAsGrayWithRampPalette) {
  Builder b{.width = 17, .height = 9, .level = {-28}};
  const Outcome r = read(b.make().bytes());
  ASSERT_TRUE(read_whole(r)) << r.result << " " << r.cap.violation;
  EXPECT_EQ(r.cap.header.biBitCount, 8);
  EXPECT_EQ(r.cap.header.biWidth, 17);
  EXPECT_EQ(r.cap.header.biHeight, 9);
  ASSERT_EQ(r.cap.palette.size(), 256u);
  for (int i = 0; i < 256; ++i) {
    const RX_RGBQUAD& q = r.cap.palette[i];
    EXPECT_EQ(std::tie(q.rgbRed, q.rgbGreen, q.rgbBlue), std::tuple(i, i, i));
  }
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 17; ++x) ASSERT_EQ(pixel(r.cap, x, y)[0], 100);
}

// Flat files whose level-shifted Y, Cb, Cr pick known rows of the colour
// tables: rows 1 and 255 (chroma +1 and -1), 127 and 128 (+127 and -128).
TEST_F(JpegReadValues, ColourTermsOfTheTellingRows) {
  const struct { int y, cb, cr, b, g, r; } cases[] = {
      {0, 1, 1, 130, 127, 129},       // 2, 0 + 1, 1
      {0, -1, -1, 127, 128, 128},     // -1, 0 + 0, 0
      {-100, 127, -128, 253, 74, 0},  // 225, 44 - 90
      {100, -128, 127, 4, 180, 255},  // -224, -43 + 91
      {-60, 0, 127, 68, 0, 246},      // red 178
      {60, 0, -128, 188, 255, 11},    // red -177
  };
  for (const auto& c : cases) {
    const Outcome r = read(colour(8, 8, c.y, c.cb, c.cr).make().bytes());
    ASSERT_TRUE(read_whole(r)) << r.result << " " << r.cap.violation;
    EXPECT_EQ(r.cap.header.biBitCount, 24);
    const auto p = pixel(r.cap, 3, 5);
    EXPECT_EQ(p, (std::array<int, 3>{c.b, c.g, c.r})) << c.y << " " << c.cb << " " << c.cr;
  }
}

TEST_F(JpegReadValues, FourComponentsConvertTheFirstThree) {
  Builder b{.width = 24, .height = 8, .comps = 4, .sampling = {0x21, 0x11, 0x11, 0x11},
            .level = {20, 30, -40, 99}};
  const Outcome r = read(b.make().bytes());
  ASSERT_TRUE(read_whole(r)) << r.result << " " << r.cap.violation;
  EXPECT_EQ(r.cap.header.biBitCount, 24);
  // Y 20 with blue 53 (Cb 30), green 10 and -29, red -56 (Cr -40), each + 128
  EXPECT_EQ(pixel(r.cap, 23, 7), (std::array<int, 3>{201, 167, 92}));
}

TEST_F(JpegReadValues, ResolutionComesFromTheJfifDensities) {
  // Units 0 (aspect ratio only) pass the densities on; dots per inch and
  // per centimetre become pixels per metre; 0 and a missing APP0 mean the
  // default of 300 dots per inch.
  const struct { bool app0; uint8_t units; uint16_t xd, yd; int32_t x, y; } cases[] = {{true, 0, 0, 0, 300, 300},         {true, 0, 72, 150, 72, 150},
                     {true, 0, 0, 96, 300, 96},         {true, 0, 40000, 40000, 40000, 40000},
                     {true, 1, 72, 96, 2835, 3780},     {true, 1, 0, 0, 11811, 11811},
                     {true, 2, 28, 40, 2800, 4000},     {true, 1, 65535, 1, 2580113, 39},
                     {false, 0, 0, 0, 11811, 11811}};
  for (const auto& c : cases) {
    Builder b;
    b.make();
    if (c.app0) {
      b.find(0xE0)->body = jfif_body(c.xd, c.yd);
      b.find(0xE0)->body[7] = c.units;
    } else {
      b.segs.erase(b.segs.begin());
    }
    const Outcome r = read(b.bytes());
    ASSERT_EQ(r.result, 0);
    EXPECT_EQ(r.cap.header.biXPelsPerMeter, c.x);
    EXPECT_EQ(r.cap.header.biYPelsPerMeter, c.y);
  }
}

// Trailing bytes with no thumbnail to hold them are refused (a sample among
// the bad files).
TEST_F(JpegReadValues, App0WithTrailingBytes) {
  Builder b;
  b.make();
  Bytes long_body = jfif_body(1, 1, 2, 2);  // a 2 x 2 thumbnail of 12 bytes follows: skipped
  long_body.insert(long_body.end(), 12, 0x20);
  b.find(0xE0)->body = long_body;
  Outcome r = read(b.bytes());
  EXPECT_TRUE(read_whole(r)) << r.result << " " << r.cap.violation;

  // An APP0 that is not JFIF is passed over, whatever it holds.
  b.find(0xE0)->body = Bytes{'J', 'F', 'X', 'X', 0, 0x13, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  r = read(b.bytes());
  EXPECT_EQ(r.result, 0);
  EXPECT_EQ(r.cap.header.biXPelsPerMeter, 11811) << "the default of 300 dots per inch";
}

// 4:2:0: wherever nothing is clipped, B - R and G - R depend on the chroma
// alone, so they must not change within a 2 x 2 cell.
TEST_F(JpegReadValues, FourTwoZeroReplicatesChromaOverTwoByTwo) {
  RX_NEED_PEER(peer_available(), kPeerPrograms);
  const int w = 34, h = 30;
  const Bytes file = peer_encode(picture(w, h, 3, 7, true), w, h, 3, "-quality 95 -sample 2x2");
  const Outcome r = read(file);
  ASSERT_TRUE(read_whole(r)) << r.result << " " << r.cap.violation;
  int cells = 0;
  for (int y = 0; y + 1 < h; y += 2) {
    for (int x = 0; x + 1 < w; x += 2) {
      std::array<int, 3> p[4] = {pixel(r.cap, x, y), pixel(r.cap, x + 1, y),
                                 pixel(r.cap, x, y + 1), pixel(r.cap, x + 1, y + 1)};
      bool clipped = false;
      for (auto& q : p)
        for (int v : q) clipped |= v == 0 || v == 255;
      if (clipped) continue;
      ++cells;
      for (int i = 1; i < 4; ++i) {
        EXPECT_EQ(p[i][0] - p[i][2], p[0][0] - p[0][2]) << x << "," << y;
        EXPECT_EQ(p[i][1] - p[i][2], p[0][1] - p[0][2]) << x << "," << y;
      }
    }
  }
  EXPECT_GT(cells, 100);
}

TEST_F(JpegReadValues, InfoDescribesTheFrame) {
  Builder b = colour(33, 31);
  RX_BITMAPINFOHEADER h{};
  int32_t compression = -1;
  Outcome r = info(b.make().bytes(), &h, nullptr, &compression);
  ASSERT_EQ(r.result, 0);
  EXPECT_EQ(std::tie(h.biWidth, h.biHeight, h.biBitCount, h.biXPelsPerMeter), std::tuple(33, 31, 24, 72));
  EXPECT_EQ(h.biCompression, uint32_t{RX_BI_RGB});
  EXPECT_EQ(compression, RX_COMPRESSION_JPEG);

  Builder g;
  RX_RGBQUAD palette[256] = {};
  r = info(g.make().bytes(), &h, palette, &compression);
  ASSERT_EQ(r.result, 0);
  EXPECT_EQ(h.biBitCount, 8);
  EXPECT_EQ(std::tie(palette[200].rgbRed, palette[200].rgbBlue), std::tuple(200, 200));
}

TEST_F(JpegReadValues, FieldsAreReportedAsTags) {
  Builder b = colour(16, 16);
  b.make();
  b.insert_before(0xC0, {0xFE, Bytes{'h', 'i'}});
  b.insert_before(0xC0, {0xE2, Bytes{1, 2, 3}});
  const Outcome r = read(b.bytes(), -1, true);
  ASSERT_EQ(r.result, 0);
  auto find = [&](int32_t id) -> const TagReport* {
    for (const TagReport& t : r.tags)
      if (t.id == id) return &t;
    return nullptr;
  };
  // 221 is the third component's sampling byte, 239 the APP2 segment.
  const std::pair<int32_t, Bytes> values[] = {
      {200, {'J', 'F', 'I', 'F', 0}}, {203, {72, 0}}, {214, {16, 0}}, {239, {1, 2, 3}}, {228, {3}}};
  for (const auto& [id, data] : values) {
    ASSERT_NE(find(id), nullptr) << id;
    EXPECT_EQ(find(id)->data, data) << id;
  }
  ASSERT_NE(find(221), nullptr);
  ASSERT_NE(find(207), nullptr);
  EXPECT_EQ(find(207)->count, 80);
  EXPECT_EQ(find(207)->data[1], 'i');
  ASSERT_NE(find(208), nullptr);
  EXPECT_EQ(find(208)->count, 64);
}

// ---- restart intervals ----------------------------------------------------

using JpegReadRestart = JpegRead;

TEST_F(JpegReadRestart, MarkersResetThePredictors) {
  Builder b = colour(40, 24, 30, -20, 10);
  b.restart = 2;
  const Outcome r = read(b.make().bytes());
  ASSERT_TRUE(read_whole(r)) << r.result << " " << r.cap.violation;
  // Without the resets the level coded again after each marker would add up.
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 40; ++x) ASSERT_EQ(pixel(r.cap, x, y), pixel(r.cap, 0, 0)) << x << "," << y;
}

// A restart interval whose markers never come: each search fails and the
// data decodes on as one run, exactly as without the interval.
TEST_F(JpegReadRestart, MissingMarkersLoseNothing) {
  Builder b = colour(64, 24, 30, -20, 10);
  b.make();
  const Outcome plain = read(b.bytes());
  b.insert_before(0xC0, {0xDD, Bytes{0, 3}});
  const Outcome r = read(b.bytes());
  ASSERT_EQ(r.result, 0);
  EXPECT_EQ(r.cap.rows, plain.cap.rows);
}

TEST_F(JpegReadRestart, PeerFilesDecodeAsWithoutRestarts) {
  RX_NEED_PEER(peer_available(), kPeerPrograms);
  const Outcome plain = read(peer_file(61, 45, 11, "-quality 85 -sample 2x2"));
  ASSERT_EQ(plain.result, 0);
  for (const char* opt : {"-restart 1", "-restart 3B", "-restart 1B"}) {
    const Outcome r = read(peer_file(61, 45, 11, std::string("-quality 85 -sample 2x2 ") + opt));
    ASSERT_EQ(r.result, 0) << opt;
    EXPECT_EQ(r.cap.rows, plain.cap.rows) << opt;
  }
}

// Bytes pushed in before the second RST marker: a marker up to 48 bytes
// late is found and decoding goes on exactly as in the sound file.
TEST_F(JpegReadRestart, ResynchronisesOnALateMarker) {
  RX_NEED_PEER(peer_available(), kPeerPrograms);
  const Bytes file = peer_file(64, 32, 5, "-quality 90 -restart 2B");
  const Outcome sound = read(file);
  ASSERT_EQ(sound.result, 0);
  size_t second = 0;
  for (size_t i = 0, seen = 0; i + 1 < file.size(); ++i)
    if (file[i] == 0xFF && file[i + 1] >= 0xD0 && file[i + 1] <= 0xD7 && ++seen == 2) {
      second = i;
      break;
    }
  ASSERT_GT(second, 0u);
  for (size_t junk : {1, 17, 48, 49}) {
    Bytes damaged = file;
    damaged.insert(damaged.begin() + static_cast<ptrdiff_t>(second), junk, 0x55);
    const Outcome r = read(damaged);
    ASSERT_TRUE(read_whole(r)) << junk << ": " << r.result << " " << r.cap.violation;
    if (junk <= 48) EXPECT_EQ(r.cap.rows, sound.cap.rows) << junk;
    else EXPECT_NE(r.cap.rows, sound.cap.rows) << junk;
  }
}

// ---- agreement with the peer decoder ---------------------------------------

// The peer decoder rounds its inverse DCT output where ours truncates
// toward zero (up to one level in Y, Cb and Cr each, about half a level on
// average), and the chroma errors grow by up to 1.772 in the colour
// conversion; the table ends fixed at -128 and -1 add up to 2.8 more on
// the rare samples that use them. So gray samples stay within one level,
// colour ones within four, and the means near a level.
TEST_F(JpegRead, AgreesWithThePeerDecoder) {
  RX_NEED_PEER(peer_available(), kPeerPrograms);
  const struct { int w, h, channels; const char* options; } cases[] = {
      {64, 48, 3, "-quality 90 -sample 1x1"}, {64, 48, 3, "-quality 90 -sample 2x1"},
      {64, 48, 3, "-quality 90 -sample 2x2"}, {64, 48, 1, "-quality 90"},
      {1, 1, 3, "-quality 75 -sample 2x2"},   {17, 9, 3, "-quality 75 -sample 2x1"},
      {33, 31, 3, "-quality 75 -sample 2x2"}, {33, 31, 1, "-quality 50"},
      {40, 40, 3, "-quality 10"},             {40, 40, 3, "-quality 100 -sample 1x1"},
      {48, 24, 3, "-quality 30 -sample 4x1"}, {48, 24, 1, "-quality 20 -sample 2x2"},
      {45, 37, 3, "-quality 100"},            {23, 50, 3, "-quality 60 -sample 1x2"},
      {70, 20, 1, "-quality 100 -sample 2x2"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h) + " " + c.options);
    const Bytes file = peer_encode(picture(c.w, c.h, c.channels, 3), c.w, c.h, c.channels, c.options);
    ASSERT_FALSE(file.empty());
    int pw = 0, ph = 0, pc = 0;
    const Bytes peer = peer_decode(file, &pw, &ph, &pc);
    ASSERT_EQ(pw, c.w);
    ASSERT_EQ(ph, c.h);
    const Outcome r = read(file);
    ASSERT_TRUE(read_whole(r)) << r.result << " " << r.cap.violation;
    int worst[3] = {0, 0, 0};
    double sum[3] = {0, 0, 0};
    for (int y = 0; y < c.h; ++y) {
      for (int x = 0; x < c.w; ++x) {
        const auto ours = pixel(r.cap, x, y);  // B, G, R
        for (int k = 0; k < pc; ++k) {
          const int theirs = peer[(static_cast<size_t>(y) * c.w + x) * pc + k];  // R, G, B
          const int d = std::abs(ours[pc == 3 ? 2 - k : 0] - theirs);
          worst[k] = std::max(worst[k], d);
          sum[k] += d;
        }
      }
    }
    for (int k = 0; k < pc; ++k) {
      const double mean = sum[k] / (static_cast<double>(c.w) * c.h);
      EXPECT_LE(worst[k], pc == 1 ? 1 : 4) << "channel " << k;
      if (c.w * c.h >= 64) {
        EXPECT_LE(mean, pc == 1 ? 0.6 : 1.25) << "channel " << k;
      }
    }
  }
}

// ---- the fast paths give the reference's bytes ------------------------------

using JpegReadPaths = JpegRead;

TEST_F(JpegReadPaths, FastInverseDctMatchesTheReference) {
  std::mt19937 rng(1234);
  for (int n = 0; n < 30000; ++n) {
    alignas(16) int32_t coef[64] = {};
    const int last = static_cast<int>(rng() % 64);
    const int spread = 1 << (rng() % 26);
    for (int k = 0; k <= last; ++k) {
      if (rng() % 3 == 0 && k != last) continue;
      coef[jp::kZigzag[k]] = static_cast<int32_t>(rng() % (2 * spread + 1)) - spread;
    }
    if (n % 97 == 0) coef[0] = (n & 1) ? INT32_MAX : INT32_MIN;
    uint32_t magnitude = 0;
    for (int32_t c : coef) magnitude = std::max(magnitude, static_cast<uint32_t>(std::abs(int64_t{c})));
    int8_t a[8 * 12], b[8 * 12], c[8 * 12];
    jp::idct_reference(coef, last, magnitude, a, 12);
    jp::idct_fast(coef, last, magnitude, b, 12);
    for (int r = 0; r < 8; ++r)
      ASSERT_EQ(0, std::memcmp(a + 12 * r, b + 12 * r, 8)) << "block " << n;
    if (rx::kernel_level_supported() < rx::KernelLevel::kAvx2) continue;
    std::memset(c, 0x55, sizeof c);
    jp::idct_avx2(coef, last, magnitude, c, 12);
    for (int r = 0; r < 8; ++r) {
      ASSERT_EQ(0, std::memcmp(a + 12 * r, c + 12 * r, 8)) << "avx2, block " << n;
      ASSERT_EQ(0, std::memcmp(c + 12 * r + 8, "\x55\x55\x55\x55", r < 7 ? 4 : 0)) << "wrote past the block";
    }
  }
}

// Against the textbook formula in floating point: the 12-bit constants and the
// final truncation leave at most one level.
TEST_F(JpegReadPaths, InverseDctIsTheExactTransform) {
  const double kHalfRoot = std::numbers::sqrt2 / 2;
  std::mt19937 rng(99);
  for (int n = 0; n < 2000; ++n) {
    double F[64] = {};
    int32_t coef[64] = {};
    for (int k = 0; k < 64; ++k) {
      if (rng() % 4 != 0) continue;
      F[k] = static_cast<double>(static_cast<int>(rng() % 301) - 150) / (1 + k / 8);
      const int q = 1 + static_cast<int>(rng() % 4);
      const int quantised = static_cast<int>(F[k] / q);
      F[k] = quantised * q;
      coef[k] = quantised * (jp::kPostScale[k] * q / 2);
    }
    int8_t out[64];
    jp::idct_reference(coef, 63, 0xFFFFFFFFu, out, 8);
    for (int y = 0; y < 8; ++y) {
      for (int x = 0; x < 8; ++x) {
        double s = 0;
        for (int v = 0; v < 8; ++v)
          for (int u = 0; u < 8; ++u)
            s += (u ? 1 : kHalfRoot) * (v ? 1 : kHalfRoot) * F[v * 8 + u] *
                 std::cos((2 * x + 1) * u * std::numbers::pi / 16) * std::cos((2 * y + 1) * v * std::numbers::pi / 16);
        const double exact = std::clamp(std::trunc(s / 4), -128.0, 127.0);
        ASSERT_LE(std::abs(out[y * 8 + x] - exact), 1.0) << n << " " << x << "," << y;
      }
    }
  }
}

TEST_F(JpegReadPaths, FastColourRowsMatchTheReference) {
  std::mt19937 rng(77);
  const int layouts[][4] = {{1, 1, 1, 1}, {2, 1, 1, 2}, {2, 2, 2, 2}, {4, 2, 2, 4}};
  for (const auto& l : layouts) {
    for (int width : {1, 2, 3, 7, 8, 9, 15, 16, 17, 31, 32, 33, 64, 333}) {
      std::vector<int8_t> planes[3];
      for (auto& p : planes) {
        p.resize(static_cast<size_t>(width) + 32);
        for (auto& v : p) v = static_cast<int8_t>(rng());
      }
      // Extremes: the clamp on both sides and the fixed table ends.
      planes[1][3] = planes[2][5] = -128;
      planes[1][4] = planes[2][4] = -1;
      std::vector<int16_t> scratch(3 * (static_cast<size_t>(width) + 16));
      jp::ChromaTerms terms{nullptr, nullptr, scratch.data(), scratch.data() + width + 16,
                            scratch.data() + 2 * (width + 16)};
      jp::ColourRow in{{planes[0].data(), planes[1].data(), planes[2].data()},
                       {l[0], l[1], l[2]},
                       l[3],
                       &terms};
      std::vector<uint8_t> a(3 * static_cast<size_t>(width) + 16), b(a.size());
      jp::colour_row_reference(in, a.data(), width);
      a.resize(3 * width);
      for (rx::KernelLevel level : {rx::KernelLevel::kSse2, rx::KernelLevel::kAvx2}) {
        if (level > rx::kernel_level_supported()) continue;
        const jp::ColourFn fast = jp::colour_row_choose(in.h, in.hmax, level);
        EXPECT_NE(fast, jp::colour_row_reference);
        terms.cb = terms.cr = nullptr;
        std::fill(b.begin(), b.end(), uint8_t{0});
        b.resize(3 * static_cast<size_t>(width) + 16);
        fast(in, b.data(), width);
        b.resize(3 * width);
        ASSERT_EQ(a, b) << l[0] << l[1] << l[2] << " width " << width << " level " << int(level);
      }
    }
  }
}

TEST_F(JpegReadPaths, WholeFilesDecodeTheSameOnEveryPath) {
  RX_NEED_PEER(peer_available(), kPeerPrograms);
  const char* options[] = {"-quality 97 -sample 1x1", "-quality 80 -sample 2x1",
                           "-quality 80 -sample 2x2", "-quality 70 -sample 1x2",
                           "-quality 90 -sample 4x1", "-quality 90 -sample 2x2 -restart 1",
                           "-quality 60 -grayscale"};
  for (const char* o : options) {
    const bool grey = std::string(o).find("grayscale") != std::string::npos;
    const Bytes file = peer_file(77, 43, 21, o);
    const Outcome ref = read_plain(file);
    ASSERT_EQ(ref.result, 0) << o;
    ASSERT_EQ(ref.cap.header.biBitCount, grey ? 8 : 24) << o;
    on_every_path([&] {
      const Outcome r = read(file);
      ASSERT_EQ(r.result, 0) << o;
      EXPECT_EQ(r.cap.rows, ref.cap.rows) << o;
    });
  }
}

// A picture big enough for the helper at the default threshold.
TEST_F(JpegReadPaths, LargePictureTheSameWithAndWithoutHelper) {
  RX_NEED_PEER(peer_available(), kPeerPrograms);
  const Bytes file = peer_file(640, 450, 5, "-quality 90 -sample 2x2");
  const Outcome ref = read_plain(file);
  rx::KernelLevelScope fast(rx::kernel_level_supported());
  const Outcome r = read(file);
  ASSERT_EQ(r.result, 0);
  EXPECT_EQ(r.cap.rows, ref.cap.rows);
}

// ---- damaged and unsupported files -----------------------------------------

using JpegReadBad = JpegRead;

TEST_F(JpegReadBad, DamagedScansStillEnd) {
  Builder b = colour(40, 40);
  b.make();
  // A marker in the middle of the data: the rest decodes as zeros.
  b.entropy.insert(b.entropy.begin() + 5, {0xFF, 0xD9});
  Outcome r = read(b.bytes());
  EXPECT_TRUE(read_whole(r)) << r.result << " " << r.cap.violation;
  // The data cut short, with no end marker at all.
  Bytes cut = b.bytes();
  cut.resize(cut.size() - b.entropy.size() + 2);
  r = read(cut);
  EXPECT_TRUE(read_whole(r)) << r.result << " " << r.cap.violation;
  // An AC table with codes of 16 bits only: every code in the data is
  // unknown to it.
  Builder u;
  u.make();
  Bytes& ac = u.segs[3].body;
  ac = Bytes(17, 0);
  ac[0] = 0x10;
  ac[16] = 1;
  ac.push_back(0);
  r = read(u.bytes());
  EXPECT_TRUE(read_whole(r)) << r.result << " " << r.cap.violation;
}

// Every prefix of a sound file, and random damage to it: the reader either
// succeeds with every row delivered once or fails with an entry, and never
// leaves memory behind.
TEST_F(JpegReadBad, TruncationAndDamageNeverBreakTheContract) {
  Bytes file;
  if (peer_available()) file = peer_file(40, 24, 9, "-quality 80 -restart 1B");
  else if (rxtest::kPeersRequired) ADD_FAILURE() << kPeerPrograms << " are missing (required)";
  if (file.empty()) file = Builder{.width = 16, .height = 16, .comps = 3, .restart = 1}.make().bytes();
  const int32_t blocks = rx::mem_live_block_count();
  auto check = [&](const Bytes& f, const std::string& what) {
    const Outcome r = read(f);
    if (r.result == 0) EXPECT_TRUE(r.cap.complete()) << what << " " << r.cap.violation;
    else EXPECT_TRUE(failed_cleanly(r)) << what;
    EXPECT_TRUE(r.cap.violation.empty()) << what << " " << r.cap.violation;
    EXPECT_EQ(rx::mem_live_block_count(), blocks) << what;
  };
  for (size_t n = 0; n < file.size(); ++n) check(Bytes(file.begin(), file.begin() + n), "prefix");
  std::mt19937 rng(5);
  for (int i = 0; i < 1500; ++i) {
    Bytes f = file;
    for (int k = 0, n = 1 + i % 4; k < n; ++k) f[rng() % f.size()] = static_cast<uint8_t>(rng());
    check(f, "damage " + std::to_string(i));
  }
}

// Minimised damaged and unsupported files, each named for the one error it
// must give: NAME.CODE.jpg. Tables that no code fits or that lie about their
// length, selectors past the tables, sampling factors of 0 or above 4,
// sizes of 0 or too large, scans that do not cover the frame, frames we do
// not decode. None of them may get as far as creating an image.
TEST_F(JpegReadBad, CollectedBadFiles) {
  const auto dir = data_dir() / "bad";
  ASSERT_TRUE(std::filesystem::is_directory(dir)) << dir;
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    const std::string stem = entry.path().stem().string();
    const int32_t code = std::stoi(stem.substr(stem.rfind('.') + 1));
    const Outcome r = read(file_bytes(entry.path()));
    EXPECT_EQ(r.codes, (std::vector<int32_t>{code})) << stem;
    EXPECT_EQ(r.cap.creates, 0) << stem;
    EXPECT_EQ(r.position, 0) << stem << ": the stream goes back to where it was";
    ++files;
  }
  EXPECT_GT(files, 20);
}

// ---- through the load pipeline ----------------------------------------------

using JpegReadLoad = JpegRead;

TEST_F(JpegReadLoad, MemoryLoadBuildsTheImageTheReaderDelivers) {
  Builder b = colour(21, 13, 40, -30, 25);
  b.sampling[0] = 0x22;
  const Bytes file = b.make().bytes();
  const Outcome direct = read(file);
  ASSERT_EQ(direct.result, 0);
  RX_HIMAGE image = 0;
  ASSERT_EQ(RX_image_load_memory(file.data(), static_cast<int32_t>(file.size()), 1, 1, &image), 0);
  int32_t w = 0, h = 0, bits = 0;
  RX_image_dimensions_get(image, &w, &h, &bits);
  EXPECT_EQ(std::tie(w, h, bits), std::tuple(21, 13, 24));
  expect_rows(image, direct.cap);
  RX_image_delete(image);
}

TEST_F(JpegReadLoad, FailedLoadLeavesNoImageAndNamesTheReader) {
  Builder b;
  b.make();
  b.find(0xC4)->body[0] = 0x30;
  const Bytes file = b.bytes();
  RX_HIMAGE image = 0;
  EXPECT_GT(RX_image_load_memory(file.data(), static_cast<int32_t>(file.size()), 1, 1, &image), 0);
  EXPECT_EQ(image, 0u);
  const auto entries = error_entries();
  ASSERT_FALSE(entries.empty());
  EXPECT_EQ(entries[0].code, RXE_JPEG_HUFFMAN_CLASS);
  EXPECT_EQ(entries[0].file, "JPGREAD.cpp");
}

using JpegReadHelperMemory = JpegRead;

// The helper's buffers are extra memory: where the load's allocation limit
// refuses them, the load goes on without the helper, with no error and the
// same pixels.
TEST_F(JpegReadHelperMemory, RefusedHelperMemoryLeavesTheSerialPath) {
  RX_NEED_PEER(peer_available(), kPeerPrograms);
  // 4000 x 48: the DIB is 576,000 bytes, one slot of coefficients more.
  const Bytes file = peer_file(4000, 48, 8, "-quality 90 -sample 2x2");
  const Outcome ref = read_plain(file);
  ASSERT_EQ(ref.result, 0);
  PathScope scope({rx::kernel_level_supported(), true});
  RX_load_limits_set(0, 700000);
  RX_HIMAGE image = 0;
  const int32_t errors =
      RX_image_load_memory(file.data(), static_cast<int32_t>(file.size()), 1, 1, &image);
  RX_load_limits_set(0, 0);
  ASSERT_EQ(errors, 0);
  expect_rows(image, ref.cap);
  RX_image_delete(image);
}

}  // namespace
