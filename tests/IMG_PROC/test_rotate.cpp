// Rotation by quarter turns and by any angle, and mirroring: small
// pictures turned by hand, round trips at every depth and in both 1-bit
// formats, the size rule of expanded turns, refusals and stops.
#include <cmath>
#include <limits>

#include "IMG_PROC/op_images.h"

using namespace iptest;

namespace {

class Rotate : public EngineTest {};
class RotateAny : public EngineTest {};
class Flip : public EngineTest {};

// A 37 x 11 picture (bits past a byte and a partial last byte) for each
// depth, 1-bit also as runs; pixel values tell positions apart.
RX_HIMAGE sample(int32_t bits, bool runs = false, int32_t width = 37, int32_t height = 11) {
  if (bits == 16) return make16(width, height, RX_BI_RGB, [](int32_t x, int32_t y) { return uint16_t(x * 300 + y); });
  const int32_t levels = bits == 1 ? 2 : bits == 4 ? 16 : 256;
  return make_fn(bits, width, height, [&](int32_t x, int32_t y) { return uint8_t((x * 7 + y * 13 + x * y) % levels); }, runs);
}

struct Kind {
  int32_t bits;
  bool runs;
};
const Kind kKinds[] = {{1, false}, {1, true}, {4, false}, {8, false}, {16, false}, {24, false}};

}  // namespace

TEST_F(Rotate, QuarterTurnsOfASmallPicture) {
  // a b c        90: d a    270: c f    180: f e d
  // d e f            e b         b e         c b a
  //                  f c         a d
  const Rows src = {{1, 2, 3}, {4, 5, 6}};
  const Rows want[] = {{{4, 1}, {5, 2}, {6, 3}}, {{6, 5, 4}, {3, 2, 1}}, {{3, 6}, {2, 5}, {1, 4}}};
  for (int32_t code : {1, 2, 3})
    for (int32_t bits : {4, 8}) {
      RX_HIMAGE image = make(bits, src);
      ASSERT_EQ(RX_IP_rotate(image, code), 0);
      EXPECT_EQ(rows_of(image), want[code - 1]) << "code " << code << ", " << bits << " bits";
    }
  // 1-bit: the top row of the turned picture is the old left column read
  // from the bottom up.
  for (bool runs : {false, true}) {
    RX_HIMAGE mono = make(1, {{1, 0, 0}, {0, 0, 1}, {1, 1, 0}}, runs);
    ASSERT_EQ(RX_IP_rotate(mono, 1), 0);
    EXPECT_EQ(rows_of(mono), (Rows{{1, 0, 1}, {1, 0, 0}, {0, 1, 0}}));
    EXPECT_EQ(compression_of(mono), runs ? RX_BI_RUNS : RX_BI_RGB);
  }
  RX_HIMAGE colour = make(24, {{1, 2, 3, 4, 5, 6}});
  ASSERT_EQ(RX_IP_rotate(colour, 1), 0);
  EXPECT_EQ(rows_of(colour), (Rows{{1, 2, 3}, {4, 5, 6}}));
}

TEST_F(Rotate, FourQuarterTurnsGiveThePictureBack) {
  for (const Kind& k : kKinds)
    for (int32_t code : {1, 2, 3}) {
      SCOPED_TRACE(testing::Message() << k.bits << (k.runs ? " runs" : "") << ", code " << code);
      RX_HIMAGE image = sample(k.bits, k.runs);
      const Snapshot before = snapshot(image);
      ASSERT_EQ(RX_IP_rotate(image, code), 0);
      const Snapshot once = snapshot(image);
      EXPECT_EQ(once.width, code == 2 ? 37 : 11);
      EXPECT_EQ(once.compression, before.compression);
      for (int i = 1; i < 4; ++i) ASSERT_EQ(RX_IP_rotate(image, code), 0);
      EXPECT_EQ(snapshot(image), before);
      // 90 then 270 is no turn; 180 twice neither.
      ASSERT_EQ(RX_IP_rotate(image, code), 0);
      ASSERT_EQ(RX_IP_rotate(image, 4 - code), 0);
      EXPECT_EQ(snapshot(image), before);
    }
}

TEST_F(Rotate, BilevelFormatsAgreeAndKeepTheirFormat) {
  // Widths and heights around multiples of 8 move bits across byte edges.
  for (int32_t w : {1, 7, 8, 9, 33})
    for (int32_t h : {1, 8, 15})
      for (int32_t code : {1, 2, 3}) {
        SCOPED_TRACE(testing::Message() << w << " x " << h << " code " << code);
        RX_HIMAGE plain = sample(1, false, w, h), runs = sample(1, true, w, h);
        const Rows src = rows_of(plain);
        ASSERT_EQ(RX_IP_rotate(plain, code), 0);
        ASSERT_EQ(RX_IP_rotate(runs, code), 0);
        EXPECT_EQ(rows_of(runs), rows_of(plain));
        EXPECT_EQ(compression_of(runs), RX_BI_RUNS);
        // Pixel by pixel from the rule of each turn.
        const Rows got = rows_of(plain);
        for (int32_t y = 0; y < h; ++y)
          for (int32_t x = 0; x < w; ++x) {
            const uint8_t v = code == 1 ? got[x][h - 1 - y] : code == 3 ? got[w - 1 - x][y] : got[h - 1 - y][w - 1 - x];
            ASSERT_EQ(v, src[y][x]) << x << ", " << y;
          }
      }
}

TEST_F(Rotate, ResolutionStaysAndRefusals) {
  RX_HIMAGE image = sample(8);
  ASSERT_EQ(RX_image_resolution_set(image, 200, 1, 100, 1, 2), 0);
  ASSERT_EQ(RX_IP_rotate(image, 1), 0);
  int32_t xn = 0, xd = 0, yn = 0, yd = 0, units = 0;
  RX_image_resolution_get(image, &xn, &xd, &yn, &yd, &units);
  EXPECT_EQ((Codes{xn, xd, yn, yd, units}), (Codes{200, 1, 100, 1, 2}));
  const Snapshot before = snapshot(image);
  for (int32_t code : {0, 4, -1}) {
    EXPECT_EQ(RX_IP_rotate(image, code), 1);
    EXPECT_EQ(first_error(), (Codes{RXE_PARAMETERS_OUT_OF_LIMITS, code, 0}));
  }
  EXPECT_EQ(snapshot(image), before);
  EXPECT_EQ(RX_IP_rotate(0, 1), 1);
  EXPECT_EQ(first_error()[0], RXE_INVALID_HANDLE);
  // A runs image taller than the widest runs row cannot lie on its side.
  RX_HIMAGE tall = make_fn(1, 3, 32763, [](int32_t x, int32_t y) { return uint8_t((x + y) & 1); }, true);
  const Snapshot tall_before = snapshot(tall);
  EXPECT_EQ(RX_IP_rotate(tall, 1), 1);
  EXPECT_EQ(first_error(), (Codes{RXE_DIB_SIZE_WRONG, 32763, 3}));
  EXPECT_EQ(snapshot(tall), tall_before);
  ASSERT_EQ(RX_IP_rotate(tall, 2), 0);
  RX_HIMAGE wide = make_fn(1, 32762, 2, [](int32_t x, int32_t) { return uint8_t(x % 3 == 0); }, true);
  ASSERT_EQ(RX_IP_rotate(wide, 3), 0);
  // New row r is old column 32761 - r: column 32759 has no set bits, 0 has.
  const Rows turned = rows_of(wide);
  EXPECT_EQ(turned[2], (std::vector<uint8_t>{0, 0}));
  EXPECT_EQ(turned[32761], (std::vector<uint8_t>{1, 1}));
}

TEST_F(Rotate, StopAtAnySourceRowLeavesTheImage) {
  for (const Kind& k : kKinds)
    for (int32_t code : {1, 2, 3})
      expect_every_stop_harmless([&] { return sample(k.bits, k.runs, 10, 9); },
                                 [&](RX_HIMAGE i) { return RX_IP_rotate(i, code); }, 9,
                                 std::to_string(k.bits) + (k.runs ? " runs" : "") + " code " + std::to_string(code));
}

TEST_F(RotateAny, WholeMultiplesOf90AreQuarterTurns) {
  const struct {
    double angle;
    int32_t code;  // 0: no change
  } cases[] = {{90, 1}, {-90, 3}, {180, 2}, {-180, 2}, {270, 3}, {-270, 1}, {450, 1}, {0, 0}, {360, 0}, {-720, 0}, {9e8, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.angle);
    RX_HIMAGE turned = sample(24), expected = sample(24);
    ASSERT_EQ(RX_IP_rotate_any(turned, c.angle, 1), 0);
    if (c.code != 0) {
      ASSERT_EQ(RX_IP_rotate(expected, c.code), 0);
    }
    EXPECT_EQ(snapshot(turned), snapshot(expected));
  }
}

TEST_F(RotateAny, NearestSourcePixelOrZero) {
  // 4 x 4 at 45 degrees, kept at its size: centre (2, 2); new pixel (x, y)
  // takes (r(dx c + dy s + 2), r(dy c - dx s + 2)) with c = s = 0.7071.
  RX_HIMAGE image = make_fn(8, 4, 4, [](int32_t x, int32_t y) { return uint8_t(10 * y + x + 1); });
  ASSERT_EQ(RX_IP_rotate_any(image, 45, 0), 0);
  const Rows got = rows_of(image);
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[0][0], 0);   // (-0.83, 2) rounds to column -1: outside
  EXPECT_EQ(got[0][3], 2);   // dx 1, dy -2: (1.29, -0.12) -> (1, 0)
  EXPECT_EQ(got[3][0], 0);   // dx -2, dy 1: (1.29, 4.12) -> row 4: outside
  EXPECT_EQ(got[3][3], 24);  // dx 1, dy 1: (3.41, 2) -> (3, 2)
  EXPECT_EQ(got[1][1], 22);  // dx -1, dy -1: (0.59, 2) -> (1, 2)
  EXPECT_EQ(got[2][2], 23);  // the centre stays
  // Positive angles turn clockwise: right of the centre (5, 5) of a 9 x 9
  // picture at 30 degrees, dx 2 takes (2 x 0.866 + 5, -2 x 0.5 + 5), which
  // rounds to (7, 4): from above the centre row.
  RX_HIMAGE colour = sample(24, false, 9, 9);
  const Rows src = rows_of(colour);
  ASSERT_EQ(RX_IP_rotate_any(colour, 30, 0), 0);
  const Rows got24 = rows_of(colour);
  EXPECT_EQ(std::vector<uint8_t>(got24[5].begin() + 21, got24[5].begin() + 24),
            std::vector<uint8_t>(src[4].begin() + 21, src[4].begin() + 24));
}

TEST_F(RotateAny, ExpandedSizeSpansTheTurnedCorners) {
  // 100 x 50 at 30 degrees: corners (+-50, +-25) reach x 55.8 and y 46.65,
  // so 110 x 92; the new pixel (55, 46) lands on the source centre (50, 25).
  RX_HIMAGE image = make_fn(8, 100, 50, [](int32_t x, int32_t y) { return uint8_t(1 + (x + y) % 200); });
  ASSERT_EQ(RX_IP_rotate_any(image, 30, 1), 0);
  const Rows got = rows_of(image);
  ASSERT_EQ(got.size(), 92u);
  ASSERT_EQ(got[0].size(), 110u);
  EXPECT_EQ(got[46][55], 1 + 75);
  EXPECT_EQ(got[0][0], 0);
  EXPECT_EQ(got[91][109], 0);
  // Without expansion the size stays.
  RX_HIMAGE kept = make_fn(8, 100, 50, [](int32_t, int32_t) { return uint8_t(9); });
  ASSERT_EQ(RX_IP_rotate_any(kept, 30, 0), 0);
  EXPECT_EQ(rows_of(kept)[0].size(), 100u);
  // A one-pixel picture spans no corners: it keeps one pixel.
  RX_HIMAGE dot = make(8, {{5}});
  ASSERT_EQ(RX_IP_rotate_any(dot, 45, 1), 0);
  EXPECT_EQ(rows_of(dot).size(), 1u);
  EXPECT_EQ(rows_of(dot)[0].size(), 1u);
}

TEST_F(RotateAny, EveryDepthAndBothBilevelFormats) {
  for (const Kind& k : kKinds) {
    SCOPED_TRACE(testing::Message() << k.bits << (k.runs ? " runs" : ""));
    RX_HIMAGE image = sample(k.bits, k.runs);
    ASSERT_EQ(RX_IP_rotate_any(image, 12.5, 1), 0);
    const Snapshot s = snapshot(image);
    EXPECT_EQ(s.bits, k.bits);
    EXPECT_EQ(s.compression, k.runs ? RX_BI_RUNS : RX_BI_RGB);
    if (k.bits == 1) {
      RX_HIMAGE other = sample(1, !k.runs);
      ASSERT_EQ(RX_IP_rotate_any(other, 12.5, 1), 0);
      EXPECT_EQ(rows_of(other), s.rows);
    }
  }
}

TEST_F(RotateAny, OddAnglesAndStops) {
  RX_HIMAGE image = sample(24);
  const Snapshot before = snapshot(image);
  for (double a : {std::nan(""), std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()}) {
    EXPECT_EQ(RX_IP_rotate_any(image, a, 1), 1);
    EXPECT_EQ(first_error()[0], RXE_PARAMETERS_OUT_OF_LIMITS);
    EXPECT_EQ(snapshot(image), before);
  }
  for (double a : {1e9, -1e9, 1e300, 4.9e-324}) {
    RX_HIMAGE turned = sample(8);
    EXPECT_EQ(RX_IP_rotate_any(turned, a, 1), 0) << a;
    RX_HIMAGE kept = sample(1, true);
    EXPECT_EQ(RX_IP_rotate_any(kept, a, 0), 0) << a;
    EXPECT_EQ(snapshot(kept).width, 37);
  }
  for (const Kind& k : kKinds)
    expect_every_stop_harmless([&] { return sample(k.bits, k.runs, 6, 5); },
                               [&](RX_HIMAGE i) { return RX_IP_rotate_any(i, 33, 0); }, 5,
                               std::to_string(k.bits) + (k.runs ? " runs" : ""));
}

TEST_F(Flip, MirrorsEveryDepthAndFormat) {
  for (const Kind& k : kKinds)
    for (int32_t direction : {0, 1}) {
      SCOPED_TRACE(testing::Message() << k.bits << (k.runs ? " runs" : "") << ", direction " << direction);
      RX_HIMAGE image = sample(k.bits, k.runs);
      const Snapshot before = snapshot(image);
      ASSERT_EQ(RX_IP_flip(image, direction), 0);
      const Snapshot after = snapshot(image);
      EXPECT_EQ(after.compression, before.compression);
      const size_t per = k.bits == 24 ? 3 : k.bits == 16 ? 2 : 1;
      for (int32_t y = 0; y < 11; ++y)
        for (int32_t x = 0; x < 37; ++x) {
          const int32_t sx = direction == 0 ? 36 - x : x, sy = direction == 1 ? 10 - y : y;
          for (size_t b = 0; b < per; ++b)
            ASSERT_EQ(after.rows[y][x * per + b], before.rows[sy][sx * per + b]) << x << ", " << y;
        }
      ASSERT_EQ(RX_IP_flip(image, direction), 0);
      EXPECT_EQ(snapshot(image), before);
    }
  RX_HIMAGE small = make(8, {{1, 2, 3}, {4, 5, 6}});
  ASSERT_EQ(RX_IP_flip(small, 0), 0);
  EXPECT_EQ(rows_of(small), (Rows{{3, 2, 1}, {6, 5, 4}}));
  ASSERT_EQ(RX_IP_flip(small, 1), 0);
  EXPECT_EQ(rows_of(small), (Rows{{6, 5, 4}, {3, 2, 1}}));
}

TEST_F(Flip, RefusalsAndStops) {
  RX_HIMAGE image = sample(8);
  const Snapshot before = snapshot(image);
  EXPECT_EQ(RX_IP_flip(image, 2), 1);
  EXPECT_EQ(first_error(), (Codes{RXE_PARAMETERS_OUT_OF_LIMITS, 2, 0}));
  EXPECT_EQ(RX_IP_flip(0, 0), 1);
  EXPECT_EQ(first_error()[0], RXE_INVALID_HANDLE);
  EXPECT_EQ(snapshot(image), before);
  // A stop puts back the rows (or pairs of rows) done so far.
  for (const Kind& k : kKinds) {
    const std::string name = std::to_string(k.bits) + (k.runs ? " runs" : "");
    expect_every_stop_harmless([&] { return sample(k.bits, k.runs, 7, 6); }, [&](RX_HIMAGE i) { return RX_IP_flip(i, 0); }, 6,
                               name + " left-right");
    expect_every_stop_harmless([&] { return sample(k.bits, k.runs, 7, 6); }, [&](RX_HIMAGE i) { return RX_IP_flip(i, 1); }, 3,
                               name + " top-bottom");
  }
  // One row has no pair to swap.
  RX_HIMAGE row = make(8, {{1, 2}});
  StatusLog log;
  ASSERT_EQ(RX_IP_flip(row, 1), 0);
  EXPECT_TRUE(log.calls.empty());
}
