// The row coders behind the fax codec's decode and encode drivers: run
// codes and end-of-line handling (group3.cpp), two-dimensional coding
// against a reference row (GROUP4.cpp).
#pragma once

#include <cstdint>

#include <algorithm>

#include "filters/codecs/ccitt_bits.h"
#include "filters/codecs/ccitt_rows.h"
#include "filters/codecs/ccitt_tables.h"

namespace rx::ccitt {

// How decoding a row ended.
enum class RowEnd {
  kDone,       // the row reached its width
  kEolMet,     // an EOL (or fill before one) came where a code was expected; not consumed
  kBad,        // bits that start no code
  kExhausted,  // the data ran out
};

// ---- One-dimensional coding and EOLs (group3.cpp) ---------------------------

// Reads one run of a colour (make-up codes and the terminating code) and
// adds it to `pos`, stopping at `limit`. Inline: it is the inner loop of
// both row decoders.
inline RowEnd run_read(BitReader& r, bool white, uint32_t* pos, uint32_t limit) {
  for (;;) {
    r.refill();
    const Entry e = white ? kWhiteTable[r.peek(kWhiteBits)] : kBlackTable[r.peek(kBlackBits)];
    if (e.kind == kTerm || e.kind == kMakeup) [[likely]] {
      // A code that would reach past the data was made up of its padding.
      if (e.length > r.count()) return RowEnd::kExhausted;
      r.skip(e.length);
      *pos = std::min(*pos + e.value, limit);
      if (e.kind == kTerm) return RowEnd::kDone;
      continue;
    }
    const uint32_t bits = white ? kWhiteBits : kBlackBits;
    if (r.count() < (e.kind == kZeros ? 11 : bits)) return RowEnd::kExhausted;
    return e.kind == kZeros ? RowEnd::kEolMet : RowEnd::kBad;
  }
}

// Decodes a one-dimensional row into `out` (cleared first, closed after).
// An EOL ends the row with the rest of it white.
RowEnd row_1d_decode(BitReader& r, uint32_t width, ChangeList& out);

// Writes one run: 2560 make-up codes while at least 2624 remain, then the
// make-up code for the rest's multiple of 64, then the terminating code.
void run_write(BitWriter& w, uint32_t run, bool white);

// Codes the row of a change list one-dimensionally.
void row_1d_encode(BitWriter& w, const uint32_t* col, uint32_t width);

// Is an EOL (possibly behind fill bits) next? Consumes it when it is.
// Fewer than eleven zero bits ahead means no; zero bits up to the end of
// the data mean `*exhausted`.
bool eol_take(BitReader& r, bool* exhausted);

// Skips bits up to and including the next EOL. False when the data ends
// first.
bool eol_seek(BitReader& r);

// EOL writers: the plain 12-bit code; a field of zero bits ending with the
// EOL's 1 bit on a byte boundary, at least 12 bits long (`extra` 0) or at
// least 24 + 8 bits (`extra` 1: the 24-bit form of the aligned variant).
void eol_write(BitWriter& w);
void eol_write_aligned(BitWriter& w);
void eol_write_field24(BitWriter& w);

// ---- Two-dimensional coding (GROUP4.cpp) ------------------------------------

// Decodes a row coded against the reference change list `ref` into `out`.
RowEnd row_2d_decode(BitReader& r, uint32_t width, const uint32_t* ref, ChangeList& out);

// Codes the row `cur` against the reference row `ref` (both change lists
// with their sentinels).
void row_2d_encode(BitWriter& w, const uint32_t* cur, const uint32_t* ref, uint32_t width);

}  // namespace rx::ccitt
