// A host of the control library that links nothing of the engine: it opens
// librast32po.so privately, as the component model does, loads an extension
// module through the library's public functions and loads an image with it.
// Prints "WIDTH HEIGHT BITS" of the image, or what failed.
//
// Usage: control_host LIBRAST32PO MODULE IMAGE
#include <dlfcn.h>

#include <cstdint>
#include <cstdio>

#include "rastrix/rastrix.h"

namespace {

template <typename Fn>
Fn symbol(void* library, const char* name) {
  return reinterpret_cast<Fn>(dlsym(library, name));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  void* control = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (control == nullptr) {
    std::printf("library: %s\n", dlerror());
    return 1;
  }
  auto start = symbol<decltype(&RX_engine_start)>(control, "RX_engine_start");
  auto stop = symbol<decltype(&RX_engine_stop)>(control, "RX_engine_stop");
  auto load_module = symbol<decltype(&RX_extension_load)>(control, "RX_extension_load");
  auto error_get = symbol<decltype(&RX_error_get)>(control, "RX_error_get");
  auto load = symbol<decltype(&RX_image_load_file)>(control, "RX_image_load_file");
  auto dims = symbol<decltype(&RX_image_dimensions_get)>(control, "RX_image_dimensions_get");
  auto del = symbol<decltype(&RX_image_delete)>(control, "RX_image_delete");
  if (!start || !stop || !load_module || !error_get || !load || !dims || !del) return 1;
  if (start(0) != 1) return 1;
  int status = 0;
  RX_HIMAGE image = 0;
  if (load_module(argv[2]) != 0 || load(argv[3], &image) != 0) {
    int32_t line = 0, code = 0, i = 0, l = 0;
    char file[16] = {};
    error_get(0, file, sizeof file, &line, &code, &i, &l);
    std::printf("failed: %s:%d code %d\n", file, line, code);
    status = 1;
  } else {
    int32_t w = 0, h = 0, bits = 0;
    dims(image, &w, &h, &bits);
    std::printf("%d %d %d\n", w, h, bits);
    del(image);
  }
  stop();
  dlclose(control);
  return status;
}
