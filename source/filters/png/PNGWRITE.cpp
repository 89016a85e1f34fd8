// The PNG writer: 24-bit images as RGB (colour type 2, 8 bits), 1-, 4- and
// 8-bit images as palette images of their own depth (colour type 3), never
// interlaced. All rows go into one IDAT chunk holding one zlib stream of
// one fixed-Huffman deflate block: the chunk's length is written as a
// placeholder and filled in once the data are out. Rows are given filter
// type 0 and compressed in chunks of 8,192 bytes, which rows may straddle.
#include <algorithm>
#include <new>

#include "SUPPORT/dib_size.h"
#include "SUPPORT/error.h"
#include "SUPPORT/mem_tag.h"
#include "filters/codecs/adler32.h"
#include "filters/codecs/crc32.h"
#include "filters/codecs/deflate.h"
#include "filters/png/png.h"
#include "filters/png/png_format.h"
#include "rastrix/rpb.h"

RX_SOURCE("source\\filters\\png\\PNGWRITE.cpp");

namespace rx {
namespace {

using namespace png;

enum : int32_t { kFromStart = 0 };

// Compressed data collect in a buffer of this size before they are
// written, so that file streams see few large writes.
inline constexpr size_t kOutputBytes = 64 * 1024;
// The zlib header of the stream: deflate, 32 KiB window, default level.
inline constexpr uint8_t kZlibHeader[2] = {0x78, 0x9C};
inline constexpr uint8_t kIendChunk[12] = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};

struct PngWrite {
  IO_REC* io;
  uint32_t tag;
  RX_BITMAPINFOHEADER dib;
  RX_RGBQUAD palette[kMaxPaletteEntries];
  DibGeometry geometry;
  uint32_t row_bytes;  // pixel bytes of a row in the file
  // Compressed output.
  uint8_t* pending;
  size_t pending_size;
  uint32_t crc;        // of the IDAT chunk so far
  uint64_t idat_size;  // its data so far
};

bool write_exact(IO_REC* io, const void* bytes, size_t size) {
  return RPb_IO_write(io, bytes, static_cast<int32_t>(size)) == static_cast<int32_t>(size);
}

// Runs-format images are handed over as plain 1-bit rows.
int32_t image_check(PngWrite* w) {
  const RX_BITMAPINFOHEADER& h = w->dib;
  const uint32_t bits = h.biBitCount;
  if ((bits != 1 && bits != 4 && bits != 8 && bits != 24) || h.biCompression != RX_BI_RGB)
    return RX_ERR(RXE_INVALID_BITCOUNT_FOR_FORMAT, bits, h.biCompression);
  if (!dib_geometry(h.biWidth, h.biHeight, bits, RX_BI_RGB, &w->geometry))
    return RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, h.biWidth, h.biHeight);
  w->row_bytes = static_cast<uint32_t>(row_bytes(static_cast<uint64_t>(h.biWidth), bits));
  return 0;
}

// Type, data and CRC of a small chunk, into `out` (12 + size bytes).
size_t chunk_make(uint8_t* out, uint32_t type, const uint8_t* data, uint32_t size) {
  put32(out, size);
  put32(out + 4, type);
  std::copy(data, data + size, out + 8);
  put32(out + 8 + size, codec::crc32_update(0, out + 4, 4 + size));
  return 12 + size;
}

int32_t header_write(PngWrite* w) {
  uint8_t b[kSignatureBytes + 12 + kHeaderDataBytes];
  std::copy(kSignature, kSignature + kSignatureBytes, b);
  if (!write_exact(w->io, b, kSignatureBytes)) return RX_ERR(RXE_CANT_WRITE_HEADER, kSignatureBytes, 0);
  const bool rgb = w->dib.biBitCount == 24;
  uint8_t d[kHeaderDataBytes] = {};
  put32(d, static_cast<uint32_t>(w->dib.biWidth));
  put32(d + 4, static_cast<uint32_t>(w->dib.biHeight));
  d[8] = static_cast<uint8_t>(rgb ? 8 : w->dib.biBitCount);
  d[9] = rgb ? kRgb : kPalette;
  const size_t n = chunk_make(b, kIHDR, d, kHeaderDataBytes);
  return write_exact(w->io, b, n) ? 0 : RX_ERR(RXE_CANT_WRITE_HEADER, static_cast<int32_t>(n), 0);
}

int32_t palette_write(PngWrite* w) {
  const uint32_t bits = w->dib.biBitCount;
  if (bits == 24) return 0;
  const uint32_t full = 1u << bits;
  const uint32_t used = w->dib.biClrUsed;
  const uint32_t entries = used == 0 || used > full ? full : used;
  uint8_t d[3 * kMaxPaletteEntries];
  for (uint32_t i = 0; i < entries; ++i) {
    d[3 * i] = w->palette[i].rgbRed;
    d[3 * i + 1] = w->palette[i].rgbGreen;
    d[3 * i + 2] = w->palette[i].rgbBlue;
  }
  uint8_t b[12 + 3 * kMaxPaletteEntries];
  const size_t n = chunk_make(b, kPLTE, d, 3 * entries);
  return write_exact(w->io, b, n) ? 0 : RX_ERR(RXE_CANT_WRITE_PALETTE, static_cast<int32_t>(n), 0);
}

// IDAT data go through the chunk's CRC and out in large writes.
int32_t pending_flush(PngWrite* w) {
  if (w->pending_size == 0) return 0;
  if (!write_exact(w->io, w->pending, w->pending_size))
    return RX_ERR(RXE_CANT_WRITE_PIXEL_DATA, static_cast<int32_t>(w->pending_size), 0);
  w->pending_size = 0;
  return 0;
}

// Makes room for `n` more bytes of IDAT data; returns where they go.
uint8_t* pending_room(PngWrite* w, size_t n) {
  if (w->pending_size + n > kOutputBytes && pending_flush(w) != 0) return nullptr;
  return w->pending + w->pending_size;
}

void pending_add(PngWrite* w, size_t n) {
  w->crc = codec::crc32_update(w->crc, w->pending + w->pending_size, n);
  w->pending_size += n;
  w->idat_size += n;
}

int32_t bytes_add(PngWrite* w, const uint8_t* bytes, size_t n) {
  uint8_t* to = pending_room(w, n);
  if (to == nullptr) return RPb_AF_error_check();
  std::copy(bytes, bytes + n, to);
  pending_add(w, n);
  return 0;
}

struct Compressor {
  codec::FixedDeflater* deflater;
  uint8_t* chunk;  // filtered rows waiting to be compressed
  size_t filled;
  uint32_t adler;
};

int32_t chunk_compress(PngWrite* w, Compressor* c) {
  uint8_t* to = pending_room(w, codec::kDeflateChunkOutBytes);
  if (to == nullptr) return RPb_AF_error_check();
  c->adler = codec::adler32_update(c->adler, c->chunk, c->filled);
  pending_add(w, codec::deflate_fixed_chunk(c->deflater, c->chunk, c->filled, to));
  c->filled = 0;
  return 0;
}

// Appends filtered bytes, compressing every full chunk.
int32_t filtered_add(PngWrite* w, Compressor* c, const uint8_t* bytes, size_t n) {
  while (n > 0) {
    const size_t take = std::min(n, codec::kDeflateChunkBytes - c->filled);
    std::copy(bytes, bytes + take, c->chunk + c->filled);
    c->filled += take;
    bytes += take;
    n -= take;
    if (c->filled == codec::kDeflateChunkBytes) {
      const int32_t code = chunk_compress(w, c);
      if (code != 0) return code;
    }
  }
  return 0;
}

// File rows: filter byte 0, then the pixels, 24-bit ones as red, green,
// blue; the DIB's row padding is left out.
void row_make(const PngWrite& w, const uint8_t* dib_row, uint8_t* out) {
  out[0] = kFilterNone;
  if (w.dib.biBitCount != 24) {
    std::copy(dib_row, dib_row + w.row_bytes, out + 1);
    return;
  }
  for (uint32_t x = 0; x < static_cast<uint32_t>(w.dib.biWidth); ++x) {
    out[1 + 3 * x] = dib_row[3 * x + 2];
    out[2 + 3 * x] = dib_row[3 * x + 1];
    out[3 + 3 * x] = dib_row[3 * x];
  }
}

int32_t rows_compress(PngWrite* w, Compressor* c) {
  const uint32_t stride = w->geometry.stride;
  auto* dib_row = static_cast<uint8_t*>(RPb_AF_mem_alloc(w->tag, stride));
  auto* file_row = static_cast<uint8_t*>(RPb_AF_mem_alloc(w->tag, size_t{w->row_bytes} + 1));
  if (dib_row == nullptr || file_row == nullptr)
    return RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, static_cast<int32_t>(stride), w->tag);
  for (int32_t r = 0; r < w->dib.biHeight; ++r) {
    if (RPb_IO_raster_get(w->io, dib_row, r, static_cast<int32_t>(stride)) != 0)
      return RPb_AF_error_check();
    row_make(*w, dib_row, file_row);
    const int32_t code = filtered_add(w, c, file_row, size_t{w->row_bytes} + 1);
    if (code != 0) return code;
  }
  return c->filled != 0 ? chunk_compress(w, c) : 0;
}

int32_t stream_finish(PngWrite* w, Compressor* c) {
  uint8_t* to = pending_room(w, codec::kDeflateFinishOutBytes + 4);
  if (to == nullptr) return RPb_AF_error_check();
  pending_add(w, codec::deflate_fixed_finish(c->deflater, to));
  uint8_t adler[4];
  put32(adler, c->adler);
  return bytes_add(w, adler, 4);
}

// Writes the chunk's length in place of the placeholder and appends the CRC.
int32_t idat_close(PngWrite* w, int32_t length_at) {
  if (w->idat_size > kMaxChunkLength)
    return RX_ERR(RXE_CANT_WRITE_PIXEL_DATA, static_cast<int32_t>(std::min<uint64_t>(w->idat_size, INT32_MAX)), 0);
  const int32_t end = RPb_IO_tell(w->io);
  uint8_t b[4];
  put32(b, static_cast<uint32_t>(w->idat_size));
  const bool placed = RPb_IO_seek(w->io, length_at, kFromStart) == length_at && write_exact(w->io, b, 4);
  if (!placed || RPb_IO_seek(w->io, end, kFromStart) != end)
    return RX_ERR(RXE_CANT_WRITE_PIXEL_DATA, 4, length_at);
  put32(b, w->crc);
  return write_exact(w->io, b, 4) ? 0 : RX_ERR(RXE_CANT_WRITE_PIXEL_DATA, 4, end);
}

int32_t idat_write(PngWrite* w) {
  void* state = RPb_AF_mem_alloc(w->tag, sizeof(codec::FixedDeflater));
  Compressor c{};
  c.chunk = static_cast<uint8_t*>(RPb_AF_mem_alloc(w->tag, codec::kDeflateChunkBytes));
  w->pending = static_cast<uint8_t*>(RPb_AF_mem_alloc(w->tag, kOutputBytes));
  if (state == nullptr || c.chunk == nullptr || w->pending == nullptr)
    return RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, static_cast<int32_t>(sizeof(codec::FixedDeflater)), w->tag);
  c.deflater = new (state) codec::FixedDeflater;
  codec::deflate_fixed_begin(c.deflater);
  c.adler = 1;
  const int32_t length_at = RPb_IO_tell(w->io);
  uint8_t head[8] = {0, 0, 0, 0};
  put32(head + 4, kIDAT);
  if (!write_exact(w->io, head, 8)) return RX_ERR(RXE_CANT_WRITE_PIXEL_DATA, 8, 0);
  w->crc = codec::crc32_update(0, head + 4, 4);
  int32_t code = bytes_add(w, kZlibHeader, 2);
  if (code == 0) code = rows_compress(w, &c);
  if (code == 0) code = stream_finish(w, &c);
  if (code == 0) code = pending_flush(w);
  return code != 0 ? code : idat_close(w, length_at);
}

int32_t save(PngWrite* w) {
  if (RPb_IO_DIB_get(w->io, &w->dib, w->palette) != 0) return RPb_AF_error_check();
  int32_t code = image_check(w);
  if (code != 0) return code;
  RPb_IO_byte_order_set(w->io, RX_ORDER_MOTOROLA);
  if (RPb_IO_seek(w->io, 0, kFromStart) != 0) return RX_ERR(RXE_CANT_WRITE_HEADER, 0, 0);
  if ((code = header_write(w)) != 0 || (code = palette_write(w)) != 0 || (code = idat_write(w)) != 0)
    return code;
  return write_exact(w->io, kIendChunk, sizeof kIendChunk)
             ? 0
             : RX_ERR(RXE_CANT_WRITE_PIXEL_DATA, static_cast<int32_t>(sizeof kIendChunk), 0);
}

}  // namespace

int32_t png_write(IO_REC* io, void*, int32_t, int32_t, int32_t) {
  if (io == nullptr) {
    RX_ERR(RXE_INVALID_POINTER, 0, 0);
    return RPb_AF_error_check();
  }
  const int32_t start = RPb_IO_tell(io);
  TagGuard scratch;
  PngWrite w{};
  w.io = io;
  w.tag = scratch.tag();
  if (save(&w) == 0) return 0;
  RPb_IO_seek(io, start, kFromStart);
  return RPb_AF_error_check();
}

}  // namespace rx
