// GIF placeholders: each reports RXE_EXTENSION_NOT_PRESENT, the missing LZW
// extension.
#include "filters/gif/gif.h"

#include "IO/head_bytes.h"
#include "SUPPORT/error.h"

RX_SOURCE("source\\filters\\gif\\gif.cpp");

namespace rx {

int32_t gif_info(IO_REC*, RX_BITMAPINFOHEADER*, RX_RGBQUAD*, int32_t*, void*, int32_t) {
  RX_ERR(RXE_EXTENSION_NOT_PRESENT, 0, 0);
  return RPb_AF_error_check();
}

int32_t gif_read(IO_REC*, void*, int32_t, int32_t) {
  RX_ERR(RXE_EXTENSION_NOT_PRESENT, 0, 0);
  return RPb_AF_error_check();
}

int32_t gif_write(IO_REC*, void*, int32_t, int32_t, int32_t) {
  RX_ERR(RXE_EXTENSION_NOT_PRESENT, 0, 0);
  return RPb_AF_error_check();
}

int32_t gif_page_count(IO_REC*, void*, int32_t* count) {
  if (count) *count = 0;
  RX_ERR(RXE_EXTENSION_NOT_PRESENT, 0, 0);
  return RPb_AF_error_check();
}

namespace {

int32_t gif_detect(IO_REC*, const uint8_t* h, int32_t) { return head_starts(h, "GIF"); }

}  // namespace

const FILTER_RECORD kGifFilter =
    filter_record(RX_FORMAT_GIF, gif_detect, {gif_info, gif_read, gif_write, gif_page_count},
                  "GIF|", 1);

}  // namespace rx
