// Loads each input from memory as a file of one format (chosen when the
// target is built: PCX and DCX, TGA, XBM or Sun raster) through the whole
// load path, every page of it. A loaded image is then saved again in the
// same format, plain and run-length coded where the format has both, and
// reloaded: any difference in its colours is a finding too, since the
// writer and the reader must agree.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "rastrix/rastrix.h"
#include "rastrix/rpb.h"

#ifndef FUZZ_FORMAT
#error "build with -DFUZZ_FORMAT=<format code>"
#endif

namespace {

// Images above this many pixel bytes are loaded but not saved again.
constexpr int64_t kRoundTripBytes = 1 << 18;
// Headers that claim more than this are not loaded: a few bytes of coded
// data can stand for a huge image, legitimately, but slowly.
constexpr int64_t kLoadBytes = 8 << 20;
// Pages of a DCX looked at.
constexpr int32_t kMaxPages = 4;

int64_t stride_of(int64_t width, int64_t bits) { return (bits * width + 31) / 32 * 4; }

// Every pixel's colour (blue, green, red), top row first.
std::vector<uint8_t> colours_of(RX_HIMAGE image) {
  int32_t width = 0, height = 0, bits = 0;
  if (RX_image_dimensions_get(image, &width, &height, &bits) != 0) abort();
  const RX_RGBQUAD* palette = RPb_palette_pointer_get(reinterpret_cast<IMAGE_REC*>(image));
  std::vector<uint8_t> out(static_cast<size_t>(3 * int64_t{width} * height));
  std::vector<uint8_t> row(stride_of(width, bits));
  uint8_t* to = out.data();
  for (int32_t r = 0; r < height; ++r) {
    if (RX_DIB_raster_get(image, r, row.data(), RX_ROW_PACKED) != 0) abort();
    if (bits == 24) {
      std::memcpy(to, row.data(), 3 * static_cast<size_t>(width));
      to += 3 * static_cast<size_t>(width);
      continue;
    }
    for (int32_t x = 0; x < width; ++x, to += 3) {
      const int32_t bit = x * bits;
      const RX_RGBQUAD& q = palette[(row[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1)];
      to[0] = q.rgbBlue;
      to[1] = q.rgbGreen;
      to[2] = q.rgbRed;
    }
  }
  return out;
}

void round_trip(RX_HIMAGE image, uint32_t option) {
  int32_t width = 0, height = 0, bits = 0;
  if (RX_image_dimensions_get(image, &width, &height, &bits) != 0) abort();
  const int64_t pixels = stride_of(width, bits) * height;
  if (pixels > kRoundTripBytes) return;
  const uint32_t format = FUZZ_FORMAT == RX_FORMAT_DCX ? RX_FORMAT_PCX : FUZZ_FORMAT;
  // XBM text takes six characters a byte; the others at most twice the
  // pixels, plus their headers and maps.
  std::vector<uint8_t> file(static_cast<size_t>(8 * pixels + 4 * height + 16384));
  int32_t size = 0;
  if (RX_image_save_memory(image, file.data(), 0, static_cast<int32_t>(file.size()), 0, 1,
                           format | option << 16, &size) != 0)
    abort();
  RX_HIMAGE again = 0;
  if (RX_image_load_memory(file.data(), size, 1, 1, &again) != 0) abort();
  if (colours_of(image) != colours_of(again)) abort();
  RX_image_delete(again);
}

bool claims(const uint8_t* d, size_t n) {
  switch (FUZZ_FORMAT) {
    case RX_FORMAT_PCX: return n >= 3 && d[0] == 10 && d[1] < 6 && d[2] == 1;
    case RX_FORMAT_DCX: return n >= 4 && d[0] == 0xB1 && d[1] == 0x68 && d[2] == 0xDE && d[3] == 0x3A;
    case RX_FORMAT_SUN: return n >= 4 && d[0] == 0x59 && d[1] == 0xA6 && d[2] == 0x6A && d[3] == 0x95;
    case RX_FORMAT_XBM: return n >= 4 && std::memcmp(d, "#def", 4) == 0;
    default: return n >= 3;
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  RX_engine_start(0);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 0x7FFFFFFF || !claims(data, size)) return 0;
  const auto n = static_cast<int32_t>(size);
  int32_t format = 0, pages = 1;
  if (RX_memory_page_count_get(data, n, &pages) != 0) pages = 1;
  for (int32_t page = 1; page <= pages && page <= kMaxPages; ++page) {
    RX_BITMAPINFOHEADER h{};
    if (RX_memory_info_get(data, n, page, &format, nullptr, &h) == 0 &&
        stride_of(h.biWidth, h.biBitCount) * h.biHeight > kLoadBytes)
      continue;
    if (format != 0 && format != FUZZ_FORMAT) return 0;  // claimed by an earlier row
    RX_HIMAGE image = 0;
    if (RX_image_load_memory(data, n, page, 1, &image) != 0) {
      if (image != 0) abort();  // a failed load leaves no image
      continue;
    }
    round_trip(image, 0);
    if (FUZZ_FORMAT != RX_FORMAT_XBM) round_trip(image, 1);
    RX_image_delete(image);
  }
  return 0;
}
