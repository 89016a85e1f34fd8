// Huffman coding of the JPEG writer: code tables built from BITS/HUFFVAL
// (T.81 Annex C), the bit writer with byte stuffing, and the coding of one
// quantised block.
#pragma once

#include <array>
#include <climits>
#include <cstdint>
#include <cstring>

#include "IO/iobuffer.h"
#include "filters/jpeg/jpeg_tables.h"

namespace rx::jpeg::enc {

// Per symbol: code in the low 16 bits, code length in bits 16..23; 0 for a
// symbol the BITS/HUFFVAL lists leave out.
struct HuffCodeTable {
  std::array<uint32_t, 256> entry;
  constexpr uint32_t code(int symbol) const { return entry[symbol] & 0xFFFFu; }
  constexpr int32_t length(int symbol) const { return static_cast<int32_t>(entry[symbol] >> 16); }
};

// Codes of increasing length, consecutive within a length, the running
// code doubled whenever the length grows. Lists with more than 256
// values, or whose codes overflow their length, yield an empty table
// (every length 0) and `ok` false.
constexpr HuffCodeTable huff_code_table(const HuffmanSpec& lists, bool* ok = nullptr) {
  HuffCodeTable t{};
  int total = 0;
  for (uint8_t b : lists.bits) total += b;
  bool good = total <= 256 && total == lists.count;
  uint32_t code = 0;
  int k = 0;
  for (int len = 1; len <= 16 && good; ++len) {
    for (int i = 0; i < lists.bits[len - 1] && good; ++i, ++k, ++code) {
      good = code < (1u << len);  // the code still fits its length
      if (good) t.entry[lists.values[k]] = code | static_cast<uint32_t>(len) << 16;
    }
    code <<= 1;
  }
  if (!good) t = HuffCodeTable{};
  if (ok != nullptr) *ok = good;
  return t;
}

inline constexpr HuffCodeTable kDcLuminanceCodes = huff_code_table(kDcLuminance);
inline constexpr HuffCodeTable kAcLuminanceCodes = huff_code_table(kAcLuminance);
inline constexpr HuffCodeTable kDcChrominanceCodes = huff_code_table(kDcChrominance);
inline constexpr HuffCodeTable kAcChrominanceCodes = huff_code_table(kAcChrominance);

// Packs codes most significant bit first into bytes; a 0xFF byte is
// followed by a stuffed 0x00. Bits wait in a 64-bit accumulator and leave
// 32 at a time into a chunk of bytes, which goes to the buffered writer
// whole once it holds a few kilobytes. A failed hand-over latches `failed`;
// the caller checks it at its own pace, and later bytes are dropped.
//
// A writer can also collect a band's bits raw (unstuffed, in a buffer of
// the caller's) so that the band is coded apart from the stream and
// spliced into it afterwards: the bytes come out the same.
struct BitWriter {
  static constexpr int32_t kChunk = 4096;
  static constexpr int32_t kBlockBytes = 1024;   // a block never codes to more, stuffed
  static constexpr int32_t kRawBlockBytes = 256;  // nor to more than 1728 bits raw
  static constexpr int32_t kRawSlack = 16;        // bytes a raw buffer needs past its blocks

  IO_BUFFER* out = nullptr;
  uint64_t acc = 0;
  int32_t count = 0;  // bits waiting, below 32 between calls
  int32_t used = 0;   // bytes waiting in `dst`
  bool failed = false;
  bool stuff = true;
  int32_t drain_at = kChunk;
  uint8_t* dst = bytes;
  uint8_t bytes[kChunk + kBlockBytes];

  BitWriter() = default;
  BitWriter(const BitWriter&) = delete;
  BitWriter& operator=(const BitWriter&) = delete;

  // From here on, bits collect raw in `buffer`, which has room for
  // kRawBlockBytes per block that will be coded.
  void raw_start(uint8_t* buffer) {
    out = nullptr;
    acc = 0;
    count = 0;
    used = 0;
    stuff = false;
    drain_at = INT32_MAX;
    dst = buffer;
  }

  // `len` is at most 32 and `bits` has no bit above it.
  void put(uint32_t bits, int32_t len) {
    acc = (acc << len) | bits;
    count += len;
    if (count >= 32) {
      count -= 32;
      word(static_cast<uint32_t>(acc >> count));
    }
  }

  // Called between blocks: keeps room for the next one.
  void drain_if_full() {
    if (used >= drain_at) drain();
  }

  // The bits collected raw so far (a bit position for splice_bits()).
  int64_t raw_bits() const { return int64_t{used} * 8 + count; }
  // Ends raw collection: the bits still waiting go to the buffer, left-
  // aligned and padded with zeros. Returns raw_bits().
  int64_t raw_finish();
  // Appends `blocks` blocks of a finished raw buffer (which has 8 bytes of
  // room past its last bit) from bit `from` on, block n ending at bit
  // ends[n]; after each block the chunk is drained when full, exactly as if
  // the block had been coded here. Returns the bit position reached.
  int64_t splice_blocks(const uint8_t* raw, int64_t from, const int64_t* ends, int32_t blocks);

  // Hands the bytes waiting over to the buffered writer now.
  void drain();

  // Fills a partial byte with 1 bits and hands over every byte still
  // waiting. The buffered writer itself is flushed by its owner.
  void finish();

 private:
  void word(uint32_t w) {
    const uint32_t x = ~w;  // a 0xFF byte of w is a zero byte of x
    if (stuff && ((x - 0x01010101u) & ~x & 0x80808080u) != 0) return word_stuffed(w);
    const uint32_t big_endian = __builtin_bswap32(w);
    std::memcpy(dst + used, &big_endian, 4);
    used += 4;
  }
  void word_stuffed(uint32_t w);
  void byte(uint8_t b) { dst[used++] = b; }
};

// The bytes of a word with a 0xFF among them, each 0xFF followed by 0x00,
// stored at dst + used; returns the new count.
int32_t word_stuffed_at(uint8_t* dst, int32_t used, uint32_t w);

// A writer's state in local variables, for a loop over many blocks that
// the compiler can then keep in registers. Within a block the bits leave
// 64 at a time; between blocks (drain_if_full, store) the state is what
// BitWriter::put leaves, below 32 bits waiting, so the bytes and the
// hand-overs are those of BitWriter.
struct LocalBits {
  uint64_t acc;
  int32_t count;  // bits waiting: up to 63 within a block
  int32_t used;
  uint8_t* dst;
  bool stuff;

  explicit LocalBits(const BitWriter& bw)
      : acc(bw.acc), count(bw.count), used(bw.used), dst(bw.dst), stuff(bw.stuff) {}
  void store(BitWriter& bw) {
    settle();
    bw.acc = acc;
    bw.count = count;
    bw.used = used;
  }
  // `len` is at most 32 and `bits` has no bit above it.
  [[gnu::always_inline]] void put(uint32_t bits, int32_t len) {
    const int32_t room = 64 - count;
    if (len < room) [[likely]] {
      acc = (acc << len) | bits;
      count += len;
      return;
    }
    // At least 32 bits wait, so room is 1..32: the word fills from the top
    // of `bits`, and its low `rest` bits wait.
    const int32_t rest = len - room;
    word64((acc << room) | (bits >> rest));
    acc = bits;
    count = rest;
  }
  // Raw writers: the bit position reached, wherever the bits wait.
  int64_t raw_bits() const { return int64_t{used} * 8 + count; }
  // Between blocks: hands a full chunk over, as BitWriter::drain_if_full.
  void drain_if_full(BitWriter& bw) {
    settle();
    if (used < bw.drain_at) return;
    store(bw);
    bw.drain();
    used = bw.used;
  }

 private:
  // Back to fewer than 32 bits waiting, as BitWriter::put leaves them.
  void settle() {
    if (count < 32) return;
    count -= 32;
    const auto w = static_cast<uint32_t>(acc >> count);
    const uint32_t x = ~w;
    if (stuff && ((x - 0x01010101u) & ~x & 0x80808080u) != 0) {
      used = word_stuffed_at(dst, used, w);
      return;
    }
    const uint32_t big_endian = __builtin_bswap32(w);
    std::memcpy(dst + used, &big_endian, 4);
    used += 4;
  }
  [[gnu::always_inline]] void word64(uint64_t w) {
    const uint64_t x = ~w;  // a 0xFF byte of w is a zero byte of x
    if (stuff && ((x - 0x0101010101010101u) & ~x & 0x8080808080808080u) != 0) [[unlikely]] {
      used = word_stuffed_at(dst, used, static_cast<uint32_t>(w >> 32));
      used = word_stuffed_at(dst, used, static_cast<uint32_t>(w));
      return;
    }
    const uint64_t big_endian = __builtin_bswap64(w);
    std::memcpy(dst + used, &big_endian, 8);
    used += 8;
  }
};

// Codes one block: `zz` holds the quantised coefficients in zig-zag order;
// `predictor` is the component's DC predictor.
using BlockEncodeFn = void (*)(BitWriter& bw, const int16_t zz[64], int32_t* predictor,
                               const HuffCodeTable& dc, const HuffCodeTable& ac);

// Position by position, counting runs of zeros as the coding is defined.
void block_encode_reference(BitWriter& bw, const int16_t zz[64], int32_t* predictor,
                            const HuffCodeTable& dc, const HuffCodeTable& ac);
// Only the non-zero positions are visited, found through a bit mask of the
// block; sizes come from a bit scan.
void block_encode(BitWriter& bw, const int16_t zz[64], int32_t* predictor,
                  const HuffCodeTable& dc, const HuffCodeTable& ac);
// The same with the mask from 256-bit compares (x86-64 processors with AVX2).
void block_encode_avx2(BitWriter& bw, const int16_t zz[64], int32_t* predictor,
                       const HuffCodeTable& dc, const HuffCodeTable& ac);

// The blocks of one band in coding order: `mcus` MCUs of `blocks_per_mcu`
// blocks each, block n of an MCU belonging to scan component component[n],
// coded with that component's tables and DC predictor.
struct BandBlocks {
  const int16_t* blocks;
  int32_t mcus;
  int32_t blocks_per_mcu;
  const int8_t* component;
  const HuffCodeTable* const* dc;
  const HuffCodeTable* const* ac;
  int64_t* ends;  // when not null: raw_bits() after each block (raw writers)
};
using BandEncodeFn = void (*)(BitWriter& bw, const BandBlocks& band, int32_t* predictor);

// Block after block through the plain coder.
void band_encode_reference(BitWriter& bw, const BandBlocks& band, int32_t* predictor);
// One loop over the band with the writer's state in registers.
void band_encode_sse2(BitWriter& bw, const BandBlocks& band, int32_t* predictor);
void band_encode_avx2(BitWriter& bw, const BandBlocks& band, int32_t* predictor);

}  // namespace rx::jpeg::enc
