// Packed DIBs: header checks, allocation for a record, the checked copy of
// a caller's DIB, and the exported DIB helpers.
#include <algorithm>
#include <cstring>

#include "SUPPORT/dib.h"
#include "SUPPORT/error.h"
#include "SUPPORT/mem_tag.h"
#include "SUPPORT/run_row.h"
#include "rastrix/rpb.h"

RX_SOURCE("source\\SUPPORT\\dib.cpp");

namespace rx {
namespace {

// The compressions the engine lays out, each with the depth it belongs to.
bool compression_fits(uint32_t compression, uint32_t bits) {
  switch (compression) {
    case RX_BI_RGB:
      return true;
    case RX_BI_BITFIELDS:
    case RX_BI_GRAY16:
    case RX_BI_BIGPAL:
      return bits == 16;
    case RX_BI_RUNS:
      return bits == 1;
    default:
      return false;
  }
}

int32_t clamp_i32(uint64_t value) {
  return static_cast<int32_t>(std::min<uint64_t>(value, 0x7FFFFFFF));
}

// Every row starts as the all-zero run row, top row first.
bool runs_table_init(IMAGE_REC* record, void* dib) {
  const RX_BITMAPINFOHEADER* h = dib_header(dib);
  const auto rows = static_cast<uint32_t>(h->biHeight);
  auto* table = static_cast<uint32_t*>(RPb_AF_mem_alloc(record->tag, size_t{4} * rows));
  if (table == nullptr) {
    RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, clamp_i32(uint64_t{4} * rows), 0);
    return false;
  }
  uint8_t* area = dib_pixels(dib);
  for (uint32_t r = 0; r < rows; ++r) {
    run_row_zero(static_cast<uint32_t>(h->biWidth), area + size_t{r} * kZeroRunRowBytes);
    table[rows - 1 - r] = r * kZeroRunRowBytes;
  }
  record->run_table = table;
  return true;
}

void header_normalise(RX_BITMAPINFOHEADER* h, uint32_t pixel_bytes) {
  h->biSize = kDibHeaderBytes;
  h->biPlanes = 1;
  h->biSizeImage = pixel_bytes;
  h->biClrUsed = 0;
  h->biClrImportant = 0;
}

// Pixel-area bytes of the caller's runs DIB: biSizeImage when given, else
// everything after the palette. 0 when the bytes are not there.
uint64_t caller_runs_area(const RX_BITMAPINFOHEADER& h, uint64_t prefix, uint64_t bytes) {
  if (bytes <= prefix) return 0;
  const uint64_t available = bytes - prefix;
  if (h.biSizeImage == 0) return available;
  return h.biSizeImage <= available ? h.biSizeImage : 0;
}

bool caller_header_sane(const RX_BITMAPINFOHEADER& h) {
  if (h.biSize != kDibHeaderBytes || h.biPlanes != 1) return false;
  const uint32_t entries = dib_palette_entries(h.biBitCount, h.biCompression);
  return h.biClrUsed == 0 || (entries != 0 && h.biClrUsed == entries);
}

}  // namespace

uint64_t runs_initial_capacity(const RX_BITMAPINFOHEADER& header) {
  const uint64_t stride = dib_stride(1, static_cast<uint64_t>(std::max(header.biWidth, 0)));
  return std::max<uint64_t>(stride, kZeroRunRowBytes) *
         static_cast<uint64_t>(std::max(header.biHeight, 0));
}

int32_t dib_header_check(const RX_BITMAPINFOHEADER& header, DibGeometry* geometry) {
  const uint32_t bits = header.biBitCount;
  if (!dib_bits_valid(bits)) return RX_ERR(RXE_INVALID_BIT_COUNT, bits, 0);
  if (!compression_fits(header.biCompression, bits))
    return RX_ERR(RXE_INVALID_COMPRESSION, header.biCompression, bits);
  if (!dib_geometry(header.biWidth, header.biHeight, bits, header.biCompression, geometry))
    return RX_ERR(RXE_DIB_SIZE_WRONG, header.biWidth, header.biHeight);
  if (header.biCompression != RX_BI_RUNS) return 0;
  const uint64_t total = kDibHeaderBytes + kRunsPaletteBytes + runs_initial_capacity(header);
  if (header.biWidth > kMaxRunsWidth || total > kMaxDibBytes)
    return RX_ERR(RXE_DIB_SIZE_WRONG, header.biWidth, header.biHeight);
  return 0;
}

void* dib_alloc(IMAGE_REC* record, const RX_BITMAPINFOHEADER& header, const RX_RGBQUAD* palette) {
  DibGeometry g{};
  if (dib_header_check(header, &g) != 0) return nullptr;
  const bool runs = header.biCompression == RX_BI_RUNS;
  const auto pixel_bytes =
      runs ? static_cast<uint32_t>(runs_initial_capacity(header)) : g.pixel_bytes;
  const size_t size = size_t{kDibHeaderBytes} + g.palette + g.masks + pixel_bytes;
  // Cleared pages: rows a reader never sets read as zeros.
  void* dib = mem_alloc_zeroed(record->tag, size);
  if (dib == nullptr) {
    RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, clamp_i32(size), 0);
    return nullptr;
  }
  auto* bytes = static_cast<uint8_t*>(dib);
  std::memcpy(bytes, &header, kDibHeaderBytes);
  header_normalise(dib_header(dib), pixel_bytes);
  if (palette != nullptr) std::memcpy(bytes + kDibHeaderBytes, palette, g.palette);
  if (runs && !runs_table_init(record, dib)) {
    RPb_AF_mem_free(record->tag, dib);
    return nullptr;
  }
  return dib;
}

void* dib_copy_checked(uint32_t tag, const void* dib, size_t bytes) {
  if (bytes < kDibHeaderBytes) {
    RX_ERR(RXE_DIB_SIZE_WRONG, clamp_i32(bytes), kDibHeaderBytes);
    return nullptr;
  }
  RX_BITMAPINFOHEADER h;
  std::memcpy(&h, dib, sizeof h);
  if (!caller_header_sane(h)) {
    RX_ERR(RXE_INVALID_IMAGE_FORMAT, h.biSize, h.biClrUsed);
    return nullptr;
  }
  DibGeometry g{};
  if (dib_header_check(h, &g) != 0) return nullptr;
  const uint64_t prefix = uint64_t{kDibHeaderBytes} + g.palette + g.masks;
  const uint64_t area = h.biCompression == RX_BI_RUNS ? caller_runs_area(h, prefix, bytes)
                                                      : g.pixel_bytes;
  if (area == 0 || prefix + area > bytes || prefix + area > kMaxDibBytes) {
    RX_ERR(RXE_DIB_SIZE_WRONG, clamp_i32(bytes), clamp_i32(prefix + area));
    return nullptr;
  }
  void* copy = RPb_AF_mem_alloc(tag, static_cast<size_t>(prefix + area));
  if (copy == nullptr) {
    RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, clamp_i32(prefix + area), 0);
    return nullptr;
  }
  std::memcpy(copy, dib, static_cast<size_t>(prefix + area));
  header_normalise(dib_header(copy), static_cast<uint32_t>(area));
  return copy;
}

}  // namespace rx

using namespace rx;

extern "C" void* RPb_DIB_alloc(IMAGE_REC* record, const RX_BITMAPINFOHEADER* header,
                               const RX_RGBQUAD* palette) {
  if (record == nullptr || header == nullptr) {
    RX_ERR(RXE_INVALID_POINTER, 0, 0);
    return nullptr;
  }
  if (!record_lock(record)) {
    RX_ERR(RXE_MEMORY_LOCK_FAILED, 0, 0);
    return nullptr;
  }
  RX_BITMAPINFOHEADER h = *header;
  if (h.biBitCount == 1) h.biCompression = RX_BI_RUNS;
  void* dib = dib_alloc(record, h, palette);
  record_unlock(record);
  return dib;
}

extern "C" void RPb_DIB_free(void* dib, IMAGE_REC* record) {
  if (dib == nullptr || record == nullptr) return;
  if (dib_is_runs(dib) && record->run_table != nullptr) {
    RPb_AF_mem_free(record->tag, record->run_table);
    record->run_table = nullptr;
  }
  RPb_AF_mem_free(record->tag, dib);
  if (record->dib == dib) record->dib = nullptr;
}

extern "C" void RPb_DIB_init(RX_BITMAPINFOHEADER* header, int32_t width, int32_t height,
                             int32_t bitcount, uint32_t compression, int32_t x_pels_per_meter,
                             int32_t y_pels_per_meter) {
  if (header == nullptr) return;
  uint64_t size = 0;
  if (width > 0 && height > 0 && bitcount > 0 && bitcount <= 32)
    size = dib_stride(static_cast<uint64_t>(bitcount), static_cast<uint64_t>(width)) *
           static_cast<uint64_t>(height);
  *header = RX_BITMAPINFOHEADER{kDibHeaderBytes,
                                width,
                                height,
                                1,
                                static_cast<uint16_t>(bitcount),
                                compression,
                                size <= 0xFFFFFFFFu ? static_cast<uint32_t>(size) : 0,
                                x_pels_per_meter,
                                y_pels_per_meter,
                                0,
                                0};
}

extern "C" int32_t RPb_DIB_is_gray_scale(const void* dib) {
  if (dib == nullptr) return 0;
  const RX_BITMAPINFOHEADER* h = dib_header(dib);
  if (!dib_bits_valid(h->biBitCount) || h->biBitCount > 8) return 0;
  const RX_RGBQUAD* palette = dib_palette(dib);
  const uint32_t entries = 1u << h->biBitCount;
  for (uint32_t i = 0; i < entries; ++i) {
    const RX_RGBQUAD& q = palette[i];
    if (q.rgbRed != q.rgbGreen || q.rgbGreen != q.rgbBlue) return 0;
  }
  return 1;
}

extern "C" uint32_t RPb_DIB_DIB_size_get(const void* dib) {
  if (dib == nullptr) return 0;
  const RX_BITMAPINFOHEADER* h = dib_header(dib);
  DibGeometry g{};
  if (!dib_geometry(h->biWidth, h->biHeight, h->biBitCount, h->biCompression, &g)) return 0;
  if (h->biCompression == RX_BI_RUNS) return kDibHeaderBytes + g.palette + h->biSizeImage;
  return g.total;
}

extern "C" int32_t RPb_DIB_bytes_per_raster_get(const void* dib) {
  if (dib == nullptr) return 0;
  const RX_BITMAPINFOHEADER* h = dib_header(dib);
  DibGeometry g{};
  if (!dib_geometry(h->biWidth, h->biHeight, h->biBitCount, h->biCompression, &g)) return 0;
  return static_cast<int32_t>(g.stride);
}

extern "C" uint8_t* RPb_DIB_image_pointer_get(void* dib) {
  return dib != nullptr ? dib_pixels(dib) : nullptr;
}

namespace {

// The masks only exist in the layouts that reserve room for them; anywhere
// else the write would land on pixels.
void mask_set(void* dib, uint32_t index, uint32_t mask) {
  if (dib == nullptr) return;
  const RX_BITMAPINFOHEADER* h = dib_header(dib);
  if (dib_mask_bytes(h->biCompression) == 0) return;
  std::memcpy(dib_masks(dib) + 4 * index, &mask, sizeof mask);
}

}  // namespace

extern "C" void RPb_DIB_red_mask_set(void* dib, uint32_t mask) { mask_set(dib, 0, mask); }
extern "C" void RPb_DIB_green_mask_set(void* dib, uint32_t mask) { mask_set(dib, 1, mask); }
extern "C" void RPb_DIB_blue_mask_set(void* dib, uint32_t mask) { mask_set(dib, 2, mask); }
