// Where the pixels of one row of an image turned by any angle come from:
// for new column x, u = ((dx cos + dy sin) + cx) + 0.5 and
// v = ((dy cos - dx sin) + cy) + 0.5 in doubles, each step rounded as
// written; the source pixel is (floor u, floor v) when 0 <= u < width and
// 0 <= v < height, else none (-1). The plain version and the one that takes
// two columns at a time with SSE2 give the same positions.
#pragma once

#include <cstdint>

namespace rx::ip {

struct TurnRow {
  const double* dx_cos;  // dx x cos for every new column
  const double* dx_sin;  // dx x sin
  uint32_t columns;
  double dy_sin, dy_cos;  // dy x sin and dy x cos of this row
  double cx, cy;          // the source centre
  double width, height;   // of the source
};

void turn_positions_plain(const TurnRow& r, int32_t* column, int32_t* row);
void turn_positions(const TurnRow& r, int32_t* column, int32_t* row);

// A new row of pixels of `bytes` bytes (1, 2 or 3) from the source rows
// (`rows[y]` is where source row y starts, `width` pixels each): each pixel
// copied from its position, 0 from outside; `column` and `row` are scratch
// of r.columns entries. The plain form goes through turn_positions_plain;
// where the processor has AVX2 the positions of four pixels are worked out
// together and used at once.
void turn_copy_plain(const TurnRow& r, const uint8_t* const* rows, uint32_t bytes, int32_t* column, int32_t* row,
                     uint8_t* out);
void turn_copy(const TurnRow& r, const uint8_t* const* rows, uint32_t bytes, int32_t* column, int32_t* row,
               uint8_t* out);

}  // namespace rx::ip
