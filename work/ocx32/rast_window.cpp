// The control's own window: made as a child of the host's window when the
// host activates the control in place, moved with the host's place, and
// gone on deactivation or release. Once an image is current the engine's
// association sees every message first; what it passes on lands here.
#include <algorithm>

#include "RastCtl.h"
#include "platform/gdi.h"
#include "platform/window.h"
#include "rast_dispids.h"
#include "rastrix/rx_display.h"
#include "rastrix/rx_window.h"

namespace rast {

using namespace com;

namespace {

constexpr const char* kClassName = "RAST32POControlWindow";
constexpr const char* kOwnerProperty = "RAST32PO";
constexpr uint32_t kStyle = WS_CHILD | WS_VISIBLE | WS_HSCROLL | WS_VSCROLL;

HWND hwnd_of(uintptr_t w) { return reinterpret_cast<HWND>(w); }

LRESULT control_window_proc(HWND hwnd, uint32_t message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_CREATE) {
    const auto* cs = reinterpret_cast<const pw_create_struct*>(lparam);
    if (cs != nullptr && cs->param != nullptr) pw_property_set(hwnd, kOwnerProperty, cs->param);
  }
  auto* ctrl = static_cast<CRastCtrl*>(pw_property_get(hwnd, kOwnerProperty));
  if (message == WM_NCDESTROY) pw_property_remove(hwnd, kOwnerProperty);
  if (ctrl == nullptr || message == WM_NCDESTROY)
    return pw_window_proc_default(hwnd, message, wparam, lparam);
  return ctrl->on_message(reinterpret_cast<uintptr_t>(hwnd), message, wparam, lparam);
}

bool class_ready() {
  pw_window_class known{};
  if (pw_class_info_get(kClassName, &known) != 0) return known.proc == control_window_proc;
  pw_window_class c{};
  c.proc = control_window_proc;
  c.cursor = PW_CURSOR_ARROW;
  c.name = kClassName;
  return pw_class_register(&c) != 0;
}

// The class's procedure lives in this library, which a host may unload:
// the class goes with the last window (the layer refuses while any
// window of it is left).
void class_release() { pw_class_unregister(kClassName); }

// A host's rectangle, its sides worked out in 64 bits: not inverted, and
// no wider or taller than a window of the layer can be.
constexpr int64_t kMostSide = 65535;
bool rect_usable(const int32_t* r) {
  if (r == nullptr) return false;
  const int64_t w = int64_t{r[2]} - r[0], h = int64_t{r[3]} - r[1];
  return w >= 0 && h >= 0 && w <= kMostSide && h <= kMostSide;
}

}  // namespace

HRESULT CRastCtrl::InPlaceActivate(uintptr_t parent, const int32_t* rect) {
  if (!rect_usable(rect)) return E_INVALIDARG;
  if (window_ != 0) return SetObjectRect(rect);
  if (pw_window_valid(hwnd_of(parent)) == 0) return E_INVALIDARG;
  if (!class_ready()) return E_FAIL;
  HWND hwnd = pw_window_create(0, kClassName, "", kStyle, rect[0], rect[1], rect[2] - rect[0],
                               rect[3] - rect[1], hwnd_of(parent), 0, this);
  if (hwnd == nullptr) {
    window_ = 0;
    class_release();
    return E_FAIL;
  }
  window_ = reinterpret_cast<uintptr_t>(hwnd);
  if (current_valid()) {
    set_err_count(associate_with_window());
    apply_display_settings();
  }
  return S_OK;
}

HRESULT CRastCtrl::SetObjectRect(const int32_t* rect) {
  if (!rect_usable(rect)) return E_INVALIDARG;
  if (window_ == 0) return E_FAIL;
  pw_window_move(hwnd_of(window_), rect[0], rect[1], rect[2] - rect[0], rect[3] - rect[1], 1);
  return S_OK;
}

HRESULT CRastCtrl::InPlaceDeactivate() {
  if (window_ == 0) return S_FALSE;
  HWND hwnd = hwnd_of(window_);
  window_ = 0;
  if (pw_window_valid(hwnd) != 0) pw_window_destroy(hwnd);
  class_release();
  return S_OK;
}

HRESULT CRastCtrl::GetWindow(uintptr_t* window) {
  if (window == nullptr) return E_POINTER;
  *window = window_;
  return window_ != 0 ? S_OK : E_FAIL;
}

// Design mode shows where the control sits even with nothing loaded; run
// mode leaves an empty place to the host.
HRESULT CRastCtrl::Draw(uintptr_t dc, const int32_t* bounds) {
  if (dc == 0 || !rect_usable(bounds)) return E_INVALIDARG;
  if (current_valid()) {
    std::copy(bounds, bounds + 4, device_rect_.begin());
    if (!user_mode()) RX_display_device_rect_set(current_, bounds);
    set_err_count(RX_display_image(current_, dc));
    return S_OK;
  }
  if (!user_mode()) {
    const pg_rect r{bounds[0], bounds[1], bounds[2], bounds[3]};
    pg_rect_fill(reinterpret_cast<HDC>(dc), &r, pg_stock_brush(PG_WHITE_BRUSH));
  }
  return S_OK;
}

int32_t CRastCtrl::associate_with_window() {
  if (window_ == 0 || !current_valid()) return 0;
  return RX_window_associate(current_, window_, 1);
}

// ---- Messages ------------------------------------------------------------

intptr_t CRastCtrl::on_message(uintptr_t window, uint32_t message, uintptr_t wparam,
                               intptr_t lparam) {
  // The window is the control's from its first message on.
  if (message == WM_CREATE) window_ = window;
  HWND hwnd = hwnd_of(window);
  const auto x = static_cast<int16_t>(PW_LOWORD(lparam));
  const auto y = static_cast<int16_t>(PW_HIWORD(lparam));
  switch (message) {
    case WM_CREATE: return on_create();
    case WM_ERASEBKGND: return on_erase_background(wparam);
    case WM_PAINT: on_paint(); return 0;
    case WM_HSCROLL:
    case WM_VSCROLL: on_scroll(message, wparam, lparam); return 0;
    case WM_MOUSEMOVE: on_mouse_move(wparam, x, y); return 0;
    case WM_CHAR: on_zoom_key(wparam); break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP: on_left_button(message, wparam, x, y); return 0;
    case WM_DESTROY: window_gone(); break;
    default: break;
  }
  return pw_window_proc_default(hwnd, message, wparam, lparam);
}

// With an image, the fit decides the client area record; without one it
// is the client area with the room the scroll bars take counted in, as
// the engine's zoom counts it.
intptr_t CRastCtrl::on_create() {
  HWND hwnd = hwnd_of(window_);
  if (current_valid()) {
    int32_t zoom = lng(kDispZoomLevel);
    RX_display_fit_set(current_, window_, client_rect_.data(), &zoom, 0);
    set_num(kDispZoomLevel, zoom);
  } else {
    pg_rect r{};
    pw_client_rect_get(hwnd, &r);
    const uint32_t style = pw_window_style_get(hwnd);
    if (style & WS_HSCROLL) r.bottom += pw_system_metric(SM_CYHSCROLL) - 1;
    if (style & WS_VSCROLL) r.right += pw_system_metric(SM_CXVSCROLL) - 1;
    client_rect_ = {r.left, r.top, r.right, r.bottom};
  }
  pw_scroll_bar_show(hwnd, SB_HORZ, 0);
  pw_scroll_bar_show(hwnd, SB_VERT, 0);
  return 0;
}

intptr_t CRastCtrl::on_erase_background(uintptr_t dc) {
  if (current_valid()) {
    const RX_RGBQUAD back{static_cast<uint8_t>((back_color_ >> 16) & 0xFF),
                          static_cast<uint8_t>((back_color_ >> 8) & 0xFF),
                          static_cast<uint8_t>(back_color_ & 0xFF), 0};
    RX_display_background_set(current_, 0, nullptr, &back, 1);
  } else {
    fill_client(dc, back_color_);
  }
  return 1;
}

void CRastCtrl::fill_client(uintptr_t dc, uint32_t colour) {
  HWND hwnd = hwnd_of(window_);
  HDC hdc = reinterpret_cast<HDC>(dc);
  const bool own = hdc == nullptr;
  if (own) hdc = pw_window_dc_get(hwnd);
  if (hdc == nullptr) return;
  pg_rect r{};
  pw_client_rect_get(hwnd, &r);
  HBRUSH brush = pg_brush_solid_create(colour & 0x00FFFFFFu);
  pg_rect_fill(hdc, &r, brush);
  pg_brush_delete(brush);
  if (own) pw_window_dc_release(hwnd, hdc);
}

void CRastCtrl::on_paint() {
  HWND hwnd = hwnd_of(window_);
  pw_paint ps{};
  pw_paint_begin(hwnd, &ps);
  if (flag(kDispPaintEvent)) events_.Fire(kEventPaint, nullptr, 0);
  pw_paint_end(hwnd, &ps);
}

void CRastCtrl::on_scroll(uint32_t message, uintptr_t wparam, intptr_t lparam) {
  update_tool_windows();
  pw_window_proc_default(hwnd_of(window_), message, wparam, lparam);
  if (!flag(kDispScrollEvent)) return;
  VARIANT arg;
  VariantInit(&arg);
  arg.vt = VT_I4;
  arg.lVal = message == WM_HSCROLL ? 0 : 1;
  events_.Fire(kEventScroll, &arg, 1);
}

// "+" and "-" have zoomed the image through the window's association
// before the control hears them: ZoomLevel reads the zoom they left.
void CRastCtrl::on_zoom_key(uintptr_t character) {
  if ((character != '+' && character != '-') || !current_valid()) return;
  int32_t zoom = 0;
  if (RX_window_zoom_get(window_, &zoom) != 0) return;
  set_num(kDispZoomLevel, zoom);
  update_tool_windows();
}

// The engine's association ends by itself when its window goes; the tool
// windows it owns go with it.
void CRastCtrl::window_gone() {
  tool_windows_close();
  window_ = 0;
}

}  // namespace rast
