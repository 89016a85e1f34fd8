// The reader-side image callbacks a load installs: the defaults that build
// the image as rows arrive, and the converting ones that also reduce depth,
// crop and resize.
//
// Every callback takes its LOAD_CB_DATA from the stream record's callback
// data; without it the colour callbacks push RXE_INVALID_POINTER. The
// alpha callbacks share the defaults but a load gives them no data: an
// alpha channel offered during a load is passed over, not kept.
#pragma once

#include <cstdint>

#include "SUPPORT/image_rec.h"
#include "rastrix/rpb.h"

namespace rx {

// Writes the reader-side defaults into a stream record (the template).
void load_callbacks_install(IO_REC* io);

// ---- The callbacks themselves ------------------------------------------------

int32_t load_dib_create(IO_REC* io, const RX_BITMAPINFOHEADER* header,
                        const RX_RGBQUAD* palette);
int32_t load_raster_set(IO_REC* io, const uint8_t* row, int32_t row_index, int32_t byte_count);
int32_t load_raster_plane_set(IO_REC* io, const uint8_t* row, int32_t row_index,
                              int32_t byte_count, int32_t plane);
int32_t load_attribute_set(IO_REC* io, int32_t id, uintptr_t value);

int32_t load_dib_create_convert(IO_REC* io, const RX_BITMAPINFOHEADER* header,
                                const RX_RGBQUAD* palette);
int32_t load_raster_set_convert(IO_REC* io, const uint8_t* row, int32_t row_index,
                                int32_t byte_count);

// ---- Shared by the default and the converting callbacks ---------------------

// The image this load has created so far, or null.
IMAGE_REC* load_image(const LOAD_CB_DATA* data);

// Creates the load's image from a DIB header and palette that are already
// checked: record under a new tag, DIB, display defaults, resolution in
// pels per metre from the reader. Replaces an image an earlier create of
// the same load made, and frees that image's scratch. Writes the handle;
// 0 or the pushed code.
int32_t load_image_create(LOAD_CB_DATA* data, const RX_BITMAPINFOHEADER& dib_header,
                          const RX_RGBQUAD* palette, int32_t x_pels_per_meter,
                          int32_t y_pels_per_meter);

// Reports a stored row to the status callback. False when the callback
// asked to stop: RXE_INTERRUPTED_BY_USER is pushed and the load's scratch
// memory is freed.
bool load_status_continue(LOAD_CB_DATA* data, int32_t dib_row, int32_t height);

// The buffer for one run row of the image width, allocated on first use.
uint8_t* load_run_scratch(LOAD_CB_DATA* data, uint32_t width);

// Encodes a packed 1-bit row of the image width into the load's run row
// buffer and stores it as DIB row `dib_row` of the runs image. 0 or the
// pushed code.
int32_t load_packed_runs_store(LOAD_CB_DATA* data, IMAGE_REC* record, int32_t dib_row,
                               const uint8_t* packed);

// Frees every scratch block of the load (rows, maps, the run row).
void load_scratch_free(LOAD_CB_DATA* data);

// The stored image rows (from the top) that source row `row_index` fills:
// writes the first and returns how many (0 when the row is not kept).
// Answers for the next delivery, so ask before the row is stored.
int32_t load_stored_rows(const LOAD_CB_DATA* data, int32_t row_index, int32_t* first);

}  // namespace rx
