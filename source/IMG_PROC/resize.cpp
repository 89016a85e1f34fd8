// Resizing an image to a new width and height by replicating samples, by
// the average of four corners or by bilinear interpolation. The new DIB
// keeps the image's depth, palette, masks and format (a runs image stays in
// the runs format) and replaces the old one only when it is complete.
#include <cmath>

#include "IMG_PROC/resize.h"
#include "SUPPORT/error.h"
#include "SUPPORT/image_api.h"

RX_SOURCE("source\\IMG_PROC\\resize.cpp");

namespace rx::ip {

int32_t rounded_position(int64_t i, double ratio, int32_t limit) {
  // Enlarging makes (i + 1) x ratio - 1 negative near the start: the first
  // source sample is the nearest one there.
  const double p = std::floor(static_cast<double>(i + 1) * ratio - 1.0 + 0.5);
  if (p <= 0.0) return 0;
  return p >= limit - 1 ? limit - 1 : static_cast<int32_t>(p);
}

Corners corners_at(int64_t i, double ratio, int32_t limit) {
  const double a = static_cast<double>(i) * ratio;
  const double b = static_cast<double>(i + 1) * ratio;
  Corners c{};
  c.first = a >= limit - 1 ? limit - 1 : static_cast<int32_t>(a);
  c.second = b >= limit ? limit - 1 : static_cast<int32_t>(b);
  return c;
}

Between between_at(int64_t i, double ratio, int32_t limit) {
  double p = (static_cast<double>(i) + 0.5) * ratio - 0.5;
  if (p < 0.0) p = 0.0;
  Between b{};
  b.first = p >= limit - 1 ? limit - 1 : static_cast<int32_t>(p);
  b.fraction = p - b.first;
  b.second = b.first + 1 < limit ? b.first + 1 : b.first;
  return b;
}

namespace {

bool method_ok(int32_t method) {
  if (method == kReplicate || method == kAverage || method == kBilinear) return true;
  RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, method, 0);
  return false;
}

// Averaging and interpolation need samples whose values are levels: not
// 4-bit indices, not 8-bit indices into a colour palette, not 16-bit
// indices into a large palette.
bool depth_ok(IMAGE_REC* record, int32_t method) {
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  if (method == kReplicate || h->biBitCount == 1 || h->biBitCount == 24) return true;
  if (h->biBitCount == 4 || (h->biBitCount == 16 && h->biCompression == RX_BI_BIGPAL)) {
    RX_ERR(RXE_BIT_COUNT_UNSUPPORTED, h->biBitCount, method);
    return false;
  }
  if (h->biBitCount == 8 && !image_is_gray(record)) {
    RX_ERR(RXE_INDEXED_8_BIT_UNSUPPORTED, 0, 0);
    return false;
  }
  return true;
}

void resize(IMAGE_REC* record, int32_t width, int32_t height, int32_t method) {
  if (!method_ok(method)) return;
  if (width <= 0 || height <= 0) {
    RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, width, height);
    return;
  }
  if (!depth_ok(record, method)) return;
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  RecordLock lock(record);
  if (!lock.held()) {
    push_lock_failed();
    return;
  }
  NewDib out(record);
  const bool made = dib_is_runs(record->dib)
                        ? out.create_runs(width, height, dib_palette(record->dib))
                        : out.create_like(width, height, false);
  if (!made) return;
  const Scale s{h->biWidth,
                h->biHeight,
                width,
                height,
                static_cast<double>(h->biWidth) / width,
                static_cast<double>(h->biHeight) / height};
  const bool done = h->biBitCount == 1 ? resize_bilevel(record, out, s, method)
                                       : resize_bytes(record, out, s, method);
  if (done) out.attach();
}

}  // namespace
}  // namespace rx::ip

using namespace rx;
using namespace rx::ip;

extern "C" int32_t RX_IP_resize(RX_HIMAGE image, int32_t width, int32_t height,
                                int32_t method) {
  IMAGE_REC* record = enter_image(image, RXE_INVALID_HANDLE);
  if (record != nullptr) resize(record, width, height, method);
  return RPb_AF_error_check();
}
