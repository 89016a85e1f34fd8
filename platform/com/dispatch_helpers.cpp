// Late-bound calls for hosts that know a member only by DISPID or name.
#include "com_internal.h"

namespace com {

namespace {
HRESULT invoke(IDispatch* d, DISPID id, uint16_t flags, DISPPARAMS* params, VARIANT* result) {
  EXCEPINFO excep{};
  uint32_t arg_err = 0;
  HRESULT hr = d->Invoke(id, IID_NULL, 0, flags, params, result, &excep, &arg_err);
  SysFreeString(excep.bstrSource);
  SysFreeString(excep.bstrDescription);
  // The object's own code says more to a host than the generic one.
  if (hr == DISP_E_EXCEPTION && FAILED(excep.scode)) return excep.scode;
  return hr;
}
}  // namespace

HRESULT disp_put(IDispatch* d, DISPID id, const VARIANT& value) {
  if (d == nullptr) return E_POINTER;
  // The callee reads the argument but never owns it, so a shallow copy
  // is enough to drop the const.
  VARIANT arg = value;
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params{&arg, &named, 1, 1};
  return detail::guarded([&] { return invoke(d, id, DISPATCH_PROPERTYPUT, &params, nullptr); });
}

HRESULT disp_get(IDispatch* d, DISPID id, VARIANT* result) {
  if (result == nullptr) return E_POINTER;
  VariantInit(result);
  if (d == nullptr) return E_POINTER;
  DISPPARAMS params{nullptr, nullptr, 0, 0};
  return detail::guarded([&] { return invoke(d, id, DISPATCH_PROPERTYGET, &params, result); });
}

HRESULT disp_call(IDispatch* d, DISPID id, VARIANT* args, uint32_t count, VARIANT* result) {
  if (result != nullptr) VariantInit(result);
  if (d == nullptr) return E_POINTER;
  if (args == nullptr && count > 0) return E_INVALIDARG;
  DISPPARAMS params{args, nullptr, count, 0};
  return detail::guarded([&] { return invoke(d, id, DISPATCH_METHOD, &params, result); });
}

HRESULT disp_id_of(IDispatch* d, const char* name, DISPID* out) {
  if (out == nullptr) return E_POINTER;
  *out = DISPID_UNKNOWN;
  if (d == nullptr) return E_POINTER;
  if (name == nullptr) return E_INVALIDARG;
  return detail::guarded([&] { return d->GetIDsOfNames(IID_NULL, &name, 1, 0, out); });
}

}  // namespace com
