// The convolution pass that convolution, sharpening, smoothing, the edge
// map and the effects share: a kernel record run over a rectangle of 8-bit
// samples, one or three to a pixel.
#pragma once

#include <cstddef>
#include <cstdint>

#include "IMG_PROC/ip_common.h"
#include "rastrix/rx_ip.h"

namespace rx::ip {

// Rows of 8-bit samples, `channels` to a pixel, top row first: row y
// starts at top + y * stride (stride is negative for bottom-up DIB rows).
struct SampleImage {
  uint8_t* top;
  ptrdiff_t stride;
  int32_t width, height, channels;
  uint8_t* row(int32_t y) const { return top + stride * y; }
};

// The pixels of an 8- or 24-bit DIB as samples.
SampleImage samples_of(IMAGE_REC* record);

// Sets a kernel's size and origin from the sizes given (cut to
// RX_KERNEL_MAX) and the origin (ox, oy), which is kept inside the kernel.
void kernel_shape(RX_KERNEL* kernel, int32_t width, int32_t height, int32_t ox, int32_t oy);

// True when the record can be run: sizes 1..RX_KERNEL_MAX, offsets that
// match them, a finite normaliser and a result mode 0..3; else pushes
// RXE_PARAMETERS_OUT_OF_LIMITS.
bool kernel_ok(const RX_KERNEL& kernel);

// What one pass does besides the kernel: which samples of a pixel it
// writes (bit i: sample i; the others keep their values) and whether the
// value is added to the pixel instead of going through the result mode.
// The special effects keep their own older rules in the last three: the
// product of sum and normaliser truncated as it stands, columns beyond the
// sides reflected once and then held at the edge column, and the rows done
// written when the status callback stops the pass.
struct PassOptions {
  uint32_t sample_mask = 7;
  bool add = false;
  bool snap_whole = true;          // see kernel_value
  bool reflect_repeatedly = true;  // false: reflect once, then hold
  bool keep_done_rows = false;
};

// Convolves the span of the samples with a checked kernel. Every output
// comes from the samples as they were; the span is written only once all
// rows are done, so an interruption (after any row, through the status
// callback) or a failure leaves the samples unchanged, unless the options
// keep the rows done. Pushes its reason and returns false on failure.
bool convolve_span(const SampleImage& image, const Span& span, const RX_KERNEL& kernel,
                   const PassOptions& options);

// The same on the pixels of an 8- or 24-bit image record, under its lock.
bool convolve_record(IMAGE_REC* record, const Span& span, const RX_KERNEL& kernel,
                     const PassOptions& options);

// The kernel builders behind RX_IP_kernel_fixed, _direction and _motion:
// each pushes its reason and returns false on a bad argument.
bool kernel_fixed(RX_KERNEL* kernel, int32_t size);
bool kernel_direction(RX_KERNEL* kernel, int32_t direction, double normaliser);
bool kernel_motion(RX_KERNEL* kernel, int32_t direction, int32_t length);

// True for a direction 1 (up) .. 8 (up-left, clockwise); else pushes
// RXE_PARAMETERS_OUT_OF_LIMITS (direction).
bool direction_ok(int32_t direction);

// A size x size box of ones about its centre (size 1..RX_KERNEL_MAX),
// normaliser 1 / size^2, positive result mode.
void kernel_box(RX_KERNEL* kernel, int32_t size);

// The elements a motion line of `length` pixels has in a checked
// direction: diagonals trunc(length x 0.7071067811865), at least 1.
int32_t motion_elements(int32_t direction, int32_t length);

// A line of `count` ones (1..RX_KERNEL_MAX) trailing from the output pixel
// in a checked direction, normaliser 1 / count, positive result mode.
void kernel_line(RX_KERNEL* kernel, int32_t direction, int32_t count);

// The value a weighted sum gives: trunc(sum x normaliser), limited to
// -255..255. With snap_whole, a product within rounding error of a whole
// number counts as that number.
int32_t kernel_value(int64_t sum, double normaliser, bool snap_whole = true);

// The byte a value of -255..255 becomes in result mode 0..3.
uint8_t result_byte(int32_t value, int32_t mode);

}  // namespace rx::ip
