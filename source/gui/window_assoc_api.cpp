// The public functions of image windows: associate, zoom and rectangle,
// options, linked images and the destruction callback.
#include <algorithm>
#include <cstring>

#include "SUPPORT/error.h"
#include "SUPPORT/image_api.h"
#include "gui/window_assoc.h"
#include "rastrix/rastrix.h"

RX_SOURCE("source\\gui\\window_assoc_api.cpp");

namespace rx {
namespace {

HWND window_of(uintptr_t window) { return reinterpret_cast<HWND>(window); }

HWND window_enter(uintptr_t window) {
  HWND hwnd = window_of(window);
  if (window != 0 && pw_window_valid(hwnd) != 0) return hwnd;
  RX_ERR(RXE_INVALID_WINDOW_HANDLE, 0, 0);
  return nullptr;
}

// The valid record of a valid window, or null after pushing why not.
WindowAssoc* assoc_enter(uintptr_t window) {
  HWND hwnd = window_enter(window);
  if (hwnd == nullptr) return nullptr;
  WindowAssoc* assoc = assoc_find(hwnd);
  if (assoc == nullptr) RX_ERR(RXE_WINDOW_NOT_ASSOCIATED, 0, 0);
  return assoc;
}

bool is_engine_class(HWND hwnd) {
  char name[sizeof kWindowClassName + 1] = {};
  pw_window_class_name(hwnd, name, sizeof name);
  return std::strcmp(name, kWindowClassName) == 0;
}

// Subclasses the window once: a record that subclassed it already gets
// its old procedure back first, so that procedures never stack. When other
// code subclassed the window after us, our procedure is inside its chain
// already (also after an earlier association ended, see kPassOnProperty)
// and the window is left as it is.
void subclass(WindowAssoc* assoc, bool reused) {
  HWND hwnd = assoc->hwnd;
  if (reused && assoc->old_proc != nullptr) {
    if (pw_window_proc_get(hwnd) != assoc_subclass_proc) return;
    pw_window_proc_set(hwnd, assoc->old_proc);
    assoc->old_proc = nullptr;
  }
  if (is_engine_class(hwnd)) return;
  if (pw_window_proc old = pass_on_proc_take(hwnd)) {
    assoc->old_proc = old;
    return;
  }
  pw_window_proc old = pw_window_proc_set(hwnd, assoc_subclass_proc);
  // Never our own procedure as the one to pass on to: that would loop.
  assoc->old_proc = old == assoc_subclass_proc ? nullptr : old;
}

void client_rect(WindowAssoc* assoc) {
  pw_client_rect_get(assoc->hwnd, &assoc->rect);
  assoc->rect_follows = 1;
}

// The rectangle zoom 100 maps to: with none, the client area, followed as
// the window changes size; else the rectangle, kept.
void target_set(WindowAssoc* assoc, const int32_t* rect) {
  if (rect == nullptr) {
    client_rect(assoc);
  } else {
    assoc->rect = pg_rect{rect[0], rect[1], rect[2], rect[3]};
    assoc->rect_follows = 0;
  }
}

bool associate(RX_HIMAGE image, HWND hwnd) {
  WindowAssoc* assoc = assoc_find(hwnd);
  const bool reused = assoc != nullptr;
  if (!reused) {
    assoc = assoc_create(hwnd);
    if (assoc == nullptr) return false;
    if (pw_property_set(hwnd, kAssocProperty, assoc) == 0) {
      assoc_remove(assoc);
      RX_ERR(RXE_MEMORY_ALLOC_FAILED, sizeof(WindowAssoc), 0);
      return false;
    }
  }
  assoc->image = image;
  assoc->marker = kAssocMarker;
  assoc->zoom = 100;
  assoc->resize_on = 1;
  client_rect(assoc);
  subclass(assoc, reused);
  // The zoom paints the window: with painting off that paint only
  // validates, and the window is invalidated again once painting is on.
  assoc->paint_on = 0;
  const bool zoomed = assoc_zoom(assoc);
  // The window's own procedure may have ended it all during that paint.
  assoc = assoc_find(hwnd);
  if (assoc == nullptr) return zoomed;
  assoc->paint_on = 1;
  pw_window_invalidate(hwnd, nullptr, 1);
  return zoomed;
}

bool link_image(WindowAssoc* assoc, RX_HIMAGE image) {
  if (RPb_iRX_image_is_valid(image) == 0) {
    RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, RX_WINDOW_LINK, 0);
    return false;
  }
  if (assoc->linked == nullptr) {
    const size_t bytes = sizeof(RX_HIMAGE) * RX_WINDOW_LINK_MAX;
    assoc->linked = static_cast<RX_HIMAGE*>(RPb_AF_mem_alloc(assoc->pool, bytes));
    if (assoc->linked == nullptr) {
      RX_ERR(RXE_MEMORY_ALLOC_FAILED, bytes, 0);
      return false;
    }
    std::fill(assoc->linked, assoc->linked + RX_WINDOW_LINK_MAX, RX_HIMAGE{0});
  }
  RX_HIMAGE* end = assoc->linked + RX_WINDOW_LINK_MAX;
  RX_HIMAGE* slot = std::find(assoc->linked, end, RX_HIMAGE{0});
  if (slot == end) {
    RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, RX_WINDOW_LINK_MAX, 0);
    return false;
  }
  *slot = image;
  ++assoc->linked_count;
  pw_window_invalidate(assoc->hwnd, nullptr, 1);
  return true;
}

// The count stays the number of places taken, so an image that was never
// linked, or linked twice, cannot put it out of step.
void unlink_image(WindowAssoc* assoc, RX_HIMAGE image) {
  if (assoc->linked == nullptr || image == 0) return;
  RX_HIMAGE* end = assoc->linked + RX_WINDOW_LINK_MAX;
  const auto cleared = std::count(assoc->linked, end, image);
  if (cleared == 0) return;
  std::replace(assoc->linked, end, image, RX_HIMAGE{0});
  assoc->linked_count -= static_cast<int32_t>(cleared);
  pw_window_invalidate(assoc->hwnd, nullptr, 1);
}

}  // namespace
}  // namespace rx

using namespace rx;

extern "C" const char* RX_window_class_name(void) { return kWindowClassName; }

extern "C" int32_t RX_window_associate(RX_HIMAGE image, uintptr_t window, int32_t on) {
  error_clear();
  if (on != 0 && RPb_iRX_image_is_valid(image) == 0) return 0;
  HWND hwnd = window_enter(window);
  if (hwnd == nullptr) return error_count();
  if (on != 0) {
    associate(image, hwnd);
    return error_count();
  }
  WindowAssoc* assoc = assoc_find(hwnd);
  if (assoc == nullptr) RX_ERR(RXE_WINDOW_NOT_ASSOCIATED, 0, 0);
  else assoc_remove(assoc);
  return error_count();
}

extern "C" int32_t RX_window_zoom_rect_set(uintptr_t window, int32_t zoom, const int32_t* rect) {
  error_clear();
  WindowAssoc* assoc = assoc_enter(window);
  if (assoc == nullptr) return error_count();
  if (zoom < 1) {
    RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, zoom, 0);
    return error_count();
  }
  const int32_t kept_zoom = assoc->zoom, kept_follows = assoc->rect_follows;
  const pg_rect kept_rect = assoc->rect;
  assoc->zoom = zoom;
  target_set(assoc, rect);
  HWND hwnd = assoc->hwnd;
  if (!assoc_zoom(assoc) && (assoc = assoc_find(hwnd)) != nullptr) {
    assoc->zoom = kept_zoom;
    assoc->rect = kept_rect;
    assoc->rect_follows = kept_follows;
  }
  return error_count();
}

extern "C" int32_t RX_window_fit_set(uintptr_t window, int32_t method, int32_t* rect_out,
                                     int32_t* zoom_out) {
  error_clear();
  WindowAssoc* assoc = assoc_enter(window);
  if (assoc == nullptr || method < 0 || method > 3) return error_count();
  HWND hwnd = assoc->hwnd;
  int32_t rect[4] = {};
  int32_t zoom = 0;
  // Scroll bars the fit takes away change the client size, which must not
  // zoom again at the association's old zoom.
  assoc->zooming = 1;
  RX_display_fit_set(assoc->image, window, rect, &zoom, method);
  const int32_t errors = error_count();
  assoc = assoc_find(hwnd);
  if (assoc == nullptr) return errors;
  assoc->zooming = 0;
  if (errors != 0 || zoom == 0) return errors;
  assoc->zoom = zoom;
  target_set(assoc, method == 0 ? nullptr : rect);
  if (rect_out != nullptr) std::copy(rect, rect + 4, rect_out);
  if (zoom_out != nullptr) *zoom_out = zoom;
  return errors;
}

extern "C" int32_t RX_window_zoom_get(uintptr_t window, int32_t* zoom) {
  error_clear();
  WindowAssoc* assoc = assoc_enter(window);
  if (assoc == nullptr) return error_count();
  if (zoom == nullptr) RX_ERR(RXE_INVALID_POINTER, 0, 0);
  else *zoom = assoc->zoom;
  return error_count();
}

extern "C" int32_t RX_window_option_set(uintptr_t window, int32_t option, uintptr_t value) {
  error_clear();
  WindowAssoc* assoc = assoc_enter(window);
  if (assoc == nullptr) return error_count();
  switch (option) {
    case RX_WINDOW_PAINT:
      assoc->paint_on = value != 0 ? 1 : 0;
      pw_window_invalidate(assoc->hwnd, nullptr, 1);
      break;
    case RX_WINDOW_RESIZE: assoc->resize_on = value != 0 ? 1 : 0; break;
    case RX_WINDOW_LINK: link_image(assoc, value); break;
    case RX_WINDOW_UNLINK: unlink_image(assoc, value); break;
    default: break;
  }
  return error_count();
}

extern "C" int32_t RX_window_linked_count(uintptr_t window, int32_t* count) {
  error_clear();
  WindowAssoc* assoc = assoc_enter(window);
  if (assoc == nullptr) return error_count();
  if (count == nullptr) RX_ERR(RXE_INVALID_POINTER, 0, 0);
  else *count = assoc->linked_count;
  return error_count();
}

extern "C" int32_t RX_window_destroy_callback_set(uintptr_t window, RX_WINDOW_DESTROY_CB callback,
                                                  uintptr_t user) {
  error_clear();
  WindowAssoc* assoc = assoc_enter(window);
  if (assoc == nullptr) return error_count();
  assoc->on_destroy = callback;
  assoc->user = callback != nullptr ? user : 0;
  return error_count();
}
