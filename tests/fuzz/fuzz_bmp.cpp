// Loads each input as a BMP file from memory through the whole load path.
// A loaded image is then saved again, plain and run-length coded where the
// depth allows, and reloaded: any difference in its pixels is a finding
// too, since the writer and the reader must agree.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "rastrix/rastrix.h"

namespace {

// Images above this many pixel bytes are loaded but not saved again; the
// code paths are the same as for smaller ones, only slower.
constexpr int64_t kRoundTripBytes = 1 << 20;
// Headers that claim more than this are not loaded at all: run-length data
// of a few bytes can stand for a 2 GB image, which is legitimate but makes
// every run allocate and clear it.
constexpr int64_t kLoadBytes = 8 << 20;

bool claims_bmp(const uint8_t* data, size_t size) {
  if (size >= 2 && data[0] == 'B' && data[1] == 'M') return true;
  return size >= 4 && data[0] == 40 && data[1] == 0 && data[2] == 0 && data[3] == 0;
}

int64_t stride_of(int64_t width, int64_t bits) { return (bits * width + 31) / 32 * 4; }

// Row r of an image, the padding bits past the width cleared.
std::vector<uint8_t> row_of(RX_HIMAGE image, int32_t r, int32_t width, int32_t bits) {
  std::vector<uint8_t> row(stride_of(width, bits));
  if (RX_DIB_raster_get(image, r, row.data(), RX_ROW_PACKED) != 0) abort();
  const int64_t used = int64_t{width} * bits;
  for (int64_t bit = used; bit < static_cast<int64_t>(row.size()) * 8; ++bit)
    row[bit / 8] &= static_cast<uint8_t>(~(0x80 >> (bit % 8)));
  return row;
}

void round_trip(RX_HIMAGE image, uint32_t option) {
  int32_t width = 0, height = 0, bits = 0;
  if (RX_image_dimensions_get(image, &width, &height, &bits) != 0) abort();
  const int64_t pixels = stride_of(width, bits) * height;
  if (pixels > kRoundTripBytes) return;
  std::vector<uint8_t> file(static_cast<size_t>(2 * pixels + 2 * height + 8192));
  int32_t size = 0;
  if (RX_image_save_memory(image, file.data(), 0, static_cast<int32_t>(file.size()), 0, 1,
                           RX_FORMAT_BMP | option << 16, &size) != 0)
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

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  RX_engine_start(0);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 0x7FFFFFFF || !claims_bmp(data, size)) return 0;
  const auto n = static_cast<int32_t>(size);
  RX_BITMAPINFOHEADER h{};
  if (RX_memory_info_get(data, n, 1, nullptr, nullptr, &h) == 0 &&
      stride_of(h.biWidth, h.biBitCount) * h.biHeight > kLoadBytes)
    return 0;
  RX_HIMAGE image = 0;
  if (RX_image_load_memory(data, n, 1, 1, &image) != 0) {
    if (image != 0) abort();  // a failed load leaves no image
    return 0;
  }
  round_trip(image, 0);
  int32_t w = 0, h2 = 0, bits = 0;
  RX_image_dimensions_get(image, &w, &h2, &bits);
  if (bits == 4 || bits == 8) round_trip(image, 1);
  RX_image_delete(image);
  return 0;
}
