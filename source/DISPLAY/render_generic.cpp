// The generic band renderer: one converter call per band row, the source
// row from the row map. Where the image is enlarged vertically, a band row
// that shows the same source row as the row above is a copy of it.
#include <cstring>

#include "DISPLAY/render_context.h"

namespace rx {

bool render_generic(RenderContext& ctx, Band& band) {
  RowArgs a = ctx.args;
  a.map = ctx.col_map + band.x;
  a.count = band.width;
  a.col_phase = column_phase(ctx, band.x);
  int64_t previous = -1;
  for (int32_t r = 0; r < band.height; ++r) {
    const int32_t visible_row = band.y + r;
    const int64_t entry = ctx.row_map[visible_row];
    uint8_t* out = band.row(r);
    if (r > 0 && ctx.enlarged_v && entry == previous) {
      std::memcpy(out, band.row(r - 1), static_cast<size_t>(band.row_bytes));
      continue;
    }
    if (!render_progress(ctx, entry)) return false;
    a.src = image_row_bits(ctx, ctx.image.top + entry);
    const int32_t following = visible_row + 1 < ctx.vis_h ? ctx.row_map[visible_row + 1] : -1;
    a.next = following > entry ? image_row_bits(ctx, ctx.image.top + following) : nullptr;
    a.row_phase = row_phase(ctx, visible_row);
    ctx.convert(a, out);
    previous = entry;
  }
  return true;
}

}  // namespace rx
