// Invalid areas, painting, window DCs, scrolling a window's pixels and
// composing a window with its children for showing.
#include <algorithm>
#include <cstring>

#include "window_internal.h"

namespace pw {
namespace {

void read_surface(const pg::Surface& s, uint32_t* out, int32_t width, int32_t height, int32_t stride, int64_t ox,
                  int64_t oy) {
  uint32_t lut[256];
  if (s.bpp <= 8)
    for (uint32_t v = 0; v < (1u << s.bpp); ++v) lut[v] = pg::surface_colour_of(s, v);
  int64_t y0 = std::max<int64_t>(0, -oy), y1 = std::min<int64_t>(s.height, height - oy);
  int64_t x0 = std::max<int64_t>(0, -ox), x1 = std::min<int64_t>(s.width, width - ox);
  for (int64_t y = y0; y < y1; ++y) {
    const uint8_t* row = s.row(static_cast<int32_t>(y));
    uint32_t* o = out + (y + oy) * stride + ox;
    for (int64_t x = x0; x < x1; ++x) {
      uint32_t v = pg::packed_get(row, s.bpp, x);
      o[x] = 0xFF000000u | (s.bpp <= 8 ? lut[v] : pg::surface_colour_of(s, v));
    }
  }
}

void compose(const Window& w, uint32_t* out, int32_t width, int32_t height, int32_t stride, int64_t ox, int64_t oy,
             int depth) {
  if (w.surface) read_surface(*w.surface, out, width, height, stride, ox, oy);
  if (depth > 32) return;  // nesting this deep is not drawn
  for (uintptr_t k : w.children) {
    auto c = window_of(k);
    if (!c || !(c->style & WS_VISIBLE)) continue;
    Insets in = nonclient(c->style);
    compose(*c, out, width, height, stride, ox + c->x + in.left, oy + c->y + in.top, depth + 1);
  }
}

}  // namespace
}  // namespace pw

using namespace pw;

extern "C" int32_t pw_window_invalidate(HWND hwnd, const pg_rect* rect, int32_t erase) {
  auto w = window_of(hwnd);
  if (!w || w->destroying) return 0;
  invalidate(*w, rect, erase != 0);
  return 1;
}

extern "C" int32_t pw_window_validate(HWND hwnd, const pg_rect* rect) {
  auto w = window_of(hwnd);
  if (!w) return 0;
  if (!w->invalid) return 1;
  // The area is one rectangle: validating part of it keeps it whole
  // unless the part covers it.
  if (rect == nullptr || (rect->left <= w->invalid_rect.left && rect->top <= w->invalid_rect.top &&
                          rect->right >= w->invalid_rect.right && rect->bottom >= w->invalid_rect.bottom)) {
    w->invalid = false;
    w->erase = false;
  }
  return 1;
}

extern "C" int32_t pw_update_rect_get(HWND hwnd, pg_rect* out) {
  auto w = window_of(hwnd);
  if (!w) return 0;
  if (out) *out = w->invalid ? w->invalid_rect : pg_rect{0, 0, 0, 0};
  return w->invalid ? 1 : 0;
}

extern "C" int32_t pw_window_update(HWND hwnd) {
  auto w = window_of(hwnd);
  if (!w) return 0;
  if (w->invalid && (w->style & WS_VISIBLE)) pw_message_send(hwnd, WM_PAINT, 0, 0);
  return 1;
}

extern "C" HDC pw_paint_begin(HWND hwnd, pw_paint* ps) {
  auto w = window_of(hwnd);
  if (!w || ps == nullptr) return nullptr;
  *ps = pw_paint{};
  HDC dc = pg::dc_create_on_surface(w->surface, w->display);
  if (dc == nullptr) return nullptr;
  pg_rect area = w->invalid ? w->invalid_rect : pg_rect{0, 0, 0, 0};
  pg_clip_rect_set(dc, &area);
  bool erase = w->erase;
  w->invalid = false;
  w->erase = false;
  if (erase) ps->erase = pw_message_send(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) == 0;
  ps->hdc = dc;
  ps->paint = area;
  return dc;
}

extern "C" int32_t pw_paint_end(HWND hwnd, const pw_paint* ps) {
  if (ps == nullptr || ps->hdc == nullptr) return 0;
  int32_t ok = pg_dc_delete(ps->hdc);
  if (ok && window_of(hwnd)) notify(PW_EVENT_PAINTED, raw(hwnd));
  return ok;
}

extern "C" HDC pw_window_dc_get(HWND hwnd) {
  auto w = window_of(hwnd);
  if (!w) return nullptr;
  return pg::dc_create_on_surface(w->surface, w->display);
}

extern "C" int32_t pw_window_dc_release(HWND hwnd, HDC hdc) {
  int32_t ok = pg_dc_delete(hdc);
  if (ok && window_of(hwnd)) notify(PW_EVENT_PAINTED, raw(hwnd));
  return ok;
}

extern "C" int32_t pw_window_scroll(HWND hwnd, int32_t dx, int32_t dy) {
  auto w = window_of(hwnd);
  if (!w) return 0;
  if (!w->surface || (dx == 0 && dy == 0)) return 1;
  pg::Surface& s = *w->surface;
  int64_t W = s.width, H = s.height;
  int64_t ax = dx < 0 ? -int64_t{dx} : dx, ay = dy < 0 ? -int64_t{dy} : dy;
  if (ax < W && ay < H) {
    auto copy = s.bits;  // the old pixels, read while the new ones are written
    int64_t x0 = std::max<int64_t>(0, dx), x1 = std::min<int64_t>(W, W + dx);
    for (int64_t y = std::max<int64_t>(0, dy); y < std::min<int64_t>(H, H + dy); ++y) {
      const uint8_t* from = copy.data() + s.stride * (y - dy);
      uint8_t* to = s.row(static_cast<int32_t>(y));
      if (s.bpp >= 8) {
        int64_t b = s.bpp / 8;
        std::memcpy(to + x0 * b, from + (x0 - dx) * b, static_cast<size_t>((x1 - x0) * b));
      } else {
        for (int64_t x = x0; x < x1; ++x) pg::packed_put(to, s.bpp, x, pg::packed_get(from, s.bpp, x - dx));
      }
    }
  }
  auto clamp = [](int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); };
  // The strips the move uncovered.
  pg_rect strips[2] = {
      dx > 0 ? pg_rect{0, 0, clamp(ax), clamp(H)} : pg_rect{clamp(W - ax), 0, clamp(W), clamp(H)},
      dy > 0 ? pg_rect{0, 0, clamp(W), clamp(ay)} : pg_rect{0, clamp(H - ay), clamp(W), clamp(H)}};
  if (dx != 0) invalidate(*w, &strips[0], true);
  if (dy != 0) invalidate(*w, &strips[1], true);
  notify(PW_EVENT_PAINTED, w->handle);
  return 1;
}

extern "C" int32_t pw_window_render(HWND hwnd, uint32_t* out, int32_t width, int32_t height, int32_t stride_pixels) {
  auto w = window_of(hwnd);
  if (!w || out == nullptr || width <= 0 || height <= 0 || stride_pixels < width) return 0;
  for (int64_t y = 0; y < height; ++y) std::fill(out + y * stride_pixels, out + y * stride_pixels + width, 0xFF000000u);
  compose(*w, out, width, height, stride_pixels, 0, 0, 0);
  int32_t cw = 0, ch = 0;
  client_size(*w, &cw, &ch);
  return std::min(width, cw) * std::min(height, ch);
}
