// The GIF filter's placeholders: GIF images need the LZW extension module,
// and until it is loaded every GIF operation reports it missing.
#pragma once

#include "SUPPORT/filter_record.h"
#include "rastrix/rx_types.h"

namespace rx {

extern const FILTER_RECORD kGifFilter;


FilterInfo gif_info;
FilterRead gif_read;
FilterWrite gif_write;
FilterPageCount gif_page_count;

}  // namespace rx
