// Display colours: the lookup tables, the logical palette, the dither
// matrices and the row converters, against values worked out by hand.
#include <gtest/gtest.h>

#include <random>

#include "DISPLAY/dither_matrices.h"
#include "DISPLAY/row_convert.h"
#include "DISPLAY/display_test_util.h"
#include "SUPPORT/fixed_palettes.h"
#include "SUPPORT/image_rec.h"

using namespace dtest;

namespace {

class DisplayColours : public EngineTest {};

std::vector<int> lut_of(RX_HIMAGE im) {
  const uint8_t *r = nullptr, *g = nullptr, *b = nullptr;
  EXPECT_EQ(RX_display_LUT_get(im, &r, &g, &b), 0);
  std::vector<int> out(r, r + 256);
  EXPECT_TRUE(std::equal(r, r + 256, g) && std::equal(r, r + 256, b));
  return out;
}

TEST_F(DisplayColours, LookupTablesFollowContrastBrightnessAndGamma) {
  RX_HIMAGE im = image(8, 2, 2, {}, [](int, int) { return 0u; });
  ASSERT_EQ(RX_display_LUT_set(im, 1.0, 0.0, 1.0), 0);
  std::vector<int> t = lut_of(im);
  for (int v = 0; v < 256; ++v) ASSERT_EQ(t[v], v) << v;
  RX_display_LUT_set(im, 1.0, -255.0, 1.0);
  t = lut_of(im);
  EXPECT_EQ(std::count(t.begin(), t.end(), 0), 256);
  // Contrast 2: 2v, held at 255.
  RX_display_LUT_set(im, 2.0, 0.0, 1.0);
  t = lut_of(im);
  EXPECT_EQ((std::vector<int>{t[100], t[127], t[128], t[255]}), (std::vector<int>{200, 254, 255, 255}));
  // Gamma 2: 128^2 / 255 = 64.25; 16^2 / 255 = 1.004. Gamma 0.5: sqrt(64 / 255) * 255 = 127.75.
  RX_display_LUT_set(im, 1.0, 0.0, 2.0);
  t = lut_of(im);
  EXPECT_EQ((std::vector<int>{t[128], t[16], t[15], t[255]}), (std::vector<int>{64, 1, 0, 255}));
  RX_display_LUT_set(im, 1.0, 0.0, 0.5);
  EXPECT_EQ(lut_of(im)[64], 127);
  // A negative base has no real fractional power: black. Not a number: black.
  RX_display_LUT_set(im, -1.0, 0.0, 0.5);
  t = lut_of(im);
  EXPECT_EQ(std::count(t.begin(), t.end(), 0), 256);
  RX_display_LUT_set(im, std::nan(""), 0.0, 1.0);
  EXPECT_EQ(lut_of(im)[200], 0);
  RX_display_LUT_set(im, 1.0, HUGE_VAL, 1.0);
  EXPECT_EQ(lut_of(im)[0], 255);
  EXPECT_EQ(RX_display_LUT_reset(im), 0);
  EXPECT_EQ(lut_of(im)[77], 77);
  RX_image_delete(im);
}

const rx::LOGICAL_PALETTE& logical(RX_HIMAGE im) { return *rx::record_of(im)->display.logical_palette; }

TEST_F(DisplayColours, LogicalPaletteFollowsTablesDitherModeAndAntiAlias) {
  RX_HIMAGE im = image(4, 2, 2, {rgb(10, 20, 30), rgb(200, 100, 0)}, [](int, int) { return 0u; });
  RX_display_LUT_set(im, 1.0, 50.0, 1.0);
  EXPECT_EQ(logical(im).count, 16);
  EXPECT_EQ(logical(im).entries[0].red, 60);
  EXPECT_EQ(logical(im).entries[1].green, 150);
  EXPECT_EQ(logical(im).entries[1].red, 250);
  EXPECT_EQ(logical(im).version, 0x300);
  // Dither mode 2: the 3-3-2 cube, tables not applied.
  ASSERT_EQ(RX_display_dither_mode_set(im, 2), 0);
  EXPECT_EQ(logical(im).count, 256);
  EXPECT_EQ(logical(im).entries[0x24].red, 36);
  EXPECT_EQ(logical(im).entries[0x24].green, 36);
  EXPECT_EQ(logical(im).entries[3].blue, 255);
  int32_t mode = -1;
  RX_display_dither_mode_get(im, &mode);
  EXPECT_EQ(mode, 2);
  RX_image_delete(im);
  // A 1-bit image in anti-alias mode 2: 16 greys 0, 17, ... 255.
  RX_HIMAGE page = bilevel({"01", "10"});
  RX_display_alias_set(page, 2, 75, 0);
  EXPECT_EQ(logical(page).count, 16);
  EXPECT_EQ(logical(page).entries[1].red, 17);
  EXPECT_EQ(logical(page).entries[15].blue, 255);
  RX_image_delete(page);
  // True colour: the 3-3-2 cube.
  RX_HIMAGE photo = image(24, 1, 1, {}, [](int, int) { return 0u; });
  EXPECT_EQ(logical(photo).count, 256);
  EXPECT_EQ(logical(photo).entries[0xE0].red, 255);
  RX_image_delete(photo);
}

TEST(DisplayTables, DitherMatricesAndFixedPalettes) {
  // A holds 0..31 once each twice over, B 4..252 in steps of 4.
  std::vector<int> a, b;
  for (auto& row : rx::kDitherA) a.insert(a.end(), row, row + 8);
  for (auto& row : rx::kDitherB) b.insert(b.end(), row, row + 8);
  for (int v = 0; v < 32; ++v) EXPECT_EQ(std::count(a.begin(), a.end(), v), 2) << v;
  std::sort(b.begin(), b.end());
  EXPECT_EQ(b.front(), 4);
  EXPECT_EQ(b.back(), 252);
  EXPECT_EQ(rx::kDitherA[3][4], 31);
  EXPECT_EQ(rx::kDitherB[7][0], 252);
  EXPECT_EQ(rx::kDitherB[4][4], 4);
  EXPECT_EQ(rx::kPalette332[0x6D].rgbRed, 109);  // 011 011 01
  EXPECT_EQ(rx::kPalette332[0x6D].rgbGreen, 109);
  EXPECT_EQ(rx::kPalette332[0x6D].rgbBlue, 85);
  EXPECT_EQ(rx::kPalette16[9].rgbBlue, 255);
  EXPECT_EQ(rx::kPalette16[9].rgbRed, 0);
}

// ---- Row converters ---------------------------------------------------------

struct Row {
  std::vector<uint8_t> src;
  std::vector<int32_t> map;
  uint8_t lut[256];
  rx::RowArgs args;
  explicit Row(std::vector<uint8_t> s, int32_t count) : src(std::move(s)), map(size_t(count) + 1) {
    for (int i = 0; i < 256; ++i) lut[i] = uint8_t(i);
    for (int32_t i = 0; i <= count; ++i) map[size_t(i)] = i;
    args.src = src.data();
    args.map = map.data();
    args.count = count;
    args.lut_r = args.lut_g = args.lut_b = lut;
    args.identity_luts = true;
    args.unit_map = true;
  }
  std::vector<uint8_t> run(int32_t depth, int32_t bits, uint32_t compression, int32_t dither, bool fast = false,
                           uint8_t fill = 0) {
    rx::RowConverter c = rx::row_converter(depth, bits, compression, dither, fast);
    EXPECT_NE(c, nullptr);
    std::vector<uint8_t> out(size_t(args.count) * 3 + 4, fill);
    if (c != nullptr) c(args, out.data());
    return out;
  }
};

std::vector<uint8_t> bgr_row(const std::vector<Rgb>& px) {
  std::vector<uint8_t> out;
  for (Rgb c : px) out.insert(out.end(), {uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16)});
  return out;
}

TEST(DisplayConverters, MidGreyOnSixteenColoursFollowsMatrixB) {
  // Eight mid-grey pixels: index 15 where tB < 88, 7 where tB < 128, else 0.
  for (int row = 0; row < 8; ++row) {
    Row r(bgr_row(std::vector<Rgb>(8, grey(128))), 8);
    r.args.row_phase = row;
    r.args.col_phase = 3;
    const std::vector<uint8_t> out = r.run(4, 24, RX_BI_RGB, 0);
    for (int i = 0; i < 8; ++i) {
      const int t = rx::kDitherB[row][(3 + i) & 7];
      const int v = (i & 1) ? out[i / 2] & 15 : out[i / 2] >> 4;
      EXPECT_EQ(v, t < 88 ? 15 : t < 128 ? 7 : 0) << row << "," << i;
    }
  }
}

TEST(DisplayConverters, SixteenColourIndexBitsAreBlueGreenRedIntensity) {
  // At tB = 12 (phase 4, 0) blue 200 gives 1, and Y = 22 is not above 52;
  // at tB = 140 (phase 4, 1) yellow (200, 200, 0) passes green and red,
  // 2 + 4 = 6, and Y = 178 is not above 180.
  Row r(bgr_row({rgb(0, 0, 200), rgb(200, 200, 0)}), 2);
  r.args.col_phase = 0;
  r.args.row_phase = 4;
  const std::vector<uint8_t> out = r.run(4, 24, RX_BI_RGB, 0);
  EXPECT_EQ(out[0], (1 << 4) | 6);
}

TEST(DisplayConverters, ThreeThreeTwoDitherAndTruncation) {
  // (100, 150, 200) at tA = 0: 0x60 | 0x10 | 3; at tA = 31 (phase 3, 4):
  // 69 & 0xE0 = 0x40, (119 & 0xE0) >> 3 = 0x0C, 169 >> 6 = 2.
  Row r(bgr_row({rgb(100, 150, 200), rgb(10, 10, 10)}), 2);
  r.args.row_phase = 0;
  r.args.col_phase = 0;
  EXPECT_EQ(r.run(8, 24, RX_BI_RGB, 0)[0], 0x73);
  r.args.row_phase = 3;
  r.args.col_phase = 4;
  std::vector<uint8_t> out = r.run(8, 24, RX_BI_RGB, 0);
  EXPECT_EQ(out[0], 0x4E);
  // (10, 10, 10) against tA = 15 (phase 3, 5): every channel below: 0.
  EXPECT_EQ(out[1], 0);
  // Dither mode 1 truncates whatever the phase.
  out = r.run(8, 24, RX_BI_RGB, 1);
  EXPECT_EQ(out[0], 0x73);
  EXPECT_EQ(out[1], 0);
}

TEST(DisplayConverters, LuminanceThresholdOnOneBitBands) {
  // Y = (R 30 + G 59 + B 11) / 100; cleared when Y < tB - 40.
  // Grey 60 at tB = 4 stays; at tB = 128 (phase 0, 1) is cleared.
  Row r(bgr_row({grey(60), grey(60), grey(87), grey(88)}), 4);
  r.args.row_phase = 0;
  r.args.col_phase = 0;  // tB: 4, 128, 32, 160 -> thresholds -36, 88, -8, 120
  std::vector<uint8_t> out = r.run(1, 24, RX_BI_RGB, 0, false, 0xFF);
  EXPECT_EQ(out[0] >> 4, 0b1010);
  // A palette image: index 1 is dark.
  Row p({1, 0}, 2);
  uint8_t pal[768] = {};
  pal[0] = pal[1] = pal[2] = 250;
  p.args.pal_rgb = pal;
  p.args.col_phase = 0;
  p.args.row_phase = 7;  // tB 252, 124: thresholds 212, 84
  out = p.run(1, 8, RX_BI_RGB, 0, false, 0xFF);
  EXPECT_EQ(out[0] >> 6, 0b01);
}

TEST(DisplayConverters, DirectDepthsApplyTheTables) {
  Row r(bgr_row({rgb(255, 128, 8)}), 1);
  std::vector<uint8_t> out = r.run(16, 24, RX_BI_RGB, 0);
  EXPECT_EQ(out[0] | (out[1] << 8), (31 << 10) | (16 << 5) | 1);
  for (int i = 0; i < 256; ++i) r.lut[i] = uint8_t(255 - i);
  r.args.identity_luts = false;
  out = r.run(24, 24, RX_BI_RGB, 0);
  EXPECT_EQ((std::vector<int>{out[0], out[1], out[2]}), (std::vector<int>{247, 127, 0}));
}

TEST(DisplayConverters, SixteenBitGreyShiftsByTheMaskWidth) {
  // A 12-bit value 0xABC, high byte first: shifted by 4 to 0xAB.
  Row r({0x0A, 0xBC, 0xFF, 0xFF}, 2);
  r.args.gray_mask = 0x0FFF;
  r.args.gray_shift = 4;
  std::vector<uint8_t> out = r.run(24, 16, RX_BI_GRAY16, 0);
  EXPECT_EQ((std::vector<int>{out[0], out[1], out[2]}), (std::vector<int>{0xAB, 0xAB, 0xAB}));
  // Bits outside the mask do not reach past 255.
  EXPECT_EQ(out[3], 0xFF);
  out = r.run(8, 16, RX_BI_GRAY16, 0);
  EXPECT_EQ(out[0], 0xAB);
}

TEST(DisplayConverters, FastKernelsGiveTheReferenceBytes) {
  std::mt19937 rng(7);
  for (int trial = 0; trial < 200; ++trial) {
    const int bits = std::vector<int>{4, 8, 24}[size_t(trial % 3)];
    const int count = 1 + int(rng() % 70);
    std::vector<uint8_t> src(size_t(count) * 8 + 16);
    for (auto& b : src) b = uint8_t(rng());
    Row r(src, count);
    r.args.first = rng() % 4;
    const bool unit = trial % 2 == 0;
    r.args.width = int32_t(r.args.first) + (unit ? count : count * 3 / 2 + 1);
    for (int i = 0; i <= count; ++i) r.map[size_t(i)] = unit ? i : int32_t(i * 3 / 2);
    r.args.unit_map = unit;
    if (trial % 5 == 0) {
      for (int i = 0; i < 256; ++i) r.lut[i] = uint8_t(i ^ 0x55);
      r.args.identity_luts = false;
    }
    uint8_t pal[768];
    for (auto& b : pal) b = uint8_t(rng());
    r.args.pal_rgb = pal;
    const int depth = bits == 24 ? 24 : bits;
    const std::vector<uint8_t> slow = r.run(depth, bits, RX_BI_RGB, 0, false, 0xAA);
    const std::vector<uint8_t> fast = r.run(depth, bits, RX_BI_RGB, 0, true, 0xAA);
    const size_t used = size_t((int64_t(count) * depth + 7) / 8);
    ASSERT_EQ(std::vector<uint8_t>(slow.begin(), slow.begin() + long(used)),
              std::vector<uint8_t>(fast.begin(), fast.begin() + long(used)))
        << "bits " << bits << " trial " << trial;
  }
}

}  // namespace
