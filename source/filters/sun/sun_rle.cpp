// The Sun run-length coder. 0x80, n, v stands for n + 1 copies of v;
// 0x80, 0 for one 0x80 byte; any other byte for itself. Runs carry on
// across row ends both ways.
#include <algorithm>
#include <cstring>

#include "filters/sun/sun_format.h"

namespace rx {

bool sun_row_decode(IO_BUFFER* in, SUN_RUN* run, uint8_t* row, uint32_t n) {
  for (uint32_t i = 0; i < n;) {
    if (run->count > 0) {
      const uint32_t take = std::min(run->count, n - i);
      std::memset(row + i, run->value, take);
      i += take;
      run->count -= take;
      continue;
    }
    uint8_t b = 0;
    if (io_buffer_byte_get(in, &b) == 0) return false;
    if (b != kSunEscape) {
      row[i++] = b;
      continue;
    }
    uint8_t count = 0;
    if (io_buffer_byte_get(in, &count) == 0) return false;
    if (count == 0) {
      row[i++] = kSunEscape;
      continue;
    }
    if (io_buffer_byte_get(in, &run->value) == 0) return false;
    run->count = uint32_t{count} + 1;
  }
  return true;
}

namespace {

// A run of three or more (or of any length of the escape byte, which
// cannot stand for itself) is coded; shorter ones go out as their bytes.
bool run_put(IO_BUFFER* out, uint32_t count, uint8_t value) {
  if (count >= 3 || (value == kSunEscape && count == 2)) {
    uint8_t* to = io_buffer_reserve(out, 3);
    if (to == nullptr) return false;
    to[0] = kSunEscape;
    to[1] = static_cast<uint8_t>(count - 1);
    to[2] = value;
    return true;
  }
  for (uint32_t k = 0; k < count; ++k) {
    if (value == kSunEscape) {
      const uint8_t pair[2] = {kSunEscape, 0};
      if (io_buffer_two_put(out, pair) == 0) return false;
    } else if (io_buffer_byte_put(out, value) == 0) {
      return false;
    }
  }
  return true;
}

}  // namespace

bool sun_row_encode(IO_BUFFER* out, SUN_PENDING* p, const uint8_t* row, uint32_t n) {
  uint32_t i = 0;
  uint32_t carried = 0;
  if (p->pending) {
    p->pending = false;
    // The run of the row before continues while it can still grow.
    if (n > 0 && row[0] == p->value && p->count < kSunLongestRun - 1) carried = p->count;
    else if (!run_put(out, p->count, p->value)) return false;
  }
  while (i < n) {
    const uint8_t v = row[i];
    uint32_t length = 1;
    while (i + length < n && row[i + length] == v && carried + length < kSunLongestRun) ++length;
    i += length;
    const uint32_t total = carried + length;
    carried = 0;
    if (i == n) {
      *p = SUN_PENDING{total, v, true};
      return true;
    }
    if (!run_put(out, total, v)) return false;
  }
  return true;
}

bool sun_pending_flush(IO_BUFFER* out, SUN_PENDING* p) {
  if (!p->pending) return true;
  p->pending = false;
  return run_put(out, p->count, p->value);
}

}  // namespace rx
