// Global memory: plain heap blocks. The engine's memory tags record which
// release path each block needs, so these must only be freed here.
#include <cstdlib>

#include "platform/kernel.h"

extern "C" void* pk_global_alloc(size_t size) { return std::malloc(size == 0 ? 1 : size); }

extern "C" void* pk_global_realloc(void* block, size_t size) {
  return std::realloc(block, size == 0 ? 1 : size);
}

extern "C" void pk_global_free(void* block) { std::free(block); }
