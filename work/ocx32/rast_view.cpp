// How the control shows its current image: the display properties passed
// to the image's display record, the view rectangles, the zoom to a
// rectangle, redrawing and the transition between two held images.
#include <algorithm>
#include <climits>
#include <cstdlib>

#include "RastCtl.h"
#include "platform/window.h"
#include "rast_dispids.h"
#include "rastrix/rpb.h"
#include "rastrix/rx_display.h"
#include "rastrix/rx_window.h"

namespace rast {

using namespace com;

namespace {

HWND hwnd_of(uintptr_t w) { return reinterpret_cast<HWND>(w); }

// The engine gives a window scroll bars when its style has them (and from
// then on shows each as the zoom needs it), so ScrollBars is the style.
void scroll_bars_allow(uintptr_t window, bool on) {
  if (window == 0) return;
  HWND hwnd = hwnd_of(window);
  const uint32_t style = pw_window_style_get(hwnd);
  const uint32_t bars = WS_HSCROLL | WS_VSCROLL;
  pw_window_style_set(hwnd, on ? (style | bars) : (style & ~bars));
}

}  // namespace

void CRastCtrl::paint_option(bool on) {
  if (window_ != 0) RX_window_option_set(window_, RX_WINDOW_PAINT, on ? 1u : 0u);
}

// Repaints at once, but only while AutoRedraw lets the window paint.
void CRastCtrl::redraw() {
  if (!flag(kDispAutoRedraw) || window_ == 0) return;
  pw_window_invalidate(hwnd_of(window_), nullptr, 0);
  pw_window_update(hwnd_of(window_));
}

// A newly attached image takes the control's display properties, in the
// order the display record expects them (the fit last, so the zoom it
// chooses lands in ZoomLevel).
// Without a window nothing shows the image: the settings wait for the
// in-place activation, and a windowless host keeps its load's error stack.
void CRastCtrl::apply_display_settings() {
  if (!current_valid() || window_ == 0) return;
  paint_option(false);
  scroll_bars_allow(window_, flag(kDispScrollBars));
  RX_display_ROP_set(current_, static_cast<uint32_t>(lng(kDispDrawMode)));
  RX_display_dither_mode_set(current_, lng(kDispDitherMode));
  RX_display_aspect_set(current_, lng(kDispAspectRatio));
  const int32_t alias = lng(kDispAliasMode);
  RX_display_alias_set(current_, alias < 3 ? alias : alias - 2, lng(kDispAliasQuality), alias > 2);
  RX_display_rotation_set(current_, lng(kDispDisplayAngle));
  RX_display_dither_mode_set(current_, lng(kDispDitherMode));
  RX_display_centered_set(current_, 0, lng(kDispDisplayCentered));
  RX_display_LUT_set(current_, dbl(kDispDisplayContrast), dbl(kDispDisplayBrightness),
                     dbl(kDispDisplayGamma));
  const RX_RGBQUAD back{static_cast<uint8_t>((back_color_ >> 16) & 0xFF),
                        static_cast<uint8_t>((back_color_ >> 8) & 0xFF),
                        static_cast<uint8_t>(back_color_ & 0xFF), 0};
  RX_display_background_set(current_, 0, nullptr, &back, 1);
  fit(lng(kDispFitMethod));
  paint_option(flag(kDispAutoRedraw));
}

// The fit and the zoom go through the window's association, which zooms
// again whenever the client area changes size: scroll bars that a zoom
// brings or takes away do that, and the association must then keep the
// zoom the host chose rather than go back to its own. Without an
// association (no window) the display engine is called as it is.
int32_t CRastCtrl::fit(int32_t method) {
  int32_t zoom = lng(kDispZoomLevel);
  const int32_t errors =
      associated() ? RX_window_fit_set(window_, method, client_rect_.data(), &zoom)
                 : RX_display_fit_set(current_, window_, client_rect_.data(), &zoom, method);
  set_num(kDispZoomLevel, zoom);
  return errors;
}

bool CRastCtrl::associated() const {
  int32_t zoom = 0;
  return window_ != 0 && RX_window_zoom_get(window_, &zoom) == 0;
}

// The client area record is the whole window when the last fit filled it;
// the association then follows the window's size rather than keep a
// rectangle.
bool CRastCtrl::client_rect_whole() const {
  HWND hwnd = hwnd_of(window_);
  pg_rect r{};
  pw_client_rect_get(hwnd, &r);
  const uint32_t style = pw_window_style_get(hwnd);
  if (style & WS_HSCROLL) r.bottom += pw_system_metric(SM_CYHSCROLL);
  if (style & WS_VSCROLL) r.right += pw_system_metric(SM_CXVSCROLL);
  return client_rect_ == std::array<int32_t, 4>{r.left, r.top, r.right, r.bottom};
}

// The change routines of the display members; false for other members.
bool CRastCtrl::put_view(int32_t dispid) {
  switch (dispid) {
    case kDispDisplayGamma:
    case kDispDisplayBrightness:
    case kDispDisplayContrast: on_display_lut(); break;
    case kDispZoomLevel: on_zoom_level(); break;
    case kDispAspectRatio:
      if (current_valid()) {
        set_err_count(RX_display_aspect_set(current_, lng(kDispAspectRatio)));
        redraw();
      }
      break;
    case kDispDitherMode:
      if (current_valid()) {
        set_err_count(RX_display_dither_mode_set(current_, lng(kDispDitherMode)));
        if (window_ != 0) RX_display_palette_realize(current_, window_, 0, nullptr);
        redraw();
      }
      break;
    case kDispAliasMode:
      if (current_valid()) on_alias();
      break;
    case kDispAliasQuality: on_alias(); break;
    case kDispDisplayAngle: on_display_angle(); break;
    case kDispDrawMode:
      if (current_valid())
        set_err_count(RX_display_ROP_set(current_, static_cast<uint32_t>(lng(kDispDrawMode))));
      break;
    case kDispFitMethod: on_fit_method(); break;
    case kDispDisplayCentered:
      if (current_valid()) {
        set_err_count(RX_display_centered_set(current_, window_, lng(kDispDisplayCentered)));
        redraw();
      }
      break;
    case kDispTransparent: on_transparent(); break;
    case kDispScrollBars:
      if (current_valid()) {
        scroll_bars_allow(window_, flag(kDispScrollBars));
        redraw();
      }
      break;
    case kDispAutoRedraw: on_auto_redraw(); break;
    case kDispRedraw:
      if (current_valid() && flag(kDispRedraw)) redraw();
      break;
    case kDispClearImage: on_clear_image(); break;
    case kDispDisplayEffectIndex: on_display_effect_index(); break;
    default: return false;
  }
  set_modified();
  return true;
}

void CRastCtrl::on_display_lut() {
  if (!current_valid()) return;
  set_err_count(RX_display_LUT_set(current_, dbl(kDispDisplayContrast),
                                   dbl(kDispDisplayBrightness), dbl(kDispDisplayGamma)));
  redraw();
}

// The display engine keeps the point at the centre of the view there.
void CRastCtrl::on_zoom_level() {
  if (!current_valid()) return;
  if (associated())
    set_err_count(RX_window_zoom_rect_set(window_, lng(kDispZoomLevel),
                                          client_rect_whole() ? nullptr : client_rect_.data()));
  else
    set_err_count(RX_display_zoom_set(current_, window_, lng(kDispZoomLevel), client_rect_.data()));
  error_check();
  update_tool_windows();
}

// Modes above 2 are the ink-keeping variants of modes 1 and 2.
void CRastCtrl::on_alias() {
  const int32_t alias = lng(kDispAliasMode);
  set_err_count(RX_display_alias_set(current_, alias < 3 ? alias : alias - 2,
                                     lng(kDispAliasQuality), alias > 2 ? 1 : 0));
  error_check();
  redraw();
}

// The value has been mapped to 0..3 already; a refused one never gets
// here (rast_write_shape.cpp).
void CRastCtrl::on_display_angle() {
  if (!current_valid() || RPb_AF_error_check() != 0) return;
  if (RX_display_rotation_set(current_, lng(kDispDisplayAngle)) == 0) redraw();
  refresh_image_info();
  update_tool_windows();
}

void CRastCtrl::on_fit_method() {
  if (!current_valid()) return;
  set_err_count(fit(lng(kDispFitMethod)));
  redraw();
  update_tool_windows();
}

void CRastCtrl::on_transparent() {
  if (!current_valid()) return;
  RX_RGBQUAD colour{};
  int32_t on = 0;
  switch (lng(kDispTransparent)) {
    case 0:
      RX_display_transparent_get(current_, &colour, &on);
      set_err_count(RX_display_transparent_set(current_, &colour, 0));
      break;
    case 1:
      colour = {colour_byte(2), colour_byte(1), colour_byte(0), 0};
      set_err_count(RX_display_transparent_set(current_, &colour, 1));
      [[fallthrough]];
    case 2:
      RX_display_transparent_get(current_, &colour, &on);
      colour_ = {colour.rgbRed, colour.rgbGreen, colour.rgbBlue};
      break;
    default: break;
  }
}

void CRastCtrl::on_auto_redraw() {
  if (window_ != 0 && current_valid()) paint_option(flag(kDispAutoRedraw));
}

void CRastCtrl::on_clear_image() {
  if (!current_valid() || !flag(kDispClearImage) || window_ == 0) return;
  fill_client(0, back_color_);
}

// ---- View rectangles ---------------------------------------------------------

// The part of the image the client area shows, limited to the image.
int32_t CRastCtrl::view_rect(int32_t dispid) {
  if (!current_valid() || window_ == 0) return 0;
  pg_rect r{};
  pw_client_rect_get(hwnd_of(window_), &r);
  int32_t left = 0, top = 0, right = 0, bottom = 0;
  RX_display_device_to_image(current_, r.left, r.top, &left, &top);
  RX_display_device_to_image(current_, r.right, r.bottom, &right, &bottom);
  switch (dispid) {
    case kDispZoomLeft: return std::max(left, 0);
    case kDispZoomTop: return std::max(top, 0);
    case kDispZoomRight: return std::min(right, lng(kDispImageWidth) - 1);
    default: return std::min(bottom, lng(kDispImageHeight) - 1);
  }
}

int32_t CRastCtrl::device_rect(int32_t dispid) {
  if (!current_valid()) return 0;
  int32_t r[4] = {};
  RX_display_device_rect_get(current_, r);
  return r[dispid - kDispDeviceRectLeft];
}

// Zooms so that the rectangle (image pixels) fills the client area as far
// as its proportions allow, with its top-left corner at the window's.
void CRastCtrl::zoom_to_image_rect(const int32_t* written) {
  // A rectangle named from right to left or bottom to top is the same
  // rectangle; one of no width is one pixel wide.
  const int32_t side[4] = {std::min(written[0], written[2]), std::min(written[1], written[3]),
                           std::max(written[0], written[2]), std::max(written[1], written[3])};
  // The far sides are taken past their last pixel, so the size in the
  // window does not depend on how a pixel's corner rounds.
  int32_t wl = 0, wt = 0, wr = 0, wb = 0;
  RX_display_image_to_device(current_, side[0], side[1], &wl, &wt);
  RX_display_image_to_device(current_, std::min(side[2], INT32_MAX - 1) + 1,
                             std::min(side[3], INT32_MAX - 1) + 1, &wr, &wb);
  const int64_t width = std::max<int64_t>(1, std::llabs(int64_t{wr} - wl));
  const int64_t height = std::max<int64_t>(1, std::llabs(int64_t{wb} - wt));
  pg_rect client{};
  pw_client_rect_get(hwnd_of(window_), &client);
  int32_t target[8] = {}, state[4] = {};
  RX_display_zoom_state_get(current_, target, state);
  const int64_t zoom = std::max<int64_t>(state[2], 1);
  const int64_t wanted = std::min(zoom * (client.right - client.left) / width,
                                  zoom * (client.bottom - client.top) / height);
  const auto percent = static_cast<int32_t>(std::clamp<int64_t>(wanted, 1, 1000000));
  // Through the window's association, so that the scroll bars coming or
  // going (a size change it zooms again for) keep this zoom.
  set_err_count(RX_window_zoom_rect_set(window_, percent, target));
  set_num(kDispZoomLevel, percent);
  // Scroll the corner to the window's corner (the bars count pixels).
  int32_t x = 0, y = 0;
  RX_display_image_to_device(current_, side[0], side[1], &x, &y);
  if (x != 0)
    RX_display_scroll(current_, window_, 0, SB_THUMBPOSITION, pw_scroll_pos_get(hwnd_of(window_), SB_HORZ) + x);
  if (y != 0)
    RX_display_scroll(current_, window_, 1, SB_THUMBPOSITION, pw_scroll_pos_get(hwnd_of(window_), SB_VERT) + y);
}

// ZoomBottom is written last of the four sides.
void CRastCtrl::zoom_to_rect() {
  if (!current_valid() || window_ == 0) return;
  zoom_store_[2] = std::min(zoom_store_[2], lng(kDispImageWidth) - 1);
  zoom_store_[3] = std::min(zoom_store_[3], lng(kDispImageHeight) - 1);
  paint_option(false);
  zoom_to_image_rect(zoom_store_.data());
  paint_option(true);
  RX_display_device_rect_get(current_, client_rect_.data());
  error_check();
  update_tool_windows();
  set_modified();
}

// ---- The transition between two held images -------------------------------

void CRastCtrl::on_display_effect_index() {
  const int32_t n = lng(kDispDisplayEffectIndex);
  if (!current_valid() || n < 0 || n >= kSlotCount) return;
  RX_HIMAGE next = slots_[static_cast<size_t>(n)];
  if (next == 0 || next == current_ || RPb_iRX_image_is_valid(next) == 0) return;
  // Without a window there is nothing to reveal; the images change all
  // the same.
  if (window_ != 0) {
    set_err_count(RX_window_associate(next, window_, 1));
    set_err_count(RX_display_effect(1, next, window_, lng(kDispDisplayEffect),
                                    lng(kDispDisplayEffectSize), lng(kDispDisplayEffectTime)));
    error_check();
  }
  release_image(current_);
  current_ = next;
  slots_[1] = next;
  if (n != 1) slots_[static_cast<size_t>(n)] = 0;
  else slots_[1] = 0;
  image_index_ = 1;
  set_num(kDispImageIndex, 1);
  refresh_image_info();
  update_tool_windows();
  set_num(kErrCountId, 0);
  set_str(kDispLoadImage, "");
}

}  // namespace rast
