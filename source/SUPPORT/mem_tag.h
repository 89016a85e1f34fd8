// Tagged memory: every allocation belongs to a numeric tag, so that all of
// an operation's memory can be released with one call for its tag.
#pragma once

#include <cstddef>
#include <cstdint>

#include "rastrix/rpb.h"

namespace rx {

// Heap flags recorded per block: which release path the block needs.
inline constexpr uint32_t kHeapGlobal = 1;  // platform global heap
inline constexpr uint32_t kHeapC = 2;       // C heap
// Requests up to this many bytes come from the C heap.
inline constexpr size_t kSmallBlockMax = 1024;
// A C-heap block is reallocated in the C heap while the new size stays
// below this; larger sizes move it to the global heap.
inline constexpr size_t kCHeapGrowLimit = 65536;

// RPb_AF_mem_alloc's block, filled with zeros. Large blocks are fresh pages
// that need no clearing, so an image's pages are first touched where its
// rows are written, not all at once when it is made.
void* mem_alloc_zeroed(uint32_t tag, size_t size);

// Releases every block and record of every tag (engine stop); returns the
// number of blocks found.
int32_t mem_release_everything();

// Heap flags of a live block, 0 when the tag does not own it.
uint32_t mem_block_flags(uint32_t tag, const void* block);
// Number of live blocks over all tags.
int32_t mem_live_block_count();

// The largest single block RPb_AF_mem_alloc and _realloc hand out; larger
// requests fail. Unlimited outside loads (SIZE_MAX); a load sets its
// allocation limit (limits.h). Returns the previous limit.
size_t mem_alloc_limit_set(size_t limit);

// Frees a whole tag when the scope ends, on every exit path.
class TagGuard {
 public:
  TagGuard() : tag_(RPb_AF_mem_unique_tag_get()) {}
  explicit TagGuard(uint32_t tag) : tag_(tag) {}
  ~TagGuard() {
    if (tag_ != 0) RPb_AF_mem_free_all(tag_);
  }
  TagGuard(const TagGuard&) = delete;
  TagGuard& operator=(const TagGuard&) = delete;

  uint32_t tag() const { return tag_; }
  // Keeps the tag's memory alive past the scope.
  uint32_t release() {
    uint32_t t = tag_;
    tag_ = 0;
    return t;
  }
  void* alloc(size_t size) { return RPb_AF_mem_alloc(tag_, size); }

 private:
  uint32_t tag_;
};

}  // namespace rx
