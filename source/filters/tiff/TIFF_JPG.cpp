// JPEG pages (TIFF compression 6). A page that points at a whole JPEG
// stream (JPEGInterchangeFormat) and has fewer than two strips is loaded
// by the JPEG reader from there. Otherwise each strip is decoded on its
// own: a strip that holds a whole stream (it starts with SOI) as it
// stands, and a strip of bare entropy-coded data behind the headers
// rebuilt from the page's tables (JPEGQTables, JPEGDCTables, JPEGACTables,
// JPEGRestartInterval, YCbCrSubSampling). Either way the JPEG reader's
// Huffman decoding, dequantisation, inverse DCT and colour conversion do
// the work, on a memory stream whose image callbacks put the rows into
// this page's image.
#include <algorithm>
#include <cstring>
#include <type_traits>

#include "IO/io_callback_status.h"
#include "IO/io_rec.h"
#include "SUPPORT/error.h"
#include "filters/jpeg/jpeg.h"
#include "filters/tiff/tiff_read.h"
#include "rastrix/rpb.h"

namespace rx::tiff {
namespace {

// A JPEG stream makes at most this many bytes of pixels of each byte: a
// block of zeros can take two bits (a one-bit DC code and a one-bit end of
// block) and stands for 64 samples, and colour pages with subsampled
// chroma spend fewer blocks on each pixel.
constexpr uint64_t kJpegMaxExpansion = 1024;
constexpr uint32_t kQuantBytes = 64;
constexpr uint32_t kHuffmanCountsBytes = 16;
constexpr uint32_t kMaxHuffmanValues = 256;
constexpr uint32_t kMaxComponents = 3;
// Baseline sequential DCT, the only process the JPEG reader decodes.
constexpr uint32_t kJpegProcBaseline = 1;
// SOF0 and SOS of up to three components, DRI, EOI.
constexpr uint32_t kFrameBytes = 2 + 2 + 6 + 3 * kMaxComponents;
constexpr uint32_t kScanBytes = 2 + 2 + 1 + 2 * kMaxComponents + 3;
constexpr uint32_t kRestartBytes = 6;
constexpr uint32_t kEndBytes = 2;

bool whole_stream_page(const Reader& r) {
  return r.dir.find(kJpegInterchangeFormat) != nullptr && r.layout.per_plane < 2;
}

uint32_t components(const Page& p) { return p.dib_bits == 24 ? 3 : 1; }

// ---- Headers rebuilt from the tables -----------------------------------------

struct Tables {
  uint8_t* bytes = nullptr;  // SOI, DQT, DHT, DRI
  uint32_t length = 0;
};

void put_marker(uint8_t* p, uint8_t marker, uint32_t length) {
  p[0] = 0xFF;
  p[1] = marker;
  p[2] = static_cast<uint8_t>(length >> 8);
  p[3] = static_cast<uint8_t>(length);
}

// Appends one table read from the file: its header byte, then `n` bytes.
bool table_take(Reader* r, uint32_t offset, uint32_t n, uint8_t* out) {
  return read_at(r->src, offset, out, n);
}

bool huffman_take(Reader* r, uint32_t offset, uint8_t header, uint8_t* out, uint32_t* length) {
  uint8_t* counts = out + 1;
  if (!table_take(r, offset, kHuffmanCountsBytes, counts))
    return fail(r, RXE_TIFF_CANT_READ_TAG_DATA, offset, kHuffmanCountsBytes);
  uint32_t values = 0;
  for (uint32_t i = 0; i < kHuffmanCountsBytes; ++i) values += counts[i];
  if (values > kMaxHuffmanValues) return fail(r, RXE_TIFF_DATA_UNEXPECTED, offset, values);
  if (!table_take(r, offset + kHuffmanCountsBytes, values, counts + kHuffmanCountsBytes))
    return fail(r, RXE_TIFF_CANT_READ_TAG_DATA, offset, values);
  out[0] = header;
  *length = 1 + kHuffmanCountsBytes + values;
  return true;
}

bool tables_build(Reader* r, Tables* t) {
  const Page& p = r->page;
  const uint32_t n = components(p);
  const Entry* q = r->dir.find(kJpegQTables);
  const Entry* dc = r->dir.find(kJpegDcTables);
  const Entry* ac = r->dir.find(kJpegAcTables);
  if (q == nullptr || dc == nullptr || ac == nullptr || q->count < n || dc->count < n ||
      ac->count < n)
    return fail(r, RXE_TIFF_REQUIRED_INFORMATION_MISSING, kJpegQTables, n);
  const uint32_t most = 2 + n * (4 + 1 + kQuantBytes) +
                        2 * n * (4 + 1 + kHuffmanCountsBytes + kMaxHuffmanValues) + kRestartBytes;
  t->bytes = static_cast<uint8_t*>(scratch(r, most));
  if (t->bytes == nullptr) return false;
  uint8_t* o = t->bytes;
  *o++ = 0xFF;
  *o++ = 0xD8;
  for (uint32_t i = 0; i < n; ++i) {
    put_marker(o, 0xDB, 2 + 1 + kQuantBytes);
    o[4] = static_cast<uint8_t>(i);
    if (!table_take(r, value_at(*q, i), kQuantBytes, o + 5))
      return fail(r, RXE_TIFF_CANT_READ_TAG_DATA, kJpegQTables, i);
    o += 4 + 1 + kQuantBytes;
  }
  for (uint32_t k = 0; k < 2; ++k) {
    const Entry* e = k == 0 ? dc : ac;
    for (uint32_t i = 0; i < n; ++i) {
      uint32_t length = 0;
      if (!huffman_take(r, value_at(*e, i), static_cast<uint8_t>(k << 4 | i), o + 4, &length))
        return false;
      put_marker(o, 0xC4, 2 + length);
      o += 4 + length;
    }
  }
  if (const uint32_t interval = field(r->dir, kJpegRestartInterval, 0); interval != 0) {
    put_marker(o, 0xDD, 4);
    o[4] = static_cast<uint8_t>(interval >> 8);
    o[5] = static_cast<uint8_t>(interval);
    o += kRestartBytes;
  }
  t->length = static_cast<uint32_t>(o - t->bytes);
  return true;
}

// SOF0 for a strip of `rows` rows and SOS; returns the bytes written.
uint32_t frame_write(const Page& p, uint32_t rows, uint8_t* o) {
  const uint32_t n = components(p);
  uint8_t* start = o;
  put_marker(o, 0xC0, 8 + 3 * n);
  o[4] = 8;
  o[5] = static_cast<uint8_t>(rows >> 8);
  o[6] = static_cast<uint8_t>(rows);
  o[7] = static_cast<uint8_t>(p.unit_width() >> 8);
  o[8] = static_cast<uint8_t>(p.unit_width());
  o[9] = static_cast<uint8_t>(n);
  o += 10;
  for (uint32_t i = 0; i < n; ++i) {
    const bool luma_sampled = i == 0 && n == 3 && p.colour == Colour::kYCbCr;
    *o++ = static_cast<uint8_t>(i + 1);
    *o++ = luma_sampled ? static_cast<uint8_t>(p.subsampling_h << 4 | p.subsampling_v) : 0x11;
    *o++ = static_cast<uint8_t>(i);
  }
  put_marker(o, 0xDA, 6 + 2 * n);
  o[4] = static_cast<uint8_t>(n);
  o += 5;
  for (uint32_t i = 0; i < n; ++i) {
    *o++ = static_cast<uint8_t>(i + 1);
    *o++ = static_cast<uint8_t>(i << 4 | i);
  }
  *o++ = 0;
  *o++ = 63;
  *o++ = 0;
  return static_cast<uint32_t>(o - start);
}

// ---- A strip's stream and where its rows go -----------------------------------

struct StripStream {
  IO_REC io;  // first: the callbacks find the rest from their stream
  Reader* r;
  uint32_t first_row;
  uint32_t rows;
  uint32_t delivered;
};
static_assert(std::is_standard_layout_v<StripStream> && offsetof(StripStream, io) == 0);

StripStream* strip_of(IO_REC* io) { return reinterpret_cast<StripStream*>(io); }

// The strip's image must be the width and depth of the page's; its rows
// go into the page's image, and rows past the strip's are dropped.
int32_t strip_create(IO_REC* io, const RX_BITMAPINFOHEADER* h, const RX_RGBQUAD*) {
  StripStream* s = strip_of(io);
  const Reader* r = s->r;
  if (h->biWidth != r->dib.biWidth || h->biBitCount != r->dib.biBitCount) {
    fail(s->r, RXE_TIFF_DATA_UNEXPECTED, h->biWidth, h->biBitCount);
    return error_count();
  }
  return 0;
}

int32_t strip_row(IO_REC* io, const uint8_t* row, int32_t index, int32_t bytes) {
  StripStream* s = strip_of(io);
  if (index < 0 || static_cast<uint32_t>(index) >= s->rows) return 0;
  ++s->delivered;
  return RPb_IO_raster_set(s->r->io, row, static_cast<int32_t>(s->first_row) + index, bytes);
}

bool blank_rows(StripStream* s) {
  Reader* r = s->r;
  if (s->delivered >= s->rows) return true;
  auto* row = static_cast<uint8_t*>(scratch(r, r->stride));
  if (row == nullptr) return false;
  std::memset(row, 0, r->stride);
  // Rows are delivered in order, so the missing ones are the last.
  for (uint32_t y = s->delivered; y < s->rows; ++y)
    if (io_callback_status(RPb_IO_raster_set(r->io, row, static_cast<int32_t>(s->first_row + y),
                                             static_cast<int32_t>(r->stride))) != 0) {
      r->failed = true;
      return false;
    }
  return true;
}

bool stream_decode(Reader* r, const Segment& seg, uint8_t* bytes, uint32_t length) {
  StripStream s{};
  s.io = *r->io;
  io_memory_attach(&s.io, bytes, static_cast<int32_t>(length), static_cast<int32_t>(length));
  s.io.tag_set = nullptr;
  s.io.dib_create = strip_create;
  s.io.raster_set = strip_row;
  s.io.attribute_set = nullptr;
  s.r = r;
  s.first_row = seg.first_row;
  s.rows = seg.rows;
  if (jpeg_read(&s.io, nullptr, 1, 1) != 0) {
    r->failed = true;
    return false;
  }
  return blank_rows(&s);
}

bool strip_decode(Reader* r, const Segment& seg, uint32_t index, const Tables& t, uint8_t* buffer) {
  const uint64_t available = segment_available(*r, seg);
  const auto data = static_cast<uint32_t>(available);
  uint8_t* at = buffer + t.length + kFrameBytes + kScanBytes;
  if (!read_at(r->src, seg.offset, at, data)) return fail(r, RXE_CANT_READ_PIXEL_DATA, index, seg.offset);
  if (data >= 2 && at[0] == 0xFF && at[1] == 0xD8) return stream_decode(r, seg, at, data);
  if (t.bytes == nullptr) return fail(r, RXE_TIFF_REQUIRED_INFORMATION_MISSING, kJpegQTables, index);
  // Headers right in front of the data, and the end marker behind it.
  uint8_t frame[kFrameBytes + kScanBytes];
  const uint32_t frame_bytes = frame_write(r->page, seg.rows, frame);
  const uint32_t head = t.length + frame_bytes;
  uint8_t* start = at - head;
  std::memcpy(start, t.bytes, t.length);
  std::memcpy(start + t.length, frame, frame_bytes);
  at[data] = 0xFF;
  at[data + 1] = 0xD9;
  return stream_decode(r, seg, start, head + data + kEndBytes);
}

bool first_strip_whole(Reader* r) {
  const Segment s = segment_at(r->page, r->layout, 0, 0);
  uint8_t soi[2] = {0, 0};
  return segment_available(*r, s) >= 2 && read_at(r->src, s.offset, soi, 2) && soi[0] == 0xFF &&
         soi[1] == 0xD8;
}

}  // namespace

bool jpeg_check(Reader* r) {
  const Page& p = r->page;
  if (whole_stream_page(*r)) return true;
  if (p.bps != 8 || p.planar != kPlanarChunky)
    return fail(r, RXE_TIFF_COMPRESSION_UNSUPPORTED, 90, p.compression);
  if (field(r->dir, kJpegProc, kJpegProcBaseline) != kJpegProcBaseline)
    return fail(r, RXE_TIFF_COMPRESSION_UNSUPPORTED, 90, p.compression);
  if (p.unit_width() > 0xFFFF) return fail(r, RXE_TIFF_INVALID_IMAGE_DIMENSION, p.unit_width(), 0);
  const uint64_t pixel_bytes = components(p);
  for (uint32_t i = 0; i < r->layout.segments; ++i) {
    const Segment s = segment_at(p, r->layout, i, 0);
    if (s.rows > 0xFFFF) return fail(r, RXE_TIFF_INVALID_IMAGE_DIMENSION, p.unit_width(), s.rows);
    if (s.bytes == 0 && r->layout.counts != nullptr) return fail(r, RXE_TIFF_STRIP_BYTE_COUNT_ZERO, i, 0);
    const uint64_t available = segment_available(*r, s);
    const uint64_t needed = uint64_t{s.rows} * p.unit_width() * pixel_bytes;
    if (available * kJpegMaxExpansion < needed)
      return fail(r, RXE_CANT_READ_PIXEL_DATA, static_cast<int64_t>(std::min<uint64_t>(available, INT32_MAX)),
                  static_cast<int64_t>(std::min<uint64_t>(needed, INT32_MAX)));
  }
  return true;
}

bool jpeg_whole_stream(const Reader& r) { return whole_stream_page(r); }

bool jpeg_stream_load(Reader* r) {
  const uint32_t offset = field(r->dir, kJpegInterchangeFormat, 0);
  const int64_t at = r->src.origin + offset;
  if (offset >= static_cast<uint64_t>(r->src.size) ||
      RPb_IO_seek(r->io, static_cast<int32_t>(at), RX_SEEK_SET) != at)
    return fail(r, RXE_TIFF_SEEK_FAILURE, kJpegInterchangeFormat, offset);
  // The stream's own frame decides the image: a few bytes must not make
  // an image larger than they can code.
  RX_BITMAPINFOHEADER h{};
  int32_t compression = 0;
  if (jpeg_info(r->io, &h, nullptr, &compression, nullptr, 1) != 0) {
    r->failed = true;
    return false;
  }
  const uint64_t available = static_cast<uint64_t>(r->src.size) - offset;
  const uint64_t needed = uint64_t{static_cast<uint32_t>(h.biWidth)} *
                          static_cast<uint32_t>(h.biHeight < 0 ? -int64_t{h.biHeight} : h.biHeight) *
                          (h.biBitCount == 24 ? 3 : 1);
  if (available * kJpegMaxExpansion < needed)
    return fail(r, RXE_CANT_READ_PIXEL_DATA, static_cast<int64_t>(std::min<uint64_t>(available, INT32_MAX)),
                static_cast<int64_t>(std::min<uint64_t>(needed, INT32_MAX)));
  if (RPb_IO_seek(r->io, static_cast<int32_t>(at), RX_SEEK_SET) != at)
    return fail(r, RXE_TIFF_SEEK_FAILURE, kJpegInterchangeFormat, offset);
  if (jpeg_read(r->io, nullptr, 1, 1) != 0) {
    r->failed = true;
    return false;
  }
  return true;
}

bool jpeg_decode(Reader* r) {
  Tables t;
  if (!first_strip_whole(r) && !tables_build(r, &t)) return false;
  // One buffer holds the largest strip with its headers.
  uint64_t largest = 0;
  for (uint32_t i = 0; i < r->layout.segments; ++i)
    largest = std::max(largest, segment_available(*r, segment_at(r->page, r->layout, i, 0)));
  if (largest > static_cast<uint64_t>(INT32_MAX) - 4096)
    return fail(r, RXE_TIFF_RASTER_TOO_LONG, INT32_MAX, 0);
  const uint64_t size = largest + t.length + kFrameBytes + kScanBytes + kEndBytes;
  auto* buffer = static_cast<uint8_t*>(scratch(r, size));
  if (buffer == nullptr) return false;
  for (uint32_t i = 0; i < r->layout.segments; ++i)
    if (!strip_decode(r, segment_at(r->page, r->layout, i, 0), i, t, buffer)) return false;
  return true;
}

}  // namespace rx::tiff
