// Window scroll bars: range, page and position per bar, shown while the
// style bit is set.
#include <algorithm>

#include "window_internal.h"

namespace pw {
namespace {

bool valid_bar(int32_t bar) { return bar == SB_HORZ || bar == SB_VERT; }
uint32_t bar_style(int32_t bar) { return bar == SB_HORZ ? WS_HSCROLL : WS_VSCROLL; }

int32_t clamp_pos(const ScrollBar& b, int64_t pos) {
  int64_t top = int64_t{b.max} - std::max<int64_t>(int64_t{b.page} - 1, 0);
  if (top < b.min) top = b.min;
  return static_cast<int32_t>(std::clamp<int64_t>(pos, b.min, top));
}

// Shows or hides a bar by its style bit; the client area follows.
void show_bar(HWND hwnd, Window& w, int32_t bar, bool show) {
  uint32_t bit = bar_style(bar);
  if (((w.style & bit) != 0) == show) return;
  pw_window_style_set(hwnd, show ? (w.style | bit) : (w.style & ~bit));
}

}  // namespace
}  // namespace pw

using namespace pw;

extern "C" int32_t pw_scroll_info_set(HWND hwnd, int32_t bar, const pw_scroll_info* info, int32_t redraw) {
  auto w = window_of(hwnd);
  if (!w || !valid_bar(bar) || info == nullptr) return 0;
  (void)redraw;
  ScrollBar& b = w->bars[bar];
  if (info->mask & PW_SIF_RANGE) {
    b.min = info->min;
    b.max = std::max(info->max, info->min);
  }
  // The page never exceeds the range, also when the range shrinks.
  int64_t span = int64_t{b.max} - b.min + 1;
  if (info->mask & PW_SIF_PAGE) b.page = info->page;
  b.page = static_cast<uint32_t>(std::min<int64_t>(b.page, span));
  if (info->mask & PW_SIF_POS) b.pos = info->pos;
  b.pos = clamp_pos(b, b.pos);
  if (info->mask & (PW_SIF_RANGE | PW_SIF_PAGE)) {
    // Nothing to scroll when the page covers the range (or the range is
    // empty with no page).
    bool scrollable = b.page == 0 ? b.max > b.min : int64_t{b.max} - b.min + 1 > b.page;
    if (scrollable || !(info->mask & PW_SIF_DISABLENOSCROLL)) show_bar(hwnd, *w, bar, scrollable);
  }
  notify(PW_EVENT_SCROLLBARS, w->handle);
  return b.pos;
}

extern "C" int32_t pw_scroll_info_get(HWND hwnd, int32_t bar, pw_scroll_info* info) {
  auto w = window_of(hwnd);
  if (!w || !valid_bar(bar) || info == nullptr) return 0;
  const ScrollBar& b = w->bars[bar];
  if (info->mask & PW_SIF_RANGE) {
    info->min = b.min;
    info->max = b.max;
  }
  if (info->mask & PW_SIF_PAGE) info->page = b.page;
  if (info->mask & PW_SIF_POS) info->pos = b.pos;
  if (info->mask & PW_SIF_TRACKPOS) info->track_pos = b.track;
  return 1;
}

extern "C" int32_t pw_scroll_pos_set(HWND hwnd, int32_t bar, int32_t pos, int32_t redraw) {
  auto w = window_of(hwnd);
  if (!w || !valid_bar(bar)) return 0;
  (void)redraw;
  int32_t old = w->bars[bar].pos;
  w->bars[bar].pos = clamp_pos(w->bars[bar], pos);
  notify(PW_EVENT_SCROLLBARS, w->handle);
  return old;
}

extern "C" int32_t pw_scroll_pos_get(HWND hwnd, int32_t bar) {
  auto w = window_of(hwnd);
  return w && valid_bar(bar) ? w->bars[bar].pos : 0;
}

extern "C" int32_t pw_scroll_range_set(HWND hwnd, int32_t bar, int32_t min, int32_t max, int32_t redraw) {
  pw_scroll_info si{PW_SIF_RANGE, min, max, 0, 0, 0};
  auto w = window_of(hwnd);
  if (!w || !valid_bar(bar) || max < min) return 0;
  pw_scroll_info_set(hwnd, bar, &si, redraw);
  return 1;
}

extern "C" int32_t pw_scroll_range_get(HWND hwnd, int32_t bar, int32_t* min, int32_t* max) {
  auto w = window_of(hwnd);
  if (!w || !valid_bar(bar)) return 0;
  if (min) *min = w->bars[bar].min;
  if (max) *max = w->bars[bar].max;
  return 1;
}

extern "C" int32_t pw_scroll_bar_show(HWND hwnd, int32_t bar, int32_t show) {
  auto w = window_of(hwnd);
  if (!w) return 0;
  if (bar == 3) {  // both
    show_bar(hwnd, *w, SB_HORZ, show != 0);
    show_bar(hwnd, *w, SB_VERT, show != 0);
  } else if (valid_bar(bar)) {
    show_bar(hwnd, *w, bar, show != 0);
  } else {
    return 0;
  }
  notify(PW_EVENT_SCROLLBARS, w->handle);
  return 1;
}

extern "C" int32_t pw_scroll_bar_user(HWND hwnd, int32_t bar, int32_t code, int32_t pos) {
  auto w = window_of(hwnd);
  if (!w || !valid_bar(bar) || code < SB_LINEUP || code > SB_ENDSCROLL) return 0;
  w->bars[bar].track = clamp_pos(w->bars[bar], pos);
  WPARAM wp = static_cast<WPARAM>(static_cast<uint32_t>(code) | (static_cast<uint32_t>(w->bars[bar].track & 0xFFFF) << 16));
  return pw_message_post(hwnd, bar == SB_HORZ ? WM_HSCROLL : WM_VSCROLL, wp, 0);
}
