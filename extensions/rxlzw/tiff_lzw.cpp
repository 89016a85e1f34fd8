// TIFF strips: the decoder and encoder entry points of codec item 8.
#include "tiff_lzw.h"

#include <algorithm>
#include <new>

#include "ext_error.h"
#include "lzw.h"

RXLZW_SOURCE("extensions\\rxlzw\\tiff_lzw.cpp");

namespace rxlzw {
namespace {

uint8_t reversed(uint8_t b) {
  b = static_cast<uint8_t>((b & 0xF0) >> 4 | (b & 0x0F) << 4);
  b = static_cast<uint8_t>((b & 0xCC) >> 2 | (b & 0x33) << 2);
  return static_cast<uint8_t>((b & 0xAA) >> 1 | (b & 0x55) << 1);
}

// The bytes the stream still holds after its position (a strip's byte
// count from the file is trusted no further than that).
int32_t bytes_left(IO_REC* io) {
  const int32_t here = RPb_IO_tell(io);
  const int32_t end = RPb_IO_seek(io, 0, RX_SEEK_END);
  RPb_IO_seek(io, here, RX_SEEK_SET);
  return here >= 0 && end >= here ? end - here : 0;
}

bool io_sink(void* user, const uint8_t* bytes, size_t n) {
  const auto count = static_cast<int32_t>(n);
  return RPb_IO_write(static_cast<IO_REC*>(user), bytes, count) == count;
}

}  // namespace

int32_t tiff_lzw_decode(IO_REC* io, uint8_t* buffer, int32_t buffer_size, uint32_t,
                        const RX_BITMAPINFOHEADER*, int32_t, int32_t, int32_t,
                        const RX_CODEC_STRIP* strip, void*) {
  if (io == nullptr || buffer == nullptr || strip == nullptr || strip->rows < 0 ||
      strip->row_bytes < 0 || strip->strip_bytes < 0 ||
      int64_t{strip->rows} * strip->row_bytes > buffer_size) {
    RXLZW_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, buffer_size, strip != nullptr ? strip->rows : -1);
    return RPb_AF_error_check();
  }
  const size_t wanted = static_cast<size_t>(strip->rows) * static_cast<size_t>(strip->row_bytes);
  const int32_t coded = std::min(strip->strip_bytes, bytes_left(io));
  Pool pool;
  auto* data = static_cast<uint8_t*>(pool.alloc(static_cast<size_t>(coded) + 1));
  void* room = pool.alloc(sizeof(LzwDecoder));
  if (data == nullptr || room == nullptr) {
    RXLZW_ERR(RXE_MEMORY_ALLOC_FAILED, coded, 0);
    return RPb_AF_error_check();
  }
  if (RPb_IO_read(io, data, coded) != coded) {
    RXLZW_ERR(RXE_TIFF_IMAGE_DATA_READ_ERROR, coded, 0);
    return RPb_AF_error_check();
  }
  if (strip->fill_order == 2)
    for (int32_t i = 0; i < coded; ++i) data[i] = reversed(data[i]);
  const bool old_kind = coded >= 2 && data[0] == 0 && (data[1] & 1) != 0;
  auto* decoder = new (room) LzwDecoder;
  decoder->reset(old_kind ? kTiffOldLzw : kTiffLzw, data, static_cast<size_t>(coded));
  const size_t got = decoder->read(buffer, wanted);
  if (got < wanted) {
    // A strip that stops short, or holds a code that names no string, is
    // refused rather than shown with made-up rows.
    const int32_t row_bytes = strip->row_bytes > 0 ? strip->row_bytes : 1;
    RXLZW_ERR(RXE_TIFF_LZW_ERROR, static_cast<int32_t>(got / static_cast<size_t>(row_bytes)),
              strip->rows);
  }
  return RPb_AF_error_check();
}

int32_t tiff_lzw_encode(IO_REC* io, uint32_t, const uint8_t* buffer, int32_t* byte_count) {
  if (io == nullptr || byte_count == nullptr || *byte_count < 0 ||
      (buffer == nullptr && *byte_count > 0)) {
    RXLZW_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, byte_count != nullptr ? *byte_count : -1, 0);
    return RPb_AF_error_check();
  }
  // One encoder a thread, kept from strip to strip: the writer sends a
  // whole image in strips of a few kilobytes, and a fresh table each time
  // would cost more than coding the strip.
  static thread_local LzwEncoder kept;
  LzwEncoder* encoder = &kept;
  encoder->reset(kTiffLzw, io_sink, io, LzwEncoder::kLongestPiece);
  const bool ok = encoder->write(buffer, static_cast<size_t>(*byte_count)) && encoder->finish();
  if (!ok) {
    RXLZW_ERR(RXE_TIFF_IMAGE_DATA_WRITE_ERROR, *byte_count, 0);
    return RPb_AF_error_check();
  }
  *byte_count = static_cast<int32_t>(encoder->bytes_out());
  return 0;
}

}  // namespace rxlzw
