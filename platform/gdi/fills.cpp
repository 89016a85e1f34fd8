// Rectangle fills, frames, inversion, exclusive-or focus frames and lines.
#include <cmath>
#include <cstdlib>

#include "gdi_internal.h"

namespace pg {
namespace {

// Runs a source-less operation over a rectangle with a given brush.
bool rect_op(Dc& dc, const pg_rect& r, const std::shared_ptr<Brush>& brush, uint32_t rop) {
  if (r.right <= r.left || r.bottom <= r.top) return true;
  std::shared_ptr<Brush> saved = dc.brush;
  dc.brush = brush;
  BlitRequest req{r.left, r.top, int64_t{r.right} - r.left, int64_t{r.bottom} - r.top, 0, 0, 0, 0, rop};
  req.sw = req.w;
  req.sh = req.h;
  bool ok = blit(dc, nullptr, req);
  dc.brush = saved;
  return ok;
}

pg_rect clamped(int64_t l, int64_t t, int64_t r, int64_t b) {
  auto c = [](int64_t v) { return static_cast<int32_t>(v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : v); };
  return pg_rect{c(l), c(t), c(r), c(b)};
}

// Alternate pixels white and black, so that an exclusive-or with it is
// undone by a second one.
std::shared_ptr<Brush> dotted_brush() {
  static std::shared_ptr<Brush> b = [] {
    auto q = std::make_shared<Brush>();
    q->type = Brush::Pattern;
    q->pattern = surface_create(8, 8, 24, nullptr);
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x) surface_pixel_put(*q->pattern, x, y, ((x + y) & 1) ? 0u : 0xFFFFFFu);
    return q;
  }();
  return b;
}

}  // namespace
}  // namespace pg

using namespace pg;

extern "C" int32_t pg_rect_fill(HDC hdc, const pg_rect* rect, HBRUSH brush) {
  auto dc = dc_of(hdc);
  auto b = find<Brush>(raw(brush), Kind::Brush);
  if (!dc || !b || rect == nullptr) return 0;
  if (b->type == Brush::Null) return 1;
  return rect_op(*dc, *rect, b, PATCOPY) ? 1 : 0;
}

extern "C" int32_t pg_rect_frame(HDC hdc, const pg_rect* rect, HBRUSH brush) {
  auto dc = dc_of(hdc);
  auto b = find<Brush>(raw(brush), Kind::Brush);
  if (!dc || !b || rect == nullptr) return 0;
  const pg_rect& r = *rect;
  if (r.right <= r.left || r.bottom <= r.top || b->type == Brush::Null) return 1;
  rect_op(*dc, clamped(r.left, r.top, r.right, int64_t{r.top} + 1), b, PATCOPY);
  rect_op(*dc, clamped(r.left, int64_t{r.bottom} - 1, r.right, r.bottom), b, PATCOPY);
  rect_op(*dc, clamped(r.left, int64_t{r.top} + 1, int64_t{r.left} + 1, int64_t{r.bottom} - 1), b, PATCOPY);
  rect_op(*dc, clamped(int64_t{r.right} - 1, int64_t{r.top} + 1, r.right, int64_t{r.bottom} - 1), b, PATCOPY);
  return 1;
}

extern "C" int32_t pg_rect_invert(HDC hdc, const pg_rect* rect) {
  auto dc = dc_of(hdc);
  if (!dc || rect == nullptr) return 0;
  return rect_op(*dc, *rect, dc->brush, DSTINVERT) ? 1 : 0;
}

extern "C" int32_t pg_focus_rect_draw(HDC hdc, const pg_rect* rect) {
  auto dc = dc_of(hdc);
  if (!dc || rect == nullptr) return 0;
  const pg_rect& r = *rect;
  if (r.right <= r.left || r.bottom <= r.top) return 1;
  auto b = dotted_brush();
  // Each pixel of the frame is touched once, corners included.
  rect_op(*dc, clamped(r.left, r.top, r.right, int64_t{r.top} + 1), b, PATINVERT);
  if (int64_t{r.bottom} - 1 > r.top) rect_op(*dc, clamped(r.left, int64_t{r.bottom} - 1, r.right, r.bottom), b, PATINVERT);
  rect_op(*dc, clamped(r.left, int64_t{r.top} + 1, int64_t{r.left} + 1, int64_t{r.bottom} - 1), b, PATINVERT);
  if (int64_t{r.right} - 1 > r.left) rect_op(*dc, clamped(int64_t{r.right} - 1, int64_t{r.top} + 1, r.right, int64_t{r.bottom} - 1), b, PATINVERT);
  return 1;
}

extern "C" int32_t pg_line_draw(HDC hdc, int32_t x0, int32_t y0, int32_t x1, int32_t y1, COLORREF colour) {
  auto dc = dc_of(hdc);
  pg_rect clip{};
  if (!dc) return 0;
  if (!dc_clip(*dc, &clip) || (x0 == x1 && y0 == y1)) return 1;
  auto brush = std::make_shared<Brush>();
  brush->colour = colour;
  if (y0 == y1) {
    int64_t a = x0 < x1 ? x0 : int64_t{x1} + 1, b = x0 < x1 ? x1 : int64_t{x0} + 1;
    return rect_op(*dc, clamped(a, y0, b, int64_t{y0} + 1), brush, PATCOPY) ? 1 : 0;
  }
  if (x0 == x1) {
    int64_t a = y0 < y1 ? y0 : int64_t{y1} + 1, b = y0 < y1 ? y1 : int64_t{y0} + 1;
    return rect_op(*dc, clamped(x0, a, int64_t{x0} + 1, b), brush, PATCOPY) ? 1 : 0;
  }
  // Slanted lines: cut the segment to the clip box first (Liang-Barsky), so
  // that far-away end points cost nothing, then step through what is left.
  double t0 = 0.0, t1 = 1.0;
  double dxf = double(x1) - x0, dyf = double(y1) - y0;
  const double p[4] = {-dxf, dxf, -dyf, dyf};
  const double q[4] = {x0 - (clip.left - 1.0), (clip.right + 0.0) - x0, y0 - (clip.top - 1.0), (clip.bottom + 0.0) - y0};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0.0) {
      if (q[i] < 0.0) return 1;
      continue;
    }
    double t = q[i] / p[i];
    if (p[i] < 0.0) t0 = t > t0 ? t : t0;
    else t1 = t < t1 ? t : t1;
  }
  if (t0 > t1) return 1;
  int64_t ax = std::llround(x0 + t0 * dxf), ay = std::llround(y0 + t0 * dyf);
  int64_t bx = std::llround(x0 + t1 * dxf), by = std::llround(y0 + t1 * dyf);
  bool includes_end = t1 < 1.0;  // the true end point is never drawn
  ColourMapper map(*dc);
  uint32_t v = map.pixel_of_colorref(colour);
  Surface& s = *dc->surface();
  int64_t dx = std::llabs(bx - ax), dy = -std::llabs(by - ay);
  int64_t sx = ax < bx ? 1 : -1, sy = ay < by ? 1 : -1;
  int64_t err = dx + dy, x = ax, y = ay;
  int64_t steps = (dx > -dy ? dx : -dy) + (includes_end ? 1 : 0);
  for (int64_t i = 0; i < steps; ++i) {
    if (x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom)
      surface_pixel_put(s, static_cast<int32_t>(x), static_cast<int32_t>(y), v);
    int64_t e2 = 2 * err;
    if (e2 >= dy) { err += dy; x += sx; }
    if (e2 <= dx) { err += dx; y += sy; }
  }
  return 1;
}
