// Loads each input as a TIFF file from memory through the whole load path,
// with the tests' LZW codec standing in for the LZW extension: the page
// count, the first pages and, for a tiled page, its last tile. A loaded
// image is saved again (uncompressed, and PackBits or Group 4 where the
// depth allows) and reloaded: any difference in its colours (for a bilevel
// page, in its pixels up to the polarity) is a finding too, since the
// writer and the reader must agree.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "filters/tiff/lzw_test_codec.h"
#include "rastrix/rastrix.h"
#include "rastrix/rpb.h"

namespace {

// Images above this many pixel bytes are loaded but not saved again.
constexpr int64_t kRoundTripBytes = 1 << 20;
// Pages that claim more than this are not loaded: a few bytes of PackBits
// or fax data can legitimately stand for a huge page, which only makes
// every run slow.
constexpr int64_t kLoadBytes = 8 << 20;
// Pages of a long chain beyond the first few add nothing the first do not.
constexpr int32_t kPagesTried = 3;

bool claims_tiff(const uint8_t* data, size_t size) {
  if (size < 8) return false;
  return (data[0] == 'I' && data[1] == 'I' && data[2] == 42 && data[3] == 0) ||
         (data[0] == 'M' && data[1] == 'M' && data[2] == 0 && data[3] == 42);
}

int64_t stride_of(int64_t width, int64_t bits) { return (bits * width + 31) / 32 * 4; }

// Row r of an image as colours: blue, green, red for every pixel.
std::vector<uint8_t> colours_of(RX_HIMAGE image, int32_t r, int32_t width, int32_t bits) {
  std::vector<uint8_t> row(static_cast<size_t>(stride_of(width, bits)));
  if (RX_DIB_raster_get(image, r, row.data(), RX_ROW_PACKED) != 0) abort();
  if (bits == 24) {
    row.resize(static_cast<size_t>(width) * 3);
    return row;
  }
  const RX_RGBQUAD* pal = RPb_palette_pointer_get(reinterpret_cast<IMAGE_REC*>(image));
  std::vector<uint8_t> out;
  out.reserve(static_cast<size_t>(width) * 3);
  for (int32_t x = 0; x < width; ++x) {
    const auto bit = static_cast<uint32_t>(x * bits);
    const uint32_t i = (row[bit / 8] >> (8 - static_cast<uint32_t>(bits) - bit % 8)) & ((1u << bits) - 1);
    out.insert(out.end(), {pal[i].rgbBlue, pal[i].rgbGreen, pal[i].rgbRed});
  }
  return out;
}

// Row r of a 1-bit image as one index a byte.
std::vector<uint8_t> indexes_of(RX_HIMAGE image, int32_t r, int32_t width) {
  std::vector<uint8_t> row(static_cast<size_t>(stride_of(width, 1)));
  if (RX_DIB_raster_get(image, r, row.data(), RX_ROW_PACKED) != 0) abort();
  std::vector<uint8_t> out(static_cast<size_t>(width));
  for (int32_t x = 0; x < width; ++x) out[static_cast<size_t>(x)] = (row[static_cast<size_t>(x / 8)] >> (7 - x % 8)) & 1;
  return out;
}

void round_trip(RX_HIMAGE image, int32_t compression) {
  int32_t width = 0, height = 0, bits = 0;
  if (RX_image_dimensions_get(image, &width, &height, &bits) != 0) abort();
  const int64_t pixels = stride_of(width, bits) * height;
  if (pixels > kRoundTripBytes) return;
  std::vector<uint8_t> file(static_cast<size_t>(4 * pixels + 4 * height + 65536));
  int32_t size = 0;
  const uint32_t word = RX_FORMAT_TIFF | static_cast<uint32_t>(compression) << 16;
  if (RX_image_save_memory(image, file.data(), 0, static_cast<int32_t>(file.size()), 0, 0, word,
                           &size) != 0)
    abort();
  RX_HIMAGE again = 0;
  if (RX_image_load_memory(file.data(), size, 1, 0, &again) != 0) abort();
  int32_t w2 = 0, h2 = 0, b2 = 0;
  RX_image_dimensions_get(again, &w2, &h2, &b2);
  if (w2 != width || h2 != height || b2 != bits) abort();
  if (bits == 1) {
    // Bilevel pages keep their pixels, not the colours of their palette:
    // either index may come back as white, the same for the whole page.
    bool same = true, inverted = true;
    for (int32_t r = 0; r < height; ++r) {
      const std::vector<uint8_t> x = indexes_of(image, r, width);
      const std::vector<uint8_t> y = indexes_of(again, r, width);
      for (size_t k = 0; k < x.size(); ++k) {
        same &= x[k] == y[k];
        inverted &= x[k] != y[k];
      }
    }
    if (!same && !inverted) abort();
  } else {
    for (int32_t r = 0; r < height; ++r)
      if (colours_of(image, r, width, bits) != colours_of(again, r, width, bits)) abort();
  }
  RX_image_delete(again);
}

void load_one(const uint8_t* data, int32_t n, int32_t page, int32_t tile) {
  RX_BITMAPINFOHEADER h{};
  if (RX_memory_info_get(data, n, page, nullptr, nullptr, &h) == 0 &&
      stride_of(h.biWidth, std::max<int32_t>(h.biBitCount, 8)) * std::abs(h.biHeight) > kLoadBytes)
    return;
  RX_HIMAGE image = 0;
  if (RX_image_load_memory(data, n, page, tile, &image) != 0) {
    if (image != 0) abort();  // a failed load leaves no image
    return;
  }
  int32_t w = 0, h2 = 0, bits = 0;
  RX_image_dimensions_get(image, &w, &h2, &bits);
  round_trip(image, RX_COMPRESSION_NONE);
  if (bits <= 8) round_trip(image, RX_COMPRESSION_PACKBITS);
  if (bits == 1) round_trip(image, RX_COMPRESSION_GROUP4);
  RX_image_delete(image);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  RX_engine_start(0);
  static tifft::LzwInstalled lzw;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 0x7FFFFFFF || !claims_tiff(data, size)) return 0;
  const auto n = static_cast<int32_t>(size);
  int32_t count = 0;
  if (RX_memory_page_count_get(data, n, &count) != 0) count = 1;
  for (int32_t page = 1; page <= std::min(count, kPagesTried); ++page) load_one(data, n, page, 0);
  // A tile number past the grid is clamped to the last tile.
  load_one(data, n, 1, 0x7FFFFFFF);
  return 0;
}
