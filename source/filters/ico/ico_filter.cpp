// The icon filter's record and detection test: reserved 0, type 1, at
// least one image, and a first image of 16, 32 or 64 pixels a side with
// 2, 8 or 16 colours.
#include "IO/head_bytes.h"
#include "filters/ico/ico.h"

namespace rx {
namespace {

bool icon_size(uint8_t v) { return v == 16 || v == 32 || v == 64; }

int32_t ico_detect(IO_REC*, const uint8_t* h, int32_t n) {
  return n >= 14 && ii16(h) == 0 && ii16(h + 2) == 1 && ii16(h + 4) != 0 && icon_size(h[6]) &&
         icon_size(h[7]) && (h[8] == 2 || h[8] == 8 || h[8] == 16);
}

}  // namespace

const FILTER_RECORD kIcoFilter =
    filter_record(RX_FORMAT_ICO, ico_detect, {ico_info, ico_read, ico_write, ico_page_count},
                  "ICO|", 0);

}  // namespace rx
