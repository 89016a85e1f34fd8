// Global memory: plain heap blocks. The engine's memory tags record which
// release path each block needs, so these must only be freed here.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

#include "platform/kernel.h"

extern "C" void* pk_global_alloc(size_t size) { return std::malloc(size == 0 ? 1 : size); }

extern "C" void* pk_global_alloc_zeroed(size_t size) {
  return std::calloc(size == 0 ? 1 : size, 1);
}

extern "C" void* pk_global_realloc(void* block, size_t size) {
  return std::realloc(block, size == 0 ? 1 : size);
}

extern "C" void pk_global_free(void* block) { std::free(block); }

// Older kernels refuse the advice; the pages then fault in as they are
// written, which is all a refusal costs.
#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23
#endif

extern "C" void pk_memory_prepare(void* block, size_t bytes) {
  static const auto page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  const auto start = reinterpret_cast<uintptr_t>(block);
  // Whole pages inside the range only: a page shared with another block
  // is left to fault as usual.
  const uintptr_t first = (start + page - 1) & ~(page - 1);
  const uintptr_t end = (start + bytes) & ~(page - 1);
  if (block == nullptr || end <= first) return;
  madvise(reinterpret_cast<void*>(first), end - first, MADV_POPULATE_WRITE);
}
