// The drawing layer's objects behind their handles. Shared by the gdi
// sources and by the window layer, which gives each window a surface and
// hands out DCs over it; nothing outside platform/ includes this.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/gdi.h"

namespace pg {

// Surfaces never exceed these, so that no caller-given size allocates
// without bound: 65535 pixels a side and 256 MiB of pixels.
inline constexpr int32_t kMaxSurfaceSide = 65535;
inline constexpr int64_t kMaxSurfaceBytes = int64_t{256} << 20;

// Colours inside the layer are 0x00RRGGBB, the byte order of a 32-bit
// little-endian BGRX pixel.
inline uint32_t bgr_of_colorref(COLORREF c) {
  return (c & 0xFFu) << 16 | (c & 0xFF00u) | (c >> 16 & 0xFFu);
}
inline COLORREF colorref_of_bgr(uint32_t v) { return bgr_of_colorref(v); }
inline uint32_t bgr(uint8_t r, uint8_t g, uint8_t b) { return uint32_t{r} << 16 | uint32_t{g} << 8 | b; }
inline int red_of(uint32_t v) { return static_cast<int>(v >> 16 & 0xFF); }
inline int green_of(uint32_t v) { return static_cast<int>(v >> 8 & 0xFF); }
inline int blue_of(uint32_t v) { return static_cast<int>(v & 0xFF); }

enum class Kind : uint8_t { Display = 1, Dc, Bitmap, Brush, Palette, Font, Window, Drop, Cursor };

struct Object {
  explicit Object(Kind k) : kind(k) {}
  virtual ~Object() = default;
  Kind kind;
};

// The handle registry: values are never reused, so a stale handle stays
// invalid. Stock objects are registered as permanent and refuse deletion.
uintptr_t registry_add(std::shared_ptr<Object> object, bool permanent = false);
std::shared_ptr<Object> registry_find(uintptr_t handle, Kind kind);
bool registry_remove(uintptr_t handle, Kind kind);
int32_t registry_count();

template <class T>
std::shared_ptr<T> find(uintptr_t handle, Kind kind) {
  return std::static_pointer_cast<T>(registry_find(handle, kind));
}
template <class H>
uintptr_t raw(H handle) {
  return reinterpret_cast<uintptr_t>(handle);
}
template <class H>
H as_handle(uintptr_t value) {
  return reinterpret_cast<H>(value);
}

// ---- Displays and their colours ----------------------------------------

struct SystemPalette {
  uint32_t colour[256];
  bool is_static[256];
  bool used[256];  // taken by a realised palette
  uint64_t serial = 1;  // changes whenever an entry changes
};

struct Display : Object {
  Display() : Object(Kind::Display) {}
  int32_t bits = 32;
  SystemPalette sys{};
  uintptr_t foreground_palette = 0;  // handle of the palette realised in front
};

const uint32_t* static_colours20();  // system order: 0..9 then 246..255
const uint32_t* standard_colours16();
void system_palette_reset(SystemPalette& sys);

// ---- Surfaces ------------------------------------------------------------

struct Surface {
  int32_t width = 0, height = 0, bpp = 32;
  int64_t stride = 0;  // 4-byte aligned rows, top row first
  std::vector<uint8_t> bits;
  std::shared_ptr<Display> display;  // the colours of 8-bit pixels

  uint8_t* row(int32_t y) { return bits.data() + stride * y; }
  const uint8_t* row(int32_t y) const { return bits.data() + stride * y; }
};

int64_t stride_for(int32_t width, int32_t bpp, int32_t align_bytes);
// Null when the size is zero, negative or past the limits.
std::shared_ptr<Surface> surface_create(int32_t width, int32_t height, int32_t bpp,
                                        std::shared_ptr<Display> display);
uint32_t surface_pixel(const Surface& s, int32_t x, int32_t y);
void surface_pixel_put(Surface& s, int32_t x, int32_t y, uint32_t value);
// The colour (0x00RRGGBB) of a pixel value of the surface's format.
uint32_t surface_colour_of(const Surface& s, uint32_t value);
// Fills with one pixel value.
void surface_fill(Surface& s, uint32_t value);

// Nearest entry by squared distance, lowest index on a tie.
int nearest_index(const uint32_t* colours, int count, uint32_t colour);

// ---- Objects ---------------------------------------------------------------

struct Bitmap : Object {
  Bitmap() : Object(Kind::Bitmap) {}
  std::shared_ptr<Surface> surface;
  int32_t selected = 0;  // DCs it is selected into (at most one)
};

struct Brush : Object {
  Brush() : Object(Kind::Brush) {}
  enum Type { Solid, Hatch, Pattern, Null } type = Solid;
  COLORREF colour = 0;
  int32_t hatch = 0;
  std::shared_ptr<Surface> pattern;  // a private copy, at most 8 x 8
};

struct Palette : Object {
  Palette() : Object(Kind::Palette) {}
  std::vector<pg_palette_entry> entries;
  // The system index of each entry, valid while `serial` matches the
  // system palette's serial of `display`.
  std::vector<uint8_t> mapping;
  uint64_t mapping_serial = 0;
  Display* mapping_display = nullptr;
};

struct Font : Object {
  Font() : Object(Kind::Font) {}
  int32_t scale = 1;
};

struct Dc : Object {
  Dc() : Object(Kind::Dc) {}
  enum Type { DisplayDc, Memory, Printer } type = DisplayDc;
  std::shared_ptr<Display> display;
  std::shared_ptr<Surface> own;  // display, printer and window DCs
  std::shared_ptr<Bitmap> bitmap;  // memory DCs
  uintptr_t bitmap_handle = 0;
  COLORREF text = 0, bk = 0xFFFFFF;
  int32_t bk_mode = PG_OPAQUE, map_mode = MM_TEXT, dpi = 96;
  bool has_clip = false;
  pg_rect clip{};
  std::shared_ptr<Brush> brush;
  uintptr_t brush_handle = 0;
  std::shared_ptr<Palette> palette;
  uintptr_t palette_handle = 0;
  bool palette_background = false;
  std::shared_ptr<Font> font;
  uintptr_t font_handle = 0;

  Surface* surface() { return type == Memory ? (bitmap ? bitmap->surface.get() : nullptr) : own.get(); }
  int32_t device_bits() const { return display ? display->bits : 24; }
};

// The 1 x 1 monochrome bitmap that new memory DCs start with.
std::shared_ptr<Bitmap> stock_bitmap(uintptr_t* handle);

// The window layer's way in: a raster display DC over a window surface.
HDC dc_create_on_surface(std::shared_ptr<Surface> surface, std::shared_ptr<Display> display);
std::shared_ptr<Display> display_of(HDISPLAY handle);  // null when invalid
std::shared_ptr<Display> default_display();
std::shared_ptr<Dc> dc_of(HDC hdc);

// The clip box of a DC in surface coordinates; false when empty.
bool dc_clip(Dc& dc, pg_rect* out);

// ---- Colour mapping for a destination DC ---------------------------------

// Turns colours into the destination's pixel values. Palette devices go
// through the selected logical palette, as a display does.
class ColourMapper {
 public:
  explicit ColourMapper(Dc& dc);
  int32_t bpp() const { return bpp_; }
  // A COLORREF, including PALETTEINDEX and PALETTERGB forms.
  uint32_t pixel_of_colorref(COLORREF c);
  // A plain colour (0x00RRGGBB) taken as it would be from a DIB.
  uint32_t pixel_of_colour(uint32_t colour);
  // The colour a device pixel value shows.
  uint32_t colour_of_pixel(uint32_t value) const;

 private:
  uint32_t nearest_device(uint32_t colour);
  int32_t bpp_;
  Surface* surface_;
  Dc& dc_;
  // Palette devices: the colours of the selected palette and their system
  // indexes.
  std::vector<uint32_t> logical_;
  std::vector<uint8_t> to_system_;
  // A small direct-mapped cache of nearest-colour answers.
  struct Slot {
    uint32_t key;
    uint32_t value;
  };
  std::vector<Slot> cache_;
};

// The mapping of a palette into a display's system palette, recomputed by
// nearest colour when it is stale.
const std::vector<uint8_t>& palette_mapping(Palette& palette, Display& display);
// The 20-colour default palette (and its handle).
std::shared_ptr<Palette> stock_palette(uintptr_t* handle);

// ---- Raster operations -----------------------------------------------------

struct RopInfo {
  bool uses_source;
  bool uses_pattern;
  bool uses_dest;
};
const RopInfo& rop_info(uint8_t index);
inline uint8_t rop_index(uint32_t rop) { return static_cast<uint8_t>(rop >> 16); }
// d = rop(p, s, d) over n bytes; s and p may be null when unused.
void rop_apply(uint8_t index, uint8_t* d, const uint8_t* s, const uint8_t* p, size_t n);

// ---- Row packing -----------------------------------------------------------

// Writes pixel value v as pixel i of a packed row of the given depth.
inline void packed_put(uint8_t* row, int32_t bpp, int64_t i, uint32_t v) {
  switch (bpp) {
    case 1: {
      uint8_t m = static_cast<uint8_t>(0x80u >> (i & 7));
      row[i >> 3] = static_cast<uint8_t>((v & 1) ? (row[i >> 3] | m) : (row[i >> 3] & ~m));
      break;
    }
    case 4: {
      uint8_t& b = row[i >> 1];
      b = (i & 1) ? static_cast<uint8_t>((b & 0xF0) | (v & 0x0F)) : static_cast<uint8_t>((b & 0x0F) | (v & 0x0F) << 4);
      break;
    }
    case 8: row[i] = static_cast<uint8_t>(v); break;
    case 16: row[2 * i] = static_cast<uint8_t>(v); row[2 * i + 1] = static_cast<uint8_t>(v >> 8); break;
    case 24: row[3 * i] = static_cast<uint8_t>(v); row[3 * i + 1] = static_cast<uint8_t>(v >> 8); row[3 * i + 2] = static_cast<uint8_t>(v >> 16); break;
    default: row[4 * i] = static_cast<uint8_t>(v); row[4 * i + 1] = static_cast<uint8_t>(v >> 8); row[4 * i + 2] = static_cast<uint8_t>(v >> 16); row[4 * i + 3] = 0; break;
  }
}
inline uint32_t packed_get(const uint8_t* row, int32_t bpp, int64_t i) {
  switch (bpp) {
    case 1: return row[i >> 3] >> (7 - (i & 7)) & 1u;
    case 4: return (i & 1) ? row[i >> 1] & 0x0Fu : row[i >> 1] >> 4;
    case 8: return row[i];
    case 16: return uint32_t{row[2 * i]} | uint32_t{row[2 * i + 1]} << 8;
    case 24: return uint32_t{row[3 * i]} | uint32_t{row[3 * i + 1]} << 8 | uint32_t{row[3 * i + 2]} << 16;
    default: return uint32_t{row[4 * i]} | uint32_t{row[4 * i + 1]} << 8 | uint32_t{row[4 * i + 2]} << 16;
  }
}

// 5-5-5 words and colours.
inline uint32_t colour_of_555(uint32_t w) {
  uint32_t r = w >> 10 & 31, g = w >> 5 & 31, b = w & 31;
  return (r << 3 | r >> 2) << 16 | (g << 3 | g >> 2) << 8 | (b << 3 | b >> 2);
}
inline uint32_t w555_of_colour(uint32_t c) {
  return (c >> 19 & 31) << 10 | (c >> 11 & 31) << 5 | (c >> 3 & 31);
}

// ---- The blitter ------------------------------------------------------------

// A source of pixels for a blit: a surface or a packed DIB, rows addressed
// top first. `lut` maps index pixels (depth 8 or less) to destination
// pixel values; direct pixels (16/24/32) are colours converted on the way.
struct Source {
  const uint8_t* bits = nullptr;
  int64_t stride = 0;
  int32_t width = 0, height = 0, bpp = 0;
  bool bottom_up = false;
  bool from_dib = false;
  const Surface* surface = nullptr;
  const uint32_t* lut_colours = nullptr;  // a DIB's colour table as colours
  uint32_t bk_colour = 0;  // the source DC's background, for colour to mono
  const uint8_t* row(int32_t y) const {
    return bits + stride * (bottom_up ? (height - 1 - y) : y);
  }
};

// Destination rectangle (x, y, w, h), source rectangle (in the source's
// top-first rows), raster operation. Sizes may be negative (mirroring).
struct BlitRequest {
  int64_t x, y, w, h;
  int64_t sx, sy, sw, sh;
  uint32_t rop;
};

// Runs a blit into a DC. src may be null when the operation reads no
// source. Returns false when nothing could be done for a bad request.
bool blit(Dc& dst, const Source* src, const BlitRequest& req);

// The brush as one row of destination pixel values for surface row y,
// columns x0 .. x0 + n - 1, packed at depth bpp from pixel 0.
void brush_row(Dc& dc, ColourMapper& map, const Brush& brush, int32_t y, int32_t x0, int32_t n,
               uint8_t* out);
std::shared_ptr<Brush> stock_brush_object(int which, uintptr_t* handle);

}  // namespace pg
