// The fixed identifiers of the control, its property page, its type
// library and its two interfaces; every deliverable that names them uses
// these values.
#pragma once

#include "platform/com.h"

namespace rast {

extern const com::CLSID CLSID_RastCtrl;      // coclass Rast
extern const com::CLSID CLSID_RastPropPage;
extern const com::GUID LIBID_RASTLib;
extern const com::IID IID_DRast;             // dispatch interface _DRast
extern const com::IID IID_DRastEvents;       // event interface _DRastEvents

constexpr const char kProgIdCtrl[] = "RAST.RastCtrl.1";
constexpr const char kProgIdPropPage[] = "RAST.RastPropPage.1";
constexpr const char kTypeNameCtrl[] = "Rastrix OCX-32";
constexpr const char kTypeNamePropPage[] = "Rastrix OCX-32 Property Page";
constexpr const char kTypeLibName[] = "RASTLib";
constexpr const char kTypeLibDoc[] = "Orvanta Rastrix OCX-32";
constexpr const char kCoclassName[] = "Rast";
constexpr uint32_t kMiscStatus = 0x00020191u;

}  // namespace rast
