// Depth promotion, grey conversion and palette entries: palettes and pixel
// values worked out by hand, refusals by depth and code, and stops.
#include "IMG_PROC/op_images.h"

using namespace iptest;

namespace {

class Promote : public EngineTest {};
class Gray : public EngineTest {};
class PaletteEntry : public EngineTest {};

RX_RGBQUAD entry(RX_HIMAGE image, int32_t i) {
  return RPb_palette_pointer_get(reinterpret_cast<IMAGE_REC*>(image))[i];
}

Codes rgb(const RX_RGBQUAD& q) { return {q.rgbRed, q.rgbGreen, q.rgbBlue, q.rgbReserved}; }

// A palette image whose entries are given as red, green, blue.
RX_HIMAGE with_palette(int32_t bits, const Rows& rows, const std::vector<Codes>& colours, bool runs = false) {
  RX_HIMAGE image = make(bits, rows);
  for (size_t i = 0; i < colours.size(); ++i) {
    const uint8_t bgr[3] = {uint8_t(colours[i][2]), uint8_t(colours[i][1]), uint8_t(colours[i][0])};
    EXPECT_EQ(RX_palette_entry_set(image, bgr, int32_t(i)), 0);
  }
  if (runs) RX_IP_convert_DIB_to_runs(image);
  return image;
}

}  // namespace

TEST_F(Promote, BlackAndWhiteBecomeGreyLevelsInEitherOrder) {
  for (bool runs : {false, true}) {
    RX_HIMAGE white_black = with_palette(1, {{0, 1, 1, 0}}, {{255, 255, 255}, {0, 0, 0}}, runs);
    ASSERT_EQ(RX_IP_promote(white_black, 2), 0);
    EXPECT_EQ(rows_of(white_black), (Rows{{255, 0, 0, 255}}));
    EXPECT_EQ(rgb(entry(white_black, 200)), (Codes{200, 200, 200, 0}));
    RX_HIMAGE black_white = with_palette(1, {{0, 1, 1, 0}}, {{0, 0, 0}, {255, 255, 255}}, runs);
    ASSERT_EQ(RX_IP_promote(black_white, 2), 0);
    EXPECT_EQ(rows_of(black_white), (Rows{{0, 255, 255, 0}}));
  }
  // Any other pair of colours keeps its indices, the rest of the palette 0.
  RX_HIMAGE duo = with_palette(1, {{0, 1}}, {{255, 0, 0}, {0, 0, 255}});
  ASSERT_EQ(RX_IP_promote(duo, 2), 0);
  EXPECT_EQ(rows_of(duo), (Rows{{0, 1}}));
  EXPECT_EQ(rgb(entry(duo, 1)), (Codes{0, 0, 255, 0}));
  EXPECT_EQ(rgb(entry(duo, 2)), (Codes{0, 0, 0, 0}));
}

TEST_F(Promote, IndicesAndPalettesCarryOver) {
  // 1 -> 4: the two entries, then 14 zero ones.
  RX_HIMAGE mono = with_palette(1, {{1, 0, 1}}, {{10, 20, 30}, {40, 50, 60}}, true);
  ASSERT_EQ(RX_IP_promote(mono, 1), 0);
  EXPECT_EQ(snapshot(mono).bits, 4);
  EXPECT_EQ(rows_of(mono), (Rows{{1, 0, 1}}));
  EXPECT_EQ(rgb(entry(mono, 1)), (Codes{40, 50, 60, 0}));
  EXPECT_EQ(rgb(entry(mono, 2)), (Codes{0, 0, 0, 0}));
  // 4 -> 8 keeps the 16 entries.
  RX_HIMAGE nibbles = with_palette(4, {{15, 3, 0}}, {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {11, 12, 13}});
  ASSERT_EQ(RX_IP_promote(nibbles, 2), 0);
  EXPECT_EQ(rows_of(nibbles), (Rows{{15, 3, 0}}));
  EXPECT_EQ(rgb(entry(nibbles, 3)), (Codes{11, 12, 13, 0}));
  EXPECT_EQ(rgb(entry(nibbles, 15)), (Codes{255, 255, 255, 0}));  // the grey ramp's last entry
  EXPECT_EQ(rgb(entry(nibbles, 16)), (Codes{0, 0, 0, 0}));
  // To 24 bits every pixel takes its entry's blue, green and red.
  for (int32_t bits : {1, 4, 8}) {
    RX_HIMAGE image = with_palette(bits, {{1, 0}}, {{9, 8, 7}, {200, 100, 50}});
    ASSERT_EQ(RX_IP_promote(image, 3), 0);
    EXPECT_EQ(rows_of(image), (Rows{{50, 100, 200, 7, 8, 9}})) << bits;
  }
}

TEST_F(Promote, RefusalsByDepthAndCode) {
  RX_HIMAGE nibbles = make(4, {{1, 2}});
  RX_HIMAGE grey = make(8, {{1, 2}});
  RX_HIMAGE colour = make(24, {{1, 2, 3}});
  RX_HIMAGE deep = make16(2, 1, RX_BI_RGB, [](int32_t x, int32_t) { return uint16_t(x); });
  const struct {
    RX_HIMAGE image;
    int32_t target;
    Codes want;
  } cases[] = {
      {nibbles, 1, {RXE_BIT_COUNT_UNSUPPORTED, 4, 1}}, {grey, 1, {RXE_BIT_COUNT_UNSUPPORTED, 8, 1}},
      {grey, 2, {RXE_BIT_COUNT_UNSUPPORTED, 8, 2}},    {colour, 3, {RXE_BIT_COUNT_UNSUPPORTED, 24, 3}},
      {deep, 3, {RXE_BIT_COUNT_UNSUPPORTED, 16, 3}},   {grey, 0, {RXE_PARAMETERS_OUT_OF_LIMITS, 0, 0}},
      {grey, 4, {RXE_PARAMETERS_OUT_OF_LIMITS, 4, 0}},
  };
  for (const auto& c : cases) {
    const Snapshot before = snapshot(c.image);
    EXPECT_EQ(RX_IP_promote(c.image, c.target), 1);
    EXPECT_EQ(first_error(), c.want);
    EXPECT_EQ(snapshot(c.image), before);
  }
  EXPECT_EQ(RX_IP_promote(0, 2), 1);
  EXPECT_EQ(first_error()[0], RXE_INVALID_HANDLE);
  expect_every_stop_harmless([] { return make_fn(1, 9, 5, [](int32_t x, int32_t y) { return uint8_t((x ^ y) & 1); }, true); },
                             [](RX_HIMAGE i) { return RX_IP_promote(i, 3); }, 5, "runs to 24 bits");
}

TEST_F(Gray, WeightedSumOfTheColour) {
  // (r 77 + g 151 + b 28) >> 8: red 76, green 150, blue 27, white 255;
  // (10, 20, 30): 4630 >> 8 = 18.
  RX_HIMAGE colour = make(24, {{0, 0, 255, 0, 255, 0, 255, 0, 0}, {255, 255, 255, 30, 20, 10, 0, 0, 0}});
  ASSERT_EQ(RX_IP_gray(colour), 0);
  EXPECT_EQ(rows_of(colour), (Rows{{76, 150, 27}, {255, 18, 0}}));
  EXPECT_EQ(snapshot(colour).bits, 8);
  EXPECT_EQ(rgb(entry(colour, 77)), (Codes{77, 77, 77, 0}));
  // Palette images through their entries; 1-bit ones in both formats.
  RX_HIMAGE indexed = with_palette(8, {{2, 1, 0}}, {{255, 0, 0}, {10, 20, 30}, {0, 0, 255}});
  ASSERT_EQ(RX_IP_gray(indexed), 0);
  EXPECT_EQ(rows_of(indexed), (Rows{{27, 18, 76}}));
  RX_HIMAGE nibbles = with_palette(4, {{1, 0, 1}}, {{0, 255, 0}, {255, 255, 255}});
  ASSERT_EQ(RX_IP_gray(nibbles), 0);
  EXPECT_EQ(rows_of(nibbles), (Rows{{255, 150, 255}}));
  for (bool runs : {false, true}) {
    RX_HIMAGE mono = with_palette(1, {{0, 1}, {1, 1}}, {{255, 0, 0}, {0, 0, 255}}, runs);
    ASSERT_EQ(RX_IP_gray(mono), 0);
    EXPECT_EQ(rows_of(mono), (Rows{{76, 27}, {27, 27}}));
  }
}

TEST_F(Gray, RowsGoBottomFirstAndStopsChangeNothing) {
  RX_HIMAGE deep = make16(2, 1, RX_BI_RGB, [](int32_t x, int32_t) { return uint16_t(x); });
  EXPECT_EQ(RX_IP_gray(deep), 1);
  EXPECT_EQ(first_error(), (Codes{RXE_BIT_COUNT_UNSUPPORTED, 16, 0}));
  EXPECT_EQ(RX_IP_gray(0), 1);
  EXPECT_EQ(first_error(), (Codes{RXE_INVALID_FILE_HEADER, 0, 0}));
  {
    RX_HIMAGE image = make_fn(24, 2, 3, [](int32_t x, int32_t y) { return uint8_t(x + y); });
    StatusLog log;
    ASSERT_EQ(RX_IP_gray(image), 0);
    EXPECT_EQ(log.calls, (std::vector<std::pair<int32_t, int32_t>>{{2, 3}, {1, 3}, {0, 3}}));
  }
  for (int32_t stop = 0; stop < 3; ++stop) {
    RX_HIMAGE image = make_fn(24, 2, 3, [](int32_t x, int32_t y) { return uint8_t(x * 40 + y); });
    const Snapshot before = snapshot(image);
    StatusLog log;
    log.stop_after = stop;
    EXPECT_EQ(RX_IP_gray(image), 1);
    EXPECT_EQ(first_error(), (Codes{RXE_INTERRUPTED_BY_USER, stop, 3}));
    EXPECT_EQ(snapshot(image), before);
  }
}

TEST_F(PaletteEntry, SetAndGetWithinThePalette) {
  RX_HIMAGE mono = make(1, {{0, 1}}, true);
  const uint8_t bgr[3] = {1, 2, 3};
  ASSERT_EQ(RX_palette_entry_set(mono, bgr, 1), 0);
  uint8_t got[3] = {};
  ASSERT_EQ(RX_palette_entry_get(mono, got, 1), 0);
  EXPECT_EQ(std::vector<uint8_t>(got, got + 3), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(entry(mono, 1).rgbReserved, 0);
  const struct {
    RX_HIMAGE image;
    int32_t index;
  } refused[] = {{mono, 2}, {mono, -1}, {make(8, {{1}}), 256}, {make(24, {{1, 2, 3}}), 0}};
  for (const auto& c : refused) {
    EXPECT_EQ(RX_palette_entry_set(c.image, bgr, c.index), 1);
    EXPECT_EQ(first_error(), (Codes{RXE_PARAMETERS_OUT_OF_LIMITS, c.index, 0}));
    EXPECT_EQ(RX_palette_entry_get(c.image, got, c.index), 1);
    EXPECT_EQ(first_error(), (Codes{RXE_PARAMETERS_OUT_OF_LIMITS, c.index, 0}));
  }
  EXPECT_EQ(RX_palette_entry_get(make(8, {{1}}), got, 255), 0);
  EXPECT_EQ(got[0], 255);
  EXPECT_EQ(RX_palette_entry_set(mono, nullptr, 0), 1);
  EXPECT_EQ(first_error()[0], RXE_INVALID_POINTER);
  EXPECT_EQ(RX_palette_entry_get(0, got, 0), 1);
  EXPECT_EQ(first_error()[0], RXE_INVALID_FILE_HEADER);
}

TEST_F(Gray, TheGreyTestTakesEightBitRampsAndTwentyFourBitGreysOnly) {
  int32_t gray = -1;
  RX_HIMAGE equal = make(24, {{5, 5, 5, 200, 200, 200}});
  EXPECT_EQ(RX_IP_is_gray(equal, &gray), 0);
  EXPECT_EQ(gray, 1);
  RX_HIMAGE tinted = make(24, {{5, 5, 5, 200, 201, 200}});
  EXPECT_EQ(RX_IP_is_gray(tinted, &gray), 0);
  EXPECT_EQ(gray, 0);
  ASSERT_EQ(RX_IP_gray(tinted), 0);  // 8 bits under the ramp
  EXPECT_EQ(RX_IP_is_gray(tinted, &gray), 0);
  EXPECT_EQ(gray, 1);
  // One entry off the ramp, and a black-and-white picture: not grey.
  const uint8_t off[3] = {9, 9, 9};
  ASSERT_EQ(RX_palette_entry_set(tinted, off, 10), 0);
  EXPECT_EQ(RX_IP_is_gray(tinted, &gray), 0);
  EXPECT_EQ(gray, 0);
  RX_HIMAGE mono = with_palette(1, {{0, 1}}, {{0, 0, 0}, {255, 255, 255}});
  EXPECT_EQ(RX_IP_is_gray(mono, &gray), 0);
  EXPECT_EQ(gray, 0);
  gray = -1;
  EXPECT_EQ(RX_IP_is_gray(0, &gray), 1);
  EXPECT_EQ(first_error()[0], RXE_INVALID_HANDLE);
  EXPECT_EQ(gray, 0);
  EXPECT_EQ(RX_IP_is_gray(equal, nullptr), 1);
  EXPECT_EQ(first_error()[0], RXE_INVALID_POINTER);
}
