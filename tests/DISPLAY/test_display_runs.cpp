// 1-bit images: the runs renderers at every rotation, scale-to-gray in 16
// levels and the zero-preserving reduction with its quality and variants,
// on runs and on plain rows.
#include <gtest/gtest.h>

#include <set>

#include "DISPLAY/display_draw.h"
#include "DISPLAY/display_test_util.h"

using namespace dtest;

namespace {

class DisplayRuns : public EngineTest {};

constexpr Rgb B = 0, W = 0xFFFFFF;

std::vector<Rgb> pattern(const std::vector<std::string>& rows) {
  std::vector<Rgb> out;
  for (const std::string& r : rows)
    for (char c : r) out.push_back(c == 'B' ? B : W);
  return out;
}

std::vector<Rgb> drawn(RX_HIMAGE im, int32_t w, int32_t h, int32_t bits = 24) {
  Device dev(bits, w, h);
  dev.fill(rgb(9, 9, 9));
  set_rect(im, 0, 0, w, h);
  EXPECT_EQ(RX_display_image(im, dev.handle()), 0);
  return dev.pixels();
}

TEST_F(DisplayRuns, EveryRotationTurnsClockwise) {
  // Rows "001" and "111": 0 is black.
  RX_HIMAGE im = bilevel({"001", "111"});
  EXPECT_EQ(drawn(im, 3, 2), pattern({"BBW", "WWW"}));
  ASSERT_EQ(RX_display_rotation_set(im, 1), 0);
  EXPECT_EQ(drawn(im, 2, 3), pattern({"WB", "WB", "WW"}));
  ASSERT_EQ(RX_display_rotation_set(im, 2), 0);
  EXPECT_EQ(drawn(im, 3, 2), pattern({"WWW", "WBB"}));
  ASSERT_EQ(RX_display_rotation_set(im, 3), 0);
  EXPECT_EQ(drawn(im, 2, 3), pattern({"WW", "BW", "BW"}));
  // Twice the size at 90 degrees: every pixel a 2 x 2 block.
  ASSERT_EQ(RX_display_rotation_set(im, 1), 0);
  EXPECT_EQ(drawn(im, 4, 6), pattern({"WWBB", "WWBB", "WWBB", "WWBB", "WWWW", "WWWW"}));
  // The same turns on a printer, through StretchDIBits.
  HDC printer = pg_printer_dc_create(2, 3, 300);
  set_rect(im, 0, 0, 2, 3);
  ASSERT_EQ(RX_display_image(im, reinterpret_cast<uintptr_t>(printer)), 0);
  EXPECT_EQ(pg_pixel_get(printer, 1, 0), PG_RGB(0, 0, 0));
  EXPECT_EQ(pg_pixel_get(printer, 0, 0), PG_RGB(255, 255, 255));
  pg_dc_delete(printer);
  RX_image_delete(im);
}

TEST_F(DisplayRuns, TurnedBandsRunAcrossAndStayWithinTheBudget) {
  // 40000 device rows do not fit one band of a column: bands split both ways.
  RX_HIMAGE im = bilevel(4, 3, [](int32_t x, int32_t y) { return uint32_t((x + y) & 1); });
  ASSERT_EQ(RX_display_rotation_set(im, 3), 0);
  Device dev(24, 6, 40000);
  set_rect(im, 0, 0, 6, 40000);
  ASSERT_EQ(RX_display_image(im, dev.handle()), 0);
  const rx::DrawStats& s = rx::display_last_draw_stats();
  EXPECT_LE(s.band_bytes, 65535);
  EXPECT_GT(s.bands, 1);
  // At 270 degrees device (x, y) shows image (3 - y * 4 / 40000, x * 3 / 6).
  for (int32_t y : {0, 9999, 10000, 39999})
    for (int32_t x = 0; x < 6; ++x) {
      const int32_t ix = 3 - y / 10000, iy = x / 2;
      EXPECT_EQ(dev.at(x, y), ((ix + iy) & 1) ? W : B) << x << "," << y;
    }
  RX_image_delete(im);
}

// 64 x 4: sixteen cells of 4 x 4, cell i with its first i pixels black.
uint32_t cells_pixel(int32_t x, int32_t y) {
  const int32_t cell = x / 4, k = (x % 4) + 4 * y;
  return k < cell ? 0u : 1u;
}

TEST_F(DisplayRuns, ReducedPageShowsSixteenGreysAndEnlargedBlackAndWhite) {
  for (bool runs : {true, false}) {
    RX_HIMAGE im = bilevel(64, 4, cells_pixel);
    if (!runs) RX_IP_convert_runs_to_DIB(im);
    ASSERT_EQ(RX_display_alias_set(im, 2, 75, 0), 0);
    const std::vector<Rgb> px = drawn(im, 16, 1);
    EXPECT_EQ(rx::display_last_draw_stats().target, 4);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(px[size_t(i)], grey(17 * ((16 - i) * 15 / 16))) << runs << " " << i;
    EXPECT_EQ(std::set<Rgb>(px.begin(), px.end()).size(), 16u);
    // Ink counted twice: (16 - min(16, 2 i)) x 15 / 16.
    RX_display_alias_set(im, 2, 75, 1);
    const std::vector<Rgb> ink = drawn(im, 16, 1);
    for (int i = 0; i < 16; ++i)
      EXPECT_EQ(ink[size_t(i)], grey(17 * ((16 - std::min(16, 2 * i)) * 15 / 16))) << i;
    // Enlarged: black and white only.
    RX_display_alias_set(im, 2, 75, 0);
    const std::vector<Rgb> big = drawn(im, 128, 8);
    EXPECT_EQ(rx::display_last_draw_stats().target, 1);
    for (Rgb c : big) ASSERT_TRUE(c == B || c == W);
    RX_image_delete(im);
  }
}

TEST_F(DisplayRuns, GreysCountTheDarkerEntryAsInk) {
  // The same page with entry 0 white and entry 1 black, bits inverted.
  std::vector<uint8_t> d = dib(1, 64, 4, {rgb(255, 255, 255), rgb(0, 0, 0)},
                               [](int32_t x, int32_t y) { return cells_pixel(x, y) ^ 1u; });
  RX_HIMAGE im = test::create(d);
  RX_IP_convert_DIB_to_runs(im);
  RX_display_alias_set(im, 2, 75, 0);
  const std::vector<Rgb> px = drawn(im, 16, 1);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(px[size_t(i)], grey(17 * ((16 - i) * 15 / 16))) << i;
  RX_image_delete(im);
}

// 8 x 8 in four 4 x 4 cells holding 4, 3, 1 and 0 black pixels.
RX_HIMAGE quarters() {
  return bilevel({"00001000", "11111111", "11111111", "11111111", "01111111", "11111111", "11111111",
                  "11111111"});
}

std::vector<Rgb> reduced(RX_HIMAGE im, int32_t mode, int32_t quality, int32_t variant) {
  RX_display_alias_set(im, mode, quality, variant);
  return drawn(im, 2, 2);
}

TEST_F(DisplayRuns, ZeroPreservingReductionKeepsBlackByTheThreshold) {
  for (bool runs : {true, false}) {
    RX_HIMAGE im = quarters();
    if (!runs) RX_IP_convert_runs_to_DIB(im);
    // Quality 0: q = 300, threshold min(4 * 300 / 400, ...) = 3.
    EXPECT_EQ(reduced(im, 1, 0, 0), (std::vector<Rgb>{B, B, W, W})) << runs;
    // Quality 75: 4 * 375 / 400 = 3 as well; quality 99: 3.
    EXPECT_EQ(reduced(im, 1, 99, 0), (std::vector<Rgb>{B, B, W, W})) << runs;
    // Quality 100: 4.
    EXPECT_EQ(reduced(im, 1, 100, 0), (std::vector<Rgb>{B, W, W, W})) << runs;
    // Without anti-aliasing: runs land where the runs map puts their
    // start (columns 0..3 and 5..7 of row 0 on device columns 0 and 1);
    // plain rows show the sampled pixel (columns 0 and 4 of rows 0 and 4).
    EXPECT_EQ(reduced(im, 0, 100, 0), runs ? (std::vector<Rgb>{B, B, W, W}) : (std::vector<Rgb>{B, W, B, W}));
    RX_image_delete(im);
  }
  // The variant keeps every black pixel: threshold 1 (runs, displays).
  RX_HIMAGE im = quarters();
  EXPECT_EQ(reduced(im, 1, 50, 1), (std::vector<Rgb>{B, B, B, W}));
  RX_image_delete(im);
}

TEST_F(DisplayRuns, ExactRendererJudgesEachCellBySize) {
  // 7 x 4 into 2 x 1: runs cells of 4 and 3 columns, 4 rows. The left cell
  // holds 3 black pixels. At quality 99 the threshold comes from the first
  // cell: min(4 x 399 / 400, 4 x 399 / 400) = 3, so it turns black; at
  // quality 100 the exact renderer asks min(4, 4) = 4 of the left cell.
  RX_HIMAGE im = bilevel({"0001111", "1111111", "1111111", "1111111"});
  RX_display_alias_set(im, 1, 99, 0);
  EXPECT_EQ(drawn(im, 2, 1), (std::vector<Rgb>{B, W}));
  EXPECT_EQ(rx::display_last_draw_stats().kind, rx::RenderKind::kRunsReduce);
  RX_display_alias_set(im, 1, 100, 0);
  EXPECT_EQ(drawn(im, 2, 1), (std::vector<Rgb>{W, W}));
  EXPECT_EQ(rx::display_last_draw_stats().kind, rx::RenderKind::kRunsReduceExact);
  RX_image_delete(im);
}

TEST_F(DisplayRuns, ReductionWithoutBothAxesReducedDrawsPlainly) {
  // Wider on the device than the image: each pixel sampled, no cells.
  RX_HIMAGE im = bilevel({"0111", "1111", "1111", "1111"});
  RX_display_alias_set(im, 1, 0, 0);
  const std::vector<Rgb> px = drawn(im, 8, 2);
  EXPECT_EQ(rx::display_last_draw_stats().kind, rx::RenderKind::kRuns);
  EXPECT_EQ(px, pattern({"BBWWWWWW", "WWWWWWWW"}));
  RX_image_delete(im);
}

}  // namespace
