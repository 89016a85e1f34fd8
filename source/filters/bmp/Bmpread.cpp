// The BMP reader's entry points: detection, information, loading and the
// page count. Loading reads the headers, picks the decoder for the file's
// compression and depth, checks that the file can hold the pixels it
// claims, and only then has the engine build the image.
#include <algorithm>
#include <climits>

#include "IO/io_callback_status.h"
#include "SUPPORT/error.h"
#include "SUPPORT/limits.h"
#include "SUPPORT/mem_tag.h"
#include "filters/bmp/bmp.h"
#include "filters/bmp/bmp_format.h"
#include "rastrix/rpb.h"

RX_SOURCE("source\\filters\\bmp\\Bmpread.cpp");

namespace rx {
namespace {


enum class Decoder { kPlain, kRgb16, kRle8, kRle4, kRunRows };

// Only these combinations of compression and depth have a decoder; read
// any other way the pixels would be noise, so they are refused.
int32_t decoder_choose(const BMP_HEADER& h, Decoder* out) {
  const uint32_t bits = h.bit_count;
  const uint32_t c = h.compression;
  if (h.header_size == kBmpCoreHeaderBytes) {
    // The 12-byte header has no room for the pixel layout that 16-bit
    // rows would need.
    if (bits == 16) return RX_ERR(RXE_INVALID_BITCOUNT_FOR_FORMAT, bits, 0);
    *out = Decoder::kPlain;
    return 0;
  }
  if (c == kBmpPlain) {
    *out = bits == 16 ? Decoder::kRgb16 : Decoder::kPlain;
    return 0;
  }
  // Under the 64-byte header either run-length code means the kind that
  // the depth calls for.
  const bool long_header = h.header_size == kBmpLongHeaderBytes;
  const bool rle = c == kBmpRle8 || c == kBmpRle4;
  if ((c == kBmpRle8 || (long_header && rle)) && bits == 8) *out = Decoder::kRle8;
  else if ((c == kBmpRle4 || (long_header && rle)) && bits == 4) *out = Decoder::kRle4;
  else if (!long_header && c == kBmpRunRows && bits == 1) *out = Decoder::kRunRows;
  else return RX_ERR(RXE_INVALID_COMPRESSION, c, bits);
  if (*out == Decoder::kRunRows && h.width > kMaxRunsWidth)
    return RX_ERR(RXE_INVALID_FILE_HEADER, h.width, kMaxRunsWidth);
  return 0;
}

// The fewest bytes of pixel data the decoder can finish with: whole rows
// for uncompressed files, the shortest run row for run rows. Run-length
// data can end the bitmap in two bytes.
uint64_t data_needed(const BMP_READ& r, Decoder d) {
  const auto height = static_cast<uint64_t>(r.dib.biHeight);
  const auto width = static_cast<uint64_t>(r.dib.biWidth);
  switch (d) {
    case Decoder::kPlain: return uint64_t{r.geometry.stride} * height;
    case Decoder::kRgb16: return dib_stride(16, width) * height;
    case Decoder::kRunRows: return uint64_t{8} * height;
    default: return 2;
  }
}

// A header can claim gigabytes that the file does not hold; finding out
// before the image is allocated costs two seeks.
int32_t data_check(const BMP_READ& r, Decoder d) {
  IO_REC* io = r.io;
  const int32_t here = RPb_IO_tell(io);
  const int32_t end = RPb_IO_seek(io, 0, RX_SEEK_END);
  RPb_IO_seek(io, here, RX_SEEK_SET);
  const int64_t start =
      r.file.data_offset != 0 ? int64_t{r.origin} + r.file.data_offset : int64_t{here};
  const int64_t available = here < 0 || end < 0 ? 0 : std::max<int64_t>(int64_t{end} - start, 0);
  const uint64_t needed = data_needed(r, d);
  if (static_cast<uint64_t>(available) < needed)
    return RX_ERR(RXE_CANT_READ_PIXEL_DATA, available,
                  static_cast<int32_t>(std::min<uint64_t>(needed, 0x7FFFFFFF)));
  return 0;
}

int32_t pixels_read(BMP_READ* r, Decoder d) {
  if (const int32_t c = io_callback_status(RPb_IO_DIB_create(r->io, &r->dib, r->palette))) return c;
  // The data offset counts from the "BM" signature, which is not the start
  // of the stream when the file lies inside a larger one.
  const uint32_t offset = r->file.data_offset;
  const int64_t target = int64_t{r->origin} + offset;
  if (offset != 0 && (target > INT32_MAX || RPb_IO_seek(r->io, static_cast<int32_t>(target),
                                                        RX_SEEK_SET) != target))
    return RX_ERR(RXE_CANT_READ_PIXEL_DATA, 0, offset);
  switch (d) {
    case Decoder::kPlain: return bmp_plain_rows_read(r);
    case Decoder::kRgb16: return bmp_rgb16_rows_read(r);
    case Decoder::kRle8: return bmp_rle_rows_read(r, 8);
    case Decoder::kRle4: return bmp_rle_rows_read(r, 4);
    case Decoder::kRunRows: return bmp_run_rows_read(r);
  }
  return RX_ERR(RXE_INTERNAL_ERROR, static_cast<int32_t>(d), 0);
}

int32_t load(BMP_READ* r, void* flags) {
  int32_t code = bmp_header_read(r);
  if (code == 0) code = bmp_header_translate(r);
  if (code != 0) return code;
  if (!load_limits_allow(r->dib.biWidth, r->dib.biHeight, r->geometry))
    return RX_ERR(RXE_LOAD_LIMIT_EXCEEDED, r->dib.biWidth, r->dib.biHeight);
  if (flags != nullptr && r->top_down) static_cast<BMP_FLAGS*>(flags)->top_down = 1;
  Decoder d = Decoder::kPlain;
  code = decoder_choose(r->file, &d);
  if (code == 0) code = data_check(*r, d);
  return code != 0 ? code : pixels_read(r, d);
}

// Every failure leaves the stream where the caller had it.
int32_t failed(IO_REC* io, int32_t start) {
  RPb_IO_seek(io, start, RX_SEEK_SET);
  return RPb_AF_error_check();
}

}  // namespace

int32_t bmp_info(IO_REC* io, RX_BITMAPINFOHEADER* header, RX_RGBQUAD* palette,
                 int32_t* compression, void* flags, int32_t) {
  if (io == nullptr) {
    RX_ERR(RXE_INVALID_POINTER, 0, 0);
    return RPb_AF_error_check();
  }
  const int32_t start = RPb_IO_tell(io);
  BMP_READ r{};
  r.io = io;
  const int32_t code = bmp_header_read(&r);
  if (code != 0) {
    // The specific entry comes first; the summary names it.
    if (code != RXE_CANT_READ_HEADER) RX_ERR(RXE_CANT_READ_HEADER, code, 0);
    return failed(io, start);
  }
  if (bmp_header_translate(&r) != 0) return failed(io, start);
  if (flags != nullptr && r.top_down) static_cast<BMP_FLAGS*>(flags)->top_down = 1;
  if (header != nullptr) *header = r.dib;
  if (palette != nullptr)
    std::copy(r.palette, r.palette + dib_palette_entries(r.dib.biBitCount, RX_BI_RGB), palette);
  if (compression != nullptr) *compression = r.file.compression != 0 ? RX_COMPRESSION_RLE : RX_COMPRESSION_NONE;
  return 0;
}

int32_t bmp_read(IO_REC* io, void* flags, int32_t, int32_t) {
  if (io == nullptr) {
    RX_ERR(RXE_INVALID_POINTER, 0, 0);
    return RPb_AF_error_check();
  }
  const int32_t start = RPb_IO_tell(io);
  TagGuard scratch;
  BMP_READ r{};
  r.io = io;
  r.origin = start;
  r.tag = scratch.tag();
  return load(&r, flags) != 0 ? failed(io, start) : 0;
}

int32_t bmp_page_count(IO_REC*, void*, int32_t* count) {
  if (count != nullptr) *count = 1;
  return 0;
}

}  // namespace rx
