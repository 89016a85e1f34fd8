// The PackBits decoder and encoder (packbits.h).
#include "filters/codecs/packbits.h"

#include <algorithm>
#include <cstring>

namespace rx {
namespace {

// What the next input byte is.
enum : uint8_t { kControl = 0, kLiteral = 1, kRepeatValue = 2, kRepeat = 3 };

// The longest packet either kind can describe.
constexpr size_t kMaxPacket = 128;
// A run this long or longer is worth a repeat packet even inside a literal.
constexpr size_t kMinRun = 3;

size_t run_length(const uint8_t* in, size_t n) {
  const size_t limit = std::min(n, kMaxPacket);
  size_t k = 1;
  while (k < limit && in[k] == in[0]) ++k;
  return k;
}

}  // namespace

PackBitsStep packbits_decode(PACKBITS_STATE* s, const uint8_t* in, size_t in_size, uint8_t* out,
                             size_t out_size) {
  size_t i = 0, o = 0;
  while (o < out_size) {
    if (s->phase == kLiteral) {
      const size_t n = std::min({size_t{s->left}, in_size - i, out_size - o});
      if (n == 0) break;
      std::memcpy(out + o, in + i, n);
      i += n;
      o += n;
      s->left -= static_cast<uint32_t>(n);
      if (s->left == 0) s->phase = kControl;
      continue;
    }
    if (s->phase == kRepeat) {
      const size_t n = std::min(size_t{s->left}, out_size - o);
      std::memset(out + o, s->value, n);
      o += n;
      s->left -= static_cast<uint32_t>(n);
      if (s->left == 0) s->phase = kControl;
      continue;
    }
    if (i == in_size) break;
    const uint8_t b = in[i++];
    if (s->phase == kRepeatValue) {
      s->value = b;
      s->phase = kRepeat;
    } else if (b < 128) {
      s->left = uint32_t{b} + 1;
      s->phase = kLiteral;
    } else if (b > 128) {
      s->left = 257 - uint32_t{b};
      s->phase = kRepeatValue;
    }
  }
  return PackBitsStep{i, o};
}

size_t packbits_encode(const uint8_t* in, size_t n, uint8_t* out) {
  size_t i = 0, o = 0;
  while (i < n) {
    const size_t run = run_length(in + i, n - i);
    if (run >= kMinRun) {
      out[o++] = static_cast<uint8_t>(257 - run);
      out[o++] = in[i];
      i += run;
      continue;
    }
    // A literal ends where a run worth its own packet begins.
    size_t end = i + run;
    while (end < n && end - i < kMaxPacket) {
      const size_t next = run_length(in + end, n - end);
      if (next >= kMinRun) break;
      end = std::min(end + next, i + kMaxPacket);
    }
    const size_t len = end - i;
    out[o++] = static_cast<uint8_t>(len - 1);
    std::memcpy(out + o, in + i, len);
    o += len;
    i = end;
  }
  return o;
}

}  // namespace rx
