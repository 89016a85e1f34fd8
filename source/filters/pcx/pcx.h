// The PCX filter and the DCX filter, whose pages are PCX images: readers
// (PCXREAD, DCXREAD) and writers (PCXWRITE, DCXWRITE).
#pragma once

#include "SUPPORT/filter_record.h"
#include "rastrix/rx_types.h"

namespace rx {

extern const FILTER_RECORD kPcxFilter;
extern const FILTER_RECORD kDcxFilter;

FilterInfo pcx_info;
FilterRead pcx_read;
FilterPageCount pcx_page_count;
FilterWrite pcx_write;

FilterInfo dcx_info;
FilterRead dcx_read;
FilterPageCount dcx_page_count;
FilterWrite dcx_write;

}  // namespace rx
