// What the special effects share: the depth rule, the kernel pass, the
// 15-bit pseudo-random numbers that diffuse and twist draw, and the walk
// over the tiles of a rectangle.
#pragma once

#include <cstdint>

#include "IMG_PROC/ip_common.h"
#include "rastrix/rx_ip.h"

namespace rx::ip::fx {

// The depth rule of the effects on 8- and 24-bit images: 1-, 4- and 16-bit
// images push RXE_BIT_COUNT_UNSUPPORTED (bit count); other depths than 8
// and 24 are quietly left alone. True when the effect should go ahead.
bool depth_8_or_24(IMAGE_REC* record);

// A normaliser must be a number: infinities and NaN push
// RXE_INVALID_KERNEL_NORMALIZER.
bool normaliser_ok(double normaliser);

// Runs a checked kernel over the span of an 8- or 24-bit image with the
// effects' rules: every channel, sum x normaliser truncated as it stands,
// columns beyond the sides reflected once and held at the edge, and an
// interruption keeps the rows done. False once a failure is pushed.
bool convolve(IMAGE_REC* record, const Span& span, const RX_KERNEL& kernel);

// The next number 0..32767 of the engine's pseudo-random sequence
// (SUPPORT/random.h), so a run can be repeated from a seed.
int32_t random15();
// Restarts the sequence; each thread starts with seed 1.
void random_seed(uint32_t seed);

// Calls tile_fn(left, top) for the n x n tiles whose top-left corners step
// by `step` across and down from the span's top-left corner, keeping every
// tile inside the span. Rows are walked one at a time under the record lock
// and each row of tile corners (0 .. span rows - n) is reported to the
// status callback as (row, rows). A span smaller than a tile does nothing.
template <class TileFn>
bool tiles_walk(IMAGE_REC* record, const Span& span, int32_t n, int32_t step, TileFn&& tile_fn) {
  if (span.columns() < n || span.rows() < n) return true;
  const Span corners{span.left, span.top, span.right - n + 1, span.bottom - n + 1};
  return span_walk(record, corners, 1, [&](int32_t top) {
    if ((top - corners.top) % step != 0) return true;
    for (int64_t left = corners.left; left <= corners.right; left += step)
      tile_fn(static_cast<int32_t>(left), top);
    return true;
  });
}

}  // namespace rx::ip::fx
