// One-dimensional fax coding: run codes in both directions, and finding and
// writing end-of-line codes.
#include <algorithm>

#include "filters/codecs/ccitt_coder.h"
#include "filters/codecs/ccitt_tables.h"

namespace rx::ccitt {
namespace {

// Leading zero bits among the valid bits held.
uint32_t leading_zeros(const BitReader& r) {
  const uint64_t v = r.word();
  const uint32_t z = v == 0 ? 64 : static_cast<uint32_t>(__builtin_clzll(v));
  return std::min(z, r.count());
}

// Consumes zero bits and the 1 bit after them. False when the data ends
// first; `*zeros` receives the number of zero bits passed.
bool through_one(BitReader& r, uint64_t* zeros) {
  *zeros = 0;
  for (;;) {
    if (!r.ensure(1)) return false;
    const uint32_t z = leading_zeros(r);
    if (z == r.count()) {
      *zeros += z;
      r.skip(z);
      continue;
    }
    *zeros += z;
    r.skip(z + 1);
    return true;
  }
}

void put(BitWriter& w, Code c) { w.put(c.bits, c.length); }

// An EOL ending on a byte boundary: zero bits, then the EOL's 1 bit, in a
// field of the free bits of the current byte plus `whole` bits.
void eol_field(BitWriter& w, uint32_t whole) {
  w.zeros(w.free_bits() + whole - 1);
  w.put(1, 1);
}

}  // namespace

RowEnd row_1d_decode(BitReader& r, uint32_t width, ChangeList& out) {
  out.n = 0;
  uint32_t pos = 0;
  RowEnd end = RowEnd::kDone;
  for (;;) {
    uint32_t next = pos;
    end = run_read(r, out.white(), &next, width);
    if (end != RowEnd::kDone) {
      // The rest of a row cut short stays white.
      if (!out.white()) out.add(pos);
      break;
    }
    if (next >= width) break;
    out.add(next);
    pos = next;
  }
  out.close(width);
  return end;
}

void run_write(BitWriter& w, uint32_t run, bool white) {
  while (run >= kLongRun) {
    put(w, kExtendedMakeup.back());
    run -= kMaxMakeup;
  }
  if (run >= 64) {
    const uint32_t m = run / 64;
    put(w, m <= kWhiteMakeup.size() ? (white ? kWhiteMakeup : kBlackMakeup)[m - 1]
                                    : kExtendedMakeup[m - kWhiteMakeup.size() - 1]);
    run -= m * 64;
  }
  put(w, (white ? kWhiteTerm : kBlackTerm)[run]);
}

void row_1d_encode(BitWriter& w, const uint32_t* col, uint32_t width) {
  uint32_t pos = 0;
  bool white = true;
  for (uint32_t i = 0;; ++i) {
    const uint32_t end = col[i];
    run_write(w, end - pos, white);
    if (end >= width) return;
    pos = end;
    white = !white;
  }
}

bool eol_take(BitReader& r, bool* exhausted) {
  *exhausted = false;
  r.ensure(kEolBits);
  // A 1 bit within the next eleven is data.
  if (const uint32_t z = leading_zeros(r); z < kEolBits - 1 && z < r.count()) return false;
  // Eleven zero bits or more, or zero bits up to the end of the data.
  uint64_t zeros = 0;
  if (through_one(r, &zeros) && zeros >= kEolBits - 1) return true;
  *exhausted = true;
  return false;
}

bool eol_seek(BitReader& r) {
  for (;;) {
    uint64_t zeros = 0;
    if (!through_one(r, &zeros)) return false;
    if (zeros >= kEolBits - 1) return true;
  }
}

void eol_write(BitWriter& w) { put(w, kEol); }

void eol_write_aligned(BitWriter& w) { eol_field(w, w.free_bits() >= 4 ? 8 : 16); }

void eol_write_field24(BitWriter& w) { eol_field(w, 24); }

}  // namespace rx::ccitt
