// Times image operations in-process: each run works on a fresh copy of the
// picture (the copy is not timed), and the best run is printed as "case
// wall_ms cpu_ms", the wall-clock time and the time the thread spent on
// the processor. A failed operation ends the program with its code.
#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "rastrix/rastrix.h"
#include "rastrix/rpb.h"
#include "bench_timing.h"

namespace bench {

inline RX_HIMAGE copy_of(RX_HIMAGE image) {
  auto* record = reinterpret_cast<IMAGE_REC*>(image);
  const void* dib = RPb_DIB_pointer_get(record);
  RX_HIMAGE copy = 0;
  if (RX_image_create_from_DIB(dib, RPb_DIB_DIB_size_get(dib), &copy) != 0) {
    std::fprintf(stderr, "copy failed\n");
    std::exit(1);
  }
  return copy;
}

struct OpTimer {
  int runs = 5;
  const char* only = nullptr;  // set: every other case is skipped

  void operator()(const char* name, RX_HIMAGE source,
                  const std::function<int32_t(RX_HIMAGE)>& op) const {
    if (only != nullptr && std::string(only) != name) return;
    double best = 1e30, best_cpu = 1e30;
    for (int i = 0; i < runs; ++i) {
      RX_HIMAGE image = copy_of(source);
      const double cpu_start = thread_ms();
      const auto start = std::chrono::steady_clock::now();
      const int32_t errors = op(image);
      const auto end = std::chrono::steady_clock::now();
      best_cpu = std::min(best_cpu, thread_ms() - cpu_start);
      if (errors != 0) {
        int32_t code = 0;
        RX_error_get(0, nullptr, 0, nullptr, &code, nullptr, nullptr);
        std::fprintf(stderr, "%s failed: %d\n", name, code);
        std::exit(1);
      }
      RX_image_delete(image);
      best = std::min(best, std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::printf("%s %.3f %.3f\n", name, best, best_cpu);
    std::fflush(stdout);
  }
};

}  // namespace bench
