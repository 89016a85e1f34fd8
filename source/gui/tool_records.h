// Records of the tool windows and trackings: each from a memory tag of its
// own, and kept on one list, so that a pointer found under a window
// property or in a window's extra word is only ever read when the engine
// made it and it is still alive.
#pragma once

#include <cstddef>
#include <cstdint>

namespace rx {

enum class ToolKind : uint32_t { kMagnifier = 1, kPan = 2, kSelect = 3 };

// The first member of every tool record.
struct ToolHead {
  uint32_t pool;  // the memory tag owning the record
  ToolKind kind;
  ToolHead* next;
};

// A zero-filled, listed record of `size` bytes that starts with its head,
// or null after pushing RXE_MEMORY_ALLOC_FAILED.
void* tool_record_new(ToolKind kind, size_t size);
template <class T>
T* tool_new(ToolKind kind) {
  return static_cast<T*>(tool_record_new(kind, sizeof(T)));
}
// Whether `record` is a live record of the kind.
bool tool_record_listed(const void* record, ToolKind kind);
// Unlists the record and frees its tag.
void tool_record_free(void* record);
// The first live record (engine stop walks them), or null.
ToolHead* tool_records_first();

}  // namespace rx
