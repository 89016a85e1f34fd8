// Convolution of a rectangle with an integer kernel of up to 16 x 16
// elements. Every output row is summed from padded source rows (columns
// beyond the picture mirrored in) kept in a window as high as the kernel,
// and the rows go to a scratch copy of the rectangle that replaces it once
// every row is done.
#include "IMG_PROC/convolve.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "SUPPORT/error.h"
#include "SUPPORT/kernels.h"
#include "SUPPORT/mem_tag.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

RX_SOURCE("source\\IMG_PROC\\convolve.cpp");

namespace rx::ip {
namespace {

// Sums whose whole range fits a table of at most this many entries either
// side of 0 map to their bytes by one look-up; larger ones are worked out
// one at a time. 65535 covers every kernel whose absolute elements add up
// to 257, so all the fixed, box and edge kernels.
constexpr int64_t kTableHalfMax = 65535;

// Column x of a row n pixels wide, reflected about the edge columns as
// often as needed (-1 is 1, n is n - 2).
int32_t mirror(int64_t x, int32_t n) {
  if (n == 1) return 0;
  const int64_t period = 2 * int64_t{n - 1};
  x %= period;
  if (x < 0) x += period;
  return static_cast<int32_t>(x < n ? x : period - x);
}

// The effects' older rule: reflected once about the edge column, and held
// at the edge when that is still outside (kernels wider than the picture).
int32_t mirror_once(int64_t x, int32_t n) {
  if (n == 1) return 0;
  if (x < 0) x = -x;
  if (x >= n) x = 2 * int64_t{n - 1} - x;
  return static_cast<int32_t>(std::clamp<int64_t>(x, 0, n - 1));
}

template <class T>
T* scratch_array(TagGuard& tag, uint64_t count) {
  const uint64_t bytes = count * sizeof(T);
  void* p = bytes <= std::numeric_limits<size_t>::max() ? tag.alloc(static_cast<size_t>(bytes))
                                                        : nullptr;
  if (p == nullptr)
    RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, static_cast<int32_t>(std::min<uint64_t>(bytes, INT32_MAX)),
           0);
  return static_cast<T*>(p);
}

// acc[i] += w x q[i] for n samples: the plain loop, for any width of sum.
template <class Acc>
void accumulate(Acc* acc, const uint8_t* q, size_t n, Acc w) {
  for (size_t i = 0; i < n; ++i) acc[i] = static_cast<Acc>(acc[i] + w * q[i]);
}

#if defined(__SSE2__)
// The same for 16-bit sums, sixteen samples a step. The caller has made
// sure no product or sum leaves 16 bits, so the wrapping multiply and add
// give the plain loop's values.
void accumulate16_sse2(int16_t* acc, const uint8_t* q, size_t n, int16_t w) {
  const __m128i weight = _mm_set1_epi16(w);
  const __m128i zero = _mm_setzero_si128();
  size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q + i));
    auto* a = reinterpret_cast<__m128i*>(acc + i);
    const __m128i low = _mm_mullo_epi16(_mm_unpacklo_epi8(bytes, zero), weight);
    const __m128i high = _mm_mullo_epi16(_mm_unpackhi_epi8(bytes, zero), weight);
    _mm_storeu_si128(a, _mm_add_epi16(_mm_loadu_si128(a), low));
    _mm_storeu_si128(a + 1, _mm_add_epi16(_mm_loadu_si128(a + 1), high));
  }
  accumulate(acc + i, q + i, n - i, w);
}
#endif

// One non-zero element of a kernel row: its column and weight.
struct Tap {
  int32_t column;
  int32_t weight;
};

// Everything one pass needs, set up before the first row.
template <class Acc>
class Pass {
 public:
  Pass(const SampleImage& image, const Span& span, const RX_KERNEL& k, const PassOptions& o)
      : im_(image), span_(span), k_(k), o_(o), ch_(image.channels),
        samples_(size_t{static_cast<uint32_t>(span.columns())} * static_cast<uint32_t>(ch_)),
        padded_(size_t{static_cast<uint32_t>(span.columns() + k.width - 1)} *
                static_cast<uint32_t>(ch_)) {
    int64_t weights = 0;
    for (int32_t i = 0; i < RX_KERNEL_MAX * RX_KERNEL_MAX; ++i)
      weights += std::abs(int64_t{k.elements[i]});
    bound_ = 255 * weights;
  }

  bool run(TagGuard& tag) {
    if (!setup(tag)) return false;
    const Progress progress;
    const int32_t rows = span_.rows();
    for (int32_t r = 0; r < rows; ++r) {
      sum_row(span_.top + r);
      map_row(span_.top + r, out_ + samples_ * static_cast<uint32_t>(r));
      if (!progress.go_on(r, rows)) {
        if (o_.keep_done_rows) write_rows(r + 1);
        push_interrupted(r, rows);
        return false;
      }
    }
    write_rows(rows);
    return true;
  }

 private:
  bool setup(TagGuard& tag) {
    const auto kh = static_cast<uint32_t>(k_.height);
    out_ = scratch_array<uint8_t>(tag, uint64_t{samples_} * static_cast<uint32_t>(span_.rows()));
    window_ = scratch_array<uint8_t>(tag, uint64_t{padded_} * kh);
    keys_ = scratch_array<int32_t>(tag, kh);
    acc_ = scratch_array<Acc>(tag, samples_);
    taps_ = scratch_array<Tap>(tag, uint64_t{kh} * RX_KERNEL_MAX);
    if (out_ == nullptr || window_ == nullptr || keys_ == nullptr || acc_ == nullptr ||
        taps_ == nullptr)
      return false;
    std::fill(keys_, keys_ + kh, -1);
    for (int32_t r = 0; r < k_.height; ++r) {
      tap_count_[r] = 0;
      for (int32_t c = 0; c < k_.width; ++c) {
        const int32_t e = k_.elements[r * RX_KERNEL_MAX + c];
        if (e != 0) taps_[r * RX_KERNEL_MAX + tap_count_[r]++] = Tap{c, e};
      }
    }
    if (bound_ > kTableHalfMax) return true;
    const auto entries = static_cast<uint64_t>(2 * bound_ + 1);
    if (o_.add) {
      values_ = scratch_array<int16_t>(tag, entries);
      if (values_ == nullptr) return false;
      for (int64_t s = -bound_; s <= bound_; ++s)
        values_[s + bound_] = static_cast<int16_t>(kernel_value(s, k_.normalizer, o_.snap_whole));
    } else {
      bytes_ = scratch_array<uint8_t>(tag, entries);
      if (bytes_ == nullptr) return false;
      for (int64_t s = -bound_; s <= bound_; ++s)
        bytes_[s + bound_] = result_byte(kernel_value(s, k_.normalizer, o_.snap_whole), k_.result_mode);
    }
    return true;
  }

  // The first `rows` rows of the scratch copy into the span.
  void write_rows(int32_t rows) const {
    for (int32_t r = 0; r < rows; ++r)
      std::memcpy(im_.row(span_.top + r) + size_t{static_cast<uint32_t>(span_.left)} * ch_,
                  out_ + samples_ * static_cast<uint32_t>(r), samples_);
  }

  int32_t edge_column(int64_t x) const {
    return o_.reflect_repeatedly ? mirror(x, im_.width) : mirror_once(x, im_.width);
  }

  // Source row y padded with mirrored columns on both sides, from the
  // window; consecutive output rows need consecutive source rows, so a
  // window slot per kernel row never evicts a row still in use.
  const uint8_t* padded_row(int32_t y) {
    const auto slot = static_cast<uint32_t>(y) % static_cast<uint32_t>(k_.height);
    uint8_t* p = window_ + padded_ * slot;
    if (keys_[slot] == y) return p;
    keys_[slot] = y;
    const uint8_t* src = im_.row(y);
    const int32_t first = span_.left + k_.first_column;
    const int32_t count = span_.columns() + k_.width - 1;
    int32_t i = 0;
    // Columns inside the picture are one block; only the margins mirror.
    for (; i < count && first + i < 0; ++i)
      std::memcpy(p + size_t{static_cast<uint32_t>(i)} * ch_,
                  src + size_t{static_cast<uint32_t>(edge_column(first + i))} * ch_, ch_);
    const int32_t inside = std::min(count, im_.width - first) - i;
    if (inside > 0) {
      std::memcpy(p + size_t{static_cast<uint32_t>(i)} * ch_,
                  src + size_t{static_cast<uint32_t>(first + i)} * ch_,
                  size_t{static_cast<uint32_t>(inside)} * ch_);
      i += inside;
    }
    for (; i < count; ++i)
      std::memcpy(p + size_t{static_cast<uint32_t>(i)} * ch_,
                  src + size_t{static_cast<uint32_t>(edge_column(first + i))} * ch_, ch_);
    return p;
  }

  // The weighted sums of output row y; kernel rows above or below the
  // picture are left out.
  void sum_row(int32_t y) {
    std::fill(acc_, acc_ + samples_, Acc{0});
    for (int32_t r = 0; r < k_.height; ++r) {
      const int32_t sy = y + k_.first_row + r;
      if (sy < 0 || sy >= im_.height || tap_count_[r] == 0) continue;
      const uint8_t* p = padded_row(sy);
      for (int32_t t = 0; t < tap_count_[r]; ++t) {
        const Tap tap = taps_[r * RX_KERNEL_MAX + t];
        const uint8_t* q = p + size_t{static_cast<uint32_t>(tap.column)} * ch_;
        const auto w = static_cast<Acc>(tap.weight);
#if defined(__SSE2__)
        if constexpr (sizeof(Acc) == 2) {
          if (fast_) {
            accumulate16_sse2(acc_, q, samples_, w);
            continue;
          }
        }
#endif
        accumulate(acc_, q, samples_, w);
      }
    }
  }

  void map_row(int32_t y, uint8_t* out) const {
    const uint8_t* src = im_.row(y) + size_t{static_cast<uint32_t>(span_.left)} * ch_;
    if (o_.sample_mask == (1u << ch_) - 1) {
      // Every sample written: the look-ups alone, without the mask test.
      if (bytes_ != nullptr) {
        for (size_t i = 0; i < samples_; ++i) out[i] = bytes_[acc_[i] + bound_];
        return;
      }
      if (values_ != nullptr) {
        for (size_t i = 0; i < samples_; ++i)
          out[i] = static_cast<uint8_t>(std::clamp(values_[acc_[i] + bound_] + src[i], 0, 255));
        return;
      }
    }
    for (size_t i = 0; i < samples_; ++i) {
      if ((o_.sample_mask >> (i % static_cast<uint32_t>(ch_)) & 1u) == 0) {
        out[i] = src[i];
      } else if (o_.add) {
        const int32_t v = values_ != nullptr ? values_[acc_[i] + bound_]
                                             : kernel_value(acc_[i], k_.normalizer, o_.snap_whole);
        out[i] = static_cast<uint8_t>(std::clamp(v + src[i], 0, 255));
      } else {
        out[i] = bytes_ != nullptr ? bytes_[acc_[i] + bound_]
                                   : result_byte(kernel_value(acc_[i], k_.normalizer, o_.snap_whole),
                                                 k_.result_mode);
      }
    }
  }

  const SampleImage& im_;
  const Span span_;
  const RX_KERNEL& k_;
  const PassOptions o_;
  const int32_t ch_;
  const bool fast_ = kernels_fast();
  const size_t samples_;  // per output row
  const size_t padded_;   // per window row
  int64_t bound_ = 0;     // the largest absolute sum
  uint8_t* out_ = nullptr;
  uint8_t* window_ = nullptr;
  int32_t* keys_ = nullptr;
  Acc* acc_ = nullptr;
  Tap* taps_ = nullptr;
  int32_t tap_count_[RX_KERNEL_MAX] = {};
  uint8_t* bytes_ = nullptr;    // sum -> output byte
  int16_t* values_ = nullptr;   // sum -> value, for the add flag
};

}  // namespace

int32_t kernel_value(int64_t sum, double normaliser, bool snap_whole) {
  double v = static_cast<double>(sum) * normaliser;
  // A normaliser such as 1/49 is stored a hair below its value, so 49 x
  // (1/49) would truncate to 0 and a uniform area would darken by one.
  // Products within rounding error of a whole number are that number.
  const double whole = std::nearbyint(v);
  if (snap_whole && std::fabs(v - whole) <= 1e-9 * std::max(1.0, std::fabs(v))) v = whole;
  // Limited in floating point first: a huge normaliser must not overflow
  // the conversion.
  return static_cast<int32_t>(std::clamp(std::trunc(v), -255.0, 255.0));
}

uint8_t result_byte(int32_t value, int32_t mode) {
  switch (mode) {
    case RX_KERNEL_RESULT_POSITIVE:
      return static_cast<uint8_t>(std::clamp(value, 0, 255));
    case RX_KERNEL_RESULT_ABSOLUTE:
      return static_cast<uint8_t>(std::min(std::abs(value), 255));
    case RX_KERNEL_RESULT_WRAPPED:
      return static_cast<uint8_t>(std::clamp(value, -127, 128));
    default:
      return static_cast<uint8_t>(std::clamp(value, -127, 128) + 127);
  }
}

SampleImage samples_of(IMAGE_REC* record) {
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  uint8_t* top = dib_image_row(record->dib, 0);
  const ptrdiff_t stride =
      h->biHeight > 1 ? dib_image_row(record->dib, 1) - top : ptrdiff_t{dib_stride_of(h)};
  return SampleImage{top, stride, h->biWidth, h->biHeight, h->biBitCount / 8};
}

void kernel_shape(RX_KERNEL* kernel, int32_t width, int32_t height, int32_t ox, int32_t oy) {
  kernel->width = std::clamp(width, 1, RX_KERNEL_MAX);
  kernel->height = std::clamp(height, 1, RX_KERNEL_MAX);
  kernel->first_column = -std::clamp(ox, 0, kernel->width - 1);
  kernel->first_row = -std::clamp(oy, 0, kernel->height - 1);
  kernel->last_column = kernel->width - 1 + kernel->first_column;
  kernel->last_row = kernel->height - 1 + kernel->first_row;
}

bool kernel_ok(const RX_KERNEL& k) {
  const bool ok = k.width >= 1 && k.width <= RX_KERNEL_MAX && k.height >= 1 &&
                  k.height <= RX_KERNEL_MAX && k.first_column <= 0 && k.first_row <= 0 &&
                  k.last_column == k.width - 1 + k.first_column &&
                  k.last_row == k.height - 1 + k.first_row && k.last_column >= 0 &&
                  k.last_row >= 0 && std::isfinite(k.normalizer) && k.result_mode >= 0 &&
                  k.result_mode <= 3;
  if (!ok) RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, k.width, k.height);
  return ok;
}

bool convolve_span(const SampleImage& image, const Span& span, const RX_KERNEL& kernel,
                   const PassOptions& options) {
  if (!kernel_ok(kernel)) return false;
  int64_t weights = 0;
  for (const int32_t e : kernel.elements) weights += std::abs(int64_t{e});
  TagGuard tag;
  // The narrowest sums that cannot overflow: every partial sum is at most
  // 255 times the absolute weights.
  if (255 * weights <= INT16_MAX) return Pass<int16_t>(image, span, kernel, options).run(tag);
  if (255 * weights <= INT32_MAX) return Pass<int32_t>(image, span, kernel, options).run(tag);
  return Pass<int64_t>(image, span, kernel, options).run(tag);
}

bool convolve_record(IMAGE_REC* record, const Span& span, const RX_KERNEL& kernel,
                     const PassOptions& options) {
  RecordLock lock(record);
  if (!lock.held()) {
    push_lock_failed();
    return false;
  }
  return convolve_span(samples_of(record), span, kernel, options);
}

}  // namespace rx::ip

using namespace rx;
using namespace rx::ip;

extern "C" int32_t RX_IP_convolve(RX_HIMAGE image, const int32_t* rect, const int32_t* elements,
                                  int32_t width, int32_t height, double normalizer,
                                  int32_t channel, int32_t result_mode, int32_t add) {
  IMAGE_REC* record = enter_or_push(image);
  if (record == nullptr) return RPb_AF_error_check();
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  const uint32_t bits = h->biBitCount;
  if (bits != 8 && bits != 24) {
    RX_ERR(RXE_BIT_COUNT_UNSUPPORTED, bits, 0);
    return RPb_AF_error_check();
  }
  if (elements == nullptr) {
    RX_ERR(RXE_INVALID_POINTER, 0, 0);
    return RPb_AF_error_check();
  }
  if (width < 1 || height < 1) {
    RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, width, height);
    return RPb_AF_error_check();
  }
  if (result_mode < 0 || result_mode > 3) {
    RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, result_mode, 0);
    return RPb_AF_error_check();
  }
  if (!std::isfinite(normalizer)) {
    RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, 0, 0);
    return RPb_AF_error_check();
  }
  PassOptions options;
  options.add = add != 0;
  options.sample_mask = 1;
  if (bits == 24) {
    // Channel codes are bit masks of red, green and blue; the pixel's bytes
    // are blue, green, red. The mean code does all three.
    switch (channel) {
      case RX_CHANNEL_RED: options.sample_mask = 4; break;
      case RX_CHANNEL_GREEN: options.sample_mask = 2; break;
      case RX_CHANNEL_BLUE: options.sample_mask = 1; break;
      case RX_CHANNEL_RED | RX_CHANNEL_GREEN | RX_CHANNEL_BLUE:
      case RX_CHANNEL_MEAN: options.sample_mask = 7; break;
      default:
        RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, channel, 0);
        return RPb_AF_error_check();
    }
  }
  RX_KERNEL kernel{};
  kernel_shape(&kernel, width, height, width / 2, height / 2);
  kernel.normalizer = normalizer;
  kernel.result_mode = result_mode;
  // The caller's rows are `width` long even when the kernel is cut.
  for (int32_t r = 0; r < kernel.height; ++r)
    for (int32_t c = 0; c < kernel.width; ++c)
      kernel.elements[r * RX_KERNEL_MAX + c] = elements[int64_t{r} * width + c];
  convolve_record(record, span_clamp(rect, h), kernel, options);
  return RPb_AF_error_check();
}
