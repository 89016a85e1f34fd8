// The JPEG reader's entry points: detection, page count, information and
// load. Each call parses the file afresh on a decoder state of its own,
// taken from a memory tag that is freed on every way out.
#include <algorithm>
#include <new>

#include "SUPPORT/dib_size.h"
#include "SUPPORT/error.h"
#include "SUPPORT/fixed_palettes.h"
#include "SUPPORT/mem_tag.h"
#include "filters/jpeg/jpeg.h"
#include "filters/jpeg/jpeg_read.h"

RX_SOURCE("source\\filters\\jpeg\\JPGREAD.cpp");

namespace rx {
namespace jpeg {

bool fail(Decoder* d, int32_t code, int32_t ival, int32_t lval) {
  if (!d->failed) RX_ERR(code, ival, lval);
  d->failed = true;
  return false;
}

int32_t frame_depth(const Frame& f) { return f.count == 1 ? 8 : 24; }

bool frame_check(Decoder* d) {
  const Frame& f = d->frame;
  // A frame we skipped (progressive, lossless, hierarchical) leaves the scan
  // with no component to decode.
  if (!f.read) return fail(d, RXE_INVALID_FILE_HEADER, 4, 4);
  if (f.precision != 8) return fail(d, RXE_JPEG_UNSUPPORTED, f.precision, 8);
  // A height of 0 would wait for a DNL segment; neither it nor a size the
  // engine cannot hold gets as far as an allocation.
  if (!dib_geometry(f.samples, f.lines, frame_depth(f), RX_BI_RGB, nullptr))
    return fail(d, RXE_INVALID_FILE_HEADER, f.samples, f.lines);
  return true;
}

namespace {

Decoder* decoder_new(IO_REC* io, uint32_t tag) {
  void* block = RPb_AF_mem_alloc(tag, sizeof(Decoder));
  if (block == nullptr) return nullptr;
  auto* d = new (block) Decoder{};
  d->io = io;
  d->tag = tag;
  d->tags = RPb_IO_tag_set_exists(io) != 0;
  d->jfif.units = kDefaultDensityUnits;
  d->jfif.x_density = kDefaultDensity;
  d->jfif.y_density = kDefaultDensity;
  return d;
}

bool arithmetic_frame(uint16_t marker) {
  return marker >= 0xFFC9 && marker <= 0xFFCF && marker != kMarkerDAC;
}

// SOI, the segments in front of the frame, the frame, the segments in front
// of the scan, and the SOS marker.
bool headers_read(Decoder* d) {
  RPb_IO_byte_order_set(d->io, RX_ORDER_MOTOROLA);
  uint16_t word = 0;
  if (RPb_IO_word_read(d->io, &word) != 2) return fail(d, RXE_CANT_READ_HEADER, 2, 0);
  if (word != kMarkerSOI) return fail(d, RXE_INVALID_FILE_HEADER, kMarkerSOI, word);
  uint16_t marker = 0;
  if (!marker_loop(d, &marker)) return false;
  if (marker == kMarkerSOF0 || marker == kMarkerSOF1) {
    if (!frame_read(d)) return false;
  } else if (arithmetic_frame(marker)) {
    return fail(d, RXE_JPEG_UNSUPPORTED, marker, 0);
  }
  if (!marker_loop(d, &marker)) return false;
  if (marker != kMarkerSOS) return fail(d, RXE_JPEG_NO_SCAN, marker, kMarkerSOS);
  return true;
}

// Puts the stream back where the call found it after a failure, and
// returns the error count.
int32_t finish(bool ok, IO_REC* io, int32_t start) {
  if (!ok && start >= 0) RPb_IO_seek(io, start, RX_SEEK_SET);
  return error_count();
}

}  // namespace

// A fresh decoder state under the call's pool; null (reported) when the
// state cannot be had.
Decoder* decoder_start(IO_REC* io, TagGuard& pool) {
  Decoder* d = decoder_new(io, pool.tag());
  if (d == nullptr) RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, static_cast<int32_t>(sizeof(Decoder)), 0);
  return d;
}

}  // namespace jpeg

int32_t jpeg_info(IO_REC* io, RX_BITMAPINFOHEADER* header, RX_RGBQUAD* palette,
                  int32_t* compression, void*, int32_t) {
  using namespace jpeg;
  TagGuard pool;
  const int32_t start = RPb_IO_tell(io);
  Decoder* d = decoder_start(io, pool);
  if (d == nullptr) return error_count();
  const bool ok = headers_read(d) && frame_check(d);
  if (ok) {
    const Frame& f = d->frame;
    if (header != nullptr)
      RPb_DIB_init(header, f.samples, f.lines, frame_depth(f), RX_BI_RGB,
                   jfif_pels_per_metre(d->jfif.units, d->jfif.x_density),
                   jfif_pels_per_metre(d->jfif.units, d->jfif.y_density));
    if (palette != nullptr && f.count == 1)
      std::copy(kGrayRamp256.begin(), kGrayRamp256.end(), palette);
    if (compression != nullptr) *compression = RX_COMPRESSION_JPEG;
  }
  return finish(ok, io, start);
}

int32_t jpeg_read(IO_REC* io, void*, int32_t, int32_t) {
  using namespace jpeg;
  TagGuard pool;
  const int32_t start = RPb_IO_tell(io);
  Decoder* d = decoder_start(io, pool);
  if (d == nullptr) return error_count();
  const bool ok = headers_read(d) && scan_read(d);
  return finish(ok, io, start);
}

int32_t jpeg_page_count(IO_REC*, void*, int32_t* count) {
  if (count != nullptr) *count = 1;
  return 0;
}

}  // namespace rx
