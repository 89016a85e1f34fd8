// (being written: the BMP writer)
#include "SUPPORT/error.h"
#include "filters/bmp.h"

RX_SOURCE("source\\filters\\bmpwrite.cpp");

namespace rx {
int32_t bmp_write(IO_REC*, void*, int32_t, int32_t, int32_t) {
  return RX_ERR(RXE_NOT_IMPLEMENTED, 0, 0) ? RPb_AF_error_check() : 0;
}
}  // namespace rx
