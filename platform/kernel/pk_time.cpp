// Local time, a millisecond tick counter and the engine's date stamp.
#include <sys/time.h>

#include <atomic>
#include <cstring>
#include <ctime>

#include "platform/kernel.h"

extern "C" void pk_time_local(pk_local_time* out) {
  if (out == nullptr) return;
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  tm t{};
  localtime_r(&ts.tv_sec, &t);
  out->year = t.tm_year + 1900;
  out->month = t.tm_mon + 1;
  out->day = t.tm_mday;
  out->hour = t.tm_hour;
  out->minute = t.tm_min;
  out->second = t.tm_sec;
  out->millisecond = static_cast<int32_t>(ts.tv_nsec / 1000000);
  out->weekday = t.tm_wday;
}

namespace {
std::atomic<pk_tick_source_fn> g_tick_source{nullptr};
std::atomic<void*> g_tick_user{nullptr};
}  // namespace

extern "C" void pk_tick_source_set(pk_tick_source_fn source, void* user) {
  g_tick_user.store(user);
  g_tick_source.store(source);
}

extern "C" uint32_t pk_tick_count(void) {
  if (pk_tick_source_fn source = g_tick_source.load()) return source(g_tick_user.load());
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);
}

extern "C" void pk_date_stamp(char out[21]) {
  time_t now = time(nullptr);
  tm t{};
  localtime_r(&now, &t);
  char text[32];
  asctime_r(&t, text);  // "Mon Dec  7 14:00:00 2026\n"
  std::memcpy(out, text + 4, 20);
  out[20] = '\0';
}
