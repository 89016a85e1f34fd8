// The decoder keeps up to 63 bits of input in a 64-bit buffer, least
// significant bit first as deflate packs them. While at least 16 input
// bytes and 288 bytes of window are left it runs a fast loop: the buffer is
// refilled eight bytes at a time without checks, one table lookup yields a
// literal or a length with its code length and extra-bit count, up to three
// literals are taken per refill, and copies move 8 or 16 bytes at a time
// (overrunning the copy by up to 15 bytes, which the room check allows
// for). Near the end of the input or of the window it decodes one symbol at
// a time with every check, pulling input and flushing output as needed.
#include "filters/codecs/inflate.h"

#include <algorithm>
#include <cstring>

#include "filters/codecs/adler32.h"

namespace rx::codec {
namespace {

// A table entry is 32 bits:
//   bits 0-7    bits the entry consumes: code length plus extra bits (for a
//               subtable pointer: the main table's index bits)
//   bits 8-11   the code length alone (for a pointer: the subtable's bits)
//   bits 12-15  flags below
//   bits 16-31  literal byte, length or distance base, precode symbol, or
//               the subtable's start
// An entry with kException set and neither kSubtable nor kEndOfBlock is a
// code word that stands for nothing.
constexpr uint32_t kLiteral = 0x8000;
constexpr uint32_t kException = 0x4000;
constexpr uint32_t kSubtable = 0x2000;
constexpr uint32_t kEndOfBlock = 0x1000;
constexpr uint32_t kNothing = kException | 1u << 8 | 1u;

constexpr uint32_t bits_of(uint32_t e) { return e & 0xFF; }
constexpr uint32_t code_length_of(uint32_t e) { return (e >> 8) & 0xF; }
constexpr uint32_t value_of(uint32_t e) { return e >> 16; }

constexpr uint32_t kMaxCodeLength = 15;
constexpr uint32_t kLitlenSymbols = 288;  // 286 and 287 have fixed codes but no meaning
constexpr uint32_t kDistSymbols = 32;     // so have 30 and 31
constexpr uint32_t kMaxLitlenUsed = 286;
constexpr uint32_t kMaxDistUsed = 30;
constexpr uint32_t kEndOfBlockSymbol = 256;

constexpr uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                      31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                      2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr uint16_t kDistBase[30] = {1,    2,    3,    4,    5,    7,     9,     13,    17,  25,
                                    33,   49,   65,   97,   129,  193,   257,   385,   513, 769,
                                    1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr uint8_t kDistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                    6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
// Order in which a dynamic block lists the code-length code's lengths.
constexpr uint8_t kPrecodeOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

enum class Kind { kLitlen, kDist, kPrecode };

// The entry of `symbol` whose code takes `length` bits at this level.
uint32_t symbol_entry(Kind kind, uint32_t symbol, uint32_t length) {
  const uint32_t code = length << 8 | length;
  switch (kind) {
    case Kind::kPrecode:
      return symbol << 16 | code;
    case Kind::kLitlen:
      if (symbol < 256) return symbol << 16 | kLiteral | code;
      if (symbol == kEndOfBlockSymbol) return kException | kEndOfBlock | code;
      if (symbol < kMaxLitlenUsed) {
        const uint32_t i = symbol - 257;
        return uint32_t{kLengthBase[i]} << 16 | length << 8 | (length + kLengthExtra[i]);
      }
      return kException | code;
    case Kind::kDist:
      if (symbol < kMaxDistUsed)
        return uint32_t{kDistBase[symbol]} << 16 | length << 8 | (length + kDistExtra[symbol]);
      return kException | code;
  }
  return kNothing;
}

uint32_t bits_reversed(uint32_t code, uint32_t length) {
  uint32_t r = 0;
  for (uint32_t i = 0; i < length; ++i, code >>= 1) r = r << 1 | (code & 1);
  return r;
}

// Builds the lookup table of the canonical code with these lengths (0 =
// unused, at most 15). Codes longer than `table_bits` continue in subtables
// placed after the main table, each as small as its codes allow. Refuses
// over-subscribed lengths, and incomplete ones except a single one-bit code
// (literal/length and distance codes) or no code at all (distance codes);
// the missing code words then decode as kNothing.
bool table_build(uint32_t* table, size_t capacity, uint32_t table_bits, const uint8_t* lengths,
                 uint32_t count, Kind kind) {
  uint32_t counts[kMaxCodeLength + 1] = {};
  for (uint32_t i = 0; i < count; ++i) ++counts[lengths[i]];
  counts[0] = 0;
  int32_t left = 1;
  uint32_t max_length = 0, codes = 0;
  for (uint32_t len = 1; len <= kMaxCodeLength; ++len) {
    left = left * 2 - static_cast<int32_t>(counts[len]);
    if (left < 0) return false;
    if (counts[len] != 0) max_length = len;
    codes += counts[len];
  }
  const uint32_t main_size = 1u << table_bits;
  if (left > 0) {
    const bool single = codes == 1 && max_length == 1 && kind != Kind::kPrecode;
    const bool none = codes == 0 && kind == Kind::kDist;
    if (!single && !none) return false;
    std::fill(table, table + main_size, kNothing);
  }
  uint32_t offsets[kMaxCodeLength + 2] = {};
  for (uint32_t len = 1; len <= kMaxCodeLength; ++len) offsets[len + 1] = offsets[len] + counts[len];
  uint16_t sorted[kLitlenSymbols];
  for (uint32_t i = 0; i < count; ++i)
    if (lengths[i] != 0) sorted[offsets[lengths[i]]++] = static_cast<uint16_t>(i);

  uint32_t remaining[kMaxCodeLength + 1];
  std::copy(counts, counts + kMaxCodeLength + 1, remaining);
  size_t next_sub = main_size;
  uint32_t sub_prefix = ~0u, sub_start = 0, sub_bits = 0;
  uint32_t code = 0, k = 0;
  for (uint32_t len = 1; len <= max_length; ++len, code <<= 1) {
    for (uint32_t n = 0; n < counts[len]; ++n, ++code, --remaining[len]) {
      const uint32_t symbol = sorted[k++];
      const uint32_t reversed = bits_reversed(code, len);
      if (len <= table_bits) {
        const uint32_t e = symbol_entry(kind, symbol, len);
        for (uint32_t i = reversed; i < main_size; i += 1u << len) table[i] = e;
        continue;
      }
      const uint32_t prefix = reversed & (main_size - 1);
      if (prefix != sub_prefix) {
        // The codes sharing this prefix come next in canonical order; the
        // subtable is the smallest their lengths fill.
        uint32_t bits = len - table_bits;
        int32_t room = 1 << bits;
        while (bits + table_bits < max_length) {
          room -= static_cast<int32_t>(remaining[bits + table_bits]);
          if (room <= 0) break;
          ++bits;
          room <<= 1;
        }
        if (next_sub + (size_t{1} << bits) > capacity) return false;
        sub_prefix = prefix;
        sub_start = static_cast<uint32_t>(next_sub);
        sub_bits = bits;
        table[prefix] = sub_start << 16 | kException | kSubtable | bits << 8 | table_bits;
        next_sub += size_t{1} << bits;
      }
      const uint32_t e = symbol_entry(kind, symbol, len - table_bits);
      for (uint32_t i = reversed >> table_bits; i < (1u << sub_bits); i += 1u << (len - table_bits))
        table[sub_start + i] = e;
    }
  }
  return true;
}

void fixed_tables_build(Inflater& s) {
  uint8_t lengths[kLitlenSymbols];
  std::fill(lengths, lengths + 144, 8);
  std::fill(lengths + 144, lengths + 256, 9);
  std::fill(lengths + 256, lengths + 280, 7);
  std::fill(lengths + 280, lengths + 288, 8);
  table_build(s.fixed_litlen, 1u << kLitlenTableBits, kLitlenTableBits, lengths, kLitlenSymbols,
              Kind::kLitlen);
  std::fill(lengths, lengths + kDistSymbols, 5);
  table_build(s.fixed_dist, 1u << kDistTableBits, kDistTableBits, lengths, kDistSymbols, Kind::kDist);
  s.fixed_built = true;
}

// ---- The state of one run ----------------------------------------------

// Used internally for "carry on".
constexpr InflateStatus kGo = InflateStatus::kDone;

struct Run {
  uint64_t buf;         // input bits, next bit lowest
  uint32_t bits;        // valid bits in buf (at most 63)
  const uint8_t* in;    // next byte of the current piece
  const uint8_t* end;
  const uint8_t* piece;  // start of the current piece
  InflateSource source;
  bool source_done;
  uint32_t overread;    // zero bytes added past the end of the input
  uint8_t* base;        // the window
  uint8_t* out;         // next byte to write
  uint8_t* limit;       // end of the window
  uint8_t* flushed;     // first byte not yet handed to the sink
  InflateSink sink;
  uint64_t dropped;     // bytes moved out of the window
  uint32_t flags;
};

bool next_piece(Run& r) {
  if (r.source_done) return false;
  if (r.source.pull != nullptr) {
    const uint8_t* p = nullptr;
    const size_t n = r.source.pull(r.source.user, &p);
    if (n > 0 && p != nullptr) {
      r.in = r.piece = p;
      r.end = p + n;
      return true;
    }
  }
  r.source_done = true;
  return false;
}

// Makes at least n (at most 32) bits available. Past the end of the input
// it adds zero bytes; consuming any of them is caught by truncated().
void need(Run& r, uint32_t n) {
  while (r.bits < n) {
    if (r.in == r.end && !next_piece(r)) {
      ++r.overread;
    } else {
      r.buf |= uint64_t{*r.in++} << r.bits;
    }
    r.bits += 8;
  }
}

void consume(Run& r, uint32_t n) {
  r.buf >>= n;
  r.bits -= n;
}

// True once bits from beyond the end of the input have been used.
bool truncated(const Run& r) { return r.overread * 8 > r.bits; }

uint32_t take(Run& r, uint32_t n) {
  need(r, n);
  const auto v = static_cast<uint32_t>(r.buf & ((uint64_t{1} << n) - 1));
  consume(r, n);
  return v;
}

// One code word the careful way: its entry, with the code bits consumed
// but not the extra bits.
uint32_t symbol_decode(Run& r, const uint32_t* table, uint32_t table_bits) {
  need(r, kMaxCodeLength);
  uint32_t e = table[r.buf & ((1u << table_bits) - 1)];
  if ((e & kSubtable) != 0) {
    consume(r, table_bits);
    e = table[value_of(e) + (r.buf & ((1u << code_length_of(e)) - 1))];
  }
  consume(r, code_length_of(e));
  return e;
}

// The window is full: hand it to the sink and keep the last 32 KiB.
InflateStatus room_make(Run& r) {
  if (r.sink.push == nullptr) return InflateStatus::kOutputFull;
  const bool go_on = r.out == r.flushed || r.sink.push(r.sink.user, r.flushed,
                                                        static_cast<size_t>(r.out - r.flushed));
  r.flushed = r.out;
  if (!go_on) return InflateStatus::kStopped;
  const size_t used = static_cast<size_t>(r.out - r.base);
  const size_t keep = std::min(used, kInflateHistory);
  std::memmove(r.base, r.out - keep, keep);
  r.dropped += used - keep;
  r.out = r.flushed = r.base + keep;
  return kGo;
}

// ---- Blocks ---------------------------------------------------------------

InflateStatus stored_block(Run& r) {
  consume(r, r.bits & 7);
  const uint32_t len = take(r, 16);
  const uint32_t nlen = take(r, 16);
  if (truncated(r)) return InflateStatus::kTruncated;
  if ((r.flags & kInflateStored) == 0) return InflateStatus::kStoredRefused;
  if (nlen != (~len & 0xFFFF)) return InflateStatus::kBadStoredLength;
  size_t left = len;
  // Whole bytes already in the bit buffer come first.
  while (left > 0 && r.bits > 0) {
    if (r.bits <= 8 * r.overread) return InflateStatus::kTruncated;
    if (r.out == r.limit) {
      const InflateStatus st = room_make(r);
      if (st != kGo) return st;
    }
    *r.out++ = static_cast<uint8_t>(r.buf);
    consume(r, 8);
    --left;
  }
  while (left > 0) {
    if (r.in == r.end && !next_piece(r)) return InflateStatus::kTruncated;
    if (r.out == r.limit) {
      const InflateStatus st = room_make(r);
      if (st != kGo) return st;
    }
    const size_t n = std::min({left, static_cast<size_t>(r.end - r.in),
                               static_cast<size_t>(r.limit - r.out)});
    std::memcpy(r.out, r.in, n);
    r.out += n;
    r.in += n;
    left -= n;
  }
  return kGo;
}

InflateStatus dynamic_tables_read(Inflater& s, Run& r) {
  const uint32_t hlit = take(r, 5) + 257;
  const uint32_t hdist = take(r, 5) + 1;
  const uint32_t hclen = take(r, 4) + 4;
  if (hlit > kMaxLitlenUsed || hdist > kMaxDistUsed) return InflateStatus::kBadCodeLengths;
  uint8_t lengths[kMaxLitlenUsed + kMaxDistUsed] = {};
  for (uint32_t i = 0; i < hclen; ++i) lengths[kPrecodeOrder[i]] = static_cast<uint8_t>(take(r, 3));
  if (truncated(r)) return InflateStatus::kTruncated;
  if (!table_build(s.precode, 1u << kPrecodeTableBits, kPrecodeTableBits, lengths, 19,
                   Kind::kPrecode))
    return InflateStatus::kBadCodeLengths;
  std::fill(lengths, lengths + 19, 0);
  const uint32_t total = hlit + hdist;
  for (uint32_t i = 0; i < total;) {
    const uint32_t symbol = value_of(symbol_decode(r, s.precode, kPrecodeTableBits));
    uint32_t repeat = 1;
    if (symbol == 16) repeat = 3 + take(r, 2);
    else if (symbol == 17) repeat = 3 + take(r, 3);
    else if (symbol == 18) repeat = 11 + take(r, 7);
    if (truncated(r)) return InflateStatus::kTruncated;
    if ((symbol == 16 && i == 0) || repeat > total - i) return InflateStatus::kBadCodeLengths;
    const uint8_t value = symbol < 16 ? static_cast<uint8_t>(symbol) : symbol == 16 ? lengths[i - 1] : 0;
    std::fill(lengths + i, lengths + i + repeat, value);
    i += repeat;
  }
  if (lengths[kEndOfBlockSymbol] == 0) return InflateStatus::kBadCodeLengths;
  if (!table_build(s.litlen, kLitlenTableSize, kLitlenTableBits, lengths, hlit, Kind::kLitlen) ||
      !table_build(s.dist, kDistTableSize, kDistTableBits, lengths + hlit, hdist, Kind::kDist))
    return InflateStatus::kBadCodeLengths;
  return kGo;
}

// ---- The fast loop --------------------------------------------------------

constexpr ptrdiff_t kFastInput = 16;   // two refills of 8 bytes, each advancing at most 7
constexpr ptrdiff_t kFastOutput = 288;  // 2 literals + a 258-byte copy + 15 bytes of overrun

inline uint64_t load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}
inline void copy8(uint8_t* dst, const uint8_t* src) {
  uint64_t v;
  std::memcpy(&v, src, 8);
  std::memcpy(dst, &v, 8);
}
inline void copy16(uint8_t* dst, const uint8_t* src) {
  uint8_t v[16];
  std::memcpy(v, src, 16);
  std::memcpy(dst, v, 16);
}

// For distances below 8: the smallest multiple of the distance that is at
// least 8, so that 8-byte copies from that far back repeat the pattern.
constexpr uint8_t kPatternStep[8] = {0, 8, 8, 9, 8, 10, 12, 14};

// Copies `length` bytes from `distance` back; may write up to 15 bytes
// past the end of the copy.
inline void match_copy(uint8_t* out, uint32_t distance, uint32_t length) {
  uint8_t* dst = out;
  uint8_t* const stop = out + length;
  const uint8_t* src = out - distance;
  if (distance >= 16) {
    do {
      copy16(dst, src);
      dst += 16;
      src += 16;
    } while (dst < stop);
  } else if (distance >= 8) {
    do {
      copy8(dst, src);
      dst += 8;
      src += 8;
    } while (dst < stop);
  } else if (distance == 1) {
    const uint64_t v = 0x0101010101010101ull * *src;
    do {
      std::memcpy(dst, &v, 8);
      dst += 8;
    } while (dst < stop);
  } else {
    for (int i = 0; i < 8; ++i) dst[i] = src[i];
    const uint32_t step = kPatternStep[distance];
    for (dst += 8; dst < stop; dst += 8) copy8(dst, dst - step);
  }
}

enum class Fast { kSlow, kEnd, kBadSymbol, kBadDistance };

// Decodes while the input and the window have room for any symbol without
// checks. The bit buffer may hold bits beyond `bits` (the start of the next
// input byte, loaded again by the next refill); they are cleared on the way
// out.
Fast fast_loop(Run& r, const uint32_t* lit, const uint32_t* dist) {
  constexpr uint64_t kLitMask = (1u << kLitlenTableBits) - 1;
  constexpr uint64_t kDistMask = (1u << kDistTableBits) - 1;
  uint64_t buf = r.buf;
  uint32_t bits = r.bits;
  const uint8_t* in = r.in;
  const uint8_t* const in_end = r.end;
  uint8_t* out = r.out;
  uint8_t* const out_end = r.limit;
  uint8_t* const base = r.base;
  Fast result = Fast::kSlow;

#define RX_REFILL()                     \
  do {                                  \
    buf |= load64(in) << bits;          \
    in += (63 - bits) >> 3;             \
    bits |= 56;                         \
  } while (0)
#define RX_CONSUME(n) \
  do {                \
    buf >>= (n);      \
    bits -= (n);      \
  } while (0)

  // At the top of every pass the buffer holds at least 56 bits and `e` is
  // the entry they select, so the next lookup overlaps the copy before it.
  RX_REFILL();
  uint32_t e = lit[buf & kLitMask];
  while (in_end - in >= kFastInput && out_end - out >= kFastOutput) {
    if (e & kLiteral) {
      // Main-table literals take at most 11 bits: three fit one refill,
      // with enough left to look up the symbol after them.
      RX_CONSUME(bits_of(e));
      *out++ = static_cast<uint8_t>(value_of(e));
      e = lit[buf & kLitMask];
      if (e & kLiteral) {
        RX_CONSUME(bits_of(e));
        *out++ = static_cast<uint8_t>(value_of(e));
        e = lit[buf & kLitMask];
        if (e & kLiteral) {
          RX_CONSUME(bits_of(e));
          *out++ = static_cast<uint8_t>(value_of(e));
          RX_REFILL();
          e = lit[buf & kLitMask];
          continue;
        }
      }
      RX_REFILL();
    }
    if (e & kException) {
      if (e & kSubtable) {
        RX_CONSUME(bits_of(e));
        e = lit[value_of(e) + (buf & ((1u << code_length_of(e)) - 1))];
        if (e & kLiteral) {
          RX_CONSUME(bits_of(e));
          *out++ = static_cast<uint8_t>(value_of(e));
          RX_REFILL();
          e = lit[buf & kLitMask];
          continue;
        }
      }
      if (e & kException) {
        if (e & kEndOfBlock) {
          RX_CONSUME(bits_of(e));
          result = Fast::kEnd;
        } else {
          result = Fast::kBadSymbol;
        }
        break;
      }
    }
    // A length and a distance take at most 20 + 28 bits of the 56 a refill
    // guarantees.
    uint32_t total = bits_of(e);
    const uint32_t length =
        value_of(e) + static_cast<uint32_t>((buf & ((uint64_t{1} << total) - 1)) >> code_length_of(e));
    RX_CONSUME(total);
    uint32_t d = dist[buf & kDistMask];
    if (d & kException) {
      if (d & kSubtable) {
        RX_CONSUME(bits_of(d));
        d = dist[value_of(d) + (buf & ((1u << code_length_of(d)) - 1))];
      }
      if (d & kException) {
        result = Fast::kBadSymbol;
        break;
      }
    }
    total = bits_of(d);
    const uint32_t distance =
        value_of(d) + static_cast<uint32_t>((buf & ((uint64_t{1} << total) - 1)) >> code_length_of(d));
    RX_CONSUME(total);
    // The next lookup needs only the bits already there, most of the time;
    // the refill then stays off its path.
    if (bits >= kLitlenTableBits) {
      e = lit[buf & kLitMask];
      RX_REFILL();
    } else {
      RX_REFILL();
      e = lit[buf & kLitMask];
    }
    if (distance > static_cast<size_t>(out - base)) {
      result = Fast::kBadDistance;
      break;
    }
    match_copy(out, distance, length);
    out += length;
  }
#undef RX_REFILL
#undef RX_CONSUME
  r.buf = buf & ((uint64_t{1} << bits) - 1);
  r.bits = bits;
  r.in = in;
  r.out = out;
  return result;
}

InflateStatus huffman_block(Run& r, const uint32_t* lit, const uint32_t* dist) {
  for (;;) {
    if (r.end - r.in >= kFastInput && r.limit - r.out >= kFastOutput) {
      switch (fast_loop(r, lit, dist)) {
        case Fast::kSlow: break;
        case Fast::kEnd: return kGo;
        case Fast::kBadSymbol: return InflateStatus::kBadSymbol;
        case Fast::kBadDistance: return InflateStatus::kBadDistance;
      }
    }
    // One symbol with every check.
    const uint32_t e = symbol_decode(r, lit, kLitlenTableBits);
    if (e & kLiteral) {
      if (truncated(r)) return InflateStatus::kTruncated;
      if (r.out == r.limit) {
        const InflateStatus st = room_make(r);
        if (st != kGo) return st;
      }
      *r.out++ = static_cast<uint8_t>(value_of(e));
      continue;
    }
    if (e & kException) {
      if (truncated(r)) return InflateStatus::kTruncated;
      return (e & kEndOfBlock) != 0 ? kGo : InflateStatus::kBadSymbol;
    }
    const uint32_t length = value_of(e) + take(r, bits_of(e) - code_length_of(e));
    const uint32_t d = symbol_decode(r, dist, kDistTableBits);
    if (truncated(r)) return InflateStatus::kTruncated;
    if (d & kException) return InflateStatus::kBadSymbol;
    const uint32_t distance = value_of(d) + take(r, bits_of(d) - code_length_of(d));
    if (truncated(r)) return InflateStatus::kTruncated;
    if (distance > static_cast<size_t>(r.out - r.base)) return InflateStatus::kBadDistance;
    for (uint32_t left = length; left > 0;) {
      if (r.out == r.limit) {
        const InflateStatus st = room_make(r);
        if (st != kGo) return st;
      }
      const uint32_t n = std::min<uint32_t>(left, static_cast<uint32_t>(r.limit - r.out));
      const uint8_t* src = r.out - distance;
      for (uint32_t i = 0; i < n; ++i) r.out[i] = src[i];
      r.out += n;
      left -= n;
    }
  }
}

InflateStatus blocks_run(Inflater& s, Run& r) {
  for (;;) {
    const uint32_t header = take(r, 3);
    if (truncated(r)) return InflateStatus::kTruncated;
    InflateStatus st = kGo;
    switch (header >> 1) {
      case 0:
        st = stored_block(r);
        break;
      case 1:
        if (!s.fixed_built) fixed_tables_build(s);
        st = huffman_block(r, s.fixed_litlen, s.fixed_dist);
        break;
      case 2:
        st = dynamic_tables_read(s, r);
        if (st == kGo) st = huffman_block(r, s.litlen, s.dist);
        break;
      default:
        return InflateStatus::kReservedBlockType;
    }
    if (st != kGo) return st;
    if (header & 1) return kGo;
  }
}

bool is_data_fault(InflateStatus st) {
  return st == InflateStatus::kBadCodeLengths || st == InflateStatus::kBadSymbol ||
         st == InflateStatus::kBadDistance || st == InflateStatus::kBadStoredLength ||
         st == InflateStatus::kReservedBlockType;
}

}  // namespace

InflateStatus inflate_run(Inflater* state, InflateJob* job) {
  Run r{};
  r.in = r.piece = job->in;
  r.end = job->in != nullptr ? job->in + job->in_size : nullptr;
  r.source = job->source;
  r.base = r.out = r.flushed = job->window;
  r.limit = job->window != nullptr ? job->window + job->window_size : nullptr;
  r.sink = job->sink;
  r.flags = job->flags;
  job->rest = nullptr;
  job->rest_size = 0;
  InflateStatus st = InflateStatus::kOutputFull;
  if (job->sink.push == nullptr || job->window_size >= kInflateMinWindow) {
    st = blocks_run(*state, r);
    // A fault in bits that were not there is the end of the input, not bad
    // data.
    if (is_data_fault(st) && truncated(r)) st = InflateStatus::kTruncated;
  }
  if (st == kGo && r.sink.push != nullptr && r.out != r.flushed) {
    r.sink.push(r.sink.user, r.flushed, static_cast<size_t>(r.out - r.flushed));
    r.flushed = r.out;
  }
  job->produced = r.dropped + static_cast<uint64_t>(r.out - r.base);
  if (st == kGo && r.in != nullptr) {
    // Whole bytes left in the bit buffer were read ahead from this piece.
    const size_t ahead = std::min<size_t>(r.bits / 8 - r.overread, static_cast<size_t>(r.in - r.piece));
    job->rest = r.in - ahead;
    job->rest_size = static_cast<size_t>(r.end - job->rest);
  }
  return st;
}

InflateStatus inflate_buffer(Inflater* state, const uint8_t* in, size_t in_size, uint8_t* out,
                             size_t out_size, uint32_t flags, size_t* produced, size_t* consumed) {
  InflateJob job{};
  job.in = in;
  job.in_size = in_size;
  job.window = out;
  job.window_size = out_size;
  job.flags = flags;
  const InflateStatus st = inflate_run(state, &job);
  if (produced != nullptr) *produced = static_cast<size_t>(job.produced);
  if (consumed != nullptr) *consumed = job.rest != nullptr ? static_cast<size_t>(job.rest - in) : in_size;
  return st;
}

InflateStatus zlib_decompress(Inflater* state, const uint8_t* in, size_t in_size, uint8_t* out,
                              size_t out_size, size_t* produced) {
  if (produced != nullptr) *produced = 0;
  if (in == nullptr || in_size < 2) return InflateStatus::kTruncated;
  const uint32_t cmf = in[0], flg = in[1];
  constexpr uint32_t kMethodDeflate = 8, kMaxWindowLog = 7, kPresetDictionary = 0x20;
  if ((cmf & 15) != kMethodDeflate || (cmf >> 4) > kMaxWindowLog || (cmf << 8 | flg) % 31 != 0 ||
      (flg & kPresetDictionary) != 0)
    return InflateStatus::kBadZlibHeader;
  size_t made = 0, used = 0;
  const InflateStatus st =
      inflate_buffer(state, in + 2, in_size - 2, out, out_size, kInflateStored, &made, &used);
  if (produced != nullptr) *produced = made;
  if (st != InflateStatus::kDone) return st;
  const uint8_t* trailer = in + 2 + used;
  if (in_size - 2 - used < 4) return InflateStatus::kTruncated;
  const uint32_t expected = uint32_t{trailer[0]} << 24 | uint32_t{trailer[1]} << 16 |
                            uint32_t{trailer[2]} << 8 | trailer[3];
  return adler32_update(1, out, made) == expected ? InflateStatus::kDone : InflateStatus::kBadChecksum;
}

}  // namespace rx::codec
