// The band loop of the JPEG writer: rows are fetched band by band (8 Vmax rows),
// converted and down-sampled, and the band's MCUs are transformed,
// quantised and Huffman-coded through a 10,000-byte buffered writer.
#pragma once

#include <cstdint>

#include "rastrix/rx_types.h"

namespace rx::jpeg::enc {

struct ScanPlan {
  int32_t frame_width, frame_height;  // as the frame header declares them
  int32_t image_width, image_height;  // what the rows can deliver
  int32_t bits;                       // 8 or 24
  const RX_RGBQUAD* palette;          // 8-bit images, 256 entries
  int32_t components;                 // 1 (grey) or 3 (Y, Cb, Cr)
  int32_t h[3], v[3];                 // per frame component: valid, dividing the maxima
  const int32_t* quant[3];            // per frame component, natural order, 1..255
  int32_t scan_components;            // = components
  int32_t scan_frame[3];              // frame component coded at scan position i
  int32_t dc_table[3], ac_table[3];   // 0 luminance, 1 chrominance
};

// Writes the entropy-coded data of the scan, padded to a whole byte, and
// flushes it, with the kernels of the engine's kernel level. Scratch
// memory comes from `tag` and is freed before return. False after a
// failure, which has been reported.
bool scan_write(IO_REC* io, uint32_t tag, const ScanPlan& plan);

}  // namespace rx::jpeg::enc
