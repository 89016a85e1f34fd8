// A component library's view of itself: where it lives, and its
// self-registration as run by a registration tool.
#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

#include "com_internal.h"

namespace com {

HRESULT com_module_path(const void* address, char* out, uint32_t size) {
  if (out == nullptr) return E_POINTER;
  if (size > 0) out[0] = '\0';
  if (address == nullptr) return E_INVALIDARG;
  return detail::guarded([&]() -> HRESULT {
    Dl_info info{};
    if (dladdr(address, &info) == 0 || info.dli_fname == nullptr || *info.dli_fname == '\0')
      return E_FAIL;
    // dli_fname is whatever the loader was given; the store wants a path
    // that works from any directory.
    char resolved[PATH_MAX];
    const char* path = ::realpath(info.dli_fname, resolved) ? resolved : info.dli_fname;
    return detail::copy_out(path, out, size);
  });
}

HRESULT com_library_register(const char* path, bool unregister) {
  return detail::library_self_register(path, unregister);
}

}  // namespace com
