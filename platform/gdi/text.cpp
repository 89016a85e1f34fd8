// Text in the built-in font: single runs, extents and text laid out in a
// rectangle with alignment and word breaks.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "font.h"

namespace pg {
namespace {

// Text longer than this is cut: no caller draws more in one call.
constexpr int32_t kMaxTextLength = 1 << 16;

int32_t scale_of(Dc& dc) { return dc.font ? dc.font->scale : 1; }

int32_t text_length(const char* text, int32_t length) {
  if (text == nullptr) return -1;
  if (length < 0) length = static_cast<int32_t>(strnlen(text, kMaxTextLength));
  return std::min(length, kMaxTextLength);
}

void draw_run(Dc& dc, int64_t x, int64_t y, const char* text, int32_t n) {
  pg_rect clip{};
  if (n <= 0 || !dc_clip(dc, &clip)) return;
  Surface& s = *dc.surface();
  ColourMapper map(dc);
  int32_t k = scale_of(dc);
  int64_t cw = int64_t{PG_FONT_CELL_WIDTH} * k, ch = int64_t{PG_FONT_CELL_HEIGHT} * k;
  auto put = [&](int64_t px, int64_t py, uint32_t v) {
    if (px >= clip.left && px < clip.right && py >= clip.top && py < clip.bottom)
      surface_pixel_put(s, static_cast<int32_t>(px), static_cast<int32_t>(py), v);
  };
  // Skip whole cells outside the clip box so that far-off text costs little.
  int64_t first = std::max<int64_t>(0, (clip.left - x) / cw - 1);
  int64_t last = std::min<int64_t>(n, (clip.right - x) / cw + 1);
  if (y >= clip.bottom || y + ch <= clip.top) return;
  if (dc.bk_mode == PG_OPAQUE) {
    uint32_t bk = map.pixel_of_colorref(dc.bk);
    for (int64_t i = first; i < last; ++i)
      for (int64_t py = std::max<int64_t>(y, clip.top); py < std::min<int64_t>(y + ch, clip.bottom); ++py)
        for (int64_t px = x + i * cw; px < x + (i + 1) * cw; ++px) put(px, py, bk);
  }
  uint32_t fg = map.pixel_of_colorref(dc.text);
  for (int64_t i = first; i < last; ++i) {
    const uint8_t* rows = glyph_rows(static_cast<unsigned char>(text[i]));
    for (int r = 0; r < 8; ++r)
      for (int c = 0; c < 5; ++c) {
        if (!(rows[r] >> (4 - c) & 1)) continue;
        for (int dy = 0; dy < k; ++dy)
          for (int dx = 0; dx < k; ++dx) put(x + i * cw + int64_t{c} * k + dx, y + int64_t{r + 1} * k + dy, fg);
      }
  }
}

// Splits text into lines: at line feeds, and with word breaks where a
// line would pass `width` pixels (a word longer than the width is cut).
std::vector<std::string> lay_out(const char* text, int32_t n, bool word_break, bool single, int64_t width,
                                 int64_t cw) {
  std::vector<std::string> lines;
  std::string line;
  int64_t max_chars = width > 0 ? std::max<int64_t>(1, width / cw) : 1;
  auto flush = [&] {
    lines.push_back(line);
    line.clear();
  };
  for (int32_t i = 0; i < n; ++i) {
    char c = text[i];
    if (!single && (c == '\n' || c == '\r')) {
      if (c == '\r' && i + 1 < n && text[i + 1] == '\n') ++i;
      flush();
      continue;
    }
    line.push_back(single && (c == '\n' || c == '\r') ? ' ' : c);
    if (word_break && !single && static_cast<int64_t>(line.size()) > max_chars) {
      size_t cut = line.find_last_of(' ', static_cast<size_t>(max_chars));
      if (cut == std::string::npos || cut == 0) cut = static_cast<size_t>(max_chars);
      std::string rest = line.substr(cut);
      line.resize(cut);
      while (!line.empty() && line.back() == ' ') line.pop_back();
      flush();
      size_t start = rest.find_first_not_of(' ');
      line = start == std::string::npos ? std::string() : rest.substr(start);
    }
  }
  flush();
  return lines;
}

}  // namespace
}  // namespace pg

using namespace pg;

extern "C" int32_t pg_text_extent(HDC hdc, const char* text, int32_t length, int32_t* width, int32_t* height) {
  auto dc = dc_of(hdc);
  int32_t n = text_length(text, length);
  if (!dc || n < 0) return 0;
  int32_t k = scale_of(*dc);
  if (width) *width = static_cast<int32_t>(std::min<int64_t>(INT32_MAX, int64_t{n} * PG_FONT_CELL_WIDTH * k));
  if (height) *height = PG_FONT_CELL_HEIGHT * k;
  return 1;
}

extern "C" int32_t pg_text_out(HDC hdc, int32_t x, int32_t y, const char* text, int32_t length) {
  auto dc = dc_of(hdc);
  int32_t n = text_length(text, length);
  if (!dc || n < 0) return 0;
  draw_run(*dc, x, y, text, n);
  return 1;
}

extern "C" int32_t pg_text_draw(HDC hdc, const char* text, int32_t length, pg_rect* rect, uint32_t format) {
  auto dc = dc_of(hdc);
  int32_t n = text_length(text, length);
  if (!dc || n < 0 || rect == nullptr) return 0;
  int32_t k = scale_of(*dc);
  int64_t cw = int64_t{PG_FONT_CELL_WIDTH} * k, ch = int64_t{PG_FONT_CELL_HEIGHT} * k;
  bool single = format & PG_DT_SINGLELINE;
  int64_t width = int64_t{rect->right} - rect->left;
  auto lines = lay_out(text, n, format & PG_DT_WORDBREAK, single, width, cw);
  int64_t total = static_cast<int64_t>(lines.size()) * ch;
  if (format & PG_DT_CALCRECT) {
    int64_t widest = 0;
    for (auto& l : lines) widest = std::max<int64_t>(widest, static_cast<int64_t>(l.size()) * cw);
    if (single || !(format & PG_DT_WORDBREAK))
      rect->right = static_cast<int32_t>(std::min<int64_t>(INT32_MAX, rect->left + widest));
    rect->bottom = static_cast<int32_t>(std::min<int64_t>(INT32_MAX, rect->top + total));
    return static_cast<int32_t>(std::min<int64_t>(INT32_MAX, total));
  }
  int64_t y = rect->top;
  if (single && (format & PG_DT_VCENTER)) y = rect->top + (int64_t{rect->bottom} - rect->top - ch) / 2;
  else if (single && (format & PG_DT_BOTTOM)) y = int64_t{rect->bottom} - ch;
  // Clip to the rectangle for the duration of the call.
  bool had = dc->has_clip;
  pg_rect saved = dc->clip;
  pg_rect now{};
  dc_clip(*dc, &now);
  dc->has_clip = true;
  dc->clip = pg_rect{std::max(now.left, rect->left), std::max(now.top, rect->top),
                     std::min(now.right, rect->right), std::min(now.bottom, rect->bottom)};
  for (auto& l : lines) {
    int64_t w = static_cast<int64_t>(l.size()) * cw;
    int64_t x = rect->left;
    if (format & PG_DT_CENTER) x = rect->left + (width - w) / 2;
    else if (format & PG_DT_RIGHT) x = int64_t{rect->right} - w;
    draw_run(*dc, x, y, l.data(), static_cast<int32_t>(l.size()));
    y += ch;
    if (y >= rect->bottom) break;
  }
  dc->has_clip = had;
  dc->clip = saved;
  return static_cast<int32_t>(std::min<int64_t>(INT32_MAX, total));
}
