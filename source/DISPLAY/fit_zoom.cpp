// Zoom, fit, centring and scrolling of an image in a window. The aspect
// mode places the image in a target rectangle; the zoom scales that place
// and positions it against the client area and the scroll positions. The
// zoom state keeps the target and placed rectangles, the centre of the
// view as a fraction of the zoomed size (so a new zoom keeps the same
// point in the middle), the zoom and the scroll bars shown.
#include <algorithm>
#include <cmath>

#include "DISPLAY/fit_zoom.h"

#include "DISPLAY/display_geometry.h"
#include "SUPPORT/error.h"
#include "SUPPORT/image_api.h"
#include "platform/window.h"
#include "rastrix/rx_display.h"

RX_SOURCE("source\\DISPLAY\\fit_zoom.cpp");

namespace rx {
namespace {

struct DRect {
  double left, top, right, bottom;
  double width() const { return right - left; }
  double height() const { return bottom - top; }
};

// Fractions of the zoomed size are kept in units of 1/65536.
constexpr int64_t kRatioOne = 65536;
// Zoom state word 3: the bars shown, and that the window has scroll bars.
constexpr int32_t kStateHorizontal = 1, kStateVertical = 2, kStateBars = 4;
// A line of scrolling is a tenth of the client area.
constexpr int64_t kLinesPerPage = 10;

HWND window_of(uintptr_t window) { return reinterpret_cast<HWND>(window); }

bool window_valid(uintptr_t window) {
  if (window != 0 && pw_window_valid(window_of(window)) != 0) return true;
  RX_ERR(RXE_INVALID_WINDOW_HANDLE, 0, 0);
  return false;
}

// The image's size as it is placed: turned for 1-bit images drawn at 90 or
// 270 degrees, and with the pixel-aspect flag shaped by the image's and the
// screen's resolutions, the axis of the larger resolution reduced.
void placed_size(IMAGE_REC* record, HWND hwnd, double* w, double* h) {
  const RX_BITMAPINFOHEADER* hd = dib_header(record->dib);
  *w = hd->biWidth;
  *h = hd->biHeight;
  const DISPLAY_ATTR& d = record->display;
  if (d.pixel_aspect != 0) {
    const double xr = double(record->x_res[0]) / std::max(record->x_res[1], 1);
    const double yr = double(record->y_res[0]) / std::max(record->y_res[1], 1);
    HDC dc = pw_window_dc_get(hwnd);
    const double sx = std::max(pg_device_caps(dc, PG_LOGPIXELSX), 1);
    const double sy = std::max(pg_device_caps(dc, PG_LOGPIXELSY), 1);
    pw_window_dc_release(hwnd, dc);
    if (xr > 0 && yr > 0) {
      const double a = (yr / xr) * (sx / sy);  // one pixel's width over its height, on screen
      if (a < 1) *w *= a;
      else *h /= a;
    }
  }
  if (hd->biBitCount == 1 && (d.rotation == 1 || d.rotation == 3)) std::swap(*w, *h);
}

DRect width_fit(const DRect& t, double w, double h) {
  const double fh = t.width() / w * h;
  return DRect{t.left, t.top + (t.height() - fh) / 2, t.right, t.top + (t.height() - fh) / 2 + fh};
}

DRect height_fit(const DRect& t, double w, double h) {
  const double fw = t.height() / h * w;
  return DRect{t.left + (t.width() - fw) / 2, t.top, t.left + (t.width() - fw) / 2 + fw, t.bottom};
}

// Places an image of w x h in the target by the aspect mode; without the
// centred flag the placed rectangle moves to the target's corner.
DRect aspect_place(const DRect& t, double w, double h, int32_t mode, bool centered) {
  DRect r = t;
  switch (mode) {
    case RX_ASPECT_INSIDE:
      r = width_fit(t, w, h);
      if (r.height() > t.height()) r = height_fit(t, w, h);
      break;
    case RX_ASPECT_WIDTH: r = width_fit(t, w, h); break;
    case RX_ASPECT_HEIGHT: r = height_fit(t, w, h); break;
    case RX_ASPECT_FILL:
      r = width_fit(t, w, h);
      if (r.height() < t.height()) r = height_fit(t, w, h);
      break;
    default: return t;
  }
  if (!centered) r = DRect{t.left, t.top, t.left + r.width(), t.top + r.height()};
  return r;
}

// Rounded by adding one half and taking the integer below, so that a
// rectangle keeps its size wherever it lies.
int64_t rounded(double v) {
  if (!(std::fabs(v) < 4.0e18)) return 0;
  return static_cast<int64_t>(std::floor(v + 0.5));
}

struct Area {
  pg_rect client{};   // inside the scroll bars shown
  int64_t full_w = 0, full_h = 0;  // with the scroll bars shown
  int32_t bar = 0;
  bool bars = false;  // the window has scroll bars in its style
};

Area area_of(HWND hwnd) {
  Area a;
  pw_client_rect_get(hwnd, &a.client);
  const uint32_t style = pw_window_style_get(hwnd);
  a.bar = pw_system_metric(SM_CXVSCROLL);
  a.full_w = a.client.right + ((style & WS_VSCROLL) ? a.bar : 0);
  a.full_h = a.client.bottom + ((style & WS_HSCROLL) ? a.bar : 0);
  a.bars = (style & (WS_HSCROLL | WS_VSCROLL)) != 0;
  return a;
}

void bar_set(HWND hwnd, int32_t bar, bool needed, int64_t extent, int64_t page, int64_t pos) {
  pw_scroll_info si{};
  si.mask = PW_SIF_RANGE | PW_SIF_PAGE | PW_SIF_POS;
  si.min = 0;
  si.max = needed ? static_cast<int32_t>(extent - 1) : 0;
  si.page = needed ? static_cast<uint32_t>(page) : 0;
  si.pos = static_cast<int32_t>(pos);
  pw_scroll_info_set(hwnd, bar, &si, 1);
}

// One axis of a zoom: the scroll position and the device start.
struct Axis {
  bool scroll = false;
  int64_t pos = 0, start = 0;
};

Axis axis_place(int64_t size, int64_t client, int64_t placed_start, int64_t placed_size, int32_t ratio,
                bool has_state, bool centered) {
  Axis a;
  a.scroll = size > client;
  if (a.scroll) {
    const int64_t centre = has_state ? int64_t{ratio} * size / kRatioOne : 0;
    a.pos = std::clamp<int64_t>(centre - client / 2, 0, size - client);
    a.start = -a.pos;
  } else {
    a.start = centered ? placed_start + (placed_size - size) / 2 : placed_start;
  }
  return a;
}

int32_t ratio_of(const Axis& a, int64_t size, int64_t client) {
  if (!a.scroll) return static_cast<int32_t>(kRatioOne / 2);
  return static_cast<int32_t>((a.pos + client / 2) * kRatioOne / size);
}

int32_t clamp32(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

// The zoom proper, with the aspect mode given. A fresh zoom (a fit) starts
// at the top-left corner instead of keeping the view's centre.
bool zoom_apply(IMAGE_REC* record, HWND hwnd, int32_t percent, const int32_t* rect, int32_t aspect,
                bool fresh = false) {
  if (percent < 1) {
    RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, percent, 0);
    return false;
  }
  DISPLAY_ATTR& d = record->display;
  const Area area = area_of(hwnd);
  const DRect target = rect != nullptr ? DRect{double(rect[0]), double(rect[1]), double(rect[2]), double(rect[3])}
                                       : DRect{0, 0, double(area.full_w), double(area.full_h)};
  double w = 0, h = 0;
  placed_size(record, hwnd, &w, &h);
  const DRect placed = aspect_place(target, w, h, aspect, d.centered != 0);
  const int64_t pl = rounded(placed.left), pt = rounded(placed.top);
  const int64_t pr = rounded(placed.right), pb = rounded(placed.bottom);
  const int64_t zw = std::max<int64_t>((pr - pl) * percent / 100, 1);
  const int64_t zh = std::max<int64_t>((pb - pt) * percent / 100, 1);
  if (zw > RX_DISPLAY_MAX_EXTENT || zh > RX_DISPLAY_MAX_EXTENT) {
    RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, percent, 0);
    return false;
  }
  const bool bars = area.bars || (d.scroll[3] & kStateBars) != 0;
  int64_t cw = bars ? area.full_w : area.client.right;
  int64_t ch = bars ? area.full_h : area.client.bottom;
  if (bars) {
    // A bar for one axis takes room from the other, which may then need one.
    const bool need_v = zh > ch, need_h = zw > cw;
    if (need_v) cw -= area.bar;
    if (need_h) ch -= area.bar;
    if (!need_v && zh > ch) cw -= area.bar;
    if (!need_h && zw > cw) ch -= area.bar;
    cw = std::max<int64_t>(cw, 1);
    ch = std::max<int64_t>(ch, 1);
  }
  const bool has_state = d.scroll[2] > 0 && !fresh;
  const Axis x = axis_place(zw, cw, pl, pr - pl, d.scroll[0], has_state, d.centered != 0);
  const Axis y = axis_place(zh, ch, pt, pb - pt, d.scroll[1], has_state, d.centered != 0);
  d.device_rect[0] = double(x.start);
  d.device_rect[1] = double(y.start);
  d.device_rect[2] = double(x.start + zw);
  d.device_rect[3] = double(y.start + zh);
  const int64_t t[4] = {rounded(target.left), rounded(target.top), rounded(target.right), rounded(target.bottom)};
  for (int i = 0; i < 4; ++i) d.zoom_rect[i] = clamp32(t[i]);
  d.zoom_rect[4] = clamp32(pl);
  d.zoom_rect[5] = clamp32(pt);
  d.zoom_rect[6] = clamp32(pr);
  d.zoom_rect[7] = clamp32(pb);
  d.scroll[0] = ratio_of(x, zw, cw);
  d.scroll[1] = ratio_of(y, zh, ch);
  d.scroll[2] = percent;
  d.scroll[3] = (x.scroll ? kStateHorizontal : 0) | (y.scroll ? kStateVertical : 0) | (bars ? kStateBars : 0);
  if (bars) {
    bar_set(hwnd, SB_HORZ, x.scroll, zw, cw, x.pos);
    bar_set(hwnd, SB_VERT, y.scroll, zh, ch, y.pos);
  }
  pw_window_invalidate(hwnd, nullptr, 1);
  pw_window_update(hwnd);
  return true;
}

// Fits the width (or the height) into the area; when the other extent
// then passes the client area, a scroll bar's room is taken off and the
// fit tried again; if that fits, the room is put back.
void fit_one_axis(IMAGE_REC* record, HWND hwnd, const Area& area, bool width, int32_t* t) {
  double w = 0, h = 0;
  placed_size(record, hwnd, &w, &h);
  auto other = [&]() {
    const DRect r = aspect_place(DRect{double(t[0]), double(t[1]), double(t[2]), double(t[3])}, w, h,
                                 width ? RX_ASPECT_WIDTH : RX_ASPECT_HEIGHT, true);
    return width ? r.height() : r.width();
  };
  const double limit = double(width ? area.full_h : area.full_w);
  int32_t& edge = width ? t[2] : t[3];
  if (other() <= limit) return;
  edge -= area.bar;
  if (other() <= limit) edge += area.bar;
}

}  // namespace

void view_moved(IMAGE_REC* record, HWND hwnd) {
  DISPLAY_ATTR& d = record->display;
  const IRect dev = device_rect_of(d);
  pg_rect client{};
  pw_client_rect_get(hwnd, &client);
  const uint32_t style = pw_window_style_get(hwnd);
  for (int i = 0; i < 2; ++i) {
    const bool horizontal = i == 0;
    const int64_t size = horizontal ? dev.width() : dev.height();
    const int64_t page = std::max<int64_t>(horizontal ? client.right : client.bottom, 1);
    if (size <= page) continue;
    const int64_t pos = std::clamp<int64_t>(-(horizontal ? dev.left : dev.top), 0, size - page);
    d.scroll[i] = static_cast<int32_t>((pos + page / 2) * kRatioOne / size);
    if (style & (horizontal ? WS_HSCROLL : WS_VSCROLL))
      pw_scroll_pos_set(hwnd, horizontal ? SB_HORZ : SB_VERT, static_cast<int32_t>(pos), 1);
  }
}

}  // namespace rx

using namespace rx;

extern "C" int32_t RX_display_zoom_set(RX_HIMAGE image, uintptr_t window, int32_t percent,
                                       const int32_t* rect) {
  IMAGE_REC* record = image_enter(image);
  if (record == nullptr) return 0;
  if (image_header(record) == nullptr || !window_valid(window)) return error_count();
  zoom_apply(record, window_of(window), percent, rect, record->display.aspect_mode);
  return error_count();
}

extern "C" int32_t RX_display_fit_set(RX_HIMAGE image, uintptr_t window, int32_t* rect_out,
                                      int32_t* zoom_out, int32_t method) {
  IMAGE_REC* record = image_enter(image);
  if (record == nullptr) return 0;
  if (method < 0 || method > 3) return 0;
  if (image_header(record) == nullptr || !window_valid(window)) return error_count();
  HWND hwnd = window_of(window);
  const Area area = area_of(hwnd);
  int32_t t[4] = {0, 0, clamp32(area.full_w), clamp32(area.full_h)};
  int32_t aspect = record->display.aspect_mode;
  if (method == 1 || method == 2) {
    aspect = method == 1 ? RX_ASPECT_WIDTH : RX_ASPECT_HEIGHT;
    fit_one_axis(record, hwnd, area, method == 1, t);
  } else if (method == 3) {
    double w = 0, h = 0;
    placed_size(record, hwnd, &w, &h);
    t[2] = clamp32(rounded(w));
    t[3] = clamp32(rounded(h));
    aspect = RX_ASPECT_STRETCH;
  }
  if (zoom_apply(record, hwnd, 100, t, aspect, true)) {
    if (rect_out != nullptr) std::copy(t, t + 4, rect_out);
    if (zoom_out != nullptr) *zoom_out = 100;
  }
  return error_count();
}

extern "C" int32_t RX_display_centered_set(RX_HIMAGE image, uintptr_t window, int32_t flag) {
  IMAGE_REC* record = image_enter(image);
  if (record == nullptr) return 0;
  DISPLAY_ATTR& d = record->display;
  d.centered = flag != 0 ? 1 : 0;
  if (window == 0) return 0;
  if (image_header(record) == nullptr || !window_valid(window)) return error_count();
  const bool has_state = d.scroll[2] > 0;
  const int32_t target[4] = {d.zoom_rect[0], d.zoom_rect[1], d.zoom_rect[2], d.zoom_rect[3]};
  zoom_apply(record, window_of(window), has_state ? d.scroll[2] : 100, has_state ? target : nullptr,
             d.aspect_mode);
  return error_count();
}

extern "C" int32_t RX_display_zoom_state_get(RX_HIMAGE image, int32_t* zoom_rect8, int32_t* scroll4) {
  IMAGE_REC* record = image_enter(image);
  if (record == nullptr) return 0;
  if (zoom_rect8 != nullptr) std::copy(record->display.zoom_rect, record->display.zoom_rect + 8, zoom_rect8);
  if (scroll4 != nullptr) std::copy(record->display.scroll, record->display.scroll + 4, scroll4);
  return 0;
}

extern "C" int32_t RX_display_scroll(RX_HIMAGE image, uintptr_t window, int32_t bar, int32_t code,
                                     int32_t position) {
  IMAGE_REC* record = image_enter(image);
  if (record == nullptr) return 0;
  if (!window_valid(window)) return error_count();
  if (bar != SB_HORZ && bar != SB_VERT) {
    RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, bar, code);
    return error_count();
  }
  HWND hwnd = window_of(window);
  DISPLAY_ATTR& d = record->display;
  const bool horizontal = bar == SB_HORZ;
  const IRect dev = device_rect_of(d);
  pg_rect client{};
  pw_client_rect_get(hwnd, &client);
  const int64_t size = horizontal ? dev.width() : dev.height();
  const int64_t page = std::max<int64_t>(horizontal ? client.right : client.bottom, 1);
  if (size <= page) return 0;
  const int64_t old_pos = -(horizontal ? dev.left : dev.top);
  const int64_t line = std::max<int64_t>(page / kLinesPerPage, 1);
  int64_t pos = old_pos;
  switch (code) {
    case SB_LINEUP: pos -= line; break;
    case SB_LINEDOWN: pos += line; break;
    case SB_PAGEUP: pos -= page; break;
    case SB_PAGEDOWN: pos += page; break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: pos = position; break;
    case SB_TOP: pos = 0; break;
    case SB_BOTTOM: pos = size - page; break;
    default: return 0;
  }
  pos = std::clamp<int64_t>(pos, 0, size - page);
  const int64_t delta = pos - old_pos;
  if (delta == 0) return 0;
  const int i = horizontal ? 0 : 1;
  d.device_rect[i] -= double(delta);
  d.device_rect[i + 2] -= double(delta);
  d.scroll[i] = static_cast<int32_t>((pos + page / 2) * kRatioOne / size);
  pw_scroll_pos_set(hwnd, bar, static_cast<int32_t>(pos), 1);
  pw_window_scroll(hwnd, horizontal ? clamp32(-delta) : 0, horizontal ? 0 : clamp32(-delta));
  pw_window_update(hwnd);
  return 0;
}
