// Choosing a draw's renderer and building what it reads: the column and
// row maps, the runs map and cell columns, and the converter's tables.
#include <algorithm>
#include <bit>
#include <cstring>

#include "DISPLAY/extension_48.h"
#include "DISPLAY/render_context.h"
#include "SUPPORT/dib.h"
#include "SUPPORT/error.h"
#include "SUPPORT/kernels.h"

RX_SOURCE("source\\DISPLAY\\render_setup.cpp");

namespace rx {
namespace {

constexpr int32_t kAliasKeepBlack = 1;
constexpr int32_t kExactQuality = 100;

// out[i] = f(floor((offset + i) * num / den)) for i in [0, count), num and
// den positive, stepped exactly without a division per entry.
template <typename F>
void fill_map(int32_t* out, int64_t count, int64_t offset, int64_t num, int64_t den, F f) {
  const Int128 p = static_cast<Int128>(offset) * num;
  Int128 q = p / den;
  int64_t r = static_cast<int64_t>(p % den);
  if (r < 0) {
    r += den;
    --q;
  }
  const int64_t q_step = num / den, r_step = num % den;
  for (int64_t i = 0; i < count; ++i) {
    out[i] = f(q);
    q += q_step;
    r += r_step;
    if (r >= den) {
      r -= den;
      ++q;
    }
  }
}

int32_t held(Int128 v, int64_t low, int64_t high) {
  return static_cast<int32_t>(v < low ? low : v > high ? high : v);
}

int32_t* map_alloc(RenderContext& ctx, int64_t entries) {
  return static_cast<int32_t*>(render_alloc(ctx, entries * static_cast<int64_t>(sizeof(int32_t))));
}

// Visible column -> source column relative to the span's first column.
bool columns_build(RenderContext& ctx) {
  ctx.col_map = map_alloc(ctx, ctx.vis_w + 1);
  if (ctx.col_map == nullptr) return false;
  const int64_t base = ctx.first_col - ctx.image.left;
  fill_map(ctx.col_map, ctx.vis_w + 1, ctx.off_x, ctx.src_w, ctx.dev_w,
           [&](Int128 q) { return held(q - base, INT32_MIN, INT32_MAX); });
  return true;
}

// Visible row -> source row relative to the image rectangle's top; turned
// upside down for rotation 180.
bool rows_build(RenderContext& ctx, int64_t entries, bool mirrored) {
  ctx.row_map = map_alloc(ctx, entries);
  if (ctx.row_map == nullptr) return false;
  auto keep = [](Int128 q) { return held(q, INT32_MIN, INT32_MAX); };
  if (!mirrored) {
    fill_map(ctx.row_map, entries, ctx.off_y, ctx.src_h, ctx.dev_h, keep);
    return true;
  }
  // Entry i is the row of device row dev_h - 1 - (off_y + i): fill the
  // ascending run and reverse it.
  fill_map(ctx.row_map, entries, ctx.dev_h - ctx.off_y - entries, ctx.src_h, ctx.dev_h, keep);
  std::reverse(ctx.row_map, ctx.row_map + entries);
  return true;
}

// Turned images: visible column -> source row (image top row at the
// right for 90 degrees, at the left for 270).
bool turned_rows_build(RenderContext& ctx) {
  const int64_t entries = ctx.vis_w;
  ctx.row_map = map_alloc(ctx, entries);
  if (ctx.row_map == nullptr) return false;
  auto keep = [](Int128 q) { return held(q, INT32_MIN, INT32_MAX); };
  if (ctx.rotation == 3) {
    fill_map(ctx.row_map, entries, ctx.off_x, ctx.src_h, ctx.dev_w, keep);
  } else {
    fill_map(ctx.row_map, entries, ctx.dev_w - ctx.off_x - entries, ctx.src_h, ctx.dev_w, keep);
    std::reverse(ctx.row_map, ctx.row_map + entries);
  }
  return true;
}

// Image column c -> its left edge along the device axis the columns run
// on (device columns, or device rows when turned), relative to the
// visible rectangle; mirrored maps give the right edge of column c - 1.
bool runs_map_build(RenderContext& ctx) {
  const bool turned = ctx.rotation == 1 || ctx.rotation == 3;
  const bool mirrored = ctx.rotation == 2 || ctx.rotation == 3;
  const int64_t extent = turned ? ctx.dev_h : ctx.dev_w;
  const int64_t offset = turned ? ctx.off_y : ctx.off_x;
  const int64_t visible = turned ? ctx.vis_h : ctx.vis_w;
  ctx.runs_map = map_alloc(ctx, int64_t{ctx.width} + 1);
  if (ctx.runs_map == nullptr) return false;
  fill_map(ctx.runs_map, int64_t{ctx.width} + 1, -ctx.image.left, extent, ctx.src_w,
           [&](Int128 q) {
             const Int128 pos = mirrored ? extent - q - offset : q - offset;
             return held(pos, -1, visible + 1);
           });
  return true;
}

// Runs cells: the first source column of each visible column's cell, the
// least column whose left edge lies at or past it.
bool cell_columns_build(RenderContext& ctx) {
  ctx.cell_cols = map_alloc(ctx, ctx.vis_w + 1);
  if (ctx.cell_cols == nullptr) return false;
  for (int64_t x = 0; x <= ctx.vis_w; ++x)
    ctx.cell_cols[x] = held(ctx.image.left + scale_ceil(ctx.off_x + x, ctx.src_w, ctx.dev_w),
                            INT32_MIN, INT32_MAX);
  return true;
}

bool counts_build(RenderContext& ctx) {
  ctx.counts = static_cast<uint32_t*>(render_alloc(ctx, int64_t{ctx.vis_w} * 4));
  return ctx.counts != nullptr;
}

bool cells_kind(RenderKind k) { return k != RenderKind::kGeneric && k != RenderKind::kRuns &&
                                       k != RenderKind::kRunsTurned; }
bool runs_kind(RenderKind k) {
  return k == RenderKind::kRuns || k == RenderKind::kRunsTurned || k == RenderKind::kRunsReduce ||
         k == RenderKind::kRunsReduceExact || k == RenderKind::kRunsReduceInk ||
         k == RenderKind::kRunsGray || k == RenderKind::kRunsGrayInk;
}

RenderKind one_bit_kind(const RenderContext& ctx) {
  const bool reduced = ctx.dev_w < ctx.src_w && ctx.dev_h < ctx.src_h;
  const bool keep_black = ctx.alias_mode == kAliasKeepBlack && reduced;
  if (ctx.compression != RX_BI_RUNS) return keep_black ? RenderKind::kCellsReduce : RenderKind::kGeneric;
  if (ctx.rotation == 1 || ctx.rotation == 3) return RenderKind::kRunsTurned;
  if (ctx.rotation == 2 || !keep_black) return RenderKind::kRuns;
  if (ctx.is_display && ctx.alias_variant != 0) return RenderKind::kRunsReduceInk;
  return ctx.alias_quality == kExactQuality ? RenderKind::kRunsReduceExact : RenderKind::kRunsReduce;
}

RenderKind gray_kind(const RenderContext& ctx) {
  const bool ink = ctx.alias_variant != 0;
  if (ctx.compression == RX_BI_RUNS) return ink ? RenderKind::kRunsGrayInk : RenderKind::kRunsGray;
  return ink ? RenderKind::kCellsGrayInk : RenderKind::kCellsGray;
}

// A plain 16-bit DIB stores no masks: its pixels are 5-5-5, red highest.
constexpr uint32_t kPlain16Masks[3] = {0x7C00, 0x03E0, 0x001F};

uint32_t mask_at(const RenderContext& ctx, int k) {
  if (dib_mask_bytes(ctx.compression) == 0) return kPlain16Masks[k];
  uint32_t m = 0;
  std::memcpy(&m, dib_masks(ctx.record->dib) + 4 * k, 4);
  return m;
}

// 16-bit colour: each channel through its mask, cut to at most 8 bits,
// then spread over 0..255 by rounding. A mask with gaps counts from its
// lowest to its highest bit.
void channel_tables(RenderContext& ctx) {
  for (int k = 0; k < 3; ++k) {
    const uint32_t m = mask_at(ctx, k) & 0xFFFF;
    const int32_t shift = m == 0 ? 0 : std::countr_zero(m);
    const int32_t span = m == 0 ? 0 : 32 - std::countl_zero(m >> shift);
    ctx.args.mask[k] = m;
    ctx.args.mask_shift[k] = shift;
    ctx.args.mask_drop[k] = std::max(span - 8, 0);
    const int32_t levels = (1 << std::min(span, 8)) - 1;
    for (int32_t v = 0; v < 256; ++v)
      ctx.scale[k][v] = static_cast<uint8_t>(levels == 0 ? 0 : (std::min(v, levels) * 255 + levels / 2) / levels);
    ctx.args.scale[k] = ctx.scale[k];
  }
}

bool identity(const uint8_t* lut) {
  for (int32_t v = 0; v < 256; ++v)
    if (lut[v] != v) return false;
  return true;
}

bool generic_prepare(RenderContext& ctx) {
  ctx.convert = row_converter(ctx.target, ctx.bits, ctx.compression, ctx.dither_mode, kernels_fast());
  if (ctx.convert == nullptr) {
    RX_ERR(RXE_INVALID_BIT_COUNT, ctx.bits, ctx.target);
    return false;
  }
  RowArgs& a = ctx.args;
  a.lut_r = ctx.lut_r;
  a.lut_g = ctx.lut_g;
  a.lut_b = ctx.lut_b;
  a.identity_luts = identity(ctx.lut_r) && identity(ctx.lut_g) && identity(ctx.lut_b);
  a.first = ctx.first_col;
  a.width = ctx.width;
  a.unit_map = true;
  for (int32_t i = 1; i < ctx.vis_w && a.unit_map; ++i) a.unit_map = ctx.col_map[i] == ctx.col_map[0] + i;
  if (ctx.bits <= 8 && ctx.palette != nullptr) {
    for (int32_t i = 0; i < (1 << ctx.bits); ++i) {
      ctx.pal_rgb[3 * i] = ctx.lut_r[ctx.palette[i].rgbRed];
      ctx.pal_rgb[3 * i + 1] = ctx.lut_g[ctx.palette[i].rgbGreen];
      ctx.pal_rgb[3 * i + 2] = ctx.lut_b[ctx.palette[i].rgbBlue];
    }
  }
  a.pal_rgb = ctx.pal_rgb;
  if (ctx.bits == 16 && ctx.compression == RX_BI_GRAY16) {
    a.gray_mask = mask_at(ctx, 0) & 0xFFFF;
    a.gray_shift = std::max(std::popcount(a.gray_mask) - 8, 0);
  } else if (ctx.bits == 16) {
    channel_tables(ctx);
  }
  return true;
}

}  // namespace

void* render_alloc(RenderContext& ctx, int64_t bytes) {
  void* p = bytes > 0 ? RPb_AF_mem_alloc(ctx.tag, static_cast<size_t>(bytes)) : nullptr;
  if (p == nullptr) {
    RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, bytes, ctx.tag);
    return nullptr;
  }
  ctx.scratch_bytes += bytes;
  return p;
}

bool render_choose(RenderContext& ctx) {
  if (ctx.bits == 16 && !display_extension_loaded()) {
    RX_ERR(RXE_EXTENSION_NOT_PRESENT, kDisplayExtensionNumber, ctx.bits);
    return false;
  }
  ctx.kind = RenderKind::kGeneric;
  if (ctx.bits == 1 && ctx.target == 1) ctx.kind = one_bit_kind(ctx);
  if (ctx.bits == 1 && ctx.target == 4) ctx.kind = gray_kind(ctx);
  return true;
}

bool render_maps_build(RenderContext& ctx) {
  const RenderKind k = ctx.kind;
  if (k == RenderKind::kRunsTurned) return runs_map_build(ctx) && turned_rows_build(ctx);
  const bool mirrored = ctx.rotation == 2 && runs_kind(k);
  if (!rows_build(ctx, int64_t{ctx.vis_h} + 1, mirrored)) return false;
  if (k == RenderKind::kRuns) return runs_map_build(ctx);
  if (runs_kind(k)) return runs_map_build(ctx) && cell_columns_build(ctx) && counts_build(ctx);
  if (!columns_build(ctx)) return false;
  return !cells_kind(k) || counts_build(ctx);
}

Renderer render_prepare(RenderContext& ctx) {
  if (ctx.bits == 1 && ctx.palette != nullptr) {
    auto grey = [](const RX_RGBQUAD& c) { return c.rgbRed * 77 + c.rgbGreen * 151 + c.rgbBlue * 28; };
    ctx.ink_is_one = grey(ctx.palette[1]) < grey(ctx.palette[0]);
  }
  switch (ctx.kind) {
    case RenderKind::kGeneric: return generic_prepare(ctx) ? render_generic : nullptr;
    case RenderKind::kRuns: return render_runs;
    case RenderKind::kRunsTurned: return render_runs_turned;
    default: return render_cells;
  }
}

bool render_progress(RenderContext& ctx, int64_t row_entry) {
  if (ctx.status == nullptr || row_entry == ctx.last_progress_row) return true;
  ctx.last_progress_row = row_entry;
  const int64_t row = std::clamp<int64_t>(row_entry - (ctx.first_row - ctx.image.top), 0,
                                          std::max<int64_t>(ctx.span_h - 1, 0));
  if (ctx.status(ctx.status_user, static_cast<int32_t>(row), static_cast<int32_t>(ctx.span_h)) != 0)
    return true;
  RX_ERR(RXE_INTERRUPTED_BY_USER, row, ctx.span_h);
  return false;
}

void bits_clear(uint8_t* row, int64_t x0, int64_t x1) {
  if (x0 >= x1) return;
  const int64_t b0 = x0 >> 3, b1 = (x1 - 1) >> 3;
  const uint8_t head = static_cast<uint8_t>(0xFFu >> (x0 & 7));
  const uint8_t tail = static_cast<uint8_t>(0xFFu << (7 - ((x1 - 1) & 7)));
  if (b0 == b1) {
    row[b0] = static_cast<uint8_t>(row[b0] & ~(head & tail));
    return;
  }
  row[b0] = static_cast<uint8_t>(row[b0] & ~head);
  if (b1 > b0 + 1) std::memset(row + b0 + 1, 0, static_cast<size_t>(b1 - b0 - 1));
  row[b1] = static_cast<uint8_t>(row[b1] & ~tail);
}

}  // namespace rx
