// Input fed by a toolkit or a test: mouse, keys, characters and dropped
// files become queued messages; capture, focus and the key states.
#include <algorithm>
#include <atomic>
#include <cstring>

#include "window_internal.h"

namespace pw {
namespace {

struct InputState {
  std::mutex lock;
  uintptr_t capture = 0, focus = 0;
  uint8_t keys[256] = {};  // bit 7 down, bit 0 toggled
};
InputState& input() {
  static InputState* s = new InputState;
  return *s;
}

struct Drop : pg::Object {
  Drop() : Object(pg::Kind::Drop) {}
  std::vector<std::string> names;
  pg_point point{};
};

// Dropped lists are limited to this many names of this length.
constexpr int32_t kMaxDropNames = 4096;
constexpr size_t kMaxDropName = 4096;

int16_t clamp16(int64_t v) { return static_cast<int16_t>(std::clamp<int64_t>(v, INT16_MIN, INT16_MAX)); }

uintptr_t focus_or(HWND hwnd) {
  std::lock_guard<std::mutex> guard(input().lock);
  return input().focus != 0 && window_of(input().focus) ? input().focus : raw(hwnd);
}

uint32_t key_flags() {
  std::lock_guard<std::mutex> guard(input().lock);
  uint32_t k = 0;
  if (input().keys[VK_SHIFT] & 0x80) k |= PW_MK_SHIFT;
  if (input().keys[VK_CONTROL] & 0x80) k |= PW_MK_CONTROL;
  return k;
}

}  // namespace

void input_forget_window(uintptr_t h) {
  std::lock_guard<std::mutex> guard(input().lock);
  if (input().capture == h) input().capture = 0;
  if (input().focus == h) input().focus = 0;
}

}  // namespace pw

using namespace pw;

extern "C" int32_t pw_client_to_screen(HWND hwnd, pg_point* point) {
  auto w = window_of(hwnd);
  if (!w || point == nullptr) return 0;
  int64_t x = point->x, y = point->y;
  for (int depth = 0; w && depth < 64; ++depth) {
    Insets in = nonclient(w->style);
    x += int64_t{w->x} + in.left;
    y += int64_t{w->y} + in.top;
    w = (w->style & WS_CHILD) ? window_of(w->parent) : nullptr;
  }
  point->x = static_cast<int32_t>(std::clamp<int64_t>(x, INT32_MIN, INT32_MAX));
  point->y = static_cast<int32_t>(std::clamp<int64_t>(y, INT32_MIN, INT32_MAX));
  return 1;
}

extern "C" int32_t pw_screen_to_client(HWND hwnd, pg_point* point) {
  if (point == nullptr) return 0;
  pg_point origin{0, 0};
  if (!pw_client_to_screen(hwnd, &origin)) return 0;
  point->x = static_cast<int32_t>(std::clamp<int64_t>(int64_t{point->x} - origin.x, INT32_MIN, INT32_MAX));
  point->y = static_cast<int32_t>(std::clamp<int64_t>(int64_t{point->y} - origin.y, INT32_MIN, INT32_MAX));
  return 1;
}

extern "C" HWND pw_capture_set(HWND hwnd) {
  if (hwnd != nullptr && !window_of(hwnd)) return nullptr;
  uintptr_t old;
  {
    std::lock_guard<std::mutex> guard(input().lock);
    old = input().capture;
    input().capture = raw(hwnd);
  }
  if (old != 0 && old != raw(hwnd) && window_of(old))
    pw_message_send(hwnd_of(old), WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hwnd));
  notify(PW_EVENT_CAPTURE, raw(hwnd));
  return window_of(old) ? hwnd_of(old) : nullptr;
}

extern "C" int32_t pw_capture_release(void) {
  uintptr_t old;
  {
    std::lock_guard<std::mutex> guard(input().lock);
    old = input().capture;
    input().capture = 0;
  }
  if (old != 0 && window_of(old)) pw_message_send(hwnd_of(old), WM_CAPTURECHANGED, 0, 0);
  notify(PW_EVENT_CAPTURE, 0);
  return 1;
}

extern "C" HWND pw_capture_get(void) {
  std::lock_guard<std::mutex> guard(input().lock);
  return window_of(input().capture) ? hwnd_of(input().capture) : nullptr;
}

extern "C" HWND pw_focus_set(HWND hwnd) {
  if (hwnd != nullptr && !window_of(hwnd)) return nullptr;
  uintptr_t old;
  {
    std::lock_guard<std::mutex> guard(input().lock);
    old = input().focus;
    input().focus = raw(hwnd);
  }
  if (old == raw(hwnd)) return hwnd;
  if (old != 0 && window_of(old)) pw_message_send(hwnd_of(old), WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
  if (hwnd != nullptr) pw_message_send(hwnd, WM_SETFOCUS, static_cast<WPARAM>(old), 0);
  return window_of(old) ? hwnd_of(old) : nullptr;
}

extern "C" HWND pw_focus_get(void) {
  std::lock_guard<std::mutex> guard(input().lock);
  return window_of(input().focus) ? hwnd_of(input().focus) : nullptr;
}

extern "C" int16_t pw_key_state(uint32_t virtual_key) {
  if (virtual_key > 255) return 0;
  std::lock_guard<std::mutex> guard(input().lock);
  uint8_t k = input().keys[virtual_key];
  return static_cast<int16_t>(((k & 0x80) ? 0x8000 : 0) | (k & 1));
}

extern "C" int32_t pw_input_mouse(HWND hwnd, uint32_t message, int32_t x, int32_t y, uint32_t keys) {
  if (message < WM_MOUSEMOVE || message > WM_MBUTTONUP || !window_of(hwnd)) return 0;
  {
    std::lock_guard<std::mutex> guard(input().lock);
    uint8_t* k = input().keys;
    switch (message) {
      case WM_LBUTTONDOWN: case WM_LBUTTONDBLCLK: k[VK_LBUTTON] |= 0x80; break;
      case WM_LBUTTONUP: k[VK_LBUTTON] &= 0x7F; break;
      case WM_RBUTTONDOWN: k[VK_RBUTTON] |= 0x80; break;
      case WM_RBUTTONUP: k[VK_RBUTTON] &= 0x7F; break;
      default: break;
    }
  }
  HWND target = hwnd;
  pg_point p{x, y};
  if (HWND cap = pw_capture_get(); cap != nullptr && cap != hwnd) {
    pw_client_to_screen(hwnd, &p);
    pw_screen_to_client(cap, &p);
    target = cap;
  }
  return pw_message_post(target, message, keys | key_flags(), PW_MAKELPARAM(clamp16(p.x), clamp16(p.y)));
}

extern "C" int32_t pw_input_key(HWND hwnd, uint32_t message, uint32_t virtual_key) {
  if ((message != WM_KEYDOWN && message != WM_KEYUP) || virtual_key == 0 || virtual_key > 255 || !window_of(hwnd))
    return 0;
  {
    std::lock_guard<std::mutex> guard(input().lock);
    uint8_t& k = input().keys[virtual_key];
    if (message == WM_KEYDOWN) {
      if (!(k & 0x80) && virtual_key == VK_CAPITAL) k ^= 1;
      k |= 0x80;
    } else {
      k &= 0x7F;
    }
  }
  LPARAM flags = message == WM_KEYUP ? static_cast<LPARAM>(static_cast<int32_t>(0xC0000001u)) : 1;
  return pw_message_post(hwnd_of(focus_or(hwnd)), message, virtual_key, flags);
}

extern "C" int32_t pw_input_char(HWND hwnd, uint32_t character) {
  if (!window_of(hwnd)) return 0;
  return pw_message_post(hwnd_of(focus_or(hwnd)), WM_CHAR, character, 1);
}

extern "C" int32_t pw_window_drag_accept(HWND hwnd, int32_t accept) {
  auto w = window_of(hwnd);
  if (!w) return 0;
  w->accept_files = accept != 0;
  if (accept) w->ex_style |= WS_EX_ACCEPTFILES;
  else w->ex_style &= ~static_cast<uint32_t>(WS_EX_ACCEPTFILES);
  return 1;
}

extern "C" int32_t pw_input_drop(HWND hwnd, const char* const* names, int32_t count, int32_t x, int32_t y) {
  auto w = window_of(hwnd);
  if (!w || !w->accept_files || names == nullptr || count <= 0 || count > kMaxDropNames) return 0;
  auto d = std::make_shared<Drop>();
  for (int32_t i = 0; i < count; ++i) {
    if (names[i] == nullptr) return 0;
    d->names.emplace_back(names[i], strnlen(names[i], kMaxDropName));
  }
  d->point = pg_point{x, y};
  uintptr_t h = pg::registry_add(d);
  if (!pw_message_post(hwnd, WM_DROPFILES, h, 0)) {
    pg::registry_remove(h, pg::Kind::Drop);
    return 0;
  }
  return 1;
}

extern "C" int32_t pw_drop_query(HDROP drop, uint32_t index, char* out, int32_t size) {
  auto d = std::static_pointer_cast<Drop>(pg::registry_find(reinterpret_cast<uintptr_t>(drop), pg::Kind::Drop));
  if (!d) return 0;
  if (index == 0xFFFFFFFFu) return static_cast<int32_t>(d->names.size());
  if (index >= d->names.size()) return 0;
  const std::string& n = d->names[index];
  if (out != nullptr && size > 0) {
    size_t k = std::min(n.size(), static_cast<size_t>(size - 1));
    std::memcpy(out, n.data(), k);
    out[k] = '\0';
  }
  return static_cast<int32_t>(n.size());
}

extern "C" int32_t pw_drop_point(HDROP drop, pg_point* out) {
  auto d = std::static_pointer_cast<Drop>(pg::registry_find(reinterpret_cast<uintptr_t>(drop), pg::Kind::Drop));
  if (!d || out == nullptr) return 0;
  *out = d->point;
  return 1;
}

extern "C" void pw_drop_finish(HDROP drop) { pg::registry_remove(reinterpret_cast<uintptr_t>(drop), pg::Kind::Drop); }
