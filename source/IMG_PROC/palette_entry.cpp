// Reading and writing single palette entries as blue, green, red.
#include "IMG_PROC/new_dib.h"
#include "SUPPORT/error.h"

RX_SOURCE("source\\IMG_PROC\\palette_entry.cpp");

namespace rx::ip {
namespace {

// The entry `index` of the image's palette, or null once the reason is
// pushed: no colour buffer, or an index outside the palette (every index
// of an image without one).
RX_RGBQUAD* entry_of(IMAGE_REC* record, const void* colour, int32_t index) {
  if (colour == nullptr) {
    RX_ERR(RXE_INVALID_POINTER, 0, 0);
    return nullptr;
  }
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  const uint32_t entries = dib_palette_entries(h->biBitCount, h->biCompression);
  if (index < 0 || static_cast<uint32_t>(index) >= entries) {
    RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, index, 0);
    return nullptr;
  }
  return dib_palette(record->dib) + index;
}

}  // namespace
}  // namespace rx::ip

using namespace rx;
using namespace rx::ip;

extern "C" int32_t RX_palette_entry_set(RX_HIMAGE image, const uint8_t* colour, int32_t index) {
  IMAGE_REC* record = enter_image(image, 0);
  if (record == nullptr) return RPb_AF_error_check();
  if (RX_RGBQUAD* q = entry_of(record, colour, index)) *q = RX_RGBQUAD{colour[0], colour[1], colour[2], 0};
  return RPb_AF_error_check();
}

extern "C" int32_t RX_palette_entry_get(RX_HIMAGE image, uint8_t* colour, int32_t index) {
  IMAGE_REC* record = enter_image(image, 0);
  if (record == nullptr) return RPb_AF_error_check();
  if (const RX_RGBQUAD* q = entry_of(record, colour, index)) {
    colour[0] = q->rgbBlue;
    colour[1] = q->rgbGreen;
    colour[2] = q->rgbRed;
  }
  return RPb_AF_error_check();
}
