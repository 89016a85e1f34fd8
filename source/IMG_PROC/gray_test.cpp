// The image's grey test for callers outside the engine.
#include "IMG_PROC/new_dib.h"
#include "SUPPORT/error.h"
#include "SUPPORT/image_rec.h"

RX_SOURCE("source\\IMG_PROC\\gray_test.cpp");

using namespace rx;
using namespace rx::ip;

extern "C" int32_t RX_IP_is_gray(RX_HIMAGE image, int32_t* gray) {
  IMAGE_REC* record = enter_image(image, RXE_INVALID_HANDLE);
  if (gray != nullptr) *gray = 0;
  if (record == nullptr) return RPb_AF_error_check();
  if (gray == nullptr) {
    RX_ERR(RXE_INVALID_POINTER, 0, 0);
    return RPb_AF_error_check();
  }
  *gray = image_is_gray(record);
  return RPb_AF_error_check();
}
