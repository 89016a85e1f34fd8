// The helpers every per-process table is made with: a zeroed block under a
// tag of its own, registered in the instance record under its key.
#include "SUPPORT/engine_tables.h"

#include <cstring>

#include "SUPPORT/instance.h"
#include "SUPPORT/mem_tag.h"
#include "rastrix/rx_status.h"

namespace rx {

int32_t table_create(int32_t key, uint32_t size, void** out) {
  TagGuard tag;
  void* table = tag.alloc(size);
  if (table == nullptr) return RXE_GLOBAL_MEMORY_DEPLETED;
  std::memset(table, 0, size);
  const uint32_t t = tag.tag();
  std::memcpy(table, &t, sizeof t);
  if (instance_slot_set(key, table) != kInstOk) return RXE_INSTANCE_FAILURE;
  tag.release();
  if (out) *out = table;
  return 0;
}

void table_destroy(int32_t key) {
  void* table = nullptr;
  if (instance_slot_get(key, &table) != kInstOk || table == nullptr) return;
  uint32_t tag;
  std::memcpy(&tag, table, sizeof tag);
  instance_slot_remove(key);
  RPb_AF_mem_free_all(tag);
}

}  // namespace rx
