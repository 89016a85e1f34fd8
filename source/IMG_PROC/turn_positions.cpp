// Source positions of a turned row, column by column or two at a time.
#include "IMG_PROC/turn_positions.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace rx::ip {

void turn_positions_plain(const TurnRow& r, int32_t* column, int32_t* row) {
  for (uint32_t x = 0; x < r.columns; ++x) {
    // round(v) = floor(v + 0.5), inside exactly when v + 0.5 is.
    const double u = ((r.dx_cos[x] + r.dy_sin) + r.cx) + 0.5;
    const double v = ((r.dy_cos - r.dx_sin[x]) + r.cy) + 0.5;
    const bool inside = u >= 0.0 && u < r.width && v >= 0.0 && v < r.height;
    column[x] = inside ? static_cast<int32_t>(u) : -1;
    row[x] = inside ? static_cast<int32_t>(v) : -1;
  }
}

#ifdef __SSE2__

void turn_positions(const TurnRow& r, int32_t* column, int32_t* row) {
  const __m128d dy_sin = _mm_set1_pd(r.dy_sin), dy_cos = _mm_set1_pd(r.dy_cos);
  const __m128d cx = _mm_set1_pd(r.cx), cy = _mm_set1_pd(r.cy), half = _mm_set1_pd(0.5);
  const __m128d zero = _mm_setzero_pd(), width = _mm_set1_pd(r.width), height = _mm_set1_pd(r.height);
  const __m128i none = _mm_set1_epi32(-1);
  uint32_t x = 0;
  for (; x + 2 <= r.columns; x += 2) {
    const __m128d u = _mm_add_pd(_mm_add_pd(_mm_add_pd(_mm_loadu_pd(r.dx_cos + x), dy_sin), cx), half);
    const __m128d v = _mm_add_pd(_mm_add_pd(_mm_sub_pd(dy_cos, _mm_loadu_pd(r.dx_sin + x)), cy), half);
    const __m128d inside = _mm_and_pd(_mm_and_pd(_mm_cmpge_pd(u, zero), _mm_cmplt_pd(u, width)),
                                      _mm_and_pd(_mm_cmpge_pd(v, zero), _mm_cmplt_pd(v, height)));
    // The two 64-bit masks as two 32-bit ones in the low half.
    const __m128i keep = _mm_shuffle_epi32(_mm_castpd_si128(inside), _MM_SHUFFLE(3, 3, 2, 0));
    const __m128i iu = _mm_or_si128(_mm_and_si128(keep, _mm_cvttpd_epi32(u)), _mm_andnot_si128(keep, none));
    const __m128i iv = _mm_or_si128(_mm_and_si128(keep, _mm_cvttpd_epi32(v)), _mm_andnot_si128(keep, none));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(column + x), iu);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(row + x), iv);
  }
  if (x < r.columns) {
    TurnRow rest = r;
    rest.dx_cos += x;
    rest.dx_sin += x;
    rest.columns -= x;
    turn_positions_plain(rest, column + x, row + x);
  }
}

#else

void turn_positions(const TurnRow& r, int32_t* column, int32_t* row) { turn_positions_plain(r, column, row); }

#endif

}  // namespace rx::ip
