// Single run rows: encoding packed rows, expanding, reading and checking
// run rows. Whole runs images are kept by runs.cpp.
#include "SUPPORT/run_row.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace rx {
namespace {

// Number of leading bits equal to `bit` in each byte value, top bit first.
constexpr std::array<uint8_t, 256> make_leading(uint32_t bit) {
  std::array<uint8_t, 256> table{};
  for (uint32_t b = 0; b < 256; ++b) {
    uint8_t n = 0;
    while (n < 8 && ((b >> (7 - n)) & 1) == bit) ++n;
    table[b] = n;
  }
  return table;
}

constexpr std::array<uint8_t, 256> kLeadingOnes = make_leading(1);
constexpr std::array<uint8_t, 256> kLeadingZeros = make_leading(0);
static_assert(kLeadingOnes[0xE5] == 3 && kLeadingZeros[0x1F] == 3 && kLeadingZeros[0] == 8);

// The column where the run of `bit` values starting at `pos` ends, from
// the bytes one at a time: near the row's end, where a word would read
// past it.
uint32_t run_end_bytes(const uint8_t* packed, uint32_t pos, uint32_t width, uint32_t bit) {
  const std::array<uint8_t, 256>& lead = bit ? kLeadingOnes : kLeadingZeros;
  const uint8_t full = bit ? 0xFF : 0x00;
  const uint32_t skip = pos & 7;
  if (skip != 0) {
    // Shifting brings pos to the top bit; the bits shifted in are not pixels.
    const uint32_t n =
        std::min<uint32_t>(lead[static_cast<uint8_t>(packed[pos >> 3] << skip)], 8 - skip);
    pos += n;
    if (n < 8 - skip) return std::min(pos, width);
  }
  while (pos < width) {
    const uint8_t b = packed[pos >> 3];
    if (b != full) return std::min(pos + lead[b], width);
    pos += 8;
  }
  return std::min(pos, width);
}

// The same, 64 pixels at a time while eight bytes from pos's byte lie
// within the row: the word, read top bit first and turned so that the run
// is 0s, shifted to start at pos; its leading zeros are the run. The
// zeros a shift brings in at the bottom never count: a nonzero word has
// its highest 1 above them.
uint32_t run_end(const uint8_t* packed, uint32_t pos, uint32_t width, uint32_t bit) {
  const uint32_t row_bytes = (width + 7) >> 3;
  const uint64_t flip = bit ? ~uint64_t{0} : 0;
  while (pos < width) {
    const uint32_t at = pos >> 3;
    if (at + 8 > row_bytes) return run_end_bytes(packed, pos, width, bit);
    uint64_t word;
    std::memcpy(&word, packed + at, sizeof word);
    word = (__builtin_bswap64(word) ^ flip) << (pos & 7);
    if (word != 0) return std::min(pos + static_cast<uint32_t>(__builtin_clzll(word)), width);
    pos += 64 - (pos & 7);
  }
  return width;
}

}  // namespace

void packed_bits_set(uint8_t* packed, uint32_t from, uint32_t to) {
  if (from >= to) return;
  const uint32_t first = from >> 3;
  const uint32_t last = (to - 1) >> 3;
  const auto head = static_cast<uint8_t>(0xFFu >> (from & 7));
  const auto tail = static_cast<uint8_t>(0xFFu << (7 - ((to - 1) & 7)));
  if (first == last) {
    packed[first] |= static_cast<uint8_t>(head & tail);
    return;
  }
  packed[first] |= head;
  std::memset(packed + first + 1, 0xFF, last - first - 1);
  packed[last] |= tail;
}

uint32_t run_row_encode(const uint8_t* packed, uint32_t width, uint8_t* out) {
  size_t n = 1;
  uint32_t pos = 0;
  uint32_t bit = 1;
  for (;;) {
    const uint32_t end = run_end(packed, pos, width, bit);
    if (end >= width) break;
    run_value_put(out, n++, end);
    pos = end;
    bit ^= 1;
  }
  for (int k = 0; k < 3; ++k) run_value_put(out, n++, width);
  const auto length = static_cast<uint32_t>(2 * n);
  run_value_put(out, 0, length);
  return length;
}

void run_row_zero(uint32_t width, uint8_t* out) {
  run_value_put(out, 0, kZeroRunRowBytes);
  run_value_put(out, 1, 0);
  for (size_t k = 2; k < 5; ++k) run_value_put(out, k, width);
}

void run_row_expand(const uint8_t* run_row, uint32_t width, uint8_t* packed,
                    uint32_t packed_bytes) {
  std::memset(packed, 0, packed_bytes);
  const uint32_t values = run_value_get(run_row, 0) / 2;
  uint32_t pos = 0;
  bool on = true;
  for (uint32_t i = 1; i < values && pos < width; ++i) {
    const uint32_t column = std::clamp(run_value_get(run_row, i), pos, width);
    if (on) packed_bits_set(packed, pos, column);
    pos = column;
    on = !on;
  }
}

uint32_t run_row_pixel(const uint8_t* run_row, uint32_t x) {
  // The pixel is 1 when an even number of change columns lie at or left of x.
  const uint32_t values = run_value_get(run_row, 0) / 2;
  uint32_t lo = 0;
  uint32_t hi = values > 1 ? values - 1 : 0;
  while (lo < hi) {
    const uint32_t mid = (lo + hi) / 2;
    if (run_value_get(run_row, 1 + mid) <= x) lo = mid + 1;
    else hi = mid;
  }
  return (lo & 1) == 0 ? 1 : 0;
}

uint32_t run_row_check(const uint8_t* row, size_t available, uint32_t width) {
  if (available < 2) return 0;
  const uint32_t length = run_value_get(row, 0);
  if (length < kMinRunRowBytes || (length & 1) != 0 || length > available) return 0;
  const uint32_t last = length / 2 - 1;
  uint32_t previous = 0;
  for (uint32_t i = 1; i <= last; ++i) {
    const uint32_t column = run_value_get(row, i);
    if (column < previous || column > width) return 0;
    previous = column;
  }
  // Non-decreasing and capped by the width: the last three equal it when
  // the third from last does.
  return run_value_get(row, last - 2) == width ? length : 0;
}

}  // namespace rx
