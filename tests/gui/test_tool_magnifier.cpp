// The magnifier driven by the layer's messages. Expected pixels follow
// from the rules by hand: the enlarged device rectangle puts the point at
// the client's middle (width / 2) scaled by the magnification, a
// persistent window keeps the enlarged image covering its client area
// (far edge first, then the origin at or left of 0), and the examined
// area is the client size over the magnification centred on the point,
// kept inside the image's device rectangle.
#include <gtest/gtest.h>

#include <cstring>

#include "SUPPORT/mem_tag.h"
#include "gui/tool_test_util.h"

using namespace wtest;
using namespace ttest;

namespace {

using Magnifier = ToolTest;

// Red where x + y is even, blue where it is odd: a one-pixel checker.
Rgb checker(int32_t x, int32_t y) { return ((x + y) & 1) != 0 ? kBlue : kRed; }
RX_HIMAGE checker_image(int32_t w, int32_t h) {
  return dtest::image(8, w, h, {kRed, kBlue}, [](int32_t x, int32_t y) { return uint32_t((x + y) & 1); });
}

int32_t bar_pos(uintptr_t window) { return pw_scroll_pos_get(h(window), SB_VERT); }

// The user moves the bar: the layer posts the scroll message.
void bar_user(uintptr_t window, int32_t code, int32_t pos) {
  pw_scroll_bar_user(h(window), SB_VERT, code, pos);
  pw_messages_pump(nullptr);
}

// Count of pixels in the window that differ from what `f` expects.
template <class F>
int32_t wrong(const std::vector<Rgb>& px, int32_t w, int32_t hgt, F f) {
  int32_t n = 0;
  for (int32_t y = 0; y < hgt; ++y)
    for (int32_t x = 0; x < w; ++x) n += px[size_t(y * w + x)] != f(x, y) ? 1 : 0;
  return n;
}

// White everywhere but black (inverted white) inside r.
auto inverted_in(const pg_rect& r) {
  return [r](int32_t x, int32_t y) {
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom ? Rgb{0} : kWhite;
  };
}

TEST_F(Magnifier, ZoomBarRunsFromOneToSixteenTimes) {
  HWND iw = plain_window(100, 100);
  RX_HIMAGE im = keep(checker_image(20, 20));
  set_rect(im, {0, 0, 20, 20});
  uintptr_t mw = 0;
  ASSERT_EQ(RX_magnify_window_create(im, u(iw), "Zoom", 300, 0, 40, 40, &mw), 0);
  pg_rect client{};
  pw_client_rect_get(h(mw), &client);
  EXPECT_EQ(client.right, 40);
  EXPECT_EQ(client.bottom, 40);
  int32_t lo = -1, hi = -1;
  pw_scroll_range_get(h(mw), SB_VERT, &lo, &hi);
  EXPECT_EQ(lo, 0);
  EXPECT_EQ(hi, 15);
  EXPECT_EQ(bar_pos(mw), 7);
  // 8x around the device rectangle's corner (0, 0): the middle would put
  // the image's origin at 20, which the origin rule moves back to 0, so
  // client pixel (x, y) is image pixel (x / 8, y / 8).
  EXPECT_EQ(wrong(shown(h(mw), 40, 40), 40, 40, [](int32_t x, int32_t y) { return checker(x / 8, y / 8); }), 0);

  // Top: 1x, the 20 x 20 image at the corner and white beyond it.
  bar_user(mw, SB_TOP, 0);
  EXPECT_EQ(bar_pos(mw), 0);
  EXPECT_EQ(wrong(shown(h(mw), 40, 40), 40, 40,
                  [](int32_t x, int32_t y) { return x < 20 && y < 20 ? checker(x, y) : kWhite; }),
            0);
  // Bottom: 16x, 320 pixels a side from the corner.
  bar_user(mw, SB_BOTTOM, 0);
  EXPECT_EQ(bar_pos(mw), 15);
  EXPECT_EQ(wrong(shown(h(mw), 40, 40), 40, 40, [](int32_t x, int32_t y) { return checker(x / 16, y / 16); }), 0);
}

TEST_F(Magnifier, ZoomBarStepsByLineAndPageWithinTheRange) {
  HWND iw = plain_window(30, 30);
  RX_HIMAGE im = keep(solid(10, 10, kRed));
  uintptr_t mw = 0;
  ASSERT_EQ(RX_magnify_window_create(im, u(iw), nullptr, 0, 0, 30, 30, &mw), 0);
  // A page is 15 / 4 + 1 = 4 positions; each result worked out from 7.
  struct Step {
    int32_t code, pos, expected;
  };
  const Step steps[] = {{SB_PAGEDOWN, 0, 11}, {SB_LINEUP, 0, 10},      {SB_THUMBTRACK, 2, 2},
                        {SB_PAGEUP, 0, 0},    {SB_LINEUP, 0, 0},       {SB_LINEDOWN, 0, 1},
                        {SB_PAGEDOWN, 0, 5},  {SB_THUMBPOSITION, 14, 14}, {SB_PAGEDOWN, 0, 15},
                        {SB_LINEDOWN, 0, 15}};
  for (const Step& s : steps) {
    bar_user(mw, s.code, s.pos);
    EXPECT_EQ(bar_pos(mw), s.expected) << "code " << s.code;
  }
}

TEST_F(Magnifier, PopupOverTheCornerKeepsItCentredOnlyWhenTheDisplayIsCentred) {
  HWND iw = plain_window(60, 60);
  RX_HIMAGE im = keep(halves(10, 10, kRed, kBlue));
  set_rect(im, {5, 5, 15, 15});
  ASSERT_EQ(RX_display_centered_set(im, 0, 1), 0);
  size_t made = created().size();
  ASSERT_EQ(RX_magnify_start(im, u(iw), 5, 5), 0);
  ASSERT_EQ(created().size(), made + 1);
  HWND pop = created().back();
  char cls[64] = {};
  pw_window_class_name(pop, cls, sizeof cls);
  EXPECT_STREQ(cls, "RASTMagnifyPopupWindowClass");
  // 150 x 150 with its top-left corner 75 before the point; a one-pixel
  // border leaves a 148 x 148 client area whose middle is 74.
  pg_rect wr{};
  pw_window_rect_get(pop, &wr);
  EXPECT_EQ(wr.left, -70);
  EXPECT_EQ(wr.top, -70);
  EXPECT_EQ(wr.right, 80);
  EXPECT_EQ(wr.bottom, 80);
  // The corner at 74: image column c covers 74 + 8c .. 81 + 8c, red for
  // c < 5, blue to 153; white before 74.
  auto px = shown(pop, 148, 148);
  EXPECT_EQ(at(px, 148, 74, 74), kRed);
  EXPECT_EQ(at(px, 148, 73, 74), kWhite);
  EXPECT_EQ(at(px, 148, 74, 73), kWhite);
  EXPECT_EQ(at(px, 148, 113, 100), kRed);
  EXPECT_EQ(at(px, 148, 114, 100), kBlue);
  EXPECT_EQ(at(px, 148, 147, 147), kBlue);

  // The pop-up follows the mouse and goes with the release.
  mouse(iw, WM_MOUSEMOVE, 10, 12);
  pw_window_rect_get(pop, &wr);
  EXPECT_EQ(wr.left, -65);
  EXPECT_EQ(wr.top, -63);
  mouse(iw, WM_LBUTTONUP, 10, 12);
  EXPECT_EQ(pw_window_valid(pop), 0);
  EXPECT_EQ(pw_window_proc_get(iw), plain_proc);
  EXPECT_EQ(pw_capture_get(), nullptr);

  // Not centred: the enlarged image moves against the left and top edges,
  // columns 0-4 (red) on 0-39 and 5-9 (blue) on 40-79, white from 80.
  ASSERT_EQ(RX_display_centered_set(im, 0, 0), 0);
  made = created().size();
  ASSERT_EQ(RX_magnify_start(im, u(iw), 5, 5), 0);
  ASSERT_EQ(created().size(), made + 1);
  pop = created().back();
  px = shown(pop, 148, 148);
  EXPECT_EQ(at(px, 148, 0, 0), kRed);
  EXPECT_EQ(at(px, 148, 39, 79), kRed);
  EXPECT_EQ(at(px, 148, 40, 0), kBlue);
  EXPECT_EQ(at(px, 148, 79, 79), kBlue);
  EXPECT_EQ(at(px, 148, 80, 10), kWhite);
  EXPECT_EQ(at(px, 148, 10, 80), kWhite);
  mouse(iw, WM_LBUTTONUP, 5, 5);
  EXPECT_EQ(pw_window_valid(pop), 0);
}

TEST_F(Magnifier, PersistentModeInvertsTheExaminedAreaInTheImageWindow) {
  HWND iw = plain_window(100, 100);
  RX_HIMAGE im = keep(halves(50, 50, kRed, kBlue));
  set_rect(im, {10, 10, 60, 60});
  uintptr_t mw = 0;
  ASSERT_EQ(RX_magnify_window_create(im, u(iw), "Zoom", 300, 0, 40, 40, &mw), 0);
  HCURSOR before = pw_cursor_get();
  // 40 / 8 = 5 pixels a side, from 30 - 5 / 2 = 28.
  ASSERT_EQ(RX_magnify_start(im, mw, 30, 30), 0);
  EXPECT_EQ(pw_capture_get(), iw);
  EXPECT_EQ(pw_cursor_shape(pw_cursor_get()), PW_CURSOR_MAGNIFY);
  EXPECT_EQ(wrong(shown(iw, 100, 100), 100, 100, inverted_in({28, 28, 33, 33})), 0);
  // Near the origin the area stops at it: 11 - 2 = 9 becomes 10. The
  // magnify window's origin 20 - (11 - 10) x 8 = 12 moves back to 0:
  // image columns 0-4, all red.
  mouse(iw, WM_MOUSEMOVE, 11, 11);
  EXPECT_EQ(wrong(shown(iw, 100, 100), 100, 100, inverted_in({10, 10, 15, 15})), 0);
  EXPECT_EQ(wrong(shown(h(mw), 40, 40), 40, 40, [](int32_t, int32_t) { return kRed; }), 0);
  // Near the far corner: 59 - 2 = 57 is pulled back to 60 - 5 = 55. The
  // origin 20 - 49 x 8 = -372 is held at 40 - 400 = -360: columns 45-49,
  // all blue.
  mouse(iw, WM_MOUSEMOVE, 59, 59);
  EXPECT_EQ(wrong(shown(iw, 100, 100), 100, 100, inverted_in({55, 55, 60, 60})), 0);
  EXPECT_EQ(wrong(shown(h(mw), 40, 40), 40, 40, [](int32_t, int32_t) { return kBlue; }), 0);
  mouse(iw, WM_LBUTTONUP, 59, 59);
  EXPECT_EQ(wrong(shown(iw, 100, 100), 100, 100, inverted_in({0, 0, 0, 0})), 0);
  EXPECT_EQ(pw_window_proc_get(iw), plain_proc);
  EXPECT_EQ(pw_capture_get(), nullptr);
  EXPECT_EQ(pw_cursor_get(), before);
  EXPECT_EQ(pw_property_get(iw, "MAG1"), nullptr);
  EXPECT_NE(pw_window_valid(h(mw)), 0);
  // The window's own messages reached its procedure all along.
  EXPECT_EQ(plain_calls()[WM_MOUSEMOVE], 2);
  EXPECT_EQ(plain_calls()[WM_LBUTTONUP], 1);
}

TEST_F(Magnifier, ImageSetRedrawsWithTheNewImage) {
  HWND iw = plain_window(20, 20);
  RX_HIMAGE red = keep(solid(10, 10, kRed)), blue = keep(solid(10, 10, kBlue));
  set_rect(red, {0, 0, 10, 10});
  set_rect(blue, {0, 0, 10, 10});
  uintptr_t mw = 0;
  ASSERT_EQ(RX_magnify_window_create(red, u(iw), "", 0, 0, 16, 16, &mw), 0);
  EXPECT_EQ(at(shown(h(mw), 16, 16), 16, 15, 15), kRed);
  ASSERT_EQ(RX_magnify_image_set(blue, mw), 0);
  EXPECT_EQ(at(shown(h(mw), 16, 16), 16, 15, 15), kBlue);
}

TEST_F(Magnifier, BadHandlesAndSizesAreRefusedWithoutLeaks) {
  HWND iw = plain_window(20, 20);
  RX_HIMAGE im = keep(solid(10, 10, kRed));
  const int32_t blocks = rx::mem_live_block_count();
  const int32_t windows = pw_window_count();
  uintptr_t mw = 99;
  EXPECT_EQ(RX_magnify_window_create(0, u(iw), "", 0, 0, 16, 16, &mw), 1);
  EXPECT_EQ(error_codes(), std::vector<int32_t>{RXE_INVALID_HANDLE});
  EXPECT_EQ(mw, 0u);
  EXPECT_EQ(RX_magnify_window_create(im, 12345, "", 0, 0, 16, 16, &mw), 1);
  EXPECT_EQ(error_codes(), std::vector<int32_t>{RXE_INVALID_WINDOW_HANDLE});
  EXPECT_EQ(RX_magnify_window_create(im, u(iw), "", 0, 0, 0, 16, &mw), 1);
  EXPECT_EQ(error_codes(), std::vector<int32_t>{RXE_PARAMETERS_OUT_OF_LIMITS});
  EXPECT_EQ(RX_magnify_window_create(im, u(iw), "", 0, 0, 16, 65536, &mw), 1);
  EXPECT_EQ(RX_magnify_window_create(im, u(iw), "", 0, 0, 16, 16, nullptr), 1);
  EXPECT_EQ(error_codes(), std::vector<int32_t>{RXE_INVALID_POINTER});
  // A plain window is no magnify window.
  EXPECT_EQ(RX_magnify_image_set(im, u(iw)), 1);
  EXPECT_EQ(error_codes(), std::vector<int32_t>{RXE_INVALID_WINDOW_HANDLE});
  EXPECT_EQ(RX_magnify_start(im, 0, 1, 1), 1);
  EXPECT_EQ(RX_magnify_start(im + 1, u(iw), 1, 1), 1);
  EXPECT_EQ(error_codes(), std::vector<int32_t>{RXE_INVALID_HANDLE});
  EXPECT_EQ(rx::mem_live_block_count(), blocks);
  EXPECT_EQ(pw_window_count(), windows);
}

TEST_F(Magnifier, DestroyingTheWindowsEndsTheTracking) {
  HWND iw = plain_window(40, 40);
  HWND other = plain_window(40, 40);
  RX_HIMAGE im = keep(solid(10, 10, kRed));
  const int32_t blocks = rx::mem_live_block_count();
  const int32_t windows = pw_window_count();
  // The image window goes during a pop-up tracking: so do the pop-up and
  // its record.
  ASSERT_EQ(RX_magnify_start(im, u(iw), 3, 3), 0);
  EXPECT_EQ(pw_window_count(), windows + 1);
  pw_window_destroy(iw);
  EXPECT_EQ(pw_window_count(), windows - 1);
  EXPECT_EQ(rx::mem_live_block_count(), blocks);
  // The magnify window goes during a persistent tracking: its owner gets
  // its procedure and the capture back.
  uintptr_t mw = 0;
  ASSERT_EQ(RX_magnify_window_create(im, u(other), "", 0, 0, 16, 16, &mw), 0);
  ASSERT_EQ(RX_magnify_start(im, mw, 3, 3), 0);
  EXPECT_NE(pw_window_proc_get(other), plain_proc);
  pw_window_destroy(h(mw));
  EXPECT_EQ(pw_window_proc_get(other), plain_proc);
  EXPECT_EQ(pw_capture_get(), nullptr);
  EXPECT_EQ(rx::mem_live_block_count(), blocks);
}

}  // namespace
