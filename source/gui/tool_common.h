// What the tool windows share: their class names, checked handles, the
// image drawn through another device rectangle, and the clamping of a
// view in an image window.
#pragma once

#include <cstdint>

#include "SUPPORT/image_rec.h"
#include "platform/window.h"
#include "rastrix/rx_tools.h"
#include "rastrix/rx_types.h"

namespace rx {

inline constexpr char kMagnifyClass[] = RX_MAGNIFY_WINDOW_CLASS;
inline constexpr char kMagnifyPopupClass[] = RX_MAGNIFY_POPUP_CLASS;
inline constexpr char kPanClass[] = RX_PAN_WINDOW_CLASS;
// Redraw on size changes, byte-aligned.
inline constexpr uint32_t kToolClassStyle = CS_HREDRAW | CS_VREDRAW | CS_BYTEALIGNWINDOW;
// Room for the record's address.
inline constexpr int32_t kToolExtraBytes = 4;

inline HWND hwnd_of(uintptr_t window) { return reinterpret_cast<HWND>(window); }
inline uintptr_t handle_of(HWND hwnd) { return reinterpret_cast<uintptr_t>(hwnd); }

// The window when the layer knows it, else null after pushing
// RXE_INVALID_WINDOW_HANDLE.
HWND tool_window_enter(uintptr_t window);
// The image's record when it is valid, else null after pushing
// RXE_INVALID_HANDLE.
IMAGE_REC* tool_image_enter(RX_HIMAGE image);
// The record of a live image, or null.
IMAGE_REC* tool_image_live(RX_HIMAGE image);
bool window_of_class(HWND hwnd, const char* name);
// Makes a top-level tool window of the class whose client area has the
// size asked for; null after pushing RXE_CREATE_WINDOW_FAILED.
HWND tool_window_make(const char* cls, const char* caption, uint32_t style, int32_t x, int32_t y,
                      int32_t client_width, int32_t client_height);
// The checks a tool window's maker starts with, in order: the output
// (RXE_INVALID_POINTER; cleared to 0 when there is one), the image, the
// image window, and the client size (RXE_PARAMETERS_OUT_OF_LIMITS outside
// 1..65535). The image window, or null after pushing the first failure;
// `record` gets the image's record.
HWND tool_create_enter(RX_HIMAGE image, uintptr_t image_window, int32_t client_width,
                       int32_t client_height, uintptr_t* window, IMAGE_REC** record);

// Draws the image into the DC through `rect` instead of its own device
// rectangle, against the DC's clip box alone; the image's rectangle and
// clip are put back after.
void draw_through(IMAGE_REC* record, HDC dc, const double* rect);

// The image's device rectangle, truncated.
pg_rect device_rect_int(const IMAGE_REC* record);

// Where a view of `size` device pixels starts in a client extent of
// `client`: never leaving a gap where it is larger, at 0 (or centred)
// where it fits.
int64_t view_clamp(int64_t start, int64_t size, int64_t client, bool centred);

}  // namespace rx
