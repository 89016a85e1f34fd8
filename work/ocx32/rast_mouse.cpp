// The mouse in the control's window: the position over the image, the
// tools a left button starts, the selection a rubber band ends with, and
// the stock mouse events hosts expect.
#include <algorithm>

#include "RastCtl.h"
#include "platform/window.h"
#include "rast_dispids.h"
#include "rastrix/rx_display.h"
#include "rastrix/rx_tools.h"

namespace rast {

using namespace com;

namespace {

// Stock events name the buttons 1 left, 2 right, 4 middle and the keys
// 1 shift, 2 control.
int16_t buttons_of(uintptr_t keys) {
  return static_cast<int16_t>(((keys & PW_MK_LBUTTON) ? 1 : 0) | ((keys & PW_MK_RBUTTON) ? 2 : 0) |
                              ((keys & PW_MK_MBUTTON) ? 4 : 0));
}
int16_t shift_of(uintptr_t keys) {
  return static_cast<int16_t>(((keys & PW_MK_SHIFT) ? 1 : 0) | ((keys & PW_MK_CONTROL) ? 2 : 0));
}

}  // namespace

void CRastCtrl::fire_mouse(int32_t event, uintptr_t keys, int32_t x, int32_t y) {
  VARIANT args[4];
  for (VARIANT& a : args) VariantInit(&a);
  // Arguments go in reverse order: Button, Shift, x, y.
  args[3].vt = VT_I2;
  args[3].iVal = buttons_of(keys);
  args[2].vt = VT_I2;
  args[2].iVal = shift_of(keys);
  args[1].vt = VT_I4;
  args[1].lVal = x;
  args[0].vt = VT_I4;
  args[0].lVal = y;
  events_.Fire(event, args, 4);
}

void CRastCtrl::on_mouse_move(uintptr_t keys, int32_t x, int32_t y) {
  if (current_valid()) {
    int32_t ix = 0, iy = 0;
    RX_display_device_to_image(current_, x, y, &ix, &iy);
    set_num(kDispImagePosX, std::clamp(ix, 0, std::max(0, lng(kDispImageWidth) - 1)));
    set_num(kDispImagePosY, std::clamp(iy, 0, std::max(0, lng(kDispImageHeight) - 1)));
  }
  fire_mouse(kEventMouseMove, keys, x, y);
}

void CRastCtrl::on_left_button(uint32_t message, uintptr_t keys, int32_t x, int32_t y) {
  if (message == WM_LBUTTONDOWN) {
    mouse_tools_start(x, y);
    // The button is down while the event runs, whatever the message said.
    fire_mouse(kEventMouseDown, keys | PW_MK_LBUTTON, x, y);
    return;
  }
  fire_mouse(kEventMouseUp, keys | PW_MK_LBUTTON, x, y);
  events_.Fire(kEventClick, nullptr, 0);
}

// ---- Mouse tools -----------------------------------------------------------
namespace {

void selection_ended(uintptr_t user, uintptr_t, const int32_t* rect) {
  reinterpret_cast<CRastCtrl*>(user)->selection_done(rect);
}

}  // namespace

// What a press over the image starts, in this order: the magnifier, the
// rubber band (SelectEvent not 0, ending in selection_done) and hand
// panning (HandPanning with neither of them). The engine tracks each
// through the window's messages until the release.
//
// The magnifier: while the control's magnify window is shown, a press
// makes it follow the mouse (it shows the part around the point, and the
// examined area is inverted in the control's window while the button is
// held), whatever MagnifyWindow now holds. A hidden one is left alone: it
// shows nothing, and its tracking would take the mouse from the band and
// from panning. MagnifyWindow 1 without a magnify window (written before
// there was an image or a window to make one for) pops up the small
// magnifier that moves with the mouse.
//
// Hand panning moves the image in the control's window even when the pan
// window exists; the pan window's rectangle follows it.
void CRastCtrl::mouse_tools_start(int32_t x, int32_t y) {
  if (!current_valid() || window_ == 0) return;
  const bool magnify = lng(kDispMagnifyWindow) == 1;
  if (magnifier_shown()) RX_magnify_start(current_, tool_window(kDispMagnifyWindow), x, y);
  else if (magnify) RX_magnify_start(current_, window_, x, y);
  const int32_t select = lng(kDispSelectEvent);
  if (select != 0) RX_select_start(window_, x, y, selection_ended, reinterpret_cast<uintptr_t>(this));
  if (flag(kDispHandPanning) && lng(kDispMagnifyWindow) == 0 && select == 0)
    RX_pan_start(current_, window_, nullptr, 0);
}

// The host sees the selection in image pixels and may move its sides
// before SelectEvent 2 zooms to it.
void CRastCtrl::selection_done(const int32_t* rect) {
  if (rect == nullptr || !current_valid()) return;
  int32_t side[4] = {};
  RX_display_device_to_image(current_, rect[0], rect[1], &side[0], &side[1]);
  RX_display_device_to_image(current_, rect[2], rect[3], &side[2], &side[3]);
  VARIANT args[4];
  for (VARIANT& a : args) VariantInit(&a);
  for (int i = 0; i < 4; ++i) {
    // Reverse order: lplLeft is the last argument.
    args[3 - i].vt = VT_BYREF | VT_I4;
    args[3 - i].plVal = &side[i];
  }
  events_.Fire(kEventSelect, args, 4);
  if (lng(kDispSelectEvent) != 2 || !current_valid()) return;
  zoom_to_image_rect(side);
  RX_display_device_rect_get(current_, client_rect_.data());
  update_tool_windows();
}

}  // namespace rast
