// The Sun raster filter: the reader (sunread) and the writer (sunwrite).
#pragma once

#include "SUPPORT/filter_record.h"
#include "rastrix/rx_types.h"

namespace rx {

extern const FILTER_RECORD kSunFilter;

FilterInfo sun_info;
FilterRead sun_read;
FilterPageCount sun_page_count;
FilterWrite sun_write;

}  // namespace rx
