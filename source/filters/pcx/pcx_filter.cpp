// The PCX and DCX records and detection tests: a PCX file starts with the
// manufacturer byte 10, a version below 6 and run-length coding; a DCX file
// with its 32-bit magic.
#include "IO/head_bytes.h"
#include "filters/pcx/pcx.h"
#include "filters/pcx/pcx_format.h"

namespace rx {
namespace {

int32_t pcx_detect(IO_REC*, const uint8_t* h, int32_t n) {
  return n >= 3 && h[0] == kPcxManufacturer && h[1] < 6 && h[2] == 1;
}

int32_t dcx_detect(IO_REC*, const uint8_t* h, int32_t n) { return n >= 4 && ii32(h) == kDcxMagic; }

}  // namespace

const FILTER_RECORD kPcxFilter =
    filter_record(RX_FORMAT_PCX, pcx_detect, {pcx_info, pcx_read, pcx_write, pcx_page_count},
                  "PCX|", 0);
const FILTER_RECORD kDcxFilter =
    filter_record(RX_FORMAT_DCX, dcx_detect, {dcx_info, dcx_read, dcx_write, dcx_page_count},
                  "DCX|", 1);

}  // namespace rx
