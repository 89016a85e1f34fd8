// The TGA writer: 1-, 4- and 8-bit images as colour-mapped files of 8-bit
// pixels with a 24-bit map, 24-bit images as true-colour files, rows top
// first, plain or in run-length packets.
#include <algorithm>
#include <cstring>

#include "IO/io_callback_status.h"
#include "IO/iobuffer.h"
#include "SUPPORT/dib_size.h"
#include "SUPPORT/error.h"
#include "SUPPORT/mem_tag.h"
#include "filters/tga/tga.h"
#include "filters/tga/tga_format.h"
#include "rastrix/rpb.h"

RX_SOURCE("source\\filters\\tga\\tgawrite.cpp");

namespace rx {
namespace {

inline constexpr int64_t kTgaMaxSide = 0xFFFF;
inline constexpr int32_t kOutputMinBytes = 4096;
inline constexpr int32_t kOutputMaxBytes = 1 << 22;

struct TGA_WRITE {
  IO_REC* io;
  uint32_t tag;
  bool rle;
  RX_BITMAPINFOHEADER dib;
  RX_RGBQUAD palette[256];
  DibGeometry geometry;
  uint32_t pixel_bytes;  // 1 or 3 in the file
};

void put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

int32_t image_check(TGA_WRITE* w) {
  const RX_BITMAPINFOHEADER& h = w->dib;
  const uint32_t bits = h.biBitCount;
  if ((bits != 1 && bits != 4 && bits != 8 && bits != 24) || h.biCompression != RX_BI_RGB)
    return RX_ERR(RXE_INVALID_BITCOUNT_FOR_FORMAT, bits, h.biCompression);
  if (!dib_geometry(h.biWidth, h.biHeight, bits, RX_BI_RGB, &w->geometry) ||
      h.biWidth > kTgaMaxSide || h.biHeight > kTgaMaxSide)
    return RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, h.biWidth, h.biHeight);
  w->pixel_bytes = bits == 24 ? 3 : 1;
  return 0;
}

int32_t header_write(TGA_WRITE* w) {
  const uint32_t bits = w->dib.biBitCount;
  const bool mapped = bits <= 8;
  const uint32_t entries = mapped ? 1u << bits : 0;
  uint8_t b[kTgaHeaderBytes + 3 * 256] = {};
  b[1] = mapped ? 1 : 0;
  b[2] = static_cast<uint8_t>((mapped ? kTgaMapped : kTgaTrueColour) | (w->rle ? kTgaRleType : 0));
  put16(b + 5, entries);
  b[7] = mapped ? 24 : 0;
  put16(b + 12, static_cast<uint32_t>(w->dib.biWidth));
  put16(b + 14, static_cast<uint32_t>(w->dib.biHeight));
  b[16] = mapped ? 8 : 24;
  b[17] = kTgaDescriptorTopLeft;
  for (uint32_t i = 0; i < entries; ++i) {
    uint8_t* e = b + kTgaHeaderBytes + 3 * i;
    e[0] = w->palette[i].rgbBlue;
    e[1] = w->palette[i].rgbGreen;
    e[2] = w->palette[i].rgbRed;
  }
  const auto n = static_cast<int32_t>(kTgaHeaderBytes);
  int32_t put = RPb_IO_write(w->io, b, n);
  if (put != n) return RX_ERR(RXE_CANT_WRITE_HEADER, n, put);
  const auto map = static_cast<int32_t>(3 * entries);
  put = map > 0 ? RPb_IO_write(w->io, b + n, map) : 0;
  return put == map ? 0 : RX_ERR(RXE_CANT_WRITE_PALETTE, map, put);
}

// One byte per pixel for the mapped depths.
void pixels_unpack(const uint8_t* row, uint32_t width, uint32_t bits, uint8_t* out) {
  if (bits == 8 || bits == 24) {
    std::memcpy(out, row, size_t{width} * (bits / 8));
    return;
  }
  const uint32_t per_byte = 8 / bits;
  const uint32_t mask = (1u << bits) - 1;
  for (uint32_t x = 0; x < width; ++x) {
    const uint32_t shift = 8 - bits * (x % per_byte + 1);
    out[x] = static_cast<uint8_t>((row[x / per_byte] >> shift) & mask);
  }
}

// Packets stay within their row. Two or more equal pixels make a run;
// a literal packet gathers pixels up to the next such pair.
bool row_encode(IO_BUFFER* out, const uint8_t* p, uint32_t width, uint32_t n) {
  auto same = [&](uint32_t a, uint32_t b) { return std::memcmp(p + a * n, p + b * n, n) == 0; };
  for (uint32_t x = 0; x < width;) {
    uint32_t run = 1;
    while (x + run < width && run < kTgaLongestPacket && same(x, x + run)) ++run;
    if (run >= 2) {
      uint8_t* to = io_buffer_reserve(out, static_cast<int32_t>(1 + n));
      if (to == nullptr) return false;
      to[0] = static_cast<uint8_t>(kTgaRunBit | (run - 1));
      std::memcpy(to + 1, p + size_t{x} * n, n);
      x += run;
      continue;
    }
    uint32_t count = 1;
    while (x + count < width && count < kTgaLongestPacket &&
           !(x + count + 1 < width && same(x + count, x + count + 1)))
      ++count;
    uint8_t* to = io_buffer_reserve(out, static_cast<int32_t>(1 + count * n));
    if (to == nullptr) return false;
    to[0] = static_cast<uint8_t>(count - 1);
    std::memcpy(to + 1, p + size_t{x} * n, size_t{count} * n);
    x += count;
  }
  return true;
}

int32_t rows_write(TGA_WRITE* w) {
  const auto width = static_cast<uint32_t>(w->dib.biWidth);
  const uint32_t file_row = width * w->pixel_bytes;
  auto* row = static_cast<uint8_t*>(RPb_AF_mem_alloc(w->tag, w->geometry.stride));
  auto* pixels = static_cast<uint8_t*>(RPb_AF_mem_alloc(w->tag, file_row));
  if (row == nullptr || pixels == nullptr) return RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, file_row, w->tag);
  // A coded row can be a packet header per 128 pixels longer than plain.
  const uint64_t longest = file_row + width / kTgaLongestPacket + 1;
  const auto size = static_cast<int32_t>(
      std::max<uint64_t>(std::clamp<uint64_t>(5 * longest, kOutputMinBytes, kOutputMaxBytes), longest));
  IO_BUFFER out{};
  if (io_buffer_open(w->io, w->tag, &out, size, kIoBufferWrite) != 0) return RXE_GLOBAL_MEMORY_DEPLETED;
  int32_t code = 0;
  for (int32_t y = 0; y < w->dib.biHeight && code == 0; ++y) {
    code = io_callback_status(
        RPb_IO_raster_get(w->io, row, y, static_cast<int32_t>(w->geometry.stride)));
    if (code != 0) break;
    pixels_unpack(row, width, w->dib.biBitCount, pixels);
    bool ok;
    if (w->rle) {
      ok = row_encode(&out, pixels, width, w->pixel_bytes);
    } else if (uint8_t* to = io_buffer_reserve(&out, static_cast<int32_t>(file_row))) {
      std::memcpy(to, pixels, file_row);
      ok = true;
    } else {
      ok = false;
    }
    if (!ok) code = RX_ERR(RXE_CANT_WRITE_PIXEL_DATA, y, file_row);
  }
  if (io_buffer_close(&out) != 1 && code == 0)
    code = RX_ERR(RXE_CANT_WRITE_PIXEL_DATA, w->dib.biHeight, file_row);
  return code;
}

}  // namespace

// Run-length coding is asked for by the format's first option word or by
// the save's writer option.
int32_t tga_write(IO_REC* io, void* flags, int32_t, int32_t, int32_t option) {
  if (io == nullptr) {
    RX_ERR(RXE_INVALID_POINTER, 0, 0);
    return RPb_AF_error_check();
  }
  uint32_t word = 0;
  if (flags != nullptr) std::memcpy(&word, flags, sizeof word);
  const int32_t start = RPb_IO_tell(io);
  TagGuard scratch;
  TGA_WRITE w{};
  w.io = io;
  w.tag = scratch.tag();
  w.rle = word != 0 || option != 0;
  int32_t code = io_callback_status(RPb_IO_DIB_get(io, &w.dib, w.palette));
  if (code == 0) code = image_check(&w);
  if (code == 0) code = header_write(&w);
  if (code == 0) code = rows_write(&w);
  if (code == 0) return 0;
  RPb_IO_seek(io, start, RX_SEEK_SET);
  return RPb_AF_error_check();
}

}  // namespace rx
