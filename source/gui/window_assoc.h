// The association of a window with an image: one record per window,
// attached as the window property "RAST1" and recognised by its marker.
// Records also sit on a list of their own, so that a property some other
// code set under the same name is never taken for one.
#pragma once

#include <cstdint>

#include "platform/window.h"
#include "rastrix/rx_window.h"

namespace rx {

inline constexpr char kAssocProperty[] = "RAST1";
// When other code subclassed the window after us, ending the association
// cannot take our procedure out of its chain; the procedure we replaced is
// then kept under this property, and ours passes every message to it.
inline constexpr char kPassOnProperty[] = "RAST1.proc";
inline constexpr uint32_t kAssocMarker = 0xA1B47FAA;
inline constexpr char kWindowClassName[] = "RASTWindowClass";
// "+" and "-" change the zoom by a step; "-" stops at the least.
inline constexpr int32_t kZoomStep = 25;
inline constexpr int32_t kZoomLeast = 25;

struct WindowAssoc {
  uint32_t pool;    // memory tag owning the record and its linked table
  uint32_t marker;  // kAssocMarker while the record is valid
  RX_HIMAGE image;
  pw_window_proc old_proc;  // null for windows of the engine's class
  int32_t zoom;             // percent
  int32_t paint_on;
  int32_t resize_on;
  pg_rect rect;             // where the image is zoomed, client coordinates
  int32_t rect_follows;     // the rectangle is the client area, kept up on sizes
  RX_WINDOW_DESTROY_CB on_destroy;
  uintptr_t user;
  int32_t linked_count;
  RX_HIMAGE* linked;  // RX_WINDOW_LINK_MAX slots once the first image is linked; 0: free
  HWND hwnd;
  WindowAssoc* next;  // the list of live records
  int32_t zooming;    // set while the image is zoomed: scroll bars that come or go
                      // then change the client size, which must not zoom again
};

// The window's valid record, or null.
WindowAssoc* assoc_find(HWND hwnd);
// A new zero-filled record on the list, or null after pushing
// RXE_MEMORY_ALLOC_FAILED.
WindowAssoc* assoc_create(HWND hwnd);
// Takes the record off the window (property and procedure) and frees it;
// false after pushing RXE_MEMORY_FREE_FAILED.
bool assoc_remove(WindowAssoc* assoc);
// Removes every record (engine stop).
void assoc_remove_all();

// The procedure kept under kPassOnProperty, or null; and its removal.
pw_window_proc pass_on_proc(HWND hwnd);
pw_window_proc pass_on_proc_take(HWND hwnd);

// The window procedures: the engine's class's and the one that subclasses
// other windows.
LRESULT assoc_class_proc(HWND hwnd, uint32_t message, WPARAM wparam, LPARAM lparam);
LRESULT assoc_subclass_proc(HWND hwnd, uint32_t message, WPARAM wparam, LPARAM lparam);

// Zooms the record's image at its zoom within its rectangle (the whole
// client area with any scroll bars while the rectangle follows it); the
// display engine pushes what fails. Returns whether it succeeded.
bool assoc_zoom(WindowAssoc* assoc);

}  // namespace rx
