// Renderers for runs images on 1-bit bands: each band row (or band column
// when the image is turned) starts all ones and every run of 0 bits of its
// source row clears the device pixels the runs map gives it. Turned a
// quarter, the image's columns run down the device and its rows across:
// at 90 degrees clockwise the top row is the rightmost column, at 270 the
// leftmost.
#include <algorithm>
#include <cstring>

#include "DISPLAY/render_context.h"
#include "DISPLAY/run_walk.h"
#include "SUPPORT/runs.h"

namespace rx {
namespace {

// The run row of image row `image_row`, or null when it is not there (a
// row a progressive load has not delivered yet).
const uint8_t* run_row_of(RenderContext& ctx, int64_t image_row) {
  if (image_row < 0 || image_row >= ctx.height) return nullptr;
  return runs_row(ctx.record, static_cast<int32_t>(ctx.height - 1 - image_row));
}

// A run's span along the device axis, relative to `origin` and cut to
// [0, limit); mirrored maps run backwards.
inline void run_span(const RenderContext& ctx, uint32_t a, uint32_t b, bool mirrored,
                     int64_t origin, int64_t limit, int64_t* x0, int64_t* x1) {
  const int64_t from = mirrored ? ctx.runs_map[b] : ctx.runs_map[a];
  const int64_t to = mirrored ? ctx.runs_map[a] : ctx.runs_map[b];
  *x0 = std::max<int64_t>(from - origin, 0);
  *x1 = std::min<int64_t>(to - origin, limit);
}

}  // namespace

bool render_runs(RenderContext& ctx, Band& band) {
  const bool mirrored = ctx.rotation == 2;
  const uint32_t width = static_cast<uint32_t>(ctx.width);
  const uint32_t left = static_cast<uint32_t>(ctx.image.left);
  const uint32_t end = static_cast<uint32_t>(ctx.image.right + 1);
  int64_t previous = -1;
  for (int32_t r = 0; r < band.height; ++r) {
    const int64_t entry = ctx.row_map[band.y + r];
    uint8_t* out = band.row(r);
    if (r > 0 && ctx.enlarged_v && entry == previous) {
      std::memcpy(out, band.row(r - 1), static_cast<size_t>(band.row_bytes));
      continue;
    }
    if (!render_progress(ctx, entry)) return false;
    previous = entry;
    for_each_run(run_row_of(ctx, ctx.image.top + entry), width, 0, [&](uint32_t a, uint32_t b) {
      a = std::max(a, left);
      b = std::min(b, end);
      if (a >= b) return;
      int64_t x0 = 0, x1 = 0;
      run_span(ctx, a, b, mirrored, band.x, band.width, &x0, &x1);
      bits_clear(out, x0, x1);
    });
  }
  return true;
}

bool render_runs_turned(RenderContext& ctx, Band& band) {
  const bool mirrored = ctx.rotation == 3;
  const uint32_t width = static_cast<uint32_t>(ctx.width);
  const uint32_t left = static_cast<uint32_t>(ctx.image.left);
  const uint32_t end = static_cast<uint32_t>(ctx.image.right + 1);
  for (int32_t c = 0; c < band.width; ++c) {
    const int64_t entry = ctx.row_map[band.x + c];
    if (!render_progress(ctx, entry)) return false;
    const uint8_t bit = static_cast<uint8_t>(0x80u >> (c & 7));
    for_each_run(run_row_of(ctx, ctx.image.top + entry), width, 0, [&](uint32_t a, uint32_t b) {
      a = std::max(a, left);
      b = std::min(b, end);
      if (a >= b) return;
      int64_t y0 = 0, y1 = 0;
      run_span(ctx, a, b, mirrored, band.y, band.height, &y0, &y1);
      for (int64_t y = y0; y < y1; ++y) band.row(static_cast<int32_t>(y))[c >> 3] &= static_cast<uint8_t>(~bit);
    });
  }
  return true;
}

}  // namespace rx
