// The image window procedure. Windows of the engine's class pass what it
// does not handle to the default procedure; subclassed windows pass every
// message on to their own procedure, after handling it when it is one of
// ours. The record is looked up again after anything that may have run
// other code (a paint inside a zoom, the destruction callback).
#include <algorithm>
#include <climits>

#include "DISPLAY/display_draw.h"
#include "SUPPORT/error.h"
#include "gui/window_assoc.h"
#include "rastrix/rastrix.h"

RX_SOURCE("source\\gui\\window_proc.cpp");

namespace rx {
namespace {

uintptr_t handle_of(HWND hwnd) { return reinterpret_cast<uintptr_t>(hwnd); }

LRESULT pass_on(pw_window_proc proc, HWND hwnd, uint32_t message, WPARAM wparam, LPARAM lparam) {
  if (proc != nullptr) return pw_window_proc_call(proc, hwnd, message, wparam, lparam);
  return pw_window_proc_default(hwnd, message, wparam, lparam);
}

IMAGE_REC* live_record(RX_HIMAGE image) {
  return RPb_iRX_image_is_valid(image) != 0 ? record_of(image) : nullptr;
}

// A linked image is drawn against the paint DC's clip box alone: its own
// stored clip is cleared for the draw and put back after.
void draw_linked(RX_HIMAGE image, HDC dc) {
  IMAGE_REC* record = live_record(image);
  if (record == nullptr) return;
  DISPLAY_ATTR& d = record->display;
  int32_t kept[4];
  std::copy(d.clip_rect, d.clip_rect + 4, kept);
  const int32_t kept_on = d.clip_on;
  std::fill(d.clip_rect, d.clip_rect + 4, 0);
  d.clip_on = 0;
  display_draw(record, dc);
  if (live_record(image) == record) {
    std::copy(kept, kept + 4, d.clip_rect);
    d.clip_on = kept_on;
  }
}

void paint(WindowAssoc* assoc) {
  HWND hwnd = assoc->hwnd;
  pw_paint ps{};
  HDC dc = pw_paint_begin(hwnd, &ps);
  if (dc == nullptr) return;
  // A deleted image draws nothing: the window keeps its background.
  if (IMAGE_REC* record = live_record(assoc->image)) display_draw(record, dc);
  for (int32_t i = 0; i < RX_WINDOW_LINK_MAX; ++i) {
    // Looked up each time: a draw may call back into code that unlinks.
    WindowAssoc* now = assoc_find(hwnd);
    if (now == nullptr || now->linked == nullptr) break;
    if (now->linked[i] != 0) draw_linked(now->linked[i], dc);
  }
  pw_paint_end(hwnd, &ps);
}

struct Origin {
  bool valid = false;
  double left = 0, top = 0;
};

Origin origin_of(RX_HIMAGE image) {
  IMAGE_REC* record = live_record(image);
  if (record == nullptr) return {};
  return Origin{true, record->display.device_rect[0], record->display.device_rect[1]};
}

// Moves every linked image as far as the main image moved, and repaints
// when any moved, since the main image's own repaint drew them where they
// were.
void follow(HWND hwnd, const Origin& before) {
  WindowAssoc* assoc = assoc_find(hwnd);
  if (assoc == nullptr || assoc->linked == nullptr || !before.valid) return;
  const Origin after = origin_of(assoc->image);
  if (!after.valid) return;
  const double dx = after.left - before.left, dy = after.top - before.top;
  if (dx == 0 && dy == 0) return;
  bool moved = false;
  for (int32_t i = 0; i < RX_WINDOW_LINK_MAX; ++i) {
    IMAGE_REC* record = live_record(assoc->linked[i]);
    if (record == nullptr) continue;
    double* r = record->display.device_rect;
    r[0] += dx;
    r[2] += dx;
    r[1] += dy;
    r[3] += dy;
    moved = true;
  }
  if (moved) pw_window_invalidate(hwnd, nullptr, 1);
}

void size(WindowAssoc* assoc) {
  if (assoc->zooming != 0) return;
  HWND hwnd = assoc->hwnd;
  const Origin before = origin_of(assoc->image);
  if (assoc->rect_follows != 0) pw_client_rect_get(hwnd, &assoc->rect);
  assoc_zoom(assoc);
  follow(hwnd, before);
}

void scroll(WindowAssoc* assoc, int32_t bar, WPARAM wparam) {
  HWND hwnd = assoc->hwnd;
  const int32_t code = PW_LOWORD(wparam);
  int32_t position = PW_HIWORD(wparam);
  // The message carries 16 bits of the thumb's place; the layer keeps it
  // in full, and that is used when the two agree.
  pw_scroll_info si{};
  si.mask = PW_SIF_TRACKPOS;
  if ((code == SB_THUMBTRACK || code == SB_THUMBPOSITION) && pw_scroll_info_get(hwnd, bar, &si) != 0 &&
      (si.track_pos & 0xFFFF) == position)
    position = si.track_pos;
  const Origin before = origin_of(assoc->image);
  RX_display_scroll(assoc->image, handle_of(hwnd), bar, code, position);
  follow(hwnd, before);
}

// The scroll message a key stands for: true when it is one of them.
bool key_scroll(WPARAM key, uint32_t* message, int32_t* code) {
  switch (key) {
    case VK_PRIOR: *message = WM_VSCROLL; *code = SB_PAGEUP; return true;
    case VK_NEXT: *message = WM_VSCROLL; *code = SB_PAGEDOWN; return true;
    case VK_HOME: *message = WM_HSCROLL; *code = SB_PAGELEFT; return true;
    case VK_END: *message = WM_HSCROLL; *code = SB_PAGERIGHT; return true;
    case VK_LEFT: *message = WM_HSCROLL; *code = SB_LINELEFT; return true;
    case VK_RIGHT: *message = WM_HSCROLL; *code = SB_LINERIGHT; return true;
    case VK_UP: *message = WM_VSCROLL; *code = SB_LINEUP; return true;
    case VK_DOWN: *message = WM_VSCROLL; *code = SB_LINEDOWN; return true;
    default: return false;
  }
}

// "+" and "-": the zoom changes by a step, never below the least, and
// stays as it was when the display engine refuses the new one.
bool zoom_key(WindowAssoc* assoc, WPARAM character) {
  int32_t zoom = assoc->zoom;
  if (character == '+') {
    if (zoom > INT32_MAX - kZoomStep) return true;
    zoom += kZoomStep;
  } else if (character == '-') {
    if (zoom <= kZoomLeast) return true;
    zoom = std::max(zoom - kZoomStep, kZoomLeast);
  } else {
    return false;
  }
  const int32_t kept = assoc->zoom;
  HWND hwnd = assoc->hwnd;
  assoc->zoom = zoom;
  if (!assoc_zoom(assoc)) {
    if (WindowAssoc* now = assoc_find(hwnd)) now->zoom = kept;
  }
  return true;
}

// The destruction callback hears of it first; the association ends before
// the window's own procedure sees the message.
LRESULT destroy(WindowAssoc* assoc, pw_window_proc next, uint32_t message, WPARAM wparam, LPARAM lparam) {
  HWND hwnd = assoc->hwnd;
  if (assoc->on_destroy != nullptr) assoc->on_destroy(assoc->user, assoc->image, handle_of(hwnd));
  if (WindowAssoc* now = assoc_find(hwnd)) {
    next = now->old_proc;
    assoc_remove(now);
  }
  return pass_on(next, hwnd, message, wparam, lparam);
}

// Handles a message for a window with a record; returns true when it was
// one of ours (the caller then passes it on, or not, by the window's kind).
bool handle(WindowAssoc* assoc, uint32_t message, WPARAM wparam) {
  switch (message) {
    case WM_PAINT:
      if (assoc->paint_on == 0) return false;
      paint(assoc);
      return true;
    case WM_SIZE:
      if (assoc->resize_on == 0) return false;
      size(assoc);
      return true;
    case WM_KEYDOWN: {
      uint32_t scroll_message = 0;
      int32_t code = 0;
      if (!key_scroll(wparam, &scroll_message, &code)) return false;
      pw_message_post(assoc->hwnd, scroll_message, static_cast<WPARAM>(code), 0);
      return true;
    }
    case WM_CHAR: return zoom_key(assoc, wparam);
    case WM_HSCROLL: scroll(assoc, SB_HORZ, wparam); return true;
    case WM_VSCROLL: scroll(assoc, SB_VERT, wparam); return true;
    default: return false;
  }
}

LRESULT window_proc(HWND hwnd, uint32_t message, WPARAM wparam, LPARAM lparam, bool subclassed) {
  WindowAssoc* assoc = assoc_find(hwnd);
  if (assoc == nullptr) return pass_on(subclassed ? pass_on_proc(hwnd) : nullptr, hwnd, message, wparam, lparam);
  pw_window_proc next = subclassed ? assoc->old_proc : nullptr;
  if (message == WM_DESTROY) return destroy(assoc, next, message, wparam, lparam);
  if (!handle(assoc, message, wparam)) return pass_on(next, hwnd, message, wparam, lparam);
  // What the handling ran (a paint) may have destroyed the window.
  if (subclassed && pw_window_valid(hwnd) != 0) return pass_on(next, hwnd, message, wparam, lparam);
  return 0;
}

}  // namespace

LRESULT assoc_class_proc(HWND hwnd, uint32_t message, WPARAM wparam, LPARAM lparam) {
  return window_proc(hwnd, message, wparam, lparam, false);
}

LRESULT assoc_subclass_proc(HWND hwnd, uint32_t message, WPARAM wparam, LPARAM lparam) {
  return window_proc(hwnd, message, wparam, lparam, true);
}

}  // namespace rx
