// Row converters: each turns one row of image pixels, sampled through the
// column map, into one row of band pixels of the band's depth, applying
// the display lookup tables, the fixed display palettes and the ordered
// dither. A converter is chosen once per draw; the per-pixel work is table
// lookups and comparisons.
#pragma once

#include <cstdint>

#include "rastrix/rx_types.h"

namespace rx {

struct RowArgs {
  const uint8_t* src = nullptr;  // the image row (DIB row start)
  const uint8_t* next = nullptr; // the image row the next call reads (a hint), or null
  const int32_t* map = nullptr;  // pixel i reads column first + map[i]
  int64_t first = 0;
  int32_t count = 0;
  int32_t width = 0;  // of the image row
  int32_t col_phase = 0, row_phase = 0;  // dither phases of pixel 0 (0..7)
  const uint8_t* lut_r = nullptr;
  const uint8_t* lut_g = nullptr;
  const uint8_t* lut_b = nullptr;
  // Palette images: the colour of each index through the lookup tables,
  // red, green, blue (3 x 256 bytes).
  const uint8_t* pal_rgb = nullptr;
  // 16-bit grey (compression 503): the value's mask and the shift to 8 bits.
  uint32_t gray_mask = 0;
  int32_t gray_shift = 0;
  // 16-bit colour (compression 3): each channel's mask, its shift to the
  // low bits, a further shift to at most 8 bits and a table to 0..255.
  uint32_t mask[3] = {};
  int32_t mask_shift[3] = {};
  int32_t mask_drop[3] = {};
  const uint8_t* scale[3] = {};
  // The map is the identity from map[0] on (a copy at scale 1).
  bool unit_map = false;
  // The lookup tables are the identity.
  bool identity_luts = false;
};

using RowConverter = void (*)(const RowArgs& a, uint8_t* out);

// The converter for a band depth (1, 4, 8, 16, 24), an image depth and
// compression, and the dither mode; null when there is none. The fast
// kernels (copies for scale 1 and identity tables) give the same bytes as
// the reference ones; `fast` selects them.
RowConverter row_converter(int32_t band_depth, int32_t image_bits, uint32_t compression,
                           int32_t dither_mode, bool fast);

}  // namespace rx
