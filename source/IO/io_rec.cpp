// The stream record: one read/write/seek surface over either an open file or
// a caller's memory block, and the process template every load and save
// copies. Readers trust nothing they are given here: counts, positions and
// record contents are all checked, because a filter's arithmetic on a
// corrupt header ends up in these calls.
#include "IO/io_rec.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "SUPPORT/engine_tables.h"
#include "SUPPORT/error.h"
#include "SUPPORT/instance.h"
#include "platform/kernel.h"
#include "rastrix/rpb.h"

RX_SOURCE("source\\IO\\io_rec.cpp");

namespace rx {
namespace {

// File streams hand the origin straight to the platform's seek.
static_assert(int{RX_SEEK_SET} == int{PK_SEEK_SET} && int{RX_SEEK_CUR} == int{PK_SEEK_CUR} &&
              int{RX_SEEK_END} == int{PK_SEEK_END});

// A negative handle is a failed open, a closed file or the invalid stream:
// no platform call is made for it, so a stale descriptor is never reused.
bool file_usable(const IO_REC* io) { return io->handle >= 0; }

// Bytes of a memory transfer of `count` at the current position that fit
// in the block; 0 for a position outside it.
int32_t memory_span(const IO_REC* io, int32_t count) {
  const int64_t pos = io->handle;
  if (count <= 0 || pos < 0 || pos >= io->limit) return 0;
  return static_cast<int32_t>(std::min<int64_t>(count, int64_t{io->limit} - pos));
}

void memory_advance(IO_REC* io, int32_t n) {
  io->handle += n;
  io->high_water = std::max(io->high_water, io->handle);
}

int32_t memory_read(IO_REC* io, void* buffer, int32_t count) {
  const int32_t n = memory_span(io, count);
  if (n == 0) return 0;
  std::memmove(buffer, io->memory + io->handle, static_cast<size_t>(n));
  memory_advance(io, n);
  return n;
}

int32_t memory_write(IO_REC* io, const void* buffer, int32_t count) {
  const int32_t n = memory_span(io, count);
  if (n == 0) return 0;
  std::memmove(io->memory + io->handle, buffer, static_cast<size_t>(n));
  memory_advance(io, n);
  return n;
}

int32_t memory_seek(IO_REC* io, int32_t offset, int32_t origin) {
  int64_t base;
  switch (origin) {
    case RX_SEEK_SET: base = 0; break;
    case RX_SEEK_CUR: base = io->handle; break;
    case RX_SEEK_END: base = io->high_water; break;
    default: return -1;
  }
  const int64_t target = base + offset;
  if (target < 0 || target > io->limit) return -1;
  io->handle = static_cast<int32_t>(target);
  io->high_water = std::max(io->high_water, io->handle);
  return io->handle;
}

// A file function that reports more than was asked, or a negative count,
// must not reach a caller that sizes its next step from the result.
int32_t clamp_count(int32_t moved, int32_t count) { return std::clamp(moved, 0, count); }

}  // namespace

IO_REC* io_template() { return instance_table<IO_REC>(kKeyIoTemplate); }

bool io_image_callbacks_engines(const IO_REC* io) {
  const IO_REC* t = io_template();
  return t != nullptr && io->dib_create == t->dib_create && io->raster_set == t->raster_set;
}

bool io_from_template(IO_REC* io) {
  if (RPb_IO_inst_lookup(io) != 0) return true;
  RX_ERR(RXE_INSTANCE_FAILURE, 0, 0);
  return false;
}

int32_t io_file_attach(IO_REC* io, int32_t file) {
  io->memory = nullptr;
  io->limit = 0;
  io->high_water = 0;
  io->handle = file < 0 ? -1 : file;
  return io->handle;
}

void io_template_defaults(IO_REC* io) {
  io->handle = -1;
  io->create_fn = pk_file_create;
  io->open_fn = pk_file_open;
  io->close_fn = pk_file_close;
  io->seek_fn = pk_file_seek;
  io->read_fn = pk_file_read;
  io->write_fn = pk_file_write;
  io->byte_order = RX_ORDER_INTEL;
}

int32_t io_template_create() {
  void* table = nullptr;
  const int32_t code = table_create(kKeyIoTemplate, sizeof(IO_REC), &table);
  if (code != 0) return code;
  io_template_defaults(static_cast<IO_REC*>(table));
  return 0;
}

void io_template_destroy() { table_destroy(kKeyIoTemplate); }

int32_t io_memory_attach(IO_REC* io, void* block, int32_t capacity, int32_t valid_length) {
  if (io == nullptr) return 0;
  io->spare0 = 0;
  if (block == nullptr || capacity <= 0) {
    io_file_attach(io, -1);
    return 0;
  }
  io->handle = 0;
  io->memory = static_cast<uint8_t*>(block);
  io->limit = capacity;
  io->high_water = std::clamp(valid_length, 0, capacity);
  return 1;
}

int32_t io_data_length_get(const IO_REC* io) { return io ? io->high_water : 0; }

int32_t io_create(IO_REC* io, const char* name) {
  if (io == nullptr) return -1;
  return io_file_attach(io, io->create_fn && name ? io->create_fn(name) : -1);
}

}  // namespace rx

using namespace rx;

extern "C" int32_t RPb_IO_inst_lookup(IO_REC* io) {
  const IO_REC* t = io_template();
  if (io == nullptr || t == nullptr) return 0;
  std::memcpy(io, t, sizeof *io);
  return 1;
}

extern "C" int32_t RPb_IO_read(IO_REC* io, void* buffer, int32_t count) {
  if (io == nullptr || buffer == nullptr || count <= 0) return 0;
  if (io_is_memory(io)) return memory_read(io, buffer, count);
  if (!file_usable(io) || io->read_fn == nullptr) return 0;
  return clamp_count(io->read_fn(io->handle, buffer, count), count);
}

extern "C" int32_t RPb_IO_write(IO_REC* io, const void* buffer, int32_t count) {
  if (io == nullptr || buffer == nullptr || count <= 0) return 0;
  if (io_is_memory(io)) return memory_write(io, buffer, count);
  if (!file_usable(io) || io->write_fn == nullptr) return 0;
  return clamp_count(io->write_fn(io->handle, buffer, count), count);
}

extern "C" int32_t RPb_IO_seek(IO_REC* io, int32_t offset, int32_t origin) {
  if (io == nullptr) return -1;
  if (io_is_memory(io)) return memory_seek(io, offset, origin);
  if (!file_usable(io) || io->seek_fn == nullptr) return -1;
  const int32_t pos = io->seek_fn(io->handle, offset, origin);
  return pos < 0 ? -1 : pos;
}

extern "C" int32_t RPb_IO_tell(IO_REC* io) { return RPb_IO_seek(io, 0, RX_SEEK_CUR); }

extern "C" int32_t RPb_IO_open(IO_REC* io, const char* name, int32_t access) {
  if (io == nullptr) return -1;
  // An open always leaves a file stream, even on a record that was a
  // memory stream.
  return io_file_attach(io, io->open_fn && name ? io->open_fn(name, access) : -1);
}

extern "C" int32_t RPb_IO_close(IO_REC* io) {
  if (io == nullptr) return -1;
  if (io_is_memory(io)) return 0;
  if (!file_usable(io) || io->close_fn == nullptr) return -1;
  const int32_t result = io->close_fn(io->handle);
  // The descriptor number may be handed to another file at once; a second
  // close through this record must not close that one.
  io->handle = -1;
  return result;
}

extern "C" int32_t RPb_IO_byte_read(IO_REC* io, uint8_t* value) {
  return RPb_IO_read(io, value, 1) == 1 ? 1 : 0;
}

extern "C" int32_t RPb_IO_byte_write(IO_REC* io, const uint8_t* value) {
  return RPb_IO_write(io, value, 1) == 1 ? 1 : 0;
}

extern "C" int32_t RPb_IO_byte_order_set(IO_REC* io, int32_t order) {
  if (io == nullptr || (order != RX_ORDER_INTEL && order != RX_ORDER_MOTOROLA)) return 0;
  io->byte_order = order;
  return 1;
}

extern "C" int32_t RPb_IO_byte_order_get(IO_REC* io, int32_t* order) {
  if (io == nullptr || order == nullptr) return 0;
  *order = io->byte_order;
  return 1;
}

// ---- Multi-byte values --------------------------------------------------
// Values are assembled byte by byte, so the result does not depend on the
// host's own order. A short transfer leaves the caller's value untouched and
// reports how many bytes did move.

namespace {

template <typename T, bool kMotorola>
int32_t value_read(IO_REC* io, T* value) {
  if (value == nullptr) return 0;
  uint8_t b[sizeof(T)];
  const int32_t n = RPb_IO_read(io, b, sizeof(T));
  if (n != static_cast<int32_t>(sizeof(T))) return n;
  uint32_t v = 0;
  for (size_t i = 0; i < sizeof(T); ++i) {
    const size_t at = kMotorola ? i : sizeof(T) - 1 - i;
    v = (v << 8) | b[at];
  }
  *value = static_cast<T>(v);
  return n;
}

template <typename T, bool kMotorola>
int32_t value_write(IO_REC* io, const T* value) {
  if (value == nullptr) return 0;
  uint8_t b[sizeof(T)];
  uint32_t v = *value;
  for (size_t i = 0; i < sizeof(T); ++i) {
    const size_t at = kMotorola ? sizeof(T) - 1 - i : i;
    b[at] = static_cast<uint8_t>(v & 0xFF);
    v >>= 8;
  }
  return RPb_IO_write(io, b, sizeof(T));
}

bool motorola(const IO_REC* io) { return io != nullptr && io->byte_order == RX_ORDER_MOTOROLA; }

}  // namespace

extern "C" int32_t RPb_IO_ii_word_read(IO_REC* io, uint16_t* value) {
  return value_read<uint16_t, false>(io, value);
}
extern "C" int32_t RPb_IO_ii_dword_read(IO_REC* io, uint32_t* value) {
  return value_read<uint32_t, false>(io, value);
}
extern "C" int32_t RPb_IO_mm_word_read(IO_REC* io, uint16_t* value) {
  return value_read<uint16_t, true>(io, value);
}
extern "C" int32_t RPb_IO_mm_dword_read(IO_REC* io, uint32_t* value) {
  return value_read<uint32_t, true>(io, value);
}
extern "C" int32_t RPb_IO_ii_word_write(IO_REC* io, const uint16_t* value) {
  return value_write<uint16_t, false>(io, value);
}
extern "C" int32_t RPb_IO_ii_dword_write(IO_REC* io, const uint32_t* value) {
  return value_write<uint32_t, false>(io, value);
}
extern "C" int32_t RPb_IO_mm_word_write(IO_REC* io, const uint16_t* value) {
  return value_write<uint16_t, true>(io, value);
}
extern "C" int32_t RPb_IO_mm_dword_write(IO_REC* io, const uint32_t* value) {
  return value_write<uint32_t, true>(io, value);
}

extern "C" int32_t RPb_IO_word_read(IO_REC* io, uint16_t* value) {
  return motorola(io) ? RPb_IO_mm_word_read(io, value) : RPb_IO_ii_word_read(io, value);
}
extern "C" int32_t RPb_IO_dword_read(IO_REC* io, uint32_t* value) {
  return motorola(io) ? RPb_IO_mm_dword_read(io, value) : RPb_IO_ii_dword_read(io, value);
}
extern "C" int32_t RPb_IO_word_write(IO_REC* io, const uint16_t* value) {
  return motorola(io) ? RPb_IO_mm_word_write(io, value) : RPb_IO_ii_word_write(io, value);
}
extern "C" int32_t RPb_IO_dword_write(IO_REC* io, const uint32_t* value) {
  return motorola(io) ? RPb_IO_mm_dword_write(io, value) : RPb_IO_ii_dword_write(io, value);
}

// ---- Swaps: host order from file order ------------------------------------

namespace {
constexpr bool kHostIntel = std::endian::native == std::endian::little;
uint16_t reverse16(uint16_t v) { return __builtin_bswap16(v); }
uint32_t reverse32(uint32_t v) { return __builtin_bswap32(v); }
}  // namespace

extern "C" uint16_t RPb_ii_word_swap(uint16_t value) { return kHostIntel ? value : reverse16(value); }
extern "C" uint32_t RPb_ii_dword_swap(uint32_t value) { return kHostIntel ? value : reverse32(value); }
extern "C" uint16_t RPb_mm_word_swap(uint16_t value) { return kHostIntel ? reverse16(value) : value; }
extern "C" uint32_t RPb_mm_dword_swap(uint32_t value) { return kHostIntel ? reverse32(value) : value; }
