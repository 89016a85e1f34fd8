// Skew measurement and deskew of bi-level pages: synthetic text pages
// turned by known angles, both palettes and both 1-bit formats, pages with
// nothing to measure, and the depths that are refused.
#include <cmath>

#include "IMG_PROC/op_images.h"
#include "IMG_PROC/skew_pages.h"

using namespace iptest;

namespace {

class Deskew : public EngineTest {};

// A4 at 300 dpi: the scan stops after about 1800 letters, a third of the
// way down, with the lines it cuts there half read.
constexpr int32_t kWidth = 2480, kHeight = 3508;

// The page as an image; with `light_zero` palette entry 0 is white and the
// dark pixels are 1.
RX_HIMAGE page_image(const skewpage::Page& p, bool light_zero = false, bool runs = false) {
  RX_HIMAGE image = test::create(test::make_dib(p.width, p.height, 1));
  if (light_zero) {
    RX_RGBQUAD* palette = RPb_palette_pointer_get(reinterpret_cast<IMAGE_REC*>(image));
    palette[0] = RX_RGBQUAD{255, 255, 255, 0};
    palette[1] = RX_RGBQUAD{0, 0, 0, 0};
  }
  for (int32_t y = 0; y < p.height; ++y) RX_DIB_raster_set(image, y, &p.bits[size_t(y) * p.stride], RX_ROW_PACKED);
  if (runs) RX_IP_convert_DIB_to_runs(image);
  return image;
}

skewpage::Page page_of(RX_HIMAGE image) {
  skewpage::Page p;
  int32_t bits = 0;
  RX_image_dimensions_get(image, &p.width, &p.height, &bits);
  p.stride = uint32_t((p.width + 31) / 32 * 4);
  p.bits.resize(size_t(p.stride) * p.height);
  for (int32_t y = 0; y < p.height; ++y) RX_DIB_raster_get(image, y, &p.bits[size_t(y) * p.stride], RX_ROW_PACKED);
  return p;
}

double measure(RX_HIMAGE image) {
  double angle = 1000;
  EXPECT_EQ(RX_IP_skew_measure(image, &angle), 0);
  return angle;
}

}  // namespace

TEST_F(Deskew, MeasuresPagesTurnedFromMinusFiveToFiveDegrees) {
  // A page turned clockwise by t is put back by turning it by -t, so that
  // is what the measurement gives. The fine search steps by 0.1 degree.
  // (Were the letters cut by the last row scanned to vote, a page turned by
  // 3 degrees would measure about 0: they all seem to end on that row.)
  double worst = 0;
  for (int32_t tenths = -50; tenths <= 50; tenths += 5) {
    const double turned = tenths / 10.0;
    RX_HIMAGE image = page_image(skewpage::text_page(kWidth, kHeight, turned, 0, uint32_t(tenths + 100)));
    const double angle = measure(image);
    EXPECT_NEAR(angle, -turned, 0.1 + 1e-9) << "page turned by " << turned;
    worst = std::max(worst, std::fabs(angle + turned));
  }
  RecordProperty("worst_error_degrees", std::to_string(worst));
}

TEST_F(Deskew, PagesSmallerThanA4MeasureTheirTurnToo) {
  // A4 at 150 dpi and a 800 x 1000 picture: fewer, shorter lines. A line a
  // whole degree from every coarse angle must still win the coarse search
  // (these pages were once measured 50 to 88 degrees off).
  const struct {
    int32_t width, height;
    double turned;
  } pages[] = {{1240, 1754, 1.0}, {1240, 1754, -1.0}, {1240, 1754, -3.0}, {1240, 1754, 5.0},
               {800, 1000, 1.0}, {800, 1000, -5.0}};
  for (const auto& p : pages) {
    const uint32_t seed = uint32_t(std::lround(p.turned * 10) + 100);
    RX_HIMAGE image = page_image(skewpage::text_page(p.width, p.height, p.turned, 0, seed));
    EXPECT_NEAR(measure(image), -p.turned, 0.1 + 1e-9) << p.width << " x " << p.height << " turned by " << p.turned;
  }
}

TEST_F(Deskew, TurnsATurnedPageStraight) {
  const skewpage::Page straight = skewpage::text_page(kWidth, kHeight, 0.0);
  const int32_t gaps = skewpage::empty_rows(straight, 0);
  for (double turned : {3.0, -2.5}) {
    SCOPED_TRACE(turned);
    const skewpage::Page page = skewpage::text_page(kWidth, kHeight, turned);
    // Turned lines overlap in every row of the text block.
    ASSERT_LT(skewpage::empty_rows(page, 0), gaps / 2);
    RX_HIMAGE image = page_image(page);
    ASSERT_EQ(RX_IP_deskew(image, 1.0, 0), 0);
    const skewpage::Page after = page_of(image);
    EXPECT_EQ(after.width, kWidth);
    EXPECT_EQ(after.height, kHeight);
    // The gaps between lines come back (within a fraction of a degree the
    // lines drift by about a pixel across the page).
    EXPECT_GT(skewpage::empty_rows(after, 0), gaps * 3 / 4);
    EXPECT_NEAR(measure(image), 0.0, 0.15);
  }
}

TEST_F(Deskew, ExpandGrowsThePageToHoldTheTurnedPicture) {
  RX_HIMAGE image = page_image(skewpage::text_page(kWidth, kHeight, 4.0));
  ASSERT_EQ(RX_IP_deskew(image, 1.0, 1), 0);
  int32_t w = 0, h = 0, bits = 0;
  RX_image_dimensions_get(image, &w, &h, &bits);
  // The corners (+-1240, +-1754) turned by 4 degrees reach
  // 1240 cos 4 + 1754 sin 4 = 1359.3 across and 1240 sin 4 + 1754 cos 4
  // = 1836.2 down: 2718 by 3672. A tenth of a degree moves that by 6.
  EXPECT_NEAR(w, 2718, 8);
  EXPECT_NEAR(h, 3672, 8);
  EXPECT_EQ(bits, 1);
}

TEST_F(Deskew, SmallSkewsAreLeftAlone) {
  RX_HIMAGE image = page_image(skewpage::text_page(kWidth, kHeight, 0.5));
  const Snapshot before = snapshot(image);
  EXPECT_NEAR(measure(image), -0.5, 0.1 + 1e-9);
  ASSERT_EQ(RX_IP_deskew(image, 1.0, 0), 0);
  EXPECT_EQ(snapshot(image), before);
  // A least angle below the skew turns it.
  ASSERT_EQ(RX_IP_deskew(image, 0.3, 0), 0);
  EXPECT_NE(snapshot(image), before);
}

TEST_F(Deskew, PalettesAndFormatsAgree) {
  // The same picture with dark pixels 0 under a black entry 0, and 1 under
  // a white entry 0, plain and as runs, measures and turns the same; the
  // corners the turn brings in are dark in every case.
  const skewpage::Page dark0 = skewpage::text_page(kWidth, kHeight, 2.0, 0);
  const skewpage::Page dark1 = skewpage::text_page(kWidth, kHeight, 2.0, 1);
  RX_HIMAGE reference = page_image(dark0);
  const double angle = measure(reference);
  ASSERT_EQ(RX_IP_deskew(reference, 1.0, 0), 0);
  const skewpage::Page want = page_of(reference);
  EXPECT_TRUE(want.dark(0, 0, 0)) << "a turned corner";
  for (bool light_zero : {false, true})
    for (bool runs : {false, true}) {
      SCOPED_TRACE(testing::Message() << (light_zero ? "white" : "black") << " entry 0" << (runs ? ", runs" : ""));
      RX_HIMAGE image = page_image(light_zero ? dark1 : dark0, light_zero, runs);
      EXPECT_EQ(measure(image), angle);
      ASSERT_EQ(RX_IP_deskew(image, 1.0, 0), 0);
      EXPECT_EQ(compression_of(image), runs ? RX_BI_RUNS : RX_BI_RGB);
      const skewpage::Page got = page_of(image);
      int32_t differ = 0;
      for (int32_t y = 0; y < kHeight; ++y)
        for (int32_t x = 0; x < kWidth; ++x) differ += got.dark(x, y, light_zero ? 1 : 0) != want.dark(x, y, 0);
      EXPECT_EQ(differ, 0);
    }
}

TEST_F(Deskew, BlankAndSolidPagesMeasureMinus91AndStay) {
  // No bin gets more than 3 votes, so both searches end past their last
  // angle: 180, then 179 + 20 x 0.1 = 181, and 90 - 181 = -91.
  for (uint8_t fill : {uint8_t(0xFF), uint8_t(0x00)})
    for (bool runs : {false, true}) {
      skewpage::Page p;
      p.width = 300;
      p.height = 200;
      p.stride = 40;
      p.bits.assign(size_t(p.stride) * p.height, fill);
      RX_HIMAGE image = page_image(p, false, runs);
      const Snapshot before = snapshot(image);
      EXPECT_DOUBLE_EQ(measure(image), -91.0);
      ASSERT_EQ(RX_IP_deskew(image, 1.0, 1), 0);
      EXPECT_EQ(snapshot(image), before);
    }
}

TEST_F(Deskew, TinyPagesMeasureWithoutHarm) {
  // Alternating pixels: on one row the dark ones are separate blobs, on
  // more rows they touch diagonally and make one. Fewer than four blobs
  // never outvote the threshold: -91.
  for (int32_t w : {1, 2, 9})
    for (int32_t h : {1, 3}) {
      if (w == 9 && h == 1) continue;
      RX_HIMAGE image = make_fn(1, w, h, [](int32_t x, int32_t y) { return uint8_t((x + y) & 1); });
      EXPECT_DOUBLE_EQ(measure(image), -91.0) << w << " x " << h;
      EXPECT_EQ(RX_IP_deskew(image, 0.0, 1), 0);
    }
  // 9 x 1: five dots at x = 0, 2, ..., 8 on row 0. Distances are
  // (cos x 65536 truncated) x / 65536 + 9, floored; they share d = 9 while
  // cos x 8 < 1, from 82.8 degrees up to 90 (past 90 the dots at x > 0 drop
  // to 8). The first angle of that bin wins: coarse 83.0 in half degrees,
  // then fine from 82.0 in tenths: 82.9 (cos 82.8 = 0.12533, x 8 = 1.003;
  // cos 82.9 = 0.12360, x 8 = 0.989). Skew 90 - 82.9 = 7.1.
  RX_HIMAGE dots = make_fn(1, 9, 1, [](int32_t x, int32_t) { return uint8_t(x & 1); });
  EXPECT_NEAR(measure(dots), 7.1, 1e-9);
}

TEST_F(Deskew, OtherDepthsAreRefused) {
  for (int32_t bits : {4, 8, 24}) {
    RX_HIMAGE image = make_fn(bits, 8, 4, [](int32_t x, int32_t y) { return uint8_t(x + y); });
    const Snapshot before = snapshot(image);
    EXPECT_EQ(RX_IP_deskew(image, 1.0, 0), 1);
    EXPECT_EQ(first_error(), (Codes{RXE_INVALID_BIT_COUNT, bits, 0}));
    double angle = 7;
    EXPECT_EQ(RX_IP_skew_measure(image, &angle), 1);
    EXPECT_EQ(first_error(), (Codes{RXE_INVALID_BIT_COUNT, bits, 0}));
    EXPECT_EQ(angle, 7);
    EXPECT_EQ(snapshot(image), before);
  }
  RX_HIMAGE image = make_fn(1, 8, 4, [](int32_t, int32_t) { return uint8_t(1); });
  EXPECT_EQ(RX_IP_skew_measure(image, nullptr), 1);
  EXPECT_EQ(first_error(), (Codes{RXE_INVALID_POINTER, 0, 0}));
  EXPECT_EQ(RX_IP_deskew(0, 1.0, 0), 1);
  EXPECT_EQ(first_error(), (Codes{RXE_INVALID_HANDLE, 0, 0}));
}
