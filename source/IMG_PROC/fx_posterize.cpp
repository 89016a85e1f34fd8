// Posterize: every value falls to one of L evenly spaced levels from 0 to
// 255 through one 256-entry table.
#include <algorithm>
#include <array>
#include <cmath>

#include "IMG_PROC/fx_common.h"
#include "SUPPORT/error.h"

RX_SOURCE("source\\IMG_PROC\\fx_posterize.cpp");

namespace rx::ip::fx {

// Value i lies in band trunc(i / (255 / L)) and takes that band's level
// trunc(band x 255 / (L - 1)), at most 255 (i = 255 is a band of its own
// when 255 / L divides it, and lands on 255 all the same).
std::array<uint8_t, 256> posterize_table(int32_t levels) {
  const double l = std::max(levels, 2);
  const double band = 255.0 / l;
  const double level = 255.0 / (l - 1.0);
  std::array<uint8_t, 256> t{};
  for (int32_t i = 0; i < 256; ++i) {
    const double q = static_cast<double>(static_cast<int64_t>(i / band));
    t[static_cast<size_t>(i)] = static_cast<uint8_t>(std::min(255.0, std::trunc(q * level)));
  }
  return t;
}

}  // namespace rx::ip::fx

using namespace rx;
using namespace rx::ip;

extern "C" int32_t RX_IP_effect_posterize(RX_HIMAGE image, const int32_t* rect, int32_t levels,
                                          int32_t channels) {
  IMAGE_REC* record = enter_or_push(image);
  if (record == nullptr) return RPb_AF_error_check();
  if (!fx::depth_8_or_24(record)) return RPb_AF_error_check();
  const std::array<uint8_t, 256> table = fx::posterize_table(levels);
  const Span span = span_clamp(rect, dib_header(record->dib));
  if (dib_header(record->dib)->biBitCount == 8) {
    lut8_apply(record, span, table.data());
  } else {
    const uint8_t* t = table.data();
    const uint8_t* same = lut_identity();
    lut24_apply(record, span, (channels & RX_CHANNEL_BLUE) ? t : same,
                (channels & RX_CHANNEL_GREEN) ? t : same, (channels & RX_CHANNEL_RED) ? t : same);
  }
  return RPb_AF_error_check();
}
