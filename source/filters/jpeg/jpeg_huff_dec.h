// Huffman decoding for the JPEG reader: the decoding tables built from a
// DHT segment, the bit reader over the entropy-coded data, and the decoding
// of one 8x8 block into dequantised coefficients (ITU-T T.81 F.2.2).
#pragma once

#include <cstdint>
#include <cstring>

#include "IO/iobuffer.h"

namespace rx::jpeg {

// Codes of up to this many bits are resolved by one table lookup.
inline constexpr int kLookupBits = 11;
inline constexpr int kLookupSize = 1 << kLookupBits;

// One lookup entry, indexed by the next 11 bits of the stream:
//   bits 0..7   the symbol
//   bits 8..11  its code length L (0: the code is longer than 11 bits or unused)
//   bits 12..16 L + S when the S extra bits of the value also lie within the
//               11 bits, so the whole coefficient is known at once (0: not so)
//   bits 21..31 that value, already extended to its signed form
// S is the symbol for a DC table and its low nibble for an AC table; AC
// symbols with S = 0 (end of block, runs of zeros) are never combined.
inline constexpr int kEntryLengthShift = 8;
inline constexpr int kEntryTotalShift = 12;
inline constexpr int kEntryValueShift = 21;

struct HuffTable {
  bool defined;     // a DHT segment has set this table
  bool dc;          // built as a DC table
  uint8_t max_symbol;
  uint8_t bits[17];     // count of codes of each length 1..16
  uint8_t values[256];  // HUFFVAL; entries past the count stay 0
  int32_t maxcode[18];  // largest code of each length, -1 when it has none
  int32_t valptr[17];   // index in values of the code 0 of each length
  int32_t lookup[kLookupSize];
};

// Builds `t` from 16 counts and the values that follow them in the segment.
// The caller has checked that the counts add up to at most 256. Returns
// false, leaving `t` undefined, when the counts describe more codes of some
// length than the code space has room for: such a table cannot be decoded
// unambiguously and would index past the lookup.
bool huff_table_build(HuffTable* t, bool dc, const uint8_t counts[16], const uint8_t* values);

// The entropy-coded data, most significant bit first. Stuffed 0xFF 0x00
// pairs give one 0xFF data byte; any other 0xFF pair is a marker, at which
// loading stops and the missing bits read as 0, as they do at the end of
// the stream. So a damaged or truncated scan still ends: it decodes as
// zeros.
struct BitReader {
  uint64_t acc;          // the bits not yet taken, left-aligned
  int32_t bits;          // how many of them came from the stream; negative
                         // once zeros past a stop have been taken
  bool stopped;          // a marker or the end of the stream was met
  const uint8_t* next;   // the next byte of the buffered window
  const uint8_t* limit;  // the end of that window
  IO_BUFFER* buf;
};

// Loading that has to look at the window's end or ask for a new window.
// The reader goes in and out by value, so that a caller's copy of it can
// live in registers.
BitReader bits_fill_slow(BitReader r);

// Makes at least 32 bits available (real ones, or zeros past a stop).
inline void bits_fill(BitReader& r) {
  if (r.bits >= 32 || r.stopped) return;
  // Loading at most 8 bytes can take 16 stream bytes when all are stuffed.
  if (r.limit - r.next < 16) [[unlikely]] {
    r = bits_fill_slow(r);
    return;
  }
  const uint8_t* p = r.next;
  uint64_t acc = r.acc;
  int32_t bits = r.bits;
  // Usually the next eight bytes hold no 0xFF: take whole bytes at once.
  uint64_t word;
  std::memcpy(&word, p, 8);
  word = __builtin_bswap64(word);
  if ((((~word) - 0x0101010101010101u) & word & 0x8080808080808080u) == 0) {
    const int32_t n = (63 - bits) >> 3;
    const int32_t valid = bits + 8 * n;
    r.acc = (acc | (word >> bits)) & ~(~uint64_t{0} >> valid);
    r.bits = valid;
    r.next = p + n;
    return;
  }
  while (bits <= 56) {
    const uint64_t b = p[0];
    if (b == 0xFF) {
      if (p[1] != 0) {
        r.stopped = true;
        break;
      }
      p += 2;
    } else {
      p += 1;
    }
    acc |= b << (56 - bits);
    bits += 8;
  }
  r.next = p;
  r.acc = acc;
  r.bits = bits;
}

// The second byte of a restart marker, RST0..RST7.
constexpr bool is_restart_marker(uint8_t b) { return b >= 0xD0 && b <= 0xD7; }

// Starts reading at the buffered stream's position: skips 0xFF fill bytes
// and RST markers in front of the data, counting the markers skipped in
// *restarts, then loads the first bits.
void bits_prime(BitReader* r, IO_BUFFER* buf, int32_t* restarts);

// Hands the bytes behind the bits already taken back to the buffered
// stream, so that its position is the first byte no taken bit came from.
void bits_release(BitReader* r);

// Decodes one block into `coef` (natural order, zeroed by the caller), each
// value multiplied by its entry of `quant` (zig-zag order). The DC value is
// the running predictor, kept as 16 bits. Returns the highest zig-zag index
// that was set (0 when only the DC coefficient was); *magnitude receives a
// bound on the coefficients: no |coef| exceeds it.
int32_t decode_block(BitReader* r, const HuffTable* dc, const HuffTable* ac,
                     const int32_t quant[64], int16_t* predictor, int32_t coef[64],
                     uint32_t* magnitude);

}  // namespace rx::jpeg
