// TIFF headers, IFD chains and directories, read with every offset and
// count checked against the stream before anything is read or allocated.
#include "filters/tiff/tiff_dir.h"

#include <climits>
#include <cstring>
#include <utility>

#include "IO/head_bytes.h"
#include "rastrix/rpb.h"

namespace rx::tiff {
namespace {

// Values of one directory are held together. Out-of-line values must lie
// inside the file and in a sound file do not overlap, so together they
// never need more memory than the file's size; a directory whose values
// would, has entries that share their data, and those beyond the file's
// size are treated as memory that is not there. Inline values add at most
// 4 bytes per entry, and each value is padded to 8 bytes.
constexpr uint32_t kValueAlign = 8;

uint64_t aligned(uint64_t n) { return (n + kValueAlign - 1) / kValueAlign * kValueAlign; }

// Converts the values of `type` from file order to host order; `in` and
// `out` may be the same bytes.
void values_to_host(const Source& s, uint32_t type, const uint8_t* in, uint8_t* out,
                    uint32_t bytes) {
  if (in != out) std::memcpy(out, in, bytes);
  const uint32_t size = type_size(type);
  if (!s.motorola || size == 1) return;
  // Rationals are two longs; doubles are one 8-byte number.
  const uint32_t unit = (type == kRational || type == kSRational) ? 4 : size;
  for (uint32_t i = 0; i + unit <= bytes; i += unit)
    for (uint32_t lo = i, hi = i + unit - 1; lo < hi; ++lo, --hi) std::swap(out[lo], out[hi]);
}

}  // namespace

bool fail(Fault* f, int32_t code, int64_t ival, int64_t lval) {
  if (f != nullptr) {
    f->code = code;
    f->ival = static_cast<int32_t>(ival);
    f->lval = static_cast<int32_t>(lval);
  }
  return false;
}

bool source_open(IO_REC* io, Source* s) {
  const int32_t here = RPb_IO_tell(io);
  if (here < 0) return false;
  const int32_t end = RPb_IO_seek(io, 0, RX_SEEK_END);
  RPb_IO_seek(io, here, RX_SEEK_SET);
  if (end < here) return false;
  s->io = io;
  s->origin = here;
  s->size = int64_t{end} - here;
  return true;
}

bool read_at(const Source& s, uint64_t offset, void* out, uint32_t n) {
  if (offset > static_cast<uint64_t>(s.size) || n > static_cast<uint64_t>(s.size) - offset)
    return false;
  const int64_t at = s.origin + static_cast<int64_t>(offset);
  if (at > INT32_MAX || RPb_IO_seek(s.io, static_cast<int32_t>(at), RX_SEEK_SET) != at) return false;
  return n == 0 || RPb_IO_read(s.io, out, static_cast<int32_t>(n)) == static_cast<int32_t>(n);
}

uint16_t get16(const Source& s, const uint8_t* p) { return s.motorola ? mm16(p) : ii16(p); }
uint32_t get32(const Source& s, const uint8_t* p) { return s.motorola ? mm32(p) : ii32(p); }

void put16(bool motorola, uint8_t* p, uint16_t v) {
  const uint8_t hi = static_cast<uint8_t>(v >> 8), lo = static_cast<uint8_t>(v);
  p[0] = motorola ? hi : lo;
  p[1] = motorola ? lo : hi;
}

void put32(bool motorola, uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) {
    const auto b = static_cast<uint8_t>(v >> (8 * i));
    p[motorola ? 3 - i : i] = b;
  }
}

bool header_read(Source* s, uint32_t* first_ifd, Fault* f) {
  uint8_t h[kHeaderBytes];
  uint8_t order[2] = {0, 0};
  if (!read_at(*s, 0, order, 2)) return fail(f, RXE_CANT_READ_HEADER, 0, kHeaderBytes);
  const uint16_t word = ii16(order);
  if (word != kOrderIntel && word != kOrderMotorola)
    return fail(f, RXE_TIFF_INVALID_BYTE_ORDER, word, 0);
  s->motorola = word == kOrderMotorola;
  if (!read_at(*s, 0, h, kHeaderBytes)) return fail(f, RXE_CANT_READ_HEADER, 0, kHeaderBytes);
  const uint16_t magic = get16(*s, h + 2);
  if (magic != kMagic) return fail(f, RXE_INVALID_FILE_HEADER, magic, kMagic);
  *first_ifd = get32(*s, h + kFirstIfdField);
  return true;
}

bool next_field(const Source& s, uint32_t ifd, uint32_t* field_at, uint32_t* next) {
  uint8_t b[4];
  if (!read_at(s, ifd, b, 2)) return false;
  const uint64_t at = uint64_t{ifd} + 2 + uint64_t{get16(s, b)} * kEntryBytes;
  if (at > UINT32_MAX || !read_at(s, at, b, 4)) return false;
  *field_at = static_cast<uint32_t>(at);
  *next = get32(s, b);
  return true;
}

namespace {

// The next directory of the chain, or 0 when there is none that lies
// whole inside the stream.
uint32_t next_of(const Source& s, uint32_t ifd) {
  uint32_t at = 0, next = 0, after = 0;
  if (!next_field(s, ifd, &at, &next) || next == 0) return 0;
  return next_field(s, next, &at, &after) ? next : 0;
}

}  // namespace

// A chain may come back on itself. Brent's method finds the length of the
// loop and where it starts without remembering the directories met, so the
// count costs no memory and ends after a few passes over the chain.
uint32_t page_count(const Source& s, uint32_t first) {
  uint64_t count = 1;
  uint32_t tortoise = first, hare = first;
  uint64_t power = 1, lambda = 0;
  for (;;) {
    hare = next_of(s, hare);
    if (hare == 0 || count >= kMaxPages) return static_cast<uint32_t>(count);
    ++count;
    ++lambda;
    if (hare == tortoise) break;
    if (lambda == power) {
      tortoise = hare;
      power *= 2;
      lambda = 0;
    }
  }
  uint32_t a = first, b = first;
  for (uint64_t i = 0; i < lambda; ++i) b = next_of(s, b);
  uint64_t mu = 0;
  while (a != b && mu < kMaxPages) {
    a = next_of(s, a);
    b = next_of(s, b);
    ++mu;
  }
  const uint64_t distinct = mu + lambda;
  return static_cast<uint32_t>(distinct < kMaxPages ? distinct : kMaxPages);
}

bool page_ifd(const Source& s, uint32_t first, uint32_t index, uint32_t* ifd, Fault* f) {
  uint32_t at = first;
  for (uint32_t i = 0; i < index; ++i) {
    uint32_t field = 0, next = 0;
    if (!next_field(s, at, &field, &next)) return fail(f, RXE_INVALID_TIFF_IFD, at, i);
    if (next == 0) return fail(f, RXE_PAGE_NOT_IN_FILE, index + 1, i + 1);
    at = next;
  }
  *ifd = at;
  return true;
}

const Entry* Directory::find(uint32_t tag) const {
  const int32_t slot = slot_of(tag);
  if (slot >= 0) {
    const uint16_t i = index[slot];
    return i == kNoEntry ? nullptr : &entries[i];
  }
  for (uint32_t i = 0; i < count; ++i)
    if (entries[i].tag == tag) return &entries[i];
  return nullptr;
}

namespace {

// The entries as stored, parsed; values not yet read.
bool entries_parse(const Source& s, const uint8_t* raw, Directory* d) {
  for (uint32_t i = 0; i < d->count; ++i) {
    const uint8_t* p = raw + uint64_t{i} * kEntryBytes;
    Entry& e = d->entries[i];
    e.tag = get16(s, p);
    e.type = get16(s, p + 2);
    e.count = get32(s, p + 4);
    e.raw = get32(s, p + 8);
    e.bytes = 0;
    e.data = nullptr;
  }
  return true;
}

// Decides how many bytes of data each entry gets, and what all of them
// need together. Values that lie outside the file are a fault; values that
// would take more memory than the file can justify are dropped for private
// tags and a fault for the others.
bool sizes_plan(const Source& s, Directory* d, uint64_t* total, Fault* f) {
  const uint64_t budget = static_cast<uint64_t>(s.size);
  uint64_t out_of_line = 0;
  *total = 0;
  for (uint32_t i = 0; i < d->count; ++i) {
    Entry& e = d->entries[i];
    const uint64_t bytes = uint64_t{e.count} * type_size(e.type);
    if (bytes == 0) continue;
    if (bytes > kValueFieldBytes) {
      if (uint64_t{e.raw} > budget || bytes > budget - e.raw)
        return fail(f, RXE_TIFF_CANT_READ_TAG_DATA, e.tag, e.raw);
      if (out_of_line + bytes > budget) {
        if (e.tag >= kFirstPrivateTag) {
          e.count = 0;
          continue;
        }
        return fail(f, RXE_GLOBAL_MEMORY_DEPLETED, e.tag, static_cast<int64_t>(bytes));
      }
      out_of_line += bytes;
    }
    e.bytes = static_cast<uint32_t>(bytes);
    *total += aligned(bytes);
  }
  return true;
}

bool values_read(const Source& s, Directory* d, const uint8_t* raw, uint8_t* arena, Fault* f) {
  uint64_t at = 0;
  for (uint32_t i = 0; i < d->count; ++i) {
    Entry& e = d->entries[i];
    if (e.bytes == 0) continue;
    uint8_t* out = arena + at;
    at += aligned(e.bytes);
    if (e.bytes <= kValueFieldBytes) {
      // Inline values fill the field from its first byte in file order, so
      // a big-endian short sits in the high half of the field as a long.
      values_to_host(s, e.type, raw + uint64_t{i} * kEntryBytes + 8, out, e.bytes);
    } else {
      // Read in place, then turn in place: the conversion works value by
      // value on whole units, so in and out may be the same.
      if (!read_at(s, e.raw, out, e.bytes))
        return fail(f, RXE_TIFF_CANT_READ_TAG_DATA, e.tag, e.raw);
      values_to_host(s, e.type, out, out, e.bytes);
    }
    e.data = out;
  }
  return true;
}

void index_build(Directory* d) {
  for (uint16_t& slot : d->index) slot = kNoEntry;
  for (uint32_t i = 0; i < d->count; ++i) {
    const int32_t slot = slot_of(d->entries[i].tag);
    // The first of repeated entries is the one used.
    if (slot >= 0 && d->index[slot] == kNoEntry) d->index[slot] = static_cast<uint16_t>(i);
  }
}

}  // namespace

bool directory_read(const Source& s, uint32_t ifd, uint32_t pool_tag, Directory* d, Fault* f) {
  d->offset = ifd;
  d->next = 0;
  d->count = 0;
  d->entries = nullptr;
  uint8_t b[4];
  if (!read_at(s, ifd, b, 2)) return fail(f, RXE_INVALID_TIFF_IFD, ifd, 2);
  const uint32_t count = get16(s, b);
  const uint64_t table = uint64_t{ifd} + 2;
  const uint64_t whole = uint64_t{count} * kEntryBytes;
  // The entries that lie inside the stream are read; the first one cut
  // short by its end is the fault.
  if (table + whole > static_cast<uint64_t>(s.size)) {
    const uint64_t room = static_cast<uint64_t>(s.size) > table ? s.size - table : 0;
    return fail(f, RXE_INVALID_TIFF_TAG, static_cast<int64_t>(room % kEntryBytes), kEntryBytes);
  }
  d->count = count;
  if (count == 0) {
    index_build(d);
    if (read_at(s, table, b, 4)) d->next = get32(s, b);
    return true;
  }
  auto* raw = static_cast<uint8_t*>(RPb_AF_mem_alloc(pool_tag, whole));
  d->entries = static_cast<Entry*>(RPb_AF_mem_alloc(pool_tag, sizeof(Entry) * count));
  if (raw == nullptr || d->entries == nullptr)
    return fail(f, RXE_GLOBAL_MEMORY_DEPLETED, static_cast<int64_t>(whole), 0);
  if (!read_at(s, table, raw, static_cast<uint32_t>(whole)))
    return fail(f, RXE_INVALID_TIFF_TAG, 0, kEntryBytes);
  if (read_at(s, table + whole, b, 4)) d->next = get32(s, b);
  entries_parse(s, raw, d);
  uint64_t total = 0;
  if (!sizes_plan(s, d, &total, f)) return false;
  uint8_t* arena = nullptr;
  if (total > 0) {
    arena = static_cast<uint8_t*>(RPb_AF_mem_alloc(pool_tag, total));
    if (arena == nullptr) return fail(f, RXE_GLOBAL_MEMORY_DEPLETED, static_cast<int64_t>(total), 0);
  }
  if (!values_read(s, d, raw, arena, f)) return false;
  RPb_AF_mem_free(pool_tag, raw);
  index_build(d);
  return true;
}

uint32_t value_at(const Entry& e, uint32_t i) {
  if (e.data == nullptr || i >= e.count) return 0;
  switch (e.type) {
    case kByte: case kSByte: case kUndefined: return e.data[i];
    case kShort: case kSShort: {
      uint16_t v;
      std::memcpy(&v, e.data + uint64_t{i} * 2, 2);
      return v;
    }
    case kLong: case kSLong: {
      uint32_t v;
      std::memcpy(&v, e.data + uint64_t{i} * 4, 4);
      return v;
    }
    default: return 0;
  }
}

namespace {
bool holds_number(const Entry& e) {
  return e.data != nullptr && e.count > 0 &&
         (e.type == kByte || e.type == kShort || e.type == kLong || e.type == kSByte ||
          e.type == kSShort || e.type == kSLong || e.type == kUndefined);
}
}  // namespace

uint32_t field(const Directory& d, uint32_t tag, uint32_t absent) {
  const Entry* e = d.find(tag);
  return e != nullptr && holds_number(*e) ? value_at(*e, 0) : absent;
}

double rational(const Directory& d, uint32_t tag) {
  const Entry* e = d.find(tag);
  if (e == nullptr || e->data == nullptr || e->count == 0) return 0;
  if (e->type == kRational) {
    uint32_t v[2];
    std::memcpy(v, e->data, 8);
    return v[1] == 0 ? 0 : static_cast<double>(v[0]) / v[1];
  }
  // Some writers store a resolution as a plain number.
  return holds_number(*e) ? value_at(*e, 0) : 0;
}

void directory_report(IO_REC* io, const Directory& d) {
  if (RPb_IO_tag_set_exists(io) == 0) return;
  for (uint32_t i = 0; i < d.count; ++i) {
    const Entry& e = d.entries[i];
    const bool has = e.data != nullptr;
    RPb_IO_tag_set(io, tag_report_id(e.tag), e.type, reinterpret_cast<uintptr_t>(e.data),
                   has ? static_cast<int32_t>(e.count) : 0);
  }
}

}  // namespace rx::tiff
