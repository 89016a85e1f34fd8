// Transition effects: revealing an image in its window step by step, with
// the steps spread over a given time. This file holds the entry point, the
// pacing and the stage; the effects themselves are in effect_strips,
// effect_cells and effect_sweeps.
#include "DISPLAY/display_effect.h"

#include <algorithm>
#include <cstring>

#include "DISPLAY/display_draw.h"
#include "SUPPORT/error.h"
#include "SUPPORT/image_rec.h"
#include "SUPPORT/mem_tag.h"
#include "platform/kernel.h"
#include "rastrix/rx_display.h"

RX_SOURCE("source\\DISPLAY\\display_effect.cpp");

namespace rx::effect {
namespace {

// What a negative elapsed time counts as: far past any step, so the wait
// ends.
constexpr int64_t kBackwardsElapsed = 1000000;

int32_t clamp32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

}  // namespace

Pacer::Pacer(int64_t steps, int32_t time_ms)
    : steps_(std::max<int64_t>(steps, 1)), time_(time_ms), start_(pk_tick_count()) {}

bool Pacer::after(int64_t i) {
  if (time_ <= 0) return false;
  const int64_t due = i * time_;
  for (bool first = true;; first = false) {
    const int32_t d = static_cast<int32_t>(pk_tick_count() - start_);
    const int64_t reached = (d < 0 ? kBackwardsElapsed : d) * steps_;
    if (d < 0 || reached >= due) return first && reached > due;
  }
}

Stage::~Stage() {
  if (memory_ != nullptr) {
    if (old_ != nullptr) pg_bitmap_select(memory_, old_);
    pg_dc_delete(memory_);
  }
  if (bitmap_ != nullptr) pg_bitmap_delete(bitmap_);
  if (window_ != nullptr) pw_window_dc_release(hwnd_, window_);
}

bool Stage::open(const Grid& grid) {
  width_ = grid.width;
  height_ = grid.height;
  window_ = pw_window_dc_get(hwnd_);
  if (window_ == nullptr) {
    RX_ERR(RXE_INVALID_WINDOW_HANDLE, 0, 0);
    return false;
  }
  memory_ = pg_dc_create_compatible(window_);
  bitmap_ = pg_bitmap_create_compatible(window_, clamp32(grid.width), clamp32(grid.height));
  if (memory_ != nullptr && bitmap_ != nullptr) old_ = pg_bitmap_select(memory_, bitmap_);
  if (old_ != nullptr) return true;
  RX_ERR(RXE_DDB_CREATE, clamp32(grid.width), clamp32(grid.height));
  return false;
}

bool Stage::alive(int64_t step, int64_t steps) {
  if (!gone_ && pw_window_valid(hwnd_) != 0) return true;
  if (!gone_) RX_ERR(RXE_INVALID_WINDOW_HANDLE, clamp32(step), clamp32(steps));
  gone_ = true;
  return false;
}

void Stage::show_from(int64_t x, int64_t y, int64_t w, int64_t h, int64_t sx, int64_t sy) {
  // Cut to the area first, so that every coordinate handed on fits.
  const int64_t left = std::max<int64_t>(x, 0), top = std::max<int64_t>(y, 0);
  const int64_t right = std::min(x + w, width_), bottom = std::min(y + h, height_);
  if (right <= left || bottom <= top || window_ == nullptr) return;
  pg_bit_blt(window_, clamp32(left), clamp32(top), clamp32(right - left), clamp32(bottom - top), memory_,
             clamp32(sx + (left - x)), clamp32(sy + (top - y)), SRCCOPY);
}

void* scratch(const Run& run, int64_t count, int64_t size) {
  const int64_t bytes = count * size;
  void* block = bytes > 0 ? RPb_AF_mem_alloc(run.tag, static_cast<size_t>(bytes)) : nullptr;
  if (block == nullptr) {
    RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, clamp32(bytes), static_cast<int32_t>(run.tag));
    return nullptr;
  }
  std::memset(block, 0, static_cast<size_t>(bytes));
  return block;
}

namespace {

using EffectFn = bool (*)(Run&);
constexpr EffectFn kEffects[] = {strips_from_left, strips_from_right, random_cells,   diagonals,
                                 clock_sweep,      growing_sectors,   double_sweep,   slide_from_left,
                                 slide_from_right, falling_blocks,    drips};
constexpr int32_t kEffectCount = static_cast<int32_t>(sizeof(kEffects) / sizeof(kEffects[0]));

// Effects 0 and 1 let the window paint; 2 to 10 copy from the off-screen
// picture. Of these, 4 and 6 to 10 show nothing for an image that is not
// valid, while 2, 3 and 5 still copy the empty picture.
bool paints_itself(int32_t effect) { return effect <= 1; }
bool needs_image(int32_t effect) { return effect == 4 || effect >= 6; }

Grid grid_of(HWND hwnd, int32_t block_size) {
  pg_rect client{};
  pw_client_rect_get(hwnd, &client);
  const uint32_t style = pw_window_style_get(hwnd);
  Grid g;
  g.width = int64_t{client.right} + ((style & WS_VSCROLL) != 0 ? pw_system_metric(SM_CXVSCROLL) : 0);
  g.height = int64_t{client.bottom} + ((style & WS_HSCROLL) != 0 ? pw_system_metric(SM_CYHSCROLL) : 0);
  g.block = std::max<int64_t>(block_size, 2);
  return g;
}

}  // namespace
}  // namespace rx::effect

using namespace rx;
using namespace rx::effect;

extern "C" int32_t RX_display_effect(int32_t flag, RX_HIMAGE image, uintptr_t window, int32_t effect,
                                     int32_t block_size, int32_t time_ms) {
  error_clear();
  if (flag == 0 || image == 0) return -1;
  if (effect < 0 || effect >= kEffectCount) return 0;
  IMAGE_REC* record = RPb_iRX_image_is_valid(image) != 0 ? record_of(image) : nullptr;
  if (record == nullptr && needs_image(effect)) return 0;
  HWND hwnd = reinterpret_cast<HWND>(window);
  if (window == 0 || pw_window_valid(hwnd) == 0) {
    RX_ERR(RXE_INVALID_WINDOW_HANDLE, 0, 0);
    return error_count();
  }
  const Grid grid = grid_of(hwnd, block_size);
  if (grid.width <= 0 || grid.height <= 0) return 0;  // nothing to reveal
  TagGuard tag;
  Stage stage(hwnd);
  Run run{grid, stage, time_ms, tag.tag()};
  if (!paints_itself(effect)) {
    if (!stage.open(grid)) return error_count();
    // A draw that fails shows nothing of its half-drawn picture.
    if (record != nullptr && display_draw(record, stage.offscreen()) != 0) return error_count();
  }
  kEffects[effect](run);
  return error_count();
}
