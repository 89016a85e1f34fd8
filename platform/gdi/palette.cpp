// Logical palettes, their selection into DCs and their realisation in an
// 8-bit display's system palette.
#include <cstring>

#include "gdi_internal.h"

namespace pg {
namespace {

uint32_t colour_of_entry(const pg_palette_entry& e) { return bgr(e.red, e.green, e.blue); }

// Nearest among the entries a realised palette may use: the static ones and
// those taken.
uint8_t nearest_in_use(const SystemPalette& sys, uint32_t colour) {
  uint32_t cand[256];
  uint8_t index[256];
  int n = 0;
  for (int i = 0; i < 256; ++i)
    if (sys.is_static[i] || sys.used[i]) {
      cand[n] = sys.colour[i];
      index[n++] = static_cast<uint8_t>(i);
    }
  return index[nearest_index(cand, n, colour)];
}

int find_exact_in_use(const SystemPalette& sys, uint32_t colour, bool statics_only) {
  for (int i = 0; i < 256; ++i) {
    bool eligible = sys.is_static[i] || (!statics_only && sys.used[i]);
    if (eligible && sys.colour[i] == colour) return i;
  }
  return -1;
}

int find_free(const SystemPalette& sys) {
  for (int i = 10; i < 246; ++i)
    if (!sys.used[i]) return i;
  return -1;
}

}  // namespace

const std::vector<uint8_t>& palette_mapping(Palette& palette, Display& display) {
  if (palette.mapping_display != &display || palette.mapping_serial != display.sys.serial ||
      palette.mapping.size() != palette.entries.size()) {
    palette.mapping.resize(palette.entries.size());
    for (size_t i = 0; i < palette.entries.size(); ++i)
      palette.mapping[i] = nearest_in_use(display.sys, colour_of_entry(palette.entries[i]));
    palette.mapping_display = &display;
    palette.mapping_serial = display.sys.serial;
  }
  return palette.mapping;
}

// Realises a palette. The foreground palette first frees every
// non-static entry; a background palette only takes what is free.
static int32_t realize(Palette& palette, uintptr_t handle, Display& display, bool background) {
  SystemPalette& sys = display.sys;
  uint32_t before[256];
  std::memcpy(before, sys.colour, sizeof before);
  if (!background) {
    for (int i = 0; i < 256; ++i)
      if (!sys.is_static[i]) sys.used[i] = false;
    display.foreground_palette = handle;
  }
  std::vector<uint8_t> mapping(palette.entries.size());
  std::vector<size_t> leftover;
  for (size_t i = 0; i < palette.entries.size(); ++i) {
    uint32_t c = colour_of_entry(palette.entries[i]);
    int slot = find_exact_in_use(sys, c, false);
    if (slot < 0) slot = find_free(sys);
    if (slot < 0) {
      leftover.push_back(i);
      continue;
    }
    sys.colour[slot] = c;
    if (!sys.is_static[slot]) sys.used[slot] = true;
    mapping[i] = static_cast<uint8_t>(slot);
  }
  for (size_t i : leftover) mapping[i] = nearest_in_use(sys, colour_of_entry(palette.entries[i]));
  int32_t changed = 0;
  for (int i = 0; i < 256; ++i)
    if (sys.colour[i] != before[i]) ++changed;
  if (changed) ++sys.serial;
  palette.mapping = std::move(mapping);
  palette.mapping_display = &display;
  palette.mapping_serial = sys.serial;
  return changed;
}

namespace {
std::shared_ptr<Palette> stock_palette_object(uintptr_t* handle_out) {
  static uintptr_t handle = 0;
  static std::shared_ptr<Palette> p = [] {
    auto q = std::make_shared<Palette>();
    const uint32_t* st = static_colours20();
    for (int i = 0; i < 20; ++i)
      q->entries.push_back(pg_palette_entry{static_cast<uint8_t>(red_of(st[i])),
                                            static_cast<uint8_t>(green_of(st[i])),
                                            static_cast<uint8_t>(blue_of(st[i])), 0});
    handle = registry_add(q, true);
    return q;
  }();
  if (handle_out) *handle_out = handle;
  return p;
}
}  // namespace

std::shared_ptr<Palette> stock_palette(uintptr_t* handle) { return stock_palette_object(handle); }

}  // namespace pg

using namespace pg;

static std::shared_ptr<Palette> palette_of(HPALETTE h) { return find<Palette>(raw(h), Kind::Palette); }

extern "C" HPALETTE pg_palette_create(const pg_palette_entry* entries, int32_t count) {
  if (count < 0 || count > PG_PALETTE_MAX_ENTRIES || (count > 0 && entries == nullptr)) return nullptr;
  auto p = std::make_shared<Palette>();
  p->entries.assign(entries, entries + count);
  return as_handle<HPALETTE>(registry_add(p));
}

extern "C" int32_t pg_palette_delete(HPALETTE palette) {
  return registry_remove(raw(palette), Kind::Palette) ? 1 : 0;
}

extern "C" int32_t pg_palette_size(HPALETTE palette) {
  auto p = palette_of(palette);
  return p ? static_cast<int32_t>(p->entries.size()) : 0;
}

extern "C" int32_t pg_palette_entries_get(HPALETTE palette, int32_t first, int32_t count, pg_palette_entry* out) {
  auto p = palette_of(palette);
  if (!p || out == nullptr || first < 0 || count <= 0) return 0;
  int32_t n = static_cast<int32_t>(p->entries.size());
  if (first >= n) return 0;
  if (count > n - first) count = n - first;
  std::memcpy(out, p->entries.data() + first, sizeof(pg_palette_entry) * static_cast<size_t>(count));
  return count;
}

extern "C" int32_t pg_palette_entries_set(HPALETTE palette, int32_t first, int32_t count,
                                          const pg_palette_entry* in) {
  auto p = palette_of(palette);
  if (!p || in == nullptr || first < 0 || count <= 0) return 0;
  int32_t n = static_cast<int32_t>(p->entries.size());
  if (first >= n) return 0;
  if (count > n - first) count = n - first;
  std::memcpy(p->entries.data() + first, in, sizeof(pg_palette_entry) * static_cast<size_t>(count));
  p->mapping_display = nullptr;  // stale: map again by colour
  return count;
}

extern "C" int32_t pg_palette_nearest_index(HPALETTE palette, COLORREF colour) {
  auto p = palette_of(palette);
  if (!p || p->entries.empty()) return -1;
  std::vector<uint32_t> colours;
  colours.reserve(p->entries.size());
  for (auto& e : p->entries) colours.push_back(bgr(e.red, e.green, e.blue));
  return nearest_index(colours.data(), static_cast<int>(colours.size()), bgr_of_colorref(colour & 0xFFFFFFu));
}

extern "C" HPALETTE pg_stock_palette(void) {
  uintptr_t h = 0;
  stock_palette(&h);
  return as_handle<HPALETTE>(h);
}

extern "C" HPALETTE pg_palette_select(HDC hdc, HPALETTE palette, int32_t background) {
  auto dc = dc_of(hdc);
  auto p = palette_of(palette);
  if (!dc || !p) return nullptr;
  uintptr_t old = dc->palette_handle;
  if (old == 0) stock_palette(&old);
  dc->palette = p;
  dc->palette_handle = raw(palette);
  dc->palette_background = background != 0;
  return as_handle<HPALETTE>(old);
}

extern "C" int32_t pg_palette_realize(HDC hdc) {
  auto dc = dc_of(hdc);
  if (!dc || !dc->display || dc->display->bits != 8 || dc->type == Dc::Printer) return 0;
  uintptr_t handle = dc->palette_handle;
  std::shared_ptr<Palette> p = dc->palette;
  if (!p) p = stock_palette(&handle);
  return realize(*p, handle, *dc->display, dc->palette_background);
}

extern "C" int32_t pg_palette_mapping_get(HDC hdc, int32_t first, int32_t count, uint8_t* out) {
  auto dc = dc_of(hdc);
  if (!dc || !dc->display || dc->display->bits != 8 || out == nullptr || first < 0 || count <= 0) return 0;
  std::shared_ptr<Palette> p = dc->palette ? dc->palette : stock_palette(nullptr);
  const auto& m = palette_mapping(*p, *dc->display);
  int32_t n = static_cast<int32_t>(m.size());
  if (first >= n) return 0;
  if (count > n - first) count = n - first;
  std::memcpy(out, m.data() + first, static_cast<size_t>(count));
  return count;
}
