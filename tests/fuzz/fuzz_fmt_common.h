// What the icon, PSD and SGI fuzz targets share: load the input from
// memory through the whole load path (every page of it), insist that a
// failed load leaves no image, and save what loaded in the format again
// and reload it, which must give the same pixels. Unlike the shared
// round trip, a save may fail cleanly (an icon of a size the directory
// cannot hold) and the depth may change (an SGI file of a colour palette
// comes back as 24-bit colour).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "fuzz/fuzz_round_trip.h"
#include "rastrix/rastrix.h"

namespace fuzzfmt {

// Headers that claim more than this are not loaded at all: a small file
// may legitimately stand for a large image, but clearing it every run
// only slows the search.
constexpr int64_t kLoadBytes = 8 << 20;
using fuzz::kRoundTripBytes;
using fuzz::stride_of;

// Saves in `format` with `option` and loads again; the pixel values must
// come back (`same_values`) or the save must fail cleanly.
inline void round_trip(RX_HIMAGE image, int32_t format, uint32_t option, bool same_values) {
  int32_t width = 0, height = 0, bits = 0;
  if (RX_image_dimensions_get(image, &width, &height, &bits) != 0) abort();
  const int64_t pixels = stride_of(width, bits) * height;
  if (pixels > kRoundTripBytes) return;
  std::vector<uint8_t> file(static_cast<size_t>(4 * pixels + 4 * height * 3 + 8192));
  int32_t size = 0;
  if (RX_image_save_memory(image, file.data(), 0, static_cast<int32_t>(file.size()), 0, 1,
                           static_cast<uint32_t>(format) | option << 16, &size) != 0)
    return;
  RX_HIMAGE again = 0;
  if (RX_image_load_memory(file.data(), size, 1, 1, &again) != 0) abort();
  int32_t w2 = 0, h2 = 0, b2 = 0;
  RX_image_dimensions_get(again, &w2, &h2, &b2);
  if (w2 != width || h2 != height) abort();
  if (same_values && b2 == bits)
    for (int32_t r = 0; r < height; ++r)
      if (fuzz::row_of(image, r, width, bits) != fuzz::row_of(again, r, width, bits)) abort();
  RX_image_delete(again);
}

// Loads page `page`; returns the image or 0. Oversized claims are skipped.
inline RX_HIMAGE load_page(const uint8_t* data, size_t size, int32_t page) {
  const auto n = static_cast<int32_t>(size);
  RX_BITMAPINFOHEADER h{};
  if (RX_memory_info_get(data, n, page, nullptr, nullptr, &h) == 0 &&
      stride_of(h.biWidth, h.biBitCount) * h.biHeight > kLoadBytes)
    return 0;
  RX_HIMAGE image = 0;
  if (RX_image_load_memory(data, n, page, 1, &image) != 0) {
    if (image != 0) abort();  // a failed load leaves no image
    return 0;
  }
  return image;
}

}  // namespace fuzzfmt
