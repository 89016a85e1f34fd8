// Error reporting of the module's sources: each file names itself, and a
// failure is one entry on the engine's error stack, pushed where it is
// found (RPb_AF_error_set keeps the text after the last backslash).
#pragma once

#include "rastrix/rpb.h"

#define RXLZW_SOURCE(path) [[maybe_unused]] static constexpr const char kRxlzwSource[] = path
#define RXLZW_ERR(code, ival, lval)                                           \
  RPb_AF_error_set(kRxlzwSource, __LINE__, static_cast<int32_t>(code),        \
                   static_cast<int32_t>(ival), static_cast<int32_t>(lval))

namespace rxlzw {

// Memory of one call, under a tag of its own, released on every path.
class Pool {
 public:
  Pool() : tag_(RPb_AF_mem_unique_tag_get()) {}
  ~Pool() { RPb_AF_mem_free_all(tag_); }
  Pool(const Pool&) = delete;
  Pool& operator=(const Pool&) = delete;
  void* alloc(size_t size) { return RPb_AF_mem_alloc(tag_, size); }
  void* realloc(void* block, size_t size) { return RPb_AF_mem_realloc(tag_, block, size); }
  uint32_t tag() const { return tag_; }

 private:
  uint32_t tag_;
};

}  // namespace rxlzw
