// The control's window and view: in-place activation through the
// component model, drawing for the host, the display properties with their
// limits, the view rectangles and the selection routine.
#include <gtest/gtest.h>

#include <climits>
#include <tuple>
#include <utility>
#include <vector>

#include "DISPLAY/display_test_util.h"
#include "ctrl_harness.h"
#include "platform/gdi.h"
#include "platform/window.h"
#include "rast_dispids.h"
#include "rast_guids.h"
#include "rastrix/rpb.h"
#include "rastrix/rx_display.h"
#include "rastrix/rx_window.h"
#include "support/engine_fixture.h"

namespace test {
namespace {

using namespace com;
using namespace rast;

// Answers SelectEvent by moving the rectangle to `answer` (image pixels).
class SelectSink final : public IDispatch {
 public:
  std::vector<int32_t> answer;
  bool change = false;
  std::vector<std::vector<int32_t>> seen;
  HRESULT QueryInterface(const IID& iid, void** out) override {
    if (!guid_equal(iid, IID_IUnknown) && !guid_equal(iid, IID_IDispatch)) return E_NOINTERFACE;
    *out = this;
    return S_OK;
  }
  uint32_t AddRef() override { return 2; }
  uint32_t Release() override { return 1; }
  HRESULT GetTypeInfoCount(uint32_t* n) override { *n = 0; return S_OK; }
  HRESULT GetTypeInfo(uint32_t, uint32_t, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(const IID&, const char* const*, uint32_t, uint32_t, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT Invoke(DISPID id, const IID&, uint32_t, uint16_t, DISPPARAMS* p, VARIANT*, EXCEPINFO*,
                 uint32_t*) override {
    if (id != kEventSelect || p == nullptr || p->cArgs != 4) return S_OK;
    std::vector<int32_t> sides;
    for (int i = 3; i >= 0; --i) sides.push_back(*p->rgvarg[i].plVal);
    seen.push_back(sides);
    for (size_t i = 0; i < answer.size(); ++i) *p->rgvarg[3 - i].plVal = answer[i];
    return S_OK;
  }
};

class ViewTest : public PlacedCtrlTest {
 protected:
  // Writes ZoomLeft..ZoomBottom; the last write zooms.
  void zoom_to(int16_t left, int16_t top, int16_t right, int16_t bottom) {
    host.put_i2s({{kDispZoomLeft, left}, {kDispZoomTop, top}, {kDispZoomRight, right}, {kDispZoomBottom, bottom}});
  }
  Ints zoom() { return host.get_ints({kDispZoomLevel, kDispZoomLeft, kDispZoomTop}); }
  static Ints size_of(HWND w) {
    pg_rect r{};
    pw_window_rect_get(w, &r);
    return {r.right - r.left, r.bottom - r.top};
  }
  SelectSink select_sink_;  // outlives the test body, as its connection does
};

// ---- In-place activation ----------------------------------------------------

TEST_F(ViewTest, ActivationMakesMovesAndDestroysAChildWindow) {
  const int32_t before = pw_window_count();
  uintptr_t none = 1;
  EXPECT_EQ(place_->GetWindow(&none), E_FAIL);
  EXPECT_EQ(none, 0u);
  HWND w = activate(10, 20, 110, 70);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(pw_window_count(), before + 1);
  EXPECT_EQ(pw_window_parent(w), parent_);
  // Made with both scroll bars, which creation hides until a zoom needs them.
  EXPECT_EQ(pw_window_style_get(w) & (WS_CHILD | WS_HSCROLL | WS_VSCROLL), WS_CHILD);
  EXPECT_EQ(host.get_int(kDispHWnd), static_cast<int64_t>(reinterpret_cast<uintptr_t>(w)));
  EXPECT_EQ(size_of(w), (Ints{100, 50}));
  const int32_t moved[4] = {30, 40, 60, 90};
  EXPECT_EQ(place_->SetObjectRect(moved), S_OK);
  EXPECT_EQ(size_of(w), (Ints{30, 50}));
  // A second activation moves the one window rather than making another.
  HWND again = activate(0, 0, 17, 17);
  EXPECT_EQ(again, w);
  EXPECT_EQ(pw_window_count(), before + 1);

  EXPECT_EQ(place_->InPlaceDeactivate(), S_OK);
  EXPECT_EQ(pw_window_valid(w), 0);
  EXPECT_EQ(pw_window_count(), before);
  EXPECT_EQ(place_->InPlaceDeactivate(), S_FALSE);
  EXPECT_EQ(host.get_int(kDispHWnd), 0);
}

TEST_F(ViewTest, BadActivationsChangeNothing) {
  const int32_t before = pw_window_count();
  const uintptr_t parent = reinterpret_cast<uintptr_t>(parent_);
  // Upside down, no window, no rectangle, sides that overflow 32 bits, and
  // a width no window can have.
  const int32_t upside_down[4] = {50, 50, 10, 10}, fine[4] = {0, 0, 10, 10};
  const int32_t vast[4] = {INT32_MIN, 0, INT32_MAX, 10}, wide[4] = {0, 0, 70000, 10};
  const std::pair<uintptr_t, const int32_t*> bad[] = {
      {parent, upside_down}, {0x1234, fine}, {parent, nullptr}, {parent, vast}, {parent, wide}};
  for (const auto& b : bad) EXPECT_EQ(place_->InPlaceActivate(b.first, b.second), E_INVALIDARG);
  EXPECT_EQ(place_->SetObjectRect(fine), E_FAIL);
  EXPECT_EQ(pw_window_count(), before);
}

TEST_F(ViewTest, ReleasingAnActiveControlTakesItsWindow) {
  const int32_t before = pw_window_count();
  activate(0, 0, 50, 50);
  load(20, 10);
  // The fixture's own reference is the last one: with it the window must go.
  release_control();
  EXPECT_EQ(pw_window_count(), before);
}

TEST_F(ViewTest, AnImageLoadedWhileActiveIsAssociatedAndPainted) {
  HWND w = activate(0, 0, 64, 48);
  load(32, 24);
  int32_t linked = -1;
  // The engine knows the window: it answers for its association.
  EXPECT_EQ(RX_window_linked_count(reinterpret_cast<uintptr_t>(w), &linked), 0);
  EXPECT_EQ(linked, 0);
}

// ---- Drawing for the host -------------------------------------------------------

constexpr dtest::Rgb kGrey = 0x0A141E;  // (10, 20, 30)

// A 20 x 20 surface of grey for the host's drawing.
struct HostDc : dtest::Device {
  HostDc() : Device(24, 20, 20) { fill(kGrey); }
};


TEST_F(ViewTest, WithoutAnImageDesignModeDrawsWhiteBoundsAndRunModeNothing) {
  TestSite site(false);
  ctrl().SetSite(&site);
  HostDc design;
  const int32_t bounds[4] = {5, 5, 15, 12};
  EXPECT_EQ(place_->Draw(design.handle(), bounds), S_OK);
  // Right and bottom are outside the bounds.
  EXPECT_EQ((std::vector<dtest::Rgb>{design.at(5, 5), design.at(14, 11), design.at(15, 11), design.at(14, 12),
                                     design.at(4, 5)}),
            (std::vector<dtest::Rgb>{0xFFFFFF, 0xFFFFFF, kGrey, kGrey, kGrey}));
  site.user_mode = true;
  HostDc run;
  const int32_t all[4] = {0, 0, 20, 20};
  EXPECT_EQ(place_->Draw(run.handle(), all), S_OK);
  EXPECT_EQ(run.at(10, 10), kGrey);
  ctrl().SetSite(nullptr);
}

TEST_F(ViewTest, DesignModeDrawsTheImageIntoTheBounds) {
  TestSite design(false);
  ctrl().SetSite(&design);
  load(8, 6);
  HostDc m;
  // Bounds of the image's own size: every pixel lands one to one.
  const int32_t bounds[4] = {4, 3, 12, 9};
  EXPECT_EQ(place_->Draw(m.handle(), bounds), S_OK);
  for (int32_t y = 0; y < 6; ++y)
    for (int32_t x = 0; x < 8; ++x) {
      const auto bgr = pixel(x, y);  // the image's bytes: blue, green, red
      EXPECT_EQ(m.at(4 + x, 3 + y), dtest::rgb(bgr[2], bgr[1], bgr[0])) << x << "," << y;
    }
  EXPECT_EQ(m.at(3, 3), kGrey);
  // Design mode makes the bounds the image's device rectangle.
  EXPECT_EQ(host.get_ints({kDispDeviceRectLeft, kDispDeviceRectTop, kDispDeviceRectRight, kDispDeviceRectBottom}),
            (Ints{4, 3, 12, 9}));
  ctrl().SetSite(nullptr);
}

TEST_F(ViewTest, DrawRefusesMissingArguments) {
  const int32_t bounds[4] = {0, 0, 1, 1};
  EXPECT_EQ(place_->Draw(0, bounds), E_INVALIDARG);
  HostDc m;
  EXPECT_EQ(place_->Draw(m.handle(), nullptr), E_INVALIDARG);
}

// ---- Display properties -----------------------------------------------------------

TEST_F(ViewTest, LookUpTablesFollowContrastBrightnessAndGamma) {
  const RX_HIMAGE image = load(4, 4);
  for (auto [id, v] : {std::pair{kDispDisplayContrast, 2.0}, {kDispDisplayBrightness, 10.0}, {kDispDisplayGamma, 1.0}})
    host.put_r8(id, v);
  const uint8_t* red = nullptr;
  ASSERT_EQ(RX_display_LUT_get(image, &red, nullptr, nullptr), 0);
  // (v x 2 + 10) / 255, to the power 1, times 255: 100 -> 210, 200 -> 410 -> 255.
  EXPECT_EQ((std::vector<int>{red[100], red[200], red[0]}), (std::vector<int>{210, 255, 10}));
}

// With an image the display members reach the engine's record of it (the
// members' own values are shaped as the write-shape tests check).
TEST_F(ViewTest, DisplayAngleAndCentredReachTheImage) {
  const RX_HIMAGE image = load(16, 8, 1);
  for (int16_t degrees : {180, 45}) {  // 45 is refused and keeps 180
    if (degrees == 45) host.put_i4(kDispDebugLevel, 1);
    host.put_i2(kDispDisplayAngle, degrees);
    int32_t rotation = -1;
    RX_display_rotation_get(image, &rotation);
    EXPECT_EQ(rotation, 2) << degrees;
  }
  // The report names the control's own file, cut to 13 characters.
  EXPECT_NE(ctrl().error_report().text().find("rast_write_sh"), std::string::npos) << ctrl().error_report().text();
  host.put_i4(kDispDisplayCentered, 5);
  int32_t flag = 0;
  RX_display_centered_get(image, &flag);
  EXPECT_EQ(flag, 1);
}

TEST_F(ViewTest, AliasModesAboveTwoAreTheVariants) {
  const RX_HIMAGE image = load(16, 8, 1);
  host.put_i4(kDispAliasQuality, 40);
  // Written mode: the engine's mode and whether it is a variant.
  for (auto [written, mode_wanted, variant_wanted] : {std::tuple{4, 2, true}, {2, 2, false}, {3, 1, true}}) {
    int32_t mode = -1, quality = -1, variant = -1;
    host.put_i4(kDispAliasMode, written);
    RX_display_alias_get(image, &mode, &quality, &variant);
    EXPECT_EQ(mode, mode_wanted) << written;
    EXPECT_EQ(quality, 40) << written;
    EXPECT_EQ(variant != 0, variant_wanted) << written;
  }
}

TEST_F(ViewTest, DisplayWritesWithoutAnImageOnlyStore) {
  host.put_i4(kDispDrawMode, 0x00660046);
  host.put_i4(kDispFitMethod, 2);
  host.put_bool(kDispRedraw, true);
  host.put_bool(kDispClearImage, true);
  EXPECT_EQ(host.get_ints({kDispDrawMode, kDispErrCount, kDispDeviceRectRight, kDispZoomRight}),
            (Ints{0x00660046, 0, 0, 0}));
}

TEST_F(ViewTest, TransparentTakesAndGivesTheColour) {
  const RX_HIMAGE image = load(4, 4);
  host.put_i2s({{kDispVRed, 0x112}, {kDispVGreen, 0x34}, {kDispVBlue, 0x56}});  // a byte each: 0x12
  host.put_i4(kDispTransparent, 1);
  RX_RGBQUAD c{};
  int32_t on = 0;
  RX_display_transparent_get(image, &c, &on);
  EXPECT_EQ((std::vector<int>{on, c.rgbRed, c.rgbGreen, c.rgbBlue}), (std::vector<int>{1, 0x12, 0x34, 0x56}));
  EXPECT_EQ(host.get_int(kDispVRed), 0x12);
  host.put_i2(kDispVRed, 0);
  host.put_i4(kDispTransparent, 2);
  EXPECT_EQ(host.get_int(kDispVRed), 0x12);
  host.put_i4(kDispTransparent, 0);
  RX_display_transparent_get(image, &c, &on);
  EXPECT_EQ(on, 0);
}

// ---- Window messages ---------------------------------------------------------------

TEST_F(ViewTest, ScrollEventNamesTheBar) {
  HWND w = activate(0, 0, 50, 50);
  RecordingSink& sink = connect();
  pw_message_send(w, WM_HSCROLL, SB_LINEDOWN, 0);
  EXPECT_EQ(sink.count(kEventScroll), 0u);
  host.put_bool(kDispScrollEvent, true);
  pw_message_send(w, WM_HSCROLL, SB_LINEDOWN, 0);
  pw_message_send(w, WM_VSCROLL, SB_LINEDOWN, 0);
  std::vector<int64_t> bars;
  for (const auto& e : sink.events)
    if (e.id == kEventScroll) bars.push_back(e.ints.at(0));
  EXPECT_EQ(bars, (std::vector<int64_t>{0, 1}));
}

TEST_F(ViewTest, PaintEventOnlyWhenAsked) {
  HWND w = activate(0, 0, 50, 50);
  RecordingSink& sink = connect();
  for (bool asked : {false, true}) {
    if (asked) host.put_bool(kDispPaintEvent, true);
    pw_window_invalidate(w, nullptr, 1);
    pw_window_update(w);
    EXPECT_EQ(sink.count(kEventPaint), asked ? 1u : 0u);
  }
}

TEST_F(ViewTest, EraseWithoutAnImageFillsWithTheBackColour) {
  HWND w = activate(0, 0, 30, 30);
  host.put_i4(kDispBackColor, static_cast<int32_t>(PG_RGB(200, 100, 50)));
  pw_window_invalidate(w, nullptr, 1);
  pw_window_update(w);
  EXPECT_EQ(dtest::shown(w)[5 * 30 + 5], 0xC86432u);  // 0xRRGGBB of (200, 100, 50)
}

TEST_F(ViewTest, AutoRedrawOffKeepsRedrawFromPainting) {
  HWND w = activate(0, 0, 40, 40);
  load(20, 20);
  RecordingSink& sink = connect();
  host.put_bool(kDispPaintEvent, true);
  host.put_bool(kDispAutoRedraw, false);
  pw_window_validate(w, nullptr);
  host.put_bool(kDispRedraw, true);
  EXPECT_EQ(sink.count(kEventPaint), 0u);
  host.put_bool(kDispAutoRedraw, true);
  host.put_bool(kDispRedraw, true);
  EXPECT_EQ(sink.count(kEventPaint), 1u);
}

TEST_F(ViewTest, MouseMoveTracksTheImagePositionWithinTheImage) {
  HWND w = activate(0, 0, 100, 100);
  load(40, 30);
  RecordingSink& sink = connect();
  // Fitted at 100 percent by the stretch aspect mode the image fills the
  // client area: each window pixel is 0.4 x 0.3 of an image pixel.
  int32_t ix = -1, iy = -1;
  RX_display_device_to_image(ctrl().current_image(), 50, 50, &ix, &iy);
  pw_message_send(w, WM_MOUSEMOVE, 0, PW_MAKELPARAM(50, 50));
  EXPECT_EQ(host.get_int(kDispImagePosX), ix);
  EXPECT_EQ(host.get_int(kDispImagePosY), iy);
  EXPECT_EQ(sink.count(kEventMouseMove), 1u);
  pw_message_send(w, WM_MOUSEMOVE, 0, PW_MAKELPARAM(2000, 2000));
  EXPECT_EQ(host.get_ints({kDispImagePosX, kDispImagePosY}), (Ints{39, 29}));
}

TEST_F(ViewTest, LeftButtonFiresTheStockEvents) {
  HWND w = activate(0, 0, 40, 40);
  RecordingSink& sink = connect();
  pw_message_send(w, WM_LBUTTONDOWN, PW_MK_LBUTTON | PW_MK_SHIFT, PW_MAKELPARAM(3, 4));
  pw_message_send(w, WM_LBUTTONUP, 0, PW_MAKELPARAM(3, 4));
  ASSERT_EQ(sink.count(kEventMouseDown), 1u);
  EXPECT_EQ(sink.count(kEventClick), 1u);
  for (const auto& e : sink.events)
    if (e.id == kEventMouseDown) {
      EXPECT_EQ(e.ints, (std::vector<int64_t>{1, 1, 3, 4}));
    }
}

// ---- View rectangles and the selection --------------------------------------------

TEST_F(ViewTest, ZoomRectanglesWorkedOutForAKnownZoomAndScroll) {
  // A 200 x 100 image stretched over a 100 x 100 client area (no scroll
  // bars) at zoom 100; zoom 200 makes the view 200 x 200 device pixels,
  // one image column a pixel and one image row two, and keeps the centre:
  // device (50, 50) stays image (100, 50). So device 0 is image column 50
  // and row 25, device 100 column 150 and row 75.
  HWND w = activate(0, 0, 100, 100);
  host.put_bool(kDispScrollBars, false);
  load(200, 100);
  host.put_i4(kDispZoomLevel, 200);
  pg_rect client{};
  pw_client_rect_get(w, &client);
  ASSERT_EQ(client.right, 100);
  EXPECT_EQ(host.get_ints({kDispZoomLeft, kDispZoomTop, kDispZoomRight, kDispZoomBottom}), (Ints{50, 25, 150, 75}));
}

// Written in turn over a 100 x 100 image in a 100 x 100 window: a row
// starts from a fit (zoom 100, no scroll bars) or from where the row
// before left the view.
TEST_F(ViewTest, ZoomBottomZoomsToTheWrittenRectangleInvertedOrEmpty) {
  HWND w = activate(0, 0, 100, 100);
  load(100, 100);
  const struct {
    bool fit_first;
    int16_t sides[4];
    Ints zoom;  // level, left, top
  } rows[] = {
      // Image pixels 20..69 each way: 50 pixels into 100 is zoom 200, and
      // the corner (20, 20) goes to the window's corner (the scroll bars
      // come as the zoomed image outgrows the window).
      {true, {20, 20, 69, 69}, {200, 20, 20}},
      // Pixels 69 down to 20 are pixels 20..69, as written the right way round.
      {true, {69, 69, 20, 20}, {200, 20, 20}},
      // One pixel, (30, 40) to (30, 40): it fills the client area, which
      // the scroll bars of zoom 200 leave 100 - 16 = 84 pixels wide, so
      // zoom 84 x 100 = 8,400; and the window still paints.
      {false, {30, 40, 30, 40}, {8400, 30, 40}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(::testing::Message() << r.sides[0] << "," << r.sides[1] << " to " << r.sides[2] << "," << r.sides[3]);
    if (r.fit_first) host.put_i4(kDispFitMethod, 0);
    zoom_to(r.sides[0], r.sides[1], r.sides[2], r.sides[3]);
    EXPECT_EQ(zoom(), r.zoom);
  }
  dtest::shown(w);
}

TEST_F(ViewTest, ZoomKeysInTheWindowShowInZoomLevel) {
  HWND w = activate(0, 0, 100, 100);
  load(100, 100);
  ASSERT_EQ(host.get_int(kDispZoomLevel), 100);
  // The window's own steps of 25: up to 125, then down twice to 75.
  for (auto [key, level] : {std::pair{'+', 125}, {'-', 100}, {'-', 75}, {'x', 75}}) {
    pw_message_send(w, WM_CHAR, static_cast<WPARAM>(key), 0);
    EXPECT_EQ(host.get_int(kDispZoomLevel), level) << key;
  }
}

TEST_F(ViewTest, SelectionFiresTheImageRectangleAndZoomsToTheAnswer) {
  activate(0, 0, 100, 100);
  load(200, 200);
  SelectSink& sink = select_sink_;
  connect(&sink);

  // Stretched into 100 x 100 at zoom 100, a window pixel is two image
  // pixels: the window rectangle (10, 10)-(30, 40) is (20, 20)-(60, 80).
  host.put_i4(kDispSelectEvent, 1);
  const int32_t dragged[4] = {10, 10, 30, 40};
  ctrl().selection_done(dragged);
  ASSERT_EQ(sink.seen.size(), 1u);
  EXPECT_EQ(sink.seen[0], (std::vector<int32_t>{20, 20, 60, 80}));
  EXPECT_EQ(host.get_int(kDispZoomLevel), 100);  // 1 only reports

  // The host answers (50, 50)-(99, 99): 50 image pixels are 25 window
  // pixels at zoom 100, so zoom 400 fills the client area, with (50, 50)
  // at the window's corner.
  host.put_i4(kDispSelectEvent, 2);
  sink.answer = {50, 50, 99, 99};
  ctrl().selection_done(dragged);
  EXPECT_EQ(host.get_int(kDispZoomLevel), 400);
  int32_t ix = -1, iy = -1;
  RX_display_device_to_image(ctrl().current_image(), 0, 0, &ix, &iy);
  EXPECT_EQ((std::vector<int32_t>{ix, iy}), (std::vector<int32_t>{50, 50}));
}

// Presses over the image start the engine's tools; each tracks the
// window's messages until the release and then gives the capture back.
TEST_F(ViewTest, PressesStartTheMagnifierTheRubberBandOrHandPanning) {
  HWND w = activate(0, 0, 100, 100);
  host.put_bool(kDispScrollBars, false);
  load(200, 200);
  SelectSink& sink = select_sink_;
  connect(&sink);

  // A rubber band dragged from (10, 10) to (30, 40): a window pixel is two
  // image pixels, so SelectEvent hears (20, 20)-(60, 80).
  host.put_i4(kDispSelectEvent, 1);
  pw_message_send(w, WM_LBUTTONDOWN, PW_MK_LBUTTON, PW_MAKELPARAM(10, 10));
  EXPECT_EQ(pw_capture_get(), w);
  pw_message_send(w, WM_MOUSEMOVE, PW_MK_LBUTTON, PW_MAKELPARAM(30, 40));
  pw_message_send(w, WM_LBUTTONUP, 0, PW_MAKELPARAM(30, 40));
  ASSERT_EQ(sink.seen.size(), 1u);
  EXPECT_EQ(sink.seen[0], (std::vector<int32_t>{20, 20, 60, 80}));
  EXPECT_EQ(pw_capture_get(), nullptr);

  // MagnifyWindow 1 shows the magnify window, which follows the mouse
  // while the button is held; no selection is fired.
  host.put_i4(kDispSelectEvent, 0);
  host.put_i4(kDispMagnifyWindow, 1);
  pw_message_send(w, WM_LBUTTONDOWN, PW_MK_LBUTTON, PW_MAKELPARAM(50, 50));
  EXPECT_EQ(pw_capture_get(), w);
  pw_message_send(w, WM_LBUTTONUP, 0, PW_MAKELPARAM(50, 50));
  EXPECT_EQ(pw_capture_get(), nullptr);
  EXPECT_EQ(sink.seen.size(), 1u);

  // Hand panning at zoom 200 without scroll bars: the image covers 200 x
  // 200 device pixels centred on the window, (-50, -50)-(150, 150), and
  // dragging 10 right and 6 down moves it by the same, opening no gap.
  host.put_i4(kDispMagnifyWindow, 0);
  host.put_bool(kDispHandPanning, true);
  host.put_i4(kDispZoomLevel, 200);
  EXPECT_EQ(dtest::device_rect(ctrl().current_image()), (std::vector<int32_t>{-50, -50, 150, 150}));
  pw_message_send(w, WM_LBUTTONDOWN, PW_MK_LBUTTON, PW_MAKELPARAM(50, 50));
  pw_message_send(w, WM_MOUSEMOVE, PW_MK_LBUTTON, PW_MAKELPARAM(50, 50));
  pw_message_send(w, WM_MOUSEMOVE, PW_MK_LBUTTON, PW_MAKELPARAM(60, 56));
  pw_message_send(w, WM_LBUTTONUP, 0, PW_MAKELPARAM(60, 56));
  EXPECT_EQ(dtest::device_rect(ctrl().current_image()), (std::vector<int32_t>{-40, -44, 160, 156}));
  EXPECT_EQ(pw_capture_get(), nullptr);
}

// ---- The transition -------------------------------------------------------------

TEST_F(ViewTest, DisplayEffectIndexOutsideTheSlotsDoesNothing) {
  const RX_HIMAGE first = load(8, 8);
  host.put_i2(kDispDisplayEffectIndex, 24);
  EXPECT_EQ(ctrl().current_image(), first);
  EXPECT_EQ(ctrl().slot_image(1), first);
}

TEST_F(ViewTest, DisplayEffectIndexMakesTheSlotCurrentInSlotOne) {
  activate(0, 0, 40, 40);
  const RX_HIMAGE first = load(8, 8);
  host.put_i2(kDispImageIndex, 3);
  const RX_HIMAGE third = load(6, 4, 24, 9);
  ASSERT_EQ(ctrl().current_image(), third);
  host.put_i2(kDispImageIndex, 1);
  // ImageIndex 1 makes the first current again.
  ASSERT_EQ(ctrl().current_image(), first);
  host.put_i4(kDispDisplayEffect, 0);
  host.put_i2(kDispDisplayEffectIndex, 3);
  EXPECT_EQ(ctrl().current_image(), third);
  EXPECT_EQ(ctrl().slot_image(1), third);
  EXPECT_EQ(ctrl().slot_image(3), 0u);
  EXPECT_EQ(RPb_iRX_image_is_valid(first), 0);
  EXPECT_EQ(host.get_ints({kDispImageIndex, kDispImageWidth}), (Ints{1, 6}));
  EXPECT_EQ(host.get_str(kDispLoadImage), "");
}

}  // namespace
}  // namespace test
