// Grey values of 24-bit rows, plain or sixteen pixels at a time.
#include "IMG_PROC/grey_row.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define RX_GREY_SSSE3 1
#endif

namespace rx::ip {

void grey_row_24_plain(const uint8_t* bgr, uint32_t count, uint8_t* out) {
  for (uint32_t x = 0; x < count; ++x, bgr += 3)
    out[x] = static_cast<uint8_t>((bgr[2] * 77u + bgr[1] * 151u + bgr[0] * 28u) >> 8);
}

#ifdef RX_GREY_SSSE3

namespace {

// Sixteen pixels: the blue, green and red bytes gathered from 48 bytes,
// widened to 16 bits, weighted and summed (at most 255 x 256, so no 16-bit
// sum wraps), shifted and packed.
__attribute__((target("ssse3"))) void grey_row_24_ssse3(const uint8_t* bgr, uint32_t count, uint8_t* out) {
  // Where channel c of pixel i lies in the three 16-byte loads (-1: not in this one).
  const __m128i b0 = _mm_setr_epi8(0, 3, 6, 9, 12, 15, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
  const __m128i b1 = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, 2, 5, 8, 11, 14, -1, -1, -1, -1, -1);
  const __m128i b2 = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 1, 4, 7, 10, 13);
  const __m128i g0 = _mm_setr_epi8(1, 4, 7, 10, 13, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
  const __m128i g1 = _mm_setr_epi8(-1, -1, -1, -1, -1, 0, 3, 6, 9, 12, 15, -1, -1, -1, -1, -1);
  const __m128i g2 = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 2, 5, 8, 11, 14);
  const __m128i r0 = _mm_setr_epi8(2, 5, 8, 11, 14, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
  const __m128i r1 = _mm_setr_epi8(-1, -1, -1, -1, -1, 1, 4, 7, 10, 13, -1, -1, -1, -1, -1, -1);
  const __m128i r2 = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0, 3, 6, 9, 12, 15);
  const __m128i wb = _mm_set1_epi16(28), wg = _mm_set1_epi16(151), wr = _mm_set1_epi16(77);
  const __m128i zero = _mm_setzero_si128();
  uint32_t x = 0;
  for (; x + 16 <= count; x += 16, bgr += 48) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bgr));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bgr + 16));
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bgr + 32));
    const __m128i blue = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(a, b0), _mm_shuffle_epi8(b, b1)), _mm_shuffle_epi8(c, b2));
    const __m128i green = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(a, g0), _mm_shuffle_epi8(b, g1)), _mm_shuffle_epi8(c, g2));
    const __m128i red = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(a, r0), _mm_shuffle_epi8(b, r1)), _mm_shuffle_epi8(c, r2));
    auto half = [&](__m128i (*unpack)(__m128i, __m128i)) {
      const __m128i sum = _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(unpack(red, zero), wr),
                                                      _mm_mullo_epi16(unpack(green, zero), wg)),
                                        _mm_mullo_epi16(unpack(blue, zero), wb));
      return _mm_srli_epi16(sum, 8);
    };
    const __m128i low = half([](__m128i v, __m128i z) { return _mm_unpacklo_epi8(v, z); });
    const __m128i high = half([](__m128i v, __m128i z) { return _mm_unpackhi_epi8(v, z); });
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_packus_epi16(low, high));
  }
  grey_row_24_plain(bgr, count - x, out + x);
}

}  // namespace

void grey_row_24(const uint8_t* bgr, uint32_t count, uint8_t* out) {
  static const bool ssse3 = __builtin_cpu_supports("ssse3");
  if (ssse3) grey_row_24_ssse3(bgr, count, out);
  else grey_row_24_plain(bgr, count, out);
}

#else

void grey_row_24(const uint8_t* bgr, uint32_t count, uint8_t* out) { grey_row_24_plain(bgr, count, out); }

#endif

}  // namespace rx::ip
