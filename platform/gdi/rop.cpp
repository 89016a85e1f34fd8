// The 256 ternary raster operations as one table. An operation's index
// holds its truth table: bit (P << 2 | S << 1 | D) is the result for
// pattern bit P, source bit S and destination bit D. Rows are combined a
// machine word at a time, whatever the pixel depth, because the
// operations act on each bit alone.
#include <cstring>

#include "gdi_internal.h"

namespace pg {
namespace {

constexpr RopInfo info_of(unsigned index) {
  // An operand matters when flipping it changes some entry of the table.
  bool s = ((index >> 2) & 0x33u) != (index & 0x33u);
  bool p = ((index >> 4) & 0x0Fu) != (index & 0x0Fu);
  bool d = ((index >> 1) & 0x55u) != (index & 0x55u);
  return RopInfo{s, p, d};
}

struct RopTable {
  RopInfo info[256];
};

constexpr RopTable make_table() {
  RopTable t{};
  for (unsigned i = 0; i < 256; ++i) t.info[i] = info_of(i);
  return t;
}

constexpr RopTable kTable = make_table();

// The sum of the minterms whose bits are set in the index.
inline uint64_t eval(uint8_t index, uint64_t p, uint64_t s, uint64_t d) {
  uint64_t r = 0;
  for (unsigned m = 0; m < 8; ++m) {
    if (!(index >> m & 1)) continue;
    uint64_t t = (m & 4) ? p : ~p;
    t &= (m & 2) ? s : ~s;
    t &= (m & 1) ? d : ~d;
    r |= t;
  }
  return r;
}

inline uint64_t load(const uint8_t* q, size_t n) {
  uint64_t v = 0;
  if (q) std::memcpy(&v, q, n);
  return v;
}

template <class F>
void combine(uint8_t* d, const uint8_t* s, const uint8_t* p, size_t n, F f) {
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t r = f(load(p ? p + i : nullptr, 8), load(s ? s + i : nullptr, 8), load(d + i, 8));
    std::memcpy(d + i, &r, 8);
  }
  if (i < n) {
    size_t k = n - i;
    uint64_t r = f(load(p ? p + i : nullptr, k), load(s ? s + i : nullptr, k), load(d + i, k));
    std::memcpy(d + i, &r, k);
  }
}

}  // namespace

const RopInfo& rop_info(uint8_t index) { return kTable.info[index]; }

void rop_apply(uint8_t index, uint8_t* d, const uint8_t* s, const uint8_t* p, size_t n) {
  switch (index) {
    case 0xCC: if (s) std::memcpy(d, s, n); return;                                  // source copy
    case 0xF0: if (p) std::memcpy(d, p, n); return;                                  // pattern copy
    case 0x00: std::memset(d, 0, n); return;                                         // blackness
    case 0xFF: std::memset(d, 0xFF, n); return;                                      // whiteness
    case 0xAA: return;                                                               // destination
    case 0x88: combine(d, s, p, n, [](uint64_t, uint64_t sv, uint64_t dv) { return sv & dv; }); return;
    case 0xEE: combine(d, s, p, n, [](uint64_t, uint64_t sv, uint64_t dv) { return sv | dv; }); return;
    case 0x66: combine(d, s, p, n, [](uint64_t, uint64_t sv, uint64_t dv) { return sv ^ dv; }); return;
    case 0x5A: combine(d, s, p, n, [](uint64_t pv, uint64_t, uint64_t dv) { return pv ^ dv; }); return;
    case 0x55: combine(d, s, p, n, [](uint64_t, uint64_t, uint64_t dv) { return ~dv; }); return;
    case 0x33: combine(d, s, p, n, [](uint64_t, uint64_t sv, uint64_t) { return ~sv; }); return;
    default:
      combine(d, s, p, n, [index](uint64_t pv, uint64_t sv, uint64_t dv) { return eval(index, pv, sv, dv); });
  }
}

}  // namespace pg

extern "C" int32_t pg_rop_uses_source(uint32_t rop) { return pg::rop_info(pg::rop_index(rop)).uses_source ? 1 : 0; }
extern "C" int32_t pg_rop_uses_pattern(uint32_t rop) { return pg::rop_info(pg::rop_index(rop)).uses_pattern ? 1 : 0; }
