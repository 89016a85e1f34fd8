// The logical palette an image is shown through: rebuilt from the image's
// palette and lookup tables whenever either, the dither mode or the
// anti-alias mode changes.
#include <algorithm>
#include <cstring>

#include "SUPPORT/dib.h"
#include "SUPPORT/error.h"
#include "SUPPORT/fixed_palettes.h"
#include "SUPPORT/image_rec.h"

RX_SOURCE("source\\SUPPORT\\palette.cpp");

namespace rx {
namespace {

constexpr uint16_t kPaletteVersion = 0x300;
// Dither mode in which palette images too are shown through the 3-3-2 cube.
constexpr int32_t kDitherToCube = 2;
// Anti-alias mode that shows 1-bit images in 16 greys.
constexpr int32_t kAliasScaleToGray = 2;

void fill_fixed(LOGICAL_PALETTE* out, const RX_RGBQUAD* entries, uint32_t count) {
  out->count = static_cast<uint16_t>(count);
  for (uint32_t i = 0; i < count; ++i)
    out->entries[i] = {entries[i].rgbRed, entries[i].rgbGreen, entries[i].rgbBlue, 0};
}

// The image's own palette, each component through its lookup table.
void fill_through_luts(LOGICAL_PALETTE* out, const IMAGE_REC* record) {
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  const RX_RGBQUAD* palette = dib_palette(record->dib);
  const DISPLAY_ATTR& d = record->display;
  const uint32_t count = 1u << h->biBitCount;
  out->count = static_cast<uint16_t>(count);
  for (uint32_t i = 0; i < count; ++i)
    out->entries[i] = {d.lut_red[palette[i].rgbRed], d.lut_green[palette[i].rgbGreen],
                       d.lut_blue[palette[i].rgbBlue], 0};
}

void fill_palette(LOGICAL_PALETTE* out, const IMAGE_REC* record) {
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  const DISPLAY_ATTR& d = record->display;
  if (d.dither_mode == kDitherToCube) fill_fixed(out, kPalette332.data(), 256);
  else if (h->biBitCount == 1 && d.alias_mode == kAliasScaleToGray)
    fill_fixed(out, kGrayRamp16.data(), 16);
  else if (h->biCompression == RX_BI_GRAY16) fill_fixed(out, kGrayRamp256.data(), 256);
  else if (h->biBitCount <= 8) fill_through_luts(out, record);
  else fill_fixed(out, kPalette332.data(), 256);
}

}  // namespace
}  // namespace rx

using namespace rx;

extern "C" int32_t RPb_logical_palette_update(IMAGE_REC* record) {
  if (record == nullptr) return RX_ERR(RXE_INVALID_POINTER, 0, 0);
  if (record->dib == nullptr) return RX_ERR(RXE_DIB_POINTER_NULL, 0, 0);
  auto* palette =
      static_cast<LOGICAL_PALETTE*>(RPb_AF_mem_alloc(record->tag, sizeof(LOGICAL_PALETTE)));
  if (palette == nullptr) return RX_ERR(RXE_MEMORY_ALLOC_FAILED, sizeof(LOGICAL_PALETTE), 0);
  std::memset(palette, 0, sizeof(LOGICAL_PALETTE));
  palette->version = kPaletteVersion;
  fill_palette(palette, record);
  if (record->display.logical_palette != nullptr)
    RPb_AF_mem_free(record->tag, record->display.logical_palette);
  record->display.logical_palette = palette;
  return 0;
}
