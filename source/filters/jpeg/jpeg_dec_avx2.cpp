// The reader's inverse DCT in 256-bit lanes (x86-64 processors with AVX2,
// compiled for them function by function): a whole row of coefficients per
// vector, so each pass is one eight-point transform on eight vectors. The
// graph and its roundings are those of jpeg_idct.cpp, lane for lane.
#include <algorithm>
#include <cstring>

#include "SUPPORT/error.h"
#include "filters/jpeg/jpeg_color.h"
#include "filters/jpeg/jpeg_idct.h"
#include "filters/jpeg/jpeg_tables.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

RX_SOURCE("source\\filters\\jpeg\\jpeg_dec_avx2.cpp");

namespace rx::jpeg {

#if defined(__x86_64__)

#define RX_AVX2 __attribute__((target("avx2")))
#define RX_AVX2_INLINE RX_AVX2 __attribute__((always_inline)) inline

namespace {

// Every value of the graph stays below 2^30 while the coefficients stay
// within this bound (its largest gain is 8 per pass).
constexpr uint32_t kLaneBound = 1u << 23;

// (x * c) >> 12 exactly for |x| < 2^30: with x = h 2^15 + l (0 <= l < 2^15)
// it is 8 h c + ((l c) >> 12), and both products are 16 x 16 bits.
RX_AVX2_INLINE __m256i mul(__m256i x, int32_t c) {
  const __m256i k = _mm256_set1_epi32(c);
  const __m256i low = _mm256_and_si256(x, _mm256_set1_epi32(0x7FFF));
  const __m256i high = _mm256_srai_epi32(x, 15);
  return _mm256_add_epi32(_mm256_slli_epi32(_mm256_madd_epi16(high, k), 3),
                          _mm256_srai_epi32(_mm256_madd_epi16(low, k), 12));
}

RX_AVX2_INLINE __m256i add(__m256i a, __m256i b) { return _mm256_add_epi32(a, b); }
RX_AVX2_INLINE __m256i sub(__m256i a, __m256i b) { return _mm256_sub_epi32(a, b); }

// One eight-point transform of eight vectors, inputs in frequency order.
RX_AVX2_INLINE void idct8(__m256i v[8]) {
  const __m256i z11 = add(v[1], v[7]), z4 = sub(v[1], v[7]);
  const __m256i z13 = add(v[5], v[3]), z2 = sub(v[5], v[3]);
  const __m256i z5 = mul(add(z2, z4), kS8);
  const __m256i t4 = add(mul(z2, kCmS8), z5);
  const __m256i t11 = mul(sub(z11, z13), kC4);
  const __m256i t12 = sub(mul(z4, kCpS8), z5);
  const __m256i t5 = add(t4, t11), t6 = add(t11, t12), t7 = add(add(t12, z11), z13);
  const __m256i e10 = add(v[0], v[4]), e11 = sub(v[0], v[4]);
  const __m256i e12 = mul(sub(v[2], v[6]), kC4);
  const __m256i e13 = add(add(v[2], v[6]), e12);
  const __m256i t0 = add(e10, e13), t3 = sub(e10, e13);
  const __m256i t1 = add(e11, e12), t2 = sub(e11, e12);
  v[0] = add(t0, t7);
  v[7] = sub(t0, t7);
  v[1] = add(t1, t6);
  v[6] = sub(t1, t6);
  v[2] = add(t2, t5);
  v[5] = sub(t2, t5);
  v[3] = add(t3, t4);
  v[4] = sub(t3, t4);
}

RX_AVX2_INLINE void transpose8(__m256i r[8]) {
  __m256i t[8], u[8];
  #pragma GCC unroll 8
  for (int i = 0; i < 8; i += 2) {
    t[i] = _mm256_unpacklo_epi32(r[i], r[i + 1]);
    t[i + 1] = _mm256_unpackhi_epi32(r[i], r[i + 1]);
  }
  #pragma GCC unroll 8
  for (int i = 0; i < 8; i += 4) {
    u[i] = _mm256_unpacklo_epi64(t[i], t[i + 2]);
    u[i + 1] = _mm256_unpackhi_epi64(t[i], t[i + 2]);
    u[i + 2] = _mm256_unpacklo_epi64(t[i + 1], t[i + 3]);
    u[i + 3] = _mm256_unpackhi_epi64(t[i + 1], t[i + 3]);
  }
  #pragma GCC unroll 8
  for (int i = 0; i < 4; ++i) {
    r[i] = _mm256_permute2x128_si256(u[i], u[i + 4], 0x20);
    r[i + 4] = _mm256_permute2x128_si256(u[i], u[i + 4], 0x31);
  }
}

// Division by 2048 truncating toward zero.
RX_AVX2_INLINE __m256i descale(__m256i x) {
  const __m256i bias = _mm256_and_si256(_mm256_srai_epi32(x, 31), _mm256_set1_epi32(2047));
  return _mm256_srai_epi32(_mm256_add_epi32(x, bias), 11);
}

// Columns first (each vector one row of coefficients), then rows; the
// saturating packs are the limit to -128..127.
RX_AVX2 void idct_lanes8(const int32_t coef[64], int8_t* out, int32_t stride) {
  __m256i v[8];
  #pragma GCC unroll 8
  for (int r = 0; r < 8; ++r) v[r] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(coef + 8 * r));
  idct8(v);      // v[y]: row y of the workspace
  transpose8(v); // v[u]: frequency u of every row
  idct8(v);      // v[x]: column x of the output
  #pragma GCC unroll 8
  for (__m256i& x : v) x = descale(x);
  transpose8(v);  // v[y]: row y
  const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
  #pragma GCC unroll 8
  for (int r = 0; r < 8; r += 4) {
    const __m256i bytes = _mm256_packs_epi16(_mm256_packs_epi32(v[r], v[r + 1]),
                                             _mm256_packs_epi32(v[r + 2], v[r + 3]));
    const __m256i rows = _mm256_permutevar8x32_epi32(bytes, order);  // rows r..r+3, 8 bytes each
    const __m128i lo = _mm256_castsi256_si128(rows), hi = _mm256_extracti128_si256(rows, 1);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + (r + 0) * stride), lo);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + (r + 1) * stride), _mm_srli_si128(lo, 8));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + (r + 2) * stride), hi);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + (r + 3) * stride), _mm_srli_si128(hi, 8));
  }
}

// ---- Colour rows --------------------------------------------------------------

// Byte shuffles that interleave sixteen blue, green and red bytes into 48
// bytes of pixels: for each of the three output vectors, one mask per
// channel (-1 where another channel's byte goes).
struct InterleaveMasks {
  alignas(16) int8_t m[3][3][16];
};
constexpr InterleaveMasks interleave_masks() {
  InterleaveMasks t{};
  for (int v = 0; v < 3; ++v)
    for (int c = 0; c < 3; ++c)
      for (int j = 0; j < 16; ++j) {
        const int at = 16 * v + j;
        t.m[v][c][j] = static_cast<int8_t>(at % 3 == c ? at / 3 : -1);
      }
  return t;
}
constexpr InterleaveMasks kInterleave = interleave_masks();

RX_AVX2_INLINE __m128i mask(int v, int c) {
  return _mm_load_si128(reinterpret_cast<const __m128i*>(kInterleave.m[v][c]));
}

// Sixteen pixels: luma bytes, and the blue, green and red terms of each
// pixel (16-bit); the saturating pack is the limit to 0..255.
RX_AVX2_INLINE __m128i channel(__m256i sum) {
  return _mm_packus_epi16(_mm256_castsi256_si128(sum), _mm256_extracti128_si256(sum, 1));
}

RX_AVX2_INLINE void put16(uint8_t* out, __m128i y, __m256i tb, __m256i tg, __m256i tr) {
  const __m256i y16 = _mm256_cvtepi8_epi16(y);
  const __m128i b = channel(_mm256_add_epi16(y16, tb));
  const __m128i g = channel(_mm256_add_epi16(y16, tg));
  const __m128i r = channel(_mm256_add_epi16(y16, tr));
#pragma GCC unroll 3
  for (int v = 0; v < 3; ++v) {
    const __m128i bytes = _mm_or_si128(
        _mm_or_si128(_mm_shuffle_epi8(b, mask(v, 0)), _mm_shuffle_epi8(g, mask(v, 1))),
        _mm_shuffle_epi8(r, mask(v, 2)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16 * v), bytes);
  }
}

// The same interleave for thirty-two pixels into three 256-bit vectors.
// Output vector v takes, in each 128-bit lane, bytes of one half of the
// channel: vector 0 the first half in both lanes, vector 1 the first in
// its low lane and the second in its high, vector 2 the second in both.
struct WideInterleaveMasks {
  alignas(32) int8_t m[3][3][32];
};
constexpr WideInterleaveMasks wide_interleave_masks() {
  WideInterleaveMasks t{};
  for (int v = 0; v < 3; ++v)
    for (int c = 0; c < 3; ++c)
      for (int j = 0; j < 32; ++j) {
        const int at = 32 * v + j;
        const int base = (v == 2 || (v == 1 && j >= 16)) ? 16 : 0;
        t.m[v][c][j] = static_cast<int8_t>(at % 3 == c ? at / 3 - base : -1);
      }
  return t;
}
constexpr WideInterleaveMasks kWideInterleave = wide_interleave_masks();

RX_AVX2_INLINE __m256i wide_mask(int v, int c) {
  return _mm256_load_si256(reinterpret_cast<const __m256i*>(kWideInterleave.m[v][c]));
}

// Thirty-two sums of luma and terms, limited to 0..255, in pixel order.
RX_AVX2_INLINE __m256i channel32(__m256i y_lo, __m256i y_hi, __m256i t_lo, __m256i t_hi) {
  return _mm256_permute4x64_epi64(
      _mm256_packus_epi16(_mm256_add_epi16(y_lo, t_lo), _mm256_add_epi16(y_hi, t_hi)), 0xD8);
}

// Thirty-two pixels: luma bytes, and for pixels 0..15 and 16..31 the blue,
// green and red terms (16-bit).
RX_AVX2_INLINE void put32(uint8_t* out, __m256i y, const __m256i tb[2], const __m256i tg[2],
                          const __m256i tr[2]) {
  const __m256i y_lo = _mm256_cvtepi8_epi16(_mm256_castsi256_si128(y));
  const __m256i y_hi = _mm256_cvtepi8_epi16(_mm256_extracti128_si256(y, 1));
  const __m256i ch[3] = {channel32(y_lo, y_hi, tb[0], tb[1]), channel32(y_lo, y_hi, tg[0], tg[1]),
                         channel32(y_lo, y_hi, tr[0], tr[1])};
  __m256i halves[3][3];
#pragma GCC unroll 3
  for (int c = 0; c < 3; ++c) {
    halves[0][c] = _mm256_permute2x128_si256(ch[c], ch[c], 0x00);
    halves[1][c] = ch[c];
    halves[2][c] = _mm256_permute2x128_si256(ch[c], ch[c], 0x11);
  }
#pragma GCC unroll 3
  for (int v = 0; v < 3; ++v) {
    const __m256i bytes = _mm256_or_si256(
        _mm256_or_si256(_mm256_shuffle_epi8(halves[v][0], wide_mask(v, 0)),
                        _mm256_shuffle_epi8(halves[v][1], wide_mask(v, 1))),
        _mm256_shuffle_epi8(halves[v][2], wide_mask(v, 2)));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 32 * v), bytes);
  }
}

// Sixteen chroma terms, each for two pixels: those of pixels 0..15 and
// of pixels 16..31.
RX_AVX2_INLINE void terms16_twice(const int16_t* p, __m256i out[2]) {
  const __m256i t = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  const __m256i lo = _mm256_unpacklo_epi16(t, t), hi = _mm256_unpackhi_epi16(t, t);
  out[0] = _mm256_permute2x128_si256(lo, hi, 0x20);
  out[1] = _mm256_permute2x128_si256(lo, hi, 0x31);
}

RX_AVX2_INLINE __m256i terms16(const int16_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// Eight chroma terms, each for two pixels.
RX_AVX2_INLINE __m256i terms8_twice(const int16_t* p) {
  const __m128i t = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  return _mm256_set_m128i(_mm_unpackhi_epi16(t, t), _mm_unpacklo_epi16(t, t));
}

// The low and the high 16 bits of sixteen packed terms, in column order.
RX_AVX2_INLINE __m256i low_halves(__m256i a, __m256i b) {
  const __m256i low = _mm256_set1_epi32(0xFFFF);
  return _mm256_permute4x64_epi64(
      _mm256_packus_epi32(_mm256_and_si256(a, low), _mm256_and_si256(b, low)), 0xD8);
}
RX_AVX2_INLINE __m256i high_halves(__m256i a, __m256i b) {
  return _mm256_permute4x64_epi64(
      _mm256_packus_epi32(_mm256_srli_epi32(a, 16), _mm256_srli_epi32(b, 16)), 0xD8);
}

RX_AVX2_INLINE __m256i gather8(const uint32_t* table, const int8_t* chroma) {
  const __m256i index = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(chroma)));
  return _mm256_i32gather_epi32(reinterpret_cast<const int*>(table), index, 4);
}

// The terms of the first `n` chroma columns (unless already there),
// sixteen columns by table gathers at a time, the rest one by one.
RX_AVX2_INLINE void terms_fill_avx2(const ColourRow& in, int32_t n) {
  ChromaTerms* t = in.terms;
  if (t->cb == in.plane[1] && t->cr == in.plane[2]) return;
  const PackedTerms& p = packed_terms();
  int32_t i = 0;
  for (; i + 16 <= n; i += 16) {
    const __m256i cb0 = gather8(p.cb.data(), in.plane[1] + i);
    const __m256i cb1 = gather8(p.cb.data(), in.plane[1] + i + 8);
    const __m256i cr0 = gather8(p.cr.data(), in.plane[2] + i);
    const __m256i cr1 = gather8(p.cr.data(), in.plane[2] + i + 8);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(t->blue + i), low_halves(cb0, cb1));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(t->red + i), low_halves(cr0, cr1));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(t->green + i),
                        _mm256_add_epi16(high_halves(cb0, cb1), high_halves(cr0, cr1)));
  }
  for (; i < n; ++i) {
    const uint32_t cb = p.cb[static_cast<uint8_t>(in.plane[1][i])];
    const uint32_t cr = p.cr[static_cast<uint8_t>(in.plane[2][i])];
    t->blue[i] = static_cast<int16_t>(cb & 0xFFFF);
    t->red[i] = static_cast<int16_t>(cr & 0xFFFF);
    t->green[i] = static_cast<int16_t>((cb >> 16) + (cr >> 16));
  }
  t->cb = in.plane[1];
  t->cr = in.plane[2];
}

}  // namespace

RX_AVX2 void colour_row_full_avx2(const ColourRow& in, uint8_t* out, int32_t width) {
  terms_fill_avx2(in, width);
  const ChromaTerms* t = in.terms;
  int32_t x = 0;
  for (; x + 32 <= width; x += 32) {
    const __m256i tb[2] = {terms16(t->blue + x), terms16(t->blue + x + 16)};
    const __m256i tg[2] = {terms16(t->green + x), terms16(t->green + x + 16)};
    const __m256i tr[2] = {terms16(t->red + x), terms16(t->red + x + 16)};
    put32(out + 3 * x, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in.plane[0] + x)), tb,
          tg, tr);
  }
  for (; x + 16 <= width; x += 16) {
    put16(out + 3 * x, _mm_loadu_si128(reinterpret_cast<const __m128i*>(in.plane[0] + x)),
          terms16(t->blue + x), terms16(t->green + x), terms16(t->red + x));
  }
  colour_pixels(in, out, x, width, false);
}

RX_AVX2 void colour_row_half_avx2(const ColourRow& in, uint8_t* out, int32_t width) {
  terms_fill_avx2(in, (width + 1) / 2);
  const ChromaTerms* t = in.terms;
  int32_t x = 0;
  for (; x + 32 <= width; x += 32) {
    __m256i tb[2], tg[2], tr[2];
    terms16_twice(t->blue + x / 2, tb);
    terms16_twice(t->green + x / 2, tg);
    terms16_twice(t->red + x / 2, tr);
    put32(out + 3 * x, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in.plane[0] + x)), tb,
          tg, tr);
  }
  for (; x + 16 <= width; x += 16) {
    put16(out + 3 * x, _mm_loadu_si128(reinterpret_cast<const __m128i*>(in.plane[0] + x)),
          terms8_twice(t->blue + x / 2), terms8_twice(t->green + x / 2),
          terms8_twice(t->red + x / 2));
  }
  colour_pixels(in, out, x, width, true);
}

// Zero inputs contribute exactly nothing to sums and products, so a block
// with only a DC term is one value; coefficients too large for 32-bit lanes
// (damaged files) take the plain 64-bit path.
void idct_avx2(const int32_t coef[64], int32_t last, uint32_t magnitude, int8_t* out,
               int32_t stride) {
  if (last == 0) {
    const auto v = static_cast<int8_t>(std::clamp<int64_t>(coef[0] / 2048, -128, 127));
    for (int r = 0; r < 8; ++r) std::memset(out + r * stride, v, 8);
    return;
  }
  if (magnitude <= kLaneBound) return idct_lanes8(coef, out, stride);
  idct_reference(coef, last, magnitude, out, stride);
}

#else  // processors without these instructions never choose the kernel

void idct_avx2(const int32_t coef[64], int32_t last, uint32_t magnitude, int8_t* out,
               int32_t stride) {
  idct_fast(coef, last, magnitude, out, stride);
}
void colour_row_full_avx2(const ColourRow& in, uint8_t* out, int32_t width) {
  colour_row_full(in, out, width);
}
void colour_row_half_avx2(const ColourRow& in, uint8_t* out, int32_t width) {
  colour_row_half(in, out, width);
}

#endif

}  // namespace rx::jpeg
