// Row filters, Adam7 placement and sample conversions, on values worked
// out by hand; the fast filters against the plain ones on random rows.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "filters/png/png_rows.h"
#include "filters/png/png_samples.h"

namespace {

using namespace rx::png;
using Bytes = std::vector<uint8_t>;

Bytes unfiltered(uint8_t filter, Bytes row, const Bytes& prior, uint32_t distance, bool fast = true) {
  const bool ok = fast ? row_unfilter(filter, row.data(), prior.data(), row.size(), distance)
                       : row_unfilter_reference(filter, row.data(), prior.data(), row.size(), distance);
  EXPECT_TRUE(ok);
  return row;
}

TEST(PngRows, EachFilterByHand) {
  const Bytes prior = {10, 20, 30, 40, 250, 60};
  const Bytes row = {1, 2, 3, 4, 5, 6};
  EXPECT_EQ(unfiltered(0, row, prior, 2), row);
  EXPECT_EQ(unfiltered(1, row, prior, 2), (Bytes{1, 2, 4, 6, 9, 12}));
  EXPECT_EQ(unfiltered(2, row, prior, 2), (Bytes{11, 22, 33, 44, 255, 66}));
  // x + (left + up) / 2, truncated: 1 + 5, 2 + 10, 3 + (6 + 30) / 2,
  // 4 + (12 + 40) / 2, 5 + (21 + 250) / 2, 6 + (30 + 60) / 2.
  EXPECT_EQ(unfiltered(3, row, prior, 2), (Bytes{6, 12, 21, 30, 140, 51}));
  Bytes r = row;
  EXPECT_FALSE(row_unfilter(5, r.data(), prior.data(), r.size(), 2));
  EXPECT_EQ(r, row);
}

// Paeth with left a, up b, up-left c predicts whichever is nearest to
// a + b - c, preferring a, then b, then c.
TEST(PngRows, PaethTies) {
  struct Case {
    uint8_t a, b, c, want;
  };
  for (const Case& k : std::vector<Case>{{10, 10, 10, 10},   // all tie: a
                                         {8, 26, 20, 8},     // |p-a| = |p-c| = 6: a
                                         {5, 20, 10, 20},    // |p-b| = |p-c| = 5: b
                                         {50, 60, 58, 50},   // a nearest
                                         {90, 40, 200, 40},  // b nearest (p < 0)
                                         {3, 250, 130, 130}}) {
    // Distance 1: byte 1 has left = byte 0 (which is a after the row's own
    // first byte is unfiltered with Paeth(0, prior[0], 0) = prior[0]).
    const Bytes prior = {k.c, k.b};
    const Bytes row = {static_cast<uint8_t>(k.a - k.c), 0};
    EXPECT_EQ(unfiltered(4, row, prior, 1)[1], k.want) << int(k.a) << " " << int(k.b) << " " << int(k.c);
    EXPECT_EQ(unfiltered(4, row, prior, 1, false)[1], k.want);
  }
}

TEST(PngRows, FastFiltersMatchThePlainOnes) {
  std::mt19937 rng(1);
  for (uint32_t distance : {1u, 2u, 3u, 4u, 6u, 8u}) {
    for (size_t pixels : {1u, 2u, 5u, 17u, 64u}) {
      const size_t size = pixels * distance;
      Bytes row(size), prior(size);
      for (int trial = 0; trial < 20; ++trial) {
        for (auto& v : row) v = static_cast<uint8_t>(trial % 3 == 0 ? rng() % 4 : rng());
        for (auto& v : prior) v = static_cast<uint8_t>(trial % 2 == 0 ? rng() % 4 + 126 : rng());
        for (uint8_t filter = 0; filter < 5; ++filter)
          ASSERT_EQ(unfiltered(filter, row, prior, distance), unfiltered(filter, row, prior, distance, false))
              << int(filter) << " " << distance << " " << size;
      }
    }
  }
}

TEST(PngRows, Adam7PassSizes) {
  // An 8 x 8 image has 1, 1, 2, 4, 8, 16 and 32 pixels in its passes.
  const uint32_t want[7] = {1, 1, 2, 4, 8, 16, 32};
  for (int p = 0; p < 7; ++p) {
    const Pass& s = kAdam7[p];
    EXPECT_EQ(pass_extent(8, s.x0, s.dx) * pass_extent(8, s.y0, s.dy), want[p]) << p;
  }
  // A 1 x 1 image has only the first pass; 3 x 2 has passes 1, 4, 6, 7.
  for (int p = 1; p < 7; ++p) EXPECT_EQ(pass_extent(1, kAdam7[p].x0, kAdam7[p].dx) * pass_extent(1, kAdam7[p].y0, kAdam7[p].dy), 0u);
  std::vector<int> used;
  for (int p = 0; p < 7; ++p)
    if (pass_extent(3, kAdam7[p].x0, kAdam7[p].dx) * pass_extent(2, kAdam7[p].y0, kAdam7[p].dy) != 0) used.push_back(p + 1);
  EXPECT_EQ(used, (std::vector<int>{1, 4, 6, 7}));
}

TEST(PngRows, Adam7Placement) {
  // Pass 6 of a 7-wide row (columns 1, 3, 5) at 2 bits per pixel: values
  // 1, 2, 3 land in a row otherwise full of 3s.
  Bytes row = {0xFF, 0xFF};
  pass_row_scatter(Bytes{0x6C}.data(), 3, kAdam7[5], 2, row.data());  // 01 10 11 00
  EXPECT_EQ(row, (Bytes{0xDE, 0xFF}));  // 11 01 11 10 | 11 11 11 11
  // Pass 2 (column 4 and every 8th) at 3 bytes per pixel.
  Bytes rgb(13 * 3, 0);
  pass_row_scatter(Bytes{1, 2, 3, 4, 5, 6}.data(), 2, kAdam7[1], 24, rgb.data());
  EXPECT_EQ(Bytes(rgb.begin() + 12, rgb.begin() + 15), (Bytes{1, 2, 3}));
  EXPECT_EQ(Bytes(rgb.begin() + 36, rgb.begin() + 39), (Bytes{4, 5, 6}));
}

Bytes converted(uint8_t colour, uint8_t depth, uint32_t width, const Bytes& raw, uint32_t stride) {
  Header h{width, 1, depth, colour, 0, 0, 0};
  Bytes out(stride, 0xAA);
  row_convert(h, raw.data(), out.data(), stride);
  return out;
}

TEST(PngSamples, ConversionsByHand) {
  // 2-bit samples 0, 1, 2, 3, 3 as 4-bit pixels.
  EXPECT_EQ(converted(0, 2, 5, {0x1B, 0xC0}, 4), (Bytes{0x01, 0x23, 0x30, 0}));
  // Bits past the last 1-bit pixel are cleared, as is the row padding.
  EXPECT_EQ(converted(3, 1, 3, {0xFF}, 4), (Bytes{0xE0, 0, 0, 0}));
  EXPECT_EQ(converted(2, 8, 1, {1, 2, 3}, 4), (Bytes{3, 2, 1, 0}));
  // 16 bits: 0 -> 0, 255 -> 1, 32896 -> 128, 65535 -> 255.
  EXPECT_EQ(converted(0, 16, 4, {0, 0, 0, 255, 0x80, 0x80, 0xFF, 0xFF}, 4), (Bytes{0, 1, 128, 255}));
  EXPECT_EQ(converted(2, 16, 1, {0x12, 0x00, 0x80, 0x80, 0xFF, 0xFF}, 4), (Bytes{255, 128, 18, 0}));
  // Over white: 100 at alpha 128 is 100 * 128 / 255 - 128 + 255 = 50 + 127.
  EXPECT_EQ(converted(4, 8, 1, {100, 128}, 4), (Bytes{177, 177, 177, 0}));
  EXPECT_EQ(converted(6, 8, 2, {100, 0, 255, 128, 9, 9, 9, 0}, 8), (Bytes{255, 127, 177, 255, 255, 255, 0, 0}));
  EXPECT_EQ(converted(6, 8, 1, {1, 2, 3, 255}, 4), (Bytes{3, 2, 1, 0}));
  // At 16 bits: 25700 at alpha 32896: 25700 * 32896 / 65535 = 12900, plus
  // 65535 - 32896 gives 45539, reduced: (45539 + 128) / 257 = 177.
  EXPECT_EQ(converted(4, 16, 1, {0x64, 0x64, 0x80, 0x80}, 4), (Bytes{177, 177, 177, 0}));
}

}  // namespace
