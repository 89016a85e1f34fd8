// The engine settings record: status callback and load options.
#include "SUPPORT/settings.h"

#include "SUPPORT/engine_tables.h"
#include "SUPPORT/error.h"
#include "SUPPORT/instance.h"
#include "rastrix/rastrix.h"

RX_SOURCE("source\\SUPPORT\\settings.cpp");

namespace rx {

ENGINE_SETTINGS* settings_record() { return instance_table<ENGINE_SETTINGS>(kKeySettings); }

LoadOptions load_options_get() {
  LoadOptions o;
  const ENGINE_SETTINGS* s = settings_record();
  if (s == nullptr) return o;
  o.conversion_mode = s->conversion_mode;
  o.crop_left = s->crop_left;
  o.crop_top = s->crop_top;
  o.crop_width = s->crop_width;
  o.crop_height = s->crop_height;
  o.crop_on = s->crop_width != 0 || s->crop_height != 0;
  o.resize_width = s->resize_width;
  o.resize_height = s->resize_height;
  o.resize_on = s->resize_width != 0 || s->resize_height != 0;
  return o;
}

int32_t settings_create() { return table_create(kKeySettings, sizeof(ENGINE_SETTINGS), nullptr); }

void settings_destroy() { table_destroy(kKeySettings); }

}  // namespace rx

using namespace rx;

extern "C" int32_t RX_status_callback_set(RX_STATUS_CB callback, uintptr_t user) {
  RPb_AF_error_clear();
  if (ENGINE_SETTINGS* s = settings_record()) {
    s->status_callback = callback;
    s->status_user = user;
  }
  return RPb_AF_error_check();
}

extern "C" int32_t RPb_status_callback_get(RX_STATUS_CB* callback, uintptr_t* user) {
  const ENGINE_SETTINGS* s = settings_record();
  if (callback) *callback = s ? s->status_callback : nullptr;
  if (user) *user = s ? s->status_user : 0;
  return 0;
}

extern "C" int32_t RX_load_conversion_set(int32_t mode) {
  RPb_AF_error_clear();
  ENGINE_SETTINGS* s = settings_record();
  if (mode < 0 || mode > 3) RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, mode, 0);
  else if (s != nullptr) s->conversion_mode = mode;
  return RPb_AF_error_check();
}

extern "C" int32_t RX_load_crop_set(int32_t left, int32_t top, int32_t width, int32_t height) {
  RPb_AF_error_clear();
  ENGINE_SETTINGS* s = settings_record();
  // A negative rectangle could only address memory outside the rows, so it
  // is refused here rather than at load time.
  if (left < 0 || top < 0 || width < 0 || height < 0) {
    RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, width, height);
  } else if (s != nullptr) {
    s->crop_left = left;
    s->crop_top = top;
    s->crop_width = width;
    s->crop_height = height;
  }
  return RPb_AF_error_check();
}

extern "C" int32_t RX_load_resize_set(int32_t width, int32_t height) {
  RPb_AF_error_clear();
  ENGINE_SETTINGS* s = settings_record();
  if (width < 0 || height < 0) {
    RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, width, height);
  } else if (s != nullptr) {
    s->resize_width = width;
    s->resize_height = height;
  }
  return RPb_AF_error_check();
}

extern "C" int32_t RX_load_settings_get(RX_LOAD_SETTINGS* out) {
  if (out == nullptr) return 0;
  *out = RX_LOAD_SETTINGS{};
  const ENGINE_SETTINGS* s = settings_record();
  if (s == nullptr) return 0;
  *out = RX_LOAD_SETTINGS{s->conversion_mode, s->crop_left,   s->crop_top,     s->crop_width,
                          s->crop_height,     s->resize_width, s->resize_height};
  return 1;
}

extern "C" int32_t RX_load_settings_restore(const RX_LOAD_SETTINGS* in) {
  ENGINE_SETTINGS* s = settings_record();
  if (in == nullptr || s == nullptr) return 0;
  // The same limits as the set calls, checked without touching the stack.
  if (in->conversion_mode < 0 || in->conversion_mode > 3 || in->crop_left < 0 ||
      in->crop_top < 0 || in->crop_width < 0 || in->crop_height < 0 || in->resize_width < 0 ||
      in->resize_height < 0)
    return 0;
  s->conversion_mode = in->conversion_mode;
  s->crop_left = in->crop_left;
  s->crop_top = in->crop_top;
  s->crop_width = in->crop_width;
  s->crop_height = in->crop_height;
  s->resize_width = in->resize_width;
  s->resize_height = in->resize_height;
  return 1;
}
