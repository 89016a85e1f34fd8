// Rows of PNG pixel data: undoing the five row filters, and the Adam7
// passes. Pure functions over caller buffers; they report nothing.
#pragma once

#include <cstddef>
#include <cstdint>

namespace rx::png {

// Undoes one row's filter in place. `row` holds the `size` bytes after the
// filter byte; `prior` is the previous row of the same pass as unfiltered
// (all zero for the first row); `distance` is the bytes per pixel (at least
// 1). The Paeth predictor prefers a, then b, then c on ties. False, with
// the row untouched, for a filter type above 4.
bool row_unfilter(uint8_t filter, uint8_t* row, const uint8_t* prior, size_t size,
                  uint32_t distance);

// The same, one byte at a time straight from the definitions; the fast
// form above gives identical bytes and is tested against it.
bool row_unfilter_reference(uint8_t filter, uint8_t* row, const uint8_t* prior, size_t size,
                            uint32_t distance);

// One Adam7 pass: first column and row, and the steps between them.
struct Pass {
  uint32_t x0, y0, dx, dy;
};
inline constexpr Pass kAdam7[7] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                   {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};

// Pixels across and rows of a pass of a width x height image (0 when the
// image is too small to have any).
inline uint32_t pass_extent(uint32_t size, uint32_t start, uint32_t step) {
  return size > start ? (size - start + step - 1) / step : 0;
}

// Stores the `pass_width` pixels of a pass row (`bits` per pixel, packed as
// in the file) at their places in a full-width row of the same layout.
void pass_row_scatter(const uint8_t* pass_row, uint32_t pass_width, const Pass& pass,
                      uint32_t bits, uint8_t* image_row);

}  // namespace rx::png
