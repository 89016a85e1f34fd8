// Type information over a static description.
#include "com_internal.h"
#include "platform/com_server.h"

namespace com {

namespace detail {
std::string lower(const std::string& s) {
  std::string r(s);
  for (char& c : r) c = ascii_lower(c);
  return r;
}

bool iequal(const char* a, const char* b) {
  if (a == nullptr || b == nullptr) return a == b;
  for (; *a && *b; ++a, ++b)
    if (ascii_lower(*a) != ascii_lower(*b)) return false;
  return *a == *b;
}
}  // namespace detail

namespace {
class TypeInfo final : public ITypeInfo, public RefCounted {
 public:
  explicit TypeInfo(const TypeDesc* desc) : desc_(desc) {}

  HRESULT QueryInterface(const IID& iid, void** out) override {
    return detail::query_one<ITypeInfo>(this, IID_ITypeInfo, iid, out);
  }
  uint32_t AddRef() override { return ref_add(); }
  uint32_t Release() override { return ref_release(); }

  HRESULT GetTypeDesc(const TypeDesc** out) override {
    if (out == nullptr) return E_POINTER;
    *out = desc_;
    return S_OK;
  }
  HRESULT GetIDOfName(const char* name, DISPID* out) override {
    if (out == nullptr) return E_POINTER;
    *out = DISPID_UNKNOWN;
    if (name == nullptr) return E_INVALIDARG;
    for (uint32_t i = 0; i < desc_->member_count; ++i) {
      if (detail::iequal(desc_->members[i].name, name)) {
        *out = desc_->members[i].dispid;
        return S_OK;
      }
    }
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT GetMemberOfID(DISPID id, const MemberDesc** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    for (uint32_t i = 0; i < desc_->member_count; ++i) {
      if (desc_->members[i].dispid == id) {
        *out = &desc_->members[i];
        return S_OK;
      }
    }
    return TYPE_E_ELEMENTNOTFOUND;
  }
  HRESULT GetImplTypeCount(uint32_t* count) override {
    if (count == nullptr) return E_POINTER;
    *count = desc_->impls != nullptr ? desc_->impl_count : 0;
    return S_OK;
  }
  HRESULT GetImplType(uint32_t index, uint32_t* flags, ITypeInfo** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (desc_->impls == nullptr || index >= desc_->impl_count) return TYPE_E_ELEMENTNOTFOUND;
    if (flags != nullptr) *flags = desc_->impls[index].flags;
    return CreateTypeInfo(desc_->impls[index].type, out);
  }

 private:
  const TypeDesc* desc_;
};
}  // namespace

HRESULT CreateTypeInfo(const TypeDesc* desc, ITypeInfo** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (desc == nullptr || (desc->members == nullptr && desc->member_count > 0)) return E_INVALIDARG;
  auto* t = new (std::nothrow) TypeInfo(desc);
  if (t == nullptr) return E_OUTOFMEMORY;
  *out = t;
  return S_OK;
}

}  // namespace com
