// Run rows: the form in which the engine keeps bi-level images.
//
// A run row is a sequence of little-endian 16-bit values: its own length in
// bytes, the columns at which the bit value changes (starting with the end
// of a possibly empty run of 1-bits at column 0), then the width three
// times. The pixel area of a runs DIB holds one run row per image row and
// the record's run table gives each DIB row's byte offset into it.
//
// Layout kept by every function here: rows lie in top-down order without
// overlapping; biSizeImage is the size of the allocated pixel area. While
// rows are being replaced there may be unused bytes between rows or after
// the last one; a pass over all rows (ending at DIB row 0, or at the top
// row when going upwards) or runs_finish closes them and trims the
// allocation, so a finished image has its run rows back to back.
#pragma once

#include <cstddef>
#include <cstdint>

#include "SUPPORT/dib_size.h"
#include "SUPPORT/image_rec.h"

namespace rx {

// The all-zero run row (length, 0, width x 3) and the shortest possible one
// (length, width x 3).
inline constexpr uint32_t kZeroRunRowBytes = 10;
inline constexpr uint32_t kMinRunRowBytes = 8;

// Scratch bytes that hold the longest run row of a width.
constexpr uint32_t run_row_max_bytes(uint32_t width) { return 2 * width + 8; }

// Runs images are at most kMaxRunsWidth wide, so a scratch row of this
// size (small enough for the stack) holds any of their rows expanded.
inline constexpr uint32_t kMaxRunsStride = static_cast<uint32_t>(dib_stride(1, kMaxRunsWidth));

// ---- Single run rows ------------------------------------------------------

// Encodes `width` pixels of a packed 1-bit row (most significant bit first)
// into `out`, which holds run_row_max_bytes(width) bytes. Returns the run
// row's length in bytes. `width` is 1..kMaxRunsWidth.
uint32_t run_row_encode(const uint8_t* packed, uint32_t width, uint8_t* out);

// Writes the all-zero run row of a width into `out` (10 bytes).
void run_row_zero(uint32_t width, uint8_t* out);

// Expands a run row into packed 1-bit form: `packed_bytes` bytes are
// written (at least (width + 7) / 8), bits past the width are 0. Column
// values are clamped, so a damaged row cannot write out of bounds.
void run_row_expand(const uint8_t* run_row, uint32_t width, uint8_t* packed,
                    uint32_t packed_bytes);

// The value (0 or 1) of column x < width of a checked run row, found by
// bisection of its change columns.
uint32_t run_row_pixel(const uint8_t* run_row, uint32_t x);

// Checks a run row that starts at `row` with `available` readable bytes:
// even length of at least 8 within the bytes, columns non-decreasing and
// not past the width, ending with the width three times. Returns the
// length, or 0 when the row is malformed.
uint32_t run_row_check(const uint8_t* row, size_t available, uint32_t width);

// ---- Run rows of an image ---------------------------------------------------

// The run row of a DIB row of the record's runs DIB, or null when the
// record holds no runs DIB, the row is out of range or the run table does
// not lead to a row inside the pixel area.
const uint8_t* runs_row(IMAGE_REC* record, int32_t dib_row);

// Stores a run row (checked first; `run_bytes` readable bytes) as the row
// of DIB row `dib_row`, growing the DIB when needed (the record's DIB
// pointer may change) and leaving every other row as it was. Rows stored
// from the top down land back to back, each right after the one above, so
// this is the append step of loading and conversion; growth doubles the
// area, so a whole pass in either direction costs linear time. Storing DIB
// row 0, or the top row right after the one below it, also finishes the
// image (runs_finish). `run_row` must not point into the image's own DIB.
// Returns 0 or the pushed code.
int32_t runs_row_store(IMAGE_REC* record, int32_t dib_row, const uint8_t* run_row,
                       size_t run_bytes);

// Encodes a packed 1-bit row and stores it as above. `scratch` holds
// run_row_max_bytes(width) bytes.
int32_t runs_packed_store(IMAGE_REC* record, int32_t dib_row, const uint8_t* packed,
                          uint8_t* scratch);

// The packed pixels of image row `row` (from the top, in range): a plain
// DIB's own row, or the run row expanded into `scratch`. Null, with
// RXE_INTERNAL_ERROR pushed, when the run row cannot be found or its
// expanded form would not fit `scratch_bytes`.
const uint8_t* image_row_packed(IMAGE_REC* record, int32_t row, uint8_t* scratch,
                                uint32_t scratch_bytes);

// Closes the unused bytes between rows and trims the pixel area to the run
// rows; biSizeImage becomes their total. Returns 0 or the pushed code.
int32_t runs_finish(IMAGE_REC* record);

// Builds the run table of a runs DIB just attached to the record whose
// pixel area (biSizeImage bytes) came from outside: walks the run rows from
// the top, checking each, then finishes. Returns 0 or the pushed code.
int32_t runs_table_build(IMAGE_REC* record);

// ---- Whole-image conversions, keeping the handle ----------------------------

int32_t runs_to_plain(IMAGE_REC* record);
int32_t plain_to_runs(IMAGE_REC* record);

}  // namespace rx
