// Windows: creation and destruction, geometry, styles, text, procedures
// and subclassing, extra words and named properties.
#include <algorithm>
#include <cstring>

#include "window_internal.h"

namespace pw {
namespace {

struct WindowList {
  std::mutex lock;
  std::vector<uintptr_t> handles;
};
WindowList& window_list() {
  static WindowList* l = new WindowList;
  return *l;
}

struct Observer {
  std::mutex lock;
  pw_observer_fn fn = nullptr;
  void* user = nullptr;
};
Observer& observer() {
  static Observer* o = new Observer;
  return *o;
}

constexpr int32_t kMaxSide = 65535;
constexpr size_t kMaxText = 1 << 20;  // window texts are cut at 1 MiB

int32_t clamp_side(int32_t v) { return v < 0 ? 0 : v > kMaxSide ? kMaxSide : v; }

// Sends WM_SIZE when the client size changed since `cw` x `ch`.
void after_resize(Window& w, int32_t cw, int32_t ch) {
  int32_t nw = 0, nh = 0;
  client_size(w, &nw, &nh);
  if (nw == cw && nh == ch) return;
  surface_fit(w);
  invalidate(w, nullptr, true);
  send_size(w);
}

}  // namespace

std::shared_ptr<Window> window_of(uintptr_t handle) {
  return std::static_pointer_cast<Window>(pg::registry_find(handle, pg::Kind::Window));
}
std::shared_ptr<Window> window_of(HWND hwnd) { return window_of(raw(hwnd)); }

std::vector<uintptr_t> all_windows() {
  std::lock_guard<std::mutex> guard(window_list().lock);
  return window_list().handles;
}
void window_list_add(uintptr_t h) {
  std::lock_guard<std::mutex> guard(window_list().lock);
  window_list().handles.push_back(h);
}
void window_list_remove(uintptr_t h) {
  std::lock_guard<std::mutex> guard(window_list().lock);
  auto& v = window_list().handles;
  v.erase(std::remove(v.begin(), v.end(), h), v.end());
}

void notify(int32_t event, uintptr_t hwnd) {
  pw_observer_fn fn;
  void* user;
  {
    std::lock_guard<std::mutex> guard(observer().lock);
    fn = observer().fn;
    user = observer().user;
  }
  if (fn) fn(user, event, hwnd_of(hwnd));
}

Insets nonclient(uint32_t style) {
  Insets in{0, 0, 0, 0};
  int32_t frame = (style & WS_THICKFRAME) ? kThickFrame : (style & (WS_BORDER | WS_DLGFRAME)) ? 1 : 0;
  in.left = in.right = in.top = in.bottom = frame;
  if ((style & WS_CAPTION) == WS_CAPTION) in.top += kCaptionHeight;
  if (style & WS_VSCROLL) in.right += kScrollBarSize;
  if (style & WS_HSCROLL) in.bottom += kScrollBarSize;
  return in;
}

void client_size(const Window& w, int32_t* cw, int32_t* ch) {
  Insets in = nonclient(w.style);
  *cw = std::max(0, w.w - in.left - in.right);
  *ch = std::max(0, w.h - in.top - in.bottom);
}

void surface_fit(Window& w) {
  int32_t cw = 0, ch = 0;
  client_size(w, &cw, &ch);
  if (w.surface && w.surface->width == cw && w.surface->height == ch) return;
  auto s = pg::surface_create(cw, ch, w.display->bits, w.display);
  if (s && w.surface) {
    // Keep what still fits, so that a resize does not flash.
    int32_t rows = std::min(ch, w.surface->height);
    int64_t bytes = std::min(s->stride, w.surface->stride);
    for (int32_t y = 0; y < rows; ++y)
      std::memcpy(s->row(y), w.surface->row(y), static_cast<size_t>(bytes));
  }
  w.surface = s;
}

void invalidate(Window& w, const pg_rect* rect, bool erase) {
  int32_t cw = 0, ch = 0;
  client_size(w, &cw, &ch);
  pg_rect r = rect ? *rect : pg_rect{0, 0, cw, ch};
  r.left = std::max(r.left, 0);
  r.top = std::max(r.top, 0);
  r.right = std::min(r.right, cw);
  r.bottom = std::min(r.bottom, ch);
  if (r.right <= r.left || r.bottom <= r.top) return;
  if (w.invalid) {
    w.invalid_rect.left = std::min(w.invalid_rect.left, r.left);
    w.invalid_rect.top = std::min(w.invalid_rect.top, r.top);
    w.invalid_rect.right = std::max(w.invalid_rect.right, r.right);
    w.invalid_rect.bottom = std::max(w.invalid_rect.bottom, r.bottom);
  } else {
    w.invalid_rect = r;
  }
  w.invalid = true;
  w.erase = w.erase || erase;
  notify(PW_EVENT_INVALIDATED, w.handle);
}

void send_size(Window& w) {
  int32_t cw = 0, ch = 0;
  client_size(w, &cw, &ch);
  pw_message_send(hwnd_of(w.handle), WM_SIZE, PW_SIZE_RESTORED, PW_MAKELPARAM(cw, ch));
}

}  // namespace pw

using namespace pw;

extern "C" void pw_observer_set(pw_observer_fn fn, void* user) {
  std::lock_guard<std::mutex> guard(observer().lock);
  observer().fn = fn;
  observer().user = user;
}

extern "C" int32_t pw_system_metric(int32_t index) {
  switch (index) {
    case SM_CXSCREEN: return 1920;
    case SM_CYSCREEN: return 1080;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL: return kScrollBarSize;
    case SM_CYCAPTION: return kCaptionHeight;
    case SM_CXBORDER:
    case SM_CYBORDER: return 1;
    case SM_CXFRAME:
    case SM_CYFRAME: return kThickFrame;
    default: return 0;
  }
}

extern "C" int32_t pw_system_version_major(void) { return 4; }

extern "C" COLORREF pw_system_colour(int32_t index) {
  switch (index) {
    case COLOR_WINDOW: return PG_RGB(255, 255, 255);
    case COLOR_WINDOWTEXT: return PG_RGB(0, 0, 0);
    case COLOR_HIGHLIGHT: return PG_RGB(0, 0, 128);
    case COLOR_HIGHLIGHTTEXT: return PG_RGB(255, 255, 255);
    case COLOR_BTNFACE: return PG_RGB(192, 192, 192);
    case COLOR_BTNSHADOW: return PG_RGB(128, 128, 128);
    case COLOR_BTNTEXT: return PG_RGB(0, 0, 0);
    case COLOR_BTNHIGHLIGHT: return PG_RGB(255, 255, 255);
    default: return PG_CLR_INVALID;
  }
}

extern "C" HWND pw_window_create(uint32_t ex_style, const char* class_name, const char* title, uint32_t style,
                                 int32_t x, int32_t y, int32_t width, int32_t height, HWND parent, intptr_t id,
                                 void* param) {
  if (class_name == nullptr) return nullptr;
  auto cls = class_find(std::string(class_name, strnlen(class_name, 256)));
  if (!cls) return nullptr;
  std::shared_ptr<Window> parent_window;
  if (parent != nullptr) {
    parent_window = window_of(parent);
    if (!parent_window || parent_window->destroying) return nullptr;
  } else if (style & WS_CHILD) {
    return nullptr;  // a child needs a parent
  }
  auto w = std::make_shared<Window>();
  w->cls = cls;
  w->proc = cls->rec.proc;
  w->style = style;
  w->ex_style = ex_style;
  w->accept_files = ex_style & WS_EX_ACCEPTFILES;
  w->x = x;
  w->y = y;
  w->w = clamp_side(width);
  w->h = clamp_side(height);
  w->parent = raw(parent);
  w->id = id;
  if (title) w->text.assign(title, strnlen(title, kMaxText));
  w->extra.assign(static_cast<size_t>((cls->rec.window_extra + 7) / 8), 0);
  if (parent_window) {
    w->display = parent_window->display;
    w->display_handle = parent_window->display_handle;
  } else {
    w->display_handle = pg::raw(pg_display_default());
    w->display = pg::display_of(pg::as_handle<HDISPLAY>(w->display_handle));
    if (!w->display) w->display = pg::default_display();
  }
  w->thread = std::this_thread::get_id();
  surface_fit(*w);
  uintptr_t h = pg::registry_add(w);
  w->handle = h;
  ++cls->windows;
  window_list_add(h);
  if (parent_window) parent_window->children.push_back(h);
  notify(PW_EVENT_CREATED, h);

  pw_create_struct cs{param, parent, id, x, y, w->w, w->h, style, ex_style, w->text.c_str(), cls->name.c_str()};
  LRESULT r = pw_message_send(hwnd_of(h), WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs));
  if (r == -1 || !window_of(h)) {
    pw_window_destroy(hwnd_of(h));
    return nullptr;
  }
  send_size(*w);
  if (!window_of(h)) return nullptr;
  pw_message_send(hwnd_of(h), WM_MOVE, 0, PW_MAKELPARAM(x, y));
  if (!window_of(h)) return nullptr;
  if (w->style & WS_VISIBLE) {
    invalidate(*w, nullptr, true);
    notify(PW_EVENT_SHOWN, h);
  }
  return hwnd_of(h);
}

extern "C" int32_t pw_window_destroy(HWND hwnd) {
  auto w = window_of(hwnd);
  if (!w) return 0;
  if (w->destroying) return 1;  // already on its way, e.g. from its own WM_DESTROY
  if (w->thread != std::this_thread::get_id()) return 0;
  w->destroying = true;
  uintptr_t h = w->handle;
  if (w->style & WS_VISIBLE) notify(PW_EVENT_HIDDEN, h);
  pw_message_send(hwnd, WM_DESTROY, 0, 0);
  std::vector<uintptr_t> kids = w->children;
  for (uintptr_t k : kids) pw_window_destroy(hwnd_of(k));
  pw_message_send(hwnd, WM_NCDESTROY, 0, 0);

  timers_forget_window(h);
  queue_forget_window(h);
  input_forget_window(h);
  if (auto p = window_of(w->parent)) p->children.erase(std::remove(p->children.begin(), p->children.end(), h), p->children.end());
  --w->cls->windows;
  w->props.clear();
  window_list_remove(h);
  pg::registry_remove(h, pg::Kind::Window);
  notify(PW_EVENT_DESTROYED, h);
  return 1;
}

extern "C" int32_t pw_window_valid(HWND hwnd) {
  auto w = window_of(hwnd);
  return w && !w->destroying ? 1 : 0;
}

extern "C" int32_t pw_window_count(void) { return static_cast<int32_t>(all_windows().size()); }

extern "C" int32_t pw_window_show(HWND hwnd, int32_t command) {
  auto w = window_of(hwnd);
  if (!w) return 0;
  bool was = w->style & WS_VISIBLE;
  bool show = command != SW_HIDE;
  if (show == was) return was ? 1 : 0;
  pw_message_send(hwnd, WM_SHOWWINDOW, show ? 1 : 0, 0);
  if (!window_of(hwnd)) return was ? 1 : 0;
  if (show) {
    w->style |= WS_VISIBLE;
    invalidate(*w, nullptr, true);
  } else {
    w->style &= ~static_cast<uint32_t>(WS_VISIBLE);
  }
  notify(show ? PW_EVENT_SHOWN : PW_EVENT_HIDDEN, w->handle);
  return was ? 1 : 0;
}

extern "C" int32_t pw_window_visible(HWND hwnd) {
  auto w = window_of(hwnd);
  return w && (w->style & WS_VISIBLE) ? 1 : 0;
}

extern "C" int32_t pw_window_move(HWND hwnd, int32_t x, int32_t y, int32_t width, int32_t height, int32_t repaint) {
  auto w = window_of(hwnd);
  if (!w) return 0;
  int32_t cw = 0, ch = 0;
  client_size(*w, &cw, &ch);
  bool moved = w->x != x || w->y != y;
  w->x = x;
  w->y = y;
  w->w = clamp_side(width);
  w->h = clamp_side(height);
  after_resize(*w, cw, ch);
  if (!window_of(hwnd)) return 1;
  if (moved) pw_message_send(hwnd, WM_MOVE, 0, PW_MAKELPARAM(x, y));
  if (repaint && window_of(hwnd)) invalidate(*w, nullptr, true);
  notify(PW_EVENT_MOVED, w->handle);
  return 1;
}

extern "C" int32_t pw_window_rect_get(HWND hwnd, pg_rect* out) {
  auto w = window_of(hwnd);
  if (!w || out == nullptr) return 0;
  *out = pg_rect{w->x, w->y, static_cast<int32_t>(std::min<int64_t>(INT32_MAX, int64_t{w->x} + w->w)),
                 static_cast<int32_t>(std::min<int64_t>(INT32_MAX, int64_t{w->y} + w->h))};
  return 1;
}

extern "C" int32_t pw_client_rect_get(HWND hwnd, pg_rect* out) {
  auto w = window_of(hwnd);
  if (!w || out == nullptr) return 0;
  int32_t cw = 0, ch = 0;
  client_size(*w, &cw, &ch);
  *out = pg_rect{0, 0, cw, ch};
  return 1;
}

extern "C" int32_t pw_window_rect_adjust(pg_rect* rect, uint32_t style) {
  if (rect == nullptr) return 0;
  // Scroll bars are not counted, as the client rectangle is taken to be
  // the area inside them.
  Insets in = nonclient(style & ~static_cast<uint32_t>(WS_HSCROLL | WS_VSCROLL));
  rect->left -= in.left;
  rect->top -= in.top;
  rect->right += in.right;
  rect->bottom += in.bottom;
  return 1;
}

extern "C" uint32_t pw_window_style_get(HWND hwnd) {
  auto w = window_of(hwnd);
  return w ? w->style : 0;
}

extern "C" uint32_t pw_window_ex_style_get(HWND hwnd) {
  auto w = window_of(hwnd);
  return w ? w->ex_style : 0;
}

extern "C" uint32_t pw_window_style_set(HWND hwnd, uint32_t style) {
  auto w = window_of(hwnd);
  if (!w) return 0;
  uint32_t old = w->style;
  int32_t cw = 0, ch = 0;
  client_size(*w, &cw, &ch);
  w->style = style;
  after_resize(*w, cw, ch);
  if ((old ^ style) & (WS_HSCROLL | WS_VSCROLL)) notify(PW_EVENT_SCROLLBARS, w->handle);
  if ((old ^ style) & WS_VISIBLE) notify((style & WS_VISIBLE) ? PW_EVENT_SHOWN : PW_EVENT_HIDDEN, w->handle);
  return old;
}

extern "C" int32_t pw_window_text_set(HWND hwnd, const char* text) {
  auto w = window_of(hwnd);
  if (!w) return 0;
  w->text = text ? std::string(text, strnlen(text, kMaxText)) : std::string();
  notify(PW_EVENT_TEXT, w->handle);
  return 1;
}

extern "C" int32_t pw_window_text_get(HWND hwnd, char* out, int32_t size) {
  auto w = window_of(hwnd);
  if (!w) return 0;
  if (out != nullptr && size > 0) {
    size_t n = std::min(w->text.size(), static_cast<size_t>(size - 1));
    std::memcpy(out, w->text.data(), n);
    out[n] = '\0';
  }
  return static_cast<int32_t>(w->text.size());
}

extern "C" HWND pw_window_parent(HWND hwnd) {
  auto w = window_of(hwnd);
  return w && window_of(w->parent) ? hwnd_of(w->parent) : nullptr;
}

extern "C" intptr_t pw_window_id(HWND hwnd) {
  auto w = window_of(hwnd);
  return w ? w->id : 0;
}

extern "C" int32_t pw_window_class_name(HWND hwnd, char* out, int32_t size) {
  auto w = window_of(hwnd);
  if (!w || out == nullptr || size <= 0) return 0;
  size_t n = std::min(w->cls->name.size(), static_cast<size_t>(size - 1));
  std::memcpy(out, w->cls->name.data(), n);
  out[n] = '\0';
  return static_cast<int32_t>(n);
}

extern "C" HDISPLAY pw_window_display(HWND hwnd) {
  auto w = window_of(hwnd);
  if (!w) return nullptr;
  return pg::as_handle<HDISPLAY>(w->display_handle);
}

extern "C" HWND pw_window_child(HWND hwnd, int32_t index) {
  auto w = window_of(hwnd);
  if (!w || index < 0 || static_cast<size_t>(index) >= w->children.size()) return nullptr;
  return hwnd_of(w->children[static_cast<size_t>(index)]);
}

extern "C" pw_window_proc pw_window_proc_set(HWND hwnd, pw_window_proc proc) {
  auto w = window_of(hwnd);
  if (!w || proc == nullptr) return nullptr;
  pw_window_proc old = w->proc;
  w->proc = proc;
  return old;
}

extern "C" pw_window_proc pw_window_proc_get(HWND hwnd) {
  auto w = window_of(hwnd);
  return w ? w->proc : nullptr;
}

extern "C" LRESULT pw_window_proc_call(pw_window_proc proc, HWND hwnd, uint32_t message, WPARAM wparam,
                                       LPARAM lparam) {
  if (proc == nullptr) return 0;
  auto w = window_of(hwnd);
  if (!w || w->thread != std::this_thread::get_id()) return 0;
  return proc(hwnd, message, wparam, lparam);
}

extern "C" LRESULT pw_window_proc_default(HWND hwnd, uint32_t message, WPARAM wparam, LPARAM lparam) {
  (void)lparam;
  auto w = window_of(hwnd);
  if (!w) return 0;
  switch (message) {
    case WM_ERASEBKGND: {
      if (w->cls->rec.background == nullptr) return 0;
      pg_rect r{};
      pw_client_rect_get(hwnd, &r);
      return pg_rect_fill(reinterpret_cast<HDC>(wparam), &r, w->cls->rec.background) ? 1 : 0;
    }
    case WM_PAINT: {
      pw_paint ps{};
      pw_paint_begin(hwnd, &ps);
      pw_paint_end(hwnd, &ps);
      return 0;
    }
    case WM_CLOSE: pw_window_destroy(hwnd); return 0;
    case WM_SETCURSOR:
      if (w->cls->rec.cursor != PW_CURSOR_NONE) {
        pw_cursor_set(pw_cursor_load(w->cls->rec.cursor));
        return 1;
      }
      return 0;
    default: return 0;
  }
}

extern "C" intptr_t pw_window_extra_get(HWND hwnd, int32_t offset) {
  auto w = window_of(hwnd);
  if (!w || offset < 0 || offset % 8 != 0 || static_cast<size_t>(offset / 8) >= w->extra.size()) return 0;
  return w->extra[static_cast<size_t>(offset / 8)];
}

extern "C" intptr_t pw_window_extra_set(HWND hwnd, int32_t offset, intptr_t value) {
  auto w = window_of(hwnd);
  if (!w || offset < 0 || offset % 8 != 0 || static_cast<size_t>(offset / 8) >= w->extra.size()) return 0;
  intptr_t old = w->extra[static_cast<size_t>(offset / 8)];
  w->extra[static_cast<size_t>(offset / 8)] = value;
  return old;
}

namespace {
// Property names longer than this are refused.
constexpr size_t kMaxPropertyName = 255;
bool property_name(const char* name, std::string* out) {
  if (name == nullptr) return false;
  size_t n = strnlen(name, kMaxPropertyName + 1);
  if (n == 0 || n > kMaxPropertyName) return false;
  out->assign(name, n);
  return true;
}
}  // namespace

extern "C" int32_t pw_property_set(HWND hwnd, const char* name, void* value) {
  auto w = window_of(hwnd);
  std::string key;
  if (!w || w->destroying || !property_name(name, &key)) return 0;
  for (auto& p : w->props)
    if (p.first == key) {
      p.second = value;
      return 1;
    }
  w->props.emplace_back(key, value);
  return 1;
}

extern "C" void* pw_property_get(HWND hwnd, const char* name) {
  auto w = window_of(hwnd);
  std::string key;
  if (!w || !property_name(name, &key)) return nullptr;
  for (auto& p : w->props)
    if (p.first == key) return p.second;
  return nullptr;
}

extern "C" void* pw_property_remove(HWND hwnd, const char* name) {
  auto w = window_of(hwnd);
  std::string key;
  if (!w || !property_name(name, &key)) return nullptr;
  for (auto it = w->props.begin(); it != w->props.end(); ++it)
    if (it->first == key) {
      void* v = it->second;
      w->props.erase(it);
      return v;
    }
  return nullptr;
}
