// The TIFF writer's entry point: a page saved into a new file, or appended
// to or inserted into the pages already in the stream. Everything that can
// be known to fail is checked before a byte is written; the strips and the
// directory then go behind the data already there, and only when both are
// written is the page linked into the chain and the other pages
// renumbered, so a save that fails leaves the pages there as they were.
#include <algorithm>
#include <cstring>

#include "SUPPORT/dib_size.h"
#include "SUPPORT/error.h"
#include "SUPPORT/mem_tag.h"
#include "filters/tiff/tiff.h"
#include "filters/tiff/tiff_write.h"
#include "rastrix/rpb.h"

RX_SOURCE("source\\filters\\tiff\\TIFWRITE.cpp");

namespace rx {
namespace tiff {

bool fail(Writer* w, int32_t code, int64_t ival, int64_t lval) {
  if (!w->failed) RX_ERR(code, static_cast<int32_t>(ival), static_cast<int32_t>(lval));
  w->failed = true;
  return false;
}

bool failed_after(Writer* w, int32_t code, int64_t ival, int64_t lval) {
  if (error_count() == 0) return fail(w, code, ival, lval);
  w->failed = true;
  return false;
}

void* scratch(Writer* w, uint64_t bytes) {
  void* p = bytes <= SIZE_MAX ? RPb_AF_mem_alloc(w->tag, static_cast<size_t>(bytes)) : nullptr;
  if (p == nullptr)
    fail(w, RXE_GLOBAL_MEMORY_DEPLETED, static_cast<int64_t>(std::min<uint64_t>(bytes, INT32_MAX)),
         0);
  return p;
}

bool save_is_fax(int32_t c) {
  return c == kSaveMh || c == kSaveGroup3 || c == kSaveGroup4 || c == kSaveGroup3TwoD;
}

namespace {

// A step that failed is reported once more under the code of the step,
// after the entry that says why.
bool summary(int32_t code, int32_t ival) {
  RX_ERR(code, ival, 0);
  return false;
}

uint16_t flags16(const Writer& w, uint32_t at) {
  uint16_t v = 0;
  std::memcpy(&v, w.flags + at, 2);
  return v;
}

// The pages already in the stream. An empty stream has none; so has a
// header that never got a directory (a first save that failed).
bool pages_count(Writer* w) {
  const int32_t end = RPb_IO_seek(w->io, 0, RX_SEEK_END);
  if (end < 0) return fail(w, RXE_TIFF_PAGE_COUNT_FAILED, end, 0);
  w->src.io = w->io;
  w->src.origin = 0;
  w->src.size = end;
  if (end == 0) return true;
  Fault f;
  if (!header_read(&w->src, &w->first_ifd, &f))
    return fail(w, RXE_TIFF_PAGE_COUNT_FAILED, f.code, f.ival);
  w->motorola = w->src.motorola;
  w->pages = w->first_ifd == 0 ? 0 : page_count(w->src, w->first_ifd);
  // PageNumber numbers pages in 16 bits.
  if (w->pages >= kMaxPages) return fail(w, RXE_TIFF_PAGE_COUNT_FAILED, w->pages, kMaxPages);
  return true;
}

bool image_fetch(Writer* w) {
  // The callback's own entry, if it made one, comes first.
  if (RPb_IO_DIB_get(w->io, &w->h, w->palette) != 0) return summary(RXE_TIFF_DIB_GET_FAILURE, 0);
  const RX_BITMAPINFOHEADER& h = w->h;
  DibGeometry g{};
  if (!dib_geometry(h.biWidth, h.biHeight, h.biBitCount, RX_BI_RGB, &g))
    return fail(w, RXE_INVALID_BITCOUNT_FOR_FORMAT, h.biBitCount, h.biWidth);
  w->stride = g.stride;
  return true;
}

// Grey images are those whose palette is the ramp of their depth, either
// way up; any other palette is written as a colour map so that no colour
// is lost.
bool grey_ramp(const Writer& w) {
  const uint32_t n = 1u << w.h.biBitCount;
  const bool down = w.palette[0].rgbRed == 255;
  for (uint32_t i = 0; i < n; ++i) {
    const uint32_t level = (down ? n - 1 - i : i) * 255 / (n - 1);
    const RX_RGBQUAD& q = w.palette[i];
    if (q.rgbRed != level || q.rgbGreen != level || q.rgbBlue != level) return false;
  }
  return true;
}

bool kind_choose(Writer* w) {
  switch (w->h.biBitCount) {
    case 1: w->kind = Kind::kBilevel; return true;
    case 4: case 8: w->kind = grey_ramp(*w) ? Kind::kGray : Kind::kPalette; return true;
    case 24: w->kind = Kind::kRgb; return true;
    default: return fail(w, RXE_INVALID_BITCOUNT_FOR_FORMAT, w->h.biBitCount, 0);
  }
}

bool compression_check(Writer* w) {
  const int32_t c = w->compression;
  const bool known = (c >= kSaveNone && c <= kSaveJpeg) || c == kSaveLzw;
  if (!known) return fail(w, RXE_TIFF_COMPRESSION_UNSUPPORTED, 90, c);
  return true;
}

// A new file takes the byte order of the options; pages added to a file
// take the file's, which its other directories are written in.
void byte_order_choose(Writer* w) {
  if (w->src.size == 0) w->motorola = flags16(*w, kFlagsByteOrder) == 1;
  const uint16_t fill = flags16(*w, kFlagsFillOrder);
  w->fill_order = fill == kFillLsbFirst ? kFillLsbFirst : kFillMsbFirst;
}

bool header_write(Writer* w) {
  uint8_t h[kHeaderBytes] = {};
  put16(false, h, w->motorola ? kOrderMotorola : kOrderIntel);
  put16(w->motorola, h + 2, kMagic);
  if (RPb_IO_seek(w->io, 0, RX_SEEK_SET) != 0)
    return fail(w, RXE_CANT_WRITE_HEADER, 0, kHeaderBytes);
  const int32_t n = RPb_IO_write(w->io, h, kHeaderBytes);
  if (n != static_cast<int32_t>(kHeaderBytes)) return fail(w, RXE_CANT_WRITE_HEADER, kHeaderBytes, n);
  return true;
}

bool end_seek(Writer* w) {
  const int32_t end = RPb_IO_seek(w->io, 0, RX_SEEK_END);
  if (end < 0) return fail(w, RXE_TIFF_SEEK_FAILURE, end, 0);
  return true;
}

bool save(Writer* w) {
  if (!pages_count(w) || !image_fetch(w) || !compression_check(w) || !kind_choose(w)) return false;
  byte_order_choose(w);
  if (!strips_possible(w) || !strips_plan(w) || !user_tags_take(w)) return false;
  uint32_t next = 0;
  if (!chain_plan(w, &next)) return false;
  const bool fresh = w->src.size == 0;
  if (fresh && !header_write(w)) return summary(RXE_TIFF_HEADER_WRITE_FAILURE, 0);
  if (!end_seek(w)) return false;
  if (!strips_write(w)) return summary(RXE_TIFF_IMAGE_DATA_WRITE_ERROR, w->compression);
  if (!directory_write(w, next)) return summary(RXE_TIFF_IFD_WRITE_ERROR, 0);
  return chain_link(w);
}

}  // namespace
}  // namespace tiff

int32_t tiff_write(IO_REC* io, void* flags, int32_t a, int32_t, int32_t option) {
  if (io == nullptr) return RX_ERR(RXE_INVALID_POINTER, 0, 0);
  const int32_t start = RPb_IO_tell(io);
  TagGuard pool;
  tiff::Writer w;
  w.io = io;
  w.tag = pool.tag();
  if (flags != nullptr) std::memcpy(w.flags, flags, tiff::kFlagsBytes);
  w.position = a;
  w.compression = option;
  const bool ok = tiff::save(&w) && error_count() == 0;
  if (!ok && start >= 0) RPb_IO_seek(io, start, RX_SEEK_SET);
  return error_count();
}

}  // namespace rx
