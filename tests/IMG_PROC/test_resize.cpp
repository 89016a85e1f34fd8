// Resize and crop: the sampling positions of each method worked out by
// hand, the clamped crop rectangle, every depth and both 1-bit formats,
// refusals and stops that leave the image as it was.
#include <cmath>

#include "IMG_PROC/op_images.h"

using namespace iptest;

namespace {

class Resize : public EngineTest {};
class Crop : public EngineTest {};

Rows resized(int32_t bits, const Rows& rows, int32_t width, int32_t height, int32_t method,
             bool runs = false) {
  RX_HIMAGE image = make(bits, rows, runs);
  EXPECT_EQ(RX_IP_resize(image, width, height, method), 0) << first_error()[0];
  EXPECT_EQ(compression_of(image), runs ? RX_BI_RUNS : RX_BI_RGB);
  return rows_of(image);
}

// One row of an 8-bit image whose pixel is its column.
Rows ramp_row(int32_t width) {
  Rows r(1, std::vector<uint8_t>(width));
  for (int32_t x = 0; x < width; ++x) r[0][x] = uint8_t(x);
  return r;
}

}  // namespace

TEST_F(Resize, ReplicateAccumulatesTheRatio) {
  // 5 -> 3: positions 0, 1.67, 3.33.  3 -> 7: 0, .43, .86, 1.29, 1.71, 2.14, 2.57.
  EXPECT_EQ(resized(8, ramp_row(5), 3, 1, 0), (Rows{{0, 1, 3}}));
  EXPECT_EQ(resized(8, ramp_row(3), 7, 1, 0), (Rows{{0, 0, 0, 1, 1, 2, 2}}));
  // 2 -> 20: the ratio 0.1 added ten times is just below 1, so column 10
  // still takes source column 0 (10 x 0.1 would give 1).
  Rows want(1, std::vector<uint8_t>(20, 1));
  for (int x = 0; x <= 10; ++x) want[0][x] = 0;
  EXPECT_EQ(resized(8, ramp_row(2), 20, 1, 0), want);
  // Rows alike: 4 rows -> 3 takes rows 0, 1, 2.
  EXPECT_EQ(resized(8, {{10}, {20}, {30}, {40}}, 1, 3, 0), (Rows{{10}, {20}, {30}}));
  // 24-bit pixels move whole; a 2 x 2 image doubled repeats each pixel.
  EXPECT_EQ(resized(24, {{1, 2, 3, 4, 5, 6}, {7, 8, 9, 10, 11, 12}}, 4, 4, 0),
            (Rows{{1, 2, 3, 1, 2, 3, 4, 5, 6, 4, 5, 6},
                  {1, 2, 3, 1, 2, 3, 4, 5, 6, 4, 5, 6},
                  {7, 8, 9, 7, 8, 9, 10, 11, 12, 10, 11, 12},
                  {7, 8, 9, 7, 8, 9, 10, 11, 12, 10, 11, 12}}));
  // The same size gives the same pixels.
  const Rows photo = {{9, 8, 7, 6, 5, 4}, {3, 2, 1, 0, 255, 254}};
  EXPECT_EQ(resized(24, photo, 2, 2, 0), photo);
  // 1-bit images in both formats sample like 8-bit ones.
  for (bool runs : {false, true}) {
    EXPECT_EQ(resized(1, {{0, 1}}, 20, 1, 0, runs), (Rows{{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1}}));
    EXPECT_EQ(resized(1, {{1, 0, 1, 1, 0}}, 3, 1, 0, runs), (Rows{{1, 0, 1}}));
  }
}

TEST_F(Resize, ReplicateRoundsFourAndSixteenBitPositions) {
  // Column round((x + 1) x ratio - 1), halves up, kept inside the image.
  // 6 -> 4 (ratio 1.5): 0.5, 2, 3.5, 5 -> 1, 2, 4, 5.
  EXPECT_EQ(resized(4, {{0, 1, 2, 3, 4, 5}}, 4, 1, 0), (Rows{{1, 2, 4, 5}}));
  // 4 -> 6 (ratio 2/3): -1/3, 1/3, 1, 5/3, 7/3, 3 -> 0, 0, 1, 2, 2, 3.
  EXPECT_EQ(resized(4, {{0, 1, 2, 3}}, 6, 1, 0), (Rows{{0, 0, 1, 2, 2, 3}}));
  // 2 -> 8 (ratio 1/4): -0.75 rounds to -1, kept at column 0.
  EXPECT_EQ(resized(4, {{5, 9}}, 8, 1, 0), (Rows{{5, 5, 5, 5, 5, 9, 9, 9}}));
  // 16-bit pixels, rows alike: 3 rows -> 2 (ratio 1.5): rows 1 and 2.
  RX_HIMAGE deep = make16(6, 3, RX_BI_RGB, [](int32_t x, int32_t y) { return uint16_t(1000 * y + x); });
  ASSERT_EQ(RX_IP_resize(deep, 4, 2, 0), 0);
  EXPECT_EQ(rows16(deep), (std::vector<std::vector<uint16_t>>{{1001, 1002, 1004, 1005}, {2001, 2002, 2004, 2005}}));
}

TEST_F(Resize, AverageOfFourCornersAtTheLastRowAndColumn) {
  // 3 -> 2 (ratio 1.5): x = 0 averages columns 0 and 1; x = 1 columns 1
  // and trunc(3.0) = 3, which reaches the width and becomes 2. Rows alike.
  const Rows src = {{0, 10, 20}, {30, 41, 52}, {60, 70, 83}};
  EXPECT_EQ(resized(8, src, 2, 2, 1), (Rows{{(0 + 10 + 30 + 41) >> 2, (10 + 20 + 41 + 52) >> 2},
                                             {(30 + 41 + 60 + 70) >> 2, (41 + 52 + 70 + 83) >> 2}}));
  // 2 -> 3 (ratio 2/3): x = 2 takes columns 1 and trunc(2.0) = 2 -> 1.
  EXPECT_EQ(resized(8, {{100, 203}}, 3, 1, 1), (Rows{{100, (100 + 203 + 100 + 203) >> 2, 203}}));
  // 24-bit: each channel on its own.
  EXPECT_EQ(resized(24, {{0, 100, 255, 3, 101, 254}}, 1, 1, 1), (Rows{{1, 100, 254}}));
  // 16-bit grey pixels are one sample.
  const uint32_t masks[3] = {0xFFFF, 0xFFFF, 0xFFFF};
  RX_HIMAGE grey16 = make16(2, 1, RX_BI_GRAY16, [](int32_t x, int32_t) { return uint16_t(x ? 60001 : 40000); }, masks);
  ASSERT_EQ(RX_IP_resize(grey16, 1, 1, 1), 0);
  EXPECT_EQ(rows16(grey16)[0][0], (40000 + 60001 + 40000 + 60001) >> 2);
  EXPECT_EQ(compression_of(grey16), RX_BI_GRAY16);
  EXPECT_EQ(masks_of(grey16), std::vector<uint8_t>({0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 0, 0}));
  // 16-bit colour pixels average per 5-bit channel: red 31 and 0 give 15.
  RX_HIMAGE rgb555 = make16(2, 1, RX_BI_RGB, [](int32_t x, int32_t) { return uint16_t(x ? 0x7C00 | 2 : 4); });
  ASSERT_EQ(RX_IP_resize(rgb555, 1, 1, 1), 0);
  EXPECT_EQ(rows16(rgb555)[0][0], (15 << 10) | 3);
}

TEST_F(Resize, BilinearAtFractionalPositions) {
  // 2 -> 4 (ratio 0.5): s = -0.25 (taken as 0), 0.25, 0.75 and 1.25, whose
  // neighbour past the last column is the last column again.
  EXPECT_EQ(resized(8, {{0, 100}}, 4, 1, 2), (Rows{{0, 25, 75, 100}}));
  // Rows alike. Row 0 across: 0, 25, 75, 100; row 1: 200, 160, 80, 40.
  // (1, 1): 25 + (160 - 25) x 0.25 = 58.75; (2, 1): 75 + 5 x 0.25 = 76.25;
  // (1, 2): 25 + 135 x 0.75 = 126.25; (2, 2): 75 + 5 x 0.75 = 78.75.
  EXPECT_EQ(resized(8, {{0, 100}, {200, 40}}, 4, 4, 2),
            (Rows{{0, 25, 75, 100}, {50, 58, 76, 85}, {150, 126, 78, 55}, {200, 160, 80, 40}}));
  // Channels of a 24-bit pixel each on their own.
  EXPECT_EQ(resized(24, {{0, 10, 255, 100, 11, 0}}, 4, 1, 2),
            (Rows{{0, 10, 255, 25, 10, 191, 75, 10, 63, 100, 11, 0}}));
  // 5-6-5 masks: green 0 and 63 at 0.25 give 15.75 -> 15.
  const uint32_t masks[3] = {0xF800, 0x07E0, 0x001F};
  RX_HIMAGE rgb565 = make16(2, 1, RX_BI_BITFIELDS, [](int32_t x, int32_t) { return uint16_t(x ? 0x07E0 : 0); }, masks);
  ASSERT_EQ(RX_IP_resize(rgb565, 4, 1, 2), 0);
  EXPECT_EQ(rows16(rgb565)[0], (std::vector<uint16_t>{0, 15 << 5, 47 << 5, 63 << 5}));
  EXPECT_EQ(compression_of(rgb565), RX_BI_BITFIELDS);
}

TEST_F(Resize, BilevelThresholdsOfAverageAndBilinear) {
  // 2 x 2 -> 3 x 3 (ratio 2/3): s = 0 (from -1/6), 0.5 and 7/6 (the last
  // column twice). Average: at least three of the four bits set.
  // Bilinear: the interpolated bits above one half; exactly 0.5 is 0.
  const Rows src = {{1, 1}, {1, 0}};
  for (bool runs : {false, true}) {
    SCOPED_TRACE(runs);
    EXPECT_EQ(resized(1, src, 3, 3, 1, runs), (Rows{{1, 1, 0}, {1, 1, 0}, {0, 0, 0}}));
    EXPECT_EQ(resized(1, src, 3, 3, 2, runs), (Rows{{1, 1, 1}, {1, 1, 0}, {1, 0, 0}}));
  }
}

TEST_F(Resize, RunsImagesReadLikePlainOnes) {
  auto bit = [](int32_t x, int32_t y) { return uint8_t(((x / 3 + y) % 4 == 0) || (x * y) % 7 == 1); };
  const int32_t sizes[][2] = {{1, 1}, {7, 3}, {37, 11}, {90, 40}, {200, 5}};
  for (int32_t method : {0, 1, 2})
    for (const auto& s : sizes) {
      SCOPED_TRACE(testing::Message() << "method " << method << " to " << s[0] << " x " << s[1]);
      RX_HIMAGE plain = make_fn(1, 45, 17, bit), runs = make_fn(1, 45, 17, bit, true);
      ASSERT_EQ(RX_IP_resize(plain, s[0], s[1], method), 0);
      ASSERT_EQ(RX_IP_resize(runs, s[0], s[1], method), 0);
      EXPECT_EQ(compression_of(runs), RX_BI_RUNS);
      EXPECT_EQ(rows_of(runs), rows_of(plain));
      // The plain result agrees with sampling by the replicate rule directly.
      if (method == 0) {
        const Rows src = rows_of(make_fn(1, 45, 17, bit));
        Rows want(s[1], std::vector<uint8_t>(s[0]));
        double py = 0;
        for (int32_t y = 0; y < s[1]; ++y, py += 17.0 / s[1]) {
          double px = 0;
          for (int32_t x = 0; x < s[0]; ++x, px += 45.0 / s[0]) want[y][x] = src[int(py)][int(px)];
        }
        EXPECT_EQ(rows_of(plain), want);
      }
    }
}

TEST_F(Resize, RefusalsLeaveTheImage) {
  RX_HIMAGE grey = make_fn(8, 4, 3, [](int32_t x, int32_t y) { return uint8_t(x + 4 * y); });
  RX_HIMAGE nibbles = test::create(test::make_dib(4, 3, 4));
  auto dib = test::make_dib(4, 3, 8);
  dib[40 + 4 * 9 + 2] = 0xFF;  // entry 9 turns red
  RX_HIMAGE indexed = test::create(dib);
  RX_HIMAGE runs = make_fn(1, 32762, 2, [](int32_t x, int32_t) { return uint8_t(x % 5 == 0); }, true);
  const struct {
    RX_HIMAGE image;
    int32_t width, height, method;
    Codes want;
  } cases[] = {
      {grey, 0, 3, 0, {RXE_PARAMETERS_OUT_OF_LIMITS, 0, 3}},
      {grey, 4, -1, 0, {RXE_PARAMETERS_OUT_OF_LIMITS, 4, -1}},
      {grey, 4, 3, 3, {RXE_PARAMETERS_OUT_OF_LIMITS, 3, 0}},
      {grey, 4, 3, -1, {RXE_PARAMETERS_OUT_OF_LIMITS, -1, 0}},
      {grey, 70000, 70000, 0, {RXE_DIB_SIZE_WRONG, 70000, 70000}},
      {grey, INT32_MAX, 1, 2, {RXE_DIB_SIZE_WRONG, INT32_MAX, 1}},
      {nibbles, 2, 2, 1, {RXE_BIT_COUNT_UNSUPPORTED, 4, 1}},
      {nibbles, 2, 2, 2, {RXE_BIT_COUNT_UNSUPPORTED, 4, 2}},
      {indexed, 2, 2, 2, {RXE_INDEXED_8_BIT_UNSUPPORTED, 0, 0}},
      {runs, 32763, 2, 0, {RXE_DIB_SIZE_WRONG, 32763, 2}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << " x " << c.height << " method " << c.method);
    const Snapshot before = snapshot(c.image);
    EXPECT_EQ(RX_IP_resize(c.image, c.width, c.height, c.method), 1);
    EXPECT_EQ(first_error(), c.want);
    EXPECT_EQ(snapshot(c.image), before);
  }
  // Replicate works on indexed images; the widest runs image stays runs.
  EXPECT_EQ(RX_IP_resize(indexed, 2, 2, 0), 0);
  ASSERT_EQ(RX_IP_resize(runs, 32762, 3, 0), 0);
  EXPECT_EQ(rows_of(runs)[2][32760], 1);
  EXPECT_EQ(compression_of(runs), RX_BI_RUNS);
  // Handles: 0 and a stale one.
  EXPECT_EQ(RX_IP_resize(0, 2, 2, 0), 1);
  EXPECT_EQ(first_error()[0], RXE_INVALID_HANDLE);
  RX_image_delete(grey);
  EXPECT_EQ(RX_IP_resize(grey, 2, 2, 0), 1);
  EXPECT_EQ(first_error()[0], RXE_INVALID_FILE_HEADER);
}

TEST_F(Resize, ThinAndTallImages) {
  // One pixel to many and back, in each direction.
  for (int32_t method : {0, 1, 2}) {
    RX_HIMAGE dot = make(8, {{77}});
    ASSERT_EQ(RX_IP_resize(dot, 1, 40000, method), 0);
    ASSERT_EQ(RX_IP_resize(dot, 3000, 1, method), 0);
    EXPECT_EQ(rows_of(dot), (Rows{std::vector<uint8_t>(3000, 77)}));
    RX_HIMAGE mono = make(1, {{1}}, true);
    ASSERT_EQ(RX_IP_resize(mono, 32762, 1, method), 0);
    ASSERT_EQ(RX_IP_resize(mono, 1, 1, method), 0);
    EXPECT_EQ(rows_of(mono), (Rows{{1}}));
  }
}

TEST_F(Resize, StopAtAnyRowLeavesTheImage) {
  auto value = [](int32_t x, int32_t y) { return uint8_t(x * 37 + y * 11); };
  for (int32_t method : {0, 1, 2}) {
    const auto m = std::to_string(method);
    expect_every_stop_harmless([&] { return make_fn(24, 5, 4, value); },
                               [&](RX_HIMAGE i) { return RX_IP_resize(i, 7, 6, method); }, 6, "24-bit, method " + m);
    expect_every_stop_harmless([&] { return make_fn(1, 9, 4, value, true); },
                               [&](RX_HIMAGE i) { return RX_IP_resize(i, 5, 3, method); }, 3, "runs, method " + m);
  }
  expect_every_stop_harmless([&] { return make_fn(4, 5, 4, [](int32_t x, int32_t) { return uint8_t(x); }); },
                             [&](RX_HIMAGE i) { return RX_IP_resize(i, 3, 5, 0); }, 5, "4-bit");
}

TEST_F(Crop, RectanglesAreClampedIntoTheImage) {
  auto value = [](int32_t x, int32_t y) { return uint8_t(10 * y + x); };
  const struct {
    int32_t rect[4];
    Rows want;
  } cases[] = {
      {{1, 1, 3, 2}, {{11, 12, 13}, {21, 22, 23}}},
      {{-3, 2, 99, 9}, {{20, 21, 22, 23, 24}, {30, 31, 32, 33, 34}}},
      {{3, 1, 1, 0}, {{13}}},   // right before left: one column; bottom above top: one row
      {{7, -5, 8, -1}, {{4}}},  // left past the right edge: the last column
      {{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, {{0, 1, 2, 3, 4}, {10, 11, 12, 13, 14}, {20, 21, 22, 23, 24}, {30, 31, 32, 33, 34}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.rect[0] << ", " << c.rect[1] << ", " << c.rect[2] << ", " << c.rect[3]);
    RX_HIMAGE image = make_fn(8, 5, 4, value);
    ASSERT_EQ(RX_IP_crop(image, c.rect), 0);
    EXPECT_EQ(rows_of(image), c.want);
    int32_t rect[4] = {};
    RX_display_image_rect_get(image, rect);
    EXPECT_EQ(rect[2], int32_t(c.want[0].size()) - 1) << "the image rectangle follows the new size";
  }
  // A null rectangle does nothing; a 0 handle is refused.
  RX_HIMAGE image = make_fn(8, 5, 4, value);
  EXPECT_EQ(RX_IP_crop(image, nullptr), 0);
  EXPECT_EQ(rows_of(image).size(), 4u);
  const int32_t rect[4] = {0, 0, 1, 1};
  EXPECT_EQ(RX_IP_crop(0, rect), 1);
  EXPECT_EQ(first_error()[0], RXE_INVALID_HANDLE);
}

TEST_F(Crop, EveryDepthAndFormat) {
  auto value = [](int32_t x, int32_t y) { return uint8_t((x * 7 + y * 3) % 11 > 4); };
  const int32_t rect[4] = {3, 1, 29, 5};  // odd left: bits and nibbles shift
  for (int32_t bits : {1, 4, 8, 24})
    for (bool runs : {false, true}) {
      if (runs && bits != 1) continue;
      SCOPED_TRACE(testing::Message() << bits << (runs ? " runs" : ""));
      RX_HIMAGE image = make_fn(bits, 33, 7, [&](int32_t x, int32_t y) { return uint8_t(bits == 1 ? value(x, y) : (x * 5 + y) % 16); }, runs);
      Rows want = rows_of(image);
      want.erase(want.begin() + 6, want.end());
      want.erase(want.begin());
      const int32_t per = bits == 24 ? 3 : 1;
      for (auto& row : want) row = std::vector<uint8_t>(row.begin() + 3 * per, row.begin() + 30 * per);
      ASSERT_EQ(RX_IP_crop(image, rect), 0);
      EXPECT_EQ(compression_of(image), runs ? RX_BI_RUNS : RX_BI_RGB);
      EXPECT_EQ(rows_of(image), want);
    }
  // 16-bit grey images keep their compression and masks.
  const uint32_t masks[3] = {0xFFFF, 0xFFFF, 0xFFFF};
  RX_HIMAGE deep = make16(4, 3, RX_BI_GRAY16, [](int32_t x, int32_t y) { return uint16_t(1000 * y + x); }, masks);
  const int32_t corner[4] = {2, 1, 3, 2};
  ASSERT_EQ(RX_IP_crop(deep, corner), 0);
  EXPECT_EQ(rows16(deep), (std::vector<std::vector<uint16_t>>{{1002, 1003}, {2002, 2003}}));
  EXPECT_EQ(compression_of(deep), RX_BI_GRAY16);
  EXPECT_EQ(masks_of(deep)[0], 0xFF);
  // A runs row that starts inside a run of 0s, and one that ends at a change.
  RX_HIMAGE mono = make(1, {{1, 1, 0, 0, 0, 1, 1, 0}, {0, 1, 1, 1, 1, 1, 1, 1}}, true);
  const int32_t inner[4] = {3, 0, 6, 1};
  ASSERT_EQ(RX_IP_crop(mono, inner), 0);
  EXPECT_EQ(rows_of(mono), (Rows{{0, 0, 1, 1}, {1, 1, 1, 1}}));
}

TEST_F(Crop, StopAtAnyRowLeavesTheImage) {
  const int32_t rect[4] = {1, 1, 6, 4};
  auto value = [](int32_t x, int32_t y) { return uint8_t((x + y) % 3 == 0); };
  expect_every_stop_harmless([&] { return make_fn(8, 8, 6, value); }, [&](RX_HIMAGE i) { return RX_IP_crop(i, rect); }, 4, "8-bit");
  expect_every_stop_harmless([&] { return make_fn(1, 8, 6, value, true); }, [&](RX_HIMAGE i) { return RX_IP_crop(i, rect); }, 4, "runs");
}
