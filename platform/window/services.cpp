// The desktop services and their scripted stand-in: the save-file and
// colour dialogs, message boxes and the clipboard store.
#include <algorithm>
#include <cstring>
#include <map>

#include "platform/ui_services.h"
#include "window_internal.h"

namespace pw {
namespace {

struct Asked {
  int32_t kind;
  std::string text;
};

struct Script {
  std::deque<std::pair<bool, std::string>> files;
  std::deque<std::pair<bool, COLORREF>> colours;
  std::deque<int32_t> buttons;
  pw_script_dialog_fn dialog_fn = nullptr;
  void* dialog_user = nullptr;
  std::vector<Asked> asked;
};

// The log of questions is cut at this many entries.
constexpr size_t kMaxAsked = 10000;

struct State {
  std::mutex lock;
  pw_services services{};
  bool installed = false;
  Script script;
  // Clipboard store.
  bool open = false;
  bool changed = false;
  std::map<uint32_t, std::vector<uint8_t>> memory;
  uintptr_t bitmap = 0, palette = 0;
};

State& state() {
  static State* s = new State;
  return *s;
}

std::string cut(const char* s, size_t max = 4096) { return s ? std::string(s, strnlen(s, max)) : std::string(); }

void ask(int32_t kind, std::string text) {
  auto& a = state().script.asked;
  if (a.size() < kMaxAsked) a.push_back(Asked{kind, std::move(text)});
}

int32_t copy_out(const std::string& s, char* out, int32_t size) {
  if (out == nullptr || size <= 0 || s.size() >= static_cast<size_t>(size)) return 0;
  std::memcpy(out, s.data(), s.size());
  out[s.size()] = '\0';
  return 1;
}

void drop_handles(State& s) {
  if (s.bitmap) pg_bitmap_delete(reinterpret_cast<HBITMAP>(s.bitmap));
  if (s.palette) pg_palette_delete(reinterpret_cast<HPALETTE>(s.palette));
  s.bitmap = s.palette = 0;
}

}  // namespace

pw_script_dialog_fn script_dialog_handler(void** user) {
  std::lock_guard<std::mutex> guard(state().lock);
  *user = state().script.dialog_user;
  return state().script.dialog_fn;
}

void script_note_dialog(const char* caption) {
  std::lock_guard<std::mutex> guard(state().lock);
  ask(4, cut(caption));
}

bool services_dialog_run(HWND dialog) {
  pw_services s;
  {
    std::lock_guard<std::mutex> guard(state().lock);
    if (!state().installed || state().services.dialog_run == nullptr) return false;
    s = state().services;
  }
  s.dialog_run(s.user, dialog);
  return true;
}

}  // namespace pw

using namespace pw;

extern "C" void pw_services_install(const pw_services* services) {
  std::lock_guard<std::mutex> guard(state().lock);
  state().installed = services != nullptr;
  state().services = services ? *services : pw_services{};
}

extern "C" int32_t pw_file_save_dialog(const pw_file_dialog* dialog, char* out, int32_t size) {
  if (dialog == nullptr || out == nullptr || size <= 0) return 0;
  pw_services s;
  {
    std::lock_guard<std::mutex> guard(state().lock);
    s = state().services;
    if (!state().installed || s.file_save == nullptr) {
      ask(1, cut(dialog->filter_pattern));
      auto& q = state().script.files;
      if (q.empty()) return 0;
      auto answer = q.front();
      q.pop_front();
      return answer.first ? copy_out(answer.second, out, size) : 0;
    }
  }
  return s.file_save(s.user, dialog, out, size) ? 1 : 0;
}

extern "C" int32_t pw_colour_dialog(HWND owner, COLORREF initial, COLORREF* custom, COLORREF* out) {
  if (out == nullptr) return 0;
  pw_services s;
  {
    std::lock_guard<std::mutex> guard(state().lock);
    s = state().services;
    if (!state().installed || s.colour == nullptr) {
      ask(2, std::string());
      auto& q = state().script.colours;
      if (q.empty()) return 0;
      auto answer = q.front();
      q.pop_front();
      if (answer.first) *out = answer.second & 0xFFFFFFu;
      return answer.first ? 1 : 0;
    }
  }
  return s.colour(s.user, owner, initial, custom, out) ? 1 : 0;
}

extern "C" int32_t pw_message_box(HWND owner, const char* text, const char* caption, uint32_t type) {
  pw_services s;
  {
    std::lock_guard<std::mutex> guard(state().lock);
    s = state().services;
    if (!state().installed || s.message_box == nullptr) {
      ask(3, cut(caption) + "\n" + cut(text));
      auto& q = state().script.buttons;
      if (q.empty()) return (type & 0xF) == PW_MB_YESNO ? PW_IDYES : PW_IDOK;
      int32_t b = q.front();
      q.pop_front();
      return b;
    }
  }
  return s.message_box(s.user, owner, text, caption, type);
}

extern "C" int32_t pw_clipboard_open(HWND owner) {
  (void)owner;
  pw_services s;
  {
    std::lock_guard<std::mutex> guard(state().lock);
    if (state().open) return 0;
    state().open = true;
    state().changed = false;
    s = state().services;
    if (!state().installed) s.clipboard_load = nullptr;
  }
  if (s.clipboard_load) {
    s.clipboard_load(s.user);
    std::lock_guard<std::mutex> guard(state().lock);
    state().changed = false;  // what the desktop holds is not a change to publish
  }
  return 1;
}

extern "C" int32_t pw_clipboard_close(void) {
  pw_services s;
  bool publish;
  {
    std::lock_guard<std::mutex> guard(state().lock);
    if (!state().open) return 0;
    publish = state().changed && state().installed;
    s = state().services;
  }
  // Publishing reads the store, so the clipboard stays open until then.
  if (publish && s.clipboard_publish) s.clipboard_publish(s.user);
  std::lock_guard<std::mutex> guard(state().lock);
  state().open = false;
  state().changed = false;
  return 1;
}

extern "C" int32_t pw_clipboard_empty(void) {
  std::lock_guard<std::mutex> guard(state().lock);
  if (!state().open) return 0;
  state().memory.clear();
  drop_handles(state());
  state().changed = true;
  return 1;
}

extern "C" int32_t pw_clipboard_format_available(uint32_t format) {
  std::lock_guard<std::mutex> guard(state().lock);
  if (format == CF_BITMAP) return state().bitmap != 0;
  if (format == CF_PALETTE) return state().palette != 0;
  return state().memory.count(format) ? 1 : 0;
}

extern "C" int32_t pw_clipboard_data_set(uint32_t format, const void* data, size_t size) {
  if (format == CF_BITMAP || format == CF_PALETTE || data == nullptr || size > PW_CLIPBOARD_MAX_BYTES) return 0;
  std::lock_guard<std::mutex> guard(state().lock);
  if (!state().open) return 0;
  auto* p = static_cast<const uint8_t*>(data);
  state().memory[format].assign(p, p + size);
  state().changed = true;
  return 1;
}

extern "C" const void* pw_clipboard_data_get(uint32_t format, size_t* size) {
  std::lock_guard<std::mutex> guard(state().lock);
  if (!state().open) return nullptr;
  auto it = state().memory.find(format);
  if (it == state().memory.end()) return nullptr;
  if (size) *size = it->second.size();
  return it->second.data();
}

extern "C" int32_t pw_clipboard_bitmap_set(HBITMAP bitmap) {
  pg_bitmap_info info{};
  if (!pg_bitmap_info_get(bitmap, &info)) return 0;
  std::lock_guard<std::mutex> guard(state().lock);
  if (!state().open) return 0;
  if (state().bitmap && state().bitmap != reinterpret_cast<uintptr_t>(bitmap))
    pg_bitmap_delete(reinterpret_cast<HBITMAP>(state().bitmap));
  state().bitmap = reinterpret_cast<uintptr_t>(bitmap);
  state().changed = true;
  return 1;
}

extern "C" HBITMAP pw_clipboard_bitmap_get(void) {
  std::lock_guard<std::mutex> guard(state().lock);
  return state().open ? reinterpret_cast<HBITMAP>(state().bitmap) : nullptr;
}

extern "C" int32_t pw_clipboard_palette_set(HPALETTE palette) {
  if (!pg::registry_find(reinterpret_cast<uintptr_t>(palette), pg::Kind::Palette)) return 0;
  std::lock_guard<std::mutex> guard(state().lock);
  if (!state().open) return 0;
  if (state().palette && state().palette != reinterpret_cast<uintptr_t>(palette))
    pg_palette_delete(reinterpret_cast<HPALETTE>(state().palette));
  state().palette = reinterpret_cast<uintptr_t>(palette);
  state().changed = true;
  return 1;
}

extern "C" HPALETTE pw_clipboard_palette_get(void) {
  std::lock_guard<std::mutex> guard(state().lock);
  return state().open ? reinterpret_cast<HPALETTE>(state().palette) : nullptr;
}

extern "C" void pw_script_reset(void) {
  std::lock_guard<std::mutex> guard(state().lock);
  state().script = Script{};
}

extern "C" void pw_script_file_answer(const char* name) {
  std::lock_guard<std::mutex> guard(state().lock);
  state().script.files.emplace_back(name != nullptr, cut(name));
}

extern "C" void pw_script_colour_answer(int32_t ok, COLORREF colour) {
  std::lock_guard<std::mutex> guard(state().lock);
  state().script.colours.emplace_back(ok != 0, colour);
}

extern "C" void pw_script_message_answer(int32_t button) {
  std::lock_guard<std::mutex> guard(state().lock);
  state().script.buttons.push_back(button);
}

extern "C" void pw_script_dialog_handler(pw_script_dialog_fn fn, void* user) {
  std::lock_guard<std::mutex> guard(state().lock);
  state().script.dialog_fn = fn;
  state().script.dialog_user = user;
}

extern "C" int32_t pw_script_asked(int32_t index, char* text, int32_t size) {
  std::lock_guard<std::mutex> guard(state().lock);
  auto& a = state().script.asked;
  if (index < 0 || static_cast<size_t>(index) >= a.size()) return 0;
  if (text != nullptr && size > 0) {
    size_t n = std::min(a[static_cast<size_t>(index)].text.size(), static_cast<size_t>(size - 1));
    std::memcpy(text, a[static_cast<size_t>(index)].text.data(), n);
    text[n] = '\0';
  }
  return a[static_cast<size_t>(index)].kind;
}

extern "C" int32_t pw_script_asked_count(void) {
  std::lock_guard<std::mutex> guard(state().lock);
  return static_cast<int32_t>(state().script.asked.size());
}
