// Sharpening and smoothing: hand-worked 3 x 3 images including the edge
// rules, uniform areas that must stay uniform, 16-bit sharpening, depths
// and strengths refused, and stops at every row.
#include <functional>

#include "IMG_PROC/op_images.h"

using namespace iptest;

namespace {

class Sharpen : public EngineTest {};
class Smooth : public EngineTest {};

}  // namespace

TEST_F(Sharpen, FixedKernelDetailIsAddedToEveryPixel) {
  // 50 around a 100, strength 1: the 3 x 3 kernel times 1/8, added.
  // Centre: 4 x 100 - 2 x 50 x 4 + 50 x 4 = 200 -> 25 -> 125.
  // Top middle: the row above is left out; row 0 gives 0, row 1 gives
  // 50 - 200 + 50 = -100 -> -12.5 -> -12 -> 38.
  // Left middle: column -1 is column 1; row 1 gives -2 x 100 + 4 x 50 -
  // 2 x 100 = -200 -> -25 -> 25.
  // Corner: row 1 with columns 1, 0, 1: 100 - 100 + 100 -> 12 -> 62.
  for (int32_t bits : {8, 24}) {
    SCOPED_TRACE(bits);
    const int32_t n = bits / 8;
    auto image = make_fn(bits, 3, 3, [&](int32_t x, int32_t y) { return uint8_t(x / n == 1 && y == 1 ? 100 : 50); });
    ASSERT_EQ(RX_IP_sharpen(image, nullptr, 1), 0);
    const Rows want = {{62, 38, 62}, {25, 125, 25}, {62, 38, 62}};
    const Rows got = rows_of(image);
    for (int32_t y = 0; y < 3; ++y)
      for (int32_t x = 0; x < 3 * n; ++x) EXPECT_EQ(got[y][x], want[y][x / n]) << x << "," << y;
  }
}

TEST_F(Sharpen, StrengthsScaleTheDetail) {
  // A lone 100 on 60 at the centre of 5 x 5: the 3 x 3 detail there is
  // 4 x 40 = 160; the 5 x 5 kernel's is 8 x 40 = 320.
  const struct {
    int32_t strength, want;
  } cases[] = {{1, 100 + 20}, {2, 100 + 40}, {3, 100 + 80}, {4, 100 + 120},
               {5, 100 + 20}, {6, 100 + 40}, {7, 100 + 80}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.strength);
    auto image = make_fn(8, 5, 5, [](int32_t x, int32_t y) { return uint8_t(x == 2 && y == 2 ? 100 : 60); });
    const int32_t centre[4] = {2, 2, 2, 2};
    ASSERT_EQ(RX_IP_sharpen(image, centre, c.strength), 0);
    EXPECT_EQ(rows_of(image)[2][2], c.want);
    EXPECT_EQ(rows_of(image)[2][1], 60) << "outside the rectangle";
  }
}

TEST_F(Sharpen, SixteenBitFieldsTakeTheChangeOfTheirWidenedValues) {
  // 5-5-5 fields: 10 around 20 in red only. Widened: 10 -> 82, 20 -> 165;
  // centre detail 4 x 83 = 332 -> x 1/8 = 41 -> 206. Back onto the field:
  // 41 x 31 / 255 = 4.98 -> 5, so red 25. Green and blue (0) stay.
  // The neighbours lose: top middle (82 - 330 + 82) / 8 = -20.75 -> -20
  // -> -20 x 31 / 255 = -2.4 -> -2, so 8.
  auto image = make16(3, 3, RX_BI_RGB, [](int32_t x, int32_t y) {
    return uint16_t((x == 1 && y == 1 ? 20 : 10) << 10);
  });
  ASSERT_EQ(RX_IP_sharpen(image, nullptr, 1), 0);
  const auto rows = rows16(image);
  EXPECT_EQ(rows[1][1], 25 << 10);
  EXPECT_EQ(rows[0][1], 8 << 10);
  // A uniform grey 16-bit row with the whole 5 x 5 kernel on it keeps
  // every bit, the low byte too.
  auto grey = make16(4, 5, RX_BI_GRAY16, [](int32_t, int32_t) { return uint16_t(0x8123); });
  const int32_t middle[4] = {0, 2, 3, 2};
  ASSERT_EQ(RX_IP_sharpen(grey, middle, 7), 0);
  EXPECT_EQ(rows16(grey), std::vector<std::vector<uint16_t>>(5, std::vector<uint16_t>(4, 0x8123)));
}

TEST_F(Smooth, BoxMeansWithMirroredColumnsAndCutRows) {
  // A lone 90 in 3 x 3, box 3: the centre column takes 90 / 9 = 10 once;
  // the side columns see column 1 twice (mirrored): 20. Rows beyond the
  // picture are left out, which does not change these sums.
  for (int32_t bits : {8, 24}) {
    SCOPED_TRACE(bits);
    const int32_t n = bits / 8;
    auto image = make_fn(bits, 3, 3, [&](int32_t x, int32_t y) { return uint8_t(x / n == 1 && y == 1 ? 90 : 0); });
    ASSERT_EQ(RX_IP_smooth(image, nullptr, 1), 0);
    const Rows got = rows_of(image);
    for (int32_t y = 0; y < 3; ++y)
      for (int32_t x = 0; x < 3 * n; ++x) EXPECT_EQ(got[y][x], x / n == 1 ? 10 : 20) << x << "," << y;
  }
}

TEST_F(Smooth, UniformAreasStayUniformInEveryBox) {
  // Boxes of 9, 25, 49 and 81 equal pixels: n x v x (1 / n) must give v
  // back, also where 1/49 is stored a hair low.
  for (int32_t strength = 1; strength <= 4; ++strength)
    for (int32_t v : {1, 2, 3, 49, 128, 255}) {
      SCOPED_TRACE(testing::Message() << strength << " " << v);
      auto image = make_fn(8, 9, 9, [&](int32_t, int32_t) { return uint8_t(v); });
      const int32_t centre[4] = {4, 4, 4, 4};
      ASSERT_EQ(RX_IP_smooth(image, centre, strength), 0);
      EXPECT_EQ(rows_of(image)[4][4], v);
    }
  // On the top row of a picture the rows above are left out: 4 of 7 rows of
  // 7 x 7 over 49 -> 28 x 7 / 49 = 4 for 7.
  auto image = make_fn(8, 9, 9, [](int32_t, int32_t) { return uint8_t(7); });
  const int32_t top[4] = {4, 0, 4, 0};
  ASSERT_EQ(RX_IP_smooth(image, top, 3), 0);
  EXPECT_EQ(rows_of(image)[0][4], 4);
}

TEST_F(Smooth, DepthsAndStrengthsRefusedAndStopsHarmless) {
  RX_HIMAGE mono = test::create(test::make_dib(4, 2, 1));
  RX_HIMAGE nibbles = test::create(test::make_dib(4, 2, 4));
  RX_HIMAGE deep = test::create(test::make_dib(4, 2, 16));
  RX_HIMAGE grey = make(8, {{1, 2}});
  const int32_t depth = RXE_BIT_COUNT_UNSUPPORTED, limits = RXE_PARAMETERS_OUT_OF_LIMITS;
  const struct {
    RX_HIMAGE image;
    std::function<int32_t(RX_HIMAGE)> call;
    Codes want;
  } cases[] = {
      {mono, [](RX_HIMAGE i) { return RX_IP_smooth(i, nullptr, 1); }, {depth, 1, 0}},
      {nibbles, [](RX_HIMAGE i) { return RX_IP_smooth(i, nullptr, 1); }, {depth, 4, 0}},
      {deep, [](RX_HIMAGE i) { return RX_IP_smooth(i, nullptr, 1); }, {depth, 16, 0}},
      {grey, [](RX_HIMAGE i) { return RX_IP_smooth(i, nullptr, 0); }, {limits, 0, 0}},
      {grey, [](RX_HIMAGE i) { return RX_IP_smooth(i, nullptr, 5); }, {limits, 5, 0}},
      {mono, [](RX_HIMAGE i) { return RX_IP_sharpen(i, nullptr, 1); }, {depth, 1, 0}},
      {nibbles, [](RX_HIMAGE i) { return RX_IP_sharpen(i, nullptr, 1); }, {depth, 4, 0}},
      {deep, [](RX_HIMAGE i) { return RX_IP_sharpen(i, nullptr, 8); }, {limits, 8, 0}},
      {grey, [](RX_HIMAGE i) { return RX_IP_sharpen(i, nullptr, 0); }, {limits, 0, 0}},
      {0, [](RX_HIMAGE i) { return RX_IP_sharpen(i, nullptr, 1); }, {RXE_INVALID_HANDLE, 0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "wants " << c.want[0] << " " << c.want[1]);
    const Snapshot before = c.image != 0 ? snapshot(c.image) : Snapshot{};
    EXPECT_EQ(c.call(c.image), 1);
    EXPECT_EQ(first_error(), c.want);
    if (c.image != 0) {
      EXPECT_EQ(snapshot(c.image), before);
    }
  }
  auto colour = [] { return make_fn(24, 6, 5, [](int32_t x, int32_t y) { return uint8_t(x * 41 + y * 13); }); };
  expect_every_stop_harmless(colour, [](RX_HIMAGE i) { return RX_IP_smooth(i, nullptr, 2); }, 5, "smooth");
  expect_every_stop_harmless(colour, [](RX_HIMAGE i) { return RX_IP_sharpen(i, nullptr, 6); }, 5, "sharpen");
  auto pixels16 = [] { return make16(5, 4, RX_BI_RGB, [](int32_t x, int32_t y) { return uint16_t(x * 3001 + y * 977); }); };
  expect_every_stop_harmless(pixels16, [](RX_HIMAGE i) { return RX_IP_sharpen(i, nullptr, 3); }, 4, "sharpen 16");
}
