// The out-of-line half of the buffered stream: open and close, refills,
// flushes and seeks. The buffer always mirrors one stretch of the stream:
// buffer[0] is the byte at position - index, and the stretch runs to
// position + available. A refill simply re-reads from the position, so any
// bytes still buffered behind a short request are read again, not lost.
#include "IO/iobuffer.h"

#include <algorithm>

#include "SUPPORT/error.h"
#include "rastrix/rpb.h"

RX_SOURCE("source\\IO\\iobuffer.cpp");

namespace rx {
namespace {

bool is_open(const IO_BUFFER* b, int32_t mode) {
  return b != nullptr && b->buffer != nullptr && b->mode == mode;
}

// Reading starts where the record stands; the length is measured once. A
// record that cannot report its position gives an empty stream rather than
// a length that reads would trust.
void measure(IO_BUFFER* b) {
  const int32_t here = RPb_IO_tell(b->io);
  if (here < 0) return;
  const int32_t end = RPb_IO_seek(b->io, 0, RX_SEEK_END);
  RPb_IO_seek(b->io, here, RX_SEEK_SET);
  b->position = here;
  b->end = std::max(end, here);
}

bool refill(IO_BUFFER* b) {
  b->index = 0;
  b->available = 0;
  if (RPb_IO_seek(b->io, b->position, RX_SEEK_SET) != b->position) return false;
  const int64_t left = int64_t{b->end} - b->position;
  const int32_t want = static_cast<int32_t>(std::min<int64_t>(b->size, left));
  if (want <= 0) return false;
  b->available = RPb_IO_read(b->io, b->buffer, want);
  return b->available > 0;
}

}  // namespace

int32_t io_buffer_open(IO_REC* io, uint32_t tag, IO_BUFFER* b, int32_t size, int32_t mode) {
  const bool mode_ok = mode == kIoBufferRead || mode == kIoBufferWrite;
  void* block = nullptr;
  if (io != nullptr && b != nullptr && mode_ok && size > 0)
    block = RPb_AF_mem_alloc(tag, static_cast<size_t>(size));
  if (b != nullptr) *b = IO_BUFFER{};
  if (block == nullptr) return RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, size, tag);
  b->io = io;
  b->mode = mode;
  b->tag = tag;
  b->size = size;
  b->buffer = static_cast<uint8_t*>(block);
  if (mode == kIoBufferWrite) b->available = size;
  else measure(b);
  return 0;
}

int32_t io_buffer_close(IO_BUFFER* b) {
  if (b == nullptr || b->buffer == nullptr) return 0;
  bool ok;
  if (b->mode == kIoBufferRead) ok = RPb_IO_seek(b->io, b->position, RX_SEEK_SET) == b->position;
  else ok = io_buffer_flush(b) == 1;
  RPb_AF_mem_free(b->tag, b->buffer);
  *b = IO_BUFFER{};
  return ok ? 1 : 0;
}

bool io_buffer_fill(IO_BUFFER* b, int32_t n) {
  if (!is_open(b, kIoBufferRead) || n <= 0 || n > b->size) return false;
  if (b->available >= n) return true;
  if (int64_t{b->end} - b->position < n) return false;
  return refill(b) && b->available >= n;
}

int32_t io_buffer_seek(IO_BUFFER* b, int32_t offset, int32_t origin) {
  if (!is_open(b, kIoBufferRead)) return 0;
  int64_t target;
  if (origin == RX_SEEK_SET) target = offset;
  else if (origin == RX_SEEK_CUR) target = int64_t{b->position} + offset;
  else return 0;
  if (target < 0 || target > b->end) return 0;
  const int64_t first = int64_t{b->position} - b->index;
  const int64_t last = int64_t{b->position} + b->available;
  if (target >= first && target <= last) {
    const auto step = static_cast<int32_t>(target - b->position);
    b->index += step;
    b->available -= step;
    b->position += step;
    return 1;
  }
  b->position = static_cast<int32_t>(target);
  if (target == b->end) {  // nothing left to buffer, and nothing to fail
    b->index = 0;
    b->available = 0;
    return 1;
  }
  return refill(b) ? 1 : 0;
}

int32_t io_buffer_flush(IO_BUFFER* b) {
  if (!is_open(b, kIoBufferWrite)) return 0;
  const int32_t pending = b->size - b->available;
  const int32_t written = pending > 0 ? RPb_IO_write(b->io, b->buffer, pending) : 0;
  b->index = 0;
  b->available = b->size;
  return written == pending ? 1 : 0;
}

bool io_buffer_make_room(IO_BUFFER* b, int32_t n) {
  if (!is_open(b, kIoBufferWrite) || n <= 0 || n > b->size) return false;
  if (b->available >= n) return true;
  return io_buffer_flush(b) == 1;
}

}  // namespace rx
