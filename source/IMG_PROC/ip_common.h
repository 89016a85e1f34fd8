// The steps the image-processing operations share: entry, the clamped
// rectangle, walking its rows under the record lock with the status
// callback, and the LUT and histogram passes that several operations use.
//
// Operations work on the DIB's rows in place. For 8- and 24-bit images the
// bytes of a row are the one-byte-per-channel row format itself, so no
// copy is needed; 1-bit rows are unpacked where an operation needs bytes.
#pragma once

#include <cstdint>

#include "SUPPORT/dib.h"
#include "SUPPORT/image_rec.h"
#include "rastrix/rastrix.h"

namespace rx::ip {

// Clears the error stack and returns the record behind the handle, or null
// when there is nothing to do: a handle of 0 pushes RXE_INVALID_HANDLE, any
// other invalid handle pushes nothing. A record without a DIB pushes
// RXE_DIB_POINTER_NULL and gives null too.
IMAGE_REC* enter_or_push(RX_HIMAGE image);

// An inclusive rectangle of image pixels, rows from the top.
struct Span {
  int32_t left, top, right, bottom;
  int32_t columns() const { return right - left + 1; }
  int32_t rows() const { return bottom - top + 1; }
};

// The caller's rectangle (null: the whole image) clamped to the image, so
// that it always covers at least one pixel.
Span span_clamp(const int32_t* rect, const RX_BITMAPINFOHEADER* h);

// Holds the record lock for a scope: a status callback then cannot delete
// the image or replace its DIB under a walk.
class RecordLock {
 public:
  explicit RecordLock(IMAGE_REC* record) : record_(record_lock(record) ? record : nullptr) {}
  ~RecordLock() {
    if (record_ != nullptr) record_unlock(record_);
  }
  RecordLock(const RecordLock&) = delete;
  RecordLock& operator=(const RecordLock&) = delete;
  bool held() const { return record_ != nullptr; }

 private:
  IMAGE_REC* record_;
};

// The status callback, read once when an operation starts.
class Progress {
 public:
  Progress();
  // False when the callback asks to stop after row `row` of `rows`.
  bool go_on(int32_t row, int32_t rows) const {
    return callback_ == nullptr || callback_(user_, row, rows) != 0;
  }

 private:
  RX_STATUS_CB callback_ = nullptr;
  uintptr_t user_ = 0;
};

// Pushes RXE_MEMORY_LOCK_FAILED and RXE_INTERRUPTED_BY_USER on behalf of
// the walk below.
void push_lock_failed();
void push_interrupted(int32_t row, int32_t rows);

// Calls row_fn(image_row) for every step-th row of the span from the top,
// under the record lock, reporting each row to the status callback. A
// row_fn returning false (having pushed its reason) ends the walk. Returns
// true when every row was done; false once the reason is pushed.
template <class RowFn>
bool span_walk(IMAGE_REC* record, const Span& span, int32_t step, RowFn&& row_fn) {
  RecordLock lock(record);
  if (!lock.held()) {
    push_lock_failed();
    return false;
  }
  const Progress progress;
  const int32_t rows = span.rows();
  for (int64_t r = 0; r < rows; r += step) {
    if (!row_fn(static_cast<int32_t>(span.top + r))) return false;
    if (!progress.go_on(static_cast<int32_t>(r), rows)) {
      push_interrupted(static_cast<int32_t>(r), rows);
      return false;
    }
  }
  return true;
}

// ---- Passes shared by several operations ----------------------------------

// Applies `lut` to every pixel of the span of a plain 8-bit image.
bool lut8_apply(IMAGE_REC* record, const Span& span, const uint8_t* lut);
// Applies one table per channel to every pixel of the span of a 24-bit
// image; all three tables must be given.
bool lut24_apply(IMAGE_REC* record, const Span& span, const uint8_t* blue, const uint8_t* green,
                 const uint8_t* red);
// The LUT that maps every value v to 255 - v.
const uint8_t* lut_inverse();
// The LUT that leaves every value as it is.
const uint8_t* lut_identity();

// Counts the values of every step-th row (step >= 1) of the span into 256
// counters, which the caller has zeroed: 1-, 4- and 8-bit pixel values,
// 24-bit pixels by channel (RX_CHANNEL_...). Pushes RXE_BIT_COUNT_UNSUPPORTED
// for other depths and RXE_PARAMETERS_OUT_OF_LIMITS for an unknown 24-bit
// channel. Counters are 64-bit so that no image can overflow them.
bool histogram_take(IMAGE_REC* record, const Span& span, int32_t step, int32_t channel,
                    uint64_t* counts);

// Complements every pixel of the span of a 1-bit image, plain or runs; a
// runs image stays in the runs format.
bool bilevel_invert(IMAGE_REC* record, const Span& span);

}  // namespace rx::ip
