// A message queue per thread: send calls the procedure at once, post
// queues; peeking yields queued messages first, then paint for invalid
// windows, then due timers.
#include <chrono>
#include <condition_variable>
#include <map>

#include "platform/kernel.h"
#include "window_internal.h"

namespace pw {
namespace {

struct Queue {
  std::deque<pw_message> messages;
  std::condition_variable wake;
};

struct Queues {
  std::mutex lock;
  std::map<std::thread::id, std::shared_ptr<Queue>> by_thread;
};

Queues& queues() {
  static Queues* q = new Queues;
  return *q;
}

std::shared_ptr<Queue> queue_for(std::thread::id t) {
  // Called with the lock held.
  auto& slot = queues().by_thread[t];
  if (!slot) slot = std::make_shared<Queue>();
  return slot;
}

struct HostPump {
  std::mutex lock;
  pw_host_pump_fn fn = nullptr;
  void* user = nullptr;
};
HostPump& host_pump() {
  static HostPump* h = new HostPump;
  return *h;
}
thread_local bool t_in_host_pump = false;

void run_host_pump() {
  pw_host_pump_fn fn;
  void* user;
  {
    std::lock_guard<std::mutex> guard(host_pump().lock);
    fn = host_pump().fn;
    user = host_pump().user;
  }
  if (fn == nullptr || t_in_host_pump) return;
  t_in_host_pump = true;
  fn(user);
  t_in_host_pump = false;
}

bool in_range(uint32_t m, uint32_t first, uint32_t last) {
  return (first == 0 && last == 0) || (m >= first && m <= last);
}

// A window of this thread that is shown and has something to paint.
bool paint_due(uintptr_t filter, pw_message* out) {
  for (uintptr_t h : all_windows()) {
    if (filter != 0 && h != filter) continue;
    auto w = window_of(h);
    if (!w || w->destroying || !w->invalid || !(w->style & WS_VISIBLE) || w->thread != std::this_thread::get_id())
      continue;
    *out = pw_message{hwnd_of(h), WM_PAINT, 0, 0, pk_tick_count()};
    return true;
  }
  return false;
}

bool post_to(std::thread::id t, const pw_message& m) {
  std::shared_ptr<Queue> q;
  {
    std::lock_guard<std::mutex> guard(queues().lock);
    q = queue_for(t);
    if (q->messages.size() >= kMaxQueued) return false;
    q->messages.push_back(m);
  }
  q->wake.notify_all();
  return true;
}

}  // namespace

void queue_forget_window(uintptr_t h) {
  std::lock_guard<std::mutex> guard(queues().lock);
  for (auto& entry : queues().by_thread) {
    auto& d = entry.second->messages;
    for (auto it = d.begin(); it != d.end();) {
      if (raw(it->hwnd) == h) {
        if (it->message == WM_DROPFILES) pw_drop_finish(reinterpret_cast<HDROP>(it->wparam));
        it = d.erase(it);
      } else {
        ++it;
      }
    }
  }
}

}  // namespace pw

using namespace pw;

extern "C" LRESULT pw_message_send(HWND hwnd, uint32_t message, WPARAM wparam, LPARAM lparam) {
  auto w = window_of(hwnd);  // held for the call, so a window destroyed inside stays readable
  if (!w || w->thread != std::this_thread::get_id() || w->proc == nullptr) return 0;
  return w->proc(hwnd, message, wparam, lparam);
}

extern "C" int32_t pw_message_post(HWND hwnd, uint32_t message, WPARAM wparam, LPARAM lparam) {
  std::thread::id t = std::this_thread::get_id();
  if (hwnd != nullptr) {
    auto w = window_of(hwnd);
    if (!w || w->destroying) return 0;
    t = w->thread;
  }
  if (!post_to(t, pw_message{hwnd, message, wparam, lparam, pk_tick_count()})) return 0;
  notify(PW_EVENT_QUEUED, raw(hwnd));
  return 1;
}

extern "C" void pw_quit_post(int32_t code) {
  post_to(std::this_thread::get_id(), pw_message{nullptr, WM_QUIT, static_cast<WPARAM>(code), 0, pk_tick_count()});
  notify(PW_EVENT_QUEUED, 0);
}

extern "C" int32_t pw_queue_length(void) {
  std::lock_guard<std::mutex> guard(queues().lock);
  return static_cast<int32_t>(queue_for(std::this_thread::get_id())->messages.size());
}

extern "C" void pw_host_pump_set(pw_host_pump_fn fn, void* user) {
  std::lock_guard<std::mutex> guard(host_pump().lock);
  host_pump().fn = fn;
  host_pump().user = user;
}

extern "C" int32_t pw_message_peek(pw_message* out, HWND hwnd, uint32_t first, uint32_t last, uint32_t remove) {
  if (out == nullptr) return 0;
  run_host_pump();
  {
    std::lock_guard<std::mutex> guard(queues().lock);
    auto q = queue_for(std::this_thread::get_id());
    for (auto it = q->messages.begin(); it != q->messages.end(); ++it) {
      bool window_ok = hwnd == nullptr || it->hwnd == hwnd;
      if (!window_ok || !in_range(it->message, first, last)) continue;
      *out = *it;
      if (remove & PW_PM_REMOVE) q->messages.erase(it);
      return 1;
    }
  }
  if (in_range(WM_PAINT, first, last) && paint_due(raw(hwnd), out)) return 1;
  if (in_range(WM_TIMER, first, last) && timer_due(raw(hwnd), out, remove & PW_PM_REMOVE)) return 1;
  return 0;
}

extern "C" int32_t pw_message_get(pw_message* out, HWND hwnd, uint32_t first, uint32_t last) {
  if (out == nullptr) return 0;
  for (;;) {
    if (pw_message_peek(out, hwnd, first, last, PW_PM_REMOVE)) return out->message == WM_QUIT ? 0 : 1;
    // Wait for a post, or a short while so that timers and a driven tick
    // counter are seen.
    std::shared_ptr<Queue> q;
    std::unique_lock<std::mutex> lock(queues().lock);
    q = queue_for(std::this_thread::get_id());
    if (q->messages.empty()) q->wake.wait_for(lock, std::chrono::milliseconds(5));
  }
}

extern "C" LRESULT pw_message_dispatch(const pw_message* msg) {
  if (msg == nullptr) return 0;
  if (msg->message == WM_TIMER && msg->lparam != 0) {
    auto proc = reinterpret_cast<pw_timer_proc>(msg->lparam);
    if (msg->hwnd != nullptr && !window_of(msg->hwnd)) return 0;
    proc(msg->hwnd, WM_TIMER, msg->wparam, msg->time);
    return 0;
  }
  if (msg->message >= WM_MOUSEMOVE && msg->message <= WM_MBUTTONUP && pw_capture_get() == nullptr)
    pw_message_send(msg->hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(msg->hwnd),
                    PW_MAKELPARAM(PW_HTCLIENT, msg->message));
  return pw_message_send(msg->hwnd, msg->message, msg->wparam, msg->lparam);
}

extern "C" int32_t pw_messages_pump(int32_t* quit_code) {
  int32_t handled = 0;
  // Only what is queued now: messages posted while handling wait for the
  // next pump, so one pump always ends.
  std::deque<pw_message> now;
  {
    std::lock_guard<std::mutex> guard(queues().lock);
    now.swap(queue_for(std::this_thread::get_id())->messages);
  }
  while (!now.empty()) {
    pw_message m = now.front();
    now.pop_front();
    if (m.message == WM_QUIT) {
      if (quit_code) *quit_code = static_cast<int32_t>(m.wparam);
      // Put back what was not handled, ahead of anything posted since.
      std::lock_guard<std::mutex> guard(queues().lock);
      auto q = queue_for(std::this_thread::get_id());
      q->messages.insert(q->messages.begin(), now.begin(), now.end());
      return -1;
    }
    if (m.hwnd != nullptr && !window_of(m.hwnd)) {
      if (m.message == WM_DROPFILES) pw_drop_finish(reinterpret_cast<HDROP>(m.wparam));
      continue;
    }
    pw_message_dispatch(&m);
    ++handled;
  }
  for (uintptr_t h : all_windows()) {
    auto w = window_of(h);
    if (!w || w->destroying || !w->invalid || !(w->style & WS_VISIBLE) || w->thread != std::this_thread::get_id())
      continue;
    pw_message m{hwnd_of(h), WM_PAINT, 0, 0, pk_tick_count()};
    pw_message_dispatch(&m);
    ++handled;
  }
  for (const pw_message& m : timers_take_due()) {
    pw_message_dispatch(&m);
    ++handled;
  }
  return handled;
}
