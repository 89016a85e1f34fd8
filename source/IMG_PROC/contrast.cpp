// Contrast operations: inversion, linear contrast and brightness, stretch
// and equalisation. Each builds one 256-entry map and applies it to the
// palette or to the pixels of a rectangle.
#include <algorithm>
#include <array>
#include <cmath>

#include "IMG_PROC/ip_common.h"
#include "SUPPORT/error.h"

RX_SOURCE("source\\IMG_PROC\\contrast.cpp");

namespace rx::ip {
namespace {

using Lut = std::array<uint8_t, 256>;

enum Target : int32_t { kPalette = 0, kPixels = 1 };

bool target_ok(int32_t target) {
  if (target == kPalette || target == kPixels) return true;
  RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, target, 0);
  return false;
}

// Pixel values of an 8-bit image are grey levels only under the identity
// grey palette; any other palette makes them indices.
bool gray_or_push(IMAGE_REC* record) {
  if (image_is_gray(record)) return true;
  RX_ERR(RXE_INDEXED_8_BIT_UNSUPPORTED, 0, 0);
  return false;
}

// Passes every channel of the image's palette entries through the map,
// then rebuilds the logical palette the image is shown through.
void palette_map(IMAGE_REC* record, const uint8_t* lut) {
  RX_RGBQUAD* palette = RPb_palette_pointer_get(record);
  const uint32_t entries = 1u << dib_header(record->dib)->biBitCount;
  for (uint32_t i = 0; i < entries; ++i) {
    palette[i].rgbBlue = lut[palette[i].rgbBlue];
    palette[i].rgbGreen = lut[palette[i].rgbGreen];
    palette[i].rgbRed = lut[palette[i].rgbRed];
  }
  RPb_logical_palette_update(record);
}

// The map applied to the pixels of an 8-bit grey or a 24-bit image.
void pixels_map(IMAGE_REC* record, const Span& span, const uint8_t* lut) {
  if (dib_header(record->dib)->biBitCount == 8) lut8_apply(record, span, lut);
  else lut24_apply(record, span, lut, lut, lut);
}

// Depths whose pixels contrast, stretch and equalisation change; the 1-bit
// and 4-bit cases differ per operation, so the caller handles them.
bool pixel_depth_ok(IMAGE_REC* record) {
  const uint32_t bits = dib_header(record->dib)->biBitCount;
  if (bits == 8) return gray_or_push(record);
  if (bits == 24) return true;
  RX_ERR(RXE_INVALID_BIT_COUNT, bits, 0);
  return false;
}

Lut adjust_lut(double contrast, double brightness) {
  Lut lut{};
  for (uint32_t i = 0; i < 256; ++i) {
    const double v = i * contrast + brightness;
    lut[i] = v < 0.0 ? 0 : v >= 255.0 ? 255 : static_cast<uint8_t>(v);
  }
  return lut;
}

// Low maps to 0 and high to 255, the values between linearly. When every
// value is the same, low equals high and the linear part is empty: values
// below go to 0, the rest to 255.
Lut stretch_lut(const uint64_t* counts) {
  uint32_t low = 0;
  while (low < 256 && counts[low] == 0) ++low;
  uint32_t high = 255;
  while (high > low && counts[high] == 0) --high;
  if (low == 256) low = high = 0;
  Lut lut{};
  for (uint32_t i = low; i < high; ++i)
    lut[i] = static_cast<uint8_t>((i - low) * 255 / (high - low));
  for (uint32_t i = high; i < 256; ++i) lut[i] = 255;
  return lut;
}

// Each value maps to its cumulative count in steps of total / 255; with
// fewer than 255 pixels the step is 0 and the map stays the identity.
Lut equalize_lut(const uint64_t* counts) {
  uint64_t total = 0;
  for (uint32_t i = 0; i < 256; ++i) total += counts[i];
  const uint64_t step = total / 255;
  Lut lut{};
  uint64_t cumulative = 0;
  for (uint32_t i = 0; i < 256; ++i) {
    cumulative += counts[i];
    lut[i] = step == 0 ? static_cast<uint8_t>(i)
                       : static_cast<uint8_t>(std::min<uint64_t>(255, cumulative / step));
  }
  return lut;
}

// Stretch and equalisation: a histogram of the rectangle (24-bit images by
// the channel mean) gives the map, which goes into the palette of an 8-bit
// image (target 0) or to the pixels (target 1).
void map_by_histogram(RX_HIMAGE image, const int32_t* rect, int32_t target,
                      Lut (*make_lut)(const uint64_t*)) {
  IMAGE_REC* record = enter_or_push(image);
  if (record == nullptr) return;
  const uint32_t bits = dib_header(record->dib)->biBitCount;
  if (bits == 1 || bits == 4) {
    RX_ERR(RXE_BIT_COUNT_UNSUPPORTED, bits, 0);
    return;
  }
  if (!pixel_depth_ok(record)) return;
  if (bits == 24 && target != kPixels) {
    RX_ERR(RXE_BIT_COUNT_UNSUPPORTED, bits, target);
    return;
  }
  if (target != kPalette && target != kPixels) return;
  const Span span = span_clamp(rect, dib_header(record->dib));
  uint64_t counts[256] = {};
  if (!histogram_take(record, span, 1, RX_CHANNEL_MEAN, counts)) return;
  const Lut lut = make_lut(counts);
  if (target == kPalette) {
    RX_RGBQUAD* palette = RPb_palette_pointer_get(record);
    for (uint32_t i = 0; i < 256; ++i) palette[i] = RX_RGBQUAD{lut[i], lut[i], lut[i], 0};
  } else {
    pixels_map(record, span, lut.data());
  }
  RPb_logical_palette_update(record);
}

}  // namespace
}  // namespace rx::ip

using namespace rx;
using namespace rx::ip;

extern "C" int32_t RX_IP_contrast_invert(RX_HIMAGE image, const int32_t* rect, int32_t target) {
  IMAGE_REC* record = enter_or_push(image);
  if (record == nullptr || !target_ok(target)) return RPb_AF_error_check();
  const uint32_t bits = dib_header(record->dib)->biBitCount;
  if (target == kPalette) {
    if (bits == 1 || bits == 4 || bits == 8) palette_map(record, lut_inverse());
    else RX_ERR(RXE_BIT_COUNT_UNSUPPORTED, bits, 0);
    return RPb_AF_error_check();
  }
  const Span span = span_clamp(rect, dib_header(record->dib));
  if (bits == 1) bilevel_invert(record, span);
  else if (bits == 4) RX_ERR(RXE_BIT_COUNT_UNSUPPORTED, bits, 0);
  else if (pixel_depth_ok(record)) pixels_map(record, span, lut_inverse());
  return RPb_AF_error_check();
}

extern "C" int32_t RX_IP_contrast_adjust(RX_HIMAGE image, const int32_t* rect, int32_t target,
                                         double contrast, double brightness) {
  IMAGE_REC* record = enter_or_push(image);
  if (record == nullptr || !target_ok(target)) return RPb_AF_error_check();
  // A NaN passes both limits of the map and has no byte value; 0 x infinity
  // is one, so infinities are refused too.
  if (!std::isfinite(contrast) || !std::isfinite(brightness)) {
    RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, 0, 0);
    return RPb_AF_error_check();
  }
  const uint32_t bits = dib_header(record->dib)->biBitCount;
  const Lut lut = adjust_lut(contrast, brightness);
  if (target == kPalette) {
    if (bits == 4 || bits == 8) palette_map(record, lut.data());
    else RX_ERR(RXE_BIT_COUNT_UNSUPPORTED, bits, 0);
    return RPb_AF_error_check();
  }
  if (bits == 1 || bits == 4) RX_ERR(RXE_BIT_COUNT_UNSUPPORTED, bits, 0);
  else if (pixel_depth_ok(record))
    pixels_map(record, span_clamp(rect, dib_header(record->dib)), lut.data());
  return RPb_AF_error_check();
}

extern "C" int32_t RX_IP_contrast_stretch(RX_HIMAGE image, const int32_t* rect, int32_t target) {
  map_by_histogram(image, rect, target, stretch_lut);
  return RPb_AF_error_check();
}

extern "C" int32_t RX_IP_contrast_equalize(RX_HIMAGE image, const int32_t* rect,
                                           int32_t target) {
  map_by_histogram(image, rect, target, equalize_lut);
  return RPb_AF_error_check();
}
