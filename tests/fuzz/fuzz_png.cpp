// Loads each input as a PNG file from memory through the whole load path.
// A loaded image is saved again as PNG and reloaded: any difference in its
// pixels is a finding too, since the writer and the reader must agree.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "rastrix/rastrix.h"

namespace {

// Images above this many pixel bytes are loaded but not saved again.
constexpr int64_t kRoundTripBytes = 1 << 20;
// Headers that claim more than this are not loaded at all: a few bytes of
// deflate data stand for a megabyte of rows, which is legitimate but slow.
constexpr int64_t kLoadBytes = 8 << 20;

int64_t stride_of(int64_t width, int64_t bits) { return (bits * width + 31) / 32 * 4; }

std::vector<uint8_t> row_of(RX_HIMAGE image, int32_t r, int32_t width, int32_t bits) {
  std::vector<uint8_t> row(static_cast<size_t>(stride_of(width, bits)));
  if (RX_DIB_raster_get(image, r, row.data(), RX_ROW_PACKED) != 0) abort();
  const int64_t used = int64_t{width} * bits;
  for (int64_t bit = used; bit < static_cast<int64_t>(row.size()) * 8; ++bit)
    row[bit / 8] &= static_cast<uint8_t>(~(0x80 >> (bit % 8)));
  return row;
}

void round_trip(RX_HIMAGE image) {
  int32_t width = 0, height = 0, bits = 0;
  if (RX_image_dimensions_get(image, &width, &height, &bits) != 0) abort();
  const int64_t pixels = stride_of(width, bits) * height;
  if (pixels > kRoundTripBytes) return;
  // Fixed Huffman codes spend at most 9 bits on a byte.
  std::vector<uint8_t> file(static_cast<size_t>(2 * pixels + 2 * height + 4096));
  int32_t size = 0;
  if (RX_image_save_memory(image, file.data(), 0, static_cast<int32_t>(file.size()), 0, 1, 33, &size) != 0)
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

// Most mutations break a chunk's CRC, and the reader stops there. Half of
// the inputs (those of even length) get every CRC put right first, so that
// the fuzzer reaches the palette, inflate and row code behind the checks.
void crcs_fix(std::vector<uint8_t>& f) {
  for (size_t pos = 8; pos + 12 <= f.size();) {
    const uint32_t length = uint32_t{f[pos]} << 24 | uint32_t{f[pos + 1]} << 16 | uint32_t{f[pos + 2]} << 8 | f[pos + 3];
    if (length > f.size() - pos - 12) break;
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = pos + 4; i < pos + 8 + length; ++i) {
      c ^= f[i];
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    }
    c = ~c;
    for (int k = 0; k < 4; ++k) f[pos + 8 + length + k] = static_cast<uint8_t>(c >> (24 - 8 * k));
    pos += 12 + length;
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  RX_engine_start(0);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static constexpr uint8_t kSignature[8] = {137, 'P', 'N', 'G', 13, 10, 26, 10};
  if (size > 0x7FFFFFFF || size < 8 || std::memcmp(data, kSignature, 8) != 0) return 0;
  std::vector<uint8_t> fixed;
  if (size % 2 == 0) {
    fixed.assign(data, data + size);
    crcs_fix(fixed);
    data = fixed.data();
  }
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
  round_trip(image);
  RX_image_delete(image);
  return 0;
}
