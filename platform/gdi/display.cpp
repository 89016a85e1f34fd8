// Displays: the device format that DCs, bitmaps and windows share, and the
// system palette of 8-bit displays.
#include <mutex>

#include "gdi_internal.h"

namespace pg {

const uint32_t* static_colours20() {
  // Entries 0..9 and 246..255 of an 8-bit display's system palette.
  static const uint32_t k[20] = {
      0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080,
      0xC0C0C0, 0xC0DCC0, 0xA6CAF0, 0xFFFBF0, 0xA0A0A4, 0x808080, 0xFF0000,
      0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
  return k;
}

const uint32_t* standard_colours16() {
  static const uint32_t k[16] = {
      0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
      0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
  return k;
}

void system_palette_reset(SystemPalette& sys) {
  const uint32_t* st = static_colours20();
  for (int i = 0; i < 256; ++i) {
    bool is_static = i < 10 || i >= 246;
    sys.is_static[i] = is_static;
    sys.used[i] = false;
    sys.colour[i] = is_static ? st[i < 10 ? i : i - 236] : 0;
  }
  ++sys.serial;
}

std::shared_ptr<Display> display_of(HDISPLAY handle) { return find<Display>(raw(handle), Kind::Display); }

namespace {
std::mutex g_default_lock;
std::shared_ptr<Display> g_default;
uintptr_t g_default_handle = 0;

std::shared_ptr<Display> make_display(int32_t bits) {
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return nullptr;
  auto d = std::make_shared<Display>();
  d->bits = bits;
  system_palette_reset(d->sys);
  return d;
}
}  // namespace

std::shared_ptr<Display> default_display() {
  std::lock_guard<std::mutex> guard(g_default_lock);
  if (!g_default) {
    g_default = make_display(32);
    g_default_handle = registry_add(g_default, true);
  }
  return g_default;
}

}  // namespace pg

using namespace pg;

extern "C" HDISPLAY pg_display_create(int32_t bits) {
  auto d = make_display(bits);
  return d ? as_handle<HDISPLAY>(registry_add(d)) : nullptr;
}

extern "C" int32_t pg_display_delete(HDISPLAY display) {
  return registry_remove(raw(display), Kind::Display) ? 1 : 0;
}

extern "C" int32_t pg_display_bits(HDISPLAY display) {
  auto d = display_of(display);
  return d ? d->bits : 0;
}

extern "C" HDISPLAY pg_display_default(void) {
  default_display();
  std::lock_guard<std::mutex> guard(g_default_lock);
  return as_handle<HDISPLAY>(g_default_handle);
}

extern "C" int32_t pg_display_default_set(HDISPLAY display) {
  auto d = display_of(display);
  if (!d) return 0;
  default_display();
  std::lock_guard<std::mutex> guard(g_default_lock);
  g_default = d;
  g_default_handle = raw(display);
  return 1;
}

extern "C" int32_t pg_display_system_palette_get(HDISPLAY display, int32_t first, int32_t count,
                                                 pg_palette_entry* out) {
  auto d = display_of(display);
  if (!d || d->bits != 8 || out == nullptr || first < 0 || count <= 0 || first > 256 - count) return 0;
  for (int32_t i = 0; i < count; ++i) {
    uint32_t c = d->sys.colour[first + i];
    out[i] = pg_palette_entry{static_cast<uint8_t>(red_of(c)), static_cast<uint8_t>(green_of(c)),
                              static_cast<uint8_t>(blue_of(c)), 0};
  }
  return count;
}
