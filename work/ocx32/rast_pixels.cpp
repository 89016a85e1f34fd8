// Palette entries and single pixels through the colour members VRed,
// VGreen and VBlue: PaletteGet and PaletteSet take an entry's index as
// their value; PixelGet and PixelSet work at (PixelPosX, PixelPosY) and
// then step the position along the rows.
#include "RastCtl.h"
#include "rast_dispids.h"

namespace rast {

void CRastCtrl::on_palette_get() {
  if (current_valid()) {
    uint8_t bgr[3] = {0, 0, 0};
    set_err_count(RX_palette_entry_get(current_, bgr, lng(kDispPaletteGet)));
    if (err_count() == 0) colour_ = {bgr[2], bgr[1], bgr[0]};
  }
  set_modified();
}

void CRastCtrl::on_palette_set() {
  if (current_valid()) {
    const uint8_t bgr[3] = {colour_byte(2), colour_byte(1), colour_byte(0)};
    set_err_count(RX_palette_entry_set(current_, bgr, lng(kDispPaletteSet)));
  }
  set_modified();
}

// A 24-bit pixel fills all three colour members; a shallower one (its
// value in the first byte) only VRed.
void CRastCtrl::on_pixel_get() {
  if (flag(kDispPixelGet) && current_valid()) {
    uint8_t value[3] = {0, 0, 0};
    set_err_count(RX_image_pixel_get(current_, lng(kDispPixelPosX), lng(kDispPixelPosY), value));
    if (err_count() == 0) {
      if (lng(kDispImageBitsPerPixel) == 24)
        colour_ = {value[2], value[1], value[0]};
      else
        colour_[0] = value[0];
    }
    step_pixel_position();
  }
  set_modified();
}

// The bytes go as blue, green, red, so a pixel of up to 8 bits takes VBlue.
void CRastCtrl::on_pixel_set() {
  if (flag(kDispPixelSet) && current_valid()) {
    const uint8_t value[3] = {colour_byte(2), colour_byte(1), colour_byte(0)};
    set_err_count(RX_image_pixel_set(current_, lng(kDispPixelPosX), lng(kDispPixelPosY), value));
    step_pixel_position();
  }
  set_modified();
}

// One to the right; past the last column back to 0 and one row down,
// past the last row back to 0.
void CRastCtrl::step_pixel_position() {
  int64_t x = num(kDispPixelPosX) + 1, y = num(kDispPixelPosY);
  if (x >= num(kDispImageWidth)) {
    x = 0;
    if (++y >= num(kDispImageHeight)) y = 0;
  }
  set_num(kDispPixelPosX, x);
  set_num(kDispPixelPosY, y);
}

}  // namespace rast
