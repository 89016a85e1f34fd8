// The control library's entry points: module start and stop (which start
// and stop the engine), the class factories, and self-registration of the
// type library, the control and its property page.
#include <cstdio>

#include "RastCtl.h"
#include "RastPpg.h"
#include "platform/com_server.h"
#include "rast_guids.h"
#include "rastrix/rastrix.h"

using namespace com;
using namespace rast;

namespace {

HRESULT create_control(IUnknown* outer, const IID& iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  return CRastCtrl::create(iid, out);
}

const ClassEntry kClasses[] = {
    {&CLSID_RastCtrl, &create_control},
    {&CLSID_RastPropPage, &create_instance<CRastPropPage>},
};

bool own_path(char* out, uint32_t size) {
  return com_module_path(reinterpret_cast<const void*>(&create_control), out, size) == S_OK;
}

// The control's class keys beyond ProgID and type name: toolbox bitmap,
// miscellaneous status, type library and the control mark.
bool register_control_extras(const char* path) {
  char clsid[39], libid[39], key[96], value[4200];
  guid_to_string(CLSID_RastCtrl, clsid);
  guid_to_string(LIBID_RASTLib, libid);
  auto set = [&](const char* sub, const char* name, const char* v) {
    std::snprintf(key, sizeof key, "CLSID\\%s%s", clsid, sub);
    return reg_set_value(key, name, v) == S_OK;
  };
  std::snprintf(value, sizeof value, "%s,1", path);
  char misc[16];
  std::snprintf(misc, sizeof misc, "%u", kMiscStatus);
  return set("\\ToolboxBitmap32", nullptr, value) && set("\\MiscStatus", nullptr, "0") &&
         set("\\MiscStatus\\1", nullptr, misc) && set("\\TypeLib", nullptr, libid) &&
         set("\\Version", nullptr, "1.0") && set("\\Control", nullptr, "");
}

}  // namespace

COM_EXPORT HRESULT DllGetClassObject(const CLSID* clsid, const IID* iid, void** out) {
  if (clsid == nullptr || iid == nullptr) return E_INVALIDARG;
  return module_get_class_object(kClasses, 2, *clsid, *iid, out);
}

COM_EXPORT HRESULT DllCanUnloadNow(void) { return module_can_unload_now(); }

// The engine lives from module start to module stop; a failed engine start
// makes the load fail.
COM_EXPORT int32_t DllMain(uintptr_t module, uint32_t reason, void*) {
  if (reason == 1) return RX_engine_start(module) != 0 ? 1 : 0;
  if (reason == 0) RX_engine_stop();
  return 1;
}

COM_EXPORT HRESULT DllRegisterServer(void) {
  char path[4096];
  if (!own_path(path, sizeof path)) return SELFREG_E_CLASS;
  const CoclassEntry coclass = {kCoclassName, CLSID_RastCtrl};
  if (reg_register_typelib(LIBID_RASTLib, 1, 0, kTypeLibName, kTypeLibDoc, path, &coclass, 1) !=
      S_OK)
    return SELFREG_E_TYPELIB;
  if (reg_register_class(CLSID_RastCtrl, kProgIdCtrl, kTypeNameCtrl, path) != S_OK ||
      !register_control_extras(path) ||
      reg_register_class(CLSID_RastPropPage, kProgIdPropPage, kTypeNamePropPage, path) != S_OK)
    return SELFREG_E_CLASS;
  return S_OK;
}

COM_EXPORT HRESULT DllUnregisterServer(void) {
  if (reg_unregister_typelib(LIBID_RASTLib, 1, 0) != S_OK) return SELFREG_E_TYPELIB;
  if (reg_unregister_class(CLSID_RastCtrl, kProgIdCtrl) != S_OK ||
      reg_unregister_class(CLSID_RastPropPage, kProgIdPropPage) != S_OK)
    return SELFREG_E_CLASS;
  return S_OK;
}
