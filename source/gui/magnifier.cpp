// The magnifier's public functions and its tracking in the image window.
#include "gui/magnifier.h"

#include <algorithm>

#include "SUPPORT/error.h"
#include "gui/tool_common.h"
#include "rastrix/rastrix.h"

RX_SOURCE("source\\gui\\magnifier.cpp");

namespace rx {
namespace {

LRESULT track_proc(HWND hwnd, uint32_t message, WPARAM wparam, LPARAM lparam);

const TrackKind kMagTrack{"MAG1", "MAG1.proc", track_proc, ToolKind::kMagnifier};
// A magnify window: captioned, system menu, sizeable, both boxes, the
// vertical zoom bar.
constexpr uint32_t kMagnifyStyle = 0x00EF0000u;
constexpr uint32_t kPopupStyle = WS_POPUP | WS_BORDER;

void invert(HWND hwnd, const pg_rect& r) {
  HDC dc = pw_window_dc_get(hwnd);
  if (dc == nullptr) return;
  pg_rect_invert(dc, &r);
  pw_window_dc_release(hwnd, dc);
}

// The area the magnify window shows: its client size over the
// magnification, centred on the point and kept inside the image's device
// rectangle, never left of or above its origin.
pg_rect examined(const Magnifier* m, const pg_rect& dr) {
  pg_rect client{};
  pw_client_rect_get(m->magnify_window, &client);
  const int32_t zoom = magnification(m);
  const int32_t w = client.right / zoom, h = client.bottom / zoom;
  int32_t left = m->point.x - w / 2, top = m->point.y - h / 2;
  left = std::max(left, dr.left);
  top = std::max(top, dr.top);
  left = std::max(std::min(left, dr.right - w), dr.left);
  top = std::max(std::min(top, dr.bottom - h), dr.top);
  return pg_rect{left, top, left + w, top + h};
}

void feedback_hide(Magnifier* m) {
  if (m->feedback_shown == 0) return;
  invert(m->image_window, m->feedback);
  m->feedback_shown = 0;
}

void feedback_show(Magnifier* m) {
  feedback_hide(m);
  IMAGE_REC* record = tool_image_live(m->image);
  if (record == nullptr || pw_window_valid(m->magnify_window) == 0) return;
  m->feedback = examined(m, device_rect_int(record));
  if (m->feedback.right <= m->feedback.left || m->feedback.bottom <= m->feedback.top) return;
  invert(m->image_window, m->feedback);
  m->feedback_shown = 1;
}

void redraw(HWND hwnd) {
  pw_window_invalidate(hwnd, nullptr, 1);
  pw_window_update(hwnd);
}

pg_point popup_origin(HWND image_window, pg_point p) {
  pw_client_to_screen(image_window, &p);
  return pg_point{p.x - kPopupSize / 2, p.y - kPopupSize / 2};
}

void moved(Magnifier* m, int32_t x, int32_t y) {
  m->point = pg_point{x, y};
  if (m->magnify_window != nullptr) {
    feedback_show(m);
    redraw(m->magnify_window);
    return;
  }
  const pg_point at = popup_origin(m->image_window, m->point);
  pw_window_move(m->popup, at.x, at.y, kPopupSize, kPopupSize, 0);
  redraw(m->popup);
}

// The feedback is taken away for the window's own painting and drawn
// again over it.
LRESULT paint_around(Magnifier* m, pw_window_proc next, HWND hwnd, WPARAM wparam, LPARAM lparam) {
  const bool shown = m->feedback_shown != 0;
  if (shown) invert(hwnd, m->feedback);
  const LRESULT result = track_pass(next, hwnd, WM_PAINT, wparam, lparam);
  auto* now = static_cast<Magnifier*>(track_record(hwnd, kMagTrack));
  if (shown && now == m && m->feedback_shown != 0) invert(hwnd, m->feedback);
  return result;
}

LRESULT track_proc(HWND hwnd, uint32_t message, WPARAM wparam, LPARAM lparam) {
  auto* m = static_cast<Magnifier*>(track_record(hwnd, kMagTrack));
  const pw_window_proc next = track_next(hwnd, kMagTrack, m != nullptr ? &m->track : nullptr);
  if (m == nullptr) return track_pass(next, hwnd, message, wparam, lparam);
  switch (message) {
    case WM_MOUSEMOVE: moved(m, PW_GET_X_LPARAM(lparam), PW_GET_Y_LPARAM(lparam)); break;
    case WM_LBUTTONUP:
    case WM_DESTROY: magnifier_end(m); break;
    case WM_PAINT: return paint_around(m, next, hwnd, wparam, lparam);
    default: break;
  }
  return track_pass(next, hwnd, message, wparam, lparam);
}

void end_running(HWND image_window) {
  if (auto* old = static_cast<Magnifier*>(track_record(image_window, kMagTrack))) magnifier_end(old);
}

void start_persistent(Magnifier* m, RX_HIMAGE image, int32_t x, int32_t y) {
  HWND iw = m->image_window;
  if (pw_window_valid(iw) == 0) {
    RX_ERR(RXE_INVALID_WINDOW_HANDLE, 1, 0);
    return;
  }
  end_running(iw);
  m->image = image;
  m->point = pg_point{x, y};
  if (!track_begin(&m->track, iw, kMagTrack, m, PW_CURSOR_MAGNIFY)) return;
  feedback_show(m);
  redraw(m->magnify_window);
}

void start_popup(RX_HIMAGE image, HWND iw, int32_t x, int32_t y) {
  end_running(iw);
  auto* m = tool_new<Magnifier>(ToolKind::kMagnifier);
  if (m == nullptr) return;
  m->image = image;
  m->image_window = iw;
  m->point = pg_point{x, y};
  const pg_point at = popup_origin(iw, m->point);
  m->popup = pw_window_create(0, kMagnifyPopupClass, "", kPopupStyle, at.x, at.y, kPopupSize, kPopupSize, nullptr,
                              0, nullptr);
  if (m->popup == nullptr) {
    RX_ERR(RXE_CREATE_WINDOW_FAILED, kPopupSize, kPopupSize);
    tool_record_free(m);
    return;
  }
  pw_window_extra_set(m->popup, 0, reinterpret_cast<intptr_t>(m));
  if (!track_begin(&m->track, iw, kMagTrack, m, 0)) {
    pw_window_destroy(m->popup);
    tool_record_free(m);
    return;
  }
  pw_window_show(m->popup, SW_SHOWNA);
  redraw(m->popup);
}

}  // namespace

void magnifier_end(Magnifier* m) {
  feedback_hide(m);
  track_end(&m->track, kMagTrack);
  if (m->magnify_window != nullptr) return;
  if (HWND popup = m->popup) {
    m->popup = nullptr;
    pw_window_extra_set(popup, 0, 0);
    pw_window_destroy(popup);
  }
  tool_record_free(m);
}

void magnifier_window_gone(Magnifier* m) {
  if (m->track.on != 0) magnifier_end(m);
  tool_record_free(m);
}

void magnifier_close(Magnifier* m) {
  if (m->magnify_window != nullptr) pw_window_destroy(m->magnify_window);
  else magnifier_end(m);
}

}  // namespace rx

using namespace rx;

extern "C" int32_t RX_magnify_window_create(RX_HIMAGE image, uintptr_t owner, const char* caption, int32_t x,
                                            int32_t y, int32_t client_width, int32_t client_height,
                                            uintptr_t* window) {
  error_clear();
  IMAGE_REC* record = nullptr;
  HWND iw = tool_create_enter(image, owner, client_width, client_height, window, &record);
  if (iw == nullptr) return error_count();
  auto* m = tool_new<Magnifier>(ToolKind::kMagnifier);
  if (m == nullptr) return error_count();
  m->image = image;
  m->image_window = iw;
  const pg_rect dr = device_rect_int(record);
  m->point = pg_point{std::max(dr.left, 0), std::max(dr.top, 0)};
  HWND hwnd = tool_window_make(kMagnifyClass, caption, kMagnifyStyle, x, y, client_width, client_height);
  if (hwnd == nullptr) {
    tool_record_free(m);
    return error_count();
  }
  m->magnify_window = hwnd;
  pw_window_extra_set(hwnd, 0, reinterpret_cast<intptr_t>(m));
  pw_scroll_info bar{PW_SIF_RANGE | PW_SIF_POS, 0, kZoomBarMax, 0, kZoomBarStart, 0};
  pw_scroll_info_set(hwnd, SB_VERT, &bar, 1);
  pw_window_show(hwnd, SW_SHOWNA);
  redraw(hwnd);
  *window = handle_of(hwnd);
  return error_count();
}

extern "C" int32_t RX_magnify_image_set(RX_HIMAGE image, uintptr_t window) {
  error_clear();
  if (tool_image_enter(image) == nullptr) return error_count();
  HWND hwnd = tool_window_enter(window);
  if (hwnd == nullptr) return error_count();
  Magnifier* m = window_of_class(hwnd, kMagnifyClass) ? magnifier_of(hwnd) : nullptr;
  if (m == nullptr) {
    RX_ERR(RXE_INVALID_WINDOW_HANDLE, 1, 0);
    return error_count();
  }
  m->image = image;
  redraw(hwnd);
  return error_count();
}

extern "C" int32_t RX_magnify_start(RX_HIMAGE image, uintptr_t window, int32_t x, int32_t y) {
  error_clear();
  if (tool_image_enter(image) == nullptr) return error_count();
  HWND hwnd = tool_window_enter(window);
  if (hwnd == nullptr) return error_count();
  if (window_of_class(hwnd, kMagnifyClass)) {
    if (Magnifier* m = magnifier_of(hwnd)) start_persistent(m, image, x, y);
    else RX_ERR(RXE_INVALID_WINDOW_HANDLE, 1, 0);
  } else {
    start_popup(image, hwnd, x, y);
  }
  return error_count();
}
