// Colour members of the control: grey conversion and the grey test, depth
// promotion, colour reduction and dithering of the current image.
#include "RastCtl.h"
#include "rast_dispids.h"
#include "rastrix/rpb.h"

namespace rast {

namespace {

// Auxiliary table entries the reductions read.
constexpr size_t kAuxColours = 1;
constexpr size_t kAuxOptionWord = 2;

// PromoteColor's written values: 1 or 4, 2 or 8, 3 or 24; 0 for others.
int32_t promote_target(int64_t value) {
  switch (value) {
    case 1:
    case 4: return RX_PROMOTE_4;
    case 2:
    case 8: return RX_PROMOTE_8;
    case 3:
    case 24: return RX_PROMOTE_24;
    default: return 0;
  }
}

// Octree is a palette address; 1 stands for none.
const uint8_t* octree_palette(int64_t value) {
  return value == 1 ? nullptr : reinterpret_cast<const uint8_t*>(static_cast<uintptr_t>(value));
}

constexpr int32_t kDiffusionMonoThreshold = 128;

}  // namespace

// The grey conversion changes the depth, so the image information is
// refreshed after it as after every other depth change.
void CRastCtrl::on_gray() {
  if (flag(kDispGray) && current_valid()) {
    set_err_count(RX_IP_gray(current_));
    error_check();
    refresh_image_info();
    redraw();
  }
  set_modified();
}

bool CRastCtrl::current_is_gray() const {
  int32_t gray = 0;
  return current_valid() && RX_IP_is_gray(current_, &gray) == 0 && gray != 0;
}

void CRastCtrl::on_promote_color() {
  const int32_t target = promote_target(num(kDispPromoteColor));
  if (target == 0) {
    // The value names no depth: the report says so, the image stays, and
    // the stack is cleared as for the control's other refused values.
    RPb_AF_error_clear();
    RPb_AF_error_set("work\\ocx32\\rast_colours.cpp", __LINE__, RXE_PARAMETERS_OUT_OF_LIMITS,
                     lng(kDispPromoteColor), 0);
    error_check();
    RPb_AF_error_clear();
  } else if (current_valid()) {
    set_err_count(RX_IP_promote(current_, target));
    if (err_count() == 0) {
      refresh_image_info();
    } else {
      error_check();
    }
  }
  set_modified();
}

// The after-steps of the reductions and of the ordered dither.
void CRastCtrl::after_reduction(int32_t errors) {
  set_err_count(errors);
  error_check();
  refresh_image_info();
  redraw();
}

void CRastCtrl::on_octree() {
  if (num(kDispOctree) > 0 && current_valid()) {
    const RX_OCTREE_OPTIONS o{aux_[kAuxOptionWord], lng(kDispOctreeColors), lng(kDispOctreeColors),
                              octree_palette(num(kDispOctree))};
    after_reduction(RX_IP_octree_reduce(current_, &o));
  }
  set_modified();
}

void CRastCtrl::on_median_cut() {
  if (flag(kDispMedianCut) && current_valid()) {
    const RX_MEDIAN_CUT_OPTIONS o{aux_[kAuxOptionWord], aux_[kAuxColours]};
    after_reduction(RX_IP_median_cut_reduce(current_, &o));
  }
  set_modified();
}

void CRastCtrl::on_popularity() {
  if (flag(kDispPopularity) && current_valid()) {
    const RX_POPULARITY_OPTIONS o{aux_[kAuxOptionWord], aux_[kAuxColours]};
    after_reduction(RX_IP_popularity_reduce(current_, &o));
  }
  set_modified();
}

void CRastCtrl::on_bayer(int32_t dispid, int32_t bits) {
  if (flag(dispid) && current_valid()) {
    const RX_BAYER_OPTIONS o{bits, nullptr};
    after_reduction(RX_IP_bayer(current_, &o));
  }
  set_modified();
}

// Diffusion and halftone have no error check of their own: the refresh
// and the redraw follow, and ErrCount tells.
void CRastCtrl::on_diffusion(int32_t dispid, int32_t bits) {
  if (flag(dispid) && current_valid()) {
    const int32_t threshold = bits == 1 ? kDiffusionMonoThreshold : 0;
    const RX_DIFFUSE_OPTIONS o{bits, threshold, nullptr};
    set_err_count(RX_IP_diffuse(current_, &o));
    refresh_image_info();
    redraw();
  }
  set_modified();
}

void CRastCtrl::on_halftone() {
  if (flag(kDispHalftoneMono) && current_valid()) {
    set_err_count(RX_IP_halftone(current_, nullptr));
    refresh_image_info();
    redraw();
  }
  set_modified();
}

}  // namespace rast
