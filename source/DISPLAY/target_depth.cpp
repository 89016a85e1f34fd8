#include "DISPLAY/target_depth.h"

#include <algorithm>

namespace rx {
namespace {

// The anti-alias mode that shows reduced 1-bit images in 16 greys.
constexpr int32_t kAliasGray = 2;

}  // namespace

int32_t band_target_depth(const TargetQuery& q) {
  if (q.device_bits == 8 && q.dither_mode == 2 && q.image_bits == 4) return 8;
  const bool gray_alias = q.device_bits > 1 && q.image_bits == 1 && q.alias_mode == kAliasGray &&
                          q.is_display;
  if (gray_alias && q.rotation != 0) return 1;
  if (gray_alias && q.device_width < q.source_width && q.device_height < q.source_height) return 4;
  if (q.device_bits <= 8) return std::min(q.device_bits, q.image_bits);
  if (q.device_bits == 16) return q.image_bits >= 16 ? 16 : q.image_bits;
  return q.image_bits == 16 || q.image_bits >= 24 ? 24 : q.image_bits;
}

}  // namespace rx
