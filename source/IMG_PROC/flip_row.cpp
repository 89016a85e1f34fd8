// 24-bit rows reversed in place, pixel by pixel or sixteen at a time.
#include "IMG_PROC/flip_row.h"

#include <array>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define RX_FLIP_SSSE3 1
#endif

namespace rx::ip {

void reverse_row_24_plain(uint8_t* row, uint32_t width) {
  uint8_t* a = row;
  uint8_t* b = row + 3 * size_t{width};
  for (uint32_t i = 0; i < width / 2; ++i, a += 3) {
    b -= 3;
    uint8_t t[3];
    std::memcpy(t, a, 3);
    std::memcpy(a, b, 3);
    std::memcpy(b, t, 3);
  }
}

#ifdef RX_FLIP_SSSE3

namespace {

// Byte i of reversed register r comes from byte masks[r][q][i] of source
// register q (-1: not from that one): 48 bytes are sixteen pixels, and
// pixel k of the result is pixel 15 - k of the source.
constexpr std::array<std::array<std::array<int8_t, 16>, 3>, 3> make_masks() {
  std::array<std::array<std::array<int8_t, 16>, 3>, 3> m{};
  for (auto& r : m)
    for (auto& q : r)
      for (auto& b : q) b = -1;
  for (int j = 0; j < 48; ++j) {
    const int from = 3 * (15 - j / 3) + j % 3;
    m[j / 16][from / 16][j % 16] = static_cast<int8_t>(from % 16);
  }
  return m;
}

constexpr auto kMasks = make_masks();

__attribute__((target("ssse3"))) inline void reverse48(const uint8_t* in, uint8_t* out) {
  __m128i x[3];
  for (int q = 0; q < 3; ++q) x[q] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 16 * q));
  for (int r = 0; r < 3; ++r) {
    __m128i y = _mm_setzero_si128();
    for (int q = 0; q < 3; ++q)
      y = _mm_or_si128(y, _mm_shuffle_epi8(x[q], _mm_loadu_si128(reinterpret_cast<const __m128i*>(kMasks[r][q].data()))));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16 * r), y);
  }
}

// Sixteen pixels from each end change places, reversed, until fewer than
// 32 remain in the middle.
__attribute__((target("ssse3"))) void reverse_row_24_ssse3(uint8_t* row, uint32_t width) {
  uint8_t* a = row;
  uint8_t* b = row + 3 * size_t{width};
  alignas(16) uint8_t left[48];
  while (b - a >= 96) {
    std::memcpy(left, a, 48);
    reverse48(b - 48, a);
    reverse48(left, b - 48);
    a += 48;
    b -= 48;
  }
  reverse_row_24_plain(a, static_cast<uint32_t>((b - a) / 3));
}

}  // namespace

void reverse_row_24(uint8_t* row, uint32_t width) {
  static const bool ssse3 = __builtin_cpu_supports("ssse3");
  if (ssse3) reverse_row_24_ssse3(row, width);
  else reverse_row_24_plain(row, width);
}

#else

void reverse_row_24(uint8_t* row, uint32_t width) { reverse_row_24_plain(row, width); }

#endif

}  // namespace rx::ip
