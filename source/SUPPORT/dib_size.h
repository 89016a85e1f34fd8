// DIB geometry: stride, palette and mask sizes, and the one checked helper
// through which every width, height and depth from a file or a caller goes
// before anything is allocated or indexed.
#pragma once

#include <cstdint>

#include "rastrix/rx_types.h"

namespace rx {

static_assert(sizeof(RX_BITMAPINFOHEADER) == 40, "the DIB header is 40 bytes");
static_assert(sizeof(RX_RGBQUAD) == 4, "a palette entry is 4 bytes");

inline constexpr uint32_t kDibHeaderBytes = 40;
inline constexpr uint32_t kMaskBytes = 12;

// The largest DIB the engine builds: its size must fit biSizeImage and the
// 31-bit stream positions through which images are written.
inline constexpr uint64_t kMaxDibBytes = 0x7FFFFFFFu;
// Run rows store columns and their own byte length in 16 bits; the longest
// run row of a width w is 2 w + 10 bytes, so 1-bit images are limited to
// this width.
inline constexpr int64_t kMaxRunsWidth = 32762;

// Bytes per raster: rows padded to 32 bits.
constexpr uint64_t dib_stride(uint64_t bits, uint64_t width) { return (bits * width + 31) / 32 * 4; }

constexpr bool dib_bits_valid(int64_t bits) {
  return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24;
}

// Palette entries stored in the DIB: the full 2^bits up to 8 bits, and
// 2^bits for the large-palette layout.
constexpr uint32_t dib_palette_entries(uint32_t bits, uint32_t compression) {
  if (bits <= 8 || compression == RX_BI_BIGPAL) return bits >= 32 ? 0 : (1u << bits);
  return 0;
}

constexpr uint32_t dib_mask_bytes(uint32_t compression) {
  return (compression == RX_BI_BITFIELDS || compression == RX_BI_GRAY16 ||
          compression == RX_BI_BIGPAL)
             ? kMaskBytes
             : 0;
}

struct DibGeometry {
  uint32_t stride;       // bytes per raster
  uint32_t palette;      // palette bytes
  uint32_t masks;        // mask bytes after the palette
  uint32_t pixel_bytes;  // stride x height
  uint32_t total;        // header + palette + masks + pixels
};

// Checks a width, height, depth and compression in 64-bit arithmetic
// against kMaxDibBytes and fills the geometry. False when any of them is out
// of range. The runs width limit is checked where a runs DIB is made.
constexpr bool dib_geometry(int64_t width, int64_t height, int64_t bits, uint32_t compression,
                            DibGeometry* out) {
  if (width <= 0 || height <= 0 || !dib_bits_valid(bits)) return false;
  if (width > 0x7FFFFFFF || height > 0x7FFFFFFF) return false;
  const uint64_t stride = dib_stride(static_cast<uint64_t>(bits), static_cast<uint64_t>(width));
  const uint64_t palette =
      uint64_t{dib_palette_entries(static_cast<uint32_t>(bits), compression)} * 4;
  const uint64_t masks = dib_mask_bytes(compression);
  if (stride > kMaxDibBytes) return false;
  const uint64_t pixels = stride * static_cast<uint64_t>(height);
  const uint64_t total = kDibHeaderBytes + palette + masks + pixels;
  if (pixels > kMaxDibBytes || total > kMaxDibBytes) return false;
  if (out != nullptr) {
    out->stride = static_cast<uint32_t>(stride);
    out->palette = static_cast<uint32_t>(palette);
    out->masks = static_cast<uint32_t>(masks);
    out->pixel_bytes = static_cast<uint32_t>(pixels);
    out->total = static_cast<uint32_t>(total);
  }
  return true;
}

static_assert(dib_stride(1, 1) == 4);
static_assert(dib_stride(24, 3) == 12);
static_assert(dib_stride(4, 9) == 8);
static_assert(!dib_geometry(70000, 70000, 24, 0, nullptr));
static_assert(!dib_geometry(0x7FFFFFFF, 0x7FFFFFFF, 24, 0, nullptr));

}  // namespace rx
