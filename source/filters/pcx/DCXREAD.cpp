// The DCX reader: the page table, the page count, and the description and
// loading of one page, which the PCX page reader does within the bounds
// the table gives it.
#include <algorithm>

#include "IO/head_bytes.h"
#include "SUPPORT/error.h"
#include "SUPPORT/mem_tag.h"
#include "filters/pcx/dcx_table.h"
#include "filters/pcx/pcx.h"
#include "rastrix/rpb.h"

RX_SOURCE("source\\filters\\pcx\\DCXREAD.cpp");

namespace rx {
namespace {

int32_t table_read(IO_REC* io, DCX_TABLE* t) {
  if (!dcx_table_load(io, t)) return RX_ERR(RXE_CANT_READ_HEADER, 4, 0);
  if (t->magic != kDcxMagic) return RX_ERR(RXE_INVALID_FILE_TYPE, kDcxMagic, t->magic);
  if (RPb_IO_tag_set_exists(io)) {
    RPb_IO_tag_dword_set(io, kDcxTagMagic, t->magic);
    RPb_IO_tag_set(io, kDcxTagTable, kDcxTagTypeTable, reinterpret_cast<uintptr_t>(t->offsets),
                   static_cast<int32_t>(t->count));
  }
  return 0;
}

struct PAGE_SPAN {
  int32_t start;  // stream position of the page's header
  int32_t end;    // where the page's bytes end
};

// A page runs from its offset to the next page's offset, or to the end of
// the file for the last page and for a table whose next offset does not
// lie behind this one. Offsets outside the file are refused here.
int32_t page_find(IO_REC* io, int32_t origin, int32_t page, PAGE_SPAN* span) {
  DCX_TABLE t{};
  if (const int32_t code = table_read(io, &t)) return code;
  if (page < 1 || static_cast<uint32_t>(page) > std::max(t.count, 1u))
    return RX_ERR(RXE_PAGE_OUT_OF_RANGE, page, std::max(t.count, 1u));
  if (t.count == 0) return RX_ERR(RXE_PAGE_NOT_IN_FILE, page, 0);
  const int32_t file_end = pcx_stream_end(io);
  const uint32_t offset = t.offsets[page - 1];
  const int64_t start = int64_t{origin} + offset;
  if (offset < 4 || start >= file_end) return RX_ERR(RXE_PAGE_NOT_IN_FILE, page, offset);
  int64_t end = file_end;
  if (static_cast<uint32_t>(page) < t.count && t.offsets[page] > offset)
    end = std::min<int64_t>(end, int64_t{origin} + t.offsets[page]);
  span->start = static_cast<int32_t>(start);
  span->end = static_cast<int32_t>(end);
  return RPb_IO_seek(io, span->start, RX_SEEK_SET) == span->start
             ? 0
             : RX_ERR(RXE_PAGE_NOT_IN_FILE, page, offset);
}

int32_t failed(IO_REC* io, int32_t start) {
  RPb_IO_seek(io, start, RX_SEEK_SET);
  return RPb_AF_error_check();
}

}  // namespace

bool dcx_table_load(IO_REC* io, DCX_TABLE* t) {
  *t = DCX_TABLE{};
  uint8_t b[kDcxTableBytes];
  const int32_t got = RPb_IO_read(io, b, kDcxTableBytes);
  if (got < 4) return false;
  t->magic = ii32(b);
  const auto entries = static_cast<uint32_t>(got - 4) / 4;
  while (t->count < entries && ii32(b + 4 + 4 * t->count) != 0) {
    t->offsets[t->count] = ii32(b + 4 + 4 * t->count);
    ++t->count;
  }
  return true;
}

int32_t dcx_page_count(IO_REC* io, void*, int32_t* count) {
  if (io == nullptr) {
    RX_ERR(RXE_INVALID_POINTER, 0, 0);
    return RPb_AF_error_check();
  }
  const int32_t start = RPb_IO_tell(io);
  DCX_TABLE t{};
  if (table_read(io, &t) != 0) return failed(io, start);
  RPb_IO_seek(io, start, RX_SEEK_SET);
  if (count != nullptr) *count = static_cast<int32_t>(std::max(t.count, 1u));
  return 0;
}

int32_t dcx_info(IO_REC* io, RX_BITMAPINFOHEADER* header, RX_RGBQUAD* palette,
                 int32_t* compression, void*, int32_t page) {
  if (io == nullptr) {
    RX_ERR(RXE_INVALID_POINTER, 0, 0);
    return RPb_AF_error_check();
  }
  const int32_t start = RPb_IO_tell(io);
  PAGE_SPAN span{};
  if (page_find(io, start, page, &span) != 0 ||
      pcx_page_info(io, span.end, header, palette, compression) != 0)
    return failed(io, start);
  RPb_IO_seek(io, start, RX_SEEK_SET);
  return 0;
}

int32_t dcx_read(IO_REC* io, void*, int32_t page, int32_t) {
  if (io == nullptr) {
    RX_ERR(RXE_INVALID_POINTER, 0, 0);
    return RPb_AF_error_check();
  }
  const int32_t start = RPb_IO_tell(io);
  TagGuard scratch;
  PAGE_SPAN span{};
  if (page_find(io, start, page, &span) != 0 || pcx_page_read(io, scratch.tag(), span.end) != 0)
    return failed(io, start);
  return 0;
}

}  // namespace rx
