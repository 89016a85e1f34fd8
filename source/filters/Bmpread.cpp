// (being written: the BMP reader)
#include "LOAD/detect_tests.h"
#include "SUPPORT/error.h"
#include "filters/bmp.h"

RX_SOURCE("source\\filters\\Bmpread.cpp");

namespace rx {
int32_t bmp_detect(IO_REC* io, const uint8_t* head, int32_t count) { return detect_bmp(io, head, count); }
int32_t bmp_info(IO_REC*, RX_BITMAPINFOHEADER*, RX_RGBQUAD*, int32_t*, void*, int32_t) {
  return RX_ERR(RXE_NOT_IMPLEMENTED, 0, 0) ? RPb_AF_error_check() : 0;
}
int32_t bmp_read(IO_REC*, void*, int32_t, int32_t) {
  return RX_ERR(RXE_NOT_IMPLEMENTED, 0, 0) ? RPb_AF_error_check() : 0;
}
int32_t bmp_page_count(IO_REC*, void*, int32_t* count) {
  if (count) *count = 1;
  return 0;
}
}  // namespace rx
