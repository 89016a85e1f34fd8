// The chain of pages: where a new page goes, linking its directory in, and
// renumbering the pages already there. The page numbers are rewritten
// first and the link, one 4-byte field, last; when any of these writes
// fails, those already made are put back, so the file keeps its pages as
// they were.
#include <algorithm>
#include <cstring>

#include "SUPPORT/error.h"
#include "filters/tiff/tiff_write.h"
#include "rastrix/rpb.h"

namespace rx::tiff {
namespace {

// Entries are searched for PageNumber this many at a time.
constexpr uint32_t kScanEntries = 64;

// Where a page's PageNumber values are, and how they are stored.
struct PageNumberField {
  uint32_t at = 0;     // file offset of the two values; 0 when the page has none
  uint16_t type = 0;   // SHORT or LONG
  uint8_t old[8] = {};
  uint32_t bytes = 0;
};

bool page_number_find(Writer* w, uint32_t ifd, PageNumberField* f) {
  uint8_t b[kScanEntries * kEntryBytes];
  if (!read_at(w->src, ifd, b, 2)) return fail(w, RXE_INVALID_TIFF_IFD, ifd, 0);
  const uint32_t count = get16(w->src, b);
  for (uint32_t first = 0; first < count; first += kScanEntries) {
    const uint32_t n = std::min(kScanEntries, count - first);
    const uint64_t at = uint64_t{ifd} + 2 + uint64_t{first} * kEntryBytes;
    if (!read_at(w->src, at, b, n * kEntryBytes)) return fail(w, RXE_INVALID_TIFF_IFD, ifd, first);
    for (uint32_t i = 0; i < n; ++i) {
      const uint8_t* e = b + i * kEntryBytes;
      if (get16(w->src, e) != kPageNumber || get32(w->src, e + 4) < 2) continue;
      const uint16_t type = get16(w->src, e + 2);
      if (type == kShort) {
        f->at = static_cast<uint32_t>(at + i * kEntryBytes + 8);
        f->bytes = 4;
      } else if (type == kLong) {
        f->at = get32(w->src, e + 8);
        f->bytes = 8;
      } else {
        continue;
      }
      f->type = type;
      if (!read_at(w->src, f->at, f->old, f->bytes)) return fail(w, RXE_INVALID_TIFF_IFD, ifd, f->at);
      return true;
    }
  }
  return true;
}

bool bytes_write(Writer* w, uint32_t at, const uint8_t* bytes, uint32_t n, int32_t code) {
  if (RPb_IO_seek(w->io, static_cast<int32_t>(at), RX_SEEK_SET) != static_cast<int32_t>(at))
    return fail(w, RXE_TIFF_SEEK_FAILURE, at, 0);
  const int32_t done = RPb_IO_write(w->io, bytes, static_cast<int32_t>(n));
  if (done != static_cast<int32_t>(n)) return fail(w, code, at, done);
  return true;
}

bool page_number_write(Writer* w, const PageNumberField& f, uint32_t page, uint32_t total) {
  uint8_t v[8] = {};
  if (f.type == kShort) {
    put16(w->motorola, v, static_cast<uint16_t>(page));
    put16(w->motorola, v + 2, static_cast<uint16_t>(total));
  } else {
    put32(w->motorola, v, page);
    put32(w->motorola, v + 4, total);
  }
  return bytes_write(w, f.at, v, f.bytes, RXE_TIFF_REPAGE_FAILED);
}

// Puts back the page numbers rewritten so far; nothing more is reported.
void page_numbers_restore(Writer* w, const PageNumberField* fields, uint32_t done) {
  for (uint32_t i = 0; i < done; ++i) {
    const PageNumberField& f = fields[i];
    if (f.at == 0) continue;
    if (RPb_IO_seek(w->io, static_cast<int32_t>(f.at), RX_SEEK_SET) == static_cast<int32_t>(f.at))
      RPb_IO_write(w->io, f.old, static_cast<int32_t>(f.bytes));
  }
}

// The field that will point at the new directory: the header's for a new
// first page, else the next-IFD field of the page before it.
bool link_field(Writer* w, uint32_t* at, uint32_t* old) {
  if (w->index == 0) {
    *at = kFirstIfdField;
    *old = w->first_ifd;
    return true;
  }
  if (!next_field(w->src, w->page_ifds[w->index - 1], at, old))
    return fail(w, RXE_INVALID_TIFF_IFD, w->page_ifds[w->index - 1], w->index);
  return true;
}

}  // namespace

bool chain_plan(Writer* w, uint32_t* next) {
  const uint32_t pages = w->pages;
  w->index = w->position <= 0 || static_cast<uint32_t>(w->position) > pages
                 ? pages
                 : static_cast<uint32_t>(w->position) - 1;
  *next = 0;
  if (pages == 0) return true;
  w->page_ifds = static_cast<uint32_t*>(scratch(w, uint64_t{pages} * 4));
  if (w->page_ifds == nullptr) return false;
  uint32_t at = w->first_ifd;
  for (uint32_t i = 0; i < pages; ++i) {
    w->page_ifds[i] = at;
    if (i + 1 == pages) break;
    uint32_t field = 0, following = 0;
    if (!next_field(w->src, at, &field, &following) || following == 0)
      return fail(w, RXE_INVALID_TIFF_IFD, at, i);
    at = following;
  }
  if (w->index < pages) *next = w->page_ifds[w->index];
  return true;
}

bool chain_link(Writer* w) {
  const uint32_t pages = w->pages;
  uint32_t field = 0, old = 0;
  if (!link_field(w, &field, &old)) return false;
  PageNumberField* fields = nullptr;
  if (pages > 0) {
    fields = static_cast<PageNumberField*>(scratch(w, uint64_t{pages} * sizeof(PageNumberField)));
    if (fields == nullptr) return false;
    for (uint32_t i = 0; i < pages; ++i) {
      fields[i] = PageNumberField{};
      if (!page_number_find(w, w->page_ifds[i], &fields[i])) return false;
    }
  }
  uint32_t done = 0;
  for (; done < pages; ++done) {
    const PageNumberField& f = fields[done];
    const uint32_t page = done < w->index ? done : done + 1;
    if (f.at != 0 && !page_number_write(w, f, page, pages + 1)) break;
  }
  uint8_t link[4];
  put32(w->motorola, link, w->ifd);
  if (done == pages && bytes_write(w, field, link, 4, RXE_TIFF_IFD_WRITE_ERROR)) return true;
  // Either a page number or the link would not go: what was changed goes back.
  page_numbers_restore(w, fields, done + (done < pages ? 1 : 0));
  uint8_t back[4];
  put32(w->motorola, back, old);
  if (RPb_IO_seek(w->io, static_cast<int32_t>(field), RX_SEEK_SET) == static_cast<int32_t>(field))
    RPb_IO_write(w->io, back, 4);
  return false;
}

}  // namespace rx::tiff
