// Motion blur: every pixel of the rectangle becomes the mean of a line of
// pixels trailing from it in one of eight directions.
#include "IMG_PROC/fx_common.h"
#include "IMG_PROC/fx_kernel.h"
#include "SUPPORT/error.h"

RX_SOURCE("source\\IMG_PROC\\fx_motion.cpp");

using namespace rx;
using namespace rx::ip;

extern "C" int32_t RX_IP_effect_motion(RX_HIMAGE image, const int32_t* rect, int32_t length,
                                       int32_t direction) {
  IMAGE_REC* record = enter_or_push(image);
  if (record == nullptr) return RPb_AF_error_check();
  fx::Kernel k;
  if (!fx::depth_8_or_24(record) || !fx::kernel_motion(direction, length, &k))
    return RPb_AF_error_check();
  fx::convolve(record, span_clamp(rect, dib_header(record->dib)), k);
  return RPb_AF_error_check();
}
