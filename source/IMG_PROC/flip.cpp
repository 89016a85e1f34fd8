// Mirroring an image left-right (each row reversed) or top-bottom (the row
// order reversed). Plain images are mirrored in place; a stop asked by the
// status callback mirrors the rows done back, so the image is as it was.
// Runs images get new run rows and stay in the runs format.
#include <algorithm>
#include <cstring>

#include "IMG_PROC/flip_row.h"
#include "IMG_PROC/new_dib.h"
#include "IMG_PROC/run_edit.h"
#include "SUPPORT/error.h"
#include "SUPPORT/mem_tag.h"
#include "SUPPORT/runs.h"

RX_SOURCE("source\\IMG_PROC\\flip.cpp");

namespace rx::ip {
namespace {

enum Direction : int32_t { kLeftRight = 0, kTopBottom = 1 };

template <uint32_t P>
void reverse_pixels(uint8_t* row, uint32_t width) {
  uint8_t* a = row;
  uint8_t* b = row + size_t{P} * (width - 1);
  for (uint32_t i = 0; i < width / 2; ++i, a += P, b -= P) {
    uint8_t t[P];
    std::memcpy(t, a, P);
    std::memcpy(a, b, P);
    std::memcpy(b, t, P);
  }
}

void reverse_nibbles(uint8_t* row, uint32_t width) {
  auto get = [&](uint32_t x) { return (x & 1) ? row[x >> 1] & 15u : row[x >> 1] >> 4u; };
  auto put = [&](uint32_t x, uint32_t v) {
    row[x >> 1] = static_cast<uint8_t>((x & 1) ? (row[x >> 1] & 0xF0u) | v : (row[x >> 1] & 15u) | v << 4);
  };
  for (uint32_t i = 0, j = width - 1; i < j; ++i, --j) {
    const uint32_t a = get(i), b = get(j);
    put(i, b);
    put(j, a);
  }
}

// Mirrors one row of a plain image in place; `buffer` holds a row.
void mirror_row(uint8_t* row, const RX_BITMAPINFOHEADER* h, uint8_t* buffer) {
  const auto w = static_cast<uint32_t>(h->biWidth);
  switch (h->biBitCount) {
    case 1:
      bits_reverse(row, w, dib_stride_of(h), buffer);
      std::memcpy(row, buffer, dib_stride_of(h));
      break;
    case 4: reverse_nibbles(row, w); break;
    case 8: std::reverse(row, row + w); break;
    case 16: reverse_pixels<2>(row, w); break;
    default: reverse_row_24(row, w); break;
  }
}

void swap_rows(void* dib, int32_t a, int32_t b, uint32_t stride) {
  auto* p = reinterpret_cast<uint32_t*>(dib_image_row(dib, a));
  auto* q = reinterpret_cast<uint32_t*>(dib_image_row(dib, b));
  std::swap_ranges(p, p + stride / 4, q);
}

bool flip_plain(IMAGE_REC* record, int32_t direction) {
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  const uint32_t stride = dib_stride_of(h);
  TagGuard scratch;
  auto* buffer = static_cast<uint8_t*>(scratch.alloc(stride));
  if (buffer == nullptr) {
    RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, stride, 0);
    return false;
  }
  const bool across = direction == kLeftRight;
  const int32_t steps = across ? h->biHeight : h->biHeight / 2;
  auto step = [&](int32_t i) {
    if (across) mirror_row(dib_image_row(record->dib, i), h, buffer);
    else swap_rows(record->dib, i, h->biHeight - 1 - i, stride);
  };
  const Progress progress;
  for (int32_t i = 0; i < steps; ++i) {
    step(i);
    if (!progress.go_on(i, steps)) {
      push_interrupted(i, steps);
      for (int32_t j = i; j >= 0; --j) step(j);
      return false;
    }
  }
  return true;
}

bool flip_runs(IMAGE_REC* record, int32_t direction) {
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  const auto w = static_cast<uint32_t>(h->biWidth);
  const int32_t rows = h->biHeight;
  TagGuard scratch;
  auto* run_row = static_cast<uint8_t*>(scratch.alloc(run_row_max_bytes(w)));
  if (run_row == nullptr) {
    RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, run_row_max_bytes(w), 0);
    return false;
  }
  NewDib out(record);
  if (!out.create_runs(w, rows, dib_palette(record->dib))) return false;
  const bool across = direction == kLeftRight;
  const int32_t steps = across ? rows : rows / 2;
  const Progress progress;
  for (int32_t y = 0; y < rows; ++y) {
    // Image row y is DIB row rows - 1 - y; mirrored top-bottom it takes DIB row y.
    const int32_t dib_row = across ? rows - 1 - y : y;
    const uint8_t* row = runs_row(record, dib_row);
    if (row == nullptr) {
      RX_ERR(RXE_INTERNAL_ERROR, rows - 1 - dib_row, 0);
      return false;
    }
    const bool stored = across ? out.store_run_row(y, run_row, run_row_mirror(row, w, run_row))
                               : out.store_run_row(y, row, run_value(row, 0));
    if (!stored) return false;
    if (y < steps && !progress.go_on(y, steps)) {
      push_interrupted(y, steps);
      return false;
    }
  }
  out.attach();
  return true;
}

void flip(IMAGE_REC* record, int32_t direction) {
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  if (!dib_bits_valid(h->biBitCount)) {
    RX_ERR(RXE_INVALID_BIT_COUNT, h->biBitCount, 0);
    return;
  }
  RecordLock lock(record);
  if (!lock.held()) {
    push_lock_failed();
    return;
  }
  if (dib_is_runs(record->dib)) flip_runs(record, direction);
  else flip_plain(record, direction);
}

}  // namespace
}  // namespace rx::ip

using namespace rx;
using namespace rx::ip;

extern "C" int32_t RX_IP_flip(RX_HIMAGE image, int32_t direction) {
  IMAGE_REC* record = enter_image(image, RXE_INVALID_HANDLE);
  if (record == nullptr) return RPb_AF_error_check();
  if (direction != kLeftRight && direction != kTopBottom)
    RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, direction, 0);
  else
    flip(record, direction);
  return RPb_AF_error_check();
}
