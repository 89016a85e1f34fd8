// The BMP filter's record and detection test: a file header ("BM") or a
// bare 40-byte information header.
#include "IO/head_bytes.h"
#include "filters/bmp/bmp.h"

namespace rx {
namespace {

int32_t bmp_detect(IO_REC*, const uint8_t* h, int32_t n) {
  return (n >= 2 && ii16(h) == 0x4D42) || (n >= 4 && ii32(h) == 40);
}

}  // namespace

const FILTER_RECORD kBmpFilter =
    filter_record(RX_FORMAT_BMP, bmp_detect, {bmp_info, bmp_read, bmp_write, bmp_page_count},
                  "BMP|DIB|", 0);

}  // namespace rx
