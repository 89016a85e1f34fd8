// The colour table written into each band DIB, by band depth and image.
#pragma once

#include <cstdint>

#include "DISPLAY/render_context.h"

namespace rx {

// Entries a band of this depth carries (2^depth up to 8 bits, else none).
inline int32_t band_table_entries(int32_t depth) { return depth <= 8 ? 1 << depth : 0; }

// Writes band_table_entries(ctx.target) entries.
void band_colour_table(const RenderContext& ctx, RX_RGBQUAD* out);

}  // namespace rx
