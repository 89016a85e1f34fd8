// The JPEG filter: the reader (JPGREAD) and the writer (JPGWRITE).
#pragma once

#include "SUPPORT/filter_record.h"
#include "rastrix/rx_types.h"

namespace rx {

extern const FILTER_RECORD kJpegFilter;

FilterInfo jpeg_info;
FilterRead jpeg_read;
FilterPageCount jpeg_page_count;
FilterWrite jpeg_write;

}  // namespace rx
