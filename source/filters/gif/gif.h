// The GIF filter's placeholders: GIF images need the LZW extension module,
// and until it is loaded every GIF operation reports it missing.
#pragma once

#include "SUPPORT/filter_record.h"
#include "rastrix/rx_types.h"

namespace rx {

extern const FILTER_RECORD kGifFilter;


int32_t gif_info(IO_REC* io, RX_BITMAPINFOHEADER* header, RX_RGBQUAD* palette,
                 int32_t* compression, void* flags, int32_t page);
int32_t gif_read(IO_REC* io, void* flags, int32_t page, int32_t fourth);
int32_t gif_write(IO_REC* io, void* flags, int32_t a, int32_t b, int32_t option);
int32_t gif_page_count(IO_REC* io, void* flags, int32_t* count);

}  // namespace rx
