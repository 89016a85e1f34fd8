// Small geometry helpers the display files share: device rectangles as
// integers, and exact integer scaling of positions between the image's
// and the device's extents.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "SUPPORT/image_rec.h"

namespace rx {

// 128-bit products keep every coordinate times any extent exact.
__extension__ typedef __int128 Int128;

struct IRect {
  int64_t left, top, right, bottom;
  int64_t width() const { return right - left; }
  int64_t height() const { return bottom - top; }
  bool empty() const { return right <= left || bottom <= top; }
};

inline IRect intersect(const IRect& a, const IRect& b) {
  return IRect{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
               std::min(a.bottom, b.bottom)};
}

// A stored device coordinate as a 32-bit integer, truncated toward zero;
// values a caller could not have meant are held at the ends of the range.
inline int32_t device_int(double value) {
  if (std::isnan(value)) return 0;
  if (value <= -2147483648.0) return INT32_MIN;
  if (value >= 2147483647.0) return INT32_MAX;
  return static_cast<int32_t>(value);
}

inline IRect device_rect_of(const DISPLAY_ATTR& d) {
  return IRect{device_int(d.device_rect[0]), device_int(d.device_rect[1]),
               device_int(d.device_rect[2]), device_int(d.device_rect[3])};
}

// floor(a * b / c) for c > 0, with the product in 128 bits so that any
// coordinate times any extent is exact.
inline int64_t scale_floor(int64_t a, int64_t b, int64_t c) {
  const Int128 p = static_cast<Int128>(a) * b;
  Int128 q = p / c;
  if ((p % c != 0) && ((p < 0) != (c < 0))) --q;
  return static_cast<int64_t>(q);
}

// ceil(a * b / c) for c > 0.
inline int64_t scale_ceil(int64_t a, int64_t b, int64_t c) { return -scale_floor(-a, b, c); }

// The image rectangle kept inside the image as it is now (a stored
// rectangle may predate a change of the image's size).
inline IRect image_rect_of(const DISPLAY_ATTR& d, int32_t width, int32_t height) {
  IRect r{d.image_rect[0], d.image_rect[1], d.image_rect[2], d.image_rect[3]};
  r.left = std::clamp<int64_t>(r.left, 0, width - 1);
  r.top = std::clamp<int64_t>(r.top, 0, height - 1);
  r.right = std::clamp<int64_t>(r.right, r.left, width - 1);
  r.bottom = std::clamp<int64_t>(r.bottom, r.top, height - 1);
  return r;  // inclusive
}

}  // namespace rx
