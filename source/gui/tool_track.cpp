// Taking a window over for a tracking and giving it back.
#include "gui/tool_track.h"

#include "SUPPORT/error.h"

RX_SOURCE("source\\gui\\tool_track.cpp");

namespace rx {

bool track_begin(Tracking* t, HWND hwnd, const TrackKind& kind, void* record, int32_t cursor_shape) {
  if (pw_property_set(hwnd, kind.property, record) == 0) {
    RX_ERR(RXE_MEMORY_ALLOC_FAILED, 0, 0);
    return false;
  }
  t->hwnd = hwnd;
  t->old_proc = nullptr;
  if (kind.proc != nullptr) {
    // Our procedure is still in the chain of another subclasser from an
    // earlier tracking: it is used again rather than stacked twice.
    if (auto left = reinterpret_cast<pw_window_proc>(pw_property_remove(hwnd, kind.pass_property))) {
      t->old_proc = left;
    } else {
      pw_window_proc old = pw_window_proc_set(hwnd, kind.proc);
      t->old_proc = old == kind.proc ? nullptr : old;
    }
  }
  pw_capture_set(hwnd);
  t->old_cursor = cursor_shape != 0 ? pw_cursor_set(pw_cursor_load(cursor_shape)) : nullptr;
  t->on = 1;
  return true;
}

void track_end(Tracking* t, const TrackKind& kind) {
  if (t->on == 0) return;
  t->on = 0;
  HWND hwnd = t->hwnd;
  pw_property_remove(hwnd, kind.property);
  if (kind.proc != nullptr && t->old_proc != nullptr) {
    if (pw_window_proc_get(hwnd) == kind.proc) pw_window_proc_set(hwnd, t->old_proc);
    else pw_property_set(hwnd, kind.pass_property, reinterpret_cast<void*>(t->old_proc));
  }
  if (pw_capture_get() == hwnd) pw_capture_release();
  if (t->old_cursor != nullptr) pw_cursor_set(t->old_cursor);
  t->old_cursor = nullptr;
}

void* track_record(HWND hwnd, const TrackKind& kind) {
  void* record = pw_property_get(hwnd, kind.property);
  return tool_record_listed(record, kind.kind) ? record : nullptr;
}

pw_window_proc track_next(HWND hwnd, const TrackKind& kind, const Tracking* t) {
  if (t != nullptr && t->on != 0) return t->old_proc;
  return reinterpret_cast<pw_window_proc>(pw_property_get(hwnd, kind.pass_property));
}

LRESULT track_pass(pw_window_proc next, HWND hwnd, uint32_t message, WPARAM wparam, LPARAM lparam) {
  if (next != nullptr) return pw_window_proc_call(next, hwnd, message, wparam, lparam);
  return pw_window_proc_default(hwnd, message, wparam, lparam);
}

}  // namespace rx
