// The PNG filter (format code 33): the reader (PNGREAD) and the writer
// (PNGWRITE), with the engine's own inflate and deflate.
#pragma once

#include "SUPPORT/filter_record.h"
#include "rastrix/rx_types.h"

namespace rx {

extern const FILTER_RECORD kPngFilter;

int32_t png_detect(IO_REC* io, const uint8_t* head, int32_t count);
FilterInfo png_info;
FilterRead png_read;
FilterPageCount png_page_count;
FilterWrite png_write;

}  // namespace rx
