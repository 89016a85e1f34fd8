// Window classes registered by name.
#include <cstring>
#include <map>

#include "window_internal.h"

namespace pw {
namespace {

struct Classes {
  std::mutex lock;
  std::map<std::string, std::shared_ptr<WindowClass>> by_name;
  uint32_t next_atom = 0xC000;
};

// A static object rather than a block never freed, so that a library
// holding this layer (the control's) takes its table along when a host
// unloads it; the engine unregisters its class before then.
Classes& classes() {
  static Classes c;
  return c;
}

// Class and window names longer than this are refused.
constexpr size_t kMaxClassName = 255;

}  // namespace

std::shared_ptr<WindowClass> class_find(const std::string& name) {
  Classes& c = classes();
  std::lock_guard<std::mutex> guard(c.lock);
  auto it = c.by_name.find(name);
  return it == c.by_name.end() ? nullptr : it->second;
}

}  // namespace pw

using namespace pw;

extern "C" uint32_t pw_class_register(const pw_window_class* cls) {
  if (cls == nullptr || cls->name == nullptr || cls->proc == nullptr || cls->window_extra < 0 ||
      cls->window_extra > 4096)
    return 0;
  std::string name(cls->name, strnlen(cls->name, kMaxClassName + 1));
  if (name.empty() || name.size() > kMaxClassName) return 0;
  Classes& c = classes();
  std::lock_guard<std::mutex> guard(c.lock);
  if (c.by_name.count(name)) return 0;
  auto k = std::make_shared<WindowClass>();
  k->rec = *cls;
  k->name = name;
  k->rec.name = k->name.c_str();
  k->atom = c.next_atom++;
  c.by_name[name] = k;
  return k->atom;
}

extern "C" int32_t pw_class_info_get(const char* name, pw_window_class* out) {
  if (name == nullptr) return 0;
  auto k = class_find(std::string(name, strnlen(name, kMaxClassName + 1)));
  if (!k) return 0;
  if (out) *out = k->rec;
  return 1;
}

extern "C" int32_t pw_class_unregister(const char* name) {
  if (name == nullptr) return 0;
  Classes& c = classes();
  std::lock_guard<std::mutex> guard(c.lock);
  auto it = c.by_name.find(std::string(name, strnlen(name, kMaxClassName + 1)));
  if (it == c.by_name.end() || it->second->windows > 0) return 0;
  c.by_name.erase(it);
  return 1;
}
