// Geometry and colour members of the control driven as a host drives them:
// each checked against pixels read before the write and moved by hand, or
// against the depth and size the member must give.
#include <set>
#include <vector>

#include "ocx32/ctrl_harness.h"
#include "rast_dispids.h"

namespace {

using namespace rast;

class CtrlProcessing : public test::CtrlTest {
 protected:
  RX_HIMAGE load(int32_t width, int32_t height, int32_t bits = 24, uint32_t seed = 5) {
    host.put_str(kDispLoadImage, make_bmp("in.bmp", width, height, bits, seed));
    return ctrl().current_image();
  }
  std::vector<uint8_t> pixel(int32_t x, int32_t y) {
    std::vector<uint8_t> v(3, 0);
    EXPECT_EQ(RX_image_pixel_get(ctrl().current_image(), x, y, v.data()), 0) << x << "," << y;
    return v;
  }
  int64_t bits() { return host.get_int(kDispImageBitsPerPixel); }
  int64_t width() { return host.get_int(kDispImageWidth); }
  int64_t height() { return host.get_int(kDispImageHeight); }
  void aux(int32_t index, int32_t value) {
    host.put_i4(kDispSettingMode, index);
    host.put_i4(kDispSettingValue, value);
  }
  // Distinct pixel values of an image of up to 8 bits.
  std::set<uint8_t> indices() {
    std::set<uint8_t> seen;
    for (int32_t y = 0; y < height(); ++y)
      for (int32_t x = 0; x < width(); ++x) seen.insert(pixel(x, y)[0]);
    return seen;
  }
};

TEST_F(CtrlProcessing, RotateNinetyTurnsA100By50ImageClockwise) {
  load(100, 50);
  const std::vector<uint8_t> old = pixel(3, 7);  // column 3, row 7
  host.put_i4(kDispRotate, 90);
  EXPECT_EQ(host.get_int(kDispErrCount), 0);
  EXPECT_EQ(width(), 50);
  EXPECT_EQ(height(), 100);
  EXPECT_EQ(host.get_int(kDispImageRectRight), 49) << "the processing rectangle follows";
  EXPECT_EQ(pixel(50 - 1 - 7, 3), old);  // new (row x, column h - 1 - y)
  for (int32_t turn : {90, 90, 90}) host.put_i4(kDispRotate, turn);
  EXPECT_EQ(width(), 100);
  EXPECT_EQ(pixel(3, 7), old) << "four quarter turns give the picture back";
}

TEST_F(CtrlProcessing, RotateZeroAndThreeSixtyDoNothingOtherValuesAreRefused) {
  const RX_HIMAGE image = load(6, 4);
  for (int32_t none : {0, 360}) {
    host.put_i4(kDispRotate, none);
    EXPECT_EQ(host.get_int(kDispErrCount), 0) << none;
    EXPECT_EQ(width(), 6) << none;
  }
  host.put_i4(kDispRotate, 45);
  EXPECT_EQ(host.get_int(kDispErrCount), 1);
  EXPECT_EQ(host.get_int(kDispErrorCode), RXE_PARAMETERS_OUT_OF_LIMITS);
  EXPECT_EQ(width(), 6);
  EXPECT_EQ(ctrl().current_image(), image);
}

TEST_F(CtrlProcessing, RotateAnyIsInHundredthsOfADegreeWithAuxiliaryThreeToExpand) {
  load(8, 4);
  const std::vector<uint8_t> corner = pixel(0, 3);  // bottom-left
  host.put_i4(kDispRotateAny, 9000);
  EXPECT_EQ(width(), 4);
  EXPECT_EQ(pixel(0, 0), corner) << "90 degrees clockwise brings it to the top-left";
  host.put_i4(kDispRotateAny, 750);  // 7.5 degrees, same size
  EXPECT_EQ(width(), 4);
  EXPECT_EQ(height(), 8);
  aux(3, 1);
  // 45 degrees spans the corners (+-2, +-4) turned: 2 x (2 + 4) cos 45
  // = 8.49 both ways, truncated to 8 by 8.
  host.put_i4(kDispRotateAny, 4500);
  EXPECT_EQ(width(), 8);
  EXPECT_EQ(height(), 8);
  EXPECT_EQ(host.get_int(kDispErrCount), 0);
}

TEST_F(CtrlProcessing, FlipTakesTheDirectionFromItsValue) {
  load(5, 3);
  const std::vector<uint8_t> left = pixel(0, 1), top = pixel(4, 0);
  host.put_i4(kDispFlip, RX_FLIP_LEFT_RIGHT);
  EXPECT_EQ(pixel(4, 1), left);
  host.put_i4(kDispFlip, RX_FLIP_TOP_BOTTOM);
  EXPECT_EQ(pixel(0, 2), top);  // (4, 0) went to (0, 0), then to the bottom row
}

TEST_F(CtrlProcessing, ResizeImageSevenReplicatesToResizeWidthByHeight) {
  load(4, 2);
  const std::vector<uint8_t> source = pixel(2, 1);
  host.put_i4(kDispResizeWidth, 8);
  host.put_i4(kDispResizeHeight, 4);
  host.put_i4(kDispResizeImage, 7);
  EXPECT_EQ(host.get_int(kDispResizeImage), RX_RESIZE_REPLICATE);
  EXPECT_EQ(width(), 8);
  EXPECT_EQ(height(), 4);
  EXPECT_EQ(pixel(5, 3), source);  // column trunc(5 * 0.5) = 2, row trunc(3 * 0.5) = 1
  host.put_i4(kDispResizeWidth, 0);
  host.put_i4(kDispResizeImage, RX_RESIZE_BILINEAR);
  EXPECT_EQ(host.get_int(kDispErrorCode), RXE_PARAMETERS_OUT_OF_LIMITS);
  EXPECT_EQ(width(), 8) << "a refused size leaves the image";
}

TEST_F(CtrlProcessing, CropImageCutsTheProcessingRectangleClampedIntoTheImage) {
  load(6, 5);
  const std::vector<uint8_t> first = pixel(2, 1);
  host.put_i4(kDispImageRectLeft, 2);
  host.put_i4(kDispImageRectTop, 1);
  host.put_i4(kDispImageRectRight, 40);  // clamped to column 5
  host.put_i4(kDispImageRectBottom, 2);
  host.put_bool(kDispCropImage, false);
  EXPECT_EQ(width(), 6) << "FALSE does nothing";
  host.put_bool(kDispCropImage, true);
  EXPECT_EQ(width(), 4);
  EXPECT_EQ(height(), 2);
  EXPECT_EQ(pixel(0, 0), first);
  EXPECT_EQ(host.get_int(kDispImageRectRight), 3) << "reset to the whole new image";
}

TEST_F(CtrlProcessing, GrayWeighsTheChannelsAndIsGrayReadsTheImagesGreyTest) {
  load(3, 2);
  EXPECT_FALSE(host.get_int(kDispIsGray));
  const std::vector<uint8_t> bgr = pixel(1, 1);
  host.put_bool(kDispGray, true);
  EXPECT_EQ(bits(), 8);
  EXPECT_TRUE(host.get_int(kDispIsGray));
  EXPECT_EQ(pixel(1, 1)[0], (bgr[2] * 77 + bgr[1] * 151 + bgr[0] * 28) >> 8);
  // Promoted back to 24 bits, every pixel has equal channels: still grey.
  host.put_i4(kDispPromoteColor, 24);
  EXPECT_EQ(bits(), 24);
  EXPECT_TRUE(host.get_int(kDispIsGray));
}

TEST_F(CtrlProcessing, IsGrayIsFalseForABlackAndWhiteImage) {
  load(16, 4, 1);
  EXPECT_EQ(bits(), 1);
  EXPECT_FALSE(host.get_int(kDispIsGray)) << "only 8-bit ramps and grey 24-bit images are grey";
}

TEST_F(CtrlProcessing, PromoteColorTakesShortAndLongFormsAndRefusesOthers) {
  const RX_HIMAGE image = load(4, 4, 1);
  host.put_i4(kDispPromoteColor, 1);  // 4 bits
  EXPECT_EQ(bits(), 4);
  host.put_i4(kDispPromoteColor, 8);
  EXPECT_EQ(bits(), 8);
  host.put_i2(kDispDebugLevel, 1);
  host.put_i4(kDispPromoteColor, 16);
  EXPECT_EQ(bits(), 8);
  EXPECT_EQ(ctrl().current_image(), image);
  EXPECT_NE(ctrl().error_report().text().find("-3320"), std::string::npos)
      << ctrl().error_report().text();
  EXPECT_EQ(RPb_AF_error_check(), 0) << "the stack is cleared after the report";
  host.put_i4(kDispPromoteColor, 3);
  EXPECT_EQ(bits(), 24);
}

TEST_F(CtrlProcessing, DitherMembersGiveTheirDepths) {
  const struct {
    int32_t id;
    int64_t bits;
  } kCases[] = {{kDispDiffusionMono, 1}, {kDispDiffusionColor, 4}, {kDispBayerMono, 1},
                {kDispBayerColor, 4},    {kDispHalftoneMono, 1}};
  for (const auto& c : kCases) {
    load(9, 7);
    host.put_bool(c.id, false);
    EXPECT_EQ(bits(), 24) << c.id << ": FALSE does nothing";
    host.put_bool(c.id, true);
    EXPECT_EQ(bits(), c.bits) << c.id;
    EXPECT_EQ(host.get_int(kDispErrCount), 0) << c.id;
  }
}

TEST_F(CtrlProcessing, DiffusionMonoUsesThresholdOneTwentyEight) {
  // One row: grey 124 then 200. 124 is black and passes 7/16 of 124 = 54
  // right; 200 + 54 is white.
  const RX_HIMAGE image = load(2, 1);
  const uint8_t dark[3] = {50, 100, 200}, light[3] = {200, 200, 200};  // blue, green, red
  ASSERT_EQ(RX_image_pixel_set(image, 0, 0, dark), 0);
  ASSERT_EQ(RX_image_pixel_set(image, 1, 0, light), 0);
  host.put_bool(kDispDiffusionMono, true);
  ASSERT_EQ(bits(), 1);
  EXPECT_EQ(pixel(0, 0)[0], 0);
  EXPECT_EQ(pixel(1, 0)[0], 1);
}

TEST_F(CtrlProcessing, MedianCutTakesItsColourCountFromAuxiliaryOne) {
  load(64, 64, 24, 11);
  aux(1, 64);
  host.put_bool(kDispMedianCut, true);
  EXPECT_EQ(bits(), 8);
  const std::set<uint8_t> used = indices();
  EXPECT_LE(*used.rbegin(), 63) << "64 colours: indices 0..63";
  EXPECT_GT(used.size(), 16u);
}

TEST_F(CtrlProcessing, PopularityAndOctreeReduce) {
  load(32, 16, 24, 3);
  aux(1, 16);
  host.put_bool(kDispPopularity, true);
  EXPECT_EQ(bits(), 8);
  EXPECT_LE(*indices().rbegin(), 15);
  load(32, 16, 24, 3);
  host.put_i4(kDispOctreeColors, 16);
  host.put_i8(kDispOctree, 0);
  EXPECT_EQ(bits(), 24) << "Octree acts on values above 0";
  host.put_i8(kDispOctree, 1);  // no palette
  EXPECT_EQ(bits(), 4);
  EXPECT_EQ(host.get_int(kDispErrCount), 0);
}

TEST_F(CtrlProcessing, AFailedReductionLeavesTheImage) {
  const RX_HIMAGE image = load(8, 8, 8);
  host.put_bool(kDispMedianCut, true);
  EXPECT_EQ(host.get_int(kDispErrCount), 1);
  EXPECT_EQ(host.get_int(kDispErrorCode), RXE_BIT_COUNT_UNSUPPORTED);
  EXPECT_EQ(bits(), 8);
  EXPECT_EQ(ctrl().current_image(), image);
}

TEST_F(CtrlProcessing, PaletteGetAndSetGoThroughTheColourMembers) {
  const RX_HIMAGE image = load(4, 4, 8);
  host.put_i2(kDispVRed, 10);
  host.put_i2(kDispVGreen, 20);
  host.put_i2(kDispVBlue, 30);
  host.put_i4(kDispPaletteSet, 5);
  uint8_t bgr[3] = {0, 0, 0};
  ASSERT_EQ(RX_palette_entry_get(image, bgr, 5), 0);
  EXPECT_EQ(std::vector<uint8_t>(bgr, bgr + 3), (std::vector<uint8_t>{30, 20, 10}));
  host.put_i2(kDispVRed, 0);
  host.put_i4(kDispPaletteGet, 5);
  EXPECT_EQ(host.get_int(kDispVRed), 10);
  EXPECT_EQ(host.get_int(kDispVBlue), 30);
  host.put_i4(kDispPaletteGet, 256);
  EXPECT_EQ(host.get_int(kDispErrorCode), RXE_PARAMETERS_OUT_OF_LIMITS);
  EXPECT_EQ(host.get_int(kDispVRed), 10) << "a refused index leaves the colour";
}

TEST_F(CtrlProcessing, PixelGetAndSetStepAlongTheRows) {
  load(3, 2);
  host.put_i4(kDispPixelPosX, 2);
  host.put_i4(kDispPixelPosY, 0);
  host.put_i2(kDispVRed, 1);
  host.put_i2(kDispVGreen, 2);
  host.put_i2(kDispVBlue, 3);
  host.put_bool(kDispPixelSet, true);
  EXPECT_EQ(pixel(2, 0), (std::vector<uint8_t>{3, 2, 1}));  // blue, green, red
  EXPECT_EQ(host.get_int(kDispPixelPosX), 0) << "past the last column: the next row";
  EXPECT_EQ(host.get_int(kDispPixelPosY), 1);
  const std::vector<uint8_t> next = pixel(0, 1);
  host.put_bool(kDispPixelGet, true);
  EXPECT_EQ(host.get_int(kDispVRed), next[2]);
  EXPECT_EQ(host.get_int(kDispVGreen), next[1]);
  EXPECT_EQ(host.get_int(kDispVBlue), next[0]);
  EXPECT_EQ(host.get_int(kDispPixelPosX), 1);
  host.put_i4(kDispPixelPosX, 2);
  host.put_bool(kDispPixelGet, true);
  EXPECT_EQ(host.get_int(kDispPixelPosX), 0) << "past the last row: back to the top";
  EXPECT_EQ(host.get_int(kDispPixelPosY), 0);
}

TEST_F(CtrlProcessing, ShallowPixelsTakeVBlueAndGiveVRed) {
  load(2, 2, 8);
  host.put_i2(kDispVRed, 9);
  host.put_i2(kDispVGreen, 9);
  host.put_i2(kDispVBlue, 77);
  host.put_bool(kDispPixelSet, true);  // at (0, 0)
  EXPECT_EQ(pixel(0, 0)[0], 77);
  host.put_i4(kDispPixelPosX, 0);
  host.put_i2(kDispVGreen, 5);
  host.put_bool(kDispPixelGet, true);
  EXPECT_EQ(host.get_int(kDispVRed), 77);
  EXPECT_EQ(host.get_int(kDispVGreen), 5) << "only VRed takes a shallow pixel";
}

}  // namespace
