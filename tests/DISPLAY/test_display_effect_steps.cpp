// Transition effects step by step: the window read after chosen steps,
// against cells and strips worked out by hand. The picture is drawn 1:1
// at the window's origin (no pixel of it is black) over a black window.
//
// Each run gets time = steps ms and a clock that reads 0, 1, 2, ...: step
// i is due at i ms, so the wait after step i reads i once (the read of t
// sees steps 1..t drawn).
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "DISPLAY/effect_test_util.h"

using namespace etest;

namespace {

using Cell = std::pair<int32_t, int32_t>;  // column, row
using Cells = std::set<Cell>;

class EffectSteps : public EffectTest {
 protected:
  // Runs the effect and returns the window as read at each time in `at`.
  std::map<uint32_t, std::vector<Rgb>> run(HWND hwnd, RX_HIMAGE im, int32_t effect, int32_t block, int32_t time,
                                           std::set<uint32_t> at) {
    std::map<uint32_t, std::vector<Rgb>> seen;
    Clock clock;
    clock.on_read = [&](uint32_t t) {
      if (at.count(t) != 0) seen[t] = shown(hwnd);
    };
    clock.install();
    EXPECT_EQ(RX_display_effect(1, im, u(hwnd), effect, block, time), 0);
    pk_tick_source_set(nullptr, nullptr);
    EXPECT_EQ(seen.size(), at.size());
    return seen;
  }
};

// The window when exactly `cells` of the block-sized cells show the
// picture.
std::vector<Rgb> with_cells(int32_t w, int32_t h, int32_t block, const Cells& cells) {
  return expect(w, h, [&](int32_t x, int32_t y) { return cells.count({x / block, y / block}) != 0; });
}

// Which cells show the picture, from the pixels; each cell must show all
// of it or none.
Cells cells_shown(const std::vector<Rgb>& px, int32_t w, int32_t h, int32_t block) {
  Cells out;
  for (int32_t r = 0; r * block < h; ++r)
    for (int32_t c = 0; c * block < w; ++c) {
      int32_t hits = 0, all = 0;
      for (int32_t y = r * block; y < std::min(h, (r + 1) * block); ++y)
        for (int32_t x = c * block; x < std::min(w, (c + 1) * block); ++x, ++all)
          hits += px[size_t(y * w + x)] == picture(x, y) ? 1 : 0;
      EXPECT_TRUE(hits == 0 || hits == all) << "cell " << c << "," << r;
      if (hits == all) out.insert({c, r});
    }
  return out;
}

const auto kAll = [](int32_t, int32_t) { return true; };

TEST_F(EffectSteps, StripsFromTheLeftAndFromTheRight) {
  // 45 wide, block 10: effect 0 has (45 - 1) / 10 = 4 steps, strips
  // [0,10) [10,20) [20,30) and the last [30,45); effect 1 has 44 / 10 + 1 =
  // 5, strips [35,45) [25,35) [15,25) [5,15) [0,5). The window paints them.
  RX_HIMAGE im = picture_image(45, 20);
  g_painted = im;
  HWND left = window(45, 20);
  auto a = run(left, im, 0, 10, 4, {2, 3, 4});
  EXPECT_EQ(a[2], expect(45, 20, [](int32_t x, int32_t) { return x < 20; }));
  EXPECT_EQ(a[3], expect(45, 20, [](int32_t x, int32_t) { return x < 30; }));
  EXPECT_EQ(a[4], expect(45, 20, kAll));
  HWND right = window(45, 20);
  auto b = run(right, im, 1, 10, 5, {2, 4, 5});
  EXPECT_EQ(b[2], expect(45, 20, [](int32_t x, int32_t) { return x >= 25; }));
  EXPECT_EQ(b[4], expect(45, 20, [](int32_t x, int32_t) { return x >= 5; }));
  EXPECT_EQ(b[5], expect(45, 20, kAll));
  RX_image_delete(im);
}

TEST_F(EffectSteps, DiagonalsFromTheTopLeftCorner) {
  // 50 x 30 in blocks of 10: 6 columns (the last outside), 4 rows (the
  // last outside); 30 / 10 + 50 / 10 + 1 = 9 steps. After step d + 1 the
  // cells with column + row <= d show.
  RX_HIMAGE im = picture_image(50, 30);
  HWND hwnd = window(50, 30);
  auto s = run(hwnd, im, 3, 10, 9, {1, 3, 6, 9});
  EXPECT_EQ(s[1], with_cells(50, 30, 10, {{0, 0}}));
  EXPECT_EQ(s[3], with_cells(50, 30, 10, {{0, 0}, {1, 0}, {0, 1}, {2, 0}, {1, 1}, {0, 2}}));
  // Step 6: column + row <= 5 leaves (4,2) out of the visible cells.
  EXPECT_EQ(s[6], expect(50, 30, [](int32_t x, int32_t y) { return x / 10 + y / 10 <= 5; }));
  EXPECT_EQ(s[9], expect(50, 30, kAll));
  RX_image_delete(im);
}

TEST_F(EffectSteps, SlidesFromEitherSide) {
  // 45 wide, block 10: 45 / 10 + 1 = 5 steps. From the left, step k shows
  // the picture's right-most 10 k columns at the left edge; from the right,
  // the picture's left edge stands at 45 - 10 k, and at 0 in the end.
  RX_HIMAGE im = picture_image(45, 20);
  HWND left = window(45, 20);
  auto a = run(left, im, 7, 10, 5, {2, 4, 5});
  EXPECT_EQ(a[2], expect(45, 20, [](int32_t x, int32_t) { return x < 20; }, 25));
  EXPECT_EQ(a[4], expect(45, 20, [](int32_t x, int32_t) { return x < 40; }, 5));
  EXPECT_EQ(a[5], expect(45, 20, kAll));
  HWND right = window(45, 20);
  auto b = run(right, im, 8, 10, 5, {2, 4, 5});
  EXPECT_EQ(b[2], dtest::expected(45, 20, [](int32_t x, int32_t y) { return x >= 25 ? picture(x - 25, y) : 0u; }));
  EXPECT_EQ(b[4], dtest::expected(45, 20, [](int32_t x, int32_t y) { return x >= 5 ? picture(x - 5, y) : 0u; }));
  EXPECT_EQ(b[5], expect(45, 20, kAll));
  RX_image_delete(im);
}

// 45 x 27 in blocks of 10: 5 columns and 3 rows, centre (22.5, 13.5). The
// cells' centres and angles (degrees clockwise from up, atan of the
// offsets):
//   row 0 (y 5, 8.5 up):   (0,0) 295.9  (1,0) 318.6  (2,0) 16.4  (3,0) 55.8  (4,0) 69.3
//   row 1 (y 15, 1.5 down): (0,1) 265.1  (1,1) 258.7  (2,1) 121.0 (3,1) 96.8  (4,1) 93.8
//   row 2 (y 25, 11.5 down): (0,2) 236.7 (1,2) 213.1  (2,2) 167.7 (3,2) 132.6 (4,2) 117.1
const Cells kTopRight = {{2, 0}, {3, 0}, {4, 0}};
const Cells kRightHalf = {{2, 0}, {3, 0}, {4, 0}, {2, 1}, {3, 1}, {4, 1}, {2, 2}, {3, 2}, {4, 2}};
const Cells kBottomLeft = {{0, 1}, {1, 1}, {0, 2}, {1, 2}};

Cells joined(Cells a, const Cells& b) {
  a.insert(b.begin(), b.end());
  return a;
}

TEST_F(EffectSteps, AClockHandSweepsRoundTheCentre) {
  RX_HIMAGE im = picture_image(45, 27);
  HWND hwnd = window(45, 27);
  auto s = run(hwnd, im, 4, 10, 360, {45, 90, 180, 225, 270, 300, 360});
  EXPECT_EQ(cells_shown(s[45], 45, 27, 10), (Cells{{2, 0}}));
  EXPECT_EQ(cells_shown(s[90], 45, 27, 10), kTopRight);
  EXPECT_EQ(cells_shown(s[180], 45, 27, 10), kRightHalf);
  EXPECT_EQ(cells_shown(s[225], 45, 27, 10), joined(kRightHalf, {{1, 2}}));
  EXPECT_EQ(cells_shown(s[270], 45, 27, 10), joined(kRightHalf, kBottomLeft));
  EXPECT_EQ(cells_shown(s[300], 45, 27, 10), joined(joined(kRightHalf, kBottomLeft), {{0, 0}}));
  EXPECT_EQ(s[360], expect(45, 27, kAll));
  RX_image_delete(im);
}

TEST_F(EffectSteps, TwoHandsSweepOppositeQuadrants) {
  // Angles modulo 180: (1,2) 33.1, (1,1) 78.7, (0,2) 56.7, (0,1) 85.1.
  RX_HIMAGE im = picture_image(45, 27);
  HWND hwnd = window(45, 27);
  auto s = run(hwnd, im, 6, 10, 180, {45, 90, 180});
  EXPECT_EQ(cells_shown(s[45], 45, 27, 10), (Cells{{2, 0}, {1, 2}}));
  EXPECT_EQ(cells_shown(s[90], 45, 27, 10), joined(kTopRight, kBottomLeft));
  EXPECT_EQ(s[180], expect(45, 27, kAll));
  RX_image_delete(im);
}

TEST_F(EffectSteps, AGrowingSectorRevealsOnlyInsideItself) {
  // 356 rounds (5 to 360 degrees), one random cell a round (15 / 90 + 1).
  // Round r is 4 + r degrees wide: at round 86 (90 degrees) only top-right
  // cells can show, at round 176 (180 degrees) only right-half ones.
  RX_HIMAGE im = picture_image(45, 27);
  for (uint32_t seed : {1u, 2u, 12345u}) {
    rx::random_clock_seed_pin(&seed);
    HWND hwnd = window(45, 27);
    auto s = run(hwnd, im, 5, 10, 356, {86, 176, 356});
    for (const Cell& c : cells_shown(s[86], 45, 27, 10)) EXPECT_EQ(kTopRight.count(c), 1u) << c.first << c.second;
    for (const Cell& c : cells_shown(s[176], 45, 27, 10)) EXPECT_EQ(kRightHalf.count(c), 1u) << c.first << c.second;
    EXPECT_EQ(s[356], expect(45, 27, kAll));
  }
  RX_image_delete(im);
}

// The engine's sequence from seed 1: 16838 5758 10113 17515 31051 5627
// 23010 7419 16212 4086 2749 12767 9084 12060 32225 17543 25089 21183 25137
// 25566 26966 ... On a 2 x 2 grid every draw counts by its parity.

TEST_F(EffectSteps, RandomCellsFollowTheGenerator) {
  // 30 x 30 in blocks of 20: 2 x 2 cells. (column, row) draws: (0,0)
  // (1,1) (1,1)shown (0,1) (0,0)shown (1,1)shown (0,0)shown (1,1)shown
  // (1,1)shown (1,0): 20 numbers, the next is 26966.
  const uint32_t seed = 1;
  rx::random_clock_seed_pin(&seed);
  RX_HIMAGE im = picture_image(30, 30);
  HWND hwnd = window(30, 30);
  auto s = run(hwnd, im, 2, 20, 4, {1, 2, 3, 4});
  EXPECT_EQ(s[1], with_cells(30, 30, 20, {{0, 0}}));
  EXPECT_EQ(s[2], with_cells(30, 30, 20, {{0, 0}, {1, 1}}));
  EXPECT_EQ(s[3], with_cells(30, 30, 20, {{0, 0}, {1, 1}, {0, 1}}));
  EXPECT_EQ(s[4], expect(30, 30, kAll));
  EXPECT_EQ(rx::random15(), 26966);
  RX_image_delete(im);
}

TEST_F(EffectSteps, RandomCellsOnAWindowSmallerThanABlockDrawOneCell) {
  // 10 x 10 with block 20: (10 / 20 + 1)^2 = 1 cell, one step, two draws.
  const uint32_t seed = 1;
  rx::random_clock_seed_pin(&seed);
  RX_HIMAGE im = picture_image(10, 10);
  HWND hwnd = window(10, 10);
  Clock clock;
  clock.install();
  EXPECT_EQ(RX_display_effect(1, im, u(hwnd), 2, 20, 50), 0);
  EXPECT_EQ(clock.reads, 1 + 50);  // the start, then one wait to 50 ms
  EXPECT_EQ(shown(hwnd), expect(10, 10, kAll));
  EXPECT_EQ(rx::random15(), 10113);
  RX_image_delete(im);
}

TEST_F(EffectSteps, FallingBlocksFillColumnsFromTheTop) {
  // Column draws 0 0 1 1: (0,0) (0,1) (1,0) (1,1); the next number 31051.
  const uint32_t seed = 1;
  rx::random_clock_seed_pin(&seed);
  RX_HIMAGE im = picture_image(30, 30);
  HWND hwnd = window(30, 30);
  auto s = run(hwnd, im, 9, 20, 4, {1, 2, 3, 4});
  EXPECT_EQ(s[1], with_cells(30, 30, 20, {{0, 0}}));
  EXPECT_EQ(s[2], with_cells(30, 30, 20, {{0, 0}, {0, 1}}));
  EXPECT_EQ(s[3], with_cells(30, 30, 20, {{0, 0}, {0, 1}, {1, 0}}));
  EXPECT_EQ(s[4], expect(30, 30, kAll));
  EXPECT_EQ(rx::random15(), 31051);
  RX_image_delete(im);
}

TEST_F(EffectSteps, DripsShowTheBottomOfTheirStrip) {
  // 30 x 50 in blocks of 20: 2 columns, 3 rows, a strip of 60 rows; the
  // wait runs every 2 cells (6 / 400 = 0). Column draws 0 0: column 0 is
  // 2 cells (40 rows) long and shows the strip's rows 20..59 at the top;
  // the picture's rows 20..49 land on window rows 0..29 and the rest of
  // the strip lies below the picture, leaving rows 30..49 black.
  const uint32_t seed = 1;
  rx::random_clock_seed_pin(&seed);
  RX_HIMAGE im = picture_image(30, 50);
  HWND hwnd = window(30, 50);
  auto s = run(hwnd, im, 10, 20, 6, {2, 4, 6});
  EXPECT_EQ(s[2], expect(30, 50, [](int32_t x, int32_t y) { return x < 20 && y < 30; }, 0, 20));
  // Draws 1 1: column 1 the same.
  EXPECT_EQ(s[4], expect(30, 50, [](int32_t, int32_t y) { return y < 30; }, 0, 20));
  EXPECT_EQ(s[6], expect(30, 50, kAll));
  RX_image_delete(im);
}

TEST_F(EffectSteps, DripsGrowTwoCellsWhenLate) {
  // 30 x 30 in blocks of 20: 4 cells, a wait every 2. On time, the column
  // draws are 0 0 1 1 (4 numbers, the next 31051). With the clock far
  // ahead (1000 ms a read, 1 ms in all) the wait after cell 2 finds the run
  // late, so draw 3 (column 1) grows it by two: 3 numbers, the next 17515.
  RX_HIMAGE im = picture_image(30, 30);
  const uint32_t seed = 1;
  rx::random_clock_seed_pin(&seed);
  HWND on_time = window(30, 30);
  run(on_time, im, 10, 20, 4, {2, 4});
  EXPECT_EQ(rx::random15(), 31051);
  EXPECT_EQ(shown(on_time), expect(30, 30, kAll));
  HWND late = window(30, 30);
  Clock clock;
  clock.step = 1000;
  clock.install();
  EXPECT_EQ(RX_display_effect(1, im, u(late), 10, 20, 1), 0);
  EXPECT_EQ(rx::random15(), 17515);
  EXPECT_EQ(clock.reads, 3);  // the start and the waits after cells 2 and 4
  EXPECT_EQ(shown(late), expect(30, 30, kAll));
  RX_image_delete(im);
}

}  // namespace
