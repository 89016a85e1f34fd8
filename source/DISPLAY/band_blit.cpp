// Band blits. A refused band is shown as a rectangle of red forward
// diagonal hatching and the draw goes on, so a device that cannot take
// part of an image shows where it is.
#include "DISPLAY/band_blit.h"

#include <cstring>

namespace rx {
namespace {

bool g_refuse = false;


COLORREF colour_of(const RX_RGBQUAD& q) { return PG_RGB(q.rgbRed, q.rgbGreen, q.rgbBlue); }

const PG_BITMAPINFOHEADER* info_of(const Band& band) {
  return reinterpret_cast<const PG_BITMAPINFOHEADER*>(band.header);
}

// A 1-bit band on a display: a monochrome device bitmap whose 0 bits take
// the DC's text colour (entry 0) and 1 bits its background colour (entry 1).
bool blit_monochrome(RenderContext& ctx, const Band& band, int32_t x, int32_t y, uint32_t rop) {
  HBITMAP bitmap = pg_bitmap_create(band.width, band.height, 1, 1, band.bits);
  HDC memory = pg_dc_create_compatible(ctx.hdc);
  HBITMAP old = bitmap != nullptr && memory != nullptr ? pg_bitmap_select(memory, bitmap) : nullptr;
  bool drawn = false;
  if (old != nullptr) {
    const COLORREF text = pg_text_colour_set(ctx.hdc, colour_of(band.table[0]));
    const COLORREF back = pg_bk_colour_set(ctx.hdc, colour_of(band.table[1]));
    drawn = pg_bit_blt(ctx.hdc, x, y, band.width, band.height, memory, 0, 0, rop) != 0;
    pg_text_colour_set(ctx.hdc, text);
    pg_bk_colour_set(ctx.hdc, back);
    pg_bitmap_select(memory, old);
  }
  if (memory != nullptr) pg_dc_delete(memory);
  if (bitmap != nullptr) pg_bitmap_delete(bitmap);
  return drawn;
}

bool blit_once(RenderContext& ctx, const Band& band, int32_t x, int32_t y, uint32_t rop) {
  if (band_blit_refused()) return false;
  if (!band.bottom_up) return blit_monochrome(ctx, band, x, y, rop);
  return pg_stretch_dib_bits(ctx.hdc, x, y, band.width, band.height, 0, 0, band.width, band.height,
                             band.bits, info_of(band), DIB_RGB_COLORS, rop) != 0;
}

void hatch(RenderContext& ctx, const Band& band, int32_t x, int32_t y) {
  band_refused(ctx, IRect{x, y, int64_t{x} + band.width, int64_t{y} + band.height});
}

bool same_colour(const uint8_t* bgr, const uint8_t* key) {
  return bgr[0] == key[0] && bgr[1] == key[1] && bgr[2] == key[2];
}

// The two passes of a transparent blit for palette bands work on the
// colour table: transparent entries white then black, the others black
// then their own colour.
bool transparent_table(RenderContext& ctx, Band& band, int32_t x, int32_t y) {
  const size_t bytes = static_cast<size_t>(band.table_entries) * 4;
  std::memcpy(band.keep, band.table, bytes);
  const auto* kept = reinterpret_cast<const RX_RGBQUAD*>(band.keep);
  const RX_RGBQUAD white{255, 255, 255, 0}, black{0, 0, 0, 0};
  for (int32_t i = 0; i < band.table_entries; ++i)
    band.table[i] = same_colour(&kept[i].rgbBlue, ctx.transparent_bgr) ? white : black;
  bool drawn = blit_once(ctx, band, x, y, SRCAND);
  for (int32_t i = 0; i < band.table_entries; ++i)
    band.table[i] = same_colour(&kept[i].rgbBlue, ctx.transparent_bgr) ? black : kept[i];
  drawn = blit_once(ctx, band, x, y, SRCPAINT) && drawn;
  std::memcpy(band.table, band.keep, bytes);
  return drawn;
}

// 16- and 24-bit bands keep a copy of their pixels and change the pixels.
bool transparent_pixels(RenderContext& ctx, Band& band, int32_t x, int32_t y) {
  const int64_t bytes = band.row_bytes * band.height;
  std::memcpy(band.keep, band.bits, static_cast<size_t>(bytes));
  const bool wide = band.depth == 24;
  const uint32_t key = (uint32_t{ctx.transparent_bgr[2]} >> 3 << 10) |
                       (uint32_t{ctx.transparent_bgr[1]} >> 3 << 5) | (ctx.transparent_bgr[0] >> 3);
  auto is_key = [&](const uint8_t* p) {
    return wide ? same_colour(p, ctx.transparent_bgr) : ((p[0] | (p[1] << 8)) & 0x7FFF) == key;
  };
  const int32_t size = wide ? 3 : 2;
  auto pass = [&](bool first) {
    for (int32_t r = 0; r < band.height; ++r) {
      uint8_t* row = band.bits + r * band.row_bytes;
      const uint8_t* kept = band.keep + r * band.row_bytes;
      for (int32_t i = 0; i < band.width; ++i) {
        uint8_t* p = row + i * size;
        const uint8_t* k = kept + i * size;
        const bool clear = is_key(k);
        if (first) std::memset(p, clear ? 0xFF : 0x00, static_cast<size_t>(size));
        else if (clear) std::memset(p, 0, static_cast<size_t>(size));
        else std::memcpy(p, k, static_cast<size_t>(size));
      }
    }
  };
  pass(true);
  bool drawn = blit_once(ctx, band, x, y, SRCAND);
  pass(false);
  drawn = blit_once(ctx, band, x, y, SRCPAINT) && drawn;
  return drawn;
}

}  // namespace

bool band_blit_refused() { return g_refuse; }

void band_refused(RenderContext& ctx, const IRect& rect) {
  HBRUSH brush = pg_brush_hatch_create(PG_HS_FDIAGONAL, PG_RGB(255, 0, 0));
  const pg_rect r{static_cast<int32_t>(rect.left), static_cast<int32_t>(rect.top), static_cast<int32_t>(rect.right),
                  static_cast<int32_t>(rect.bottom)};
  if (brush != nullptr) pg_rect_fill(ctx.hdc, &r, brush);
  pg_brush_delete(brush);
}

bool band_blit_refuse(bool refuse) {
  const bool previous = g_refuse;
  g_refuse = refuse;
  return previous;
}

void band_blit(RenderContext& ctx, Band& band, int32_t x, int32_t y) {
  bool drawn;
  if (!ctx.transparent) drawn = blit_once(ctx, band, x, y, ctx.rop);
  else if (band.depth <= 8) drawn = transparent_table(ctx, band, x, y);
  else drawn = transparent_pixels(ctx, band, x, y);
  if (!drawn) hatch(ctx, band, x, y);
}

}  // namespace rx
