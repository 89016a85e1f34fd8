// An event sink for the widget of the test component: counts what it
// receives and answers through by-reference arguments.
#pragma once

#include <functional>

#include "com_test_component.h"

class TestSink final : public com::IDispatch {
 public:
  com::HRESULT QueryInterface(const com::IID& iid, void** out) override {
    if (com::guid_equal(iid, com::IID_IUnknown) || com::guid_equal(iid, com::IID_IDispatch)) {
      *out = this;
      AddRef();
      return com::S_OK;
    }
    *out = nullptr;
    return com::E_NOINTERFACE;
  }
  uint32_t AddRef() override { return ++refs; }
  uint32_t Release() override { return --refs; }  // lives on the test's stack
  com::HRESULT GetTypeInfoCount(uint32_t* n) override { *n = 0; return com::S_OK; }
  com::HRESULT GetTypeInfo(uint32_t, uint32_t, com::ITypeInfo**) override { return com::E_NOTIMPL; }
  com::HRESULT GetIDsOfNames(const com::IID&, const char* const*, uint32_t, uint32_t, com::DISPID*) override {
    return com::E_NOTIMPL;
  }
  com::HRESULT Invoke(com::DISPID id, const com::IID&, uint32_t, uint16_t flags, com::DISPPARAMS* p,
                      com::VARIANT*, com::EXCEPINFO*, uint32_t*) override {
    if (flags != com::DISPATCH_METHOD) return com::DISP_E_MEMBERNOTFOUND;
    ++calls;
    if (id == comtest::kEventChanging && p->cArgs == 2) {
      last_value = p->rgvarg[1].lVal;
      if (veto) *p->rgvarg[0].pboolVal = com::VARIANT_TRUE;
    } else if (id == comtest::kEventPing && p->cArgs == 1) {
      *p->rgvarg[0].plVal += 1;
    }
    if (on_event) on_event();
    return com::S_OK;
  }

  uint32_t refs = 1;
  int calls = 0;
  int32_t last_value = 0;
  bool veto = false;
  std::function<void()> on_event;
};
