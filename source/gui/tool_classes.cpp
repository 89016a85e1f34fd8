// Registration of the tool window classes, and the end of everything the
// tools hold when the engine stops.
#include "gui/tool_classes.h"

#include "SUPPORT/error.h"
#include "gui/magnifier.h"
#include "gui/pan_window.h"
#include "gui/rubber_band.h"
#include "gui/tool_common.h"

RX_SOURCE("source\\gui\\tool_classes.cpp");

namespace rx {
namespace {

struct ToolClass {
  const char* name;
  pw_window_proc proc;
};

constexpr ToolClass kClasses[] = {
    {kMagnifyClass, magnify_class_proc},
    {kMagnifyPopupClass, magnify_popup_proc},
    {kPanClass, pan_class_proc},
};

void close_record(ToolHead* h) {
  switch (h->kind) {
    case ToolKind::kMagnifier: magnifier_close(reinterpret_cast<Magnifier*>(h)); break;
    case ToolKind::kPan: pan_close(reinterpret_cast<PanRecord*>(h)); break;
    case ToolKind::kSelect: selection_close(h); break;
  }
}

}  // namespace

// Held rather than registered: another engine in the process may hold the
// same classes with its own procedures (see gui_start).
int32_t tools_start() {
  int32_t code = 0;
  for (const ToolClass& tc : kClasses) {
    pw_window_class c{};
    c.style = kToolClassStyle;
    c.proc = tc.proc;
    c.window_extra = kToolExtraBytes;
    c.cursor = PW_CURSOR_ARROW;
    c.background = pg_stock_brush(PG_WHITE_BRUSH);
    c.name = tc.name;
    pw_window_class known{};
    if (pw_class_hold(&c) == 0 && pw_class_info_get(tc.name, &known) == 0)
      code = RXE_REGISTER_CLASS_FAILED;
  }
  return code;
}

void tools_stop() {
  while (ToolHead* h = tool_records_first()) {
    close_record(h);
    // A record whose window the layer no longer knows is freed here.
    if (tool_records_first() == h) tool_record_free(h);
  }
  for (const ToolClass& tc : kClasses) pw_class_release(tc.name, tc.proc);
}

}  // namespace rx
