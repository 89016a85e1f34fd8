// Huffman coding of the JPEG writer: code tables built from BITS/HUFFVAL
// (T.81 Annex C), the bit writer with byte stuffing, and the coding of one
// quantised block.
#pragma once

#include <array>
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
struct BitWriter {
  static constexpr int32_t kChunk = 4096;
  static constexpr int32_t kBlockBytes = 1024;  // a block never codes to more, stuffed

  IO_BUFFER* out = nullptr;
  uint64_t acc = 0;
  int32_t count = 0;  // bits waiting, below 32 between calls
  int32_t used = 0;   // bytes waiting in `bytes`
  bool failed = false;
  uint8_t bytes[kChunk + kBlockBytes];

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
    if (used >= kChunk) drain();
  }

  // Fills a partial byte with 1 bits and hands over every byte still
  // waiting. The buffered writer itself is flushed by its owner.
  void finish();

 private:
  void word(uint32_t w) {
    const uint32_t x = ~w;  // a 0xFF byte of w is a zero byte of x
    if (((x - 0x01010101u) & ~x & 0x80808080u) != 0) return word_stuffed(w);
    const uint32_t big_endian = __builtin_bswap32(w);
    std::memcpy(bytes + used, &big_endian, 4);
    used += 4;
  }
  void word_stuffed(uint32_t w);
  void byte(uint8_t b) { bytes[used++] = b; }
  void drain();
};

// Codes one block: `zz` holds the quantised coefficients in zig-zag order;
// `predictor` is the component's DC predictor.
void block_encode(BitWriter& bw, const int32_t zz[64], int32_t* predictor,
                  const HuffCodeTable& dc, const HuffCodeTable& ac);

}  // namespace rx::jpeg::enc
