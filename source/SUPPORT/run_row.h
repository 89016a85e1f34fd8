// Run rows: the form in which the engine keeps each row of a bi-level
// image.
//
// A run row is a sequence of little-endian 16-bit values: its own length in
// bytes, the columns at which the bit value changes (starting with the end
// of a possibly empty run of 1-bits at column 0), then the width three
// times.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "SUPPORT/dib_size.h"

namespace rx {

// The all-zero run row (length, 0, width x 3) and the shortest possible one
// (length, width x 3).
inline constexpr uint32_t kZeroRunRowBytes = 10;
inline constexpr uint32_t kMinRunRowBytes = 8;

// Scratch bytes that hold the longest run row of a width.
constexpr uint32_t run_row_max_bytes(uint32_t width) { return 2 * width + 8; }

// Runs images are at most kMaxRunsWidth wide, so a scratch row of this
// size (small enough for the stack) holds any of their rows expanded.
inline constexpr uint32_t kMaxRunsStride = static_cast<uint32_t>(dib_stride(1, kMaxRunsWidth));

// Sets bits [from, to) of a packed 1-bit row, most significant bit first.
void packed_bits_set(uint8_t* packed, uint32_t from, uint32_t to);

// Encodes `width` pixels of a packed 1-bit row (most significant bit first)
// into `out`, which holds run_row_max_bytes(width) bytes. Returns the run
// row's length in bytes. `width` is 1..kMaxRunsWidth.
uint32_t run_row_encode(const uint8_t* packed, uint32_t width, uint8_t* out);

// Writes the all-zero run row of a width into `out` (10 bytes).
void run_row_zero(uint32_t width, uint8_t* out);

// Expands a run row into packed 1-bit form: `packed_bytes` bytes are
// written (at least (width + 7) / 8), bits past the width are 0. Column
// values are clamped, so a damaged row cannot write out of bounds.
void run_row_expand(const uint8_t* run_row, uint32_t width, uint8_t* packed,
                    uint32_t packed_bytes);

// The value (0 or 1) of column x < width of a checked run row, found by
// bisection of its change columns.
uint32_t run_row_pixel(const uint8_t* run_row, uint32_t x);

// Checks a run row that starts at `row` with `available` readable bytes:
// even length of at least 8 within the bytes, columns non-decreasing and
// not past the width, ending with the width three times. Returns the
// length, or 0 when the row is malformed.
uint32_t run_row_check(const uint8_t* row, size_t available, uint32_t width);

// Value `index` of a run row. Run rows sit at even offsets in our own
// blocks, but callers' rows need not be aligned: read and write through
// memcpy.
inline uint32_t run_value_get(const uint8_t* row, size_t index) {
  uint16_t v;
  std::memcpy(&v, row + 2 * index, sizeof v);
  return v;
}

inline void run_value_put(uint8_t* row, size_t index, uint32_t value) {
  const auto v = static_cast<uint16_t>(value);
  std::memcpy(row + 2 * index, &v, sizeof v);
}

}  // namespace rx
