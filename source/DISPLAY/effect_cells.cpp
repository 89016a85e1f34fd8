// Transitions that reveal cells in random order: single cells anywhere,
// blocks that fill columns from the top, and drips that run down the
// columns. Each run seeds the engine's generator from the clock first
// (SUPPORT/random.h), so that a test can pin the seed and repeat a run.
#include <algorithm>
#include <cstring>

#include "DISPLAY/display_effect.h"
#include "SUPPORT/random.h"

namespace rx::effect {
namespace {

// The first cell at or after `from`, going round, whose flag is 0; the
// caller knows there is one.
int64_t next_unshown(const uint8_t* shown, int64_t from, int64_t cells) {
  const void* hit = std::memchr(shown + from, 0, static_cast<size_t>(cells - from));
  if (hit == nullptr) hit = std::memchr(shown, 0, static_cast<size_t>(from));
  return static_cast<const uint8_t*>(hit) - shown;
}

// A random cell not shown yet: column = rand() mod columns, then
// row = rand() mod rows, drawn again while the cell is shown (up to
// kMissesBeforeScan times, then the next one not shown in row order).
int64_t pick_cell(const uint8_t* shown, int64_t columns, int64_t rows) {
  int64_t cell = 0;
  for (int32_t miss = 0; miss < kMissesBeforeScan; ++miss) {
    const int64_t column = random15() % columns;
    const int64_t row = random15() % rows;
    cell = row * columns + column;
    if (shown[cell] == 0) return cell;
  }
  return next_unshown(shown, cell, columns * rows);
}

// A random column that is not full: rand() mod columns, drawn again while
// the column is full (up to kMissesBeforeScan times, then the next one not
// full, going round).
int64_t pick_column(const int32_t* filled, int64_t columns, int64_t rows) {
  int64_t column = 0;
  for (int32_t miss = 0; miss < kMissesBeforeScan; ++miss) {
    column = random15() % columns;
    if (filled[column] < rows) return column;
  }
  for (int64_t k = 1; k < columns; ++k)
    if (filled[(column + k) % columns] < rows) return (column + k) % columns;
  return column;
}

}  // namespace

// One random cell not shown yet per step; the paced wait runs after every
// max(1, cells / 1000) cells and after the last.
bool random_cells(Run& run) {
  const Grid& g = run.grid;
  const int64_t columns = g.columns(), rows = g.rows(), cells = g.cells(), s = g.block;
  auto* shown = static_cast<uint8_t*>(scratch(run, cells, 1));
  if (shown == nullptr) return false;
  random_seed_from_clock();
  const int64_t every = std::max<int64_t>(1, cells / 1000);
  Pacer pace(cells, run.time);
  for (int64_t i = 1; i <= cells; ++i) {
    const int64_t cell = pick_cell(shown, columns, rows);
    shown[cell] = 1;
    run.stage.show(cell % columns * s, cell / columns * s, s, s);
    if (i % every != 0 && i != cells) continue;
    pace.after(i);
    if (!run.stage.alive(i, cells)) return false;
  }
  return true;
}

// Falling blocks: each step a random column that is not full gains its
// next cell, from the top down.
bool falling_blocks(Run& run) {
  const Grid& g = run.grid;
  const int64_t columns = g.columns(), rows = g.rows(), cells = g.cells(), s = g.block;
  auto* filled = static_cast<int32_t*>(scratch(run, columns, sizeof(int32_t)));
  if (filled == nullptr) return false;
  random_seed_from_clock();
  return run_steps(run, cells, [&](int64_t) {
    const int64_t column = pick_column(filled, columns, rows);
    run.stage.show(column * s, filled[column] * s, s, s);
    ++filled[column];
  });
}

// Drips: a random column that is not full grows downward by one cell, or
// by two while the last paced wait found the run late, and shows the
// bottom of the picture's strip for that column, so the picture runs down
// from the top. The paced wait runs after every cells / 400 cells (every
// 2 when that is 0) and after the last.
bool drips(Run& run) {
  const Grid& g = run.grid;
  const int64_t columns = g.columns(), rows = g.rows(), cells = g.cells(), s = g.block;
  auto* filled = static_cast<int32_t*>(scratch(run, columns, sizeof(int32_t)));
  if (filled == nullptr) return false;
  random_seed_from_clock();
  const int64_t every = cells / 400 > 0 ? cells / 400 : 2;
  Pacer pace(cells, run.time);
  bool late = false;
  for (int64_t i = 0, next_wait = every; i < cells;) {
    const int64_t column = pick_column(filled, columns, rows);
    const int64_t grow = std::min<int64_t>(late ? 2 : 1, rows - filled[column]);
    filled[column] += static_cast<int32_t>(grow);
    i += grow;
    const int64_t length = filled[column] * s;
    run.stage.show_from(column * s, 0, s, length, column * s, rows * s - length);
    if (i < next_wait && i < cells) continue;
    while (next_wait <= i) next_wait += every;
    late = pace.after(i);
    if (!run.stage.alive(i, cells)) return false;
  }
  return true;
}

}  // namespace rx::effect
