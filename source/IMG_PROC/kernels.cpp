// The kernels the image operations build: the fixed 3 x 3, 5 x 5 and
// 7 x 7 kernels, the boxes, the two-element kernels of the eight directions
// and the motion lines.
#include <array>
#include <cmath>

#include "IMG_PROC/convolve.h"
#include "SUPPORT/error.h"

RX_SOURCE("source\\IMG_PROC\\kernels.cpp");

namespace rx::ip {
namespace {

constexpr std::array<int32_t, 9> kFixed3 = {1, -2, 1, -2, 4, -2, 1, -2, 1};

constexpr std::array<int32_t, 25> kFixed5 = {-1, -1, -1, -1, -1, -1, 0,  2,  0,  -1, -1, 2, 8,
                                             2,  -1, -1, 0,  2,  0,  -1, -1, -1, -1, -1, -1};

constexpr std::array<int32_t, 49> kFixed7 = {
    -1, -2, -2, -2, -2, -2, -1, -2, -2, 0,  2, 0,  -2, -2, -2, 0, 3,  6,  3,  0,  -2, -2, 2, 6, 8,
    6,  2,  -2, -2, 0,  3,  6,  3,  0,  -2, -2, -2, 0, 2,  0,  -2, -2, -1, -2, -2, -2, -2, -2, -1};

// Where a direction's neighbour lies from the pixel, as (column, row)
// steps: 1 up, then clockwise to 8 up-left.
constexpr int32_t kStep[8][2] = {{0, -1}, {1, -1}, {1, 0}, {1, 1},
                                 {0, 1},  {-1, 1}, {-1, 0}, {-1, -1}};

// The two elements of each direction's kernel; the origin is the kernel's
// last column and row. 1: the pixel minus the one above; 2: the left
// neighbour minus the one above; 3: the left neighbour minus the pixel; 4:
// the upper-left neighbour minus the pixel; 5 to 8 negate 1 to 4.
struct DirectionKernel {
  int32_t width, height, plus_row, plus_column, minus_row, minus_column;
};
constexpr DirectionKernel kDirection[8] = {
    {1, 2, 1, 0, 0, 0}, {2, 2, 1, 0, 0, 1}, {2, 1, 0, 0, 0, 1}, {2, 2, 0, 0, 1, 1},
    {1, 2, 0, 0, 1, 0}, {2, 2, 0, 1, 1, 0}, {2, 1, 0, 1, 0, 0}, {2, 2, 1, 1, 0, 0}};

void kernel_clear(RX_KERNEL* kernel, double normaliser, int32_t mode) {
  *kernel = RX_KERNEL{};
  kernel->normalizer = normaliser;
  kernel->result_mode = mode;
}

}  // namespace

bool direction_ok(int32_t direction) {
  if (direction >= 1 && direction <= 8) return true;
  RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, direction, 0);
  return false;
}

void kernel_box(RX_KERNEL* kernel, int32_t size) {
  kernel_clear(kernel, 1.0 / (static_cast<double>(size) * size), RX_KERNEL_RESULT_POSITIVE);
  kernel_shape(kernel, size, size, size / 2, size / 2);
  for (int32_t r = 0; r < kernel->height; ++r)
    for (int32_t c = 0; c < kernel->width; ++c) kernel->elements[r * RX_KERNEL_MAX + c] = 1;
}

int32_t motion_elements(int32_t direction, int32_t length) {
  const bool diagonal = kStep[direction - 1][0] != 0 && kStep[direction - 1][1] != 0;
  if (!diagonal) return length;
  return std::max(1, static_cast<int32_t>(std::trunc(length * 0.7071067811865)));
}

// The kernel spans the line; the origin is the end the line starts from.
void kernel_line(RX_KERNEL* kernel, int32_t direction, int32_t count) {
  const int32_t dx = kStep[direction - 1][0], dy = kStep[direction - 1][1];
  kernel_clear(kernel, 1.0 / count, RX_KERNEL_RESULT_POSITIVE);
  const int32_t span = count - 1;
  const int32_t ox = dx < 0 ? span : 0;
  const int32_t oy = dy < 0 ? span : 0;
  kernel_shape(kernel, dx != 0 ? count : 1, dy != 0 ? count : 1, ox, oy);
  for (int32_t i = 0; i < count; ++i)
    kernel->elements[(oy + i * dy) * RX_KERNEL_MAX + ox + i * dx] = 1;
}

bool kernel_fixed(RX_KERNEL* kernel, int32_t size) {
  const int32_t* elements = size == 3   ? kFixed3.data()
                            : size == 5 ? kFixed5.data()
                            : size == 7 ? kFixed7.data()
                                        : nullptr;
  if (elements == nullptr) {
    RX_ERR(RXE_KERNEL_SIZE_INVALID, size, 0);
    return false;
  }
  kernel_clear(kernel, 1.0, RX_KERNEL_RESULT_POSITIVE);
  kernel_shape(kernel, size, size, size / 2, size / 2);
  for (int32_t r = 0; r < size; ++r)
    for (int32_t c = 0; c < size; ++c)
      kernel->elements[r * RX_KERNEL_MAX + c] = elements[r * size + c];
  return true;
}

bool kernel_direction(RX_KERNEL* kernel, int32_t direction, double normaliser) {
  if (!direction_ok(direction)) return false;
  if (!std::isfinite(normaliser)) {
    RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, direction, 0);
    return false;
  }
  kernel_clear(kernel, normaliser, RX_KERNEL_RESULT_OFFSET);
  const DirectionKernel& d = kDirection[direction - 1];
  kernel_shape(kernel, d.width, d.height, d.width - 1, d.height - 1);
  kernel->elements[d.plus_row * RX_KERNEL_MAX + d.plus_column] = 1;
  kernel->elements[d.minus_row * RX_KERNEL_MAX + d.minus_column] = -1;
  return true;
}

bool kernel_motion(RX_KERNEL* kernel, int32_t direction, int32_t length) {
  if (!direction_ok(direction)) return false;
  if (length < 1) {
    RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, length, 0);
    return false;
  }
  kernel_line(kernel, direction, motion_elements(direction, std::min(length, RX_KERNEL_MAX)));
  return true;
}

}  // namespace rx::ip

using namespace rx;
using namespace rx::ip;

extern "C" int32_t RX_IP_kernel_fixed(RX_KERNEL* kernel, int32_t size) {
  RPb_AF_error_clear();
  if (kernel == nullptr) RX_ERR(RXE_INVALID_POINTER, 0, 0);
  else kernel_fixed(kernel, size);
  return RPb_AF_error_check();
}

extern "C" int32_t RX_IP_kernel_direction(RX_KERNEL* kernel, int32_t direction,
                                          double normalizer) {
  RPb_AF_error_clear();
  if (kernel == nullptr) RX_ERR(RXE_INVALID_POINTER, 0, 0);
  else kernel_direction(kernel, direction, normalizer);
  return RPb_AF_error_check();
}

extern "C" int32_t RX_IP_kernel_motion(RX_KERNEL* kernel, int32_t direction, int32_t length) {
  RPb_AF_error_clear();
  if (kernel == nullptr) RX_ERR(RXE_INVALID_POINTER, 0, 0);
  else kernel_motion(kernel, direction, length);
  return RPb_AF_error_check();
}
