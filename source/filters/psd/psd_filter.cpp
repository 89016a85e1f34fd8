// The PSD filter's record and detection test: the signature "8BPS".
#include "IO/head_bytes.h"
#include "filters/psd/psd.h"

namespace rx {
namespace {

int32_t psd_detect(IO_REC*, const uint8_t* h, int32_t n) { return n >= 4 && head_starts(h, "8BPS"); }

}  // namespace

const FILTER_RECORD kPsdFilter =
    filter_record(RX_FORMAT_PSD, psd_detect, {psd_info, psd_read, psd_write, psd_page_count},
                  "PSD|", 0);

}  // namespace rx
