// The Sun raster layout as the reader and the writer share it: the
// 32-byte big-endian header, the padded rows and the run-length coder.
#pragma once

#include <cstdint>

#include "IO/iobuffer.h"

namespace rx {

inline constexpr uint32_t kSunMagic = 0x59A66A95u;
inline constexpr uint32_t kSunHeaderBytes = 32;
// File types: old, standard, run-length coded, and standard with red,
// green, blue pixels instead of blue, green, red.
enum : uint32_t { kSunOld = 0, kSunStandard = 1, kSunEncoded = 2, kSunRgb = 3 };
// Colour-map types.
enum : uint32_t { kSunMapNone = 0, kSunMapPlanes = 1, kSunMapTriplets = 2 };
// The escape byte of the run-length code, and the longest run it states.
inline constexpr uint8_t kSunEscape = 0x80;
inline constexpr uint32_t kSunLongestRun = 256;
// Header words are offered to the application as tags 1300 to 1307.
inline constexpr int32_t kSunFirstTag = 1300;
// Offset of the data length word in the header.
inline constexpr int32_t kSunLengthOffset = 16;

struct SUN_HEADER {
  uint32_t magic, width, height, depth, length, type, map_type, map_length;
};

// Bytes of one file row: rows are padded to an even length, except 32-bit
// ones, which always are.
inline uint64_t sun_row_bytes(uint64_t width, uint32_t depth) {
  const uint64_t bytes = (width * depth + 7) / 8;
  return (bytes + 1) & ~uint64_t{1};
}

// The decoder's run, which may carry on into the next row.
struct SUN_RUN {
  uint32_t count;
  uint8_t value;
};
// Decodes `n` bytes. False when the data runs out.
bool sun_row_decode(IO_BUFFER* in, SUN_RUN* run, uint8_t* row, uint32_t n);

// The encoder's state: a run of `count` bytes of `value` that may still be
// continued by the next row.
struct SUN_PENDING {
  uint32_t count;
  uint8_t value;
  bool pending;
};
// Codes one row, leaving a run that reaches its end pending. False on a
// failed write.
bool sun_row_encode(IO_BUFFER* out, SUN_PENDING* p, const uint8_t* row, uint32_t n);
// Writes out the pending run after the last row.
bool sun_pending_flush(IO_BUFFER* out, SUN_PENDING* p);

}  // namespace rx
