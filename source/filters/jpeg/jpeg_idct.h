// The JPEG reader's inverse DCT: 64 prescaled coefficients (natural order)
// to an 8x8 block of level-shifted samples.
#pragma once

#include <cstdint>

namespace rx::jpeg {

// `coef` holds each coefficient multiplied by its quantisation value and by
// P(u, v) / 2, P being the writer's post-scale table; `last` is the highest
// zig-zag index that may be non-zero and no |coef| exceeds `magnitude`.
// Writes 8 rows of 8 samples, each limited to -128..127, `stride` bytes
// apart.
using IdctFn = void (*)(const int32_t coef[64], int32_t last, uint32_t magnitude, int8_t* out,
                        int32_t stride);

// The transform as written down, every block the same way.
void idct_reference(const int32_t coef[64], int32_t last, uint32_t magnitude, int8_t* out,
                    int32_t stride);
// The same arithmetic, in vector lanes where the coefficients allow and
// skipping what zero coefficients make zero; its results are identical to
// the reference for every input.
void idct_fast(const int32_t coef[64], int32_t last, uint32_t magnitude, int8_t* out,
               int32_t stride);

}  // namespace rx::jpeg
