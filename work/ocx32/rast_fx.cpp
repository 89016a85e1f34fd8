// Special-effect members of the control and despeckle: each acts on every
// write, over the processing rectangle, with the written value and the
// auxiliary entries the effect reads.
#include "RastCtl.h"
#include "rast_dispids.h"
#include "rastrix/rpb.h"

namespace rast {

namespace {

// Auxiliary table entries the effects read.
constexpr size_t kAuxDirection = 5;  // emboss, motion blur, stitch
constexpr size_t kAuxBlock = 6;      // twist

// Emboss and stitch take their normaliser in tenths.
constexpr double kNormaliserUnit = 0.1;

// Posterize changes all three channels of colour images.
constexpr int32_t kAllChannels = RX_CHANNEL_RED | RX_CHANNEL_GREEN | RX_CHANNEL_BLUE;

}  // namespace

// Error check, redraw, tool windows: the after-steps of the effects.
void CRastCtrl::after_effect(int32_t errors) {
  set_err_count(errors);
  error_check();
  redraw();
  update_tool_windows();
}

void CRastCtrl::on_effect(int32_t dispid) {
  if (current_valid()) {
    const int32_t* rect = processing_rect_.data();
    const int32_t value = lng(dispid);
    const int32_t direction = aux_[kAuxDirection];
    const double tenths = value * kNormaliserUnit;
    int32_t errors = 0;
    switch (dispid) {
      case kDispFXBlur: errors = RX_IP_effect_blur(current_, rect, value); break;
      case kDispFXDiffuse: errors = RX_IP_effect_diffuse(current_, rect, value); break;
      case kDispFXTexture:
        // The value is the texture image's handle.
        errors = RX_IP_effect_texture(current_, rect, static_cast<RX_HIMAGE>(num(dispid)));
        break;
      case kDispFXEmboss: errors = RX_IP_effect_emboss(current_, rect, tenths, direction); break;
      case kDispFXStitch: errors = RX_IP_effect_stitch(current_, rect, direction, tenths); break;
      case kDispFXMotion: errors = RX_IP_effect_motion(current_, rect, value, direction); break;
      case kDispFXPosterize:
        errors = RX_IP_effect_posterize(current_, rect, value, kAllChannels);
        break;
      case kDispFXTwist: errors = RX_IP_effect_twist(current_, rect, value, aux_[kAuxBlock]); break;
      default: break;
    }
    after_effect(errors);
  }
  set_modified();
}

// Despeckle has no error check of its own: the redraw follows and
// ErrCount tells.
void CRastCtrl::on_despeckle() {
  if (current_valid()) {
    set_err_count(RX_IP_despeckle(current_, processing_rect_.data()));
    redraw();
  }
  set_modified();
}

}  // namespace rast
