// The TIFF filter's record and detection test.
#include "IO/head_bytes.h"
#include "filters/tiff/tiff.h"

namespace rx {

int32_t tiff_detect(IO_REC*, const uint8_t* h, int32_t n) {
  return n >= 3 && (head_starts(h, "II") || head_starts(h, "MM"));
}

const FILTER_RECORD kTiffFilter = filter_record(
    RX_FORMAT_TIFF, tiff_detect, {tiff_info, tiff_read, tiff_write, tiff_page_count}, "TIF|TIFF|", 1);

}  // namespace rx
