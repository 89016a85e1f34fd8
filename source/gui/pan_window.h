// Pan records: one per pan window (in its first extra word, and its
// property "PAN1" while a drag in it runs), or one per hand panning (the
// property "PAN1" of the image window, whose procedure is then the
// tracker's).
#pragma once

#include <cstdint>

#include "SUPPORT/image_rec.h"
#include "gui/tool_track.h"
#include "rastrix/rx_tools.h"

namespace rx {

struct PanRecord {
  ToolHead head;
  RX_HIMAGE image;
  HWND image_window;
  HWND pan_window;  // null for hand panning
  pg_rect place;    // where the whole image is drawn in the pan window
  pg_rect view;     // the image window's view, inverted in the pan window
  int32_t view_shown;
  RX_PAN_CALLBACK callback;
  uintptr_t user;
  pg_point last;    // hand panning: the last mouse point
  int32_t has_last;
  int32_t dragging;
  Tracking track;
};

// The live record in a pan window's extra word, or null.
PanRecord* pan_of(HWND hwnd);
// The pan window showing the image window, or null.
PanRecord* pan_window_for(HWND image_window);
// Places the whole image in the pan window again.
void pan_place(PanRecord* p);
// Moves the inverted view rectangle to the image window's view.
void pan_view_follow(PanRecord* p);

// Puts the image's device rectangle at (left, top) in the image window,
// clamped as views are, and lets the pan window, the callback and the
// image window know.
void pan_view_set(PanRecord* p, IMAGE_REC* record, int64_t left, int64_t top);

// Drags in the pan window: begin, a point, end.
bool pan_drag_begin(PanRecord* p);
void pan_drag_to(PanRecord* p, int32_t x, int32_t y);
void pan_drag_end(PanRecord* p);
// Engine stop: a pan window is destroyed, a hand panning ended.
void pan_close(PanRecord* p);
// The pan window class's procedure.
LRESULT pan_class_proc(HWND hwnd, uint32_t message, WPARAM wparam, LPARAM lparam);

}  // namespace rx
