// The TIFF filter: the reader (TIFREAD) and the writer (TIFWRITE) of format
// code 40, the first row of the filter table.
#pragma once

#include "SUPPORT/filter_record.h"
#include "rastrix/rx_types.h"

namespace rx {

extern const FILTER_RECORD kTiffFilter;

// Claims streams of at least 3 bytes that begin "II" or "MM".
int32_t tiff_detect(IO_REC* io, const uint8_t* head, int32_t count);

FilterInfo tiff_info;
// The fourth value is the tile to load of a tiled page (from 0).
FilterRead tiff_read;
FilterPageCount tiff_page_count;
// `a` is the page position: 0 (or above the page count) appends, n puts
// the new page before page n. `option` is the engine compression code.
FilterWrite tiff_write;

}  // namespace rx
