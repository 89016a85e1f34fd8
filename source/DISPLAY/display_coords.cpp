// Device points and image pixels: the mapping the draw uses (device
// position p shows source floor(p x source extent / device extent)), with
// the turns of 1-bit images, and its inverse to the top-left corner of the
// pixel's cell.
#include "DISPLAY/display_geometry.h"
#include "SUPPORT/error.h"
#include "SUPPORT/image_api.h"
#include "rastrix/rx_display.h"

RX_SOURCE("source\\DISPLAY\\display_coords.cpp");

namespace rx {
namespace {

struct Frame {
  IRect device, image;
  int64_t dw, dh, sw, sh;
  int32_t rotation;  // 0 unless a 1-bit image is drawn turned
};

bool frame_of(IMAGE_REC* record, Frame* f) {
  const RX_BITMAPINFOHEADER* h = image_header(record);
  if (h == nullptr) return false;
  const DISPLAY_ATTR& d = record->display;
  f->device = device_rect_of(d);
  f->image = image_rect_of(d, h->biWidth, h->biHeight);
  f->dw = f->device.width();
  f->dh = f->device.height();
  f->sw = f->image.right - f->image.left + 1;
  f->sh = f->image.bottom - f->image.top + 1;
  f->rotation = h->biBitCount == 1 ? d.rotation & 3 : 0;
  if (f->dw <= 0 || f->dh <= 0) {
    RX_ERR(RXE_RECT_INVALID, f->dw, f->dh);
    return false;
  }
  return true;
}

int32_t held(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

}  // namespace
}  // namespace rx

using namespace rx;

extern "C" int32_t RX_display_device_to_image(RX_HIMAGE image, int32_t x, int32_t y, int32_t* image_x,
                                              int32_t* image_y) {
  IMAGE_REC* record = image_enter(image);
  if (record == nullptr) return 0;
  Frame f{};
  if (!frame_of(record, &f)) return error_count();
  const int64_t rx = int64_t{x} - f.device.left, ry = int64_t{y} - f.device.top;
  int64_t ix = 0, iy = 0;
  switch (f.rotation) {
    case 1:
      ix = scale_floor(ry, f.sw, f.dh);
      iy = scale_floor(f.dw - 1 - rx, f.sh, f.dw);
      break;
    case 2:
      ix = scale_floor(f.dw - 1 - rx, f.sw, f.dw);
      iy = scale_floor(f.dh - 1 - ry, f.sh, f.dh);
      break;
    case 3:
      ix = scale_floor(f.dh - 1 - ry, f.sw, f.dh);
      iy = scale_floor(rx, f.sh, f.dw);
      break;
    default:
      ix = scale_floor(rx, f.sw, f.dw);
      iy = scale_floor(ry, f.sh, f.dh);
  }
  if (image_x) *image_x = held(f.image.left + ix);
  if (image_y) *image_y = held(f.image.top + iy);
  return 0;
}

extern "C" int32_t RX_display_image_to_device(RX_HIMAGE image, int32_t image_x, int32_t image_y, int32_t* x,
                                              int32_t* y) {
  IMAGE_REC* record = image_enter(image);
  if (record == nullptr) return 0;
  Frame f{};
  if (!frame_of(record, &f)) return error_count();
  const int64_t cx = int64_t{image_x} - f.image.left, cy = int64_t{image_y} - f.image.top;
  int64_t dx = 0, dy = 0;
  switch (f.rotation) {
    case 1:
      dx = f.dw - scale_ceil(cy + 1, f.dw, f.sh);
      dy = scale_ceil(cx, f.dh, f.sw);
      break;
    case 2:
      dx = f.dw - scale_ceil(cx + 1, f.dw, f.sw);
      dy = f.dh - scale_ceil(cy + 1, f.dh, f.sh);
      break;
    case 3:
      dx = scale_ceil(cy, f.dw, f.sh);
      dy = f.dh - scale_ceil(cx + 1, f.dh, f.sw);
      break;
    default:
      dx = scale_ceil(cx, f.dw, f.sw);
      dy = scale_ceil(cy, f.dh, f.sh);
  }
  if (x) *x = held(f.device.left + dx);
  if (y) *y = held(f.device.top + dy);
  return 0;
}
