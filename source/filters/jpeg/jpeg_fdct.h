// The forward DCT of the JPEG writer: 64 level-shifted samples in, 64
// coefficients in natural (row-major) order out, on the same scale as the
// T.81 definition.
#pragma once

#include <cstdint>

namespace rx::jpeg::enc {

// `src` points at the block's top-left sample; `stride` is the distance
// between its rows.
using FdctFn = void (*)(const int8_t* src, int32_t stride, int32_t out[64]);

// The fast kernel (straight-line code on rows of eight lanes) and the plain
// one it must agree with bit for bit.
void fdct_fast(const int8_t* src, int32_t stride, int32_t out[64]);
void fdct_reference(const int8_t* src, int32_t stride, int32_t out[64]);

}  // namespace rx::jpeg::enc
