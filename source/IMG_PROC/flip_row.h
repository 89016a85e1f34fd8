// Reversing the pixels of a 24-bit row in place. The plain loop and the
// one that takes sixteen pixels from each end at a time where the
// processor has SSSE3 give the same bytes.
#pragma once

#include <cstdint>

namespace rx::ip {

void reverse_row_24_plain(uint8_t* row, uint32_t width);
void reverse_row_24(uint8_t* row, uint32_t width);

}  // namespace rx::ip
