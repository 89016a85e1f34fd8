// The JPEG filter's record and detection test: the SOI marker.
#include "filters/jpeg/jpeg.h"

namespace rx {
namespace {

int32_t jpeg_detect(IO_REC*, const uint8_t* h, int32_t n) {
  return n >= 2 && h[0] == 0xFF && h[1] == 0xD8;
}

}  // namespace

const FILTER_RECORD kJpegFilter =
    filter_record(RX_FORMAT_JPEG, jpeg_detect,
                  {jpeg_info, jpeg_read, jpeg_write, jpeg_page_count}, "JPG|", 0);

}  // namespace rx
