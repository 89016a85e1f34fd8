// Stitch: the rectangle sharpened into ridges by the fixed 5 x 5 kernel,
// then embossed. 8-bit images keep the positive part of the 5 x 5 pass;
// 24-bit images its magnitude, scaled by the caller's normaliser.
#include "IMG_PROC/convolve.h"
#include "IMG_PROC/fx_common.h"
#include "SUPPORT/error.h"

RX_SOURCE("source\\IMG_PROC\\fx_stitch.cpp");

using namespace rx;
using namespace rx::ip;

namespace {

// The fixed 5 x 5 kernel sums to 0 and has negative elements, so its
// normaliser is one over its positive elements, which add up to 16.
constexpr double kRidgeNormaliser = 1.0 / 16;

}  // namespace

extern "C" int32_t RX_IP_effect_stitch(RX_HIMAGE image, const int32_t* rect, int32_t direction,
                                       double normaliser) {
  IMAGE_REC* record = enter_or_push(image);
  if (record == nullptr) return RPb_AF_error_check();
  // Both kernels are built before any pixel changes, so a bad direction or
  // normaliser leaves the image as it was.
  RX_KERNEL emboss;
  if (!fx::depth_8_or_24(record) || !fx::normaliser_ok(normaliser) ||
      !kernel_direction(&emboss, direction, normaliser))
    return RPb_AF_error_check();
  const bool colour = dib_header(record->dib)->biBitCount == 24;
  RX_KERNEL ridges;
  kernel_fixed(&ridges, 5);
  ridges.normalizer = kRidgeNormaliser * (colour ? normaliser : 1.0);
  ridges.result_mode = colour ? RX_KERNEL_RESULT_ABSOLUTE : RX_KERNEL_RESULT_POSITIVE;
  const Span span = span_clamp(rect, dib_header(record->dib));
  if (fx::convolve(record, span, ridges)) fx::convolve(record, span, emboss);
  return RPb_AF_error_check();
}
