// The image callbacks as filters call them: readers build the image and
// writers fetch it only through these, so an application or an extension
// can put its own functions in the stream record. A missing function is
// an error, except for attributes, which a record may simply not keep.
#include "IO/io_callback_status.h"
#include "SUPPORT/error.h"
#include "rastrix/rpb.h"

RX_SOURCE("source\\IO\\io_callbacks.cpp");

namespace {

int32_t not_installed() {
  RX_ERR(RXE_NOT_IMPLEMENTED, 0, 0);
  return rx::error_count();
}

}  // namespace

namespace rx {

int32_t io_callback_status(int32_t result) {
  if (result == 0) return 0;
  if (error_count() == 0) RX_ERR(RXE_FAILURE, result, 0);
  return result;
}

}  // namespace rx

extern "C" int32_t RPb_IO_DIB_create(IO_REC* io, const RX_BITMAPINFOHEADER* header,
                                     const RX_RGBQUAD* palette) {
  if (io == nullptr || io->dib_create == nullptr) return not_installed();
  return io->dib_create(io, header, palette);
}

extern "C" int32_t RPb_IO_raster_set(IO_REC* io, const uint8_t* row, int32_t row_index,
                                     int32_t byte_count) {
  if (io == nullptr || io->raster_set == nullptr) return not_installed();
  return io->raster_set(io, row, row_index, byte_count);
}

extern "C" int32_t RPb_IO_raster_plane_set(IO_REC* io, const uint8_t* row, int32_t row_index,
                                           int32_t byte_count, int32_t plane) {
  if (io == nullptr || io->raster_plane_set == nullptr) return not_installed();
  return io->raster_plane_set(io, row, row_index, byte_count, plane);
}

extern "C" int32_t RPb_IO_alpha_create(IO_REC* io, const RX_BITMAPINFOHEADER* header,
                                       const RX_RGBQUAD* palette) {
  if (io == nullptr || io->alpha_create == nullptr) return not_installed();
  return io->alpha_create(io, header, palette);
}

extern "C" int32_t RPb_IO_alpha_raster_set(IO_REC* io, const uint8_t* row, int32_t row_index,
                                           int32_t byte_count) {
  if (io == nullptr || io->alpha_raster_set == nullptr) return not_installed();
  return io->alpha_raster_set(io, row, row_index, byte_count);
}

extern "C" int32_t RPb_IO_attribute_set(IO_REC* io, int32_t id, uintptr_t value) {
  if (io == nullptr || io->attribute_set == nullptr) return 0;
  return io->attribute_set(io, id, value);
}

extern "C" int32_t RPb_IO_DIB_get(IO_REC* io, RX_BITMAPINFOHEADER* header, RX_RGBQUAD* palette) {
  if (io == nullptr || io->dib_get == nullptr) return not_installed();
  return io->dib_get(io, header, palette);
}

extern "C" int32_t RPb_IO_raster_get(IO_REC* io, uint8_t* row, int32_t row_index,
                                     int32_t byte_count) {
  if (io == nullptr || io->raster_get == nullptr) return not_installed();
  return io->raster_get(io, row, row_index, byte_count);
}

extern "C" int32_t RPb_IO_alpha_get(IO_REC* io, RX_BITMAPINFOHEADER* header,
                                    RX_RGBQUAD* palette) {
  if (io == nullptr || io->alpha_get == nullptr) return not_installed();
  return io->alpha_get(io, header, palette);
}

extern "C" int32_t RPb_IO_alpha_raster_get(IO_REC* io, uint8_t* row, int32_t row_index,
                                           int32_t byte_count) {
  if (io == nullptr || io->alpha_raster_get == nullptr) return not_installed();
  return io->alpha_raster_get(io, row, row_index, byte_count);
}

extern "C" int32_t RPb_IO_attribute_get(IO_REC* io, int32_t id, void* value) {
  if (io == nullptr || io->attribute_get == nullptr) return 0;
  return io->attribute_get(io, id, value);
}
