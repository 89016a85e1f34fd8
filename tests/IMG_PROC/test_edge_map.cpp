// The edge map: every operator on step edges and small neighbourhoods
// worked out by hand, uniform areas, the border the neighbourhood
// operators leave, refusals, and stops at every row.
#include <functional>

#include "IMG_PROC/op_images.h"

using namespace iptest;

namespace {

class EdgeMap : public EngineTest {};

Rows edges(const Rows& source, int32_t mode, int32_t bits = 8) {
  RX_HIMAGE image = make(bits, source);
  EXPECT_EQ(RX_IP_edge_map(image, nullptr, mode), 0);
  Rows out = rows_of(image);
  RX_image_delete(image);
  return out;
}

}  // namespace

TEST_F(EdgeMap, UniformAreasGiveZeroInEveryMode) {
  // Wherever the whole operator lies on the picture. The neighbourhood
  // operators leave the outermost pixels as they were.
  for (int32_t mode = 1; mode <= 8; ++mode) {
    SCOPED_TRACE(mode);
    const Rows got = edges(Rows(7, std::vector<uint8_t>(21, 99)), mode, 24);
    for (int32_t y = 2; y < 5; ++y)
      for (int32_t x = 6; x < 15; ++x) EXPECT_EQ(got[y][x], 0) << x << "," << y;
    if (mode <= 3) {
      EXPECT_EQ(got[0][0], 99);
    }
  }
}

TEST_F(EdgeMap, DirectionalKernelsOnStepEdges) {
  // Mode 5 weighs the row above +1 and the row below -1. A step from 0
  // (above) to 255 (below) is negative, cut to 0; only the bottom row,
  // whose row below is left out, sees +765 -> 255.
  const Rows dark_over_light = {{0, 0, 0}, {0, 0, 0}, {255, 255, 255}, {255, 255, 255}};
  EXPECT_EQ(edges(dark_over_light, 5), (Rows{{0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {255, 255, 255}}));
  const Rows light_over_dark = {{255, 255, 255}, {255, 255, 255}, {0, 0, 0}, {0, 0, 0}};
  EXPECT_EQ(edges(light_over_dark, 5), (Rows{{0, 0, 0}, {255, 255, 255}, {255, 255, 255}, {0, 0, 0}}));
  // Mode 6 weighs left +1, right -1: 255 (left) to 0 (right) is 255 on
  // both sides of the step; the outer columns mirror to 0.
  const Rows light_left = Rows(3, {255, 255, 0, 0});
  EXPECT_EQ(edges(light_left, 6), Rows(3, std::vector<uint8_t>{0, 255, 255, 0}));
  // Mode 7 at column 1 of the middle row (columns 255, 255, 0):
  // (255 + 0) + (-255 + 0) + (-255 - 255) = -510 -> 0; mode 8 is its
  // negative, 510 -> 255; at column 2 (255, 0, 0): 0 - 255 - 255 alike.
  EXPECT_EQ(edges(light_left, 7)[1], (std::vector<uint8_t>{0, 0, 0, 0}));
  EXPECT_EQ(edges(light_left, 8)[1], (std::vector<uint8_t>{0, 255, 255, 0}));
}

TEST_F(EdgeMap, FixedFiveByFiveTimesASixteenth) {
  // A lone 32 at the centre of 5 x 5 zeros: the element over it times 32 /
  // 16. Centre 8 -> 16; beside it 2 -> 4. At column 0 the lone pixel's
  // column comes in twice, mirrored, under the -1s of columns 0 and 4;
  // rows beyond the picture are left out, so the top row sees only the
  // bottom row of -1s.
  Rows lone(5, std::vector<uint8_t>(5, 0));
  lone[2][2] = 32;
  EXPECT_EQ(edges(lone, 4), (Rows{{0, 0, 0, 0, 0}, {0, 0, 4, 0, 0}, {0, 4, 16, 4, 0}, {0, 0, 4, 0, 0},
                                  {0, 0, 0, 0, 0}}));
}

TEST_F(EdgeMap, NeighbourhoodOperators) {
  // Mode 1 on a vertical step of 90: gx = (0 - 270) / 3 = -90 at columns 1
  // and 2 of the middle row; the border keeps its pixels.
  const Rows step = Rows(3, {90, 90, 0, 0});
  EXPECT_EQ(edges(step, 1), (Rows{{90, 90, 0, 0}, {90, 90, 90, 0}, {90, 90, 0, 0}}));
  // A corner: gx = (0 + 255 + 255) / 3 = 170, gy likewise; sqrt(2 x 170^2)
  // = 240.4 -> 240.
  const Rows corner = {{0, 0, 0}, {0, 0, 255}, {0, 255, 255}};
  EXPECT_EQ(edges(corner, 1)[1][1], 240);
  // Mode 2: gx = a2 + 2 b2 + c2 - (a0 + 2 b0 + c0), gy from c minus a;
  // one 255 below right: gx = gy = 255, sqrt(2) x 255 / 4 = 90.1 -> 90.
  const Rows dot = {{0, 0, 0}, {0, 0, 0}, {0, 0, 255}};
  EXPECT_EQ(edges(dot, 2)[1][1], 90);
  // The corner: gx = 510 + 255 = 765, gy = 765: 270.4 is limited to 255.
  EXPECT_EQ(edges(corner, 2)[1][1], 255);
  // Mode 3: |8 x 100 - 8 x 20| / 8 = 80; a 0 among 255s gives 2040 / 8.
  EXPECT_EQ(edges({{20, 20, 20}, {20, 100, 20}, {20, 20, 20}}, 3)[1][1], 80);
  EXPECT_EQ(edges({{255, 255, 255}, {255, 0, 255}, {255, 255, 255}}, 3)[1][1], 255);
  // 24-bit images channel by channel: the step in green only.
  const Rows green = Rows(3, {0, 90, 0, 0, 90, 0, 0, 0, 0, 0, 0, 0});
  EXPECT_EQ(edges(green, 1, 24)[1], (std::vector<uint8_t>{0, 90, 0, 0, 90, 0, 0, 90, 0, 0, 0, 0}));
  // Too small for a neighbourhood: nothing to do.
  EXPECT_EQ(edges({{1, 2}, {3, 4}}, 2), (Rows{{1, 2}, {3, 4}}));
}

TEST_F(EdgeMap, RectangleLimitsTheMap) {
  RX_HIMAGE image = make(8, Rows(4, {255, 255, 0, 0, 0}));
  const int32_t rect[4] = {2, 1, 4, 2};
  ASSERT_EQ(RX_IP_edge_map(image, rect, 6), 0);
  EXPECT_EQ(rows_of(image), (Rows{{255, 255, 0, 0, 0}, {255, 255, 255, 0, 0}, {255, 255, 255, 0, 0},
                                  {255, 255, 0, 0, 0}}));
}

TEST_F(EdgeMap, RefusalsAndStops) {
  RX_HIMAGE grey = make(8, {{1, 2}});
  RX_HIMAGE nibbles = test::create(test::make_dib(4, 2, 4));
  RX_HIMAGE mono = test::create(test::make_dib(4, 2, 1));
  RX_HIMAGE deep = test::create(test::make_dib(4, 2, 16));
  const int32_t depth = RXE_BIT_COUNT_UNSUPPORTED, limits = RXE_PARAMETERS_OUT_OF_LIMITS;
  const struct {
    RX_HIMAGE image;
    int32_t mode;
    Codes want;
  } cases[] = {{nibbles, 1, {depth, 4, 0}}, {mono, 5, {depth, 1, 0}}, {deep, 1, {depth, 16, 0}},
               {grey, 9, {limits, 9, 0}},   {grey, 0, {limits, 0, 0}}, {0, 1, {RXE_INVALID_HANDLE, 0, 0}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode);
    const Snapshot before = c.image != 0 ? snapshot(c.image) : Snapshot{};
    EXPECT_EQ(RX_IP_edge_map(c.image, nullptr, c.mode), 1);
    EXPECT_EQ(first_error(), c.want);
    if (c.image != 0) {
      EXPECT_EQ(snapshot(c.image), before);
    }
  }
  auto colour = [] { return make_fn(24, 7, 6, [](int32_t x, int32_t y) { return uint8_t(x * 53 + y * 29); }); };
  // The neighbourhood operators report the rows inside the border.
  for (int32_t mode : {1, 2, 3})
    expect_every_stop_harmless(colour, [=](RX_HIMAGE i) { return RX_IP_edge_map(i, nullptr, mode); }, 4,
                               "mode " + std::to_string(mode));
  for (int32_t mode : {4, 7})
    expect_every_stop_harmless(colour, [=](RX_HIMAGE i) { return RX_IP_edge_map(i, nullptr, mode); }, 6,
                               "mode " + std::to_string(mode));
}
