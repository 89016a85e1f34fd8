// Engine start installs the progressive load's drawing hook; stop removes
// it. The hook draws the image with the clip set to the band of device rows
// the new rows cover, then puts the image's own clip back; it keeps the
// load's error stack, so anything it reports fails the load.
#include "DISPLAY/display_engine.h"

#include <algorithm>

#include "DISPLAY/display_draw.h"
#include "LOAD/load.h"
#include "SUPPORT/error.h"

namespace rx {
namespace {

void load_band_draw(uintptr_t device_context, RX_HIMAGE image, const LoadDisplayBand* band) {
  // A load without a device context only prepares its image.
  if (device_context == 0 || band == nullptr || !RPb_iRX_image_is_valid(image)) return;
  DISPLAY_ATTR& d = record_of(image)->display;
  int32_t kept_rect[4];
  std::copy(d.clip_rect, d.clip_rect + 4, kept_rect);
  const int32_t kept_on = d.clip_on;
  d.clip_rect[0] = band->left;
  d.clip_rect[1] = band->top;
  d.clip_rect[2] = band->right;
  d.clip_rect[3] = band->bottom;
  d.clip_on = 1;
  display_draw(record_of(image), reinterpret_cast<HDC>(device_context));
  // The draw may not have left the record where it found it.
  if (RPb_iRX_image_is_valid(image)) {
    std::copy(kept_rect, kept_rect + 4, d.clip_rect);
    d.clip_on = kept_on;
  }
}

}  // namespace

int32_t display_engine_create() {
  g_load_display_hook = load_band_draw;
  return 0;
}

void display_engine_destroy() { g_load_display_hook = nullptr; }

}  // namespace rx
