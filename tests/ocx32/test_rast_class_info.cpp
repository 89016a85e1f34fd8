// A generic host (a script engine, a viewer) learns the control's event
// interface from the control itself and connects to it: it knows no id
// and no DISPID beforehand, only the member names it wants.
#include <algorithm>

#include "ocx32/ctrl_harness.h"
#include "platform/com.h"
#include "rast_dispids.h"

namespace {

using namespace com;

// A sink that takes whatever event interface it is given.
class AnySink final : public IDispatch {
 public:
  explicit AnySink(const IID& events) : events_(events) {}
  HRESULT QueryInterface(const IID& iid, void** out) override {
    *out = nullptr;
    if (!guid_equal(iid, IID_IUnknown) && !guid_equal(iid, IID_IDispatch) &&
        !guid_equal(iid, events_))
      return E_NOINTERFACE;
    *out = static_cast<IDispatch*>(this);
    return S_OK;
  }
  uint32_t AddRef() override { return 2; }
  uint32_t Release() override { return 1; }
  HRESULT GetTypeInfoCount(uint32_t* n) override { *n = 0; return S_OK; }
  HRESULT GetTypeInfo(uint32_t, uint32_t, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(const IID&, const char* const*, uint32_t, uint32_t, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT Invoke(DISPID id, const IID&, uint32_t, uint16_t, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                 uint32_t*) override {
    received.push_back(id);
    return S_OK;
  }
  std::vector<DISPID> received;

 private:
  IID events_;
};

class CtrlClassInfo : public test::CtrlTest {};

// The class description lists the interfaces; the one flagged as the
// default source is the event interface.
ITypeInfo* default_source(IUnknown* object) {
  IProvideClassInfo* provide = nullptr;
  if (FAILED(object->QueryInterface(IID_IProvideClassInfo, reinterpret_cast<void**>(&provide))))
    return nullptr;
  ITypeInfo* klass = nullptr;
  provide->GetClassInfo(&klass);
  provide->Release();
  if (klass == nullptr) return nullptr;
  ITypeInfo* found = nullptr;
  uint32_t count = 0;
  klass->GetImplTypeCount(&count);
  for (uint32_t i = 0; i < count && found == nullptr; ++i) {
    uint32_t flags = 0;
    ITypeInfo* t = nullptr;
    if (FAILED(klass->GetImplType(i, &flags, &t))) continue;
    const uint32_t want = IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE;
    if ((flags & want) == want) found = t;
    else t->Release();
  }
  klass->Release();
  return found;
}

TEST_F(CtrlClassInfo, AHostFindsTheEventsThroughTheClassAloneAndConnects) {
  ITypeInfo* events = default_source(host.disp);
  ASSERT_NE(events, nullptr);
  const TypeDesc* desc = nullptr;
  events->GetTypeDesc(&desc);
  EXPECT_STREQ(desc->name, "_DRastEvents");
  DISPID error_event = DISPID_UNKNOWN;
  ASSERT_EQ(events->GetIDOfName("errorevent", &error_event), S_OK);
  const IID events_iid = desc->iid;
  events->Release();

  IProvideClassInfo2* provide = nullptr;
  ASSERT_EQ(host.disp->QueryInterface(IID_IProvideClassInfo2, reinterpret_cast<void**>(&provide)),
            S_OK);
  GUID source{};
  EXPECT_EQ(provide->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source), S_OK);
  EXPECT_TRUE(guid_equal(source, events_iid)) << "both ways name the same interface";
  EXPECT_EQ(provide->GetGUID(99, &source), E_INVALIDARG);
  provide->Release();

  IConnectionPointContainer* container = nullptr;
  ASSERT_EQ(host.disp->QueryInterface(IID_IConnectionPointContainer,
                                      reinterpret_cast<void**>(&container)),
            S_OK);
  IConnectionPoint* point = nullptr;
  ASSERT_EQ(container->FindConnectionPoint(events_iid, &point), S_OK);
  AnySink sink(events_iid);
  uint32_t cookie = 0;
  ASSERT_EQ(point->Advise(&sink, &cookie), S_OK);
  // With DebugLevel 2 a failed load fires the error event.
  DISPID debug_level = DISPID_UNKNOWN, load_image = DISPID_UNKNOWN;
  const char* names[] = {"DebugLevel"};
  ASSERT_EQ(host.disp->GetIDsOfNames(IID_NULL, names, 1, 0, &debug_level), S_OK);
  names[0] = "LoadImage";
  ASSERT_EQ(host.disp->GetIDsOfNames(IID_NULL, names, 1, 0, &load_image), S_OK);
  host.put_i2(debug_level, 2);
  host.put_str(load_image, path("missing.bmp"));
  EXPECT_EQ(std::count(sink.received.begin(), sink.received.end(), error_event), 1);
  point->Unadvise(cookie);
  point->Release();
  container->Release();
}

TEST_F(CtrlClassInfo, TheClassIsRastWithItsDispatchInterfaceAsDefault) {
  IProvideClassInfo* provide = nullptr;
  ASSERT_EQ(host.disp->QueryInterface(IID_IProvideClassInfo, reinterpret_cast<void**>(&provide)),
            S_OK);
  ITypeInfo* klass = nullptr;
  ASSERT_EQ(provide->GetClassInfo(&klass), S_OK);
  const TypeDesc* desc = nullptr;
  klass->GetTypeDesc(&desc);
  EXPECT_STREQ(desc->name, "Rast");
  uint32_t flags = 0;
  ITypeInfo* first = nullptr;
  ASSERT_EQ(klass->GetImplType(0, &flags, &first), S_OK);
  EXPECT_EQ(flags, uint32_t{IMPLTYPEFLAG_FDEFAULT});
  first->GetTypeDesc(&desc);
  EXPECT_STREQ(desc->name, "_DRast");
  first->Release();
  ITypeInfo* third = nullptr;
  EXPECT_EQ(klass->GetImplType(2, &flags, &third), TYPE_E_ELEMENTNOTFOUND) << "only two";
  EXPECT_EQ(third, nullptr);
  klass->Release();
  provide->Release();
}

}  // namespace
