// The image rectangle: the part of the image that display and saves use.
#include <algorithm>

#include "SUPPORT/error.h"
#include "SUPPORT/image_api.h"
#include "rastrix/rastrix.h"

RX_SOURCE("source\\DISPLAY\\display_rect.cpp");

namespace rx {
namespace {

// Brings a bound pair of one axis inside an image `size` pixels long. A
// rectangle keeps at least two pixels on the axis when the image has them;
// a one-pixel image has only one to give, so both bounds become 0.
void axis_clamp(int32_t size, int32_t* low, int32_t* high) {
  *low = std::clamp(*low, 0, std::max(size - 2, 0));
  *high = std::clamp(*high, std::min(*low + 1, size - 1), size - 1);
}

}  // namespace
}  // namespace rx

using namespace rx;

extern "C" int32_t RX_display_image_rect_set(RX_HIMAGE image, const int32_t* rect) {
  IMAGE_REC* record = image_enter(image);
  if (record == nullptr) return 0;
  const RX_BITMAPINFOHEADER* h = image_header(record);
  if (h == nullptr) return RPb_AF_error_check();
  int32_t r[4] = {0, 0, h->biWidth - 1, h->biHeight - 1};
  if (rect != nullptr) {
    std::copy(rect, rect + 4, r);
    axis_clamp(h->biWidth, &r[0], &r[2]);
    axis_clamp(h->biHeight, &r[1], &r[3]);
  }
  std::copy(r, r + 4, record->display.image_rect);
  return RPb_AF_error_check();
}

extern "C" int32_t RX_display_image_rect_get(RX_HIMAGE image, int32_t* rect) {
  IMAGE_REC* record = image_enter(image);
  if (record == nullptr) return 0;
  if (rect == nullptr) RX_ERR(RXE_INVALID_POINTER, 0, 0);
  else std::copy(record->display.image_rect, record->display.image_rect + 4, rect);
  return RPb_AF_error_check();
}
