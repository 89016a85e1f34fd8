// Despeckle: isolated dots of either colour leave 1-bit pages (plain and
// runs) while one-pixel lines and larger marks stay; grey and colour
// impulses are clipped to their neighbours; depths, rectangle and
// interruption.
#include "IMG_PROC/ip_images.h"

using namespace iptest;

namespace {

class Despeckle : public EngineTest {};

Rows page(int32_t w, int32_t h, uint8_t fill) { return Rows(h, std::vector<uint8_t>(w, fill)); }

}  // namespace

TEST_F(Despeckle, BilevelDotsGoAndStrokesStay) {
  for (bool runs : {false, true}) {
    SCOPED_TRACE(runs);
    Rows p = page(12, 7, 1);
    p[0][0] = 0;                                   // a dot in the corner
    p[3][3] = 0;                                   // a dot inside
    for (int32_t x = 6; x < 12; ++x) p[3][x] = 0;  // a one-pixel line
    p[5][1] = p[6][1] = 0;                         // a two-pixel mark
    for (int32_t x = 6; x < 12; ++x) p[5][x] = 0;  // a second line, one white row below the first
    Rows want = p;
    want[0][0] = 1;
    want[3][3] = 1;
    RX_HIMAGE mono = make(1, p, runs);
    ASSERT_EQ(RX_IP_despeckle(mono, nullptr), 0);
    EXPECT_EQ(rows_of(mono), want);
    EXPECT_EQ(compression_of(mono), runs ? RX_BI_RUNS : RX_BI_RGB);
  }
  // A white pinhole in a black area is filled.
  Rows ink = page(5, 5, 0);
  ink[2][2] = 1;
  RX_HIMAGE solid = make(1, ink);
  ASSERT_EQ(RX_IP_despeckle(solid, nullptr), 0);
  EXPECT_EQ(rows_of(solid), page(5, 5, 0));
}

TEST_F(Despeckle, GreyAndColourImpulsesAreClipped) {
  // 250 among 100s falls to 100; 5 among 100..120 rises to 100; the
  // ramp 10 20 30 keeps every value (each lies within its neighbours).
  RX_HIMAGE spike = make(8, {{100, 100, 100}, {100, 250, 100}, {100, 100, 100}});
  ASSERT_EQ(RX_IP_despeckle(spike, nullptr), 0);
  EXPECT_EQ(rows_of(spike), page(3, 3, 100));
  RX_HIMAGE pit = make(8, {{100, 110, 120}, {100, 5, 120}, {100, 110, 120}});
  ASSERT_EQ(RX_IP_despeckle(pit, nullptr), 0);
  EXPECT_EQ(rows_of(pit)[1][1], 100);
  const Rows ramp = {{10, 20, 30}, {10, 20, 30}, {10, 20, 30}};
  RX_HIMAGE smooth = make(8, ramp);
  ASSERT_EQ(RX_IP_despeckle(smooth, nullptr), 0);
  EXPECT_EQ(rows_of(smooth), ramp);
  // Channels apart: only the red byte of the middle pixel is an impulse.
  const std::vector<uint8_t> plain = {10, 50, 60, 10, 50, 60, 10, 50, 60};
  Rows c = {plain, plain, plain};
  c[1][5] = 200;
  RX_HIMAGE colour = make(24, c);
  ASSERT_EQ(RX_IP_despeckle(colour, nullptr), 0);
  EXPECT_EQ(rows_of(colour), (Rows{plain, plain, plain}));
  // A 1 x 1 picture has no neighbours and stays.
  RX_HIMAGE dot = make(8, {{7}});
  ASSERT_EQ(RX_IP_despeckle(dot, nullptr), 0);
  EXPECT_EQ(rows_of(dot), (Rows{{7}}));
}

TEST_F(Despeckle, RectangleDepthsAndInterruption) {
  Rows p = page(7, 3, 1);
  p[1][1] = p[1][5] = 0;
  RX_HIMAGE mono = make(1, p);
  const int32_t left_half[4] = {0, 0, 3, 2};
  ASSERT_EQ(RX_IP_despeckle(mono, left_half), 0);
  p[1][1] = 1;
  EXPECT_EQ(rows_of(mono), p) << "the dot outside the rectangle stays";

  for (int32_t bits : {4, 16}) {
    RX_HIMAGE image = test::create(test::make_dib(3, 3, bits));
    EXPECT_EQ(RX_IP_despeckle(image, nullptr), 1);
    EXPECT_EQ(first_error(), (Codes{RXE_BIT_COUNT_UNSUPPORTED, bits, 0}));
  }
  auto dib = test::make_dib(3, 3, 8);
  dib[40 + 4 * 1 + 2] = 255;  // entry 1 turns red: indices are not levels
  dib[40 + 4 * 1 + 0] = 0;
  RX_HIMAGE indexed = test::create(dib);
  EXPECT_EQ(RX_IP_despeckle(indexed, nullptr), 1);
  EXPECT_EQ(first_error()[0], RXE_INDEXED_8_BIT_UNSUPPORTED);

  // Dots on rows 1 and 3; stopping after row 1 clears only the first.
  Rows q = page(3, 5, 0);
  q[1][1] = q[3][1] = 255;
  RX_HIMAGE grey = make(8, q);
  StatusLog log;
  log.stop_after = 1;
  EXPECT_EQ(RX_IP_despeckle(grey, nullptr), 1);
  EXPECT_EQ(first_error(), (Codes{RXE_INTERRUPTED_BY_USER, 1, 5}));
  q[1][1] = 0;
  EXPECT_EQ(rows_of(grey), q);
}
