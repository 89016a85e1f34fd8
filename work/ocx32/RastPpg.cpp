#include "RastPpg.h"

namespace rast {

com::HRESULT CRastPropPage::QueryInterface(const com::IID& iid, void** out) {
  if (out == nullptr) return com::E_POINTER;
  *out = nullptr;
  if (!com::guid_equal(iid, com::IID_IUnknown)) return com::E_NOINTERFACE;
  *out = static_cast<com::IUnknown*>(this);
  AddRef();
  return com::S_OK;
}

}  // namespace rast
