// The buffered stream: byte-at-a-time codecs read and write through a block
// of memory instead of calling the stream record for every byte. Taking
// bytes that are already buffered, or storing into room that is already
// free, is inline; refills and flushes are out of line.
//
// Reading never goes past the stream length measured at open nor past the
// buffer: a request that cannot be met whole fails (0 or null) and consumes
// nothing. Closing a reader leaves the stream record just after the last
// byte taken, so a filter can switch back to plain record calls.
#pragma once

#include <cstdint>
#include <cstring>

#include "rastrix/rx_types.h"

namespace rx {

inline constexpr int32_t kIoBufferRead = 1;
inline constexpr int32_t kIoBufferWrite = 2;

struct IO_BUFFER {
  IO_REC* io;
  int32_t mode;       // kIoBufferRead or kIoBufferWrite; 0 when not open
  uint32_t tag;       // memory tag of the buffer
  int32_t size;       // capacity of the buffer in bytes
  int32_t position;   // reading: stream position of the next byte
  int32_t index;      // the next byte in the buffer
  int32_t available;  // reading: bytes left in the buffer; writing: free bytes
  int32_t end;        // reading: stream length, measured at open
  uint8_t* buffer;
};

// Allocates a `size`-byte buffer under `tag`. A reader starts empty at the
// record's current position; a writer starts with the whole buffer free.
// Returns 0, or RXE_GLOBAL_MEMORY_DEPLETED (pushed with iVal = size,
// lVal = tag) when the buffer cannot be had, the mode is neither reading nor
// writing, or a record is missing; `b` is then left closed.
int32_t io_buffer_open(IO_REC* io, uint32_t tag, IO_BUFFER* b, int32_t size, int32_t mode);
// Reader: moves the record to just after the last byte taken. Writer:
// flushes. Frees the buffer either way and leaves `b` closed. Returns 1, or
// 0 when that seek or flush failed (or `b` was not open).
int32_t io_buffer_close(IO_BUFFER* b);

// Reading: moves to `offset` from the start (RX_SEEK_SET) or from the next
// byte (RX_SEEK_CUR). Targets outside 0..length fail and change nothing.
int32_t io_buffer_seek(IO_BUFFER* b, int32_t offset, int32_t origin);
// Writing: hands the buffered bytes to the record. Returns 1 only if every
// one was written; the buffer is empty afterwards in both cases.
int32_t io_buffer_flush(IO_BUFFER* b);

// Out-of-line halves of the inline calls below: make `n` bytes available to
// read (refilling as needed), or `n` bytes free to write (flushing).
bool io_buffer_fill(IO_BUFFER* b, int32_t n);
bool io_buffer_make_room(IO_BUFFER* b, int32_t n);

// The next `n` bytes, contiguous in the buffer, without taking them; null
// when fewer than `n` remain in the stream or `n` exceeds the buffer size.
// The address is good until the next call on `b`.
inline const uint8_t* io_buffer_peek(IO_BUFFER* b, int32_t n) {
  if (b != nullptr && b->mode == kIoBufferRead && n > 0 && b->available >= n) [[likely]]
    return b->buffer + b->index;
  return io_buffer_fill(b, n) ? b->buffer + b->index : nullptr;
}

// As peek, and the bytes are taken.
inline const uint8_t* io_buffer_get(IO_BUFFER* b, int32_t n) {
  const uint8_t* p = io_buffer_peek(b, n);
  if (p != nullptr) {
    b->index += n;
    b->available -= n;
    b->position += n;
  }
  return p;
}

inline int32_t io_buffer_byte_get(IO_BUFFER* b, uint8_t* out) {
  const uint8_t* p = out != nullptr ? io_buffer_get(b, 1) : nullptr;
  if (p == nullptr) return 0;
  *out = *p;
  return 1;
}

// Two bytes in stream order, as they are in the file.
inline int32_t io_buffer_two_get(IO_BUFFER* b, uint8_t out[2]) {
  const uint8_t* p = out != nullptr ? io_buffer_get(b, 2) : nullptr;
  if (p == nullptr) return 0;
  std::memcpy(out, p, 2);
  return 1;
}

inline int32_t io_buffer_two_peek(IO_BUFFER* b, uint8_t out[2]) {
  const uint8_t* p = out != nullptr ? io_buffer_peek(b, 2) : nullptr;
  if (p == nullptr) return 0;
  std::memcpy(out, p, 2);
  return 1;
}

// Room for `n` bytes that the caller then fills; they count as written.
// Null when `n` is outside 1..size or the flush that would make room failed.
inline uint8_t* io_buffer_reserve(IO_BUFFER* b, int32_t n) {
  const bool room = b != nullptr && b->mode == kIoBufferWrite && n > 0 && b->available >= n;
  if (!room && !io_buffer_make_room(b, n)) [[unlikely]]
    return nullptr;
  uint8_t* p = b->buffer + b->index;
  b->index += n;
  b->available -= n;
  return p;
}

inline int32_t io_buffer_byte_put(IO_BUFFER* b, uint8_t value) {
  uint8_t* p = io_buffer_reserve(b, 1);
  if (p == nullptr) return 0;
  *p = value;
  return 1;
}

// Two bytes in stream order.
inline int32_t io_buffer_two_put(IO_BUFFER* b, const uint8_t in[2]) {
  uint8_t* p = in != nullptr ? io_buffer_reserve(b, 2) : nullptr;
  if (p == nullptr) return 0;
  std::memcpy(p, in, 2);
  return 1;
}

}  // namespace rx
