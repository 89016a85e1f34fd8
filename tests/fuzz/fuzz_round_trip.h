// What the reader fuzz targets share: a loaded image is saved again and
// reloaded, and any difference in its pixels is a finding, since a writer
// and its reader must agree.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "rastrix/rastrix.h"

namespace fuzz {

// Images above this many pixel bytes are loaded but not saved again; the
// code paths are the same as for smaller ones, only slower.
inline constexpr int64_t kRoundTripBytes = 1 << 20;

inline int64_t stride_of(int64_t width, int64_t bits) { return (bits * width + 31) / 32 * 4; }

// Row r of an image, the padding bits past the width cleared.
inline std::vector<uint8_t> row_of(RX_HIMAGE image, int32_t r, int32_t width, int32_t bits) {
  std::vector<uint8_t> row(static_cast<size_t>(stride_of(width, bits)));
  if (RX_DIB_raster_get(image, r, row.data(), RX_ROW_PACKED) != 0) abort();
  const int64_t used = int64_t{width} * bits;
  for (int64_t bit = used; bit < static_cast<int64_t>(row.size()) * 8; ++bit)
    row[bit / 8] &= static_cast<uint8_t>(~(0x80 >> (bit % 8)));
  return row;
}

// Saves `image` to memory with the save code `format` (format code and
// options), loads it back and aborts on any difference. `slack` is what the
// writer may need beyond twice the pixel bytes (headers, tables).
inline void round_trip(RX_HIMAGE image, int32_t format, int64_t slack) {
  int32_t width = 0, height = 0, bits = 0;
  if (RX_image_dimensions_get(image, &width, &height, &bits) != 0) abort();
  const int64_t pixels = stride_of(width, bits) * height;
  if (pixels > kRoundTripBytes) return;
  std::vector<uint8_t> file(static_cast<size_t>(2 * pixels + 2 * height + slack));
  int32_t size = 0;
  if (RX_image_save_memory(image, file.data(), 0, static_cast<int32_t>(file.size()), 0, 1, format,
                           &size) != 0)
    abort();
  RX_HIMAGE again = 0;
  if (RX_image_load_memory(file.data(), size, 1, 1, &again) != 0) abort();
  int32_t w2 = 0, h2 = 0, b2 = 0;
  RX_image_dimensions_get(again, &w2, &h2, &b2);
  if (w2 != width || h2 != height || b2 != bits) abort();
  for (int32_t r = 0; r < height; ++r)
    if (row_of(image, r, width, bits) != row_of(again, r, width, bits)) abort();
  RX_image_delete(again);
}

}  // namespace fuzz
