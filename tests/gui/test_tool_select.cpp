// Rubber-band selection driven by the layer's messages. The frame is the
// drawing layer's dotted exclusive-or frame: on a white window the frame
// pixels where x + y is even turn black and the others stay white, so the
// expected window is worked out from the rectangle alone.
#include <gtest/gtest.h>

#include "SUPPORT/mem_tag.h"
#include "gui/tool_test_util.h"

using namespace wtest;
using namespace ttest;

namespace {

using Select = ToolTest;

struct Heard {
  int32_t calls = 0;
  uintptr_t user = 0, window = 0;
  Rect rect{};
  HWND capture = nullptr;
  pw_window_proc proc = nullptr;
};
Heard g_heard;

void hear(uintptr_t user, uintptr_t window, const int32_t* r) {
  ++g_heard.calls;
  g_heard.user = user;
  g_heard.window = window;
  g_heard.rect = Rect{r[0], r[1], r[2], r[3]};
  g_heard.capture = pw_capture_get();
  g_heard.proc = pw_window_proc_get(reinterpret_cast<HWND>(window));
}

// Pixels of the 60 x 60 white window that differ from a dotted frame of
// r (none for an empty r).
int32_t wrong_frame(const std::vector<Rgb>& px, const pg_rect& r) {
  int32_t n = 0;
  for (int32_t y = 0; y < 60; ++y) {
    for (int32_t x = 0; x < 60; ++x) {
      const bool inside = x >= r.left && x < r.right && y >= r.top && y < r.bottom;
      const bool edge = inside && (x == r.left || x == r.right - 1 || y == r.top || y == r.bottom - 1);
      const Rgb want = edge && ((x + y) & 1) == 0 ? Rgb{0} : kWhite;
      n += px[size_t(y * 60 + x)] != want ? 1 : 0;
    }
  }
  return n;
}

class SelectTest : public Select {
 protected:
  void SetUp() override {
    Select::SetUp();
    g_heard = Heard{};
    w_ = plain_window(60, 60);
  }
  HWND w_ = nullptr;
};

TEST_F(SelectTest, TheFrameFollowsTheMouseAndGoesAtTheRelease) {
  ASSERT_EQ(RX_select_start(u(w_), 10, 10, hear, 3), 0);
  EXPECT_EQ(pw_capture_get(), w_);
  EXPECT_NE(pw_window_proc_get(w_), plain_proc);
  mouse(w_, WM_MOUSEMOVE, 30, 20);
  EXPECT_EQ(wrong_frame(shown(w_, 60, 60), {10, 10, 30, 20}), 0);
  // Up and to the left of the press: normalised, the old frame gone.
  mouse(w_, WM_MOUSEMOVE, 5, 40);
  EXPECT_EQ(wrong_frame(shown(w_, 60, 60), {5, 10, 10, 40}), 0);
  mouse(w_, WM_LBUTTONUP, 40, 50);
  EXPECT_EQ(wrong_frame(shown(w_, 60, 60), {0, 0, 0, 0}), 0);
  EXPECT_EQ(g_heard.calls, 1);
  EXPECT_EQ(g_heard.user, 3u);
  EXPECT_EQ(g_heard.window, u(w_));
  EXPECT_EQ(g_heard.rect, (Rect{10, 10, 40, 50}));
  // Everything was given back before the callback ran.
  EXPECT_EQ(g_heard.capture, nullptr);
  EXPECT_EQ(g_heard.proc, plain_proc);
  EXPECT_EQ(pw_property_get(w_, "SEL1"), nullptr);
  EXPECT_EQ(plain_calls()[WM_MOUSEMOVE], 2);
  EXPECT_EQ(plain_calls()[WM_LBUTTONUP], 1);
}

TEST_F(SelectTest, AReleaseWherePressedGivesAnEmptyRectangle) {
  ASSERT_EQ(RX_select_start(u(w_), 12, 7, hear, 0), 0);
  mouse(w_, WM_LBUTTONUP, 12, 7);
  EXPECT_EQ(g_heard.rect, (Rect{12, 7, 12, 7}));
  EXPECT_EQ(wrong_frame(shown(w_, 60, 60), {0, 0, 0, 0}), 0);
}

TEST_F(SelectTest, PointsOutsideTheClientAreaAreHeldToIt) {
  ASSERT_EQ(RX_select_start(u(w_), -20, 30, hear, 0), 0);
  mouse(w_, WM_MOUSEMOVE, 100, -5);
  // (0, 30) to (60, 0).
  EXPECT_EQ(wrong_frame(shown(w_, 60, 60), {0, 0, 60, 30}), 0);
  mouse(w_, WM_LBUTTONUP, 100, 200);
  EXPECT_EQ(g_heard.rect, (Rect{0, 30, 60, 60}));
}

TEST_F(SelectTest, PaintingDuringTheTrackingKeepsOneFrame) {
  ASSERT_EQ(RX_select_start(u(w_), 10, 10, hear, 0), 0);
  mouse(w_, WM_MOUSEMOVE, 30, 30);
  // The whole window repainted white under the frame: the frame is drawn
  // again over it, and its removal leaves white.
  pw_window_invalidate(w_, nullptr, 1);
  EXPECT_EQ(wrong_frame(shown(w_, 60, 60), {10, 10, 30, 30}), 0);
  mouse(w_, WM_LBUTTONUP, 30, 30);
  EXPECT_EQ(wrong_frame(shown(w_, 60, 60), {0, 0, 0, 0}), 0);
}

TEST_F(SelectTest, StackedOnTheMagnifierBothGiveTheWindowBack) {
  RX_HIMAGE im = keep(solid(10, 10, kRed));
  ASSERT_EQ(RX_magnify_start(im, u(w_), 5, 5), 0);
  ASSERT_EQ(RX_select_start(u(w_), 5, 5, hear, 0), 0);
  mouse(w_, WM_MOUSEMOVE, 20, 20);
  mouse(w_, WM_LBUTTONUP, 20, 20);
  EXPECT_EQ(g_heard.rect, (Rect{5, 5, 20, 20}));
  EXPECT_EQ(pw_window_proc_get(w_), plain_proc);
  EXPECT_EQ(pw_capture_get(), nullptr);
  EXPECT_EQ(pw_property_get(w_, "MAG1"), nullptr);
  // The window's own procedure heard each message once.
  EXPECT_EQ(plain_calls()[WM_MOUSEMOVE], 1);
  EXPECT_EQ(plain_calls()[WM_LBUTTONUP], 1);
}

TEST_F(SelectTest, ANewStartEndsTheRunningOneAndBadWindowsAreRefused) {
  const int32_t blocks = rx::mem_live_block_count();
  ASSERT_EQ(RX_select_start(u(w_), 10, 10, hear, 1), 0);
  mouse(w_, WM_MOUSEMOVE, 20, 20);
  ASSERT_EQ(RX_select_start(u(w_), 40, 40, hear, 2), 0);
  // The first frame is gone and its callback was never called.
  EXPECT_EQ(wrong_frame(shown(w_, 60, 60), {0, 0, 0, 0}), 0);
  EXPECT_EQ(g_heard.calls, 0);
  mouse(w_, WM_LBUTTONUP, 50, 45);
  EXPECT_EQ(g_heard.calls, 1);
  EXPECT_EQ(g_heard.user, 2u);
  EXPECT_EQ(g_heard.rect, (Rect{40, 40, 50, 45}));
  EXPECT_EQ(pw_window_proc_get(w_), plain_proc);
  EXPECT_EQ(RX_select_start(0, 1, 1, hear, 0), 1);
  EXPECT_EQ(error_codes(), std::vector<int32_t>{RXE_INVALID_WINDOW_HANDLE});
  EXPECT_EQ(rx::mem_live_block_count(), blocks);
}

}  // namespace
