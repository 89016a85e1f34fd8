// The control's own tool windows: the persistent magnifier and the pan
// window. Each is made the first time a host asks for it, owned by the
// control's window and placed at its stored geometry; hiding keeps it, so
// that showing it again finds it where the user left it. Both go with the
// control's window and with the control.
#include <cstring>

#include "RastCtl.h"
#include "platform/window.h"
#include "rast_dispids.h"
#include "rastrix/rx_tools.h"

namespace rast {

namespace {

HWND hwnd_of(uintptr_t w) { return reinterpret_cast<HWND>(w); }

// Where GUIWindow keeps each tool window's stored geometry.
constexpr size_t kPanGeometry = 1;
constexpr size_t kMagnifierGeometry = 2;

// A stored handle counts only while it still names a window of its class
// (the user may have closed it, and the layer may have given the handle
// to another window since).
constexpr const char* kMagnifyClass = RX_MAGNIFY_WINDOW_CLASS;
constexpr const char* kPanClass = RX_PAN_WINDOW_CLASS;

bool alive(uintptr_t window, const char* cls) {
  if (window == 0 || pw_window_valid(hwnd_of(window)) == 0) return false;
  char name[64] = {};
  pw_window_class_name(hwnd_of(window), name, sizeof name);
  return std::strcmp(name, cls) == 0;
}

void hide(uintptr_t window, const char* cls) {
  if (alive(window, cls)) pw_window_show(hwnd_of(window), SW_HIDE);
}

void destroy(uintptr_t* window, const char* cls) {
  if (alive(*window, cls)) pw_window_destroy(hwnd_of(*window));
  *window = 0;
}

}  // namespace

bool CRastCtrl::magnifier_shown() const {
  return alive(magnify_window_, kMagnifyClass) && pw_window_visible(hwnd_of(magnify_window_)) != 0;
}

uintptr_t CRastCtrl::tool_window(int32_t dispid) const {
  if (dispid == kDispMagnifyWindow) return alive(magnify_window_, kMagnifyClass) ? magnify_window_ : 0;
  if (dispid == kDispPanWindow) return alive(pan_window_, kPanClass) ? pan_window_ : 0;
  return 0;
}

// Only 1 and 0 mean anything; without an image or a window there is
// nothing to magnify, and a press then uses the pop-up (rast_mouse.cpp).
void CRastCtrl::on_magnify_window() {
  const int32_t value = lng(kDispMagnifyWindow);
  if (value == 0) hide(magnify_window_, kMagnifyClass);
  if (value == 1)
    tool_window_show(&magnify_window_, kMagnifyClass, kMagnifierGeometry, "Magnify Window",
                     RX_magnify_window_create);
}

void CRastCtrl::on_pan_window() {
  if (!flag(kDispPanWindow)) hide(pan_window_, kPanClass);
  else tool_window_show(&pan_window_, kPanClass, kPanGeometry, "Pan Window", RX_pan_window_create);
}

// Makes the window when it is not there, owned by the control's window at
// its stored geometry, and shows it.
void CRastCtrl::tool_window_show(uintptr_t* window, const char* cls, size_t geometry,
                                 const char* caption, ToolWindowMaker make) {
  if (!current_valid() || window_ == 0) return;
  if (!alive(*window, cls)) {
    const auto& g = tool_geometry_[geometry];
    *window = 0;
    set_err_count(make(current_, window_, caption, g[0], g[1], g[2], g[3], window));
  }
  if (*window != 0) pw_window_show(hwnd_of(*window), SW_SHOWNORMAL);
}

// A new image, a scroll, a zoom or a change of the pixels: the pan window
// places the current image again (its size or turn may have changed) and
// marks where the view now lies; the magnifier examines the current image.
void CRastCtrl::update_tool_windows() {
  if (!current_valid()) return;
  if (alive(pan_window_, kPanClass)) RX_pan_update(current_, pan_window_, 1);
  if (alive(magnify_window_, kMagnifyClass)) RX_magnify_image_set(current_, magnify_window_);
}

void CRastCtrl::tool_windows_close() {
  destroy(&magnify_window_, kMagnifyClass);
  destroy(&pan_window_, kPanClass);
}

}  // namespace rast
