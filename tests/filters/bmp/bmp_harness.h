// Drives the BMP filter without the pipelines: a memory stream whose image
// callbacks record what a reader delivers and serve an image to a writer,
// and a builder of BMP files.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "IO/io_rec.h"
#include "SUPPORT/dib_size.h"
#include "filters/bmp/bmp.h"
#include "rastrix/rastrix.h"
#include "rastrix/rpb.h"

namespace bmpt {

using Bytes = std::vector<uint8_t>;

// Rows from the top; `order` lists row indexes as they were delivered.
struct Image {
  RX_BITMAPINFOHEADER header{};
  std::vector<RX_RGBQUAD> palette = std::vector<RX_RGBQUAD>(256);
  std::vector<Bytes> rows;
  std::vector<int32_t> order;
  int32_t creates = 0, fail_row = -1;  // the callback for fail_row reports a failure
};

inline Image& of(IO_REC* io) { return *reinterpret_cast<Image*>(io->cb_data[0]); }
inline int32_t row_done(Image& im, int32_t r) {
  im.order.push_back(r);
  if (r != im.fail_row) return 0;
  RPb_AF_error_set("harness", 0, RXE_INTERRUPTED_BY_USER, 0, 0);
  return RPb_AF_error_check();
}

// A memory stream of `capacity` bytes holding `data`, with recording
// callbacks.
struct Stream {
  IO_REC io{};
  Bytes block;
  Image image;
  explicit Stream(const Bytes& data, size_t capacity = 0) : block(data) {
    block.resize(std::max({capacity, data.size(), size_t{1}}));
    RPb_IO_inst_lookup(&io);
    rx::io_memory_attach(&io, block.data(), block.size(), data.size());
    io.cb_data[0] = reinterpret_cast<uintptr_t>(&image);
    io.dib_create = [](IO_REC* rec, const RX_BITMAPINFOHEADER* h, const RX_RGBQUAD* pal) {
      of(rec).header = *h;
      std::copy(pal, pal + rx::dib_palette_entries(h->biBitCount, 0), of(rec).palette.begin());
      of(rec).rows.assign(h->biHeight, Bytes{});
      return ++of(rec).creates, 0;
    };
    io.raster_set = [](IO_REC* rec, const uint8_t* row, int32_t r, int32_t n) {
      EXPECT_TRUE(of(rec).rows.at(r).empty()) << "row " << r << " delivered twice";
      of(rec).rows[r].assign(row, row + n);
      return row_done(of(rec), r);
    };
    io.dib_get = [](IO_REC* rec, RX_BITMAPINFOHEADER* h, RX_RGBQUAD* pal) {
      *h = of(rec).header;
      std::copy(of(rec).palette.begin(), of(rec).palette.end(), pal);
      return 0;
    };
    io.raster_get = [](IO_REC* rec, uint8_t* row, int32_t r, int32_t n) {
      std::memcpy(row, of(rec).rows.at(r).data(), n);
      return row_done(of(rec), r);
    };
  }
  Bytes written() const { return Bytes(block.begin(), block.begin() + rx::io_data_length_get(&io)); }
};

inline void put(Bytes& b, uint32_t v, int bytes) {
  for (int k = 0; k < bytes; ++k) b.push_back(static_cast<uint8_t>(v >> 8 * k));
}
inline uint32_t get(const Bytes& b, size_t at, int bytes = 4) {
  uint32_t v = 0;
  for (int k = bytes - 1; k >= 0; --k) v = v << 8 | b.at(at + k);
  return v;
}

// A BMP file: palette entry i is (i, 255 - i, i ^ 0x5A) in blue, green, red;
// the data offset is right after the palette.
struct File {
  uint32_t header_size = 40;
  int32_t width = 4, height = 2;
  uint16_t bits = 8;
  uint32_t compression = 0, colors_used = 0;
  bool file_header = true;
  Bytes pixels{};

  Bytes build() const {
    const bool core = header_size == 12;
    Bytes h;
    for (auto [v, n] : {std::pair{header_size, 4}, {uint32_t(width), core ? 2 : 4}, {uint32_t(height), core ? 2 : 4},
                        {1u, 2}, {uint32_t{bits}, 2}})
      put(h, v, n);
    for (uint32_t v : {compression, 0u, 2835u, 3780u, colors_used, 0u}) put(h, v, core ? 0 : 4);
    for (uint8_t v = 1; h.size() < header_size; ++v) h.push_back(v);
    const uint32_t entries = bits > 8 ? colors_used : !core && colors_used ? colors_used : 1u << bits;
    for (uint32_t i = 0; i < entries; ++i) put(h, (i & 0xFF) | (255 - i % 256) << 8 | ((i ^ 0x5A) & 0xFF) << 16, core ? 3 : 4);
    Bytes f = file_header ? Bytes{'B', 'M'} : Bytes{};
    for (uint32_t v : {uint32_t(14 + h.size() + pixels.size()), 0u, uint32_t(14 + h.size())}) put(f, v, file_header ? 4 : 0);
    f.insert(f.end(), h.begin(), h.end());
    f.insert(f.end(), pixels.begin(), pixels.end());
    return f;
  }
};

// Pixels as RGB triples, top row first.
inline Bytes rgb_of(const Image& im) {
  Bytes out;
  const uint32_t bits = im.header.biBitCount;
  for (const Bytes& row : im.rows) {
    for (int32_t x = 0; x < im.header.biWidth; ++x) {
      const uint32_t i = bits == 24 ? 0 : (row.at(x * bits / 8) >> (8 - bits - x * bits % 8)) & ((1u << bits) - 1);
      const RX_RGBQUAD q = bits == 24 ? RX_RGBQUAD{row.at(3 * x), row.at(3 * x + 1), row.at(3 * x + 2), 0} : im.palette[i];
      out.insert(out.end(), {q.rgbRed, q.rgbGreen, q.rgbBlue});
    }
  }
  return out;
}

// An engine image as the recording callbacks would have seen it.
inline Image image_of_handle(RX_HIMAGE handle) {
  Image im;
  int32_t w = 0, h = 0, bits = 0;
  RX_image_dimensions_get(handle, &w, &h, &bits);
  RPb_DIB_init(&im.header, w, h, bits, 0, 0, 0);
  const RX_RGBQUAD* pal = RPb_palette_pointer_get(reinterpret_cast<IMAGE_REC*>(handle));
  std::copy(pal, pal + rx::dib_palette_entries(bits, 0), im.palette.begin());
  for (int32_t r = 0; r < h; ++r) {
    im.rows.emplace_back(rx::dib_stride(bits, w));
    RX_DIB_raster_get(handle, r, im.rows.back().data(), RX_ROW_PACKED);
  }
  return im;
}

inline Bytes slurp(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(f), {});
}

}  // namespace bmpt
