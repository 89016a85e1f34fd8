// Loads each input as a PNG file from memory through the whole load path.
// A loaded image is saved again as PNG and reloaded: any difference in its
// pixels is a finding too, since the writer and the reader must agree.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz_round_trip.h"
#include "rastrix/rastrix.h"

namespace {

using fuzz::stride_of;

// Headers that claim more than this are not loaded at all: a few bytes of
// deflate data stand for a megabyte of rows, which is legitimate but slow.
constexpr int64_t kLoadBytes = 8 << 20;

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
  // Fixed Huffman codes spend at most 9 bits on a byte.
  fuzz::round_trip(image, RX_FORMAT_PNG, 4096);
  RX_image_delete(image);
  return 0;
}
