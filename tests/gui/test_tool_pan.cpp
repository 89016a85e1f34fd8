// The pan window and hand panning driven by the layer's messages. The
// image is 200 x 100 with its left half red and right half blue, shown at
// 1:1 in a 100 x 50 image window; expected rectangles are worked out by
// hand in the comments: a pan point maps to the image window through
// (point - place) x 200 / 100, the view is moved to put it at the
// client's middle (50, 25), then held between client - size and 0.
#include <gtest/gtest.h>

#include "SUPPORT/mem_tag.h"
#include "gui/tool_test_util.h"

using namespace wtest;
using namespace ttest;

namespace {

// Inverted red and blue.
constexpr Rgb kCyan = 0x00FFFF, kYellow = 0xFFFF00;

struct Heard {
  int32_t calls = 0;
  uintptr_t user = 0, window = 0;
  Rect rect{};
};
Heard g_heard;

void hear(uintptr_t user, uintptr_t window, const int32_t* r) {
  ++g_heard.calls;
  g_heard.user = user;
  g_heard.window = window;
  g_heard.rect = Rect{r[0], r[1], r[2], r[3]};
}

class Pan : public ToolTest {
 protected:
  void SetUp() override {
    ToolTest::SetUp();
    g_heard = Heard{};
    iw_ = plain_window(100, 50);
    im_ = keep(halves(200, 100, kRed, kBlue));
    ASSERT_EQ(RX_display_aspect_set(im_, RX_ASPECT_STRETCH), 0);
    set_rect(im_, {0, 0, 200, 100});
  }
  uintptr_t pan_window(int32_t w = 100, int32_t hgt = 50) {
    uintptr_t pw = 0;
    EXPECT_EQ(RX_pan_window_create(im_, u(iw_), "Pan", 400, 0, w, hgt, &pw), 0);
    return pw;
  }
  // The stretched image (red left of 50, blue from 50) with `view`
  // inverted, as the 100 x 50 pan window should show it.
  static std::function<Rgb(int32_t, int32_t)> pan_pixels(const pg_rect& view) {
    return [view](int32_t x, int32_t y) {
      const bool in = x >= view.left && x < view.right && y >= view.top && y < view.bottom;
      if (x < 50) return in ? kCyan : kRed;
      return in ? kYellow : kBlue;
    };
  }
  int32_t wrong_pan(uintptr_t pw, const pg_rect& view) {
    const auto px = shown(h(pw), 100, 50);
    const auto want = pan_pixels(view);
    int32_t n = 0;
    for (int32_t y = 0; y < 50; ++y)
      for (int32_t x = 0; x < 100; ++x) n += at(px, 100, x, y) != want(x, y) ? 1 : 0;
    return n;
  }
  HWND iw_ = nullptr;
  RX_HIMAGE im_ = 0;
};

TEST_F(Pan, PanWindowShowsTheWholeImageWithTheViewInverted) {
  const uintptr_t pw = pan_window();
  // The view (0, 0, 100, 50) of 200 x 100 is the top-left quarter.
  EXPECT_EQ(wrong_pan(pw, {0, 0, 50, 25}), 0);
  // The view moved by other code: without `full` only the rectangle moves.
  set_rect(im_, {-100, -50, 100, 50});
  ASSERT_EQ(RX_pan_update(im_, pw, 0), 0);
  EXPECT_EQ(wrong_pan(pw, {50, 25, 100, 50}), 0);
}

TEST_F(Pan, KeepingProportionsFitsTheImageAtTheCornerOrCentred) {
  ASSERT_EQ(RX_display_aspect_set(im_, RX_ASPECT_INSIDE), 0);
  // 200 x 100 inside 100 x 100: 100 x 50.
  const uintptr_t pw = pan_window(100, 100);
  auto px = shown(h(pw), 100, 100);
  EXPECT_EQ(at(px, 100, 49, 24), kCyan);
  EXPECT_EQ(at(px, 100, 60, 49), kBlue);
  EXPECT_EQ(at(px, 100, 60, 50), kWhite);
  // Centred: from (100 - 50) / 2 = 25 down.
  ASSERT_EQ(RX_display_centered_set(im_, 0, 1), 0);
  ASSERT_EQ(RX_pan_update(im_, pw, 1), 0);
  px = shown(h(pw), 100, 100);
  EXPECT_EQ(at(px, 100, 60, 24), kWhite);
  // The view, the image window's top-left quarter, is (0, 25, 50, 50).
  EXPECT_EQ(at(px, 100, 60, 25), kBlue);
  EXPECT_EQ(at(px, 100, 40, 25), kCyan);
  EXPECT_EQ(at(px, 100, 40, 50), kRed);
  EXPECT_EQ(at(px, 100, 60, 74), kBlue);
  EXPECT_EQ(at(px, 100, 60, 75), kWhite);
}

TEST_F(Pan, DraggingBeyondTheEdgeLeavesTheViewAlignedWithIt) {
  const uintptr_t pw = pan_window();
  ASSERT_EQ(RX_pan_start(im_, pw, hear, 77), 0);
  EXPECT_EQ(pw_capture_get(), h(pw));
  EXPECT_EQ(pw_cursor_shape(pw_cursor_get()), PW_CURSOR_PAN);
  // (99, 49) is image window point (198, 98); the left edge would go to
  // 50 - 198 = -148, held at 100 - 200 = -100; the top to 25 - 98 = -73,
  // held at 50 - 100 = -50.
  mouse(h(pw), WM_MOUSEMOVE, 99, 49);
  EXPECT_EQ(rect_of(im_), (Rect{-100, -50, 100, 50}));
  EXPECT_EQ(g_heard.calls, 1);
  EXPECT_EQ(g_heard.user, 77u);
  EXPECT_EQ(g_heard.window, u(iw_));
  EXPECT_EQ(g_heard.rect, (Rect{-100, -50, 100, 50}));
  // The view is now the bottom-right quarter.
  EXPECT_EQ(wrong_pan(pw, {50, 25, 100, 50}), 0);
  // (50, 25) is image window point -100 + 100 = 0, -50 + 50 = 0, which
  // goes to the middle: (-50, -25).
  mouse(h(pw), WM_MOUSEMOVE, 50, 25);
  EXPECT_EQ(rect_of(im_), (Rect{-50, -25, 150, 75}));
  // Beyond the top-left: held at 0.
  mouse(h(pw), WM_MOUSEMOVE, -30, -30);
  EXPECT_EQ(rect_of(im_), (Rect{0, 0, 200, 100}));
  EXPECT_EQ(g_heard.calls, 3);
  mouse(h(pw), WM_LBUTTONUP, -30, -30);
  EXPECT_EQ(pw_capture_get(), nullptr);
  EXPECT_NE(pw_cursor_shape(pw_cursor_get()), PW_CURSOR_PAN);
  // Moves after the release do nothing.
  mouse(h(pw), WM_MOUSEMOVE, 99, 49);
  EXPECT_EQ(rect_of(im_), (Rect{0, 0, 200, 100}));
  EXPECT_EQ(g_heard.calls, 3);
  // A press in the pan window drags by itself, with the callback kept.
  mouse(h(pw), WM_LBUTTONDOWN, 99, 0);
  EXPECT_EQ(rect_of(im_), (Rect{-100, 0, 100, 100}));
  EXPECT_EQ(g_heard.calls, 4);
  mouse(h(pw), WM_LBUTTONUP, 99, 0);
  EXPECT_EQ(pw_capture_get(), nullptr);
}

TEST_F(Pan, HandPanningMovesTheImageByTheMouseMovementHeldAtTheEdges) {
  const uintptr_t pw = pan_window();
  ASSERT_EQ(RX_pan_start(im_, u(iw_), hear, 5), 0);
  EXPECT_EQ(pw_capture_get(), iw_);
  EXPECT_NE(pw_window_proc_get(iw_), plain_proc);
  mouse(iw_, WM_MOUSEMOVE, 50, 25);  // the reference point
  EXPECT_EQ(rect_of(im_), (Rect{0, 0, 200, 100}));
  EXPECT_EQ(g_heard.calls, 0);
  mouse(iw_, WM_MOUSEMOVE, 30, 15);  // (-20, -10)
  EXPECT_EQ(rect_of(im_), (Rect{-20, -10, 180, 90}));
  EXPECT_EQ(g_heard.calls, 1);
  EXPECT_EQ(g_heard.window, u(iw_));
  EXPECT_EQ(g_heard.rect, (Rect{-20, -10, 180, 90}));
  // The pan window follows: (20, 10) - (120, 60) halved.
  EXPECT_EQ(wrong_pan(pw, {10, 5, 60, 30}), 0);
  // (-130, -115) would leave a gap: held at (-100, -50).
  mouse(iw_, WM_MOUSEMOVE, -100, -100);
  EXPECT_EQ(rect_of(im_), (Rect{-100, -50, 100, 50}));
  // (+300, +300): held at 0.
  mouse(iw_, WM_MOUSEMOVE, 200, 200);
  EXPECT_EQ(rect_of(im_), (Rect{0, 0, 200, 100}));
  mouse(iw_, WM_LBUTTONUP, 200, 200);
  EXPECT_EQ(pw_window_proc_get(iw_), plain_proc);
  EXPECT_EQ(pw_capture_get(), nullptr);
  EXPECT_EQ(pw_property_get(iw_, "PAN1"), nullptr);
  EXPECT_EQ(plain_calls()[WM_MOUSEMOVE], 4);
  // Moves after the release pan nothing.
  mouse(iw_, WM_MOUSEMOVE, 0, 0);
  EXPECT_EQ(rect_of(im_), (Rect{0, 0, 200, 100}));
}

TEST_F(Pan, AnAxisWhereTheImageFitsStaysAtTheEdgeOrCentred) {
  HWND tall = plain_window(100, 150);
  ASSERT_EQ(RX_pan_start(im_, u(tall), nullptr, 0), 0);
  mouse(tall, WM_MOUSEMOVE, 50, 50);
  mouse(tall, WM_MOUSEMOVE, 40, 70);
  // 100 rows fit in 150: top stays 0; left moves by -10.
  EXPECT_EQ(rect_of(im_), (Rect{-10, 0, 190, 100}));
  ASSERT_EQ(RX_display_centered_set(im_, 0, 1), 0);
  mouse(tall, WM_MOUSEMOVE, 40, 60);
  // Centred: (150 - 100) / 2 = 25.
  EXPECT_EQ(rect_of(im_), (Rect{-10, 25, 190, 125}));
  mouse(tall, WM_LBUTTONUP, 40, 60);
}

TEST_F(Pan, BadHandlesAreRefusedWithoutLeaks) {
  const int32_t blocks = rx::mem_live_block_count();
  const int32_t windows = pw_window_count();
  uintptr_t pw = 9;
  EXPECT_EQ(RX_pan_window_create(0, u(iw_), "", 0, 0, 10, 10, &pw), 1);
  EXPECT_EQ(error_codes(), std::vector<int32_t>{RXE_INVALID_HANDLE});
  EXPECT_EQ(pw, 0u);
  EXPECT_EQ(RX_pan_window_create(im_, 0, "", 0, 0, 10, 10, &pw), 1);
  EXPECT_EQ(error_codes(), std::vector<int32_t>{RXE_INVALID_WINDOW_HANDLE});
  EXPECT_EQ(RX_pan_window_create(im_, u(iw_), "", 0, 0, 10, -1, &pw), 1);
  EXPECT_EQ(error_codes(), std::vector<int32_t>{RXE_PARAMETERS_OUT_OF_LIMITS});
  EXPECT_EQ(RX_pan_update(im_, u(iw_), 1), 1);  // not a pan window
  EXPECT_EQ(error_codes(), std::vector<int32_t>{RXE_INVALID_WINDOW_HANDLE});
  EXPECT_EQ(RX_pan_start(0, u(iw_), nullptr, 0), 1);
  EXPECT_EQ(RX_pan_start(im_, 4242, nullptr, 0), 1);
  EXPECT_EQ(rx::mem_live_block_count(), blocks);
  EXPECT_EQ(pw_window_count(), windows);
  // A pan window destroyed during a drag gives the capture back and frees
  // its record.
  pw = pan_window();
  ASSERT_EQ(RX_pan_start(im_, pw, nullptr, 0), 0);
  pw_window_destroy(h(pw));
  EXPECT_EQ(pw_capture_get(), nullptr);
  EXPECT_EQ(rx::mem_live_block_count(), blocks);
}

}  // namespace
