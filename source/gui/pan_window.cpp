// The pan window: the whole image with the image window's view inverted
// on it, and its public create and update.
#include "gui/pan_window.h"

#include <algorithm>

#include "DISPLAY/display_geometry.h"
#include "DISPLAY/fit_zoom.h"
#include "SUPPORT/error.h"
#include "gui/tool_common.h"
#include "rastrix/rastrix.h"

RX_SOURCE("source\\gui\\pan_window.cpp");

namespace rx {
namespace {

// Captioned, system menu, sizeable, both boxes.
constexpr uint32_t kPanStyle = 0x00CF0000u;
// 1-bit pages are shown reduced in greys.
constexpr int32_t kPanAliasMode = 2, kPanAliasQuality = 75;

bool empty(const pg_rect& r) { return r.right <= r.left || r.bottom <= r.top; }

void invert(HWND hwnd, const pg_rect& r) {
  if (empty(r)) return;
  HDC dc = pw_window_dc_get(hwnd);
  if (dc == nullptr) return;
  pg_rect_invert(dc, &r);
  pw_window_dc_release(hwnd, dc);
}

// The image window's visible part of the image, mapped from its device
// rectangle onto the place of the whole image in the pan window.
pg_rect view_of(const PanRecord* p) {
  IMAGE_REC* record = tool_image_live(p->image);
  if (record == nullptr || pw_window_valid(p->image_window) == 0 || empty(p->place)) return {};
  pg_rect client{};
  pw_client_rect_get(p->image_window, &client);
  const pg_rect dr = device_rect_int(record);
  const int64_t dw = int64_t{dr.right} - dr.left, dh = int64_t{dr.bottom} - dr.top;
  if (dw <= 0 || dh <= 0) return {};
  const int64_t pw = p->place.right - p->place.left, ph = p->place.bottom - p->place.top;
  const int64_t l = std::max(client.left, dr.left), t = std::max(client.top, dr.top);
  const int64_t r = std::min(client.right, dr.right), b = std::min(client.bottom, dr.bottom);
  if (r <= l || b <= t) return {};
  return pg_rect{static_cast<int32_t>(p->place.left + scale_floor(l - dr.left, pw, dw)),
                 static_cast<int32_t>(p->place.top + scale_floor(t - dr.top, ph, dh)),
                 static_cast<int32_t>(p->place.left + scale_ceil(r - dr.left, pw, dw)),
                 static_cast<int32_t>(p->place.top + scale_ceil(b - dr.top, ph, dh))};
}

void draw_whole(const PanRecord* p, IMAGE_REC* record, HDC dc) {
  const double rect[4] = {double(p->place.left), double(p->place.top), double(p->place.right),
                          double(p->place.bottom)};
  const bool bilevel = dib_header(record->dib)->biBitCount == 1;
  int32_t mode = 0, quality = 0, variant = 0;
  if (bilevel) {
    RX_display_alias_get(p->image, &mode, &quality, &variant);
    RX_display_alias_set(p->image, kPanAliasMode, kPanAliasQuality, variant);
  }
  draw_through(record, dc, rect);
  if (bilevel) RX_display_alias_set(p->image, mode, quality, variant);
}

void paint(HWND hwnd) {
  pw_paint ps{};
  HDC dc = pw_paint_begin(hwnd, &ps);
  if (dc == nullptr) return;
  if (PanRecord* p = pan_of(hwnd)) {
    if (IMAGE_REC* record = tool_image_live(p->image)) draw_whole(p, record, dc);
    p->view = view_of(p);
    p->view_shown = empty(p->view) ? 0 : 1;
    if (p->view_shown != 0) pg_rect_invert(dc, &p->view);
  }
  pw_paint_end(hwnd, &ps);
}

void redraw(HWND hwnd) {
  pw_window_invalidate(hwnd, nullptr, 1);
  pw_window_update(hwnd);
}

// A pan window of the engine's, else null after pushing why not.
PanRecord* pan_enter(uintptr_t window) {
  HWND hwnd = tool_window_enter(window);
  if (hwnd == nullptr) return nullptr;
  PanRecord* p = window_of_class(hwnd, kPanClass) ? pan_of(hwnd) : nullptr;
  if (p == nullptr) RX_ERR(RXE_INVALID_WINDOW_HANDLE, 1, 0);
  return p;
}

}  // namespace

PanRecord* pan_of(HWND hwnd) {
  auto* p = reinterpret_cast<PanRecord*>(pw_window_extra_get(hwnd, 0));
  return tool_record_listed(p, ToolKind::kPan) ? p : nullptr;
}

PanRecord* pan_window_for(HWND image_window) {
  for (ToolHead* h = tool_records_first(); h != nullptr; h = h->next) {
    if (h->kind != ToolKind::kPan) continue;
    auto* p = reinterpret_cast<PanRecord*>(h);
    if (p->pan_window != nullptr && p->image_window == image_window) return p;
  }
  return nullptr;
}

// Keeping proportions, the whole image fits inside the client area, at
// its top-left corner or centred; stretching, it fills it.
void pan_place(PanRecord* p) {
  pg_rect client{};
  pw_client_rect_get(p->pan_window, &client);
  p->place = client;
  IMAGE_REC* record = tool_image_live(p->image);
  if (record == nullptr) return;
  const DISPLAY_ATTR& d = record->display;
  if (d.aspect_mode < RX_ASPECT_INSIDE || d.aspect_mode > RX_ASPECT_FILL) return;
  const int64_t iw = int64_t{d.image_rect[2]} - d.image_rect[0] + 1;
  const int64_t ih = int64_t{d.image_rect[3]} - d.image_rect[1] + 1;
  const int64_t cw = client.right, ch = client.bottom;
  if (iw <= 0 || ih <= 0 || cw <= 0 || ch <= 0) return;
  int64_t w = cw, h = ch;
  // Rounded to whole pixels: floor(x + 1/2) as floor((2x + 1) / 2).
  if (iw * ch <= ih * cw) w = std::max<int64_t>(1, (2 * iw * ch + ih) / (2 * ih));
  else h = std::max<int64_t>(1, (2 * ih * cw + iw) / (2 * iw));
  const bool centred = d.centered != 0;
  const int64_t left = centred ? (cw - w) / 2 : 0, top = centred ? (ch - h) / 2 : 0;
  p->place = pg_rect{static_cast<int32_t>(left), static_cast<int32_t>(top), static_cast<int32_t>(left + w),
                     static_cast<int32_t>(top + h)};
}

void pan_view_follow(PanRecord* p) {
  HWND hwnd = p->pan_window;
  if (p->view_shown != 0) invert(hwnd, p->view);
  p->view = view_of(p);
  p->view_shown = empty(p->view) ? 0 : 1;
  if (p->view_shown != 0) invert(hwnd, p->view);
}

void pan_view_set(PanRecord* p, IMAGE_REC* record, int64_t left, int64_t top) {
  HWND iw = p->image_window;
  pg_rect client{};
  pw_client_rect_get(iw, &client);
  const pg_rect dr = device_rect_int(record);
  const int64_t w = int64_t{dr.right} - dr.left, h = int64_t{dr.bottom} - dr.top;
  const bool centred = record->display.centered != 0;
  left = view_clamp(left, w, client.right, centred);
  top = view_clamp(top, h, client.bottom, centred);
  double* d = record->display.device_rect;
  d[0] = double(left);
  d[1] = double(top);
  d[2] = double(left + w);
  d[3] = double(top + h);
  if (pw_window_valid(iw) != 0) view_moved(record, iw);
  if (PanRecord* shown_in = p->pan_window != nullptr ? p : pan_window_for(iw)) pan_view_follow(shown_in);
  const int32_t rect[4] = {static_cast<int32_t>(left), static_cast<int32_t>(top), static_cast<int32_t>(left + w),
                           static_cast<int32_t>(top + h)};
  if (p->callback != nullptr) p->callback(p->user, handle_of(iw), rect);
  if (pw_window_valid(iw) != 0) redraw(iw);
}

LRESULT pan_class_proc(HWND hwnd, uint32_t message, WPARAM wparam, LPARAM lparam) {
  PanRecord* p = pan_of(hwnd);
  if (p == nullptr) return pw_window_proc_default(hwnd, message, wparam, lparam);
  const int32_t x = PW_GET_X_LPARAM(lparam), y = PW_GET_Y_LPARAM(lparam);
  switch (message) {
    case WM_PAINT: paint(hwnd); return 0;
    case WM_SIZE: pan_place(p); break;
    case WM_LBUTTONDOWN:
      if (p->dragging != 0 || pan_drag_begin(p)) pan_drag_to(p, x, y);
      return 0;
    case WM_MOUSEMOVE:
      if (p->dragging != 0) pan_drag_to(p, x, y);
      return 0;
    case WM_LBUTTONUP: pan_drag_end(p); return 0;
    case WM_DESTROY:
      pan_drag_end(p);
      pw_window_extra_set(hwnd, 0, 0);
      tool_record_free(p);
      break;
    default: break;
  }
  return pw_window_proc_default(hwnd, message, wparam, lparam);
}

}  // namespace rx

using namespace rx;

extern "C" int32_t RX_pan_window_create(RX_HIMAGE image, uintptr_t image_window, const char* caption, int32_t x,
                                        int32_t y, int32_t client_width, int32_t client_height,
                                        uintptr_t* window) {
  error_clear();
  IMAGE_REC* record = nullptr;
  HWND iw = tool_create_enter(image, image_window, client_width, client_height, window, &record);
  if (iw == nullptr) return error_count();
  auto* p = tool_new<PanRecord>(ToolKind::kPan);
  if (p == nullptr) return error_count();
  p->image = image;
  p->image_window = iw;
  HWND hwnd = tool_window_make(kPanClass, caption, kPanStyle, x, y, client_width, client_height);
  if (hwnd == nullptr) {
    tool_record_free(p);
    return error_count();
  }
  p->pan_window = hwnd;
  pw_window_extra_set(hwnd, 0, reinterpret_cast<intptr_t>(p));
  pan_place(p);
  pw_window_show(hwnd, SW_SHOWNA);
  redraw(hwnd);
  *window = handle_of(hwnd);
  return error_count();
}

extern "C" int32_t RX_pan_update(RX_HIMAGE image, uintptr_t pan_window, int32_t full) {
  error_clear();
  if (tool_image_enter(image) == nullptr) return error_count();
  PanRecord* p = pan_enter(pan_window);
  if (p == nullptr) return error_count();
  p->image = image;
  if (full != 0) {
    pan_place(p);
    redraw(p->pan_window);
  } else {
    pan_view_follow(p);
  }
  return error_count();
}
