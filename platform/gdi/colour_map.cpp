// How colours become device pixels in a DC. Palette devices match DIB
// colours against the selected logical palette and go through its system
// mapping; plain RGB colours there take the nearest static colour.
#include "gdi_internal.h"

namespace pg {
namespace {
constexpr size_t kCacheSlots = 4096;
constexpr uint32_t kCacheValid = 0x80000000u;

uint32_t mono_of(uint32_t colour) {
  int grey = (red_of(colour) * 77 + green_of(colour) * 151 + blue_of(colour) * 28) >> 8;
  return grey >= 128 ? 1u : 0u;
}
}  // namespace

ColourMapper::ColourMapper(Dc& dc) : dc_(dc) {
  surface_ = dc.surface();
  bpp_ = surface_ ? surface_->bpp : 24;
  if (bpp_ == 8 && dc.display) {
    std::shared_ptr<Palette> p = dc.palette ? dc.palette : stock_palette(nullptr);
    to_system_ = palette_mapping(*p, *dc.display);
    logical_.reserve(p->entries.size());
    for (auto& e : p->entries) logical_.push_back(bgr(e.red, e.green, e.blue));
    if (logical_.empty()) {
      // An empty palette maps everything to the nearest static colour.
      auto s = stock_palette(nullptr);
      to_system_ = palette_mapping(*s, *dc.display);
      for (auto& e : s->entries) logical_.push_back(bgr(e.red, e.green, e.blue));
    }
  }
}

uint32_t ColourMapper::nearest_device(uint32_t colour) {
  switch (bpp_) {
    case 1: return mono_of(colour);
    case 4: return static_cast<uint32_t>(nearest_index(standard_colours16(), 16, colour));
    case 8: {
      if (cache_.empty()) cache_.assign(kCacheSlots, Slot{0, 0});
      size_t h = (colour * 2654435761u) >> 20 & (kCacheSlots - 1);
      if (cache_[h].key == (colour | kCacheValid)) return cache_[h].value;
      int i = nearest_index(logical_.data(), static_cast<int>(logical_.size()), colour);
      uint32_t v = i < 0 ? 0 : to_system_[static_cast<size_t>(i)];
      cache_[h] = Slot{colour | kCacheValid, v};
      return v;
    }
    case 16: return w555_of_colour(colour);
    default: return colour & 0xFFFFFFu;
  }
}

uint32_t ColourMapper::pixel_of_colour(uint32_t colour) { return nearest_device(colour & 0xFFFFFFu); }

uint32_t ColourMapper::pixel_of_colorref(COLORREF c) {
  uint32_t flag = c >> 24;
  std::shared_ptr<Palette> p = dc_.palette ? dc_.palette : stock_palette(nullptr);
  if (flag == 1) {
    size_t i = c & 0xFFFFu;
    if (i >= p->entries.size()) i = 0;
    if (p->entries.empty()) return 0;
    if (bpp_ == 8 && dc_.display) return palette_mapping(*p, *dc_.display)[i];
    const auto& e = p->entries[i];
    return nearest_device(bgr(e.red, e.green, e.blue));
  }
  uint32_t colour = bgr_of_colorref(c & 0xFFFFFFu);
  if (flag == 2 || bpp_ != 8) return nearest_device(colour);
  // Plain RGB on a palette device: the nearest static colour.
  int i = nearest_index(static_colours20(), 20, colour);
  return static_cast<uint32_t>(i < 10 ? i : i + 236);
}

uint32_t ColourMapper::colour_of_pixel(uint32_t value) const {
  if (surface_) return surface_colour_of(*surface_, value);
  return value & 0xFFFFFFu;
}

}  // namespace pg
