// Helpers for the tool window tests: the windows the layer creates are
// noted (a pop-up has no handle given back), mouse messages are sent
// straight to a window's procedure as a toolkit would have them
// dispatched, and device rectangles are set and read as four values.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "gui/window_test_util.h"

namespace ttest {

using Rect = std::array<int32_t, 4>;

inline std::vector<HWND>& created() {
  static std::vector<HWND> windows;
  return windows;
}

inline void note_created(void*, int32_t event, HWND hwnd) {
  if (event == PW_EVENT_CREATED) created().push_back(hwnd);
}

class ToolTest : public wtest::WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    created().clear();
    pw_observer_set(note_created, nullptr);
  }
  void TearDown() override {
    pw_observer_set(nullptr, nullptr);
    WindowTest::TearDown();
  }
};

inline LRESULT mouse(HWND hwnd, uint32_t message, int32_t x, int32_t y) {
  const WPARAM keys = message == WM_LBUTTONUP ? 0 : PW_MK_LBUTTON;
  return pw_message_send(hwnd, message, keys, PW_MAKELPARAM(x, y));
}

inline void set_rect(RX_HIMAGE im, const Rect& r) { ASSERT_EQ(RX_display_device_rect_set(im, r.data()), 0); }

inline Rect rect_of(RX_HIMAGE im) {
  Rect r{};
  EXPECT_EQ(RX_display_device_rect_get(im, r.data()), 0);
  return r;
}

inline HWND h(uintptr_t window) { return reinterpret_cast<HWND>(window); }

}  // namespace ttest
