// The inverse DCT: the transpose of the scaled Arai-Agui-Nakajima flow
// graph the writer's forward DCT uses. Because the coefficients arrive
// already multiplied by 2048 / (8 a(u) a(v)), the transposed graph needs
// only five multiplications per eight points, (x * c) >> 12 with the
// 12-bit constants shared with the writer, and its outputs are the T.81
// samples times 2048.
//
// Columns are transformed first, then rows. The reference arithmetic is
// 64-bit: the products of large coefficients pass 32 bits even in sound
// files, and a damaged file may carry any coefficient at all. The fast form
// works in 32-bit vector lanes when the coefficients are small enough for
// every value of the graph to stay exact there, which they are in files
// with 8-bit quantisation tables.
#include "filters/jpeg/jpeg_idct.h"

#include <algorithm>
#include <cstring>

#include "SUPPORT/error.h"
#include "filters/jpeg/jpeg_tables.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#define RX_JPEG_IDCT_LANES 1
#endif

RX_SOURCE("source\\filters\\jpeg\\jpeg_idct.cpp");

namespace rx::jpeg {
namespace {

struct WideMul {
  int64_t operator()(int64_t x, int32_t c) const { return (x * c) >> 12; }
};

// One eight-point transform, inputs in frequency order. T is int64_t, or a
// vector of lanes with the same operators; Mul is (x * c) >> 12 for T.
template <typename T, typename Mul>
[[gnu::always_inline]] inline void idct8(const T g[8], T o[8], Mul m) {
  // odd half
  const T z11 = g[1] + g[7];
  const T z4 = g[1] - g[7];
  const T z13 = g[5] + g[3];
  const T z2 = g[5] - g[3];
  const T z5 = m(z2 + z4, kS8);
  const T t4 = m(z2, kCmS8) + z5;
  const T t11 = m(z11 - z13, kC4);
  const T t12 = m(z4, kCpS8) - z5;
  const T t5 = t4 + t11;
  const T t6 = t11 + t12;
  const T t7 = t12 + z11 + z13;
  // even half
  const T e10 = g[0] + g[4];
  const T e11 = g[0] - g[4];
  const T e12 = m(g[2] - g[6], kC4);
  const T e13 = g[2] + g[6] + e12;
  const T t0 = e10 + e13;
  const T t3 = e10 - e13;
  const T t1 = e11 + e12;
  const T t2 = e11 - e12;
  o[0] = t0 + t7;
  o[7] = t0 - t7;
  o[1] = t1 + t6;
  o[6] = t1 - t6;
  o[2] = t2 + t5;
  o[5] = t2 - t5;
  o[3] = t3 + t4;
  o[4] = t3 - t4;
}

// Division by 2048 truncating toward zero, limited to a signed byte.
inline int8_t descale(int64_t x) {
  return static_cast<int8_t>(std::clamp<int64_t>(x / 2048, -128, 127));
}

inline void column(const int32_t* c, int64_t* ws) {
  const int64_t g[8] = {c[0], c[8], c[16], c[24], c[32], c[40], c[48], c[56]};
  int64_t o[8];
  idct8(g, o, WideMul{});
  for (int r = 0; r < 8; ++r) ws[8 * r] = o[r];
}

inline void row(const int64_t* w, int8_t* out) {
  int64_t o[8];
  idct8(w, o, WideMul{});
  for (int i = 0; i < 8; ++i) out[i] = descale(o[i]);
}

void idct_wide(const int32_t coef[64], int8_t* out, int32_t stride) {
  int64_t ws[64];
  for (int col = 0; col < 8; ++col) {
    const int32_t* c = coef + col;
    // A column whose AC terms are zero is its DC term eight times over.
    if ((c[8] | c[16] | c[24] | c[32] | c[40] | c[48] | c[56]) == 0) {
      for (int r = 0; r < 8; ++r) ws[8 * r + col] = c[0];
    } else {
      column(c, ws + col);
    }
  }
  for (int r = 0; r < 8; ++r) row(ws + 8 * r, out + r * stride);
}

#if RX_JPEG_IDCT_LANES

// The graph's largest gain is 8 per pass, so coefficients up to 2^23 keep
// every value below 2^29, inside the 2^30 that lanes() needs.
constexpr uint32_t kLaneBound = 1u << 23;

struct Lanes {
  __m128i v;
  friend Lanes operator+(Lanes a, Lanes b) { return {_mm_add_epi32(a.v, b.v)}; }
  friend Lanes operator-(Lanes a, Lanes b) { return {_mm_sub_epi32(a.v, b.v)}; }
};

// (x * c) >> 12 in 32-bit lanes, exactly, for |x| < 2^30: with
// x = h 2^15 + l (0 <= l < 2^15) it is h c 8 + ((l c) >> 12), and both
// products are 16 x 16-bit.
struct LanesMul {
  Lanes operator()(Lanes x, int32_t c) const {
    const __m128i k = _mm_set1_epi32(c);  // (c, 0) in each pair of 16-bit halves
    const __m128i low = _mm_and_si128(x.v, _mm_set1_epi32(0x7FFF));
    const __m128i high = _mm_srai_epi32(x.v, 15);
    const __m128i pl = _mm_srai_epi32(_mm_madd_epi16(low, k), 12);
    const __m128i ph = _mm_slli_epi32(_mm_madd_epi16(high, k), 3);
    return {_mm_add_epi32(ph, pl)};
  }
};

inline void transpose4(Lanes* a, Lanes* b, Lanes* c, Lanes* d) {
  const __m128i t0 = _mm_unpacklo_epi32(a->v, b->v);
  const __m128i t1 = _mm_unpacklo_epi32(c->v, d->v);
  const __m128i t2 = _mm_unpackhi_epi32(a->v, b->v);
  const __m128i t3 = _mm_unpackhi_epi32(c->v, d->v);
  a->v = _mm_unpacklo_epi64(t0, t1);
  b->v = _mm_unpackhi_epi64(t0, t1);
  c->v = _mm_unpacklo_epi64(t2, t3);
  d->v = _mm_unpackhi_epi64(t2, t3);
}

inline __m128i lanes_descale(Lanes x) {
  const __m128i bias = _mm_and_si128(_mm_srai_epi32(x.v, 31), _mm_set1_epi32(2047));
  return _mm_srai_epi32(_mm_add_epi32(x.v, bias), 11);
}

// Eight int16 vectors, one per column (lanes = rows), to rows of bytes;
// the saturating packs are the limit to -128..127.
void lanes_store(__m128i p[8], int8_t* out, int32_t stride) {
  const __m128i a0 = _mm_unpacklo_epi16(p[0], p[1]), a1 = _mm_unpackhi_epi16(p[0], p[1]);
  const __m128i a2 = _mm_unpacklo_epi16(p[2], p[3]), a3 = _mm_unpackhi_epi16(p[2], p[3]);
  const __m128i a4 = _mm_unpacklo_epi16(p[4], p[5]), a5 = _mm_unpackhi_epi16(p[4], p[5]);
  const __m128i a6 = _mm_unpacklo_epi16(p[6], p[7]), a7 = _mm_unpackhi_epi16(p[6], p[7]);
  const __m128i b0 = _mm_unpacklo_epi32(a0, a2), b1 = _mm_unpackhi_epi32(a0, a2);
  const __m128i b2 = _mm_unpacklo_epi32(a1, a3), b3 = _mm_unpackhi_epi32(a1, a3);
  const __m128i b4 = _mm_unpacklo_epi32(a4, a6), b5 = _mm_unpackhi_epi32(a4, a6);
  const __m128i b6 = _mm_unpacklo_epi32(a5, a7), b7 = _mm_unpackhi_epi32(a5, a7);
  const __m128i rows[4] = {
      _mm_packs_epi16(_mm_unpacklo_epi64(b0, b4), _mm_unpackhi_epi64(b0, b4)),
      _mm_packs_epi16(_mm_unpacklo_epi64(b1, b5), _mm_unpackhi_epi64(b1, b5)),
      _mm_packs_epi16(_mm_unpacklo_epi64(b2, b6), _mm_unpackhi_epi64(b2, b6)),
      _mm_packs_epi16(_mm_unpacklo_epi64(b3, b7), _mm_unpackhi_epi64(b3, b7))};
  for (int i = 0; i < 4; ++i) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + (2 * i) * stride), rows[i]);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + (2 * i + 1) * stride),
                     _mm_srli_si128(rows[i], 8));
  }
}

// Columns 0..3 and 4..7 as two sets of lanes for the column pass, then
// rows 0..3 and 4..7 for the row pass. `narrow`: columns 4..7 are zero.
void idct_lanes(const int32_t coef[64], bool narrow, int8_t* out, int32_t stride) {
  Lanes lo[8], hi[8];
  for (int r = 0; r < 8; ++r) {
    lo[r].v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(coef + 8 * r));
    hi[r].v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(coef + 8 * r + 4));
  }
  idct8(lo, lo, LanesMul{});
  if (!narrow) idct8(hi, hi, LanesMul{});
  // Now lo[r], hi[r] are workspace row r; make lanes run down the columns.
  Lanes top[8] = {lo[0], lo[1], lo[2], lo[3], hi[0], hi[1], hi[2], hi[3]};
  Lanes bottom[8] = {lo[4], lo[5], lo[6], lo[7], hi[4], hi[5], hi[6], hi[7]};
  transpose4(&top[0], &top[1], &top[2], &top[3]);
  transpose4(&top[4], &top[5], &top[6], &top[7]);
  transpose4(&bottom[0], &bottom[1], &bottom[2], &bottom[3]);
  transpose4(&bottom[4], &bottom[5], &bottom[6], &bottom[7]);
  idct8(top, top, LanesMul{});
  idct8(bottom, bottom, LanesMul{});
  __m128i packed[8];
  for (int c = 0; c < 8; ++c)
    packed[c] = _mm_packs_epi32(lanes_descale(top[c]), lanes_descale(bottom[c]));
  lanes_store(packed, out, stride);
}

// For each zig-zag index, whether every coefficient up to it lies in
// columns 0..3.
constexpr std::array<bool, 64> kNarrow = [] {
  std::array<bool, 64> t{};
  bool narrow = true;
  for (int k = 0; k < 64; ++k) {
    narrow = narrow && (kZigzag[k] % 8) < 4;
    t[k] = narrow;
  }
  return t;
}();

#endif

}  // namespace

void idct_reference(const int32_t coef[64], int32_t, uint32_t, int8_t* out, int32_t stride) {
  int64_t ws[64];
  for (int col = 0; col < 8; ++col) column(coef + col, ws + col);
  for (int r = 0; r < 8; ++r) row(ws + 8 * r, out + r * stride);
}

// Zero inputs contribute exactly nothing to sums and products, so a block
// with only a DC term is one value.
void idct_fast(const int32_t coef[64], int32_t last, uint32_t magnitude, int8_t* out,
               int32_t stride) {
  if (last == 0) {
    const int8_t v = descale(coef[0]);
    for (int r = 0; r < 8; ++r) std::memset(out + r * stride, v, 8);
    return;
  }
#if RX_JPEG_IDCT_LANES
  if (magnitude <= kLaneBound) {
    idct_lanes(coef, kNarrow[static_cast<size_t>(last)], out, stride);
    return;
  }
#else
  (void)magnitude;
#endif
  idct_wide(coef, out, stride);
}

}  // namespace rx::jpeg
