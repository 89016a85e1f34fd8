// Smoothing: every pixel of a rectangle becomes the truncated mean of the
// square box around it.
#include "IMG_PROC/convolve.h"
#include "SUPPORT/error.h"

RX_SOURCE("source\\IMG_PROC\\smooth.cpp");

namespace rx::ip {
namespace {

bool smooth(IMAGE_REC* record, const int32_t* rect, int32_t strength) {
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  const uint32_t bits = h->biBitCount;
  if (bits == 1 || bits == 4 || bits == 16) {
    RX_ERR(RXE_BIT_COUNT_UNSUPPORTED, bits, 0);
    return false;
  }
  if (bits != 8 && bits != 24) {
    RX_ERR(RXE_INVALID_BIT_COUNT, bits, 0);
    return false;
  }
  if (strength < 1 || strength > 4) {
    RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, strength, 0);
    return false;
  }
  // Strength 1..4: boxes of 3, 5, 7, 9.
  RX_KERNEL kernel;
  kernel_box(&kernel, 2 * strength + 1);
  return convolve_record(record, span_clamp(rect, h), kernel, PassOptions{});
}

}  // namespace
}  // namespace rx::ip

extern "C" int32_t RX_IP_smooth(RX_HIMAGE image, const int32_t* rect, int32_t strength) {
  IMAGE_REC* record = rx::ip::enter_or_push(image);
  if (record != nullptr) rx::ip::smooth(record, rect, strength);
  return RPb_AF_error_check();
}
