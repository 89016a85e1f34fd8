// The BMP reader's decoders for uncompressed data: plain rows, 16-bit rows
// widened to 24 bits, and the engine's own run rows.
#include <algorithm>

#include "IO/io_callback_status.h"
#include "IO/io_direct_rows.h"
#include "SUPPORT/error.h"
#include "SUPPORT/runs.h"
#include "filters/bmp/bmp_format.h"
#include "IO/iobuffer.h"
#include "rastrix/rpb.h"

RX_SOURCE("source\\filters\\bmp\\bmp_rows.cpp");

namespace rx {
namespace {

uint8_t* scratch_alloc(const BMP_READ* r, uint64_t bytes) {
  auto* p = static_cast<uint8_t*>(RPb_AF_mem_alloc(r->tag, static_cast<size_t>(bytes)));
  if (p == nullptr)
    RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, static_cast<int32_t>(std::min<uint64_t>(bytes, 0x7FFFFFFF)),
           r->tag);
  return p;
}

// Five bits of each component, blue lowest; the top bit is unused.
void rgb16_widen(const uint8_t* in, uint32_t width, uint8_t* out) {
  for (uint32_t x = 0; x < width; ++x, in += 2, out += 3) {
    const uint32_t v = bmp_u16(in);
    out[0] = static_cast<uint8_t>((v & 0x1F) << 3);
    out[1] = static_cast<uint8_t>(((v >> 5) & 0x1F) << 3);
    out[2] = static_cast<uint8_t>(((v >> 10) & 0x1F) << 3);
  }
}

// Bottom-up rows lie in the image as they lie in the file: read straight
// into it, in the chunks the row-by-row path reads, so that the stream
// sees the same reads.
int32_t rows_in_place_read(BMP_READ* r, const DirectRows& rows) {
  const uint32_t stride = r->geometry.stride;
  const int32_t height = r->dib.biHeight;
  const uint32_t per_chunk = bmp_rows_per_chunk(stride, height);
  // Pages are readied a megabyte ahead, not all at once: a file shorter
  // than its header says costs only the memory its data reached.
  const auto per_span = static_cast<int32_t>(std::max<uint32_t>(per_chunk, (uint32_t{1} << 20) / stride));
  int32_t ready = 0;  // file rows whose memory is readied
  for (int32_t row = 0; row < height;) {
    const auto n = static_cast<int32_t>(std::min<int64_t>(per_chunk, height - row));
    const auto want = static_cast<int32_t>(int64_t{n} * stride);
    if (row + n > ready) {
      const auto span = static_cast<int32_t>(std::min<int64_t>(per_span, height - row));
      // File rows row .. row + span - 1; the last of them is the lowest in memory.
      io_direct_rows_prepare(rows, bmp_row_index(r, row + span - 1), span);
      ready = row + span;
    }
    const int32_t got = RPb_IO_read(r->io, rows.row(bmp_row_index(r, row)), want);
    if (got != want) return RX_ERR(RXE_CANT_READ_PIXEL_DATA, got, want);
    row += n;
  }
  return 0;
}

}  // namespace

int32_t bmp_plain_rows_read(BMP_READ* r) {
  const uint32_t stride = r->geometry.stride;
  const int32_t height = r->dib.biHeight;
  DirectRows image_rows{};
  if (r->top_down == 0 && io_direct_rows(r->io, height, stride, &image_rows))
    return rows_in_place_read(r, image_rows);
  const uint32_t per_chunk = bmp_rows_per_chunk(stride, height);
  uint8_t* chunk = scratch_alloc(r, uint64_t{per_chunk} * stride);
  if (chunk == nullptr) return RXE_GLOBAL_MEMORY_DEPLETED;
  for (int32_t row = 0; row < height;) {
    const auto n = static_cast<int32_t>(std::min<int64_t>(per_chunk, height - row));
    const auto want = static_cast<int32_t>(int64_t{n} * stride);
    const int32_t got = RPb_IO_read(r->io, chunk, want);
    if (got != want) return RX_ERR(RXE_CANT_READ_PIXEL_DATA, got, want);
    for (int32_t k = 0; k < n; ++k, ++row) {
      if (const int32_t c = io_callback_status(RPb_IO_raster_set(
              r->io, chunk + size_t{stride} * k, bmp_row_index(r, row), static_cast<int32_t>(stride))))
        return c;
    }
  }
  return 0;
}

int32_t bmp_rgb16_rows_read(BMP_READ* r) {
  const uint32_t stride = r->geometry.stride;
  const auto width = static_cast<uint32_t>(r->dib.biWidth);
  const auto file_row = static_cast<int32_t>(dib_stride(16, width));
  uint8_t* out = scratch_alloc(r, stride);
  if (out == nullptr) return RXE_GLOBAL_MEMORY_DEPLETED;
  IO_BUFFER in{};
  if (io_buffer_open(r->io, r->tag, &in, bmp_buffer_bytes(stride, static_cast<uint64_t>(file_row)),
                     kIoBufferRead) != 0)
    return RXE_GLOBAL_MEMORY_DEPLETED;
  std::fill(out, out + stride, uint8_t{0});
  int32_t code = 0;
  for (int32_t row = 0; row < r->dib.biHeight && code == 0; ++row) {
    const uint8_t* p = io_buffer_get(&in, file_row);
    if (p == nullptr) {
      code = RX_ERR(RXE_CANT_READ_PIXEL_DATA, row, file_row);
      break;
    }
    rgb16_widen(p, width, out);
    code = io_callback_status(
        RPb_IO_raster_set(r->io, out, bmp_row_index(r, row), static_cast<int32_t>(stride)));
  }
  io_buffer_close(&in);
  return code;
}

// Run rows lie back to back, top row first. Each is checked here, so the
// engine is only ever handed a well-formed row of at most the longest
// length a row of this width can have; a length field that is odd (an
// old writer's padding) is taken as the even length below it.
int32_t bmp_run_rows_read(BMP_READ* r) {
  const auto width = static_cast<uint32_t>(r->dib.biWidth);
  const uint32_t longest = run_row_max_bytes(width);
  const uint32_t chunk_bytes = kBmpChunkBytes / longest * longest;
  uint8_t* chunk = scratch_alloc(r, chunk_bytes);
  if (chunk == nullptr) return RXE_GLOBAL_MEMORY_DEPLETED;
  uint32_t held = 0;  // bytes in the chunk, from its start
  for (int32_t row = 0; row < r->dib.biHeight;) {
    const int32_t got =
        RPb_IO_read(r->io, chunk + held, static_cast<int32_t>(chunk_bytes - held));
    if (got <= 0) return RX_ERR(RXE_CANT_READ_PIXEL_DATA, row, 0);
    held += static_cast<uint32_t>(got);
    uint32_t at = 0;
    while (row < r->dib.biHeight && held - at >= 2) {
      uint8_t* run_row = chunk + at;
      const uint32_t stated = bmp_u16(run_row);
      const uint32_t length = stated & ~1u;
      if (length < kMinRunRowBytes || length > longest)
        return RX_ERR(RXE_TIFF_DATA_UNEXPECTED, stated, longest);
      if (length > held - at) break;  // the rest of it is still in the file
      bmp_put16(run_row, length);
      if (run_row_check(run_row, length, width) != length)
        return RX_ERR(RXE_TIFF_DATA_UNEXPECTED, stated, longest);
      if (const int32_t c = io_callback_status(
              RPb_IO_raster_set(r->io, run_row, row, static_cast<int32_t>(length))))
        return c;
      ++row;
      at += length;
    }
    std::copy(chunk + at, chunk + held, chunk);
    held -= at;
  }
  return 0;
}

}  // namespace rx
