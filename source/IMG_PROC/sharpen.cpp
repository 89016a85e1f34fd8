// Sharpening: the detail the fixed 3 x 3 or 5 x 5 kernel finds, scaled by
// the strength, added to every pixel of a rectangle.
#include <algorithm>
#include <cstring>

#include "IMG_PROC/convolve.h"
#include "SUPPORT/error.h"
#include "SUPPORT/mem_tag.h"

RX_SOURCE("source\\IMG_PROC\\sharpen.cpp");

namespace rx::ip {
namespace {

struct Strength {
  int32_t size;
  double normaliser;
};

constexpr Strength kStrength[7] = {{3, 1.0 / 8}, {3, 1.0 / 4},  {3, 1.0 / 2}, {3, 3.0 / 4},
                                   {5, 1.0 / 16}, {5, 1.0 / 8}, {5, 1.0 / 4}};

// The channels of a 16-bit pixel: grey images have one sample of 16 bits,
// the others three fields given by their masks (5-5-5 without masks).
struct Fields {
  int32_t count;
  uint32_t mask[3];
  uint32_t shift[3];
  uint32_t max[3];
};

Fields fields_of(const void* dib) {
  const RX_BITMAPINFOHEADER* h = dib_header(dib);
  uint32_t masks[3] = {0x7C00, 0x03E0, 0x001F};
  int32_t count = 3;
  if (h->biCompression == RX_BI_GRAY16) {
    masks[0] = 0xFFFF;
    count = 1;
  } else if (h->biCompression == RX_BI_BITFIELDS) {
    std::memcpy(masks, dib_masks(dib), sizeof masks);
  }
  Fields f{count, {}, {}, {}};
  for (int32_t i = 0; i < count; ++i) {
    f.mask[i] = masks[i] & 0xFFFFu;
    uint32_t shift = 0;
    while (shift < 16 && ((f.mask[i] >> shift) & 1u) == 0) ++shift;
    f.shift[i] = shift < 16 ? shift : 0;
    f.max[i] = f.mask[i] >> f.shift[i];
  }
  return f;
}

uint16_t pixel16(const uint8_t* row, int32_t x) {
  uint16_t v;
  std::memcpy(&v, row + 2 * size_t{static_cast<uint32_t>(x)}, sizeof v);
  return v;
}

// A field widened to 0..255, rounded.
uint8_t widen(uint32_t v, uint32_t max) {
  if (max == 0) return 0;
  return static_cast<uint8_t>((v * 255 + max / 2) / max);
}

// 16-bit images: every field widened to 8 bits, sharpened as samples, and
// the change scaled back onto the field, so that unchanged pixels keep
// every bit (a grey sample its low byte too).
bool sharpen16(IMAGE_REC* record, const Span& span, const RX_KERNEL& kernel) {
  RecordLock lock(record);
  if (!lock.held()) {
    push_lock_failed();
    return false;
  }
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  const Fields f = fields_of(record->dib);
  const auto width = static_cast<uint32_t>(h->biWidth);
  const auto height = static_cast<uint32_t>(h->biHeight);
  const uint64_t bytes = uint64_t{width} * height * static_cast<uint32_t>(f.count);
  TagGuard tag;
  auto* samples = static_cast<uint8_t*>(tag.alloc(static_cast<size_t>(bytes)));
  if (samples == nullptr) {
    RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, static_cast<int32_t>(std::min<uint64_t>(bytes, INT32_MAX)),
           0);
    return false;
  }
  const SampleImage image{samples, static_cast<ptrdiff_t>(width * f.count), h->biWidth,
                          h->biHeight, f.count};
  for (int32_t y = 0; y < h->biHeight; ++y) {
    const uint8_t* row = dib_image_row(record->dib, y);
    uint8_t* s = image.row(y);
    for (int32_t x = 0; x < h->biWidth; ++x)
      for (int32_t c = 0; c < f.count; ++c)
        *s++ = widen((pixel16(row, x) & f.mask[c]) >> f.shift[c], f.max[c]);
  }
  // The widened values of the span before the pass, to find the change.
  const auto columns = static_cast<uint32_t>(span.columns());
  const uint64_t kept = uint64_t{columns} * static_cast<uint32_t>(f.count) *
                        static_cast<uint32_t>(span.rows());
  auto* before = static_cast<uint8_t*>(tag.alloc(static_cast<size_t>(kept)));
  if (before == nullptr) {
    RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, static_cast<int32_t>(std::min<uint64_t>(kept, INT32_MAX)),
           0);
    return false;
  }
  const size_t line = size_t{columns} * static_cast<uint32_t>(f.count);
  for (int32_t r = 0; r < span.rows(); ++r)
    std::memcpy(before + line * static_cast<uint32_t>(r),
                image.row(span.top + r) + size_t{static_cast<uint32_t>(span.left)} * f.count,
                line);
  PassOptions options;
  options.add = true;
  options.sample_mask = (1u << f.count) - 1;
  if (!convolve_span(image, span, kernel, options)) return false;
  for (int32_t r = 0; r < span.rows(); ++r) {
    uint8_t* row = dib_image_row(record->dib, span.top + r);
    const uint8_t* now = image.row(span.top + r) + size_t{static_cast<uint32_t>(span.left)} * f.count;
    const uint8_t* was = before + line * static_cast<uint32_t>(r);
    for (uint32_t i = 0; i < columns; ++i) {
      const int32_t x = span.left + static_cast<int32_t>(i);
      uint32_t v = pixel16(row, x);
      for (int32_t c = 0; c < f.count; ++c, ++now, ++was) {
        if (*now == *was) continue;
        const auto old = static_cast<int64_t>((v & f.mask[c]) >> f.shift[c]);
        const int64_t change = (int64_t{*now} - *was) * f.max[c];
        // Rounded to the nearest field step, halves away from zero.
        const int64_t step = change >= 0 ? (change + 127) / 255 : -((-change + 127) / 255);
        const auto field =
            static_cast<uint32_t>(std::clamp<int64_t>(old + step, 0, int64_t{f.max[c]}));
        v = (v & ~f.mask[c]) | ((field << f.shift[c]) & f.mask[c]);
      }
      const auto w = static_cast<uint16_t>(v);
      std::memcpy(row + 2 * size_t{static_cast<uint32_t>(x)}, &w, sizeof w);
    }
  }
  return true;
}

void sharpen(IMAGE_REC* record, const int32_t* rect, int32_t strength) {
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  const uint32_t bits = h->biBitCount;
  if (bits == 1 || bits == 4) {
    RX_ERR(RXE_BIT_COUNT_UNSUPPORTED, bits, 0);
    return;
  }
  if (bits != 8 && bits != 16 && bits != 24) {
    RX_ERR(RXE_INVALID_BIT_COUNT, bits, 0);
    return;
  }
  if (strength < 1 || strength > 7) {
    RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, strength, 0);
    return;
  }
  RX_KERNEL kernel{};
  kernel_fixed(&kernel, kStrength[strength - 1].size);
  kernel.normalizer = kStrength[strength - 1].normaliser;
  const Span span = span_clamp(rect, h);
  if (bits == 16) {
    sharpen16(record, span, kernel);
    return;
  }
  PassOptions options;
  options.add = true;
  convolve_record(record, span, kernel, options);
}

}  // namespace
}  // namespace rx::ip

extern "C" int32_t RX_IP_sharpen(RX_HIMAGE image, const int32_t* rect, int32_t strength) {
  IMAGE_REC* record = rx::ip::enter_or_push(image);
  if (record != nullptr) rx::ip::sharpen(record, rect, strength);
  return RPb_AF_error_check();
}
