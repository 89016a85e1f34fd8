// BMP run-length coding. Decoding fills whole stretches of a row at once
// (runs with memset, literals with memcpy where the nibbles line up);
// encoding looks at the row once, packet by packet, and reserves each
// packet's bytes in the buffered stream in one go.
#include "filters/bmp/bmp_rle.h"

#include <algorithm>
#include <cstring>

#include "IO/io_callback_status.h"
#include "SUPPORT/error.h"
#include "filters/bmp/bmp_format.h"
#include "rastrix/rpb.h"

RX_SOURCE("source\\filters\\bmp\\bmp_rle.cpp");

namespace rx {
namespace {

enum : uint8_t { kEscape = 0, kEndOfLine = 0, kEndOfBitmap = 1, kJump = 2 };
// A packet's count is one byte.
inline constexpr uint32_t kMaxPacket = 255;

// ---- Decoding ---------------------------------------------------------------

// Pixels x.. of a 4-bit row alternate between nibbles a and b, starting
// with a.
void nibble_run(uint8_t* row, uint64_t x, uint64_t n, uint32_t a, uint32_t b) {
  if (n == 0) return;
  if (x & 1) {
    row[x >> 1] = static_cast<uint8_t>((row[x >> 1] & 0xF0) | a);
    ++x;
    --n;
    std::swap(a, b);
  }
  std::memset(row + (x >> 1), static_cast<int>((a << 4) | b), n >> 1);
  if (n & 1) {
    uint8_t& last = row[(x + n - 1) >> 1];
    last = static_cast<uint8_t>((last & 0x0F) | (a << 4));
  }
}

// n nibbles packed high first from `src` to pixels x.. of a 4-bit row.
void nibble_copy(uint8_t* row, uint64_t x, uint32_t n, const uint8_t* src) {
  if ((x & 1) == 0) {
    std::memcpy(row + (x >> 1), src, n >> 1);
    if (n & 1) row[(x + n - 1) >> 1] = static_cast<uint8_t>(src[n >> 1] & 0xF0);
    return;
  }
  // Off by one nibble: each output byte takes the low nibble of one source
  // byte and the high nibble of the next.
  uint8_t* out = row + (x >> 1);
  out[0] = static_cast<uint8_t>((out[0] & 0xF0) | (src[0] >> 4));
  const uint32_t rest = n - 1;
  for (uint32_t k = 0; k < rest / 2; ++k)
    out[1 + k] = static_cast<uint8_t>((src[k] << 4) | (src[k + 1] >> 4));
  if (rest & 1) out[1 + rest / 2] = static_cast<uint8_t>(src[rest / 2] << 4);
}

// Count pixels of the pair's value; a run that passes the padded row end
// is cut there and the pixels past it are dropped.
void run_put(RLE_DECODER* d, uint8_t* row, uint64_t* x, uint32_t count, uint8_t value) {
  const uint64_t n = std::min<uint64_t>(count, d->row_end - *x);
  if (d->bits == 8) std::memset(row + *x, value, n);
  else nibble_run(row, *x, n, value >> 4, value & 0x0F);
  *x += n;
}

int32_t literal_take(RLE_DECODER* d, uint8_t* row, uint64_t* x, uint32_t n) {
  if (*x + n > d->row_end)
    return RX_ERR(RXE_INVALID_COMPRESSION, static_cast<int32_t>(std::min<uint64_t>(*x + n, 0x7FFFFFFF)),
                  d->file_row);
  const uint32_t packed = d->bits == 8 ? n : (n + 1) / 2;
  const auto padded = static_cast<int32_t>((packed + 1) & ~1u);
  const uint8_t* src = io_buffer_get(d->in, padded);
  if (src == nullptr) return RX_ERR(RXE_CANT_READ_PIXEL_DATA, d->file_row, padded);
  if (d->bits == 8) std::memcpy(row + *x, src, n);
  else nibble_copy(row, *x, n, src);
  *x += n;
  return 0;
}

// A jump within the row skips pixels; a jump down ends the row, blanks the
// rows it passes over and says where the row it lands on starts.
int32_t jump(RLE_DECODER* d, uint64_t* x, int32_t* ends_row) {
  uint8_t step[2];
  if (!io_buffer_two_get(d->in, step)) return RX_ERR(RXE_CANT_READ_PIXEL_DATA, d->file_row, 2);
  const uint32_t dx = step[0];
  const uint32_t dy = step[1];
  const uint64_t target = dy == 0 ? *x + dx : dx;
  if (target > d->row_end)
    return RX_ERR(RXE_INVALID_COMPRESSION, static_cast<int32_t>(target), d->file_row);
  if (dy == 0) {
    *x = target;
    return 0;
  }
  d->blank_rows = dy - 1;
  d->resume_at = target;
  *ends_row = 1;
  return 0;
}

// ---- Encoding ---------------------------------------------------------------

bool packet_put(IO_BUFFER* out, uint8_t a, uint8_t b) {
  uint8_t* p = io_buffer_reserve(out, 2);
  if (p == nullptr) return false;
  p[0] = a;
  p[1] = b;
  return true;
}

bool row_end_put(IO_BUFFER* out, bool last) {
  return packet_put(out, kEscape, last ? kEndOfBitmap : kEndOfLine);
}

// Bytes equal to b[i] from i on.
uint32_t rle8_run_length(const uint8_t* b, uint32_t i, uint32_t n) {
  uint32_t len = 1;
  while (i + len < n && len < kMaxPacket && b[i + len] == b[i]) ++len;
  return len;
}

// A literal starts with three bytes each unlike the one before. It grows
// while that holds, and over an equal pair when a different byte follows
// the pair; it ends before a pair that starts three equal bytes or closes
// the row. At 254 bytes it takes one more only if that byte does not start
// a pair. A single byte left at the row's end is taken in, unless the
// count is full.
uint32_t rle8_literal_length(const uint8_t* b, uint32_t i, uint32_t n) {
  uint32_t len = 3;
  for (;;) {
    const uint32_t j = i + len;
    if (j >= n || len >= kMaxPacket) break;
    if (len == kMaxPacket - 1) {
      if (j + 1 < n && b[j] != b[j + 1]) ++len;
      break;
    }
    if (b[j] != b[j - 1] || (j + 1 < n && b[j + 1] != b[j])) {
      ++len;
      continue;
    }
    len = std::max(len - 1, 3u);
    break;
  }
  if (n - (i + len) == 1 && len < kMaxPacket) ++len;
  return len;
}

bool literal_emit(IO_BUFFER* out, const uint8_t* bytes, uint32_t count, uint32_t stored) {
  const uint32_t padded = (stored + 1) & ~1u;
  uint8_t* p = io_buffer_reserve(out, static_cast<int32_t>(2 + padded));
  if (p == nullptr) return false;
  p[0] = kEscape;
  p[1] = static_cast<uint8_t>(count);
  std::memcpy(p + 2, bytes, stored);
  if (padded != stored) p[2 + stored] = 0;
  return true;
}

// Pixels that repeat the pair p[i], p[i+1] from i on.
uint32_t rle4_run_length(const uint8_t* p, uint32_t i, uint32_t n) {
  uint32_t len = 1;
  while (i + len < n && len < kMaxPacket && p[i + len] == p[i + (len & 1)]) ++len;
  return len;
}

// Grows while each pixel differs from the one two places before, to at
// most 253 pixels; two pixels left at the row's end are taken in while the
// count stays within 255.
uint32_t rle4_literal_length(const uint8_t* p, uint32_t i, uint32_t n) {
  uint32_t len = 2;
  while (i + len < n && len <= 252 && p[i + len] != p[i + len - 2]) ++len;
  len = std::max(len, 3u);
  if (n - (i + len) == 2 && len < 254) len += 2;
  return len;
}

}  // namespace

void bmp_rle_decoder_init(RLE_DECODER* d, IO_BUFFER* in, uint32_t bits, uint32_t stride) {
  *d = RLE_DECODER{};
  d->in = in;
  d->bits = bits;
  d->stride = stride;
  d->row_end = bits == 8 ? uint64_t{stride} : 2 * uint64_t{stride};
}

int32_t bmp_rle_row_decode(RLE_DECODER* d, uint8_t* row) {
  std::memset(row, 0, d->stride);
  const int32_t file_row = d->file_row++;
  if (d->ended) return 0;
  if (d->blank_rows > 0) {
    --d->blank_rows;
    return 0;
  }
  uint64_t x = d->resume_at;
  d->resume_at = 0;
  for (;;) {
    uint8_t pair[2];
    if (!io_buffer_two_get(d->in, pair)) return RX_ERR(RXE_CANT_READ_PIXEL_DATA, file_row, 0);
    if (pair[0] != kEscape) {
      run_put(d, row, &x, pair[0], pair[1]);
      continue;
    }
    int32_t ends_row = 0;
    int32_t code = 0;
    switch (pair[1]) {
      case kEndOfLine: return 0;
      case kEndOfBitmap: d->ended = 1; return 0;
      case kJump: code = jump(d, &x, &ends_row); break;
      default: code = literal_take(d, row, &x, pair[1]); break;
    }
    if (code != 0 || ends_row) return code;
  }
}

bool bmp_rle8_row_encode(IO_BUFFER* out, const uint8_t* b, uint32_t n, bool last) {
  for (uint32_t i = 0; i < n;) {
    if (n - i < 4 || b[i] == b[i + 1] || b[i + 1] == b[i + 2]) {
      const uint32_t len = rle8_run_length(b, i, n);
      if (!packet_put(out, static_cast<uint8_t>(len), b[i])) return false;
      i += len;
    } else {
      const uint32_t len = rle8_literal_length(b, i, n);
      if (!literal_emit(out, b + i, len, len)) return false;
      i += len;
    }
  }
  return row_end_put(out, last);
}

bool bmp_rle4_row_encode(IO_BUFFER* out, const uint8_t* p, uint32_t n, bool last) {
  for (uint32_t i = 0; i < n;) {
    if (n - i < 4 || p[i + 2] == p[i] || p[i + 3] == p[i + 1]) {
      const uint32_t len = rle4_run_length(p, i, n);
      const uint32_t second = len > 1 ? p[i + 1] : 0;
      if (!packet_put(out, static_cast<uint8_t>(len), static_cast<uint8_t>(p[i] << 4 | second)))
        return false;
      i += len;
    } else {
      const uint32_t len = rle4_literal_length(p, i, n);
      uint8_t packed[(kMaxPacket + 1) / 2];
      for (uint32_t k = 0; k < len; k += 2) {
        const uint32_t low = k + 1 < len ? p[i + k + 1] : 0;
        packed[k / 2] = static_cast<uint8_t>(p[i + k] << 4 | low);
      }
      if (!literal_emit(out, packed, len, (len + 1) / 2)) return false;
      i += len;
    }
  }
  return row_end_put(out, last);
}

int32_t bmp_rle_rows_read(BMP_READ* r, uint32_t bits) {
  const uint32_t stride = r->geometry.stride;
  auto* row = static_cast<uint8_t*>(RPb_AF_mem_alloc(r->tag, stride));
  if (row == nullptr) return RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, stride, r->tag);
  IO_BUFFER in{};
  if (io_buffer_open(r->io, r->tag, &in, bmp_buffer_bytes(stride, 0), kIoBufferRead) != 0)
    return RXE_GLOBAL_MEMORY_DEPLETED;
  RLE_DECODER d;
  bmp_rle_decoder_init(&d, &in, bits, stride);
  int32_t code = 0;
  for (int32_t n = 0; n < r->dib.biHeight && code == 0; ++n) {
    code = bmp_rle_row_decode(&d, row);
    if (code == 0)
      code = io_callback_status(
          RPb_IO_raster_set(r->io, row, bmp_row_index(r, n), static_cast<int32_t>(stride)));
  }
  io_buffer_close(&in);
  return code;
}

}  // namespace rx
