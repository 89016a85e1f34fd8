// Drives a control in the test's own process through its dispatch
// interface, as a host would, with files in a fresh temporary folder.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "RastCtl.h"
#include "platform/com.h"
#include "platform/window.h"
#include "support/engine_fixture.h"

namespace test {

// Late-bound writes and reads with the variant types hosts use.
struct Host {
  com::IDispatch* disp = nullptr;

  com::HRESULT put(int32_t id, const com::VARIANT& v) const { return com::disp_put(disp, id, v); }
  com::HRESULT put_str(int32_t id, const std::string& s) const;
  com::HRESULT put_i2(int32_t id, int16_t v) const;
  com::HRESULT put_i4(int32_t id, int32_t v) const;
  com::HRESULT put_i8(int32_t id, int64_t v) const;
  com::HRESULT put_r8(int32_t id, double v) const;
  com::HRESULT put_bool(int32_t id, bool v) const;
  std::string get_str(int32_t id) const;
  int64_t get_int(int32_t id) const;  // any integer or BOOL member
  double get_r8(int32_t id) const;
  // Several writes of one variant type in order, and several reads at once.
  void put_i2s(std::initializer_list<std::pair<int32_t, int16_t>> writes) const {
    for (const auto& w : writes) put_i2(w.first, w.second);
  }
  void put_i4s(std::initializer_list<std::pair<int32_t, int32_t>> writes) const {
    for (const auto& w : writes) put_i4(w.first, w.second);
  }
  std::vector<int64_t> get_ints(std::initializer_list<int32_t> ids) const {
    std::vector<int64_t> v;
    for (int32_t id : ids) v.push_back(get_int(id));
    return v;
  }
};

using Ints = std::vector<int64_t>;

// A site that answers for design or run mode and for data binding.
struct TestSite final : com::IControlSite {
  bool user_mode = true;
  bool refuse_edit = false;
  int changed = 0;
  explicit TestSite(bool run_mode = true) : user_mode(run_mode) {}
  com::HRESULT QueryInterface(const com::IID&, void** out) override { *out = this; return com::S_OK; }
  uint32_t AddRef() override { return 2; }
  uint32_t Release() override { return 1; }
  com::HRESULT GetAmbientUserMode(com::VARIANT_BOOL* mode) override {
    *mode = user_mode ? com::VARIANT_TRUE : com::VARIANT_FALSE;
    return com::S_OK;
  }
  com::HRESULT OnRequestEdit(com::DISPID) override { return refuse_edit ? com::S_FALSE : com::S_OK; }
  com::HRESULT OnChanged(com::DISPID) override { ++changed; return com::S_OK; }
};

// An event sink that records every event and can answer StatusEvent.
class RecordingSink final : public com::IDispatch {
 public:
  struct Event {
    int32_t id;
    std::vector<int64_t> ints;  // integer arguments in declaration order
    std::vector<std::string> texts;
  };
  std::vector<Event> events;
  int32_t cancel_at_percent = -1;  // answer -1 once this percentage arrives

  com::HRESULT QueryInterface(const com::IID& iid, void** out) override;
  uint32_t AddRef() override { return ++refs_; }
  uint32_t Release() override { return --refs_; }
  com::HRESULT GetTypeInfoCount(uint32_t* n) override { *n = 0; return com::S_OK; }
  com::HRESULT GetTypeInfo(uint32_t, uint32_t, com::ITypeInfo**) override { return com::E_NOTIMPL; }
  com::HRESULT GetIDsOfNames(const com::IID&, const char* const*, uint32_t, uint32_t,
                             com::DISPID*) override {
    return com::E_NOTIMPL;
  }
  com::HRESULT Invoke(com::DISPID id, const com::IID&, uint32_t, uint16_t,
                      com::DISPPARAMS* params, com::VARIANT*, com::EXCEPINFO*,
                      uint32_t*) override;
  size_t count(int32_t id) const;

 private:
  uint32_t refs_ = 1;
};

class CtrlTest : public EngineTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  rast::CRastCtrl& ctrl() { return *ctrl_; }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  // A BMP file of the given size and depth with patterned pixels.
  std::string make_bmp(const std::string& name, int32_t width, int32_t height, int32_t bits = 24,
                       uint32_t seed = 0);
  // A file that claims to be a BMP but is cut short.
  std::string make_broken_bmp(const std::string& name);
  // Loads a patterned BMP of this size and depth as a host does and
  // returns the current image.
  RX_HIMAGE load(int32_t width, int32_t height, int32_t bits = 24, uint32_t seed = 5);
  // A pixel of the current image, or of `image`, as three bytes.
  std::vector<uint8_t> pixel(int32_t x, int32_t y);
  static std::vector<uint8_t> pixel(RX_HIMAGE image, int32_t x, int32_t y);
  // The current image's rows from the top, a byte a pixel (a byte a
  // channel at 24 bits).
  std::vector<std::vector<uint8_t>> image_rows();
  // Writes `value` to auxiliary entry `index`: the setting mode, then its
  // value.
  void aux(int32_t index, int32_t value);
  // How many of the nine slots hold an image.
  int live_slots();
  // Connects the fixture's sink to the control's events.
  RecordingSink& connect();
  // Connects `sink` instead, until the test ends (it must outlive the test body).
  void connect(com::IDispatch* sink);

  Host host;
  std::filesystem::path dir_;

 private:
  rast::CRastCtrl* ctrl_ = nullptr;
  RecordingSink sink_;
  uint32_t cookie_ = 0;
  com::IConnectionPoint* point_ = nullptr;
};

// The control in place in a 400 x 300 host window of the window layer.
class PlacedCtrlTest : public CtrlTest {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Activates the control over this rectangle of the host; its window.
  HWND activate(int32_t left, int32_t top, int32_t right, int32_t bottom);
  // Drops the in-place interface and the fixture's own reference, the
  // last one, so the control goes before the test ends.
  void release_control() {
    place_->Release();
    place_ = nullptr;
    EXPECT_EQ(host.disp->Release(), 0u);
    host.disp = nullptr;
  }

  HWND parent_ = nullptr;
  com::IInPlaceControl* place_ = nullptr;
};

}  // namespace test
