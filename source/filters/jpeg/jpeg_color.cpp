// Row output of the JPEG reader: YCbCr to blue-green-red through four
// tables of colour terms and a range-limit table. Beside the general
// counter form, the common sampling layouts have direct paths that look the
// terms up once per chroma row and add and limit sixteen pixels at a time.
#include "filters/jpeg/jpeg_color.h"

#include <array>
#include <cstring>

#include "SUPPORT/error.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

RX_SOURCE("source\\filters\\jpeg\\jpeg_color.cpp");

namespace rx::jpeg {
namespace {

constexpr int16_t round_away(double x) {
  return x >= 0 ? static_cast<int16_t>(x + 0.5) : static_cast<int16_t>(-static_cast<int>(-x + 0.5));
}

// Each entry is c * s rounded, s being the signed chroma offset, except the
// two ends of the negative half (s = -128 and s = -1): their values are
// fixed for compatibility, and images decoded here must show them exactly.
constexpr std::array<int16_t, 256> term_table(double c, int16_t at_minus1, int16_t at_minus128) {
  std::array<int16_t, 256> t{};
  for (int i = 0; i < 256; ++i) t[i] = round_away(c * (i < 128 ? i : i - 256));
  t[255] = at_minus1;
  t[128] = at_minus128;
  return t;
}

constexpr ColourTables kColour = {term_table(1.402, 0, -177), term_table(0.344136, 0, -43),
                                  term_table(0.714136, 0, -90), term_table(1.772, -1, -224)};

static_assert(kColour.red_cr[1] == 1 && kColour.green_cb[1] == 0 && kColour.green_cr[1] == 1 &&
              kColour.blue_cb[1] == 2);
static_assert(kColour.red_cr[127] == 178 && kColour.green_cb[127] == 44 &&
              kColour.green_cr[127] == 91 && kColour.blue_cb[127] == 225);
static_assert(kColour.red_cr[128] == -177 && kColour.green_cb[128] == -43 &&
              kColour.green_cr[128] == -90 && kColour.blue_cb[128] == -224);
static_assert(kColour.red_cr[255] == 0 && kColour.green_cb[255] == 0 &&
              kColour.green_cr[255] == 0 && kColour.blue_cb[255] == -1);

// Sums stay within -128 - 44 - 91 .. 127 + 225; the table covers -512..511.
constexpr int kLimitOffset = 512;
constexpr std::array<uint8_t, 1024> kLimit = [] {
  std::array<uint8_t, 1024> t{};
  for (int i = 0; i < 1024; ++i) {
    const int v = i - kLimitOffset + 128;
    t[i] = static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
  }
  return t;
}();

inline uint8_t chroma(const int8_t* plane, int32_t i) { return static_cast<uint8_t>(plane[i]); }

inline uint8_t limit(int32_t s) { return kLimit[static_cast<size_t>(s + kLimitOffset)]; }

// The terms of `n` chroma columns, unless they are already there.
void terms_fill(const ColourRow& in, int32_t n) {
  ChromaTerms* t = in.terms;
  if (t->cb == in.plane[1] && t->cr == in.plane[2]) return;
  for (int32_t i = 0; i < n; ++i) {
    const uint8_t cb = chroma(in.plane[1], i);
    const uint8_t cr = chroma(in.plane[2], i);
    t->blue[i] = static_cast<int16_t>(kColour.blue_cb[cb] + 128);
    t->green[i] = static_cast<int16_t>(128 - kColour.green_cb[cb] - kColour.green_cr[cr]);
    t->red[i] = static_cast<int16_t>(kColour.red_cr[cr] + 128);
  }
  t->cb = in.plane[1];
  t->cr = in.plane[2];
}

// One pixel from its luma sample and the terms of its chroma column j:
// limit(y + term - 128) is the same clamp of the same sum.
inline void pixel_put(uint8_t* out, int32_t y, const ChromaTerms* t, int32_t j) {
  out[0] = limit(y + t->blue[j] - 128);
  out[1] = limit(y + t->green[j] - 128);
  out[2] = limit(y + t->red[j] - 128);
}

#if defined(__SSE2__)

// Four pixels held as blue, green, red, 0 in 32-bit lanes to 12 bytes; the
// store is 16 bytes wide.
inline void store12(uint8_t* out, __m128i p) {
  const __m128i low24 = _mm_set_epi32(0, 0x00FFFFFF, 0, 0x00FFFFFF);
  const __m128i mid24 = _mm_set_epi32(0x0000FFFF, static_cast<int>(0xFF000000u), 0x0000FFFF,
                                      static_cast<int>(0xFF000000u));
  const __m128i first6 = _mm_set_epi32(0, 0, 0x0000FFFF, -1);
  // Each 64-bit half: pixel 0 in bytes 0..2, pixel 1 moved down to 3..5.
  const __m128i c =
      _mm_or_si128(_mm_and_si128(p, low24), _mm_and_si128(_mm_srli_epi64(p, 8), mid24));
  // The upper half's six bytes moved down to follow the lower half's.
  const __m128i packed = _mm_or_si128(_mm_and_si128(c, first6),
                                      _mm_andnot_si128(first6, _mm_srli_si128(c, 2)));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), packed);
}

// The same twelve bytes stored exactly, for the last four pixels of a
// group: rows may be written in place, where the bytes past them belong to
// the row before.
inline void store12_exact(uint8_t* out, __m128i p) {
  alignas(16) uint8_t bytes[16];
  store12(bytes, p);
  std::memcpy(out, bytes, 12);
}

// Sixteen pixels: luma bytes y, terms of pixels 0..7 and 8..15. The
// saturating pack is the limit to 0..255.
inline void put16(uint8_t* out, __m128i y, const __m128i b[2], const __m128i g[2],
                  const __m128i r[2]) {
  const __m128i ylo = _mm_srai_epi16(_mm_unpacklo_epi8(y, y), 8);
  const __m128i yhi = _mm_srai_epi16(_mm_unpackhi_epi8(y, y), 8);
  const __m128i B = _mm_packus_epi16(_mm_add_epi16(ylo, b[0]), _mm_add_epi16(yhi, b[1]));
  const __m128i G = _mm_packus_epi16(_mm_add_epi16(ylo, g[0]), _mm_add_epi16(yhi, g[1]));
  const __m128i R = _mm_packus_epi16(_mm_add_epi16(ylo, r[0]), _mm_add_epi16(yhi, r[1]));
  const __m128i zero = _mm_setzero_si128();
  const __m128i bg0 = _mm_unpacklo_epi8(B, G), bg1 = _mm_unpackhi_epi8(B, G);
  const __m128i r0 = _mm_unpacklo_epi8(R, zero), r1 = _mm_unpackhi_epi8(R, zero);
  store12(out, _mm_unpacklo_epi16(bg0, r0));
  store12(out + 12, _mm_unpackhi_epi16(bg0, r0));
  store12(out + 24, _mm_unpacklo_epi16(bg1, r1));
  store12_exact(out + 36, _mm_unpackhi_epi16(bg1, r1));
}

inline __m128i load8(const int16_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

inline __m128i load16(const int8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// Whole groups of 16 pixels; returns how many pixels were done.
int32_t full_lanes(const int8_t* y, const ChromaTerms* t, uint8_t* out, int32_t width) {
  int32_t x = 0;
  for (; x + 16 <= width; x += 16) {
    const __m128i b[2] = {load8(t->blue + x), load8(t->blue + x + 8)};
    const __m128i g[2] = {load8(t->green + x), load8(t->green + x + 8)};
    const __m128i r[2] = {load8(t->red + x), load8(t->red + x + 8)};
    put16(out + 3 * x, load16(y + x), b, g, r);
  }
  return x;
}

int32_t half_lanes(const int8_t* y, const ChromaTerms* t, uint8_t* out, int32_t width) {
  int32_t x = 0;
  for (; x + 16 <= width; x += 16) {
    const __m128i tb = load8(t->blue + x / 2), tg = load8(t->green + x / 2);
    const __m128i tr = load8(t->red + x / 2);
    const __m128i b[2] = {_mm_unpacklo_epi16(tb, tb), _mm_unpackhi_epi16(tb, tb)};
    const __m128i g[2] = {_mm_unpacklo_epi16(tg, tg), _mm_unpackhi_epi16(tg, tg)};
    const __m128i r[2] = {_mm_unpacklo_epi16(tr, tr), _mm_unpackhi_epi16(tr, tr)};
    put16(out + 3 * x, load16(y + x), b, g, r);
  }
  return x;
}

#else

int32_t full_lanes(const int8_t*, const ChromaTerms*, uint8_t*, int32_t) { return 0; }
int32_t half_lanes(const int8_t*, const ChromaTerms*, uint8_t*, int32_t) { return 0; }

#endif

}  // namespace

const ColourTables& colour_tables() { return kColour; }

const PackedTerms& packed_terms() {
  static constexpr PackedTerms kPacked = [] {
    PackedTerms p{};
    const auto half = [](int32_t v) { return static_cast<uint32_t>(v) & 0xFFFFu; };
    for (size_t c = 0; c < 256; ++c) {
      p.cb[c] = half(kColour.blue_cb[c] + 128) | half(-kColour.green_cb[c]) << 16;
      p.cr[c] = half(kColour.red_cr[c] + 128) | half(128 - kColour.green_cr[c]) << 16;
    }
    return p;
  }();
  return kPacked;
}

uint8_t range_limit(int32_t s) {
  if (s < -kLimitOffset) return 0;
  if (s >= kLimitOffset) return 255;
  return limit(s);
}

void colour_row_reference(const ColourRow& in, uint8_t* out, int32_t width) {
  int32_t col[3] = {0, 0, 0};
  int32_t count[3] = {0, 0, 0};
  for (int32_t x = 0; x < width; ++x, out += 3) {
    const int32_t y = in.plane[0][col[0]];
    const uint8_t cb = chroma(in.plane[1], col[1]);
    const uint8_t cr = chroma(in.plane[2], col[2]);
    out[0] = limit(y + kColour.blue_cb[cb]);
    out[1] = limit(y - kColour.green_cb[cb] - kColour.green_cr[cr]);
    out[2] = limit(y + kColour.red_cr[cr]);
    for (int c = 0; c < 3; ++c) {
      count[c] += in.h[c];
      if (count[c] >= in.hmax) {
        count[c] -= in.hmax;
        ++col[c];
      }
    }
  }
}

void colour_row_full(const ColourRow& in, uint8_t* out, int32_t width) {
  terms_fill(in, width);
  const int8_t* y = in.plane[0];
  for (int32_t x = full_lanes(y, in.terms, out, width); x < width; ++x)
    pixel_put(out + 3 * x, y[x], in.terms, x);
}

void colour_row_half(const ColourRow& in, uint8_t* out, int32_t width) {
  terms_fill(in, (width + 1) / 2);
  const int8_t* y = in.plane[0];
  for (int32_t x = half_lanes(y, in.terms, out, width); x < width; ++x)
    pixel_put(out + 3 * x, y[x], in.terms, x / 2);
}

void chroma_terms_fill(const ColourRow& in, int32_t n) { terms_fill(in, n); }

void colour_pixels(const ColourRow& in, uint8_t* out, int32_t x0, int32_t width, bool half) {
  const int8_t* y = in.plane[0];
  for (int32_t x = x0; x < width; ++x) pixel_put(out + 3 * x, y[x], in.terms, half ? x / 2 : x);
}

ColourFn colour_row_choose(const int32_t h[3], int32_t hmax, KernelLevel level) {
  if (level == KernelLevel::kReference) return colour_row_reference;
  const ColourFn fn = colour_row_choose(h, hmax);
  if (level != KernelLevel::kAvx2) return fn;
  if (fn == colour_row_full) return colour_row_full_avx2;
  if (fn == colour_row_half) return colour_row_half_avx2;
  return fn;
}

ColourFn colour_row_choose(const int32_t h[3], int32_t hmax) {
  if (h[0] == hmax && h[1] == hmax && h[2] == hmax) return colour_row_full;
  if (h[0] == hmax && h[1] == h[2] && 2 * h[1] == hmax) return colour_row_half;
  return colour_row_reference;
}

void gray_row(const int8_t* in, uint8_t* out, int32_t width) {
  for (int32_t x = 0; x < width; ++x) out[x] = static_cast<uint8_t>(in[x] ^ 0x80);
}

}  // namespace rx::jpeg
