// Runs images: the form in which the engine keeps bi-level images. The
// pixel area of a runs DIB holds one run row (run_row.h) per image row and
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
#include "SUPPORT/run_row.h"

namespace rx {

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
