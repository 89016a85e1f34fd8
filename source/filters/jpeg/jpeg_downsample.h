// Colour conversion and box down-sampling of the JPEG writer: each image
// row is turned into Y, Cb and Cr (or grey) samples, averaged over each
// component's box of (Hmax / H) x (Vmax / V) pixels, level-shifted and
// stored as signed bytes in the component's band of 8 V rows.
#pragma once

#include <cstdint>

#include "rastrix/rx_types.h"

namespace rx::jpeg::enc {

struct SampleBand {
  int32_t h, v;            // sampling factors
  int32_t sx, sy;          // box size in pixels: Hmax / H by Vmax / V
  int32_t width;           // padded component width, a multiple of 8 H
  int32_t rows;            // band height, 8 V
  int8_t* band;            // width x rows level-shifted samples
  uint16_t* acc;           // width box sums
  int32_t pending;         // image rows summed into acc so far
  int32_t next_row;        // band row that the next finished box row fills
  uint32_t reciprocal;     // ceil(2^16 / (sx sy)): exact for sums up to 16 x 255
};

struct RowSampler {
  int32_t components;      // 1 (grey) or 3 (Y, Cb, Cr)
  int32_t bits;            // 8 or 24
  int32_t hmax, vmax;
  int32_t padded_width;    // pixels per row, a multiple of 8 Hmax
  int32_t last_x;          // the last real pixel; later ones repeat it
  const RX_RGBQUAD* palette;  // 8-bit images, 256 entries
  uint8_t lut[3][256];     // 8-bit images: index -> Y, Cb, Cr, or grey
  uint8_t* plane[3];       // fast path: one converted row of padded_width
  SampleBand comp[3];
};

// One image row (the fetched DIB row: palette indexes or blue, green, red)
// added to every component's band.
using RowSampleFn = void (*)(RowSampler* s, const uint8_t* row);

// Fills the palette lookup of an 8-bit sampler; call once per scan.
void sampler_palette_prepare(RowSampler* s);
// Starts the next band: finished rows go to the top of every band again.
void sampler_band_restart(RowSampler* s);

void row_sample_fast(RowSampler* s, const uint8_t* row);
// Pixel by pixel with running counters, as the conversion is defined.
void row_sample_reference(RowSampler* s, const uint8_t* row);

// The colour transform of one pixel.
struct Ycc {
  uint8_t y, cb, cr;
};
constexpr Ycc ycc_of(uint32_t b, uint32_t g, uint32_t r) {
  return {static_cast<uint8_t>((77 * r + 150 * g + 29 * b + 128) >> 8),
          static_cast<uint8_t>((32768 + 128 * b - 43 * r - 85 * g) >> 8),
          static_cast<uint8_t>((32768 + 128 * r - 107 * g - 21 * b) >> 8)};
}

}  // namespace rx::jpeg::enc
