// Geometry members of the control: mirrors, quarter and free turns, resize
// and crop of the current image. Each makes one engine call and follows it
// with its own after-steps; a failed call leaves the image as it was.
#include "RastCtl.h"
#include "rast_dispids.h"

namespace rast {

namespace {

// Rotate's written values and the quarter-turn codes they stand for; any
// other value goes to the engine as it is, which refuses it.
int32_t quarter_turn_code(int32_t value) {
  switch (value) {
    case 90: return RX_ROTATE_90;
    case 180: return RX_ROTATE_180;
    case 270: return RX_ROTATE_270;
    default: return value;
  }
}

// RotateAny is written in hundredths of a degree.
constexpr double kRotateAnyUnit = 0.01;
constexpr size_t kAuxRotateExpand = 3;

}  // namespace

void CRastCtrl::on_flip() {
  if (current_valid()) {
    set_err_count(RX_IP_flip(current_, lng(kDispFlip)));
    redraw();
  }
  set_modified();
}

// After a turn the size has changed: refresh, check, zoom again, check,
// then the tool windows and the redraw.
void CRastCtrl::after_turn() {
  refresh_image_info();
  error_check();
  reapply_zoom();
  error_check();
  update_tool_windows();
  redraw();
}

void CRastCtrl::on_rotate() {
  const int32_t value = lng(kDispRotate);
  // 0 and 360 are no turn at all: nothing to do and nothing to report.
  if (current_valid() && value != 0 && value != 360) {
    set_err_count(RX_IP_rotate(current_, quarter_turn_code(value)));
    after_turn();
  }
  set_modified();
}

void CRastCtrl::on_rotate_any() {
  if (current_valid()) {
    const double degrees = lng(kDispRotateAny) * kRotateAnyUnit;
    set_err_count(RX_IP_rotate_any(current_, degrees, aux_[kAuxRotateExpand]));
    after_turn();
  }
  set_modified();
}

void CRastCtrl::on_resize_image() {
  if (current_valid()) {
    set_err_count(RX_IP_resize(current_, lng(kDispResizeWidth), lng(kDispResizeHeight),
                               lng(kDispResizeImage)));
    error_check();
    refresh_image_info();
    update_tool_windows();
    redraw();
  }
  set_modified();
}

void CRastCtrl::on_crop_image() {
  if (flag(kDispCropImage) && current_valid()) {
    set_err_count(RX_IP_crop(current_, processing_rect_.data()));
    error_check();
    refresh_image_info();
    redraw();
    update_tool_windows();
  }
  set_modified();
}

// The zoom belongs to the display layer, which re-applies ZoomLevel to the
// turned image once the control draws; until then there is nothing to do.
void CRastCtrl::reapply_zoom() {}

}  // namespace rast
