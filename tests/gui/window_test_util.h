// Helpers for the image window tests: windows of the engine's class and of
// a plain class whose procedure counts what reaches it, images of one
// colour or two halves, and the window's pixels read back.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <vector>

#include "DISPLAY/display_test_util.h"
#include "platform/window.h"
#include "platform/window_test_util.h"
#include "rastrix/rastrix.h"

namespace wtest {

using dtest::Rgb;
inline constexpr Rgb kRed = 0xFF0000, kBlue = 0x0000FF, kGreen = 0x00FF00, kWhite = 0xFFFFFF;
inline constexpr char kPlainClass[] = "AssocPlainTest";

// What reached the plain class's procedure, by message.
inline std::map<uint32_t, int32_t>& plain_calls() {
  static std::map<uint32_t, int32_t> calls;
  return calls;
}

inline LRESULT plain_proc(HWND hwnd, uint32_t message, WPARAM wparam, LPARAM lparam) {
  ++plain_calls()[message];
  return pw_window_proc_default(hwnd, message, wparam, lparam);
}

inline uintptr_t u(HWND h) { return reinterpret_cast<uintptr_t>(h); }

// An 8-bit image whose left half is `left` and right half `right`.
inline RX_HIMAGE halves(int32_t w, int32_t h, Rgb left, Rgb right) {
  return dtest::image(8, w, h, {left, right}, [w](int32_t x, int32_t) { return x < w / 2 ? 0u : 1u; });
}
inline RX_HIMAGE solid(int32_t w, int32_t h, Rgb colour) { return halves(w, h, colour, colour); }

class WindowTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    window_test::class_of(kPlainClass, plain_proc, pg_stock_brush(PG_WHITE_BRUSH));
    plain_calls().clear();
  }
  void TearDown() override {
    for (HWND h : windows_) pw_window_destroy(h);
    for (RX_HIMAGE im : images_) RX_image_delete(im);
    EngineTest::TearDown();
  }
  HWND window(const char* cls, int32_t w, int32_t h, uint32_t style = 0) {
    HWND hwnd = pw_window_create(0, cls, "", WS_POPUP | WS_VISIBLE | style, 0, 0, w, h, nullptr, 0, nullptr);
    EXPECT_NE(hwnd, nullptr);
    windows_.push_back(hwnd);
    return hwnd;
  }
  HWND engine_window(int32_t w, int32_t h) { return window(RX_window_class_name(), w, h); }
  HWND plain_window(int32_t w, int32_t h) { return window(kPlainClass, w, h); }
  RX_HIMAGE keep(RX_HIMAGE im) {
    images_.push_back(im);
    return im;
  }
  // The window as shown after everything waiting has been handled.
  std::vector<Rgb> shown(HWND hwnd, int32_t w, int32_t h) {
    pw_messages_pump(nullptr);
    std::vector<Rgb> px = window_test::rendered(hwnd, w, h);
    for (Rgb& p : px) p &= 0xFFFFFF;
    return px;
  }
  static Rgb at(const std::vector<Rgb>& px, int32_t w, int32_t x, int32_t y) { return px[size_t(y * w + x)]; }

  std::vector<HWND> windows_;
  std::vector<RX_HIMAGE> images_;
};

using dtest::device_rect;

}  // namespace wtest
