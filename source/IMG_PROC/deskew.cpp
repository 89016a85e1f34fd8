// Turning a skewed bi-level page straight: the skew is measured from the
// page's dark blobs and undone with the any-angle rotation when it is at
// least the caller's least angle (and clearly not a quarter turn).
//
// The rotation fills what it brings in with pixel value 0. The page is
// turned with its dark pixels as 0, so those corners take the dark colour
// whichever palette entry holds it; a page whose entry 0 is light is
// complemented before the turn and after it.
#include <cmath>

#include "IMG_PROC/ip_common.h"
#include "IMG_PROC/skew.h"
#include "SUPPORT/dib.h"
#include "SUPPORT/error.h"

RX_SOURCE("source\\IMG_PROC\\deskew.cpp");

namespace rx::ip {
namespace {

// Skews of this size or more are quarter turns, not scanning slips.
constexpr double kSkewMost = 89.0;

// Complements every pixel of a 1-bit image. Plain rows are complemented
// whole (padding too, which the second pass restores); runs rows through
// the engine's inversion.
bool complement(IMAGE_REC* record) {
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  if (dib_is_runs(record->dib)) return bilevel_invert(record, span_clamp(nullptr, h));
  uint8_t* pixels = dib_pixels(record->dib);
  const size_t bytes = size_t{dib_stride_of(h)} * static_cast<uint32_t>(h->biHeight);
  for (size_t i = 0; i < bytes; ++i) pixels[i] = static_cast<uint8_t>(~pixels[i]);
  return true;
}

void deskew(RX_HIMAGE image, IMAGE_REC* record, double least_angle, int32_t expand) {
  double angle = 0.0;
  if (!skew_measure(record, &angle) || error_count() != 0) return;
  if (!(std::fabs(angle) >= least_angle && std::fabs(angle) < kSkewMost)) return;
  const bool light_zero = dib_palette(record->dib)[0].rgbBlue != 0;
  if (light_zero && !complement(record)) return;
  RX_IP_rotate_any(image, angle, expand);
  // The record now holds the turned page, or still the first one when the
  // turn failed; either is complemented back.
  if (light_zero) complement(record);
}

}  // namespace
}  // namespace rx::ip

using namespace rx;
using namespace rx::ip;

extern "C" int32_t RX_IP_deskew(RX_HIMAGE image, double least_angle, int32_t expand) {
  IMAGE_REC* record = enter_or_push(image);
  if (record == nullptr) return error_count();
  deskew(image, record, least_angle, expand);
  return error_count();
}
