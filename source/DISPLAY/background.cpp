// The background around the device rectangle: the four strips of the clip
// rectangle that the device rectangle leaves free, filled with the pattern
// bitmap's brush (its 0 bits in the foreground colour, 1 bits in the
// background colour) or with the background colour.
#include "DISPLAY/background.h"

namespace rx {
namespace {

COLORREF colour_of(const uint8_t* bgr) { return PG_RGB(bgr[2], bgr[1], bgr[0]); }

void fill(HDC hdc, const IRect& strip, const IRect& clip, HBRUSH brush) {
  const IRect r = intersect(strip, clip);
  if (r.empty()) return;
  const pg_rect rect{static_cast<int32_t>(r.left), static_cast<int32_t>(r.top),
                     static_cast<int32_t>(r.right), static_cast<int32_t>(r.bottom)};
  pg_rect_fill(hdc, &rect, brush);
}

}  // namespace

void paint_background(HDC hdc, const DISPLAY_ATTR& d, const IRect& device, const IRect& clip) {
  if (d.background_on == 0 || clip.empty()) return;
  HBRUSH brush = nullptr;
  if (d.background_pattern != 0)
    brush = pg_brush_pattern_create(reinterpret_cast<HBITMAP>(d.background_pattern));
  // A pattern bitmap deleted since it was set falls back to the colour.
  if (brush == nullptr) brush = pg_brush_solid_create(colour_of(d.background_color));
  if (brush == nullptr) return;
  const COLORREF text = pg_text_colour_set(hdc, colour_of(d.foreground_color));
  const COLORREF back = pg_bk_colour_set(hdc, colour_of(d.background_color));
  const IRect& k = clip;
  const IRect& v = device;
  if (v.left > k.left) fill(hdc, IRect{k.left, k.top, v.left, k.bottom}, clip, brush);
  if (v.top > k.top) fill(hdc, IRect{v.left, k.top, k.right, v.top}, clip, brush);
  if (v.right < k.right) fill(hdc, IRect{v.right, v.top, k.right, k.bottom}, clip, brush);
  if (v.bottom < k.bottom) fill(hdc, IRect{v.left, v.bottom, v.right, k.bottom}, clip, brush);
  pg_text_colour_set(hdc, text);
  pg_bk_colour_set(hdc, back);
  pg_brush_delete(brush);
}

}  // namespace rx
