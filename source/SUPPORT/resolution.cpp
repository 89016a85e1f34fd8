// Image resolution (kept as fractions with a unit in the record, and as
// pels per metre in the DIB header) and the grey test on a whole image.
#include <cstring>

#include "SUPPORT/dib.h"
#include "SUPPORT/error.h"
#include "SUPPORT/image_api.h"
#include "rastrix/rastrix.h"

RX_SOURCE("source\\SUPPORT\\resolution.cpp");

namespace rx {
namespace {

// Pels per metre for a resolution of 1 in each unit code 1..6.
constexpr double kUnitFactor[7] = {0.0, 1.0, 1.0, 39.37, 100.0, 3.937, 10.0};

int32_t pels_per_meter(int32_t numerator, int32_t denominator, int32_t units) {
  const double pels = static_cast<double>(numerator) / denominator * kUnitFactor[units] + 0.5;
  // A header field cannot hold more; saturating beats an undefined cast.
  if (pels >= 2147483647.0) return 2147483647;
  if (pels <= -2147483648.0) return -2147483647 - 1;
  return static_cast<int32_t>(pels);
}

bool palette_is_identity_gray(const void* dib) {
  const RX_RGBQUAD* palette = dib_palette(dib);
  for (uint32_t i = 0; i < 256; ++i) {
    const RX_RGBQUAD& q = palette[i];
    if (q.rgbRed != i || q.rgbGreen != i || q.rgbBlue != i) return false;
  }
  return true;
}

bool pixels_are_gray(void* dib) {
  const RX_BITMAPINFOHEADER* h = dib_header(dib);
  for (int32_t y = 0; y < h->biHeight; ++y) {
    const uint8_t* p = dib_image_row(dib, y);
    const uint8_t* end = p + size_t{3} * static_cast<uint32_t>(h->biWidth);
    for (; p != end; p += 3)
      if (p[0] != p[1] || p[1] != p[2]) return false;
  }
  return true;
}

}  // namespace

// Units are checked before anything is stored, so a refused call leaves
// the record and the DIB as they were.
int32_t image_resolution_set(IMAGE_REC* record, int32_t x_num, int32_t x_den, int32_t y_num,
                             int32_t y_den, int32_t units) {
  if (units < 1 || units > 6) return RX_ERR(RXE_RESOLUTION_UNITS_UNSUPPORTED, units, 0);
  if (x_den == 0) x_den = 1;
  if (y_den == 0) y_den = 1;
  record->x_res[0] = x_num;
  record->x_res[1] = x_den;
  record->y_res[0] = y_num;
  record->y_res[1] = y_den;
  record->res_units = units;
  if (record->dib != nullptr) {
    RX_BITMAPINFOHEADER* h = dib_header(record->dib);
    h->biXPelsPerMeter = pels_per_meter(x_num, x_den, units);
    h->biYPelsPerMeter = pels_per_meter(y_num, y_den, units);
  }
  return 0;
}

int32_t image_is_gray(IMAGE_REC* record) {
  if (record == nullptr || record->dib == nullptr) return 0;
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  if (h->biBitCount == 8) return palette_is_identity_gray(record->dib) ? 1 : 0;
  if (h->biBitCount == 24) return pixels_are_gray(record->dib) ? 1 : 0;
  return 0;
}

}  // namespace rx

using namespace rx;

extern "C" int32_t RX_image_resolution_set(RX_HIMAGE image, int32_t x_num, int32_t x_den,
                                           int32_t y_num, int32_t y_den, int32_t units) {
  IMAGE_REC* record = image_enter(image);
  if (record == nullptr) return 0;
  image_resolution_set(record, x_num, x_den, y_num, y_den, units);
  return RPb_AF_error_check();
}

extern "C" int32_t RX_image_resolution_get(RX_HIMAGE image, int32_t* x_num, int32_t* x_den,
                                           int32_t* y_num, int32_t* y_den, int32_t* units) {
  IMAGE_REC* record = image_enter(image);
  if (record == nullptr) return 0;
  if (x_num) *x_num = record->x_res[0];
  if (x_den) *x_den = record->x_res[1] != 0 ? record->x_res[1] : 1;
  if (y_num) *y_num = record->y_res[0];
  if (y_den) *y_den = record->y_res[1] != 0 ? record->y_res[1] : 1;
  if (units) *units = record->res_units;
  return RPb_AF_error_check();
}

extern "C" int32_t RPb_iRX_image_pels_per_meter_get(IMAGE_REC* record, int32_t* x, int32_t* y) {
  if (record == nullptr || record->dib == nullptr) {
    RX_ERR(RXE_DIB_POINTER_NULL, 0, 0);
    return RPb_AF_error_check();
  }
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  if (x) *x = h->biXPelsPerMeter;
  if (y) *y = h->biYPelsPerMeter;
  return RPb_AF_error_check();
}
