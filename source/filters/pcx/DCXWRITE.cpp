// The DCX writer: adds the image as a page at the end of an existing DCX,
// or starts a new file with it as the only page. The page is written
// before the table that points at it, so a failed page leaves an existing
// file's table as it was.
#include <algorithm>
#include <cstring>

#include "SUPPORT/error.h"
#include "SUPPORT/mem_tag.h"
#include "filters/pcx/dcx_table.h"
#include "filters/pcx/pcx.h"
#include "rastrix/rpb.h"

RX_SOURCE("source\\filters\\pcx\\DCXWRITE.cpp");

namespace rx {
namespace {

// The DCX options block: page coding and appending, both on by default.
struct DCX_FLAGS {
  uint32_t rle;
  uint32_t append;
};

int32_t table_write(IO_REC* io, int32_t origin, const DCX_TABLE& t) {
  uint8_t b[kDcxTableBytes] = {};
  auto put32 = [&](uint32_t at, uint32_t v) {
    for (int k = 0; k < 4; ++k) b[at + k] = static_cast<uint8_t>(v >> 8 * k);
  };
  put32(0, kDcxMagic);
  for (uint32_t i = 0; i < t.count; ++i) put32(4 + 4 * i, t.offsets[i]);
  int32_t put = 0;
  if (RPb_IO_seek(io, origin, RX_SEEK_SET) == origin) put = RPb_IO_write(io, b, kDcxTableBytes);
  return put == static_cast<int32_t>(kDcxTableBytes) ? 0
                                                     : RX_ERR(RXE_CANT_WRITE_HEADER, kDcxTableBytes, put);
}

// An existing DCX whose whole table is there gets the page at its end.
bool existing_table(IO_REC* io, int32_t origin, DCX_TABLE* t, int32_t* end) {
  *end = pcx_stream_end(io);
  if (*end < 0 || int64_t{*end} - origin < kDcxTableBytes) return false;
  return dcx_table_load(io, t) && t->magic == kDcxMagic;
}

int32_t save(IO_REC* io, uint32_t tag, int32_t origin, const DCX_FLAGS& f, bool rle) {
  DCX_TABLE t{};
  int32_t end = 0;
  int64_t at = kDcxTableBytes;
  if (f.append != 0 && existing_table(io, origin, &t, &end)) {
    // A full table is refused rather than replaced by a new file, which
    // would lose every page it holds.
    if (t.count >= kDcxMaxPages) return RX_ERR(RXE_PAGE_OUT_OF_RANGE, t.count + 1, kDcxMaxPages);
    at = int64_t{end} - origin;
  } else {
    t = DCX_TABLE{};
    if (const int32_t code = table_write(io, origin, t)) return code;
  }
  if (at > 0x7FFFFFFF - origin || RPb_IO_seek(io, static_cast<int32_t>(origin + at), RX_SEEK_SET) !=
                                      origin + at)
    return RX_ERR(RXE_CANT_WRITE_PIXEL_DATA, 0, static_cast<int32_t>(std::min<int64_t>(at, 0x7FFFFFFF)));
  if (const int32_t code = pcx_page_write(io, tag, rle)) return code;
  const int32_t page_end = RPb_IO_tell(io);
  t.offsets[t.count++] = static_cast<uint32_t>(at);
  if (RPb_IO_tag_set_exists(io)) {
    RPb_IO_tag_dword_set(io, kDcxTagMagic, kDcxMagic);
    RPb_IO_tag_set(io, kDcxTagTable, kDcxTagTypeTable, reinterpret_cast<uintptr_t>(t.offsets),
                   static_cast<int32_t>(t.count));
  }
  if (const int32_t code = table_write(io, origin, t)) return code;
  RPb_IO_seek(io, page_end, RX_SEEK_SET);
  return 0;
}

}  // namespace

int32_t dcx_write(IO_REC* io, void* flags, int32_t, int32_t, int32_t option) {
  if (io == nullptr) {
    RX_ERR(RXE_INVALID_POINTER, 0, 0);
    return RPb_AF_error_check();
  }
  DCX_FLAGS f{1, 1};
  if (flags != nullptr) std::memcpy(&f, flags, sizeof f);
  const int32_t start = RPb_IO_tell(io);
  TagGuard scratch;
  if (save(io, scratch.tag(), start, f, f.rle != 0 || option != 0) == 0) return 0;
  RPb_IO_seek(io, start, RX_SEEK_SET);
  return RPb_AF_error_check();
}

}  // namespace rx
