// The SGI filter: one-byte-per-channel images, plain or run-length coded,
// read as 8-bit grey or 24-bit colour (sgiread) and written from 1-, 4-,
// 8- and 24-bit images (sgiwrite).
#pragma once

#include "SUPPORT/filter_record.h"
#include "rastrix/rx_types.h"

namespace rx {

extern const FILTER_RECORD kSgiFilter;

FilterInfo sgi_info;
FilterRead sgi_read;
FilterPageCount sgi_page_count;
FilterWrite sgi_write;

}  // namespace rx
