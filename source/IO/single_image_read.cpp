// The single-image readers' frame and their buffered row loop.
#include "IO/single_image_read.h"

#include <algorithm>
#include <cstring>

#include "IO/io_callback_status.h"
#include "SUPPORT/error.h"
#include "SUPPORT/limits.h"
#include "SUPPORT/mem_tag.h"
#include "rastrix/rpb.h"

RX_SOURCE("source\\IO\\single_image_read.cpp");

namespace rx {
namespace {

// The read buffer of the buffered rows: five rows, within these bounds.
inline constexpr int32_t kInputMinBytes = 4096;
inline constexpr int32_t kInputMaxBytes = 1 << 22;

}  // namespace

int32_t single_image_load(IO_REC* io, SingleImageReader& reader, uint32_t tag) {
  if (const int32_t code = reader.describe(io, tag)) return code;
  const RX_BITMAPINFOHEADER& dib = reader.dib();
  if (!load_limits_allow(dib.biWidth, dib.biHeight, reader.geometry()))
    return RX_ERR(RXE_LOAD_LIMIT_EXCEEDED, dib.biWidth, dib.biHeight);
  if (const int32_t code = reader.data_check()) return code;
  if (const int32_t code = io_callback_status(RPb_IO_DIB_create(io, &dib, reader.palette())))
    return code;
  return reader.rows_read();
}

int32_t single_image_read(IO_REC* io, SingleImageReader& reader) {
  if (io == nullptr) {
    RX_ERR(RXE_INVALID_POINTER, 0, 0);
    return RPb_AF_error_check();
  }
  const int32_t start = RPb_IO_tell(io);
  TagGuard scratch;
  return single_image_load(io, reader, scratch.tag()) != 0 ? read_failed(io, start) : 0;
}

int32_t read_failed(IO_REC* io, int32_t start) {
  RPb_IO_seek(io, start, RX_SEEK_SET);
  return RPb_AF_error_check();
}

int32_t row_deliver(IO_REC* io, const uint8_t* row, int32_t y, uint32_t stride) {
  return io_callback_status(RPb_IO_raster_set(io, row, y, static_cast<int32_t>(stride)));
}

int32_t buffered_rows_read(IO_REC* io, uint32_t tag, const BufferedRows& b) {
  const uint32_t n = b.line_bytes;
  auto* line = static_cast<uint8_t*>(RPb_AF_mem_alloc(tag, n));
  auto* row = static_cast<uint8_t*>(RPb_AF_mem_alloc(tag, b.stride));
  if (line == nullptr || row == nullptr) return RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, n, tag);
  std::memset(row, 0, b.stride);
  const auto buffer_bytes = static_cast<int32_t>(
      std::max<uint64_t>(std::clamp<uint64_t>(uint64_t{5} * n, kInputMinBytes, kInputMaxBytes), n));
  IO_BUFFER in{};
  if (io_buffer_open(io, tag, &in, buffer_bytes, kIoBufferRead) != 0)
    return RXE_GLOBAL_MEMORY_DEPLETED;
  in.end = std::min(in.end, b.data_end);
  int32_t code = 0;
  for (int32_t y = 0; y < b.rows && code == 0; ++y) {
    const uint8_t* got = b.line(&in, line);
    if (got == nullptr) {
      code = RX_ERR(RXE_CANT_READ_PIXEL_DATA, y, n);
      break;
    }
    b.convert(got, row);
    code = row_deliver(io, row, b.place ? b.place(y) : y, b.stride);
  }
  io_buffer_close(&in);
  return code;
}

}  // namespace rx
