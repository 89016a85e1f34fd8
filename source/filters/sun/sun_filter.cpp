// The Sun raster record and detection test: the big-endian magic number.
#include "IO/head_bytes.h"
#include "filters/sun/sun.h"
#include "filters/sun/sun_format.h"

namespace rx {
namespace {

int32_t sun_detect(IO_REC*, const uint8_t* h, int32_t n) { return n >= 4 && mm32(h) == kSunMagic; }

}  // namespace

const FILTER_RECORD kSunFilter =
    filter_record(RX_FORMAT_SUN, sun_detect, {sun_info, sun_read, sun_write, sun_page_count},
                  "RAS|", 0);

}  // namespace rx
