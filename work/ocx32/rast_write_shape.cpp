// The first step of a property write: members with a range keep their
// value within it, and members with a short form map the long one, before
// the change routine sees the value. DisplayAngle refuses anything it
// cannot map, with the engine's out-of-limits code on the error stack.
#include <algorithm>

#include "RastCtl.h"
#include "rast_dispids.h"
#include "rastrix/rpb.h"

namespace rast {
namespace {

// The DisplayAngle values and the rotations they stand for.
struct AngleMap {
  int64_t written;
  int64_t rotation;
};
constexpr AngleMap kAngles[] = {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {90, 1}, {180, 2}, {270, 3}};

}  // namespace

bool CRastCtrl::write_shape(int32_t dispid, int64_t previous) {
  auto& d = dbl_;
  const auto i = static_cast<size_t>(dispid);
  switch (dispid) {
    case kDispDisplayGamma: d[i] = std::clamp(d[i], 0.0, 3.0); return true;
    case kDispDisplayBrightness:
    case kDispDisplayContrast: d[i] = std::clamp(d[i], -255.0, 255.0); return true;
    case kDispDisplayCentered: num_[i] = num_[i] != 0 ? 1 : 0; return true;
    // Methods past the last one resize by replicate.
    case kDispResizeImage:
      if (num_[i] > RX_RESIZE_BILINEAR) num_[i] = RX_RESIZE_REPLICATE;
      return true;
    case kDispDisplayAngle: {
      for (const AngleMap& a : kAngles)
        if (num_[i] == a.written) {
          num_[i] = a.rotation;
          return true;
        }
      // The rotation stays; the report says why, and then the stack is
      // cleared, as the control's own view errors are.
      num_[i] = previous;
      RPb_AF_error_clear();
      RPb_AF_error_set("work\\ocx32\\rast_write_shape.cpp", __LINE__,
                       RXE_PARAMETERS_OUT_OF_LIMITS, 0, 0);
      error_check();
      RPb_AF_error_clear();
      return false;
    }
    default: return true;
  }
}

}  // namespace rast
