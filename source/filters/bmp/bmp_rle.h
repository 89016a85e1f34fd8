// BMP run-length coding, 8 and 4 bits per pixel: the row decoders the
// reader drives and the row encoders the writer drives, both working
// through a buffered stream.
#pragma once

#include <cstdint>

#include "IO/iobuffer.h"

namespace rx {

// What a decoder carries from one row to the next.
struct RLE_DECODER {
  IO_BUFFER* in;
  uint32_t bits;        // 8 or 4
  uint32_t stride;      // bytes of an output row
  uint64_t row_end;     // pixels in an output row: the padded row, not the width
  uint32_t blank_rows;  // rows still to come out all 0 after a jump
  uint64_t resume_at;   // where the row after a jump starts
  uint32_t ended;       // 1 once the end of the bitmap has been seen
  int32_t file_row;     // rows decoded so far, for error entries
};

void bmp_rle_decoder_init(RLE_DECODER* d, IO_BUFFER* in, uint32_t bits, uint32_t stride);
// Decodes the next row into `row` (stride bytes). Returns 0 or the pushed
// code.
int32_t bmp_rle_row_decode(RLE_DECODER* d, uint8_t* row);

// Encode `n` pixels, one per byte (values 0..15 for RLE4), and end the row;
// the last row of the image ends the bitmap instead. False when the stream
// would not take the bytes.
bool bmp_rle8_row_encode(IO_BUFFER* out, const uint8_t* pixels, uint32_t n, bool last);
bool bmp_rle4_row_encode(IO_BUFFER* out, const uint8_t* pixels, uint32_t n, bool last);

}  // namespace rx
