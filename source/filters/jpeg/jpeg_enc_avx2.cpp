// The writer's AVX2 kernels. They are compiled for AVX2 function by
// function (the target attribute), so the engine builds for any x86-64 and
// takes these only where kernel_level() says the processor has them.
//
// The transform runs eight blocks at once, one block per 32-bit lane: the
// flow graph is then the plain one, value for value, with every integer
// replaced by a vector of eight, and the results match the plain kernel by
// construction. Only loading (bytes of eight blocks turned on their side)
// and storing (eight zig-zag positions turned back into eight blocks) are
// shuffles.
#include <algorithm>
#include <bit>
#include <cstring>

#include "SUPPORT/error.h"
#include "filters/jpeg/jpeg_enc_kernels.h"
#include "filters/jpeg/jpeg_fdct.h"
#include "filters/jpeg/jpeg_tables.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

RX_SOURCE("source\\filters\\jpeg\\jpeg_enc_avx2.cpp");

namespace rx::jpeg::enc {

#if defined(__x86_64__)

#define RX_AVX2 __attribute__((target("avx2,bmi,bmi2,lzcnt")))
#define RX_AVX2_INLINE RX_AVX2 __attribute__((always_inline)) inline

namespace {

using V8 = int32_t __attribute__((vector_size(32)));

RX_AVX2_INLINE V8 m(V8 x, int32_t c) { return (x * c) >> 12; }
// Division by two, truncating toward zero.
RX_AVX2_INLINE V8 halve(V8 x) { return (x - (x >> 31)) >> 1; }

// ---- The flow graph of jpeg_fdct.cpp on eight blocks ------------------------

// Stage A on the eight values v[0], v[st], ..., v[7 st], in place.
RX_AVX2_INLINE void stage_a(V8* v, int st) {
  const V8 t0 = v[0] + v[7 * st], t7 = v[0] - v[7 * st];
  const V8 t1 = v[st] + v[6 * st], t6 = v[st] - v[6 * st];
  const V8 t2 = v[2 * st] + v[5 * st], t5 = v[2 * st] - v[5 * st];
  const V8 t3 = v[3 * st] + v[4 * st], t4 = v[3 * st] - v[4 * st];
  const V8 a = t0 + t3, b = t0 - t3, c = t1 + t2, e = t1 - t2;
  v[0] = a + c;
  v[st] = a - c;
  v[2 * st] = e + b;
  v[3 * st] = b;
  v[4 * st] = t4 + t5;
  v[5 * st] = t6 + t7;
  v[6 * st] = t5 + t6;
  v[7 * st] = t7;
}

RX_AVX2_INLINE void stage_b(V8* v, int st) {
  const V8 s0 = v[0], s1 = v[st], s2 = v[2 * st], s3 = v[3 * st];
  const V8 s4 = v[4 * st], s5 = v[5 * st], s6 = v[6 * st], s7 = v[7 * st];
  const V8 z11 = s7 + s6, z13 = s7 - s6;
  v[0] = s0;
  v[4 * st] = s1;
  v[2 * st] = s3 + s2;
  v[6 * st] = s3 - s2;
  v[5 * st] = z13 + s4;
  v[3 * st] = z13 - s4;
  v[st] = z11 + s5;
  v[7 * st] = z11 - s5;
}

RX_AVX2_INLINE void rotate(V8& p, V8& r, int32_t s, int32_t d, int32_t e) {
  const V8 z5 = m(p - r, s);
  const V8 p2 = m(p, d) + z5;
  r = m(r, e) + z5;
  p = p2;
}

// The two-dimensional multiplication stage on x[k][j] (vertical slot k,
// horizontal slot j), in place. Slots 0, 1, 3, 7 pass, 2 and 6 are cosine
// slots, 4 and 5 rotate.
RX_AVX2_INLINE void stage_m(V8 (&x)[8][8]) {
  constexpr int kPassSlots[4] = {0, 1, 3, 7};
  constexpr int kCosSlots[2] = {2, 6};
  #pragma GCC unroll 64
  for (int k : kCosSlots) {
    #pragma GCC unroll 64
    for (int j : kPassSlots) {
      x[k][j] = m(x[k][j], kC4);
      x[j][k] = m(x[j][k], kC4);
    }
    #pragma GCC unroll 64
    for (int j : kCosSlots) x[k][j] = halve(x[k][j]);
  }
  #pragma GCC unroll 64
  for (int i : kPassSlots) {
    rotate(x[i][4], x[i][5], kS8, kCmS8, kCpS8);
    rotate(x[4][i], x[5][i], kS8, kCmS8, kCpS8);
  }
  #pragma GCC unroll 64
  for (int i : kCosSlots) {
    rotate(x[i][4], x[i][5], kS8C4, kS8, kC8);
    rotate(x[4][i], x[5][i], kS8C4, kS8, kC8);
  }
  const V8 a = x[4][4], b = x[4][5], c = x[5][4], d = x[5][5];
  const V8 minus = m((a - d) - (b + c), kC4Half);
  const V8 plus = m((a - d) + (b + c), kC4Half);
  x[4][4] = halve(a + d) + minus;
  x[5][5] = halve(a + d) - minus;
  x[4][5] = halve(b - c) + plus;
  x[5][4] = plus - halve(b - c);
}

// Row i of eight side-by-side blocks (64 bytes) into x[i][0..7], one block
// per lane, sign-extended and doubled.
RX_AVX2_INLINE void load_row(const int8_t* p, V8* row) {
  const auto* q = reinterpret_cast<const __m128i*>(p);
  __m128i a[4];
  #pragma GCC unroll 64
  for (int n = 0; n < 4; ++n) {
    const __m128i pair = _mm_loadu_si128(q + n);  // blocks 2n, 2n + 1
    a[n] = _mm_unpacklo_epi8(pair, _mm_srli_si128(pair, 8));
  }
  const __m128i b0 = _mm_unpacklo_epi16(a[0], a[1]), b1 = _mm_unpackhi_epi16(a[0], a[1]);
  const __m128i b2 = _mm_unpacklo_epi16(a[2], a[3]), b3 = _mm_unpackhi_epi16(a[2], a[3]);
  const __m128i c[4] = {_mm_unpacklo_epi32(b0, b2), _mm_unpackhi_epi32(b0, b2),
                        _mm_unpacklo_epi32(b1, b3), _mm_unpackhi_epi32(b1, b3)};
  #pragma GCC unroll 64
  for (int n = 0; n < 4; ++n) {  // c[n]: columns 2n and 2n + 1 of blocks 0..7
    row[2 * n] = (V8)_mm256_slli_epi32(_mm256_cvtepi8_epi32(c[n]), 1);
    row[2 * n + 1] = (V8)_mm256_slli_epi32(_mm256_cvtepi8_epi32(_mm_srli_si128(c[n], 8)), 1);
  }
}

// The quantised value of one position for the eight blocks.
RX_AVX2_INLINE V8 quantise(V8 c, const QuantTable& q, int n) {
  const V8 sign = c >> 31;
  const __m256i magnitude = _mm256_min_epi32(_mm256_abs_epi32((__m256i)c),
                                             _mm256_set1_epi32(kMaxCoefficient));
  const __m256i r = _mm256_set1_epi32(static_cast<int32_t>(q.reciprocal[n]));
  const V8 v = (V8)_mm256_srli_epi32(_mm256_mullo_epi32(magnitude, r), kReciprocalShift);
  return (v ^ sign) - sign;
}

// Eight vectors of 16-bit values (position t, lane = block) to eight
// vectors (block b, lane = position).
RX_AVX2_INLINE void transpose8x16(__m128i p[8]) {
  const __m128i a0 = _mm_unpacklo_epi16(p[0], p[1]), a1 = _mm_unpackhi_epi16(p[0], p[1]);
  const __m128i a2 = _mm_unpacklo_epi16(p[2], p[3]), a3 = _mm_unpackhi_epi16(p[2], p[3]);
  const __m128i a4 = _mm_unpacklo_epi16(p[4], p[5]), a5 = _mm_unpackhi_epi16(p[4], p[5]);
  const __m128i a6 = _mm_unpacklo_epi16(p[6], p[7]), a7 = _mm_unpackhi_epi16(p[6], p[7]);
  const __m128i c0 = _mm_unpacklo_epi32(a0, a2), c1 = _mm_unpackhi_epi32(a0, a2);
  const __m128i c2 = _mm_unpacklo_epi32(a1, a3), c3 = _mm_unpackhi_epi32(a1, a3);
  const __m128i d0 = _mm_unpacklo_epi32(a4, a6), d1 = _mm_unpackhi_epi32(a4, a6);
  const __m128i d2 = _mm_unpacklo_epi32(a5, a7), d3 = _mm_unpackhi_epi32(a5, a7);
  p[0] = _mm_unpacklo_epi64(c0, d0);
  p[1] = _mm_unpackhi_epi64(c0, d0);
  p[2] = _mm_unpacklo_epi64(c1, d1);
  p[3] = _mm_unpackhi_epi64(c1, d1);
  p[4] = _mm_unpacklo_epi64(c2, d2);
  p[5] = _mm_unpackhi_epi64(c2, d2);
  p[6] = _mm_unpacklo_epi64(c3, d3);
  p[7] = _mm_unpackhi_epi64(c3, d3);
}

// `Unit`: every divisor is 1 (quality 100), nothing to divide.
template <bool Unit>
RX_AVX2 void fdct8(const int8_t* src, int32_t stride, const QuantTable& q, int16_t* const out[8]) {
  V8 x[8][8];
  #pragma GCC unroll 64
  for (int i = 0; i < 8; ++i) {
    load_row(src + static_cast<int64_t>(i) * stride, x[i]);
    stage_a(x[i], 1);  // along the row
  }
  #pragma GCC unroll 64
  for (int j = 0; j < 8; ++j) stage_a(&x[0][j], 8);  // down the columns
  stage_m(x);
  #pragma GCC unroll 64
  for (int k = 0; k < 8; ++k) stage_b(x[k], 1);
  #pragma GCC unroll 64
  for (int v = 0; v < 8; ++v) stage_b(&x[0][v], 8);
  V8 c[64];
  #pragma GCC unroll 64
  for (int n = 0; n < 64; ++n) {
    const V8 y = m(x[n / 8][n % 8], kPostScale[static_cast<size_t>(n)]);
    c[n] = halve(y);
  }
  #pragma GCC unroll 64
  for (int k0 = 0; k0 < 64; k0 += 8) {
    __m128i p[8];
    #pragma GCC unroll 64
    for (int t = 0; t < 8; ++t) {
      const int n = kZigzag[static_cast<size_t>(k0 + t)];
      const V8 v = Unit ? c[n] : quantise(c[n], q, n);
      p[t] = _mm_packs_epi32(_mm256_castsi256_si128((__m256i)v),
                             _mm256_extracti128_si256((__m256i)v, 1));
    }
    transpose8x16(p);
    #pragma GCC unroll 64
    for (int b = 0; b < 8; ++b) _mm_storeu_si128(reinterpret_cast<__m128i*>(out[b] + k0), p[b]);
  }
}

// ---- Colour conversion and box sums ----------------------------------------

// One channel of sixteen pixels, gathered from the three loads by byte
// shuffles and widened to 16 bits.
RX_AVX2_INLINE __m256i channel16(__m128i x0, __m128i x1, __m128i x2, __m128i m0, __m128i m1,
                                 __m128i m2) {
  return _mm256_cvtepu8_epi16(_mm_or_si128(
      _mm_or_si128(_mm_shuffle_epi8(x0, m0), _mm_shuffle_epi8(x1, m1)), _mm_shuffle_epi8(x2, m2)));
}

RX_AVX2_INLINE __m256i k16(int v) { return _mm256_set1_epi16(static_cast<int16_t>(v)); }

// Bits 8..15 of sixteen sums, as bytes.
RX_AVX2_INLINE void store16(uint8_t* out, __m256i v) {
  const __m256i s = _mm256_srli_epi16(v, 8);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                   _mm_packus_epi16(_mm256_castsi256_si128(s), _mm256_extracti128_si256(s, 1)));
}

// Sixteen blue-green-red pixels (48 bytes) to sixteen Y, Cb and Cr samples.
// In 16-bit lanes every sum of the transform stays within 0..65535, so the
// wrapping arithmetic gives the exact values.
RX_AVX2_INLINE void ycc16(const uint8_t* p, uint8_t* y, uint8_t* cb, uint8_t* cr) {
  const __m128i x0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i x1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
  const __m128i x2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32));
  const __m256i b =
      channel16(x0, x1, x2, _mm_setr_epi8(0, 3, 6, 9, 12, 15, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1),
                _mm_setr_epi8(-1, -1, -1, -1, -1, -1, 2, 5, 8, 11, 14, -1, -1, -1, -1, -1),
                _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 1, 4, 7, 10, 13));
  const __m256i g =
      channel16(x0, x1, x2, _mm_setr_epi8(1, 4, 7, 10, 13, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1),
                _mm_setr_epi8(-1, -1, -1, -1, -1, 0, 3, 6, 9, 12, 15, -1, -1, -1, -1, -1),
                _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 2, 5, 8, 11, 14));
  const __m256i r =
      channel16(x0, x1, x2, _mm_setr_epi8(2, 5, 8, 11, 14, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1),
                _mm_setr_epi8(-1, -1, -1, -1, -1, 1, 4, 7, 10, 13, -1, -1, -1, -1, -1, -1),
                _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0, 3, 6, 9, 12, 15));
  const __m256i half = k16(32768);
  store16(y, _mm256_add_epi16(
                 _mm256_add_epi16(_mm256_mullo_epi16(r, k16(77)), _mm256_mullo_epi16(g, k16(150))),
                 _mm256_add_epi16(_mm256_mullo_epi16(b, k16(29)), k16(128))));
  store16(cb, _mm256_sub_epi16(
                  _mm256_add_epi16(half, _mm256_slli_epi16(b, 7)),
                  _mm256_add_epi16(_mm256_mullo_epi16(r, k16(43)), _mm256_mullo_epi16(g, k16(85)))));
  store16(cr, _mm256_sub_epi16(
                  _mm256_add_epi16(half, _mm256_slli_epi16(r, 7)),
                  _mm256_add_epi16(_mm256_mullo_epi16(g, k16(107)), _mm256_mullo_epi16(b, k16(21)))));
}

RX_AVX2 void planes_from_bgr_avx2(const uint8_t* p, int32_t n, uint8_t* y, uint8_t* cb,
                                  uint8_t* cr) {
  int32_t x = 0;
  for (; x + 16 <= n; x += 16) ycc16(p + 3 * x, y + x, cb + x, cr + x);
  planes_from_bgr_table(p + 3 * x, n - x, y + x, cb + x, cr + x);
}

// A box of one sample: the level shift alone, a flip of the top bit.
RX_AVX2 void level_shift_avx2(const uint8_t* plane, int32_t width, int8_t* out) {
  const __m256i top = _mm256_set1_epi8(static_cast<char>(0x80));
  int32_t i = 0;
  for (; i + 32 <= width; i += 32) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(plane + i));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_xor_si256(v, top));
  }
  for (; i < width; ++i) out[i] = static_cast<int8_t>(plane[i] ^ 0x80);
}

// Boxes of two samples side by side, one row high: pair sums, then the
// reciprocal (exact for these sums) and the level shift.
RX_AVX2 void box_pairs_avx2(const uint8_t* plane, int32_t width, uint32_t reciprocal, int8_t* out) {
  const __m256i ones = _mm256_set1_epi8(1);
  const __m256i r = _mm256_set1_epi16(static_cast<int16_t>(reciprocal));
  const __m256i top = _mm256_set1_epi8(static_cast<char>(0x80));
  int32_t i = 0;
  for (; i + 32 <= width; i += 32) {
    const auto* p = reinterpret_cast<const __m256i*>(plane + 2 * i);
    const __m256i a = _mm256_mulhi_epu16(_mm256_maddubs_epi16(_mm256_loadu_si256(p), ones), r);
    const __m256i b = _mm256_mulhi_epu16(_mm256_maddubs_epi16(_mm256_loadu_si256(p + 1), ones), r);
    const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi16(a, b), 0xD8);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_xor_si256(packed, top));
  }
  for (; i < width; ++i) {
    const uint32_t sum = uint32_t{plane[2 * i]} + plane[2 * i + 1];
    out[i] = static_cast<int8_t>(((sum * reciprocal) >> 16) ^ 0x80);
  }
}

// ---- Block coding ------------------------------------------------------------

RX_AVX2_INLINE uint64_t nonzero_mask_avx2(const int16_t zz[64]) {
  const auto* p = reinterpret_cast<const __m256i*>(zz);
  const __m256i zero = _mm256_setzero_si256();
  // Saturating packs keep non-zero values non-zero; the permutation undoes
  // the packs' lane order.
  const __m256i lo = _mm256_permute4x64_epi64(
      _mm256_packs_epi16(_mm256_loadu_si256(p), _mm256_loadu_si256(p + 1)), 0xD8);
  const __m256i hi = _mm256_permute4x64_epi64(
      _mm256_packs_epi16(_mm256_loadu_si256(p + 2), _mm256_loadu_si256(p + 3)), 0xD8);
  const auto zeros_lo = static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(lo, zero)));
  const auto zeros_hi = static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(hi, zero)));
  return ~(uint64_t{zeros_hi} << 32 | zeros_lo);
}

// The code of (run, size of value) followed by the value's extra bits, in
// one call of at most 16 + 16 bits.
template <typename Bits>
RX_AVX2_INLINE void emit(Bits& bw, const HuffCodeTable& table, int32_t run, int32_t value) {
  const int32_t sign = value >> 31;
  const auto magnitude = static_cast<uint32_t>((value ^ sign) - sign);
  const auto size = static_cast<uint32_t>(32 - std::countl_zero(magnitude));
  const uint32_t e = table.entry[((static_cast<uint32_t>(run) << 4) | size) & 0xFF];
  const uint32_t extra = _bzhi_u32(static_cast<uint32_t>(value + sign), size);
  bw.put(((e & 0xFFFFu) << size) | extra, static_cast<int32_t>((e >> 16) + size));
}

// The size (significant bits of the magnitude) and the extra bits (the
// value, less one when negative; the caller keeps the low `size` bits) of
// all 64 values at once. A magnitude's size is read off the exponent of
// its value as a float, exact for every 16-bit magnitude.
RX_AVX2_INLINE void sizes_and_bits(const int16_t zz[64], int16_t size[64], int16_t bits[64]) {
  const auto* p = reinterpret_cast<const __m256i*>(zz);
#pragma GCC unroll 4
  for (int n = 0; n < 4; ++n) {
    const __m256i v = _mm256_loadu_si256(p + n);
    const __m256i magnitude = _mm256_abs_epi16(v);
    const __m256i lo = _mm256_cvtepu16_epi32(_mm256_castsi256_si128(magnitude));
    const __m256i hi = _mm256_cvtepu16_epi32(_mm256_extracti128_si256(magnitude, 1));
    const __m256i bias = _mm256_set1_epi32(126);
    const __m256i zero = _mm256_setzero_si256();
    const __m256i size_lo = _mm256_max_epi32(
        _mm256_sub_epi32(_mm256_srli_epi32(_mm256_castps_si256(_mm256_cvtepi32_ps(lo)), 23), bias), zero);
    const __m256i size_hi = _mm256_max_epi32(
        _mm256_sub_epi32(_mm256_srli_epi32(_mm256_castps_si256(_mm256_cvtepi32_ps(hi)), 23), bias), zero);
    const __m256i sizes = _mm256_permute4x64_epi64(_mm256_packs_epi32(size_lo, size_hi), 0xD8);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(size) + n, sizes);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(bits) + n,
                        _mm256_add_epi16(v, _mm256_srai_epi16(v, 15)));
  }
}

template <typename Bits>
RX_AVX2_INLINE void emit_sized(Bits& bw, const HuffCodeTable& table, uint32_t run, uint32_t size,
                               uint32_t bits) {
  const uint32_t e = table.entry[((run << 4) | size) & 0xFF];
  bw.put(((e & 0xFFFFu) << size) | _bzhi_u32(bits, size), static_cast<int32_t>((e >> 16) + size));
}

template <typename Bits>
RX_AVX2_INLINE void block_code(Bits& bw, const int16_t zz[64], int32_t* predictor,
                               const HuffCodeTable& dc, const HuffCodeTable& ac) {
  const auto diff = static_cast<int16_t>(zz[0] - *predictor);
  *predictor = zz[0];
  emit(bw, dc, 0, diff);
  alignas(32) int16_t size[64];
  alignas(32) int16_t bits[64];
  sizes_and_bits(zz, size, bits);
  uint64_t nonzero = nonzero_mask_avx2(zz) & ~uint64_t{1};
  int32_t last = 0;
  while (nonzero != 0) {
    const auto k = static_cast<int32_t>(std::countr_zero(nonzero));
    nonzero = _blsr_u64(nonzero);
    int32_t run = k - last - 1;
    for (; run > 15; run -= 16) emit_sized(bw, ac, 15, 0, 0);  // ZRL: sixteen zeros
    emit_sized(bw, ac, static_cast<uint32_t>(run), static_cast<uint16_t>(size[k]),
               static_cast<uint16_t>(bits[k]));
    last = k;
  }
  if (last < 63) emit_sized(bw, ac, 0, 0, 0);  // EOB: the zeros after the last value
}

}  // namespace

void block_row_avx2(const int8_t* src, int32_t stride, int32_t count, const QuantTable& q,
                    const BlockSink& out) {
  int32_t i = 0;
  for (; i + 8 <= count; i += 8) {
    int16_t* const blocks[8] = {out.at(i),     out.at(i + 1), out.at(i + 2), out.at(i + 3),
                                out.at(i + 4), out.at(i + 5), out.at(i + 6), out.at(i + 7)};
    if (q.unit) fdct8<true>(src + 8 * i, stride, q, blocks);
    else fdct8<false>(src + 8 * i, stride, q, blocks);
  }
  for (; i < count; ++i) {
    int32_t coef[64];
    fdct_fast(src + 8 * i, stride, coef);
    quantise_fast(coef, q, out.at(i));
  }
}

RX_AVX2 void row_sample_avx2(RowSampler* s, const uint8_t* row) {
  const int32_t n = s->last_x + 1;
  if (s->bits == 24) planes_from_bgr_avx2(row, n, s->plane[0], s->plane[1], s->plane[2]);
  else planes_from_indexes(s, row, n);
  for (int c = 0; c < s->components; ++c) {
    uint8_t* p = s->plane[c];
    std::memset(p + n, p[n - 1], static_cast<size_t>(s->padded_width - n));
    SampleBand& b = s->comp[c];
    if (b.sy != 1 || b.sx > 2 || b.next_row >= b.rows) {
      plane_to_band(b, p);
      continue;
    }
    int8_t* out = b.band + int64_t{b.next_row} * b.width;
    if (b.sx == 1) level_shift_avx2(p, b.width, out);
    else box_pairs_avx2(p, b.width, b.reciprocal, out);
    ++b.next_row;
  }
}

RX_AVX2 void block_encode_avx2(BitWriter& bw, const int16_t zz[64], int32_t* predictor,
                               const HuffCodeTable& dc, const HuffCodeTable& ac) {
  block_code(bw, zz, predictor, dc, ac);
  bw.drain_if_full();
}

RX_AVX2 void band_encode_avx2(BitWriter& bw, const BandBlocks& band, int32_t* predictor) {
  LocalBits b(bw);
  const int16_t* zz = band.blocks;
  for (int32_t m = 0; m < band.mcus; ++m) {
    for (int32_t n = 0; n < band.blocks_per_mcu; ++n, zz += 64) {
      const int i = band.component[n];
      block_code(b, zz, &predictor[i], *band.dc[i], *band.ac[i]);
      if (band.ends != nullptr) band.ends[m * band.blocks_per_mcu + n] = b.raw_bits();
      b.drain_if_full(bw);
    }
  }
  b.store(bw);
}

#else  // processors without these instructions never choose the kernels

void block_row_avx2(const int8_t* src, int32_t stride, int32_t count, const QuantTable& q,
                    const BlockSink& out) {
  block_row_sse2(src, stride, count, q, out);
}
void row_sample_avx2(RowSampler* s, const uint8_t* row) { row_sample_fast(s, row); }
void block_encode_avx2(BitWriter& bw, const int16_t zz[64], int32_t* predictor,
                       const HuffCodeTable& dc, const HuffCodeTable& ac) {
  block_encode(bw, zz, predictor, dc, ac);
}
void band_encode_avx2(BitWriter& bw, const BandBlocks& band, int32_t* predictor) {
  band_encode_sse2(bw, band, predictor);
}

#endif

}  // namespace rx::jpeg::enc
