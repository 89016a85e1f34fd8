// One draw of an image into a device context: the render context built on
// the stack for the call, the band it renders into, and the renderers and
// row converters that fill bands.
#pragma once

#include <cstdint>

#include "DISPLAY/display_geometry.h"
#include "DISPLAY/row_convert.h"
#include "SUPPORT/image_rec.h"
#include "platform/gdi.h"
#include "rastrix/rx_types.h"

namespace rx {

// Bands, header and colour table included, never exceed this many bytes,
// so that any image draws through a small temporary buffer.
inline constexpr int64_t kBandBudget = 65535;

// The renderers, by kind (render_generic.cpp, render_runs.cpp,
// render_cells.cpp). Each needs the maps render_maps_build makes for it.
enum class RenderKind {
  kGeneric,         // a row converter per band row
  kRuns,            // runs rows, rotation 0 or 180
  kRunsTurned,      // runs rows, rotation 90 or 270
  kCellsReduce,     // plain 1-bit rows, zero-preserving reduction
  kCellsGray,       // plain 1-bit rows, scale-to-gray
  kRunsReduce,      // runs rows, zero-preserving reduction
  kRunsReduceExact, // ... with each cell's own threshold (quality 100)
  kRunsReduceInk,   // ... keeping every black pixel (variant)
  kRunsGray,        // runs rows, scale-to-gray
  kRunsGrayInk,     // ... with ink counted double (variant)
  kCellsGrayInk,    // plain 1-bit rows, scale-to-gray with ink counted double
};

// The part of a draw the band renderers see.
struct RenderContext {
  IMAGE_REC* record = nullptr;
  uint32_t tag = 0;
  HDC hdc = nullptr;
  bool is_display = true;  // a raster display (else a printer and the like)
  int32_t device_bits = 0;

  // The image.
  int32_t width = 0, height = 0, bits = 0;
  uint32_t compression = 0;
  const uint8_t* pixels = nullptr;
  int64_t stride = 0;
  const RX_RGBQUAD* palette = nullptr;
  const uint8_t* lut_r = nullptr;
  const uint8_t* lut_g = nullptr;
  const uint8_t* lut_b = nullptr;

  // Display attributes.
  int32_t rotation = 0, alias_mode = 0, alias_quality = 0, alias_variant = 0, dither_mode = 0;
  uint32_t rop = 0;
  bool transparent = false;
  uint8_t transparent_bgr[3] = {};

  // Geometry. The image rectangle is inclusive, the others exclusive.
  IRect device{}, image{}, clip{}, visible{};
  int64_t dev_w = 0, dev_h = 0;  // device rectangle size
  int64_t src_w = 0, src_h = 0;  // image rectangle size
  int64_t off_x = 0, off_y = 0;  // visible rectangle's corner inside the device rectangle
  int64_t first_col = 0, first_row = 0, span_w = 0, span_h = 0;  // visible source span
  int32_t vis_w = 0, vis_h = 0;
  int32_t target = 0;  // band depth
  RenderKind kind = RenderKind::kGeneric;
  bool enlarged_v = false;  // more visible rows than source rows: repeated rows are copied
  bool ink_is_one = false;  // 1-bit images whose entry 1 is the darker: scale-to-gray counts 1s

  // Maps (scratch memory of the draw's tag).
  int32_t* col_map = nullptr;  // visible column -> source column - first_col (vis_w + 1)
  int32_t* row_map = nullptr;  // visible row (or column when turned) -> source row - image top
  // Runs images: image column -> position of its edge along the device
  // axis it runs on, relative to the visible rectangle and held to
  // -1 .. visible extent + 1 (width + 1 entries); decreasing when mirrored.
  int32_t* runs_map = nullptr;
  int32_t* cell_cols = nullptr;  // runs cells: visible column -> first source column (vis_w + 1)
  uint32_t* counts = nullptr;    // cell renderers: one counter per band column

  // The generic renderer's converter and its per-draw tables.
  RowConverter convert = nullptr;
  RowArgs args{};
  uint8_t pal_rgb[3 * 256] = {};
  uint8_t scale[3][256] = {};

  // Printing progress.
  RX_STATUS_CB status = nullptr;
  uintptr_t status_user = 0;
  int64_t last_progress_row = -1;

  int64_t scratch_bytes = 0;  // what the draw allocated, for the draw statistics
};

// One band: a packed DIB (header, colour table, bits) covering
// width x height device pixels at (x, y) inside the visible rectangle.
struct Band {
  uint8_t* block = nullptr;
  RX_BITMAPINFOHEADER* header = nullptr;
  RX_RGBQUAD* table = nullptr;
  int32_t table_entries = 0;
  uint8_t* bits = nullptr;
  uint8_t* keep = nullptr;  // transparency: a copy of the bits or the table
  int32_t depth = 0;
  int32_t x = 0, y = 0, width = 0, height = 0;
  int64_t row_bytes = 0;
  bool bottom_up = true;  // handed to StretchDIBits; false for the monochrome bitmap path

  uint8_t* row(int32_t r) const {
    return bits + static_cast<int64_t>(bottom_up ? height - 1 - r : r) * row_bytes;
  }
};

// Fills a band; false when it pushed an error (the draw then stops).
using Renderer = bool (*)(RenderContext& ctx, Band& band);

// Reports printing progress for a new source row (relative to the image
// rectangle's top); false, with RXE_INTERRUPTED_BY_USER pushed, when the
// status callback asked to stop.
bool render_progress(RenderContext& ctx, int64_t row_entry);

// The start of the DIB row that holds image row `image_row` (from the top).
inline const uint8_t* image_row_bits(const RenderContext& ctx, int64_t image_row) {
  return ctx.pixels + (ctx.height - 1 - image_row) * ctx.stride;
}

// Dither phases: columns from the device rectangle's left edge, rows from
// its bottom edge, so the pattern stays put across bands and repaints.
inline int32_t column_phase(const RenderContext& ctx, int64_t visible_col) {
  return static_cast<int32_t>((ctx.off_x + visible_col) & 7);
}
inline int32_t row_phase(const RenderContext& ctx, int64_t visible_row) {
  return static_cast<int32_t>((ctx.device.bottom - 1 - (ctx.visible.top + visible_row)) & 7);
}

// Clears bits [x0, x1) of a packed 1-bit row (most significant bit first).
void bits_clear(uint8_t* row, int64_t x0, int64_t x1);


// Chooses the renderer for the target depth into ctx.kind; false when the
// image cannot be drawn (pushed).
bool render_choose(RenderContext& ctx);
// Allocates and fills the maps ctx.kind needs; false on failure (pushed).
bool render_maps_build(RenderContext& ctx);
// Prepares the per-draw tables of ctx.kind and returns its renderer.
Renderer render_prepare(RenderContext& ctx);

// Scratch memory of the draw's tag, counted; null with
// RXE_GLOBAL_MEMORY_DEPLETED pushed when it cannot be had.
void* render_alloc(RenderContext& ctx, int64_t bytes);

bool render_generic(RenderContext& ctx, Band& band);
bool render_runs(RenderContext& ctx, Band& band);
bool render_runs_turned(RenderContext& ctx, Band& band);
bool render_cells(RenderContext& ctx, Band& band);

}  // namespace rx
