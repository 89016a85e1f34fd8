// The icon writer: one image as a single-image icon file with a mask that
// leaves every pixel visible. Icons are 16, 32 or 64 pixels a side and 1
// or 4 bits deep; any other image the directory can describe is written
// all the same and reported with RXE_DIB_SIZE_WRONG.
#include <algorithm>

#include "IO/io_callback_status.h"
#include "SUPPORT/dib_size.h"
#include "SUPPORT/error.h"
#include "SUPPORT/mem_tag.h"
#include "filters/ico/ico.h"
#include "filters/ico/ico_format.h"
#include "rastrix/rpb.h"

RX_SOURCE("source\\filters\\ico\\icowrite.cpp");

namespace rx {
namespace {

// Bitmap header fields the application may replace, as for BMP files.
enum : int32_t { kTagXPels = 106, kTagYPels = 107, kTagColorsUsed = 108, kTagColorsImportant = 109 };

struct ICO_WRITE {
  IO_REC* io;
  uint32_t tag;
  RX_BITMAPINFOHEADER dib;
  RX_RGBQUAD palette[256];
  DibGeometry geometry;
  uint32_t entries;     // palette entries written
  uint32_t mask_row;    // bytes of one mask row
};

bool icon_side(int32_t v) { return v == 16 || v == 32 || v == 64; }

// What cannot be written at all is refused before the first byte; what
// is not an icon the reader takes is reported but written.
int32_t image_check(ICO_WRITE* w) {
  const RX_BITMAPINFOHEADER& h = w->dib;
  const uint32_t bits = h.biBitCount;
  const bool plain = h.biCompression == RX_BI_RGB || (bits == 1 && h.biCompression == RX_BI_RUNS);
  if (!dib_bits_valid(bits) || !plain) return RX_ERR(RXE_INVALID_BITCOUNT_FOR_FORMAT, bits, h.biCompression);
  const bool fits = h.biWidth > 0 && h.biHeight > 0 && static_cast<uint32_t>(h.biWidth) <= kIcoLargestSide &&
                    static_cast<uint32_t>(h.biHeight) <= kIcoLargestSide;
  if (!fits || !dib_geometry(h.biWidth, h.biHeight, bits, RX_BI_RGB, &w->geometry))
    return RX_ERR(RXE_DIB_SIZE_WRONG, h.biWidth, h.biHeight);
  w->entries = bits <= 8 ? 1u << bits : 0;
  w->mask_row = static_cast<uint32_t>(dib_stride(1, static_cast<uint64_t>(h.biWidth)));
  return 0;
}

int32_t write_all(IO_REC* io, const uint8_t* b, uint32_t n, RX_STATUS code) {
  const int32_t put = RPb_IO_write(io, b, static_cast<int32_t>(n));
  return put == static_cast<int32_t>(n) ? 0 : RX_ERR(code, n, put);
}

void tag_dword(IO_REC* io, int32_t tag, uint8_t* field) {
  uint32_t v = 0;
  if (RPb_IO_tag_dword_get(io, tag, &v) != 0) ico_put32(field, v);
}

int32_t headers_write(ICO_WRITE* w) {
  const RX_BITMAPINFOHEADER& h = w->dib;
  const auto width = static_cast<uint32_t>(h.biWidth), height = static_cast<uint32_t>(h.biHeight);
  const uint32_t colour_bytes = w->geometry.pixel_bytes;
  const uint32_t resource = colour_bytes + w->mask_row * height + w->entries * 4 + kIcoBitmapHeaderBytes;
  uint8_t b[kIcoHeaderBytes + kIcoEntryBytes + kIcoBitmapHeaderBytes] = {};
  ico_put16(b + 2, kIcoType);
  ico_put16(b + 4, 1);
  uint8_t* e = b + kIcoHeaderBytes;
  e[0] = static_cast<uint8_t>(width);  // 256 is stored as 0
  e[1] = static_cast<uint8_t>(height);
  e[2] = static_cast<uint8_t>(w->entries);
  ico_put32(e + 8, resource);
  ico_put32(e + 12, kIcoHeaderBytes + kIcoEntryBytes);
  uint8_t* bh = e + kIcoEntryBytes;
  ico_put32(bh, kIcoBitmapHeaderBytes);
  ico_put32(bh + 4, width);
  ico_put32(bh + 8, 2 * height);  // the colour rows and the mask
  ico_put16(bh + 12, 1);
  ico_put16(bh + 14, h.biBitCount);
  ico_put32(bh + 20, colour_bytes);
  if (RPb_IO_tag_get_exists(w->io)) {
    tag_dword(w->io, kTagXPels, bh + 24);
    tag_dword(w->io, kTagYPels, bh + 28);
    tag_dword(w->io, kTagColorsUsed, bh + 32);
    tag_dword(w->io, kTagColorsImportant, bh + 36);
  }
  if (const int32_t c = write_all(w->io, b, kIcoHeaderBytes + kIcoEntryBytes, RXE_CANT_WRITE_HEADER)) return c;
  return write_all(w->io, bh, kIcoBitmapHeaderBytes, RXE_CANT_WRITE_HEADER);
}

int32_t palette_write(ICO_WRITE* w) {
  if (w->entries == 0) return 0;
  uint8_t b[256 * 4] = {};
  for (uint32_t i = 0; i < w->entries; ++i) {
    b[4 * i] = w->palette[i].rgbBlue;
    b[4 * i + 1] = w->palette[i].rgbGreen;
    b[4 * i + 2] = w->palette[i].rgbRed;
  }
  return write_all(w->io, b, w->entries * 4, RXE_CANT_WRITE_PALETTE);
}

// Colour rows bottom row first, then a mask of zeros: every pixel shows.
int32_t rows_write(ICO_WRITE* w) {
  const uint32_t stride = w->geometry.stride;
  auto* row = static_cast<uint8_t*>(RPb_AF_mem_alloc(w->tag, std::max(stride, w->mask_row)));
  if (row == nullptr) return RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, stride, w->tag);
  for (int32_t y = w->dib.biHeight - 1; y >= 0; --y) {
    if (const int32_t c = io_callback_status(RPb_IO_raster_get(w->io, row, y, static_cast<int32_t>(stride))))
      return c;
    if (const int32_t c = write_all(w->io, row, stride, RXE_CANT_WRITE_PIXEL_DATA)) return c;
  }
  std::fill(row, row + w->mask_row, uint8_t{0});
  for (int32_t y = 0; y < w->dib.biHeight; ++y)
    if (const int32_t c = write_all(w->io, row, w->mask_row, RXE_CANT_WRITE_PIXEL_DATA)) return c;
  return 0;
}

int32_t save(ICO_WRITE* w) {
  if (const int32_t c = io_callback_status(RPb_IO_DIB_get(w->io, &w->dib, w->palette))) return c;
  if (const int32_t c = image_check(w)) return c;
  RPb_IO_byte_order_set(w->io, RX_ORDER_INTEL);
  int32_t code = headers_write(w);
  if (code == 0) code = palette_write(w);
  return code != 0 ? code : rows_write(w);
}

}  // namespace

int32_t ico_write(IO_REC* io, void*, int32_t, int32_t, int32_t) {
  if (io == nullptr) {
    RX_ERR(RXE_INVALID_POINTER, 0, 0);
    return RPb_AF_error_check();
  }
  const int32_t start = RPb_IO_tell(io);
  TagGuard scratch;
  ICO_WRITE w{};
  w.io = io;
  w.tag = scratch.tag();
  if (save(&w) != 0) {
    RPb_IO_seek(io, start, RX_SEEK_SET);
    return RPb_AF_error_check();
  }
  // Not an icon the reader takes, but written all the same.
  const RX_BITMAPINFOHEADER& h = w.dib;
  if (!icon_side(h.biWidth) || !icon_side(h.biHeight) || (h.biBitCount != 1 && h.biBitCount != 4))
    RX_ERR(RXE_DIB_SIZE_WRONG, h.biWidth, h.biHeight);
  return RPb_AF_error_check();
}

}  // namespace rx
