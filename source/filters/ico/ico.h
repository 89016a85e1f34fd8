// The icon filter: every 2- and 16-colour image of an icon file as a page
// (icoread), and one image written as a single-image icon (icowrite).
#pragma once

#include "SUPPORT/filter_record.h"
#include "rastrix/rx_types.h"

namespace rx {

extern const FILTER_RECORD kIcoFilter;

FilterInfo ico_info;
FilterRead ico_read;
FilterPageCount ico_page_count;
FilterWrite ico_write;

}  // namespace rx
