// The chains hold stream positions (their low 32 bits: an entry is never
// more than 1,024 tried positions, so well under 2^32 bytes, old). Emptying
// every chain is done by moving to a new generation, which the heads carry
// in their upper half, rather than by clearing the 8,192 heads.
#include "filters/codecs/deflate.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace rx::codec {
namespace {

constexpr uint32_t kNoEntry = 0xFFFF;
constexpr uint32_t kHashMask = (1u << kDeflateHashBits) - 1;
constexpr uint32_t kLastGeneration = 0xFFFF;
constexpr uint32_t kEndOfBlock = 256;

struct Code {
  uint16_t bits;  // bit-reversed, ready to go out least significant bit first
  uint8_t length;
};

constexpr uint16_t reversed(uint32_t code, uint32_t length) {
  uint32_t r = 0;
  for (uint32_t i = 0; i < length; ++i, code >>= 1) r = r << 1 | (code & 1);
  return static_cast<uint16_t>(r);
}

constexpr std::array<Code, 288> make_litlen_codes() {
  std::array<Code, 288> c{};
  for (uint32_t s = 0; s < 288; ++s) {
    if (s < 144) c[s] = {reversed(0x30 + s, 8), 8};
    else if (s < 256) c[s] = {reversed(0x190 + s - 144, 9), 9};
    else if (s < 280) c[s] = {reversed(s - 256, 7), 7};
    else c[s] = {reversed(0xC0 + s - 280, 8), 8};
  }
  return c;
}

constexpr std::array<Code, 288> kLitlenCodes = make_litlen_codes();
static_assert(kLitlenCodes[0].bits == 0x0C && kLitlenCodes[0].length == 8);  // 00110000 reversed
static_assert(kLitlenCodes[kEndOfBlock].bits == 0 && kLitlenCodes[kEndOfBlock].length == 7);

// Every match length as its symbol's code followed by the extra bits,
// merged into one bit string.
struct LengthCode {
  uint32_t bits;
  uint32_t length;
};

constexpr std::array<LengthCode, kDeflateMaxMatch + 1> make_length_codes() {
  constexpr uint16_t kBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                  31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
  constexpr uint8_t kExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                  2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
  std::array<LengthCode, kDeflateMaxMatch + 1> t{};
  // 258 has a symbol of its own (285); 284 stops at 257.
  for (uint32_t i = 0; i < 29; ++i) {
    const Code c = kLitlenCodes[257 + i];
    const uint32_t span = i == 28 ? 1 : (1u << kExtra[i]) - (i == 27 ? 1 : 0);
    for (uint32_t k = 0; k < span; ++k)
      t[kBase[i] + k] = {c.bits | k << c.length, uint32_t{c.length} + kExtra[i]};
  }
  return t;
}

constexpr std::array<LengthCode, kDeflateMaxMatch + 1> kLengthCodes = make_length_codes();
static_assert(kLengthCodes[3].length == 7 && kLengthCodes[257].length == 13 &&
              kLengthCodes[258].length == 8);

// Distance d as code (5 bits, reversed) and extra bits, merged.
inline LengthCode distance_code(uint32_t d) {
  const uint32_t x = d - 1;
  if (x < 4) return {reversed(x, 5), 5};
  const uint32_t n = static_cast<uint32_t>(std::bit_width(x)) - 1;  // 2..14
  const uint32_t code = 2 * n + ((x >> (n - 1)) & 1);
  const uint32_t extra = x & ((1u << (n - 1)) - 1);
  return {reversed(code, 5) | extra << 5, 5 + n - 1};
}

// Least significant bit first; stores eight bytes at a time, so the output
// needs 8 bytes of room past the last byte it keeps.
struct BitOut {
  uint64_t bits;
  uint32_t count;  // below 32 between puts
  uint8_t* out;

  void put(uint32_t value, uint32_t n) {  // n at most 31
    bits |= uint64_t{value} << count;
    count += n;
    if (count >= 32) {
      std::memcpy(out, &bits, 8);
      const uint32_t bytes = count >> 3;
      out += bytes;
      bits >>= bytes * 8;
      count &= 7;
    }
  }
  // Stores the whole bytes, keeping fewer than 8 bits.
  void bytes_flush() {
    std::memcpy(out, &bits, 8);
    const uint32_t bytes = count >> 3;
    out += bytes;
    bits = bytes == 8 ? 0 : bits >> (bytes * 8);
    count &= 7;
  }
};

inline uint32_t hash3(const uint8_t* p) {
  return ((((uint32_t{p[0]} << 5) ^ p[1]) << 5) ^ p[2]) & kHashMask;
}

inline uint32_t head_entry(const FixedDeflater* d, uint32_t h) {
  const uint32_t v = d->head[h];
  return (v >> 16) == d->generation ? (v & 0xFFFF) : kNoEntry;
}

void chains_empty(FixedDeflater* d) {
  d->entries = 0;
  if (++d->generation > kLastGeneration) {
    std::fill(std::begin(d->head), std::end(d->head), 0u);
    d->generation = 1;
  }
}

void chain_add(FixedDeflater* d, uint32_t h, uint64_t position) {
  if (d->entries == kDeflateChainEntries) chains_empty(d);
  const uint32_t e = d->entries++;
  d->chain_position[e] = static_cast<uint32_t>(position);
  d->chain_next[e] = static_cast<uint16_t>(head_entry(d, h));
  d->head[h] = d->generation << 16 | e;
}

// Bytes equal at a and b, at most max.
inline uint32_t common_length(const uint8_t* a, const uint8_t* b, uint32_t max) {
  uint32_t n = 0;
  while (n + 8 <= max) {
    uint64_t x, y;
    std::memcpy(&x, a + n, 8);
    std::memcpy(&y, b + n, 8);
    if (x != y) return n + static_cast<uint32_t>(std::countr_zero(x ^ y)) / 8;
    n += 8;
  }
  while (n < max && a[n] == b[n]) ++n;
  return n;
}

struct Match {
  uint32_t length;  // 0 when none of at least 3 bytes
  uint32_t distance;
};

// Tries buffer offset `at` (chunk ends at `end`) and chains it.
Match position_try(FixedDeflater* d, size_t at, size_t end) {
  const auto max = static_cast<uint32_t>(std::min<size_t>(kDeflateMaxMatch, end - at));
  if (max < kDeflateMinMatch) return {0, 0};
  const uint8_t* here = d->buffer + at;
  const uint32_t h = hash3(here);
  const uint64_t position = d->buffer_start + at;
  const auto now = static_cast<uint32_t>(position);
  Match best{0, 0};
  for (uint32_t e = head_entry(d, h); e != kNoEntry; e = d->chain_next[e]) {
    const uint32_t distance = now - d->chain_position[e];
    if (distance > kDeflateMaxDistance) break;
    const uint8_t* there = here - distance;
    // Only a longer match counts: it must agree at the best length so far.
    if (best.length != 0 && there[best.length] != here[best.length]) continue;
    const uint32_t n = common_length(there, here, max);
    if (n > best.length) {
      best = {n, distance};
      if (n == max) break;
    }
  }
  chain_add(d, h, position);
  return best.length >= kDeflateMinMatch ? best : Match{0, 0};
}

inline void literal_put(BitOut& b, uint8_t byte) {
  const Code c = kLitlenCodes[byte];
  b.put(c.bits, c.length);
}

inline void match_put(BitOut& b, Match m) {
  const LengthCode l = kLengthCodes[m.length];
  b.put(l.bits, l.length);
  const LengthCode dc = distance_code(m.distance);
  b.put(dc.bits, dc.length);
}

// Room for the next chunk: when it would not fit, the last 32 KiB move to
// the front of the buffer.
size_t buffer_room(FixedDeflater* d, size_t size) {
  auto fill = static_cast<size_t>(d->position - d->buffer_start);
  if (fill + size > kDeflateBufferBytes) {
    const size_t keep = std::min<size_t>(fill, kDeflateMaxDistance);
    std::memmove(d->buffer, d->buffer + fill - keep, keep);
    d->buffer_start = d->position - keep;
    fill = keep;
  }
  return fill;
}

}  // namespace

void deflate_fixed_begin(FixedDeflater* d) {
  d->buffer_start = 0;
  d->position = 0;
  std::fill(std::begin(d->head), std::end(d->head), 0u);
  d->entries = 0;
  d->generation = 1;
  d->bits = 0;
  d->bit_count = 0;
  d->started = false;
}

size_t deflate_fixed_chunk(FixedDeflater* d, const uint8_t* data, size_t size, uint8_t* out) {
  size = std::min(size, kDeflateChunkBytes);
  BitOut b{d->bits, d->bit_count, out};
  if (!d->started) {
    b.put(1u | 1u << 1, 3);  // BFINAL 1, BTYPE 1
    d->started = true;
  }
  const size_t start = buffer_room(d, size);
  if (size > 0) std::memcpy(d->buffer + start, data, size);
  const size_t end = start + size;
  for (size_t at = start; at < end;) {
    const Match m = position_try(d, at, end);
    if (m.length == 0) {
      literal_put(b, d->buffer[at]);
      ++at;
      continue;
    }
    if (m.length < kDeflateLazyLimit) {
      const Match next = position_try(d, at + 1, end);
      if (next.length > m.length) {
        literal_put(b, d->buffer[at]);
        match_put(b, next);
        at += 1 + next.length;
        continue;
      }
    }
    match_put(b, m);
    at += m.length;
  }
  d->position += size;
  b.bytes_flush();
  d->bits = b.bits;
  d->bit_count = b.count;
  return static_cast<size_t>(b.out - out);
}

size_t deflate_fixed_finish(FixedDeflater* d, uint8_t* out) {
  BitOut b{d->bits, d->bit_count, out};
  if (!d->started) {
    b.put(1u | 1u << 1, 3);
    d->started = true;
  }
  const Code eob = kLitlenCodes[kEndOfBlock];
  b.put(eob.bits, eob.length);
  b.count = (b.count + 7) & ~7u;  // pad the last byte with zero bits
  b.bytes_flush();
  d->bits = 0;
  d->bit_count = 0;
  return static_cast<size_t>(b.out - out);
}

}  // namespace rx::codec
