// Painting the magnified view, the zoom scroll bar and the procedures of
// the magnify and pop-up windows.
#include <algorithm>

#include "SUPPORT/error.h"
#include "gui/magnifier.h"
#include "gui/tool_common.h"

RX_SOURCE("source\\gui\\magnify_paint.cpp");

namespace rx {
namespace {

// One axis of the enlarged device rectangle: the image's span [lo, hi)
// scaled by `zoom` about `point`, so that the point lands at the client's
// middle. Persistent windows keep the enlarged span covering the client
// where it can (far edge first, then the origin); the pop-up only pulls a
// span that stops short of its near edge against that edge, unless the
// display is centred.
void enlarged_axis(int64_t lo, int64_t hi, int64_t point, int64_t client, int64_t zoom, bool persistent,
                   bool centred, double* start, double* end) {
  const int64_t size = (hi - lo) * zoom;
  int64_t s = client / 2 - (point - lo) * zoom;
  if (persistent) {
    s = std::max(s, client - size);
    s = std::min(s, int64_t{0});
  } else if (s > 0 && !centred) {
    s = 0;
  }
  *start = static_cast<double>(s);
  *end = static_cast<double>(s + size);
}

void paint(HWND hwnd) {
  pw_paint ps{};
  HDC dc = pw_paint_begin(hwnd, &ps);
  if (dc == nullptr) return;
  Magnifier* m = magnifier_of(hwnd);
  IMAGE_REC* record = m != nullptr ? tool_image_live(m->image) : nullptr;
  if (record != nullptr) {
    pg_rect client{};
    pw_client_rect_get(hwnd, &client);
    const pg_rect dr = device_rect_int(record);
    const int64_t zoom = magnification(m);
    const bool persistent = m->magnify_window != nullptr, centred = record->display.centered != 0;
    double rect[4];
    enlarged_axis(dr.left, dr.right, m->point.x, client.right, zoom, persistent, centred, &rect[0], &rect[2]);
    enlarged_axis(dr.top, dr.bottom, m->point.y, client.bottom, zoom, persistent, centred, &rect[1], &rect[3]);
    draw_through(record, dc, rect);
  }
  pw_paint_end(hwnd, &ps);
}

int32_t bar_target(HWND hwnd, WPARAM wparam) {
  const int32_t pos = pw_scroll_pos_get(hwnd, SB_VERT);
  switch (PW_LOWORD(wparam)) {
    case SB_LINEUP: return pos - 1;
    case SB_LINEDOWN: return pos + 1;
    case SB_PAGEUP: return pos - kZoomBarPage;
    case SB_PAGEDOWN: return pos + kZoomBarPage;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: return static_cast<int16_t>(PW_HIWORD(wparam));
    case SB_TOP: return 0;
    case SB_BOTTOM: return kZoomBarMax;
    default: return pos;
  }
}

void zoom_bar(HWND hwnd, WPARAM wparam) {
  const int32_t pos = std::clamp(bar_target(hwnd, wparam), 0, kZoomBarMax);
  if (pos == pw_scroll_pos_get(hwnd, SB_VERT)) return;
  pw_scroll_pos_set(hwnd, SB_VERT, pos, 1);
  pw_window_invalidate(hwnd, nullptr, 1);
  pw_window_update(hwnd);
}

}  // namespace

Magnifier* magnifier_of(HWND hwnd) {
  auto* m = reinterpret_cast<Magnifier*>(pw_window_extra_get(hwnd, 0));
  return tool_record_listed(m, ToolKind::kMagnifier) ? m : nullptr;
}

int32_t magnification(const Magnifier* m) {
  if (m->magnify_window == nullptr) return kPopupZoom;
  return std::clamp(pw_scroll_pos_get(m->magnify_window, SB_VERT), 0, kZoomBarMax) + 1;
}

LRESULT magnify_class_proc(HWND hwnd, uint32_t message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_PAINT: paint(hwnd); return 0;
    case WM_VSCROLL: zoom_bar(hwnd, wparam); return 0;
    case WM_DESTROY:
      if (Magnifier* m = magnifier_of(hwnd)) magnifier_window_gone(m);
      pw_window_extra_set(hwnd, 0, 0);
      break;
    default: break;
  }
  return pw_window_proc_default(hwnd, message, wparam, lparam);
}

LRESULT magnify_popup_proc(HWND hwnd, uint32_t message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_PAINT) {
    paint(hwnd);
    return 0;
  }
  return pw_window_proc_default(hwnd, message, wparam, lparam);
}

}  // namespace rx
