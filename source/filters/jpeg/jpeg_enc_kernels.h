// The kernels of the JPEG writer at each kernel level: row sampling, the
// transform with quantisation of a row of blocks, and block coding. Every
// level gives the same bytes; the plain one is the measure of the others.
#pragma once

#include <cstdint>

#include "SUPPORT/kernels.h"
#include "filters/jpeg/jpeg_downsample.h"
#include "filters/jpeg/jpeg_huff_enc.h"
#include "filters/jpeg/jpeg_quant.h"

namespace rx::jpeg::enc {

// Where the quantised blocks of one row of a component go: the blocks of a
// band are kept in coding order, so block i of the row lands in MCU
// i / group, at place i % group among that component's blocks there.
struct BlockSink {
  int16_t* base;       // the row's first block
  int32_t group;       // blocks of this component side by side in one MCU (H)
  int32_t group_step;  // values from one MCU to the next (64 x blocks per MCU)
  int16_t* at(int32_t i) const {
    return base + static_cast<int64_t>(i / group) * group_step + (i % group) * 64;
  }
};

// Forward DCT and quantisation of `count` blocks lying side by side from
// `src` (rows `stride` apart), each written in zig-zag order to the sink.
using BlockRowFn = void (*)(const int8_t* src, int32_t stride, int32_t count,
                            const QuantTable& q, const BlockSink& out);

void block_row_reference(const int8_t* src, int32_t stride, int32_t count, const QuantTable& q,
                         const BlockSink& out);
void block_row_sse2(const int8_t* src, int32_t stride, int32_t count, const QuantTable& q,
                    const BlockSink& out);
// Eight blocks at a time, one block per 32-bit lane.
void block_row_avx2(const int8_t* src, int32_t stride, int32_t count, const QuantTable& q,
                    const BlockSink& out);

struct EncodeKernels {
  RowSampleFn sample;
  BlockRowFn blocks;
  BlockEncodeFn code;  // one block
  BandEncodeFn band;   // a band of blocks, as `code` would code them one by one
};

// The kernels of a level.
const EncodeKernels& encode_kernels(KernelLevel level);

}  // namespace rx::jpeg::enc
