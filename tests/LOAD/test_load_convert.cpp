// The converting callbacks: crop, resize and depth reduction applied while
// a reader delivers its rows.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "LOAD/dfltldcb.h"
#include "LOAD/fake_reader.h"
#include "SUPPORT/fixed_palettes.h"
#include "SUPPORT/image_rec.h"
#include "SUPPORT/mem_tag.h"
#include "support/engine_fixture.h"

namespace {

using test::FakeLoad;
using test::SourceImage;
using Values = std::vector<uint32_t>;
using Ints = std::vector<int32_t>;

constexpr uint32_t rgb(uint32_t red, uint32_t green, uint32_t blue) {
  return blue | green << 8 | red << 16;
}

class LoadConvert : public EngineTest {
 protected:
  // Loads `s` with the options set now; the image goes when the test ends.
  RX_HIMAGE load(const SourceImage& s, bool from_bottom = false) {
    FakeLoad l;
    EXPECT_EQ(l.deliver(s, from_bottom), 0);
    images_.push_back(l.image);
    return l.image;
  }
  void TearDown() override {
    for (RX_HIMAGE image : images_) RX_image_delete(image);
    EngineTest::TearDown();
  }
  std::vector<RX_HIMAGE> images_;
};

Ints shape(RX_HIMAGE image) {
  int32_t w = 0, h = 0, bits = 0, compression = -1;
  RX_image_dimensions_get(image, &w, &h, &bits);
  RX_image_compression_type_get(image, &compression);
  return {w, h, bits, compression};
}

Values column(RX_HIMAGE image, int32_t x) {
  Values out;
  for (int32_t y = 0; y < shape(image)[1]; ++y) out.push_back(test::pixel_of(image, x, y));
  return out;
}

Values row_values(RX_HIMAGE image, int32_t y) {
  Values out;
  for (int32_t x = 0; x < shape(image)[0]; ++x) out.push_back(test::pixel_of(image, x, y));
  return out;
}

// Every pixel from f(x, y).
template <typename F>
SourceImage made(int32_t width, int32_t height, int32_t bits, F f) {
  SourceImage s(width, height, bits);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) s.pixel_set(x, y, f(x, y));
  return s;
}

// 8-bit rows numbered from `first` down the image.
SourceImage numbered(int32_t width, int32_t height, uint32_t first = 1) {
  return made(width, height, 8, [first](int32_t, int32_t y) { return first + y; });
}

SourceImage flat(int32_t bits, uint32_t value) {
  return made(16, 9, bits, [value](int32_t, int32_t) { return value; });
}

const RX_RGBQUAD* palette_of(RX_HIMAGE image) { return RPb_palette_pointer_get(rx::record_of(image)); }

// Dither cells (row mod 8 times 8, plus column mod 8) where matrix A lets
// black stay white, and where it keeps white from the intensity bit.
const std::vector<int32_t> kBlackStaysWhite = {0, 2, 4, 6, 18, 22, 32, 36, 38, 50, 54};
const std::vector<int32_t> kWhiteLosesIntensity = {10, 14, 24, 28, 30, 42, 46, 56, 58, 60};
bool in_cells(const std::vector<int32_t>& cells, int32_t y, int32_t x) {
  return std::find(cells.begin(), cells.end(), y % 8 * 8 + x % 8) != cells.end();
}

}  // namespace

// A rectangle past the right and bottom edges is pulled back to end there;
// a side of 0 keeps the whole extent; rows outside it are passed over.
TEST_F(LoadConvert, CropKeepsTheRectangleInsideTheSource) {
  const SourceImage s = made(100, 20, 24, [](int32_t x, int32_t y) { return rgb(0, y, x); });
  ASSERT_EQ(RX_load_crop_set(95, 15, 10, 10), 0);
  for (bool from_bottom : {false, true}) {
    const RX_HIMAGE image = load(s, from_bottom);
    ASSERT_EQ(shape(image), Ints({10, 10, 24, RX_BI_RGB}));
    EXPECT_EQ(test::pixel_of(image, 0, 0), rgb(0, 10, 90));
    EXPECT_EQ(test::pixel_of(image, 9, 9), rgb(0, 19, 99));
  }
  ASSERT_EQ(RX_load_crop_set(2, 3, 0, 5), 0);
  const RX_HIMAGE whole_width = load(numbered(8, 10));
  EXPECT_EQ(shape(whole_width)[0], 8);
  EXPECT_EQ(column(whole_width, 7), Values({4, 5, 6, 7, 8}));
  FakeLoad l;
  ASSERT_EQ(l.create(numbered(8, 10)), 0);
  const std::vector<uint8_t> row(8, 1);
  EXPECT_EQ(l.row(0, row) + l.row(9, row), 0);
  EXPECT_EQ(l.cb.rows_received, 0);
  for (int32_t r = 3; r < 8; ++r) EXPECT_EQ(l.row(r, row), 0);
  EXPECT_EQ(l.cb.scratch, nullptr) << "freed after the last kept row";
  EXPECT_EQ(l.row(8, row), 0) << "later rows still answer";
  RX_image_delete(l.image);
}

// Enlarging repeats rows; shrinking keeps, for each stored row, the first
// source row delivered that maps to it; every stored row is filled at any
// ratio, also where the steps do not add up exactly in floating point.
TEST_F(LoadConvert, ResizeMapsRows) {
  ASSERT_EQ(RX_load_resize_set(4, 8), 0);
  for (bool from_bottom : {false, true})
    EXPECT_EQ(column(load(numbered(4, 4, 10), from_bottom), 3),
              Values({10, 10, 11, 11, 12, 12, 13, 13}));
  ASSERT_EQ(RX_load_resize_set(4, 2), 0);
  EXPECT_EQ(column(load(numbered(4, 4, 10)), 0), Values({10, 12}));
  EXPECT_EQ(column(load(numbered(4, 4, 10), true), 0), Values({11, 13}));
  const std::pair<int32_t, int32_t> ratios[] = {{6, 13}, {3, 7}, {7, 3}, {250, 3}};
  for (const auto& [from, to] : ratios) {
    ASSERT_EQ(RX_load_resize_set(1, to), 0);
    const Values rows = column(load(numbered(1, from)), 0);
    for (int32_t y = 0; y < to; ++y)
      ASSERT_TRUE(rows[y] != 0 && (y == 0 || rows[y] >= rows[y - 1]))
          << from << " to " << to << ": row " << y;
  }
}

TEST_F(LoadConvert, ResizeScalesColumnsByNearestNeighbour) {
  ASSERT_EQ(RX_load_resize_set(5, 1), 0);
  EXPECT_EQ(row_values(load(made(10, 1, 8, [](int32_t x, int32_t) { return x; })), 0),
            Values({0, 2, 4, 6, 8}));
  // The 16.16 step (3 << 16) / 7 picks columns 0 0 0 1 1 2 2.
  ASSERT_EQ(RX_load_resize_set(7, 1), 0);
  EXPECT_EQ(row_values(load(made(3, 1, 8, [](int32_t x, int32_t) { return 5 + x; })), 0),
            Values({5, 5, 5, 6, 6, 7, 7}));
  // Pixels of packed depths are picked out of their bytes.
  ASSERT_EQ(RX_load_resize_set(10, 1), 0);
  EXPECT_EQ(row_values(load(made(5, 1, 4, [](int32_t x, int32_t) { return 11 + x; })), 0),
            Values({11, 11, 12, 12, 13, 13, 14, 14, 15, 15}));
  const RX_HIMAGE bilevel = load(made(5, 1, 1, [](int32_t x, int32_t) { return x == 1 || x == 4; }));
  EXPECT_EQ(row_values(bilevel, 0), Values({0, 0, 1, 1, 0, 0, 0, 0, 1, 1}));
  EXPECT_EQ(shape(bilevel)[3], RX_BI_RUNS);
}

// ---- Depth reduction ----------------------------------------------------------------

// Indexed sources go through per-palette tables, colour sources through
// the formula; both must dither alike.
TEST_F(LoadConvert, ToOneBitDithersLuminanceWithMatrixA) {
  ASSERT_EQ(RX_load_conversion_set(1), 0);
  SourceImage indexed = flat(8, 3);
  indexed.palette[3] = RX_RGBQUAD{0, 0, 0, 0};
  for (const SourceImage& s : {flat(24, rgb(0, 0, 0)), indexed}) {
    const RX_HIMAGE image = load(s);
    ASSERT_EQ(shape(image), Ints({16, 9, 1, RX_BI_RUNS}));
    EXPECT_EQ(palette_of(image)[0].rgbRed + palette_of(image)[1].rgbBlue, 255);
    for (int32_t y = 0; y < 9; ++y)
      for (int32_t x = 0; x < 16; ++x)
        ASSERT_EQ(test::pixel_of(image, x, y), in_cells(kBlackStaysWhite, y, x) ? 1u : 0u)
            << s.header.biBitCount << "-bit at " << x << "," << y;
  }
  EXPECT_EQ(column(load(flat(24, rgb(255, 255, 255))), 1), Values(9, 1));
  EXPECT_EQ(shape(load(flat(1, 1)))[2], 1) << "already bi-level";
}

TEST_F(LoadConvert, ToFourBitUsesTheSixteenColoursAndSparesShallowSources) {
  ASSERT_EQ(RX_load_conversion_set(2), 0);
  const RX_HIMAGE white = load(flat(24, rgb(255, 255, 255)));
  ASSERT_EQ(shape(white), Ints({16, 9, 4, RX_BI_RGB}));
  EXPECT_EQ(std::memcmp(palette_of(white), rx::kPalette16.data(), 64), 0);
  for (int32_t y = 0; y < 9; ++y)
    for (int32_t x = 0; x < 16; ++x)
      ASSERT_EQ(test::pixel_of(white, x, y), in_cells(kWhiteLosesIntensity, y, x) ? 7u : 15u) << x << "," << y;
  // 8-bit red: luminance 76 takes the intensity bit only where t + 40 < 76.
  SourceImage red = flat(8, 5);
  red.palette[5] = RX_RGBQUAD{0, 0, 255, 0};
  const RX_HIMAGE reduced = load(red);
  EXPECT_EQ(Values({test::pixel_of(reduced, 0, 0), test::pixel_of(reduced, 4, 3)}), Values({12, 4}));
  SourceImage four = made(5, 2, 4, [](int32_t x, int32_t y) { return 3 * x + y; });
  four.palette[6] = RX_RGBQUAD{9, 8, 7, 0};
  const RX_HIMAGE kept = load(four);
  EXPECT_EQ(shape(kept), Ints({5, 2, 4, RX_BI_RGB}));
  EXPECT_EQ(test::row_of(kept, 1), four.rows[1]);
  EXPECT_EQ(std::memcmp(palette_of(kept), four.palette.data(), 64), 0);
}

// No reduction is defined from 16 bits: such rows keep their depth rather
// than be copied unreduced into narrower rows.
TEST_F(LoadConvert, ToEightBitQuantisesToTheCubeWithMatrixB) {
  ASSERT_EQ(RX_load_conversion_set(3), 0);
  const RX_HIMAGE white = load(flat(24, rgb(255, 255, 255)));
  ASSERT_EQ(shape(white), Ints({16, 9, 8, RX_BI_RGB}));
  EXPECT_EQ(std::memcmp(palette_of(white), rx::kPalette332.data(), 1024), 0);
  EXPECT_EQ(column(white, 5), Values(9, 0xFF));
  EXPECT_EQ(column(load(flat(24, rgb(255, 0, 0))), 3), Values(9, 0xE0));
  const RX_HIMAGE grey = load(flat(24, rgb(128, 128, 128)));
  EXPECT_EQ(row_values(grey, 0)[0], 0x92u);  // t = 0
  EXPECT_EQ(row_values(grey, 0)[1], 0x6Du);  // t = 16
  EXPECT_EQ(column(load(numbered(3, 2)), 2), Values({1, 2})) << "palette images are left alone";
  SourceImage deep(3, 2, 16, RX_BI_BITFIELDS);
  deep.pixel_set(2, 1, 0x7C00);
  for (int32_t mode : {1, 2, 3}) {
    ASSERT_EQ(RX_load_conversion_set(mode), 0);
    const RX_HIMAGE image = load(deep);
    EXPECT_EQ(shape(image), Ints({3, 2, 16, RX_BI_BITFIELDS}));
    EXPECT_EQ(test::row_of(image, 1), deep.rows[1]);
  }
}

// ---- Run rows in, bad input, clean-up -------------------------------------------


// Run rows from a reader are checked and cropped like packed rows; sizes
// that cannot make an image are refused before anything is allocated.
TEST_F(LoadConvert, RunRowsBadSizesAndBadRows) {
  ASSERT_EQ(RX_load_crop_set(4, 0, 8, 1), 0);
  SourceImage runs(16, 1, 1, RX_BI_RUNS);
  runs.rows[0] = {12, 0, 3, 0, 9, 0, 16, 0, 16, 0, 16, 0};  // 1 in 0..2 and 9..15
  EXPECT_EQ(row_values(load(runs), 0), Values({0, 0, 0, 0, 0, 1, 1, 1}));
  ASSERT_EQ(RX_load_crop_set(0, 0, 0, 0) + RX_load_resize_set(70000, 70000), 0);
  {
    FakeLoad l;
    const int32_t live = rx::mem_live_block_count();
    EXPECT_EQ(l.create(SourceImage(4, 4, 24)), 1);
    EXPECT_EQ(error_codes(), Ints{RXE_DIB_SIZE_WRONG});
    EXPECT_EQ(rx::mem_live_block_count(), live);
  }
  ASSERT_EQ(RX_load_resize_set(2, 2), 0);
  FakeLoad l, bad_runs;
  EXPECT_EQ(l.row(0, std::vector<uint8_t>(12)), 1);
  EXPECT_EQ(error_codes(), Ints{RXE_DIB_POINTER_NULL});
  RPb_AF_error_clear();
  ASSERT_EQ(l.create(SourceImage(4, 4, 24)) + bad_runs.create(runs), 0);
  EXPECT_EQ(l.row(0, std::vector<uint8_t>(11)) + l.row(-1, std::vector<uint8_t>(12)) +
                l.row(4, std::vector<uint8_t>(12)), 1 + 2 + 3);
  EXPECT_EQ(bad_runs.row(0, {12, 0, 3, 0}), 4);
  EXPECT_EQ(error_codes(), Ints({RXE_PARAMETERS_OUT_OF_LIMITS, RXE_PARAMETERS_OUT_OF_LIMITS,
                                 RXE_PARAMETERS_OUT_OF_LIMITS, RXE_COMPRESSION_ERROR}));
  RX_image_delete(l.image);
  RX_image_delete(bad_runs.image);
}

// Stopping at the first row leaves exactly the one entry, and everything
// the conversion allocated goes with the load.
TEST_F(LoadConvert, InterruptedConversionLeavesNothing) {
  RX_image_delete(load(SourceImage(1, 1, 8)));  // makes the handle registry, which stays
  images_.clear();
  RX_status_callback_set([](uintptr_t, int32_t, int32_t) { return 0; }, 0);
  ASSERT_EQ(RX_load_conversion_set(1), 0);
  ASSERT_EQ(RX_load_resize_set(30, 20), 0);
  const int32_t live = rx::mem_live_block_count();
  {
    FakeLoad l;
    EXPECT_EQ(l.deliver(flat(24, 0)), 1);
    const auto e = error_entries();
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(Ints({e[0].code, e[0].iVal, e[0].lVal}), Ints({RXE_INTERRUPTED_BY_USER, 19, 20}));
    EXPECT_EQ(l.cb.scratch, nullptr);
    RX_image_delete(l.image);
  }
  EXPECT_EQ(rx::mem_live_block_count(), live);
}

// A progressive load asks where a source row lands before storing it.
TEST_F(LoadConvert, StoredRowsOfASourceRow) {
  ASSERT_EQ(RX_load_crop_set(0, 1, 0, 4) + RX_load_resize_set(0, 8), 0);
  FakeLoad l;
  ASSERT_EQ(l.create(numbered(3, 6)), 0);
  ASSERT_EQ(RX_load_crop_set(0, 0, 0, 0) + RX_load_resize_set(0, 0), 0);
  FakeLoad plain;
  ASSERT_EQ(plain.create(numbered(3, 6)), 0);
  int32_t a = -1, b = -1;
  EXPECT_EQ(Ints({rx::load_stored_rows(&l.cb, 0, &a), rx::load_stored_rows(&l.cb, 5, &a),
                  rx::load_stored_rows(&l.cb, 3, &a), rx::load_stored_rows(&plain.cb, 5, &b),
                  rx::load_stored_rows(&plain.cb, 6, &b)}),
            Ints({0, 0, 2, 1, 0}));
  EXPECT_EQ(Ints({a, b}), Ints({4, 5}));
  EXPECT_EQ(rx::load_stored_rows(&l.cb, INT32_MIN, &a), 0) << "a reader's row far above the crop";
  RX_image_delete(l.image);
  RX_image_delete(plain.image);
}
