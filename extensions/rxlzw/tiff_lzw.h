// The LZW codec of TIFF strips, registered for compression number 8.
#pragma once

#include "rastrix/rpb.h"

namespace rxlzw {

// Decodes the strip at the stream's position (strip->strip_bytes coded
// bytes) into strip->rows rows of strip->row_bytes bytes at buffer. Codes
// are read MSB-first with the early change; strips of the old LSB-first
// kind (they start with 0x00 0x01) are read too, and FillOrder 2 strips
// have their bits reversed first. Predictor 2 is left to the caller.
// 0 on success; otherwise the error count (one entry pushed).
int32_t tiff_lzw_decode(IO_REC* io, uint8_t* buffer, int32_t buffer_size, uint32_t pool_tag,
                        const RX_BITMAPINFOHEADER* header, int32_t rows_per_strip,
                        int32_t bits_per_sample, int32_t samples_per_pixel,
                        const RX_CODEC_STRIP* strip, void* state);
// Codes *byte_count bytes of buffer (one strip's rows in file order) at the
// stream's position; *byte_count becomes the number of bytes written.
int32_t tiff_lzw_encode(IO_REC* io, uint32_t pool_tag, const uint8_t* buffer,
                        int32_t* byte_count);

}  // namespace rxlzw
