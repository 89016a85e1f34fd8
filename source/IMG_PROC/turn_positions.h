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

}  // namespace rx::ip
