// Bad input to the display: odd device rectangles, extreme zooms, the
// smallest and widest images, every rotation, every device depth, and
// handles that are no handles. Nothing may crash, and a draw's memory
// stays at its band and maps.
#include <gtest/gtest.h>

#include "DISPLAY/display_draw.h"
#include "DISPLAY/display_test_util.h"
#include "platform/window.h"

using namespace dtest;

namespace {

class DisplayRobust : public EngineTest {};

// Every draw keeps to one band of at most 65535 bytes and maps of at most
// one entry per visible column and row (plus one), per image column plus
// one and a counter per band column.
void expect_bounded(int32_t vis_w, int32_t vis_h, int32_t image_w) {
  const rx::DrawStats& s = rx::display_last_draw_stats();
  EXPECT_LE(s.band_bytes, 65535);
  EXPECT_LE(s.map_bytes, 4 * (int64_t(vis_w) + 1) * 2 + 4 * (int64_t(vis_h) + 1) + 4 * (int64_t(image_w) + 1));
  EXPECT_LE(s.scratch_bytes, s.map_bytes + 2 * s.band_bytes);
}

TEST_F(DisplayRobust, OddDeviceRectanglesDrawWhatIsVisible) {
  RX_HIMAGE im = image(24, 3, 3, {}, [](int32_t x, int32_t y) { return rgb(x * 80, y * 80, 5); });
  Device dev(24, 16, 16);
  const std::vector<std::vector<int32_t>> rects = {
      {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, {-5, -5, 1, 1}, {15, 15, 16, 16},
      {INT32_MAX - 1, 0, INT32_MAX, 1},            {0, 0, 1, INT32_MAX}, {-1000000, 3, 1000000, 4}};
  for (const auto& r : rects) {
    ASSERT_EQ(set_rect(im, r[0], r[1], r[2], r[3]), 0);
    EXPECT_EQ(RX_display_image(im, dev.handle()), 0);
    expect_bounded(16, 16, 3);
  }
  // The whole range shows the middle pixel's neighbourhood: the device
  // centre falls in the image's middle column and row.
  set_rect(im, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX);
  RX_display_image(im, dev.handle());
  EXPECT_EQ(dev.at(0, 0), rgb(80, 80, 5));
  // Inverted and empty rectangles are refused.
  EXPECT_EQ(set_rect(im, 5, 0, 4, 10), 1);
  EXPECT_EQ(set_rect(im, 0, 0, 0, 0), 1);
  EXPECT_EQ(set_rect(im, INT32_MAX, 0, INT32_MIN, 1), 1);
  const auto e = error_entries();
  EXPECT_EQ((std::vector<int32_t>{e[0].code, e[0].iVal}), (std::vector<int32_t>{RXE_RECT_INVALID, INT32_MIN}));
  RX_image_delete(im);
}

TEST_F(DisplayRobust, SmallestAndWidestImagesAtEveryDepthAndRotation) {
  std::vector<RX_HIMAGE> images = {
      image(24, 1, 1, {}, [](int32_t, int32_t) { return 0x123456u; }),
      image(8, 1, 1, {}, [](int32_t, int32_t) { return 7u; }),
      image(4, 1, 1, {}, [](int32_t, int32_t) { return 3u; }),
      bilevel(1, 1, [](int32_t, int32_t) { return 0u; }),
      bilevel(32762, 1, [](int32_t x, int32_t) { return uint32_t(x % 3 == 0); }),
      image(24, 32762, 1, {}, [](int32_t x, int32_t) { return uint32_t(x); }),
      image(4, 32762, 2, {}, [](int32_t x, int32_t) { return uint32_t(x & 15); }),
  };
  for (RX_HIMAGE im : images) ASSERT_NE(im, 0u);
  const std::vector<std::vector<int32_t>> rects = {{0, 0, 40, 12}, {-3, -2, 5, 3}, {0, 0, 100000, 3}, {7, 7, 8, 8}};
  for (int32_t bits : {1, 4, 8, 16, 24, 32}) {
    Device dev(bits, 40, 12);
    for (RX_HIMAGE im : images)
      for (int32_t alias = 0; alias <= 2; ++alias)
        for (int32_t rotation = 0; rotation < 4; ++rotation)
          for (const auto& r : rects) {
            int32_t w = 0;
            RX_image_dimensions_get(im, &w, nullptr, nullptr);
            RX_display_alias_set(im, alias, 75, rotation & 1);
            RX_display_rotation_set(im, rotation);
            RX_display_dither_mode_set(im, rotation % 3);
            set_rect(im, r[0], r[1], r[2], r[3]);
            EXPECT_EQ(RX_display_image(im, dev.handle()), 0) << bits << " " << w << " " << alias << " " << rotation;
            expect_bounded(40, 12, w);
          }
  }
  for (RX_HIMAGE im : images) RX_image_delete(im);
}

TEST_F(DisplayRobust, TurnedRunsImagesOnHugeAndTinyRectangles) {
  RX_HIMAGE page = bilevel(50, 70, [](int32_t x, int32_t y) { return uint32_t((x * y) % 7 != 0); });
  Device dev(24, 30, 30);
  for (int32_t rotation = 0; rotation < 4; ++rotation) {
    RX_display_rotation_set(page, rotation);
    for (const auto& r : std::vector<std::vector<int32_t>>{{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX},
                                                           {-1000000000, 10, 1000000000, 11},
                                                           {10, -1000000000, 11, 1000000000},
                                                           {29, 29, 30, 30}, {0, 0, 30, 30}}) {
      set_rect(page, r[0], r[1], r[2], r[3]);
      EXPECT_EQ(RX_display_image(page, dev.handle()), 0) << rotation;
      expect_bounded(30, 30, 50);
    }
  }
  RX_image_delete(page);
}

TEST_F(DisplayRobust, HandlesThatAreNoHandles) {
  for (RX_HIMAGE bad : {RX_HIMAGE(0), RX_HIMAGE(1), RX_HIMAGE(-1), RX_HIMAGE(0x1000)}) {
    int32_t v = 0;
    uint32_t rop = 0;
    RX_RGBQUAD c{};
    const uint8_t* lut = nullptr;
    EXPECT_EQ(RX_display_image(bad, 0), 0);
    EXPECT_EQ(RX_display_device_rect_set(bad, nullptr), 0);
    EXPECT_EQ(RX_display_zoom_set(bad, 0, 100, nullptr), 0);
    EXPECT_EQ(RX_display_fit_set(bad, 0, nullptr, nullptr, 0), 0);
    EXPECT_EQ(RX_display_rotation_set(bad, 9), 0);
    EXPECT_EQ(RX_display_alias_get(bad, &v, &v, &v), 0);
    EXPECT_EQ(RX_display_ROP_get(bad, &rop), 0);
    EXPECT_EQ(RX_display_transparent_get(bad, &c, &v), 0);
    EXPECT_EQ(RX_display_LUT_get(bad, &lut, nullptr, nullptr), 0);
    EXPECT_EQ(RX_display_LUT_set(bad, 1, 0, 1), 0);
    EXPECT_EQ(RX_display_palette_realize(bad, 0, 0, &v), 0);
    EXPECT_EQ(RX_display_scroll(bad, 0, 0, 0, 0), 0);
    EXPECT_EQ(RX_display_device_to_image(bad, 0, 0, &v, &v), 0);
    EXPECT_EQ(RPb_AF_error_check(), 0);
  }
  RX_HIMAGE im = image(8, 2, 2, {}, [](int32_t, int32_t) { return 0u; });
  for (uintptr_t dc : {uintptr_t(0), uintptr_t(1), uintptr_t(0xDEADBEEF)}) {
    EXPECT_EQ(RX_display_image(im, dc), 1);
    EXPECT_EQ(error_codes(), std::vector<int32_t>{RXE_INVALID_HANDLE});
  }
  // A window handle is no device context.
  pw_window_class cls{};
  cls.proc = pw_window_proc_default;
  cls.name = "DisplayRobustTest";
  pw_class_register(&cls);
  HWND hwnd = pw_window_create(0, "DisplayRobustTest", "", WS_POPUP, 0, 0, 10, 10, nullptr, 0, nullptr);
  EXPECT_EQ(RX_display_image(im, reinterpret_cast<uintptr_t>(hwnd)), 1);
  // A DC deleted since is refused, and a destroyed window too.
  HDC gone = pg_dc_create_compatible(nullptr);
  pg_dc_delete(gone);
  EXPECT_EQ(RX_display_image(im, reinterpret_cast<uintptr_t>(gone)), 1);
  pw_window_destroy(hwnd);
  EXPECT_EQ(RX_display_fit_set(im, reinterpret_cast<uintptr_t>(hwnd), nullptr, nullptr, 0), 1);
  EXPECT_EQ(error_codes(), std::vector<int32_t>{RXE_INVALID_WINDOW_HANDLE});
  // Null outputs.
  EXPECT_EQ(RX_display_device_rect_get(im, nullptr), 1);
  EXPECT_EQ(RX_display_ROP_get(im, nullptr), 1);
  RX_image_delete(im);
}

struct Deleter {
  RX_HIMAGE image;
  int calls = 0;
  int32_t result = 0;
  static int32_t call(uintptr_t user, int32_t, int32_t) {
    auto* d = reinterpret_cast<Deleter*>(user);
    if (d->calls++ == 0) d->result = RX_image_delete(d->image);
    return 1;
  }
};

TEST_F(DisplayRobust, AStatusCallbackCannotDeleteTheImageUnderTheDraw) {
  RX_HIMAGE im = image(8, 4, 4, {}, [](int32_t, int32_t) { return 0u; });
  HDC printer = pg_printer_dc_create(4, 4, 300);
  Deleter d{im};
  RX_status_callback_set(Deleter::call, reinterpret_cast<uintptr_t>(&d));
  RX_display_image(im, reinterpret_cast<uintptr_t>(printer));
  RX_status_callback_set(nullptr, 0);
  EXPECT_EQ(d.result, 1);
  EXPECT_EQ(RPb_iRX_image_is_valid(im), 1);
  pg_dc_delete(printer);
  EXPECT_EQ(RX_image_delete(im), 0);
}

}  // namespace
