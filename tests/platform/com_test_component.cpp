// A component library for the creation and event tests: one class with a
// few properties, an event interface and property persistence, served and
// registered the way a real control library does it.
#include <cstdlib>
#include <string>

#include "com_test_component.h"
#include "platform/com_server.h"

using namespace com;

namespace {

const ParamDesc kChangingParams[] = {{"NewValue", VT_I4}, {"Cancel", VT_BYREF | VT_BOOL}};
const ParamDesc kPingParams[] = {{"Counter", VT_BYREF | VT_I4}};
const MemberDesc kMembers[] = {
    {comtest::kDispValue, "Value", MEMBER_PROPERTY, VT_I4, 0, 0, nullptr},
    {comtest::kDispCaption, "Caption", MEMBER_PROPERTY, VT_BSTR, 0, 0, nullptr},
    {comtest::kDispCount, "Count", MEMBER_PROPERTY, VT_I4, 1, 0, nullptr},
    {comtest::kDispPing, "Ping", MEMBER_METHOD, VT_I4, 0, 0, nullptr},
};
const TypeDesc kWidgetType = {"_DWidget", {0x6f1d8a20, 0x3c55, 0x4e0b, {0x8a, 0x9e, 0x1b, 0x7c, 0x2d, 0x44, 0x05, 0x61}}, 4, kMembers};
const MemberDesc kEvents[] = {
    {comtest::kEventChanging, "Changing", MEMBER_EVENT, VT_VOID, 0, 2, kChangingParams},
    {comtest::kEventPing, "Ping", MEMBER_EVENT, VT_VOID, 0, 1, kPingParams},
};
[[maybe_unused]] const TypeDesc kEventsType = {"_DWidgetEvents", comtest::kWidgetEventsIid, 2, kEvents};

class Widget final : public IDispatch,
                     public IConnectionPointContainer,
                     public IPersistStreamInit,
                     public RefCounted {
 public:
  Widget() : events_(static_cast<IDispatch*>(this), comtest::kWidgetEventsIid) {}
  ~Widget() override { SysFreeString(caption_); }

  HRESULT QueryInterface(const IID& iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (guid_equal(iid, IID_IUnknown) || guid_equal(iid, IID_IDispatch) || guid_equal(iid, kWidgetType.iid))
      *out = static_cast<IDispatch*>(this);
    else if (guid_equal(iid, IID_IConnectionPointContainer))
      *out = static_cast<IConnectionPointContainer*>(this);
    else if (guid_equal(iid, IID_IPersistStreamInit))
      *out = static_cast<IPersistStreamInit*>(this);
    else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    ref_add();
    return S_OK;
  }
  uint32_t AddRef() override { return ref_add(); }
  uint32_t Release() override { return ref_release(); }

  HRESULT GetTypeInfoCount(uint32_t* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 1;
    return S_OK;
  }
  HRESULT GetTypeInfo(uint32_t index, uint32_t, ITypeInfo** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    return index == 0 ? CreateTypeInfo(&kWidgetType, out) : DISP_E_BADINDEX_COMPAT;
  }
  HRESULT GetIDsOfNames(const IID&, const char* const* names, uint32_t count, uint32_t,
                        DISPID* ids) override {
    if (names == nullptr || ids == nullptr) return E_POINTER;
    ITypeInfo* info = nullptr;
    HRESULT hr = CreateTypeInfo(&kWidgetType, &info);
    if (FAILED(hr)) return hr;
    for (uint32_t i = 0; i < count; ++i) {
      HRESULT one = info->GetIDOfName(names[i], &ids[i]);
      if (FAILED(one)) hr = one;
    }
    info->Release();
    return hr;
  }

  HRESULT Invoke(DISPID id, const IID&, uint32_t, uint16_t flags, DISPPARAMS* params,
                 VARIANT* result, EXCEPINFO* excep, uint32_t*) override {
    if (params == nullptr) return E_POINTER;
    bool put = (flags & DISPATCH_PROPERTYPUT) != 0;
    if (put && params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
    switch (id) {
      case comtest::kDispValue:
        return put ? put_value(params->rgvarg[0]) : get_i4(value_, result);
      case comtest::kDispCaption:
        if (!put) {
          if (result == nullptr) return S_OK;
          result->vt = VT_BSTR;
          result->bstrVal = SysAllocStringLen(caption_, SysStringLen(caption_));
          return S_OK;
        } else {
          VARIANT v;
          VariantInit(&v);
          HRESULT hr = VariantChangeType(&v, &params->rgvarg[0], 0, VT_BSTR);
          if (FAILED(hr)) return hr;
          SysFreeString(caption_);
          caption_ = v.bstrVal;
          dirty_ = true;
          return S_OK;
        }
      case comtest::kDispCount:
        if (put) {
          if (excep != nullptr) {
            excep->scode = CTL_E_SETNOTSUPPORTED;
            excep->bstrDescription = SysAllocString("Count is read-only");
          }
          return DISP_E_EXCEPTION;
        }
        return get_i4(count_, result);
      case comtest::kDispPing: {
        if (put) return DISP_E_MEMBERNOTFOUND;
        int32_t counter = 0;
        VARIANT arg;
        arg.vt = VT_BYREF | VT_I4;
        arg.plVal = &counter;
        events_.Fire(comtest::kEventPing, &arg, 1);
        return get_i4(counter, result);
      }
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
  }

  HRESULT FindConnectionPoint(const IID& iid, IConnectionPoint** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (!guid_equal(iid, comtest::kWidgetEventsIid)) return CONNECT_E_NOCONNECTION;
    events_.AddRef();
    *out = &events_;
    return S_OK;
  }

  HRESULT GetClassID(CLSID* out) override {
    if (out == nullptr) return E_POINTER;
    *out = comtest::kWidgetClsid;
    return S_OK;
  }
  HRESULT IsDirty() override { return dirty_ ? S_OK : S_FALSE; }
  HRESULT Load(IStream* stream) override {
    VARIANT v, c;
    HRESULT hr = stream_read_variant(stream, &v);
    if (FAILED(hr)) return hr;
    hr = stream_read_variant(stream, &c);
    if (FAILED(hr)) return hr;
    if (v.vt != VT_I4 || c.vt != VT_BSTR) {
      VariantClear(&c);
      return E_FAIL;
    }
    value_ = v.lVal;
    SysFreeString(caption_);
    caption_ = c.bstrVal;
    dirty_ = false;
    return S_OK;
  }
  HRESULT Save(IStream* stream, int32_t clear_dirty) override {
    VARIANT v;
    v.vt = VT_I4;
    v.lVal = value_;
    HRESULT hr = stream_write_variant(stream, v);
    if (FAILED(hr)) return hr;
    v.vt = VT_BSTR;
    v.bstrVal = caption_;
    hr = stream_write_variant(stream, v);
    if (SUCCEEDED(hr) && clear_dirty) dirty_ = false;
    return hr;
  }
  HRESULT GetSizeMax(uint64_t* size) override {
    if (size == nullptr) return E_POINTER;
    *size = 2 + 4 + 2 + 4 + SysStringLen(caption_);
    return S_OK;
  }
  HRESULT InitNew() override {
    value_ = 0;
    dirty_ = false;
    return S_OK;
  }

 private:
  static constexpr HRESULT DISP_E_BADINDEX_COMPAT = static_cast<HRESULT>(0x8002000Bu);

  static HRESULT get_i4(int32_t v, VARIANT* result) {
    if (result != nullptr) {
      result->vt = VT_I4;
      result->lVal = v;
    }
    return S_OK;
  }

  // Sinks see the new value first and may cancel the write through the
  // by-reference argument.
  HRESULT put_value(const VARIANT& arg) {
    VARIANT v;
    VariantInit(&v);
    HRESULT hr = VariantChangeType(&v, &arg, 0, VT_I4);
    if (FAILED(hr)) return hr;
    VARIANT_BOOL cancel = VARIANT_FALSE;
    VARIANT args[2];
    args[0].vt = VT_BYREF | VT_BOOL;  // last argument first
    args[0].pboolVal = &cancel;
    args[1].vt = VT_I4;
    args[1].lVal = v.lVal;
    events_.Fire(comtest::kEventChanging, args, 2);
    if (cancel) return S_OK;
    value_ = v.lVal;
    ++count_;
    dirty_ = true;
    return S_OK;
  }

  ConnectionPoint events_;
  int32_t value_ = 0;
  int32_t count_ = 0;
  BSTR caption_ = nullptr;
  bool dirty_ = false;
};

const ClassEntry kClasses[] = {{&comtest::kWidgetClsid, &create_instance<Widget>}};

}  // namespace

COM_EXPORT HRESULT DllGetClassObject(const CLSID* clsid, const IID* iid, void** out) {
  if (clsid == nullptr || iid == nullptr) return E_POINTER;
  return module_get_class_object(kClasses, 1, *clsid, *iid, out);
}

COM_EXPORT HRESULT DllCanUnloadNow() { return module_can_unload_now(); }

COM_EXPORT int32_t DllMain(uintptr_t, uint32_t reason, void*) {
  if (reason == 1 && std::getenv(comtest::kRefuseLoadEnv) != nullptr) return 0;
  return 1;
}

COM_EXPORT HRESULT DllRegisterServer() {
  char path[4096];
  if (FAILED(com_module_path(reinterpret_cast<const void*>(&DllRegisterServer), path, sizeof path)))
    return SELFREG_E_CLASS;
  const CoclassEntry coclass = {"Widget", comtest::kWidgetClsid};
  if (FAILED(reg_register_typelib(comtest::kLibId, 1, 0, comtest::kLibName, "Rastrix test widgets",
                                  path, &coclass, 1)))
    return SELFREG_E_TYPELIB;
  if (FAILED(reg_register_class(comtest::kWidgetClsid, comtest::kProgId, "Rastrix test widget", path)))
    return SELFREG_E_CLASS;
  return S_OK;
}

COM_EXPORT HRESULT DllUnregisterServer() {
  if (FAILED(reg_unregister_typelib(comtest::kLibId, 1, 0))) return SELFREG_E_TYPELIB;
  if (FAILED(reg_unregister_class(comtest::kWidgetClsid, comtest::kProgId))) return SELFREG_E_CLASS;
  return S_OK;
}
