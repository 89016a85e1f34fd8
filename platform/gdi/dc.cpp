// Device contexts: display, memory and printer kinds, their attributes,
// capabilities and clip box.
#include <algorithm>

#include "gdi_internal.h"

namespace pg {

std::shared_ptr<Dc> dc_of(HDC hdc) { return find<Dc>(raw(hdc), Kind::Dc); }

HDC dc_create_on_surface(std::shared_ptr<Surface> surface, std::shared_ptr<Display> display) {
  if (!display) return nullptr;  // a window with an empty client area has no surface
  auto dc = std::make_shared<Dc>();
  dc->type = Dc::DisplayDc;
  dc->own = std::move(surface);
  dc->display = std::move(display);
  return as_handle<HDC>(registry_add(dc));
}

bool dc_clip(Dc& dc, pg_rect* out) {
  Surface* s = dc.surface();
  pg_rect r{0, 0, 0, 0};
  if (s) r = pg_rect{0, 0, s->width, s->height};
  if (dc.has_clip) {
    r.left = std::max(r.left, dc.clip.left);
    r.top = std::max(r.top, dc.clip.top);
    r.right = std::min(r.right, dc.clip.right);
    r.bottom = std::min(r.bottom, dc.clip.bottom);
  }
  if (r.right <= r.left || r.bottom <= r.top) r = pg_rect{0, 0, 0, 0};
  if (out) *out = r;
  return r.right > r.left;
}

}  // namespace pg

using namespace pg;

extern "C" HDC pg_display_dc_create(HDISPLAY display, int32_t width, int32_t height) {
  auto d = display_of(display);
  if (!d) return nullptr;
  auto s = surface_create(width, height, d->bits, d);
  if (!s) return nullptr;
  return dc_create_on_surface(s, d);
}

extern "C" HDC pg_dc_create_compatible(HDC hdc) {
  std::shared_ptr<Display> display;
  Dc::Type type = Dc::Memory;
  int32_t dpi = 96;
  if (hdc != nullptr) {
    auto src = dc_of(hdc);
    if (!src) return nullptr;
    display = src->display;
    dpi = src->dpi;
  } else {
    display = default_display();
  }
  auto dc = std::make_shared<Dc>();
  dc->type = type;
  dc->display = display;
  dc->dpi = dpi;
  // A new memory DC draws on the shared 1 x 1 monochrome stock bitmap
  // until another is selected.
  dc->bitmap = stock_bitmap(&dc->bitmap_handle);
  return as_handle<HDC>(registry_add(dc));
}

extern "C" HDC pg_printer_dc_create(int32_t width, int32_t height, int32_t dots_per_inch) {
  if (dots_per_inch <= 0 || dots_per_inch > 4800) return nullptr;
  auto s = surface_create(width, height, 24, nullptr);
  if (!s) return nullptr;
  surface_fill(*s, 0xFFFFFF);
  auto dc = std::make_shared<Dc>();
  dc->type = Dc::Printer;
  dc->own = s;
  dc->dpi = dots_per_inch;
  return as_handle<HDC>(registry_add(dc));
}

extern "C" int32_t pg_dc_delete(HDC hdc) {
  auto dc = dc_of(hdc);
  if (!dc) return 0;
  if (dc->bitmap) dc->bitmap->selected = std::max(0, dc->bitmap->selected - 1);
  dc->bitmap.reset();
  return registry_remove(raw(hdc), Kind::Dc) ? 1 : 0;
}

extern "C" int32_t pg_device_caps(HDC hdc, int32_t index) {
  auto dc = dc_of(hdc);
  if (!dc) return 0;
  bool printer = dc->type == Dc::Printer;
  int32_t bits = printer ? 24 : dc->device_bits();
  bool palette_device = !printer && bits == 8;
  Surface* s = dc->surface();
  switch (index) {
    case PG_TECHNOLOGY: return printer ? PG_DT_RASPRINTER : PG_DT_RASDISPLAY;
    case PG_HORZRES: return printer ? (s ? s->width : 0) : (dc->own ? dc->own->width : 0);
    case PG_VERTRES: return printer ? (s ? s->height : 0) : (dc->own ? dc->own->height : 0);
    case PG_BITSPIXEL: return bits;
    case PG_PLANES: return 1;
    case PG_NUMCOLORS: return bits == 1 ? 2 : bits == 4 ? 16 : palette_device ? 20 : -1;
    case PG_RASTERCAPS:
      return PG_RC_BITBLT | PG_RC_STRETCHBLT | PG_RC_STRETCHDIB | (palette_device ? PG_RC_PALETTE : 0);
    case PG_LOGPIXELSX:
    case PG_LOGPIXELSY: return dc->dpi;
    case PG_SIZEPALETTE: return palette_device ? 256 : 0;
    case PG_NUMRESERVED: return palette_device ? 20 : 0;
    default: return 0;
  }
}

extern "C" int32_t pg_map_mode_set(HDC hdc, int32_t mode) {
  auto dc = dc_of(hdc);
  if (!dc || mode != MM_TEXT) return 0;
  int32_t old = dc->map_mode;
  dc->map_mode = mode;
  return old;
}

extern "C" int32_t pg_map_mode_get(HDC hdc) {
  auto dc = dc_of(hdc);
  return dc ? dc->map_mode : 0;
}

extern "C" COLORREF pg_text_colour_set(HDC hdc, COLORREF colour) {
  auto dc = dc_of(hdc);
  if (!dc) return PG_CLR_INVALID;
  COLORREF old = dc->text;
  dc->text = colour;
  return old;
}

extern "C" COLORREF pg_text_colour_get(HDC hdc) {
  auto dc = dc_of(hdc);
  return dc ? dc->text : PG_CLR_INVALID;
}

extern "C" COLORREF pg_bk_colour_set(HDC hdc, COLORREF colour) {
  auto dc = dc_of(hdc);
  if (!dc) return PG_CLR_INVALID;
  COLORREF old = dc->bk;
  dc->bk = colour;
  return old;
}

extern "C" COLORREF pg_bk_colour_get(HDC hdc) {
  auto dc = dc_of(hdc);
  return dc ? dc->bk : PG_CLR_INVALID;
}

extern "C" int32_t pg_bk_mode_set(HDC hdc, int32_t mode) {
  auto dc = dc_of(hdc);
  if (!dc || (mode != PG_TRANSPARENT && mode != PG_OPAQUE)) return 0;
  int32_t old = dc->bk_mode;
  dc->bk_mode = mode;
  return old;
}

extern "C" int32_t pg_clip_box_get(HDC hdc, pg_rect* out) {
  auto dc = dc_of(hdc);
  if (!dc || out == nullptr) return PG_REGION_ERROR;
  return dc_clip(*dc, out) ? PG_SIMPLEREGION : PG_NULLREGION;
}

extern "C" int32_t pg_clip_rect_set(HDC hdc, const pg_rect* clip) {
  auto dc = dc_of(hdc);
  if (!dc) return PG_REGION_ERROR;
  dc->has_clip = clip != nullptr;
  if (clip) dc->clip = *clip;
  return dc_clip(*dc, nullptr) ? PG_SIMPLEREGION : PG_NULLREGION;
}

extern "C" int32_t pg_clip_rect_intersect(HDC hdc, const pg_rect* clip) {
  auto dc = dc_of(hdc);
  if (!dc || clip == nullptr) return PG_REGION_ERROR;
  pg_rect now{};
  dc_clip(*dc, &now);
  dc->has_clip = true;
  dc->clip = pg_rect{std::max(now.left, clip->left), std::max(now.top, clip->top),
                     std::min(now.right, clip->right), std::min(now.bottom, clip->bottom)};
  return dc_clip(*dc, nullptr) ? PG_SIMPLEREGION : PG_NULLREGION;
}

extern "C" int32_t pg_dc_size(HDC hdc, int32_t* width, int32_t* height) {
  auto dc = dc_of(hdc);
  Surface* s = dc ? dc->surface() : nullptr;
  if (!s) return 0;
  if (width) *width = s->width;
  if (height) *height = s->height;
  return 1;
}

extern "C" COLORREF pg_pixel_get(HDC hdc, int32_t x, int32_t y) {
  auto dc = dc_of(hdc);
  pg_rect clip{};
  if (!dc || !dc_clip(*dc, &clip) || x < clip.left || y < clip.top || x >= clip.right || y >= clip.bottom)
    return PG_CLR_INVALID;
  Surface& s = *dc->surface();
  return colorref_of_bgr(surface_colour_of(s, surface_pixel(s, x, y)));
}

extern "C" int32_t pg_pixel_value_get(HDC hdc, int32_t x, int32_t y, uint32_t* value) {
  auto dc = dc_of(hdc);
  Surface* s = dc ? dc->surface() : nullptr;
  if (!s || value == nullptr || x < 0 || y < 0 || x >= s->width || y >= s->height) return 0;
  *value = surface_pixel(*s, x, y);
  return 1;
}

extern "C" int32_t pg_pixel_set(HDC hdc, int32_t x, int32_t y, COLORREF colour) {
  auto dc = dc_of(hdc);
  pg_rect clip{};
  if (!dc || !dc_clip(*dc, &clip) || x < clip.left || y < clip.top || x >= clip.right || y >= clip.bottom)
    return 0;
  ColourMapper map(*dc);
  Surface* s = dc->surface();
  if (s) surface_pixel_put(*s, x, y, map.pixel_of_colorref(colour));
  return 1;
}

extern "C" int32_t pg_dc_read_rgb32(HDC hdc, uint32_t* out, int32_t width, int32_t height, int32_t stride_pixels) {
  auto dc = dc_of(hdc);
  Surface* s = dc ? dc->surface() : nullptr;
  if (!s || out == nullptr || width <= 0 || height <= 0 || stride_pixels < width) return 0;
  int32_t w = std::min(width, s->width), h = std::min(height, s->height);
  uint32_t lut[256];
  if (s->bpp <= 8)
    for (uint32_t v = 0; v < (1u << s->bpp); ++v) lut[v] = surface_colour_of(*s, v);
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* row = s->row(y);
    uint32_t* o = out + int64_t{stride_pixels} * y;
    for (int32_t x = 0; x < w; ++x) {
      uint32_t v = packed_get(row, s->bpp, x);
      o[x] = 0xFF000000u | (s->bpp <= 8 ? lut[v] : surface_colour_of(*s, v));
    }
  }
  return w * h;
}
