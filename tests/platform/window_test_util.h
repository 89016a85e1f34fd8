// Helpers for the window layer's tests and the tests above it: classes
// and windows made for a test, what a window shows, a recording window
// class and a tick counter the test moves by hand.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/kernel.h"
#include "platform/window.h"

namespace window_test {

// Registers a class around `proc` and gives its name back; the first call
// in the process registers it, later ones find the name taken.
inline const char* class_of(const char* name, pw_window_proc proc, HBRUSH background = nullptr) {
  pw_window_class c{};
  c.proc = proc;
  c.background = background;
  c.name = name;
  pw_class_register(&c);
  return name;
}

// The windows a test makes, destroyed together when it ends.
class Windows {
 public:
  HWND make(const char* cls, uint32_t style, int32_t w, int32_t h, HWND parent = nullptr, int32_t x = 0,
            int32_t y = 0) {
    HWND hwnd = pw_window_create(0, cls, "test", style, x, y, w, h, parent, 7, nullptr);
    made_.push_back(hwnd);
    return hwnd;
  }
  void destroy_all() {
    for (HWND h : made_) pw_window_destroy(h);
    made_.clear();
  }

 private:
  std::vector<HWND> made_;
};

// What a window shows, w x h pixels from its client area's top left, as
// the layer renders them (alpha included).
inline std::vector<uint32_t> rendered(HWND hwnd, int32_t w, int32_t h) {
  std::vector<uint32_t> px(size_t(w) * size_t(h));
  EXPECT_EQ(pw_window_render(hwnd, px.data(), w, h, w), w * h);
  return px;
}

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
