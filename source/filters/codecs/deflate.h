// Deflate as the PNG writer makes it: the whole stream is one block with
// BFINAL 1 and the fixed Huffman codes (BTYPE 1), fed in chunks of at most
// 8,192 bytes.
//
// Matching, exactly (the output depends on every rule):
// - The data are seen one chunk at a time: a match never reaches past the
//   end of the chunk being compressed. Matches are 3 to 258 bytes long and
//   reach back at most 32,768 bytes, across earlier chunks.
// - Candidates come from hash chains keyed by the three bytes at a
//   position: hash = (((b0 << 5) ^ b1) << 5 ^ b2) & 0x1FFF, 8,192 heads.
//   The chains share a pool of 1,024 entries; when an entry is needed and
//   all 1,024 are in use, every chain is emptied first.
// - A position is "tried" by walking its chain from the most recent entry:
//   each candidate is compared byte by byte, the first longest match wins,
//   the walk stops at the first candidate more than 32,768 bytes back or
//   once a match is as long as it can be. The position then joins its
//   chain. Positions with fewer than 3 bytes left in the chunk are neither
//   tried nor chained; positions inside an emitted match are skipped.
// - Lazy step: when the match at p is 3 to 249 bytes long, p + 1 is tried
//   too; if its match is longer, the byte at p goes out as a literal and the
//   match at p + 1 is taken, otherwise the match at p is taken. Compression
//   continues after the match taken.
// - Codes are the fixed ones of deflate: literals 0-143 in 8 bits, 144-255
//   in 9, lengths and distances with their fixed codes and extra bits; the
//   block ends with code 256 and the last byte is padded with zero bits.
//
// Pure functions over caller buffers; no engine state, nothing to report:
// nothing can fail given the buffer sizes below. The caller owns the state
// (about 170 KiB) and the output buffers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace rx::codec {

inline constexpr size_t kDeflateChunkBytes = 8192;
inline constexpr uint32_t kDeflateHashBits = 13;
inline constexpr uint32_t kDeflateChainEntries = 1024;
inline constexpr uint32_t kDeflateMaxDistance = 32768;
inline constexpr uint32_t kDeflateMinMatch = 3;
inline constexpr uint32_t kDeflateMaxMatch = 258;
// A match at least this long is taken without trying the next position.
inline constexpr uint32_t kDeflateLazyLimit = 250;
// Output room one chunk call needs: 9 bits per byte at worst (a match never
// costs more per byte than a 9-bit literal), the block header, the bits
// left over from the previous call and 8 bytes that the bit writer stores
// ahead.
inline constexpr size_t kDeflateChunkOutBytes = kDeflateChunkBytes * 9 / 8 + 24;
// Output room the finishing call needs.
inline constexpr size_t kDeflateFinishOutBytes = 16;

// The history is kept in a linear buffer larger than the 32 KiB matches
// can reach, slid down when a chunk would not fit.
inline constexpr size_t kDeflateBufferBytes = 4 * kDeflateMaxDistance;

struct FixedDeflater {
  uint8_t buffer[kDeflateBufferBytes];
  uint64_t buffer_start;                  // stream position of buffer[0]
  uint64_t position;                      // stream position of the next byte
  uint32_t head[1u << kDeflateHashBits];  // generation << 16 | entry
  uint32_t chain_position[kDeflateChainEntries];  // low 32 bits of a stream position
  uint16_t chain_next[kDeflateChainEntries];
  uint32_t entries;                       // pool entries in use
  uint32_t generation;                    // chains emptied so far, plus one
  uint64_t bits;                          // output bits not yet stored
  uint32_t bit_count;
  bool started;                           // block header written
};

// Readies `d` for a new stream.
void deflate_fixed_begin(FixedDeflater* d);

// Compresses `size` (at most kDeflateChunkBytes) more bytes into `out`,
// which must have room for kDeflateChunkOutBytes; returns the bytes stored.
// Bits that do not fill a byte are kept for the next call.
size_t deflate_fixed_chunk(FixedDeflater* d, const uint8_t* data, size_t size, uint8_t* out);

// Ends the block (the header too if no chunk came) and pads the last byte;
// `out` must have room for kDeflateFinishOutBytes. Returns the bytes stored.
size_t deflate_fixed_finish(FixedDeflater* d, uint8_t* out);

}  // namespace rx::codec
