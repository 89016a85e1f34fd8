// The entry, rectangle and progress steps shared by the image-processing
// operations.
#include "IMG_PROC/ip_common.h"

#include <algorithm>

#include "SUPPORT/error.h"
#include "SUPPORT/image_api.h"

RX_SOURCE("source\\IMG_PROC\\ip_common.cpp");

namespace rx::ip {

IMAGE_REC* enter_or_push(RX_HIMAGE image) {
  IMAGE_REC* record = image_enter(image);
  if (record == nullptr) {
    if (image == 0) RX_ERR(RXE_INVALID_HANDLE, 0, 0);
    return nullptr;
  }
  return image_header(record) != nullptr ? record : nullptr;
}

Span span_clamp(const int32_t* rect, const RX_BITMAPINFOHEADER* h) {
  const int32_t last_column = h->biWidth - 1;
  const int32_t last_row = h->biHeight - 1;
  if (rect == nullptr) return Span{0, 0, last_column, last_row};
  Span s{};
  s.left = std::clamp(rect[0], 0, last_column);
  s.right = std::clamp(rect[2], s.left, last_column);
  s.top = std::clamp(rect[1], 0, last_row);
  s.bottom = std::clamp(rect[3], s.top, last_row);
  return s;
}

Progress::Progress() { RPb_status_callback_get(&callback_, &user_); }

void push_lock_failed() { RX_ERR(RXE_MEMORY_LOCK_FAILED, 0, 0); }

void push_interrupted(int32_t row, int32_t rows) { RX_ERR(RXE_INTERRUPTED_BY_USER, row, rows); }

}  // namespace rx::ip
