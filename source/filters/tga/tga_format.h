// The TGA file layout as the reader and the writer share it.
#pragma once

#include <cstdint>

namespace rx {

inline constexpr uint32_t kTgaHeaderBytes = 18;
// Image types; run-length coded files add 8.
enum : uint8_t { kTgaMapped = 1, kTgaTrueColour = 2, kTgaGray = 3 };
inline constexpr uint8_t kTgaRleType = 8;
// A packet header: bit 7 set for a run, the low seven bits one less than
// the pixels it stands for.
inline constexpr uint8_t kTgaRunBit = 0x80;
inline constexpr uint32_t kTgaLongestPacket = 128;
// The image descriptor's origin (bits 4 and 5, taken as descriptor >> 4).
enum : uint32_t { kTgaBottomLeft = 0, kTgaBottomRight = 1, kTgaTopLeft = 2, kTgaTopRight = 3 };
inline constexpr uint8_t kTgaDescriptorTopLeft = kTgaTopLeft << 4;

inline bool tga_type_known(uint32_t type) {
  const uint32_t base = type & ~uint32_t{kTgaRleType};
  return type < 16 && base >= kTgaMapped && base <= kTgaGray;
}

}  // namespace rx
