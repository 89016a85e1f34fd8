// The load pipeline seen from inside the engine: the step every load entry
// shares, and the hook through which a progressive load draws its rows.
#pragma once

#include <cstdint>

#include "SUPPORT/image_rec.h"
#include "rastrix/rx_types.h"

namespace rx {

// Runs `read` on a stream that is already positioned: prepares the
// callback data into *image_out, reads the page, frees the scratch, and on
// any error deletes the image the reader began and writes 0. Returns the
// error count. The caller opens and closes the stream.
int32_t load_with_reader(IO_REC* io, RX_READ_FN read, void* flags, int32_t page, int32_t fourth,
                         RX_HIMAGE* image_out);

// Detects the stream's format and reads page `page` through its filter.
// A detected format without a reader is refused with RXE_NOT_IMPLEMENTED
// (iVal the format code) rather than reported as an empty success.
int32_t load_detected(IO_REC* io, int32_t page, int32_t fourth, RX_HIMAGE* image_out);

// A band of device rows (right and bottom exclusive) that a progressive
// load asks to be drawn.
struct LoadDisplayBand {
  int32_t left, top, right, bottom;
};

// Set by the display engine: draws `image` on the device context with the
// clip set to `band`, then removes the clip. Anything it pushes on the
// error stack fails the load. While it is null a progressive load draws
// nothing (the created callback is still called).
using LoadDisplayHook = void (*)(uintptr_t device_context, RX_HIMAGE image,
                                 const LoadDisplayBand* band);
extern LoadDisplayHook g_load_display_hook;

// The band of device rows that shows image rows first .. first + count - 1:
// their part inside the image rectangle scaled to the device rectangle,
// at least one device row high. False when none of them is inside the
// image rectangle.
bool load_display_band(const IMAGE_REC* record, int32_t first, int32_t count,
                       LoadDisplayBand* band);

}  // namespace rx
