// Mouse tracking in a window: the record under a property of the window,
// the window's procedure replaced by the tracker's (the old one kept and
// every message passed on to it), the mouse captured and the cursor
// changed; and all of it given back at the end.
#pragma once

#include <cstdint>

#include "gui/tool_records.h"
#include "platform/window.h"

namespace rx {

// What one kind of tracking puts on a window.
struct TrackKind {
  const char* property;       // the record while tracking
  const char* pass_property;  // the procedure to pass on to, when ours could not be taken out
  pw_window_proc proc;        // null: the window is not subclassed
  ToolKind kind;
};

struct Tracking {
  HWND hwnd;
  pw_window_proc old_proc;
  HCURSOR old_cursor;
  int32_t on;
};

// Starts tracking `record` in the window; false after pushing why not
// (nothing is changed then). Cursor shape 0 keeps the cursor.
bool track_begin(Tracking* t, HWND hwnd, const TrackKind& kind, void* record, int32_t cursor_shape);
// Gives the window back what track_begin took. When other code replaced
// the procedure after us ours stays in its chain and passes everything on.
void track_end(Tracking* t, const TrackKind& kind);
// The live record tracking in the window, or null.
void* track_record(HWND hwnd, const TrackKind& kind);
// The procedure a message goes on to: the tracking's old one, else the one
// left under the pass-on property; null means the default procedure.
pw_window_proc track_next(HWND hwnd, const TrackKind& kind, const Tracking* t);
LRESULT track_pass(pw_window_proc next, HWND hwnd, uint32_t message, WPARAM wparam, LPARAM lparam);

}  // namespace rx
