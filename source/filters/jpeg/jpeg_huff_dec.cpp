// Huffman decoding for the JPEG reader: canonical decoding tables (T.81
// Annex C and F.2.2.3) with one combined lookup for the short codes, the
// bit reader's slow half, and the decoding of one block.
#include "filters/jpeg/jpeg_huff_dec.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "SUPPORT/error.h"
#include "filters/jpeg/jpeg_tables.h"

RX_SOURCE("source\\filters\\jpeg\\jpeg_huff_dec.cpp");

namespace rx::jpeg {
namespace {

// T.81 EXTEND: the S received bits as a signed value.
constexpr int32_t extend(uint32_t v, int32_t s) {
  if (s == 0) return 0;
  return v < (1u << (s - 1)) ? static_cast<int32_t>(v) - (1 << s) + 1 : static_cast<int32_t>(v);
}

// The entries of one code of length `len` (at most 11 bits) for `symbol`.
void lookup_fill(HuffTable* t, uint32_t code, int32_t len, uint8_t symbol) {
  const int32_t free_bits = kLookupBits - len;
  const uint32_t first = code << free_bits;
  const int32_t s = t->dc ? symbol : (symbol & 15);
  const bool combine = (t->dc || s != 0) && len + s <= kLookupBits;
  for (uint32_t i = 0; i < (1u << free_bits); ++i) {
    int32_t e = symbol | len << kEntryLengthShift;
    if (combine) {
      const uint32_t extra = (i >> (free_bits - s)) & ((1u << s) - 1);
      const auto value = static_cast<uint32_t>(extend(extra, s));
      e |= (len + s) << kEntryTotalShift;
      e |= static_cast<int32_t>(value << kEntryValueShift);
    }
    t->lookup[first + i] = e;
  }
}

}  // namespace

bool huff_table_build(HuffTable* t, bool dc, const uint8_t counts[16], const uint8_t* values) {
  std::memset(t, 0, sizeof *t);
  t->dc = dc;
  int32_t total = 0;
  for (int i = 0; i < 16; ++i) total += counts[i];
  std::memcpy(t->values, values, static_cast<size_t>(total));
  t->max_symbol = total > 0 ? *std::max_element(values, values + total) : 0;
  uint32_t code = 0;
  int32_t k = 0;
  for (int32_t len = 1; len <= 16; ++len) {
    const int32_t n = counts[len - 1];
    t->bits[len] = static_cast<uint8_t>(n);
    // Codes of one length are consecutive; they must all fit in len bits.
    if (code + static_cast<uint32_t>(n) > (1u << len)) {
      t->defined = false;
      return false;
    }
    t->valptr[len] = k - static_cast<int32_t>(code);
    t->maxcode[len] = n > 0 ? static_cast<int32_t>(code) + n - 1 : -1;
    for (int32_t i = 0; i < n && len <= kLookupBits; ++i)
      lookup_fill(t, code + static_cast<uint32_t>(i), len, values[k + i]);
    code = (code + static_cast<uint32_t>(n)) << 1;
    k += n;
  }
  t->maxcode[17] = std::numeric_limits<int32_t>::max();
  t->defined = true;
  return true;
}

// ---- bit reader -----------------------------------------------------------

namespace {

// Hands the bytes taken so far to the buffered stream and makes its next
// bytes the window: at least 16 when the stream has them.
void window_refresh(BitReader* r) {
  IO_BUFFER* b = r->buf;
  const auto used = static_cast<int32_t>(r->next - (b->buffer + b->index));
  if (used > 0) io_buffer_get(b, used);
  const int64_t left = int64_t{b->end} - b->position;
  const uint8_t* p = left > 0 ? io_buffer_peek(b, static_cast<int32_t>(std::min<int64_t>(left, 16)))
                              : nullptr;
  if (p == nullptr) {
    r->next = r->limit = b->buffer + b->index;
    return;
  }
  r->next = p;
  r->limit = p + b->available;
}

bool byte_load(BitReader* r) {
  if (r->limit - r->next < 2) window_refresh(r);
  const ptrdiff_t have = r->limit - r->next;
  if (have == 0) return false;
  const uint8_t b = r->next[0];
  if (b == 0xFF) {
    // A marker, or an 0xFF with nothing after it, ends the data.
    if (have < 2 || r->next[1] != 0) return false;
    r->next += 2;
  } else {
    r->next += 1;
  }
  r->acc |= uint64_t{b} << (56 - r->bits);
  r->bits += 8;
  return true;
}

}  // namespace

BitReader bits_fill_slow(BitReader r) {
  while (r.bits <= 56) {
    if (!byte_load(&r)) {
      r.stopped = true;
      break;
    }
  }
  return r;
}

void bits_prime(BitReader* r, IO_BUFFER* buf, int32_t* restarts) {
  *r = BitReader{};
  r->buf = buf;
  uint8_t two[2];
  while (io_buffer_two_peek(buf, two) == 1 && two[0] == 0xFF) {
    if (two[1] == 0xFF) {
      io_buffer_get(buf, 1);
    } else if (is_restart_marker(two[1])) {
      io_buffer_get(buf, 2);
      ++*restarts;
    } else {
      break;
    }
  }
  r->next = r->limit = buf->buffer + buf->index;
  *r = bits_fill_slow(*r);
}

void bits_release(BitReader* r) {
  IO_BUFFER* b = r->buf;
  const auto used = static_cast<int32_t>(r->next - (b->buffer + b->index));
  if (used > 0) io_buffer_get(b, used);
  // Whole bytes still held were loaded but not taken; a data byte 0xFF came
  // from two stream bytes. A partly taken byte counts as taken.
  int32_t back = 0;
  if (r->bits > 0) {
    const int32_t lead = r->bits % 8;
    for (int32_t i = 0; i < r->bits / 8; ++i) {
      const auto byte = static_cast<uint8_t>(r->acc >> (56 - lead - 8 * i));
      back += byte == 0xFF ? 2 : 1;
    }
  }
  if (back > 0) io_buffer_seek(b, -back, 1);
  *r = BitReader{};
  r->buf = b;
  r->next = r->limit = b->buffer + b->index;
}

// ---- block decoding -------------------------------------------------------

namespace {

inline void bits_take(BitReader& r, int32_t n) {
  r.acc <<= n;
  r.bits -= n;
}

// Codes longer than the lookup: lengths 12 to 16 in turn (T.81 F.2.2.3).
// A code no length admits is damage: it reads as symbol 0 after 16 bits.
// Returns the length in bits 8.. and the symbol in bits 0..7.
int32_t symbol_slow(uint64_t acc, const HuffTable* t) {
  for (int32_t len = kLookupBits + 1; len <= 16; ++len) {
    const auto code = static_cast<int32_t>(acc >> (64 - len));
    if (code <= t->maxcode[len]) return len << 8 | t->values[(t->valptr[len] + code) & 255];
  }
  return 16 << 8;
}

inline int32_t symbol_decode(BitReader& r, const HuffTable* t, int32_t entry) {
  int32_t len = (entry >> kEntryLengthShift) & 15;
  if (len == 0) [[unlikely]] {
    entry = symbol_slow(r.acc, t);
    len = entry >> 8;
  }
  bits_take(r, len);
  return entry & 255;
}

// At most 16 bits; the caller has at least that many in hand.
inline int32_t receive_extend(BitReader& r, int32_t s) {
  if (s == 0) return 0;
  const auto v = static_cast<uint32_t>(r.acc >> (64 - s));
  bits_take(r, s);
  return extend(v, s);
}

inline int32_t dequantise(int32_t value, int32_t q) {
  const int64_t c = int64_t{value} * q;
  return static_cast<int32_t>(std::clamp<int64_t>(c, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

inline int32_t dc_decode(BitReader& r, const HuffTable* t) {
  bits_fill(r);
  const int32_t e = t->lookup[r.acc >> (64 - kLookupBits)];
  const int32_t total = (e >> kEntryTotalShift) & 31;
  if (total != 0) {
    bits_take(r, total);
    return e >> kEntryValueShift;
  }
  const int32_t s = symbol_decode(r, t, e);
  return receive_extend(r, s);
}

// |c| for c >= 0, |c| - 1 below.
inline uint32_t size_of(int32_t c) { return static_cast<uint32_t>(c ^ (c >> 31)); }

}  // namespace

int32_t decode_block(BitReader* reader, const HuffTable* dc, const HuffTable* ac,
                     const int32_t quant[64], int16_t* predictor, int32_t coef[64],
                     uint32_t* magnitude) {
  BitReader r = *reader;  // a copy the stores to coef cannot touch
  *predictor = static_cast<int16_t>(*predictor + dc_decode(r, dc));
  coef[0] = dequantise(*predictor, quant[0]);
  uint32_t bits = size_of(coef[0]);
  int32_t last = 0;
  for (int32_t k = 1; k < 64; ++k) {
    bits_fill(r);
    const int32_t e = ac->lookup[r.acc >> (64 - kLookupBits)];
    const int32_t total = (e >> kEntryTotalShift) & 31;
    if (total != 0) {
      k += (e >> 4) & 15;
      bits_take(r, total);
      if (k < 64) {
        const int32_t c = dequantise(e >> kEntryValueShift, quant[k]);
        coef[kZigzag[k]] = c;
        bits |= size_of(c);
        last = k;
      }
      continue;
    }
    const int32_t rs = symbol_decode(r, ac, e);
    if (rs == 0) break;
    k += rs >> 4;
    const int32_t value = receive_extend(r, rs & 15);
    if (k < 64 && value != 0) {
      const int32_t c = dequantise(value, quant[k]);
      coef[kZigzag[k]] = c;
      bits |= size_of(c);
      last = k;
    }
  }
  *reader = r;
  // The OR is at least each |c| - 1.
  *magnitude = bits == 0xFFFFFFFFu ? bits : bits + 1;
  return last;
}

}  // namespace rx::jpeg
