// The SGI filter's record and detection test: the big-endian magic 474.
#include "IO/head_bytes.h"
#include "filters/sgi/sgi.h"

namespace rx {
namespace {

inline constexpr uint16_t kSgiMagic = 474;

int32_t sgi_detect(IO_REC*, const uint8_t* h, int32_t n) { return n >= 2 && mm16(h) == kSgiMagic; }

}  // namespace

const FILTER_RECORD kSgiFilter =
    filter_record(RX_FORMAT_SGI, sgi_detect, {sgi_info, sgi_read, sgi_write, sgi_page_count},
                  "SGI|BW|RGB|RGBA|", 0);

}  // namespace rx
