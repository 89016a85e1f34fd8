// Reading numbers and words out of a file's head bytes, as the detection
// tests and the readers' header parsers do. Callers pass pointers to at
// least as many bytes as they read.
#pragma once

#include <cstdint>
#include <cstring>

#include "rastrix/rpb.h"

namespace rx {

inline uint16_t ii16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline uint32_t ii32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
inline uint16_t mm16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }
inline uint32_t mm32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | uint32_t{p[3]};
}

inline bool head_starts(const uint8_t* head, const char* text) {
  return std::memcmp(head, text, std::strlen(text)) == 0;
}

// Reads `n` bytes at an absolute stream offset; false when they are not all there.
inline bool read_at(IO_REC* io, int32_t offset, uint8_t* out, int32_t n) {
  if (RPb_IO_seek(io, offset, RX_SEEK_SET) != offset) return false;
  return RPb_IO_read(io, out, n) == n;
}

}  // namespace rx
