// Band colour tables. 1-bit bands of 1-bit images take the image's two
// entries unchanged; of other images, black and white. 4-bit bands show 1-bit
// images in 16 greys, 4-bit images through the lookup tables, and others
// in the 16-colour palette. 8-bit bands show palette images through the
// lookup tables (the 3-3-2 cube in dither mode 2), 16-bit grey images as a
// grey ramp through the tables and true-colour images in the 3-3-2 cube.
#include "DISPLAY/band_colours.h"

#include <algorithm>
#include <cstring>

#include "SUPPORT/fixed_palettes.h"

namespace rx {
namespace {

void through_luts(const RenderContext& ctx, int32_t count, RX_RGBQUAD* out) {
  for (int32_t i = 0; i < count; ++i) {
    const RX_RGBQUAD& p = ctx.palette[i];
    out[i] = RX_RGBQUAD{ctx.lut_b[p.rgbBlue], ctx.lut_g[p.rgbGreen], ctx.lut_r[p.rgbRed], 0};
  }
}

template <size_t N>
void fixed(const std::array<RX_RGBQUAD, N>& table, RX_RGBQUAD* out) {
  std::copy(table.begin(), table.end(), out);
}

}  // namespace

void band_colour_table(const RenderContext& ctx, RX_RGBQUAD* out) {
  const int32_t entries = band_table_entries(ctx.target);
  std::memset(out, 0, static_cast<size_t>(entries) * sizeof(RX_RGBQUAD));
  const int32_t bits = ctx.bits;
  switch (ctx.target) {
    case 1:
      if (bits == 1 && ctx.palette != nullptr) {
        out[0] = ctx.palette[0];
        out[1] = ctx.palette[1];
      } else {
        out[1] = RX_RGBQUAD{255, 255, 255, 0};
      }
      return;
    case 4:
      if (bits == 1) fixed(kGrayRamp16, out);
      else if (bits == 4 && ctx.palette != nullptr) through_luts(ctx, 16, out);
      else fixed(kPalette16, out);
      return;
    case 8:
      if ((bits == 4 || bits == 8) && ctx.dither_mode != 2 && ctx.palette != nullptr) {
        through_luts(ctx, 1 << bits, out);
      } else if (bits == 16 && ctx.compression == RX_BI_GRAY16) {
        for (int32_t i = 0; i < 256; ++i) out[i] = RX_RGBQUAD{ctx.lut_b[i], ctx.lut_g[i], ctx.lut_r[i], 0};
      } else {
        fixed(kPalette332, out);
      }
      return;
    default: return;
  }
}

}  // namespace rx
