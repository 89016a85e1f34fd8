// The fast filters work on whole pixels: for 3, 4, 6 and 8 bytes per pixel
// each pixel is one SSE2 register (in 16-bit lanes where the arithmetic
// needs the room), carried to the next pixel in a register; other
// distances, and hosts without SSE2, take scalar loops.
#include "filters/png/png_rows.h"

#include <cstring>

#include "filters/png/png_format.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace rx::png {
namespace {

inline int32_t iabs(int32_t v) { return v < 0 ? -v : v; }

// Nearest of a, b, c to a + b - c; ties go to a, then b.
inline uint8_t paeth(int32_t a, int32_t b, int32_t c) {
  const int32_t pa = iabs(b - c), pb = iabs(a - c), pc = iabs(a + b - 2 * c);
  if (pa <= pb && pa <= pc) return static_cast<uint8_t>(a);
  return static_cast<uint8_t>(pb <= pc ? b : c);
}

void up(uint8_t* row, const uint8_t* prior, size_t size) {
  size_t i = 0;
#if defined(__SSE2__)
  for (; i + 16 <= size; i += 16) {
    const __m128i r = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i));
    const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(prior + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row + i), _mm_add_epi8(r, p));
  }
#endif
  for (; i < size; ++i) row[i] = static_cast<uint8_t>(row[i] + prior[i]);
}

void sub_scalar(uint8_t* row, size_t size, uint32_t d) {
  for (size_t i = d; i < size; ++i) row[i] = static_cast<uint8_t>(row[i] + row[i - d]);
}

void average_scalar(uint8_t* row, const uint8_t* prior, size_t size, uint32_t d) {
  size_t i = 0;
  for (; i < d && i < size; ++i) row[i] = static_cast<uint8_t>(row[i] + (prior[i] >> 1));
  for (; i < size; ++i) row[i] = static_cast<uint8_t>(row[i] + ((row[i - d] + prior[i]) >> 1));
}

void paeth_scalar(uint8_t* row, const uint8_t* prior, size_t size, uint32_t d) {
  size_t i = 0;
  for (; i < d && i < size; ++i) row[i] = static_cast<uint8_t>(row[i] + prior[i]);
  for (; i < size; ++i)
    row[i] = static_cast<uint8_t>(row[i] + paeth(row[i - d], prior[i], prior[i - d]));
}

#if defined(__SSE2__)
// One pixel of D bytes in the low bytes of a register, and back. Built
// from whole 2-, 4- and 8-byte moves: assembling a pixel in memory from
// smaller stores and reloading it would stall every pixel.
template <typename T>
inline T load(const uint8_t* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
template <typename T>
inline void store(uint8_t* p, T v) {
  std::memcpy(p, &v, sizeof v);
}

template <uint32_t D>
inline __m128i pixel_load(const uint8_t* p) {
  static_assert(D == 3 || D == 4 || D == 6 || D == 8);
  if constexpr (D == 3) return _mm_cvtsi32_si128(static_cast<int>(load<uint16_t>(p) | uint32_t{p[2]} << 16));
  if constexpr (D == 4) return _mm_cvtsi32_si128(static_cast<int>(load<uint32_t>(p)));
  if constexpr (D == 6)
    return _mm_cvtsi64_si128(static_cast<long long>(load<uint32_t>(p) | uint64_t{load<uint16_t>(p + 4)} << 32));
  if constexpr (D == 8) return _mm_cvtsi64_si128(static_cast<long long>(load<uint64_t>(p)));
}
template <uint32_t D>
inline void pixel_store(uint8_t* p, __m128i x) {
  const auto v = static_cast<uint64_t>(_mm_cvtsi128_si64(x));
  if constexpr (D == 3) {
    store(p, static_cast<uint16_t>(v));
    p[2] = static_cast<uint8_t>(v >> 16);
  } else if constexpr (D == 4) {
    store(p, static_cast<uint32_t>(v));
  } else if constexpr (D == 6) {
    store(p, static_cast<uint32_t>(v));
    store(p + 4, static_cast<uint16_t>(v >> 32));
  } else {
    store(p, v);
  }
}

template <uint32_t D>
void sub_vector(uint8_t* row, size_t size) {
  __m128i a = _mm_setzero_si128();
  for (size_t i = 0; i + D <= size; i += D) {
    a = _mm_add_epi8(pixel_load<D>(row + i), a);
    pixel_store<D>(row + i, a);
  }
}

// The average must truncate; the rounding average is one too high exactly
// when a + b is odd.
template <uint32_t D>
void average_vector(uint8_t* row, const uint8_t* prior, size_t size) {
  const __m128i one = _mm_set1_epi8(1);
  __m128i a = _mm_setzero_si128();
  for (size_t i = 0; i + D <= size; i += D) {
    const __m128i b = pixel_load<D>(prior + i);
    __m128i avg = _mm_avg_epu8(a, b);
    avg = _mm_sub_epi8(avg, _mm_and_si128(_mm_xor_si128(a, b), one));
    a = _mm_add_epi8(pixel_load<D>(row + i), avg);
    pixel_store<D>(row + i, a);
  }
}

inline __m128i abs16(__m128i x) { return _mm_max_epi16(x, _mm_sub_epi16(_mm_setzero_si128(), x)); }
inline __m128i select(__m128i mask, __m128i yes, __m128i no) {
  return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
}

// In 16-bit lanes: |p - a| = |b - c|, |p - b| = |a - c|,
// |p - c| = |(b - c) + (a - c)|.
template <uint32_t D>
void paeth_vector(uint8_t* row, const uint8_t* prior, size_t size) {
  const __m128i zero = _mm_setzero_si128();
  __m128i a = zero, c = zero;
  for (size_t i = 0; i + D <= size; i += D) {
    const __m128i b = _mm_unpacklo_epi8(pixel_load<D>(prior + i), zero);
    const __m128i x = _mm_unpacklo_epi8(pixel_load<D>(row + i), zero);
    const __m128i bc = _mm_sub_epi16(b, c), ac = _mm_sub_epi16(a, c);
    const __m128i pa = abs16(bc), pb = abs16(ac), pc = abs16(_mm_add_epi16(bc, ac));
    const __m128i least = _mm_min_epi16(_mm_min_epi16(pa, pb), pc);
    const __m128i pick =
        select(_mm_cmpeq_epi16(least, pa), a, select(_mm_cmpeq_epi16(least, pb), b, c));
    // Add modulo 256 in each byte; the high byte of every lane stays 0.
    a = _mm_add_epi8(x, pick);
    pixel_store<D>(row + i, _mm_packus_epi16(a, a));
    c = b;
  }
}

template <uint32_t D>
void filter_vector(uint8_t filter, uint8_t* row, const uint8_t* prior, size_t size) {
  switch (filter) {
    case kFilterSub: sub_vector<D>(row, size); break;
    case kFilterAverage: average_vector<D>(row, prior, size); break;
    default: paeth_vector<D>(row, prior, size); break;
  }
}
#endif

}  // namespace

bool row_unfilter_reference(uint8_t filter, uint8_t* row, const uint8_t* prior, size_t size,
                            uint32_t distance) {
  if (filter >= kFilterCount) return false;
  const size_t d = distance == 0 ? 1 : distance;
  for (size_t i = 0; i < size; ++i) {
    const int32_t a = i >= d ? row[i - d] : 0;
    const int32_t b = prior[i];
    const int32_t c = i >= d ? prior[i - d] : 0;
    int32_t predicted = 0;
    switch (filter) {
      case kFilterSub: predicted = a; break;
      case kFilterUp: predicted = b; break;
      case kFilterAverage: predicted = (a + b) / 2; break;
      case kFilterPaeth: {
        const int32_t p = a + b - c;
        const int32_t pa = iabs(p - a), pb = iabs(p - b), pc = iabs(p - c);
        predicted = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
        break;
      }
      default: break;
    }
    row[i] = static_cast<uint8_t>(row[i] + predicted);
  }
  return true;
}

bool row_unfilter(uint8_t filter, uint8_t* row, const uint8_t* prior, size_t size,
                  uint32_t distance) {
  const uint32_t d = distance == 0 ? 1 : distance;
  switch (filter) {
    case kFilterNone: return true;
    case kFilterUp: up(row, prior, size); return true;
    case kFilterSub:
    case kFilterAverage:
    case kFilterPaeth: break;
    default: return false;
  }
#if defined(__SSE2__)
  // Every row of these distances is a whole number of pixels.
  switch (d) {
    case 3: filter_vector<3>(filter, row, prior, size); return true;
    case 4: filter_vector<4>(filter, row, prior, size); return true;
    case 6: filter_vector<6>(filter, row, prior, size); return true;
    case 8: filter_vector<8>(filter, row, prior, size); return true;
    default: break;
  }
#endif
  if (filter == kFilterSub) sub_scalar(row, size, d);
  else if (filter == kFilterAverage) average_scalar(row, prior, size, d);
  else paeth_scalar(row, prior, size, d);
  return true;
}

void pass_row_scatter(const uint8_t* pass_row, uint32_t pass_width, const Pass& pass,
                      uint32_t bits, uint8_t* image_row) {
  if (bits >= 8) {
    const uint32_t bytes = bits / 8;
    for (uint32_t i = 0; i < pass_width; ++i)
      std::memcpy(image_row + (size_t{pass.x0} + size_t{i} * pass.dx) * bytes,
                  pass_row + size_t{i} * bytes, bytes);
    return;
  }
  // Sub-byte pixels, most significant first in each byte.
  const uint32_t mask = (1u << bits) - 1;
  for (uint32_t i = 0; i < pass_width; ++i) {
    const size_t from = size_t{i} * bits;
    const uint32_t v = (pass_row[from / 8] >> (8 - bits - from % 8)) & mask;
    const size_t to = (size_t{pass.x0} + size_t{i} * pass.dx) * bits;
    const uint32_t shift = 8 - bits - static_cast<uint32_t>(to % 8);
    uint8_t& out = image_row[to / 8];
    out = static_cast<uint8_t>((out & ~(mask << shift)) | v << shift);
  }
}

}  // namespace rx::png
