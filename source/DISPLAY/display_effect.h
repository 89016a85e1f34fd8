// What the transition effects share: the grid of cells over the client
// area, the pacing of steps on the tick counter, and the stage (the
// window's DC and the off-screen copy of the picture the steps reveal).
#pragma once

#include <cstdint>

#include "platform/window.h"

namespace rx::effect {

// The client area with the scroll bars the window's style shows, cut into
// square cells of `block` pixels: columns = width / block + 1 and
// rows = height / block + 1, so the last column and row may reach past the
// area (or lie wholly outside it when the block divides the size).
struct Grid {
  int64_t width = 0, height = 0;
  int64_t block = 2;  // never below 2
  int64_t columns() const { return width / block + 1; }
  int64_t rows() const { return height / block + 1; }
  int64_t cells() const { return columns() * rows(); }
};

// Spreads n steps over `time` milliseconds: the clock starts when the
// pacer is made, and after step i the pacer waits, reading the tick
// counter, until (now - start) x n >= i x time. The elapsed time is the
// counter's difference modulo 2^32, so the counter's wrap is harmless; a
// difference that reads as negative (a clock that went back) counts as
// 1000000 ms and ends the wait. A time of 0 or less never reads the clock
// after the start.
class Pacer {
 public:
  Pacer(int64_t steps, int32_t time_ms);
  // Waits for step i to be due; true when it was already late (the
  // schedule had passed it), false when it was on time or had to wait.
  bool after(int64_t i);

 private:
  int64_t elapsed() const;
  int64_t steps_;
  int64_t time_;
  uint32_t start_;
};

// The window's DC and, for effects 2 to 10, a memory DC with a bitmap of
// the grid's size holding the picture as the display engine draws it.
// Everything is given back when the stage ends.
class Stage {
 public:
  explicit Stage(HWND hwnd) : hwnd_(hwnd) {}
  ~Stage();
  Stage(const Stage&) = delete;
  Stage& operator=(const Stage&) = delete;

  HWND hwnd() const { return hwnd_; }
  // Takes the window's DC and makes the off-screen copy; pushes
  // RXE_DDB_CREATE (width, height) when the copy cannot be made.
  bool open(const Grid& grid);
  HDC offscreen() const { return memory_; }
  // True while the window exists; once it has gone, pushes
  // RXE_INVALID_WINDOW_HANDLE (the step reached, the steps) and is false
  // from then on.
  bool alive(int64_t step, int64_t steps);
  // Copies the rectangle (x, y, w, h) of the copy to the same place in the
  // window, or from (sx, sy) of the copy.
  void show(int64_t x, int64_t y, int64_t w, int64_t h) { show_from(x, y, w, h, x, y); }
  void show_from(int64_t x, int64_t y, int64_t w, int64_t h, int64_t sx, int64_t sy);

 private:
  HWND hwnd_;
  HDC window_ = nullptr;
  HDC memory_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HBITMAP old_ = nullptr;
  int64_t width_ = 0, height_ = 0;
  bool gone_ = false;
};

// One run of an effect: where it draws, how long it takes, and the memory
// tag its scratch memory belongs to.
struct Run {
  Grid grid;
  Stage& stage;
  int32_t time;
  uint32_t tag;
};

// Runs steps 1 .. n of an effect: each step's drawing, its paced wait,
// then the check that the window is still there. False once it has gone.
template <class Step>
bool run_steps(Run& run, int64_t n, Step&& step) {
  Pacer pace(n, run.time);
  for (int64_t i = 1; i <= n; ++i) {
    step(i);
    pace.after(i);
    if (!run.stage.alive(i, n)) return false;
  }
  return true;
}

// Scratch memory of the run's tag, zero-filled; pushes
// RXE_GLOBAL_MEMORY_DEPLETED (size, tag) and returns null when refused.
void* scratch(const Run& run, int64_t count, int64_t size);

// Strips and slides (effect_strips.cpp): 0 and 1 invalidate strips of the
// window and let its painting draw them; 3 reveals anti-diagonals of cells;
// 7 and 8 slide the picture in from the left and the right.
bool strips_from_left(Run& run);
bool strips_from_right(Run& run);
bool diagonals(Run& run);
bool slide_from_left(Run& run);
bool slide_from_right(Run& run);

// Cells at random (effect_cells.cpp): 2 random cells, 9 falling blocks,
// 10 drips.
bool random_cells(Run& run);
bool falling_blocks(Run& run);
bool drips(Run& run);

// Sweeps around the centre (effect_sweeps.cpp): 4 a clock hand, 5 growing
// sectors revealed at random, 6 a double hand.
bool clock_sweep(Run& run);
bool growing_sectors(Run& run);
bool double_sweep(Run& run);

// How often a random pick may hit a cell (or column) already shown before
// the pick moves on to the next one not shown in row order: a bound on the
// work near the end of a run and when the grid has more columns or rows
// than the generator has values.
inline constexpr int32_t kMissesBeforeScan = 4096;

}  // namespace rx::effect
