// The handle registry of the drawing and window layers. A handle is a
// number, never an address: values are handed out once (the kind in the
// low bits, a serial above), so an invalid, deleted or foreign value is
// simply not found and nothing is ever read through it.
#include <mutex>
#include <unordered_map>

#include "gdi_internal.h"

namespace pg {
namespace {

struct Entry {
  std::shared_ptr<Object> object;
  bool permanent;
};

struct Registry {
  std::mutex lock;
  std::unordered_map<uintptr_t, Entry> table;
  uintptr_t next_serial = 0x1000;  // keeps handles far from small integers
};

// A static object rather than a block never freed, so that a library
// holding this layer (the control's) takes its table along when a host
// unloads it. The stock objects are made after it and so go before it.
Registry& registry() {
  static Registry r;
  return r;
}

}  // namespace

uintptr_t registry_add(std::shared_ptr<Object> object, bool permanent) {
  if (!object) return 0;
  Registry& r = registry();
  std::lock_guard<std::mutex> guard(r.lock);
  uintptr_t handle = (r.next_serial++ << 4) | static_cast<uintptr_t>(object->kind);
  r.table.emplace(handle, Entry{std::move(object), permanent});
  return handle;
}

std::shared_ptr<Object> registry_find(uintptr_t handle, Kind kind) {
  if ((handle & 0xF) != static_cast<uintptr_t>(kind)) return nullptr;
  Registry& r = registry();
  std::lock_guard<std::mutex> guard(r.lock);
  auto it = r.table.find(handle);
  return it == r.table.end() ? nullptr : it->second.object;
}

bool registry_remove(uintptr_t handle, Kind kind) {
  std::shared_ptr<Object> doomed;  // released outside the lock
  {
    Registry& r = registry();
    std::lock_guard<std::mutex> guard(r.lock);
    auto it = r.table.find(handle);
    if (it == r.table.end() || it->second.object->kind != kind || it->second.permanent) return false;
    doomed = std::move(it->second.object);
    r.table.erase(it);
  }
  return true;
}

int32_t registry_count() {
  Registry& r = registry();
  std::lock_guard<std::mutex> guard(r.lock);
  int32_t n = 0;
  for (auto& e : r.table)
    if (!e.second.permanent) ++n;
  return n;
}

}  // namespace pg

extern "C" int32_t pg_object_count(void) { return pg::registry_count(); }
