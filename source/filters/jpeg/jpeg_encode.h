// The baseline JPEG encoder one level below the filter entry: the JPEG save
// options, the work record of one save and the table-position record that a
// TIFF writer passes in to learn where the tables and the data landed.
#pragma once

#include <cstddef>
#include <cstdint>

#include "rastrix/rx_types.h"

namespace rx {

// The JPEG image flags block as the save pipeline copies it (seven 32-bit
// fields). The encoder changes its copy: no thumbnail, quality clamped.
struct JPEG_SAVE_OPTIONS {
  uint32_t thumbnail;        // 1 asks for a JFIF thumbnail; always cleared
  uint32_t thumbnail_width;  // unread while thumbnails are off
  uint32_t thumbnail_height;
  uint32_t spare[2];
  uint32_t quality;          // 1..100; 0 or above 100 means 100
  uint32_t sampling;         // 0xH1V1H2V2H3V3
};
static_assert(sizeof(JPEG_SAVE_OPTIONS) == 28);

inline constexpr JPEG_SAVE_OPTIONS kJpegDefaultOptions = {1, 16, 16, {0, 0}, 70, 0x211111};

struct JPEG_FRAME_COMPONENT {
  uint8_t id;
  uint8_t sampling;  // horizontal factor << 4 | vertical factor
  uint8_t quant;     // quantisation table selector
};

// Everything the headers declare, as written (after the application has had
// its say through the tag exchange). The scan is laid out from this record,
// not from the encoder's own choices, so that what the file says and what
// the data holds agree.
struct JPEG_WORK {
  // Frame header (SOF0).
  uint8_t precision;
  uint16_t height;
  uint16_t width;
  uint8_t components;
  JPEG_FRAME_COMPONENT component[4];
  // Scan header (SOS).
  uint8_t scan_components;
  uint8_t scan_selector[3];
  uint8_t scan_tables[3];  // DC selector << 4 | AC selector
  uint8_t spectral_start, spectral_end, approximation;
  // JFIF fields (APP0).
  uint8_t jfif_id[5];
  uint16_t jfif_version;
  uint8_t density_units;
  uint16_t x_density, y_density;
  uint8_t thumbnail_width, thumbnail_height;
  int32_t grayscale;
  // Scaled quantisation tables, natural order, by selector (0 luminance,
  // 1 chrominance).
  int32_t quant[2][64];
};

// Filled when the encoder writes the data of a JPEG-compressed TIFF strip.
// Positions are stream positions; words 2, 6, 10 and 14 are left alone.
struct JPEG_TABLE_POS {
  uint32_t start;          // 0: before SOI
  uint32_t total_length;   // 1: SOI to EOI inclusive
  uint32_t spare2;
  uint32_t quant_luma;     // 3: the 64 luminance values
  uint32_t quant_chroma[2];  // 4, 5: the 64 chrominance values
  uint32_t spare6;
  uint32_t dc_luma;        // 7: DC luminance BITS
  uint32_t dc_chroma[2];   // 8, 9: colour only
  uint32_t spare10;
  uint32_t ac_luma;        // 11
  uint32_t ac_chroma[2];   // 12, 13: colour only
  uint32_t spare14;
  uint16_t luma_h, luma_v; // 15: read as input; 1 by 1 for grey images
  uint32_t data_start;     // 16: first byte of entropy-coded data
  uint32_t data_length;    // 17: from there to the end, EOI included
  uint32_t components;     // 18: low 16 bits, 1 or 3
};
static_assert(sizeof(JPEG_TABLE_POS) == 19 * 4);
static_assert(offsetof(JPEG_TABLE_POS, luma_h) == 15 * 4);
static_assert(offsetof(JPEG_TABLE_POS, components) == 18 * 4);

// Writes one baseline JPEG stream (SOI to EOI) of the image described by
// `header` and `palette` (256 entries), pulling its rows through the
// stream's raster-get callback. Scratch memory comes from `pool_tag` and is
// given back before the call returns. `positions` is given only for a TIFF
// strip. Returns the error count; EOI is written even after a failure, once
// SOI is out.
int32_t jpeg_encode(IO_REC* io, uint32_t pool_tag, JPEG_SAVE_OPTIONS* options,
                    const RX_BITMAPINFOHEADER* header, const RX_RGBQUAD* palette,
                    JPEG_WORK* work, JPEG_TABLE_POS* positions);

// Reports a failure of the writer where it is detected: every entry names
// the writer (JPGWRITE), whichever stage found the fault. Returns false.
bool jpeg_write_fail(int32_t code, int32_t ival, int32_t lval);

}  // namespace rx
