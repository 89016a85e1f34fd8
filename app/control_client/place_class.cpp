#include "control_client.h"

#include "platform/window.h"

namespace rxapp {

const char* place_class(const char* name, int32_t stock_brush) {
  pw_window_class known{};
  if (pw_class_info_get(name, &known) == 0) {
    pw_window_class c{};
    c.proc = pw_window_proc_default;
    c.cursor = PW_CURSOR_ARROW;
    c.background = pg_stock_brush(stock_brush);
    c.name = name;
    pw_class_register(&c);
  }
  return name;
}

}  // namespace rxapp
