// Cropping an image to a rectangle clamped into it. Rows are copied into a
// new DIB of the rectangle's size with the image's palette, masks and
// format; runs images are cropped run row by run row.
#include <cstring>

#include "IMG_PROC/new_dib.h"
#include "IMG_PROC/run_edit.h"
#include "SUPPORT/error.h"
#include "SUPPORT/mem_tag.h"
#include "SUPPORT/runs.h"

RX_SOURCE("source\\IMG_PROC\\crop.cpp");

namespace rx::ip {
namespace {

void copy_nibbles(const uint8_t* src, uint32_t left, uint32_t count, uint8_t* dst) {
  if (left % 2 == 0) {
    std::memcpy(dst, src + left / 2, (count + 1) / 2);
    if (count % 2 != 0) dst[count / 2] &= 0xF0;
    return;
  }
  for (uint32_t x = 0; x < count; ++x) {
    const uint32_t s = left + x;
    const uint32_t v = (s & 1) ? src[s >> 1] & 15u : src[s >> 1] >> 4;
    dst[x >> 1] = static_cast<uint8_t>((x & 1) ? (dst[x >> 1] & 0xF0u) | v : v << 4);
  }
}

// The first of `count` values of a run row (after its length) past `limit`:
// the values rise, ending with the width three times.
uint32_t first_past(const uint8_t* row, uint32_t count, uint32_t limit) {
  uint32_t lo = 0, hi = count;
  while (lo < hi) {
    const uint32_t mid = (lo + hi) / 2;
    if (run_value(row, 1 + mid) <= limit) lo = mid + 1;
    else hi = mid;
  }
  return lo;
}

// One run row cut to columns left .. left + width - 1: the changes up to
// `left` decide the first pixel (after an odd number of them, 0), the
// changes inside the cut move left by `left`, the rest go.
uint32_t crop_run_row(const uint8_t* row, uint32_t left, uint32_t width, uint8_t* out) {
  const uint32_t count = run_value(row, 0) / 2 - 1;
  const uint32_t from = first_past(row, count, left);
  const uint32_t to = from + first_past(row + 2 * size_t{from}, count - from, left + width - 1);
  uint32_t n = 1;
  auto put = [&](uint32_t value) {
    const auto v = static_cast<uint16_t>(value);
    std::memcpy(out + 2 * size_t{n++}, &v, sizeof v);
  };
  if (from % 2 != 0) put(0);
  for (uint32_t i = from; i < to; ++i) put(run_value(row, 1 + i) - left);
  for (int k = 0; k < 3; ++k) put(width);
  const auto length = static_cast<uint16_t>(2 * n);
  std::memcpy(out, &length, sizeof length);
  return 2 * n;
}

bool crop_runs(IMAGE_REC* record, NewDib& out, const Span& span) {
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  const auto width = static_cast<uint32_t>(span.columns());
  TagGuard scratch;
  auto* run_row = static_cast<uint8_t*>(scratch.alloc(run_row_max_bytes(width)));
  if (run_row == nullptr) {
    RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, run_row_max_bytes(width), 0);
    return false;
  }
  const Progress progress;
  for (int32_t r = 0; r < span.rows(); ++r) {
    const uint8_t* row = runs_row(record, h->biHeight - 1 - (span.top + r));
    if (row == nullptr) {
      RX_ERR(RXE_INTERNAL_ERROR, span.top + r, 0);
      return false;
    }
    const uint32_t length = crop_run_row(row, static_cast<uint32_t>(span.left), width, run_row);
    if (!out.store_run_row(r, run_row, length)) return false;
    if (!progress.go_on(r, span.rows())) {
      push_interrupted(r, span.rows());
      return false;
    }
  }
  return true;
}

bool crop_plain(IMAGE_REC* record, NewDib& out, const Span& span) {
  const uint32_t bits = dib_header(record->dib)->biBitCount;
  const auto width = static_cast<uint32_t>(span.columns());
  const auto left = static_cast<uint32_t>(span.left);
  const auto stride = static_cast<uint32_t>(dib_stride(bits, width));
  const Progress progress;
  for (int32_t r = 0; r < span.rows(); ++r) {
    const uint8_t* src = dib_image_row(record->dib, span.top + r);
    uint8_t* dst = out.row(r);
    if (bits == 1) bits_copy(src, left, width, dst, stride);
    else if (bits == 4) copy_nibbles(src, left, width, dst);
    else std::memcpy(dst, src + size_t{left} * (bits / 8), size_t{width} * (bits / 8));
    if (!progress.go_on(r, span.rows())) {
      push_interrupted(r, span.rows());
      return false;
    }
  }
  return true;
}

void crop(IMAGE_REC* record, const int32_t* rect) {
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  if (!dib_bits_valid(h->biBitCount)) {
    RX_ERR(RXE_INVALID_BIT_COUNT, h->biBitCount, 0);
    return;
  }
  const Span span = span_clamp(rect, h);
  RecordLock lock(record);
  if (!lock.held()) {
    push_lock_failed();
    return;
  }
  NewDib out(record);
  if (dib_is_runs(record->dib)) {
    // A cut row has at most one change more than its source row.
    uint64_t capacity = 0;
    for (int32_t r = span.top; r <= span.bottom; ++r)
      if (const uint8_t* row = runs_row(record, h->biHeight - 1 - r)) capacity += run_value(row, 0) + 2;
    if (out.create_runs(span.columns(), span.rows(), dib_palette(record->dib), capacity) &&
        crop_runs(record, out, span))
      out.attach();
  } else if (out.create_like(span.columns(), span.rows(), false) &&
             crop_plain(record, out, span)) {
    out.attach();
  }
}

}  // namespace
}  // namespace rx::ip

using namespace rx;
using namespace rx::ip;

extern "C" int32_t RX_IP_crop(RX_HIMAGE image, const int32_t* rect) {
  IMAGE_REC* record = enter_image(image, RXE_INVALID_HANDLE);
  if (record != nullptr && rect != nullptr) crop(record, rect);
  return RPb_AF_error_check();
}
