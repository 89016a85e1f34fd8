// Creating objects of registered classes: names to class ids, class ids to
// component libraries, and the process's table of loaded libraries.
#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <memory>
#include <mutex>

#include "com_internal.h"

namespace com {

namespace {

typedef HRESULT (*GetClassObjectFn)(const CLSID*, const IID*, void**);
typedef HRESULT (*CanUnloadNowFn)();
typedef HRESULT (*RegisterFn)();
typedef int32_t (*MainFn)(uintptr_t, uint32_t, void*);

struct Library {
  std::string path;
  void* handle = nullptr;
  GetClassObjectFn get_class_object = nullptr;
  CanUnloadNowFn can_unload_now = nullptr;
  MainFn main = nullptr;
  uint32_t busy = 0;  // calls into the library made outside the lock
};

// Recursive: a library's DllMain may itself create objects of other
// classes while its load is still in progress.
struct Table {
  std::recursive_mutex mutex;
  std::vector<Library*> libraries;
};

Table& table() {
  // Made on first use and never destroyed, so a library that links this
  // code has no start-up or exit code from it.
  static Table* t = new Table;
  return *t;
}

template <class T>
T symbol(void* handle, const char* name) {
  return reinterpret_cast<T>(dlsym(handle, name));
}

void unload(Library* lib) {
  if (lib->main != nullptr) lib->main(reinterpret_cast<uintptr_t>(lib->handle), 0, nullptr);
  dlclose(lib->handle);
}

// Finds or loads the library at an absolute, resolved path and marks it
// busy; the caller calls release() when its call into it is over.
HRESULT acquire(const std::string& path, bool need_class_object, Library** out, bool* loaded_now) {
  Table& t = table();
  std::lock_guard<std::recursive_mutex> lock(t.mutex);
  for (Library* lib : t.libraries) {
    if (lib->path == path) {
      ++lib->busy;
      *out = lib;
      *loaded_now = false;
      return S_OK;
    }
  }
  if (::access(path.c_str(), F_OK) != 0) return CO_E_DLLNOTFOUND;
  t.libraries.reserve(t.libraries.size() + 1);  // no throw after the load below
  auto lib = std::make_unique<Library>();
  lib->path = path;
  lib->handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (lib->handle == nullptr) return CO_E_ERRORINDLL;
  lib->get_class_object = symbol<GetClassObjectFn>(lib->handle, "DllGetClassObject");
  lib->can_unload_now = symbol<CanUnloadNowFn>(lib->handle, "DllCanUnloadNow");
  lib->main = symbol<MainFn>(lib->handle, "DllMain");
  if (need_class_object && lib->get_class_object == nullptr) {
    dlclose(lib->handle);
    return CO_E_ERRORINDLL;
  }
  if (lib->main != nullptr && lib->main(reinterpret_cast<uintptr_t>(lib->handle), 1, nullptr) == 0) {
    dlclose(lib->handle);
    return CO_E_ERRORINDLL;
  }
  lib->busy = 1;
  *out = lib.get();
  *loaded_now = true;
  t.libraries.push_back(lib.release());
  return S_OK;
}

void release(Library* lib) {
  std::lock_guard<std::recursive_mutex> lock(table().mutex);
  --lib->busy;
}

// Unloads lib when nothing uses it and the library agrees.
void unload_if_unused(Library* lib) {
  Table& t = table();
  std::lock_guard<std::recursive_mutex> lock(t.mutex);
  if (lib->busy != 0 || lib->can_unload_now == nullptr || lib->can_unload_now() != S_OK) return;
  t.libraries.erase(std::find(t.libraries.begin(), t.libraries.end(), lib));
  unload(lib);
  delete lib;
}

HRESULT resolve_path(const char* path, std::string* out) {
  char resolved[PATH_MAX];
  if (::realpath(path, resolved) == nullptr) return CO_E_DLLNOTFOUND;
  *out = resolved;
  return S_OK;
}

HRESULT clsid_from_prog_id(const detail::RegStore& store, const char* prog_id, CLSID* out) {
  if (prog_id == nullptr || *prog_id == '\0' || std::strpbrk(prog_id, "\\\r\n") != nullptr)
    return CO_E_CLASSSTRING;
  const detail::RegKey* k = store.find(std::string(prog_id) + "\\CLSID");
  const std::string* id = k ? k->find("") : nullptr;
  if (id == nullptr || !guid_from_string(id->c_str(), out)) return CO_E_CLASSSTRING;
  return S_OK;
}

// A version key as registration writes it: "major.minor", each 16 bits.
// The store may be edited by hand, and "-1.0" or "2.0x" must not pass
// for the newest version.
bool version_part(const char* b, const char* e, unsigned* out) {
  auto [end, ec] = std::from_chars(b, e, *out);
  return b != e && ec == std::errc() && end == e && *out <= UINT16_MAX;
}

bool parse_version(const std::string& text, unsigned* major, unsigned* minor) {
  const size_t dot = text.find('.');
  if (dot == std::string::npos) return false;
  const char* s = text.data();
  return version_part(s, s + dot, major) && version_part(s + dot + 1, s + text.size(), minor);
}

// "Lib.Coclass": the coclass of the highest registered version of the
// type library called Lib.
HRESULT clsid_from_typelib_name(const detail::RegStore& store, const std::string& name, CLSID* out) {
  size_t dot = name.find('.');
  if (dot == std::string::npos || dot == 0 || dot + 1 == name.size()) return CO_E_CLASSSTRING;
  std::string lib_name = name.substr(0, dot);
  std::string coclass = name.substr(dot + 1);
  if (coclass.find('\\') != std::string::npos) return CO_E_CLASSSTRING;
  bool found = false;
  unsigned best_major = 0, best_minor = 0;
  for (const std::string& libid : store.children("TypeLib")) {
    std::string lib_key = "TypeLib\\" + libid;
    for (const std::string& version : store.children(lib_key)) {
      std::string key = lib_key + '\\' + version;
      const detail::RegKey* k = store.find(key);
      const std::string* n = k ? k->find("name") : nullptr;
      if (n == nullptr || !detail::iequal(n->c_str(), lib_name.c_str())) continue;
      const detail::RegKey* c = store.find(key + "\\Coclass\\" + coclass);
      const std::string* id = c ? c->find("") : nullptr;
      CLSID clsid;
      if (id == nullptr || !guid_from_string(id->c_str(), &clsid)) continue;
      unsigned major = 0, minor = 0;
      if (!parse_version(version, &major, &minor)) continue;
      if (found && (major < best_major || (major == best_major && minor < best_minor))) continue;
      found = true;
      best_major = major;
      best_minor = minor;
      *out = clsid;
    }
  }
  return found ? S_OK : CO_E_CLASSSTRING;
}

HRESULT clsid_from_registered_name(const detail::RegStore& store, const char* name, CLSID* out) {
  if (SUCCEEDED(clsid_from_prog_id(store, name, out))) return S_OK;
  return clsid_from_typelib_name(store, name, out);
}

// The class object of a registered class, from a store already read.
HRESULT class_object(const detail::RegStore& store, const CLSID& clsid, const IID& iid, void** out) {
  const detail::RegKey* k = store.find(detail::clsid_key(clsid) + "\\InprocServer32");
  const std::string* path = k ? k->find("") : nullptr;
  if (path == nullptr || path->empty()) return REGDB_E_CLASSNOTREG;
  std::string resolved;
  HRESULT hr = resolve_path(path->c_str(), &resolved);
  if (FAILED(hr)) return hr;
  Library* lib = nullptr;
  bool loaded_now = false;
  hr = acquire(resolved, true, &lib, &loaded_now);
  if (FAILED(hr)) return hr;
  if (lib->get_class_object == nullptr) {
    hr = CO_E_ERRORINDLL;  // loaded earlier only to register it
  } else {
    hr = lib->get_class_object(&clsid, &iid, out);
    if (FAILED(hr)) *out = nullptr;
  }
  release(lib);
  return hr;
}

HRESULT create_instance(const detail::RegStore& store, const CLSID& clsid, IUnknown* outer,
                        const IID& iid, void** out) {
  void* p = nullptr;
  HRESULT hr = class_object(store, clsid, IID_IClassFactory, &p);
  if (FAILED(hr)) return hr;
  auto* factory = static_cast<IClassFactory*>(p);
  hr = factory->CreateInstance(outer, iid, out);
  if (FAILED(hr)) *out = nullptr;
  factory->Release();
  return hr;
}

}  // namespace

HRESULT CLSIDFromProgID(const char* prog_id, CLSID* out) {
  if (out == nullptr) return E_POINTER;
  return detail::guarded([&]() -> HRESULT {
    detail::RegStore store;
    HRESULT hr = detail::reg_load(&store);
    if (FAILED(hr)) return hr;
    return clsid_from_prog_id(store, prog_id, out);
  });
}

HRESULT CLSIDFromName(const char* name, CLSID* out) {
  if (out == nullptr) return E_POINTER;
  if (name == nullptr || *name == '\0') return CO_E_CLASSSTRING;
  if (name[0] == '{') return guid_from_string(name, out) ? S_OK : CO_E_CLASSSTRING;
  return detail::guarded([&]() -> HRESULT {
    detail::RegStore store;
    HRESULT hr = detail::reg_load(&store);
    if (FAILED(hr)) return hr;
    return clsid_from_registered_name(store, name, out);
  });
}

HRESULT CoGetClassObject(const CLSID& clsid, const IID& iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  return detail::guarded([&]() -> HRESULT {
    detail::RegStore store;
    HRESULT hr = detail::reg_load(&store);
    if (FAILED(hr)) return hr;
    return class_object(store, clsid, iid, out);
  });
}

HRESULT CoCreateInstance(const CLSID& clsid, IUnknown* outer, const IID& iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  return detail::guarded([&]() -> HRESULT {
    detail::RegStore store;
    HRESULT hr = detail::reg_load(&store);
    if (FAILED(hr)) return hr;
    return create_instance(store, clsid, outer, iid, out);
  });
}

HRESULT CoCreateInstanceByName(const char* name, const IID& iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (name == nullptr || *name == '\0') return CO_E_CLASSSTRING;
  CLSID clsid;
  if (name[0] == '{' && !guid_from_string(name, &clsid)) return CO_E_CLASSSTRING;
  // One read of the store serves both the name and the class's library.
  return detail::guarded([&]() -> HRESULT {
    detail::RegStore store;
    HRESULT hr = detail::reg_load(&store);
    if (FAILED(hr)) return hr;
    // A well-formed name that nothing registered is a class not
    // registered; only a malformed class id is a bad class string.
    if (name[0] != '{' && FAILED(clsid_from_registered_name(store, name, &clsid)))
      return REGDB_E_CLASSNOTREG;
    return create_instance(store, clsid, nullptr, iid, out);
  });
}

void CoFreeUnusedLibraries() {
  detail::guarded([]() -> HRESULT {
    Table& t = table();
    std::lock_guard<std::recursive_mutex> lock(t.mutex);
    // A copy: unloading changes the table.
    std::vector<Library*> all = t.libraries;
    for (Library* lib : all) unload_if_unused(lib);
    return S_OK;
  });
}

namespace detail {
HRESULT library_self_register(const char* path, bool unregister) {
  if (path == nullptr || *path == '\0') return E_INVALIDARG;
  return guarded([&]() -> HRESULT {
    std::string resolved;
    HRESULT hr = resolve_path(path, &resolved);
    if (FAILED(hr)) return hr;
    Library* lib = nullptr;
    bool loaded_now = false;
    hr = acquire(resolved, false, &lib, &loaded_now);
    if (FAILED(hr)) return hr;
    auto fn = symbol<RegisterFn>(lib->handle, unregister ? "DllUnregisterServer" : "DllRegisterServer");
    hr = fn != nullptr ? fn() : E_NOTIMPL;
    release(lib);
    // Left loaded when it was in use before; otherwise gone again, as a
    // registration tool expects.
    if (loaded_now) unload_if_unused(lib);
    return hr;
  });
}
}  // namespace detail

}  // namespace com
