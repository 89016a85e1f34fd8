// The BMP filter: the reader (Bmpread) and the writer (bmpwrite).
#pragma once

#include "SUPPORT/filter_record.h"
#include "rastrix/rx_types.h"

namespace rx {

extern const FILTER_RECORD kBmpFilter;

FilterInfo bmp_info;
FilterRead bmp_read;
FilterPageCount bmp_page_count;
FilterWrite bmp_write;

}  // namespace rx
