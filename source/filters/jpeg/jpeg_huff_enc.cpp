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

// Bit k set when zz[k] is not zero. A saturating pack keeps every non-zero
// value non-zero down to bytes, so one compare covers sixteen values.
inline uint64_t nonzero_mask(const int16_t zz[64]) {
#if defined(__SSE2__)
  uint64_t mask = 0;
  const __m128i zero = _mm_setzero_si128();
  for (int k = 0; k < 64; k += 16) {
    const auto* p = reinterpret_cast<const __m128i*>(zz + k);
    const __m128i bytes = _mm_packs_epi16(_mm_loadu_si128(p), _mm_loadu_si128(p + 1));
    const auto zeros = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, zero)));
    mask |= uint64_t{~zeros & 0xFFFFu} << k;
  }
  return mask;
#else
  uint64_t mask = 0;
  for (int k = 0; k < 64; ++k) mask |= uint64_t{zz[k] != 0} << k;
  return mask;
#endif
}

// The number of significant bits of |v|, counted one by one.
int32_t size_of(int32_t v) {
  uint32_t magnitude = static_cast<uint32_t>(v < 0 ? -v : v);
  int32_t size = 0;
  for (; magnitude != 0; magnitude >>= 1) ++size;
  return size;
}

// The symbol's code, then the low `size` bits of the value (of value - 1
// when it is negative), each through its own call.
void emit_reference(BitWriter& bw, const HuffCodeTable& table, int32_t symbol, int32_t value,
                    int32_t size) {
  bw.put(table.code(symbol), table.length(symbol));
  if (size == 0) return;
  const int32_t bits = value < 0 ? value - 1 : value;
  bw.put(static_cast<uint32_t>(bits) & ((1u << size) - 1), size);
}

}  // namespace

void block_encode_reference(BitWriter& bw, const int16_t zz[64], int32_t* predictor,
                            const HuffCodeTable& dc, const HuffCodeTable& ac) {
  const auto diff = static_cast<int16_t>(zz[0] - *predictor);
  *predictor = zz[0];
  const int32_t dc_size = size_of(diff);
  emit_reference(bw, dc, dc_size, diff, dc_size);
  int32_t last = 63;
  while (last > 0 && zz[last] == 0) --last;
  int32_t run = 0;
  for (int32_t k = 1; k <= last; ++k) {
    if (zz[k] == 0) {
      if (run == 15) {
        emit_reference(bw, ac, 0xF0, 0, 0);  // ZRL: sixteen zeros
        run = 0;
      } else {
        ++run;
      }
      continue;
    }
    const int32_t size = size_of(zz[k]);
    emit_reference(bw, ac, run * 16 + size, zz[k], size);
    run = 0;
  }
  if (last < 63) emit_reference(bw, ac, 0x00, 0, 0);  // EOB
  bw.drain_if_full();
}

void BitWriter::drain() {
  uint8_t* p = used > 0 && out != nullptr ? io_buffer_reserve(out, used) : nullptr;
  if (p != nullptr) std::memcpy(p, dst, static_cast<size_t>(used));
  else if (used > 0) failed = true;
  used = 0;
}

int64_t BitWriter::raw_finish() {
  const int64_t bits = raw_bits();
  const uint64_t left = count == 0 ? 0 : (acc << (64 - count));
  const uint64_t big_endian = __builtin_bswap64(left);
  std::memcpy(dst + used, &big_endian, 8);
  return bits;
}

int64_t BitWriter::splice_blocks(const uint8_t* raw, int64_t from, const int64_t* ends,
                                 int32_t blocks) {
  // The 32 bits at bit position `at`, from the 8 bytes that hold them.
  const auto word_at = [raw](int64_t at) {
    uint64_t w;
    std::memcpy(&w, raw + at / 8, 8);
    return static_cast<uint32_t>((__builtin_bswap64(w) << (at % 8)) >> 32);
  };
  LocalBits b(*this);
  int64_t at = from;
  for (int32_t n = 0; n < blocks; ++n) {
    const int64_t to = ends[n];
    for (; to - at >= 32; at += 32) b.put(word_at(at), 32);
    const auto rest = static_cast<int32_t>(to - at);
    if (rest > 0) b.put(word_at(at) >> (32 - rest), rest);
    at = to;
    b.drain_if_full(*this);
  }
  b.store(*this);
  return at;
}

int32_t word_stuffed_at(uint8_t* dst, int32_t used, uint32_t w) {
  for (int shift = 24; shift >= 0; shift -= 8) {
    const auto b = static_cast<uint8_t>(w >> shift);
    dst[used++] = b;
    if (b == 0xFF) dst[used++] = 0;
  }
  return used;
}

void BitWriter::word_stuffed(uint32_t w) { used = word_stuffed_at(dst, used, w); }

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

void block_encode(BitWriter& bw, const int16_t zz[64], int32_t* predictor,
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

void band_encode_reference(BitWriter& bw, const BandBlocks& band, int32_t* predictor) {
  const int16_t* block = band.blocks;
  for (int32_t m = 0; m < band.mcus; ++m) {
    for (int32_t n = 0; n < band.blocks_per_mcu; ++n, block += 64) {
      const int i = band.component[n];
      block_encode_reference(bw, block, &predictor[i], *band.dc[i], *band.ac[i]);
      if (band.ends != nullptr) band.ends[m * band.blocks_per_mcu + n] = bw.raw_bits();
    }
  }
}

namespace {

inline void emit_local(LocalBits& b, const HuffCodeTable& table, int32_t run, int32_t value) {
  const int32_t sign = value >> 31;
  const auto magnitude = static_cast<uint32_t>((value ^ sign) - sign);
  const int32_t size = magnitude == 0 ? 0 : 32 - std::countl_zero(magnitude);
  const uint32_t e = table.entry[((run << 4) | size) & 0xFF];
  const uint32_t extra = static_cast<uint32_t>(value + sign) & ((1u << size) - 1);
  b.put(((e & 0xFFFFu) << size) | extra, static_cast<int32_t>(e >> 16) + size);
}

}  // namespace

void band_encode_sse2(BitWriter& bw, const BandBlocks& band, int32_t* predictor) {
  LocalBits b(bw);
  const int16_t* zz = band.blocks;
  for (int32_t m = 0; m < band.mcus; ++m) {
    for (int32_t n = 0; n < band.blocks_per_mcu; ++n, zz += 64) {
      const int i = band.component[n];
      const HuffCodeTable& ac = *band.ac[i];
      const auto diff = static_cast<int16_t>(zz[0] - predictor[i]);
      predictor[i] = zz[0];
      emit_local(b, *band.dc[i], 0, diff);
      uint64_t nonzero = nonzero_mask(zz) & ~uint64_t{1};
      int32_t last = 0;
      while (nonzero != 0) {
        const int32_t k = std::countr_zero(nonzero);
        nonzero &= nonzero - 1;
        int32_t run = k - last - 1;
        for (; run > 15; run -= 16) emit_local(b, ac, 15, 0);  // ZRL
        emit_local(b, ac, run, zz[k]);
        last = k;
      }
      if (last < 63) emit_local(b, ac, 0, 0);  // EOB
      if (band.ends != nullptr) band.ends[m * band.blocks_per_mcu + n] = b.raw_bits();
      b.drain_if_full(bw);
    }
  }
  b.store(bw);
}

}  // namespace rx::jpeg::enc
