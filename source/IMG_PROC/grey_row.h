// Grey values of a row of 24-bit pixels (blue, green, red):
// (red x 77 + green x 151 + blue x 28) >> 8. The plain loop and the one
// that takes 16 pixels at a time where the processor has SSSE3 give the
// same bytes.
#pragma once

#include <cstdint>

namespace rx::ip {

void grey_row_24_plain(const uint8_t* bgr, uint32_t count, uint8_t* out);
void grey_row_24(const uint8_t* bgr, uint32_t count, uint8_t* out);

}  // namespace rx::ip
