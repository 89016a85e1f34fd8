// The control's own magnifier and pan window (MagnifyWindow, PanWindow):
// made at their stored geometry, shown and hidden, gone with the control;
// kept up to date after scrolls and new images; the zoom that scroll bars
// coming do not undo; and the scroll bars that follow a pan.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "DISPLAY/display_test_util.h"
#include "SUPPORT/dib_builder.h"
#include "ctrl_harness.h"
#include "platform/window.h"
#include "rast_dispids.h"
#include "rastrix/rx_display.h"
#include "rastrix/rx_window.h"

namespace test {
namespace {

using namespace com;
using namespace rast;

// A 24-bit pixel as (red, green, blue).
struct Rgb {
  uint8_t r, g, b;
};

class ToolWindowTest : public PlacedCtrlTest {
 protected:
  HWND activate(int32_t width, int32_t height) { return PlacedCtrlTest::activate(0, 0, width, height); }
  // Loads a 24-bit image whose pixel (x, y) is colour(x, y).
  void load_made(int32_t width, int32_t height, const std::function<Rgb(int32_t, int32_t)>& colour) {
    std::vector<uint8_t> dib = make_dib(width, height, 24);
    for (int32_t y = 0; y < height; ++y) {
      uint8_t* row = image_row(dib, y);
      for (int32_t x = 0; x < width; ++x) {
        const Rgb c = colour(x, y);
        row[3 * x] = c.b;
        row[3 * x + 1] = c.g;
        row[3 * x + 2] = c.r;
      }
    }
    RX_HIMAGE image = create(dib);
    ASSERT_NE(image, 0u);
    const std::string p = path("made" + std::to_string(made_++) + ".bmp");
    ASSERT_EQ(RX_image_save_file(image, p.c_str(), RX_FORMAT_BMP), 0);
    RX_image_delete(image);
    host.put_str(kDispLoadImage, p);
    ASSERT_NE(ctrl().current_image(), 0u);
  }
  void load_plain(int32_t width, int32_t height, Rgb c) {
    load_made(width, height, [c](int32_t, int32_t) { return c; });
  }
  HWND tool(int32_t dispid) { return reinterpret_cast<HWND>(ctrl().tool_window(dispid)); }
  static std::string caption(HWND w) {
    char text[64] = {};
    pw_window_text_get(w, text, sizeof text);
    return text;
  }
  // The client area as shown, 0xRRGGBB a pixel, rows from the top.
  struct Shot {
    int32_t width = 0, height = 0;
    std::vector<uint32_t> px;
    uint32_t at(int32_t x, int32_t y) const { return px[size_t(y) * width + x] & 0xFFFFFFu; }
  };
  static Shot shot(HWND w) {
    pg_rect r{};
    pw_client_rect_get(w, &r);
    return Shot{r.right, r.bottom, dtest::shown(w)};
  }
  // A tool window with its caption, shown, its client area `width` x
  // `height` and its frame's corner at (left, top).
  static void expect_placed(HWND w, const char* title, int32_t left, int32_t top, int32_t width,
                            int32_t height) {
    EXPECT_EQ(caption(w), title);
    pg_rect c{}, r{};
    pw_client_rect_get(w, &c);
    pw_window_rect_get(w, &r);
    EXPECT_EQ((std::vector<int32_t>{c.right, c.bottom, r.left, r.top}),
              (std::vector<int32_t>{width, height, left, top}));
    EXPECT_NE(pw_window_visible(w), 0);
  }
  void geometry(int32_t which, int16_t x, int16_t y, int16_t width, int16_t height) {
    host.put_i4(kDispGUIWindow, which);
    host.put_i2s({{kDispGUIXpos, x}, {kDispGUIYpos, y}, {kDispGUIWidth, width}, {kDispGUIHeight, height}});
  }

  int made_ = 0;
};

constexpr Rgb kGrey{200, 200, 200};
constexpr uint32_t rgb(int r, int g, int b) { return uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b); }

// ---- Making, showing and hiding ---------------------------------------------

TEST_F(ToolWindowTest, NothingIsMadeBeforeTheFirstWriteNorWithoutAnImage) {
  activate(100, 100);
  const int32_t windows = pw_window_count();
  for (int write = 0; write < 2; ++write) {
    EXPECT_EQ(tool(kDispMagnifyWindow), nullptr) << write;
    EXPECT_EQ(tool(kDispPanWindow), nullptr) << write;
    // No image to show yet: the writes are kept and make nothing.
    host.put_i4(kDispMagnifyWindow, 1);
    host.put_bool(kDispPanWindow, true);
  }
  EXPECT_EQ(pw_window_count(), windows);
  EXPECT_EQ(host.get_int(kDispMagnifyWindow), 1);
  // A new image alone does not make them either.
  load_plain(20, 20, kGrey);
  EXPECT_EQ(tool(kDispMagnifyWindow), nullptr);
  EXPECT_EQ(pw_window_count(), windows);
}

// Each is made by its first "on" at its stored geometry (the magnifier's
// written before it exists, GUIWindow 2; the pan window's untouched, 0, 0,
// 128 by 96), hidden but kept by "off", and shown again by "on".
TEST_F(ToolWindowTest, ToolWindowsAreMadeAtTheirStoredGeometryShownAndHiddenNotDestroyed) {
  activate(100, 100);
  load_plain(40, 40, kGrey);
  geometry(2, 30, 40, 150, 110);
  const struct {
    int32_t id;
    const char* title;
    int32_t left, top, width, height;
  } kinds[] = {{kDispMagnifyWindow, "Magnify Window", 30, 40, 150, 110}, {kDispPanWindow, "Pan Window", 0, 0, 128, 96}};
  for (const auto& k : kinds) {
    SCOPED_TRACE(k.title);
    const auto show = [&](bool on) { k.id == kDispPanWindow ? host.put_bool(k.id, on) : host.put_i4(k.id, on); };
    const int32_t windows = pw_window_count();
    show(true);
    HWND w = tool(k.id);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(pw_window_count(), windows + 1);
    expect_placed(w, k.title, k.left, k.top, k.width, k.height);
    show(false);
    EXPECT_EQ((std::vector<int32_t>{pw_window_visible(w), pw_window_valid(w) != 0}), (std::vector<int32_t>{0, 1}));
    EXPECT_EQ(tool(k.id), w);
    // Magnifier values other than 0 and 1 leave it as it is.
    if (k.id == kDispMagnifyWindow) host.put_i4(k.id, 5);
    EXPECT_EQ(pw_window_visible(w), 0);
    show(true);
    EXPECT_EQ(tool(k.id), w);
    EXPECT_NE(pw_window_visible(w), 0);
    EXPECT_EQ(pw_window_count(), windows + 1);
  }
  // The user closing one destroys it; the next TRUE makes it again.
  HWND p = tool(kDispPanWindow);
  pw_message_send(p, WM_CLOSE, 0, 0);
  EXPECT_EQ(pw_window_valid(p), 0);
  EXPECT_EQ(tool(kDispPanWindow), nullptr);
  host.put_bool(kDispPanWindow, true);
  ASSERT_NE(tool(kDispPanWindow), nullptr);
  EXPECT_NE(pw_window_visible(tool(kDispPanWindow)), 0);
}

// A stored size no window can have: the engine refuses it, ErrCount says
// so and nothing is made; a usable size then makes the window.
TEST_F(ToolWindowTest, AnUnusableStoredSizeMakesNoWindow) {
  activate(100, 100);
  load_plain(40, 40, kGrey);
  const int32_t windows = pw_window_count();
  geometry(1, 0, 0, 0, 96);
  host.put_bool(kDispPanWindow, true);
  EXPECT_EQ(tool(kDispPanWindow), nullptr);
  EXPECT_EQ(host.get_int(kDispErrCount), 1);
  geometry(2, 0, 0, 128, -5);
  host.put_i4(kDispMagnifyWindow, 1);
  EXPECT_EQ(tool(kDispMagnifyWindow), nullptr);
  EXPECT_EQ(pw_window_count(), windows);
  geometry(1, 0, 0, 64, 48);
  host.put_bool(kDispPanWindow, true);
  EXPECT_NE(tool(kDispPanWindow), nullptr);
  EXPECT_EQ(host.get_int(kDispErrCount), 0);
}

// Deactivation takes the control's window and the tool windows it owns;
// activated again, the control makes new ones, and releasing the control
// takes those, hidden ones too.
TEST_F(ToolWindowTest, ToolWindowsGoWithTheControlsWindowAndTheControl) {
  const int32_t windows = pw_window_count();
  activate(100, 100);
  load_plain(40, 40, kGrey);
  host.put_i4(kDispMagnifyWindow, 1);
  host.put_bool(kDispPanWindow, true);
  HWND m = tool(kDispMagnifyWindow), p = tool(kDispPanWindow);
  ASSERT_TRUE(m != nullptr && p != nullptr);
  EXPECT_EQ(place_->InPlaceDeactivate(), S_OK);
  EXPECT_EQ((std::vector<int32_t>{pw_window_valid(m), pw_window_valid(p)}), (std::vector<int32_t>{0, 0}));
  EXPECT_EQ(pw_window_count(), windows);

  activate(100, 100);
  host.put_i4(kDispMagnifyWindow, 1);
  host.put_bool(kDispPanWindow, true);
  host.put_i4(kDispMagnifyWindow, 0);
  ASSERT_NE(tool(kDispPanWindow), nullptr);
  EXPECT_EQ(pw_window_count(), windows + 3);
  release_control();
  EXPECT_EQ(pw_window_count(), windows);
}

// MagnifyWindow 1 without a magnifier (no image when it was written)
// pops up the small one for a press. Once the magnify window is shown, a
// press follows the mouse with it instead; the release ends the tracking
// and leaves the window. Hidden, it takes no press: with nothing else
// asked for, none tracks.
TEST_F(ToolWindowTest, APressPopsUpTheSmallMagnifierOrTracksInTheShownOne) {
  HWND w = activate(100, 100);
  host.put_i4(kDispMagnifyWindow, 1);
  load_plain(40, 40, kGrey);
  const int32_t windows = pw_window_count();
  pw_message_send(w, WM_LBUTTONDOWN, PW_MK_LBUTTON, PW_MAKELPARAM(50, 50));
  EXPECT_EQ(pw_window_count(), windows + 1);
  pw_message_send(w, WM_LBUTTONUP, 0, PW_MAKELPARAM(50, 50));
  EXPECT_EQ(pw_window_count(), windows);

  host.put_i4(kDispMagnifyWindow, 1);
  ASSERT_NE(tool(kDispMagnifyWindow), nullptr);
  pw_message_send(w, WM_LBUTTONDOWN, PW_MK_LBUTTON, PW_MAKELPARAM(50, 50));
  EXPECT_EQ(pw_capture_get(), w);
  EXPECT_EQ(pw_window_count(), windows + 1);
  pw_message_send(w, WM_LBUTTONUP, 0, PW_MAKELPARAM(50, 50));
  EXPECT_EQ(pw_capture_get(), nullptr);
  EXPECT_NE(pw_window_valid(tool(kDispMagnifyWindow)), 0);

  host.put_i4(kDispMagnifyWindow, 0);
  pw_message_send(w, WM_LBUTTONDOWN, PW_MK_LBUTTON, PW_MAKELPARAM(50, 50));
  EXPECT_EQ(pw_capture_get(), nullptr);
  pw_message_send(w, WM_LBUTTONUP, 0, PW_MAKELPARAM(50, 50));
}

// ---- Keeping them up to date ------------------------------------------------------

// A 100 x 100 window without scroll bars shows a 200 x 200 grey image at
// zoom 200 over 200 x 200 device pixels, centred: (-50, -50)-(150, 150),
// so the view is image pixels 50..149 each way. A 200 x 200 pan window
// shows the image one to one (stretched into its client area), with the
// view inverted: grey 200 becomes 55.
TEST_F(ToolWindowTest, PanWindowMarksTheViewAfterAScrollAndShowsANewImage) {
  HWND w = activate(100, 100);
  host.put_bool(kDispScrollBars, false);
  load_plain(200, 200, kGrey);
  geometry(1, 0, 0, 200, 200);
  host.put_bool(kDispPanWindow, true);
  HWND p = tool(kDispPanWindow);
  ASSERT_NE(p, nullptr);
  host.put_i4(kDispZoomLevel, 200);
  const uint32_t grey = rgb(200, 200, 200), inverted = rgb(55, 55, 55);
  // The inverted span along row (or column) 100 starts at `first` and ends
  // at `last`, grey on both sides where the window goes on.
  const auto span = [&](const Shot& s, bool columns, int32_t first, int32_t last) {
    const auto at = [&](int32_t i) { return columns ? s.at(i, 100) : s.at(100, i); };
    EXPECT_EQ(at(first - 1), grey) << first;
    EXPECT_EQ(at(first), inverted) << first;
    EXPECT_EQ(at(last), inverted) << last;
    if (last + 1 < s.width) {
      EXPECT_EQ(at(last + 1), grey) << last;
    }
  };
  Shot s = shot(p);
  ASSERT_EQ(s.width, 200);
  span(s, true, 50, 149);
  span(s, false, 50, 149);

  // A line right is a tenth of the client area, 10 pixels: columns 60..159.
  pw_message_send(w, WM_HSCROLL, SB_LINEDOWN, 0);
  span(shot(p), true, 60, 159);
  // A page down is 100 rows from 50, held at the last 100: rows 100..199.
  pw_message_send(w, WM_VSCROLL, SB_PAGEDOWN, 0);
  s = shot(p);
  span(s, false, 100, 199);
  EXPECT_EQ(s.at(59, 150), grey);
  // A fit shows the whole image again: all of it in view.
  host.put_i4(kDispFitMethod, 0);
  s = shot(p);
  EXPECT_EQ((std::vector<uint32_t>{s.at(0, 0), s.at(199, 199)}), (std::vector<uint32_t>{inverted, inverted}));

  // Another image, fitted at zoom 100: the whole of it is in view, so the
  // whole pan window shows its colour inverted.
  load_plain(100, 50, Rgb{10, 60, 110});
  s = shot(p);
  EXPECT_EQ((std::vector<uint32_t>{s.at(0, 0), s.at(199, 199), s.at(100, 100)}),
            std::vector<uint32_t>(3, rgb(245, 195, 145)));
}

TEST_F(ToolWindowTest, MagnifierExaminesTheNewImage) {
  activate(100, 100);
  load_plain(40, 40, kGrey);
  host.put_i4(kDispMagnifyWindow, 1);
  HWND m = tool(kDispMagnifyWindow);
  ASSERT_NE(m, nullptr);
  // Eight times enlarged, a one-colour image covers the whole client area.
  EXPECT_EQ(shot(m).at(64, 48), rgb(200, 200, 200));
  load_plain(30, 20, Rgb{10, 60, 110});
  const Shot s = shot(m);
  EXPECT_EQ((std::vector<uint32_t>{s.at(0, 0), s.at(64, 48)}), std::vector<uint32_t>(2, rgb(10, 60, 110)));
}

// ---- Zoom through the image window --------------------------------------------------

// Pixel (x, y) of the 400 x 300 image: red x mod 256, green y mod 256, blue
// 16 x (x / 256) + y / 256.
Rgb coordinates(int32_t x, int32_t y) {
  return Rgb{uint8_t(x & 255), uint8_t(y & 255), uint8_t(16 * (x >> 8) + (y >> 8))};
}
uint32_t coordinates_rgb(int32_t x, int32_t y) {
  const Rgb c = coordinates(x, y);
  return rgb(c.r, c.g, c.b);
}

class ZoomTest : public ToolWindowTest {
 protected:
  // A 200 x 200 window with scroll bars, a 400 x 300 image stretched over
  // it at fit (zoom 100, no bars needed), then zoom 200: 400 x 400 device
  // pixels, which brings both bars; the client area is c x c, c = 200 less
  // a bar.
  void zoom_in() {
    w_ = activate(200, 200);
    load_made(400, 300, coordinates);
    host.put_i4(kDispZoomLevel, 200);
    pg_rect r{};
    pw_client_rect_get(w_, &r);
    c_ = r.right;
  }
  int32_t pos(int32_t bar) const {
    pw_scroll_info si{};
    si.mask = PW_SIF_ALL;
    EXPECT_NE(pw_scroll_info_get(w_, bar, &si), 0);
    return si.pos;
  }
  // Both scroll positions, across then down.
  std::vector<int32_t> positions() const { return {pos(SB_HORZ), pos(SB_VERT)}; }
  std::vector<int32_t> device_rect() { return dtest::device_rect(ctrl().current_image()); }
  HWND w_ = nullptr;
  int32_t c_ = 0;
};

TEST_F(ZoomTest, ZoomLevelStaysWhenTheScrollBarsCome) {
  zoom_in();
  const int32_t bar = pw_system_metric(SM_CXVSCROLL);
  EXPECT_EQ(c_, 200 - bar);
  EXPECT_EQ(host.get_int(kDispZoomLevel), 200);
  EXPECT_EQ(pw_window_style_get(w_) & (WS_HSCROLL | WS_VSCROLL), uint32_t(WS_HSCROLL | WS_VSCROLL));
  // The view's centre stays the image's centre: device offset 200 of 400
  // is column 200 of 400 and row 150 of 300; the first visible pixel is
  // 200 - c / 2 in, and the window's middle pixel c / 2 further.
  EXPECT_EQ(positions(), (std::vector<int32_t>{200 - c_ / 2, 200 - c_ / 2}));
  const Shot s = shot(w_);
  EXPECT_EQ(s.at(c_ / 2, c_ / 2), coordinates_rgb(200, 150));
  // One device row is three quarters of an image row: offset 204 is row 153.
  EXPECT_EQ(s.at(c_ / 2 + 1, c_ / 2 + 4), coordinates_rgb(201, 153));
}

TEST_F(ZoomTest, TheZoomOutlivesASizeChangeAndAFitEndsIt) {
  zoom_in();
  // 220 x 220: the image is placed over the whole area again and doubled.
  const int32_t bigger[4] = {0, 0, 220, 220};
  ASSERT_EQ(place_->SetObjectRect(bigger), S_OK);
  const std::vector<int32_t> dr = device_rect();
  EXPECT_EQ((std::vector<int32_t>{dr[2] - dr[0], dr[3] - dr[1]}), (std::vector<int32_t>{440, 440}));
  // A fit goes back to 100 and stays there through the next size change.
  host.put_i4(kDispFitMethod, 0);
  EXPECT_EQ(host.get_int(kDispZoomLevel), 100);
  const int32_t smaller[4] = {0, 0, 180, 160};
  ASSERT_EQ(place_->SetObjectRect(smaller), S_OK);
  EXPECT_EQ(device_rect(), (std::vector<int32_t>{0, 0, 180, 160}));
  EXPECT_EQ(pw_window_style_get(w_) & (WS_HSCROLL | WS_VSCROLL), 0u);
}

// ---- Scroll bars that follow a pan ------------------------------------------------

// A 200 x 200 pan window shows the 400 x 400 device pixels of the zoomed
// image at half size. A press at (50, 150) is device offset (100, 300);
// the view is centred on it: it starts at 100 - c / 2 and 300 - c / 2.
TEST_F(ZoomTest, ScrollBarsFollowADragInThePanWindow) {
  zoom_in();
  geometry(1, 0, 0, 200, 200);
  host.put_bool(kDispPanWindow, true);
  HWND p = tool(kDispPanWindow);
  ASSERT_NE(p, nullptr);
  pw_message_send(p, WM_LBUTTONDOWN, PW_MK_LBUTTON, PW_MAKELPARAM(50, 150));
  EXPECT_EQ(device_rect()[0], c_ / 2 - 100);
  EXPECT_EQ(positions(), (std::vector<int32_t>{100 - c_ / 2, 300 - c_ / 2}));
  // Dragged past the far corner, the view stops at the image's edge: the
  // last position, 400 - c.
  pw_message_send(p, WM_MOUSEMOVE, PW_MK_LBUTTON, PW_MAKELPARAM(260, 250));
  EXPECT_EQ(positions(), (std::vector<int32_t>{400 - c_, 400 - c_}));
  pw_message_send(p, WM_MOUSEMOVE, PW_MK_LBUTTON, PW_MAKELPARAM(50, 150));
  pw_message_send(p, WM_LBUTTONUP, 0, PW_MAKELPARAM(50, 150));
  // The next zoom starts from where the pan left the view: (100 + ...) of
  // 400 is an exact fraction, so the same zoom puts it back in place.
  host.put_i4(kDispZoomLevel, 200);
  EXPECT_EQ(positions(), (std::vector<int32_t>{100 - c_ / 2, 300 - c_ / 2}));
}

TEST_F(ZoomTest, ScrollBarsFollowHandPanning) {
  zoom_in();
  host.put_bool(kDispHandPanning, true);
  const std::vector<int32_t> p0 = positions();
  // Dragging the image 10 left and 6 up shows what lay right and below.
  pw_message_send(w_, WM_LBUTTONDOWN, PW_MK_LBUTTON, PW_MAKELPARAM(80, 80));
  pw_message_send(w_, WM_MOUSEMOVE, PW_MK_LBUTTON, PW_MAKELPARAM(80, 80));
  pw_message_send(w_, WM_MOUSEMOVE, PW_MK_LBUTTON, PW_MAKELPARAM(70, 74));
  pw_message_send(w_, WM_LBUTTONUP, 0, PW_MAKELPARAM(70, 74));
  const std::vector<int32_t> moved = {p0[0] + 10, p0[1] + 6};
  EXPECT_EQ(positions(), moved);
  const std::vector<int32_t> dr = device_rect();
  EXPECT_EQ((std::vector<int32_t>{-dr[0], -dr[1]}), moved);
}

}  // namespace
}  // namespace test
