// The blitter's word-at-a-time rows (24-bit DIBs onto 32-bit devices,
// palette DIBs onto 32-bit devices, 32-bit surfaces onto 24-bit ones) and
// its source copies written straight into the destination: every pixel is
// the colour the column and row maps give it, copied or through a raster
// operation, enlarged or reduced.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/gdi_test_util.h"

namespace {

using gdi_test::Dib;
using gdi_test::MemDc;

uint32_t colour_at(int x, int y) { return uint32_t((x * 37 + y * 11) & 255) << 16 | uint32_t((x * 5) & 255) << 8 | uint32_t(y * 29 & 255); }

Dib rgb_dib(int w, int h) {
  Dib d(w, h, 24, false);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint32_t c = colour_at(x, y);
      uint8_t* p = d.row(y) + 3 * x;
      p[0] = uint8_t(c);
      p[1] = uint8_t(c >> 8);
      p[2] = uint8_t(c >> 16);
    }
  return d;
}

TEST(GdiFastRows, TrueColourDibsOntoThirtyTwoBitsFollowTheMaps) {
  // 12 wide so that 3 x 12 bytes leave no padding after the last pixel.
  const Dib d = rgb_dib(12, 5);
  struct Case {
    int w, h;
    uint32_t rop;
  };
  for (const Case c : {Case{12, 5, SRCCOPY}, Case{36, 15, SRCCOPY}, Case{7, 3, SRCCOPY}, Case{12, 5, SRCINVERT}}) {
    MemDc m(32, c.w, c.h);
    ASSERT_NE(pg_stretch_dib_bits(m.dc, 0, 0, c.w, c.h, 0, 0, 12, 5, d.pixels.data(), d.info(), DIB_RGB_COLORS, c.rop), 0);
    for (int y = 0; y < c.h; ++y)
      for (int x = 0; x < c.w; ++x) {
        const uint32_t want = colour_at(x * 12 / c.w, y * 5 / c.h);
        // Exclusive-or onto a black surface leaves the source.
        ASSERT_EQ(m.value(x, y), want) << c.w << " " << x << "," << y;
      }
  }
}

TEST(GdiFastRows, TrueColourRowsAtScaleOneFromEveryStartAndLength) {
  // Rows copied eight, then four, then one pixel at a time: every source
  // start and every width up to 27 pixels of a 29-pixel DIB whose rows end
  // without padding bytes after the last pixel (29 x 3 = 87, padded to 88,
  // so the last pixel has one byte after it; 28 x 3 = 84 has none).
  for (int dib_w : {28, 29}) {
    const Dib d = rgb_dib(dib_w, 2);
    for (int start = 0; start < 4; ++start)
      for (int w = 1; w + start <= dib_w && w <= 27; ++w) {
        MemDc m(32, w, 2);
        ASSERT_NE(pg_stretch_dib_bits(m.dc, 0, 0, w, 2, start, 0, w, 2, d.pixels.data(), d.info(), DIB_RGB_COLORS,
                                      SRCCOPY),
                  0);
        for (int y = 0; y < 2; ++y)
          for (int x = 0; x < w; ++x)
            ASSERT_EQ(m.value(x, y), colour_at(start + x, y)) << dib_w << " " << start << " " << w << " " << x;
      }
  }
}

TEST(GdiFastRows, PaletteDibsAndThirtyTwoBitSurfaces) {
  std::vector<pg_rgb_quad> table(256);
  for (int i = 0; i < 256; ++i) table[size_t(i)] = pg_rgb_quad{uint8_t(i), uint8_t(255 - i), uint8_t(i * 3), 0};
  Dib d(9, 2, 8, true, table);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 9; ++x) d.row(y)[x] = uint8_t(x * 20 + y);
  MemDc m(32, 18, 2);
  ASSERT_NE(pg_stretch_dib_bits(m.dc, 0, 0, 18, 2, 0, 0, 9, 2, d.pixels.data(), d.info(), DIB_RGB_COLORS, SRCCOPY), 0);
  for (int x = 0; x < 18; ++x) {
    const int i = (x / 2) * 20 + 1;
    ASSERT_EQ(m.value(x, 1), uint32_t(uint8_t(i * 3)) << 16 | uint32_t(255 - i) << 8 | uint32_t(i)) << x;
  }
  // A 32-bit surface copied onto a 24-bit one keeps its colours.
  MemDc out(24, 18, 2);
  ASSERT_NE(pg_bit_blt(out.dc, 0, 0, 18, 2, m.dc, 0, 0, SRCCOPY), 0);
  for (int x = 0; x < 18; ++x) ASSERT_EQ(out.value(x, 1), m.value(x, 1)) << x;
  // A copy through a mask keeps what the mask lets through.
  pg_bit_blt(out.dc, 0, 0, 18, 2, m.dc, 0, 0, SRCAND);
  for (int x = 0; x < 18; ++x) ASSERT_EQ(out.value(x, 1), m.value(x, 1)) << x;
}

}  // namespace
