// Histograms of a rectangle's pixel values, and the counter helpers that
// clear, bound and sum them.
#include <algorithm>
#include <bit>
#include <cstring>

#include "IMG_PROC/ip_common.h"
#include "SUPPORT/error.h"
#include "SUPPORT/mem_tag.h"
#include "SUPPORT/runs.h"

RX_SOURCE("source\\IMG_PROC\\histogram.cpp");

namespace rx::ip {
namespace {

constexpr int32_t kMaxBins = 256;

// The 1-bits among columns [from, to] of a packed row, top bit first.
uint64_t ones_in(const uint8_t* row, uint32_t from, uint32_t to) {
  const uint32_t first = from >> 3;
  const uint32_t last = to >> 3;
  const auto head = static_cast<uint8_t>(0xFFu >> (from & 7));
  const auto tail = static_cast<uint8_t>(0xFFu << (7 - (to & 7)));
  if (first == last)
    return static_cast<uint64_t>(std::popcount(static_cast<uint8_t>(row[first] & head & tail)));
  uint64_t n = static_cast<uint64_t>(std::popcount(static_cast<uint8_t>(row[first] & head)));
  for (uint32_t i = first + 1; i < last; ++i) n += static_cast<uint64_t>(std::popcount(row[i]));
  return n + static_cast<uint64_t>(std::popcount(static_cast<uint8_t>(row[last] & tail)));
}

bool take_bilevel(IMAGE_REC* record, const Span& span, int32_t step, uint64_t* counts) {
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  const bool runs = dib_is_runs(record->dib);
  const uint32_t stride = dib_stride_of(h);
  TagGuard scratch;
  uint8_t* packed = nullptr;
  if (runs && (packed = static_cast<uint8_t*>(scratch.alloc(stride))) == nullptr) {
    RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, stride, 0);
    return false;
  }
  const auto from = static_cast<uint32_t>(span.left);
  const auto to = static_cast<uint32_t>(span.right);
  const auto columns = static_cast<uint64_t>(span.columns());
  return span_walk(record, span, step, [&](int32_t row) {
    const uint8_t* bits = nullptr;
    if (runs) {
      const uint8_t* stored = runs_row(record, h->biHeight - 1 - row);
      if (stored == nullptr) {
        RX_ERR(RXE_INTERNAL_ERROR, row, 0);
        return false;
      }
      run_row_expand(stored, static_cast<uint32_t>(h->biWidth), packed, stride);
      bits = packed;
    } else {
      bits = dib_image_row(record->dib, row);
    }
    const uint64_t ones = ones_in(bits, from, to);
    counts[1] += ones;
    counts[0] += columns - ones;
    return true;
  });
}

bool take_nibbles(IMAGE_REC* record, const Span& span, int32_t step, uint64_t* counts) {
  return span_walk(record, span, step, [&](int32_t row) {
    const uint8_t* p = dib_image_row(record->dib, row);
    for (auto x = static_cast<uint32_t>(span.left); x <= static_cast<uint32_t>(span.right); ++x)
      ++counts[(x & 1) ? p[x >> 1] & 15u : p[x >> 1] >> 4];
    return true;
  });
}

bool take_bytes(IMAGE_REC* record, const Span& span, int32_t step, uint64_t* counts) {
  const auto columns = static_cast<size_t>(span.columns());
  return span_walk(record, span, step, [&](int32_t row) {
    const uint8_t* p = dib_image_row(record->dib, row) + span.left;
    for (size_t x = 0; x < columns; ++x) ++counts[p[x]];
    return true;
  });
}

bool take_channel(IMAGE_REC* record, const Span& span, int32_t step, int32_t channel,
                  uint64_t* counts) {
  // Pixels are stored blue, green, red.
  size_t offset = 0;
  switch (channel) {
    case RX_CHANNEL_RED: offset = 2; break;
    case RX_CHANNEL_GREEN: offset = 1; break;
    case RX_CHANNEL_BLUE: offset = 0; break;
    case RX_CHANNEL_MEAN: break;
    default:
      RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, channel, 0);
      return false;
  }
  const auto columns = static_cast<size_t>(span.columns());
  const bool mean = channel == RX_CHANNEL_MEAN;
  return span_walk(record, span, step, [&](int32_t row) {
    const uint8_t* p =
        dib_image_row(record->dib, row) + size_t{3} * static_cast<uint32_t>(span.left);
    if (mean) {
      for (size_t x = 0; x < columns; ++x, p += 3) ++counts[(p[0] + p[1] + p[2]) / 3];
    } else {
      p += offset;
      for (size_t x = 0; x < columns; ++x, p += 3) ++counts[*p];
    }
    return true;
  });
}

// Bins in 1..256 and a histogram present; false once the reason is pushed.
bool counters_ok(const void* histogram, int32_t bins) {
  if (bins < 1 || bins > kMaxBins) {
    RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, bins, 0);
    return false;
  }
  if (histogram == nullptr) {
    RX_ERR(RXE_INVALID_POINTER, 0, 0);
    return false;
  }
  return true;
}

}  // namespace

bool histogram_take(IMAGE_REC* record, const Span& span, int32_t step, int32_t channel,
                    uint64_t* counts) {
  const uint32_t bits = dib_header(record->dib)->biBitCount;
  switch (bits) {
    case 1: return take_bilevel(record, span, step, counts);
    case 4: return take_nibbles(record, span, step, counts);
    case 8: return take_bytes(record, span, step, counts);
    case 24: return take_channel(record, span, step, channel, counts);
    default:
      RX_ERR(RXE_BIT_COUNT_UNSUPPORTED, bits, 0);
      return false;
  }
}

}  // namespace rx::ip

using namespace rx;
using namespace rx::ip;

extern "C" int32_t RX_IP_histogram_get(RX_HIMAGE image, uint32_t* histogram, int32_t bins,
                                       const int32_t* rect, int32_t row_step, int32_t channel) {
  IMAGE_REC* record = enter_or_push(image);
  if (record == nullptr || !counters_ok(histogram, bins)) return RPb_AF_error_check();
  if (row_step < 0) {
    RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, row_step, 0);
    return RPb_AF_error_check();
  }
  const Span span = span_clamp(rect, dib_header(record->dib));
  const int32_t step = row_step == 0 ? 1 : std::min(row_step, span.rows());
  uint64_t counts[kMaxBins] = {};
  // After an interruption the rows counted so far still go in.
  histogram_take(record, span, step, channel, counts);
  for (int32_t i = 0; i < bins; ++i)
    histogram[i] =
        static_cast<uint32_t>(std::min<uint64_t>(uint64_t{histogram[i]} + counts[i], UINT32_MAX));
  return RPb_AF_error_check();
}

extern "C" int32_t RX_IP_histogram_clear(uint32_t* histogram, int32_t bins) {
  RPb_AF_error_clear();
  if (counters_ok(histogram, bins))
    std::memset(histogram, 0, sizeof(uint32_t) * static_cast<size_t>(bins));
  return RPb_AF_error_check();
}

extern "C" int32_t RX_IP_histogram_bounds(const uint32_t* histogram, int32_t bins, int32_t* low,
                                          int32_t* high) {
  RPb_AF_error_clear();
  if (!counters_ok(histogram, bins)) return RPb_AF_error_check();
  if (low == nullptr || high == nullptr) {
    RX_ERR(RXE_INVALID_POINTER, 0, 0);
    return RPb_AF_error_check();
  }
  int32_t first = 0;
  while (first < bins && histogram[first] == 0) ++first;
  int32_t last = bins - 1;
  while (last > first && histogram[last] == 0) --last;
  // No counts at all: both bounds are 0.
  *low = first < bins ? first : 0;
  *high = first < bins ? last : 0;
  return RPb_AF_error_check();
}

extern "C" int32_t RX_IP_histogram_total(const uint32_t* histogram, int32_t bins,
                                         uint64_t* total) {
  RPb_AF_error_clear();
  if (!counters_ok(histogram, bins)) return RPb_AF_error_check();
  if (total == nullptr) {
    RX_ERR(RXE_INVALID_POINTER, 0, 0);
    return RPb_AF_error_check();
  }
  uint64_t sum = 0;
  for (int32_t i = 0; i < bins; ++i) sum += histogram[i];
  *total = sum;
  return RPb_AF_error_check();
}
