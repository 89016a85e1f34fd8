// Convolution members of the control: smoothing and sharpening of the
// whole current image, and the edge map of the processing rectangle, each
// with the written value as its strength or operator.
#include "RastCtl.h"
#include "rast_dispids.h"

namespace rast {

void CRastCtrl::on_smooth_sharpen(int32_t dispid) {
  if (current_valid()) {
    const auto value = static_cast<int32_t>(static_cast<int16_t>(num(dispid)));
    set_err_count(dispid == kDispSmooth ? RX_IP_smooth(current_, nullptr, value)
                                        : RX_IP_sharpen(current_, nullptr, value));
    error_check();
    redraw();
  }
  set_modified();
}

void CRastCtrl::on_edge_map() {
  if (current_valid()) {
    const auto mode = static_cast<int32_t>(static_cast<int16_t>(num(kDispEdgeMap)));
    set_err_count(RX_IP_edge_map(current_, processing_rect_.data(), mode));
    error_check();
    redraw();
  }
  set_modified();
}

}  // namespace rast
