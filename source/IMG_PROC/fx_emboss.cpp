// Emboss: the rectangle convolved with the two-element kernel of a
// direction, so that flat areas turn mid-grey and edges facing the
// direction stand out light or dark.
#include "IMG_PROC/convolve.h"
#include "IMG_PROC/fx_common.h"
#include "SUPPORT/error.h"

RX_SOURCE("source\\IMG_PROC\\fx_emboss.cpp");

using namespace rx;
using namespace rx::ip;

extern "C" int32_t RX_IP_effect_emboss(RX_HIMAGE image, const int32_t* rect, double normaliser,
                                       int32_t direction) {
  IMAGE_REC* record = enter_or_push(image);
  if (record == nullptr) return RPb_AF_error_check();
  RX_KERNEL k;
  if (!fx::depth_8_or_24(record) || !fx::normaliser_ok(normaliser) ||
      !kernel_direction(&k, direction, normaliser))
    return RPb_AF_error_check();
  fx::convolve(record, span_clamp(rect, dib_header(record->dib)), k);
  return RPb_AF_error_check();
}
