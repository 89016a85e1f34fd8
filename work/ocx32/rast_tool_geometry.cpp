// Tool window geometry: each tool window's stored position and size, used
// when it is created. GUIWindow selects the window (0 thumbnails, 1 pan,
// 2 magnifier, 3 palette editor; -1, the start, selects none) whose values
// GUIXpos, GUIYpos, GUIWidth and GUIHeight read and write.
#include "RastCtl.h"
#include "rast_dispids.h"
#include "rastrix/rpb.h"

using namespace com;

namespace rast {
namespace {

size_t field_of(int32_t dispid) {
  switch (dispid) {
    case kDispGUIXpos: return 0;
    case kDispGUIYpos: return 1;
    case kDispGUIWidth: return 2;
    default: return 3;  // kDispGUIHeight
  }
}

}  // namespace

HRESULT CRastCtrl::put_tool_geometry(int32_t dispid, const VARIANT& value) {
  VARIANT v;
  VariantInit(&v);
  const HRESULT hr = VariantChangeType(&v, &value, 0, dispid == kDispGUIWindow ? VT_I4 : VT_I2);
  if (FAILED(hr)) return hr;
  RPb_AF_error_clear();
  if (dispid == kDispGUIWindow) {
    if (v.lVal < -1 || v.lVal >= kToolWindowCount)
      RPb_AF_error_set("work\\ocx32\\rast_tool_geometry.cpp", __LINE__,
                       RXE_PARAMETERS_OUT_OF_LIMITS, v.lVal, kToolWindowCount - 1);
    else
      gui_window_ = v.lVal;
  } else if (gui_window_ < 0) {
    RPb_AF_error_set("work\\ocx32\\rast_tool_geometry.cpp", __LINE__,
                     RXE_GUI_WINDOW_TYPE_INVALID, gui_window_, 0);
  } else {
    tool_geometry_[static_cast<size_t>(gui_window_)][field_of(dispid)] = v.iVal;
  }
  set_err_count(RPb_AF_error_check());
  error_check();
  set_modified();
  return S_OK;
}

HRESULT CRastCtrl::get_tool_geometry(int32_t dispid, VARIANT* out) {
  if (dispid == kDispGUIWindow) {
    out->vt = VT_I4;
    out->lVal = gui_window_;
    return S_OK;
  }
  out->vt = VT_I2;
  out->iVal =
      gui_window_ < 0 ? 0 : tool_geometry_[static_cast<size_t>(gui_window_)][field_of(dispid)];
  return S_OK;
}

}  // namespace rast
