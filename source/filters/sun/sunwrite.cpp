// The Sun raster writer: 1-, 4-, 8- and 24-bit images, with a colour map
// of red, green and blue planes below 24 bits, rows plain or run-length
// coded with runs that carry on across row ends. The header's data length
// is the number of bytes the rows really take in the file.
#include <algorithm>
#include <cstring>

#include "IO/io_callback_status.h"
#include "SUPPORT/dib_size.h"
#include "SUPPORT/error.h"
#include "SUPPORT/mem_tag.h"
#include "filters/sun/sun.h"
#include "filters/sun/sun_format.h"
#include "rastrix/rpb.h"

RX_SOURCE("source\\filters\\sun\\sunwrite.cpp");

namespace rx {
namespace {

inline constexpr int32_t kOutputMinBytes = 4096;
inline constexpr int32_t kOutputMaxBytes = 1 << 22;

struct SUN_WRITE {
  IO_REC* io;
  uint32_t tag;
  bool rle;
  int32_t start;  // stream position of the header
  RX_BITMAPINFOHEADER dib;
  RX_RGBQUAD palette[256];
  DibGeometry geometry;
  SUN_HEADER h;
  uint32_t row_bytes;
  bool invert;  // 1-bit rows whose first colour is the darker
};

uint32_t brightness(const RX_RGBQUAD& q) { return uint32_t{q.rgbBlue} + q.rgbGreen + q.rgbRed; }

void put32(uint8_t* p, uint32_t v) {
  for (int k = 0; k < 4; ++k) p[k] = static_cast<uint8_t>(v >> (24 - 8 * k));
}

int32_t image_check(SUN_WRITE* w) {
  const RX_BITMAPINFOHEADER& d = w->dib;
  const uint32_t bits = d.biBitCount;
  if ((bits != 1 && bits != 4 && bits != 8 && bits != 24) || d.biCompression != RX_BI_RGB)
    return RX_ERR(RXE_INVALID_BITCOUNT_FOR_FORMAT, bits, d.biCompression);
  if (!dib_geometry(d.biWidth, d.biHeight, bits, RX_BI_RGB, &w->geometry))
    return RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, d.biWidth, d.biHeight);
  w->row_bytes = static_cast<uint32_t>(sun_row_bytes(static_cast<uint32_t>(d.biWidth), bits));
  const uint64_t plain = uint64_t{w->row_bytes} * static_cast<uint32_t>(d.biHeight);
  // Readers take a set bit of a 1-bit file for black, whatever its map
  // says: the darker colour must be the set bit.
  w->invert = bits == 1 && brightness(w->palette[0]) < brightness(w->palette[1]);
  w->h = SUN_HEADER{kSunMagic, static_cast<uint32_t>(d.biWidth), static_cast<uint32_t>(d.biHeight),
                    bits, static_cast<uint32_t>(std::min<uint64_t>(plain, 0xFFFFFFFF)),
                    w->rle ? kSunEncoded : kSunStandard, bits < 24 ? kSunMapPlanes : kSunMapNone,
                    bits < 24 ? 3u << bits : 0};
  return 0;
}

int32_t header_write(SUN_WRITE* w) {
  uint8_t b[kSunHeaderBytes];
  const uint32_t words[8] = {w->h.magic, w->h.width, w->h.height, w->h.depth,
                             w->h.length, w->h.type, w->h.map_type, w->h.map_length};
  for (int32_t i = 0; i < 8; ++i) put32(b + 4 * i, words[i]);
  const int32_t put = RPb_IO_write(w->io, b, kSunHeaderBytes);
  if (put != static_cast<int32_t>(kSunHeaderBytes)) return RX_ERR(RXE_CANT_WRITE_HEADER, kSunHeaderBytes, put);
  if (w->h.map_type == kSunMapNone) return 0;
  const uint32_t n = 1u << w->h.depth;
  uint8_t map[3 * 256];
  for (uint32_t i = 0; i < n; ++i) {
    const RX_RGBQUAD& q = w->palette[w->invert ? n - 1 - i : i];
    map[i] = q.rgbRed;
    map[n + i] = q.rgbGreen;
    map[2 * n + i] = q.rgbBlue;
  }
  const auto want = static_cast<int32_t>(3 * n);
  const int32_t got = RPb_IO_write(w->io, map, want);
  return got == want ? 0 : RX_ERR(RXE_CANT_WRITE_PALETTE, want, got);
}

// An image row as the file's row: its bytes, padding cleared.
void row_build(const SUN_WRITE& w, const uint8_t* row, uint8_t* out) {
  const auto width = static_cast<uint32_t>(w.dib.biWidth);
  const uint32_t used = static_cast<uint32_t>((uint64_t{width} * w.h.depth + 7) / 8);
  std::memset(out, 0, w.row_bytes);
  std::memcpy(out, row, used);
  if (w.invert)
    for (uint32_t i = 0; i < used; ++i) out[i] = static_cast<uint8_t>(~out[i]);
  const uint32_t bits_used = static_cast<uint32_t>((uint64_t{width} * w.h.depth) % 8);
  if (bits_used != 0) out[used - 1] &= static_cast<uint8_t>(0xFF00 >> bits_used);
}

int32_t rows_write(SUN_WRITE* w, uint32_t* written) {
  const uint32_t n = w->row_bytes;
  auto* row = static_cast<uint8_t*>(RPb_AF_mem_alloc(w->tag, w->geometry.stride));
  auto* line = static_cast<uint8_t*>(RPb_AF_mem_alloc(w->tag, n));
  if (row == nullptr || line == nullptr) return RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, n, w->tag);
  // A coded row can be half as long again as the plain one (0x80 bytes).
  const uint64_t longest = uint64_t{2} * n + 3;
  const auto size = static_cast<int32_t>(
      std::max<uint64_t>(std::clamp<uint64_t>(5 * longest, kOutputMinBytes, kOutputMaxBytes), longest));
  IO_BUFFER out{};
  if (io_buffer_open(w->io, w->tag, &out, size, kIoBufferWrite) != 0) return RXE_GLOBAL_MEMORY_DEPLETED;
  const int32_t data_start = RPb_IO_tell(w->io);
  SUN_PENDING pending{};
  int32_t code = 0;
  for (int32_t y = 0; y < w->dib.biHeight && code == 0; ++y) {
    code = io_callback_status(
        RPb_IO_raster_get(w->io, row, y, static_cast<int32_t>(w->geometry.stride)));
    if (code != 0) break;
    row_build(*w, row, line);
    bool ok;
    if (w->rle) {
      ok = sun_row_encode(&out, &pending, line, n);
    } else if (uint8_t* to = io_buffer_reserve(&out, static_cast<int32_t>(n))) {
      std::memcpy(to, line, n);
      ok = true;
    } else {
      ok = false;
    }
    if (!ok) code = RX_ERR(RXE_CANT_WRITE_PIXEL_DATA, n, y);
  }
  if (code == 0 && !sun_pending_flush(&out, &pending)) code = RX_ERR(RXE_CANT_WRITE_PIXEL_DATA, 3, 0);
  if (io_buffer_close(&out) != 1 && code == 0) code = RX_ERR(RXE_CANT_WRITE_PIXEL_DATA, n, 0);
  *written = static_cast<uint32_t>(RPb_IO_tell(w->io) - data_start);
  return code;
}

// Coded data is as long as it turned out; the header is mended to say so.
int32_t length_mend(SUN_WRITE* w, uint32_t written) {
  w->h.length = written;
  if (!w->rle) return 0;
  const int32_t end = RPb_IO_tell(w->io);
  uint8_t b[4];
  put32(b, written);
  const int32_t at = w->start + kSunLengthOffset;
  int32_t put = 0;
  if (RPb_IO_seek(w->io, at, RX_SEEK_SET) == at) put = RPb_IO_write(w->io, b, 4);
  RPb_IO_seek(w->io, end, RX_SEEK_SET);
  return put == 4 ? 0 : RX_ERR(RXE_CANT_WRITE_HEADER, 4, put);
}

void tags_offer(const SUN_WRITE& w) {
  if (!RPb_IO_tag_set_exists(w.io)) return;
  const uint32_t words[8] = {w.h.magic, w.h.width, w.h.height, w.h.depth,
                             w.h.length, w.h.type, w.h.map_type, w.h.map_length};
  for (int32_t i = 0; i < 8; ++i) RPb_IO_tag_dword_set(w.io, kSunFirstTag + i, words[i]);
}

}  // namespace

// Run-length coding is asked for by the format's option word (on by
// default) or by the save's writer option.
int32_t sun_write(IO_REC* io, void* flags, int32_t, int32_t, int32_t option) {
  if (io == nullptr) {
    RX_ERR(RXE_INVALID_POINTER, 0, 0);
    return RPb_AF_error_check();
  }
  uint32_t word = 1;
  if (flags != nullptr) std::memcpy(&word, flags, sizeof word);
  const int32_t start = RPb_IO_tell(io);
  TagGuard scratch;
  SUN_WRITE w{};
  w.io = io;
  w.tag = scratch.tag();
  w.rle = word != 0 || option != 0;
  w.start = start;
  RPb_IO_byte_order_set(io, RX_ORDER_MOTOROLA);
  uint32_t written = 0;
  int32_t code = io_callback_status(RPb_IO_DIB_get(io, &w.dib, w.palette));
  if (code == 0) code = image_check(&w);
  if (code == 0) code = header_write(&w);
  if (code == 0) code = rows_write(&w, &written);
  if (code == 0) code = length_mend(&w, written);
  if (code == 0) {
    tags_offer(w);
    return 0;
  }
  RPb_IO_seek(io, start, RX_SEEK_SET);
  return RPb_AF_error_check();
}

}  // namespace rx
