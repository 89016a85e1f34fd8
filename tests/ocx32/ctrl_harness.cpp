#include "ocx32/ctrl_harness.h"

#include <fstream>
#include <random>

#include "SUPPORT/dib_builder.h"
#include "rast_dispids.h"
#include "rast_guids.h"
#include "rastrix/rx_window.h"

namespace test {

using namespace com;

namespace {
VARIANT variant_of(VARTYPE vt) {
  VARIANT v;
  VariantInit(&v);
  v.vt = vt;
  return v;
}
}  // namespace

HRESULT Host::put_str(int32_t id, const std::string& s) const {
  VARIANT v = variant_of(VT_BSTR);
  v.bstrVal = SysAllocString(s.c_str());
  HRESULT hr = put(id, v);
  VariantClear(&v);
  return hr;
}
HRESULT Host::put_i2(int32_t id, int16_t x) const {
  VARIANT v = variant_of(VT_I2);
  v.iVal = x;
  return put(id, v);
}
HRESULT Host::put_i4(int32_t id, int32_t x) const {
  VARIANT v = variant_of(VT_I4);
  v.lVal = x;
  return put(id, v);
}
HRESULT Host::put_i8(int32_t id, int64_t x) const {
  VARIANT v = variant_of(VT_I8);
  v.llVal = x;
  return put(id, v);
}
HRESULT Host::put_r8(int32_t id, double x) const {
  VARIANT v = variant_of(VT_R8);
  v.dblVal = x;
  return put(id, v);
}
HRESULT Host::put_bool(int32_t id, bool x) const {
  VARIANT v = variant_of(VT_BOOL);
  v.boolVal = x ? VARIANT_TRUE : VARIANT_FALSE;
  return put(id, v);
}
std::string Host::get_str(int32_t id) const {
  VARIANT v;
  VariantInit(&v);
  EXPECT_EQ(disp_get(disp, id, &v), S_OK) << id;
  EXPECT_EQ(v.vt, VT_BSTR) << id;
  std::string s = v.vt == VT_BSTR && v.bstrVal ? v.bstrVal : "";
  VariantClear(&v);
  return s;
}
int64_t Host::get_int(int32_t id) const {
  VARIANT v, w;
  VariantInit(&v);
  VariantInit(&w);
  EXPECT_EQ(disp_get(disp, id, &v), S_OK) << id;
  EXPECT_EQ(VariantChangeType(&w, &v, 0, VT_I8), S_OK) << id;
  VariantClear(&v);
  return w.llVal;
}
double Host::get_r8(int32_t id) const {
  VARIANT v;
  VariantInit(&v);
  EXPECT_EQ(disp_get(disp, id, &v), S_OK) << id;
  EXPECT_EQ(VariantChangeType(&v, &v, 0, VT_R8), S_OK) << id;
  return v.dblVal;
}

HRESULT RecordingSink::QueryInterface(const IID& iid, void** out) {
  if (guid_equal(iid, IID_IUnknown) || guid_equal(iid, IID_IDispatch)) {
    *out = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

HRESULT RecordingSink::Invoke(DISPID id, const IID&, uint32_t, uint16_t, DISPPARAMS* params,
                              VARIANT*, EXCEPINFO*, uint32_t*) {
  Event e{id, {}, {}};
  for (uint32_t i = params ? params->cArgs : 0; i-- > 0;) {
    VARIANT& a = params->rgvarg[i];
    if (a.vt == VT_BSTR) {
      e.texts.push_back(a.bstrVal ? a.bstrVal : "");
    } else if (a.vt == (VT_BYREF | VT_I4)) {
      e.ints.push_back(*a.plVal);
      if (id == 3 && cancel_at_percent >= 0 && *a.plVal >= cancel_at_percent) *a.plVal = -1;
    } else if (a.vt == VT_I2) {
      e.ints.push_back(a.iVal);
    } else if (a.vt == VT_I4) {
      e.ints.push_back(a.lVal);
    }
  }
  events.push_back(e);
  return S_OK;
}

size_t RecordingSink::count(int32_t id) const {
  size_t n = 0;
  for (const Event& e : events) n += e.id == id;
  return n;
}

void CtrlTest::SetUp() {
  EngineTest::SetUp();
  static std::mt19937_64 rng{std::random_device{}()};
  dir_ = std::filesystem::temp_directory_path() / ("rast-ctrl-" + std::to_string(rng()));
  std::filesystem::create_directories(dir_);
  void* out = nullptr;
  ASSERT_EQ(rast::CRastCtrl::create(IID_IDispatch, &out), S_OK);
  host.disp = static_cast<IDispatch*>(out);
  ctrl_ = static_cast<rast::CRastCtrl*>(host.disp);
}

void CtrlTest::TearDown() {
  if (point_ != nullptr) {
    point_->Unadvise(cookie_);
    point_->Release();
  }
  if (host.disp != nullptr) {
    EXPECT_EQ(host.disp->Release(), 0u);
  }
  std::filesystem::remove_all(dir_);
  EngineTest::TearDown();
}

void PlacedCtrlTest::SetUp() {
  CtrlTest::SetUp();
  parent_ = pw_window_create(0, RX_window_class_name(), "host", WS_VISIBLE, 0, 0, 400, 300, nullptr, 0, nullptr);
  ASSERT_NE(parent_, nullptr);
  ASSERT_EQ(ctrl().QueryInterface(com::IID_IInPlaceControl, reinterpret_cast<void**>(&place_)), com::S_OK);
}

void PlacedCtrlTest::TearDown() {
  if (place_ != nullptr) {
    place_->InPlaceDeactivate();
    place_->Release();
  }
  pw_window_destroy(parent_);
  CtrlTest::TearDown();
}

HWND PlacedCtrlTest::activate(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  const int32_t rect[4] = {left, top, right, bottom};
  EXPECT_EQ(place_->InPlaceActivate(reinterpret_cast<uintptr_t>(parent_), rect), com::S_OK);
  uintptr_t w = 0;
  place_->GetWindow(&w);
  return reinterpret_cast<HWND>(w);
}

int CtrlTest::live_slots() {
  int live = 0;
  for (int32_t i = 0; i < rast::kSlotCount; ++i) live += ctrl().slot_image(i) != 0;
  return live;
}

RecordingSink& CtrlTest::connect() {
  connect(&sink_);
  return sink_;
}

void CtrlTest::connect(com::IDispatch* sink) {
  IConnectionPointContainer* container = nullptr;
  EXPECT_EQ(host.disp->QueryInterface(IID_IConnectionPointContainer,
                                      reinterpret_cast<void**>(&container)),
            S_OK);
  EXPECT_EQ(container->FindConnectionPoint(rast::IID_DRastEvents, &point_), S_OK);
  container->Release();
  EXPECT_EQ(point_->Advise(sink, &cookie_), S_OK);
}

std::string CtrlTest::make_bmp(const std::string& name, int32_t width, int32_t height,
                               int32_t bits, uint32_t seed) {
  std::vector<uint8_t> dib = make_dib(width, height, bits);
  fill_pattern(dib, seed);
  RX_HIMAGE image = create(dib);
  EXPECT_NE(image, 0u);
  const std::string p = path(name);
  EXPECT_EQ(RX_image_save_file(image, p.c_str(), RX_FORMAT_BMP), 0);
  RX_image_delete(image);
  return p;
}

std::string CtrlTest::make_broken_bmp(const std::string& name) {
  const std::string good = make_bmp(name + ".tmp", 16, 16);
  std::ifstream in(good, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
  bytes.resize(40);
  const std::string p = path(name);
  std::ofstream(p, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  std::filesystem::remove(good);
  return p;
}

RX_HIMAGE CtrlTest::load(int32_t width, int32_t height, int32_t bits, uint32_t seed) {
  host.put_str(rast::kDispLoadImage, make_bmp("in.bmp", width, height, bits, seed));
  return ctrl().current_image();
}

std::vector<uint8_t> CtrlTest::pixel(int32_t x, int32_t y) {
  return pixel(ctrl().current_image(), x, y);
}

std::vector<uint8_t> CtrlTest::pixel(RX_HIMAGE image, int32_t x, int32_t y) {
  std::vector<uint8_t> v(3, 0);
  EXPECT_EQ(RX_image_pixel_get(image, x, y, v.data()), 0) << x << "," << y;
  return v;
}

std::vector<std::vector<uint8_t>> CtrlTest::image_rows() {
  const RX_HIMAGE image = ctrl().current_image();
  int32_t w = 0, h = 0, bits = 0;
  RX_image_dimensions_get(image, &w, &h, &bits);
  std::vector<std::vector<uint8_t>> out(h, std::vector<uint8_t>(size_t(w) * (bits == 24 ? 3 : 1)));
  for (int32_t y = 0; y < h; ++y) RX_DIB_raster_get(image, y, out[y].data(), RX_ROW_BYTE_PER_PIXEL);
  return out;
}

void CtrlTest::aux(int32_t index, int32_t value) {
  host.put_i4(rast::kDispSettingMode, index);
  host.put_i4(rast::kDispSettingValue, value);
}

}  // namespace test
