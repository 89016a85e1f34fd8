// The BMP filter: the reader (Bmpread) and the writer (bmpwrite).
#pragma once

#include "SUPPORT/filter_record.h"
#include "rastrix/rx_types.h"

namespace rx {

extern const FILTER_RECORD kBmpFilter;

int32_t bmp_info(IO_REC* io, RX_BITMAPINFOHEADER* header, RX_RGBQUAD* palette,
                 int32_t* compression, void* flags, int32_t page);
int32_t bmp_read(IO_REC* io, void* flags, int32_t page, int32_t fourth);
int32_t bmp_page_count(IO_REC* io, void* flags, int32_t* count);
int32_t bmp_write(IO_REC* io, void* flags, int32_t a, int32_t b, int32_t option);

}  // namespace rx
