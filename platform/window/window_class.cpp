// Window classes registered by name.
#include <algorithm>
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
// unloads it; the engine lets go of its classes before then.
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

namespace pw {
namespace {

bool usable(const pw_window_class* cls, std::string* name) {
  if (cls == nullptr || cls->name == nullptr || cls->proc == nullptr || cls->window_extra < 0 ||
      cls->window_extra > 4096)
    return false;
  *name = std::string(cls->name, strnlen(cls->name, kMaxClassName + 1));
  return !name->empty() && name->size() <= kMaxClassName;
}

// Makes the class; the caller holds the table's lock.
std::shared_ptr<WindowClass> add(Classes& c, const std::string& name, const pw_window_class* cls) {
  auto k = std::make_shared<WindowClass>();
  k->rec = *cls;
  k->name = name;
  k->rec.name = k->name.c_str();
  k->atom = c.next_atom++;
  c.by_name[name] = k;
  return k;
}

}  // namespace
}  // namespace pw

extern "C" uint32_t pw_class_register(const pw_window_class* cls) {
  std::string name;
  if (!usable(cls, &name)) return 0;
  Classes& c = classes();
  std::lock_guard<std::mutex> guard(c.lock);
  if (c.by_name.count(name)) return 0;
  return add(c, name, cls)->atom;
}

extern "C" uint32_t pw_class_hold(const pw_window_class* cls) {
  std::string name;
  if (!usable(cls, &name)) return 0;
  Classes& c = classes();
  std::lock_guard<std::mutex> guard(c.lock);
  auto it = c.by_name.find(name);
  if (it == c.by_name.end()) {
    auto k = add(c, name, cls);
    k->holders.push_back(k->rec);
    return k->atom;
  }
  WindowClass& k = *it->second;
  if (k.holders.empty()) return 0;
  for (const pw_window_class& h : k.holders)
    if (h.proc == cls->proc) return 0;
  k.holders.push_back(*cls);
  k.holders.back().name = k.name.c_str();
  return k.atom;
}

extern "C" int32_t pw_class_release(const char* name, pw_window_proc proc) {
  if (name == nullptr || proc == nullptr) return 0;
  Classes& c = classes();
  std::lock_guard<std::mutex> guard(c.lock);
  auto it = c.by_name.find(std::string(name, strnlen(name, kMaxClassName + 1)));
  if (it == c.by_name.end()) return 0;
  WindowClass& k = *it->second;
  auto h = std::find_if(k.holders.begin(), k.holders.end(),
                        [proc](const pw_window_class& r) { return r.proc == proc; });
  if (h == k.holders.end()) return 0;
  if (k.holders.size() == 1) {
    if (k.windows > 0) return 0;
    c.by_name.erase(it);
    return 1;
  }
  k.holders.erase(h);
  k.rec = k.holders.front();
  return 1;
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
