// The XBM filter: the reader (xbmread) and the writer (xbmwrite).
#pragma once

#include "SUPPORT/filter_record.h"
#include "rastrix/rx_types.h"

namespace rx {

extern const FILTER_RECORD kXbmFilter;

FilterInfo xbm_info;
FilterRead xbm_read;
FilterPageCount xbm_page_count;
FilterWrite xbm_write;

}  // namespace rx
