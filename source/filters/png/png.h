// The PNG filter (format code 33): the reader (PNGREAD) and the writer
// (PNGWRITE), with the engine's own inflate and deflate.
#pragma once

#include "rastrix/rx_types.h"

namespace rx {

int32_t png_detect(IO_REC* io, const uint8_t* head, int32_t count);
int32_t png_info(IO_REC* io, RX_BITMAPINFOHEADER* header, RX_RGBQUAD* palette,
                 int32_t* compression, void* flags, int32_t page);
int32_t png_read(IO_REC* io, void* flags, int32_t page, int32_t fourth);
int32_t png_page_count(IO_REC* io, void* flags, int32_t* count);
int32_t png_write(IO_REC* io, void* flags, int32_t a, int32_t b, int32_t option);

}  // namespace rx
