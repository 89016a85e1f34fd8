// The engine's fixed palettes: the 3-3-2 colour cube and the 16-colour
// palette that depth reductions and the display fall back on, and the grey
// ramps. Entries are blue, green, red, reserved as in a DIB.
#pragma once

#include <array>
#include <cstdint>

#include "rastrix/rx_types.h"

namespace rx {

// Red and green take 3 bits, blue 2: the levels spread 0..255 evenly,
// rounded to the nearest integer.
inline constexpr uint8_t kLevels3Bit[8] = {0, 36, 73, 109, 146, 182, 219, 255};
inline constexpr uint8_t kLevels2Bit[4] = {0, 85, 170, 255};

constexpr RX_RGBQUAD rgb_quad(uint32_t red, uint32_t green, uint32_t blue) {
  return RX_RGBQUAD{static_cast<uint8_t>(blue), static_cast<uint8_t>(green),
                    static_cast<uint8_t>(red), 0};
}

// Index = red in bits 7-5, green in bits 4-2, blue in bits 1-0.
constexpr std::array<RX_RGBQUAD, 256> make_palette_332() {
  std::array<RX_RGBQUAD, 256> p{};
  for (uint32_t i = 0; i < 256; ++i)
    p[i] = rgb_quad(kLevels3Bit[i >> 5], kLevels3Bit[(i >> 2) & 7], kLevels2Bit[i & 3]);
  return p;
}

// Index bit 0 blue, bit 1 green, bit 2 red, bit 3 intensity: a set colour
// bit is 128 without intensity and 255 with it, so index 8 is black again.
constexpr std::array<RX_RGBQUAD, 16> make_palette_16() {
  std::array<RX_RGBQUAD, 16> p{};
  for (uint32_t i = 0; i < 16; ++i) {
    const uint32_t on = (i & 8) ? 255 : 128;
    p[i] = rgb_quad((i & 4) ? on : 0, (i & 2) ? on : 0, (i & 1) ? on : 0);
  }
  return p;
}

template <uint32_t N>
constexpr std::array<RX_RGBQUAD, N> make_gray_ramp() {
  std::array<RX_RGBQUAD, N> p{};
  for (uint32_t i = 0; i < N; ++i) {
    const uint32_t level = i * 255 / (N - 1);
    p[i] = rgb_quad(level, level, level);
  }
  return p;
}

inline constexpr std::array<RX_RGBQUAD, 256> kPalette332 = make_palette_332();
inline constexpr std::array<RX_RGBQUAD, 16> kPalette16 = make_palette_16();
inline constexpr std::array<RX_RGBQUAD, 16> kGrayRamp16 = make_gray_ramp<16>();
inline constexpr std::array<RX_RGBQUAD, 256> kGrayRamp256 = make_gray_ramp<256>();

static_assert(kPalette332[0xFF].rgbRed == 255 && kPalette332[0xFF].rgbBlue == 255);
static_assert(kPalette332[0x24].rgbRed == 36 && kPalette332[0x24].rgbGreen == 36);
static_assert(kPalette16[8].rgbRed == 0 && kPalette16[8].rgbGreen == 0 && kPalette16[8].rgbBlue == 0);
static_assert(kPalette16[7].rgbRed == 128 && kPalette16[12].rgbRed == 255);
static_assert(kGrayRamp16[1].rgbRed == 17 && kGrayRamp16[15].rgbRed == 255);

}  // namespace rx
