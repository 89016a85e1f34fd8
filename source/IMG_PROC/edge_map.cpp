// The edge map: a rectangle replaced by a measure of the local change of
// brightness, by one of eight operators. Operators 1 to 3 work on the 3 x 3
// neighbourhood directly; 4 to 8 are convolutions.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "IMG_PROC/convolve.h"
#include "SUPPORT/error.h"
#include "SUPPORT/mem_tag.h"

RX_SOURCE("source\\IMG_PROC\\edge_map.cpp");

namespace rx::ip {
namespace {

constexpr int32_t kEdgeKernels[4][9] = {
    {1, 1, 1, 0, 0, 0, -1, -1, -1},   // horizontal edges
    {1, 0, -1, 1, 0, -1, 1, 0, -1},   // vertical edges
    {0, 1, 1, -1, 0, 1, -1, -1, 0},   // one diagonal
    {0, -1, -1, 1, 0, -1, 1, 1, 0}};  // the other

// The normaliser a kernel asks for by its elements: 1 when they add up to
// 1; else 1 / (the positive ones) when any is negative; else 1 / their sum
// when it is not 0; else 1.
double automatic_normaliser(const RX_KERNEL& k) {
  int64_t sum = 0, positive = 0;
  bool negative = false;
  for (const int32_t e : k.elements) {
    sum += e;
    if (e > 0) positive += e;
    if (e < 0) negative = true;
  }
  if (sum == 1) return 1.0;
  if (negative && positive != 0) return 1.0 / static_cast<double>(positive);
  if (!negative && sum != 0) return 1.0 / static_cast<double>(sum);
  return 1.0;
}

// trunc(sqrt(gx^2 + gy^2)) limited to 255, by abs(gx) and abs(gy) (each
// at most 255): a square root per sample costs more than the look-up. The
// table is made on first use, not at every program's start.
struct Magnitudes {
  std::array<uint8_t, 256 * 256> of{};
  Magnitudes() {
    for (int32_t gx = 0; gx < 256; ++gx)
      for (int32_t gy = 0; gy < 256; ++gy)
        of[static_cast<size_t>(gx * 256 + gy)] =
            static_cast<uint8_t>(std::min(255.0, std::sqrt(static_cast<double>(gx * gx + gy * gy))));
  }
};
const Magnitudes& magnitudes() {
  static const Magnitudes table;
  return table;
}

// One output sample from the three rows around it (a above, b at, c
// below), at sample x with neighbours d samples away.
uint8_t gradient(const uint8_t* a, const uint8_t* b, const uint8_t* c, size_t x, size_t d) {
  const int32_t gy = (c[x - d] + c[x] + c[x + d] - a[x - d] - a[x] - a[x + d]) / 3;
  const int32_t gx = (a[x + d] + b[x + d] + c[x + d] - a[x - d] - b[x - d] - c[x - d]) / 3;
  // Up to 255 x sqrt(2) on the steepest corners: limited to a byte.
  return magnitudes().of[static_cast<size_t>(std::abs(gx) * 256 + std::abs(gy))];
}

uint8_t sobel(const uint8_t* a, const uint8_t* b, const uint8_t* c, size_t x, size_t d) {
  const int32_t gx = a[x + d] + 2 * b[x + d] + c[x + d] - a[x - d] - 2 * b[x - d] - c[x - d];
  const int32_t gy = c[x - d] + 2 * c[x] + c[x + d] - a[x - d] - 2 * a[x] - a[x + d];
  return static_cast<uint8_t>(
      std::min(255.0, std::sqrt(static_cast<double>(gx * gx + gy * gy)) / 4.0));
}

uint8_t laplace(const uint8_t* a, const uint8_t* b, const uint8_t* c, size_t x, size_t d) {
  const int32_t around =
      a[x - d] + a[x] + a[x + d] + b[x - d] + b[x + d] + c[x - d] + c[x] + c[x + d];
  return static_cast<uint8_t>(std::abs(8 * b[x] - around) / 8);
}

using Operator = uint8_t (*)(const uint8_t*, const uint8_t*, const uint8_t*, size_t, size_t);

// Operators 1 to 3 over the span without the picture's outermost rows and
// columns; every output comes from the pixels before the pass, and the
// rows are stored once all are done.
template <Operator op>
bool neighbourhood(IMAGE_REC* record, const Span& span) {
  RecordLock lock(record);
  if (!lock.held()) {
    push_lock_failed();
    return false;
  }
  const SampleImage im = samples_of(record);
  const Span in{std::max(span.left, 1), std::max(span.top, 1), std::min(span.right, im.width - 2),
                std::min(span.bottom, im.height - 2)};
  if (in.left > in.right || in.top > in.bottom) return true;
  const auto d = static_cast<size_t>(im.channels);
  const size_t samples = size_t{static_cast<uint32_t>(in.columns())} * d;
  const uint64_t bytes = uint64_t{samples} * static_cast<uint32_t>(in.rows());
  TagGuard tag;
  auto* out = static_cast<uint8_t*>(tag.alloc(static_cast<size_t>(bytes)));
  if (out == nullptr) {
    RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, static_cast<int32_t>(std::min<uint64_t>(bytes, INT32_MAX)),
           0);
    return false;
  }
  const size_t first = size_t{static_cast<uint32_t>(in.left)} * d;
  const Progress progress;
  for (int32_t r = 0; r < in.rows(); ++r) {
    const int32_t y = in.top + r;
    const uint8_t* a = im.row(y - 1);
    const uint8_t* b = im.row(y);
    const uint8_t* c = im.row(y + 1);
    uint8_t* o = out + samples * static_cast<uint32_t>(r);
    for (size_t i = 0; i < samples; ++i) o[i] = op(a, b, c, first + i, d);
    if (!progress.go_on(r, in.rows())) {
      push_interrupted(r, in.rows());
      return false;
    }
  }
  for (int32_t r = 0; r < in.rows(); ++r)
    std::memcpy(im.row(in.top + r) + first, out + samples * static_cast<uint32_t>(r), samples);
  return true;
}

bool convolution(IMAGE_REC* record, const Span& span, int32_t mode) {
  RX_KERNEL kernel{};
  if (mode == RX_EDGE_FIXED_5X5) {
    kernel_fixed(&kernel, 5);
    kernel.normalizer = automatic_normaliser(kernel);
  } else {
    kernel_shape(&kernel, 3, 3, 1, 1);
    const int32_t* e = kEdgeKernels[mode - RX_EDGE_HORIZONTAL];
    for (int32_t r = 0; r < 3; ++r)
      for (int32_t col = 0; col < 3; ++col) kernel.elements[r * RX_KERNEL_MAX + col] = e[r * 3 + col];
    kernel.normalizer = 1.0;
  }
  kernel.result_mode = RX_KERNEL_RESULT_POSITIVE;
  return convolve_record(record, span, kernel, PassOptions{});
}

void edge_map(IMAGE_REC* record, const int32_t* rect, int32_t mode) {
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  const uint32_t bits = h->biBitCount;
  if (bits == 1 || bits == 4 || bits == 16) {
    RX_ERR(RXE_BIT_COUNT_UNSUPPORTED, bits, 0);
    return;
  }
  if (bits != 8 && bits != 24) {
    RX_ERR(RXE_INVALID_BIT_COUNT, bits, 0);
    return;
  }
  if (mode < RX_EDGE_GRADIENT || mode > RX_EDGE_DIAGONAL_DOWN) {
    RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, mode, 0);
    return;
  }
  const Span span = span_clamp(rect, h);
  switch (mode) {
    case RX_EDGE_GRADIENT: neighbourhood<gradient>(record, span); break;
    case RX_EDGE_SOBEL: neighbourhood<sobel>(record, span); break;
    case RX_EDGE_LAPLACE: neighbourhood<laplace>(record, span); break;
    default: convolution(record, span, mode); break;
  }
}

}  // namespace
}  // namespace rx::ip

extern "C" int32_t RX_IP_edge_map(RX_HIMAGE image, const int32_t* rect, int32_t mode) {
  IMAGE_REC* record = rx::ip::enter_or_push(image);
  if (record != nullptr) rx::ip::edge_map(record, rect, mode);
  return RPb_AF_error_check();
}
