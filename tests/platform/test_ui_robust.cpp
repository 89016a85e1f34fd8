// Bad input to the drawing and window layers: invalid, stale and foreign
// handles, huge, inverted and zero sizes, broken DIB headers, messages to
// destroyed windows. Each is refused or draws nothing; none crashes.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "gdi_test_util.h"
#include "platform/ui_services.h"
#include "window_test_util.h"

using gdi_test::Dib;
using gdi_test::MemDc;

namespace {

template <class H>
H fake(uintptr_t v) {
  return reinterpret_cast<H>(v);
}

TEST(UiRobust, InvalidHandlesAreRefusedEverywhere) {
  MemDc good(24, 4, 4);
  HBRUSH brush = pg_brush_solid_create(0);
  HBITMAP bm = pg_bitmap_create(2, 2, 1, 1, nullptr);
  HPALETTE pal = pg_palette_create(nullptr, 0);
  // Small integers, a pointer into the stack, deleted handles and handles
  // of another kind.
  int local = 0;
  HDC dead_dc = pg_dc_create_compatible(good.dc);
  pg_dc_delete(dead_dc);
  std::vector<uintptr_t> bad = {0, 1, 255, static_cast<uintptr_t>(-1), reinterpret_cast<uintptr_t>(&local),
                                reinterpret_cast<uintptr_t>(dead_dc), reinterpret_cast<uintptr_t>(brush),
                                reinterpret_cast<uintptr_t>(pal), 0x10000};
  pg_rect r{0, 0, 2, 2};
  Dib d(2, 2, 24, false);
  for (uintptr_t v : bad) {
    HDC dc = fake<HDC>(v);
    EXPECT_EQ(pg_bit_blt(dc, 0, 0, 2, 2, good.dc, 0, 0, SRCCOPY), 0);
    EXPECT_EQ(pg_bit_blt(good.dc, 0, 0, 2, 2, dc, 0, 0, SRCCOPY), 0);
    EXPECT_EQ(pg_stretch_blt(dc, 0, 0, 2, 2, good.dc, 0, 0, 1, 1, SRCCOPY), 0);
    EXPECT_EQ(pg_stretch_dib_bits(dc, 0, 0, 2, 2, 0, 0, 2, 2, d.pixels.data(), d.info(), 0, SRCCOPY), 0);
    EXPECT_EQ(pg_rect_fill(dc, &r, brush), 0);
    EXPECT_EQ(pg_rect_invert(dc, &r), 0);
    EXPECT_EQ(pg_device_caps(dc, PG_BITSPIXEL), 0);
    EXPECT_EQ(pg_text_colour_set(dc, 0), PG_CLR_INVALID);
    EXPECT_EQ(pg_palette_realize(dc), 0);
    EXPECT_EQ(pg_text_out(dc, 0, 0, "a", 1), 0);
    EXPECT_EQ(pg_dc_delete(dc), 0);
    if (v != reinterpret_cast<uintptr_t>(brush)) {
      EXPECT_EQ(pg_rect_fill(good.dc, &r, fake<HBRUSH>(v)), 0);
    }
    EXPECT_EQ(pg_bitmap_select(good.dc, fake<HBITMAP>(v)), nullptr);
    EXPECT_EQ(pg_brush_pattern_create(fake<HBITMAP>(v)), nullptr);
    if (v != reinterpret_cast<uintptr_t>(pal)) {
      EXPECT_EQ(pg_palette_select(good.dc, fake<HPALETTE>(v), 0), nullptr);
      EXPECT_EQ(pg_palette_nearest_index(fake<HPALETTE>(v), 0), -1);
    }
    EXPECT_EQ(pg_bitmap_delete(fake<HBITMAP>(v)), 0);
    EXPECT_EQ(pg_display_dc_create(fake<HDISPLAY>(v), 4, 4), nullptr);
    HWND w = fake<HWND>(v);
    EXPECT_EQ(pw_message_send(w, WM_PAINT, 0, 0), 0);
    EXPECT_EQ(pw_message_post(w, WM_USER, 0, 0), v == 0 ? 1 : 0);
    EXPECT_EQ(pw_window_destroy(w), 0);
    EXPECT_EQ(pw_property_set(w, "RAST1", nullptr), 0);
    EXPECT_EQ(pw_window_dc_get(w), nullptr);
    EXPECT_EQ(pw_scroll_pos_set(w, SB_VERT, 1, 1), 0);
    if (v != 0) {
      EXPECT_EQ(pw_timer_set(w, 1, 1, nullptr), 0u);
    }
    EXPECT_EQ(pw_capture_set(w), nullptr);
    EXPECT_EQ(pw_window_proc_set(w, window_test::recording_proc), nullptr);
  }
  pw_messages_pump(nullptr);
  pg_brush_delete(brush);
  pg_bitmap_delete(bm);
  pg_palette_delete(pal);
  EXPECT_EQ(pg_brush_delete(brush), 0) << "deleting twice";
  EXPECT_EQ(pg_brush_delete(pg_stock_brush(PG_WHITE_BRUSH)), 0) << "stock objects stay";
}

TEST(UiRobust, HugeInvertedAndZeroSizesDrawWithinTheSurface) {
  MemDc m(32, 8, 8);
  Dib d(2, 2, 24, false);
  const int32_t sizes[] = {0, 1, -1, INT32_MAX, INT32_MIN, INT32_MIN + 1, 65536, -65536};
  for (int32_t w : sizes)
    for (int32_t h : sizes)
      for (int32_t x : {0, -5, INT32_MAX, INT32_MIN}) {
        pg_bit_blt(m.dc, x, x, w, h, m.dc, x, 0, SRCINVERT);
        pg_stretch_blt(m.dc, x, 0, w, h, m.dc, 0, x, h, w, SRCCOPY);
        pg_stretch_dib_bits(m.dc, x, x, w, h, 0, 0, h, w, d.pixels.data(), d.info(), DIB_RGB_COLORS, SRCCOPY);
        pg_pat_blt(m.dc, x, x, w, h, PATINVERT);
        pg_rect r{x, x, w, h};
        pg_rect_fill(m.dc, &r, pg_stock_brush(PG_GRAY_BRUSH));
        pg_rect_frame(m.dc, &r, pg_stock_brush(PG_BLACK_BRUSH));
        pg_focus_rect_draw(m.dc, &r);
        pg_text_draw(m.dc, "abc def", -1, &r, PG_DT_WORDBREAK | PG_DT_CENTER);
        pg_line_draw(m.dc, x, w, h, x, 0xFFFFFF);
        pg_clip_rect_set(m.dc, &r);
        pg_clip_rect_set(m.dc, nullptr);
      }
  EXPECT_EQ(pg_bitmap_create_compatible(m.dc, 65536, 1), nullptr);
  EXPECT_EQ(pg_bitmap_create_compatible(m.dc, 60000, 60000), nullptr) << "past the byte limit";
  EXPECT_EQ(pg_bitmap_create_compatible(m.dc, 0, 5), nullptr);
  EXPECT_EQ(pg_bitmap_create_compatible(m.dc, -5, 5), nullptr);
  EXPECT_EQ(pg_display_dc_create(m.display, INT32_MAX, INT32_MAX), nullptr);
  EXPECT_EQ(pg_printer_dc_create(10, 10, 0), nullptr);
  EXPECT_EQ(pg_palette_create(nullptr, 5), nullptr);
  EXPECT_EQ(pg_palette_create(nullptr, -1), nullptr);
  std::vector<pg_palette_entry> many(PG_PALETTE_MAX_ENTRIES + 1);
  EXPECT_EQ(pg_palette_create(many.data(), PG_PALETTE_MAX_ENTRIES + 1), nullptr);
}

TEST(UiRobust, BrokenDibHeadersAreRefused) {
  MemDc m(24, 4, 4);
  Dib good(2, 2, 8, false, {{0, 0, 0, 0}, {255, 255, 255, 0}});
  auto with = [&](auto change) {
    std::vector<uint8_t> h = good.header;
    PG_BITMAPINFOHEADER hd;
    std::memcpy(&hd, h.data(), 40);
    change(hd);
    std::memcpy(h.data(), &hd, 40);
    return pg_stretch_dib_bits(m.dc, 0, 0, 2, 2, 0, 0, 2, 2, good.pixels.data(),
                               reinterpret_cast<const PG_BITMAPINFOHEADER*>(h.data()), DIB_RGB_COLORS, SRCCOPY);
  };
  EXPECT_EQ(with([](auto&) {}), 2);
  EXPECT_EQ(with([](auto& h) { h.biSize = 12; }), 0);
  EXPECT_EQ(with([](auto& h) { h.biSize = 0xFFFFFFFF; }), 0);
  EXPECT_EQ(with([](auto& h) { h.biPlanes = 2; }), 0);
  EXPECT_EQ(with([](auto& h) { h.biBitCount = 7; }), 0);
  EXPECT_EQ(with([](auto& h) { h.biBitCount = 0; }), 0);
  EXPECT_EQ(with([](auto& h) { h.biCompression = 1; }), 0);
  EXPECT_EQ(with([](auto& h) { h.biWidth = 0; }), 0);
  EXPECT_EQ(with([](auto& h) { h.biWidth = -2; }), 0);
  EXPECT_EQ(with([](auto& h) { h.biHeight = 0; }), 0);
  EXPECT_EQ(with([](auto& h) { h.biHeight = INT32_MIN; }), 0);
  EXPECT_EQ(with([](auto& h) { h.biWidth = INT32_MAX; h.biHeight = INT32_MAX; }), 0) << "more than 2^31 bytes";
  EXPECT_EQ(with([](auto& h) { h.biClrUsed = 257; }), 0) << "more colours than 8 bits index";
  EXPECT_EQ(with([](auto& h) { h.biClrUsed = 2; }), 2);
  EXPECT_EQ(pg_stretch_dib_bits(m.dc, 0, 0, 2, 2, 0, 0, 2, 2, good.pixels.data(), good.info(), 1, SRCCOPY), 0)
      << "only DIB_RGB_COLORS";
  EXPECT_EQ(pg_stretch_dib_bits(m.dc, 0, 0, 2, 2, 0, 0, 2, 2, nullptr, good.info(), 0, SRCCOPY), 0);
  EXPECT_EQ(pg_stretch_dib_bits(m.dc, 0, 0, 2, 2, 0, 0, 2, 2, good.pixels.data(), nullptr, 0, SRCCOPY), 0);
  EXPECT_EQ(pg_stretch_dib_bits(m.dc, 0, 0, 2, 2, 0, 0, 2, 2, nullptr, good.info(), 0, WHITENESS), 2)
      << "an operation without a source needs no bits";
}

TEST(UiRobust, SelectedObjectsOutliveTheirHandles) {
  MemDc m(24, 4, 4);
  HBRUSH b = pg_brush_solid_create(PG_RGB(9, 9, 9));
  HBRUSH old = pg_brush_select(m.dc, b);
  EXPECT_EQ(pg_brush_delete(b), 1);
  EXPECT_EQ(pg_pat_blt(m.dc, 0, 0, 4, 4, PATCOPY), 1) << "the DC still holds the brush";
  EXPECT_EQ(m.value(3, 3), 0x090909u);
  pg_brush_select(m.dc, old);
  EXPECT_EQ(pg_brush_select(m.dc, b), nullptr);
}

TEST(UiRobust, WindowsRefuseBadArguments) {
  window_test::recording_class();
  HWND h = pw_window_create(0, window_test::recording_class(), nullptr, WS_VISIBLE, INT32_MIN, INT32_MAX, INT32_MAX,
                            -20, nullptr, 0, nullptr);
  ASSERT_NE(h, nullptr);
  pg_rect r{};
  pw_client_rect_get(h, &r);
  EXPECT_EQ(r.right, 65535) << "sizes are cut to the limit";
  EXPECT_EQ(r.bottom, 0);
  pw_window_invalidate(h, &r, 1);
  pw_messages_pump(nullptr);  // a window with no client area paints nothing and survives
  std::vector<uint32_t> px(4);
  EXPECT_EQ(pw_window_render(h, px.data(), 2, 2, 1), 0) << "stride shorter than the width";
  EXPECT_EQ(pw_window_move(h, 0, 0, 20, 20, 1), 1);
  pw_input_mouse(h, WM_MOUSEMOVE, INT32_MAX, INT32_MIN, 0);  // clamped to 16 bits
  EXPECT_EQ(pw_input_mouse(h, WM_PAINT, 0, 0, 0), 0);
  EXPECT_EQ(pw_scroll_info_set(h, 5, nullptr, 0), 0);
  EXPECT_EQ(pw_scroll_range_set(h, SB_HORZ, 10, 5, 0), 0);
  pw_scroll_info si{PW_SIF_ALL, INT32_MIN, INT32_MAX, UINT32_MAX, INT32_MAX, 0};
  pw_scroll_info_set(h, SB_HORZ, &si, 1);
  EXPECT_EQ(pw_window_scroll(h, INT32_MIN, INT32_MAX), 1);
  EXPECT_EQ(pw_window_extra_get(h, -8), 0);
  EXPECT_EQ(pw_window_text_get(h, nullptr, 0), 0);
  EXPECT_EQ(pw_property_get(h, nullptr), nullptr);
  pw_window_class bad{};
  EXPECT_EQ(pw_class_register(&bad), 0u);
  EXPECT_EQ(pw_class_register(nullptr), 0u);
  bad.proc = window_test::recording_proc;
  bad.name = "Neg";
  bad.window_extra = -4;
  EXPECT_EQ(pw_class_register(&bad), 0u);
  pw_window_destroy(h);
  pw_messages_pump(nullptr);
  EXPECT_EQ(pw_window_invalidate(h, nullptr, 1), 0);
  EXPECT_EQ(pw_paint_begin(h, nullptr), nullptr);
  EXPECT_EQ(pw_dialog_create(nullptr, nullptr, nullptr, 0), nullptr);
  pw_dialog_template t{"x", nullptr, 8, 10, 10, nullptr, 3};
  EXPECT_EQ(pw_dialog_create(&t, nullptr, nullptr, 0), nullptr) << "items missing";
}

TEST(UiRobust, QueueIsBoundedAgainstARunawayPoster) {
  int posted = 0;
  for (int i = 0; i < 20000; ++i) posted += pw_message_post(nullptr, WM_USER, 0, 0);
  EXPECT_LT(posted, 20000);
  EXPECT_EQ(pw_queue_length(), posted);
  pw_messages_pump(nullptr);
  EXPECT_EQ(pw_queue_length(), 0);
}

}  // namespace
