// The parts of the resize shared by its per-depth files: the scale and the
// sampling positions of each method.
#pragma once

#include <cstdint>

#include "IMG_PROC/new_dib.h"

namespace rx::ip {

enum ResizeMethod : int32_t { kReplicate = 0, kAverage = 1, kBilinear = 2 };

struct Scale {
  int32_t width, height;          // source
  int32_t new_width, new_height;  // destination
  double h_ratio, v_ratio;        // source size / destination size
};

// Replicate positions of 1-, 8- and 24-bit images: destination i takes
// source trunc(i x ratio), the position accumulated by adding the ratio
// once per step from 0, and never past the last source index.
class Accumulated {
 public:
  Accumulated(double ratio, int32_t limit) : ratio_(ratio), last_(limit - 1) {}
  int32_t next() {
    const double p = position_;
    position_ += ratio_;
    return p >= last_ ? last_ : static_cast<int32_t>(p);
  }

 private:
  double ratio_;
  double position_ = 0.0;
  int32_t last_;
};

// Replicate position of 4- and 16-bit images: source r((i + 1) x ratio - 1)
// rounded half up, kept inside 0 .. limit - 1.
int32_t rounded_position(int64_t i, double ratio, int32_t limit);

// Four-corner average: the first corner trunc(i x ratio) and the second
// trunc((i + 1) x ratio), which becomes limit - 1 when it reaches limit.
struct Corners {
  int32_t first, second;
};
Corners corners_at(int64_t i, double ratio, int32_t limit);

// Bilinear: the source position (i + 0.5) x ratio - 0.5 (0 when
// negative), its integer part and fraction, and the next index (the same
// one at the last).
struct Between {
  int32_t first, second;
  double fraction;
};
Between between_at(int64_t i, double ratio, int32_t limit);

// Fills the new DIB from a 1-bit image (plain or runs). Returns false once
// the reason is pushed.
bool resize_bilevel(IMAGE_REC* record, NewDib& out, const Scale& s, int32_t method);
// Fills the new DIB from a 4-, 8-, 16- or 24-bit image.
bool resize_bytes(IMAGE_REC* record, NewDib& out, const Scale& s, int32_t method);

}  // namespace rx::ip
