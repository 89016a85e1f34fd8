// Blur: the rectangle smoothed with a box of ones, 3 x 3 for strength 1
// and 5 x 5 for strength 2. Other strengths are no blur at all, and are
// looked at before the depth, so they never report.
#include "IMG_PROC/convolve.h"
#include "IMG_PROC/fx_common.h"
#include "SUPPORT/error.h"

RX_SOURCE("source\\IMG_PROC\\fx_blur.cpp");

using namespace rx;
using namespace rx::ip;

extern "C" int32_t RX_IP_effect_blur(RX_HIMAGE image, const int32_t* rect, int32_t strength) {
  IMAGE_REC* record = enter_or_push(image);
  if (record == nullptr) return RPb_AF_error_check();
  if (strength != 1 && strength != 2) return RPb_AF_error_check();
  if (!fx::depth_8_or_24(record)) return RPb_AF_error_check();
  RX_KERNEL box;
  kernel_box(&box, 2 * strength + 1);
  fx::convolve(record, span_clamp(rect, dib_header(record->dib)), box);
  return RPb_AF_error_check();
}
