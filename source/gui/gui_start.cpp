// Engine start and stop for image windows.
#include "gui/gui_start.h"

#include "SUPPORT/error.h"
#include "gui/window_assoc.h"
#include "platform/window.h"

RX_SOURCE("source\\gui\\gui_start.cpp");

namespace rx {

int32_t gui_start() {
  pw_window_class known{};
  if (pw_class_info_get(kWindowClassName, &known) != 0) return 0;
  pw_window_class c{};
  c.style = CS_BYTEALIGNWINDOW;
  c.proc = assoc_class_proc;
  c.cursor = PW_CURSOR_ARROW;
  c.background = pg_stock_brush(PG_WHITE_BRUSH);
  c.name = kWindowClassName;
  return pw_class_register(&c) != 0 ? 0 : RXE_REGISTER_CLASS_FAILED;
}

void gui_stop() {
  assoc_remove_all();
  pw_class_unregister(kWindowClassName);
}

}  // namespace rx
