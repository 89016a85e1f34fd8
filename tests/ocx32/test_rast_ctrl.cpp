// The control object: initial values, the dispatch surface, error state,
// read-only members by host mode, persistence and calls a host gets wrong.
#include <cmath>
#include <cstring>

#include "ocx32/ctrl_harness.h"
#include "rast_dispids.h"
#include "rast_props.h"

namespace test {
namespace {

using namespace com;
using namespace rast;

using CtrlBasics = CtrlTest;

TEST_F(CtrlBasics, NewControlReportsTheTableInitialValues) {
  EXPECT_EQ(host.get_int(kDispZoomLevel), 100);
  EXPECT_EQ(host.get_int(kDispSaveFormat), RX_FORMAT_BMP);
  EXPECT_EQ(host.get_int(kDispSaveQuality), 70);
  EXPECT_EQ(host.get_int(kDispImageIndex), 1);
  EXPECT_EQ(host.get_int(kDispDrawMode), 13369376);
  EXPECT_EQ(host.get_int(kDispOctreeBits), 8);
  EXPECT_EQ(host.get_int(kDispScanHres), 300);
  EXPECT_EQ(host.get_int(kDispScanVres), 300);
  EXPECT_EQ(host.get_r8(kDispScanRight), 8.5);
  EXPECT_EQ(host.get_r8(kDispScanBottom), 11.0);
  EXPECT_EQ(host.get_int(kDispPrintRight), 2400);
  EXPECT_EQ(host.get_int(kDispPrintBottom), 3000);
  EXPECT_EQ(host.get_int(kDispAutoRedraw), VARIANT_TRUE);
  EXPECT_EQ(host.get_int(kDispDisplayCentered), VARIANT_TRUE);
  EXPECT_EQ(host.get_int(kDispScrollBars), VARIANT_TRUE);
  EXPECT_EQ(host.get_int(kDispLoadMergeOP), 1);
  EXPECT_EQ(host.get_str(kDispThumbFilter), "*.*");
  EXPECT_EQ(host.get_r8(kDispDisplayGamma), 1.0);
  EXPECT_EQ(host.get_r8(kDispDisplayContrast), 1.0);
  EXPECT_EQ(host.get_str(kDispLoadImage), "");
  EXPECT_EQ(host.get_int(kDispErrCount), 0);
}

TEST_F(CtrlBasics, EveryMemberReadsWithItsDeclaredType) {
  for (const PropDesc& p : prop_all()) {
    VARIANT v;
    VariantInit(&v);
    ASSERT_EQ(disp_get(host.disp, p.dispid, &v), S_OK) << p.name;
    EXPECT_EQ(v.vt, prop_vartype(p.type)) << p.name;
    VariantClear(&v);
  }
  EXPECT_EQ(prop_all().size(), 193u);
  EXPECT_EQ(prop_find(103), nullptr);
  EXPECT_EQ(prop_find(197), nullptr);
}

TEST_F(CtrlBasics, NamesResolveToTheirIdentifiers) {
  DISPID id = 0;
  EXPECT_EQ(disp_id_of(host.disp, "LoadImage", &id), S_OK);
  EXPECT_EQ(id, 4);
  EXPECT_EQ(disp_id_of(host.disp, "saveQUALITY", &id), S_OK);
  EXPECT_EQ(id, 62);
  EXPECT_EQ(disp_id_of(host.disp, "IsGray", &id), S_OK);
  EXPECT_EQ(id, 196);
  EXPECT_EQ(disp_id_of(host.disp, "AboutBox", &id), S_OK);
  EXPECT_EQ(id, -552);
  EXPECT_EQ(disp_id_of(host.disp, "NoSuchMember", &id), DISP_E_UNKNOWNNAME);
}

TEST_F(CtrlBasics, ErrStringFollowsTheErrorStack) {
  EXPECT_EQ(host.get_str(kDispErrString), "Success");
  host.put_str(kDispLoadImage, path("missing.bmp"));
  EXPECT_GT(host.get_int(kDispErrCount), 0);
  EXPECT_NE(host.get_str(kDispErrString), "Success");
  EXPECT_NE(host.get_int(kDispErrorCode), 0);
  // A code the table does not know.
  RPb_AF_error_clear();
  RPb_AF_error_set("x.cpp", 1, -12345, 0, 0);
  EXPECT_EQ(host.get_str(kDispErrString), "Error Not Found");
  EXPECT_EQ(host.get_int(kDispErrorCode), -12345);
  host.put_i2(kDispErrorCode, 5);  // no such entry
  EXPECT_EQ(host.get_int(kDispErrorCode), 0);
}

TEST_F(CtrlBasics, VersionIsMajorMinorUpdate) {
  EXPECT_NEAR(host.get_r8(kDispVersion), 6.301, 1e-9);
  AboutTexts t = ctrl().about_box_texts();
  EXPECT_EQ(t.version, "Version 6.03.001");
  ASSERT_EQ(t.build_date.rfind("Build date:  ", 0), 0u);
  EXPECT_EQ(t.build_date.size(), std::strlen("Build date:  Dec  7 2026"));
}

class ModeSite final : public IControlSite {
 public:
  VARIANT_BOOL user_mode = VARIANT_TRUE;
  bool refuse_edit = false;
  int changed = 0;
  HRESULT QueryInterface(const IID&, void** out) override {
    *out = this;
    return S_OK;
  }
  uint32_t AddRef() override { return 2; }
  uint32_t Release() override { return 1; }
  HRESULT GetAmbientUserMode(VARIANT_BOOL* mode) override {
    *mode = user_mode;
    return S_OK;
  }
  HRESULT OnRequestEdit(DISPID) override { return refuse_edit ? S_FALSE : S_OK; }
  HRESULT OnChanged(DISPID) override {
    ++changed;
    return S_OK;
  }
};

TEST_F(CtrlBasics, ReadOnlyMembersRefuseAtRunTimeAndIgnoreAtDesignTime) {
  ModeSite site;
  ASSERT_EQ(ctrl().SetSite(&site), S_OK);
  const int32_t read_only[] = {kDispImageType, kDispErrString, kDispFileType, kDispVersion,
                               kDispDeviceRectLeft, kDispImagePtr, kDispImageHdib,
                               kDispPageCount, kDispIsGray, kDispHWnd};
  for (int32_t id : read_only) EXPECT_EQ(host.put_i4(id, 1), CTL_E_SETNOTSUPPORTED) << id;
  site.user_mode = VARIANT_FALSE;
  for (int32_t id : read_only) EXPECT_EQ(host.put_i4(id, 1), S_OK) << id;
  EXPECT_NEAR(host.get_r8(kDispVersion), 6.301, 1e-9);
  // Accepted and ignored in either mode.
  site.user_mode = VARIANT_TRUE;
  EXPECT_EQ(host.put_str(kDispCompressType, "LZW"), S_OK);
  EXPECT_EQ(host.put_r8(kDispScanVersion, 2.0), S_OK);
  ctrl().SetSite(nullptr);
}

TEST_F(CtrlBasics, PersistenceKeepsOnlyVersionExtentAndStockProperties) {
  host.put_i4(kDispBackColor, 0x00123456);
  host.put_i2(kDispBorderStyle, 1);
  host.put_i2(kDispAppearance, 1);
  host.put_i4(kDispZoomLevel, 250);
  ctrl().SetExtent(900, 450);
  IStream* stream = nullptr;
  ASSERT_EQ(CreateMemoryStream(nullptr, 0, &stream), S_OK);
  ASSERT_EQ(ctrl().Save(stream, 1), S_OK);
  const uint8_t* data = nullptr;
  uint32_t size = 0;
  ASSERT_EQ(MemoryStreamContent(stream, &data, &size), S_OK);
  ASSERT_EQ(size, 25u);
  EXPECT_EQ(data[0] | data[1] << 8 | data[2] << 16 | data[3] << 24, 0x00010000);

  void* out = nullptr;
  ASSERT_EQ(CRastCtrl::create(IID_IPersistStreamInit, &out), S_OK);
  auto* other = static_cast<IPersistStreamInit*>(out);
  ASSERT_EQ(stream->Seek(0, STREAM_SEEK_SET, nullptr), S_OK);
  ASSERT_EQ(other->Load(stream), S_OK);
  IDispatch* d = nullptr;
  ASSERT_EQ(other->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&d)), S_OK);
  Host h2{d};
  EXPECT_EQ(h2.get_int(kDispBackColor), 0x00123456);
  EXPECT_EQ(h2.get_int(kDispBorderStyle), 1);
  EXPECT_EQ(h2.get_int(kDispAppearance), 1);
  EXPECT_EQ(h2.get_int(kDispZoomLevel), 100);
  IControl* c = nullptr;
  ASSERT_EQ(other->QueryInterface(IID_IControl, reinterpret_cast<void**>(&c)), S_OK);
  int32_t cx = 0, cy = 0;
  c->GetExtent(&cx, &cy);
  EXPECT_EQ(cx, 900);
  EXPECT_EQ(cy, 450);
  c->Release();
  d->Release();
  other->Release();
  stream->Release();
}

TEST_F(CtrlBasics, ShortOrForeignStreamsChangeNothing) {
  host.put_i4(kDispBackColor, 0x00ABCDEF);
  const uint8_t bad_version[25] = {0, 0, 2, 0};
  const uint8_t short_stream[14] = {0, 0, 1, 0, 1, 0, 0, 0, 1, 0, 0, 0, 7, 1};
  for (auto [bytes, n] : {std::pair{bad_version, 25u}, std::pair{short_stream, 14u}}) {
    IStream* stream = nullptr;
    ASSERT_EQ(CreateMemoryStream(bytes, n, &stream), S_OK);
    EXPECT_NE(ctrl().Load(stream), S_OK);
    stream->Release();
  }
  EXPECT_EQ(host.get_int(kDispBackColor), 0x00ABCDEF);
}

TEST_F(CtrlBasics, BadCallsAreRefusedWithoutHarm) {
  VARIANT v;
  VariantInit(&v);
  EXPECT_EQ(disp_get(host.disp, 103, &v), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(disp_get(host.disp, 5000, &v), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(host.put_i4(-9999, 1), DISP_E_MEMBERNOTFOUND);
  // A value the member's type cannot hold changes nothing.
  EXPECT_EQ(host.put_i4(kDispLoadRectLeft, 70000), DISP_E_OVERFLOW);
  EXPECT_EQ(host.get_int(kDispLoadRectLeft), 0);
  EXPECT_EQ(host.put_str(kDispSaveQuality, "high"), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(host.get_int(kDispSaveQuality), 70);
  EXPECT_EQ(host.put_str(kDispSaveQuality, "90"), S_OK);
  EXPECT_EQ(host.get_int(kDispSaveQuality), 90);
  // Huge, negative and zero values where addresses and slots are expected.
  EXPECT_EQ(host.put_i4(kDispMemLoad, 0), S_OK);
  EXPECT_EQ(host.put_i4(kDispMemSave, 0), S_OK);
  EXPECT_EQ(host.put_i4(kDispImportDIB, 0), S_OK);
  EXPECT_EQ(host.put_i4(kDispImageIndex, -1), S_OK);
  EXPECT_EQ(host.get_int(kDispImageIndex), 1);
  EXPECT_EQ(host.put_i4(kDispImageIndex, 2147483647), S_OK);
  EXPECT_EQ(host.get_int(kDispImageIndex), 1);
  EXPECT_EQ(host.put_i4(kDispPage, -5), S_OK);
  EXPECT_EQ(host.put_i4(kDispMemSize, -1), S_OK);
  EXPECT_EQ(host.put_str(kDispGetFileInfo, ""), S_OK);
  EXPECT_GT(host.get_int(kDispErrCount), 0);
  // A put needs exactly one argument.
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  EXPECT_EQ(host.disp->Invoke(kDispZoomLevel, IID_NULL, 0, DISPATCH_PROPERTYPUT, &none, nullptr,
                              nullptr, nullptr),
            DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(host.disp->Invoke(kDispAboutBox, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr,
                              nullptr, nullptr),
            S_OK);
}

TEST_F(CtrlBasics, SettingValueFillsTheAuxiliaryTableInRange) {
  host.put_i4(kDispSettingMode, 0);
  host.put_i4(kDispSettingValue, 0);  // Invert now changes the palette
  host.put_i4(kDispSettingMode, 9);
  EXPECT_EQ(host.put_i4(kDispSettingValue, 77), S_OK);  // stores nothing
  host.put_i4(kDispControlMode, RX_OPTION_JPEG_QUALITY);
  host.put_i2(kDispControlValue, 55);
  EXPECT_EQ(host.get_int(kDispControlValue), 55);
  EXPECT_EQ(host.get_int(kDispSaveQuality), 70);  // the member is not the option
  host.put_i4(kDispControlMode, 100);
  EXPECT_EQ(host.get_int(kDispControlValue), 0);
}

}  // namespace
}  // namespace test
