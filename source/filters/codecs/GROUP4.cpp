// Two-dimensional fax coding, as used by Group 4 and by the two-dimensional
// rows of Group 3: each row is coded against the row above it (the
// reference row) in pass, horizontal and vertical modes.
//
// a0 is the current position on the coding row (-1 before the first
// pixel), b1 the first change on the reference row to the right of a0 that
// turns to the colour opposite a0's, b2 the change after it.
#include <algorithm>

#include "filters/codecs/ccitt_coder.h"
#include "filters/codecs/ccitt_tables.h"

namespace rx::ccitt {
namespace {

// Moves `*ib` to b1 for the position a0 and its colour. Changes at even
// indexes turn white to black. Positions only grow, so the search goes on
// from the last b1; the one change before it may qualify again once a0's
// colour has flipped, never anything earlier. The reference row's
// sentinels end the search.
inline uint32_t b1_find(const uint32_t* ref, uint32_t ib, int32_t a0, bool white) {
  const uint32_t parity = white ? 0 : 1;
  if (ib > 0) --ib;
  while (static_cast<int32_t>(ref[ib]) <= a0 || (ib & 1) != parity) ++ib;
  return ib;
}

void put(BitWriter& w, Code c) { w.put(c.bits, c.length); }

}  // namespace

RowEnd row_2d_decode(BitReader& r, uint32_t width, const uint32_t* ref, ChangeList& out) {
  out.n = 0;
  const auto w = static_cast<int32_t>(width);
  int32_t a0 = -1;
  // b1 at an even index while a0 is white, odd while black; the colour
  // flips only in vertical mode, where b1 may then be the change just
  // before the old one.
  uint32_t ib = 0;
  RowEnd end = RowEnd::kDone;
  while (a0 < w) {
    while (static_cast<int32_t>(ref[ib]) <= a0) ib += 2;
    const auto b1 = static_cast<int32_t>(ref[ib]);
    r.refill();
    const Entry m = kModeTable[r.peek(kModeBits)];
    // Near the end of the data a code may stand on padding bits.
    if (r.count() < kModeBits + 1 &&
        (m.length > r.count() || (m.kind == kBad && r.count() < kModeBits))) [[unlikely]] {
      end = RowEnd::kExhausted;
      break;
    }
    if (m.kind == kModeVertical) [[likely]] {
      const int32_t a1 = std::min(b1 + m.value - 3, w);
      // A change left of a0 would run the row backwards.
      if (a1 < a0 || a1 < 0) [[unlikely]] {
        end = RowEnd::kBad;
        break;
      }
      r.skip(m.length);
      if (a1 < w) out.add(static_cast<uint32_t>(a1));
      a0 = a1;
      ib = ib == 0 ? 1 : ib - 1;
    } else if (m.kind == kModeHorizontal) {
      r.skip(m.length);
      const bool white = out.white();
      uint32_t a1 = static_cast<uint32_t>(std::max(a0, 0));
      end = run_read(r, white, &a1, width);
      if (end != RowEnd::kDone) break;
      uint32_t a2 = a1;
      end = run_read(r, !white, &a2, width);
      if (a1 < width) out.add(a1);
      if (end != RowEnd::kDone) {
        a0 = static_cast<int32_t>(a1);
        break;
      }
      if (a2 < width) out.add(a2);
      a0 = static_cast<int32_t>(a2);
    } else if (m.kind == kModePass) {
      r.skip(m.length);
      a0 = static_cast<int32_t>(ref[ib + 1]);
      ib += 2;
    } else if (m.kind == kZeros) {
      // Eleven zero bits are an EOL or its fill; fewer are no code.
      end = r.count() < kEolBits - 1 ? RowEnd::kExhausted
            : r.peek(kEolBits - 1) == 0 ? RowEnd::kEolMet
                                         : RowEnd::kBad;
      break;
    } else {
      end = RowEnd::kBad;
      break;
    }
  }
  // The rest of a row cut short stays white; a row cut at its end has no
  // rest, and a change at the width would not be a change.
  if (end != RowEnd::kDone && !out.white() && a0 < w)
    out.add(static_cast<uint32_t>(std::max(a0, 0)));
  out.close(width);
  return end;
}

void row_2d_encode(BitWriter& w, const uint32_t* cur, const uint32_t* ref, uint32_t width) {
  const auto wd = static_cast<int32_t>(width);
  int32_t a0 = -1;
  bool white = true;
  uint32_t ia = 0;
  uint32_t ib = 0;
  while (a0 < wd) {
    while (static_cast<int32_t>(cur[ia]) <= a0) ++ia;
    const auto a1 = static_cast<int32_t>(cur[ia]);
    ib = b1_find(ref, ib, a0, white);
    const auto b1 = static_cast<int32_t>(ref[ib]);
    const auto b2 = static_cast<int32_t>(ref[ib + 1]);
    if (b2 < a1) {
      put(w, kPass);
      a0 = b2;
      continue;
    }
    const int32_t d = a1 - b1;
    if (d >= -3 && d <= 3) {
      put(w, kVertical[static_cast<size_t>(d + 3)]);
      a0 = a1;
      white = !white;
      continue;
    }
    const auto a2 = static_cast<int32_t>(cur[ia + 1]);
    put(w, kHorizontal);
    run_write(w, static_cast<uint32_t>(a1 - std::max(a0, 0)), white);
    run_write(w, static_cast<uint32_t>(a2 - a1), !white);
    a0 = a2;
  }
}

}  // namespace rx::ccitt
