// Engine-internal DIB helpers: where a packed DIB's parts lie, the header
// checks every caller-supplied DIB goes through, and allocation without the
// record lock for code that already holds it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "SUPPORT/dib_size.h"
#include "SUPPORT/image_rec.h"

namespace rx {

inline constexpr uint32_t kRunsPaletteBytes = 8;

inline bool dib_is_runs(const void* dib) {
  return dib != nullptr && dib_header(dib)->biCompression == RX_BI_RUNS;
}

// Bytes from the start of the DIB to its first pixel byte: header, palette
// and masks.
inline uint32_t dib_pixel_offset(const RX_BITMAPINFOHEADER* h) {
  return kDibHeaderBytes + dib_palette_entries(h->biBitCount, h->biCompression) * 4 +
         dib_mask_bytes(h->biCompression);
}

inline uint32_t dib_stride_of(const RX_BITMAPINFOHEADER* h) {
  return static_cast<uint32_t>(dib_stride(h->biBitCount, static_cast<uint32_t>(h->biWidth)));
}

inline RX_RGBQUAD* dib_palette(void* dib) {
  return reinterpret_cast<RX_RGBQUAD*>(static_cast<uint8_t*>(dib) + kDibHeaderBytes);
}
inline const RX_RGBQUAD* dib_palette(const void* dib) {
  return reinterpret_cast<const RX_RGBQUAD*>(static_cast<const uint8_t*>(dib) + kDibHeaderBytes);
}

// Only the layouts with dib_mask_bytes() hold masks here; in any other this
// is the first pixel byte.
inline const uint8_t* dib_masks(const void* dib) {
  const RX_BITMAPINFOHEADER* h = dib_header(dib);
  return static_cast<const uint8_t*>(dib) + kDibHeaderBytes +
         dib_palette_entries(h->biBitCount, h->biCompression) * 4;
}
inline uint8_t* dib_masks(void* dib) {
  return const_cast<uint8_t*>(dib_masks(static_cast<const void*>(dib)));
}

inline uint8_t* dib_pixels(void* dib) {
  return static_cast<uint8_t*>(dib) + dib_pixel_offset(dib_header(dib));
}

// Start of image row `row` (counted from the top) of a plain DIB.
inline uint8_t* dib_image_row(void* dib, int32_t row) {
  const RX_BITMAPINFOHEADER* h = dib_header(dib);
  const size_t dib_row = static_cast<size_t>(h->biHeight - 1 - row);
  return dib_pixels(dib) + dib_row * dib_stride_of(h);
}

// Checks width, height, depth and compression of a header (a 1-bit runs
// header also against the runs width limit) and fills the geometry.
// Returns 0 or the status code, after pushing it.
int32_t dib_header_check(const RX_BITMAPINFOHEADER& header, DibGeometry* geometry);

// Pixel-area bytes a new runs DIB starts with: room for an all-zero run row
// per image row, and never less than the plain rows would take.
uint64_t runs_initial_capacity(const RX_BITMAPINFOHEADER& header);

// Allocates a DIB under the record's tag without taking the lock. A runs
// DIB (compression 500) reads as all 0 pixels and its run table goes to the
// record; a plain DIB has zeroed pixels. Null on failure (pushed).
void* dib_alloc(IMAGE_REC* record, const RX_BITMAPINFOHEADER& header, const RX_RGBQUAD* palette);

// Copies the caller's DIB of `bytes` bytes under `tag` after checking its
// header and that every byte it claims is there. Run rows are checked
// later, as the run table is built. Null on failure (pushed).
void* dib_copy_checked(uint32_t tag, const void* dib, size_t bytes);

}  // namespace rx
