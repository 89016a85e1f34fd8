// The bit depth of the bands a draw renders, from the device and the image.
#pragma once

#include <cstdint>

namespace rx {

struct TargetQuery {
  int32_t device_bits;  // bits per pixel times planes of the DC
  int32_t image_bits;
  int32_t dither_mode;
  int32_t alias_mode;
  bool is_display;
  int32_t rotation;
  int64_t device_width, device_height;  // the device rectangle
  int64_t source_width, source_height;  // the image rectangle
};

// The first rule that applies: a 4-bit image on a 256-colour device in
// dither mode 2 goes through the 3-3-2 cube (8); a 1-bit image in
// anti-alias mode 2 on a colour display is drawn in black and white when
// turned (1) and in 16 greys when reduced both ways (4); devices of 256
// colours or fewer take the smaller of their depth and the image's;
// 16-bit devices 16 for images of 16 bits or more; deeper devices 24 for
// 16- and 24-bit images. Otherwise the image's own depth.
int32_t band_target_depth(const TargetQuery& q);

}  // namespace rx
