// The fast forms of inner loops give the same bytes as their plain forms:
// grey rows sixteen pixels at a time, turned-row positions two at a time,
// run rows encoded a byte at a time; and run-row editing (mirror, the
// writer's cancelling changes) agrees with editing expanded rows.
#include <cmath>
#include <random>

#include "IMG_PROC/flip_row.h"
#include "IMG_PROC/grey_row.h"
#include "IMG_PROC/run_edit.h"
#include "IMG_PROC/turn_positions.h"
#include "support/engine_fixture.h"

namespace {

std::vector<uint8_t> random_bytes(std::mt19937& rng, size_t n) {
  std::vector<uint8_t> v(n);
  for (auto& b : v) b = uint8_t(rng());
  return v;
}

// A packed row whose runs are `mean` pixels long on average.
std::vector<uint8_t> random_bits(std::mt19937& rng, uint32_t width, uint32_t mean) {
  std::vector<uint8_t> packed((width + 7) / 8 + 4, 0);
  uint32_t bit = rng() & 1;
  for (uint32_t x = 0; x < width; ++x) {
    if (rng() % mean == 0) bit ^= 1;
    if (bit) packed[x >> 3] |= uint8_t(0x80u >> (x & 7));
  }
  return packed;
}

std::vector<uint8_t> expand(const uint8_t* run_row, uint32_t width) {
  std::vector<uint8_t> packed((width + 7) / 8 + 4);
  rx::run_row_expand(run_row, width, packed.data(), uint32_t(packed.size()));
  std::vector<uint8_t> bits(width);
  for (uint32_t x = 0; x < width; ++x) bits[x] = (packed[x >> 3] >> (7 - (x & 7))) & 1;
  return bits;
}

}  // namespace

TEST(FastPaths, GreyRowsMatchThePlainLoop) {
  std::mt19937 rng(7);
  for (uint32_t n : {0u, 1u, 15u, 16u, 17u, 31u, 32u, 33u, 100u, 4001u}) {
    const auto bgr = random_bytes(rng, 3 * size_t{n} + 1);
    std::vector<uint8_t> fast(n + 1, 0xAA), plain(n + 1, 0xAA);
    rx::ip::grey_row_24(bgr.data(), n, fast.data());
    rx::ip::grey_row_24_plain(bgr.data(), n, plain.data());
    EXPECT_EQ(fast, plain) << n;
  }
  // The extremes of the weighted sum.
  const uint8_t white[48] = {255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255,
                             255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255,
                             255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255};
  uint8_t out[16];
  rx::ip::grey_row_24(white, 16, out);
  for (uint8_t v : out) EXPECT_EQ(v, 255);
}

TEST(FastPaths, ReversedRowsMatchThePlainLoop) {
  std::mt19937 rng(13);
  for (uint32_t w = 1; w < 140; ++w) {
    const auto row = random_bytes(rng, 3 * size_t{w} + 4);
    auto fast = row, plain = row;
    rx::ip::reverse_row_24(fast.data(), w);
    rx::ip::reverse_row_24_plain(plain.data(), w);
    ASSERT_EQ(fast, plain) << w;
    for (uint32_t x = 0; x < w; ++x)
      for (uint32_t c = 0; c < 3; ++c) ASSERT_EQ(plain[3 * x + c], row[3 * (w - 1 - x) + c]) << w << " " << x;
  }
}

TEST(FastPaths, TurnedPositionsMatchThePlainLoop) {
  std::mt19937 rng(11);
  for (int trial = 0; trial < 200; ++trial) {
    const uint32_t n = 1 + rng() % 300;
    // Angles whose sines and cosines are halves put many positions exactly
    // between two pixels; the rest are anywhere.
    static const double kExact[] = {30, 60, -30, 150, 45, 0.0001};
    const double angle = trial < 60 ? kExact[trial % 6] : (int(rng() % 72000) - 36000) / 100.0;
    const double radians = angle * 6.283185308 * (1.0 / 360.0);
    const int32_t w = 1 + int32_t(rng() % 60), h = 1 + int32_t(rng() % 60);
    const int32_t ox = int32_t(rng() % 80) - 10;
    std::vector<double> dx_cos(n), dx_sin(n);
    for (uint32_t x = 0; x < n; ++x) {
      dx_cos[x] = (double(x) - ox) * std::cos(radians);
      dx_sin[x] = (double(x) - ox) * std::sin(radians);
    }
    const double dy = double(int(rng() % 90) - 30);
    // Half-way sums exercise the rounding; so do positions on the edges.
    rx::ip::TurnRow r{dx_cos.data(), dx_sin.data(), n, dy * std::sin(radians), dy * std::cos(radians),
                      double((w + 1) / 2), double((h + 1) / 2), double(w), double(h)};
    std::vector<int32_t> fc(n), fr(n), pc(n), pr(n);
    rx::ip::turn_positions(r, fc.data(), fr.data());
    rx::ip::turn_positions_plain(r, pc.data(), pr.data());
    ASSERT_EQ(fc, pc) << trial;
    ASSERT_EQ(fr, pr) << trial;
    // Whole rows of each pixel size, copied at once or through positions.
    for (uint32_t bytes : {1u, 2u, 3u}) {
      const size_t row_bytes = 4 * ((bytes * uint32_t(w) + 3) / 4);
      const auto pixels = random_bytes(rng, row_bytes * uint32_t(h));
      std::vector<const uint8_t*> rows(h);
      for (int32_t y = 0; y < h; ++y) rows[y] = pixels.data() + row_bytes * uint32_t(h - 1 - y);
      std::vector<uint8_t> fast(bytes * n + 1, 0xAA), plain(bytes * n + 1, 0xAA);
      rx::ip::turn_copy(r, rows.data(), bytes, fc.data(), fr.data(), fast.data());
      rx::ip::turn_copy_plain(r, rows.data(), bytes, pc.data(), pr.data(), plain.data());
      ASSERT_EQ(fast, plain) << trial << " " << bytes;
      // Pixel by pixel from the plain positions.
      rx::ip::turn_positions_plain(r, pc.data(), pr.data());
      for (uint32_t x = 0; x < n; ++x)
        for (uint32_t b = 0; b < bytes; ++b)
          ASSERT_EQ(plain[bytes * x + b], pc[x] < 0 ? 0 : rows[pr[x]][bytes * pc[x] + b]) << trial << " " << x;
    }
  }
  // v + 0.5 exactly 0 is inside, just below 0 outside; exactly the width outside.
  const double cosines[4] = {-0.5, -0.5000000001, 3.5, 2.0};
  const double sines[4] = {0, 0, 0, 0};
  rx::ip::TurnRow edge{cosines, sines, 4, 0.0, 0.0, 0.0, 0.0, 4.0, 1.0};
  int32_t c[4], rw[4];
  rx::ip::turn_positions(edge, c, rw);
  EXPECT_EQ(std::vector<int32_t>(c, c + 4), (std::vector<int32_t>{0, -1, -1, 2}));
}

TEST(FastPaths, RunRowsByBytesMatchTheEncoder) {
  std::mt19937 rng(3);
  std::vector<uint8_t> a(rx::run_row_max_bytes(32762) + rx::ip::kRunRowSlack), b(a.size());
  for (uint32_t width : {1u, 7u, 8u, 9u, 63u, 64u, 65u, 1000u, 32762u})
    for (uint32_t mean : {1u, 2u, 5u, 40u, 100000u}) {
      const auto packed = random_bits(rng, width, mean);
      const uint32_t la = rx::run_row_encode(packed.data(), width, a.data());
      const uint32_t lb = rx::ip::run_row_from_packed(packed.data(), width, b.data());
      ASSERT_EQ(la, lb) << width << " " << mean;
      ASSERT_EQ(std::vector<uint8_t>(a.begin(), a.begin() + la), std::vector<uint8_t>(b.begin(), b.begin() + lb));
    }
  // All 0s and all 1s, with set padding bits that must not count.
  const uint8_t zeros[2] = {0x00, 0x3F}, ones[2] = {0xFF, 0xC0};
  EXPECT_EQ(rx::ip::run_row_from_packed(zeros, 10, b.data()), 10u);  // 10, 0, 10, 10, 10
  EXPECT_EQ(expand(b.data(), 10), std::vector<uint8_t>(10, 0));
  EXPECT_EQ(rx::ip::run_row_from_packed(ones, 10, b.data()), 8u);  // 8, 10, 10, 10
}

TEST(FastPaths, RunRowEditsMatchExpandedRows) {
  std::mt19937 rng(5);
  std::vector<uint8_t> row(rx::run_row_max_bytes(300) + rx::ip::kRunRowSlack), mirrored(row.size());
  for (uint32_t width : {1u, 2u, 9u, 300u})
    for (uint32_t mean : {1u, 3u, 50u}) {
      const auto packed = random_bits(rng, width, mean);
      rx::ip::run_row_from_packed(packed.data(), width, row.data());
      std::vector<uint8_t> want = expand(row.data(), width);
      std::reverse(want.begin(), want.end());
      rx::ip::run_row_mirror(row.data(), width, mirrored.data());
      EXPECT_EQ(expand(mirrored.data(), width), want) << width << " " << mean;
      // The mirror of a row is as short as encoding the mirrored pixels.
      std::vector<uint8_t> repacked((width + 7) / 8 + 4, 0);
      for (uint32_t x = 0; x < width; ++x)
        if (want[x]) repacked[x >> 3] |= uint8_t(0x80u >> (x & 7));
      std::vector<uint8_t> direct(row.size());
      EXPECT_EQ(rx::ip::run_value(mirrored.data(), 0), rx::ip::run_row_from_packed(repacked.data(), width, direct.data()));
    }
  // Two changes at one column cancel; columns at or past the width drop.
  rx::ip::RunRowWriter writer(row.data(), 6);
  for (uint32_t c : {0u, 0u, 2u, 4u, 4u, 5u, 6u, 9u}) writer.change(c);
  EXPECT_EQ(writer.finish(), 12u);  // 12, 2, 5, 6, 6, 6
  EXPECT_EQ(expand(row.data(), 6), (std::vector<uint8_t>{1, 1, 0, 0, 0, 1}));
}
