// Transitions that move across the window in order: vertical strips from
// either edge (drawn by the window's own painting), anti-diagonals of
// cells, and the picture sliding in from either side.
#include <algorithm>

#include "DISPLAY/display_effect.h"

namespace rx::effect {
namespace {

// Lets the window paint the strip of columns left .. end - 1, without
// erasing it first.
void paint_strip(const Run& run, int64_t left, int64_t end) {
  const pg_rect strip{static_cast<int32_t>(std::max<int64_t>(left, 0)), 0, static_cast<int32_t>(end),
                      static_cast<int32_t>(run.grid.height)};
  pw_window_invalidate(run.stage.hwnd(), &strip, 0);
  pw_window_update(run.stage.hwnd());
}

}  // namespace

// Strips of the block's width from the left edge. The steps are as many
// as blocks fit left of the client area's inclusive right edge (at least
// one); the last strip runs on to the right edge, so the whole area is
// painted even when the width is not a multiple of the block.
bool strips_from_left(Run& run) {
  const Grid& g = run.grid;
  const int64_t n = std::max<int64_t>((g.width - 1) / g.block, 1);
  return run_steps(run, n, [&](int64_t i) {
    const int64_t left = (i - 1) * g.block;
    paint_strip(run, left, i == n ? g.width : left + g.block);
  });
}

// Strips of the block's width from the right edge leftwards, one step per
// strip; the last may be narrower.
bool strips_from_right(Run& run) {
  const Grid& g = run.grid;
  return run_steps(run, (g.width - 1) / g.block + 1,
                   [&](int64_t i) { paint_strip(run, g.width - i * g.block, g.width - (i - 1) * g.block); });
}

// Step d shows the cells whose column and row add up to d: from the
// top-left cell to the bottom-right one.
bool diagonals(Run& run) {
  const Grid& g = run.grid;
  const int64_t columns = g.columns(), rows = g.rows(), s = g.block;
  return run_steps(run, columns + rows - 1, [&](int64_t i) {
    const int64_t d = i - 1;
    for (int64_t c = std::max<int64_t>(0, d - rows + 1); c <= std::min(d, columns - 1); ++c)
      run.stage.show(c * s, (d - c) * s, s, s);
  });
}

// Step k shows the right-most k blocks' width of the picture at the left
// edge of the window.
bool slide_from_left(Run& run) {
  const Grid& g = run.grid;
  return run_steps(run, g.width / g.block + 1, [&](int64_t k) {
    const int64_t shown = std::min(k * g.block, g.width);
    run.stage.show_from(0, 0, shown, g.height, g.width - shown, 0);
  });
}

// The picture enters from the right edge, its left edge moving left by a
// block each step until it stands at the window's left edge.
bool slide_from_right(Run& run) {
  const Grid& g = run.grid;
  return run_steps(run, g.width / g.block + 1, [&](int64_t k) {
    const int64_t left = std::max<int64_t>(g.width - k * g.block, 0);
    run.stage.show_from(left, 0, g.width - left, g.height, 0, 0);
  });
}

}  // namespace rx::effect
