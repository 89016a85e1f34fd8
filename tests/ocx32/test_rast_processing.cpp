// Geometry and colour members of the control driven as a host drives them:
// each checked against pixels read before the write and moved by hand, or
// against the depth and size the member must give.
#include <set>
#include <utility>
#include <vector>

#include "ocx32/ctrl_harness.h"
#include "rast_dispids.h"

namespace {

using namespace rast;

class CtrlProcessing : public test::CtrlTest {
 protected:
  int64_t bits() { return host.get_int(kDispImageBitsPerPixel); }
  int64_t width() { return host.get_int(kDispImageWidth); }
  int64_t height() { return host.get_int(kDispImageHeight); }
  test::Ints size() { return host.get_ints({kDispImageWidth, kDispImageHeight}); }
  // The colour members, red, green and blue.
  void colour(int16_t r, int16_t g, int16_t b) { host.put_i2s({{kDispVRed, r}, {kDispVGreen, g}, {kDispVBlue, b}}); }
  test::Ints colour() { return host.get_ints({kDispVRed, kDispVGreen, kDispVBlue}); }
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
  // The processing rectangle follows.
  EXPECT_EQ(host.get_ints({kDispErrCount, kDispImageWidth, kDispImageHeight, kDispImageRectRight}),
            (test::Ints{0, 50, 100, 49}));
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
  EXPECT_EQ(host.get_ints({kDispErrCount, kDispErrorCode, kDispImageWidth}),
            (test::Ints{1, RXE_PARAMETERS_OUT_OF_LIMITS, 6}));
  EXPECT_EQ(ctrl().current_image(), image);
}

TEST_F(CtrlProcessing, RotateAnyIsInHundredthsOfADegreeWithAuxiliaryThreeToExpand) {
  load(8, 4);
  const std::vector<uint8_t> corner = pixel(0, 3);  // bottom-left
  host.put_i4(kDispRotateAny, 9000);
  EXPECT_EQ(width(), 4);
  EXPECT_EQ(pixel(0, 0), corner) << "90 degrees clockwise brings it to the top-left";
  host.put_i4(kDispRotateAny, 750);  // 7.5 degrees, same size
  EXPECT_EQ(size(), (test::Ints{4, 8}));
  aux(3, 1);
  // 45 degrees spans the corners (+-2, +-4) turned: 2 x (2 + 4) cos 45
  // = 8.49 both ways, truncated to 8 by 8.
  host.put_i4(kDispRotateAny, 4500);
  EXPECT_EQ(size(), (test::Ints{8, 8}));
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
  host.put_i4s({{kDispResizeWidth, 8}, {kDispResizeHeight, 4}, {kDispResizeImage, 7}});
  EXPECT_EQ(host.get_ints({kDispResizeImage, kDispImageWidth, kDispImageHeight}),
            (test::Ints{RX_RESIZE_REPLICATE, 8, 4}));
  EXPECT_EQ(pixel(5, 3), source);  // column trunc(5 * 0.5) = 2, row trunc(3 * 0.5) = 1
  host.put_i4s({{kDispResizeWidth, 0}, {kDispResizeImage, RX_RESIZE_BILINEAR}});
  EXPECT_EQ(host.get_int(kDispErrorCode), RXE_PARAMETERS_OUT_OF_LIMITS);
  EXPECT_EQ(width(), 8) << "a refused size leaves the image";
}

TEST_F(CtrlProcessing, CropImageCutsTheProcessingRectangleClampedIntoTheImage) {
  load(6, 5);
  const std::vector<uint8_t> first = pixel(2, 1);
  // Right 40 is clamped to column 5.
  host.put_i4s({{kDispImageRectLeft, 2}, {kDispImageRectTop, 1}, {kDispImageRectRight, 40}, {kDispImageRectBottom, 2}});
  host.put_bool(kDispCropImage, false);
  EXPECT_EQ(width(), 6) << "FALSE does nothing";
  host.put_bool(kDispCropImage, true);
  EXPECT_EQ(size(), (test::Ints{4, 2}));
  EXPECT_EQ(pixel(0, 0), first);
  EXPECT_EQ(host.get_int(kDispImageRectRight), 3) << "reset to the whole new image";
}

TEST_F(CtrlProcessing, GrayWeighsTheChannelsAndIsGrayReadsTheImagesGreyTestNotBilevel) {
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
  load(16, 4, 1);
  EXPECT_EQ(host.get_ints({kDispImageBitsPerPixel, kDispIsGray}), (test::Ints{1, 0}))
      << "only 8-bit ramps and grey 24-bit images are grey, not black and white";
}

TEST_F(CtrlProcessing, PromoteColorTakesShortAndLongFormsAndRefusesOthers) {
  const RX_HIMAGE image = load(4, 4, 1);
  for (auto [written, depth] : {std::pair{1, 4}, {8, 8}}) {  // 1 is the short form of 4 bits
    host.put_i4(kDispPromoteColor, written);
    EXPECT_EQ(bits(), depth) << written;
  }
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

// Auxiliary entry 1 gives the colour count: indices 0..count - 1.
TEST_F(CtrlProcessing, MedianCutPopularityAndOctreeReduce) {
  const struct {
    int32_t member, width, height, seed, colours;
    size_t at_least;  // distinct indices the pattern keeps
  } cases[] = {{kDispMedianCut, 64, 64, 11, 64, 17}, {kDispPopularity, 32, 16, 3, 16, 1}};
  for (const auto& c : cases) {
    load(c.width, c.height, 24, uint32_t(c.seed));
    aux(1, c.colours);
    host.put_bool(c.member, true);
    EXPECT_EQ(bits(), 8) << c.member;
    const std::set<uint8_t> used = indices();
    EXPECT_LE(*used.rbegin(), c.colours - 1) << c.member;
    EXPECT_GE(used.size(), c.at_least) << c.member;
  }
  load(32, 16, 24, 3);
  host.put_i4(kDispOctreeColors, 16);
  host.put_i8(kDispOctree, 0);
  EXPECT_EQ(bits(), 24) << "Octree acts on values above 0";
  host.put_i8(kDispOctree, 1);  // no palette
  EXPECT_EQ(host.get_ints({kDispImageBitsPerPixel, kDispErrCount}), (test::Ints{4, 0}));
}

TEST_F(CtrlProcessing, AFailedReductionLeavesTheImage) {
  const RX_HIMAGE image = load(8, 8, 8);
  host.put_bool(kDispMedianCut, true);
  EXPECT_EQ(host.get_ints({kDispErrCount, kDispErrorCode, kDispImageBitsPerPixel}),
            (test::Ints{1, RXE_BIT_COUNT_UNSUPPORTED, 8}));
  EXPECT_EQ(ctrl().current_image(), image);
}

TEST_F(CtrlProcessing, PaletteGetAndSetGoThroughTheColourMembers) {
  const RX_HIMAGE image = load(4, 4, 8);
  colour(10, 20, 30);
  host.put_i4(kDispPaletteSet, 5);
  uint8_t bgr[3] = {0, 0, 0};
  ASSERT_EQ(RX_palette_entry_get(image, bgr, 5), 0);
  EXPECT_EQ(std::vector<uint8_t>(bgr, bgr + 3), (std::vector<uint8_t>{30, 20, 10}));
  colour(0, 0, 0);
  host.put_i4(kDispPaletteGet, 5);
  EXPECT_EQ(colour(), (test::Ints{10, 20, 30}));
  host.put_i4(kDispPaletteGet, 256);
  EXPECT_EQ(host.get_int(kDispErrorCode), RXE_PARAMETERS_OUT_OF_LIMITS);
  EXPECT_EQ(colour(), (test::Ints{10, 20, 30})) << "a refused index leaves the colour";
}

TEST_F(CtrlProcessing, PixelGetAndSetStepAlongTheRows) {
  load(3, 2);
  host.put_i4s({{kDispPixelPosX, 2}, {kDispPixelPosY, 0}});
  colour(1, 2, 3);
  host.put_bool(kDispPixelSet, true);
  EXPECT_EQ(pixel(2, 0), (std::vector<uint8_t>{3, 2, 1}));  // blue, green, red
  const auto position = [&] { return host.get_ints({kDispPixelPosX, kDispPixelPosY}); };
  EXPECT_EQ(position(), (test::Ints{0, 1})) << "past the last column: the next row";
  const std::vector<uint8_t> next = pixel(0, 1);
  host.put_bool(kDispPixelGet, true);
  EXPECT_EQ(colour(), (test::Ints{next[2], next[1], next[0]}));
  EXPECT_EQ(position(), (test::Ints{1, 1}));
  host.put_i4(kDispPixelPosX, 2);
  host.put_bool(kDispPixelGet, true);
  EXPECT_EQ(position(), (test::Ints{0, 0})) << "past the last row: back to the top";
}

TEST_F(CtrlProcessing, ShallowPixelsTakeVBlueAndGiveVRed) {
  load(2, 2, 8);
  colour(9, 9, 77);
  host.put_bool(kDispPixelSet, true);  // at (0, 0)
  EXPECT_EQ(pixel(0, 0)[0], 77);
  host.put_i4(kDispPixelPosX, 0);
  host.put_i2(kDispVGreen, 5);
  host.put_bool(kDispPixelGet, true);
  EXPECT_EQ(colour(), (test::Ints{77, 5, 77})) << "only VRed takes a shallow pixel";
}

}  // namespace

namespace {

const RX_BITMAPINFOHEADER* header_of(RX_HIMAGE image) {
  return static_cast<const RX_BITMAPINFOHEADER*>(
      RPb_DIB_pointer_get(reinterpret_cast<IMAGE_REC*>(image)));
}

}  // namespace

TEST_F(CtrlProcessing, RunsToDIBExpandsABilevelImageInPlace) {
  const RX_HIMAGE image = load(21, 3, 1);
  int32_t code = -1;
  ASSERT_EQ(RX_image_compression_type_get(image, &code), 0);
  ASSERT_EQ(code, RX_BI_RUNS) << "bi-level images load as runs";
  std::vector<std::vector<uint8_t>> before;
  for (int32_t x = 0; x < 21; ++x) before.push_back(pixel(x, 1));
  host.put_bool(kDispRunsToDIB, false);
  RX_image_compression_type_get(image, &code);
  EXPECT_EQ(code, RX_BI_RUNS) << "FALSE does nothing";
  host.put_bool(kDispRunsToDIB, true);
  EXPECT_EQ(host.get_int(kDispErrCount), 0);
  EXPECT_EQ(ctrl().current_image(), image) << "the handle stays";
  RX_image_compression_type_get(image, &code);
  EXPECT_EQ(code, RX_BI_RGB);
  for (int32_t x = 0; x < 21; ++x) EXPECT_EQ(pixel(x, 1), before[static_cast<size_t>(x)]) << x;
  host.put_bool(kDispRunsToDIB, true);
  EXPECT_EQ(host.get_int(kDispErrCount), 0) << "a plain image is left as it is";
}

// Stored resolutions in each unit and the dots per inch they stand for:
// 11811 per metre x 0.0254 = 299.9994; 118 per cm x 2.54 = 299.72; 3000 per
// ten inches / 10; 1181 per decimetre x 0.254 = 299.974; 600 / 2 per inch.
TEST_F(CtrlProcessing, ImageDpiConvertsEveryStoredUnit) {
  const RX_HIMAGE image = load(4, 4);
  struct Case {
    int32_t num, den, units, dpi;
  };
  for (const Case c : {Case{11811, 1, 1, 300}, Case{11811, 1, 2, 300}, Case{600, 2, 3, 300},
                       Case{118, 1, 4, 300}, Case{3000, 1, 5, 300}, Case{1181, 1, 6, 300},
                       Case{5906, 1, 2, 150}, Case{72, 0, 3, 72}}) {
    ASSERT_EQ(RX_image_resolution_set(image, c.num, c.den, 2 * c.num, c.den, c.units), 0);
    EXPECT_EQ(host.get_int(kDispImageXdpi), c.dpi) << c.num << " unit " << c.units;
    EXPECT_NEAR(host.get_int(kDispImageYdpi), 2 * c.dpi, 1) << c.num << " unit " << c.units;
  }
}

TEST_F(CtrlProcessing, WritingDpiKeepsTheUnitAndTheOtherSide) {
  const RX_HIMAGE image = load(4, 4);
  ASSERT_EQ(RX_image_resolution_set(image, 11811, 1, 5906, 1, 2), 0);
  host.put_i4(kDispImageXdpi, 200);
  EXPECT_EQ(host.get_ints({kDispErrCount, kDispImageXdpi, kDispImageYdpi}), (test::Ints{0, 200, 150}));
  int32_t xn = 0, xd = 0, yn = 0, yd = 0, units = 0;
  ASSERT_EQ(RX_image_resolution_get(image, &xn, &xd, &yn, &yd, &units), 0);
  EXPECT_EQ((std::vector<int32_t>{units, yn, yd}), (std::vector<int32_t>{2, 5906, 1}));
  // 200 dpi is 200 / 0.0254 = 7874.02 per metre; the DIB keeps 7874.
  EXPECT_EQ((std::vector<int32_t>{header_of(image)->biXPelsPerMeter, header_of(image)->biYPelsPerMeter}),
            (std::vector<int32_t>{7874, 5906}));
  // Per inch the value is stored as it is.
  ASSERT_EQ(RX_image_resolution_set(image, 300, 1, 300, 1, 3), 0);
  host.put_i4(kDispImageYdpi, 96);
  ASSERT_EQ(RX_image_resolution_get(image, &xn, &xd, &yn, &yd, &units), 0);
  EXPECT_EQ(std::vector<int32_t>({xn, xd, yn, yd, units}), std::vector<int32_t>({300, 1, 96, 1, 3}));
  EXPECT_EQ(header_of(image)->biYPelsPerMeter, 3780);  // 96 x 39.37 = 3779.52, + 0.5 truncated
}

TEST_F(CtrlProcessing, DpiOfZeroOrBeyondAnyDeviceIsRefused) {
  const RX_HIMAGE image = load(4, 4);
  ASSERT_EQ(RX_image_resolution_set(image, 300, 1, 300, 1, 3), 0);
  host.put_i2(kDispDebugLevel, 1);
  for (int32_t bad : {0, -300, 65536}) {
    host.put_i4(kDispImageXdpi, bad);
    EXPECT_NE(ctrl().error_report().text().find("-3320"), std::string::npos) << bad;
    EXPECT_EQ(host.get_int(kDispImageXdpi), 300) << bad;
  }
  host.put_i2(kDispDebugLevel, 0);
  host.put_i4(kDispImageXdpi, 65535);
  EXPECT_EQ(host.get_int(kDispImageXdpi), 65535);
}
