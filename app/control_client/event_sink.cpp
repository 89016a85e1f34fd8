#include "event_sink.h"

namespace rxapp {

com::HRESULT EventSink::QueryInterface(const com::IID& iid, void** out) {
  if (out == nullptr) return com::E_POINTER;
  if (com::guid_equal(iid, com::IID_IUnknown) || com::guid_equal(iid, com::IID_IDispatch)) {
    *out = static_cast<com::IDispatch*>(this);
    AddRef();
    return com::S_OK;
  }
  *out = nullptr;
  return com::E_NOINTERFACE;
}

uint32_t EventSink::Release() {
  const uint32_t left = --refs_;
  if (left == 0) delete this;
  return left;
}

com::HRESULT EventSink::GetTypeInfoCount(uint32_t* count) {
  if (count == nullptr) return com::E_POINTER;
  *count = 0;
  return com::S_OK;
}

// Events are fire-and-forget: the arguments are not needed, since the
// viewer reads what it shows back from the control's properties.
com::HRESULT EventSink::Invoke(com::DISPID id, const com::IID&, uint32_t, uint16_t, com::DISPPARAMS*,
                               com::VARIANT*, com::EXCEPINFO*, uint32_t*) {
  if (handler_) handler_(id);
  return com::S_OK;
}

}  // namespace rxapp
