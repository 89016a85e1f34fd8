// The effects' kernels and their in-place convolution: a ring of source
// rows as high as the kernel, each padded with mirrored columns so that
// the inner loop never tests an edge; every tap adds its weighted row into
// a row of 32-bit sums, which one table then turns into bytes.
#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "IMG_PROC/fx_kernel.h"
#include "SUPPORT/error.h"
#include "SUPPORT/kernels.h"
#include "SUPPORT/mem_tag.h"

RX_SOURCE("source\\IMG_PROC\\fx_convolve.cpp");

namespace rx::ip::fx {
namespace {

// Where the +1 and -1 of each directional kernel lie (row, column), and
// the kernel's size; the origin is (width / 2, height / 2).
struct Direction {
  int32_t width, height;
  int32_t plus_row, plus_column, minus_row, minus_column;
};
constexpr std::array<Direction, 8> kDirections = {{
    {1, 2, 1, 0, 0, 0},
    {2, 2, 1, 0, 0, 1},
    {2, 1, 0, 0, 0, 1},
    {2, 2, 0, 0, 1, 1},
    {1, 2, 0, 0, 1, 0},
    {2, 2, 0, 1, 1, 0},
    {2, 1, 0, 1, 0, 0},
    {2, 2, 1, 1, 0, 0},
}};

// The step from the +1 to the -1 of each direction: the way a motion
// line trails.
constexpr std::array<std::array<int32_t, 2>, 8> kSteps = {{
    {0, -1}, {1, -1}, {1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1},
}};

constexpr double kDiagonal = 0.7071067811865;

// Output byte for every limited value v, at index v + 255.
std::array<uint8_t, 511> mode_table(int32_t mode) {
  std::array<uint8_t, 511> t{};
  for (int32_t v = -255; v <= 255; ++v) {
    int32_t out = 0;
    switch (mode) {
      case kPositive: out = v >= 1 ? v : 0; break;
      case kMagnitude: out = v < 0 ? -v : v; break;
      case kWrapped: out = std::clamp(v, -127, 128) & 0xFF; break;
      default: out = std::clamp(v, -127, 128) + 127; break;
    }
    t[static_cast<size_t>(v + 255)] = static_cast<uint8_t>(out);
  }
  return t;
}

// Column x reflected into 0..width-1 (-1 reads 1, width reads width-2).
int32_t mirror(int32_t x, int32_t width) {
  if (width == 1) return 0;
  if (x < 0) x = -x;
  if (x >= width) x = 2 * (width - 1) - x;
  return std::clamp(x, 0, width - 1);
}

struct Tap {
  int32_t row;     // kernel row
  int32_t column;  // offset from the output pixel
  int32_t weight;
};

// A square of ones with its origin at the centre: its sums can slide.
bool is_box(const Kernel& k) {
  if (k.width != k.height || k.width % 2 == 0 || k.origin_x != k.width / 2 ||
      k.origin_y != k.height / 2)
    return false;
  for (int32_t r = 0; r < k.height; ++r)
    for (int32_t c = 0; c < k.width; ++c)
      if (k.at(r, c) != 1) return false;
  return true;
}

}  // namespace

Kernel kernel_box(int32_t size) {
  Kernel k;
  k.width = k.height = size;
  k.origin_x = k.origin_y = size / 2;
  k.normaliser = 1.0 / (static_cast<double>(size) * size);
  for (int32_t r = 0; r < size; ++r)
    for (int32_t c = 0; c < size; ++c) k.at(r, c) = 1;
  return k;
}

Kernel kernel_fixed_5() {
  static constexpr int32_t kFixed[5][5] = {{-1, -1, -1, -1, -1},
                                           {-1, 0, 2, 0, -1},
                                           {-1, 2, 8, 2, -1},
                                           {-1, 0, 2, 0, -1},
                                           {-1, -1, -1, -1, -1}};
  Kernel k;
  k.width = k.height = 5;
  k.origin_x = k.origin_y = 2;
  for (int32_t r = 0; r < 5; ++r)
    for (int32_t c = 0; c < 5; ++c) k.at(r, c) = kFixed[r][c];
  return k;
}

bool kernel_direction(int32_t direction, double normaliser, Kernel* out) {
  if (direction < 1 || direction > 8) {
    RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, direction, 0);
    return false;
  }
  const Direction& d = kDirections[static_cast<size_t>(direction - 1)];
  Kernel k;
  k.width = d.width;
  k.height = d.height;
  k.origin_x = d.width / 2;
  k.origin_y = d.height / 2;
  k.normaliser = normaliser;
  k.mode = kBiased;
  k.at(d.plus_row, d.plus_column) = 1;
  k.at(d.minus_row, d.minus_column) = -1;
  *out = k;
  return true;
}

bool kernel_motion(int32_t direction, int32_t length, Kernel* out) {
  if (direction < 1 || direction > 8) {
    RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, direction, 0);
    return false;
  }
  if (length < 1) {
    RX_ERR(RXE_INVALID_KERNEL_MOTION_EXTENT, length, 0);
    return false;
  }
  const auto [dx, dy] = kSteps[static_cast<size_t>(direction - 1)];
  int32_t n = length;
  if (dx != 0 && dy != 0) n = std::max(1, static_cast<int32_t>(n * kDiagonal));
  n = std::min(n, kKernelMax);
  Kernel k;
  k.width = dx == 0 ? 1 : n;
  k.height = dy == 0 ? 1 : n;
  // The line starts on the output pixel and runs n - 1 steps away.
  k.origin_x = dx < 0 ? n - 1 : 0;
  k.origin_y = dy < 0 ? n - 1 : 0;
  if (dx == 0) k.origin_x = 0;
  if (dy == 0) k.origin_y = 0;
  for (int32_t i = 0; i < n; ++i) k.at(k.origin_y + i * dy, k.origin_x + i * dx) = 1;
  k.normaliser = 1.0 / n;
  *out = k;
  return true;
}

double normaliser_auto(const Kernel& k) {
  int64_t sum = 0, positive = 0;
  bool negative = false;
  for (int32_t r = 0; r < k.height; ++r)
    for (int32_t c = 0; c < k.width; ++c) {
      const int32_t e = k.at(r, c);
      sum += e;
      if (e > 0) positive += e;
      if (e < 0) negative = true;
    }
  if (sum == 1) return 1.0;
  if (negative) return positive != 0 ? 1.0 / static_cast<double>(positive) : 1.0;
  return sum != 0 ? 1.0 / static_cast<double>(sum) : 1.0;
}

bool convolve(IMAGE_REC* record, const Span& span, const Kernel& k, uint32_t byte_mask) {
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  const int32_t bpp = h->biBitCount == 24 ? 3 : 1;
  const int32_t width = h->biWidth;
  const int32_t height = h->biHeight;
  const int32_t pad_left = k.origin_x;
  const int32_t pad_right = k.width - 1 - k.origin_x;
  const int64_t slot_bytes = (int64_t{pad_left} + width + pad_right) * bpp;
  const int64_t out_bytes = int64_t{span.columns()} * bpp;

  std::vector<Tap> taps;
  for (int32_t r = 0; r < k.height; ++r)
    for (int32_t c = 0; c < k.width; ++c)
      if (k.at(r, c) != 0) taps.push_back({r, c - k.origin_x, k.at(r, c)});

  TagGuard tag;
  const auto ring_bytes = static_cast<size_t>(slot_bytes * k.height);
  auto* ring = static_cast<uint8_t*>(tag.alloc(ring_bytes));
  auto* sums = static_cast<int32_t*>(tag.alloc(static_cast<size_t>(out_bytes) * sizeof(int32_t)));
  if (ring == nullptr || sums == nullptr) {
    RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, static_cast<int32_t>(std::min<int64_t>(
                                           INT32_MAX, static_cast<int64_t>(ring_bytes))), 0);
    return false;
  }
  const std::array<uint8_t, 511> table = mode_table(k.mode);
  auto slot = [&](int32_t source_row) {
    return ring + static_cast<size_t>(source_row % k.height) * static_cast<size_t>(slot_bytes);
  };
  auto load = [&](int32_t source_row) {
    uint8_t* s = slot(source_row);
    std::memcpy(s + pad_left * bpp, dib_image_row(record->dib, source_row),
                static_cast<size_t>(width) * bpp);
    for (int32_t x = -pad_left; x < width + pad_right; ++x) {
      if (x >= 0 && x < width) continue;
      std::memcpy(s + (x + pad_left) * bpp, s + (mirror(x, width) + pad_left) * bpp,
                  static_cast<size_t>(bpp));
    }
  };

  const int32_t up = k.origin_y;
  const int32_t down = k.height - 1 - k.origin_y;
  int32_t next_load = std::max(0, span.top - up);
  const size_t count = static_cast<size_t>(out_bytes);
  auto write = [&](int32_t y, auto&& byte_of) {
    uint8_t* out = dib_image_row(record->dib, y) + span.left * bpp;
    for (size_t i = 0; i < count; ++i) {
      if (bpp == 3 && ((byte_mask >> (i % 3)) & 1u) == 0) continue;
      out[i] = byte_of(i);
    }
  };

  if (kernels_fast() && is_box(k)) {
    // A box slides: a column sum per padded byte gains the row entering
    // below and loses the row leaving above, and a row sum slides along
    // the columns; the bytes come from a table of every possible sum, so
    // they are those of the tap-by-tap path exactly.
    const int32_t r = k.origin_x;
    const int64_t largest = int64_t{255} * k.width * k.height;
    auto* columns = static_cast<int32_t*>(tag.alloc(static_cast<size_t>(slot_bytes) * sizeof(int32_t)));
    auto* by_sum = static_cast<uint8_t*>(tag.alloc(static_cast<size_t>(largest + 1)));
    if (columns == nullptr || by_sum == nullptr) {
      RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, static_cast<int32_t>(slot_bytes * 4), 0);
      return false;
    }
    for (int64_t sum = 0; sum <= largest; ++sum) {
      const double scaled = static_cast<double>(sum) * k.normaliser;
      const int32_t v = scaled >= 255.0 ? 255 : scaled <= -255.0 ? -255 : static_cast<int32_t>(scaled);
      by_sum[sum] = table[static_cast<size_t>(v + 255)];
    }
    const auto row_bytes = static_cast<size_t>(slot_bytes);
    bool first = true;
    const int32_t reach = r * bpp;
    const size_t start = static_cast<size_t>((span.left + pad_left) * bpp);
    return span_walk(record, span, 1, [&](int32_t y) {
      if (first) {
        for (; next_load <= std::min(height - 1, y + down); ++next_load) load(next_load);
        std::fill(columns, columns + row_bytes, 0);
        for (int32_t sy = std::max(0, y - up); sy <= std::min(height - 1, y + down); ++sy) {
          const uint8_t* s = slot(sy);
          for (size_t i = 0; i < row_bytes; ++i) columns[i] += s[i];
        }
        first = false;
      } else {
        // The leaving row goes before the entering one takes its slot.
        if (y - 1 - up >= 0) {
          const uint8_t* s = slot(y - 1 - up);
          for (size_t i = 0; i < row_bytes; ++i) columns[i] -= s[i];
        }
        if (y + down < height) {
          load(y + down);
          next_load = y + down + 1;
          const uint8_t* s = slot(y + down);
          for (size_t i = 0; i < row_bytes; ++i) columns[i] += s[i];
        }
      }
      const int32_t* c = columns + start;
      for (size_t i = 0; i < static_cast<size_t>(bpp) && i < count; ++i) {
        int32_t sum = 0;
        for (int32_t j = -reach; j <= reach; j += bpp) sum += c[static_cast<int64_t>(i) + j];
        sums[i] = sum;
      }
      for (size_t i = static_cast<size_t>(bpp); i < count; ++i)
        sums[i] = sums[i - static_cast<size_t>(bpp)] + c[static_cast<int64_t>(i) + reach] -
                  c[static_cast<int64_t>(i) - reach - bpp];
      write(y, [&](size_t i) { return by_sum[sums[i]]; });
      return true;
    });
  }

  return span_walk(record, span, 1, [&](int32_t y) {
    for (; next_load <= std::min(height - 1, y + down); ++next_load) load(next_load);
    std::fill(sums, sums + count, 0);
    for (const Tap& t : taps) {
      const int32_t source_row = y + t.row - up;
      if (source_row < 0 || source_row >= height) continue;
      const uint8_t* s = slot(source_row) + (span.left + t.column + pad_left) * bpp;
      const int32_t w = t.weight;
      for (size_t i = 0; i < count; ++i) sums[i] += w * s[i];
    }
    const double norm = k.normaliser;
    write(y, [&](size_t i) {
      const double scaled = static_cast<double>(sums[i]) * norm;
      const int32_t v = scaled >= 255.0 ? 255 : scaled <= -255.0 ? -255 : static_cast<int32_t>(scaled);
      return table[static_cast<size_t>(v + 255)];
    });
    return true;
  });
}

}  // namespace rx::ip::fx
