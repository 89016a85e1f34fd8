// The writer-side image callbacks: how a format writer pulls the header,
// palette, rows and attributes of the image being saved.
#pragma once

#include <cstdint>

#include "rastrix/rpb.h"

namespace rx {

// The callback data of one save. Zeroed at the start of each save; the
// rectangle fields are used only when the image rectangle covers part of
// the image.
struct SAVE_CB_DATA {
  IMAGE_REC* image;
  uintptr_t status_data;
  RX_STATUS_CB status_fn;
  uint32_t tag;          // owns row_buffer
  uint8_t* row_buffer;   // one packed row of the full image width
  int32_t left, top, right, bottom;  // inclusive
  uint32_t row_bytes;    // size of row_buffer
};

// Writes the writer-side defaults into a stream record (the template).
// The alpha callbacks share the DIB-get and raster-get code but read their
// own data slots, which a save leaves empty: an alpha request is refused
// rather than answered with the colour image.
void save_callbacks_install(IO_REC* io);

// Prepares a save of `image` through `io`: zeroes `data`, takes the status
// callback, points the DIB-get and raster-get data at `data` and the
// attribute-get data at the image, and switches to the rectangle callbacks
// when the image rectangle covers only part of the image. Returns 0 or the
// pushed code; the caller frees `data` with save_cb_data_free either way.
int32_t save_cb_data_init(IO_REC* io, SAVE_CB_DATA* data, IMAGE_REC* image);

// Releases the rectangle row buffer.
void save_cb_data_free(SAVE_CB_DATA* data);

}  // namespace rx
