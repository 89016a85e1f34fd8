// The engine settings: the status callback and the load-time conversion,
// crop and resize options.
#pragma once

#include <cstdint>

#include "rastrix/rx_types.h"

namespace rx {

struct ENGINE_SETTINGS {
  uint32_t tag;
  RX_STATUS_CB status_callback;
  uintptr_t status_user;
  int32_t conversion_mode;  // 0 none, 1 to 1-bit, 2 to 4-bit, 3 to 8-bit
  int32_t crop_left, crop_top, crop_width, crop_height;
  int32_t resize_width, resize_height;
  uint64_t max_pixels;      // 0: the engine's own limit
  uint64_t max_allocation;  // 0: the engine's own limit
};

// The load options as a load reads them once at its start.
struct LoadOptions {
  int32_t conversion_mode = 0;
  int32_t crop_left = 0, crop_top = 0, crop_width = 0, crop_height = 0;
  bool crop_on = false;  // width or height non-zero
  int32_t resize_width = 0, resize_height = 0;
  bool resize_on = false;  // either non-zero
};

ENGINE_SETTINGS* settings_record();
LoadOptions load_options_get();

}  // namespace rx
