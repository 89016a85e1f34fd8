// Helpers for the transition tests: a window class that paints an image,
// a clock the test drives (each read returns the time and moves it on, and
// may call back into the test), and the window's pixels read back.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>
#include <vector>

#include "DISPLAY/display_test_util.h"
#include "SUPPORT/random.h"
#include "platform/kernel.h"
#include "platform/window.h"
#include "rastrix/rx_display.h"

namespace etest {

using dtest::Rgb;
using dtest::shown;
using dtest::u;

// The image the test window paints on WM_PAINT.
inline RX_HIMAGE g_painted = 0;

inline LRESULT paint_proc(HWND hwnd, uint32_t message, WPARAM wparam, LPARAM lparam) {
  if (message != WM_PAINT) return pw_window_proc_default(hwnd, message, wparam, lparam);
  pw_paint ps{};
  HDC dc = pw_paint_begin(hwnd, &ps);
  if (dc != nullptr) RX_display_image(g_painted, reinterpret_cast<uintptr_t>(dc));
  pw_paint_end(hwnd, &ps);
  return 0;
}

// Each read returns `now` and then adds `step`; `on_read` hears the value
// returned (after the effect's steps so far have been drawn).
struct Clock {
  uint32_t now = 0;
  uint32_t step = 1;
  int64_t reads = 0;
  std::function<void(uint32_t)> on_read;

  static uint32_t read(void* user) {
    auto* c = static_cast<Clock*>(user);
    const uint32_t value = c->now;
    c->now += c->step;
    ++c->reads;
    if (c->on_read) c->on_read(value);
    return value;
  }
  void install() { pk_tick_source_set(&Clock::read, this); }
};

class EffectTest : public dtest::WindowsTest {
 protected:
  EffectTest() : WindowsTest("EffectTestWindow", paint_proc) {}
  void TearDown() override {
    pk_tick_source_set(nullptr, nullptr);
    rx::random_clock_seed_pin(nullptr);
    windows_.destroy_all();
    g_painted = 0;
    WindowsTest::TearDown();
  }
  // A visible window of w x h client pixels, painted and valid, filled
  // with `fill`.
  HWND window(int32_t w, int32_t h, uint32_t style = 0, Rgb fill = 0) {
    HWND hwnd = WindowsTest::window(w, h, WS_VISIBLE | style);
    pw_window_validate(hwnd, nullptr);
    HDC dc = pw_window_dc_get(hwnd);
    HBRUSH b = pg_brush_solid_create(PG_RGB(fill >> 16, (fill >> 8) & 255, fill & 255));
    const pg_rect all{0, 0, 65535, 65535};
    pg_rect_fill(dc, &all, b);
    pg_brush_delete(b);
    pw_window_dc_release(hwnd, dc);
    return hwnd;
  }
  // Runs the effect on a clock that reads 0, 1, 2, ... and returns the
  // window as read at each time in `at`.
  std::map<uint32_t, std::vector<Rgb>> run(HWND hwnd, RX_HIMAGE im, int32_t effect, int32_t block, int32_t time,
                                           std::set<uint32_t> at) {
    std::map<uint32_t, std::vector<Rgb>> seen;
    Clock clock;
    clock.on_read = [&](uint32_t t) {
      if (at.count(t) != 0) seen[t] = shown(hwnd);
    };
    clock.install();
    EXPECT_EQ(RX_display_effect(1, im, u(hwnd), effect, block, time), 0);
    pk_tick_source_set(nullptr, nullptr);
    EXPECT_EQ(seen.size(), at.size());
    return seen;
  }
};

// A picture with no black pixel, so that what it left alone stays black:
// red 4x + 1 and green 6y + 1 (modulo 256), blue 128.
inline Rgb picture(int32_t x, int32_t y) { return dtest::rgb((4 * x + 1) % 256, (6 * y + 1) % 256, 128); }
inline RX_HIMAGE picture_image(int32_t w, int32_t h) {
  return dtest::image(24, w, h, {}, [](int32_t x, int32_t y) { return picture(x, y); });
}

// What a window of w x h shows when the picture (drawn 1:1 at the origin)
// is visible where `seen(x, y)` says and black elsewhere; seen may move the
// point it reads (dx, dy).
inline std::vector<Rgb> expect(int32_t w, int32_t h, const std::function<bool(int32_t, int32_t)>& seen,
                               int32_t dx = 0, int32_t dy = 0) {
  return dtest::expected(w, h, [&](int32_t x, int32_t y) { return seen(x, y) ? picture(x + dx, y + dy) : 0u; });
}

}  // namespace etest
