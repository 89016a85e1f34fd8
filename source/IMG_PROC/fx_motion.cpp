// Motion blur: every pixel of the rectangle becomes the mean of a line of
// pixels trailing from it in one of eight directions.
#include <algorithm>

#include "IMG_PROC/convolve.h"
#include "IMG_PROC/fx_common.h"
#include "SUPPORT/error.h"

RX_SOURCE("source\\IMG_PROC\\fx_motion.cpp");

using namespace rx;
using namespace rx::ip;

extern "C" int32_t RX_IP_effect_motion(RX_HIMAGE image, const int32_t* rect, int32_t length,
                                       int32_t direction) {
  IMAGE_REC* record = enter_or_push(image);
  if (record == nullptr) return RPb_AF_error_check();
  if (!fx::depth_8_or_24(record) || !direction_ok(direction)) return RPb_AF_error_check();
  if (length < 1) {
    RX_ERR(RXE_INVALID_KERNEL_MOTION_EXTENT, length, 0);
    return RPb_AF_error_check();
  }
  // The effect shortens a diagonal before cutting the line to the largest
  // kernel, so long diagonals keep 16 elements.
  RX_KERNEL k;
  kernel_line(&k, direction, std::min(motion_elements(direction, length), RX_KERNEL_MAX));
  fx::convolve(record, span_clamp(rect, dib_header(record->dib)), k);
  return RPb_AF_error_check();
}
