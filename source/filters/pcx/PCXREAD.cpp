// The PCX reader: the information call, loading, and the page reader that
// the DCX reader uses for each of its pages. Lines are run-length decoded
// (or taken as they are), their planes merged into the image's rows, and
// delivered top row first.
#include <algorithm>
#include <cstring>
#include <optional>

#include "IO/single_image_read.h"
#include "SUPPORT/error.h"
#include "filters/pcx/pcx.h"
#include "filters/pcx/pcx_format.h"
#include "rastrix/rpb.h"

RX_SOURCE("source\\filters\\pcx\\PCXREAD.cpp");

namespace rx {
namespace {

// The eight pixels of a 1-bit plane byte as four bytes of 4-bit pixels,
// each pixel 0 or 1, leftmost pixel in the high nibble of the first byte.
struct Spread {
  uint8_t b[256][4];
  constexpr Spread() : b{} {
    for (int v = 0; v < 256; ++v)
      for (int k = 0; k < 4; ++k)
        b[v][k] = static_cast<uint8_t>(((v >> (7 - 2 * k)) & 1) << 4 | ((v >> (6 - 2 * k)) & 1));
  }
};
constexpr Spread kSpread;

// The four pixels of a 2-bit byte as two bytes of 4-bit pixels.
struct Widen2 {
  uint8_t b[256][2];
  constexpr Widen2() : b{} {
    for (int v = 0; v < 256; ++v)
      for (int k = 0; k < 2; ++k)
        b[v][k] = static_cast<uint8_t>(((v >> (6 - 4 * k)) & 3) << 4 | ((v >> (4 - 4 * k)) & 3));
  }
};
constexpr Widen2 kWiden2;

// Bits past the width in the last byte of a 1- or 4-bit row are cleared,
// so that padding in the file never shows as pixels.
void tail_clear(uint8_t* row, uint32_t width, uint32_t bits) {
  const uint64_t used = uint64_t{width} * bits;
  if (used % 8 == 0) return;
  row[used / 8] &= static_cast<uint8_t>(0xFF00 >> (used % 8));
}

// One decoded line (all planes) into one image row of `stride` bytes.
void row_build(const PCX_READ& r, const uint8_t* line, uint8_t* row) {
  const auto width = static_cast<uint32_t>(r.dib.biWidth);
  const uint32_t bpl = r.h.bytes_per_line;
  const uint32_t planes = r.h.planes;
  std::memset(row, 0, r.geometry.stride);
  switch (r.h.bits) {
    case 1:
      if (planes == 1) {
        std::memcpy(row, line, (width + 7) / 8);
        return tail_clear(row, width, 1);
      }
      for (uint32_t p = 0; p < planes; ++p) {
        const uint8_t* plane = line + size_t{bpl} * p;
        const uint32_t out_bytes = (width + 1) / 2;
        for (uint32_t i = 0; i < (width + 7) / 8; ++i)
          for (uint32_t k = 0; k < 4 && 4 * i + k < out_bytes; ++k)
            row[4 * i + k] |= static_cast<uint8_t>(kSpread.b[plane[i]][k] << p);
      }
      return tail_clear(row, width, 4);
    case 2:
      for (uint32_t i = 0; i < (width + 3) / 4; ++i)
        for (uint32_t k = 0; k < 2 && 2 * i + k < (width + 1) / 2; ++k) row[2 * i + k] = kWiden2.b[line[i]][k];
      return tail_clear(row, width, 4);
    case 4:
      std::memcpy(row, line, (width + 1) / 2);
      return tail_clear(row, width, 4);
    default:
      if (planes == 1) {
        std::memcpy(row, line, width);
        return;
      }
      // Red, green and blue planes become blue, green, red pixels.
      for (uint32_t x = 0; x < width; ++x) {
        row[3 * x] = line[2 * bpl + x];
        row[3 * x + 1] = line[bpl + x];
        row[3 * x + 2] = line[x];
      }
  }
}

// The least input the page's lines can come from: every byte of coded
// data stands for at most 63.
int32_t data_fits(const PCX_READ& r, int32_t here) {
  const uint64_t total = uint64_t{r.line_bytes} * static_cast<uint64_t>(r.dib.biHeight);
  const uint64_t needed =
      r.h.encoding == kPcxRle ? (total + kPcxLongestRun - 1) / kPcxLongestRun : total;
  const int64_t available = std::max<int64_t>(int64_t{r.data_end} - here, 0);
  if (static_cast<uint64_t>(available) < needed)
    return RX_ERR(RXE_CANT_READ_PIXEL_DATA, available,
                  static_cast<int32_t>(std::min<uint64_t>(needed, 0x7FFFFFFF)));
  return 0;
}

// A page's side of the single-image frame; the page ends at `end`, or
// where the stream does when that is not known yet.
class PcxReader final : public SingleImageRecord<PCX_READ> {
 public:
  explicit PcxReader(std::optional<int32_t> end = std::nullopt) : end_(end) {}

  int32_t data_check() override { return data_fits(r_, RPb_IO_tell(r_.io)); }

  int32_t rows_read() override {
    const uint32_t n = r_.line_bytes;
    const bool rle = r_.h.encoding == kPcxRle;
    PCX_RUN run{};
    BufferedRows b;
    b.line_bytes = n;
    b.stride = r_.geometry.stride;
    b.rows = r_.dib.biHeight;
    b.data_end = r_.data_end;
    b.line = [&](IO_BUFFER* in, uint8_t* line) -> const uint8_t* {
      if (rle) return pcx_line_decode(in, &run, line, n) ? line : nullptr;
      return io_buffer_get(in, static_cast<int32_t>(n));
    };
    b.convert = [this](const uint8_t* line, uint8_t* row) { row_build(r_, line, row); };
    return buffered_rows_read(r_.io, r_.tag, b);
  }

 private:
  int32_t header_read() override {
    r_.end = end_ ? *end_ : pcx_stream_end(r_.io);
    return pcx_header_read(&r_);
  }
  std::optional<int32_t> end_;
};

}  // namespace

int32_t pcx_page_info(IO_REC* io, int32_t end, RX_BITMAPINFOHEADER* header, RX_RGBQUAD* palette,
                      int32_t* compression) {
  PCX_READ r{};
  r.io = io;
  r.end = end;
  if (const int32_t code = pcx_header_read(&r)) {
    if (code != RXE_CANT_READ_HEADER) RX_ERR(RXE_CANT_READ_HEADER, code, 0);
    return code;
  }
  if (header != nullptr) *header = r.dib;
  if (palette != nullptr)
    std::copy(r.palette, r.palette + dib_palette_entries(r.dib.biBitCount, RX_BI_RGB), palette);
  if (compression != nullptr)
    *compression = r.h.encoding == kPcxRle ? RX_COMPRESSION_RLE : RX_COMPRESSION_NONE;
  return 0;
}

int32_t pcx_page_read(IO_REC* io, uint32_t tag, int32_t end) {
  PcxReader reader(end);
  return single_image_load(io, reader, tag);
}

int32_t pcx_info(IO_REC* io, RX_BITMAPINFOHEADER* header, RX_RGBQUAD* palette,
                 int32_t* compression, void*, int32_t) {
  if (io == nullptr) {
    RX_ERR(RXE_INVALID_POINTER, 0, 0);
    return RPb_AF_error_check();
  }
  const int32_t start = RPb_IO_tell(io);
  if (pcx_page_info(io, pcx_stream_end(io), header, palette, compression) != 0)
    return read_failed(io, start);
  RPb_IO_seek(io, start, RX_SEEK_SET);
  return 0;
}

int32_t pcx_read(IO_REC* io, void*, int32_t, int32_t) {
  PcxReader reader;
  return single_image_read(io, reader);
}

int32_t pcx_page_count(IO_REC*, void*, int32_t* count) {
  if (count != nullptr) *count = 1;
  return 0;
}

}  // namespace rx
