// Panning by the mouse: drags in the pan window, which centre the image
// window's view on the mouse, and hand panning in the image window, which
// moves the image with the mouse; and the public start.
#include <algorithm>

#include "DISPLAY/display_geometry.h"
#include "SUPPORT/error.h"
#include "gui/pan_window.h"
#include "gui/tool_common.h"

RX_SOURCE("source\\gui\\pan_track.cpp");

namespace rx {
namespace {

LRESULT hand_proc(HWND hwnd, uint32_t message, WPARAM wparam, LPARAM lparam);

// The pan window takes its own messages; an image window is subclassed.
const TrackKind kDragTrack{"PAN1", "PAN1.proc", nullptr, ToolKind::kPan};
const TrackKind kHandTrack{"PAN1", "PAN1.hand", hand_proc, ToolKind::kPan};

void hand_end(PanRecord* p) {
  track_end(&p->track, kHandTrack);
  tool_record_free(p);
}

void hand_move(PanRecord* p, int32_t x, int32_t y) {
  if (p->has_last == 0) {
    p->last = pg_point{x, y};
    p->has_last = 1;
    return;
  }
  const int64_t dx = int64_t{x} - p->last.x, dy = int64_t{y} - p->last.y;
  p->last = pg_point{x, y};
  IMAGE_REC* record = tool_image_live(p->image);
  if (record == nullptr || (dx == 0 && dy == 0)) return;
  const pg_rect dr = device_rect_int(record);
  pan_view_set(p, record, dr.left + dx, dr.top + dy);
}

LRESULT hand_proc(HWND hwnd, uint32_t message, WPARAM wparam, LPARAM lparam) {
  auto* p = static_cast<PanRecord*>(track_record(hwnd, kHandTrack));
  const pw_window_proc next = track_next(hwnd, kHandTrack, p != nullptr ? &p->track : nullptr);
  if (p == nullptr) return track_pass(next, hwnd, message, wparam, lparam);
  switch (message) {
    case WM_MOUSEMOVE: hand_move(p, PW_GET_X_LPARAM(lparam), PW_GET_Y_LPARAM(lparam)); break;
    case WM_LBUTTONUP:
    case WM_DESTROY: hand_end(p); break;
    default: break;
  }
  return track_pass(next, hwnd, message, wparam, lparam);
}

void hand_start(RX_HIMAGE image, HWND hwnd, RX_PAN_CALLBACK callback, uintptr_t user) {
  if (auto* old = static_cast<PanRecord*>(track_record(hwnd, kHandTrack))) hand_end(old);
  auto* p = tool_new<PanRecord>(ToolKind::kPan);
  if (p == nullptr) return;
  p->image = image;
  p->image_window = hwnd;
  p->callback = callback;
  p->user = user;
  if (!track_begin(&p->track, hwnd, kHandTrack, p, PW_CURSOR_PAN)) tool_record_free(p);
}

}  // namespace

bool pan_drag_begin(PanRecord* p) {
  if (!track_begin(&p->track, p->pan_window, kDragTrack, p, PW_CURSOR_PAN)) return false;
  p->dragging = 1;
  return true;
}

// The point is taken from the pan window into the image window's device
// space, and the view moved so that it lies at the client's centre.
void pan_drag_to(PanRecord* p, int32_t x, int32_t y) {
  IMAGE_REC* record = tool_image_live(p->image);
  const int64_t pw = int64_t{p->place.right} - p->place.left, ph = int64_t{p->place.bottom} - p->place.top;
  if (record == nullptr || pw <= 0 || ph <= 0 || pw_window_valid(p->image_window) == 0) return;
  pg_rect client{};
  pw_client_rect_get(p->image_window, &client);
  const pg_rect dr = device_rect_int(record);
  const int64_t dw = int64_t{dr.right} - dr.left, dh = int64_t{dr.bottom} - dr.top;
  const int64_t at_x = dr.left + scale_floor(int64_t{x} - p->place.left, dw, pw);
  const int64_t at_y = dr.top + scale_floor(int64_t{y} - p->place.top, dh, ph);
  pan_view_set(p, record, dr.left + client.right / 2 - at_x, dr.top + client.bottom / 2 - at_y);
}

void pan_drag_end(PanRecord* p) {
  if (p->dragging == 0) return;
  p->dragging = 0;
  track_end(&p->track, kDragTrack);
}

void pan_close(PanRecord* p) {
  if (p->pan_window != nullptr) pw_window_destroy(p->pan_window);
  else hand_end(p);
}

}  // namespace rx

using namespace rx;

extern "C" int32_t RX_pan_start(RX_HIMAGE image, uintptr_t window, RX_PAN_CALLBACK callback, uintptr_t user) {
  error_clear();
  if (tool_image_enter(image) == nullptr) return error_count();
  HWND hwnd = tool_window_enter(window);
  if (hwnd == nullptr) return error_count();
  PanRecord* p = window_of_class(hwnd, kPanClass) ? pan_of(hwnd) : nullptr;
  if (p == nullptr) {
    hand_start(image, hwnd, callback, user);
    return error_count();
  }
  pan_drag_end(p);
  p->image = image;
  p->callback = callback;
  p->user = user;
  pan_drag_begin(p);
  return error_count();
}
