// The icon reader: the page count, and the information and loading of one
// image of the file. An image's directory entry gives its size and colour
// count; its bitmap header, palette and colour rows lie at the entry's
// offset. The transparency mask after the rows is not read.
#include <algorithm>
#include <climits>

#include "IO/head_bytes.h"
#include "IO/io_callback_status.h"
#include "SUPPORT/dib_size.h"
#include "SUPPORT/error.h"
#include "SUPPORT/limits.h"
#include "SUPPORT/mem_tag.h"
#include "filters/ico/ico.h"
#include "filters/ico/ico_format.h"
#include "rastrix/rpb.h"

RX_SOURCE("source\\filters\\ico\\icoread.cpp");

namespace rx {
namespace {

struct ICO_READ {
  IO_REC* io;
  int32_t origin;  // stream position of the file's first byte
  int32_t end;     // stream length
  uint32_t width, height, colors, offset;
  uint32_t bits;
  RX_BITMAPINFOHEADER dib;
  DibGeometry geometry;
  RX_RGBQUAD palette[16];
};

// Reads `n` bytes at `offset` from the file's start; the count read.
int32_t read_at_file(ICO_READ* r, uint32_t offset, uint8_t* out, int32_t n) {
  const int64_t at = int64_t{r->origin} + offset;
  if (at > INT32_MAX || RPb_IO_seek(r->io, static_cast<int32_t>(at), RX_SEEK_SET) != at) return 0;
  return std::max(RPb_IO_read(r->io, out, n), 0);
}

int32_t entry_read(ICO_READ* r, int32_t page) {
  uint8_t h[kIcoHeaderBytes];
  int32_t got = read_at_file(r, 0, h, kIcoHeaderBytes);
  if (got != static_cast<int32_t>(kIcoHeaderBytes)) return RX_ERR(RXE_CANT_READ_HEADER, kIcoHeaderBytes, got);
  const int32_t count = ii16(h + 4);
  if (page <= 0) return RX_ERR(RXE_PAGE_OUT_OF_RANGE, page, count);
  if (page > count) return RX_ERR(RXE_PAGE_NOT_IN_FILE, page, count);
  uint8_t e[kIcoEntryBytes];
  got = read_at_file(r, kIcoHeaderBytes + kIcoEntryBytes * static_cast<uint32_t>(page - 1), e, kIcoEntryBytes);
  if (got != static_cast<int32_t>(kIcoEntryBytes))
    return RX_ERR(RXE_CANT_READ_HEADER, kIcoHeaderBytes + kIcoEntryBytes, kIcoHeaderBytes + got);
  r->width = e[0] != 0 ? e[0] : kIcoLargestSide;
  r->height = e[1] != 0 ? e[1] : kIcoLargestSide;
  r->colors = e[2];
  r->offset = ii32(e + 12);
  return 0;
}

// Only 2- and 16-colour images are read; their bitmap header must describe
// the same image as the directory, or its rows would be read with the
// wrong length.
int32_t image_describe(ICO_READ* r) {
  if (r->colors != 2 && r->colors != 16) return RX_ERR(RXE_INVALID_BITCOUNT_FOR_FORMAT, r->colors, 0);
  r->bits = r->colors == 2 ? 1 : 4;
  uint8_t b[kIcoBitmapHeaderBytes];
  const int32_t got = read_at_file(r, r->offset, b, kIcoBitmapHeaderBytes);
  if (got != static_cast<int32_t>(kIcoBitmapHeaderBytes))
    return RX_ERR(RXE_CANT_READ_HEADER, got, kIcoBitmapHeaderBytes);
  const uint32_t size = ii32(b), width = ii32(b + 4), height = ii32(b + 8), bits = ii16(b + 14);
  const uint32_t compression = ii32(b + 16);
  if (size != kIcoBitmapHeaderBytes || compression != 0) return RX_ERR(RXE_INVALID_FILE_HEADER, size, compression);
  if (bits != r->bits) return RX_ERR(RXE_INVALID_FILE_HEADER, bits, r->bits);
  if (width != r->width || (height != 2 * r->height && height != r->height))
    return RX_ERR(RXE_INVALID_FILE_HEADER, width, height);
  if (!dib_geometry(r->width, r->height, r->bits, RX_BI_RGB, &r->geometry))
    return RX_ERR(RXE_INVALID_FILE_HEADER, r->width, r->height);
  RPb_DIB_init(&r->dib, static_cast<int32_t>(r->width), static_cast<int32_t>(r->height),
               static_cast<int32_t>(r->bits), RX_BI_RGB, 0, 0);
  return 0;
}

int32_t palette_read(ICO_READ* r) {
  uint8_t raw[16 * 4];
  const auto want = static_cast<int32_t>(r->colors * 4);
  const int32_t got = RPb_IO_read(r->io, raw, want);
  if (got != want) return RX_ERR(RXE_CANT_READ_PALETTE, got, want);
  for (uint32_t i = 0; i < r->colors; ++i) r->palette[i] = RX_RGBQUAD{raw[4 * i], raw[4 * i + 1], raw[4 * i + 2], 0};
  return 0;
}

int32_t header_read(ICO_READ* r, int32_t page) {
  RPb_IO_byte_order_set(r->io, RX_ORDER_INTEL);
  r->origin = RPb_IO_tell(r->io);
  r->end = RPb_IO_seek(r->io, 0, RX_SEEK_END);
  if (r->origin < 0 || r->end < 0) return RX_ERR(RXE_CANT_READ_HEADER, kIcoHeaderBytes, 0);
  int32_t code = entry_read(r, page);
  if (code == 0) code = image_describe(r);
  return code != 0 ? code : palette_read(r);
}

int32_t rows_read(ICO_READ* r, uint32_t tag) {
  const uint32_t stride = r->geometry.stride;
  const int32_t here = RPb_IO_tell(r->io);
  const int64_t needed = int64_t{stride} * r->height;
  if (here < 0 || int64_t{r->end} - here < needed)
    return RX_ERR(RXE_CANT_READ_PIXEL_DATA, std::max(r->end - here, 0), static_cast<int32_t>(needed));
  if (!load_limits_allow(r->width, r->height, r->geometry))
    return RX_ERR(RXE_LOAD_LIMIT_EXCEEDED, r->width, r->height);
  RX_RGBQUAD palette[16] = {};
  std::copy(r->palette, r->palette + r->colors, palette);
  if (const int32_t c = io_callback_status(RPb_IO_DIB_create(r->io, &r->dib, palette))) return c;
  auto* row = static_cast<uint8_t*>(RPb_AF_mem_alloc(tag, stride));
  if (row == nullptr) return RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, stride, tag);
  // Rows are stored bottom-up.
  for (uint32_t i = 0; i < r->height; ++i) {
    const int32_t got = RPb_IO_read(r->io, row, static_cast<int32_t>(stride));
    if (got != static_cast<int32_t>(stride)) return RX_ERR(RXE_CANT_READ_PIXEL_DATA, got, stride);
    const auto y = static_cast<int32_t>(r->height - 1 - i);
    if (const int32_t c = io_callback_status(RPb_IO_raster_set(r->io, row, y, static_cast<int32_t>(stride))))
      return c;
  }
  return 0;
}

int32_t failed(IO_REC* io, int32_t start) {
  RPb_IO_seek(io, start, RX_SEEK_SET);
  return RPb_AF_error_check();
}

}  // namespace

int32_t ico_page_count(IO_REC* io, void*, int32_t* count) {
  if (io == nullptr) {
    RX_ERR(RXE_INVALID_POINTER, 0, 0);
    return RPb_AF_error_check();
  }
  const int32_t start = RPb_IO_tell(io);
  uint8_t b[kIcoEntryBytes];
  const int32_t got = RPb_IO_read(io, b, kIcoEntryBytes);
  RPb_IO_seek(io, start, RX_SEEK_SET);
  if (got != static_cast<int32_t>(kIcoEntryBytes)) {
    RX_ERR(RXE_PAGE_UNREADABLE, std::max(got, 0), kIcoEntryBytes);
    return RPb_AF_error_check();
  }
  if (ii16(b + 4) == 0) {
    RX_ERR(RXE_PAGE_OUT_OF_RANGE, 0, 0);
    return RPb_AF_error_check();
  }
  if (count != nullptr) *count = ii16(b + 4);
  return 0;
}

int32_t ico_info(IO_REC* io, RX_BITMAPINFOHEADER* header, RX_RGBQUAD* palette,
                 int32_t* compression, void*, int32_t page) {
  if (io == nullptr) {
    RX_ERR(RXE_INVALID_POINTER, 0, 0);
    return RPb_AF_error_check();
  }
  const int32_t start = RPb_IO_tell(io);
  ICO_READ r{};
  r.io = io;
  if (header_read(&r, page) != 0) return failed(io, start);
  RPb_IO_seek(io, start, RX_SEEK_SET);
  if (header != nullptr) *header = r.dib;
  if (palette != nullptr) {
    std::fill(palette, palette + (1u << r.bits), RX_RGBQUAD{0, 0, 0, 0});
    std::copy(r.palette, r.palette + r.colors, palette);
  }
  if (compression != nullptr) *compression = RX_COMPRESSION_NONE;
  return 0;
}

int32_t ico_read(IO_REC* io, void*, int32_t page, int32_t) {
  if (io == nullptr) {
    RX_ERR(RXE_INVALID_POINTER, 0, 0);
    return RPb_AF_error_check();
  }
  const int32_t start = RPb_IO_tell(io);
  TagGuard scratch;
  ICO_READ r{};
  r.io = io;
  if (header_read(&r, page) != 0 || rows_read(&r, scratch.tag()) != 0) return failed(io, start);
  return 0;
}

}  // namespace rx
