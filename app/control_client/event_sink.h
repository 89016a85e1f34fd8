// A host program's end of the control's connection point: a dispatch object
// whose Invoke receives each event the control fires and passes its
// identifier on.
#pragma once

#include <functional>

#include "platform/com.h"

namespace rxapp {

class EventSink final : public com::IDispatch {
 public:
  explicit EventSink(std::function<void(com::DISPID)> handler) : handler_(std::move(handler)) {}

  com::HRESULT QueryInterface(const com::IID& iid, void** out) override;
  uint32_t AddRef() override { return ++refs_; }
  uint32_t Release() override;
  com::HRESULT GetTypeInfoCount(uint32_t* count) override;
  com::HRESULT GetTypeInfo(uint32_t, uint32_t, com::ITypeInfo**) override { return com::E_NOTIMPL; }
  com::HRESULT GetIDsOfNames(const com::IID&, const char* const*, uint32_t, uint32_t,
                             com::DISPID*) override {
    return com::E_NOTIMPL;
  }
  com::HRESULT Invoke(com::DISPID id, const com::IID&, uint32_t, uint16_t, com::DISPPARAMS*,
                      com::VARIANT*, com::EXCEPINFO*, uint32_t*) override;

 private:
  ~EventSink() = default;
  std::function<void(com::DISPID)> handler_;
  uint32_t refs_ = 1;
};

}  // namespace rxapp
