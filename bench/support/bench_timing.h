// Clocks for the benchmarks: the processor time of the calling thread (a
// busy machine disturbs it less than the wall clock), the wall clock, and
// the best of several runs on either.
#pragma once

#include <time.h>

#include <algorithm>
#include <chrono>
#include <functional>

namespace bench {

// Milliseconds of processor time the calling thread has used.
inline double thread_ms() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// Milliseconds on the steady wall clock.
inline double wall_ms() {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// The shortest of `runs` calls of f, in milliseconds of `clock`.
inline double best_ms(int runs, const std::function<void()>& f, double (*clock)() = thread_ms) {
  double best = 1e30;
  for (int i = 0; i < runs; ++i) {
    const double t0 = clock();
    f();
    best = std::min(best, clock() - t0);
  }
  return best;
}

}  // namespace bench
