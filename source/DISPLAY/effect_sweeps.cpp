// Transitions that sweep round the centre of the area: a clock hand, a
// double hand, and a sector that widens while cells inside it are
// revealed at random.
//
// A cell's angle is that of its centre seen from the centre of the area,
// in degrees clockwise from straight up (0 up, 90 right, 180 down, 270
// left), 0 <= angle < 360. After the step for degree k a hand has passed
// the cells whose angle is below k.
#include <algorithm>
#include <cmath>

#include "DISPLAY/display_effect.h"
#include "SUPPORT/random.h"

namespace rx::effect {
namespace {

constexpr double kRadiansPerDegree = 0.017453292522222223;
constexpr int32_t kFullTurn = 360, kHalfTurn = 180;
// The growing sector starts 5 degrees wide and widens a degree a round.
constexpr int32_t kFirstSector = 5;
// Random picks per round of the growing sector: enough that most cells
// inside the sector are shown before the last round draws the rest.
constexpr int64_t kSectorRoundsPerPass = 90;

double cell_angle(const Grid& g, int64_t column, int64_t row) {
  // Offsets from the centre, doubled so that they are whole numbers.
  const double dx = static_cast<double>(2 * column * g.block + g.block - g.width);
  const double dy = static_cast<double>(2 * row * g.block + g.block - g.height);
  const double a = std::atan2(dx, -dy) / kRadiansPerDegree;
  return a < 0 ? a + kFullTurn : a;
}

// The first column of the right half of a row: the cells whose centre is
// right of the centre, with the column through the centre counted right
// above the centre and left below it. So the angle, and the angle modulo
// 180, change monotonically along each half of a row.
int64_t right_half_start(const Grid& g, int64_t row) {
  const int64_t twice_block = 2 * g.block, offset = g.width - g.block;
  const bool below = 2 * row * g.block + g.block - g.height > 0;
  int64_t first = 0;
  if (!below && offset > 0) first = (offset + twice_block - 1) / twice_block;  // dx >= 0
  if (below && offset >= 0) first = offset / twice_block + 1;                 // dx > 0
  return std::min(first, g.columns());
}

// Half a row of cells in the order a hand reaches them.
struct HalfRow {
  int64_t row = 0, first = 0, count = 0, dir = 1;
  int64_t done = 0;   // cells revealed
  double next = 0;    // the key of the next cell
  int64_t column(int64_t k) const { return first + dir * k; }
};

using KeyFn = double (*)(double angle);
double whole_turn(double angle) { return angle; }
double two_hands(double angle) { return angle >= kHalfTurn ? angle - kHalfTurn : angle; }

HalfRow half_row(const Grid& g, int64_t row, int64_t low, int64_t high, KeyFn key) {
  HalfRow h;
  h.row = row;
  h.count = high - low;
  if (h.count <= 0) return h;
  const bool rising = key(cell_angle(g, low, row)) <= key(cell_angle(g, high - 1, row));
  h.first = rising ? low : high - 1;
  h.dir = rising ? 1 : -1;
  h.next = key(cell_angle(g, h.first, row));
  return h;
}

// Reveals the cells of the half row whose key is below `limit` (all of
// them when `all`), as one rectangle.
void advance(Run& run, HalfRow& h, double limit, bool all, KeyFn key) {
  const int64_t before = h.done;
  while (h.done < h.count && (all || h.next < limit)) {
    ++h.done;
    if (h.done < h.count) h.next = key(cell_angle(run.grid, h.column(h.done), h.row));
  }
  if (h.done == before) return;
  const int64_t a = h.column(before), b = h.column(h.done - 1), s = run.grid.block;
  run.stage.show(std::min(a, b) * s, h.row * s, (std::abs(b - a) + 1) * s, s);
}

// A hand (or two) sweeping in one-degree steps: after step k every cell
// whose key is below k is shown; the last step shows the rest.
bool sweep(Run& run, int32_t steps, KeyFn key) {
  const Grid& g = run.grid;
  const int64_t rows = g.rows();
  auto* halves = static_cast<HalfRow*>(scratch(run, 2 * rows, sizeof(HalfRow)));
  if (halves == nullptr) return false;
  for (int64_t r = 0; r < rows; ++r) {
    const int64_t middle = right_half_start(g, r);
    halves[2 * r] = half_row(g, r, 0, middle, key);
    halves[2 * r + 1] = half_row(g, r, middle, g.columns(), key);
  }
  return run_steps(run, steps, [&](int64_t k) {
    for (int64_t i = 0; i < 2 * rows; ++i) advance(run, halves[i], static_cast<double>(k), k == steps, key);
  });
}

// Shows every cell not shown yet, a run of neighbours in a row at a time.
void show_rest(Run& run, const uint8_t* shown) {
  const Grid& g = run.grid;
  const int64_t columns = g.columns(), s = g.block;
  for (int64_t r = 0; r < g.rows(); ++r) {
    const uint8_t* row = shown + r * columns;
    for (int64_t c = 0; c < columns;) {
      if (row[c] != 0) {
        ++c;
        continue;
      }
      const int64_t start = c;
      while (c < columns && row[c] == 0) ++c;
      run.stage.show(start * s, r * s, (c - start) * s, s);
    }
  }
}

}  // namespace

// A clock hand: 360 steps of one degree from straight up, clockwise, 90
// through each quadrant.
bool clock_sweep(Run& run) { return sweep(run, kFullTurn, whole_turn); }

// Two opposite hands: 180 steps of one degree, the first 90 through the
// top-right and bottom-left quadrants, the next 90 through the other two.
bool double_sweep(Run& run) { return sweep(run, kHalfTurn, two_hands); }

// A sector from straight up, clockwise, that widens from 5 to 360 degrees
// one degree a round. Each round draws cells / 90 + 1 random cells: the
// column among the right half (columns - 1 - rand() mod (columns / 2 + 1))
// while the sector is under 180 degrees, else anywhere; then the row among
// the top half (rand() mod (rows / 2 + 1)) while it is under 90 degrees,
// else anywhere. A drawn cell is shown when it lies inside the sector and
// is not shown yet. The round of 360 degrees shows every cell left. The
// paced wait runs after every round.
bool growing_sectors(Run& run) {
  const Grid& g = run.grid;
  const int64_t columns = g.columns(), rows = g.rows(), s = g.block;
  auto* shown = static_cast<uint8_t*>(scratch(run, g.cells(), 1));
  if (shown == nullptr) return false;
  random_seed_from_clock();
  const int64_t tries = g.cells() / kSectorRoundsPerPass + 1;
  const int32_t rounds = kFullTurn - kFirstSector + 1;
  return run_steps(run, rounds, [&](int64_t round) {
    const int64_t width = round + kFirstSector - 1;
    if (width == kFullTurn) show_rest(run, shown);
    for (int64_t t = 0; t < tries && width < kFullTurn; ++t) {
      const int64_t c = width < 180 ? columns - 1 - random15() % (columns / 2 + 1) : random15() % columns;
      const int64_t r = width < 90 ? random15() % (rows / 2 + 1) : random15() % rows;
      if (shown[r * columns + c] != 0 || cell_angle(g, c, r) >= static_cast<double>(width)) continue;
      shown[r * columns + c] = 1;
      run.stage.show(c * s, r * s, s, s);
    }
  });
}

}  // namespace rx::effect
