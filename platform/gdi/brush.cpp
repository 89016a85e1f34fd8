// Brushes: solid colours, the six hatch styles and 8 x 8 patterns, and the
// rows of destination pixels they paint.
#include <algorithm>

#include "gdi_internal.h"

namespace pg {
namespace {

// Hatch cells, one byte a row, bit 7 the left column; the pattern repeats
// every 8 pixels from the surface origin.
constexpr uint8_t kHatch[6][8] = {
    {0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},  // horizontal: row 0
    {0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80},  // vertical: column 0
    {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01},  // forward diagonal: x == y
    {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80},  // backward diagonal: x + y == 7
    {0xFF, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80},  // cross
    {0x81, 0x42, 0x24, 0x18, 0x18, 0x24, 0x42, 0x81}};  // diagonal cross

std::shared_ptr<Brush> make_solid(COLORREF c) {
  auto b = std::make_shared<Brush>();
  b->type = Brush::Solid;
  b->colour = c;
  return b;
}

}  // namespace

std::shared_ptr<Brush> stock_brush_object(int which, uintptr_t* handle) {
  struct Stock {
    std::shared_ptr<Brush> brush[6];
    uintptr_t handle[6];
  };
  static Stock stock = [] {
    Stock st{};
    const COLORREF colours[5] = {PG_RGB(255, 255, 255), PG_RGB(192, 192, 192), PG_RGB(128, 128, 128),
                                 PG_RGB(64, 64, 64), PG_RGB(0, 0, 0)};
    for (int i = 0; i < 5; ++i) st.brush[i] = make_solid(colours[i]);
    st.brush[5] = std::make_shared<Brush>();
    st.brush[5]->type = Brush::Null;
    for (int i = 0; i < 6; ++i) st.handle[i] = registry_add(st.brush[i], true);
    return st;
  }();
  if (which < 0 || which > 5) return nullptr;
  if (handle) *handle = stock.handle[which];
  return stock.brush[which];
}

void brush_row(Dc& dc, ColourMapper& map, const Brush& brush, int32_t y, int32_t x0, int32_t n, uint8_t* out) {
  int32_t bpp = map.bpp();
  if (brush.type == Brush::Solid || brush.type == Brush::Null) {
    uint32_t v = map.pixel_of_colorref(brush.colour);
    for (int32_t i = 0; i < n; ++i) packed_put(out, bpp, i, v);
    return;
  }
  uint32_t cell[8];
  if (brush.type == Brush::Hatch) {
    uint32_t on = map.pixel_of_colorref(brush.colour), off = map.pixel_of_colorref(dc.bk);
    uint8_t bits = kHatch[brush.hatch][y & 7];
    for (int c = 0; c < 8; ++c) cell[c] = (bits >> (7 - c) & 1) ? on : off;
  } else {
    const Surface& p = *brush.pattern;
    int32_t py = y % p.height;
    if (p.bpp == 1) {
      uint32_t zero = map.pixel_of_colorref(dc.text), one = map.pixel_of_colorref(dc.bk);
      for (int c = 0; c < 8; ++c) cell[c] = surface_pixel(p, c % p.width, py) ? one : zero;
    } else {
      for (int c = 0; c < 8; ++c)
        cell[c] = map.pixel_of_colour(surface_colour_of(p, surface_pixel(p, c % p.width, py)));
    }
  }
  if (brush.type == Brush::Pattern && brush.pattern->width < 8) {
    // Narrow patterns repeat at their own width.
    int32_t w = brush.pattern->width;
    for (int32_t i = 0; i < n; ++i) packed_put(out, bpp, i, cell[((x0 + i) % w + w) % w]);
    return;
  }
  for (int32_t i = 0; i < n; ++i) packed_put(out, bpp, i, cell[(x0 + i) & 7]);
}

}  // namespace pg

using namespace pg;

static std::shared_ptr<Brush> brush_of(HBRUSH h) { return find<Brush>(raw(h), Kind::Brush); }

extern "C" HBRUSH pg_brush_solid_create(COLORREF colour) {
  return as_handle<HBRUSH>(registry_add(make_solid(colour)));
}

extern "C" HBRUSH pg_brush_hatch_create(int32_t style, COLORREF colour) {
  if (style < PG_HS_HORIZONTAL || style > PG_HS_DIAGCROSS) return nullptr;
  auto b = std::make_shared<Brush>();
  b->type = Brush::Hatch;
  b->hatch = style;
  b->colour = colour;
  return as_handle<HBRUSH>(registry_add(b));
}

extern "C" HBRUSH pg_brush_pattern_create(HBITMAP bitmap) {
  auto bm = find<Bitmap>(raw(bitmap), Kind::Bitmap);
  if (!bm) return nullptr;
  const Surface& src = *bm->surface;
  int32_t w = std::min(src.width, 8), h = std::min(src.height, 8);
  auto copy = surface_create(w, h, src.bpp, src.display);
  if (!copy) return nullptr;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) surface_pixel_put(*copy, x, y, surface_pixel(src, x, y));
  auto b = std::make_shared<Brush>();
  b->type = Brush::Pattern;
  b->pattern = copy;
  return as_handle<HBRUSH>(registry_add(b));
}

extern "C" int32_t pg_brush_delete(HBRUSH brush) { return registry_remove(raw(brush), Kind::Brush) ? 1 : 0; }

extern "C" HBRUSH pg_stock_brush(int32_t which) {
  uintptr_t h = 0;
  return stock_brush_object(which, &h) ? as_handle<HBRUSH>(h) : nullptr;
}

extern "C" HBRUSH pg_brush_select(HDC hdc, HBRUSH brush) {
  auto dc = dc_of(hdc);
  auto b = brush_of(brush);
  if (!dc || !b) return nullptr;
  uintptr_t old = dc->brush_handle;
  if (old == 0) old = raw(pg_stock_brush(PG_WHITE_BRUSH));
  dc->brush = b;
  dc->brush_handle = raw(brush);
  return as_handle<HBRUSH>(old);
}
