// The writer's kernel table, and the block-row kernels of the plain and
// SSE2 levels (one block at a time).
#include "filters/jpeg/jpeg_enc_kernels.h"

#include "SUPPORT/error.h"
#include "filters/jpeg/jpeg_fdct.h"

RX_SOURCE("source\\filters\\jpeg\\jpeg_enc_kernels.cpp");

namespace rx::jpeg::enc {

void block_row_reference(const int8_t* src, int32_t stride, int32_t count, const QuantTable& q,
                         const BlockSink& out) {
  for (int32_t i = 0; i < count; ++i) {
    int32_t coef[64];
    fdct_reference(src + 8 * i, stride, coef);
    quantise_reference(coef, q, out.at(i));
  }
}

void block_row_sse2(const int8_t* src, int32_t stride, int32_t count, const QuantTable& q,
                    const BlockSink& out) {
  for (int32_t i = 0; i < count; ++i) {
    int32_t coef[64];
    fdct_fast(src + 8 * i, stride, coef);
    quantise_fast(coef, q, out.at(i));
  }
}

const EncodeKernels& encode_kernels(KernelLevel level) {
  static constexpr EncodeKernels kReference = {row_sample_reference, block_row_reference,
                                               block_encode_reference, band_encode_reference};
  static constexpr EncodeKernels kSse2 = {row_sample_fast, block_row_sse2, block_encode,
                                          band_encode_sse2};
  static constexpr EncodeKernels kAvx2 = {row_sample_avx2, block_row_avx2, block_encode_avx2,
                                          band_encode_avx2};
  switch (level) {
    case KernelLevel::kAvx2: return kAvx2;
    case KernelLevel::kSse2: return kSse2;
    default: return kReference;
  }
}

}  // namespace rx::jpeg::enc
