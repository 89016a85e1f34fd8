// Dithering: the diffusion weights on a 4 x 4 image and the 4-bit colour
// look-up, the Bayer matrix and its levels, the halftone cells, worked out
// by hand; the 1-bit result in the runs format; refusals and stops.
#include "IMG_PROC/op_images.h"

using namespace iptest;

namespace {

class Diffuse : public EngineTest {};
class Bayer : public EngineTest {};
class Halftone : public EngineTest {};

RX_HIMAGE uniform(int32_t bits, int32_t width, int32_t height, uint8_t value) {
  return make_fn(bits, width, height, [=](int32_t, int32_t) { return value; });
}

int32_t count_of(const Rows& rows, uint8_t value) {
  int32_t n = 0;
  for (const auto& r : rows)
    for (uint8_t v : r) n += v == value;
  return n;
}

RX_HIMAGE colour(const Rows& rgb_rows) {
  Rows bgr = rgb_rows;
  for (auto& r : bgr)
    for (size_t i = 0; i + 2 < r.size(); i += 3) std::swap(r[i], r[i + 2]);
  return make(24, bgr);
}

// The Bayer thresholds as the matrix gives them, rows 0 and 15.
const uint16_t kBayerRow0[16] = {2, 236, 60, 220, 16, 232, 56, 216, 3, 233, 57, 217, 13, 229, 53, 213};
const uint16_t kBayerRow15[16] = {172, 108, 156, 92, 168, 104, 152, 88, 169, 105, 153, 89, 165, 101, 149, 85};

}  // namespace

TEST_F(Diffuse, WeightsOnAFourByFourImage) {
  // Uniform grey 100, threshold 128, rows from the bottom. Bottom row:
  // 100 black (e 100: 43 right, 18 / 31 / 6 below); 143 white (e -112:
  // -49 right, -21 / -35 below, -7 below-right written); 51 black; 122
  // black. The next row up starts from 10, -20, 30, 41, and so on.
  RX_HIMAGE image = uniform(8, 4, 4, 100);
  const RX_DIFFUSE_OPTIONS o{1, 128, nullptr};
  ASSERT_EQ(RX_IP_diffuse(image, &o), 0);
  EXPECT_EQ(compression_of(image), RX_BI_RUNS);
  EXPECT_EQ(rows_of(image), (Rows{{0, 0, 1, 0}, {0, 1, 0, 0}, {0, 1, 0, 1}, {0, 1, 0, 0}}));
  // Grey 170 tells every share apart, and truncation toward zero from
  // flooring. Bottom row: 170 white (e -85: -37 right, -15 / -26 below,
  // -5 below-right); 133 white (e -122); 117 black (e 117: 51 right);
  // 221 white.
  RX_HIMAGE light = uniform(8, 4, 4, 170);
  ASSERT_EQ(RX_IP_diffuse(light, &o), 0);
  EXPECT_EQ(rows_of(light), (Rows{{1, 1, 0, 1}, {1, 0, 1, 0}, {0, 1, 1, 1}, {1, 1, 0, 1}}));
  const RX_RGBQUAD* palette = RPb_palette_pointer_get(reinterpret_cast<IMAGE_REC*>(image));
  EXPECT_EQ(palette[0].rgbRed, 0);
  EXPECT_EQ(palette[1].rgbGreen, 255);
  // Grey 128 at threshold 128 is white then black by turns: about half.
  RX_HIMAGE half = uniform(24, 64, 64, 128);
  ASSERT_EQ(RX_IP_diffuse(half, &o), 0);
  const int32_t white = count_of(rows_of(half), 1);
  EXPECT_GT(white, 64 * 64 * 45 / 100);
  EXPECT_LT(white, 64 * 64 * 55 / 100);
  // Palette images diffuse the grey of their entries.
  RX_HIMAGE nibbles = make(4, {{15, 15, 0}});
  ASSERT_EQ(RX_IP_diffuse(nibbles, &o), 0);
  EXPECT_EQ(rows_of(nibbles), (Rows{{1, 1, 0}}));
}

TEST_F(Diffuse, FourBitColoursThroughTheGrid) {
  // Built-in palette levels 0, 128, 192, 255 in each channel. (100, 100,
  // 100) is nearest level 128: entry 7, error -28, of which -12 goes right;
  // 165 - 12 = 153 is nearer 128 than 192: entry 7 again (alone, 165 would
  // take 192: entry 8).
  const RX_DIFFUSE_OPTIONS o{4, 0, nullptr};
  RX_HIMAGE row = colour({{100, 100, 100, 165, 165, 165}});
  ASSERT_EQ(RX_IP_diffuse(row, &o), 0);
  EXPECT_EQ(snapshot(row).bits, 4);
  EXPECT_EQ(rows_of(row), (Rows{{7, 7}}));
  RX_HIMAGE lone = colour({{165, 165, 165}});
  ASSERT_EQ(RX_IP_diffuse(lone, &o), 0);
  EXPECT_EQ(rows_of(lone), (Rows{{8}}));
  // Below gets 5/16 of -28, -8: the bottom row goes first, so the pixel
  // above takes it.
  RX_HIMAGE column = colour({{165, 165, 165}, {100, 100, 100}});
  ASSERT_EQ(RX_IP_diffuse(column, &o), 0);
  EXPECT_EQ(rows_of(column), (Rows{{7}, {7}}));
  // The built-in palette's entries; a caller's palette with ties takes the
  // first of the nearest entries.
  const RX_RGBQUAD* palette = RPb_palette_pointer_get(reinterpret_cast<IMAGE_REC*>(row));
  EXPECT_EQ((Codes{palette[8].rgbRed, palette[9].rgbBlue, palette[9].rgbRed, palette[14].rgbGreen, palette[14].rgbBlue}),
            (Codes{192, 255, 0, 255, 0}));
  RX_RGBQUAD mine[16] = {};
  mine[3] = mine[5] = RX_RGBQUAD{250, 250, 250, 7};
  const RX_DIFFUSE_OPTIONS with_mine{4, 0, mine};
  RX_HIMAGE white = colour({{255, 255, 255, 0, 0, 0}});
  ASSERT_EQ(RX_IP_diffuse(white, &with_mine), 0);
  EXPECT_EQ(rows_of(white), (Rows{{3, 0}}));
  EXPECT_EQ(RPb_palette_pointer_get(reinterpret_cast<IMAGE_REC*>(white))[3].rgbReserved, 0);
}

TEST_F(Bayer, MatrixThresholdsAgainstTheScaledGrey) {
  // grey x 256 / 255 white pixels per 16 x 16 block: every threshold 1..256
  // appears once. 255 gives 256: all white; 0 all black.
  for (int32_t grey : {0, 1, 64, 127, 128, 200, 254, 255}) {
    RX_HIMAGE image = uniform(8, 16, 16, uint8_t(grey));
    const RX_BAYER_OPTIONS o{1, nullptr};
    ASSERT_EQ(RX_IP_bayer(image, &o), 0);
    EXPECT_EQ(compression_of(image), RX_BI_RUNS);
    EXPECT_EQ(count_of(rows_of(image), 1), grey * 256 / 255) << grey;
  }
  // Matrix row 0 goes with the bottom row, row 15 with the top one, and a
  // 17th row takes row 0 again. Grey 128 gives 128: white where the
  // threshold is at most 128.
  RX_HIMAGE image = uniform(8, 20, 17, 128);
  const RX_BAYER_OPTIONS o{1, nullptr};
  ASSERT_EQ(RX_IP_bayer(image, &o), 0);
  const Rows got = rows_of(image);
  for (int32_t x = 0; x < 20; ++x) {
    EXPECT_EQ(got[16][x], kBayerRow0[x % 16] <= 128) << x;
    EXPECT_EQ(got[1][x], kBayerRow15[x % 16] <= 128) << x;
    EXPECT_EQ(got[0][x], kBayerRow0[x % 16] <= 128) << x;
  }
}

TEST_F(Bayer, FourBitLevels) {
  // Red 160 lies between levels 128 and 192 at 32 x 256 / 64 = 128: level
  // 192 (whose nearest entry is 12, red 255) where the threshold is below
  // 128, that is 127 of 256 places; else 128 (entry 4).
  RX_HIMAGE image = colour(Rows(16, std::vector<uint8_t>(16 * 3, 0)));
  for (int32_t y = 0; y < 16; ++y) {
    std::vector<uint8_t> row(48, 0);
    for (int32_t x = 0; x < 16; ++x) row[3 * x + 2] = 160;
    RX_DIB_raster_set(image, y, row.data(), RX_ROW_BYTE_PER_PIXEL);
  }
  const RX_BAYER_OPTIONS o{4, nullptr};
  ASSERT_EQ(RX_IP_bayer(image, &o), 0);
  const Rows got = rows_of(image);
  EXPECT_EQ(count_of(got, 12), 127);
  EXPECT_EQ(count_of(got, 4), 129);
  EXPECT_EQ(got[15][0], 12);  // threshold 2
  EXPECT_EQ(got[15][1], 4);   // threshold 236
  // White takes level 255 except under threshold 256, where 192 is taken:
  // silver, entry 8.
  RX_HIMAGE white = uniform(24, 16, 16, 255);
  ASSERT_EQ(RX_IP_bayer(white, &o), 0);
  const Rows w = rows_of(white);
  EXPECT_EQ(count_of(w, 15), 255);
  EXPECT_EQ(w[15 - 6][7], 8);  // matrix row 6, column 7 holds 256
  // A caller's palette without 0 or 255: the fraction is clamped.
  RX_RGBQUAD mine[16];
  for (int32_t i = 0; i < 16; ++i) mine[i] = RX_RGBQUAD{uint8_t(64 + 8 * i), uint8_t(64 + 8 * i), uint8_t(64 + 8 * i), 0};
  const RX_BAYER_OPTIONS with_mine{4, mine};
  RX_HIMAGE extremes = colour({{0, 0, 0, 255, 255, 255, 10, 250, 30}});
  ASSERT_EQ(RX_IP_bayer(extremes, &with_mine), 0);
  EXPECT_EQ(rows_of(extremes)[0][0], 0);
}

TEST_F(Halftone, ChessboardOfTwoCells) {
  // Grey 128 gives 16: every threshold of cell A (1..16) is at most 16,
  // none of cell B (17..32): 4 x 4 blocks, white at the top left.
  RX_HIMAGE image = uniform(8, 8, 8, 128);
  ASSERT_EQ(RX_IP_halftone(image, nullptr), 0);
  EXPECT_EQ(compression_of(image), RX_BI_RUNS);
  const Rows got = rows_of(image);
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 8; ++x) EXPECT_EQ(got[y][x], ((x / 4 + y / 4) % 2 == 0) ? 1 : 0) << x << ", " << y;
  // Grey 64 gives 8: in cell A the thresholds 1..8.
  RX_HIMAGE eight = uniform(24, 4, 4, 64);
  ASSERT_EQ(RX_IP_halftone(eight, nullptr), 0);
  EXPECT_EQ(rows_of(eight), (Rows{{0, 0, 0, 0}, {1, 1, 1, 0}, {1, 1, 1, 0}, {0, 1, 1, 0}}));
  for (uint8_t grey : {uint8_t(0), uint8_t(255)}) {
    RX_HIMAGE flat = uniform(4, 9, 5, grey == 0 ? 0 : 15);
    ASSERT_EQ(RX_IP_halftone(flat, nullptr), 0);
    EXPECT_EQ(count_of(rows_of(flat), 1), grey == 0 ? 0 : 45);
  }
}

TEST_F(Diffuse, RefusedDepthsAndTargets) {
  RX_HIMAGE mono = make(1, {{1, 0}}, true);
  RX_HIMAGE nibbles = make(4, {{1, 0}});
  RX_HIMAGE grey = make(8, {{1, 0}});
  RX_HIMAGE deep = make16(2, 1, RX_BI_RGB, [](int32_t x, int32_t) { return uint16_t(x); });
  const struct {
    RX_HIMAGE image;
    int32_t bits, target;
  } cases[] = {{mono, 1, 1}, {nibbles, 4, 4}, {grey, 8, 2}, {grey, 8, 8}, {deep, 16, 1}};
  for (const auto& c : cases) {
    const Snapshot before = snapshot(c.image);
    const RX_DIFFUSE_OPTIONS d{c.target, 128, nullptr};
    EXPECT_EQ(RX_IP_diffuse(c.image, &d), 1);
    EXPECT_EQ(first_error(), (Codes{RXE_BIT_COUNT_UNSUPPORTED, c.bits, c.target}));
    const RX_BAYER_OPTIONS b{c.target, nullptr};
    EXPECT_EQ(RX_IP_bayer(c.image, &b), 1);
    EXPECT_EQ(first_error(), (Codes{RXE_BIT_COUNT_UNSUPPORTED, c.bits, c.target}));
    EXPECT_EQ(snapshot(c.image), before);
  }
  EXPECT_EQ(RX_IP_halftone(mono, nullptr), 1);
  EXPECT_EQ(first_error(), (Codes{RXE_BIT_COUNT_UNSUPPORTED, 1, 1}));
  EXPECT_EQ(RX_IP_diffuse(grey, nullptr), 1);
  EXPECT_EQ(first_error()[0], RXE_INVALID_POINTER);
  EXPECT_EQ(RX_IP_bayer(0, nullptr), 1);
  EXPECT_EQ(first_error(), (Codes{RXE_INVALID_FILE_HEADER, 0, 0}));
}

TEST_F(Diffuse, StopsOfEveryDitherLeaveTheImage) {
  auto value = [](int32_t x, int32_t y) { return uint8_t(x * 40 + y * 9); };
  const RX_DIFFUSE_OPTIONS d1{1, 128, nullptr}, d4{4, 0, nullptr};
  const RX_BAYER_OPTIONS b1{1, nullptr}, b4{4, nullptr};
  auto image = [&] { return make_fn(24, 5, 4, value); };
  expect_every_stop_harmless(image, [&](RX_HIMAGE i) { return RX_IP_diffuse(i, &d1); }, 4, "diffuse 1", true);
  expect_every_stop_harmless(image, [&](RX_HIMAGE i) { return RX_IP_diffuse(i, &d4); }, 4, "diffuse 4", true);
  expect_every_stop_harmless(image, [&](RX_HIMAGE i) { return RX_IP_bayer(i, &b1); }, 4, "bayer 1", true);
  expect_every_stop_harmless(image, [&](RX_HIMAGE i) { return RX_IP_bayer(i, &b4); }, 4, "bayer 4", true);
  expect_every_stop_harmless(image, [&](RX_HIMAGE i) { return RX_IP_halftone(i, nullptr); }, 4, "halftone", true);
}
