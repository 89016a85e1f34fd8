// Software surfaces: rows of packed pixels in a display's format.
#include <cstring>

#include "gdi_internal.h"

namespace pg {

int64_t stride_for(int32_t width, int32_t bpp, int32_t align_bytes) {
  int64_t bits = int64_t{width} * bpp;
  int64_t align_bits = int64_t{align_bytes} * 8;
  return (bits + align_bits - 1) / align_bits * align_bytes;
}

std::shared_ptr<Surface> surface_create(int32_t width, int32_t height, int32_t bpp,
                                        std::shared_ptr<Display> display) {
  if (width <= 0 || height <= 0 || width > kMaxSurfaceSide || height > kMaxSurfaceSide) return nullptr;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return nullptr;
  int64_t stride = stride_for(width, bpp, 4);
  if (stride * height > kMaxSurfaceBytes) return nullptr;
  auto s = std::make_shared<Surface>();
  s->width = width;
  s->height = height;
  s->bpp = bpp;
  s->stride = stride;
  s->bits.assign(static_cast<size_t>(stride * height), 0);
  s->display = std::move(display);
  return s;
}

uint32_t surface_pixel(const Surface& s, int32_t x, int32_t y) { return packed_get(s.row(y), s.bpp, x); }

void surface_pixel_put(Surface& s, int32_t x, int32_t y, uint32_t value) { packed_put(s.row(y), s.bpp, x, value); }

uint32_t surface_colour_of(const Surface& s, uint32_t value) {
  switch (s.bpp) {
    case 1: return value ? 0xFFFFFFu : 0;
    case 4: return standard_colours16()[value & 15];
    case 8: return s.display ? s.display->sys.colour[value & 255] : static_colours20()[value < 10 ? value : 0];
    case 16: return colour_of_555(value);
    default: return value & 0xFFFFFFu;
  }
}

void surface_fill(Surface& s, uint32_t value) {
  if (s.bits.empty()) return;
  for (int32_t x = 0; x < s.width; ++x) packed_put(s.bits.data(), s.bpp, x, value);
  for (int32_t y = 1; y < s.height; ++y) std::memcpy(s.row(y), s.row(0), static_cast<size_t>(s.stride));
}

int nearest_index(const uint32_t* colours, int count, uint32_t colour) {
  int best = -1;
  int64_t best_d = INT64_MAX;
  int r = red_of(colour), g = green_of(colour), b = blue_of(colour);
  for (int i = 0; i < count; ++i) {
    int dr = red_of(colours[i]) - r, dg = green_of(colours[i]) - g, db = blue_of(colours[i]) - b;
    int64_t d = int64_t{dr} * dr + int64_t{dg} * dg + int64_t{db} * db;
    if (d < best_d) {
      best_d = d;
      best = i;
      if (d == 0) break;
    }
  }
  return best;
}

}  // namespace pg
