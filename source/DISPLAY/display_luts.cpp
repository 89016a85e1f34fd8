// The display lookup tables (contrast, brightness, gamma) and the dither
// mode: both change only how an image is shown, and both rebuild the
// logical palette it is shown through.
#include <cmath>

#include "SUPPORT/error.h"
#include "SUPPORT/image_api.h"
#include "rastrix/rx_display.h"

RX_SOURCE("source\\DISPLAY\\display_luts.cpp");

namespace rx {
namespace {

// ((v * contrast + brightness) / 255) ^ gamma * 255, limited to 0..255 and
// truncated. A negative base with a fractional gamma has no real power:
// it is as dark as any other negative base, so NaN counts as 0.
uint8_t lut_value(int32_t v, double contrast, double brightness, double gamma) {
  const double x = std::pow((v * contrast + brightness) / 255.0, gamma) * 255.0;
  if (!(x >= 0.0)) return 0;
  if (x >= 255.0) return 255;
  return static_cast<uint8_t>(x);
}

int32_t palette_rebuilt(IMAGE_REC* record) {
  RPb_logical_palette_update(record);
  return error_count();
}

}  // namespace
}  // namespace rx

using namespace rx;

extern "C" int32_t RX_display_LUT_set(RX_HIMAGE image, double contrast, double brightness,
                                      double gamma) {
  IMAGE_REC* record = image_enter(image);
  if (record == nullptr) return 0;
  DISPLAY_ATTR& d = record->display;
  for (int32_t v = 0; v < 256; ++v)
    d.lut_red[v] = d.lut_green[v] = d.lut_blue[v] = lut_value(v, contrast, brightness, gamma);
  return palette_rebuilt(record);
}

extern "C" int32_t RX_display_LUT_reset(RX_HIMAGE image) {
  IMAGE_REC* record = image_enter(image);
  if (record == nullptr) return 0;
  DISPLAY_ATTR& d = record->display;
  for (int32_t v = 0; v < 256; ++v)
    d.lut_red[v] = d.lut_green[v] = d.lut_blue[v] = static_cast<uint8_t>(v);
  return palette_rebuilt(record);
}

extern "C" int32_t RX_display_LUT_get(RX_HIMAGE image, const uint8_t** red,
                                      const uint8_t** green, const uint8_t** blue) {
  IMAGE_REC* record = image_enter(image);
  if (record == nullptr) return 0;
  if (red) *red = record->display.lut_red;
  if (green) *green = record->display.lut_green;
  if (blue) *blue = record->display.lut_blue;
  return 0;
}

extern "C" int32_t RX_display_dither_mode_set(RX_HIMAGE image, int32_t mode) {
  IMAGE_REC* record = image_enter(image);
  if (record == nullptr) return 0;
  if (record->display.dither_mode == mode) return 0;
  record->display.dither_mode = mode;
  return palette_rebuilt(record);
}

extern "C" int32_t RX_display_dither_mode_get(RX_HIMAGE image, int32_t* mode) {
  IMAGE_REC* record = image_enter(image);
  if (record == nullptr) return 0;
  if (mode == nullptr) RX_ERR(RXE_INVALID_POINTER, 0, 0);
  else *mode = record->display.dither_mode;
  return error_count();
}
