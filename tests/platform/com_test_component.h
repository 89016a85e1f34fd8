// The test component library's identity, shared by it and the tests that
// load it.
#pragma once

#include "platform/com.h"

namespace comtest {

constexpr com::CLSID kWidgetClsid = {0xc284ee89, 0x4f98, 0x49ac, {0xa0, 0xba, 0x42, 0x05, 0x70, 0x28, 0x55, 0xc5}};
constexpr com::GUID kLibId = {0x19fc3168, 0x4ea0, 0x4b5e, {0xb2, 0x85, 0x69, 0xf9, 0x74, 0x5a, 0x7f, 0x4a}};
constexpr com::IID kWidgetEventsIid = {0x3b0d2c4e, 0x81f6, 0x4a27, {0x9d, 0x51, 0x6e, 0x2a, 0x90, 0xc7, 0x14, 0x38}};
constexpr const char* kProgId = "RxTest.Widget.1";
constexpr const char* kLibName = "RxTestLib";

// Members of the widget.
enum : com::DISPID {
  kDispValue = 1,    // I4, read/write; a write fires Changing first
  kDispCaption = 2,  // BSTR, read/write
  kDispCount = 3,    // I4, read-only: how many writes were accepted
  kDispPing = 4,     // method: fires Ping(ByRef I4) and returns what sinks left in it
};
// Events of the widget.
enum : com::DISPID {
  kEventChanging = 1,  // (I4 new_value, ByRef BOOL cancel)
  kEventPing = 2,      // (ByRef I4 counter)
};

// Environment variable: when set, the library's DllMain refuses to load.
constexpr const char* kRefuseLoadEnv = "RX_COMTEST_REFUSE_LOAD";

}  // namespace comtest
