// The XBM record and detection test: the text starts with "#def".
#include "IO/head_bytes.h"
#include "filters/xbm/xbm.h"

namespace rx {
namespace {

int32_t xbm_detect(IO_REC*, const uint8_t* h, int32_t n) { return n >= 4 && head_starts(h, "#def"); }

}  // namespace

const FILTER_RECORD kXbmFilter =
    filter_record(RX_FORMAT_XBM, xbm_detect, {xbm_info, xbm_read, xbm_write, xbm_page_count},
                  "XBM|", 0);

}  // namespace rx
