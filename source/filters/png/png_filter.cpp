// The PNG filter's record (its detection test, the signature, lives with
// the reader).
#include "filters/png/png.h"

namespace rx {

const FILTER_RECORD kPngFilter =
    filter_record(RX_FORMAT_PNG, png_detect, {png_info, png_read, png_write, png_page_count},
                  "PNG|", 0);

}  // namespace rx
