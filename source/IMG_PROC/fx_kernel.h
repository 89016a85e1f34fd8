// The kernels the special effects are built from, and the in-place
// convolution of a rectangle that applies them. A kernel is an integer
// grid of up to 16 x 16 elements with its origin on the output pixel; the
// weighted sum is multiplied by the normaliser, cut toward zero, limited to
// -255..255 and mapped to a byte by the result mode.
#pragma once

#include <cstdint>

#include "IMG_PROC/ip_common.h"

namespace rx::ip::fx {

// The widest and highest kernel.
inline constexpr int32_t kKernelMax = 16;

// How a limited weighted value v (-255..255) becomes an output byte.
enum ResultMode : int32_t {
  kPositive = 0,   // v when v >= 1, else 0
  kMagnitude = 1,  // |v|
  kWrapped = 2,    // v limited to -127..128, stored as a byte
  kBiased = 3,     // v limited to -127..128, plus 127
};

struct Kernel {
  int32_t width = 1;
  int32_t height = 1;
  int32_t origin_x = 0;  // column of the element on the output pixel
  int32_t origin_y = 0;  // row of that element
  double normaliser = 1.0;
  int32_t mode = kPositive;
  int32_t elements[kKernelMax * kKernelMax] = {};  // row stride 16

  int32_t& at(int32_t row, int32_t column) { return elements[row * kKernelMax + column]; }
  int32_t at(int32_t row, int32_t column) const { return elements[row * kKernelMax + column]; }
};

// A box of ones, size x size, origin at the centre, normaliser 1 / size^2.
Kernel kernel_box(int32_t size);

// The fixed 5 x 5 kernel (a ring of -1 round a peak of 8), origin at the
// centre, normaliser 1.
Kernel kernel_fixed_5();

// The two-element kernel (+1 and -1) of direction 1..8, origin at
// (width / 2, height / 2), result mode kBiased. False, having pushed
// RXE_PARAMETERS_OUT_OF_LIMITS (direction), for any other direction.
bool kernel_direction(int32_t direction, double normaliser, Kernel* out);

// A line of ones from the output pixel, `length` long (diagonals
// trunc(length x 0.7071067811865)), at most 16, trailing up (1), then
// clockwise in steps of 45 degrees to up-left (8); normaliser
// 1 / elements. Pushes RXE_PARAMETERS_OUT_OF_LIMITS (direction) for a
// direction outside 1..8 and RXE_INVALID_KERNEL_MOTION_EXTENT (length) for
// a length below 1.
bool kernel_motion(int32_t direction, int32_t length, Kernel* out);

// The automatic normaliser: 1 when the elements sum to 1, else 1 / the sum
// of the positive elements when any is negative, else 1 / the sum when it
// is not 0, else 1.
double normaliser_auto(const Kernel& k);

// Convolves the span of a plain 8- or 24-bit image in place (24-bit: every
// channel whose bit, blue 1, green 2, red 4 in memory order, is in
// `byte_mask`). Each output pixel is computed from the unchanged source:
// kernel rows above or below the picture are left out, columns beyond its
// sides are mirrored into it (-1 reads column 1). Reports each row to the
// status callback. False once a failure is pushed.
bool convolve(IMAGE_REC* record, const Span& span, const Kernel& k, uint32_t byte_mask = 7);

}  // namespace rx::ip::fx
