// The BMP writer: pulls the image through the stream's callbacks and writes
// the file header, one of the three bitmap headers, the palette and the
// rows, plain or run-length coded. Every choice is checked before the
// first byte goes out, and the file size field is filled in at the end.
#include <algorithm>

#include "IO/io_callback_status.h"
#include "IO/io_direct_rows.h"
#include "SUPPORT/error.h"
#include "SUPPORT/mem_tag.h"
#include "filters/bmp/bmp.h"
#include "filters/bmp/bmp_format.h"
#include "filters/bmp/bmp_rle.h"
#include "rastrix/rpb.h"

RX_SOURCE("source\\filters\\bmp\\bmpwrite.cpp");

namespace rx {
namespace {

// The 12-byte header stores the width unsigned and the height signed in
// 16 bits.
inline constexpr int32_t kCoreMaxWidth = 0xFFFF;
inline constexpr int32_t kCoreMaxHeight = 0x7FFF;

struct BMP_WRITE {
  IO_REC* io;
  uint32_t tag;
  BMP_FLAGS flags;
  RX_BITMAPINFOHEADER dib;
  RX_RGBQUAD palette[256];
  DibGeometry geometry;
  uint32_t header_size;
  uint32_t entry_bytes;  // 3 or 4 per palette entry
  uint32_t entries;      // palette entries written
  uint32_t compression;
  uint32_t top_down;
  int32_t size_field;    // stream position of the file size field
};

uint32_t header_size_of(uint32_t type) {
  switch (type) {
    case kBmpTypeCore: return kBmpCoreHeaderBytes;
    case kBmpTypeInfo: return kBmpInfoHeaderBytes;
    case kBmpTypeLong: return kBmpLongHeaderBytes;
    default: return 0;
  }
}

// What can be written: the depths a BMP holds, and a 16-bit image only
// when its pixels are already the file's five bits per component.
int32_t image_check(BMP_WRITE* w) {
  const RX_BITMAPINFOHEADER& h = w->dib;
  const uint32_t bits = h.biBitCount;
  const bool plain = h.biCompression == RX_BI_RGB || (bits == 1 && h.biCompression == RX_BI_RUNS);
  if (!dib_bits_valid(bits) || !plain)
    return RX_ERR(RXE_INVALID_BITCOUNT_FOR_FORMAT, bits, h.biCompression);
  if (!dib_geometry(h.biWidth, h.biHeight, bits, RX_BI_RGB, &w->geometry))
    return RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, h.biWidth, h.biHeight);
  return 0;
}

// The option asks for run-length coding of whichever kind fits the depth;
// otherwise the flags say. A 12-byte header cannot say that its rows are
// coded, nor describe 16-bit rows, nor hold a larger image.
int32_t choices_make(BMP_WRITE* w, int32_t option) {
  const uint32_t bits = w->dib.biBitCount;
  if (option != 0) {
    if (bits == 4) w->flags.compression = kBmpRle4;
    else if (bits == 8) w->flags.compression = kBmpRle8;
    else return RX_ERR(RXE_INVALID_COMPRESSION, option, bits);
  }
  w->compression = w->flags.compression;
  w->header_size = header_size_of(w->flags.header_type);
  if (w->header_size == 0) return RX_ERR(RXE_INVALID_FILE_HEADER, w->flags.header_type, 0);
  const bool fits = (w->compression == kBmpPlain) || (w->compression == kBmpRle8 && bits == 8) ||
                    (w->compression == kBmpRle4 && bits == 4);
  const bool core = w->header_size == kBmpCoreHeaderBytes;
  if (!fits || (core && w->compression != kBmpPlain))
    return RX_ERR(RXE_INVALID_COMPRESSION, w->compression, bits);
  if (core && bits == 16) return RX_ERR(RXE_INVALID_BITCOUNT_FOR_FORMAT, bits, 0);
  if (core && (w->dib.biWidth > kCoreMaxWidth || w->dib.biHeight > kCoreMaxHeight))
    return RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, w->dib.biWidth, w->dib.biHeight);
  w->entry_bytes = core ? 3 : 4;
  w->entries = bits <= 8 ? 1u << bits : 0;
  w->top_down = !core && w->flags.top_down != 0 ? 1 : 0;
  return 0;
}

int32_t write_all(BMP_WRITE* w, const uint8_t* bytes, uint32_t count, RX_STATUS code) {
  const int32_t put = RPb_IO_write(w->io, bytes, static_cast<int32_t>(count));
  return put == static_cast<int32_t>(count) ? 0 : RX_ERR(code, count, put);
}

int32_t file_header_write(BMP_WRITE* w) {
  uint8_t b[kBmpFileHeaderBytes] = {'B', 'M'};
  bmp_put32(b + 10, kBmpFileHeaderBytes + w->header_size + w->entries * w->entry_bytes);
  w->size_field = RPb_IO_tell(w->io) + static_cast<int32_t>(kBmpFileSizeOffset);
  return write_all(w, b, kBmpFileHeaderBytes, RXE_CANT_WRITE_HEADER);
}

// The application's answer replaces a field when it gives one.
void tag_dword(IO_REC* io, int32_t tag, uint8_t* field) {
  uint32_t v = 0;
  if (RPb_IO_tag_dword_get(io, tag, &v) != 0) bmp_put32(field, v);
}

void tag_word(IO_REC* io, int32_t tag, uint8_t* field) {
  uint16_t v = 0;
  if (RPb_IO_tag_word_get(io, tag, &v) != 0) bmp_put16(field, v);
}

void tags_apply(BMP_WRITE* w, uint8_t* b) {
  if (!RPb_IO_tag_get_exists(w->io)) return;
  tag_dword(w->io, kBmpTagXPels, b + 24);
  tag_dword(w->io, kBmpTagYPels, b + 28);
  tag_dword(w->io, kBmpTagColorsUsed, b + 32);
  tag_dword(w->io, kBmpTagColorsImportant, b + 36);
  if (w->header_size != kBmpLongHeaderBytes) return;
  tag_word(w->io, kBmpTagUnits, b + 40);
  tag_word(w->io, kBmpTagRecording, b + 44);
  tag_word(w->io, kBmpTagRendering, b + 46);
  tag_dword(w->io, kBmpTagSize1, b + 48);
  tag_dword(w->io, kBmpTagSize2, b + 52);
  tag_dword(w->io, kBmpTagColorEncoding, b + 56);
  tag_dword(w->io, kBmpTagIdentifier, b + 60);
}

int32_t bitmap_header_write(BMP_WRITE* w) {
  const RX_BITMAPINFOHEADER& h = w->dib;
  uint8_t b[kBmpLongHeaderBytes] = {};
  bmp_put32(b, w->header_size);
  if (w->header_size == kBmpCoreHeaderBytes) {
    bmp_put16(b + 4, static_cast<uint32_t>(h.biWidth));
    bmp_put16(b + 6, static_cast<uint32_t>(h.biHeight));
    bmp_put16(b + 8, 1);
    bmp_put16(b + 10, h.biBitCount);
  } else {
    bmp_put32(b + 4, static_cast<uint32_t>(h.biWidth));
    bmp_put32(b + 8, static_cast<uint32_t>(w->top_down ? -h.biHeight : h.biHeight));
    bmp_put16(b + 12, 1);
    bmp_put16(b + 14, h.biBitCount);
    bmp_put32(b + 16, w->compression);
    bmp_put32(b + 20, w->compression == kBmpPlain ? w->geometry.pixel_bytes : 0);
    bmp_put32(b + 24, static_cast<uint32_t>(h.biXPelsPerMeter));
    bmp_put32(b + 28, static_cast<uint32_t>(h.biYPelsPerMeter));
    tags_apply(w, b);
  }
  return write_all(w, b, w->header_size, RXE_CANT_WRITE_HEADER);
}

int32_t palette_write(BMP_WRITE* w) {
  if (w->entries == 0) return 0;
  uint8_t b[256 * 4] = {};
  for (uint32_t i = 0; i < w->entries; ++i) {
    uint8_t* e = b + i * w->entry_bytes;
    e[0] = w->palette[i].rgbBlue;
    e[1] = w->palette[i].rgbGreen;
    e[2] = w->palette[i].rgbRed;
  }
  return write_all(w, b, w->entries * w->entry_bytes, RXE_CANT_WRITE_PALETTE);
}

// The image row that goes out n-th.
int32_t source_row(const BMP_WRITE* w, int32_t n) {
  return bmp_row_of(w->top_down != 0, w->dib.biHeight, n);
}

// Bottom-up rows lie in the file as they lie in the image: written
// straight from it, in the blocks the row-by-row path writes, so that the
// stream sees the same writes.
int32_t rows_in_place_write(BMP_WRITE* w, const DirectRows& rows) {
  const uint32_t stride = w->geometry.stride;
  const int32_t height = w->dib.biHeight;
  const uint32_t per_block = bmp_rows_per_chunk(stride, height);
  for (int32_t n = 0; n < height;) {
    const auto count = static_cast<int32_t>(std::min<int64_t>(per_block, height - n));
    const auto want = static_cast<int32_t>(int64_t{count} * stride);
    const int32_t put = RPb_IO_write(w->io, rows.row(source_row(w, n)), want);
    if (put != want) return RX_ERR(RXE_CANT_WRITE_PIXEL_DATA, put, want);
    n += count;
  }
  return 0;
}

int32_t plain_rows_write(BMP_WRITE* w) {
  const uint32_t stride = w->geometry.stride;
  const int32_t height = w->dib.biHeight;
  DirectRows image_rows{};
  if (w->top_down == 0 && io_source_rows(w->io, height, stride, &image_rows))
    return rows_in_place_write(w, image_rows);
  const uint32_t per_block = bmp_rows_per_chunk(stride, height);
  auto* block = static_cast<uint8_t*>(RPb_AF_mem_alloc(w->tag, size_t{per_block} * stride));
  if (block == nullptr) return RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, per_block * stride, w->tag);
  for (int32_t n = 0; n < height;) {
    const auto rows = static_cast<int32_t>(std::min<int64_t>(per_block, height - n));
    for (int32_t k = 0; k < rows; ++k) {
      if (const int32_t c = io_callback_status(RPb_IO_raster_get(
              w->io, block + size_t{stride} * k, source_row(w, n + k), static_cast<int32_t>(stride))))
        return c;
    }
    const auto want = static_cast<int32_t>(int64_t{rows} * stride);
    const int32_t put = RPb_IO_write(w->io, block, want);
    if (put != want) return RX_ERR(RXE_CANT_WRITE_PIXEL_DATA, put, want);
    n += rows;
  }
  return 0;
}

// One pixel per byte, as the 4-bit encoder takes them.
void nibbles_unpack(const uint8_t* packed, uint32_t width, uint8_t* out) {
  for (uint32_t x = 0; x + 1 < width; x += 2, ++packed) {
    out[x] = static_cast<uint8_t>(*packed >> 4);
    out[x + 1] = static_cast<uint8_t>(*packed & 0x0F);
  }
  if (width & 1) out[width - 1] = static_cast<uint8_t>(*packed >> 4);
}

// Only the image's own pixels are coded, not the row padding, so readers
// that count rows by the width see exactly the image.
int32_t coded_rows_write(BMP_WRITE* w) {
  const uint32_t stride = w->geometry.stride;
  const auto width = static_cast<uint32_t>(w->dib.biWidth);
  const bool rle4 = w->compression == kBmpRle4;
  auto* row = static_cast<uint8_t*>(RPb_AF_mem_alloc(w->tag, size_t{stride} + (rle4 ? width : 0)));
  if (row == nullptr) return RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, stride, w->tag);
  uint8_t* pixels = rle4 ? row + stride : row;
  IO_BUFFER out{};
  if (io_buffer_open(w->io, w->tag, &out, bmp_buffer_bytes(stride, 0), kIoBufferWrite) != 0)
    return RXE_GLOBAL_MEMORY_DEPLETED;
  int32_t code = 0;
  const int32_t height = w->dib.biHeight;
  for (int32_t n = 0; n < height && code == 0; ++n) {
    code = io_callback_status(
        RPb_IO_raster_get(w->io, row, source_row(w, n), static_cast<int32_t>(stride)));
    if (code != 0) break;
    if (rle4) nibbles_unpack(row, width, pixels);
    const bool last = n == height - 1;
    const bool ok = rle4 ? bmp_rle4_row_encode(&out, pixels, width, last)
                         : bmp_rle8_row_encode(&out, pixels, width, last);
    if (!ok) code = RX_ERR(RXE_CANT_WRITE_PIXEL_DATA, 2, n);
  }
  if (io_buffer_close(&out) != 1 && code == 0) code = RX_ERR(RXE_CANT_WRITE_PIXEL_DATA, 2, height);
  return code;
}

int32_t file_size_write(BMP_WRITE* w) {
  const int32_t end = RPb_IO_tell(w->io);
  uint8_t b[4];
  bmp_put32(b, static_cast<uint32_t>(end - w->size_field + static_cast<int32_t>(kBmpFileSizeOffset)));
  int32_t put = 0;
  if (RPb_IO_seek(w->io, w->size_field, RX_SEEK_SET) == w->size_field)
    put = RPb_IO_write(w->io, b, 4);
  RPb_IO_seek(w->io, end, RX_SEEK_SET);
  return put == 4 ? 0 : RX_ERR(RXE_BMP_FILE_SIZE_WRITE, put, end);
}

int32_t save(BMP_WRITE* w, int32_t option) {
  if (const int32_t c = io_callback_status(RPb_IO_DIB_get(w->io, &w->dib, w->palette))) return c;
  int32_t code = image_check(w);
  if (code == 0) code = choices_make(w, option);
  if (code != 0) return code;
  RPb_IO_byte_order_set(w->io, RX_ORDER_INTEL);
  if ((code = file_header_write(w)) != 0 || (code = bitmap_header_write(w)) != 0 ||
      (code = palette_write(w)) != 0)
    return code;
  code = w->compression == kBmpPlain ? plain_rows_write(w) : coded_rows_write(w);
  return code != 0 ? code : file_size_write(w);
}

}  // namespace

int32_t bmp_write(IO_REC* io, void* flags, int32_t, int32_t, int32_t option) {
  if (io == nullptr) {
    RX_ERR(RXE_INVALID_POINTER, 0, 0);
    return RPb_AF_error_check();
  }
  const int32_t start = RPb_IO_tell(io);
  TagGuard scratch;
  BMP_WRITE w{};
  w.io = io;
  w.tag = scratch.tag();
  w.flags = BMP_FLAGS{0, kBmpTypeInfo, kBmpPlain};
  if (flags != nullptr) w.flags = *static_cast<const BMP_FLAGS*>(flags);
  if (save(&w, option) == 0) return 0;
  RPb_IO_seek(io, start, RX_SEEK_SET);
  return RPb_AF_error_check();
}

}  // namespace rx
