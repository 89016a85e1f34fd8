// Printing: where each size mode puts an image on a page.
#pragma once

#include <cstdint>

#include "DISPLAY/display_geometry.h"

namespace rx {

// The page: its size in dots and its dots per inch across and down.
struct PrintPage {
  int64_t width = 0, height = 0;
  int64_t dpi_x = 96, dpi_y = 96;
};

// The image as printed: its size in pixels (sides already swapped for a
// quarter-turn display rotation) and its dots per inch, each at least 1.
struct PrintSource {
  int64_t width = 0, height = 0;
  int64_t dpi_x = 96, dpi_y = 96;
};

// Dots per inch assumed for an image that records no resolution: a
// screen's, so that what looked right on screen prints at that size.
inline constexpr int64_t kPrintDefaultDpi = 96;

// The device rectangle (right and bottom exclusive) of the image on the
// page for a size mode 0..5 (rx_print.h); each side at least one dot.
IRect print_place(const PrintPage& page, const PrintSource& source, int32_t mode, bool centre,
                  bool use_resolution);

// Dots per inch from pixels per metre, rounded; kPrintDefaultDpi when
// none is recorded.
int64_t print_dpi_of(int32_t pels_per_meter);

}  // namespace rx
