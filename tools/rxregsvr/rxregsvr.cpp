// rxregsvr: registers a component library in the current user's store, or
// removes its registrations, through the library's own entry points.
#include <cstdio>
#include <cstring>

#include "platform/com.h"

namespace {

void usage(std::FILE* to) {
  std::fputs("usage: rxregsvr [/u | -u] library.so\n"
             "  Registers the component library (or with /u, -u unregisters it)\n"
             "  in the store of the current user.\n",
             to);
}

const char* describe(com::HRESULT hr) {
  switch (hr) {
    case com::CO_E_DLLNOTFOUND: return "library not found";
    case com::CO_E_ERRORINDLL: return "library could not be loaded or refused to start";
    case com::E_NOTIMPL: return "library has no self-registration entry point";
    case com::SELFREG_E_TYPELIB: return "type library registration failed";
    case com::SELFREG_E_CLASS: return "class registration failed";
    case com::REGDB_E_WRITEREGDB: return "cannot write the registration store";
    case com::E_OUTOFMEMORY: return "out of memory";
    default: return "failed";
  }
}

}  // namespace

int main(int argc, char** argv) {
  bool unregister = false;
  const char* path = nullptr;
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    if (std::strcmp(a, "-h") == 0 || std::strcmp(a, "--help") == 0) {
      usage(stdout);
      return 0;
    }
    if (std::strcmp(a, "/u") == 0 || std::strcmp(a, "-u") == 0 || std::strcmp(a, "/U") == 0) {
      unregister = true;
    } else if (path == nullptr && a[0] != '\0' && a[0] != '-') {
      path = a;
    } else {
      usage(stderr);
      return 2;
    }
  }
  if (path == nullptr) {
    usage(stderr);
    return 2;
  }
  com::HRESULT hr = com::com_library_register(path, unregister);
  if (com::FAILED(hr)) {
    std::fprintf(stderr, "rxregsvr: %s %s: %s (0x%08X)\n", unregister ? "unregistering" : "registering",
                 path, describe(hr), static_cast<unsigned>(hr));
    return 1;
  }
  std::printf("rxregsvr: %s %s\n", unregister ? "unregistered" : "registered", path);
  return 0;
}
