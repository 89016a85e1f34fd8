// Dialogs described by templates: a dialog window with one child window
// per item, addressed by item id. A desktop adapter shows them with real
// widgets; headless, tests drive them by id.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/ui_services.h"
#include "window_internal.h"

namespace pw {

pw_script_dialog_fn script_dialog_handler(void** user);
void script_note_dialog(const char* caption);
bool services_dialog_run(HWND dialog);

namespace {

constexpr const char* kDialogClass = "RastrixDialog";
// Dialog base units in pixels: the built-in font's cell across, and a
// line of text with its leading down.
constexpr int32_t kBaseX = 6, kBaseY = 12;
// Templates with more items than this are refused.
constexpr int32_t kMaxItems = 1024;

struct Dialog {
  // Deep copies of the template's strings, kept as long as the dialog.
  std::string caption, font;
  std::vector<std::string> classes, texts;
  std::vector<pw_dialog_item> items;
  pw_dialog_template tmpl{};
  pw_dialog_proc proc = nullptr;
  bool ended = false;
  intptr_t result = 0;
};

Dialog* dialog_of(HWND hwnd) {
  char name[32];
  if (pw_window_class_name(hwnd, name, sizeof name) <= 0 || std::strcmp(name, kDialogClass) != 0) return nullptr;
  return reinterpret_cast<Dialog*>(pw_window_extra_get(hwnd, 0));
}

LRESULT dialog_proc(HWND hwnd, uint32_t message, WPARAM wparam, LPARAM lparam) {
  Dialog* d = reinterpret_cast<Dialog*>(pw_window_extra_get(hwnd, 0));
  if (d != nullptr && d->proc != nullptr && message != WM_NCDESTROY) {
    if (d->proc(hwnd, message, wparam, lparam)) return message == WM_INITDIALOG ? 1 : 0;
  }
  switch (message) {
    case WM_COMMAND: {
      uint32_t id = PW_LOWORD(wparam);
      if (id == PW_IDOK || id == PW_IDCANCEL) pw_dialog_end(hwnd, id);
      return 0;
    }
    case WM_CLOSE:
      pw_message_send(hwnd, WM_COMMAND, PW_IDCANCEL, 0);
      return 0;
    case WM_NCDESTROY:
      delete d;
      pw_window_extra_set(hwnd, 0, 0);
      return 0;
    default: return pw_window_proc_default(hwnd, message, wparam, lparam);
  }
}

LRESULT item_proc(HWND hwnd, uint32_t message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_LBUTTONUP) {
    char name[16];
    pw_window_class_name(hwnd, name, sizeof name);
    if (std::strcmp(name, "BUTTON") == 0) {
      HWND parent = pw_window_parent(hwnd);
      pw_message_send(parent, WM_COMMAND, static_cast<WPARAM>(pw_window_id(hwnd) & 0xFFFF),
                      reinterpret_cast<LPARAM>(hwnd));
    }
    return 0;
  }
  return pw_window_proc_default(hwnd, message, wparam, lparam);
}

void register_classes() {
  static bool done = [] {
    pw_window_class c{};
    c.proc = dialog_proc;
    c.window_extra = 8;
    c.cursor = PW_CURSOR_ARROW;
    c.background = pg_stock_brush(PG_LTGRAY_BRUSH);
    c.name = kDialogClass;
    pw_class_register(&c);
    for (const char* n : {"BUTTON", "EDIT", "STATIC", "ICON"}) {
      pw_window_class k{};
      k.proc = item_proc;
      k.cursor = PW_CURSOR_ARROW;
      k.background = pg_stock_brush(std::strcmp(n, "EDIT") == 0 ? PG_WHITE_BRUSH : PG_LTGRAY_BRUSH);
      k.name = n;
      pw_class_register(&k);
    }
    return true;
  }();
  (void)done;
}

pg_rect pixels(int32_t x, int32_t y, int32_t cx, int32_t cy) {
  pg_rect r{x, y, static_cast<int32_t>(std::clamp<int64_t>(int64_t{x} + cx, INT32_MIN, INT32_MAX)),
            static_cast<int32_t>(std::clamp<int64_t>(int64_t{y} + cy, INT32_MIN, INT32_MAX))};
  pw_dialog_units_to_pixels(&r);
  return r;
}

HWND make(const pw_dialog_template* t, HWND owner, pw_dialog_proc proc, LPARAM init, bool modal) {
  if (t == nullptr || t->item_count < 0 || t->item_count > kMaxItems || (t->item_count > 0 && t->items == nullptr))
    return nullptr;
  register_classes();
  auto* d = new Dialog;
  d->caption = t->caption ? std::string(t->caption, strnlen(t->caption, 4096)) : std::string();
  d->font = t->font_name ? std::string(t->font_name, strnlen(t->font_name, 256)) : std::string();
  d->proc = proc;
  for (int32_t i = 0; i < t->item_count; ++i) {
    const pw_dialog_item& it = t->items[i];
    d->classes.emplace_back(it.class_name ? std::string(it.class_name, strnlen(it.class_name, 64)) : "STATIC");
    d->texts.emplace_back(it.text ? std::string(it.text, strnlen(it.text, 1 << 16)) : std::string());
    d->items.push_back(it);
  }
  for (size_t i = 0; i < d->items.size(); ++i) {
    d->items[i].class_name = d->classes[i].c_str();
    d->items[i].text = d->texts[i].c_str();
  }
  d->tmpl = pw_dialog_template{d->caption.c_str(), d->font.c_str(), t->font_points, t->cx, t->cy,
                               d->items.empty() ? nullptr : d->items.data(), static_cast<int32_t>(d->items.size())};
  pg_rect client = pixels(0, 0, t->cx, t->cy);
  uint32_t style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
  pw_window_rect_adjust(&client, style);
  HWND dlg = pw_window_create(0, kDialogClass, d->caption.c_str(), style, 0, 0, client.right - client.left,
                              client.bottom - client.top, owner, 0, nullptr);
  if (dlg == nullptr) {
    delete d;
    return nullptr;
  }
  pw_window_extra_set(dlg, 0, reinterpret_cast<intptr_t>(d));
  for (const pw_dialog_item& it : d->items) {
    char cls[16];
    std::snprintf(cls, sizeof cls, "%s", it.class_name);
    bool known = false;
    for (const char* n : {"BUTTON", "EDIT", "STATIC", "ICON"}) known = known || std::strcmp(cls, n) == 0;
    pg_rect r = pixels(it.x, it.y, it.cx, it.cy);
    HWND item = pw_window_create(0, known ? cls : "STATIC", it.text, WS_CHILD | WS_VISIBLE | (it.style & 0xFFFFu),
                                 r.left, r.top, r.right - r.left, r.bottom - r.top, dlg, it.id, nullptr);
    if (item == nullptr) {
      pw_window_destroy(dlg);
      return nullptr;
    }
  }
  (void)modal;
  pw_message_send(dlg, WM_INITDIALOG, 0, init);
  if (!pw_window_valid(dlg)) return nullptr;
  pw_window_show(dlg, SW_SHOW);
  return dlg;
}

}  // namespace
}  // namespace pw

using namespace pw;

extern "C" int32_t pw_dialog_units_to_pixels(pg_rect* rect) {
  if (rect == nullptr) return 0;
  auto x = [](int32_t v) { return static_cast<int32_t>(int64_t{v} * kBaseX / 4); };
  auto y = [](int32_t v) { return static_cast<int32_t>(int64_t{v} * kBaseY / 8); };
  *rect = pg_rect{x(rect->left), y(rect->top), x(rect->right), y(rect->bottom)};
  return 1;
}

extern "C" HWND pw_dialog_create(const pw_dialog_template* tmpl, HWND owner, pw_dialog_proc proc, LPARAM init_param) {
  return make(tmpl, owner, proc, init_param, false);
}

extern "C" intptr_t pw_dialog_box(const pw_dialog_template* tmpl, HWND owner, pw_dialog_proc proc, LPARAM init_param) {
  HWND dlg = make(tmpl, owner, proc, init_param, true);
  if (dlg == nullptr) return -1;
  intptr_t result = PW_IDCANCEL;
  if (!services_dialog_run(dlg)) {
    script_note_dialog(tmpl->caption);
    void* user = nullptr;
    pw_script_dialog_fn fn = script_dialog_handler(&user);
    if (fn) fn(user, dlg);
    // Let what the handler posted run once, then a dialog still open ends
    // with Cancel, so that a headless caller never waits.
    if (pw_window_valid(dlg)) pw_messages_pump(nullptr);
  }
  if (!pw_dialog_ended(dlg, &result)) result = PW_IDCANCEL;
  pw_window_destroy(dlg);
  return result;
}

extern "C" int32_t pw_dialog_end(HWND dialog, intptr_t result) {
  Dialog* d = dialog_of(dialog);
  if (d == nullptr) return 0;
  d->ended = true;
  d->result = result;
  pw_window_show(dialog, SW_HIDE);
  return 1;
}

extern "C" int32_t pw_dialog_ended(HWND dialog, intptr_t* result) {
  Dialog* d = dialog_of(dialog);
  if (d == nullptr || !d->ended) return 0;
  if (result) *result = d->result;
  return 1;
}

extern "C" int32_t pw_dialog_is(HWND hwnd) { return dialog_of(hwnd) != nullptr ? 1 : 0; }

extern "C" HWND pw_dialog_item_get(HWND dialog, int32_t id) {
  if (dialog_of(dialog) == nullptr) return nullptr;
  for (int32_t i = 0;; ++i) {
    HWND c = pw_window_child(dialog, i);
    if (c == nullptr) return nullptr;
    if (pw_window_id(c) == id) return c;
  }
}

extern "C" int32_t pw_dialog_item_text_set(HWND dialog, int32_t id, const char* text) {
  HWND item = pw_dialog_item_get(dialog, id);
  return item ? pw_window_text_set(item, text) : 0;
}

extern "C" int32_t pw_dialog_item_text_get(HWND dialog, int32_t id, char* out, int32_t size) {
  HWND item = pw_dialog_item_get(dialog, id);
  return item ? pw_window_text_get(item, out, size) : 0;
}

extern "C" int32_t pw_dialog_item_click(HWND dialog, int32_t id) {
  HWND item = pw_dialog_item_get(dialog, id);
  if (item == nullptr) return 0;
  pw_message_send(dialog, WM_COMMAND, static_cast<WPARAM>(id & 0xFFFF) | (static_cast<WPARAM>(PW_BN_CLICKED) << 16),
                  reinterpret_cast<LPARAM>(item));
  return 1;
}

extern "C" const pw_dialog_template* pw_dialog_template_get(HWND dialog) {
  Dialog* d = dialog_of(dialog);
  return d ? &d->tmpl : nullptr;
}
