// Loads each input as a BMP file from memory through the whole load path.
// A loaded image is then saved again, plain and run-length coded where the
// depth allows, and reloaded: any difference in its pixels is a finding
// too, since the writer and the reader must agree.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz_round_trip.h"
#include "rastrix/rastrix.h"

namespace {

using fuzz::stride_of;

// Headers that claim more than this are not loaded at all: run-length data
// of a few bytes can stand for a 2 GB image, which is legitimate but makes
// every run allocate and clear it.
constexpr int64_t kLoadBytes = 8 << 20;

bool claims_bmp(const uint8_t* data, size_t size) {
  if (size >= 2 && data[0] == 'B' && data[1] == 'M') return true;
  return size >= 4 && data[0] == 40 && data[1] == 0 && data[2] == 0 && data[3] == 0;
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
  fuzz::round_trip(image, RX_FORMAT_BMP, 8192);
  int32_t w = 0, h2 = 0, bits = 0;
  RX_image_dimensions_get(image, &w, &h2, &bits);
  if (bits == 4 || bits == 8) fuzz::round_trip(image, RX_FORMAT_BMP | 1 << 16, 8192);
  RX_image_delete(image);
  return 0;
}
