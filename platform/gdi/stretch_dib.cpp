// Drawing packed DIBs into a DC.
#include <cstdlib>

#include "gdi_internal.h"

namespace pg {
namespace {

// Header sizes from the plain 40-byte header to the largest extended one;
// the colour table follows the header.
constexpr uint32_t kMinHeader = 40, kMaxHeader = 124;
// A DIB of more than 2^31 bytes is refused whatever the caller says.
constexpr int64_t kMaxDibBytes = int64_t{1} << 31;

}  // namespace
}  // namespace pg

using namespace pg;

extern "C" int32_t pg_stretch_dib_bits(HDC hdc, int32_t x, int32_t y, int32_t width, int32_t height,
                                       int32_t x_src, int32_t y_src, int32_t width_src, int32_t height_src,
                                       const void* bits, const PG_BITMAPINFOHEADER* info, uint32_t usage,
                                       uint32_t rop) {
  auto dst = dc_of(hdc);
  if (!dst || info == nullptr || usage != DIB_RGB_COLORS) return 0;
  const PG_BITMAPINFOHEADER h = *info;
  int32_t bpp = h.biBitCount;
  if (h.biSize < kMinHeader || h.biSize > kMaxHeader || h.biPlanes != 1 || h.biCompression != 0) return 0;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return 0;
  if (h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == INT32_MIN) return 0;
  int64_t rows = std::llabs(int64_t{h.biHeight});
  int64_t stride = stride_for(h.biWidth, bpp, 4);
  if (stride * rows > kMaxDibBytes) return 0;
  if (width_src == 0 || height_src == 0 || width == 0 || height == 0) return 0;
  bool uses_source = rop_info(rop_index(rop)).uses_source;
  if (uses_source && bits == nullptr) return 0;

  uint32_t colours[256] = {};
  if (bpp <= 8) {
    uint32_t n = 1u << bpp;
    // More colours than the depth can index is a broken header: refused
    // rather than read past the table the caller gave.
    if (h.biClrUsed > n) return 0;
    uint32_t used = h.biClrUsed == 0 ? n : h.biClrUsed;
    const auto* table =
        reinterpret_cast<const pg_rgb_quad*>(reinterpret_cast<const uint8_t*>(info) + h.biSize);
    for (uint32_t i = 0; i < used; ++i) colours[i] = bgr(table[i].red, table[i].green, table[i].blue);
  }

  Source src;
  src.bits = static_cast<const uint8_t*>(bits);
  src.stride = stride;
  src.width = h.biWidth;
  src.height = static_cast<int32_t>(rows);
  src.bpp = bpp;
  src.bottom_up = h.biHeight > 0;
  src.from_dib = true;
  src.lut_colours = colours;

  // The source rectangle counts from the lower-left corner of a bottom-up
  // DIB; the blitter counts rows from the top.
  int64_t sy = y_src;
  if (src.bottom_up) {
    int64_t b0 = height_src < 0 ? int64_t{y_src} + height_src : y_src;
    int64_t b1 = b0 + std::llabs(int64_t{height_src});
    sy = height_src < 0 ? rows - b0 : rows - b1;
  }
  BlitRequest req{x, y, width, height, x_src, sy, width_src, height_src, rop};
  if (!blit(*dst, uses_source ? &src : nullptr, req)) return 0;
  return static_cast<int32_t>(std::llabs(int64_t{height_src}) > INT32_MAX ? INT32_MAX : std::llabs(int64_t{height_src}));
}
