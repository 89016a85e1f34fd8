// The list of live tool records.
#include "gui/tool_records.h"

#include <cstring>

#include "SUPPORT/error.h"
#include "SUPPORT/mem_tag.h"

RX_SOURCE("source\\gui\\tool_records.cpp");

namespace rx {
namespace {

// Windows belong to the user-interface thread, and so do their records.
ToolHead* g_tools = nullptr;

}  // namespace

void* tool_record_new(ToolKind kind, size_t size) {
  TagGuard pool;
  auto* head = static_cast<ToolHead*>(pool.alloc(size));
  if (head == nullptr) {
    RX_ERR(RXE_MEMORY_ALLOC_FAILED, size, 0);
    return nullptr;
  }
  std::memset(static_cast<void*>(head), 0, size);
  head->pool = pool.release();
  head->kind = kind;
  head->next = g_tools;
  g_tools = head;
  return head;
}

bool tool_record_listed(const void* record, ToolKind kind) {
  if (record == nullptr) return false;
  for (const ToolHead* h = g_tools; h != nullptr; h = h->next)
    if (h == record) return h->kind == kind;
  return false;
}

void tool_record_free(void* record) {
  auto* head = static_cast<ToolHead*>(record);
  for (ToolHead** p = &g_tools; *p != nullptr; p = &(*p)->next) {
    if (*p == head) {
      *p = head->next;
      break;
    }
  }
  if (RPb_AF_mem_free_all(head->pool) < 0) RX_ERR(RXE_MEMORY_FREE_FAILED, 0, 0);
}

ToolHead* tool_records_first() { return g_tools; }

}  // namespace rx
