// Contrast operations and look-up tables: palette and pixel targets, the
// clamped rectangle, 1-bit inversion in both formats, the stretch and
// equalisation maps, refusals, interruption and the record lock.
#include <functional>
#include <limits>

#include "IMG_PROC/ip_images.h"

using namespace iptest;

namespace {

class Contrast : public EngineTest {};
class LutApply : public EngineTest {};

RX_RGBQUAD palette_entry(RX_HIMAGE image, int32_t i) {
  return RPb_palette_pointer_get(reinterpret_cast<IMAGE_REC*>(image))[i];
}

}  // namespace

TEST_F(Contrast, InvertPaletteOrPixelsInTheClampedRectangle) {
  RX_HIMAGE mono = make(1, {{0, 1, 1}}, true);
  ASSERT_EQ(RX_IP_contrast_invert(mono, nullptr, 0), 0);
  EXPECT_EQ(palette_entry(mono, 0).rgbRed, 255);
  EXPECT_EQ(palette_entry(mono, 1).rgbBlue, 0);
  EXPECT_EQ(rows_of(mono), (Rows{{0, 1, 1}})) << "black and white swap in the palette only";

  RX_HIMAGE grey = make(8, {{0, 10, 20}, {30, 40, 50}});
  const int32_t collapsed[4] = {1, 1, 0, 0};  // right before left, bottom above top
  ASSERT_EQ(RX_IP_contrast_invert(grey, collapsed, 1), 0);
  EXPECT_EQ(rows_of(grey), (Rows{{0, 10, 20}, {30, 215, 50}}));
  const int32_t beyond[4] = {-5, -5, 99, 0};
  ASSERT_EQ(RX_IP_contrast_invert(grey, beyond, 1), 0);
  EXPECT_EQ(rows_of(grey), (Rows{{255, 245, 235}, {30, 215, 50}}));
}

TEST_F(Contrast, InvertBilevelComplementsEveryBitInBothFormats) {
  // Column bounds inside one byte, across bytes and at the padded right edge.
  auto bit = [](int32_t x, int32_t y) { return uint8_t(((x * 5 + y) / 3) & 1); };
  const int32_t rects[][4] = {{3, 1, 17, 3}, {0, 0, 36, 4}, {9, 2, 9, 2}, {8, 0, 15, 0}};
  for (bool runs : {false, true})
    for (const auto& rect : rects) {
      SCOPED_TRACE(testing::Message() << runs << " " << rect[0] << ".." << rect[2]);
      RX_HIMAGE mono = make_fn(1, 37, 5, bit, runs);
      Rows want = rows_of(mono);
      for (int32_t y = rect[1]; y <= rect[3]; ++y)
        for (int32_t x = rect[0]; x <= rect[2]; ++x) want[y][x] ^= 1;
      ASSERT_EQ(RX_IP_contrast_invert(mono, rect, 1), 0);
      EXPECT_EQ(compression_of(mono), runs ? RX_BI_RUNS : RX_BI_RGB);
      EXPECT_EQ(rows_of(mono), want);
    }
}

TEST_F(Contrast, RefusalsByHandleTargetAndDepth) {
  RX_HIMAGE grey = make(8, {{1, 2}});
  RX_HIMAGE colour = make(24, {{1, 2, 3}});
  RX_HIMAGE nibbles = test::create(test::make_dib(4, 2, 4));
  RX_HIMAGE deep = test::create(test::make_dib(4, 2, 16));
  auto dib = test::make_dib(4, 2, 8);
  dib[40 + 4 * 200] = 7;  // entry 200 is no longer grey level 200
  RX_HIMAGE indexed = test::create(dib);
  const uint8_t lut[256] = {};
  const int32_t out_of_limits = RXE_PARAMETERS_OUT_OF_LIMITS, depth = RXE_BIT_COUNT_UNSUPPORTED,
                indexed_8 = RXE_INDEXED_8_BIT_UNSUPPORTED, bit_count = RXE_INVALID_BIT_COUNT;
  const struct {
    std::function<int32_t()> call;
    Codes want;
  } cases[] = {
      {[] { return RX_IP_contrast_invert(0, nullptr, 1); }, {RXE_INVALID_HANDLE, 0, 0}},
      {[&] { return RX_IP_contrast_invert(grey, nullptr, 2); }, {out_of_limits, 2, 0}},
      {[&] { return RX_IP_contrast_invert(colour, nullptr, 0); }, {depth, 24, 0}},
      {[&] { return RX_IP_contrast_invert(nibbles, nullptr, 1); }, {depth, 4, 0}},
      {[&] { return RX_IP_contrast_invert(indexed, nullptr, 1); }, {indexed_8, 0, 0}},
      {[&] { return RX_IP_contrast_invert(deep, nullptr, 1); }, {bit_count, 16, 0}},
      {[&] { return RX_IP_contrast_stretch(indexed, nullptr, 0); }, {indexed_8, 0, 0}},
      {[&] { return RX_IP_contrast_equalize(colour, nullptr, 0); }, {depth, 24, 0}},
      {[&] { return RX_IP_LUT_apply_8(colour, nullptr, lut); }, {bit_count, 24, 0}},
      {[&] { return RX_IP_LUT_apply_8(grey, nullptr, nullptr); }, {RXE_INVALID_POINTER, 0, 0}},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(cases[i].call(), 1) << "case " << i;
    EXPECT_EQ(first_error(), cases[i].want) << "case " << i;
  }
  // Other target codes leave an 8-bit image alone without an error.
  EXPECT_EQ(RX_IP_contrast_stretch(grey, nullptr, 7), 0);
  EXPECT_EQ(RX_IP_contrast_invert(grey + 8, nullptr, 1), 0) << "an invalid handle is passed over";
  EXPECT_EQ(rows_of(grey), (Rows{{1, 2}}));
}

TEST_F(Contrast, AdjustIsLinearLimitedAndTruncated) {
  RX_HIMAGE grey = make(8, {{0, 1, 100, 200}});
  ASSERT_EQ(RX_IP_contrast_adjust(grey, nullptr, 1, 1.0, 0.0), 0);
  EXPECT_EQ(rows_of(grey)[0], (std::vector<uint8_t>{0, 1, 100, 200}));
  ASSERT_EQ(RX_IP_contrast_adjust(grey, nullptr, 1, 1.5, -10.2), 0);
  EXPECT_EQ(rows_of(grey)[0], (std::vector<uint8_t>{0, 0, 139, 255}));
  ASSERT_EQ(RX_IP_contrast_adjust(grey, nullptr, 1, 1.0, 300.0), 0);
  EXPECT_EQ(rows_of(grey)[0], std::vector<uint8_t>(4, 255));

  // NaN, and infinity (0 x infinity is NaN), have no byte value.
  RX_HIMAGE colour = make(24, {{0, 50, 100}});
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (auto [c, b] : {std::pair{nan, 0.0}, std::pair{1.0, inf}}) {
    EXPECT_EQ(RX_IP_contrast_adjust(colour, nullptr, 1, c, b), 1);
    EXPECT_EQ(first_error(), (Codes{RXE_PARAMETERS_OUT_OF_LIMITS, 0, 0}));
  }
  EXPECT_EQ(rows_of(colour)[0], (std::vector<uint8_t>{0, 50, 100}));

  // The palette target changes the 16 entries of a 4-bit image, not its pixels.
  RX_HIMAGE nibbles = make(4, {{3, 15}});
  ASSERT_EQ(RX_IP_contrast_adjust(nibbles, nullptr, 0, 0.5, 0.0), 0);
  EXPECT_EQ(palette_entry(nibbles, 15).rgbGreen, 127);
  EXPECT_EQ(palette_entry(nibbles, 1).rgbRed, 8);
  EXPECT_EQ(rows_of(nibbles), (Rows{{3, 15}}));
}

TEST_F(Contrast, StretchMapsLowToZeroAndHighTo255) {
  RX_HIMAGE grey = make(8, {{50, 100, 150}, {75, 50, 150}});
  ASSERT_EQ(RX_IP_contrast_stretch(grey, nullptr, 1), 0);
  EXPECT_EQ(rows_of(grey), (Rows{{0, 127, 255}, {63, 0, 255}}));

  // Only the rectangle is measured and changed.
  RX_HIMAGE part = make(8, {{10, 60, 70, 250}});
  const int32_t rect[4] = {1, 0, 2, 0};
  ASSERT_EQ(RX_IP_contrast_stretch(part, rect, 1), 0);
  EXPECT_EQ(rows_of(part)[0], (std::vector<uint8_t>{10, 0, 255, 250}));

  // One value throughout: low equals high, the linear part is empty.
  RX_HIMAGE flat = make(8, {{80, 80}});
  ASSERT_EQ(RX_IP_contrast_stretch(flat, nullptr, 1), 0);
  EXPECT_EQ(rows_of(flat)[0], (std::vector<uint8_t>{255, 255}));

  // The palette target writes grey entries and keeps the pixels.
  RX_HIMAGE pal = make(8, {{50, 150}});
  ASSERT_EQ(RX_IP_contrast_stretch(pal, nullptr, 0), 0);
  EXPECT_EQ(rows_of(pal)[0], (std::vector<uint8_t>{50, 150}));
  const RX_RGBQUAD e = palette_entry(pal, 100);
  EXPECT_EQ(Codes({e.rgbBlue, e.rgbGreen, e.rgbRed, palette_entry(pal, 200).rgbRed}),
            Codes({127, 127, 127, 255}));

  // 24-bit pixels are measured by their channel mean (60 and 120 here).
  RX_HIMAGE colour = make(24, {{30, 60, 90, 90, 120, 150}});
  ASSERT_EQ(RX_IP_contrast_stretch(colour, nullptr, 1), 0);
  EXPECT_EQ(rows_of(colour)[0], (std::vector<uint8_t>{0, 0, 127, 127, 255, 255}));
}

TEST_F(Contrast, EqualizeSpreadsCumulativeCounts) {
  // Fewer than 255 pixels: the step is 0 and nothing changes.
  RX_HIMAGE small = make_fn(8, 16, 15, [](int32_t x, int32_t y) { return uint8_t(x * 9 + y); });
  const Rows before = rows_of(small);
  ASSERT_EQ(RX_IP_contrast_equalize(small, nullptr, 1), 0);
  EXPECT_EQ(rows_of(small), before);
  // 510 pixels (step 2): 170 of value 10 and 340 of value 200.
  RX_HIMAGE two = make_fn(8, 51, 10, [](int32_t x, int32_t) { return uint8_t(x < 17 ? 10 : 200); });
  ASSERT_EQ(RX_IP_contrast_equalize(two, nullptr, 1), 0);
  EXPECT_EQ(Codes({rows_of(two)[0][0], rows_of(two)[9][50]}), Codes({85, 255}));
}

TEST_F(Contrast, InterruptionKeepsRowsDone) {
  RX_HIMAGE grey = make_fn(8, 3, 4, [](int32_t, int32_t) { return uint8_t(0); });
  RX_HIMAGE mono = make_fn(1, 20, 4, [](int32_t x, int32_t) { return uint8_t(x & 1); }, true);
  {
    StatusLog log;
    log.stop_after = 1;
    const int32_t rect[4] = {0, 1, 2, 3};
    EXPECT_EQ(RX_IP_contrast_invert(grey, rect, 1), 1);
    EXPECT_EQ(first_error(), (Codes{RXE_INTERRUPTED_BY_USER, 1, 3}));
    EXPECT_EQ(log.calls, (std::vector<std::pair<int32_t, int32_t>>{{0, 3}, {1, 3}}));
    // A runs image stopped part way is still a whole runs image.
    EXPECT_EQ(RX_IP_contrast_invert(mono, nullptr, 1), 1);
  }
  const std::vector<uint8_t> white(3, 255), black(3, 0);
  EXPECT_EQ(rows_of(grey), (Rows{black, white, white, black}));
  EXPECT_EQ(compression_of(mono), RX_BI_RUNS);
  const Rows rows = rows_of(mono);
  EXPECT_EQ(Codes({rows[1][0], rows[2][0]}), Codes({1, 0}));
}

namespace {

RX_HIMAGE g_victim = 0;
int32_t g_delete_result = 0;

int32_t delete_victim(uintptr_t, int32_t, int32_t) {
  g_delete_result = RX_image_delete(g_victim);
  return 1;
}

}  // namespace

// A status callback cannot pull the image out from under the walk.
TEST_F(Contrast, ImageIsLockedWhileItsRowsAreWalked) {
  for (bool runs : {false, true}) {
    g_victim = make_fn(1, 12, 3, [](int32_t x, int32_t) { return uint8_t(x % 3 == 0); }, runs);
    RX_status_callback_set(delete_victim, 0);
    RX_IP_contrast_invert(g_victim, nullptr, 1);
    RX_status_callback_set(nullptr, 0);
    EXPECT_EQ(g_delete_result, 1);
    ASSERT_TRUE(RPb_iRX_image_is_valid(g_victim));
    EXPECT_EQ(rows_of(g_victim)[2][0], 0);
  }
}

TEST_F(LutApply, TablesMapTheirChannelsInsideTheRectangle) {
  uint8_t square[256], half[256];
  for (int i = 0; i < 256; ++i) {
    square[i] = uint8_t(i * i / 255);
    half[i] = uint8_t(i / 2);
  }
  RX_HIMAGE grey = make(8, {{0, 128, 255}, {16, 32, 64}});
  const int32_t rect[4] = {1, 0, 2, 0};
  ASSERT_EQ(RX_IP_LUT_apply_8(grey, rect, square), 0);
  EXPECT_EQ(rows_of(grey), (Rows{{0, 64, 255}, {16, 32, 64}}));
  // Blue is stored first, red last; a missing table keeps its channel.
  RX_HIMAGE colour = make(24, {{200, 100, 50, 10, 20, 30}});
  ASSERT_EQ(RX_IP_LUT_apply_24(colour, nullptr, half, nullptr, square), 0);
  EXPECT_EQ(rows_of(colour)[0], (std::vector<uint8_t>{156, 100, 25, 0, 20, 15}));
  EXPECT_EQ(RX_IP_LUT_apply_24(grey, nullptr, half, half, half), 1);
  EXPECT_EQ(first_error(), (Codes{RXE_INVALID_BIT_COUNT, 8, 0}));
}
