// Helpers for the drawing layer's tests: DCs of a chosen depth with
// pixels set and read as raw device values.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/gdi.h"

namespace gdi_test {

// A display of `bits` and a memory DC on a w x h bitmap compatible with
// it; everything is released by the destructor.
struct MemDc {
  MemDc(int bits, int w, int h, HDISPLAY share = nullptr) {
    owns_display = share == nullptr;
    display = share ? share : pg_display_create(bits);
    screen = pg_display_dc_create(display, 4, 4);
    dc = pg_dc_create_compatible(screen);
    bitmap = bits == 1 ? pg_bitmap_create(w, h, 1, 1, nullptr) : pg_bitmap_create_compatible(screen, w, h);
    old = pg_bitmap_select(dc, bitmap);
  }
  ~MemDc() {
    pg_bitmap_select(dc, old);
    pg_bitmap_delete(bitmap);
    pg_dc_delete(dc);
    pg_dc_delete(screen);
    if (owns_display) pg_display_delete(display);
  }
  uint32_t value(int x, int y) const {
    uint32_t v = 0xDEADBEEF;
    pg_pixel_value_get(dc, x, y, &v);
    return v;
  }
  bool owns_display;
  HDISPLAY display;
  HDC screen, dc;
  HBITMAP bitmap, old;
};

// Writes raw pixel values into a bitmap, row by row (16-bit aligned rows).
inline void set_values(HBITMAP bm, int bits, int w, int h, const std::vector<uint32_t>& v) {
  int stride = ((w * bits + 15) / 16) * 2;
  std::vector<uint8_t> rows(static_cast<size_t>(stride * h), 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint32_t p = v[static_cast<size_t>(y * w + x)];
      uint8_t* r = rows.data() + y * stride;
      switch (bits) {
        case 1: if (p & 1) r[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8)); break;
        case 4: r[x / 2] |= static_cast<uint8_t>((p & 15) << (x % 2 ? 0 : 4)); break;
        case 8: r[x] = static_cast<uint8_t>(p); break;
        case 16: r[2 * x] = static_cast<uint8_t>(p); r[2 * x + 1] = static_cast<uint8_t>(p >> 8); break;
        case 24: for (int k = 0; k < 3; ++k) r[3 * x + k] = static_cast<uint8_t>(p >> (8 * k)); break;
        default: for (int k = 0; k < 4; ++k) r[4 * x + k] = static_cast<uint8_t>(p >> (8 * k)); break;
      }
    }
  pg_bitmap_bits_set(bm, rows.data(), static_cast<int32_t>(rows.size()));
}

// A packed DIB: header, colour table and rows, built by hand.
struct Dib {
  Dib(int w, int h, int bits, bool down, std::vector<pg_rgb_quad> table = {}) : width(w), height(h), bpp(bits) {
    stride = ((w * bits + 31) / 32) * 4;
    header.resize(40 + 4 * table.size());
    PG_BITMAPINFOHEADER hd{};
    hd.biSize = 40;
    hd.biWidth = w;
    hd.biHeight = down ? -h : h;
    hd.biPlanes = 1;
    hd.biBitCount = static_cast<uint16_t>(bits);
    hd.biClrUsed = static_cast<uint32_t>(table.size());
    std::memcpy(header.data(), &hd, 40);
    if (!table.empty()) std::memcpy(header.data() + 40, table.data(), 4 * table.size());
    pixels.assign(static_cast<size_t>(stride * h), 0);
    top_down = down;
  }
  // Row y counted from the top of the picture.
  uint8_t* row(int y) { return pixels.data() + stride * (top_down ? y : height - 1 - y); }
  const PG_BITMAPINFOHEADER* info() const { return reinterpret_cast<const PG_BITMAPINFOHEADER*>(header.data()); }
  int width, height, bpp, stride;
  bool top_down;
  std::vector<uint8_t> header;  // 40 bytes and the colour table
  std::vector<uint8_t> pixels;
};

}  // namespace gdi_test
