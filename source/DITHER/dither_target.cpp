// Target checks and 1-bit result rows of the dithering operations.
#include "DITHER/dither_target.h"

#include <algorithm>
#include <cstring>

#include "SUPPORT/runs.h"

RX_SOURCE("source\\DITHER\\dither_target.cpp");

namespace rx::dither {

// Reserved for a dithered runs image at most; beyond, the area doubles.
constexpr uint64_t kDitheredReserve = uint64_t{1} << 26;

uint64_t dithered_runs_capacity(int32_t width, int32_t height) {
  const uint64_t longest = run_row_max_bytes(static_cast<uint32_t>(width));
  return std::min(longest * static_cast<uint32_t>(height), kDitheredReserve);
}

bool target_ok(uint32_t bits, int32_t target, bool colour_ok) {
  const bool ok = (bits == 4 && target == 1) ||
                  ((bits == 8 || bits == 24) && (target == 1 || (target == 4 && colour_ok)));
  if (!ok) RX_ERR(RXE_BIT_COUNT_UNSUPPORTED, bits, target);
  return ok;
}

BitPlane::BitPlane(NewDib& out, uint32_t width, int32_t height, TagGuard& scratch)
    : out_(out), stride_(static_cast<uint32_t>(dib_stride(1, width))), height_(height), bits_(nullptr) {
  // Within the DIB limits: the plain DIB of this size was checked.
  const uint64_t bytes = uint64_t{stride_} * static_cast<uint32_t>(height);
  bits_ = static_cast<uint8_t*>(scratch.alloc(static_cast<size_t>(bytes)));
  if (bits_ == nullptr) RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, static_cast<int32_t>(bytes), scratch.tag());
  else std::memset(bits_, 0, static_cast<size_t>(bytes));
}

bool BitPlane::store() {
  for (int32_t y = 0; y < height_; ++y)
    if (!out_.store_packed(y, row(y))) return false;
  return true;
}

}  // namespace rx::dither
