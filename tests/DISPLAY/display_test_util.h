// Helpers for the display tests: images with chosen pixels and palettes,
// device contexts of a chosen depth, windows of one class, and device and
// window pixels read back as colours.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "SUPPORT/dib_builder.h"
#include "platform/gdi.h"
#include "platform/window.h"
#include "platform/window_test_util.h"
#include "rastrix/rastrix.h"
#include "support/engine_fixture.h"

namespace dtest {

using Rgb = uint32_t;  // 0xRRGGBB
inline Rgb rgb(int r, int g, int b) { return (uint32_t(r) << 16) | (uint32_t(g) << 8) | uint32_t(b); }
inline Rgb grey(int v) { return rgb(v, v, v); }

// A DIB of any depth: palette entries (0xRRGGBB) for depths up to 8, and
// pixel values from f(x, y) (an index, or 0xRRGGBB at 24 bits, or the raw
// 16-bit word).
inline std::vector<uint8_t> dib(int32_t bits, int32_t w, int32_t h, const std::vector<Rgb>& palette,
                                const std::function<uint32_t(int32_t, int32_t)>& f,
                                uint32_t compression = RX_BI_RGB, const uint32_t* masks = nullptr) {
  std::vector<uint8_t> d = test::make_dib(w, h, bits, compression);
  for (size_t i = 0; i < palette.size() && bits <= 8; ++i) {
    const uint8_t q[4] = {uint8_t(palette[i]), uint8_t(palette[i] >> 8), uint8_t(palette[i] >> 16), 0};
    std::memcpy(d.data() + 40 + 4 * i, q, 4);
  }
  if (masks != nullptr) std::memcpy(d.data() + 40 + 4 * rx::dib_palette_entries(bits, compression), masks, 12);
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* row = test::image_row(d, y);
    for (int32_t x = 0; x < w; ++x) {
      const uint32_t v = f(x, y);
      switch (bits) {
        case 1: if (v & 1) row[x / 8] |= uint8_t(0x80 >> (x % 8)); break;
        case 4: row[x / 2] |= uint8_t((v & 15) << (x % 2 ? 0 : 4)); break;
        case 8: row[x] = uint8_t(v); break;
        case 16:
          if (compression == RX_BI_GRAY16) {
            row[2 * x] = uint8_t(v >> 8);
            row[2 * x + 1] = uint8_t(v);
          } else {
            row[2 * x] = uint8_t(v);
            row[2 * x + 1] = uint8_t(v >> 8);
          }
          break;
        default:
          row[3 * x] = uint8_t(v);
          row[3 * x + 1] = uint8_t(v >> 8);
          row[3 * x + 2] = uint8_t(v >> 16);
      }
    }
  }
  return d;
}

inline RX_HIMAGE image(int32_t bits, int32_t w, int32_t h, const std::vector<Rgb>& palette,
                       const std::function<uint32_t(int32_t, int32_t)>& f) {
  return test::create(dib(bits, w, h, palette, f));
}

// A 1-bit image in the runs format, black (0) and white (1).
inline RX_HIMAGE bilevel(int32_t w, int32_t h, const std::function<uint32_t(int32_t, int32_t)>& f) {
  RX_HIMAGE im = image(1, w, h, {rgb(0, 0, 0), rgb(255, 255, 255)}, f);
  RX_IP_convert_DIB_to_runs(im);
  return im;
}

// A 1-bit image from rows of '0' and '1'.
inline RX_HIMAGE bilevel(const std::vector<std::string>& rows) {
  return bilevel(int32_t(rows[0].size()), int32_t(rows.size()),
                 [&](int32_t x, int32_t y) { return rows[size_t(y)][size_t(x)] == '1' ? 1u : 0u; });
}

// A memory DC on a bitmap of a display of `bits`, or a printer DC.
struct Device {
  Device(int32_t bits, int32_t w, int32_t h) : width(w), height(h) {
    display = pg_display_create(bits);
    screen = pg_display_dc_create(display, 4, 4);
    dc = pg_dc_create_compatible(screen);
    bitmap = pg_bitmap_create_compatible(screen, w, h);
    old = pg_bitmap_select(dc, bitmap);
  }
  ~Device() {
    pg_bitmap_select(dc, old);
    pg_bitmap_delete(bitmap);
    pg_dc_delete(dc);
    pg_dc_delete(screen);
    pg_display_delete(display);
  }
  Device(const Device&) = delete;
  Device& operator=(const Device&) = delete;

  uintptr_t handle() const { return reinterpret_cast<uintptr_t>(dc); }
  Rgb at(int32_t x, int32_t y) const {
    const COLORREF c = pg_pixel_get(dc, x, y);
    return rgb(PG_GET_R(c), PG_GET_G(c), PG_GET_B(c));
  }
  uint32_t raw(int32_t x, int32_t y) const {
    uint32_t v = 0xDEADBEEF;
    pg_pixel_value_get(dc, x, y, &v);
    return v;
  }
  void fill(Rgb c) {
    HBRUSH b = pg_brush_solid_create(PG_RGB(c >> 16, (c >> 8) & 255, c & 255));
    const pg_rect r{0, 0, width, height};
    pg_rect_fill(dc, &r, b);
    pg_brush_delete(b);
  }
  // All pixels, rows top first.
  std::vector<Rgb> pixels() const {
    std::vector<Rgb> out;
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x) out.push_back(at(x, y));
    return out;
  }
  int32_t width, height;
  HDISPLAY display;
  HDC screen, dc;
  HBITMAP bitmap, old;
};

inline int32_t set_rect(RX_HIMAGE im, int32_t l, int32_t t, int32_t r, int32_t b) {
  const int32_t rect[4] = {l, t, r, b};
  return RX_display_device_rect_set(im, rect);
}

inline std::vector<int32_t> device_rect(RX_HIMAGE im) {
  std::vector<int32_t> r(4);
  RX_display_device_rect_get(im, r.data());
  return r;
}

inline uintptr_t u(HWND h) { return reinterpret_cast<uintptr_t>(h); }

// The client area as 0xRRGGBB values, rows top first.
inline std::vector<Rgb> shown(HWND hwnd) {
  pg_rect r{};
  pw_client_rect_get(hwnd, &r);
  std::vector<Rgb> px = window_test::rendered(hwnd, r.right, r.bottom);
  for (Rgb& p : px) p &= 0xFFFFFF;
  return px;
}

// A test whose windows, all popups of one class, go when it ends.
class WindowsTest : public EngineTest {
 protected:
  WindowsTest(const char* name, pw_window_proc proc) : class_(window_test::class_of(name, proc)) {}
  void TearDown() override {
    windows_.destroy_all();
    EngineTest::TearDown();
  }
  HWND window(int32_t w, int32_t h, uint32_t style = 0) { return windows_.make(class_, WS_POPUP | style, w, h); }
  const char* class_;
  window_test::Windows windows_;
};

// One letter a pixel from x0 to x1 on row y of a DC: w white, r red, b
// blue, k black, ? any other colour.
inline std::string letters(HDC dc, int32_t y, int32_t x0, int32_t x1) {
  std::string s;
  for (int32_t x = x0; x < x1; ++x) {
    const COLORREF c = pg_pixel_get(dc, x, y);
    s += c == PG_RGB(255, 255, 255) ? 'w'
         : c == PG_RGB(255, 0, 0)   ? 'r'
         : c == PG_RGB(0, 0, 255)   ? 'b'
         : c == PG_RGB(0, 0, 0)     ? 'k'
                                    : '?';
  }
  return s;
}

// Whether the w x h top left of a DC is all white.
inline bool blank(HDC dc, int32_t w, int32_t h) {
  for (int32_t y = 0; y < h; ++y)
    if (letters(dc, y, 0, w) != std::string(size_t(w), 'w')) return false;
  return true;
}

// The pixels a function gives, rows top first.
inline std::vector<Rgb> expected(int32_t w, int32_t h, const std::function<Rgb(int32_t, int32_t)>& f) {
  std::vector<Rgb> out;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) out.push_back(f(x, y));
  return out;
}

}  // namespace dtest
