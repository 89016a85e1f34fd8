// Walking the runs of a run row: the intervals of equal bits, read the way
// the engine expands run rows (columns clamped, a short row ending in 0s).
#pragma once

#include <algorithm>
#include <cstdint>

#include "SUPPORT/run_row.h"

namespace rx {

// Calls f(a, b) for each run [a, b) of bits equal to `value` (0 or 1), in
// increasing order. A null row has no runs.
template <typename F>
void for_each_run(const uint8_t* run_row, uint32_t width, uint32_t value, F&& f) {
  if (run_row == nullptr) return;
  const uint32_t values = run_value_get(run_row, 0) / 2;
  uint32_t pos = 0;
  uint32_t bit = 1;
  for (uint32_t i = 1; i < values && pos < width; ++i) {
    const uint32_t column = std::clamp(run_value_get(run_row, i), pos, width);
    if (bit == value && column > pos) f(pos, column);
    pos = column;
    bit ^= 1;
  }
  if (pos < width && value == 0) f(pos, width);
}

}  // namespace rx
