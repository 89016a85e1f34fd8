// The engine's answers to a writer: the image header and palette, rows
// counted from the top, and the attributes a reader left on the image.
// Every request is checked against the image as it is at that moment: the
// status callback runs between rows and may change or even delete it.
#include "SAVE/dfltsvcb.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "IO/io_direct_rows.h"
#include "SUPPORT/dib.h"
#include "SUPPORT/error.h"
#include "SUPPORT/image_api.h"
#include "SUPPORT/runs.h"

RX_SOURCE("source\\SAVE\\dfltsvcb.cpp");

namespace rx {
namespace {

// The callback data in a slot. The alpha slots stay empty in a save, so an
// alpha request ends here instead of receiving the colour image.
SAVE_CB_DATA* data_of(IO_REC* io, int32_t slot) {
  auto* data = io != nullptr ? reinterpret_cast<SAVE_CB_DATA*>(io->cb_data[slot]) : nullptr;
  if (data == nullptr) RX_ERR(RXE_NOT_IMPLEMENTED, slot, 0);
  return data;
}

bool image_live(const SAVE_CB_DATA* data) {
  if (RPb_iRX_image_is_valid(handle_of(data->image))) return true;
  RX_ERR(RXE_INVALID_HANDLE, 0, 0);
  return false;
}

bool has_rect(const SAVE_CB_DATA* data) { return data->row_buffer != nullptr; }

// A rectangle chosen at the start of the save must still lie inside the
// image, and its row must still fit the buffer taken for it.
bool rect_fits(const SAVE_CB_DATA* data, const RX_BITMAPINFOHEADER* h) {
  if (data->right < h->biWidth && data->bottom < h->biHeight &&
      dib_stride_of(h) <= data->row_bytes)
    return true;
  RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, data->right, data->bottom);
  return false;
}

int32_t rows_of(const SAVE_CB_DATA* data, const RX_BITMAPINFOHEADER* h) {
  return has_rect(data) ? data->bottom - data->top + 1 : h->biHeight;
}

// The image header for a row request, or null once the reason is pushed.
const RX_BITMAPINFOHEADER* row_header(const SAVE_CB_DATA* data, const uint8_t* row,
                                      int32_t row_index, int32_t count) {
  if (row == nullptr) {
    RX_ERR(RXE_INVALID_POINTER, 0, 0);
    return nullptr;
  }
  const RX_BITMAPINFOHEADER* h = image_live(data) ? image_header(data->image) : nullptr;
  if (h == nullptr || (has_rect(data) && !rect_fits(data, h))) return nullptr;
  if (row_index >= 0 && row_index < rows_of(data, h) && count >= 0) return h;
  RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, row_index, count);
  return nullptr;
}

bool status_ok(const SAVE_CB_DATA* data, int32_t dib_row, int32_t height) {
  if (data->status_fn == nullptr || data->status_fn(data->status_data, dib_row, height) != 0)
    return true;
  RX_ERR(RXE_INTERRUPTED_BY_USER, dib_row, height);
  return false;
}

// Copies `have` bytes of a row and zeroes the rest of the `count` asked for,
// so a writer asking past the row never reads memory beyond it.
void row_put(const uint8_t* src, uint32_t have, uint8_t* out, int32_t count) {
  const auto n = static_cast<uint32_t>(count);
  const uint32_t take = std::min(n, have);
  std::memcpy(out, src, take);
  std::memset(out + take, 0, n - take);
}

// Moves `count` pixels from column `first` of a packed row of `stride`
// bytes to the start of `out`, zeroing out up to the span's own stride.
// `out` may be `src`: every byte is read before it is overwritten.
void span_extract(const uint8_t* src, uint32_t stride, uint32_t bits, uint32_t first,
                  uint32_t count, uint8_t* out) {
  const uint64_t bit = uint64_t{first} * bits;
  const uint64_t nbits = uint64_t{count} * bits;
  const auto bytes = static_cast<uint32_t>((nbits + 7) / 8);
  const uint8_t* from = src + (bit >> 3);
  const auto shift = static_cast<uint32_t>(bit & 7);
  if (shift == 0) {
    std::memmove(out, from, bytes);
  } else {
    const uint8_t* end = src + stride;
    for (uint32_t j = 0; j < bytes; ++j) {
      const uint32_t low = from + j + 1 < end ? from[j + 1] >> (8 - shift) : 0;
      out[j] = static_cast<uint8_t>((from[j] << shift) | low);
    }
  }
  if (const auto rest = static_cast<uint32_t>(nbits & 7))
    out[bytes - 1] &= static_cast<uint8_t>(0xFFu << (8 - rest));
  const auto span_stride = static_cast<uint32_t>(dib_stride(bits, count));
  std::memset(out + bytes, 0, span_stride - bytes);
}

// ---- DIB get ------------------------------------------------------------------

// The header as a writer sees it: run rows are delivered as plain 1-bit
// rows, and the size field matches the rows delivered.
void header_report(const RX_BITMAPINFOHEADER* h, int32_t width, int32_t height,
                   RX_BITMAPINFOHEADER* out) {
  *out = *h;
  out->biWidth = width;
  out->biHeight = height;
  if (out->biCompression == RX_BI_RUNS) out->biCompression = RX_BI_RGB;
  out->biSizeImage =
      static_cast<uint32_t>(dib_stride(h->biBitCount, static_cast<uint32_t>(width)) *
                            static_cast<uint32_t>(height));
}

void palette_report(IMAGE_REC* record, const RX_BITMAPINFOHEADER* h, RX_RGBQUAD* out) {
  if (out == nullptr || h->biBitCount > 8) return;
  std::memcpy(out, dib_palette(record->dib), (size_t{1} << h->biBitCount) * sizeof(RX_RGBQUAD));
}

int32_t dib_get(SAVE_CB_DATA* data, RX_BITMAPINFOHEADER* header, RX_RGBQUAD* palette) {
  if (header == nullptr) {
    RX_ERR(RXE_INVALID_POINTER, 0, 0);
    return RPb_AF_error_check();
  }
  if (!image_live(data)) return RPb_AF_error_check();
  IMAGE_REC* record = data->image;
  if (!record_lock(record)) {
    RX_ERR(RXE_MEMORY_LOCK_FAILED, 0, 0);
    return RPb_AF_error_check();
  }
  const RX_BITMAPINFOHEADER* h = image_header(record);
  if (h != nullptr && (!has_rect(data) || rect_fits(data, h))) {
    const int32_t width = has_rect(data) ? data->right - data->left + 1 : h->biWidth;
    header_report(h, width, rows_of(data, h), header);
    palette_report(record, h, palette);
  }
  record_unlock(record);
  return RPb_AF_error_check();
}

// ---- Raster get ---------------------------------------------------------------

int32_t raster_get(SAVE_CB_DATA* data, uint8_t* out, int32_t row_index, int32_t count) {
  const RX_BITMAPINFOHEADER* h = row_header(data, out, row_index, count);
  if (h == nullptr) return RPb_AF_error_check();
  // Only a checked row index is moved into the rectangle: a writer's
  // arbitrary index plus the rectangle's top could overflow.
  const int32_t image_row = row_index + (has_rect(data) ? data->top : 0);
  // The whole image reports its DIB rows; a rectangle its image rows.
  const int32_t reported = has_rect(data) ? image_row : h->biHeight - 1 - image_row;
  if (!status_ok(data, reported, h->biHeight)) return RPb_AF_error_check();
  // The status callback may have changed the image: look again.
  h = row_header(data, out, row_index, count);
  if (h == nullptr) return RPb_AF_error_check();
  IMAGE_REC* record = data->image;
  if (has_rect(data)) {
    const uint8_t* src = image_row_packed(record, image_row, data->row_buffer, data->row_bytes);
    if (src == nullptr) return RPb_AF_error_check();
    const auto width = static_cast<uint32_t>(data->right - data->left + 1);
    span_extract(src, dib_stride_of(h), h->biBitCount, static_cast<uint32_t>(data->left), width,
                 data->row_buffer);
    row_put(data->row_buffer, static_cast<uint32_t>(dib_stride(h->biBitCount, width)), out, count);
  } else {
    std::array<uint8_t, kMaxRunsStride> scratch;
    const uint8_t* src = image_row_packed(record, image_row, scratch.data(), kMaxRunsStride);
    if (src != nullptr) row_put(src, dib_stride_of(h), out, count);
  }
  return RPb_AF_error_check();
}

// ---- Attribute get ------------------------------------------------------------

void put32(void* out, int32_t v) { std::memcpy(out, &v, sizeof v); }

// Mask `index` (red, green, blue) of a DIB with the given compression.
int32_t mask_get(IMAGE_REC* record, uint32_t compression, uint32_t index, void* out) {
  const void* dib = record->dib;
  if (dib == nullptr || dib_header(dib)->biCompression != compression) return 0;
  std::memcpy(out, dib_masks(dib) + 4 * index, 4);
  return 1;
}

int32_t attribute_of(IMAGE_REC* record, int32_t id, void* out) {
  switch (id) {
    case RX_ATTR_PAIR:
      std::memcpy(out, record->display.attr_pair, sizeof record->display.attr_pair);
      return record->display.attr_pair_set != 0 ? 1 : 0;
    case RX_ATTR_WORD2: put32(out, record->display.attr_word2); return 1;
    case RX_ATTR_WORD3: put32(out, record->display.attr_word3); return 1;
    case RX_ATTR_RESOLUTION: {
      const int32_t res[5] = {record->x_res[0], record->x_res[1], record->y_res[0],
                              record->y_res[1], record->res_units};
      std::memcpy(out, res, sizeof res);
      return 1;
    }
    case RX_ATTR_ORIENTATION: put32(out, record->orientation); return 1;
    case RX_ATTR_RED_MASK: case RX_ATTR_GREEN_MASK: case RX_ATTR_BLUE_MASK:
      return mask_get(record, RX_BI_BITFIELDS, static_cast<uint32_t>(id - RX_ATTR_RED_MASK), out);
    case RX_ATTR_GRAY_MASKS: return mask_get(record, RX_BI_GRAY16, 2, out);
    case RX_ATTR_INFO_TYPE: put32(out, static_cast<int32_t>(record->info_type)); return 0;
    case RX_ATTR_INFO_TAG: put32(out, static_cast<int32_t>(record->info_tag)); return 0;
    case RX_ATTR_INFO: std::memcpy(out, &record->info, sizeof record->info); return 0;
    case RX_ATTR_TRANSPARENT_COLOR: {
      const uint8_t* c = record->display.transparent_color;
      put32(out, c[0] | c[1] << 8 | c[2] << 16);
      return record->display.transparent_on != 0 ? 1 : 0;
    }
    default: return 0;
  }
}

// ---- The callbacks as the stream record holds them -------------------------

int32_t dib_get_default(IO_REC* io, RX_BITMAPINFOHEADER* header, RX_RGBQUAD* palette) {
  SAVE_CB_DATA* data = data_of(io, RX_CBD_DIB_GET);
  return data != nullptr ? dib_get(data, header, palette) : RPb_AF_error_check();
}

int32_t raster_get_default(IO_REC* io, uint8_t* row, int32_t row_index, int32_t count) {
  SAVE_CB_DATA* data = data_of(io, RX_CBD_RASTER_GET);
  return data != nullptr ? raster_get(data, row, row_index, count) : RPb_AF_error_check();
}

int32_t alpha_get_default(IO_REC* io, RX_BITMAPINFOHEADER* header, RX_RGBQUAD* palette) {
  SAVE_CB_DATA* data = data_of(io, RX_CBD_ALPHA_GET);
  return data != nullptr ? dib_get(data, header, palette) : RPb_AF_error_check();
}

int32_t alpha_raster_get_default(IO_REC* io, uint8_t* row, int32_t row_index, int32_t count) {
  SAVE_CB_DATA* data = data_of(io, RX_CBD_ALPHA_RASTER_GET);
  return data != nullptr ? raster_get(data, row, row_index, count) : RPb_AF_error_check();
}

int32_t attribute_get_default(IO_REC* io, int32_t id, void* value) {
  auto* record = reinterpret_cast<IMAGE_REC*>(io->cb_data[RX_CBD_ATTRIBUTE_GET]);
  if (value == nullptr || !RPb_iRX_image_is_valid(handle_of(record))) return 0;
  return attribute_of(record, id, value);
}

// ---- Save preparation ---------------------------------------------------------

// The image rectangle brought inside the image, so that a rectangle stored
// before the image changed size cannot lead outside it.
void rect_clamped(const IMAGE_REC* record, const RX_BITMAPINFOHEADER* h, SAVE_CB_DATA* data) {
  const int32_t* r = record->display.image_rect;
  data->left = std::clamp(r[0], 0, h->biWidth - 1);
  data->top = std::clamp(r[1], 0, h->biHeight - 1);
  data->right = std::clamp(r[2], data->left, h->biWidth - 1);
  data->bottom = std::clamp(r[3], data->top, h->biHeight - 1);
}

bool rect_is_whole(const SAVE_CB_DATA* data, const RX_BITMAPINFOHEADER* h) {
  return data->left == 0 && data->top == 0 && data->right == h->biWidth - 1 &&
         data->bottom == h->biHeight - 1;
}

// A whole plain image, no status callback: the writer may read the rows
// where they are. The image is locked for the save once the writer has its
// header, and nothing else runs on the caller's thread meanwhile.
bool source_rows_grant(IO_REC* io, int32_t height, uint32_t row_bytes, DirectRows* rows) {
  if (io->raster_get != raster_get_default) return false;
  auto* data = reinterpret_cast<SAVE_CB_DATA*>(io->cb_data[RX_CBD_RASTER_GET]);
  if (data == nullptr || has_rect(data) || data->status_fn != nullptr ||
      !RPb_iRX_image_is_valid(handle_of(data->image)))
    return false;
  const void* dib = data->image->dib;
  if (dib == nullptr || dib_is_runs(dib)) return false;
  const RX_BITMAPINFOHEADER* h = dib_header(dib);
  const uint32_t stride = dib_stride_of(h);
  if (h->biHeight != height || height <= 0 || stride != row_bytes) return false;
  *rows = DirectRows::bottom_up(dib_pixels(data->image->dib), stride, height);
  return true;
}

}  // namespace

void save_callbacks_install(IO_REC* io) {
  io->dib_get = dib_get_default;
  io->raster_get = raster_get_default;
  io->alpha_get = alpha_get_default;
  io->alpha_raster_get = alpha_raster_get_default;
  io->attribute_get = attribute_get_default;
  io_source_rows_install(source_rows_grant);
}

int32_t save_cb_data_init(IO_REC* io, SAVE_CB_DATA* data, IMAGE_REC* image) {
  *data = SAVE_CB_DATA{};
  data->image = image;
  RPb_status_callback_get(&data->status_fn, &data->status_data);
  io->cb_data[RX_CBD_DIB_GET] = reinterpret_cast<uintptr_t>(data);
  io->cb_data[RX_CBD_RASTER_GET] = reinterpret_cast<uintptr_t>(data);
  io->cb_data[RX_CBD_ALPHA_GET] = 0;
  io->cb_data[RX_CBD_ALPHA_RASTER_GET] = 0;
  io->cb_data[RX_CBD_ATTRIBUTE_GET] = handle_of(image);
  const RX_BITMAPINFOHEADER* h = image_header(image);
  if (h == nullptr) return RXE_DIB_POINTER_NULL;
  rect_clamped(image, h, data);
  if (rect_is_whole(data, h)) return 0;
  const uint32_t bytes = dib_stride_of(h);
  data->tag = RPb_AF_mem_unique_tag_get();
  data->row_buffer = static_cast<uint8_t*>(RPb_AF_mem_alloc(data->tag, bytes));
  if (data->row_buffer == nullptr) return RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, bytes, data->tag);
  data->row_bytes = bytes;
  return 0;
}

void save_cb_data_free(SAVE_CB_DATA* data) {
  if (data->tag != 0) RPb_AF_mem_free_all(data->tag);
  data->tag = 0;
  data->row_buffer = nullptr;
  data->row_bytes = 0;
}

}  // namespace rx
