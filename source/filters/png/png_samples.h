// Turning a row of PNG samples into a row of the engine's image:
// - grey and palette rows of 1, 4 and 8 bits are kept as they are;
// - 2-bit samples widen to 4-bit pixels of the same value (the palette
//   keeps its 4 entries at the front of the 16);
// - 16-bit samples reduce to the nearest 8-bit value, (v + 128) / 257;
// - RGB becomes blue, green, red;
// - grey with alpha and RGB with alpha are laid over white: for 8-bit
//   samples v * a / 255 - a + 255 per channel, for 16-bit samples the
//   same at 16 bits, v * a / 65535 - a + 65535, then reduced.
// Pure functions over caller buffers.
#pragma once

#include <cstdint>

#include "filters/png/png_format.h"

namespace rx::png {

// Converts one unfiltered row (`width` pixels as in the file) into `out`,
// a DIB row of `stride` bytes whose padding is cleared.
void row_convert(const Header& h, const uint8_t* raw, uint8_t* out, uint32_t stride);

// The 8-bit value nearest to a 16-bit one.
constexpr uint32_t reduce16(uint32_t v) { return (v + 128) / 257; }

// A sample laid over white by its alpha.
constexpr uint32_t over_white8(uint32_t v, uint32_t a) { return v * a / 255 - a + 255; }
constexpr uint32_t over_white16(uint32_t v, uint32_t a) {
  return static_cast<uint32_t>(uint64_t{v} * a / 65535) - a + 65535;
}

}  // namespace rx::png
