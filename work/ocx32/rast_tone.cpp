// Tone members of the control: inversion, contrast and brightness, contrast
// stretch and histogram equalisation, each on the whole current image.
#include "RastCtl.h"
#include "rast_dispids.h"

namespace rast {

namespace {
constexpr int32_t kPixels = 1;  // change the pixels, not the palette
}

// Invert acts on every write; auxiliary value 0 chooses palette or pixels.
void CRastCtrl::on_invert() {
  if (current_valid()) {
    set_err_count(RX_IP_contrast_invert(current_, nullptr, aux_[0]));
    redraw();
    update_tool_windows();
  }
  set_modified();
}

void CRastCtrl::on_brightness_contrast() {
  if (current_valid()) {
    set_err_count(RX_IP_contrast_adjust(current_, nullptr, kPixels, dbl(kDispContrast),
                                        dbl(kDispBrightness)));
    redraw();
  }
  set_modified();
}

void CRastCtrl::on_contrast_equalize() {
  if (flag(kDispContrastEqualize) && current_valid()) {
    set_err_count(RX_IP_contrast_equalize(current_, nullptr, kPixels));
    redraw();
  }
  set_modified();
}

void CRastCtrl::on_contrast_stretch() {
  if (flag(kDispContrastStretch) && current_valid()) {
    set_err_count(RX_IP_contrast_stretch(current_, nullptr, kPixels));
    redraw();
  }
  set_modified();
}

}  // namespace rast
