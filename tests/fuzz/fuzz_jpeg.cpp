// Loads each input as a JPEG file from memory through the whole load path,
// twice: with the fast inverse DCT and colour paths and with the plain
// reference ones. A failed load must leave no image; a loaded one must have
// the size the information call reported, and both loads the same pixels.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "SUPPORT/kernels.h"
#include "filters/jpeg/jpeg_read.h"
#include "fuzz_round_trip.h"
#include "rastrix/rastrix.h"

namespace {

// Headers that claim more than this are not loaded: a few bytes of entropy
// data can stand for a 2 GB image, legitimate but slow to fill every run.
constexpr int64_t kLoadBytes = 1 << 20;

using fuzz::stride_of;

RX_HIMAGE load(const uint8_t* data, int32_t size, bool reference) {
  rx::kernel_level_set(reference ? rx::KernelLevel::kReference : rx::kernel_level_supported());
  RX_HIMAGE image = 0;
  const int32_t errors = RX_image_load_memory(data, size, 1, 1, &image);
  if (errors != 0 && image != 0) abort();  // a failed load leaves no image
  if (errors == 0 && image == 0) abort();  // success reported without an image
  return image;
}

void same_pixels(RX_HIMAGE a, RX_HIMAGE b, const RX_BITMAPINFOHEADER& h) {
  const auto stride = static_cast<size_t>(stride_of(h.biWidth, h.biBitCount));
  uint8_t* ra = static_cast<uint8_t*>(malloc(stride));
  uint8_t* rb = static_cast<uint8_t*>(malloc(stride));
  for (int32_t r = 0; r < h.biHeight; ++r) {
    if (RX_DIB_raster_get(a, r, ra, RX_ROW_PACKED) != 0) abort();
    if (RX_DIB_raster_get(b, r, rb, RX_ROW_PACKED) != 0) abort();
    if (std::memcmp(ra, rb, stride) != 0) abort();
  }
  free(ra);
  free(rb);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  RX_engine_start(0);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 0x7FFFFFFF || size < 2 || data[0] != 0xFF || data[1] != 0xD8) return 0;
  const auto n = static_cast<int32_t>(size);
  RX_BITMAPINFOHEADER h{};
  const bool described = RX_memory_info_get(data, n, 1, nullptr, nullptr, &h) == 0;
  if (described && stride_of(h.biWidth, h.biBitCount) * h.biHeight > kLoadBytes) return 0;
  const RX_HIMAGE fast = load(data, n, false);
  if (fast == 0) return 0;
  if (!described) abort();  // loads, yet the information call failed
  int32_t w = 0, ht = 0, bits = 0;
  RX_image_dimensions_get(fast, &w, &ht, &bits);
  if (w != h.biWidth || ht != h.biHeight || bits != h.biBitCount) abort();
  const RX_HIMAGE reference = load(data, n, true);
  if (reference == 0) abort();
  same_pixels(fast, reference, h);
  RX_image_delete(reference);
  RX_image_delete(fast);
  return 0;
}
