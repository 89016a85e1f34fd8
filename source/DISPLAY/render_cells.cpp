// Renderers that reduce 1-bit images by cells: every device pixel covers
// the source columns from its column's cell start to the next one, over
// the source rows from its row-map entry to the next, and is decided by
// how many of those pixels are black.
//
// Zero-preserving reduction (1-bit bands, the band starts all ones): a
// device pixel turns 0 when the cell holds at least the threshold of 0
// bits: min(cell width x q / 400, cell height x q / 400), at least 1, with
// q = quality + 300, from the first cell's size; the exact renderer takes
// each cell's own size, the ink-keeping variant a threshold of 1.
//
// Scale-to-gray (4-bit bands with the 16-level grey table): a cell of n
// pixels with k black ones shows grey (n - k) x 15 / n, 15 being white;
// the ink variant counts each black pixel twice (at most n), so thin
// strokes stay dark. Black is the darker of the two palette entries.
#include <algorithm>
#include <bit>
#include <cstring>

#include "DISPLAY/render_context.h"
#include "DISPLAY/run_walk.h"
#include "SUPPORT/runs.h"

namespace rx {
namespace {

// Grey tables for the (at most four) cell sizes of a draw; larger cells
// are worked out directly.
constexpr int64_t kGrayTableMax = 1024;

struct GrayTables {
  int64_t n[4] = {0, 0, 0, 0};
  uint8_t table[4][kGrayTableMax + 1];

  uint8_t level(int64_t cells, int64_t black) {
    black = std::min(black, cells);
    if (cells > kGrayTableMax) return static_cast<uint8_t>((cells - black) * 15 / cells);
    for (int s = 0; s < 4; ++s) {
      if (n[s] == cells) return table[s][black];
      if (n[s] == 0) {
        n[s] = cells;
        for (int64_t k = 0; k <= cells; ++k) table[s][k] = static_cast<uint8_t>((cells - k) * 15 / cells);
        return table[s][black];
      }
    }
    return static_cast<uint8_t>((cells - black) * 15 / cells);
  }
};

bool is_runs(RenderKind k) {
  return k == RenderKind::kRunsReduce || k == RenderKind::kRunsReduceExact ||
         k == RenderKind::kRunsReduceInk || k == RenderKind::kRunsGray || k == RenderKind::kRunsGrayInk;
}
bool is_gray(RenderKind k) {
  return k == RenderKind::kCellsGray || k == RenderKind::kCellsGrayInk || k == RenderKind::kRunsGray ||
         k == RenderKind::kRunsGrayInk;
}
bool counts_ink_double(RenderKind k) { return k == RenderKind::kCellsGrayInk || k == RenderKind::kRunsGrayInk; }

// Ones among bits [x0, x1) of a packed row.
int64_t ones_between(const uint8_t* row, int64_t x0, int64_t x1) {
  int64_t n = 0;
  while (x0 < x1 && (x0 & 7) != 0) {
    n += (row[x0 >> 3] >> (7 - (x0 & 7))) & 1;
    ++x0;
  }
  for (; x0 + 64 <= x1; x0 += 64) {
    uint64_t w;
    std::memcpy(&w, row + (x0 >> 3), 8);
    n += std::popcount(w);
  }
  for (; x0 + 8 <= x1; x0 += 8) n += std::popcount(static_cast<uint32_t>(row[x0 >> 3]));
  for (; x0 < x1; ++x0) n += (row[x0 >> 3] >> (7 - (x0 & 7))) & 1;
  return n;
}

// Cell edges of band column j (source columns, absolute).
int64_t cell_start(const RenderContext& ctx, const Band& band, int32_t j) {
  return is_runs(ctx.kind) ? ctx.cell_cols[band.x + j] : ctx.first_col + ctx.col_map[band.x + j];
}

// Adds the counted bits of one source row to the band columns' counters.
void count_row(RenderContext& ctx, const Band& band, int64_t image_row, uint32_t counted) {
  if (image_row < 0 || image_row >= ctx.height) return;
  if (!is_runs(ctx.kind)) {
    const uint8_t* src = image_row_bits(ctx, image_row);
    for (int32_t j = 0; j < band.width; ++j) {
      const int64_t a = cell_start(ctx, band, j), b = cell_start(ctx, band, j + 1);
      const int64_t ones = ones_between(src, a, b);
      ctx.counts[j] += static_cast<uint32_t>(counted != 0 ? ones : (b - a) - ones);
    }
    return;
  }
  const uint8_t* run_row = runs_row(ctx.record, static_cast<int32_t>(ctx.height - 1 - image_row));
  const int64_t lo = ctx.cell_cols[band.x], hi = ctx.cell_cols[band.x + band.width];
  for_each_run(run_row, static_cast<uint32_t>(ctx.width), counted, [&](uint32_t a0, uint32_t b0) {
    const int64_t b = std::min<int64_t>(b0, hi);
    int64_t pos = std::max<int64_t>(a0, lo);
    if (pos >= b) return;
    int64_t j = std::max<int64_t>(int64_t{ctx.runs_map[pos]} - band.x, 0);
    while (pos < b && j < band.width) {
      const int64_t next = std::min<int64_t>(b, ctx.cell_cols[band.x + j + 1]);
      if (next > pos) ctx.counts[j] += static_cast<uint32_t>(next - pos);
      pos = std::max(pos, next);
      ++j;
    }
  });
}

int64_t threshold_of(int64_t w, int64_t h, int32_t quality) {
  const int64_t q = int64_t{quality} + 300;
  return std::max<int64_t>(1, std::min(w * q / 400, h * q / 400));
}

}  // namespace

bool render_cells(RenderContext& ctx, Band& band) {
  const RenderKind kind = ctx.kind;
  const bool gray = is_gray(kind);
  // What is counted: 0 bits, or for grey the darker palette entry.
  const uint32_t counted = gray && ctx.ink_is_one ? 1 : 0;
  // The first cell of the visible rectangle sets the plain threshold.
  const int64_t first_width = is_runs(kind) ? int64_t{ctx.cell_cols[1]} - ctx.cell_cols[0]
                                            : int64_t{ctx.col_map[1]} - ctx.col_map[0];
  const int64_t first_threshold =
      threshold_of(first_width, int64_t{ctx.row_map[1]} - ctx.row_map[0], ctx.alias_quality);
  GrayTables tables;
  for (int32_t r = 0; r < band.height; ++r) {
    const int32_t vr = band.y + r;
    const int64_t top = ctx.row_map[vr], bottom = std::max<int64_t>(ctx.row_map[vr + 1], top + 1);
    if (!render_progress(ctx, top)) return false;
    std::memset(ctx.counts, 0, static_cast<size_t>(band.width) * 4);
    for (int64_t row = top; row < bottom; ++row) count_row(ctx, band, ctx.image.top + row, counted);
    uint8_t* out = band.row(r);
    const int64_t h = bottom - top;
    for (int32_t j = 0; j < band.width; ++j) {
      const int64_t w = cell_start(ctx, band, j + 1) - cell_start(ctx, band, j);
      const int64_t k = ctx.counts[j];
      if (gray) {
        const int64_t black = counts_ink_double(kind) ? 2 * k : k;
        const int32_t v = w > 0 ? tables.level(w * h, black) : 15;
        if (j & 1) out[j >> 1] = static_cast<uint8_t>((out[j >> 1] & 0xF0) | v);
        else out[j >> 1] = static_cast<uint8_t>(v << 4);
        continue;
      }
      int64_t threshold = first_threshold;
      if (kind == RenderKind::kRunsReduceExact) threshold = threshold_of(w, h, ctx.alias_quality);
      if (kind == RenderKind::kRunsReduceInk) threshold = 1;
      if (k >= threshold) out[j >> 3] = static_cast<uint8_t>(out[j >> 3] & ~(0x80u >> (j & 7)));
    }
  }
  return true;
}

}  // namespace rx
