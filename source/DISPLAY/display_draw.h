// Drawing an image into a device context, for the public draw and for the
// engine's own callers (the progressive load), which keep the error stack.
#pragma once

#include <cstdint>

#include "DISPLAY/render_context.h"

namespace rx {

// Draws the record into the DC. Pushes what fails; returns the error
// count. Does not clear the error stack.
int32_t display_draw(IMAGE_REC* record, HDC hdc);

// What the last draw did, for tests and measurements.
struct DrawStats {
  int32_t target = 0;            // band depth
  RenderKind kind = RenderKind::kGeneric;
  int32_t bands = 0;             // bands blitted
  int32_t band_width = 0, band_height = 0;  // the largest band
  int64_t band_bytes = 0;        // the largest band: header, colour table and bits
  int64_t scratch_bytes = 0;     // everything the draw allocated: band, maps, counters
  int64_t map_bytes = 0;         // of which maps and counters
};
const DrawStats& display_last_draw_stats();

}  // namespace rx
