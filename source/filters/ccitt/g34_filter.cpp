// The raw fax filters' records. They have no detection test: headerless
// fax data is reached only by an explicit raw load or a save by code.
#include "filters/ccitt/g34.h"

namespace rx {

const FILTER_RECORD kRawG3Filter = filter_record(
    RX_FORMAT_RAW_G3, nullptr, {g3_info, g3_read, g3_write, g34_page_count}, nullptr, 0);
const FILTER_RECORD kRawG4Filter = filter_record(
    RX_FORMAT_RAW_G4, nullptr, {g4_info, g4_read, g4_write, g34_page_count}, nullptr, 0);

}  // namespace rx
