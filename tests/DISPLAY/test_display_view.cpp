// The view: aspect modes, fit, zoom, centring, scrolling and the mapping
// between device points and image pixels, in windows of the window layer;
// rotation codes; palette realisation.
#include <gtest/gtest.h>

#include "DISPLAY/display_test_util.h"
#include "platform/window.h"

using namespace dtest;

namespace {

class DisplayView : public WindowsTest {
 protected:
  DisplayView() : WindowsTest("DisplayViewTest", pw_window_proc_default) {}
};

RX_HIMAGE square() { return image(8, 400, 400, {}, [](int32_t, int32_t) { return 0u; }); }

TEST_F(DisplayView, FitKeepsProportionsByTheAspectMode) {
  HWND hwnd = window(200, 100);
  RX_HIMAGE im = square();
  RX_display_aspect_set(im, RX_ASPECT_INSIDE);
  int32_t rect[4] = {}, zoom = 0;
  ASSERT_EQ(RX_display_fit_set(im, u(hwnd), rect, &zoom, 0), 0);
  EXPECT_EQ(std::vector<int32_t>(rect, rect + 4), (std::vector<int32_t>{0, 0, 200, 100}));
  EXPECT_EQ(zoom, 100);
  EXPECT_EQ(device_rect(im), (std::vector<int32_t>{0, 0, 100, 100}));
  ASSERT_EQ(RX_display_centered_set(im, u(hwnd), 7), 0);
  int32_t centred = 0;
  RX_display_centered_get(im, &centred);
  EXPECT_EQ(centred, 1);
  EXPECT_EQ(device_rect(im), (std::vector<int32_t>{50, 0, 150, 100}));
  // Half size about the placed rectangle's centre.
  ASSERT_EQ(RX_display_zoom_set(im, u(hwnd), 50, nullptr), 0);
  EXPECT_EQ(device_rect(im), (std::vector<int32_t>{75, 25, 125, 75}));
  int32_t state[8] = {}, scroll[4] = {};
  RX_display_zoom_state_get(im, state, scroll);
  EXPECT_EQ(std::vector<int32_t>(state, state + 8), (std::vector<int32_t>{0, 0, 200, 100, 50, 0, 150, 100}));
  EXPECT_EQ(scroll[2], 50);
  // Actual size; a method past 3 does nothing.
  ASSERT_EQ(RX_display_fit_set(im, u(hwnd), rect, &zoom, 3), 0);
  EXPECT_EQ(device_rect(im), (std::vector<int32_t>{0, 0, 400, 400}));
  EXPECT_EQ(RX_display_fit_set(im, u(hwnd), rect, &zoom, 4), 0);
  EXPECT_EQ(device_rect(im), (std::vector<int32_t>{0, 0, 400, 400}));
  RX_image_delete(im);
}

TEST_F(DisplayView, AspectModesPlaceInTheTarget) {
  HWND hwnd = window(300, 300);
  RX_HIMAGE im = image(8, 200, 100, {}, [](int32_t, int32_t) { return 0u; });
  RX_display_centered_set(im, 0, 1);
  const int32_t target[4] = {0, 0, 100, 100};
  const std::vector<std::pair<int32_t, std::vector<int32_t>>> cases = {
      {RX_ASPECT_STRETCH, {0, 0, 100, 100}}, {RX_ASPECT_INSIDE, {0, 25, 100, 75}},
      {RX_ASPECT_WIDTH, {0, 25, 100, 75}},   {RX_ASPECT_HEIGHT, {-50, 0, 150, 100}},
      {RX_ASPECT_FILL, {-50, 0, 150, 100}},  {9, {0, 0, 100, 100}}};
  for (const auto& [mode, want] : cases) {
    RX_display_aspect_set(im, mode);
    ASSERT_EQ(RX_display_zoom_set(im, u(hwnd), 100, target), 0);
    EXPECT_EQ(device_rect(im), want) << mode;
  }
  RX_image_delete(im);
}

TEST_F(DisplayView, ZoomedImagesScrollAndKeepTheViewCentre) {
  // Client 200 x 100 inside both bars.
  HWND hwnd = window(216, 116, WS_HSCROLL | WS_VSCROLL);
  RX_HIMAGE im = square();
  ASSERT_EQ(RX_display_fit_set(im, u(hwnd), nullptr, nullptr, 3), 0);
  EXPECT_EQ(device_rect(im), (std::vector<int32_t>{0, 0, 400, 400}));
  pw_scroll_info si{PW_SIF_ALL, 0, 0, 0, 0, 0};
  pw_scroll_info_get(hwnd, SB_VERT, &si);
  EXPECT_EQ((std::vector<int32_t>{si.min, si.max, int32_t(si.page), si.pos}), (std::vector<int32_t>{0, 399, 100, 0}));
  pw_scroll_info_get(hwnd, SB_HORZ, &si);
  EXPECT_EQ((std::vector<int32_t>{si.max, int32_t(si.page)}), (std::vector<int32_t>{399, 200}));
  // A line is a tenth of the client, a page all of it.
  ASSERT_EQ(RX_display_scroll(im, u(hwnd), SB_VERT, SB_LINEDOWN, 0), 0);
  EXPECT_EQ(device_rect(im), (std::vector<int32_t>{0, -10, 400, 390}));
  RX_display_scroll(im, u(hwnd), SB_VERT, SB_PAGEDOWN, 0);
  EXPECT_EQ(device_rect(im)[1], -110);
  RX_display_scroll(im, u(hwnd), SB_VERT, SB_BOTTOM, 0);
  EXPECT_EQ(device_rect(im)[1], -300);
  EXPECT_EQ(pw_scroll_pos_get(hwnd, SB_VERT), 300);
  RX_display_scroll(im, u(hwnd), SB_HORZ, SB_THUMBTRACK, 150);
  EXPECT_EQ(device_rect(im)[0], -150);
  // Twice the size: the centre (250, 350) of 400 stays the centre: 500 of
  // 800 across (500 - 100), 700 down (700 - 50).
  const int32_t actual[4] = {0, 0, 400, 400};
  ASSERT_EQ(RX_display_zoom_set(im, u(hwnd), 200, actual), 0);
  EXPECT_EQ(device_rect(im), (std::vector<int32_t>{-400, -650, 400, 150}));
  RX_image_delete(im);
}

TEST_F(DisplayView, ZoomLimitsAndWindows) {
  HWND hwnd = window(200, 100);
  RX_HIMAGE im = image(8, 1, 1, {}, [](int32_t, int32_t) { return 0u; });
  EXPECT_EQ(RX_display_zoom_set(im, u(hwnd), 0, nullptr), 1);
  EXPECT_EQ(error_codes(), std::vector<int32_t>{RXE_PARAMETERS_OUT_OF_LIMITS});
  ASSERT_EQ(RX_display_zoom_set(im, u(hwnd), 1, nullptr), 0);
  EXPECT_EQ(device_rect(im), (std::vector<int32_t>{0, 0, 2, 1}));
  // 200000 x 100000 around the view's centre, where the whole image was.
  ASSERT_EQ(RX_display_zoom_set(im, u(hwnd), 100000, nullptr), 0);
  const std::vector<int32_t> huge = {-99900, -49950, 100100, 50050};
  EXPECT_EQ(device_rect(im), huge);
  EXPECT_EQ(RX_display_zoom_set(im, u(hwnd), INT32_MAX, nullptr), 1);
  EXPECT_EQ(device_rect(im), huge);
  EXPECT_EQ(RX_display_zoom_set(im, 0, 100, nullptr), 1);
  EXPECT_EQ(error_codes(), std::vector<int32_t>{RXE_INVALID_WINDOW_HANDLE});
  EXPECT_EQ(RX_display_fit_set(im, 0x7777, nullptr, nullptr, 0), 1);
  EXPECT_EQ(RX_display_palette_realize(im, 0x7777, 0, nullptr), 1);
  EXPECT_EQ(RX_display_scroll(im, u(hwnd), 5, SB_LINEDOWN, 0), 1);
  RX_image_delete(im);
}

TEST_F(DisplayView, DevicePointsAndImagePixels) {
  RX_HIMAGE im = image(8, 10, 10, {}, [](int32_t, int32_t) { return 0u; });
  set_rect(im, 5, 5, 25, 25);
  int32_t x = 0, y = 0;
  ASSERT_EQ(RX_display_device_to_image(im, 9, 7, &x, &y), 0);
  EXPECT_EQ((std::vector<int32_t>{x, y}), (std::vector<int32_t>{2, 1}));
  ASSERT_EQ(RX_display_image_to_device(im, 2, 1, &x, &y), 0);
  EXPECT_EQ((std::vector<int32_t>{x, y}), (std::vector<int32_t>{9, 7}));
  RX_image_delete(im);
  // A 10 x 4 page turned a quarter: the image's top row is the rightmost
  // device column, its left column the top device row.
  RX_HIMAGE page = bilevel(10, 4, [](int32_t, int32_t) { return 1u; });
  RX_display_rotation_set(page, 1);
  set_rect(page, 0, 0, 4, 10);
  RX_display_device_to_image(page, 0, 0, &x, &y);
  EXPECT_EQ((std::vector<int32_t>{x, y}), (std::vector<int32_t>{0, 3}));
  RX_display_device_to_image(page, 3, 9, &x, &y);
  EXPECT_EQ((std::vector<int32_t>{x, y}), (std::vector<int32_t>{9, 0}));
  for (int32_t r = 0; r < 4; ++r) {
    RX_display_rotation_set(page, r);
    if (r % 2 == 0) set_rect(page, 0, 0, 10, 4);
    else set_rect(page, 0, 0, 4, 10);
    for (int32_t ix = 0; ix < 10; ix += 3)
      for (int32_t iy = 0; iy < 4; ++iy) {
        RX_display_image_to_device(page, ix, iy, &x, &y);
        int32_t bx = -1, by = -1;
        RX_display_device_to_image(page, x, y, &bx, &by);
        EXPECT_EQ((std::vector<int32_t>{bx, by}), (std::vector<int32_t>{ix, iy})) << r;
      }
  }
  RX_image_delete(page);
}

TEST_F(DisplayView, RotationCodes) {
  RX_HIMAGE page = bilevel({"01"});
  EXPECT_EQ(RX_display_rotation_set(page, 4), 1);
  EXPECT_EQ(error_codes(), std::vector<int32_t>{RXE_ROTATE_VALUE_INVALID});
  int32_t r = -1;
  RX_display_rotation_get(page, &r);
  EXPECT_EQ(r, 0);
  EXPECT_EQ(RX_display_rotation_set(page, 3), 0);
  RX_HIMAGE photo = image(24, 1, 1, {}, [](int32_t, int32_t) { return 0u; });
  EXPECT_EQ(RX_display_rotation_set(photo, 2), 1);
  EXPECT_EQ(error_codes(), std::vector<int32_t>{RXE_NOT_IMPLEMENTED});
  RX_display_rotation_get(photo, &r);
  EXPECT_EQ(r, 2);
  RX_image_delete(page);
  RX_image_delete(photo);
}

TEST_F(DisplayView, DeviceAndImageRectangleChecks) {
  RX_HIMAGE im = image(8, 5, 4, {}, [](int32_t, int32_t) { return 0u; });
  // The image at its own size to begin with.
  EXPECT_EQ(device_rect(im), (std::vector<int32_t>{0, 0, 5, 4}));
  EXPECT_EQ(set_rect(im, 10, 0, 10, 5), 1);
  auto e = error_entries();
  EXPECT_EQ((std::vector<int32_t>{e[0].code, e[0].iVal, e[0].lVal}), (std::vector<int32_t>{RXE_RECT_INVALID, 0, 5}));
  EXPECT_EQ(set_rect(im, 0, 9, 3, 2), 1);
  EXPECT_EQ(device_rect(im), (std::vector<int32_t>{0, 0, 5, 4}));
  const int32_t backwards[4] = {3, 2, 1, 0};
  ASSERT_EQ(RX_display_image_rect_set(im, backwards), 0);
  int32_t got[4] = {};
  RX_display_image_rect_get(im, got);
  EXPECT_EQ(std::vector<int32_t>(got, got + 4), (std::vector<int32_t>{3, 2, 4, 3}));
  RX_image_delete(im);
}

TEST_F(DisplayView, PaletteRealisationOnAPaletteDisplay) {
  HDISPLAY eight = pg_display_create(8);
  HDISPLAY previous = pg_display_default();
  pg_display_default_set(eight);
  HWND hwnd = window(10, 10);
  RX_HIMAGE im = image(8, 2, 1, {rgb(1, 2, 3), rgb(200, 100, 50)}, [](int32_t x, int32_t) { return uint32_t(x); });
  int32_t count = -1;
  ASSERT_EQ(RX_display_palette_realize(im, u(hwnd), 0, &count), 0);
  EXPECT_GT(count, 0);
  pg_rect invalid{};
  EXPECT_EQ(pw_update_rect_get(hwnd, &invalid), 1);
  ASSERT_EQ(RX_display_palette_realize(im, u(hwnd), 0, &count), 0);
  EXPECT_EQ(count, 0);
  // Drawn through the realised palette, the colours are exact.
  HDC dc = pw_window_dc_get(hwnd);
  set_rect(im, 0, 0, 2, 1);
  ASSERT_EQ(RX_display_image(im, reinterpret_cast<uintptr_t>(dc)), 0);
  EXPECT_EQ(pg_pixel_get(dc, 1, 0), PG_RGB(200, 100, 50));
  pw_window_dc_release(hwnd, dc);
  windows_.destroy_all();  // before the display it was made on goes
  pg_display_default_set(previous);
  pg_display_delete(eight);
  RX_image_delete(im);
}

}  // namespace
