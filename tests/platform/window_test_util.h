// Helpers for the window layer's tests: a recording window class and a
// tick counter the test moves by hand.
#pragma once

#include <string>
#include <vector>

#include "platform/kernel.h"
#include "platform/window.h"

namespace window_test {

struct Seen {
  HWND hwnd;
  uint32_t message;
  WPARAM wparam;
  LPARAM lparam;
};

// Every message that reaches a window of the recording class.
inline std::vector<Seen>& seen() {
  static std::vector<Seen> v;
  return v;
}

inline LRESULT recording_proc(HWND h, uint32_t m, WPARAM w, LPARAM l) {
  seen().push_back(Seen{h, m, w, l});
  return pw_window_proc_default(h, m, w, l);
}

inline const char* recording_class() {
  static bool done = [] {
    pw_window_class c{};
    c.proc = recording_proc;
    c.window_extra = 16;
    c.cursor = PW_CURSOR_CROSS;
    c.background = pg_stock_brush(PG_WHITE_BRUSH);
    c.name = "TestRecordingClass";
    return pw_class_register(&c) != 0;
  }();
  (void)done;
  return "TestRecordingClass";
}

inline int count(uint32_t message, HWND h = nullptr) {
  int n = 0;
  for (auto& s : seen())
    if (s.message == message && (h == nullptr || s.hwnd == h)) ++n;
  return n;
}

// The last message of a kind (a zero record when there is none).
inline Seen last(uint32_t message, HWND h = nullptr) {
  for (auto it = seen().rbegin(); it != seen().rend(); ++it)
    if (it->message == message && (h == nullptr || it->hwnd == h)) return *it;
  return Seen{nullptr, 0, 0, 0};
}

// A tick counter driven by the test.
inline uint32_t& now() {
  static uint32_t t = 1000;
  return t;
}
inline uint32_t driven_ticks(void*) { return now(); }

struct DrivenClock {
  DrivenClock() { pk_tick_source_set(driven_ticks, nullptr); }
  ~DrivenClock() { pk_tick_source_set(nullptr, nullptr); }
};

}  // namespace window_test
