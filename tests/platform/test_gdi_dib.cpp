// Drawing packed DIBs: every depth bottom-up and top-down with pixels
// worked out by hand, stretching maps, mirroring, source rectangles and
// palette devices; the printer kind.
#include <gtest/gtest.h>

#include "gdi_test_util.h"
#include "platform/kernel.h"

using gdi_test::Dib;
using gdi_test::MemDc;
using gdi_test::set_values;

namespace {

// The picture every depth draws: 3 x 2 pixels, colours as 0x00RRGGBB.
const uint32_t kPicture[2][3] = {{0xFF0000, 0x00FF00, 0x0000FF}, {0xFFFFFF, 0x000000, 0x808080}};

// The same picture as a DIB of the given depth.
Dib picture_dib(int bits, bool top_down) {
  std::vector<pg_rgb_quad> table;
  if (bits <= 8) {
    // Entry k is the k-th colour of the picture in reading order; 1-bit
    // DIBs can hold two colours, so they show red and black only.
    for (int k = 0; k < (bits == 1 ? 2 : 6); ++k) {
      uint32_t c = bits == 1 ? (k == 0 ? 0xFF0000u : 0x000000u) : kPicture[k / 3][k % 3];
      table.push_back(pg_rgb_quad{uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16), 0});
    }
  }
  Dib d(3, 2, bits, top_down, table);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) {
      uint8_t* r = d.row(y);
      uint32_t c = kPicture[y][x];
      int k = y * 3 + x;
      switch (bits) {
        case 1: if ((k % 2) == 1) r[0] |= uint8_t(0x80 >> x); break;  // alternate red and black
        case 4: r[x / 2] |= uint8_t(k << (x % 2 ? 0 : 4)); break;
        case 8: r[x] = uint8_t(k); break;
        case 16: {
          uint32_t w = (c >> 19 & 31) << 10 | (c >> 11 & 31) << 5 | (c >> 3 & 31);
          r[2 * x] = uint8_t(w);
          r[2 * x + 1] = uint8_t(w >> 8);
          break;
        }
        default:
          r[3 * x] = uint8_t(c);
          r[3 * x + 1] = uint8_t(c >> 8);
          r[3 * x + 2] = uint8_t(c >> 16);
      }
    }
  return d;
}

uint32_t expected(int bits, int x, int y) {
  if (bits == 1) return ((y * 3 + x) % 2) ? 0x000000u : 0xFF0000u;
  uint32_t c = kPicture[y][x];
  if (bits == 16) {  // five bits a channel, widened by repeating the top bits
    auto w = [](uint32_t v) { v >>= 3; return (v << 3) | (v >> 2); };
    return w(c >> 16 & 255) << 16 | w(c >> 8 & 255) << 8 | w(c & 255);
  }
  return c;
}

class GdiEveryDepth : public ::testing::TestWithParam<std::tuple<int, bool>> {};

TEST_P(GdiEveryDepth, DrawsThePictureUpright) {
  auto [bits, top_down] = GetParam();
  Dib dib = picture_dib(bits, top_down);
  MemDc d(24, 5, 4);
  ASSERT_EQ(pg_stretch_dib_bits(d.dc, 1, 1, 3, 2, 0, 0, 3, 2, dib.pixels.data(), dib.info(), DIB_RGB_COLORS, SRCCOPY), 2);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) {
      bool inside = x >= 1 && x < 4 && y >= 1 && y < 3;
      EXPECT_EQ(d.value(x, y), inside ? expected(bits, x - 1, y - 1) : 0u) << x << "," << y;
    }
}

INSTANTIATE_TEST_SUITE_P(GdiDibs, GdiEveryDepth,
                         ::testing::Combine(::testing::Values(1, 4, 8, 16, 24), ::testing::Bool()),
                         [](const auto& p) {
                           return std::to_string(std::get<0>(p.param)) + (std::get<1>(p.param) ? "TopDown" : "BottomUp");
                         });

// A one-row DIB of n 24-bit pixels whose blue byte is its column.
Dib ramp(int n, int rows = 1) {
  Dib d(n, rows, 24, false);
  for (int y = 0; y < rows; ++y)
    for (int x = 0; x < n; ++x) {
      d.row(y)[3 * x] = uint8_t(x);
      d.row(y)[3 * x + 1] = uint8_t(y);
    }
  return d;
}

// Draws the source rectangle `from` (x, y, w, h) of `d` over `to`.
int32_t stretch(HDC dc, const std::vector<int>& to, const std::vector<int>& from, const Dib& d,
                uint32_t rop = SRCCOPY) {
  return pg_stretch_dib_bits(dc, to[0], to[1], to[2], to[3], from[0], from[1], from[2], from[3], d.pixels.data(),
                             d.info(), DIB_RGB_COLORS, rop);
}

// The values of a surface, rows top first.
std::vector<uint32_t> values(const MemDc& m, int w, int h) {
  std::vector<uint32_t> v;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) v.push_back(m.value(x, y));
  return v;
}

TEST(GdiStretchDib, EnlargingReducingAndMirroringFollowTheMaps) {
  const struct {
    const char* what;
    int n, rows;  // the ramp
    std::vector<int> to, from;
    int w, h;  // the surface
    std::vector<uint32_t> want;
  } cases[] = {
      {"column j of 5 reads source column j * 2 / 5", 2, 1, {0, 0, 5, 1}, {0, 0, 2, 1}, 5, 1, {0, 0, 0, 1, 1}},
      {"5 columns to 2 read columns 0 and 2; 3 rows to 2 read rows 0 and 1", 5, 3, {0, 0, 2, 2}, {0, 0, 5, 3}, 2, 2,
       {0x000000, 0x000002, 0x000100, 0x000102}},
      {"a negative width mirrors", 3, 1, {3, 0, -3, 1}, {0, 0, 3, 1}, 3, 1, {2, 1, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Dib d = ramp(c.n, c.rows);
    MemDc m(24, c.w, c.h);
    stretch(m.dc, c.to, c.from, d);
    EXPECT_EQ(values(m, c.w, c.h), c.want);
  }
}

TEST(GdiStretchDib, SourceRowsCountFromTheBottomOfABottomUpDib) {
  Dib up = ramp(1, 3);  // rows 0 (top), 1, 2 carry green 0, 1, 2
  MemDc m(24, 1, 1);
  stretch(m.dc, {0, 0, 1, 1}, {0, 0, 1, 1}, up);
  EXPECT_EQ(m.value(0, 0), 0x000200u) << "y 0 of a bottom-up DIB is its bottom row";
  Dib down(1, 3, 24, true);
  for (int y = 0; y < 3; ++y) down.row(y)[1] = uint8_t(y);
  stretch(m.dc, {0, 0, 1, 1}, {0, 0, 1, 1}, down);
  EXPECT_EQ(m.value(0, 0), 0x000000u) << "y 0 of a top-down DIB is its top row";
}

TEST(GdiStretchDib, ClipAndSourceBoundsLimitTheDrawing) {
  Dib d = ramp(4);
  MemDc m(24, 6, 1);
  pg_rect clip{2, 0, 4, 1};
  pg_clip_rect_set(m.dc, &clip);
  stretch(m.dc, {0, 0, 6, 1}, {0, 0, 6, 1}, d, WHITENESS);
  EXPECT_EQ(values(m, 6, 1), (std::vector<uint32_t>{0, 0, 0xFFFFFF, 0xFFFFFF, 0, 0}));
  pg_clip_rect_set(m.dc, nullptr);
  // Columns 4 and 5 of the source rectangle lie outside the DIB: left alone.
  stretch(m.dc, {0, 0, 6, 1}, {0, 0, 6, 1}, d);
  EXPECT_EQ(values(m, 6, 1), (std::vector<uint32_t>{0, 1, 2, 3, 0, 0}));
}

TEST(GdiStretchDib, FastCopyGivesTheSameBytesAsTheConvertingPath) {
  // 24 onto 24 copies rows whole; 32 onto 24 converts pixel by pixel.
  const int w = 37, h = 5;
  Dib d24(w, h, 24, false), d32(w, h, 32, true);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t b = uint8_t(x * 7 + y), g = uint8_t(x * 13), r = uint8_t(255 - x - y);
      uint8_t* p = d24.row(y) + 3 * x;
      p[0] = b, p[1] = g, p[2] = r;
      uint8_t* q = d32.row(y) + 4 * x;
      q[0] = b, q[1] = g, q[2] = r, q[3] = 0x55;
    }
  MemDc a(24, w, h), b(24, w, h);
  stretch(a.dc, {0, 0, w, h}, {0, 0, w, h}, d24);
  stretch(b.dc, {0, 0, w, h}, {0, 0, w, h}, d32);
  EXPECT_EQ(values(a, w, h), values(b, w, h));
  EXPECT_EQ(a.value(1, 0), 0xFE0D07u);
}

// 24-bit rows onto a 32-bit surface, eight or sixteen pixels a step on
// the fast level and one by one on the plain one: every width around the
// steps, from columns that start mid-word, and to the row's last byte.
TEST(GdiStretchDib, TwentyFourBitRowsOntoThirtyTwoBitsOnEveryLevel) {
  const int32_t supported = pk_kernel_level_supported();
  for (int32_t level = PK_KERNELS_REFERENCE; level <= supported; ++level) {
    const int32_t before = pk_kernel_level_set(level);
    for (int w : {1, 7, 8, 9, 15, 16, 17, 24, 31, 33, 100}) {
      Dib d(w, 2, 24, false);
      for (int y = 0; y < 2; ++y)
        for (int x = 0; x < w; ++x) {
          uint8_t* p = d.row(y) + 3 * x;
          p[0] = uint8_t(x * 7 + y), p[1] = uint8_t(x * 13 + 1), p[2] = uint8_t(255 - x - y);
        }
      for (int from : {0, 1, 5}) {
        if (from >= w) continue;
        const int n = w - from;
        MemDc m(32, n, 2);
        stretch(m.dc, {0, 0, n, 2}, {from, 0, n, 2}, d);
        for (int y = 0; y < 2; ++y)
          for (int x = 0; x < n; ++x) {
            const int sx = from + x, sy = y;  // Dib::row counts from the top
            const uint32_t want = uint32_t(255 - sx - sy) << 16 | uint32_t(uint8_t(sx * 13 + 1)) << 8 |
                                  uint8_t(sx * 7 + sy);
            ASSERT_EQ(m.value(x, y), want) << "level " << level << ", width " << w << " from " << from
                                           << " at " << x << "," << y;
          }
      }
    }
    pk_kernel_level_set(before);
  }
}

TEST(GdiStretchDib, PaletteDeviceMatchesTheSelectedPalette) {
  MemDc m(8, 3, 1);
  Dib d(3, 1, 8, false, {{0, 0, 255, 0}, {3, 2, 1, 0}, {9, 9, 9, 0}});
  d.row(0)[0] = 0, d.row(0)[1] = 1, d.row(0)[2] = 2;
  // With the default palette every colour goes to the nearest static one.
  stretch(m.dc, {0, 0, 3, 1}, {0, 0, 3, 1}, d);
  EXPECT_EQ(m.value(0, 0), 249u) << "pure red is static entry 249";
  EXPECT_EQ(m.value(1, 0), 0u) << "near black";
  // A realised palette holding (1, 2, 3) takes the first free entry, 10.
  pg_palette_entry e[2] = {{1, 2, 3, 0}, {9, 9, 9, 0}};
  HPALETTE pal = pg_palette_create(e, 2);
  HPALETTE old = pg_palette_select(m.dc, pal, 0);
  EXPECT_EQ(pg_palette_realize(m.dc), 2);
  stretch(m.dc, {0, 0, 3, 1}, {0, 0, 3, 1}, d);
  // Red's nearest in the palette is (9, 9, 9).
  EXPECT_EQ(values(m, 3, 1), (std::vector<uint32_t>{11, 10, 11}));
  pg_palette_select(m.dc, old, 0);
  pg_palette_delete(pal);
}

TEST(GdiStretchDib, OneBitBandsOnAMonochromeBitmapBlitThroughTextAndBackground) {
  // A word-aligned monochrome device bitmap from band bits, blitted to a
  // colour DC with text = entry 0 and background = entry 1.
  const uint8_t rows[2][2] = {{0xA0, 0x00}, {0x50, 0x00}};  // 4 pixels: 1010 / 0101
  HBITMAP bm = pg_bitmap_create(4, 2, 1, 1, rows);
  ASSERT_NE(bm, nullptr);
  MemDc colour(32, 4, 2);
  HDC mem = pg_dc_create_compatible(colour.dc);
  HBITMAP old = pg_bitmap_select(mem, bm);
  ASSERT_NE(old, nullptr);
  pg_text_colour_set(colour.dc, PG_RGB(0, 0, 0));
  pg_bk_colour_set(colour.dc, PG_RGB(255, 255, 255));
  pg_bit_blt(colour.dc, 0, 0, 4, 2, mem, 0, 0, SRCCOPY);
  EXPECT_EQ(values(colour, 4, 2), (std::vector<uint32_t>{0xFFFFFF, 0, 0xFFFFFF, 0, 0, 0xFFFFFF, 0, 0xFFFFFF}));
  EXPECT_EQ(pg_bitmap_delete(bm), 0) << "a selected bitmap is not deleted";
  pg_bitmap_select(mem, old);
  EXPECT_EQ(pg_bitmap_delete(bm), 1);
  pg_dc_delete(mem);
}

TEST(GdiPrinter, IsNotARasterDisplayAndDrawsOnAWhitePage) {
  HDC p = pg_printer_dc_create(40, 20, 300);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ((std::vector<int32_t>{pg_device_caps(p, PG_TECHNOLOGY),
                                  pg_device_caps(p, PG_BITSPIXEL) * pg_device_caps(p, PG_PLANES),
                                  pg_device_caps(p, PG_LOGPIXELSX)}),
            (std::vector<int32_t>{PG_DT_RASPRINTER, 24, 300}));
  EXPECT_EQ(pg_pixel_get(p, 39, 19), PG_RGB(255, 255, 255));
  EXPECT_EQ(stretch(p, {0, 0, 4, 2}, {0, 0, 2, 1}, ramp(2)), 1);
  EXPECT_EQ(pg_pixel_get(p, 3, 1), PG_RGB(0, 0, 1));
  EXPECT_EQ(pg_palette_realize(p), 0);
  pg_dc_delete(p);
}

TEST(GdiDisplays, DepthsAndCapabilities) {
  for (int bits : {1, 4, 8, 16, 24, 32}) {
    HDISPLAY disp = pg_display_create(bits);
    HDC dc = pg_display_dc_create(disp, 8, 8);
    EXPECT_EQ(pg_device_caps(dc, PG_BITSPIXEL), bits);
    EXPECT_EQ(pg_device_caps(dc, PG_TECHNOLOGY), PG_DT_RASDISPLAY);
    EXPECT_EQ((pg_device_caps(dc, PG_RASTERCAPS) & PG_RC_PALETTE) != 0, bits == 8);
    EXPECT_EQ(pg_device_caps(dc, PG_SIZEPALETTE), bits == 8 ? 256 : 0);
    HBITMAP bm = pg_bitmap_create_compatible(dc, 3, 3);
    pg_bitmap_info info{};
    pg_bitmap_info_get(bm, &info);
    EXPECT_EQ(info.bits_per_pixel, bits);
    pg_bitmap_delete(bm);
    pg_dc_delete(dc);
    pg_display_delete(disp);
  }
  EXPECT_EQ(pg_display_create(2), nullptr);
}

// The map mode is text, the only one; the clip box is the surface cut by
// the stored rectangle.
TEST(GdiDisplays, MapModeIsTextAndClipBoxIsTheSurfaceCutByTheStoredRectangle) {
  MemDc m(24, 10, 8);
  EXPECT_EQ(pg_map_mode_set(m.dc, MM_TEXT), MM_TEXT);
  EXPECT_EQ(pg_map_mode_set(m.dc, 2), 0);
  EXPECT_EQ(pg_map_mode_get(m.dc), MM_TEXT);
  pg_rect r{};
  const auto sides = [&] { return std::vector<int32_t>{r.left, r.top, r.right, r.bottom}; };
  EXPECT_EQ(pg_clip_box_get(m.dc, &r), PG_SIMPLEREGION);
  EXPECT_EQ(sides(), (std::vector<int32_t>{0, 0, 10, 8}));
  pg_rect c{-5, 2, 4, 100};
  pg_clip_rect_set(m.dc, &c);
  pg_clip_box_get(m.dc, &r);
  EXPECT_EQ(sides(), (std::vector<int32_t>{0, 2, 4, 8}));
  pg_rect away{20, 20, 30, 30};
  EXPECT_EQ(pg_clip_rect_set(m.dc, &away), PG_NULLREGION);
  EXPECT_EQ(pg_pixel_set(m.dc, 1, 3, 0), 0);
}

TEST(GdiText, BuiltInFontDrawsInTheTextColour) {
  MemDc m(24, 30, 12);
  int32_t w = 0, h = 0;
  pg_text_extent(m.dc, "Hi", 2, &w, &h);
  EXPECT_EQ((std::vector<int32_t>{w, h}), (std::vector<int32_t>{12, 10}));
  pg_text_colour_set(m.dc, PG_RGB(255, 0, 0));
  pg_bk_colour_set(m.dc, PG_RGB(0, 0, 255));
  pg_text_out(m.dc, 0, 0, "H", 1);
  // 'H': left and right columns on rows 1..7 of the cell, bar on row 4.
  EXPECT_EQ((std::vector<uint32_t>{m.value(0, 1), m.value(4, 7), m.value(2, 4)}),
            std::vector<uint32_t>(3, 0xFF0000u));
  EXPECT_EQ(m.value(2, 2), 0x0000FFu) << "opaque background inside the cell";
  EXPECT_EQ(m.value(6, 2), 0u) << "outside the cell";
  pg_bk_mode_set(m.dc, PG_TRANSPARENT);
  pg_text_out(m.dc, 12, 0, "-", 1);
  EXPECT_EQ((std::vector<uint32_t>{m.value(14, 4), m.value(14, 2)}), (std::vector<uint32_t>{0xFF0000u, 0}));
}

TEST(GdiText, DrawTextCentresAndBreaksAtWords) {
  MemDc m(24, 40, 40);
  pg_rect r{0, 0, 40, 40};
  int32_t height = pg_text_draw(m.dc, "ab cd efgh", -1, &r, PG_DT_CENTER | PG_DT_WORDBREAK | PG_DT_CALCRECT);
  EXPECT_EQ(height, 20) << "6 characters fit a line of 40 pixels: 'ab cd' and 'efgh'";
  EXPECT_EQ(r.bottom, 20);
  pg_rect one{0, 0, 0, 0};
  pg_text_draw(m.dc, "abc", 3, &one, PG_DT_SINGLELINE | PG_DT_CALCRECT);
  EXPECT_EQ(one.right, 18);
  HFONT big = pg_font_create(-20);
  pg_font_select(m.dc, big);
  int32_t w = 0, h = 0;
  pg_text_extent(m.dc, "abc", 3, &w, &h);
  EXPECT_EQ((std::vector<int32_t>{w, h}), (std::vector<int32_t>{36, 20}));
  pg_font_select(m.dc, nullptr);
  pg_font_delete(big);
}

}  // namespace
