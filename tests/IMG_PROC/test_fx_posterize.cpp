// Posterize: the level table at the band edges for a few level counts,
// the channel mask of 24-bit images, the rectangle and the depth rule.
#include <algorithm>

#include "IMG_PROC/ip_images.h"

using namespace iptest;

namespace {

class FxPosterize : public EngineTest {};

// Every value 0..255 in one 256-pixel row.
Rows ramp() {
  Rows r(1, std::vector<uint8_t>(256));
  for (int32_t i = 0; i < 256; ++i) r[0][i] = uint8_t(i);
  return r;
}

std::vector<uint8_t> posterized(int32_t levels) {
  RX_HIMAGE grey = make(8, ramp());
  EXPECT_EQ(RX_IP_effect_posterize(grey, nullptr, levels, 7), 0);
  return rows_of(grey)[0];
}

}  // namespace

TEST_F(FxPosterize, LevelsAtTheBandEdges) {
  // Two levels (and fewer, taken as two): band 127.5, 127 / 127.5 < 1.
  for (int32_t levels : {2, 1, 0, -7}) {
    const auto t = posterized(levels);
    EXPECT_EQ(t[127], 0) << levels;
    EXPECT_EQ(t[128], 255) << levels;
    EXPECT_EQ(std::count(t.begin(), t.end(), 0), 128) << levels;
  }
  // Four: band 63.75, level 85: 63 -> 0, 64 -> 85, 127 -> 85, 128 -> 170,
  // 191 -> 170, 192 -> 255, 255 (band 4, 340) -> 255.
  const auto four = posterized(4);
  EXPECT_EQ(four[63], 0);
  EXPECT_EQ(four[64], 85);
  EXPECT_EQ(four[127], 85);
  EXPECT_EQ(four[128], 170);
  EXPECT_EQ(four[191], 170);
  EXPECT_EQ(four[192], 255);
  EXPECT_EQ(four[255], 255);
  // Three: band 85, level 127.5: 84 -> 0, 85 -> 127, 169 -> 127, 170 -> 255.
  const auto three = posterized(3);
  EXPECT_EQ(three[84], 0);
  EXPECT_EQ(three[85], 127);
  EXPECT_EQ(three[169], 127);
  EXPECT_EQ(three[170], 255);
  // 256 levels and more keep every value (band <= 1, level >= 1).
  const auto all = posterized(256);
  EXPECT_EQ(all, ramp()[0]);
  EXPECT_NEAR(posterized(INT32_MAX)[200], 200, 1) << "huge counts stay in range";
}

TEST_F(FxPosterize, MaskPicksTheColourChannels) {
  // Bytes are blue, green, red; mask 1 is red only.
  RX_HIMAGE colour = make(24, {{100, 100, 100, 200, 200, 200}});
  ASSERT_EQ(RX_IP_effect_posterize(colour, nullptr, 2, RX_CHANNEL_RED), 0);
  EXPECT_EQ(rows_of(colour), (Rows{{100, 100, 0, 200, 200, 255}}));
  ASSERT_EQ(RX_IP_effect_posterize(colour, nullptr, 2, RX_CHANNEL_GREEN | RX_CHANNEL_BLUE), 0);
  EXPECT_EQ(rows_of(colour), (Rows{{0, 0, 0, 255, 255, 255}}));
  RX_HIMAGE untouched = make(24, {{100, 100, 100}});
  ASSERT_EQ(RX_IP_effect_posterize(untouched, nullptr, 2, 0), 0);
  EXPECT_EQ(rows_of(untouched), (Rows{{100, 100, 100}}));
}

TEST_F(FxPosterize, RectangleAndDepths) {
  RX_HIMAGE grey = make(8, {{10, 200}, {200, 10}});
  const int32_t inverted[4] = {1, 1, 0, 0};  // collapses to the one pixel (1, 1)
  ASSERT_EQ(RX_IP_effect_posterize(grey, inverted, 2, 7), 0);
  EXPECT_EQ(rows_of(grey), (Rows{{10, 200}, {200, 0}}));
  const int32_t outside[4] = {50, 50, 60, 60};  // clamps to the bottom-right pixel
  ASSERT_EQ(RX_IP_effect_posterize(grey, outside, 2, 7), 0);
  EXPECT_EQ(rows_of(grey), (Rows{{10, 200}, {200, 0}}));
  for (int32_t bits : {1, 4, 16}) {
    RX_HIMAGE image = test::create(test::make_dib(3, 2, bits));
    EXPECT_EQ(RX_IP_effect_posterize(image, nullptr, 2, 7), 1);
    EXPECT_EQ(first_error(), (Codes{RXE_BIT_COUNT_UNSUPPORTED, bits, 0}));
  }
}
