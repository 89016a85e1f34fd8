// Module loading for extension modules.
#include <dlfcn.h>
#include <unistd.h>

#include "platform/kernel.h"
#include "platform/module_scope.h"

namespace {
thread_local const char* g_last_error = "";
}  // namespace

// A module resolves the functions it calls back into (the engine's RPb_
// exports) in the process's global scope. When the engine lives in a
// shared library that its host opened privately (the control library),
// that library's exports are not there yet: reopen it in place with
// global visibility. In an executable the lookup finds no library of that
// name and nothing changes; reopening an exposed library changes nothing.
extern "C" void pk_module_expose(const void* address) {
  Dl_info info{};
  if (address == nullptr || dladdr(address, &info) == 0 || info.dli_fname == nullptr) return;
  if (void* self = dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_GLOBAL)) dlclose(self);
}

extern "C" void* pk_module_load(const char* path) {
  if (path == nullptr || *path == '\0') return nullptr;
  void* module = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  const char* e = module ? nullptr : dlerror();
  g_last_error = e ? e : "";
  return module;
}

extern "C" void* pk_module_symbol(void* module, const char* name) {
  if (module == nullptr || name == nullptr) return nullptr;
  return dlsym(module, name);
}

extern "C" void pk_module_free(void* module) {
  if (module != nullptr) dlclose(module);
}

extern "C" const char* pk_module_error(void) { return g_last_error; }

extern "C" uintptr_t pk_process_id(void) { return static_cast<uintptr_t>(getpid()); }
