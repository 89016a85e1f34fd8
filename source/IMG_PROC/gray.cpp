// Converting an image to 8-bit grey with the grey ramp palette: each pixel
// becomes the grey value of its colour, palette images through a table of
// their entries' grey values.
#include <cstring>

#include "IMG_PROC/grey_row.h"
#include "IMG_PROC/new_dib.h"
#include "SUPPORT/error.h"
#include "SUPPORT/fixed_palettes.h"
#include "SUPPORT/mem_tag.h"
#include "SUPPORT/runs.h"

RX_SOURCE("source\\IMG_PROC\\gray.cpp");

namespace rx::ip {
namespace {

void gray_row_indexed(const uint8_t* s, uint32_t bits, uint32_t width, const uint8_t* lut,
                      uint8_t* d) {
  if (bits == 8) {
    for (uint32_t x = 0; x < width; ++x) d[x] = lut[s[x]];
  } else if (bits == 4) {
    for (uint32_t x = 0; x < width; ++x) d[x] = lut[(x & 1) ? s[x >> 1] & 15u : s[x >> 1] >> 4];
  } else {
    for (uint32_t x = 0; x < width; ++x) d[x] = lut[(s[x >> 3] >> (7 - (x & 7))) & 1u];
  }
}

void gray(IMAGE_REC* record) {
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  const uint32_t bits = h->biBitCount;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24) {
    RX_ERR(RXE_BIT_COUNT_UNSUPPORTED, bits, 0);
    return;
  }
  const auto width = static_cast<uint32_t>(h->biWidth);
  const int32_t rows = h->biHeight;
  uint8_t lut[256] = {};
  if (bits <= 8) {
    const RX_RGBQUAD* palette = dib_palette(record->dib);
    for (uint32_t i = 0; i < (1u << bits); ++i) lut[i] = static_cast<uint8_t>(gray_of(palette[i]));
  }
  RecordLock lock(record);
  if (!lock.held()) {
    push_lock_failed();
    return;
  }
  TagGuard scratch;
  uint8_t* expanded = nullptr;
  if (dib_is_runs(record->dib)) {
    expanded = static_cast<uint8_t*>(scratch.alloc(dib_stride_of(h)));
    if (expanded == nullptr) {
      RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, dib_stride_of(h), 0);
      return;
    }
  }
  NewDib out(record);
  if (!out.create(width, rows, 8, RX_BI_RGB, kGrayRamp256.data(), false)) return;
  // Rows in storage order: the bottom row first.
  const Progress progress;
  for (int32_t d = 0; d < rows; ++d) {
    const int32_t y = rows - 1 - d;
    const uint8_t* s = image_row_packed(record, y, expanded, dib_stride_of(h));
    if (s == nullptr) return;
    if (bits == 24) grey_row_24(s, width, out.row(y));
    else gray_row_indexed(s, bits, width, lut, out.row(y));
    if (!progress.go_on(y, rows)) {
      push_interrupted(y, rows);
      return;
    }
  }
  out.attach();
}

}  // namespace
}  // namespace rx::ip

using namespace rx;
using namespace rx::ip;

extern "C" int32_t RX_IP_gray(RX_HIMAGE image) {
  IMAGE_REC* record = enter_image(image, 0);
  if (record != nullptr) gray(record);
  return RPb_AF_error_check();
}
