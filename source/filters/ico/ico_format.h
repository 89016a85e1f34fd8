// The icon file layout as the reader and the writer share it. All numbers
// are little-endian.
#pragma once

#include <cstdint>

namespace rx {

inline constexpr uint32_t kIcoHeaderBytes = 6;
inline constexpr uint32_t kIcoEntryBytes = 16;
inline constexpr uint32_t kIcoBitmapHeaderBytes = 40;
inline constexpr uint16_t kIcoType = 1;
// A size byte of 0 stands for 256 pixels.
inline constexpr uint32_t kIcoLargestSide = 256;

inline void ico_put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void ico_put32(uint8_t* p, uint32_t v) {
  ico_put16(p, v);
  ico_put16(p + 2, v >> 16);
}

}  // namespace rx
