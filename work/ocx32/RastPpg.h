// CRastPropPage: the control's one property page, "General". It exchanges
// no properties; the windowing layer shows it on dialog template 100.
#pragma once

#include "platform/com_server.h"

namespace rast {

class CRastPropPage final : public com::IUnknown, public com::RefCounted {
 public:
  static constexpr int32_t kDialogTemplate = 100;
  static constexpr int32_t kDialogWidth = 250, kDialogHeight = 62;  // dialog units
  static constexpr const char kCaption[] = "General";

  com::HRESULT QueryInterface(const com::IID& iid, void** out) override;
  uint32_t AddRef() override { return ref_add(); }
  uint32_t Release() override { return ref_release(); }
};

}  // namespace rast
