// Events and the engine callbacks behind them: the status routine (progress,
// with the host's cancel), the tag routine, the error event and the about
// box. Callbacks are installed process-wide in the engine, so each records
// which control installed it and is removed when that control goes away.
#include <algorithm>
#include <cstring>

#include "RastCtl.h"
#include "rast_about_box.h"
#include "rast_dispids.h"

namespace rast {

using namespace com;

namespace {

CRastCtrl* g_status_owner = nullptr;
CRastCtrl* g_tag_owner = nullptr;
AboutBoxHook g_about_hook = about_box_show;

}  // namespace

void about_box_hook_set(AboutBoxHook hook) {
  g_about_hook = hook != nullptr ? hook : about_box_show;
}

void uninstall_engine_callbacks(const CRastCtrl* ctrl) {
  if (g_status_owner == ctrl) {
    RX_status_callback_set(nullptr, 0);
    g_status_owner = nullptr;
  }
  if (g_tag_owner == ctrl) {
    RX_tag_set_callback_install(nullptr, 0);
    g_tag_owner = nullptr;
  }
}

// ---- Status ------------------------------------------------------------

void CRastCtrl::on_status_event() {
  if (flag(kDispStatusEvent)) {
    last_percent_ = 0;
    status_steps_ = 0;
    RX_status_callback_set(&CRastCtrl::status_routine, reinterpret_cast<uintptr_t>(this));
    g_status_owner = this;
  }
  set_modified();
}

// Called for each row the engine processes; a host that answers -1 stops
// the operation, which the engine reports as interrupted by the user.
int32_t CRastCtrl::status_routine(uintptr_t user, int32_t, int32_t rows) {
  auto* self = reinterpret_cast<CRastCtrl*>(user);
  if (self == nullptr || self != g_status_owner) return 1;
  ++self->status_steps_;
  if (rows <= 0) return 1;
  const int64_t done = std::min<int64_t>(self->status_steps_, rows);
  const auto percent = static_cast<int32_t>(done * 100 / rows);
  if (percent != self->last_percent_) {
    self->last_percent_ = percent;
    int32_t value = percent;
    self->fire_status(&value);
    if (value == -1) return 0;
  }
  return 1;
}

void CRastCtrl::fire_status(int32_t* percent) {
  VARIANT arg;
  VariantInit(&arg);
  arg.vt = VT_BYREF | VT_I4;
  arg.plVal = percent;
  events_.Fire(kEventStatus, &arg, 1);
}

// ---- Tags --------------------------------------------------------------

void CRastCtrl::on_tag_event() {
  if (lng(kDispTagEvent) != 0) {
    RX_tag_set_callback_install(&CRastCtrl::tag_routine, reinterpret_cast<uintptr_t>(this));
    g_tag_owner = this;
  } else if (g_tag_owner == this) {
    RX_tag_set_callback_install(nullptr, 0);
    g_tag_owner = nullptr;
  }
  set_modified();
}

// The engine passes text by address with its length as the count, and a
// single 16- or 32-bit value as the data word itself.
int32_t CRastCtrl::tag_routine(uintptr_t user, int32_t tag_id, int32_t type, uintptr_t data,
                               int32_t count) {
  auto* self = reinterpret_cast<CRastCtrl*>(user);
  if (self == nullptr || self != g_tag_owner) return 1;
  std::string text;
  int16_t word = 0;
  int32_t value = 0;
  if (type == 2 && data != 0 && count > 0) {
    const char* s = reinterpret_cast<const char*>(data);
    text.assign(s, strnlen(s, static_cast<size_t>(count)));
  } else if (type == 3) {
    word = static_cast<int16_t>(data & 0xFFFFu);
  } else if (type == 4) {
    value = static_cast<int32_t>(data & 0xFFFFFFFFu);
  }
  self->fire_tag(tag_id, type, count, word, value, text);
  return 1;
}

void CRastCtrl::fire_tag(int32_t tag_id, int32_t type, int32_t count, int16_t word,
                         int32_t lng_value, const std::string& text) {
  VARIANT args[6];
  for (VARIANT& a : args) VariantInit(&a);
  // Arguments go in reverse order.
  args[5].vt = VT_I2;
  args[5].iVal = static_cast<int16_t>(tag_id);
  args[4].vt = VT_I2;
  args[4].iVal = static_cast<int16_t>(type);
  args[3].vt = VT_I4;
  args[3].lVal = count;
  args[2].vt = VT_I2;
  args[2].iVal = word;
  args[1].vt = VT_I4;
  args[1].lVal = lng_value;
  args[0].vt = VT_BSTR;
  args[0].bstrVal = SysAllocString(text.c_str());
  events_.Fire(kEventTag, args, 6);
  VariantClear(&args[0]);
}

// ---- Thumbnails -----------------------------------------------------------

int32_t CRastCtrl::thumbnail_choice_routine(uintptr_t user, uintptr_t, const char* file_name,
                                            const RX_BITMAPINFOHEADER*, int32_t page) {
  auto* self = reinterpret_cast<CRastCtrl*>(user);
  if (self != nullptr) self->fire_thumbnail(file_name != nullptr ? file_name : "", page);
  return 1;
}

void CRastCtrl::fire_thumbnail(const char* file_name, int32_t page) {
  VARIANT args[2];
  VariantInit(&args[0]);
  VariantInit(&args[1]);
  args[1].vt = VT_BSTR;
  args[1].bstrVal = SysAllocString(file_name);
  args[0].vt = VT_I4;
  args[0].lVal = page;
  events_.Fire(kEventThumbnail, args, 2);
  VariantClear(&args[1]);
}

// ---- Errors and the about box ---------------------------------------------

void CRastCtrl::fire_error_event(int32_t count) {
  VARIANT arg;
  VariantInit(&arg);
  arg.vt = VT_I2;
  arg.iVal = static_cast<int16_t>(count);
  events_.Fire(kEventError, &arg, 1);
}

void CRastCtrl::on_about() {
  g_about_hook(this, about_texts());
  // The box is modal: by the time the hook returns it has closed.
  set_num(kDispAbout, 0);
  set_modified();
}

}  // namespace rast
