// Realising an image's logical palette in a window before it is drawn.
#include "SUPPORT/error.h"
#include "SUPPORT/image_api.h"
#include "platform/window.h"
#include "rastrix/rx_display.h"

RX_SOURCE("source\\DISPLAY\\palette_realize.cpp");

namespace rx {
namespace {

// The mode that realises the palette in the background.
constexpr int32_t kRealizeBackground = 2;

static_assert(sizeof(LOGICAL_PALETTE::Entry) == sizeof(pg_palette_entry));

}  // namespace
}  // namespace rx

using namespace rx;

extern "C" int32_t RX_display_palette_realize(RX_HIMAGE image, uintptr_t window, int32_t mode,
                                              int32_t* count) {
  IMAGE_REC* record = image_enter(image);
  if (record == nullptr) return 0;
  if (count != nullptr) *count = 0;
  HWND hwnd = reinterpret_cast<HWND>(window);
  if (window == 0 || pw_window_valid(hwnd) == 0) {
    RX_ERR(RXE_INVALID_WINDOW_HANDLE, 0, 0);
    return error_count();
  }
  record->display.palette_mode = mode;
  const LOGICAL_PALETTE* lp = record->display.logical_palette;
  if (lp == nullptr) return 0;
  HPALETTE palette = pg_palette_create(reinterpret_cast<const pg_palette_entry*>(lp->entries), lp->count);
  HDC dc = pw_window_dc_get(hwnd);
  int32_t realised = 0;
  if (palette != nullptr && dc != nullptr) {
    HPALETTE old = pg_palette_select(dc, palette, mode == kRealizeBackground ? 1 : 0);
    realised = pg_palette_realize(dc);
    if (realised > 0) pw_window_invalidate(hwnd, nullptr, 1);
    if (old != nullptr) pg_palette_select(dc, old, 0);
  }
  if (dc != nullptr) pw_window_dc_release(hwnd, dc);
  if (palette != nullptr) pg_palette_delete(palette);
  if (count != nullptr) *count = realised;
  return 0;
}
