// Lab files: their planes hold lightness (0..255 for 0..100) and the a and
// b axes (128 is 0), relative to the D50 white. They are shown as sRGB.
#pragma once

#include <cstdint>

namespace rx {

// One row of `width` pixels from its three planes into blue, green, red.
void psd_lab_row(const uint8_t* lightness, const uint8_t* a, const uint8_t* b, uint32_t width,
                 uint8_t* bgr);

}  // namespace rx
