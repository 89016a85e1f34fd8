// The type descriptions of _DRast and _DRastEvents, so that a script can
// find a member by name and learn its type. The dispatch interface is built
// once from the dispatch table; the events are listed here.
#include <vector>

#include "rast_dispids.h"
#include "rast_guids.h"
#include "rast_props.h"

namespace rast {
namespace {

using com::MemberDesc;
using com::ParamDesc;

std::vector<MemberDesc> build_dispatch_members() {
  std::vector<MemberDesc> members;
  for (const PropDesc& p : prop_all()) {
    uint16_t read_only = prop_read_only(p.dispid) ? 1 : 0;
    members.push_back(
        {p.dispid, p.name, com::MEMBER_PROPERTY, prop_vartype(p.type), read_only, 0, nullptr});
  }
  members.push_back({kDispBackColor, "BackColor", com::MEMBER_PROPERTY, com::VT_I4, 0, 0, nullptr});
  members.push_back(
      {kDispBorderStyle, "BorderStyle", com::MEMBER_PROPERTY, com::VT_I2, 0, 0, nullptr});
  members.push_back(
      {kDispAppearance, "Appearance", com::MEMBER_PROPERTY, com::VT_I2, 0, 0, nullptr});
  // The window handle is pointer-sized, like every handle of the control.
  members.push_back({kDispHWnd, "hWnd", com::MEMBER_PROPERTY, com::VT_I8, 1, 0, nullptr});
  members.push_back({kDispAboutBox, "AboutBox", com::MEMBER_METHOD, com::VT_VOID, 0, 0, nullptr});
  return members;
}

constexpr ParamDesc kSelectParams[] = {{"lplLeft", com::VT_BYREF | com::VT_I4},
                                       {"lplTop", com::VT_BYREF | com::VT_I4},
                                       {"lplRight", com::VT_BYREF | com::VT_I4},
                                       {"lplBottom", com::VT_BYREF | com::VT_I4}};
constexpr ParamDesc kStatusParams[] = {{"lpPercent", com::VT_BYREF | com::VT_I4}};
constexpr ParamDesc kScrollParams[] = {{"Scrolltype", com::VT_I4}};
constexpr ParamDesc kErrorParams[] = {{"nErrCount", com::VT_I2}};
constexpr ParamDesc kThumbParams[] = {{"FileName", com::VT_BSTR}, {"Page", com::VT_I4}};
constexpr ParamDesc kTagParams[] = {{"TagID", com::VT_I2},  {"TagType", com::VT_I2},
                                    {"TagSize", com::VT_I4}, {"WordVal", com::VT_I2},
                                    {"LongVal", com::VT_I4}, {"StrVal", com::VT_BSTR}};
constexpr ParamDesc kKeyParams[] = {{"KeyCode", com::VT_BYREF | com::VT_I2},
                                    {"Shift", com::VT_I2}};
constexpr ParamDesc kKeyPressParams[] = {{"KeyAscii", com::VT_BYREF | com::VT_I2}};
constexpr ParamDesc kMouseParams[] = {{"Button", com::VT_I2},
                                      {"Shift", com::VT_I2},
                                      {"x", com::VT_I4},
                                      {"y", com::VT_I4}};

template <size_t N>
constexpr MemberDesc event(int32_t id, const char* name, const ParamDesc (&params)[N]) {
  return {id, name, com::MEMBER_EVENT, com::VT_VOID, 0, static_cast<uint16_t>(N), params};
}
constexpr MemberDesc event(int32_t id, const char* name) {
  return {id, name, com::MEMBER_EVENT, com::VT_VOID, 0, 0, nullptr};
}

constexpr MemberDesc kEvents[] = {
    event(kEventPaint, "PaintEvent"),
    event(kEventSelect, "SelectEvent", kSelectParams),
    event(kEventStatus, "StatusEvent", kStatusParams),
    event(kEventScroll, "Scroll", kScrollParams),
    event(kEventError, "ErrorEvent", kErrorParams),
    event(kEventThumbnail, "Thumbnail", kThumbParams),
    event(kEventTag, "Tag", kTagParams),
    event(kEventClick, "Click"),
    event(kEventDblClick, "DblClick"),
    event(kEventKeyDown, "KeyDown", kKeyParams),
    event(kEventKeyPress, "KeyPress", kKeyPressParams),
    event(kEventKeyUp, "KeyUp", kKeyParams),
    event(kEventMouseDown, "MouseDown", kMouseParams),
    event(kEventMouseMove, "MouseMove", kMouseParams),
    event(kEventMouseUp, "MouseUp", kMouseParams),
};

}  // namespace

const com::TypeDesc& dispatch_type_desc() {
  static const std::vector<MemberDesc> members = build_dispatch_members();
  static const com::TypeDesc desc = {"_DRast", IID_DRast, static_cast<uint32_t>(members.size()),
                                     members.data()};
  return desc;
}

const com::TypeDesc& events_type_desc() {
  static const com::TypeDesc desc = {"_DRastEvents", IID_DRastEvents,
                                     static_cast<uint32_t>(std::size(kEvents)), kEvents};
  return desc;
}

const com::TypeDesc& class_type_desc() {
  static const com::ImplTypeDesc impls[] = {
      {&dispatch_type_desc(), com::IMPLTYPEFLAG_FDEFAULT},
      {&events_type_desc(), com::IMPLTYPEFLAG_FDEFAULT | com::IMPLTYPEFLAG_FSOURCE}};
  static const com::TypeDesc desc = {"Rast", CLSID_RastCtrl, 0, nullptr,
                                     static_cast<uint32_t>(std::size(impls)), impls};
  return desc;
}

}  // namespace rast
