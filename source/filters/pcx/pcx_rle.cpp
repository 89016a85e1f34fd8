// The PCX run-length coder. A byte with both top bits set counts the
// repeats of the byte after it; any other byte stands for itself.
#include <algorithm>
#include <cstring>

#include "filters/pcx/pcx_format.h"

namespace rx {

bool pcx_line_decode(IO_BUFFER* in, PCX_RUN* run, uint8_t* line, uint32_t n) {
  uint32_t i = 0;
  while (i < n) {
    if (run->count > 0) {
      const uint32_t take = std::min(run->count, n - i);
      std::memset(line + i, run->value, take);
      i += take;
      run->count -= take;
      continue;
    }
    uint8_t b = 0;
    if (io_buffer_byte_get(in, &b) == 0) return false;
    if ((b & kPcxRunFlag) != kPcxRunFlag) {
      line[i++] = b;
      continue;
    }
    if (io_buffer_byte_get(in, &run->value) == 0) return false;
    run->count = b & ~kPcxRunFlag & 0xFFu;
  }
  return true;
}

bool pcx_line_encode(IO_BUFFER* out, const uint8_t* line, uint32_t n) {
  for (uint32_t i = 0; i < n;) {
    const uint8_t v = line[i];
    uint32_t run = 1;
    while (i + run < n && run < kPcxLongestRun && line[i + run] == v) ++run;
    i += run;
    if (run == 1 && v < kPcxLiteralLimit) {
      if (io_buffer_byte_put(out, v) == 0) return false;
      continue;
    }
    const uint8_t pair[2] = {static_cast<uint8_t>(kPcxRunFlag | run), v};
    if (io_buffer_two_put(out, pair) == 0) return false;
  }
  return true;
}

}  // namespace rx
