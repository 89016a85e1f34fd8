// The SGI run-length coding of one row (sgi_format.h). A control byte's
// low seven bits are a count n; with the top bit set n bytes follow as
// they are, otherwise one byte follows to be repeated n times; a count of
// 0 ends the row.
#include <algorithm>
#include <cstring>

#include "filters/sgi/sgi_format.h"

namespace rx {
namespace {

inline constexpr size_t kMaxPacket = 127;
inline constexpr uint8_t kLiteralBit = 0x80;

}  // namespace

void sgi_row_decode(const uint8_t* in, size_t in_size, uint8_t* out, size_t width) {
  size_t i = 0, o = 0;
  while (o < width && i < in_size) {
    const uint8_t c = in[i++];
    const size_t n = c & 0x7F;
    if (n == 0 || n > width - o) return;
    if (c & kLiteralBit) {
      if (n > in_size - i) return;
      std::memcpy(out + o, in + i, n);
      i += n;
    } else {
      if (i == in_size) return;
      std::memset(out + o, in[i++], n);
    }
    o += n;
  }
}

size_t sgi_row_encode(const uint8_t* in, size_t width, uint8_t* out) {
  size_t i = 0, o = 0;
  while (i < width) {
    if (i + 1 < width && in[i + 1] == in[i]) {
      size_t n = 2;
      while (i + n < width && n < kMaxPacket && in[i + n] == in[i]) ++n;
      out[o++] = static_cast<uint8_t>(n);
      out[o++] = in[i];
      i += n;
      continue;
    }
    size_t n = 1;
    while (i + n < width && n < kMaxPacket && in[i + n] != in[i + n - 1]) ++n;
    out[o++] = static_cast<uint8_t>(kLiteralBit | n);
    std::memcpy(out + o, in + i, n);
    o += n;
    i += n;
  }
  out[o++] = 0;
  return o;
}

}  // namespace rx
