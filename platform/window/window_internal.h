// The window layer's records behind their handles, shared by its sources
// and by nothing outside platform/.
#pragma once

#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "../gdi/gdi_internal.h"
#include "platform/window.h"

namespace pw {

// Queued messages per thread are limited so that a runaway poster cannot
// grow memory without bound.
inline constexpr size_t kMaxQueued = 10000;
inline constexpr int32_t kScrollBarSize = 16;
inline constexpr int32_t kCaptionHeight = 18;
inline constexpr int32_t kThickFrame = 4;

struct WindowClass {
  pw_window_class rec{};
  std::string name;
  uint32_t atom = 0;
  int32_t windows = 0;  // live windows of the class
  // A class held by several owners (pw_class_hold): each holder's record,
  // the one in force first. Empty for a class registered plainly.
  std::vector<pw_window_class> holders;
};

struct ScrollBar {
  int32_t min = 0, max = 100;
  uint32_t page = 0;
  int32_t pos = 0, track = 0;
};

struct Window : pg::Object {
  Window() : Object(pg::Kind::Window) {}
  uintptr_t handle = 0;
  std::shared_ptr<WindowClass> cls;
  pw_window_proc proc = nullptr;
  uint32_t style = 0, ex_style = 0;
  int32_t x = 0, y = 0, w = 0, h = 0;  // outer rectangle, parent client coordinates
  uintptr_t parent = 0;
  std::vector<uintptr_t> children;
  intptr_t id = 0;
  std::string text;
  std::vector<intptr_t> extra;
  std::vector<std::pair<std::string, void*>> props;
  std::shared_ptr<pg::Display> display;
  uintptr_t display_handle = 0;
  std::shared_ptr<pg::Surface> surface;  // the client area; null while it is empty
  bool invalid = false, erase = false;
  pg_rect invalid_rect{};
  ScrollBar bars[2];
  std::thread::id thread;
  bool destroying = false;
  bool accept_files = false;
};

std::shared_ptr<Window> window_of(HWND hwnd);
std::shared_ptr<Window> window_of(uintptr_t handle);
inline HWND hwnd_of(uintptr_t h) { return reinterpret_cast<HWND>(h); }
inline uintptr_t raw(HWND h) { return reinterpret_cast<uintptr_t>(h); }

// Frame, caption and visible scroll bars around the client area.
struct Insets {
  int32_t left, top, right, bottom;
};
Insets nonclient(uint32_t style);
void client_size(const Window& w, int32_t* cw, int32_t* ch);
// Makes the surface match the client size, keeping what still fits.
void surface_fit(Window& w);
// Adds to the invalid area (client coordinates), cut to the client area.
void invalidate(Window& w, const pg_rect* rect, bool erase);

void notify(int32_t event, uintptr_t hwnd);

// Every live window handle, in creation order.
std::vector<uintptr_t> all_windows();
void window_list_add(uintptr_t h);
void window_list_remove(uintptr_t h);

// Queue and timer housekeeping on destruction.
void queue_forget_window(uintptr_t h);
void timers_forget_window(uintptr_t h);
void input_forget_window(uintptr_t h);

std::shared_ptr<WindowClass> class_find(const std::string& name);

// Due timers of this thread as WM_TIMER messages; with `take` the first
// one found is started again.
bool timer_due(uintptr_t hwnd_filter, pw_message* out, bool take);
// Every due timer of this thread, each started again.
std::vector<pw_message> timers_take_due();

// The message a window would get when its client size changes.
void send_size(Window& w);

}  // namespace pw
