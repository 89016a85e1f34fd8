// Row, raster and pixel access by image row (counted from the top), in the
// DIB's packed layout or one byte per pixel, for plain and runs images.
#include <algorithm>
#include <array>
#include <cstring>

#include "SUPPORT/dib.h"
#include "SUPPORT/error.h"
#include "SUPPORT/image_api.h"
#include "SUPPORT/mem_tag.h"
#include "SUPPORT/runs.h"
#include "rastrix/rastrix.h"

RX_SOURCE("source\\SUPPORT\\raster.cpp");

namespace rx {
namespace {

using RowScratch = std::array<uint8_t, kMaxRunsStride>;

// Each byte of a 1-bit row as eight 0/1 bytes, of a 4-bit row as two nibbles.
constexpr std::array<std::array<uint8_t, 8>, 256> make_expand1() {
  std::array<std::array<uint8_t, 8>, 256> t{};
  for (uint32_t b = 0; b < 256; ++b)
    for (uint32_t i = 0; i < 8; ++i) t[b][i] = static_cast<uint8_t>((b >> (7 - i)) & 1);
  return t;
}

constexpr std::array<std::array<uint8_t, 2>, 256> make_expand4() {
  std::array<std::array<uint8_t, 2>, 256> t{};
  for (uint32_t b = 0; b < 256; ++b) t[b] = {static_cast<uint8_t>(b >> 4), static_cast<uint8_t>(b & 15)};
  return t;
}

constexpr auto kExpand1 = make_expand1();
constexpr auto kExpand4 = make_expand4();

uint32_t pixel_at(const uint8_t* row, uint32_t bits, uint32_t x) {
  if (bits == 1) return (row[x >> 3] >> (7 - (x & 7))) & 1u;
  if (bits == 4) return (x & 1) ? row[x >> 1] & 15u : row[x >> 1] >> 4;
  return row[x];
}

void pixel_put(uint8_t* row, uint32_t bits, uint32_t x, uint32_t value) {
  if (bits == 1) {
    const auto mask = static_cast<uint8_t>(0x80u >> (x & 7));
    row[x >> 3] = static_cast<uint8_t>((value & 1) ? row[x >> 3] | mask : row[x >> 3] & ~mask);
  } else if (bits == 4) {
    const uint32_t keep = (x & 1) ? 0xF0u : 0x0Fu;
    const uint32_t put = (x & 1) ? (value & 15) : (value & 15) << 4;
    row[x >> 1] = static_cast<uint8_t>((row[x >> 1] & keep) | put);
  } else {
    row[x] = static_cast<uint8_t>(value);
  }
}

// ---- Pixels to and from one byte each (1- and 4-bit rows) ------------------

void bytes_read(const uint8_t* row, uint32_t bits, uint32_t first, uint32_t count, uint8_t* out) {
  const uint32_t per_byte = 8 / bits;
  uint32_t x = first;
  const uint32_t end = first + count;
  for (; x < end && x % per_byte != 0; ++x) *out++ = static_cast<uint8_t>(pixel_at(row, bits, x));
  for (; end - x >= per_byte; x += per_byte, out += per_byte) {
    const uint8_t b = row[x / per_byte];
    std::memcpy(out, bits == 1 ? kExpand1[b].data() : kExpand4[b].data(), per_byte);
  }
  for (; x < end; ++x) *out++ = static_cast<uint8_t>(pixel_at(row, bits, x));
}

uint8_t pack_byte(const uint8_t* in, uint32_t bits) {
  uint32_t b = 0;
  if (bits == 1)
    for (uint32_t i = 0; i < 8; ++i) b = (b << 1) | (in[i] & 1u);
  else
    b = ((in[0] & 15u) << 4) | (in[1] & 15u);
  return static_cast<uint8_t>(b);
}

void bytes_write(uint8_t* row, uint32_t bits, uint32_t first, uint32_t count, const uint8_t* in) {
  const uint32_t per_byte = 8 / bits;
  uint32_t x = first;
  const uint32_t end = first + count;
  for (; x < end && x % per_byte != 0; ++x) pixel_put(row, bits, x, *in++);
  for (; end - x >= per_byte; x += per_byte, in += per_byte) row[x / per_byte] = pack_byte(in, bits);
  for (; x < end; ++x) pixel_put(row, bits, x, *in++);
}

// ---- Bit spans of packed rows ------------------------------------------------

// Copies `nbits` bits from bit `bit` of a row of `row_bytes` bytes to the
// start of `out`; the unused low bits of the last byte are 0.
void bits_read(const uint8_t* row, uint32_t row_bytes, uint64_t bit, uint64_t nbits, uint8_t* out) {
  const uint8_t* src = row + (bit >> 3);
  const uint8_t* row_end = row + row_bytes;
  const uint32_t shift = bit & 7;
  const auto out_bytes = static_cast<size_t>((nbits + 7) / 8);
  if (shift == 0) {
    std::memcpy(out, src, out_bytes);
  } else {
    for (size_t j = 0; j < out_bytes; ++j) {
      const uint32_t low = src + j + 1 < row_end ? src[j + 1] >> (8 - shift) : 0;
      out[j] = static_cast<uint8_t>((src[j] << shift) | low);
    }
  }
  if (const uint32_t rest = nbits & 7) out[out_bytes - 1] &= static_cast<uint8_t>(0xFFu << (8 - rest));
}

// Writes `nbits` bits from the start of `in` at bit `bit` of a row,
// keeping the row's other bits.
void bits_write(uint8_t* row, uint64_t bit, uint64_t nbits, const uint8_t* in) {
  for (uint64_t done = 0; done < nbits; done += 8) {
    const auto n = static_cast<uint32_t>(std::min<uint64_t>(8, nbits - done));
    const auto mask = static_cast<uint8_t>(0xFFu << (8 - n));
    const auto v = static_cast<uint8_t>(in[done / 8] & mask);
    const uint64_t at = bit + done;
    uint8_t* dst = row + (at >> 3);
    const uint32_t s = at & 7;
    dst[0] = static_cast<uint8_t>((dst[0] & ~(mask >> s)) | (v >> s));
    if (s + n > 8)
      dst[1] = static_cast<uint8_t>((dst[1] & ~(mask << (8 - s))) | (v << (8 - s)));
  }
}

// ---- Shared checks --------------------------------------------------------------

// The header of an image whose row `row` is about to be read or written,
// or null once the reason is pushed.
const RX_BITMAPINFOHEADER* row_enter(IMAGE_REC* record, int32_t row, const void* buffer) {
  const RX_BITMAPINFOHEADER* h = image_header(record);
  if (h == nullptr) return nullptr;
  if (buffer == nullptr) {
    RX_ERR(RXE_INVALID_POINTER, 0, 0);
    return nullptr;
  }
  if (row < 0 || row >= h->biHeight) {
    RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, row, h->biHeight);
    return nullptr;
  }
  return h;
}

bool raster_format_ok(int32_t format) {
  if (format == RX_ROW_PACKED || format == RX_ROW_BYTE_PER_PIXEL) return true;
  RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, format, 0);
  return false;
}

const uint8_t* source_row(IMAGE_REC* record, int32_t row, RowScratch& scratch) {
  return image_row_packed(record, row, scratch.data(), static_cast<uint32_t>(scratch.size()));
}

// Whole rows one byte per pixel; deeper rows are their bytes without padding.
void row_to_bytes(const uint8_t* src, const RX_BITMAPINFOHEADER* h, uint8_t* out) {
  const auto width = static_cast<uint32_t>(h->biWidth);
  if (h->biBitCount <= 4) bytes_read(src, h->biBitCount, 0, width, out);
  else std::memcpy(out, src, size_t{width} * (h->biBitCount / 8));
}

void row_from_bytes(uint8_t* dst, const RX_BITMAPINFOHEADER* h, const uint8_t* in) {
  const auto width = static_cast<uint32_t>(h->biWidth);
  if (h->biBitCount <= 4) bytes_write(dst, h->biBitCount, 0, width, in);
  else std::memcpy(dst, in, size_t{width} * (h->biBitCount / 8));
}

// Encodes a caller's row and stores it as the run row of image row `row`;
// the DIB may grow or move, so the record is locked meanwhile.
void runs_raster_set(IMAGE_REC* record, int32_t row, const uint8_t* in, int32_t format) {
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  RowScratch bytes_packed{};
  if (dib_stride_of(h) > bytes_packed.size()) {
    RX_ERR(RXE_INTERNAL_ERROR, row, 0);
    return;
  }
  if (!record_lock(record)) {
    RX_ERR(RXE_MEMORY_LOCK_FAILED, 0, 0);
    return;
  }
  if (format != RX_ROW_PACKED) row_from_bytes(bytes_packed.data(), h, in);
  const uint8_t* packed = format == RX_ROW_PACKED ? in : bytes_packed.data();
  TagGuard scratch;
  auto* run_row = static_cast<uint8_t*>(
      scratch.alloc(run_row_max_bytes(static_cast<uint32_t>(h->biWidth))));
  if (run_row == nullptr) RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, 2 * h->biWidth + 8, 0);
  else runs_packed_store(record, h->biHeight - 1 - row, packed, run_row);
  record_unlock(record);
}

// First column and count of a row call, the whole row for RX_ROW_WHOLE;
// false once an out-of-range span is pushed.
bool row_span(const RX_BITMAPINFOHEADER* h, uint32_t* first, uint32_t* count) {
  const auto width = static_cast<uint32_t>(h->biWidth);
  if (*first == RX_ROW_WHOLE) {
    *first = 0;
    *count = width;
    return true;
  }
  if (*first < width && *count <= width - *first) return true;
  RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, *first, *count);
  return false;
}

// Formats of row get and set for 1- and 4-bit rows; deeper rows are copied
// as stored whatever the format.
bool row_format_ok(uint32_t bits, int32_t format) {
  if (bits >= 8 || format == RX_ROW_PACKED || format == RX_ROW_BYTE_PER_PIXEL) return true;
  if (bits == 1 && format == 3) RX_ERR(RXE_NOT_DONE_YET, format, 0);
  else RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, format, 0);
  return false;
}

void span_read(const uint8_t* src, const RX_BITMAPINFOHEADER* h, uint32_t first, uint32_t count,
               int32_t format, uint8_t* out) {
  const uint32_t bits = h->biBitCount;
  if (bits >= 8) std::memcpy(out, src + size_t{first} * (bits / 8), size_t{count} * (bits / 8));
  else if (format == RX_ROW_PACKED)
    bits_read(src, dib_stride_of(h), uint64_t{first} * bits, uint64_t{count} * bits, out);
  else bytes_read(src, bits, first, count, out);
}

void span_write(uint8_t* dst, const RX_BITMAPINFOHEADER* h, uint32_t first, uint32_t count,
                int32_t format, const uint8_t* in) {
  const uint32_t bits = h->biBitCount;
  if (bits >= 8) std::memcpy(dst + size_t{first} * (bits / 8), in, size_t{count} * (bits / 8));
  else if (format == RX_ROW_PACKED) bits_write(dst, uint64_t{first} * bits, uint64_t{count} * bits, in);
  else bytes_write(dst, bits, first, count, in);
}

// The pixel's place, checked against the image; false once pushed.
bool pixel_enter(IMAGE_REC* record, int32_t x, int32_t y, const void* value,
                 const RX_BITMAPINFOHEADER** header) {
  const RX_BITMAPINFOHEADER* h = row_enter(record, y, value);
  if (h == nullptr) return false;
  if (x < 0 || x >= h->biWidth) {
    RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, x, y);
    return false;
  }
  *header = h;
  return true;
}

}  // namespace
}  // namespace rx

using namespace rx;

extern "C" int32_t RX_DIB_raster_get(RX_HIMAGE image, int32_t row, void* buffer, int32_t format) {
  IMAGE_REC* record = image_enter(image);
  if (record == nullptr) return 0;
  const RX_BITMAPINFOHEADER* h = row_enter(record, row, buffer);
  RowScratch scratch;
  const uint8_t* src = h && raster_format_ok(format) ? source_row(record, row, scratch) : nullptr;
  if (src == nullptr) return RPb_AF_error_check();
  auto* out = static_cast<uint8_t*>(buffer);
  if (format == RX_ROW_PACKED) std::memcpy(out, src, dib_stride_of(h));
  else row_to_bytes(src, h, out);
  return RPb_AF_error_check();
}

extern "C" int32_t RX_DIB_raster_set(RX_HIMAGE image, int32_t row, const void* buffer,
                                     int32_t format) {
  IMAGE_REC* record = image_enter(image);
  if (record == nullptr) return 0;
  const RX_BITMAPINFOHEADER* h = row_enter(record, row, buffer);
  if (h == nullptr || !raster_format_ok(format)) return RPb_AF_error_check();
  const auto* in = static_cast<const uint8_t*>(buffer);
  if (dib_is_runs(record->dib)) {
    runs_raster_set(record, row, in, format);
  } else if (format == RX_ROW_PACKED) {
    std::memcpy(dib_image_row(record->dib, row), in, dib_stride_of(h));
  } else {
    row_from_bytes(dib_image_row(record->dib, row), h, in);
  }
  return RPb_AF_error_check();
}

extern "C" int32_t RX_DIB_row_get(RX_HIMAGE image, uint32_t first_column, int32_t row,
                                  uint32_t pixel_count, void* buffer, int32_t format) {
  IMAGE_REC* record = image_enter(image);
  if (record == nullptr) return 0;
  const RX_BITMAPINFOHEADER* h = row_enter(record, row, buffer);
  if (h == nullptr || !row_format_ok(h->biBitCount, format) ||
      !row_span(h, &first_column, &pixel_count))
    return RPb_AF_error_check();
  RowScratch scratch;
  const uint8_t* src = source_row(record, row, scratch);
  if (src != nullptr && pixel_count != 0)
    span_read(src, h, first_column, pixel_count, format, static_cast<uint8_t*>(buffer));
  return RPb_AF_error_check();
}

extern "C" int32_t RX_DIB_row_set(RX_HIMAGE image, uint32_t first_column, int32_t row,
                                  uint32_t pixel_count, const void* buffer, int32_t format) {
  IMAGE_REC* record = image_enter(image);
  if (record == nullptr) return 0;
  const RX_BITMAPINFOHEADER* h = row_enter(record, row, buffer);
  if (h == nullptr) return RPb_AF_error_check();
  if (dib_is_runs(record->dib)) {
    RX_ERR(RXE_RUNS_FORMAT, 0, 0);
    return RPb_AF_error_check();
  }
  if (row_format_ok(h->biBitCount, format) && row_span(h, &first_column, &pixel_count) &&
      pixel_count != 0)
    span_write(dib_image_row(record->dib, row), h, first_column, pixel_count, format,
               static_cast<const uint8_t*>(buffer));
  return RPb_AF_error_check();
}

extern "C" int32_t RX_image_pixel_get(RX_HIMAGE image, int32_t x, int32_t y, void* value) {
  IMAGE_REC* record = image_enter(image);
  if (record == nullptr) return 0;
  const RX_BITMAPINFOHEADER* h = nullptr;
  if (!pixel_enter(record, x, y, value, &h)) return RPb_AF_error_check();
  auto* out = static_cast<uint8_t*>(value);
  const uint32_t bits = h->biBitCount;
  const auto column = static_cast<uint32_t>(x);
  if (dib_is_runs(record->dib)) {
    const uint8_t* run_row = runs_row(record, h->biHeight - 1 - y);
    if (run_row == nullptr) RX_ERR(RXE_INTERNAL_ERROR, y, 0);
    else out[0] = static_cast<uint8_t>(run_row_pixel(run_row, column));
  } else if (bits <= 8) {
    out[0] = static_cast<uint8_t>(pixel_at(dib_image_row(record->dib, y), bits, column));
  } else if (bits == 16 || bits == 24) {
    std::memcpy(out, dib_image_row(record->dib, y) + size_t{column} * (bits / 8), bits / 8);
  } else {
    RX_ERR(RXE_INVALID_BIT_COUNT, bits, 0);
  }
  return RPb_AF_error_check();
}

extern "C" int32_t RX_image_pixel_set(RX_HIMAGE image, int32_t x, int32_t y, const void* value) {
  IMAGE_REC* record = image_enter(image);
  if (record == nullptr) return 0;
  const RX_BITMAPINFOHEADER* h = nullptr;
  if (!pixel_enter(record, x, y, value, &h)) return RPb_AF_error_check();
  if (dib_is_runs(record->dib)) {
    RX_ERR(RXE_RUNS_FORMAT, 0, 0);
    return RPb_AF_error_check();
  }
  const auto* in = static_cast<const uint8_t*>(value);
  const uint32_t bits = h->biBitCount;
  const auto column = static_cast<uint32_t>(x);
  uint8_t* row = dib_image_row(record->dib, y);
  if (bits == 1 || bits == 4 || bits == 8) pixel_put(row, bits, column, in[0]);
  else if (bits == 16 || bits == 24)
    std::memcpy(row + size_t{column} * (bits / 8), in, bits / 8);
  else RX_ERR(RXE_INVALID_BIT_COUNT, bits, 0);
  return RPb_AF_error_check();
}
