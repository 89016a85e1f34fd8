// The TIFF reader's entry points: the page count, the information call and
// the load. Each call reads the header and walks the chain of directories
// to the page (clamped to the pages there are), reads its directory and
// reports it, describes the page, and for a load checks everything the
// page claims against the file and the engine's limits before the image
// is created and the decoder of its compression fills it.
#include <algorithm>
#include <cstring>

#include "IO/io_callback_status.h"
#include "IO/io_rec.h"
#include "SUPPORT/dib_size.h"
#include "SUPPORT/error.h"
#include "SUPPORT/limits.h"
#include "SUPPORT/mem_tag.h"
#include "filters/tiff/tiff.h"
#include "filters/tiff/tiff_read.h"
#include "rastrix/rpb.h"

RX_SOURCE("source\\filters\\tiff\\TIFREAD.cpp");

namespace rx {
namespace tiff {

bool fail(Reader* r, int32_t code, int64_t ival, int64_t lval) {
  if (!r->failed) RX_ERR(code, static_cast<int32_t>(ival), static_cast<int32_t>(lval));
  r->failed = true;
  return false;
}

bool failed_after(Reader* r, int32_t code, int64_t ival, int64_t lval) {
  if (error_count() == 0) return fail(r, code, ival, lval);
  r->failed = true;
  return false;
}

void* scratch(Reader* r, uint64_t bytes) {
  void* p = bytes <= SIZE_MAX ? RPb_AF_mem_alloc(r->tag, static_cast<size_t>(bytes)) : nullptr;
  if (p == nullptr)
    fail(r, RXE_GLOBAL_MEMORY_DEPLETED, static_cast<int64_t>(std::min<uint64_t>(bytes, INT32_MAX)),
         0);
  return p;
}

uint64_t segment_available(const Reader& r, const Segment& s) {
  const uint64_t size = static_cast<uint64_t>(r.src.size);
  if (s.offset >= size) return 0;
  const uint64_t rest = size - s.offset;
  return s.bytes == 0 ? rest : std::min<uint64_t>(s.bytes, rest);
}

namespace {

bool report(Reader* r, const Fault& f) { return fail(r, f.code, f.ival, f.lval); }

// The header, the chain to the page and its directory, reported to the
// application, and the page described. Pages count from 1; a page below 1
// or above the count is the nearest one there is.
bool directory_find(Reader* r, int32_t page, const void* flags) {
  Fault f;
  uint32_t first = 0;
  if (!source_open(r->io, &r->src)) return fail(r, RXE_CANT_READ_HEADER, 0, kHeaderBytes);
  if (!header_read(&r->src, &first, &f)) return report(r, f);
  const uint32_t count = page_count(r->src, first);
  const auto index = static_cast<uint32_t>(std::clamp<int64_t>(page, 1, count) - 1);
  uint32_t ifd = 0;
  if (!page_ifd(r->src, first, index, &ifd, &f) || !directory_read(r->src, ifd, r->tag, &r->dir, &f))
    return report(r, f);
  directory_report(r->io, r->dir);
  if (!page_describe(r->dir, static_cast<const uint8_t*>(flags), &r->page, &f)) return report(r, f);
  return true;
}

// The image header a load builds (`loading`) or the information reports:
// Group 4 pages come as run rows. A load's other fax pages do too when the
// engine's own callbacks build the image, which would turn their packed
// rows into run rows anyway; an application's callbacks, and the
// information, get them packed.
void dib_header_make(Reader* r, bool loading) {
  const Page& p = r->page;
  const bool fax = p.compression == kCompressionMh || p.compression == kCompressionGroup3;
  r->run_rows = p.compression == kCompressionGroup4 ||
                (loading && fax && p.dib_bits == 1 && io_image_callbacks_engines(r->io));
  const uint32_t compression = r->run_rows ? static_cast<uint32_t>(RX_BI_RUNS) : static_cast<uint32_t>(RX_BI_RGB);
  RPb_DIB_init(&r->dib, static_cast<int32_t>(p.unit_width()), static_cast<int32_t>(p.unit_height()),
               static_cast<int32_t>(p.dib_bits), compression, p.x_ppm, p.y_ppm);
}

bool geometry_check(Reader* r) {
  const Page& p = r->page;
  DibGeometry g{};
  const bool runs_fit = p.dib_bits != 1 || p.unit_width() <= kMaxRunsWidth;
  if (!runs_fit || !dib_geometry(p.unit_width(), p.unit_height(), p.dib_bits, RX_BI_RGB, &g))
    return fail(r, RXE_TIFF_INVALID_IMAGE_DIMENSION, p.unit_width(), p.unit_height());
  if (!load_limits_allow(p.unit_width(), p.unit_height(), g))
    return fail(r, RXE_LOAD_LIMIT_EXCEEDED, p.unit_width(), p.unit_height());
  r->stride = g.stride;
  return true;
}

bool compression_check(Reader* r) {
  const uint32_t c = r->page.compression;
  if (!compression_decoded(c)) return fail(r, RXE_TIFF_COMPRESSION_UNSUPPORTED, 90, c);
  return true;
}

// Samples are chunky or in planes; YCbCr data units are chunky only,
// unless a JPEG stream holds them.
bool planar_check(Reader* r) {
  const Page& p = r->page;
  if (p.planar != kPlanarChunky && p.planar != kPlanarSeparate)
    return fail(r, RXE_TIFF_PLANAR_CONFIG_ERROR, p.planar, 0);
  if (p.planar == kPlanarSeparate && p.colour == Colour::kYCbCr &&
      p.compression != kCompressionJpeg)
    return fail(r, RXE_TIFF_PLANAR_CONFIG_ERROR, p.planar, p.photometric);
  return true;
}

bool family_check(Reader* r) {
  switch (r->page.compression) {
    case kCompressionMh: case kCompressionGroup3: case kCompressionGroup4: return fax_check(r);
    case kCompressionJpeg: return jpeg_check(r);
    default: return samples_check(r);
  }
}

bool family_decode(Reader* r) {
  switch (r->page.compression) {
    case kCompressionMh: case kCompressionGroup3: case kCompressionGroup4: return fax_decode(r);
    case kCompressionJpeg: return jpeg_decode(r);
    default: return samples_decode(r);
  }
}

// The resolution as the file gives it, so that a save gives it back, and
// the orientation.
void attributes_set(Reader* r) {
  const Page& p = r->page;
  const Entry* x = r->dir.find(kXResolution);
  const Entry* y = r->dir.find(kYResolution);
  const uint32_t units = p.resolution_unit == kResolutionInch ? 3
                         : p.resolution_unit == kResolutionCentimetre ? 4 : 0;
  if (units != 0 && x != nullptr && y != nullptr && x->type == kRational && y->type == kRational &&
      x->data != nullptr && y->data != nullptr) {
    uint32_t xv[2], yv[2];
    std::memcpy(xv, x->data, 8);
    std::memcpy(yv, y->data, 8);
    if (xv[1] != 0 && yv[1] != 0 && xv[0] <= INT32_MAX && xv[1] <= INT32_MAX &&
        yv[0] <= INT32_MAX && yv[1] <= INT32_MAX) {
      const int32_t value[5] = {static_cast<int32_t>(xv[0]), static_cast<int32_t>(xv[1]),
                                static_cast<int32_t>(yv[0]), static_cast<int32_t>(yv[1]),
                                static_cast<int32_t>(units)};
      RPb_IO_attribute_set(r->io, RX_ATTR_RESOLUTION, reinterpret_cast<uintptr_t>(value));
    }
  }
  if (r->dir.find(kOrientation) != nullptr)
    RPb_IO_attribute_set(r->io, RX_ATTR_ORIENTATION, p.orientation);
}

bool load(Reader* r, const void* flags, int32_t page, int32_t tile) {
  if (!directory_find(r, page, flags) || !compression_check(r) || !planar_check(r)) return false;
  Fault f;
  if (!layout_find(r->dir, r->page, tile, &r->layout, &f)) return report(r, f);
  if (r->page.compression == kCompressionJpeg && jpeg_whole_stream(*r)) return jpeg_stream_load(r);
  dib_header_make(r, true);
  if (!geometry_check(r) || !family_check(r)) return false;
  if (io_callback_status(RPb_IO_DIB_create(r->io, &r->dib, r->page.palette)) != 0) {
    r->failed = true;
    return false;
  }
  attributes_set(r);
  return family_decode(r);
}

int32_t finish(bool ok, IO_REC* io, int32_t start) {
  if (!ok && start >= 0) RPb_IO_seek(io, start, RX_SEEK_SET);
  return error_count();
}

}  // namespace
}  // namespace tiff

int32_t tiff_read(IO_REC* io, void* flags, int32_t page, int32_t tile) {
  if (io == nullptr) return RX_ERR(RXE_INVALID_POINTER, 0, 0);
  const int32_t start = RPb_IO_tell(io);
  TagGuard pool;
  tiff::Reader r;
  r.io = io;
  r.tag = pool.tag();
  const bool ok = tiff::load(&r, flags, page, tile) && error_count() == 0;
  return tiff::finish(ok, io, start);
}

int32_t tiff_info(IO_REC* io, RX_BITMAPINFOHEADER* header, RX_RGBQUAD* palette,
                  int32_t* compression, void* flags, int32_t page) {
  if (io == nullptr) return RX_ERR(RXE_INVALID_POINTER, 0, 0);
  const int32_t start = RPb_IO_tell(io);
  TagGuard pool;
  tiff::Reader r;
  r.io = io;
  r.tag = pool.tag();
  const bool ok = tiff::directory_find(&r, page, flags);
  if (ok) {
    const tiff::Page& p = r.page;
    tiff::dib_header_make(&r, false);
    // A 32-bit page is described, and loaded, as 24 bits.
    if (header != nullptr) *header = r.dib;
    if (palette != nullptr && p.dib_bits <= 8)
      std::copy(p.palette, p.palette + (1u << p.dib_bits), palette);
    if (compression != nullptr) *compression = p.engine_compression;
  }
  RPb_IO_seek(io, start, RX_SEEK_SET);
  return tiff::finish(ok, io, start);
}

int32_t tiff_page_count(IO_REC* io, void*, int32_t* count) {
  if (count != nullptr) *count = 0;
  if (io == nullptr) return RX_ERR(RXE_INVALID_POINTER, 0, 0);
  const int32_t start = RPb_IO_tell(io);
  tiff::Source s;
  if (!tiff::source_open(io, &s)) return RX_ERR(RXE_CANT_READ_HEADER, 0, tiff::kHeaderBytes);
  int32_t n = 0;
  if (s.size > 0) {
    uint32_t first = 0;
    tiff::Fault f;
    if (!tiff::header_read(&s, &first, &f)) {
      RX_ERR(f.code, f.ival, f.lval);
      RPb_IO_seek(io, start, RX_SEEK_SET);
      return error_count();
    }
    n = static_cast<int32_t>(tiff::page_count(s, first));
  }
  RPb_IO_seek(io, start, RX_SEEK_SET);
  if (count != nullptr) *count = n;
  return 0;
}

}  // namespace rx
