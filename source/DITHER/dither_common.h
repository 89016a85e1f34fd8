// What the palette generators and the dithering operations share: their
// fixed palettes, the colour lookup grid of the 4-bit results, the source
// rows as grey values or colours, and the walk over the rows in storage
// order (bottom row first) with the status callback.
#pragma once

#include <cstdint>

#include "IMG_PROC/new_dib.h"
#include "SUPPORT/error.h"
#include "SUPPORT/mem_tag.h"

namespace rx::dither {

using ip::gray_of;
using ip::NewDib;

// The 16 colours of 4-bit dithering results when the caller gives none.
extern const RX_RGBQUAD kDefault16[16];
// The palette of 1-bit results: 0 black, 1 white.
extern const RX_RGBQUAD kBlackWhite[2];

// Channels in palette order.
enum Channel : int32_t { kBlue = 0, kGreen = 1, kRed = 2 };

inline uint8_t channel_of(const RX_RGBQUAD& q, int32_t c) {
  return c == kBlue ? q.rgbBlue : c == kGreen ? q.rgbGreen : q.rgbRed;
}

// The weighted colour distance |dr| x 77 + |dg| x 151 + |db| x 28.
inline uint32_t weighted_distance(int32_t dr, int32_t dg, int32_t db) {
  auto a = [](int32_t v) { return static_cast<uint32_t>(v < 0 ? -v : v); };
  return a(dr) * 77 + a(dg) * 151 + a(db) * 28;
}

// The 16-entry palette's levels per channel and, for every combination of
// levels, the nearest entry: the 4-bit results look colours up here instead
// of searching the palette per pixel.
class ColourGrid {
 public:
  explicit ColourGrid(const RX_RGBQUAD* palette);
  const RX_RGBQUAD* palette() const { return palette_; }
  // Levels of a channel: the sorted distinct values the palette uses, then
  // the sentinel 255 at index levels(c).
  int32_t levels(int32_t c) const { return count_[c]; }
  int32_t level(int32_t c, int32_t i) const { return level_[c][i]; }
  // The index of the level nearest to v (0..255); midway takes the lower.
  int32_t nearest_level(int32_t c, uint32_t v) const { return nearest_[c][v]; }
  // The palette entry nearest to a combination of level indices.
  uint8_t entry(int32_t b, int32_t g, int32_t r) const {
    return cell_[(r * count_[kGreen] + g) * count_[kBlue] + b];
  }

 private:
  RX_RGBQUAD palette_[16];
  int32_t count_[3] = {};
  uint8_t level_[3][17] = {};
  uint8_t nearest_[3][256] = {};
  uint8_t cell_[16 * 16 * 16] = {};
};

// Grey values of a 4-, 8- or 24-bit image's rows: palette images through
// a table of their entries' grey values.
class GreyRows {
 public:
  explicit GreyRows(const void* dib);
  // Image row `row` as one grey value per pixel.
  void row(int32_t image_row, uint8_t* out) const;

 private:
  const void* dib_;
  uint32_t bits_, width_;
  uint8_t lut_[256] = {};
};

// Colours of an 8- or 24-bit image's rows as blue, green, red bytes.
class ColourRows {
 public:
  explicit ColourRows(const void* dib) : dib_(dib) {}
  // Image row `row`: the DIB's own bytes at 24 bits, else expanded into
  // `buffer` (3 x width bytes).
  const uint8_t* row(int32_t image_row, uint8_t* buffer) const;

 private:
  const void* dib_;
};

// Walks the rows in storage order, bottom row first: row_fn(image_row)
// for each, then the status callback with (image row, rows). A row_fn
// returning false (pushed) or a stop ends the walk with false.
template <class RowFn>
bool storage_walk(int32_t rows, RowFn&& row_fn) {
  const ip::Progress progress;
  for (int32_t d = 0; d < rows; ++d) {
    const int32_t y = rows - 1 - d;
    if (!row_fn(y)) return false;
    if (!progress.go_on(y, rows)) {
      ip::push_interrupted(y, rows);
      return false;
    }
  }
  return true;
}

// Scratch arrays of 32-bit values, sized in 64 bits; null with -1000
// pushed when they cannot be had.
int32_t* int_rows(TagGuard& scratch, uint64_t count);

}  // namespace rx::dither
