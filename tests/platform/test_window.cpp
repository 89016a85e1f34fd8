// The window layer headless: classes, creation messages, send and post,
// subclassing, properties, painting, scroll bars, capture, keys and
// destruction, including a window destroyed by its own handler.
#include <gtest/gtest.h>

#include <cstring>

#include "window_test_util.h"

using namespace window_test;

namespace {

using Ints = std::vector<int32_t>;
Ints sides(const pg_rect& r) { return {r.left, r.top, r.right, r.bottom}; }

class UiWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    recording_class();
    seen().clear();
    windows_before_ = pw_window_count();
  }
  void TearDown() override {
    pw_capture_release();
    pw_focus_set(nullptr);
    windows_.destroy_all();
    pw_messages_pump(nullptr);
    EXPECT_EQ(pw_window_count(), windows_before_) << "every window is gone";
  }
  HWND make(uint32_t style = WS_VISIBLE, int w = 100, int h = 80, HWND parent = nullptr, int x = 0, int y = 0) {
    return windows_.make(recording_class(), style, w, h, parent, x, y);
  }
  Windows windows_;
  int windows_before_ = 0;
};

LRESULT refusing_proc(HWND h, uint32_t m, WPARAM w, LPARAM l) {
  if (m == WM_CREATE) return -1;
  return pw_window_proc_default(h, m, w, l);
}

// Creation fails for an unknown class, a child without a parent, and a
// create refused by the procedure.
TEST_F(UiWindows, ClassesAreRegisteredOnceByName) {
  pw_window_class c{};
  c.proc = recording_proc;
  c.name = recording_class();
  EXPECT_EQ(pw_class_register(&c), 0u) << "the name is taken";
  pw_window_class info{};
  ASSERT_EQ(pw_class_info_get("TestRecordingClass", &info), 1);
  EXPECT_EQ(info.cursor, PW_CURSOR_CROSS);
  EXPECT_EQ(pw_class_info_get("NoSuchClass", &info), 0);
  HWND h = make();
  EXPECT_EQ(pw_class_unregister("TestRecordingClass"), 0) << "a window of the class still exists";
  char name[64];
  EXPECT_EQ(pw_window_class_name(h, name, sizeof name), 18);
  EXPECT_STREQ(name, "TestRecordingClass");
  EXPECT_EQ(pw_window_create(0, "NoSuchClass", "", 0, 0, 0, 10, 10, nullptr, 0, nullptr), nullptr);
  EXPECT_EQ(pw_window_create(0, recording_class(), "", WS_CHILD, 0, 0, 10, 10, nullptr, 0, nullptr), nullptr)
      << "a child needs a parent";
  EXPECT_EQ(pw_window_create(0, class_of("TestRefusingClass", refusing_proc), "", 0, 0, 0, 10, 10, nullptr, 0, nullptr),
            nullptr);
}

LRESULT holder_a(HWND h, uint32_t m, WPARAM w, LPARAM l) { return pw_window_proc_default(h, m, w, l); }
LRESULT holder_b(HWND h, uint32_t m, WPARAM w, LPARAM l) { return pw_window_proc_default(h, m, w, l); }

// Two owners hold one class, each with its procedure: the first one's is
// in force until it lets go, then the other's; the last hold removes the
// class, but not while a window of it lives.
TEST_F(UiWindows, AHeldClassPassesToTheNextHolder) {
  pw_window_class a{};
  a.proc = holder_a;
  a.name = "TestHeldClass";
  a.cursor = PW_CURSOR_CROSS;
  pw_window_class b = a;
  b.proc = holder_b;
  b.cursor = PW_CURSOR_HAND;
  const uint32_t atom = pw_class_hold(&a);
  ASSERT_NE(atom, 0u);
  EXPECT_EQ(pw_class_hold(&a), 0u) << "held by this procedure already";
  EXPECT_EQ(pw_class_hold(&b), atom);
  EXPECT_EQ(pw_class_register(&b), 0u) << "the name is taken";
  pw_window_class info{};
  ASSERT_EQ(pw_class_info_get("TestHeldClass", &info), 1);
  EXPECT_EQ(info.proc, holder_a);
  HWND made_by_a = pw_window_create(0, "TestHeldClass", "", 0, 0, 0, 10, 10, nullptr, 0, nullptr);
  ASSERT_NE(made_by_a, nullptr);
  EXPECT_EQ(pw_class_release("TestHeldClass", holder_a), 1);
  EXPECT_EQ(pw_class_release("TestHeldClass", holder_a), 0) << "no longer a holder";
  ASSERT_EQ(pw_class_info_get("TestHeldClass", &info), 1);
  EXPECT_EQ(info.proc, holder_b);
  EXPECT_EQ(info.cursor, PW_CURSOR_HAND);
  EXPECT_STREQ(info.name, "TestHeldClass");
  EXPECT_EQ(pw_window_proc_get(made_by_a), holder_a) << "a window keeps the procedure it was made with";
  // The last hold with a window left: refused and kept.
  EXPECT_EQ(pw_class_release("TestHeldClass", holder_b), 0);
  EXPECT_EQ(pw_class_info_get("TestHeldClass", &info), 1);
  pw_window_destroy(made_by_a);
  EXPECT_EQ(pw_class_release("TestHeldClass", holder_b), 1);
  EXPECT_EQ(pw_class_info_get("TestHeldClass", &info), 0);
  // A plainly registered class cannot be held, nor released by a holder.
  a.name = "TestPlainClass";
  ASSERT_NE(pw_class_register(&a), 0u);
  b.name = "TestPlainClass";
  EXPECT_EQ(pw_class_hold(&b), 0u);
  EXPECT_EQ(pw_class_release("TestPlainClass", holder_a), 0);
  EXPECT_EQ(pw_class_unregister("TestPlainClass"), 1);
  EXPECT_EQ(pw_class_release(nullptr, holder_a), 0);
  EXPECT_EQ(pw_class_hold(nullptr), 0u);
}

TEST_F(UiWindows, CreationSendsCreateThenSizeWithTheClientArea) {
  HWND h = make(WS_VISIBLE | WS_CAPTION | WS_THICKFRAME, 200, 150);
  ASSERT_NE(h, nullptr);
  ASSERT_GE(seen().size(), 2u);
  EXPECT_EQ((std::vector<uint32_t>{seen()[0].message, seen()[1].message}), (std::vector<uint32_t>{WM_CREATE, WM_SIZE}));
  // A thick frame of 4 on each side and an 18-pixel caption.
  EXPECT_EQ((Ints{PW_LOWORD(seen()[1].lparam), PW_HIWORD(seen()[1].lparam)}), (Ints{192, 124}));
  pg_rect c{};
  pw_client_rect_get(h, &c);
  EXPECT_EQ(sides(c), (Ints{0, 0, 192, 124}));
  pg_rect r{0, 0, 192, 124};
  pw_window_rect_adjust(&r, WS_CAPTION | WS_THICKFRAME);
  EXPECT_EQ((Ints{r.right - r.left, r.bottom - r.top}), (Ints{200, 150}));
}

TEST_F(UiWindows, PostedMessagesArriveInOrderThroughThePump) {
  HWND h = make(0);
  seen().clear();
  pw_message_post(h, WM_USER + 1, 11, 0);
  pw_message_post(h, WM_USER + 2, 22, 0);
  EXPECT_EQ(pw_queue_length(), 2);
  pw_message m{};
  ASSERT_EQ(pw_message_peek(&m, h, WM_USER + 2, WM_USER + 2, PW_PM_NOREMOVE), 1) << "a filtered look";
  EXPECT_EQ(m.wparam, 22u);
  EXPECT_EQ(pw_messages_pump(nullptr), 2);
  ASSERT_EQ(seen().size(), 2u);
  EXPECT_EQ(seen()[0].message, WM_USER + 1u);
  EXPECT_EQ(seen()[1].wparam, 22u);
  EXPECT_EQ(pw_message_send(h, WM_USER + 3, 0, 0), 0);
  EXPECT_EQ(count(WM_USER + 3), 1) << "send calls the procedure at once";
  pw_quit_post(5);
  pw_message_post(h, WM_USER + 4, 0, 0);
  int32_t code = 0;
  EXPECT_EQ(pw_messages_pump(&code), -1);
  EXPECT_EQ(code, 5);
  EXPECT_EQ(pw_queue_length(), 1) << "what follows the quit stays queued";
  pw_messages_pump(nullptr);
}

// A subclass procedure that counts characters and passes everything on.
pw_window_proc g_old_proc = nullptr;
int g_subclass_chars = 0;
LRESULT subclass_proc(HWND h, uint32_t m, WPARAM w, LPARAM l) {
  if (m == WM_CHAR) ++g_subclass_chars;
  return pw_window_proc_call(g_old_proc, h, m, w, l);
}

TEST_F(UiWindows, SubclassingReplacesTheProcedureAndChainsToTheOld) {
  HWND h = make(0);
  g_subclass_chars = 0;
  g_old_proc = pw_window_proc_set(h, subclass_proc);
  EXPECT_EQ(g_old_proc, &recording_proc);
  seen().clear();
  pw_message_send(h, WM_CHAR, '+', 0);
  EXPECT_EQ(g_subclass_chars, 1);
  EXPECT_EQ(count(WM_CHAR, h), 1) << "the old procedure still sees the message";
  EXPECT_EQ(pw_window_proc_set(h, g_old_proc), &subclass_proc);
  pw_message_send(h, WM_CHAR, '+', 0);
  EXPECT_EQ(g_subclass_chars, 1);
}

TEST_F(UiWindows, PropertiesAndExtraWords) {
  HWND h = make(0);
  int record = 0;
  EXPECT_EQ(pw_property_set(h, "RAST1", &record), 1);
  EXPECT_EQ(pw_property_get(h, "RAST1"), &record);
  EXPECT_EQ(pw_property_get(h, "rast1"), nullptr) << "names are compared exactly";
  EXPECT_EQ(pw_property_remove(h, "RAST1"), &record);
  EXPECT_EQ(pw_property_get(h, "RAST1"), nullptr);
  EXPECT_EQ(pw_property_set(h, "", &record), 0);
  EXPECT_EQ(pw_window_extra_set(h, 0, 1234), 0);
  EXPECT_EQ(pw_window_extra_get(h, 0), 1234);
  EXPECT_EQ(pw_window_extra_set(h, 8, 99), 0);
  EXPECT_EQ(pw_window_extra_set(h, 16, 5), 0) << "outside the class's 16 bytes";
  EXPECT_EQ(pw_window_extra_get(h, 16), 0);
  EXPECT_EQ(pw_window_extra_get(h, 4), 0) << "offsets are multiples of 8";
}

TEST_F(UiWindows, InvalidAreasPaintOnceWithTheirBoundingRectangle) {
  HWND h = make(WS_VISIBLE, 50, 40);
  pw_messages_pump(nullptr);  // the first paint after showing
  EXPECT_EQ(count(WM_ERASEBKGND, h), 1);
  pg_rect a{5, 5, 10, 10}, b{20, 2, 30, 8};
  pw_window_invalidate(h, &a, 0);
  pw_window_invalidate(h, &b, 0);
  pg_rect u{};
  ASSERT_EQ(pw_update_rect_get(h, &u), 1);
  EXPECT_EQ(sides(u), (Ints{5, 2, 30, 10}));
  pw_message m{};
  ASSERT_EQ(pw_message_peek(&m, nullptr, 0, 0, PW_PM_REMOVE), 1);
  EXPECT_EQ(m.message, WM_PAINT);
  ASSERT_EQ(pw_message_peek(&m, nullptr, 0, 0, PW_PM_REMOVE), 1) << "paint stays until the area is valid";
  seen().clear();
  pw_messages_pump(nullptr);
  EXPECT_EQ(count(WM_PAINT, h), 1);
  EXPECT_EQ(count(WM_ERASEBKGND, h), 0) << "no erase was asked for";
  EXPECT_EQ(pw_message_peek(&m, nullptr, 0, 0, PW_PM_REMOVE), 0);
  // Hidden windows keep their invalid area but get no paint.
  pw_window_show(h, SW_HIDE);
  pw_window_invalidate(h, nullptr, 1);
  EXPECT_EQ(pw_message_peek(&m, h, WM_PAINT, WM_PAINT, PW_PM_NOREMOVE), 0);
}

// Paints a red rectangle over what the paint DC may touch.
LRESULT painting_proc(HWND h, uint32_t m, WPARAM w, LPARAM l) {
  if (m == WM_PAINT) {
    pw_paint ps{};
    HDC dc = pw_paint_begin(h, &ps);
    HBRUSH red = pg_brush_solid_create(PG_RGB(255, 0, 0));
    pg_rect all{0, 0, 1000, 1000};
    pg_rect_fill(dc, &all, red);
    pg_brush_delete(red);
    pw_paint_end(h, &ps);
    return 0;
  }
  return pw_window_proc_default(h, m, w, l);
}

TEST_F(UiWindows, PaintDrawsOnlyInsideTheInvalidAreaAfterErasing) {
  HWND h = windows_.make(class_of("TestPaintingClass", painting_proc, pg_stock_brush(PG_WHITE_BRUSH)), 0, 20, 10);
  pw_window_show(h, SW_SHOW);
  pw_messages_pump(nullptr);
  pg_rect part{2, 3, 6, 5};
  pw_window_invalidate(h, &part, 0);
  HDC dc = pw_window_dc_get(h);
  HBRUSH blue = pg_brush_solid_create(PG_RGB(0, 0, 255));
  pg_rect all{0, 0, 20, 10};
  pg_rect_fill(dc, &all, blue);
  pg_brush_delete(blue);
  pw_window_dc_release(h, dc);
  pw_messages_pump(nullptr);
  const std::vector<uint32_t> px = rendered(h, 20, 10);
  // Red over (2, 3)-(6, 5); row 5 and column 6 are outside the paint area.
  EXPECT_EQ((std::vector<uint32_t>{px[3 * 20 + 2], px[4 * 20 + 5], px[5 * 20 + 5], px[3 * 20 + 6]}),
            (std::vector<uint32_t>{0xFFFF0000u, 0xFFFF0000u, 0xFF0000FFu, 0xFF0000FFu}));
}

TEST_F(UiWindows, ScrollBarsTakeClientSpaceAndClampTheirPosition) {
  HWND h = make(WS_VISIBLE, 100, 80);
  seen().clear();
  pw_scroll_info si{PW_SIF_RANGE | PW_SIF_PAGE, 0, 99, 30, 0, 0};
  pw_scroll_info_set(h, SB_HORZ, &si, 1);
  EXPECT_TRUE(pw_window_style_get(h) & WS_HSCROLL) << "a range longer than the page shows the bar";
  ASSERT_EQ(count(WM_SIZE, h), 1);
  EXPECT_EQ(PW_HIWORD(last(WM_SIZE, h).lparam), 64) << "the bar takes 16 pixels";
  EXPECT_EQ(pw_scroll_pos_set(h, SB_HORZ, 500, 1), 0);
  EXPECT_EQ(pw_scroll_pos_get(h, SB_HORZ), 70) << "max - (page - 1)";
  EXPECT_EQ(pw_scroll_pos_set(h, SB_HORZ, -3, 1), 70);
  EXPECT_EQ(pw_scroll_pos_get(h, SB_HORZ), 0);
  si = pw_scroll_info{PW_SIF_PAGE, 0, 0, 100, 0, 0};
  pw_scroll_info_set(h, SB_HORZ, &si, 1);
  EXPECT_FALSE(pw_window_style_get(h) & WS_HSCROLL) << "nothing left to scroll hides the bar";
  si = pw_scroll_info{PW_SIF_PAGE | PW_SIF_DISABLENOSCROLL, 0, 0, 100, 0, 0};
  pw_scroll_bar_show(h, SB_VERT, 1);
  pw_scroll_info_set(h, SB_VERT, &si, 1);
  EXPECT_TRUE(pw_window_style_get(h) & WS_VSCROLL) << "kept when asked";
  int32_t lo = 0, hi = 0;
  si = pw_scroll_info{PW_SIF_PAGE, 0, 0, 0, 0, 0};
  pw_scroll_info_set(h, SB_VERT, &si, 1);
  pw_scroll_range_set(h, SB_VERT, 0, 15, 1);
  pw_scroll_range_get(h, SB_VERT, &lo, &hi);
  EXPECT_EQ(hi, 15);
  pw_scroll_pos_set(h, SB_VERT, 7, 1);
  seen().clear();
  pw_scroll_bar_user(h, SB_VERT, SB_THUMBTRACK, 12);
  pw_messages_pump(nullptr);
  ASSERT_EQ(count(WM_VSCROLL, h), 1);
  EXPECT_EQ(PW_LOWORD(last(WM_VSCROLL, h).wparam), SB_THUMBTRACK);
  EXPECT_EQ(PW_HIWORD(last(WM_VSCROLL, h).wparam), 12);
  EXPECT_EQ(pw_scroll_pos_get(h, SB_VERT), 7) << "the window moves the position itself";
}

TEST_F(UiWindows, CaptureTakesTheMouseWithCoordinatesInItsClientArea) {
  HWND a = make(WS_VISIBLE, 100, 100, nullptr, 0, 0);
  HWND b = make(WS_VISIBLE, 100, 100, nullptr, 300, 50);
  pw_capture_set(a);
  seen().clear();
  pw_input_mouse(b, WM_MOUSEMOVE, 10, 20, 0);
  pw_messages_pump(nullptr);
  ASSERT_EQ(count(WM_MOUSEMOVE, a), 1);
  EXPECT_EQ(count(WM_MOUSEMOVE, b), 0);
  Seen m = last(WM_MOUSEMOVE, a);
  EXPECT_EQ((Ints{PW_GET_X_LPARAM(m.lparam), PW_GET_Y_LPARAM(m.lparam)}), (Ints{310, 70}));
  EXPECT_EQ(count(WM_SETCURSOR), 0) << "no cursor changes while captured";
  pw_capture_release();
  EXPECT_EQ(count(WM_CAPTURECHANGED, a), 1);
  EXPECT_EQ(pw_capture_get(), nullptr);
  pw_input_mouse(b, WM_LBUTTONDOWN, -5, 3, PW_MK_LBUTTON);
  pw_messages_pump(nullptr);
  EXPECT_EQ(count(WM_LBUTTONDOWN, b), 1);
  EXPECT_EQ(PW_GET_X_LPARAM(last(WM_LBUTTONDOWN, b).lparam), -5);
  EXPECT_EQ(pw_cursor_shape(pw_cursor_get()), PW_CURSOR_CROSS) << "the class cursor came with WM_SETCURSOR";
  EXPECT_TRUE(pw_key_state(VK_LBUTTON) & 0x8000);
  pw_input_mouse(b, WM_LBUTTONUP, 0, 0, 0);
  EXPECT_FALSE(pw_key_state(VK_LBUTTON) & 0x8000);
  pw_messages_pump(nullptr);
}

TEST_F(UiWindows, KeysGoToTheFocusWindowAndTrackShiftAndCapsLock) {
  HWND a = make(0), b = make(0);
  pw_focus_set(b);
  EXPECT_EQ(count(WM_SETFOCUS, b), 1);
  seen().clear();
  pw_input_key(a, WM_KEYDOWN, VK_SHIFT);
  EXPECT_TRUE(pw_key_state(VK_SHIFT) & 0x8000);
  pw_input_key(a, WM_KEYUP, VK_SHIFT);
  pw_input_char(a, '-');
  pw_messages_pump(nullptr);
  EXPECT_EQ(count(WM_KEYDOWN, b), 1);
  EXPECT_EQ(count(WM_CHAR, b), 1);
  EXPECT_EQ(count(WM_CHAR, a), 0);
  bool caps = pw_key_state(VK_CAPITAL) & 1;
  pw_input_key(a, WM_KEYDOWN, VK_CAPITAL);
  pw_input_key(a, WM_KEYUP, VK_CAPITAL);
  EXPECT_NE((pw_key_state(VK_CAPITAL) & 1) != 0, caps) << "Caps Lock toggles on each press";
  pw_input_key(a, WM_KEYDOWN, VK_CAPITAL);
  pw_input_key(a, WM_KEYUP, VK_CAPITAL);
  pw_messages_pump(nullptr);
  EXPECT_EQ(pw_input_key(a, WM_KEYDOWN, 300), 0);
}

LRESULT self_destroying_proc(HWND h, uint32_t m, WPARAM w, LPARAM l) {
  if (m == WM_LBUTTONDOWN) {
    pw_window_destroy(h);
    // The handle is finished; the layer refuses it from here on.
    EXPECT_EQ(pw_window_valid(h), 0);
    EXPECT_EQ(pw_property_set(h, "X", nullptr), 0);
    EXPECT_EQ(pw_message_post(h, WM_USER, 0, 0), 0);
    return 0;
  }
  return recording_proc(h, m, w, l);
}

TEST_F(UiWindows, AWindowDestroyedInsideItsOwnHandler) {
  HWND h = pw_window_create(0, class_of("TestSelfDestroyingClass", self_destroying_proc), "", WS_VISIBLE, 0, 0, 30, 30,
                           nullptr, 0, nullptr);
  HWND child = pw_window_create(0, recording_class(), "", WS_CHILD | WS_VISIBLE, 1, 1, 5, 5, h, 3, nullptr);
  pw_timer_set(h, 1, 10, nullptr);
  int marker = 0;
  pw_property_set(h, "RAST1", &marker);
  pw_message_post(h, WM_USER + 9, 0, 0);  // queued before the click, handled before it
  pw_input_mouse(h, WM_LBUTTONDOWN, 1, 1, 0);
  pw_message_post(h, WM_USER + 10, 0, 0);  // queued after: dropped with the window
  seen().clear();
  pw_messages_pump(nullptr);
  EXPECT_EQ(pw_window_valid(h), 0);
  EXPECT_EQ(pw_window_valid(child), 0) << "children go with their parent";
  EXPECT_EQ(count(WM_DESTROY, child), 1);
  EXPECT_EQ(count(WM_USER + 10), 0);
  EXPECT_EQ(pw_message_send(h, WM_USER, 0, 0), 0);
  EXPECT_EQ(pw_property_get(h, "RAST1"), nullptr);
  EXPECT_EQ(pw_timer_kill(h, 1), 0) << "its timers went with it";
  EXPECT_EQ(pw_window_destroy(h), 0);
}

TEST_F(UiWindows, ScrollingMovesPixelsAndInvalidatesTheUncoveredStrip) {
  HWND h = make(WS_VISIBLE, 10, 4);
  pw_messages_pump(nullptr);
  HDC dc = pw_window_dc_get(h);
  for (int x = 0; x < 10; ++x) pg_pixel_set(dc, x, 0, PG_RGB(x * 20, 0, 0));
  pw_window_dc_release(h, dc);
  pw_window_scroll(h, 3, 0);
  const std::vector<uint32_t> px = rendered(h, 10, 4);
  EXPECT_EQ((std::vector<uint32_t>{px[3], px[5]}), (std::vector<uint32_t>{0xFF000000u, 0xFF280000u}))
      << "pixel 0 moved to 3, 2 to 5";
  pg_rect u{};
  ASSERT_EQ(pw_update_rect_get(h, &u), 1);
  EXPECT_EQ(sides(u), (Ints{0, 0, 3, 4}));
}

TEST_F(UiWindows, RenderDrawsVisibleChildrenAtTheirPlaces) {
  HWND parent = make(WS_VISIBLE, 20, 20);
  HWND child = make(WS_CHILD | WS_VISIBLE | WS_BORDER, 6, 6, parent, 4, 5);
  HDC dc = pw_window_dc_get(child);
  HBRUSH green = pg_brush_solid_create(PG_RGB(0, 255, 0));
  pg_rect all{0, 0, 4, 4};
  pg_rect_fill(dc, &all, green);
  pg_brush_delete(green);
  pw_window_dc_release(child, dc);
  const std::vector<uint32_t> px = rendered(parent, 20, 20);
  EXPECT_EQ(px[6 * 20 + 5], 0xFF00FF00u) << "the child's client area starts inside its 1-pixel border";
  EXPECT_NE(px[5 * 20 + 4], 0xFF00FF00u);
  pg_point p{0, 0};
  pw_client_to_screen(child, &p);
  EXPECT_EQ((Ints{p.x, p.y}), (Ints{5, 6}));
}

TEST_F(UiWindows, DroppedFilesReachWindowsThatAcceptThem) {
  HWND h = make(0);
  const char* names[2] = {"/tmp/a.bmp", "/tmp/b.tif"};
  EXPECT_EQ(pw_input_drop(h, names, 2, 4, 5), 0) << "not accepting yet";
  pw_window_drag_accept(h, 1);
  EXPECT_EQ(pw_input_drop(h, names, 2, 4, 5), 1);
  pw_message m{};
  ASSERT_EQ(pw_message_peek(&m, h, WM_DROPFILES, WM_DROPFILES, PW_PM_REMOVE), 1);
  HDROP d = reinterpret_cast<HDROP>(m.wparam);
  EXPECT_EQ(pw_drop_query(d, 0xFFFFFFFFu, nullptr, 0), 2);
  char buf[8];
  EXPECT_EQ(pw_drop_query(d, 1, buf, sizeof buf), 10);
  EXPECT_STREQ(buf, "/tmp/b.");
  pw_drop_finish(d);
  EXPECT_EQ(pw_drop_query(d, 0xFFFFFFFFu, nullptr, 0), 0);
}

class UiTimers : public UiWindows {
 protected:
  DrivenClock clock_;
};

int g_timer_calls = 0;
void timer_callback(HWND, uint32_t m, uintptr_t id, uint32_t) {
  EXPECT_EQ(m, WM_TIMER);
  g_timer_calls += static_cast<int>(id == 0 ? 0 : 1);
}

TEST_F(UiTimers, FireWhenTheDrivenCounterHasMovedOnByThePeriod) {
  HWND h = make(0);
  now() = 5000;
  ASSERT_EQ(pw_timer_set(h, 8346, 250, nullptr), 8346u);
  EXPECT_EQ(pw_timer_next_due(), 250);
  now() += 249;
  seen().clear();
  pw_messages_pump(nullptr);
  EXPECT_EQ(count(WM_TIMER, h), 0);
  now() += 1;
  EXPECT_EQ(pw_timer_next_due(), 0);
  pw_messages_pump(nullptr);
  ASSERT_EQ(count(WM_TIMER, h), 1);
  EXPECT_EQ(last(WM_TIMER, h).wparam, 8346u);
  pw_messages_pump(nullptr);
  EXPECT_EQ(count(WM_TIMER, h), 1) << "it starts again from the tick it fired";
  // Setting it again with a new period re-arms it.
  pw_timer_set(h, 8346, 100, nullptr);
  now() += 100;
  pw_messages_pump(nullptr);
  EXPECT_EQ(count(WM_TIMER, h), 2);
  EXPECT_EQ(pw_timer_kill(h, 8346), 1);
  now() += 1000;
  pw_messages_pump(nullptr);
  EXPECT_EQ(count(WM_TIMER, h), 2);
  EXPECT_EQ(pw_timer_next_due(), -1);
}

TEST_F(UiTimers, CallbackTimersAndTheCounterWrapping) {
  g_timer_calls = 0;
  now() = 0xFFFFFFF0u;
  uintptr_t id = pw_timer_set(nullptr, 0, 32, timer_callback);
  ASSERT_NE(id, 0u);
  now() += 31;  // wraps past zero
  pw_messages_pump(nullptr);
  EXPECT_EQ(g_timer_calls, 0);
  now() += 1;
  pw_messages_pump(nullptr);
  EXPECT_EQ(g_timer_calls, 1);
  EXPECT_EQ(pw_timer_kill(nullptr, id), 1);
}

}  // namespace
