// The image window procedure driven by the window layer's messages:
// painting with linked images, the zoom characters, keys and scroll bars,
// size changes, and images deleted while they are shown. Positions are
// worked out by hand in the comments from the zoom rules: the target is
// the client area, the stretch aspect fills it, the zoom scales that size,
// and a zoomed size larger than the client area is scrolled so the centre
// of the view stays where it was.
#include <gtest/gtest.h>

#include "gui/window_test_util.h"

using namespace wtest;

namespace {

using WindowProc = WindowTest;

// Handles the key and the scroll message it posts.
void press(HWND hwnd, uint32_t key) {
  pw_focus_set(hwnd);
  pw_input_key(hwnd, WM_KEYDOWN, key);
  for (int i = 0; i < 4; ++i)
    if (pw_messages_pump(nullptr) <= 0) break;
}

void type(HWND hwnd, char c) {
  pw_focus_set(hwnd);
  pw_input_char(hwnd, static_cast<uint32_t>(c));
  pw_messages_pump(nullptr);
}

int32_t zoom_of(HWND hwnd) {
  int32_t zoom = 0;
  EXPECT_EQ(RX_window_zoom_get(u(hwnd), &zoom), 0);
  return zoom;
}

TEST_F(WindowProc, PaintsTheImageStretchedOverTheClientArea) {
  HWND hwnd = engine_window(40, 40);
  // 4 x 4, left half red: image columns 0-1 land on device 0-19.
  RX_HIMAGE im = keep(halves(4, 4, kRed, kBlue));
  ASSERT_EQ(RX_window_associate(im, u(hwnd), 1), 0);
  const auto px = shown(hwnd, 40, 40);
  EXPECT_EQ(at(px, 40, 0, 0), kRed);
  EXPECT_EQ(at(px, 40, 19, 39), kRed);  // 19 * 4 / 40 = 1.9
  EXPECT_EQ(at(px, 40, 21, 0), kBlue);  // 21 * 4 / 40 = 2.1
  EXPECT_EQ(at(px, 40, 39, 39), kBlue);
  // Painting off: the next paint leaves the white background alone.
  ASSERT_EQ(RX_window_option_set(u(hwnd), RX_WINDOW_PAINT, 0), 0);
  EXPECT_EQ(at(shown(hwnd, 40, 40), 40, 5, 5), kWhite);
  ASSERT_EQ(RX_window_option_set(u(hwnd), RX_WINDOW_PAINT, 1), 0);
  EXPECT_EQ(at(shown(hwnd, 40, 40), 40, 5, 5), kRed);
}

TEST_F(WindowProc, MinusStopsAtTwentyFivePercent) {
  HWND hwnd = engine_window(40, 40);
  RX_HIMAGE im = keep(solid(4, 4, kRed));
  ASSERT_EQ(RX_window_associate(im, u(hwnd), 1), 0);
  const int32_t expected[] = {75, 50, 25, 25, 25};
  for (int32_t z : expected) {
    type(hwnd, '-');
    EXPECT_EQ(zoom_of(hwnd), z);
  }
  // 40 x 40 at 25 percent is 10 x 10 at the corner; the rest is white.
  EXPECT_EQ(device_rect(im), (std::vector<int32_t>{0, 0, 10, 10}));
  const auto px = shown(hwnd, 40, 40);
  EXPECT_EQ(at(px, 40, 9, 9), kRed);
  EXPECT_EQ(at(px, 40, 10, 10), kWhite);
  // A zoom set below the least is not raised by "-".
  ASSERT_EQ(RX_window_zoom_rect_set(u(hwnd), 10, nullptr), 0);
  type(hwnd, '-');
  EXPECT_EQ(zoom_of(hwnd), 10);
  // Other characters go to the default procedure and change nothing.
  type(hwnd, 'x');
  EXPECT_EQ(zoom_of(hwnd), 10);
}

TEST_F(WindowProc, PlusZoomsAboutTheCentre) {
  HWND hwnd = engine_window(40, 40);
  RX_HIMAGE im = keep(halves(4, 4, kRed, kBlue));
  ASSERT_EQ(RX_window_associate(im, u(hwnd), 1), 0);
  type(hwnd, '+');
  EXPECT_EQ(zoom_of(hwnd), 125);
  // 50 x 50; the centre of the view was half way: 25 - 40/2 = 5 scrolled.
  EXPECT_EQ(device_rect(im), (std::vector<int32_t>{-5, -5, 45, 45}));
  const auto px = shown(hwnd, 40, 40);
  // Device column 18 is zoomed column 23, image column 23 * 4 / 50 = 1.84;
  // column 21 is 26 * 4 / 50 = 2.08.
  EXPECT_EQ(at(px, 40, 18, 0), kRed);
  EXPECT_EQ(at(px, 40, 21, 0), kBlue);
}

TEST_F(WindowProc, KeysScrollByPagesAndLines) {
  HWND hwnd = engine_window(40, 40);
  RX_HIMAGE im = keep(halves(8, 8, kRed, kBlue));
  ASSERT_EQ(RX_window_associate(im, u(hwnd), 1), 0);
  // 200 percent: 80 x 80, centred view: 40 - 20 = 20 scrolled each way.
  ASSERT_EQ(RX_window_zoom_rect_set(u(hwnd), 200, nullptr), 0);
  EXPECT_EQ(device_rect(im), (std::vector<int32_t>{-20, -20, 60, 60}));
  // A page is the client's 40 pixels, held at the ends; a line is a tenth
  // of the client area, 4 pixels.
  const std::vector<std::pair<uint32_t, std::vector<int32_t>>> keys = {
      {VK_HOME, {0, -20, 80, 60}},   // 20 - 40 -> 0 across
      {VK_NEXT, {0, -40, 80, 40}},   // 20 + 40 -> 40, the most (80 - 40)
      {VK_PRIOR, {0, 0, 80, 80}},    // 40 - 40 -> 0
      {VK_RIGHT, {-4, 0, 76, 80}},   {VK_DOWN, {-4, -4, 76, 76}},
      {VK_LEFT, {0, -4, 80, 76}},    {VK_UP, {0, 0, 80, 80}},
      {VK_END, {-40, 0, 40, 80}},    // 0 + 40 -> 40 across
  };
  for (const auto& [key, rect] : keys) {
    press(hwnd, key);
    EXPECT_EQ(device_rect(im), rect) << "key " << key;
  }
  // The window shows image columns 4-7: blue all over.
  const auto px = shown(hwnd, 40, 40);
  EXPECT_EQ(at(px, 40, 0, 0), kBlue);
  EXPECT_EQ(at(px, 40, 39, 39), kBlue);
  // A key that is no scroll key changes nothing.
  press(hwnd, VK_SPACE);
  EXPECT_EQ(device_rect(im), (std::vector<int32_t>{-40, 0, 40, 80}));
}

TEST_F(WindowProc, ScrollBarsScrollAndLinkedImagesFollow) {
  // 40 x 40 with both bars in its style; bars are 16 pixels wide.
  HWND hwnd = window(RX_window_class_name(), 40, 40, WS_HSCROLL | WS_VSCROLL);
  RX_HIMAGE im = keep(solid(8, 8, kRed));
  RX_HIMAGE mark = keep(solid(2, 2, kGreen));
  ASSERT_EQ(RX_window_associate(im, u(hwnd), 1), 0);
  // At 100 percent the image fills the 40 x 40 with the bars' room and
  // needs no bar.
  EXPECT_EQ(device_rect(im), (std::vector<int32_t>{0, 0, 40, 40}));
  EXPECT_EQ(pw_window_style_get(hwnd) & (WS_HSCROLL | WS_VSCROLL), 0u);
  // 200 percent: 80 x 80 needs both bars, leaving 24 x 24; the centre
  // stays: 80 / 2 - 24 / 2 = 28 scrolled each way.
  ASSERT_EQ(RX_window_zoom_rect_set(u(hwnd), 200, nullptr), 0);
  EXPECT_EQ(device_rect(im), (std::vector<int32_t>{-28, -28, 52, 52}));
  EXPECT_EQ(pw_scroll_pos_get(hwnd, SB_HORZ), 28);
  ASSERT_EQ(RX_window_option_set(u(hwnd), RX_WINDOW_LINK, mark), 0);
  const int32_t place[4] = {10, 10, 20, 20};
  ASSERT_EQ(RX_display_device_rect_set(mark, place), 0);
  auto px = shown(hwnd, 24, 24);
  EXPECT_EQ(at(px, 24, 15, 15), kGreen);
  EXPECT_EQ(at(px, 24, 22, 22), kRed);
  // Thumb to 30 horizontally: the image moves left by 2, the mark too.
  pw_scroll_bar_user(hwnd, SB_HORZ, SB_THUMBPOSITION, 30);
  pw_messages_pump(nullptr);
  EXPECT_EQ(device_rect(im), (std::vector<int32_t>{-30, -28, 50, 52}));
  EXPECT_EQ(device_rect(mark), (std::vector<int32_t>{8, 10, 18, 20}));
  // A line down is a tenth of 24: 2 pixels up for both.
  pw_scroll_bar_user(hwnd, SB_VERT, SB_LINEDOWN, 0);
  pw_messages_pump(nullptr);
  EXPECT_EQ(device_rect(im), (std::vector<int32_t>{-30, -30, 50, 50}));
  EXPECT_EQ(device_rect(mark), (std::vector<int32_t>{8, 8, 18, 18}));
  px = shown(hwnd, 24, 24);
  EXPECT_EQ(at(px, 24, 8, 8), kGreen);
  EXPECT_EQ(at(px, 24, 17, 17), kGreen);
  EXPECT_EQ(at(px, 24, 7, 7), kRed);
  EXPECT_EQ(at(px, 24, 18, 18), kRed);
}

TEST_F(WindowProc, SizeChangesZoomAgainAndMoveLinkedImages) {
  HWND hwnd = engine_window(40, 40);
  RX_HIMAGE im = keep(solid(40, 40, kRed));
  RX_HIMAGE mark = keep(solid(2, 2, kGreen));
  RX_display_aspect_set(im, RX_ASPECT_INSIDE);
  RX_display_centered_set(im, 0, 1);
  ASSERT_EQ(RX_window_associate(im, u(hwnd), 1), 0);
  EXPECT_EQ(device_rect(im), (std::vector<int32_t>{0, 0, 40, 40}));
  ASSERT_EQ(RX_window_option_set(u(hwnd), RX_WINDOW_LINK, mark), 0);
  const int32_t place[4] = {5, 5, 10, 10};
  ASSERT_EQ(RX_display_device_rect_set(mark, place), 0);
  // 80 x 40: the square fits by height and is centred, (80 - 40) / 2 = 20
  // from the left; the mark moves 20 right with it.
  ASSERT_EQ(pw_window_move(hwnd, 0, 0, 80, 40, 1), 1);
  EXPECT_EQ(device_rect(im), (std::vector<int32_t>{20, 0, 60, 40}));
  EXPECT_EQ(device_rect(mark), (std::vector<int32_t>{25, 5, 30, 10}));
  const auto px = shown(hwnd, 80, 40);
  EXPECT_EQ(at(px, 80, 19, 20), kWhite);
  EXPECT_EQ(at(px, 80, 20, 20), kRed);
  EXPECT_EQ(at(px, 80, 27, 7), kGreen);
  EXPECT_EQ(at(px, 80, 60, 20), kWhite);
  // Resizing off: the image stays where it was.
  ASSERT_EQ(RX_window_option_set(u(hwnd), RX_WINDOW_RESIZE, 0), 0);
  ASSERT_EQ(pw_window_move(hwnd, 0, 0, 40, 80, 1), 1);
  EXPECT_EQ(device_rect(im), (std::vector<int32_t>{20, 0, 60, 40}));
  // A rectangle of the caller's is kept through size changes.
  ASSERT_EQ(RX_window_option_set(u(hwnd), RX_WINDOW_RESIZE, 1), 0);
  const int32_t rect[4] = {0, 0, 20, 20};
  ASSERT_EQ(RX_window_zoom_rect_set(u(hwnd), 100, rect), 0);
  EXPECT_EQ(device_rect(im), (std::vector<int32_t>{0, 0, 20, 20}));
  ASSERT_EQ(pw_window_move(hwnd, 0, 0, 60, 60, 1), 1);
  EXPECT_EQ(device_rect(im), (std::vector<int32_t>{0, 0, 20, 20}));
}

// A fit through the association becomes the zoom later sizes keep. The
// 40 x 40 image is stretched: zoom 200 makes it 80 x 80 in a 40 x 40
// window, which brings scroll bars; the fit takes them away again, and
// that change of the client size must not zoom back to 200.
TEST_F(WindowProc, AFitIsTheZoomLaterSizesKeep) {
  HWND hwnd = window(RX_window_class_name(), 40, 40, WS_HSCROLL | WS_VSCROLL);
  RX_HIMAGE im = keep(solid(40, 40, kRed));
  RX_display_aspect_set(im, RX_ASPECT_STRETCH);
  ASSERT_EQ(RX_window_associate(im, u(hwnd), 1), 0);
  ASSERT_EQ(RX_window_zoom_rect_set(u(hwnd), 200, nullptr), 0);
  EXPECT_EQ(device_rect(im)[2] - device_rect(im)[0], 80);
  int32_t rect[4] = {-1, -1, -1, -1}, zoom = 0;
  ASSERT_EQ(RX_window_fit_set(u(hwnd), 0, rect, &zoom), 0);
  EXPECT_EQ(zoom, 100);
  EXPECT_EQ(std::vector<int32_t>(rect, rect + 4), (std::vector<int32_t>{0, 0, 40, 40}));
  EXPECT_EQ(device_rect(im), (std::vector<int32_t>{0, 0, 40, 40}));
  EXPECT_EQ(pw_window_style_get(hwnd) & (WS_HSCROLL | WS_VSCROLL), 0u);
  int32_t kept = 0;
  RX_window_zoom_get(u(hwnd), &kept);
  EXPECT_EQ(kept, 100);
  // Method 0 follows the client area: stretched over 60 x 50.
  ASSERT_EQ(pw_window_move(hwnd, 0, 0, 60, 50, 1), 1);
  EXPECT_EQ(device_rect(im), (std::vector<int32_t>{0, 0, 60, 50}));
  // Actual size keeps its 40 x 40 place when the window shrinks below it.
  ASSERT_EQ(RX_window_fit_set(u(hwnd), 3, rect, nullptr), 0);
  EXPECT_EQ(std::vector<int32_t>(rect, rect + 4), (std::vector<int32_t>{0, 0, 40, 40}));
  ASSERT_EQ(pw_window_move(hwnd, 0, 0, 30, 30, 1), 1);
  EXPECT_EQ(device_rect(im)[2] - device_rect(im)[0], 40);
  EXPECT_EQ(device_rect(im)[3] - device_rect(im)[1], 40);
  // Other methods do nothing; a window without an association is refused.
  rect[0] = -7;
  EXPECT_EQ(RX_window_fit_set(u(hwnd), 4, rect, &zoom), 0);
  EXPECT_EQ(rect[0], -7);
  HWND other = engine_window(20, 20);
  EXPECT_EQ(RX_window_fit_set(u(other), 0, nullptr, nullptr), 1);
  EXPECT_EQ(error_codes(), std::vector<int32_t>{RXE_WINDOW_NOT_ASSOCIATED});
}

TEST_F(WindowProc, SubclassedWindowsPassEveryMessageOn) {
  HWND hwnd = plain_window(40, 40);
  RX_HIMAGE im = keep(solid(4, 4, kRed));
  ASSERT_EQ(RX_window_associate(im, u(hwnd), 1), 0);
  plain_calls().clear();
  type(hwnd, '+');
  press(hwnd, VK_NEXT);  // posts a vertical scroll, which is passed on too
  EXPECT_EQ(plain_calls()[WM_CHAR], 1);
  EXPECT_EQ(plain_calls()[WM_KEYDOWN], 1);
  EXPECT_EQ(plain_calls()[WM_VSCROLL], 1);
  EXPECT_GE(plain_calls()[WM_PAINT], 1);
  EXPECT_EQ(zoom_of(hwnd), 125);
  // 50 x 50 scrolled to the end: 50 - 40 = 10 up.
  EXPECT_EQ(device_rect(im), (std::vector<int32_t>{-5, -10, 45, 40}));
  EXPECT_EQ(at(shown(hwnd, 40, 40), 40, 20, 20), kRed);
}

TEST_F(WindowProc, DeletedImagesDrawNothingAndNeverCrash) {
  HWND hwnd = engine_window(40, 40);
  RX_HIMAGE im = halves(4, 4, kRed, kBlue);
  RX_HIMAGE mark = solid(2, 2, kGreen);
  ASSERT_EQ(RX_window_associate(im, u(hwnd), 1), 0);
  ASSERT_EQ(RX_window_option_set(u(hwnd), RX_WINDOW_LINK, mark), 0);
  const int32_t place[4] = {0, 0, 10, 10};
  ASSERT_EQ(RX_display_device_rect_set(mark, place), 0);
  EXPECT_EQ(at(shown(hwnd, 40, 40), 40, 5, 5), kGreen);
  // The linked image goes: the main image shows where it was.
  ASSERT_EQ(RX_image_delete(mark), 0);
  pw_window_invalidate(hwnd, nullptr, 1);
  EXPECT_EQ(at(shown(hwnd, 40, 40), 40, 5, 5), kRed);
  // The main image goes too: only the background is left, and keys,
  // characters, scrolling and sizing do nothing harmful.
  ASSERT_EQ(RX_image_delete(im), 0);
  pw_window_invalidate(hwnd, nullptr, 1);
  auto px = shown(hwnd, 40, 40);
  EXPECT_EQ(at(px, 40, 5, 5), kWhite);
  EXPECT_EQ(at(px, 40, 30, 30), kWhite);
  type(hwnd, '+');
  type(hwnd, '-');
  press(hwnd, VK_NEXT);
  pw_scroll_bar_user(hwnd, SB_HORZ, SB_THUMBTRACK, 10);
  ASSERT_EQ(pw_window_move(hwnd, 0, 0, 30, 30, 1), 1);
  px = shown(hwnd, 30, 30);
  EXPECT_EQ(at(px, 30, 15, 15), kWhite);
  EXPECT_EQ(RX_window_option_set(u(hwnd), RX_WINDOW_UNLINK, mark), 0);
  EXPECT_EQ(RX_window_associate(0, u(hwnd), 0), 0);
}

void destroy_window(uintptr_t, RX_HIMAGE, uintptr_t window) {
  // The window is on its way out: the layer no longer counts it valid, so
  // this is refused, and the association ends all the same.
  EXPECT_EQ(RX_window_associate(0, window, 0), 1);
  EXPECT_EQ(error_codes(), std::vector<int32_t>{RXE_INVALID_WINDOW_HANDLE});
}

TEST_F(WindowProc, DestroyedFromInsideItsOwnMessages) {
  HWND hwnd = plain_window(40, 40);
  RX_HIMAGE im = keep(solid(4, 4, kRed));
  ASSERT_EQ(RX_window_associate(im, u(hwnd), 1), 0);
  ASSERT_EQ(RX_window_destroy_callback_set(u(hwnd), destroy_window, 0), 0);
  plain_calls().clear();
  // Posted input still queued when the window goes is dropped.
  pw_focus_set(hwnd);
  pw_input_char(hwnd, '+');
  pw_input_key(hwnd, WM_KEYDOWN, VK_NEXT);
  pw_window_destroy(hwnd);
  pw_messages_pump(nullptr);
  EXPECT_EQ(plain_calls()[WM_DESTROY], 1);
  EXPECT_EQ(plain_calls()[WM_CHAR], 0);
}

}  // namespace
