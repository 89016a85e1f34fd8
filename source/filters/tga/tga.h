// The TGA filter: the reader (tgaread) and the writer (tgawrite).
#pragma once

#include "SUPPORT/filter_record.h"
#include "rastrix/rx_types.h"

namespace rx {

extern const FILTER_RECORD kTgaFilter;

FilterInfo tga_info;
FilterRead tga_read;
FilterPageCount tga_page_count;
FilterWrite tga_write;

}  // namespace rx
