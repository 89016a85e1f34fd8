// Device bitmaps: compatible bitmaps in a display's format and
// monochrome bitmaps, with their rows in and out (16-bit aligned) and
// their selection into memory DCs.
#include <algorithm>
#include <cstring>

#include "gdi_internal.h"

namespace pg {

std::shared_ptr<Bitmap> stock_bitmap(uintptr_t* handle) {
  static uintptr_t h = 0;
  static std::shared_ptr<Bitmap> b = [] {
    auto q = std::make_shared<Bitmap>();
    q->surface = surface_create(1, 1, 1, nullptr);
    h = registry_add(q, true);
    return q;
  }();
  if (handle) *handle = h;
  return b;
}

}  // namespace pg

using namespace pg;

static std::shared_ptr<Bitmap> bitmap_of(HBITMAP h) { return find<Bitmap>(raw(h), Kind::Bitmap); }

static HBITMAP register_bitmap(std::shared_ptr<Surface> s) {
  if (!s) return nullptr;
  auto b = std::make_shared<Bitmap>();
  b->surface = std::move(s);
  return as_handle<HBITMAP>(registry_add(b));
}

extern "C" HBITMAP pg_bitmap_create_compatible(HDC hdc, int32_t width, int32_t height) {
  auto dc = dc_of(hdc);
  if (!dc) return nullptr;
  int32_t bits = dc->type == Dc::Printer ? 24 : dc->device_bits();
  return register_bitmap(surface_create(width, height, bits, dc->display));
}

extern "C" HBITMAP pg_bitmap_create(int32_t width, int32_t height, uint32_t planes, uint32_t bits_per_pixel,
                                    const void* bits) {
  if (planes != 1) return nullptr;
  auto s = surface_create(width, height, static_cast<int32_t>(bits_per_pixel), default_display());
  if (!s) return nullptr;
  if (bits != nullptr) {
    int64_t in_stride = stride_for(width, s->bpp, 2);
    int64_t row_bytes = stride_for(width, s->bpp, 1);
    for (int32_t y = 0; y < height; ++y)
      std::memcpy(s->row(y), static_cast<const uint8_t*>(bits) + in_stride * y, static_cast<size_t>(row_bytes));
  }
  return register_bitmap(s);
}

extern "C" int32_t pg_bitmap_delete(HBITMAP bitmap) {
  auto b = bitmap_of(bitmap);
  if (!b || b->selected > 0) return 0;  // never while a DC draws on it
  return registry_remove(raw(bitmap), Kind::Bitmap) ? 1 : 0;
}

extern "C" int32_t pg_bitmap_info_get(HBITMAP bitmap, pg_bitmap_info* out) {
  auto b = bitmap_of(bitmap);
  if (!b || out == nullptr) return 0;
  const Surface& s = *b->surface;
  out->width = s.width;
  out->height = s.height;
  out->width_bytes = static_cast<int32_t>(stride_for(s.width, s.bpp, 2));
  out->planes = 1;
  out->bits_per_pixel = static_cast<uint16_t>(s.bpp);
  return 1;
}

// Moves whole 16-bit aligned rows, as many as `size` holds.
static int32_t move_rows(Surface& s, uint8_t* out, const uint8_t* in, int32_t size) {
  if (size <= 0) return 0;
  int64_t stride = stride_for(s.width, s.bpp, 2);
  int64_t row_bytes = stride_for(s.width, s.bpp, 1);
  int64_t rows = std::min<int64_t>(s.height, size / stride);
  for (int64_t y = 0; y < rows; ++y) {
    if (out) {
      std::memcpy(out + stride * y, s.row(static_cast<int32_t>(y)), static_cast<size_t>(row_bytes));
      std::memset(out + stride * y + row_bytes, 0, static_cast<size_t>(stride - row_bytes));
    } else {
      std::memcpy(s.row(static_cast<int32_t>(y)), in + stride * y, static_cast<size_t>(row_bytes));
    }
  }
  return static_cast<int32_t>(rows * stride);
}

extern "C" int32_t pg_bitmap_bits_get(HBITMAP bitmap, void* out, int32_t size) {
  auto b = bitmap_of(bitmap);
  if (!b || out == nullptr) return 0;
  return move_rows(*b->surface, static_cast<uint8_t*>(out), nullptr, size);
}

extern "C" int32_t pg_bitmap_bits_set(HBITMAP bitmap, const void* bits, int32_t size) {
  auto b = bitmap_of(bitmap);
  if (!b || bits == nullptr) return 0;
  return move_rows(*b->surface, nullptr, static_cast<const uint8_t*>(bits), size);
}

extern "C" HBITMAP pg_bitmap_select(HDC hdc, HBITMAP bitmap) {
  auto dc = dc_of(hdc);
  if (!dc || dc->type != Dc::Memory) return nullptr;
  uintptr_t stock_handle = 0;
  std::shared_ptr<Bitmap> b = raw(bitmap) == 0 ? nullptr : bitmap_of(bitmap);
  if (!b) {
    b = stock_bitmap(&stock_handle);
    if (raw(bitmap) != stock_handle) return nullptr;
  }
  bool is_stock = raw(bitmap) == stock_handle;
  if (b == dc->bitmap) return bitmap;
  if (!is_stock && b->selected > 0) return nullptr;
  int32_t bpp = b->surface->bpp;
  if (bpp != 1 && bpp != dc->device_bits()) return nullptr;
  uintptr_t old = dc->bitmap_handle;
  if (dc->bitmap) dc->bitmap->selected = std::max(0, dc->bitmap->selected - 1);
  dc->bitmap = b;
  dc->bitmap_handle = raw(bitmap);
  if (!is_stock) ++b->selected;
  return as_handle<HBITMAP>(old);
}
