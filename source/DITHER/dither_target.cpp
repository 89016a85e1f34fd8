// Target checks and 1-bit result rows of the dithering operations.
#include "DITHER/dither_target.h"

#include <cstring>

RX_SOURCE("source\\DITHER\\dither_target.cpp");

namespace rx::dither {

bool target_ok(uint32_t bits, int32_t target, bool colour_ok) {
  const bool ok = (bits == 4 && target == 1) ||
                  ((bits == 8 || bits == 24) && (target == 1 || (target == 4 && colour_ok)));
  if (!ok) RX_ERR(RXE_BIT_COUNT_UNSUPPORTED, bits, target);
  return ok;
}

BitLine::BitLine(NewDib& out, uint32_t width, TagGuard& scratch)
    : out_(out), stride_(static_cast<uint32_t>(dib_stride(1, width))),
      line_(static_cast<uint8_t*>(scratch.alloc(stride_))) {
  if (line_ == nullptr) RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, stride_, scratch.tag());
  else std::memset(line_, 0, stride_);
}

bool BitLine::store(int32_t y) {
  const bool stored = out_.store_packed(y, line_);
  std::memset(line_, 0, stride_);
  return stored;
}

}  // namespace rx::dither
