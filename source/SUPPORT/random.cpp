// The engine's pseudo-random sequence and its seeding from the clock.
#include "SUPPORT/random.h"

#include "platform/kernel.h"

namespace rx {
namespace {

thread_local uint32_t g_state = 1;
thread_local bool g_pinned = false;
thread_local uint32_t g_pinned_seed = 0;

}  // namespace

int32_t random15() {
  g_state = g_state * 1103515245u + 12345u;
  return static_cast<int32_t>((g_state >> 16) & 0x7FFFu);
}

void random_seed(uint32_t seed) { g_state = seed; }

void random_seed_from_clock() {
  if (g_pinned) {
    g_state = g_pinned_seed;
    return;
  }
  pk_local_time t{};
  pk_time_local(&t);
  const uint32_t seconds = static_cast<uint32_t>((t.hour * 60 + t.minute) * 60 + t.second);
  g_state = seconds * 1000u + static_cast<uint32_t>(t.millisecond);
}

void random_clock_seed_pin(const uint32_t* seed) {
  g_pinned = seed != nullptr;
  g_pinned_seed = seed != nullptr ? *seed : 0;
}

}  // namespace rx
