// The depth rule, the kernel pass and the pseudo-random sequence of the
// special effects.
#include "IMG_PROC/fx_common.h"

#include <cmath>

#include "IMG_PROC/convolve.h"
#include "SUPPORT/error.h"
#include "SUPPORT/random.h"

RX_SOURCE("source\\IMG_PROC\\fx_common.cpp");

namespace rx::ip::fx {

bool depth_8_or_24(IMAGE_REC* record) {
  const uint32_t bits = dib_header(record->dib)->biBitCount;
  if (bits == 8 || bits == 24) return true;
  if (bits == 1 || bits == 4 || bits == 16) RX_ERR(RXE_BIT_COUNT_UNSUPPORTED, bits, 0);
  return false;
}

bool normaliser_ok(double normaliser) {
  if (std::isfinite(normaliser)) return true;
  RX_ERR(RXE_INVALID_KERNEL_NORMALIZER, 0, 0);
  return false;
}

bool convolve(IMAGE_REC* record, const Span& span, const RX_KERNEL& kernel) {
  PassOptions options;
  options.sample_mask = dib_header(record->dib)->biBitCount == 24 ? 7u : 1u;
  options.snap_whole = false;
  options.reflect_repeatedly = false;
  options.keep_done_rows = true;
  return convolve_record(record, span, kernel, options);
}

int32_t random15() { return rx::random15(); }

void random_seed(uint32_t seed) { rx::random_seed(seed); }

}  // namespace rx::ip::fx
