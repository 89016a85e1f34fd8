// Change lists from packed rows (with the run-finding tables), and back to
// packed rows and run rows.
#include "filters/codecs/ccitt_rows.h"

#include <algorithm>
#include <cstring>

#include "filters/codecs/ccitt_tables.h"
#include "SUPPORT/run_row.h"

namespace rx::ccitt {
namespace {

// The first column at or after `pos` whose bit differs from `bit`, or the
// width. `bytes` = (width + 7) / 8 bytes of the row are read, no more.
uint32_t run_end(const uint8_t* row, uint32_t bytes, uint32_t pos, uint32_t width, uint32_t bit) {
  // Bits that differ from `bit` become 1; the first 1 bit ends the run.
  const uint8_t flip = bit ? 0xFF : 0x00;
  uint32_t i = pos >> 3;
  const auto first = static_cast<uint8_t>((row[i] ^ flip) & (0xFFu >> (pos & 7)));
  if (first != 0) return std::min(i * 8 + kLeadingZeros[first], width);
  ++i;
  const uint64_t flip64 = bit ? ~uint64_t{0} : 0;
  while (i + 8 <= bytes) {
    uint64_t v;
    std::memcpy(&v, row + i, 8);
    v = __builtin_bswap64(v) ^ flip64;
    if (v != 0) return std::min(i * 8 + static_cast<uint32_t>(__builtin_clzll(v)), width);
    i += 8;
  }
  for (; i < bytes; ++i) {
    const auto b = static_cast<uint8_t>(row[i] ^ flip);
    if (b != 0) return std::min(i * 8 + kLeadingZeros[b], width);
  }
  return width;
}

void put16(uint8_t* out, uint32_t index, uint32_t value) {
  const auto v = static_cast<uint16_t>(value);
  std::memcpy(out + 2 * index, &v, 2);
}

}  // namespace

uint32_t changes_from_packed(const uint8_t* row, uint32_t width, bool white_is_one, uint32_t* col) {
  const uint32_t bytes = (width + 7) / 8;
  ChangeList list{col};
  uint32_t pos = 0;
  uint32_t bit = white_is_one ? 1 : 0;
  for (;;) {
    const uint32_t end = run_end(row, bytes, pos, width, bit);
    if (end >= width) break;
    col[list.n++] = end;  // runs after the first are never empty
    pos = end;
    bit ^= 1;
  }
  list.close(width);
  return list.n;
}

uint32_t changes_white(uint32_t width, uint32_t* col) {
  ChangeList list{col};
  list.close(width);
  return 0;
}

uint32_t changes_to_run_row(const uint32_t* col, uint32_t n, uint32_t width, bool white_is_one,
                            uint8_t* out) {
  uint32_t k = 1;
  uint32_t i = 0;
  // A run row starts with the end of the run of set bits at column 0.
  if (!white_is_one) {
    if (n != 0 && col[0] == 0) i = 1;
    else put16(out, k++, 0);
  }
  // Changes lie below the width in increasing order, so at most width + 1
  // values come before the closing three; the checks keep `out` whole even
  // for a list that broke that rule.
  for (; i < n && k <= width && col[i] < width; ++i) put16(out, k++, col[i]);
  for (uint32_t s = 0; s < 3; ++s) put16(out, k++, width);
  put16(out, 0, 2 * k);
  return 2 * k;
}

void changes_to_packed(const uint32_t* col, uint32_t n, uint32_t width, bool white_is_one,
                       uint8_t* out, uint32_t bytes) {
  std::memset(out, 0, bytes);
  bool on = white_is_one;  // white comes first
  uint32_t pos = 0;
  for (uint32_t i = 0; i <= n; ++i) {
    const uint32_t end = i < n ? std::min(col[i], width) : width;
    if (on) packed_bits_set(out, pos, end);
    pos = end;
    on = !on;
  }
}

}  // namespace rx::ccitt
