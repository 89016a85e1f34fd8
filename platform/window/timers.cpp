// Timers paced by the kernel layer's tick counter, so that a test that
// drives the counter runs them without waiting.
#include <algorithm>

#include "platform/kernel.h"
#include "window_internal.h"

namespace pw {
namespace {

struct Timer {
  uintptr_t hwnd;
  uintptr_t id;
  uint32_t elapse;
  uint32_t start;
  pw_timer_proc proc;
  std::thread::id thread;
};

struct Timers {
  std::mutex lock;
  std::vector<Timer> list;
  uintptr_t next_thread_id = 0x7F00;
};

Timers& timers() {
  static Timers* t = new Timers;
  return *t;
}

// Timers per thread are limited like queued messages.
constexpr size_t kMaxTimers = 10000;

// Ticks wrap at 2^32; the difference in unsigned arithmetic is the time
// gone by.
bool due(const Timer& t, uint32_t now) { return now - t.start >= t.elapse; }

pw_message message_of(const Timer& t, uint32_t now) {
  return pw_message{hwnd_of(t.hwnd), WM_TIMER, t.id, reinterpret_cast<LPARAM>(t.proc), now};
}

}  // namespace

bool timer_due(uintptr_t hwnd_filter, pw_message* out, bool take) {
  uint32_t now = pk_tick_count();
  std::lock_guard<std::mutex> guard(timers().lock);
  for (Timer& t : timers().list) {
    if (t.thread != std::this_thread::get_id() || (hwnd_filter != 0 && t.hwnd != hwnd_filter) || !due(t, now))
      continue;
    *out = message_of(t, now);
    if (take) t.start = now;
    return true;
  }
  return false;
}

std::vector<pw_message> timers_take_due() {
  uint32_t now = pk_tick_count();
  std::vector<pw_message> out;
  std::lock_guard<std::mutex> guard(timers().lock);
  for (Timer& t : timers().list) {
    if (t.thread != std::this_thread::get_id() || !due(t, now)) continue;
    out.push_back(message_of(t, now));
    t.start = now;
  }
  return out;
}

void timers_forget_window(uintptr_t h) {
  std::lock_guard<std::mutex> guard(timers().lock);
  auto& v = timers().list;
  v.erase(std::remove_if(v.begin(), v.end(), [h](const Timer& t) { return t.hwnd == h; }), v.end());
}

}  // namespace pw

using namespace pw;

extern "C" uintptr_t pw_timer_set(HWND hwnd, uintptr_t id, uint32_t elapse_ms, pw_timer_proc proc) {
  if (hwnd != nullptr) {
    auto w = window_of(hwnd);
    if (!w || w->destroying || w->thread != std::this_thread::get_id()) return 0;
  }
  uintptr_t result;
  {
    std::lock_guard<std::mutex> guard(timers().lock);
    auto& v = timers().list;
    uintptr_t h = raw(hwnd);
    if (h == 0) id = timers().next_thread_id++;
    auto it = std::find_if(v.begin(), v.end(), [&](const Timer& t) { return t.hwnd == h && t.id == id && h != 0; });
    Timer t{h, id, elapse_ms, pk_tick_count(), proc, std::this_thread::get_id()};
    if (it != v.end()) {
      *it = t;  // setting an existing timer starts it again
    } else {
      if (v.size() >= kMaxTimers) return 0;
      v.push_back(t);
    }
    result = h == 0 ? id : (id == 0 ? 1 : id);
  }
  notify(PW_EVENT_TIMERS, raw(hwnd));
  return result;
}

extern "C" int32_t pw_timer_kill(HWND hwnd, uintptr_t id) {
  bool found = false;
  {
    std::lock_guard<std::mutex> guard(timers().lock);
    auto& v = timers().list;
    auto it = std::find_if(v.begin(), v.end(), [&](const Timer& t) {
      return t.hwnd == raw(hwnd) && t.id == id && t.thread == std::this_thread::get_id();
    });
    if (it != v.end()) {
      v.erase(it);
      found = true;
    }
  }
  if (found) notify(PW_EVENT_TIMERS, raw(hwnd));
  return found ? 1 : 0;
}

extern "C" int32_t pw_timer_next_due(void) {
  uint32_t now = pk_tick_count();
  int64_t best = -1;
  std::lock_guard<std::mutex> guard(timers().lock);
  for (const Timer& t : timers().list) {
    if (t.thread != std::this_thread::get_id()) continue;
    int64_t left = due(t, now) ? 0 : int64_t{t.elapse} - (now - t.start);
    if (best < 0 || left < best) best = left;
  }
  return static_cast<int32_t>(std::min<int64_t>(best, INT32_MAX));
}
