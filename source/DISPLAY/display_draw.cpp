// The draw: maps the visible part of the device rectangle back to the
// image, renders it into band DIBs of at most 65535 bytes, one band at a
// time, and hands each band to the device. A band wider than the budget
// allows is split across as well as down, so no visible size stops a draw.
#include "DISPLAY/display_draw.h"

#include <algorithm>
#include <cstring>

#include "DISPLAY/background.h"
#include "DISPLAY/band_blit.h"
#include "DISPLAY/band_colours.h"
#include "DISPLAY/target_depth.h"
#include "SUPPORT/dib.h"
#include "SUPPORT/error.h"
#include "SUPPORT/image_api.h"
#include "SUPPORT/kernels.h"
#include "SUPPORT/mem_tag.h"
#include "rastrix/rx_display.h"

RX_SOURCE("source\\DISPLAY\\display_draw.cpp");

namespace rx {
namespace {

DrawStats g_stats;

static_assert(sizeof(LOGICAL_PALETTE::Entry) == sizeof(pg_palette_entry));

struct BandPlan {
  int32_t width = 0, height = 0;
  bool monochrome = false;  // a 1-bit band on a display: word-aligned rows
  bool turned = false;      // bands run across: all rows, some columns
};

int64_t row_bytes_of(int64_t width, int32_t depth, bool monochrome) {
  return monochrome ? ((width * depth + 15) & ~int64_t{15}) / 8 : ((width * depth + 31) & ~int64_t{31}) / 8;
}

// The widest band whose rows fit `bytes`.
int64_t width_for(int64_t bytes, int32_t depth, bool monochrome) {
  return monochrome ? (bytes / 2) * 16 / depth : (bytes / 4) * 32 / depth;
}

BandPlan band_plan(const RenderContext& ctx) {
  BandPlan p;
  p.monochrome = ctx.is_display && ctx.target == 1;
  p.turned = ctx.kind == RenderKind::kRunsTurned;
  const int64_t budget = kBandBudget - kDibHeaderBytes - 4 * band_table_entries(ctx.target);
  const int32_t depth = ctx.target;
  if (!p.turned) {
    int64_t w = ctx.vis_w;
    if (row_bytes_of(w, depth, p.monochrome) > budget) w = width_for(budget, depth, p.monochrome);
    p.width = static_cast<int32_t>(w);
    p.height = static_cast<int32_t>(
        std::min<int64_t>(ctx.vis_h, budget / row_bytes_of(w, depth, p.monochrome)));
  } else {
    const int64_t h = std::min<int64_t>(ctx.vis_h, budget / row_bytes_of(1, depth, p.monochrome));
    p.height = static_cast<int32_t>(h);
    p.width = static_cast<int32_t>(std::min<int64_t>(ctx.vis_w, width_for(budget / h, depth, p.monochrome)));
  }
  return p;
}

bool band_alloc(RenderContext& ctx, const BandPlan& plan, Band* band) {
  band->depth = ctx.target;
  band->table_entries = band_table_entries(ctx.target);
  band->bottom_up = !plan.monochrome;
  const int64_t bits = row_bytes_of(plan.width, ctx.target, plan.monochrome) * plan.height;
  const int64_t head = kDibHeaderBytes + 4 * int64_t{band->table_entries};
  band->block = static_cast<uint8_t*>(render_alloc(ctx, head + bits));
  if (band->block == nullptr) return false;
  if (ctx.transparent) {
    band->keep = static_cast<uint8_t*>(render_alloc(ctx, ctx.target <= 8 ? 4 * band->table_entries : bits));
    if (band->keep == nullptr) return false;
  }
  band->header = reinterpret_cast<RX_BITMAPINFOHEADER*>(band->block);
  band->table = reinterpret_cast<RX_RGBQUAD*>(band->block + kDibHeaderBytes);
  band->bits = band->block + head;
  std::memset(band->header, 0, kDibHeaderBytes);
  band->header->biSize = kDibHeaderBytes;
  band->header->biPlanes = 1;
  band->header->biBitCount = static_cast<uint16_t>(ctx.target);
  band_colour_table(ctx, band->table);
  g_stats.band_bytes = head + bits;
  g_stats.band_width = plan.width;
  g_stats.band_height = plan.height;
  return true;
}

void band_place(const RenderContext& ctx, const BandPlan& plan, int32_t x, int32_t y, Band* band) {
  band->x = x;
  band->y = y;
  band->width = std::min(plan.width, ctx.vis_w - x);
  band->height = std::min(plan.height, ctx.vis_h - y);
  band->row_bytes = row_bytes_of(band->width, band->depth, plan.monochrome);
  band->header->biWidth = band->width;
  band->header->biHeight = band->height;
  band->header->biSizeImage = static_cast<uint32_t>(band->row_bytes * band->height);
  if (band->depth == 1) std::memset(band->bits, 0xFF, static_cast<size_t>(band->row_bytes * band->height));
}

// Walks the bands: down the visible rectangle (across within a row of
// bands when one band is not wide enough), or across it for turned images.
bool band_next(const RenderContext& ctx, const BandPlan& plan, int32_t* x, int32_t* y) {
  if (!plan.turned) {
    *x += plan.width;
    if (*x < ctx.vis_w) return true;
    *x = 0;
    *y += plan.height;
    return *y < ctx.vis_h;
  }
  *y += plan.height;
  if (*y < ctx.vis_h) return true;
  *y = 0;
  *x += plan.width;
  return *x < ctx.vis_w;
}

// Selects the image's logical palette into the DC and realises it; the
// palette the DC had comes back.
HPALETTE palette_select(RenderContext& ctx, HPALETTE* created) {
  const DISPLAY_ATTR& d = ctx.record->display;
  *created = nullptr;
  if (d.logical_palette == nullptr) return nullptr;
  *created = pg_palette_create(reinterpret_cast<const pg_palette_entry*>(d.logical_palette->entries),
                               d.logical_palette->count);
  if (*created == nullptr) return nullptr;
  HPALETTE old = pg_palette_select(ctx.hdc, *created, d.palette_mode != 0 ? 1 : 0);
  ctx.record->display.colours_realised = pg_palette_realize(ctx.hdc);
  return old;
}

void bands_draw(RenderContext& ctx, Renderer render) {
  const BandPlan plan = band_plan(ctx);
  Band band;
  if (!band_alloc(ctx, plan, &band)) return;
  int32_t x = 0, y = 0;
  band_place(ctx, plan, x, y, &band);
  if (!render(ctx, band)) return;
  HPALETTE created = nullptr;
  HPALETTE old = palette_select(ctx, &created);
  for (;;) {
    band_blit(ctx, band, static_cast<int32_t>(ctx.visible.left + band.x),
              static_cast<int32_t>(ctx.visible.top + band.y));
    ++g_stats.bands;
    if (!band_next(ctx, plan, &x, &y)) break;
    band_place(ctx, plan, x, y, &band);
    if (!render(ctx, band)) break;
  }
  if (old != nullptr) pg_palette_select(ctx.hdc, old, 0);
  if (created != nullptr) pg_palette_delete(created);
}

// The fast kernel of plain copies: when the band would only repeat the
// image's own pixels (a depth the device takes as it is, identity lookup
// tables, no transparency), the image's rows go to the device in one
// StretchDIBits call that maps columns and rows exactly as the maps do,
// and no band is built. The device must clip as the draw would (no stored
// clip rectangle) and no printing progress be asked for.
bool direct_possible(const RenderContext& ctx) {
  if (!kernels_fast() || ctx.kind != RenderKind::kGeneric || ctx.transparent) return false;
  if (ctx.record->display.clip_on != 0 || (!ctx.is_display && ctx.status != nullptr)) return false;
  if (ctx.compression != RX_BI_RGB || ctx.target != ctx.bits || ctx.bits == 1 || ctx.bits == 16) return false;
  if (ctx.bits <= 8 && ctx.dither_mode == 2) return false;
  if (ctx.dev_w > INT32_MAX || ctx.dev_h > INT32_MAX) return false;
  for (int32_t v = 0; v < 256; ++v)
    if (ctx.lut_r[v] != v || ctx.lut_g[v] != v || ctx.lut_b[v] != v) return false;
  return true;
}

void direct_draw(RenderContext& ctx) {
  struct {
    RX_BITMAPINFOHEADER header;
    RX_RGBQUAD table[256];
  } info{};
  info.header = *dib_header(ctx.record->dib);
  const int32_t entries = band_table_entries(ctx.bits);
  if (entries > 0) std::copy(ctx.palette, ctx.palette + entries, info.table);
  HPALETTE created = nullptr;
  HPALETTE old = palette_select(ctx, &created);
  const int32_t y_src = static_cast<int32_t>(ctx.height - 1 - ctx.image.bottom);
  const bool drawn =
      !band_blit_refused() &&
      pg_stretch_dib_bits(ctx.hdc, static_cast<int32_t>(ctx.device.left), static_cast<int32_t>(ctx.device.top),
                          static_cast<int32_t>(ctx.dev_w), static_cast<int32_t>(ctx.dev_h),
                          static_cast<int32_t>(ctx.image.left), y_src, static_cast<int32_t>(ctx.src_w),
                          static_cast<int32_t>(ctx.src_h), ctx.pixels,
                          reinterpret_cast<const PG_BITMAPINFOHEADER*>(&info.header), DIB_RGB_COLORS, ctx.rop) != 0;
  if (!drawn) band_refused(ctx, IRect{ctx.visible});
  g_stats.bands = 1;
  if (old != nullptr) pg_palette_select(ctx.hdc, old, 0);
  if (created != nullptr) pg_palette_delete(created);
}

bool image_read(RenderContext& ctx) {
  const RX_BITMAPINFOHEADER* h = image_header(ctx.record);
  if (h == nullptr) return false;
  void* dib = ctx.record->dib;
  ctx.width = h->biWidth;
  ctx.height = h->biHeight;
  ctx.bits = h->biBitCount;
  ctx.compression = h->biCompression;
  ctx.pixels = dib_pixels(dib);
  ctx.stride = dib_stride_of(h);
  ctx.palette = dib_palette_entries(h->biBitCount, h->biCompression) != 0 ? dib_palette(dib) : nullptr;
  const DISPLAY_ATTR& d = ctx.record->display;
  ctx.lut_r = d.lut_red;
  ctx.lut_g = d.lut_green;
  ctx.lut_b = d.lut_blue;
  ctx.rotation = d.rotation;
  ctx.alias_mode = d.alias_mode;
  ctx.alias_quality = d.alias_quality;
  ctx.alias_variant = d.alias_variant;
  ctx.dither_mode = d.dither_mode;
  ctx.rop = d.rop;
  ctx.transparent = d.transparent_on != 0;
  std::memcpy(ctx.transparent_bgr, d.transparent_color, 3);
  ctx.device = device_rect_of(d);
  ctx.image = image_rect_of(d, ctx.width, ctx.height);
  return ctx.width > 0 && ctx.height > 0;
}

// The stored clip rectangle replaces the DC's clip box; the DC draws
// nothing outside its box, so the stored one is cut by it, which keeps
// the maps as small as what can be drawn.
IRect clip_of(const RenderContext& ctx) {
  const DISPLAY_ATTR& d = ctx.record->display;
  pg_rect box{};
  if (pg_clip_box_get(ctx.hdc, &box) == PG_REGION_ERROR) return IRect{};
  const IRect dc_box{box.left, box.top, box.right, box.bottom};
  if (d.clip_on == 0) return dc_box;
  return intersect(IRect{d.clip_rect[0], d.clip_rect[1], d.clip_rect[2], d.clip_rect[3]}, dc_box);
}

// The visible source span and where it starts. The span only moves back
// when it would pass the image's edge, and then ends at that edge.
void span_compute(RenderContext& ctx) {
  ctx.src_w = ctx.image.right - ctx.image.left + 1;
  ctx.src_h = ctx.image.bottom - ctx.image.top + 1;
  ctx.off_x = ctx.visible.left - ctx.device.left;
  ctx.off_y = ctx.visible.top - ctx.device.top;
  ctx.vis_w = static_cast<int32_t>(ctx.visible.width());
  ctx.vis_h = static_cast<int32_t>(ctx.visible.height());
  ctx.first_col = std::max<int64_t>(ctx.image.left + scale_floor(ctx.off_x, ctx.src_w, ctx.dev_w), 0);
  ctx.first_row = std::max<int64_t>(ctx.image.top + scale_floor(ctx.off_y, ctx.src_h, ctx.dev_h), 0);
  ctx.span_w = std::max<int64_t>(scale_floor(ctx.vis_w, ctx.src_w, ctx.dev_w), 1);
  ctx.span_h = std::max<int64_t>(scale_floor(ctx.vis_h, ctx.src_h, ctx.dev_h), 1);
  if (ctx.first_col + ctx.span_w > ctx.width) ctx.first_col = std::max<int64_t>(ctx.width - ctx.span_w, 0);
  if (ctx.first_row + ctx.span_h > ctx.height) ctx.first_row = std::max<int64_t>(ctx.height - ctx.span_h, 0);
  ctx.enlarged_v = ctx.vis_h > ctx.span_h;
}

void draw_steps(RenderContext& ctx) {
  if (!image_read(ctx)) return;
  ctx.device_bits = pg_device_caps(ctx.hdc, PG_BITSPIXEL) * pg_device_caps(ctx.hdc, PG_PLANES);
  ctx.is_display = pg_device_caps(ctx.hdc, PG_TECHNOLOGY) == PG_DT_RASDISPLAY;
  ctx.clip = clip_of(ctx);
  if (!ctx.transparent) paint_background(ctx.hdc, ctx.record->display, ctx.device, ctx.clip);
  ctx.dev_w = ctx.device.width();
  ctx.dev_h = ctx.device.height();
  ctx.visible = intersect(ctx.device, ctx.clip);
  if (ctx.dev_w <= 0 || ctx.dev_h <= 0 || ctx.visible.empty()) return;
  span_compute(ctx);
  ctx.target = band_target_depth(TargetQuery{ctx.device_bits, ctx.bits, ctx.dither_mode, ctx.alias_mode,
                                             ctx.is_display, ctx.rotation, ctx.dev_w, ctx.dev_h,
                                             ctx.src_w, ctx.src_h});
  g_stats.target = ctx.target;
  if (!ctx.is_display) RPb_status_callback_get(&ctx.status, &ctx.status_user);
  if (!render_choose(ctx)) return;
  g_stats.kind = ctx.kind;
  if (direct_possible(ctx)) return direct_draw(ctx);
  if (!render_maps_build(ctx)) return;
  g_stats.map_bytes = ctx.scratch_bytes;
  Renderer render = render_prepare(ctx);
  if (render != nullptr) bands_draw(ctx, render);
}

}  // namespace

const DrawStats& display_last_draw_stats() { return g_stats; }

int32_t display_draw(IMAGE_REC* record, HDC hdc) {
  const int32_t kept_mode = pg_map_mode_set(hdc, MM_TEXT);
  if (kept_mode == 0) {
    RX_ERR(RXE_INVALID_HANDLE, 0, 0);
    return error_count();
  }
  g_stats = DrawStats{};
  // A status callback must not delete or replace the image under the draw.
  const bool locked = record_lock(record) != 0;
  {
    TagGuard tag;
    RenderContext ctx;
    ctx.record = record;
    ctx.tag = tag.tag();
    ctx.hdc = hdc;
    draw_steps(ctx);
    g_stats.scratch_bytes = ctx.scratch_bytes;
  }
  if (locked) record_unlock(record);
  pg_map_mode_set(hdc, kept_mode);
  return error_count();
}

}  // namespace rx

using namespace rx;

extern "C" int32_t RX_display_image(RX_HIMAGE image, uintptr_t dc) {
  IMAGE_REC* record = image_enter(image);
  if (record == nullptr) return 0;
  return display_draw(record, reinterpret_cast<HDC>(dc));
}
