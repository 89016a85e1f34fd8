// The SGI writer: images with a grey palette (and every 1-bit image) as
// one-channel grey files, all others as three-channel colour files, plain
// or run-length coded. Rows go out bottom row first, one channel plane
// after the other.
#include <algorithm>
#include <climits>
#include <cstring>

#include "IO/io_callback_status.h"
#include "IO/iobuffer.h"
#include "SUPPORT/dib_size.h"
#include "SUPPORT/error.h"
#include "SUPPORT/mem_tag.h"
#include "filters/sgi/sgi.h"
#include "filters/sgi/sgi_format.h"
#include "rastrix/rpb.h"

RX_SOURCE("source\\filters\\sgi\\sgiwrite.cpp");

namespace rx {
namespace {

// The header keeps sizes in 16 bits.
inline constexpr int32_t kSgiMaxSide = 0xFFFF;
// Rows go out through a buffer of at least this many bytes.
inline constexpr int32_t kOutBufferBytes = 65536;

struct SGI_WRITE {
  IO_REC* io;
  uint32_t tag;
  int32_t origin;  // stream position of the file's first byte
  RX_BITMAPINFOHEADER dib;
  RX_RGBQUAD palette[256];
  DibGeometry geometry;
  uint32_t width, height, channels;
  bool rle;
  uint8_t* row;       // one image row
  uint8_t* plane;     // one channel of it
  uint8_t* coded;     // its coding
  uint32_t* starts;   // coded rows: where each lies, from the file start
  uint32_t* lengths;  // and its length
};

void put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 8);
  p[1] = static_cast<uint8_t>(v);
}
void put32(uint8_t* p, uint32_t v) {
  put16(p, v >> 16);
  put16(p + 2, v);
}

bool palette_grey(const SGI_WRITE& w) {
  const uint32_t bits = w.dib.biBitCount;
  if (bits == 1) return true;
  if (bits == 24) return false;
  for (uint32_t i = 0; i < (1u << bits); ++i) {
    const RX_RGBQUAD& q = w.palette[i];
    if (q.rgbRed != q.rgbGreen || q.rgbGreen != q.rgbBlue) return false;
  }
  return true;
}

int32_t image_check(SGI_WRITE* w) {
  const RX_BITMAPINFOHEADER& h = w->dib;
  const uint32_t bits = h.biBitCount;
  const bool plain = h.biCompression == RX_BI_RGB || (bits == 1 && h.biCompression == RX_BI_RUNS);
  if ((bits != 1 && bits != 4 && bits != 8 && bits != 24) || !plain)
    return RX_ERR(RXE_INVALID_FILE_HEADER, bits, h.biCompression);
  if (!dib_geometry(h.biWidth, h.biHeight, bits, RX_BI_RGB, &w->geometry) || h.biWidth > kSgiMaxSide ||
      h.biHeight > kSgiMaxSide)
    return RX_ERR(RXE_DIB_SIZE_WRONG, h.biWidth, h.biHeight);
  w->width = static_cast<uint32_t>(h.biWidth);
  w->height = static_cast<uint32_t>(h.biHeight);
  w->channels = palette_grey(*w) ? 1 : 3;
  return 0;
}

// The application may describe the image (value range, name, colour map
// kind, reserved fields); the fields that say how the data is laid out
// stay the writer's, or the file would not match its data.
void tags_apply(IO_REC* io, uint8_t* b) {
  if (!RPb_IO_tag_get_exists(io)) return;
  const struct {
    int32_t tag;
    uint32_t at;
  } words[] = {{kSgiTagMinimum, 12}, {kSgiTagMaximum, 16}, {kSgiTagReserved1, 20}, {kSgiTagColormap, 104}};
  for (const auto& f : words) {
    uint32_t v = 0;
    if (RPb_IO_tag_dword_get(io, f.tag, &v) != 0) put32(b + f.at, v);
  }
  const struct {
    int32_t tag;
    uint32_t at, size;
  } areas[] = {{kSgiTagName, 24, kSgiNameBytes}, {kSgiTagReserved2, 108, kSgiReservedBytes}};
  for (const auto& f : areas) {
    uint8_t area[kSgiReservedBytes] = {};
    int32_t type = 0;
    if (RPb_IO_tag_get(io, f.tag, &type, area, static_cast<int32_t>(f.size)) != 0)
      std::memcpy(b + f.at, area, f.size);
  }
}

int32_t header_write(SGI_WRITE* w) {
  uint8_t b[kSgiHeaderBytes] = {};
  put16(b, kSgiMagicNumber);
  b[2] = w->rle ? kSgiRle : kSgiPlain;
  b[3] = 1;
  put16(b + 4, w->channels == 3 ? 3 : 2);
  put16(b + 6, w->width);
  put16(b + 8, w->height);
  put16(b + 10, w->channels);
  put32(b + 16, 255);
  std::memcpy(b + 24, "no name", 7);
  tags_apply(w->io, b);
  const int32_t put = RPb_IO_write(w->io, b, kSgiHeaderBytes);
  return put == static_cast<int32_t>(kSgiHeaderBytes) ? 0 : RX_ERR(RXE_CANT_WRITE_HEADER, kSgiHeaderBytes, put);
}

// Channel c of an image row: the byte itself for 24 bits, otherwise that
// component of the pixel's palette entry (red for grey files).
void plane_make(const SGI_WRITE& w, uint32_t c, uint8_t* out) {
  const uint32_t bits = w.dib.biBitCount;
  const uint8_t* row = w.row;
  if (bits == 24) {
    for (uint32_t x = 0; x < w.width; ++x) out[x] = row[3 * x + 2 - c];
    return;
  }
  uint8_t lut[256];
  for (uint32_t i = 0; i < (1u << bits); ++i) {
    const RX_RGBQUAD& q = w.palette[i];
    lut[i] = c == 0 ? q.rgbRed : c == 1 ? q.rgbGreen : q.rgbBlue;
  }
  const uint32_t mask = (1u << bits) - 1;
  for (uint32_t x = 0; x < w.width; ++x) {
    const uint32_t bit = x * bits;
    out[x] = lut[(row[bit / 8] >> (8 - bits - bit % 8)) & mask];
  }
}

int32_t buffers_make(SGI_WRITE* w) {
  const uint64_t rows = uint64_t{w->height} * w->channels;
  w->row = static_cast<uint8_t*>(RPb_AF_mem_alloc(w->tag, w->geometry.stride));
  w->plane = static_cast<uint8_t*>(RPb_AF_mem_alloc(w->tag, w->width));
  w->coded = static_cast<uint8_t*>(RPb_AF_mem_alloc(w->tag, sgi_coded_row_max(w->width)));
  w->starts = static_cast<uint32_t*>(RPb_AF_mem_alloc(w->tag, rows * 4));
  w->lengths = static_cast<uint32_t*>(RPb_AF_mem_alloc(w->tag, rows * 4));
  if (w->row == nullptr || w->plane == nullptr || w->coded == nullptr || w->starts == nullptr ||
      w->lengths == nullptr)
    return RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, static_cast<int32_t>(rows * 4), w->tag);
  return 0;
}

int32_t tables_write(SGI_WRITE* w, IO_BUFFER* out, bool zeros) {
  const uint64_t rows = uint64_t{w->height} * w->channels;
  for (const uint32_t* table : {w->starts, w->lengths}) {
    for (uint64_t k = 0; k < rows; ++k) {
      uint8_t* p = io_buffer_reserve(out, 4);
      if (p == nullptr) return RX_ERR(RXE_CANT_WRITE_PIXEL_DATA, static_cast<int32_t>(rows * 8), 0);
      put32(p, zeros ? 0 : table[k]);
    }
  }
  return 0;
}

// Every row of every channel: channel 0 (red) first, each from the bottom.
int32_t rows_write(SGI_WRITE* w, IO_BUFFER* out) {
  const uint32_t stride = w->geometry.stride;
  int64_t at = kSgiHeaderBytes + int64_t{8} * w->height * w->channels;
  for (uint32_t c = 0; c < w->channels; ++c) {
    for (uint32_t y = 0; y < w->height; ++y) {
      const auto row = static_cast<int32_t>(w->height - 1 - y);
      if (const int32_t code = io_callback_status(RPb_IO_raster_get(w->io, w->row, row, static_cast<int32_t>(stride))))
        return code;
      plane_make(*w, c, w->plane);
      const uint8_t* bytes = w->plane;
      size_t n = w->width;
      if (w->rle) {
        n = sgi_row_encode(w->plane, w->width, w->coded);
        bytes = w->coded;
        const size_t k = size_t{c} * w->height + y;
        if (at + static_cast<int64_t>(n) > INT32_MAX) return RX_ERR(RXE_CANT_WRITE_PIXEL_DATA, static_cast<int32_t>(n), y);
        w->starts[k] = static_cast<uint32_t>(at);
        w->lengths[k] = static_cast<uint32_t>(n);
        at += static_cast<int64_t>(n);
      }
      uint8_t* p = io_buffer_reserve(out, static_cast<int32_t>(n));
      if (p == nullptr) return RX_ERR(RXE_CANT_WRITE_PIXEL_DATA, static_cast<int32_t>(n), y);
      std::memcpy(p, bytes, n);
    }
  }
  return 0;
}

int32_t buffer_open(SGI_WRITE* w, IO_BUFFER* out) {
  const auto size = static_cast<int32_t>(std::max<uint64_t>(kOutBufferBytes, sgi_coded_row_max(w->width)));
  return io_buffer_open(w->io, w->tag, out, size, kIoBufferWrite);
}

// Coded files get their tables once every row is down.
int32_t tables_fill(SGI_WRITE* w) {
  const int32_t end = RPb_IO_tell(w->io);
  const int32_t tables = w->origin + static_cast<int32_t>(kSgiHeaderBytes);
  if (end < 0 || RPb_IO_seek(w->io, tables, RX_SEEK_SET) != tables)
    return RX_ERR(RXE_CANT_WRITE_PIXEL_DATA, tables, end);
  IO_BUFFER out{};
  if (buffer_open(w, &out) != 0) return RXE_GLOBAL_MEMORY_DEPLETED;
  int32_t code = tables_write(w, &out, false);
  if (io_buffer_close(&out) != 1 && code == 0) code = RX_ERR(RXE_CANT_WRITE_PIXEL_DATA, tables, 0);
  if (RPb_IO_seek(w->io, end, RX_SEEK_SET) != end && code == 0) code = RX_ERR(RXE_CANT_WRITE_PIXEL_DATA, end, 0);
  return code;
}

int32_t save(SGI_WRITE* w) {
  if (const int32_t c = io_callback_status(RPb_IO_DIB_get(w->io, &w->dib, w->palette))) return c;
  if (const int32_t c = image_check(w)) return c;
  if (const int32_t c = buffers_make(w)) return c;
  RPb_IO_byte_order_set(w->io, RX_ORDER_MOTOROLA);
  w->origin = RPb_IO_tell(w->io);
  if (const int32_t c = header_write(w)) return c;
  IO_BUFFER out{};
  if (buffer_open(w, &out) != 0) return RXE_GLOBAL_MEMORY_DEPLETED;
  int32_t code = w->rle ? tables_write(w, &out, true) : 0;
  if (code == 0) code = rows_write(w, &out);
  if (io_buffer_close(&out) != 1 && code == 0) code = RX_ERR(RXE_CANT_WRITE_PIXEL_DATA, w->width, 0);
  if (code == 0 && w->rle) code = tables_fill(w);
  return code;
}

}  // namespace

int32_t sgi_write(IO_REC* io, void* flags, int32_t, int32_t, int32_t option) {
  if (io == nullptr) {
    RX_ERR(RXE_INVALID_POINTER, 0, 0);
    return RPb_AF_error_check();
  }
  const int32_t start = RPb_IO_tell(io);
  TagGuard scratch;
  SGI_WRITE w{};
  w.io = io;
  w.tag = scratch.tag();
  // Run-length coding is asked for by the image flags or by the save's
  // writer option.
  w.rle = option != 0 || (flags != nullptr && *static_cast<const uint32_t*>(flags) != 0);
  if (save(&w) == 0) return 0;
  RPb_IO_seek(io, start, RX_SEEK_SET);
  return RPb_AF_error_check();
}

}  // namespace rx
