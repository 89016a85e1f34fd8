// A new image from a device bitmap of the drawing layer: its size, its
// depth (24 bits when deeper than 8), its pixels, and for palette depths
// the colours of the given palette (entries past its end are black).
// Without a palette a monochrome bitmap is black and white, a 4-bit one
// has the 16 standard colours and an 8-bit one the default display's
// system palette (a grey ramp when that display has none). The image's
// resolution is the screen's 96 dots per inch, in pixels per metre.
#include <algorithm>
#include <cstring>

#include "SUPPORT/dib.h"
#include "SUPPORT/error.h"
#include "SUPPORT/fixed_palettes.h"
#include "SUPPORT/mem_tag.h"
#include "SUPPORT/runs.h"
#include "platform/gdi.h"
#include "rastrix/rastrix.h"

RX_SOURCE("source\\DISPLAY\\image_from_bitmap.cpp");

namespace rx {
namespace {

// 96 dots per inch.
constexpr int32_t kScreenPelsPerMeter = 3780;
constexpr int32_t kUnitsPerMeter = 2;

// The 16 colours of 4-bit devices, in their order (0xRRGGBB).
constexpr uint32_t kStandard16[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                                      0x008080, 0xC0C0C0, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00,
                                      0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};

RX_RGBQUAD quad_of(const pg_palette_entry& e) { return RX_RGBQUAD{e.blue, e.green, e.red, 0}; }

// The drawing layer tells a palette from an unknown handle when one is
// selected into a DC.
bool palette_known(HPALETTE palette) {
  HDC dc = pg_dc_create_compatible(nullptr);
  HPALETTE old = dc != nullptr ? pg_palette_select(dc, palette, 0) : nullptr;
  if (old != nullptr) pg_palette_select(dc, old, 0);
  if (dc != nullptr) pg_dc_delete(dc);
  return old != nullptr;
}

bool colours_of(uintptr_t palette, int32_t bits, RX_RGBQUAD* out) {
  std::memset(out, 0, sizeof(RX_RGBQUAD) * 256);
  pg_palette_entry e[256] = {};
  if (palette != 0) {
    HPALETTE h = reinterpret_cast<HPALETTE>(palette);
    if (!palette_known(h)) {
      RX_ERR(RXE_INVALID_HANDLE, 0, 0);
      return false;
    }
    const int32_t got = pg_palette_entries_get(h, 0, 1 << bits, e);
    for (int32_t i = 0; i < got; ++i) out[i] = quad_of(e[i]);
  } else if (bits == 1) {
    out[1] = RX_RGBQUAD{255, 255, 255, 0};
  } else if (bits == 4) {
    for (int32_t i = 0; i < 16; ++i) {
      const uint32_t c = kStandard16[i];
      out[i] = RX_RGBQUAD{static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c >> 16), 0};
    }
  } else if (pg_display_system_palette_get(pg_display_default(), 0, 256, e) == 256) {
    for (int32_t i = 0; i < 256; ++i) out[i] = quad_of(e[i]);
  } else {
    std::copy(kGrayRamp256.begin(), kGrayRamp256.end(), out);
  }
  return true;
}

// One device row into the image's row of the same depth, or 24 bits.
void row_put(const uint8_t* src, int32_t device_bits, int32_t width, uint8_t* out) {
  switch (device_bits) {
    case 16:
      for (int32_t x = 0; x < width; ++x) {
        const uint32_t w = src[2 * x] | (uint32_t{src[2 * x + 1]} << 8);
        const uint32_t r = w >> 10 & 31, g = w >> 5 & 31, b = w & 31;
        out[3 * x] = static_cast<uint8_t>(b << 3 | b >> 2);
        out[3 * x + 1] = static_cast<uint8_t>(g << 3 | g >> 2);
        out[3 * x + 2] = static_cast<uint8_t>(r << 3 | r >> 2);
      }
      return;
    case 32:
      for (int32_t x = 0; x < width; ++x) std::memcpy(out + 3 * x, src + 4 * x, 3);
      return;
    default:
      std::memcpy(out, src, static_cast<size_t>((int64_t{width} * device_bits + 7) / 8));
  }
}

IMAGE_REC* image_build(uint32_t tag, HBITMAP bitmap, const pg_bitmap_info& info, uintptr_t palette) {
  const int32_t device_bits = info.planes * info.bits_per_pixel;
  const int32_t bits = device_bits > 8 ? 24 : device_bits;
  RX_RGBQUAD colours[256];
  if (bits <= 8 && !colours_of(palette, bits, colours)) return nullptr;
  RX_BITMAPINFOHEADER header{};
  RPb_DIB_init(&header, info.width, info.height, static_cast<uint16_t>(bits), bits == 1 ? RX_BI_RUNS : RX_BI_RGB,
               kScreenPelsPerMeter, kScreenPelsPerMeter);
  IMAGE_REC* record = record_create(tag);
  if (record == nullptr) return nullptr;
  record->dib = dib_alloc(record, header, bits <= 8 ? colours : nullptr);
  const int64_t in_bytes = int64_t{info.width_bytes} * info.height;
  auto* rows = record->dib != nullptr ? static_cast<uint8_t*>(RPb_AF_mem_alloc(tag, static_cast<size_t>(in_bytes)))
                                      : nullptr;
  if (record->dib != nullptr && rows == nullptr) RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, in_bytes, tag);
  if (rows != nullptr && pg_bitmap_bits_get(bitmap, rows, static_cast<int32_t>(in_bytes)) != in_bytes) {
    RX_ERR(RXE_DDB_DATA, info.width, info.height);
    rows = nullptr;
  }
  uint8_t* scratch = rows != nullptr && bits == 1
                         ? static_cast<uint8_t*>(RPb_AF_mem_alloc(tag, run_row_max_bytes(static_cast<uint32_t>(info.width))))
                         : nullptr;
  if (rows == nullptr || (bits == 1 && scratch == nullptr)) {
    if (rows != nullptr) RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, run_row_max_bytes(static_cast<uint32_t>(info.width)), tag);
    image_registry_remove(record);
    return nullptr;
  }
  for (int32_t y = 0; y < info.height; ++y) {
    const uint8_t* src = rows + int64_t{info.width_bytes} * y;
    if (bits == 1) {
      if (runs_packed_store(record, info.height - 1 - y, src, scratch) != 0) {
        image_registry_remove(record);
        return nullptr;
      }
    } else {
      row_put(src, device_bits, info.width, dib_image_row(record->dib, y));
    }
  }
  RPb_AF_mem_free(tag, rows);
  if (scratch != nullptr) RPb_AF_mem_free(tag, scratch);
  if (RPb_image_associate(record->dib, record, 1) != 0 ||
      image_resolution_set(record, kScreenPelsPerMeter, 1, kScreenPelsPerMeter, 1, kUnitsPerMeter) != 0) {
    image_registry_remove(record);
    return nullptr;
  }
  return record;
}

}  // namespace
}  // namespace rx

using namespace rx;

extern "C" int32_t RX_image_create_from_bitmap(uintptr_t bitmap, uintptr_t palette, RX_HIMAGE* image_out) {
  RPb_AF_error_clear();
  if (image_out == nullptr) {
    RX_ERR(RXE_INVALID_POINTER, 0, 0);
    return error_count();
  }
  *image_out = 0;
  HBITMAP h = reinterpret_cast<HBITMAP>(bitmap);
  pg_bitmap_info info{};
  if (bitmap == 0 || pg_bitmap_info_get(h, &info) == 0) {
    RX_ERR(RXE_DDB_DIMENSIONS, 0, 0);
    return error_count();
  }
  TagGuard tag;
  IMAGE_REC* record = image_build(tag.tag(), h, info, palette);
  if (record != nullptr) {
    tag.release();
    *image_out = handle_of(record);
  }
  return error_count();
}
