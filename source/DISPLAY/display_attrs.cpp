// The display attributes that are plain values: device and clip
// rectangles, aspect and rotation, anti-aliasing, raster operation,
// transparency and background. Setting the anti-alias values rebuilds the
// logical palette, which depends on them.
#include <algorithm>
#include <cstring>

#include "DISPLAY/display_geometry.h"
#include "SUPPORT/error.h"
#include "SUPPORT/image_api.h"
#include "platform/gdi.h"
#include "rastrix/rx_display.h"

RX_SOURCE("source\\DISPLAY\\display_attrs.cpp");

namespace rx {
namespace {

// Pattern bitmaps are one 8 x 8 cell of one bit per pixel.
constexpr int32_t kPatternSide = 8;

void colour_in(uint8_t* bgr, const RX_RGBQUAD* c) {
  if (c == nullptr) return;
  bgr[0] = c->rgbBlue;
  bgr[1] = c->rgbGreen;
  bgr[2] = c->rgbRed;
}

void colour_out(RX_RGBQUAD* c, const uint8_t* bgr) {
  if (c != nullptr) *c = RX_RGBQUAD{bgr[0], bgr[1], bgr[2], 0};
}

// Writes an output, or reports the missing pointer.
template <typename T>
int32_t put(T* out, T value) {
  if (out == nullptr) RX_ERR(RXE_INVALID_POINTER, 0, 0);
  else *out = value;
  return error_count();
}

// A width or height reported as an error value, held to 32 bits.
int32_t held(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

bool pattern_usable(uintptr_t pattern) {
  pg_bitmap_info info{};
  if (pg_bitmap_info_get(reinterpret_cast<HBITMAP>(pattern), &info) == 0) {
    RX_ERR(RXE_DDB_DIMENSIONS, 0, 0);
    return false;
  }
  if (info.width > kPatternSide || info.height > kPatternSide ||
      info.planes * info.bits_per_pixel > 1) {
    RX_ERR(RXE_INVALID_DDB, info.width, info.height);
    return false;
  }
  return true;
}

}  // namespace
}  // namespace rx

using namespace rx;

extern "C" int32_t RX_display_device_rect_set(RX_HIMAGE image, const int32_t* rect) {
  IMAGE_REC* record = image_enter(image);
  if (record == nullptr) return 0;
  if (rect == nullptr) {
    RX_ERR(RXE_INVALID_POINTER, 0, 0);
    return error_count();
  }
  if (rect[0] >= rect[2] || rect[1] >= rect[3]) {
    RX_ERR(RXE_RECT_INVALID, held(int64_t{rect[2]} - rect[0]), held(int64_t{rect[3]} - rect[1]));
    return error_count();
  }
  for (int i = 0; i < 4; ++i) record->display.device_rect[i] = rect[i];
  return 0;
}

extern "C" int32_t RX_display_device_rect_get(RX_HIMAGE image, int32_t* rect) {
  IMAGE_REC* record = image_enter(image);
  if (record == nullptr) return 0;
  if (rect == nullptr) {
    RX_ERR(RXE_INVALID_POINTER, 0, 0);
    return error_count();
  }
  for (int i = 0; i < 4; ++i) rect[i] = device_int(record->display.device_rect[i]);
  return 0;
}

extern "C" int32_t RX_display_clip_rect_set(RX_HIMAGE image, const int32_t* rect) {
  IMAGE_REC* record = image_enter(image);
  if (record == nullptr) return 0;
  DISPLAY_ATTR& d = record->display;
  d.clip_on = rect != nullptr ? 1 : 0;
  if (rect != nullptr) std::copy(rect, rect + 4, d.clip_rect);
  return 0;
}

extern "C" int32_t RX_display_aspect_set(RX_HIMAGE image, int32_t mode) {
  IMAGE_REC* record = image_enter(image);
  if (record == nullptr) return 0;
  record->display.aspect_mode = mode;
  return 0;
}

extern "C" int32_t RX_display_aspect_get(RX_HIMAGE image, int32_t* mode) {
  IMAGE_REC* record = image_enter(image);
  if (record == nullptr) return 0;
  return put(mode, record->display.aspect_mode);
}

extern "C" int32_t RX_display_pixel_aspect_set(RX_HIMAGE image, int32_t on) {
  IMAGE_REC* record = image_enter(image);
  if (record == nullptr) return 0;
  record->display.pixel_aspect = on != 0 ? 1 : 0;
  return 0;
}

extern "C" int32_t RX_display_centered_get(RX_HIMAGE image, int32_t* flag) {
  IMAGE_REC* record = image_enter(image);
  if (record == nullptr) return 0;
  return put(flag, record->display.centered);
}

extern "C" int32_t RX_display_rotation_set(RX_HIMAGE image, int32_t rotation) {
  IMAGE_REC* record = image_enter(image);
  if (record == nullptr) return 0;
  const RX_BITMAPINFOHEADER* h = image_header(record);
  if (h == nullptr) return error_count();
  if (rotation < 0 || rotation > 3) {
    RX_ERR(RXE_ROTATE_VALUE_INVALID, rotation, 0);
    return error_count();
  }
  record->display.rotation = rotation;
  if (h->biBitCount != 1) RX_ERR(RXE_NOT_IMPLEMENTED, h->biBitCount, rotation);
  return error_count();
}

extern "C" int32_t RX_display_rotation_get(RX_HIMAGE image, int32_t* rotation) {
  IMAGE_REC* record = image_enter(image);
  if (record == nullptr) return 0;
  return put(rotation, record->display.rotation);
}

extern "C" int32_t RX_display_alias_set(RX_HIMAGE image, int32_t mode, int32_t quality,
                                        int32_t variant) {
  IMAGE_REC* record = image_enter(image);
  if (record == nullptr) return 0;
  DISPLAY_ATTR& d = record->display;
  d.alias_mode = mode;
  d.alias_quality = quality;
  d.alias_variant = variant;
  RPb_logical_palette_update(record);
  return error_count();
}

extern "C" int32_t RX_display_alias_get(RX_HIMAGE image, int32_t* mode, int32_t* quality,
                                        int32_t* variant) {
  IMAGE_REC* record = image_enter(image);
  if (record == nullptr) return 0;
  const DISPLAY_ATTR& d = record->display;
  if (mode) *mode = d.alias_mode;
  if (quality) *quality = d.alias_quality;
  if (variant) *variant = d.alias_variant;
  return 0;
}

extern "C" int32_t RX_display_ROP_set(RX_HIMAGE image, uint32_t rop) {
  IMAGE_REC* record = image_enter(image);
  if (record == nullptr) return 0;
  record->display.rop = rop;
  return 0;
}

extern "C" int32_t RX_display_ROP_get(RX_HIMAGE image, uint32_t* rop) {
  IMAGE_REC* record = image_enter(image);
  if (record == nullptr) return 0;
  return put(rop, record->display.rop);
}

extern "C" int32_t RX_display_transparent_set(RX_HIMAGE image, const RX_RGBQUAD* colour,
                                              int32_t on) {
  IMAGE_REC* record = image_enter(image);
  if (record == nullptr) return 0;
  colour_in(record->display.transparent_color, colour);
  record->display.transparent_on = on != 0 ? 1 : 0;
  return 0;
}

extern "C" int32_t RX_display_transparent_get(RX_HIMAGE image, RX_RGBQUAD* colour, int32_t* on) {
  IMAGE_REC* record = image_enter(image);
  if (record == nullptr) return 0;
  colour_out(colour, record->display.transparent_color);
  if (on) *on = record->display.transparent_on;
  return 0;
}

extern "C" int32_t RX_display_background_set(RX_HIMAGE image, uintptr_t pattern,
                                             const RX_RGBQUAD* foreground,
                                             const RX_RGBQUAD* background, int32_t on) {
  IMAGE_REC* record = image_enter(image);
  if (record == nullptr) return 0;
  if (pattern != 0 && !pattern_usable(pattern)) return error_count();
  DISPLAY_ATTR& d = record->display;
  d.background_pattern = pattern;
  colour_in(d.foreground_color, foreground);
  colour_in(d.background_color, background);
  d.background_on = on != 0 ? 1 : 0;
  return 0;
}

extern "C" int32_t RX_display_background_get(RX_HIMAGE image, uintptr_t* pattern,
                                             RX_RGBQUAD* foreground, RX_RGBQUAD* background,
                                             int32_t* on) {
  IMAGE_REC* record = image_enter(image);
  if (record == nullptr) return 0;
  const DISPLAY_ATTR& d = record->display;
  if (pattern) *pattern = d.background_pattern;
  colour_out(foreground, d.foreground_color);
  colour_out(background, d.background_color);
  if (on) *on = d.background_on;
  return 0;
}
