// Checked handles, tool window creation, drawing through another
// rectangle and the view clamp.
#include "gui/tool_common.h"

#include <algorithm>
#include <cstring>

#include "DISPLAY/display_draw.h"
#include "DISPLAY/display_geometry.h"
#include "SUPPORT/error.h"
#include "rastrix/rpb.h"

RX_SOURCE("source\\gui\\tool_common.cpp");

namespace rx {
namespace {

// Client sizes a caller may ask for.
bool client_size_ok(int32_t width, int32_t height) {
  return width >= 1 && width <= 65535 && height >= 1 && height <= 65535;
}

}  // namespace

HWND tool_window_enter(uintptr_t window) {
  HWND hwnd = hwnd_of(window);
  if (window != 0 && pw_window_valid(hwnd) != 0) return hwnd;
  RX_ERR(RXE_INVALID_WINDOW_HANDLE, 0, 0);
  return nullptr;
}

IMAGE_REC* tool_image_live(RX_HIMAGE image) {
  return RPb_iRX_image_is_valid(image) != 0 ? record_of(image) : nullptr;
}

IMAGE_REC* tool_image_enter(RX_HIMAGE image) {
  IMAGE_REC* record = tool_image_live(image);
  if (record == nullptr) RX_ERR(RXE_INVALID_HANDLE, 0, 0);
  return record;
}

bool window_of_class(HWND hwnd, const char* name) {
  char got[64] = {};
  pw_window_class_name(hwnd, got, sizeof got);
  return std::strcmp(got, name) == 0;
}

HWND tool_create_enter(RX_HIMAGE image, uintptr_t image_window, int32_t client_width,
                       int32_t client_height, uintptr_t* window, IMAGE_REC** record) {
  if (window == nullptr) {
    RX_ERR(RXE_INVALID_POINTER, 0, 0);
    return nullptr;
  }
  *window = 0;
  *record = tool_image_enter(image);
  if (*record == nullptr) return nullptr;
  HWND iw = tool_window_enter(image_window);
  if (iw == nullptr) return nullptr;
  if (!client_size_ok(client_width, client_height)) {
    RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, client_width, client_height);
    return nullptr;
  }
  return iw;
}

HWND tool_window_make(const char* cls, const char* caption, uint32_t style, int32_t x, int32_t y,
                      int32_t client_width, int32_t client_height) {
  pg_rect r{0, 0, client_width, client_height};
  pw_window_rect_adjust(&r, style);
  // The layer leaves scroll bars out of the frame; the client area asked
  // for lies beside them.
  if ((style & WS_VSCROLL) != 0) r.right += pw_system_metric(SM_CXVSCROLL);
  if ((style & WS_HSCROLL) != 0) r.bottom += pw_system_metric(SM_CYHSCROLL);
  HWND hwnd = pw_window_create(0, cls, caption != nullptr ? caption : "", style, x, y, r.right - r.left,
                               r.bottom - r.top, nullptr, 0, nullptr);
  if (hwnd == nullptr) RX_ERR(RXE_CREATE_WINDOW_FAILED, client_width, client_height);
  return hwnd;
}

void draw_through(IMAGE_REC* record, HDC dc, const double* rect) {
  DISPLAY_ATTR& d = record->display;
  double kept_rect[4];
  int32_t kept_clip[4];
  std::copy(d.device_rect, d.device_rect + 4, kept_rect);
  std::copy(d.clip_rect, d.clip_rect + 4, kept_clip);
  const int32_t kept_on = d.clip_on;
  std::copy(rect, rect + 4, d.device_rect);
  d.clip_on = 0;
  display_draw(record, dc);
  std::copy(kept_rect, kept_rect + 4, d.device_rect);
  std::copy(kept_clip, kept_clip + 4, d.clip_rect);
  d.clip_on = kept_on;
}

pg_rect device_rect_int(const IMAGE_REC* record) {
  const IRect r = device_rect_of(record->display);
  return pg_rect{static_cast<int32_t>(r.left), static_cast<int32_t>(r.top), static_cast<int32_t>(r.right),
                 static_cast<int32_t>(r.bottom)};
}

int64_t view_clamp(int64_t start, int64_t size, int64_t client, bool centred) {
  if (size >= client) return std::clamp(start, client - size, int64_t{0});
  return centred ? (client - size) / 2 : 0;
}

}  // namespace rx
