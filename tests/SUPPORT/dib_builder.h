// Packed DIBs built in memory for the image tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "SUPPORT/dib_size.h"
#include "rastrix/rastrix.h"

namespace test {

inline uint32_t stride_of(int32_t width, int32_t bits) {
  return static_cast<uint32_t>(rx::dib_stride(bits, width));
}

inline uint32_t prefix_of(int32_t bits, uint32_t compression) {
  return rx::kDibHeaderBytes + rx::dib_palette_entries(bits, compression) * 4 +
         rx::dib_mask_bytes(compression);
}

// A plain DIB with zero pixels and a grey palette.
inline std::vector<uint8_t> make_dib(int32_t width, int32_t height, int32_t bits,
                                     uint32_t compression = RX_BI_RGB) {
  const uint32_t prefix = prefix_of(bits, compression);
  std::vector<uint8_t> dib(prefix + size_t{stride_of(width, bits)} * height, 0);
  RX_BITMAPINFOHEADER h{40, width, height, 1, static_cast<uint16_t>(bits), compression,
                        0, 2835, 2835, 0, 0};
  std::memcpy(dib.data(), &h, sizeof h);
  const uint32_t entries = rx::dib_palette_entries(bits, compression);
  for (uint32_t i = 0; i < entries && bits <= 8; ++i) {
    const auto level = static_cast<uint8_t>(entries > 1 ? i * 255 / (entries - 1) : 0);
    const uint8_t quad[4] = {level, level, level, 0};
    std::memcpy(dib.data() + 40 + 4 * i, quad, 4);
  }
  return dib;
}

// Image row r (counted from the top) of a plain DIB built above.
inline uint8_t* image_row(std::vector<uint8_t>& dib, int32_t r) {
  RX_BITMAPINFOHEADER h;
  std::memcpy(&h, dib.data(), sizeof h);
  return dib.data() + prefix_of(h.biBitCount, h.biCompression) +
         size_t{stride_of(h.biWidth, h.biBitCount)} * (h.biHeight - 1 - r);
}

// Fills every pixel byte from a deterministic pattern of row and byte.
inline void fill_pattern(std::vector<uint8_t>& dib, uint32_t seed = 0) {
  RX_BITMAPINFOHEADER h;
  std::memcpy(&h, dib.data(), sizeof h);
  for (int32_t r = 0; r < h.biHeight; ++r) {
    uint8_t* row = image_row(dib, r);
    for (uint32_t k = 0; k < stride_of(h.biWidth, h.biBitCount); ++k)
      row[k] = static_cast<uint8_t>((r * 131 + k * 29 + seed * 7 + 5) * 2654435761u >> 13);
  }
}

// Creates an image from a DIB; 0 when creation fails.
inline RX_HIMAGE create(const std::vector<uint8_t>& dib) {
  RX_HIMAGE image = 0;
  if (RX_image_create_from_DIB(dib.data(), dib.size(), &image) != 0) return 0;
  return image;
}

inline uint32_t bit_at(const uint8_t* row, uint32_t x) { return (row[x >> 3] >> (7 - (x & 7))) & 1; }

}  // namespace test
