// PrintImage: the current image printed on the printer DC the host writes.
// A PrintSize of 0 to 5 places it by that size mode (rx_print.h), centred
// with the image's resolution kept; a larger one prints into the rectangle
// PrintLeft, PrintTop, PrintRight, PrintBottom, read in the units the
// auxiliary entry 7 names (0: the printer's dots). Either way the page
// around the image is white, and the image's own background and device
// rectangle are as they were afterwards.
#include "RastCtl.h"
#include "rast_dispids.h"
#include "rastrix/rx_print.h"

namespace rast {

namespace {

// Size modes up to this one place the image by themselves.
constexpr int32_t kMostSizeMode = RX_PRINT_DOTS;
// The auxiliary entry that gives the print rectangle's units per inch.
constexpr size_t kAuxPrintUnits = 7;
constexpr int32_t kCentre = 1, kUseResolution = 1;

// An image's display background, kept while it prints on white.
struct Background {
  uintptr_t pattern = 0;
  RX_RGBQUAD foreground{}, background{};
  int32_t on = 0;
};

Background background_of(RX_HIMAGE image) {
  Background b;
  RX_display_background_get(image, &b.pattern, &b.foreground, &b.background, &b.on);
  return b;
}

void background_white(RX_HIMAGE image) {
  const RX_RGBQUAD white{255, 255, 255, 0};
  RX_display_background_set(image, 0, nullptr, &white, 1);
}

void background_restore(RX_HIMAGE image, const Background& b) {
  RX_display_background_set(image, b.pattern, &b.foreground, &b.background, b.on);
}

}  // namespace

// The error check runs straight after the print, before the background and
// rectangle are put back: those calls clear the engine's stack, and the
// print's failure must be what the report and the host see.
void CRastCtrl::on_print_image() {
  if (current_valid()) {
    const auto dc = static_cast<uintptr_t>(num(kDispPrintImage));
    const Background kept = background_of(current_);
    const int32_t size_mode = lng(kDispPrintSize);
    if (size_mode <= kMostSizeMode) {
      background_white(current_);
      set_err_count(RX_display_print(current_, dc, size_mode, kCentre, kUseResolution));
      error_check();
    } else {
      int32_t kept_rect[4] = {};
      RX_display_device_rect_get(current_, kept_rect);
      const int32_t rect[4] = {lng(kDispPrintLeft), lng(kDispPrintTop), lng(kDispPrintRight),
                               lng(kDispPrintBottom)};
      // A rectangle the engine refuses prints nothing: the image would
      // otherwise land wherever the screen last put it.
      const int32_t refused = RX_display_device_rect_set(current_, rect);
      if (refused != 0) {
        set_err_count(refused);
        error_check();
      } else {
        background_white(current_);
        set_err_count(RX_display_print_rect(current_, dc, aux_[kAuxPrintUnits]));
        error_check();
        RX_display_device_rect_set(current_, kept_rect);
      }
    }
    background_restore(current_, kept);
  }
  set_modified();
}

}  // namespace rast
