// Rubber-band selection: a dotted frame drawn by exclusive-or from the
// press point to the mouse, moved by drawing the old frame again and then
// the new one.
#include "gui/rubber_band.h"

#include <algorithm>

#include "SUPPORT/error.h"
#include "gui/tool_common.h"
#include "gui/tool_track.h"
#include "rastrix/rx_tools.h"

RX_SOURCE("source\\gui\\rubber_band.cpp");

namespace rx {
namespace {

struct Selection {
  ToolHead head;
  pg_point anchor, now;
  pg_rect drawn;  // the frame on the window
  int32_t shown;
  RX_SELECT_CALLBACK callback;
  uintptr_t user;
  Tracking track;
};

LRESULT track_proc(HWND hwnd, uint32_t message, WPARAM wparam, LPARAM lparam);

const TrackKind kSelectTrack{"SEL1", "SEL1.proc", track_proc, ToolKind::kSelect};

pg_rect normalised(const Selection* s) {
  return pg_rect{std::min(s->anchor.x, s->now.x), std::min(s->anchor.y, s->now.y), std::max(s->anchor.x, s->now.x),
                 std::max(s->anchor.y, s->now.y)};
}

// Points are held to the client area, so the rectangle never reaches
// outside the window however far the captured mouse goes.
pg_point held(HWND hwnd, int32_t x, int32_t y) {
  pg_rect client{};
  pw_client_rect_get(hwnd, &client);
  return pg_point{std::clamp(x, 0, client.right), std::clamp(y, 0, client.bottom)};
}

void frame(HWND hwnd, const pg_rect& r) {
  HDC dc = pw_window_dc_get(hwnd);
  if (dc == nullptr) return;
  pg_focus_rect_draw(dc, &r);
  pw_window_dc_release(hwnd, dc);
}

void frame_hide(Selection* s) {
  if (s->shown == 0) return;
  frame(s->track.hwnd, s->drawn);
  s->shown = 0;
}

// An empty rectangle draws nothing.
void frame_show(Selection* s) {
  frame_hide(s);
  const pg_rect r = normalised(s);
  if (r.right <= r.left || r.bottom <= r.top) return;
  frame(s->track.hwnd, r);
  s->drawn = r;
  s->shown = 1;
}

// Everything is given back before the callback hears of the rectangle.
void finish(Selection* s, bool tell) {
  frame_hide(s);
  track_end(&s->track, kSelectTrack);
  const pg_rect r = normalised(s);
  const RX_SELECT_CALLBACK callback = tell ? s->callback : nullptr;
  const uintptr_t user = s->user;
  const uintptr_t window = handle_of(s->track.hwnd);
  tool_record_free(s);
  const int32_t rect[4] = {r.left, r.top, r.right, r.bottom};
  if (callback != nullptr) callback(user, window, rect);
}

LRESULT paint_around(Selection* s, pw_window_proc next, HWND hwnd, WPARAM wparam, LPARAM lparam) {
  const bool shown = s->shown != 0;
  if (shown) frame(hwnd, s->drawn);
  const LRESULT result = track_pass(next, hwnd, WM_PAINT, wparam, lparam);
  if (shown && track_record(hwnd, kSelectTrack) == s && s->shown != 0) frame(hwnd, s->drawn);
  return result;
}

LRESULT track_proc(HWND hwnd, uint32_t message, WPARAM wparam, LPARAM lparam) {
  auto* s = static_cast<Selection*>(track_record(hwnd, kSelectTrack));
  const pw_window_proc next = track_next(hwnd, kSelectTrack, s != nullptr ? &s->track : nullptr);
  if (s == nullptr) return track_pass(next, hwnd, message, wparam, lparam);
  switch (message) {
    case WM_MOUSEMOVE:
      s->now = held(hwnd, PW_GET_X_LPARAM(lparam), PW_GET_Y_LPARAM(lparam));
      frame_show(s);
      break;
    case WM_LBUTTONUP:
      s->now = held(hwnd, PW_GET_X_LPARAM(lparam), PW_GET_Y_LPARAM(lparam));
      finish(s, true);
      break;
    case WM_DESTROY: finish(s, false); break;
    case WM_PAINT: return paint_around(s, next, hwnd, wparam, lparam);
    default: break;
  }
  return track_pass(next, hwnd, message, wparam, lparam);
}

}  // namespace

void selection_close(void* record) { finish(static_cast<Selection*>(record), false); }

}  // namespace rx

using namespace rx;

extern "C" int32_t RX_select_start(uintptr_t window, int32_t x, int32_t y, RX_SELECT_CALLBACK callback,
                                   uintptr_t user) {
  error_clear();
  HWND hwnd = tool_window_enter(window);
  if (hwnd == nullptr) return error_count();
  if (auto* old = static_cast<Selection*>(track_record(hwnd, kSelectTrack))) finish(old, false);
  auto* s = tool_new<Selection>(ToolKind::kSelect);
  if (s == nullptr) return error_count();
  s->anchor = s->now = held(hwnd, x, y);
  s->callback = callback;
  s->user = user;
  if (!track_begin(&s->track, hwnd, kSelectTrack, s, 0)) tool_record_free(s);
  return error_count();
}
