// PackBits unpacking and packing.
#include "filters/tiff/tiff_packbits.h"

#include <cstring>

namespace rx {

size_t packbits_decode(const uint8_t* in, size_t in_size, uint8_t* out, size_t out_size,
                       size_t* consumed) {
  size_t i = 0, o = 0;
  while (i < in_size) {
    const auto n = static_cast<int8_t>(in[i]);
    if (n >= 0) {
      const size_t len = static_cast<size_t>(n) + 1;
      if (in_size - i - 1 < len || out_size - o < len) break;
      std::memcpy(out + o, in + i + 1, len);
      i += 1 + len;
      o += len;
    } else if (n != -128) {
      const size_t len = static_cast<size_t>(1 - n);
      if (in_size - i < 2 || out_size - o < len) break;
      std::memset(out + o, in[i + 1], len);
      i += 2;
      o += len;
    } else {
      ++i;
    }
  }
  *consumed = i;
  return o;
}

namespace {

// Length of the run of equal bytes at `p`, at most `max`.
size_t run_length(const uint8_t* p, size_t max) {
  size_t k = 1;
  while (k < max && p[k] == p[0]) ++k;
  return k;
}

}  // namespace

size_t packbits_encode(const uint8_t* in, size_t n, uint8_t* out) {
  constexpr size_t kMaxRun = 128;
  size_t i = 0, o = 0;
  while (i < n) {
    const size_t left = n - i;
    const size_t run = run_length(in + i, left < kMaxRun ? left : kMaxRun);
    if (run >= 3) {
      out[o++] = static_cast<uint8_t>(1 - static_cast<int>(run));
      out[o++] = in[i];
      i += run;
      continue;
    }
    // A literal runs until a repeat of three starts or 128 bytes are taken.
    size_t len = 0;
    while (len < kMaxRun && i + len < n) {
      const size_t rest = n - i - len;
      if (rest >= 3 && run_length(in + i + len, 3) == 3) break;
      ++len;
    }
    out[o++] = static_cast<uint8_t>(len - 1);
    std::memcpy(out + o, in + i, len);
    o += len;
    i += len;
  }
  return o;
}

}  // namespace rx
