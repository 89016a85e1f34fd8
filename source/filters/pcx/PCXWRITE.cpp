// The PCX writer, and the page writer that the DCX writer uses: the
// header, the lines (24-bit rows split into red, green and blue planes),
// run-length coded or not, and for 8-bit images the palette at the end.
#include <algorithm>
#include <cstring>

#include "IO/io_callback_status.h"
#include "SUPPORT/error.h"
#include "SUPPORT/mem_tag.h"
#include "filters/pcx/pcx.h"
#include "filters/pcx/pcx_format.h"
#include "rastrix/rpb.h"

RX_SOURCE("source\\filters\\pcx\\PCXWRITE.cpp");

namespace rx {
namespace {

// Xmax and Ymax are 16-bit fields.
inline constexpr int64_t kPcxMaxSide = 0x10000;
inline constexpr int32_t kOutputMinBytes = 4096;
inline constexpr int32_t kOutputMaxBytes = 1 << 22;

struct PCX_WRITE {
  IO_REC* io;
  uint32_t tag;
  bool rle;
  RX_BITMAPINFOHEADER dib;
  RX_RGBQUAD palette[256];
  DibGeometry geometry;
  uint8_t bits, planes;
  uint32_t bytes_per_line;  // per plane, even
  bool invert;              // 1-bit rows whose first colour is the lighter
};

void put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

uint32_t brightness(const RX_RGBQUAD& q) { return uint32_t{q.rgbBlue} + q.rgbGreen + q.rgbRed; }

int32_t image_check(PCX_WRITE* w) {
  const RX_BITMAPINFOHEADER& h = w->dib;
  switch (h.biBitCount) {
    case 1: case 4: case 8: w->bits = static_cast<uint8_t>(h.biBitCount); w->planes = 1; break;
    case 24: w->bits = 8; w->planes = 3; break;
    default: return RX_ERR(RXE_INVALID_FILE_HEADER, h.biBitCount, 0);
  }
  if (h.biCompression != RX_BI_RGB) return RX_ERR(RXE_INVALID_FILE_HEADER, h.biBitCount, h.biCompression);
  if (!dib_geometry(h.biWidth, h.biHeight, h.biBitCount, RX_BI_RGB, &w->geometry) ||
      h.biWidth > kPcxMaxSide || h.biHeight > kPcxMaxSide)
    return RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, h.biWidth, h.biHeight);
  const uint64_t plane = (uint64_t{static_cast<uint32_t>(h.biWidth)} * w->bits + 7) / 8;
  w->bytes_per_line = static_cast<uint32_t>((plane + 1) & ~uint64_t{1});
  // Readers take a 1-bit page as black and white, 0 black: a 0 bit must
  // stand for the darker of the image's two colours.
  w->invert = h.biBitCount == 1 && brightness(w->palette[0]) > brightness(w->palette[1]);
  return 0;
}

int32_t header_write(PCX_WRITE* w) {
  uint8_t b[kPcxHeaderBytes] = {kPcxManufacturer, kPcxVersionWritten,
                                w->rle ? kPcxRle : kPcxPlain, w->bits};
  put16(b + 8, static_cast<uint32_t>(w->dib.biWidth - 1));
  put16(b + 10, static_cast<uint32_t>(w->dib.biHeight - 1));
  put16(b + 12, pcx_dpi_of_ppm(w->dib.biXPelsPerMeter));
  put16(b + 14, pcx_dpi_of_ppm(w->dib.biYPelsPerMeter));
  if (w->dib.biBitCount <= 4) {
    const uint32_t n = 1u << w->dib.biBitCount;
    for (uint32_t i = 0; i < n; ++i) {
      const RX_RGBQUAD& q = w->palette[w->invert ? n - 1 - i : i];
      b[16 + 3 * i] = q.rgbRed;
      b[17 + 3 * i] = q.rgbGreen;
      b[18 + 3 * i] = q.rgbBlue;
    }
  }
  b[65] = w->planes;
  put16(b + 66, w->bytes_per_line);
  put16(b + 68, 1);
  const int32_t put = RPb_IO_write(w->io, b, kPcxHeaderBytes);
  return put == static_cast<int32_t>(kPcxHeaderBytes) ? 0 : RX_ERR(RXE_CANT_WRITE_HEADER, kPcxHeaderBytes, put);
}

// One image row as the file's line: planes of bytes_per_line bytes each.
void line_build(const PCX_WRITE& w, const uint8_t* row, uint8_t* line) {
  const auto width = static_cast<uint32_t>(w.dib.biWidth);
  const uint32_t bpl = w.bytes_per_line;
  std::memset(line, 0, size_t{bpl} * w.planes);
  if (w.planes == 3) {
    for (uint32_t x = 0; x < width; ++x) {
      line[x] = row[3 * x + 2];
      line[bpl + x] = row[3 * x + 1];
      line[2 * bpl + x] = row[3 * x];
    }
    return;
  }
  const uint32_t used = (width * w.bits + 7) / 8;
  std::memcpy(line, row, used);
  if (!w.invert) return;
  for (uint32_t i = 0; i < used; ++i) line[i] = static_cast<uint8_t>(~line[i]);
  if (width % 8 != 0) line[used - 1] &= static_cast<uint8_t>(0xFF00 >> (width % 8));
}

int32_t lines_write(PCX_WRITE* w) {
  const uint32_t n = w->bytes_per_line * w->planes;
  auto* row = static_cast<uint8_t*>(RPb_AF_mem_alloc(w->tag, w->geometry.stride));
  auto* line = static_cast<uint8_t*>(RPb_AF_mem_alloc(w->tag, n));
  if (row == nullptr || line == nullptr) return RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, n, w->tag);
  const auto size = static_cast<int32_t>(std::max<uint64_t>(
      std::clamp<uint64_t>(uint64_t{5} * n, kOutputMinBytes, kOutputMaxBytes), uint64_t{2} * n));
  IO_BUFFER out{};
  if (io_buffer_open(w->io, w->tag, &out, size, kIoBufferWrite) != 0) return RXE_GLOBAL_MEMORY_DEPLETED;
  int32_t code = 0;
  for (int32_t y = 0; y < w->dib.biHeight && code == 0; ++y) {
    code = io_callback_status(
        RPb_IO_raster_get(w->io, row, y, static_cast<int32_t>(w->geometry.stride)));
    if (code != 0) break;
    line_build(*w, row, line);
    bool ok = true;
    // Each plane is coded on its own, so that no run spans two planes.
    for (uint32_t p = 0; p < w->planes && ok; ++p) {
      const uint8_t* plane = line + size_t{w->bytes_per_line} * p;
      if (w->rle) {
        ok = pcx_line_encode(&out, plane, w->bytes_per_line);
      } else if (uint8_t* to = io_buffer_reserve(&out, static_cast<int32_t>(w->bytes_per_line))) {
        std::memcpy(to, plane, w->bytes_per_line);
      } else {
        ok = false;
      }
    }
    if (!ok) code = RX_ERR(RXE_CANT_WRITE_PIXEL_DATA, y, n);
  }
  if (io_buffer_close(&out) != 1 && code == 0)
    code = RX_ERR(RXE_CANT_WRITE_PIXEL_DATA, w->dib.biHeight, n);
  return code;
}

int32_t end_palette_write(PCX_WRITE* w) {
  if (w->dib.biBitCount != 8) return 0;
  uint8_t b[kPcxPaletteBytes] = {kPcxPaletteMarker};
  for (uint32_t i = 0; i < 256; ++i) {
    b[1 + 3 * i] = w->palette[i].rgbRed;
    b[2 + 3 * i] = w->palette[i].rgbGreen;
    b[3 + 3 * i] = w->palette[i].rgbBlue;
  }
  const int32_t put = RPb_IO_write(w->io, b, kPcxPaletteBytes);
  return put == static_cast<int32_t>(kPcxPaletteBytes) ? 0
                                                      : RX_ERR(RXE_CANT_WRITE_PALETTE, kPcxPaletteBytes, put);
}

}  // namespace

int32_t pcx_page_write(IO_REC* io, uint32_t tag, bool rle) {
  PCX_WRITE w{};
  w.io = io;
  w.tag = tag;
  w.rle = rle;
  if (const int32_t c = io_callback_status(RPb_IO_DIB_get(io, &w.dib, w.palette))) return c;
  int32_t code = image_check(&w);
  if (code == 0) code = header_write(&w);
  if (code == 0) code = lines_write(&w);
  if (code == 0) code = end_palette_write(&w);
  return code;
}

// Run-length coding is asked for by the format's option word (on by
// default) or by the save's writer option.
int32_t pcx_write(IO_REC* io, void* flags, int32_t, int32_t, int32_t option) {
  if (io == nullptr) {
    RX_ERR(RXE_INVALID_POINTER, 0, 0);
    return RPb_AF_error_check();
  }
  uint32_t word = kPcxRle;
  if (flags != nullptr) std::memcpy(&word, flags, sizeof word);
  const int32_t start = RPb_IO_tell(io);
  TagGuard scratch;
  if (pcx_page_write(io, scratch.tag(), word != 0 || option != 0) == 0) return 0;
  RPb_IO_seek(io, start, RX_SEEK_SET);
  return RPb_AF_error_check();
}

}  // namespace rx
