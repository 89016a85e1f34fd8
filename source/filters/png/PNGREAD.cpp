// The PNG reader's entry points: detection, information, loading and the
// page count. A load reads the header and the palette, checks that the
// file holds enough compressed data for the rows it claims (deflate makes
// at most 1,032 bytes of one), and only then has the engine build the
// image; the IDAT data are then inflated through a 256 KiB window straight
// into the row filters, and rows are delivered as they complete (after
// the last pass for interlaced files, which are decoded into a full-height
// buffer first).
#include <algorithm>
#include <new>

#include "SUPPORT/dib_size.h"
#include "SUPPORT/error.h"
#include "SUPPORT/mem_tag.h"
#include "filters/codecs/crc32.h"
#include "filters/codecs/inflate.h"
#include "filters/png/png.h"
#include "filters/png/png_format.h"
#include "filters/png/png_rows.h"
#include "filters/png/png_samples.h"
#include "rastrix/rpb.h"

RX_SOURCE("source\\filters\\png\\PNGREAD.cpp");

namespace rx {
namespace {

using namespace png;
using codec::InflateStatus;

enum : int32_t { kFromStart = 0, kFromHere = 1 };

// IDAT data are read in pieces of this size.
inline constexpr int32_t kInputBytes = 64 * 1024;
// Inflated bytes pass through a window of this size, 32 KiB of it history.
inline constexpr size_t kWindowBytes = 256 * 1024;
// Deflate makes at most this many bytes of one: a 258-byte copy costs at
// least two bits.
inline constexpr uint64_t kMaxInflateRatio = 1032;
// The compression names have none for deflate.
inline constexpr int32_t kCompressionNameUnknown = 12;
// Chunks skipped while looking for the palette are checked in pieces.
inline constexpr int32_t kCheckPieceBytes = 4096;

struct PngRead {
  IO_REC* io;
  uint32_t tag;
  int32_t origin;  // stream position of the signature
  Header h;
  RX_BITMAPINFOHEADER dib;
  DibGeometry geometry;
  RX_RGBQUAD palette[kMaxPaletteEntries];
  uint32_t bits;      // per pixel in the file
  uint32_t distance;  // of the row filters
  // IDAT input.
  uint8_t* input;
  uint32_t idat_left;  // data bytes of the current IDAT not yet read
  uint32_t idat_crc;
  bool idat_open;
  bool input_done;
  uint32_t zlib_header_left;
  // Rows.
  uint32_t pass;  // index into kAdam7, or 0 without interlace
  uint32_t pass_width, pass_height, pass_row;
  size_t row_size;  // filter byte and pixels of the current pass's rows
  size_t filled;
  uint8_t* row;    // the row being gathered
  uint8_t* prior;  // the previous row of the pass, unfiltered
  uint8_t* out;    // one DIB row
  uint8_t* full;   // interlaced: the whole image in the file's layout
  size_t full_row_bytes;
  bool rows_done;
  bool failed;              // an entry is on the stack, or a callback refused
  int32_t callback_result;  // what a refusing callback returned
};

bool read_exact(IO_REC* io, void* buffer, int32_t n) { return RPb_IO_read(io, buffer, n) == n; }

// ---- Header and palette --------------------------------------------------

bool header_valid(const Header& h) {
  return h.width != 0 && h.height != 0 && h.width <= 0x7FFFFFFFu && h.height <= 0x7FFFFFFFu &&
         depth_allowed(h.colour, h.depth) && h.compression == 0 && h.filter == 0 &&
         h.interlace <= 1;
}

int32_t header_read(PngRead* r) {
  IO_REC* io = r->io;
  RPb_IO_byte_order_set(io, RX_ORDER_MOTOROLA);
  const int64_t at = int64_t{r->origin} + kSignatureBytes;
  if (r->origin < 0 || at > INT32_MAX || RPb_IO_seek(io, static_cast<int32_t>(at), kFromStart) != at)
    return RX_ERR(RXE_CANT_READ_HEADER, kSignatureBytes, 0);
  uint8_t b[kChunkHeadBytes + kHeaderDataBytes + kChunkCrcBytes];
  if (!read_exact(io, b, kChunkHeadBytes)) return RX_ERR(RXE_CANT_READ_HEADER, kChunkHeadBytes, 0);
  const uint32_t length = get32(b), type = get32(b + 4);
  if (type != kIHDR || length != kHeaderDataBytes) return RX_ERR(RXE_INVALID_FILE_HEADER, type, length);
  if (!read_exact(io, b + kChunkHeadBytes, kHeaderDataBytes + kChunkCrcBytes))
    return RX_ERR(RXE_CANT_READ_HEADER, kHeaderDataBytes, 0);
  const uint32_t crc = codec::crc32_update(0, b + 4, 4 + kHeaderDataBytes);
  if (crc != get32(b + kChunkHeadBytes + kHeaderDataBytes))
    return RX_ERR(RXE_INVALID_FILE_HEADER, crc, 0);
  const uint8_t* d = b + kChunkHeadBytes;
  Header& h = r->h;
  h = Header{get32(d), get32(d + 4), d[8], d[9], d[10], d[11], d[12]};
  if (!header_valid(h)) return RX_ERR(RXE_INVALID_FILE_HEADER, h.colour, h.depth);
  const uint32_t dib_bits = dib_bits_of(h);
  // The file's rows (16-bit samples, alpha) can be wider than the image's;
  // they are held too, so they must fit the same limit.
  if (!dib_geometry(h.width, h.height, dib_bits, RX_BI_RGB, &r->geometry) ||
      1 + row_bytes(h.width, pixel_bits(h)) > kMaxDibBytes)
    return RX_ERR(RXE_INVALID_FILE_HEADER, h.width, h.height);
  RPb_DIB_init(&r->dib, static_cast<int32_t>(h.width), static_cast<int32_t>(h.height),
               static_cast<int32_t>(dib_bits), RX_BI_RGB, 0, 0);
  r->bits = pixel_bits(h);
  r->distance = filter_distance(r->bits);
  return 0;
}

void grey_ramp(PngRead* r) {
  const uint32_t entries = 1u << std::min<uint32_t>(r->h.depth, 8);
  for (uint32_t i = 0; i < entries; ++i) {
    const auto v = static_cast<uint8_t>(i * 255 / (entries - 1));
    r->palette[i] = RX_RGBQUAD{v, v, v, 0};
  }
}

// Reads the rest of a chunk and its CRC; false when either is short or the
// CRC does not match. `crc` already covers the type.
bool chunk_check_rest(IO_REC* io, uint32_t length, uint32_t crc) {
  uint8_t piece[kCheckPieceBytes];
  for (uint32_t left = length; left > 0;) {
    const auto n = static_cast<int32_t>(std::min<uint32_t>(left, kCheckPieceBytes));
    if (!read_exact(io, piece, n)) return false;
    crc = codec::crc32_update(crc, piece, static_cast<size_t>(n));
    left -= static_cast<uint32_t>(n);
  }
  uint8_t stored[kChunkCrcBytes];
  return read_exact(io, stored, kChunkCrcBytes) && get32(stored) == crc;
}

int32_t palette_chunk_read(PngRead* r, uint32_t length, uint32_t crc) {
  if (length == 0 || length % 3 != 0 || length > 3 * kMaxPaletteEntries)
    return RX_ERR(RXE_CANT_READ_PALETTE, length, 0);
  uint8_t b[3 * kMaxPaletteEntries + kChunkCrcBytes];
  if (!read_exact(r->io, b, static_cast<int32_t>(length + kChunkCrcBytes)))
    return RX_ERR(RXE_CANT_READ_PALETTE, length, 0);
  crc = codec::crc32_update(crc, b, length);
  if (crc != get32(b + length)) return RX_ERR(RXE_INVALID_FILE_TYPE, crc, 0);
  for (uint32_t i = 0; i < length / 3; ++i)
    r->palette[i] = RX_RGBQUAD{b[3 * i + 2], b[3 * i + 1], b[3 * i], 0};
  return 0;
}

// Palette images: every chunk in front of PLTE is read whole and checked.
int32_t palette_search(PngRead* r) {
  for (;;) {
    uint8_t head[kChunkHeadBytes];
    if (!read_exact(r->io, head, kChunkHeadBytes)) return RX_ERR(RXE_INVALID_FILE_TYPE, 0, 0);
    const uint32_t length = get32(head), type = get32(head + 4);
    const uint32_t crc = codec::crc32_update(0, head + 4, 4);
    if (type == kPLTE) return palette_chunk_read(r, length, crc);
    if (length > kMaxChunkLength || !chunk_check_rest(r->io, length, crc))
      return RX_ERR(RXE_INVALID_FILE_TYPE, type, length);
  }
}

int32_t palette_read(PngRead* r) {
  std::fill(r->palette, r->palette + kMaxPaletteEntries, RX_RGBQUAD{0, 0, 0, 0});
  if (r->h.colour == kGrey) grey_ramp(r);
  if (r->h.colour == kPalette) return palette_search(r);
  return 0;
}

int32_t headers_read(PngRead* r) {
  const int32_t code = header_read(r);
  return code != 0 ? code : palette_read(r);
}

// ---- Sizes ------------------------------------------------------------------

struct PassShape {
  uint32_t width, height;
};

PassShape pass_shape(const PngRead& r, uint32_t pass) {
  if (r.h.interlace == 0) return {r.h.width, r.h.height};
  const Pass& p = kAdam7[pass];
  return {pass_extent(r.h.width, p.x0, p.dx), pass_extent(r.h.height, p.y0, p.dy)};
}

uint32_t pass_count(const PngRead& r) { return r.h.interlace == 0 ? 1 : 7; }

// Inflated bytes the rows need, filter bytes included.
uint64_t filtered_bytes(const PngRead& r) {
  uint64_t total = 0;
  for (uint32_t p = 0; p < pass_count(r); ++p) {
    const PassShape s = pass_shape(r, p);
    if (s.width != 0 && s.height != 0) total += uint64_t{s.height} * (1 + row_bytes(s.width, r.bits));
  }
  return total;
}

// The IDAT data the file holds, counted by walking the chunk headers from
// here; the stream is put back.
uint64_t idat_total(IO_REC* io) {
  const int32_t here = RPb_IO_tell(io);
  uint64_t total = 0;
  uint8_t head[kChunkHeadBytes];
  while (read_exact(io, head, kChunkHeadBytes)) {
    const uint32_t length = get32(head), type = get32(head + 4);
    if (type == kIEND || length > kMaxChunkLength) break;
    if (type == kIDAT) total += length;
    const int32_t now = RPb_IO_tell(io);
    const int64_t next = int64_t{now} + length + kChunkCrcBytes;
    if (now < 0 || next > INT32_MAX || RPb_IO_seek(io, static_cast<int32_t>(next), kFromStart) != next)
      break;
  }
  RPb_IO_seek(io, here, kFromStart);
  return total;
}

// A header can claim gigabytes that a few bytes of data could never fill.
int32_t data_check(PngRead* r) {
  const uint64_t needed = filtered_bytes(*r);
  const uint64_t present = idat_total(r->io);
  if (needed > present * kMaxInflateRatio)
    return RX_ERR(RXE_CANT_READ_PIXEL_DATA, static_cast<int32_t>(std::min<uint64_t>(present, INT32_MAX)),
                  static_cast<int32_t>(std::min<uint64_t>(needed, INT32_MAX)));
  return 0;
}

// ---- IDAT input -------------------------------------------------------------

bool fail_with(PngRead* r, RX_STATUS code, int32_t ival, int32_t lval) {
  RX_ERR(code, ival, lval);
  r->failed = true;
  return false;
}

bool idat_crc_check(PngRead* r) {
  uint8_t stored[kChunkCrcBytes];
  r->idat_open = false;
  if (!read_exact(r->io, stored, kChunkCrcBytes))
    return fail_with(r, RXE_CANT_READ_PIXEL_DATA, kChunkCrcBytes, 0);
  if (get32(stored) != r->idat_crc) return fail_with(r, RXE_INVALID_FILE_TYPE, r->idat_crc, 0);
  return true;
}

// Moves to the next IDAT chunk, stepping over any others; false at IEND or
// at the end of the file.
bool idat_next(PngRead* r) {
  for (;;) {
    uint8_t head[kChunkHeadBytes];
    if (!read_exact(r->io, head, kChunkHeadBytes)) return false;
    const uint32_t length = get32(head), type = get32(head + 4);
    if (type == kIEND) return false;
    if (length > kMaxChunkLength) return fail_with(r, RXE_INVALID_FILE_TYPE, type, length);
    if (type == kIDAT) {
      r->idat_open = true;
      r->idat_left = length;
      r->idat_crc = codec::crc32_update(0, head + 4, 4);
      return true;
    }
    const int32_t now = RPb_IO_tell(r->io);
    const int64_t next = int64_t{now} + length + kChunkCrcBytes;
    if (now < 0 || next > INT32_MAX || RPb_IO_seek(r->io, static_cast<int32_t>(next), kFromStart) != next)
      return false;
  }
}

// The inflater's source: the data of consecutive IDAT chunks, each chunk's
// CRC checked as soon as its last byte is read, the zlib header dropped.
size_t idat_pull(void* user, const uint8_t** data) {
  auto* r = static_cast<PngRead*>(user);
  while (!r->failed && !r->input_done) {
    if (r->idat_left == 0) {
      if (r->idat_open && !idat_crc_check(r)) return 0;
      if (!idat_next(r)) {
        r->input_done = true;
        return 0;
      }
      continue;
    }
    const auto n = static_cast<int32_t>(std::min<uint32_t>(r->idat_left, kInputBytes));
    if (!read_exact(r->io, r->input, n)) {
      fail_with(r, RXE_CANT_READ_PIXEL_DATA, n, 0);
      return 0;
    }
    r->idat_crc = codec::crc32_update(r->idat_crc, r->input, static_cast<size_t>(n));
    r->idat_left -= static_cast<uint32_t>(n);
    if (r->idat_left == 0 && !idat_crc_check(r)) return 0;
    const uint32_t skip = std::min<uint32_t>(r->zlib_header_left, static_cast<uint32_t>(n));
    r->zlib_header_left -= skip;
    if (static_cast<uint32_t>(n) > skip) {
      *data = r->input + skip;
      return static_cast<size_t>(n) - skip;
    }
  }
  return 0;
}

// Once every row is in, the rest of the chunk being read is still checked.
int32_t idat_finish(PngRead* r) {
  while (r->idat_open && !r->failed) {
    const auto n = static_cast<int32_t>(std::min<uint32_t>(r->idat_left, kInputBytes));
    if (!read_exact(r->io, r->input, n)) return RX_ERR(RXE_CANT_READ_PIXEL_DATA, n, 0);
    r->idat_crc = codec::crc32_update(r->idat_crc, r->input, static_cast<size_t>(n));
    r->idat_left -= static_cast<uint32_t>(n);
    if (r->idat_left == 0) idat_crc_check(r);
  }
  return r->failed ? RPb_AF_error_check() : 0;
}

// ---- Rows ---------------------------------------------------------------------

bool row_deliver(PngRead* r, const uint8_t* raw, uint32_t index) {
  row_convert(r->h, raw, r->out, r->geometry.stride);
  const int32_t result =
      RPb_IO_raster_set(r->io, r->out, static_cast<int32_t>(index), static_cast<int32_t>(r->geometry.stride));
  if (result == 0) return true;
  r->callback_result = result;
  r->failed = true;
  return false;
}

// Readies the first non-empty pass from `pass` on; the rows are complete
// when there is none.
void pass_start(PngRead* r, uint32_t pass) {
  for (; pass < pass_count(*r); ++pass) {
    const PassShape s = pass_shape(*r, pass);
    if (s.width == 0 || s.height == 0) continue;
    r->pass = pass;
    r->pass_width = s.width;
    r->pass_height = s.height;
    r->pass_row = 0;
    r->row_size = 1 + static_cast<size_t>(row_bytes(s.width, r->bits));
    r->filled = 0;
    std::fill(r->prior, r->prior + r->row_size, uint8_t{0});
    return;
  }
  r->rows_done = true;
}

bool interlaced_deliver(PngRead* r) {
  for (uint32_t y = 0; y < r->h.height; ++y)
    if (!row_deliver(r, r->full + y * r->full_row_bytes, y)) return false;
  return true;
}

bool row_finish(PngRead* r) {
  const uint8_t filter = r->row[0];
  if (!row_unfilter(filter, r->row + 1, r->prior + 1, r->row_size - 1, r->distance))
    return fail_with(r, RXE_INVALID_FILE_TYPE, filter, static_cast<int32_t>(r->pass_row));
  if (r->h.interlace == 0) {
    if (!row_deliver(r, r->row + 1, r->pass_row)) return false;
  } else {
    const Pass& p = kAdam7[r->pass];
    const size_t y = p.y0 + size_t{r->pass_row} * p.dy;
    pass_row_scatter(r->row + 1, r->pass_width, p, r->bits, r->full + y * r->full_row_bytes);
  }
  std::swap(r->row, r->prior);
  r->filled = 0;
  if (++r->pass_row < r->pass_height) return true;
  pass_start(r, r->pass + 1);
  return !(r->rows_done && r->h.interlace != 0) || interlaced_deliver(r);
}

// The inflater's sink: gathers rows and finishes each as it completes.
// Answers false once every row is delivered, or on a failure.
bool rows_push(void* user, const uint8_t* data, size_t size) {
  auto* r = static_cast<PngRead*>(user);
  while (size > 0 && !r->rows_done) {
    const size_t take = std::min(size, r->row_size - r->filled);
    std::copy(data, data + take, r->row + r->filled);
    r->filled += take;
    data += take;
    size -= take;
    if (r->filled == r->row_size && !row_finish(r)) return false;
  }
  return !r->rows_done;
}

// ---- Load -----------------------------------------------------------------------

int32_t buffers_make(PngRead* r, codec::Inflater** inflater, uint8_t** window) {
  const size_t row = 1 + static_cast<size_t>(row_bytes(r->h.width, r->bits));
  uint64_t full = 0;
  if (r->h.interlace != 0) {
    r->full_row_bytes = row - 1;
    full = uint64_t{r->full_row_bytes} * r->h.height;
    // The interlaced image is held once in the file's layout; beyond the
    // engine's largest image it is not attempted.
    if (full > kMaxDibBytes) return RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, 0, r->tag);
  }
  void* state = RPb_AF_mem_alloc(r->tag, sizeof(codec::Inflater));
  *window = static_cast<uint8_t*>(RPb_AF_mem_alloc(r->tag, kWindowBytes));
  r->input = static_cast<uint8_t*>(RPb_AF_mem_alloc(r->tag, kInputBytes));
  r->row = static_cast<uint8_t*>(RPb_AF_mem_alloc(r->tag, row));
  r->prior = static_cast<uint8_t*>(RPb_AF_mem_alloc(r->tag, row));
  r->out = static_cast<uint8_t*>(RPb_AF_mem_alloc(r->tag, r->geometry.stride));
  if (full != 0) r->full = static_cast<uint8_t*>(RPb_AF_mem_alloc(r->tag, static_cast<size_t>(full)));
  if (state == nullptr || *window == nullptr || r->input == nullptr || r->row == nullptr ||
      r->prior == nullptr || r->out == nullptr || (full != 0 && r->full == nullptr))
    return RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, static_cast<int32_t>(std::min<uint64_t>(full, INT32_MAX)),
                  r->tag);
  *inflater = new (state) codec::Inflater{};
  if (r->full != nullptr) std::fill(r->full, r->full + full, uint8_t{0});
  return 0;
}

int32_t inflate_fault(InflateStatus st) {
  switch (st) {
    case InflateStatus::kTruncated:
    case InflateStatus::kDone:  // the data ended before the rows did
      return RX_ERR(RXE_CANT_READ_PIXEL_DATA, static_cast<int32_t>(st), 0);
    case InflateStatus::kStoredRefused:
      return RX_ERR(RXE_INVALID_FILE_TYPE, static_cast<int32_t>(st), 0);
    default:
      return RX_ERR(RXE_COMPRESSION_ERROR, static_cast<int32_t>(st), 0);
  }
}

int32_t pixels_read(PngRead* r) {
  codec::Inflater* inflater = nullptr;
  uint8_t* window = nullptr;
  int32_t code = buffers_make(r, &inflater, &window);
  if (code != 0) return code;
  if (RPb_IO_DIB_create(r->io, &r->dib, r->palette) != 0) return RPb_AF_error_check();
  r->zlib_header_left = 2;
  pass_start(r, 0);
  codec::InflateJob job{};
  job.source = {idat_pull, r};
  job.window = window;
  job.window_size = kWindowBytes;
  job.sink = {rows_push, r};
  const InflateStatus st = codec::inflate_run(inflater, &job);
  if (r->failed) {
    const int32_t count = RPb_AF_error_check();
    return count != 0 ? count : r->callback_result;
  }
  if (!r->rows_done) return inflate_fault(st);
  return idat_finish(r);
}

int32_t load(PngRead* r) {
  int32_t code = headers_read(r);
  if (code == 0) code = data_check(r);
  return code != 0 ? code : pixels_read(r);
}

// Every failure leaves the stream where the caller had it.
int32_t failed(IO_REC* io, int32_t start, int32_t code) {
  RPb_IO_seek(io, start, kFromStart);
  const int32_t count = RPb_AF_error_check();
  return count != 0 ? count : code;
}

}  // namespace

int32_t png_detect(IO_REC*, const uint8_t* head, int32_t) {
  // The head buffer is zero-filled past what was read, so a short file
  // cannot match all eight bytes.
  return std::equal(kSignature, kSignature + kSignatureBytes, head) ? 1 : 0;
}

int32_t png_info(IO_REC* io, RX_BITMAPINFOHEADER* header, RX_RGBQUAD* palette,
                 int32_t* compression, void*, int32_t) {
  if (io == nullptr) {
    RX_ERR(RXE_INVALID_POINTER, 0, 0);
    return RPb_AF_error_check();
  }
  const int32_t start = RPb_IO_tell(io);
  PngRead r{};
  r.io = io;
  r.origin = start;
  const int32_t code = headers_read(&r);
  if (code != 0) return failed(io, start, code);
  if (header != nullptr) *header = r.dib;
  if (palette != nullptr)
    std::copy(r.palette, r.palette + dib_palette_entries(r.dib.biBitCount, RX_BI_RGB), palette);
  if (compression != nullptr) *compression = kCompressionNameUnknown;
  return 0;
}

int32_t png_read(IO_REC* io, void*, int32_t, int32_t) {
  if (io == nullptr) {
    RX_ERR(RXE_INVALID_POINTER, 0, 0);
    return RPb_AF_error_check();
  }
  const int32_t start = RPb_IO_tell(io);
  TagGuard scratch;
  PngRead r{};
  r.io = io;
  r.origin = start;
  r.tag = scratch.tag();
  const int32_t code = load(&r);
  return code != 0 ? failed(io, start, code) : 0;
}

int32_t png_page_count(IO_REC*, void*, int32_t* count) {
  if (count != nullptr) *count = 1;
  return 0;
}

}  // namespace rx
