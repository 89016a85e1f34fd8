// The component library as hosts meet it: self-registration in a private
// registry, creation at run time by name, and the converter's own sequence
// of writes.
#include <sys/wait.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "ocx32/ctrl_harness.h"
#include "SUPPORT/dib_builder.h"
#include "platform/com.h"
#include "platform/window.h"
#include "rastrix/rx_window.h"
#include "rast_guids.h"
#include "support/engine_fixture.h"

namespace test {
namespace {

using namespace com;

class RastModule : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    static std::mt19937_64 rng{std::random_device{}()};
    home_ = std::filesystem::temp_directory_path() / ("rast-reg-" + std::to_string(rng()));
    std::filesystem::create_directories(home_);
    const char* old = std::getenv("XDG_CONFIG_HOME");
    had_home_ = old != nullptr;
    if (had_home_) old_home_ = old;
    setenv("XDG_CONFIG_HOME", home_.c_str(), 1);
  }
  void TearDown() override {
    CoFreeUnusedLibraries();
    if (had_home_) setenv("XDG_CONFIG_HOME", old_home_.c_str(), 1);
    else unsetenv("XDG_CONFIG_HOME");
    std::filesystem::remove_all(home_);
    EngineTest::TearDown();
  }
  std::string file(const std::string& name) const { return (home_ / name).string(); }

  std::filesystem::path home_;
  bool had_home_ = false;
  std::string old_home_;
};

TEST_F(RastModule, RegistersTwiceAndUnregistersBothProgIds) {
  ASSERT_EQ(com_library_register(RAST32PO_LIBRARY, false), S_OK);
  ASSERT_EQ(com_library_register(RAST32PO_LIBRARY, false), S_OK);
  CLSID id{};
  EXPECT_EQ(CLSIDFromProgID("RAST.RastCtrl.1", &id), S_OK);
  EXPECT_TRUE(guid_equal(id, rast::CLSID_RastCtrl));
  EXPECT_EQ(CLSIDFromProgID("RAST.RastPropPage.1", &id), S_OK);
  EXPECT_TRUE(guid_equal(id, rast::CLSID_RastPropPage));
  EXPECT_EQ(CLSIDFromName("RASTLib.Rast", &id), S_OK);
  EXPECT_TRUE(guid_equal(id, rast::CLSID_RastCtrl));
  char value[64];
  char key[96] = "CLSID\\";
  guid_to_string(rast::CLSID_RastCtrl, key + 6);
  ASSERT_EQ(reg_get_value(key, nullptr, value, sizeof value), S_OK);
  EXPECT_STREQ(value, "Rastrix OCX-32");

  ASSERT_EQ(com_library_register(RAST32PO_LIBRARY, true), S_OK);
  EXPECT_NE(CLSIDFromProgID("RAST.RastCtrl.1", &id), S_OK);
  EXPECT_NE(CLSIDFromProgID("RAST.RastPropPage.1", &id), S_OK);
  EXPECT_NE(CLSIDFromName("RASTLib.Rast", &id), S_OK);
  EXPECT_NE(reg_get_value(key, nullptr, value, sizeof value), S_OK);
}

TEST_F(RastModule, CreationNeedsTheRegistration) {
  IDispatch* d = nullptr;
  EXPECT_TRUE(FAILED(CoCreateInstanceByName("RASTLib.Rast", IID_IDispatch,
                                            reinterpret_cast<void**>(&d))));
  EXPECT_EQ(d, nullptr);
  ASSERT_EQ(com_library_register(RAST32PO_LIBRARY, false), S_OK);
  ASSERT_EQ(CoCreateInstanceByName("RAST.RastCtrl.1", IID_IDispatch, reinterpret_cast<void**>(&d)),
            S_OK);
  d->Release();
  IUnknown* page = nullptr;
  EXPECT_EQ(CoCreateInstanceByName("RAST.RastPropPage.1", IID_IUnknown,
                                   reinterpret_cast<void**>(&page)),
            S_OK);
  if (page != nullptr) page->Release();
}

// Exactly what the converter does for one file: create the control by its
// type-library name, then five writes by identifier with its value types.
TEST_F(RastModule, ConverterSequenceWritesAJpeg) {
  ASSERT_EQ(com_library_register(RAST32PO_LIBRARY, false), S_OK);
  const std::string bmp = file("PHOTO.BMP"), jpg = file("PHOTO.jpg");
  {
    std::vector<uint8_t> dib(40 + 12 * 3 * 9, 0);
    RX_BITMAPINFOHEADER h{40, 12, 9, 1, 24, 0, 0, 2835, 2835, 0, 0};
    std::memcpy(dib.data(), &h, sizeof h);
    for (size_t i = 40; i < dib.size(); ++i) dib[i] = static_cast<uint8_t>(i * 7);
    RX_HIMAGE image = 0;
    ASSERT_EQ(RX_image_create_from_DIB(dib.data(), dib.size(), &image), 0);
    ASSERT_EQ(RX_image_save_file(image, bmp.c_str(), RX_FORMAT_BMP), 0);
    RX_image_delete(image);
  }
  IDispatch* rast = nullptr;
  ASSERT_EQ(CoCreateInstanceByName("RASTLib.Rast", IID_IDispatch, reinterpret_cast<void**>(&rast)),
            S_OK);
  const Host host{rast};
  EXPECT_EQ(host.put_str(4, bmp), S_OK);
  EXPECT_EQ(host.put_i2(100, 24), S_OK);
  EXPECT_EQ(host.put_i2(8, 21), S_OK);
  EXPECT_EQ(host.put_i2(62, 100), S_OK);
  EXPECT_EQ(host.put_str(5, jpg), S_OK);
  VARIANT count;
  VariantInit(&count);
  EXPECT_EQ(disp_get(rast, 7, &count), S_OK);
  EXPECT_EQ(count.lVal, 0);
  EXPECT_EQ(rast->Release(), 0u);

  int32_t format = 0;
  RX_BITMAPINFOHEADER header{};
  ASSERT_EQ(RX_file_info_get(jpg.c_str(), &format, nullptr, &header), 0);
  EXPECT_EQ(format, RX_FORMAT_JPEG);
  EXPECT_EQ(header.biWidth, 12);
  EXPECT_EQ(header.biHeight, 9);
}

bool library_mapped() {
  std::ifstream maps("/proc/self/maps");
  std::string line;
  while (std::getline(maps, line))
    if (line.find("librast32po") != std::string::npos) return true;
  return false;
}

// The engine inside the library stops when the library unloads and starts
// again when a new control needs it.
TEST_F(RastModule, UnloadsWhenUnusedAndStartsAgain) {
  ASSERT_EQ(com_library_register(RAST32PO_LIBRARY, false), S_OK);
  CoFreeUnusedLibraries();
  for (int round = 0; round < 2; ++round) {
    IDispatch* rast = nullptr;
    ASSERT_EQ(CoCreateInstanceByName("RASTLib.Rast", IID_IDispatch,
                                     reinterpret_cast<void**>(&rast)),
              S_OK);
    EXPECT_TRUE(library_mapped());
    CoFreeUnusedLibraries();  // a live control keeps it loaded
    EXPECT_TRUE(library_mapped());
    EXPECT_EQ(Host{rast}.put_str(4, file("missing.bmp")), S_OK);
    VARIANT count;
    VariantInit(&count);
    EXPECT_EQ(disp_get(rast, 7, &count), S_OK);
    EXPECT_GT(count.lVal, 0);  // the engine is running and reports the failure
    rast->Release();
    CoFreeUnusedLibraries();
    EXPECT_FALSE(library_mapped());
  }
}

// Two engines in one process share the window layer's class table: this
// program's own and the one inside the library. Whichever registered the
// image window and tool window classes first, the library's engine
// stopping must leave this engine with classes whose procedures are its
// own (never ones inside the unloaded library).
constexpr const char* kEngineClasses[] = {"RASTWindowClass", "RASTMagnifyWindowClass",
                                          "RASTMagnifyPopupWindowClass", "RASTPanWindowClass"};

std::vector<pw_window_proc> class_procs() {
  std::vector<pw_window_proc> procs;
  for (const char* name : kEngineClasses) {
    pw_window_class c{};
    procs.push_back(pw_class_info_get(name, &c) != 0 ? c.proc : nullptr);
  }
  return procs;
}

void library_start_and_stop() {
  IDispatch* rast = nullptr;
  ASSERT_EQ(CoCreateInstanceByName("RASTLib.Rast", IID_IDispatch, reinterpret_cast<void**>(&rast)),
            S_OK);
  ASSERT_TRUE(library_mapped());
  rast->Release();
  CoFreeUnusedLibraries();
  ASSERT_FALSE(library_mapped());
}

// An image window of this engine's class, associated and painted.
void image_window_works() {
  HWND w = pw_window_create(0, RX_window_class_name(), "", WS_VISIBLE, 0, 0, 20, 20, nullptr, 0,
                            nullptr);
  ASSERT_NE(w, nullptr);
  std::vector<uint8_t> dib = make_dib(4, 4, 24);
  RX_HIMAGE image = create(dib);
  EXPECT_EQ(RX_window_associate(image, reinterpret_cast<uintptr_t>(w), 1), 0);
  int32_t linked = -1;
  EXPECT_EQ(RX_window_linked_count(reinterpret_cast<uintptr_t>(w), &linked), 0);
  pw_window_destroy(w);
  RX_image_delete(image);
}

TEST_F(RastModule, TheLibrarysEngineLeavesThisEnginesClassesWhenItStops) {
  ASSERT_EQ(com_library_register(RAST32PO_LIBRARY, false), S_OK);
  CoFreeUnusedLibraries();
  // This engine started first (the fixture), the library's second.
  const std::vector<pw_window_proc> own = class_procs();
  for (pw_window_proc p : own) ASSERT_NE(p, nullptr);
  library_start_and_stop();
  EXPECT_EQ(class_procs(), own);
  image_window_works();

  // The library's engine first, this one second.
  RX_engine_stop();
  IDispatch* rast = nullptr;
  ASSERT_EQ(CoCreateInstanceByName("RASTLib.Rast", IID_IDispatch, reinterpret_cast<void**>(&rast)),
            S_OK);
  ASSERT_EQ(RX_engine_start(0x1234), 1);
  rast->Release();
  CoFreeUnusedLibraries();
  ASSERT_FALSE(library_mapped());
  EXPECT_EQ(class_procs(), own);
  image_window_works();
}

TEST_F(RastModule, RegistrationToolReportsByExitStatus) {
  const std::string env = "XDG_CONFIG_HOME='" + home_.string() + "' ";
  auto run = [&](const std::string& args) {
    int status = std::system((env + RXREGSVR_TOOL + " " + args + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  EXPECT_EQ(run(RAST32PO_LIBRARY), 0);
  CLSID id{};
  EXPECT_EQ(CLSIDFromProgID("RAST.RastCtrl.1", &id), S_OK);
  EXPECT_EQ(run(std::string("-u ") + RAST32PO_LIBRARY), 0);
  EXPECT_NE(CLSIDFromProgID("RAST.RastCtrl.1", &id), S_OK);
  EXPECT_EQ(run(file("no-such-library.so")), 1);
  EXPECT_EQ(run(""), 2);
}

}  // namespace
}  // namespace test
