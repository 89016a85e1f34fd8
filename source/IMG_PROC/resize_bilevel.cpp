// Resizing 1-bit images. A runs image replicated stays runs all the way:
// each change column moves to the first destination column that samples at
// or past it, which gives the same pixels as sampling bit by bit. The
// average and bilinear methods read packed rows (run rows expanded one at a
// time) and write packed rows, stored as run rows for a runs image.
#include <algorithm>
#include <cstring>

#include "IMG_PROC/resize.h"
#include "IMG_PROC/run_edit.h"
#include "SUPPORT/error.h"
#include "SUPPORT/mem_tag.h"
#include "SUPPORT/runs.h"

RX_SOURCE("source\\IMG_PROC\\resize_bilevel.cpp");

namespace rx::ip {
namespace {

inline uint32_t bit_at(const uint8_t* row, uint32_t x) { return (row[x >> 3] >> (7 - (x & 7))) & 1u; }

bool row_done(const Progress& progress, int32_t y, int32_t rows) {
  if (progress.go_on(y, rows)) return true;
  push_interrupted(y, rows);
  return false;
}

bool replicate_runs(IMAGE_REC* record, NewDib& out, const Scale& s) {
  const auto width = static_cast<uint32_t>(s.width);
  const auto new_width = static_cast<uint32_t>(s.new_width);
  TagGuard scratch;
  // first[c]: the first destination column whose source column is c or more.
  auto* first = static_cast<uint32_t*>(scratch.alloc(size_t{width + 1} * 4));
  auto* run_row = static_cast<uint8_t*>(scratch.alloc(run_row_max_bytes(new_width)));
  if (first == nullptr || run_row == nullptr) {
    RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, (width + 1) * 4 + run_row_max_bytes(new_width), 0);
    return false;
  }
  Accumulated across(s.h_ratio, s.width);
  uint32_t c = 0;
  for (uint32_t x = 0; x < new_width; ++x)
    for (const auto column = static_cast<uint32_t>(across.next()); c <= column; ++c) first[c] = x;
  for (; c <= width; ++c) first[c] = new_width;

  Accumulated down(s.v_ratio, s.height);
  const Progress progress;
  int32_t previous = -1;
  uint32_t length = 0;
  for (int32_t y = 0; y < s.new_height; ++y) {
    const int32_t source = down.next();
    if (source != previous) {
      const uint8_t* row = runs_row(record, s.height - 1 - source);
      if (row == nullptr) {
        RX_ERR(RXE_INTERNAL_ERROR, source, 0);
        return false;
      }
      const RunChanges changes(row, width);
      RunRowWriter writer(run_row, new_width);
      for (uint32_t i = 0; i < changes.count(); ++i) writer.change(first[changes[i]]);
      length = writer.finish();
      previous = source;
    }
    if (!out.store_run_row(y, run_row, length)) return false;
    if (!row_done(progress, y, s.new_height)) return false;
  }
  return true;
}

// Fills each packed destination row through `pixel(x, y)`.
template <class Pixel>
bool fill_rows(NewDib& out, const Scale& s, Pixel&& pixel) {
  const auto stride = static_cast<uint32_t>(dib_stride(1, static_cast<uint64_t>(s.new_width)));
  TagGuard scratch;
  auto* line = static_cast<uint8_t*>(scratch.alloc(stride));
  if (line == nullptr) {
    RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, stride, 0);
    return false;
  }
  const Progress progress;
  for (int32_t y = 0; y < s.new_height; ++y) {
    std::memset(line, 0, stride);
    if (!pixel.row(y)) return false;
    for (uint32_t x = 0; x < static_cast<uint32_t>(s.new_width); ++x)
      if (pixel(x)) line[x >> 3] |= static_cast<uint8_t>(0x80u >> (x & 7));
    if (!out.put_packed(y, line, stride)) return false;
    if (!row_done(progress, y, s.new_height)) return false;
  }
  return true;
}

// Replicate of a plain image: the column positions accumulate anew on each
// row.
struct Replicated {
  IMAGE_REC* record;
  const Scale& s;
  Accumulated down{s.v_ratio, s.height};
  Accumulated across{s.h_ratio, s.width};
  const uint8_t* src = nullptr;
  bool row(int32_t) {
    src = dib_image_row(record->dib, down.next());
    across = Accumulated(s.h_ratio, s.width);
    return true;
  }
  bool operator()(uint32_t) { return bit_at(src, static_cast<uint32_t>(across.next())) != 0; }
};

// The two source rows of a destination row for the average and bilinear
// methods.
struct TwoRows {
  BitRows& rows;
  const Scale& s;
  Between ys{};
  const uint8_t* a = nullptr;
  const uint8_t* b = nullptr;
  bool fetch(int32_t y) {
    ys = between_at(y, s.v_ratio, s.height);
    a = rows.row(ys.first);
    b = a != nullptr ? rows.row(ys.second) : nullptr;
    return b != nullptr;
  }
};

// At least three of the four bits around the sampling position set.
struct Majority : TwoRows {
  bool row(int32_t y) { return fetch(y); }
  bool operator()(uint32_t x) const {
    const Between xs = between_at(x, s.h_ratio, s.width);
    const auto i0 = static_cast<uint32_t>(xs.first), i1 = static_cast<uint32_t>(xs.second);
    return bit_at(a, i0) + bit_at(a, i1) + bit_at(b, i0) + bit_at(b, i1) >= 3;
  }
};

// The four bits interpolated as numbers 0 and 1; set above one half.
struct Interpolated : TwoRows {
  bool row(int32_t y) { return fetch(y); }
  bool operator()(uint32_t x) const {
    const Between xs = between_at(x, s.h_ratio, s.width);
    const auto i0 = static_cast<uint32_t>(xs.first), i1 = static_cast<uint32_t>(xs.second);
    const int32_t a0 = static_cast<int32_t>(bit_at(a, i0)), b0 = static_cast<int32_t>(bit_at(b, i0));
    const double top = a0 + (static_cast<int32_t>(bit_at(a, i1)) - a0) * xs.fraction;
    const double bottom = b0 + (static_cast<int32_t>(bit_at(b, i1)) - b0) * xs.fraction;
    return top + (bottom - top) * ys.fraction > 0.5;
  }
};

}  // namespace

bool resize_bilevel(IMAGE_REC* record, NewDib& out, const Scale& s, int32_t method) {
  if (method == kReplicate) {
    if (dib_is_runs(record->dib)) return replicate_runs(record, out, s);
    return fill_rows(out, s, Replicated{record, s});
  }
  BitRows rows(record);
  if (!rows.ok()) return false;
  if (method == kAverage) return fill_rows(out, s, Majority{{rows, s}});
  return fill_rows(out, s, Interpolated{{rows, s}});
}

}  // namespace rx::ip
