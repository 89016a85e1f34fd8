// The TGA record and detection test: a known image type in byte 2 and a
// colour-map type of 0 or 1.
#include "filters/tga/tga.h"
#include "filters/tga/tga_format.h"

namespace rx {
namespace {

int32_t tga_detect(IO_REC*, const uint8_t* h, int32_t n) {
  return n >= 3 && h[1] < 2 && tga_type_known(h[2]);
}

}  // namespace

const FILTER_RECORD kTgaFilter =
    filter_record(RX_FORMAT_TGA, tga_detect, {tga_info, tga_read, tga_write, tga_page_count},
                  "TGA|TPIC|", 0);

}  // namespace rx
