// Transition effects step by step: the window read after chosen steps,
// against cells and strips worked out by hand. The picture is drawn 1:1
// at the window's origin (no pixel of it is black) over a black window.
//
// Each run gets time = steps ms and a clock that reads 0, 1, 2, ...: step
// i is due at i ms, so the wait after step i reads i once (the read of t
// sees steps 1..t drawn).
#include <gtest/gtest.h>


#include "DISPLAY/effect_test_util.h"

using namespace etest;

namespace {

using Cell = std::pair<int32_t, int32_t>;  // column, row
using Cells = std::set<Cell>;

using EffectSteps = EffectTest;

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
using Seen = std::function<bool(int32_t, int32_t)>;
Seen left_of(int32_t edge) {
  return [edge](int32_t x, int32_t) { return x < edge; };
}
Seen right_from(int32_t edge) {
  return [edge](int32_t x, int32_t) { return x >= edge; };
}
Seen in_cells(int32_t block, Cells cells) {
  return [block, cells](int32_t x, int32_t y) { return cells.count({x / block, y / block}) != 0; };
}

// The window read at `at`: the picture where `seen` says, read from
// (x + dx, y + dy), black elsewhere.
struct Frame {
  uint32_t at;
  Seen seen;
  int32_t dx = 0, dy = 0;
};
// One run: the window is w x h; seed 0 leaves the generator alone, and
// a nonzero `next` is the number it gives after the run.
struct EffectRun {
  const char* what;
  int32_t effect, w, h, block, time;
  uint32_t seed;
  int next;
  std::vector<Frame> frames;
};

TEST_F(EffectSteps, EachStepShowsWhatWasWorkedOutByHand) {
  const EffectRun runs[] = {
      // 45 wide, block 10: effect 0 has (45 - 1) / 10 = 4 steps, strips
      // [0,10) [10,20) [20,30) and the last [30,45); effect 1 has 44 / 10 +
      // 1 = 5, strips [35,45) [25,35) [15,25) [5,15) [0,5). The window
      // paints them.
      {"strips from the left", 0, 45, 20, 10, 4, 0, 0, {{2, left_of(20)}, {3, left_of(30)}, {4, kAll}}},
      {"strips from the right", 1, 45, 20, 10, 5, 0, 0, {{2, right_from(25)}, {4, right_from(5)}, {5, kAll}}},
      // 50 x 30 in blocks of 10: 6 columns (the last outside), 4 rows (the
      // last outside); 30 / 10 + 50 / 10 + 1 = 9 steps. After step d + 1
      // the cells with column + row <= d show; at step 6 that leaves (4,2)
      // out of the visible cells.
      {"diagonals", 3, 50, 30, 10, 9, 0, 0,
       {{1, in_cells(10, {{0, 0}})},
        {3, in_cells(10, {{0, 0}, {1, 0}, {0, 1}, {2, 0}, {1, 1}, {0, 2}})},
        {6, [](int32_t x, int32_t y) { return x / 10 + y / 10 <= 5; }},
        {9, kAll}}},
      // 45 wide, block 10: 45 / 10 + 1 = 5 steps. From the left, step k
      // shows the picture's right-most 10 k columns at the left edge; from
      // the right, the picture's left edge stands at 45 - 10 k, and at 0 in
      // the end.
      {"slide from the left", 7, 45, 20, 10, 5, 0, 0, {{2, left_of(20), 25}, {4, left_of(40), 5}, {5, kAll}}},
      {"slide from the right", 8, 45, 20, 10, 5, 0, 0, {{2, right_from(25), -25}, {4, right_from(5), -5}, {5, kAll}}},
      // The engine's sequence from seed 1: 16838 5758 10113 17515 31051
      // 5627 23010 7419 16212 4086 2749 12767 9084 12060 32225 17543 25089
      // 21183 25137 25566 26966 ... On a 2 x 2 grid every draw counts by
      // its parity.
      // 30 x 30 in blocks of 20: 2 x 2 cells. (column, row) draws: (0,0)
      // (1,1) (1,1)shown (0,1) (0,0)shown (1,1)shown (0,0)shown (1,1)shown
      // (1,1)shown (1,0): 20 numbers, the next is 26966.
      {"random cells", 2, 30, 30, 20, 4, 1, 26966,
       {{1, in_cells(20, {{0, 0}})},
        {2, in_cells(20, {{0, 0}, {1, 1}})},
        {3, in_cells(20, {{0, 0}, {1, 1}, {0, 1}})},
        {4, kAll}}},
      // Column draws 0 0 1 1: (0,0) (0,1) (1,0) (1,1); the next number 31051.
      {"falling blocks", 9, 30, 30, 20, 4, 1, 31051,
       {{1, in_cells(20, {{0, 0}})},
        {2, in_cells(20, {{0, 0}, {0, 1}})},
        {3, in_cells(20, {{0, 0}, {0, 1}, {1, 0}})},
        {4, kAll}}},
      // 30 x 50 in blocks of 20: 2 columns, 3 rows, a strip of 60 rows; the
      // wait runs every 2 cells (6 / 400 = 0). Column draws 0 0: column 0
      // is 2 cells (40 rows) long and shows the strip's rows 20..59 at the
      // top; the picture's rows 20..49 land on window rows 0..29 and the
      // rest of the strip lies below the picture, leaving rows 30..49
      // black. Draws 1 1: column 1 the same.
      {"drips", 10, 30, 50, 20, 6, 1, 0,
       {{2, [](int32_t x, int32_t y) { return x < 20 && y < 30; }, 0, 20},
        {4, [](int32_t, int32_t y) { return y < 30; }, 0, 20},
        {6, kAll}}},
  };
  for (const EffectRun& r : runs) {
    rx::random_clock_seed_pin(r.seed != 0 ? &r.seed : nullptr);
    RX_HIMAGE im = picture_image(r.w, r.h);
    g_painted = im;
    HWND hwnd = window(r.w, r.h);
    std::set<uint32_t> at;
    for (const Frame& f : r.frames) at.insert(f.at);
    auto s = run(hwnd, im, r.effect, r.block, r.time, at);
    for (const Frame& f : r.frames) EXPECT_EQ(s[f.at], expect(r.w, r.h, f.seen, f.dx, f.dy)) << r.what << " at " << f.at;
    if (r.next != 0) {
      EXPECT_EQ(rx::random15(), r.next) << r.what;
    }
    g_painted = 0;
    RX_image_delete(im);
  }
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
const Cells kAllCells = {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {0, 1}, {1, 1}, {2, 1},
                         {3, 1}, {4, 1}, {0, 2}, {1, 2}, {2, 2}, {3, 2}, {4, 2}};

Cells joined(Cells a, const Cells& b) {
  a.insert(b.begin(), b.end());
  return a;
}

TEST_F(EffectSteps, HandsSweepRoundTheCentre) {
  // Two hands: angles modulo 180, (1,2) 33.1, (1,1) 78.7, (0,2) 56.7,
  // (0,1) 85.1.
  const struct {
    int32_t effect, time;
    std::map<uint32_t, Cells> at;
  } runs[] = {
      {4, 360,
       {{45, {{2, 0}}},
        {90, kTopRight},
        {180, kRightHalf},
        {225, joined(kRightHalf, {{1, 2}})},
        {270, joined(kRightHalf, kBottomLeft)},
        {300, joined(joined(kRightHalf, kBottomLeft), {{0, 0}})},
        {360, kAllCells}}},
      {6, 180, {{45, {{2, 0}, {1, 2}}}, {90, joined(kTopRight, kBottomLeft)}, {180, kAllCells}}},
  };
  RX_HIMAGE im = picture_image(45, 27);
  for (const auto& r : runs) {
    HWND hwnd = window(45, 27);
    std::set<uint32_t> times;
    for (const auto& a : r.at) times.insert(a.first);
    auto s = run(hwnd, im, r.effect, 10, r.time, times);
    for (const auto& a : r.at) EXPECT_EQ(cells_shown(s[a.first], 45, 27, 10), a.second) << r.effect << " at " << a.first;
  }
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
