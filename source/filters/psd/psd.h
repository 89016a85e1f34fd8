// The PSD filter: the flattened image of a layered-image file, read in
// every colour mode (psdread) and written raw (psdwrite).
#pragma once

#include "SUPPORT/filter_record.h"
#include "rastrix/rx_types.h"

namespace rx {

extern const FILTER_RECORD kPsdFilter;

FilterInfo psd_info;
FilterRead psd_read;
FilterPageCount psd_page_count;
FilterWrite psd_write;

}  // namespace rx
