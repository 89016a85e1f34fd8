// TIFF directories as the reader and the writer share them: the header,
// the chain of image file directories (IFDs) with its page count, one
// directory read into memory with its values in host byte order, and the
// field reads with their defaults.
//
// Everything here checks offsets and counts against the size of the stream
// before it reads or allocates, and reports a failure as a Fault for the
// caller to push under its own name (TIFREAD or TIFWRITE).
#pragma once

#include <cstdint>

#include "filters/tiff/tiff_format.h"
#include "rastrix/rx_types.h"

namespace rx::tiff {

// A failure found here: the status code and its two values.
struct Fault {
  int32_t code = 0;
  int32_t ival = 0;
  int32_t lval = 0;
};

// Records a failure; always false.
bool fail(Fault* f, int32_t code, int64_t ival, int64_t lval);

// The stream as the file sees it: offsets in the file count from the
// header, which need not be at the start of the stream.
struct Source {
  IO_REC* io = nullptr;
  int64_t origin = 0;  // stream position of the header
  int64_t size = 0;    // bytes from the header to the end of the stream
  bool motorola = false;
};

// Takes the stream's current position as the header's and measures what
// follows it; the position is left where it was. False for a stream that
// cannot report its position or size.
bool source_open(IO_REC* io, Source* s);
// Reads `n` bytes at file offset `offset`; false unless all of them lie
// inside the stream and were read.
bool read_at(const Source& s, uint64_t offset, void* out, uint32_t n);
// Numbers in the file's byte order.
uint16_t get16(const Source& s, const uint8_t* p);
uint32_t get32(const Source& s, const uint8_t* p);
void put16(bool motorola, uint8_t* p, uint16_t v);
void put32(bool motorola, uint8_t* p, uint32_t v);

// Reads the byte order, the magic number and the first IFD offset, and sets
// the source's byte order.
bool header_read(Source* s, uint32_t* first_ifd, Fault* f);

// Pages are numbered in PageNumber's 16 bits, so a chain is followed no
// further than this many directories.
inline constexpr uint32_t kMaxPages = 65535;

// Where the directory at `ifd` keeps its next-IFD offset, and that offset;
// false when the directory does not lie whole inside the stream.
bool next_field(const Source& s, uint32_t ifd, uint32_t* field_at, uint32_t* next);
// The directories of the chain that starts at `first`: 1 for the first,
// and 1 for each further one reached through a non-zero next offset; the
// chain ends at a directory that does not lie whole inside the stream, and
// a chain that comes back to a directory already met counts each directory
// once. At most kMaxPages.
uint32_t page_count(const Source& s, uint32_t first);
// The IFD offset of the page with 0-based `index`, following the chain.
bool page_ifd(const Source& s, uint32_t first, uint32_t index, uint32_t* ifd, Fault* f);

// One directory entry held in memory (24 bytes): the entry as in the file
// and its values converted to host order (shorts and longs, rationals as
// two longs, doubles as 8-byte numbers). `data` is null for types that
// carry none and for entries dropped.
struct Entry {
  uint16_t tag;
  uint16_t type;
  uint32_t count;
  uint32_t raw;    // the value/offset field as a 32-bit number
  uint32_t bytes;  // bytes of data
  const uint8_t* data;
};
static_assert(sizeof(Entry) == 24);

struct Directory {
  uint32_t offset = 0;  // of the IFD
  uint32_t next = 0;    // next IFD offset (0 when unreadable)
  uint32_t count = 0;
  Entry* entries = nullptr;
  uint16_t index[kSlotCount];  // entry position of each known tag, kNoEntry when absent

  const Entry* find(uint32_t tag) const;
};

// Reads the directory at `ifd` with all its values into memory under
// `pool_tag`.
bool directory_read(const Source& s, uint32_t ifd, uint32_t pool_tag, Directory* d, Fault* f);

// The i-th value of an entry as an unsigned number (BYTE, SHORT and LONG
// and their signed forms); 0 past the count or for other types.
uint32_t value_at(const Entry& e, uint32_t i);
// The first value of a field, or `absent` when the directory has no such
// entry or it holds no number.
uint32_t field(const Directory& d, uint32_t tag, uint32_t absent);
// A rational field; 0 when absent or when its denominator is 0.
double rational(const Directory& d, uint32_t tag);

// Reports every entry to the application's tag-set callback.
void directory_report(IO_REC* io, const Directory& d);

}  // namespace rx::tiff
