// The reader-side default callbacks: a reader hands over a header and
// palette, then rows from the top, and the image is built as they arrive.
// Bi-level rows become run rows on the way in.
//
// Readers are written against files we do not control, so nothing they
// pass is trusted: the header goes through the geometry check before any
// allocation, and every row index and byte count is checked against the
// image before a byte is written.
#include <cstring>

#include "IO/io_direct_rows.h"
#include "LOAD/dfltldcb.h"
#include "SUPPORT/dib.h"
#include "SUPPORT/error.h"
#include "SUPPORT/limits.h"
#include "SUPPORT/runs.h"
#include "SUPPORT/settings.h"
#include "rastrix/rastrix.h"

RX_SOURCE("source\\LOAD\\dfltldcb.cpp");

namespace rx {
namespace {

// Resolution units of pels per metre, in which readers report resolution.
constexpr int32_t kUnitsPelsPerMeter = 2;

LOAD_CB_DATA* data_in(IO_REC* io, int32_t slot) {
  return io != nullptr ? reinterpret_cast<LOAD_CB_DATA*>(io->cb_data[slot]) : nullptr;
}

int32_t failed() { return RPb_AF_error_check(); }

uint16_t run_row_length(const uint8_t* run_row) {
  uint16_t length;
  std::memcpy(&length, run_row, sizeof length);
  return length;
}

// The header as the image will keep it: bi-level images always as runs.
RX_BITMAPINFOHEADER kept_header(const RX_BITMAPINFOHEADER& header) {
  RX_BITMAPINFOHEADER h = header;
  if (h.biBitCount == 1) h.biCompression = RX_BI_RUNS;
  return h;
}

// A stream record whose callbacks no load prepared has nowhere to build.
int32_t no_load(int32_t row_index) {
  RX_ERR(RXE_INVALID_POINTER, row_index, 0);
  return failed();
}

int32_t create_from(LOAD_CB_DATA* data, const RX_BITMAPINFOHEADER* header,
                    const RX_RGBQUAD* palette) {
  if (header == nullptr) {
    RX_ERR(RXE_INVALID_POINTER, 0, 0);
    return failed();
  }
  const RX_BITMAPINFOHEADER h = kept_header(*header);
  DibGeometry g{};
  if (dib_header_check(h, &g) != 0) return failed();
  // The image the reader describes must be within the load limits,
  // whatever a crop or resize then keeps of it.
  if (!load_limits_allow(h.biWidth, h.biHeight, g)) {
    RX_ERR(RXE_LOAD_LIMIT_EXCEEDED, h.biWidth, h.biHeight);
    return failed();
  }
  if (load_image_create(data, h, palette, header->biXPelsPerMeter, header->biYPelsPerMeter) != 0)
    return failed();
  // Readers that build run rows themselves say so with the runs code.
  data->runs_convert = header->biBitCount == 1 && header->biCompression != RX_BI_RUNS ? 1 : 0;
  if (data->runs_convert != 0) load_run_scratch(data, static_cast<uint32_t>(h.biWidth));
  return failed();
}

// Finds the load's image and the DIB row of a delivered row, pushing the
// reason when the row cannot be stored.
IMAGE_REC* row_target(LOAD_CB_DATA* data, const uint8_t* row, int32_t row_index,
                      int32_t* dib_row) {
  IMAGE_REC* record = load_image(data);
  if (record == nullptr) {
    RX_ERR(RXE_DIB_POINTER_NULL, row_index, 0);
    return nullptr;
  }
  const int32_t height = dib_header(record->dib)->biHeight;
  if (row_index < 0 || row_index >= height) {
    RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, row_index, height);
    return nullptr;
  }
  if (row == nullptr) {
    RX_ERR(RXE_INVALID_POINTER, row_index, 0);
    return nullptr;
  }
  *dib_row = height - 1 - row_index;
  return record;
}

// Asks the status callback about the row; the callback may have deleted
// the image, so the record is looked up again afterwards.
IMAGE_REC* status_then_target(LOAD_CB_DATA* data, IMAGE_REC* record, int32_t dib_row) {
  if (!load_status_continue(data, dib_row, dib_header(record->dib)->biHeight)) return nullptr;
  record = load_image(data);
  if (record == nullptr) RX_ERR(RXE_DIB_POINTER_NULL, dib_row, 0);
  return record;
}

int32_t store_plain(IMAGE_REC* record, int32_t dib_row, const uint8_t* row, int32_t bytes) {
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  const uint32_t stride = dib_stride_of(h);
  if (bytes < 0 || static_cast<uint32_t>(bytes) > stride)
    return RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, bytes, stride);
  std::memcpy(dib_pixels(record->dib) + size_t{stride} * dib_row, row, static_cast<size_t>(bytes));
  return 0;
}

// A packed bi-level row is encoded first; a run row is stored as given,
// after the store has checked it against the width.
int32_t store_runs(LOAD_CB_DATA* data, IMAGE_REC* record, int32_t dib_row, const uint8_t* row,
                   int32_t bytes) {
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  const auto width = static_cast<uint32_t>(h->biWidth);
  if (data->runs_convert == 0) {
    if (bytes < 0) return RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, bytes, 0);
    const int32_t code = runs_row_store(record, dib_row, row, static_cast<size_t>(bytes));
    if (code == 0) data->run_offset += run_row_length(row);
    return code;
  }
  const uint32_t stride = dib_stride_of(h);
  if (bytes < 0 || static_cast<uint32_t>(bytes) < (width + 7) / 8 ||
      static_cast<uint32_t>(bytes) > stride)
    return RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, bytes, stride);
  return load_packed_runs_store(data, record, dib_row, row);
}

// After the last row the run row buffer goes, and rows that came in an
// order the store could not pack on the fly are packed now.
void row_counted(LOAD_CB_DATA* data, IMAGE_REC* record) {
  const int32_t height = dib_header(record->dib)->biHeight;
  if (++data->rows_received != height || !dib_is_runs(record->dib)) return;
  if (data->run_scratch != nullptr) RPb_AF_mem_free(data->tag, data->run_scratch);
  data->run_scratch = nullptr;
  runs_finish(record);
}

int32_t raster_set_from(LOAD_CB_DATA* data, const uint8_t* row, int32_t row_index,
                        int32_t bytes) {
  int32_t dib_row = 0;
  IMAGE_REC* record = row_target(data, row, row_index, &dib_row);
  if (record != nullptr) record = status_then_target(data, record, dib_row);
  if (record == nullptr) return failed();
  const int32_t code = dib_is_runs(record->dib) ? store_runs(data, record, dib_row, row, bytes)
                                                : store_plain(record, dib_row, row, bytes);
  if (code == 0) row_counted(data, record);
  return failed();
}

// A load gives the alpha callbacks no data of their own: an alpha channel
// that a filter offers is passed over and the colour image still loads.
// Data placed in their slots builds an image like the colour callbacks.
int32_t alpha_create(IO_REC* io, const RX_BITMAPINFOHEADER* header, const RX_RGBQUAD* palette) {
  LOAD_CB_DATA* data = data_in(io, RX_CBD_ALPHA_CREATE);
  return data != nullptr ? create_from(data, header, palette) : 0;
}

int32_t alpha_raster_set(IO_REC* io, const uint8_t* row, int32_t row_index, int32_t bytes) {
  LOAD_CB_DATA* data = data_in(io, RX_CBD_ALPHA_RASTER_SET);
  return data != nullptr ? raster_set_from(data, row, row_index, bytes) : 0;
}

// Plane p of a 4-bit pixel pair is bit p of each nibble.
uint8_t plane_mask(int32_t plane) {
  const uint32_t bit = 1u << plane;
  return static_cast<uint8_t>(bit | bit << 4);
}

void masks_set(void* dib, int32_t id, uint32_t mask) {
  if (id == RX_ATTR_RED_MASK || id == RX_ATTR_GRAY_MASKS) RPb_DIB_red_mask_set(dib, mask);
  if (id == RX_ATTR_GREEN_MASK || id == RX_ATTR_GRAY_MASKS) RPb_DIB_green_mask_set(dib, mask);
  if (id == RX_ATTR_BLUE_MASK || id == RX_ATTR_GRAY_MASKS) RPb_DIB_blue_mask_set(dib, mask);
}

int32_t resolution_attribute(IMAGE_REC* record, uintptr_t value) {
  if (value == 0) return 0;
  int32_t v[5];
  std::memcpy(v, reinterpret_cast<const void*>(value), sizeof v);
  return image_resolution_set(record, v[0], v[1], v[2], v[3], v[4]) == 0 ? 1 : 0;
}

int32_t mask_attribute(IMAGE_REC* record, int32_t id, uint32_t mask) {
  const uint32_t needed = id == RX_ATTR_GRAY_MASKS ? RX_BI_GRAY16 : RX_BI_BITFIELDS;
  if (dib_header(record->dib)->biCompression != needed) return 0;
  masks_set(record->dib, id, mask);
  return 1;
}

int32_t transparent_color_set(DISPLAY_ATTR& d, uint32_t bgr) {
  d.transparent_color[0] = static_cast<uint8_t>(bgr);
  d.transparent_color[1] = static_cast<uint8_t>(bgr >> 8);
  d.transparent_color[2] = static_cast<uint8_t>(bgr >> 16);
  d.transparent_on = 1;
  return 1;
}

}  // namespace

// ---- Shared steps -------------------------------------------------------------

IMAGE_REC* load_image(const LOAD_CB_DATA* data) {
  if (data == nullptr || data->image_out == nullptr) return nullptr;
  const RX_HIMAGE image = *data->image_out;
  if (!RPb_iRX_image_is_valid(image)) return nullptr;
  IMAGE_REC* record = record_of(image);
  return record->dib != nullptr ? record : nullptr;
}

int32_t load_image_create(LOAD_CB_DATA* data, const RX_BITMAPINFOHEADER& dib_header,
                          const RX_RGBQUAD* palette, int32_t x_pels_per_meter,
                          int32_t y_pels_per_meter) {
  // A reader that creates twice replaces its first image, and the scratch
  // sized for it; the handle variable only ever holds an image of this
  // load (init cleared it).
  if (IMAGE_REC* earlier = load_image(data)) RPb_iRX_image_delete(earlier);
  load_scratch_free(data);
  *data->image_out = 0;
  data->rows_received = 0;
  data->run_offset = 0;
  const uint32_t tag = RPb_AF_mem_unique_tag_get();
  IMAGE_REC* record = record_create(tag);
  if (record == nullptr) return RXE_MEMORY_ALLOC_FAILED;
  void* dib = RPb_DIB_alloc(record, &dib_header, palette);
  int32_t code = dib != nullptr ? RPb_image_associate(dib, record, 1) : RXE_GLOBAL_MEMORY_DEPLETED;
  if (code == 0)
    code = image_resolution_set(record, x_pels_per_meter, 1, y_pels_per_meter, 1,
                                kUnitsPelsPerMeter);
  if (code != 0) {
    RPb_iRX_image_delete(record);
    return code;
  }
  *data->image_out = handle_of(record);
  return 0;
}

bool load_status_continue(LOAD_CB_DATA* data, int32_t dib_row, int32_t height) {
  if (data->status_fn == nullptr || data->status_fn(data->status_data, dib_row, height) != 0)
    return true;
  RX_ERR(RXE_INTERRUPTED_BY_USER, dib_row, height);
  load_scratch_free(data);
  return false;
}

uint8_t* load_run_scratch(LOAD_CB_DATA* data, uint32_t width) {
  if (data->run_scratch != nullptr) return data->run_scratch;
  const uint32_t bytes = run_row_max_bytes(width);
  data->run_scratch = static_cast<uint8_t*>(RPb_AF_mem_alloc(data->tag, bytes));
  if (data->run_scratch == nullptr) RX_ERR(RXE_MEMORY_ALLOC_FAILED, bytes, 0);
  return data->run_scratch;
}

int32_t load_packed_runs_store(LOAD_CB_DATA* data, IMAGE_REC* record, int32_t dib_row,
                               const uint8_t* packed) {
  const auto width = static_cast<uint32_t>(dib_header(record->dib)->biWidth);
  uint8_t* scratch = load_run_scratch(data, width);
  if (scratch == nullptr) return RXE_MEMORY_ALLOC_FAILED;
  const uint32_t length = run_row_encode(packed, width, scratch);
  const int32_t code = runs_row_store(record, dib_row, scratch, length);
  if (code == 0) data->run_offset += length;
  return code;
}

void load_scratch_free(LOAD_CB_DATA* data) {
  if (data->tag != 0) RPb_AF_mem_free_all(data->tag);
  data->scratch = nullptr;
  data->run_scratch = nullptr;
}

// ---- Rows in place ----------------------------------------------------------------

namespace {

// Only the plain store would see the rows: the reader may write them
// itself. The image must be the height and row size the reader makes.
bool direct_rows_grant(IO_REC* io, int32_t height, uint32_t row_bytes, DirectRows* rows) {
  if (io->raster_set != load_raster_set) return false;  // converting or progressive
  LOAD_CB_DATA* data = data_in(io, RX_CBD_RASTER_SET);
  if (data == nullptr || data->status_fn != nullptr || data->conversion_mode != 0 ||
      data->crop_on != 0 || data->resize_on != 0 || data->runs_convert != 0 ||
      data->rows_received != 0)
    return false;
  IMAGE_REC* record = load_image(data);
  if (record == nullptr || dib_is_runs(record->dib)) return false;
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  const uint32_t stride = dib_stride_of(h);
  if (h->biHeight != height || height <= 0 || stride != row_bytes) return false;
  *rows = DirectRows::bottom_up(dib_pixels(record->dib), stride, height);
  data->rows_received = height;
  return true;
}

}  // namespace

// ---- The default callbacks ------------------------------------------------------

int32_t load_dib_create(IO_REC* io, const RX_BITMAPINFOHEADER* header,
                        const RX_RGBQUAD* palette) {
  LOAD_CB_DATA* data = data_in(io, RX_CBD_DIB_CREATE);
  return data != nullptr ? create_from(data, header, palette) : no_load(0);
}

int32_t load_raster_set(IO_REC* io, const uint8_t* row, int32_t row_index, int32_t byte_count) {
  LOAD_CB_DATA* data = data_in(io, RX_CBD_RASTER_SET);
  return data != nullptr ? raster_set_from(data, row, row_index, byte_count) : no_load(row_index);
}

int32_t load_raster_plane_set(IO_REC* io, const uint8_t* row, int32_t row_index,
                              int32_t byte_count, int32_t plane) {
  LOAD_CB_DATA* data = data_in(io, RX_CBD_RASTER_SET);
  if (data == nullptr) return no_load(row_index);
  int32_t dib_row = 0;
  IMAGE_REC* record = row_target(data, row, row_index, &dib_row);
  if (record == nullptr) return failed();
  // Four planes make a 4-bit pixel; a larger plane number names no bit.
  if (plane < 0 || plane > 3) {
    RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, plane, 3);
    return failed();
  }
  record = status_then_target(data, record, dib_row);
  if (record == nullptr) return failed();
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  const uint32_t stride = dib_stride_of(h);
  if (h->biBitCount != 4) {
    RX_ERR(RXE_NOT_IMPLEMENTED, h->biBitCount, plane);
  } else if (byte_count < 0 || static_cast<uint32_t>(byte_count) > stride) {
    RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, byte_count, stride);
  } else {
    uint8_t* out = dib_pixels(record->dib) + size_t{stride} * dib_row;
    const uint8_t mask = plane_mask(plane);
    for (int32_t i = 0; i < byte_count; ++i) out[i] |= static_cast<uint8_t>(row[i] & mask);
  }
  return failed();
}

int32_t load_attribute_set(IO_REC* io, int32_t id, uintptr_t value) {
  if (io == nullptr) return 0;
  const auto* image_out = reinterpret_cast<const RX_HIMAGE*>(io->cb_data[RX_CBD_ATTRIBUTE_SET]);
  if (image_out == nullptr || !RPb_iRX_image_is_valid(*image_out)) return 0;
  IMAGE_REC* record = record_of(*image_out);
  if (record->dib == nullptr) return 0;
  DISPLAY_ATTR& d = record->display;
  const auto word = static_cast<uint32_t>(value);
  switch (id) {
    case RX_ATTR_PAIR:
      if (value == 0) return 0;
      std::memcpy(d.attr_pair, reinterpret_cast<const void*>(value), sizeof d.attr_pair);
      d.attr_pair_set = 1;
      return 1;
    case RX_ATTR_WORD2: d.attr_word2 = static_cast<int32_t>(word); return 1;
    case RX_ATTR_WORD3: d.attr_word3 = static_cast<int32_t>(word); return 1;
    case RX_ATTR_RESOLUTION: return resolution_attribute(record, value);
    case RX_ATTR_ORIENTATION: record->orientation = static_cast<int32_t>(word); return 1;
    case RX_ATTR_RED_MASK:
    case RX_ATTR_GREEN_MASK:
    case RX_ATTR_BLUE_MASK:
    case RX_ATTR_GRAY_MASKS: return mask_attribute(record, id, word);
    case RX_ATTR_INFO_TYPE: RPb_image_info_type_set(record, word); return 0;
    case RX_ATTR_INFO_TAG: RPb_image_info_mem_tag_set(record, word); return 0;
    case RX_ATTR_INFO: RPb_image_info_set(record, reinterpret_cast<void*>(value)); return 0;
    case RX_ATTR_TRANSPARENT_COLOR: return transparent_color_set(d, word);
    default: return 0;
  }
}

void load_callbacks_install(IO_REC* io) {
  io->dib_create = load_dib_create;
  io->raster_set = load_raster_set;
  io->raster_plane_set = load_raster_plane_set;
  io->alpha_create = alpha_create;
  io->alpha_raster_set = alpha_raster_set;
  io->attribute_set = load_attribute_set;
  io_direct_rows_install(direct_rows_grant);
}

}  // namespace rx

using namespace rx;

extern "C" int32_t RPb_RPr_load_CB_data_init(IO_REC* io, LOAD_CB_DATA* data,
                                             RX_HIMAGE* image_out) {
  if (io == nullptr || data == nullptr || image_out == nullptr) {
    RX_ERR(RXE_INVALID_POINTER, 0, 0);
    return RPb_AF_error_check();
  }
  std::memset(data, 0, sizeof *data);
  data->image_out = image_out;
  *image_out = 0;
  RPb_status_callback_get(&data->status_fn, &data->status_data);
  data->tag = RPb_AF_mem_unique_tag_get();
  io->cb_data[RX_CBD_DIB_CREATE] = reinterpret_cast<uintptr_t>(data);
  io->cb_data[RX_CBD_RASTER_SET] = reinterpret_cast<uintptr_t>(data);
  io->cb_data[RX_CBD_ATTRIBUTE_SET] = reinterpret_cast<uintptr_t>(image_out);
  io->cb_data[RX_CBD_ALPHA_CREATE] = 0;
  io->cb_data[RX_CBD_ALPHA_RASTER_SET] = 0;
  const LoadOptions o = load_options_get();
  if (o.conversion_mode == 0 && !o.crop_on && !o.resize_on) return RPb_AF_error_check();
  data->conversion_mode = o.conversion_mode;
  data->crop_left = o.crop_left;
  data->crop_top = o.crop_top;
  data->crop_width = o.crop_width;
  data->crop_height = o.crop_height;
  data->crop_on = o.crop_on ? 1 : 0;
  data->resize_width = o.resize_width;
  data->resize_height = o.resize_height;
  data->resize_on = o.resize_on ? 1 : 0;
  io->dib_create = load_dib_create_convert;
  io->raster_set = load_raster_set_convert;
  return RPb_AF_error_check();
}

extern "C" void RPb_RPr_load_CB_data_free(LOAD_CB_DATA* data) {
  if (data != nullptr) load_scratch_free(data);
}
