// The PSD writer: one raw, single-layer file. 24-bit images become RGB
// files of three planes, 8-bit images indexed files with their palette,
// 1-bit images bitmap files.
#include <algorithm>

#include "IO/io_callback_status.h"
#include "IO/iobuffer.h"
#include "SUPPORT/error.h"
#include "SUPPORT/mem_tag.h"
#include "filters/psd/psd.h"
#include "filters/psd/psd_format.h"
#include "rastrix/rpb.h"

RX_SOURCE("source\\filters\\psd\\psdwrite.cpp");

namespace rx {
namespace {

// Rows go out through a buffer of at least this many bytes.
inline constexpr int32_t kOutBufferBytes = 65536;

struct PSD_WRITE {
  IO_REC* io;
  uint32_t tag;
  RX_BITMAPINFOHEADER dib;
  RX_RGBQUAD palette[256];
  DibGeometry geometry;
  uint32_t file_row;  // bytes of one plane row in the file
  bool invert;        // 1-bit: the file's set bits are black
};

void put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 8);
  p[1] = static_cast<uint8_t>(v);
}
void put32(uint8_t* p, uint32_t v) {
  put16(p, v >> 16);
  put16(p + 2, v);
}

uint32_t grey_of(const RX_RGBQUAD& q) { return (q.rgbRed * 77u + q.rgbGreen * 151u + q.rgbBlue * 28u) >> 8; }

int32_t image_check(PSD_WRITE* w) {
  const RX_BITMAPINFOHEADER& h = w->dib;
  const uint32_t bits = h.biBitCount;
  const bool plain = h.biCompression == RX_BI_RGB || (bits == 1 && h.biCompression == RX_BI_RUNS);
  if ((bits != 1 && bits != 8 && bits != 24) || !plain)
    return RX_ERR(RXE_INVALID_BITCOUNT_FOR_FORMAT, bits, h.biCompression);
  if (!dib_geometry(h.biWidth, h.biHeight, bits, RX_BI_RGB, &w->geometry))
    return RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, h.biWidth, h.biHeight);
  w->file_row = bits == 24 ? static_cast<uint32_t>(h.biWidth) : (bits * static_cast<uint32_t>(h.biWidth) + 7) / 8;
  // A bitmap file's set bits are black: the darker entry is written as 1.
  w->invert = bits == 1 && grey_of(w->palette[0]) <= grey_of(w->palette[1]);
  return 0;
}

int32_t write_all(IO_REC* io, const uint8_t* b, uint32_t n, RX_STATUS code) {
  const int32_t put = RPb_IO_write(io, b, static_cast<int32_t>(n));
  return put == static_cast<int32_t>(n) ? 0 : RX_ERR(code, n, put);
}

int32_t header_write(PSD_WRITE* w) {
  const uint32_t bits = w->dib.biBitCount;
  uint8_t b[kPsdHeaderBytes] = {'8', 'B', 'P', 'S'};
  put16(b + 4, kPsdVersion);
  put16(b + 12, bits == 24 ? 3 : 1);
  put32(b + 14, static_cast<uint32_t>(w->dib.biHeight));
  put32(b + 18, static_cast<uint32_t>(w->dib.biWidth));
  put16(b + 22, bits == 1 ? 1 : 8);
  put16(b + 24, bits == 24 ? kPsdModeRgb : bits == 1 ? kPsdModeBitmap : kPsdModeIndexed);
  put32(b + 26, bits == 8 ? kPsdColorTableBytes : 0);
  if (const int32_t c = write_all(w->io, b, kPsdHeaderBytes, RXE_CANT_WRITE_HEADER)) return c;
  if (bits == 8) {
    uint8_t t[kPsdColorTableBytes];
    for (uint32_t i = 0; i < 256; ++i) {
      t[i] = w->palette[i].rgbRed;
      t[256 + i] = w->palette[i].rgbGreen;
      t[512 + i] = w->palette[i].rgbBlue;
    }
    if (const int32_t c = write_all(w->io, t, kPsdColorTableBytes, RXE_CANT_WRITE_PALETTE)) return c;
  }
  // No image resources, no layers, raw data.
  const uint8_t sections[10] = {};
  return write_all(w->io, sections, sizeof sections, RXE_CANT_WRITE_HEADER);
}

// The file row of plane `plane` (red, green, blue for 24 bits) from an
// image row.
void file_row_make(const PSD_WRITE& w, const uint8_t* row, uint32_t plane, uint8_t* out) {
  if (w.dib.biBitCount == 24) {
    const uint32_t width = static_cast<uint32_t>(w.dib.biWidth);
    for (uint32_t x = 0; x < width; ++x) out[x] = row[3 * x + 2 - plane];
    return;
  }
  for (uint32_t i = 0; i < w.file_row; ++i) out[i] = w.invert ? static_cast<uint8_t>(~row[i]) : row[i];
  const uint32_t width = static_cast<uint32_t>(w.dib.biWidth);
  if (w.dib.biBitCount == 1 && width % 8 != 0)
    out[w.file_row - 1] &= static_cast<uint8_t>(0xFF00 >> (width % 8));
}

int32_t planes_write(PSD_WRITE* w) {
  const uint32_t stride = w->geometry.stride;
  auto* row = static_cast<uint8_t*>(RPb_AF_mem_alloc(w->tag, stride));
  if (row == nullptr) return RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, stride, w->tag);
  IO_BUFFER out{};
  const int32_t size = static_cast<int32_t>(std::max<uint32_t>(kOutBufferBytes, w->file_row));
  if (io_buffer_open(w->io, w->tag, &out, size, kIoBufferWrite) != 0) return RXE_GLOBAL_MEMORY_DEPLETED;
  const uint32_t planes = w->dib.biBitCount == 24 ? 3 : 1;
  int32_t code = 0;
  for (uint32_t k = 0; k < planes && code == 0; ++k) {
    for (int32_t y = 0; y < w->dib.biHeight && code == 0; ++y) {
      code = io_callback_status(RPb_IO_raster_get(w->io, row, y, static_cast<int32_t>(stride)));
      if (code != 0) break;
      uint8_t* p = io_buffer_reserve(&out, static_cast<int32_t>(w->file_row));
      if (p == nullptr) code = RX_ERR(RXE_CANT_WRITE_PIXEL_DATA, w->file_row, y);
      else file_row_make(*w, row, k, p);
    }
  }
  if (io_buffer_close(&out) != 1 && code == 0) code = RX_ERR(RXE_CANT_WRITE_PIXEL_DATA, 0, w->dib.biHeight);
  return code;
}

int32_t save(PSD_WRITE* w) {
  if (const int32_t c = io_callback_status(RPb_IO_DIB_get(w->io, &w->dib, w->palette))) return c;
  if (const int32_t c = image_check(w)) return c;
  RPb_IO_byte_order_set(w->io, RX_ORDER_MOTOROLA);
  if (const int32_t c = header_write(w)) return c;
  return planes_write(w);
}

}  // namespace

int32_t psd_write(IO_REC* io, void*, int32_t, int32_t, int32_t) {
  if (io == nullptr) {
    RX_ERR(RXE_INVALID_POINTER, 0, 0);
    return RPb_AF_error_check();
  }
  const int32_t start = RPb_IO_tell(io);
  TagGuard scratch;
  PSD_WRITE w{};
  w.io = io;
  w.tag = scratch.tag();
  if (save(&w) == 0) return 0;
  RPb_IO_seek(io, start, RX_SEEK_SET);
  return RPb_AF_error_check();
}

}  // namespace rx
