// Module loading for extension modules.
#include <dlfcn.h>

#include "platform/kernel.h"

namespace {
thread_local const char* g_last_error = "";
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
