// Engine start and stop for image windows.
#include "gui/gui_start.h"

#include "SUPPORT/error.h"
#include "gui/window_assoc.h"
#include "platform/window.h"

RX_SOURCE("source\\gui\\gui_start.cpp");

namespace rx {

// Another engine in the process (a library holding its own copy) may hold
// the class as well: each holds it with its own procedure, and the class
// stays for the others when one stops.
int32_t gui_start() {
  pw_window_class c{};
  c.style = CS_BYTEALIGNWINDOW;
  c.proc = assoc_class_proc;
  c.cursor = PW_CURSOR_ARROW;
  c.background = pg_stock_brush(PG_WHITE_BRUSH);
  c.name = kWindowClassName;
  if (pw_class_hold(&c) != 0) return 0;
  // Registered plainly by someone else, or held by us already: it is there.
  pw_window_class known{};
  return pw_class_info_get(kWindowClassName, &known) != 0 ? 0 : RXE_REGISTER_CLASS_FAILED;
}

void gui_stop() {
  assoc_remove_all();
  pw_class_release(kWindowClassName, assoc_class_proc);
}

}  // namespace rx
