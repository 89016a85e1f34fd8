// The control's special-effect members and despeckle: the processing
// rectangle, the written value and the auxiliary entries reach the
// effects, results are checked by the effects' rules worked on pixels read
// before the write, and refused values leave the image and report.
#include <algorithm>
#include <vector>

#include "SUPPORT/dib_builder.h"
#include "ocx32/ctrl_harness.h"
#include "rast_dispids.h"

namespace {

using namespace rast;

class CtrlEffects : public test::CtrlTest {
 protected:
  std::vector<std::vector<uint8_t>> column(int32_t x, int32_t height) {
    std::vector<std::vector<uint8_t>> c;
    for (int32_t y = 0; y < height; ++y) c.push_back(pixel(x, y));
    return c;
  }
};

TEST_F(CtrlEffects, BlurActsFromTheRectangleLeftAndALoadResetsIt) {
  load(16, 6);
  const auto col9 = column(9, 6);
  const auto col10 = column(10, 6);
  host.put_i4(kDispImageRectLeft, 10);
  host.put_i4(kDispFXBlur, 2);
  EXPECT_EQ(host.get_int(kDispErrCount), 0);
  EXPECT_EQ(column(9, 6), col9) << "left of the rectangle nothing changes";
  EXPECT_NE(column(10, 6), col10);
  // 5 x 5 box at (10, 2) for one channel, by the rule: rows 0..4,
  // columns 8..12 of the picture as loaded, summed and divided by 25.
  load(16, 6);
  int32_t sum = 0;
  for (int32_t y = 0; y <= 4; ++y)
    for (int32_t x = 8; x <= 12; ++x) sum += pixel(x, y)[1];
  host.put_i4(kDispFXBlur, 2);
  EXPECT_EQ(pixel(10, 2)[1], sum / 25);
  EXPECT_EQ(host.get_int(kDispImageRectLeft), 0) << "the load reset the rectangle";
  EXPECT_NE(column(9, 6), col9) << "a later load blurs the whole picture";

  // Strength 5 is no blur and reports nothing.
  load(16, 6);
  const auto before = column(3, 6);
  host.put_i4(kDispFXBlur, 5);
  EXPECT_EQ(host.get_int(kDispErrCount), 0);
  EXPECT_EQ(column(3, 6), before);
}

TEST_F(CtrlEffects, PosterizeTakesTheValueAsLevelsOnAllChannels) {
  load(8, 4);
  host.put_i4(kDispFXPosterize, 2);
  EXPECT_EQ(host.get_int(kDispErrCount), 0);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 8; ++x)
      for (uint8_t b : pixel(x, y)) EXPECT_TRUE(b == 0 || b == 255) << x << "," << y;
}

TEST_F(CtrlEffects, EmbossReadsItsDirectionFromAuxiliaryFiveAndTenthsFromTheValue) {
  const RX_HIMAGE image = load(6, 3);
  const auto before = pixel(2, 1);
  // Auxiliary 5 starts at 0, which names no direction.
  host.put_i4(kDispFXEmboss, 10);
  EXPECT_EQ(host.get_int(kDispErrCount), 1);
  EXPECT_EQ(host.get_int(kDispErrorCode), RXE_PARAMETERS_OUT_OF_LIMITS);
  EXPECT_EQ(pixel(2, 1), before);
  EXPECT_EQ(ctrl().current_image(), image);
  // Direction 3 at 10 tenths: the left neighbour less the pixel, limited
  // to -127..128, plus 127, channel by channel.
  aux(5, 3);
  const auto left = pixel(1, 1);
  host.put_i4(kDispFXEmboss, 10);
  EXPECT_EQ(host.get_int(kDispErrCount), 0);
  const auto after = pixel(2, 1);
  for (size_t c = 0; c < 3; ++c)
    EXPECT_EQ(after[c], std::clamp(left[c] - before[c], -127, 128) + 127) << c;
}

TEST_F(CtrlEffects, TwistReadsItsBlockFromAuxiliarySix) {
  load(4, 2);
  const auto a = pixel(0, 0), b = pixel(1, 0);
  host.put_i4(kDispFXTwist, 2);  // block 0: refused
  EXPECT_EQ(host.get_int(kDispErrCount), 1);
  EXPECT_EQ(pixel(0, 0), a);
  aux(6, 2);
  host.put_i4(kDispFXTwist, 2);
  EXPECT_EQ(host.get_int(kDispErrCount), 0);
  EXPECT_EQ(pixel(0, 0), b);
  EXPECT_EQ(pixel(1, 0), a);
}

TEST_F(CtrlEffects, MotionDiffuseStitchTextureAndDespeckle) {
  load(8, 8);
  aux(5, 3);
  host.put_i4(kDispFXMotion, 0);
  EXPECT_EQ(host.get_int(kDispErrorCode), RXE_INVALID_KERNEL_MOTION_EXTENT);
  host.put_i4(kDispFXMotion, 3);
  EXPECT_EQ(host.get_int(kDispErrCount), 0);
  host.put_i4(kDispFXDiffuse, 17);
  EXPECT_EQ(host.get_int(kDispErrorCode), RXE_PARAMETERS_OUT_OF_LIMITS);
  host.put_i4(kDispFXDiffuse, 3);
  EXPECT_EQ(host.get_int(kDispErrCount), 0);
  host.put_i4(kDispFXStitch, 10);
  EXPECT_EQ(host.get_int(kDispErrCount), 0);

  // A mid-grey texture changes nothing; the value is the texture's handle.
  RX_HIMAGE texture = 0;
  {
    auto dib = test::make_dib(2, 2, 24);
    std::fill(dib.begin() + 40, dib.end(), uint8_t(128));
    texture = test::create(dib);
  }
  const auto before = pixel(5, 5);
  host.put_i8(kDispFXTexture, static_cast<int64_t>(texture));
  EXPECT_EQ(host.get_int(kDispErrCount), 0);
  EXPECT_EQ(pixel(5, 5), before);
  host.put_i8(kDispFXTexture, 0);
  EXPECT_EQ(host.get_int(kDispErrorCode), RXE_INVALID_HANDLE);
  RX_image_delete(texture);

  host.put_i4(kDispDespeckle, 1);
  EXPECT_EQ(host.get_int(kDispErrCount), 0);
}

}  // namespace
