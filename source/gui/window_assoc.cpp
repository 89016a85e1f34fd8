// Association records: made from a memory tag of their own, attached to
// the window as a property, kept on a list so that only records the engine
// made are ever read, and freed with their tag.
#include "gui/window_assoc.h"

#include <cstring>

#include "SUPPORT/error.h"
#include "SUPPORT/mem_tag.h"
#include "rastrix/rx_display.h"

RX_SOURCE("source\\gui\\window_assoc.cpp");

namespace rx {
namespace {

// Windows belong to the user-interface thread, and so do their records.
WindowAssoc* g_records = nullptr;

bool listed(const WindowAssoc* assoc) {
  for (const WindowAssoc* a = g_records; a != nullptr; a = a->next)
    if (a == assoc) return true;
  return false;
}

void unlist(WindowAssoc* assoc) {
  for (WindowAssoc** p = &g_records; *p != nullptr; p = &(*p)->next) {
    if (*p == assoc) {
      *p = assoc->next;
      return;
    }
  }
}

}  // namespace

// A window on its way out (inside its WM_DESTROY) is no longer valid to the
// layer but still has its property and procedure, and is still found.
WindowAssoc* assoc_find(HWND hwnd) {
  if (hwnd == nullptr) return nullptr;
  auto* assoc = static_cast<WindowAssoc*>(pw_property_get(hwnd, kAssocProperty));
  if (assoc == nullptr || !listed(assoc)) return nullptr;
  if (assoc->marker != kAssocMarker || assoc->hwnd != hwnd) return nullptr;
  return assoc;
}

WindowAssoc* assoc_create(HWND hwnd) {
  TagGuard pool;
  auto* assoc = static_cast<WindowAssoc*>(pool.alloc(sizeof(WindowAssoc)));
  if (assoc == nullptr) {
    RX_ERR(RXE_MEMORY_ALLOC_FAILED, sizeof(WindowAssoc), 0);
    return nullptr;
  }
  std::memset(assoc, 0, sizeof *assoc);
  assoc->pool = pool.release();
  assoc->hwnd = hwnd;
  assoc->next = g_records;
  g_records = assoc;
  return assoc;
}

bool assoc_remove(WindowAssoc* assoc) {
  HWND hwnd = assoc->hwnd;
  // Both calls do nothing for a window that is gone.
  if (pw_property_get(hwnd, kAssocProperty) == assoc) pw_property_remove(hwnd, kAssocProperty);
  // Only our own procedure is replaced: one that subclassed the window
  // after us keeps its place, and ours passes on to the one it replaced.
  if (assoc->old_proc != nullptr) {
    if (pw_window_proc_get(hwnd) == assoc_subclass_proc) pw_window_proc_set(hwnd, assoc->old_proc);
    else pw_property_set(hwnd, kPassOnProperty, reinterpret_cast<void*>(assoc->old_proc));
  }
  unlist(assoc);
  assoc->marker = 0;
  // Freeing the tag frees the linked table with the record.
  if (RPb_AF_mem_free_all(assoc->pool) < 0) {
    RX_ERR(RXE_MEMORY_FREE_FAILED, 0, 0);
    return false;
  }
  return true;
}

void assoc_remove_all() {
  while (g_records != nullptr) {
    WindowAssoc* first = g_records;
    if (!assoc_remove(first)) unlist(first);
  }
}

pw_window_proc pass_on_proc(HWND hwnd) {
  return reinterpret_cast<pw_window_proc>(pw_property_get(hwnd, kPassOnProperty));
}

pw_window_proc pass_on_proc_take(HWND hwnd) {
  return reinterpret_cast<pw_window_proc>(pw_property_remove(hwnd, kPassOnProperty));
}

bool assoc_zoom(WindowAssoc* assoc) {
  HWND hwnd = assoc->hwnd;
  const int32_t rect[4] = {assoc->rect.left, assoc->rect.top, assoc->rect.right, assoc->rect.bottom};
  assoc->zooming = 1;
  const bool zoomed = RX_display_zoom_set(assoc->image, reinterpret_cast<uintptr_t>(hwnd), assoc->zoom,
                                          assoc->rect_follows != 0 ? nullptr : rect) == 0;
  if (WindowAssoc* now = assoc_find(hwnd)) now->zooming = 0;
  return zoomed;
}

}  // namespace rx
