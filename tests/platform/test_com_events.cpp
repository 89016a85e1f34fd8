// Events from the test component's widget to sinks a host connects.
#include <cstdlib>

#include "com_test_env.h"
#include "com_test_sink.h"

using namespace com;

class ComEvents : public ComStoreTest {
 protected:
  void SetUp() override {
    ComStoreTest::SetUp();
    ASSERT_EQ(com_library_register(COM_TEST_COMPONENT, false), S_OK);
    ASSERT_EQ(CoCreateInstanceByName(comtest::kProgId, IID_IDispatch, reinterpret_cast<void**>(&widget_)), S_OK);
    IConnectionPointContainer* c = nullptr;
    ASSERT_EQ(widget_->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&c)), S_OK);
    EXPECT_EQ(c->FindConnectionPoint(IID_IDispatch, &cp_), CONNECT_E_NOCONNECTION);
    ASSERT_EQ(c->FindConnectionPoint(comtest::kWidgetEventsIid, &cp_), S_OK);
    c->Release();
  }
  void TearDown() override {
    if (cp_) cp_->Release();
    if (widget_) widget_->Release();
    CoFreeUnusedLibraries();
    ComStoreTest::TearDown();
  }
  HRESULT put_value(int32_t n) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = n;
    return disp_put(widget_, comtest::kDispValue, v);
  }
  int32_t get_i4(DISPID id) {
    VARIANT v;
    return SUCCEEDED(disp_get(widget_, id, &v)) ? v.lVal : INT32_MIN;
  }

  IDispatch* widget_ = nullptr;
  IConnectionPoint* cp_ = nullptr;
};

TEST_F(ComEvents, EverySinkHearsAndByRefAnswersComeBack) {
  TestSink a, b;
  uint32_t ca = 0, cb = 0;
  ASSERT_EQ(cp_->Advise(&a, &ca), S_OK);
  ASSERT_EQ(cp_->Advise(&b, &cb), S_OK);
  EXPECT_NE(ca, cb);
  EXPECT_EQ(a.refs, 2u);  // the connection holds a reference

  VARIANT r;
  ASSERT_EQ(disp_call(widget_, comtest::kDispPing, nullptr, 0, &r), S_OK);
  EXPECT_EQ(r.lVal, 2);  // each sink added one through the reference

  ASSERT_EQ(put_value(5), S_OK);
  EXPECT_EQ(a.last_value, 5);
  b.veto = true;  // cancels through the by-reference BOOL
  ASSERT_EQ(put_value(6), S_OK);
  EXPECT_EQ(get_i4(comtest::kDispValue), 5);
  EXPECT_EQ(get_i4(comtest::kDispCount), 1);

  ASSERT_EQ(cp_->Unadvise(cb), S_OK);
  EXPECT_EQ(cp_->Unadvise(cb), CONNECT_E_NOCONNECTION);
  EXPECT_EQ(cp_->Unadvise(0), CONNECT_E_NOCONNECTION);
  ASSERT_EQ(put_value(7), S_OK);
  EXPECT_EQ(get_i4(comtest::kDispValue), 7);
  EXPECT_EQ(b.refs, 1u);
  ASSERT_EQ(cp_->Unadvise(ca), S_OK);
}

TEST_F(ComEvents, SinksMayDisconnectWhileAnEventIsDelivered) {
  TestSink a, b;
  uint32_t ca = 0, cb = 0;
  ASSERT_EQ(cp_->Advise(&a, &ca), S_OK);
  ASSERT_EQ(cp_->Advise(&b, &cb), S_OK);
  a.on_event = [&] { cp_->Unadvise(cb); cp_->Unadvise(ca); };
  VARIANT r;
  ASSERT_EQ(disp_call(widget_, comtest::kDispPing, nullptr, 0, &r), S_OK);
  EXPECT_EQ(r.lVal, 2);  // b was connected when the event started
  EXPECT_EQ(a.refs, 1u);
  EXPECT_EQ(b.refs, 1u);
  ASSERT_EQ(disp_call(widget_, comtest::kDispPing, nullptr, 0, &r), S_OK);
  EXPECT_EQ(r.lVal, 0);
}

TEST_F(ComEvents, ReleasingTheObjectReleasesItsSinks) {
  TestSink a;
  uint32_t ca = 0;
  ASSERT_EQ(cp_->Advise(&a, &ca), S_OK);
  IID iid{};
  ASSERT_EQ(cp_->GetConnectionInterface(&iid), S_OK);
  EXPECT_TRUE(guid_equal(iid, comtest::kWidgetEventsIid));
  cp_->Release();
  cp_ = nullptr;
  widget_->Release();
  widget_ = nullptr;
  EXPECT_EQ(a.refs, 1u);
}

TEST_F(ComEvents, SinksWithoutDispatchAreRefused) {
  struct NotASink final : IUnknown {
    HRESULT QueryInterface(const IID&, void** out) override { *out = nullptr; return E_NOINTERFACE; }
    uint32_t AddRef() override { return 1; }
    uint32_t Release() override { return 1; }
  } plain;
  uint32_t cookie = 7;
  EXPECT_EQ(cp_->Advise(&plain, &cookie), CONNECT_E_CANNOTCONNECT);
  EXPECT_EQ(cookie, 0u);
  EXPECT_EQ(cp_->Advise(nullptr, &cookie), E_POINTER);
}
