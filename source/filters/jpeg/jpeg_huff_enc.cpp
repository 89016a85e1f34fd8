// Entropy coding of one block and the slow edges of the bit writer.
#include "filters/jpeg/jpeg_huff_enc.h"

#include <bit>
#include <cstring>

#include "SUPPORT/error.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

RX_SOURCE("source\\filters\\jpeg\\jpeg_huff_enc.cpp");

namespace rx::jpeg::enc {
namespace {

static_assert(kDcLuminanceCodes.length(11) == 9 && kDcChrominanceCodes.length(11) == 11);
static_assert(kAcLuminanceCodes.length(0x00) == 4 && kAcLuminanceCodes.code(0x00) == 0xA);
static_assert(kAcLuminanceCodes.length(0xF0) == 11 && kAcLuminanceCodes.code(0xF0) == 0x7F9);
static_assert(kAcChrominanceCodes.length(0x00) == 2 && kAcChrominanceCodes.code(0x00) == 0);

// The symbol's code followed by the value's low `size` bits (of value - 1
// for a negative value), in one call: at most 16 + 16 bits. Coefficients
// never exceed 11 bits; the mask only keeps a wild value inside the table.
inline void emit(BitWriter& bw, const HuffCodeTable& table, int32_t run, int32_t value) {
  const int32_t sign = value >> 31;  // 0 or -1
  const auto magnitude = static_cast<uint32_t>((value ^ sign) - sign);
  const int32_t size = magnitude == 0 ? 0 : 32 - std::countl_zero(magnitude);
  const uint32_t e = table.entry[((run << 4) | size) & 0xFF];
  const uint32_t extra = static_cast<uint32_t>(value + sign) & ((1u << size) - 1);
  bw.put(((e & 0xFFFFu) << size) | extra, static_cast<int32_t>(e >> 16) + size);
}

// Bit k set when zz[k] is not zero. Saturating packs keep every non-zero
// value non-zero down to bytes, so one compare covers sixteen values.
inline uint64_t nonzero_mask(const int32_t zz[64]) {
#if defined(__SSE2__)
  uint64_t mask = 0;
  const __m128i zero = _mm_setzero_si128();
  for (int k = 0; k < 64; k += 16) {
    const auto* p = reinterpret_cast<const __m128i*>(zz + k);
    const __m128i a = _mm_packs_epi32(_mm_loadu_si128(p), _mm_loadu_si128(p + 1));
    const __m128i b = _mm_packs_epi32(_mm_loadu_si128(p + 2), _mm_loadu_si128(p + 3));
    const auto zeros = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_packs_epi16(a, b), zero)));
    mask |= uint64_t{~zeros & 0xFFFFu} << k;
  }
  return mask;
#else
  uint64_t mask = 0;
  for (int k = 0; k < 64; ++k) mask |= uint64_t{zz[k] != 0} << k;
  return mask;
#endif
}

}  // namespace

void BitWriter::drain() {
  uint8_t* p = used > 0 ? io_buffer_reserve(out, used) : nullptr;
  if (p != nullptr) std::memcpy(p, bytes, static_cast<size_t>(used));
  else if (used > 0) failed = true;
  used = 0;
}

void BitWriter::word_stuffed(uint32_t w) {
  for (int shift = 24; shift >= 0; shift -= 8) {
    const auto b = static_cast<uint8_t>(w >> shift);
    byte(b);
    if (b == 0xFF) byte(0);
  }
}

void BitWriter::finish() {
  if (count % 8 != 0) {
    const int32_t pad = 8 - count % 8;
    put((1u << pad) - 1, pad);
  }
  for (count -= 8; count >= 0; count -= 8) {
    const auto b = static_cast<uint8_t>(acc >> count);
    byte(b);
    if (b == 0xFF) byte(0);
  }
  count = 0;
  drain();
}

void block_encode(BitWriter& bw, const int32_t zz[64], int32_t* predictor,
                  const HuffCodeTable& dc, const HuffCodeTable& ac) {
  // The predictor and the difference are 16-bit quantities.
  const auto diff = static_cast<int16_t>(zz[0] - *predictor);
  *predictor = static_cast<int16_t>(zz[0]);
  emit(bw, dc, 0, diff);

  // Walk the non-zero values only: the zeros between them are runs, and
  // sixteen zeros before a value make a ZRL.
  uint64_t nonzero = nonzero_mask(zz) & ~uint64_t{1};
  int32_t last = 0;
  while (nonzero != 0) {
    const int32_t k = std::countr_zero(nonzero);
    nonzero &= nonzero - 1;
    int32_t run = k - last - 1;
    for (; run > 15; run -= 16) emit(bw, ac, 15, 0);  // ZRL: sixteen zeros
    emit(bw, ac, run, zz[k]);
    last = k;
  }
  if (last < 63) emit(bw, ac, 0, 0);  // EOB: the zeros after the last value
  bw.drain_if_full();
}

}  // namespace rx::jpeg::enc
