// Source positions of a turned row, column by column or two at a time, and
// rows of pixels copied from them.
#include "IMG_PROC/turn_positions.h"

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define RX_TURN_AVX2 1
#endif

namespace rx::ip {

namespace {

// One pixel of `kBytes` bytes from (column, row), or 0 for column -1. A
// 24-bit pixel moves as a 32-bit word when the word read stays inside its
// source row and `spill` says the next pixel writes over its fourth byte.
template <uint32_t kBytes>
inline void put_pixel(uint8_t* d, const uint8_t* const* rows, int32_t column, int32_t row, int32_t width,
                      bool spill) {
  if (column < 0) {
    if (kBytes == 3 && spill) std::memset(d, 0, 4);
    else std::memset(d, 0, kBytes);
    return;
  }
  const uint8_t* s = rows[row] + size_t{kBytes} * static_cast<uint32_t>(column);
  if constexpr (kBytes == 3) {
    if (spill && column + 1 < width) {
      std::memcpy(d, s, 4);
      return;
    }
  }
  std::memcpy(d, s, kBytes);
}

template <uint32_t kBytes>
void copy_positions(const int32_t* column, const int32_t* row, uint32_t n, const uint8_t* const* rows,
                    int32_t width, uint8_t* d) {
  for (uint32_t x = 0; x < n; ++x, d += kBytes) put_pixel<kBytes>(d, rows, column[x], row[x], width, x + 1 < n);
}

}  // namespace

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

void turn_copy_plain(const TurnRow& r, const uint8_t* const* rows, uint32_t bytes, int32_t* column, int32_t* row,
                     uint8_t* out) {
  turn_positions_plain(r, column, row);
  const auto width = static_cast<int32_t>(r.width);
  if (bytes == 1) copy_positions<1>(column, row, r.columns, rows, width, out);
  else if (bytes == 2) copy_positions<2>(column, row, r.columns, rows, width, out);
  else copy_positions<3>(column, row, r.columns, rows, width, out);
}

#ifdef RX_TURN_AVX2

namespace {

// Source rows ahead whose bytes are fetched early.
constexpr uintptr_t kAhead = 2;

template <uint32_t kBytes>
__attribute__((target("avx2"))) void turn_copy_avx2(const TurnRow& r, const uint8_t* const* rows, int32_t* column,
                                                    int32_t* row, uint8_t* out) {
  const __m256d dy_sin = _mm256_set1_pd(r.dy_sin), dy_cos = _mm256_set1_pd(r.dy_cos);
  const __m256d cx = _mm256_set1_pd(r.cx), cy = _mm256_set1_pd(r.cy), half = _mm256_set1_pd(0.5);
  const __m256d zero = _mm256_setzero_pd(), width = _mm256_set1_pd(r.width), height = _mm256_set1_pd(r.height);
  const auto w = static_cast<int32_t>(r.width);
  const auto h = static_cast<int32_t>(r.height);
  // Source pixels by byte offset from the bottom row, rows lying `stride`
  // bytes apart upwards; offsets stay below 2^31 like the pixel area.
  const uint8_t* bottom = rows[h - 1];
  const auto stride = static_cast<int32_t>(h > 1 ? rows[h - 2] - rows[h - 1] : 0);
  const __m128i last_row = _mm_set1_epi32(h - 1), row_bytes = _mm_set1_epi32(stride),
                pixel_bytes = _mm_set1_epi32(static_cast<int32_t>(kBytes));
  uint32_t x = 0;
  uint8_t* d = out;
  // The row's last pixel spills nothing: it is left to the plain form.
  for (; x + 5 <= r.columns; x += 4, d += 4 * kBytes) {
    const __m256d u = _mm256_add_pd(_mm256_add_pd(_mm256_add_pd(_mm256_loadu_pd(r.dx_cos + x), dy_sin), cx), half);
    const __m256d v = _mm256_add_pd(_mm256_add_pd(_mm256_sub_pd(dy_cos, _mm256_loadu_pd(r.dx_sin + x)), cy), half);
    const __m256d inside =
        _mm256_and_pd(_mm256_and_pd(_mm256_cmp_pd(u, zero, _CMP_GE_OQ), _mm256_cmp_pd(u, width, _CMP_LT_OQ)),
                      _mm256_and_pd(_mm256_cmp_pd(v, zero, _CMP_GE_OQ), _mm256_cmp_pd(v, height, _CMP_LT_OQ)));
    const int keep = _mm256_movemask_pd(inside);
    const __m128i iu = _mm256_cvttpd_epi32(u), iv = _mm256_cvttpd_epi32(v);
    alignas(16) int32_t column4[4], at[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(column4), iu);
    _mm_store_si128(reinterpret_cast<__m128i*>(at), _mm_add_epi32(_mm_mullo_epi32(_mm_sub_epi32(last_row, iv), row_bytes),
                                                                   _mm_mullo_epi32(iu, pixel_bytes)));
    // A few new rows later the same columns read a few source rows higher:
    // ask for those bytes now (a hint, harmless wherever it points).
    _mm_prefetch(reinterpret_cast<const char*>(reinterpret_cast<uintptr_t>(bottom) + static_cast<uintptr_t>(at[0]) -
                                               kAhead * static_cast<uintptr_t>(stride)),
                 _MM_HINT_T0);
    for (int k = 0; k < 4; ++k) {
      uint8_t* o = d + kBytes * k;
      if (((keep >> k) & 1) == 0) {
        std::memset(o, 0, kBytes == 3 ? 4 : kBytes);
      } else if (kBytes == 3 && column4[k] + 1 < w) {
        std::memcpy(o, bottom + at[k], 4);
      } else {
        std::memcpy(o, bottom + at[k], kBytes);
      }
    }
  }
  if (x < r.columns) {
    TurnRow rest = r;
    rest.dx_cos += x;
    rest.dx_sin += x;
    rest.columns -= x;
    turn_copy_plain(rest, rows, kBytes, column, row, d);
  }
}

}  // namespace

#endif

void turn_copy(const TurnRow& r, const uint8_t* const* rows, uint32_t bytes, int32_t* column, int32_t* row,
               uint8_t* out) {
#ifdef RX_TURN_AVX2
  static const bool avx2 = __builtin_cpu_supports("avx2");
  if (avx2) {
    if (bytes == 1) turn_copy_avx2<1>(r, rows, column, row, out);
    else if (bytes == 2) turn_copy_avx2<2>(r, rows, column, row, out);
    else turn_copy_avx2<3>(r, rows, column, row, out);
    return;
  }
#endif
  turn_positions(r, column, row);
  const auto width = static_cast<int32_t>(r.width);
  if (bytes == 1) copy_positions<1>(column, row, r.columns, rows, width, out);
  else if (bytes == 2) copy_positions<2>(column, row, r.columns, rows, width, out);
  else copy_positions<3>(column, row, r.columns, rows, width, out);
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
