// Rows in place. A load that builds a plain image with the engine's own
// callbacks, where nothing watches the rows arrive (no status callback, no
// depth reduction, crop or resize, no progressive display, no run rows),
// lets a reader that makes whole rows put them straight into the image
// instead of handing each over to be copied. A save of a whole plain image
// with the engine's own callbacks and no status callback likewise lets a
// writer read the image's rows where they are.
#pragma once

#include <cstddef>
#include <cstdint>

#include "rastrix/rx_types.h"

namespace rx {

// The image's rows: row y (0 the top) starts at `top + y * step`, and
// `bytes` of it may be written (by a reader) or read (by a writer). Once
// granted to a reader, every row counts as delivered; rows it leaves alone
// stay zero.
struct DirectRows {
  uint8_t* top;
  ptrdiff_t step;
  uint32_t bytes;
  int32_t height;

  uint8_t* row(int32_t y) const { return top + step * y; }

  // The rows of a DIB's pixels, which run bottom-up in memory.
  static DirectRows bottom_up(uint8_t* pixels, uint32_t stride, int32_t height) {
    return DirectRows{pixels + size_t{stride} * static_cast<size_t>(height - 1),
                      -static_cast<ptrdiff_t>(stride), stride, height};
  }
};

// Answers for the load or save behind `io`; installed by the pipelines.
using DirectRowsFn = bool (*)(IO_REC* io, int32_t height, uint32_t row_bytes, DirectRows* rows);
void io_direct_rows_install(DirectRowsFn fn);
void io_source_rows_install(DirectRowsFn fn);

// True, with the rows, when the image `io` builds takes rows in place and
// is `height` rows of `row_bytes` bytes. Asked on the caller's thread after
// the image is created and before any row is set.
bool io_direct_rows(IO_REC* io, int32_t height, uint32_t row_bytes, DirectRows* rows);

// True, with the rows, when the image `io` saves may be read in place and
// is `height` rows of `row_bytes` bytes. Asked on the caller's thread after
// the writer has the image's header.
bool io_source_rows(IO_REC* io, int32_t height, uint32_t row_bytes, DirectRows* rows);

// Readies the memory of rows y0 .. y0 + count - 1 for writing in one go:
// an image's fresh pages would otherwise fault in one at a time.
void io_direct_rows_prepare(const DirectRows& rows, int32_t y0, int32_t count);

}  // namespace rx
