// The magnifier: one record per magnify window (in its first extra word),
// or per pop-up tracking (in the pop-up's). While the mouse button is
// down the record is also the property "MAG1" of the image window, whose
// procedure is then the tracker's.
#pragma once

#include <cstdint>

#include "gui/tool_track.h"
#include "rastrix/rx_types.h"

namespace rx {

struct Magnifier {
  ToolHead head;
  RX_HIMAGE image;
  pg_point point;          // the last mouse point, image window coordinates
  pg_rect feedback;        // the examined area inverted in the image window
  int32_t feedback_shown;
  HWND popup;              // pop-up mode, while tracking
  HWND image_window;
  HWND magnify_window;     // null in pop-up mode
  Tracking track;
};

// The pop-up's size, and its magnification.
inline constexpr int32_t kPopupSize = 150;
inline constexpr int32_t kPopupZoom = 8;
// The magnify window's scroll bar: magnification = position + 1.
inline constexpr int32_t kZoomBarMax = 15;
inline constexpr int32_t kZoomBarStart = 7;
inline constexpr int32_t kZoomBarPage = kZoomBarMax / 4 + 1;

// The live record in a magnify or pop-up window's extra word, or null.
Magnifier* magnifier_of(HWND hwnd);
int32_t magnification(const Magnifier* m);

// Ends the tracking: gives the image window back, takes the feedback away
// and, in pop-up mode, destroys the pop-up and frees the record.
void magnifier_end(Magnifier* m);
// The magnify window is going: tracking ends and the record is freed.
void magnifier_window_gone(Magnifier* m);
// Engine stop: a magnify window is destroyed, a pop-up tracking ended.
void magnifier_close(Magnifier* m);

// The window procedures of the two classes.
LRESULT magnify_class_proc(HWND hwnd, uint32_t message, WPARAM wparam, LPARAM lparam);
LRESULT magnify_popup_proc(HWND hwnd, uint32_t message, WPARAM wparam, LPARAM lparam);

}  // namespace rx
