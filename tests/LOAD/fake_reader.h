// A stand-in for a format reader: builds an image through the load
// callbacks of a stream record as a filter would (DIB create, then one
// raster set per row), so the callbacks are tested without a file format.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "SUPPORT/dib_size.h"
#include "rastrix/rastrix.h"
#include "rastrix/rpb.h"

namespace test {

// A header, a grey palette and zeroed packed rows counted from the top.
struct SourceImage {
  RX_BITMAPINFOHEADER header{};
  std::vector<RX_RGBQUAD> palette;
  std::vector<std::vector<uint8_t>> rows;

  SourceImage(int32_t width, int32_t height, int32_t bits, uint32_t compression = RX_BI_RGB) {
    header = {40, width, height, 1, static_cast<uint16_t>(bits), compression, 0, 3780, 2835, 0, 0};
    const uint32_t entries = bits <= 8 ? 1u << bits : 0;
    for (uint32_t i = 0; i < entries; ++i) {
      const auto level = static_cast<uint8_t>(i * 255 / (entries - 1));
      palette.push_back(RX_RGBQUAD{level, level, level, 0});
    }
    rows.assign(height, std::vector<uint8_t>(rx::dib_stride(bits, width), 0));
  }

  // Values: an index, or blue | green << 8 | red << 16.
  void pixel_set(int32_t x, int32_t y, uint32_t value) {
    uint8_t* row = rows[y].data();
    const uint32_t bits = header.biBitCount;
    if (bits == 1 || bits == 4) {
      const uint32_t shift = bits == 1 ? 7 - (x & 7) : (x & 1 ? 0 : 4);
      uint8_t& byte = row[bits == 1 ? x >> 3 : x >> 1];
      byte = static_cast<uint8_t>((byte & ~(((1u << bits) - 1) << shift)) | value << shift);
    } else {
      std::memcpy(row + bits / 8 * x, &value, bits / 8);
    }
  }
};

// One load's stream record and callback data, prepared as a pipeline does
// with the load options in force when it is made.
struct FakeLoad {
  IO_REC io{};
  LOAD_CB_DATA cb{};
  RX_HIMAGE image = 0;

  FakeLoad() {
    RPb_IO_inst_lookup(&io);
    RPb_RPr_load_CB_data_init(&io, &cb, &image);
  }
  ~FakeLoad() { RPb_RPr_load_CB_data_free(&cb); }
  FakeLoad(const FakeLoad&) = delete;
  FakeLoad& operator=(const FakeLoad&) = delete;

  int32_t create(const SourceImage& s) {
    return RPb_IO_DIB_create(&io, &s.header, s.palette.empty() ? nullptr : s.palette.data());
  }
  int32_t row(int32_t r, const std::vector<uint8_t>& bytes) {
    return RPb_IO_raster_set(&io, bytes.data(), r, static_cast<int32_t>(bytes.size()));
  }
  // Like a reader: stops at the first call that reports an error.
  int32_t deliver(const SourceImage& s, bool from_bottom = false) {
    if (int32_t n = create(s)) return n;
    const auto height = static_cast<int32_t>(s.rows.size());
    for (int32_t k = 0; k < height; ++k) {
      const int32_t r = from_bottom ? height - 1 - k : k;
      if (int32_t n = row(r, s.rows[r])) return n;
    }
    return 0;
  }
};

// Image row `row` (from the top) in packed form.
inline std::vector<uint8_t> row_of(RX_HIMAGE image, int32_t row) {
  int32_t width = 0, height = 0, bits = 0;
  RX_image_dimensions_get(image, &width, &height, &bits);
  std::vector<uint8_t> out(rx::dib_stride(bits, width), 0xCC);
  RX_DIB_raster_get(image, row, out.data(), RX_ROW_PACKED);
  return out;
}

// One pixel, valued as SourceImage::pixel_set takes it.
inline uint32_t pixel_of(RX_HIMAGE image, int32_t x, int32_t y) {
  uint8_t v[3] = {};
  RX_image_pixel_get(image, x, y, v);
  return v[0] | v[1] << 8 | v[2] << 16;
}

}  // namespace test
