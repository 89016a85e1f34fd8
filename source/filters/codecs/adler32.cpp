// The fast form splits the data into runs short enough that no sum
// overflows, adds each run with wide arithmetic and reduces once per run.
#include "filters/codecs/adler32.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace rx::codec {
namespace {

struct Sums {
  uint32_t a, b;
};

// Unrolled scalar sums of at most kAdlerMaxRun bytes, unreduced.
void run_add(Sums& s, const uint8_t* p, size_t n) {
  uint32_t a = s.a, b = s.b;
  while (n >= 8) {
    a += p[0]; b += a;
    a += p[1]; b += a;
    a += p[2]; b += a;
    a += p[3]; b += a;
    a += p[4]; b += a;
    a += p[5]; b += a;
    a += p[6]; b += a;
    a += p[7]; b += a;
    p += 8;
    n -= 8;
  }
  while (n-- > 0) {
    a += *p++;
    b += a;
  }
  s.a = a;
  s.b = b;
}

#if defined(__SSE2__)
// Blocks of 32 bytes. Per block, the second sum gains 32 times the first
// sum as it was before the block plus the bytes weighted 32, 31, ..., 1.
// Column sums are kept in 16-bit lanes, which the multiply-add reads as
// signed: at most 128 blocks fit (128 x 255 < 32768).
inline constexpr size_t kVectorRun = 128 * 32;

void vector_run_add(Sums& s, const uint8_t* p, size_t blocks) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i w1 = _mm_setr_epi16(32, 31, 30, 29, 28, 27, 26, 25);
  const __m128i w2 = _mm_setr_epi16(24, 23, 22, 21, 20, 19, 18, 17);
  const __m128i w3 = _mm_setr_epi16(16, 15, 14, 13, 12, 11, 10, 9);
  const __m128i w4 = _mm_setr_epi16(8, 7, 6, 5, 4, 3, 2, 1);
  __m128i va = zero, vb = zero, c1 = zero, c2 = zero, c3 = zero, c4 = zero;
  for (size_t k = 0; k < blocks; ++k, p += 32) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
    vb = _mm_add_epi32(vb, va);
    va = _mm_add_epi32(va, _mm_add_epi32(_mm_sad_epu8(x, zero), _mm_sad_epu8(y, zero)));
    c1 = _mm_add_epi16(c1, _mm_unpacklo_epi8(x, zero));
    c2 = _mm_add_epi16(c2, _mm_unpackhi_epi8(x, zero));
    c3 = _mm_add_epi16(c3, _mm_unpacklo_epi8(y, zero));
    c4 = _mm_add_epi16(c4, _mm_unpackhi_epi8(y, zero));
  }
  vb = _mm_slli_epi32(vb, 5);
  vb = _mm_add_epi32(vb, _mm_madd_epi16(c1, w1));
  vb = _mm_add_epi32(vb, _mm_madd_epi16(c2, w2));
  vb = _mm_add_epi32(vb, _mm_madd_epi16(c3, w3));
  vb = _mm_add_epi32(vb, _mm_madd_epi16(c4, w4));
  va = _mm_add_epi32(va, _mm_shuffle_epi32(va, 0x4E));
  vb = _mm_add_epi32(vb, _mm_shuffle_epi32(vb, 0x4E));
  vb = _mm_add_epi32(vb, _mm_shuffle_epi32(vb, 0xB1));
  const auto bytes = static_cast<uint32_t>(blocks * 32);
  s.b += s.a * bytes + static_cast<uint32_t>(_mm_cvtsi128_si32(vb));
  s.a += static_cast<uint32_t>(_mm_cvtsi128_si32(va));
}
#endif

}  // namespace

uint32_t adler32_bytewise(uint32_t adler, const uint8_t* data, size_t size) {
  uint32_t a = adler & 0xFFFF, b = adler >> 16;
  size_t run = 0;
  for (size_t i = 0; i < size; ++i) {
    a += data[i];
    b += a;
    if (++run == kAdlerMaxRun) {
      a %= kAdlerModulus;
      b %= kAdlerModulus;
      run = 0;
    }
  }
  return (b % kAdlerModulus) << 16 | (a % kAdlerModulus);
}

uint32_t adler32_update(uint32_t adler, const uint8_t* data, size_t size) {
  Sums s{adler & 0xFFFF, adler >> 16};
  // A caller's value may hold sums that were never reduced.
  s.a %= kAdlerModulus;
  s.b %= kAdlerModulus;
  const uint8_t* p = data;
#if defined(__SSE2__)
  while (size >= 32) {
    const size_t n = size < kVectorRun ? size & ~size_t{31} : kVectorRun;
    vector_run_add(s, p, n / 32);
    s.a %= kAdlerModulus;
    s.b %= kAdlerModulus;
    p += n;
    size -= n;
  }
#endif
  while (size > 0) {
    const size_t n = size < kAdlerMaxRun ? size : kAdlerMaxRun;
    run_add(s, p, n);
    s.a %= kAdlerModulus;
    s.b %= kAdlerModulus;
    p += n;
    size -= n;
  }
  return s.b << 16 | s.a;
}

}  // namespace rx::codec
