// The depth rule and the pseudo-random sequence of the special effects.
#include "IMG_PROC/fx_common.h"

#include <cmath>

#include "SUPPORT/error.h"

RX_SOURCE("source\\IMG_PROC\\fx_common.cpp");

namespace rx::ip::fx {
namespace {

// Engine-wide like the C library's generator, but one per thread so that
// effects on different threads cannot race on it.
thread_local uint32_t g_state = 1;

}  // namespace

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

int32_t random15() {
  g_state = g_state * 1103515245u + 12345u;
  return static_cast<int32_t>((g_state >> 16) & 0x7FFFu);
}

void random_seed(uint32_t seed) { g_state = seed; }

}  // namespace rx::ip::fx
