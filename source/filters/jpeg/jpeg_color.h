// The JPEG reader's row output: level-shifted samples of one band row to
// an 8-bit gray row or a 24-bit blue-green-red row.
#pragma once

#include <array>
#include <cstdint>

#include "SUPPORT/kernels.h"

namespace rx::jpeg {

// The four colour terms, indexed by a level-shifted chroma sample read as
// an unsigned byte (0..127 for chroma 128..255, 128..255 for chroma 0..127).
struct ColourTables {
  std::array<int16_t, 256> red_cr;    // about 1.402 (Cr - 128)
  std::array<int16_t, 256> green_cb;  // about 0.344 (Cb - 128)
  std::array<int16_t, 256> green_cr;  // about 0.714 (Cr - 128)
  std::array<int16_t, 256> blue_cb;   // about 1.772 (Cb - 128)
};
const ColourTables& colour_tables();

// limit(s) = s + 128 limited to 0..255, for any sum s of a level-shifted
// sample and colour terms.
uint8_t range_limit(int32_t s);

// The colour terms of one chroma row, ready to add to luma: blue + 128,
// 128 - green, red + 128 for each chroma column. The fast paths fill it
// once and reuse it for every luma row that shares the chroma row; `cb`
// null marks it empty (a new band must empty it).
struct ChromaTerms {
  const int8_t* cb;
  const int8_t* cr;
  int16_t* blue;
  int16_t* green;
  int16_t* red;
};

// One output row of three components. Component c's sample for pixel x is
// at column floor(x * h[c] / hmax), as a counter that grows by h[c] per
// pixel and steps at hmax gives it: chroma is replicated, not interpolated.
struct ColourRow {
  const int8_t* plane[3];  // Y, Cb, Cr rows of the band
  int32_t h[3];            // horizontal sampling factors
  int32_t hmax;
  ChromaTerms* terms;  // scratch of the fast paths, as many entries as chroma columns
};

using ColourFn = void (*)(const ColourRow& in, uint8_t* out, int32_t width);

// Any factors, the counters as written down. Needs no terms.
void colour_row_reference(const ColourRow& in, uint8_t* out, int32_t width);
// Each pixel its own Y, Cb and Cr sample (factors h, h, h).
void colour_row_full(const ColourRow& in, uint8_t* out, int32_t width);
// Two Y samples to one Cb, Cr pair (factors 2h, h, h).
void colour_row_half(const ColourRow& in, uint8_t* out, int32_t width);
// The same two layouts in 256-bit lanes (x86-64 processors with AVX2).
void colour_row_full_avx2(const ColourRow& in, uint8_t* out, int32_t width);
void colour_row_half_avx2(const ColourRow& in, uint8_t* out, int32_t width);
// The fastest of the above that gives the same bytes for these factors.
// Every path writes exactly the row's 3 * width bytes.
ColourFn colour_row_choose(const int32_t h[3], int32_t hmax);
// The same choice among the paths of a kernel level.
ColourFn colour_row_choose(const int32_t h[3], int32_t hmax, KernelLevel level);

// The colour terms packed for wide lookups, by chroma byte (as
// ColourTables indexes): for Cb, blue + 128 in the low 16 bits and
// -green in the high; for Cr, red + 128 low and 128 - green high. The
// green term of a pair is the sum of the two high halves.
struct PackedTerms {
  std::array<uint32_t, 256> cb;
  std::array<uint32_t, 256> cr;
};
const PackedTerms& packed_terms();

// Pieces the vector paths share: the terms of the first `n` chroma
// columns (unless already there), and pixels x0..width-1 one at a time,
// pixel x taking chroma column x (full) or x / 2 (half).
void chroma_terms_fill(const ColourRow& in, int32_t n);
void colour_pixels(const ColourRow& in, uint8_t* out, int32_t x0, int32_t width, bool half);

// One component: sample + 128.
void gray_row(const int8_t* in, uint8_t* out, int32_t width);

}  // namespace rx::jpeg
