// Draws small random images with random display attributes into DCs of
// random depth (and printers), through zoom and fit in a window now and
// then, and makes images back from the drawn bitmaps. Nothing may crash,
// read outside a buffer, leak a handle or tagged memory, or allocate
// without bound.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "DISPLAY/extension_48.h"
#include "SUPPORT/mem_tag.h"
#include "platform/gdi.h"
#include "platform/window.h"
#include "rastrix/rastrix.h"

namespace {

struct Reader {
  const uint8_t* p;
  size_t n;
  uint8_t byte() { return n ? (--n, *p++) : 0; }
  int32_t i16() { return int16_t(uint16_t(byte()) | uint16_t(byte()) << 8); }
  int32_t i32() { return int32_t(uint32_t(i16()) << 16 | uint16_t(i16())); }
  int32_t coordinate() {
    // Mostly small values, sometimes the extremes.
    const uint8_t k = byte();
    if (k == 0xFF) return INT32_MAX;
    if (k == 0xFE) return INT32_MIN;
    if (k == 0xFD) return i16() * 65536;
    if (k == 0xFC) return i32();
    return int32_t(int8_t(k));
  }
  double real() {
    const uint8_t k = byte();
    if (k == 0xFF) return 1e308;
    if (k == 0xFE) return -1e308;
    return (int32_t(int8_t(k))) / 16.0;
  }
};

const int kBits[] = {1, 4, 8, 16, 24};
const int kDepths[] = {1, 4, 8, 16, 24, 32};

// A packed DIB of random size, depth and pixels.
std::vector<uint8_t> random_dib(Reader& in, uint32_t* compression) {
  const int32_t bits = kBits[in.byte() % 5];
  const int32_t w = 1 + in.byte() % 64, h = 1 + in.byte() % 48;
  *compression = bits == 16 ? ((in.byte() & 1) ? 503u : 3u) : 0u;
  const int32_t entries = bits <= 8 ? 1 << bits : 0;
  const int32_t masks = bits == 16 ? 12 : 0;
  const size_t stride = size_t((w * bits + 31) / 32 * 4);
  std::vector<uint8_t> d(40 + 4 * size_t(entries) + size_t(masks) + stride * size_t(h));
  const uint32_t header[10] = {40, uint32_t(w), uint32_t(h), 1u | uint32_t(bits) << 16, *compression, 0, 2835, 2835, 0, 0};
  std::memcpy(d.data(), header, 40);
  for (size_t i = 40; i < d.size(); ++i) d[i] = in.byte();
  if (masks != 0) {
    const uint32_t m[3] = {uint32_t(in.i16()) & 0xFFFF, uint32_t(in.i16()) & 0xFFFF, uint32_t(in.i16()) & 0xFFFF};
    std::memcpy(d.data() + 40, m, 12);
  }
  return d;
}

void attributes(Reader& in, RX_HIMAGE im) {
  const int32_t rect[4] = {in.coordinate(), in.coordinate(), in.coordinate(), in.coordinate()};
  RX_display_device_rect_set(im, rect);
  if (in.byte() & 1) {
    const int32_t part[4] = {in.coordinate(), in.coordinate(), in.coordinate(), in.coordinate()};
    RX_display_image_rect_set(im, part);
  }
  if (in.byte() & 1) {
    const int32_t clip[4] = {in.coordinate(), in.coordinate(), in.coordinate(), in.coordinate()};
    RX_display_clip_rect_set(im, clip);
  }
  RX_display_rotation_set(im, in.byte() % 5);
  RX_display_alias_set(im, in.byte() % 4, int32_t(int8_t(in.byte())) * 2, in.byte() & 1);
  RX_display_dither_mode_set(im, in.byte() % 4);
  if (in.byte() & 1) RX_display_ROP_set(im, uint32_t(in.byte()) << 16);
  const RX_RGBQUAD colour{in.byte(), in.byte(), in.byte(), 0};
  RX_display_transparent_set(im, &colour, in.byte() % 4 == 0);
  const RX_RGBQUAD back{in.byte(), in.byte(), in.byte(), 0};
  RX_display_background_set(im, 0, &colour, &back, in.byte() & 1);
  if (in.byte() & 1) RX_display_LUT_set(im, in.real(), in.real() * 16, in.real());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool started = [] {
    RX_engine_start(1);
    // Objects the drawing layer makes once, on first use.
    pg_display_default();
    pg_stock_palette();
    pg_stock_font();
    for (int b = PG_WHITE_BRUSH; b <= PG_NULL_BRUSH; ++b) pg_stock_brush(b);
    pg_dc_delete(pg_dc_create_compatible(nullptr));
    pw_window_class c{};
    c.proc = pw_window_proc_default;
    c.name = "FuzzDisplayWindow";
    pw_class_register(&c);
    return true;
  }();
  (void)started;
  Reader in{data, size};
  const int32_t objects_before = pg_object_count();
  const int32_t windows_before = pw_window_count();
  rx::display_extension_assume(in.byte() & 1);
  uint32_t compression = 0;
  std::vector<uint8_t> dib = random_dib(in, &compression);
  RX_HIMAGE im = 0;
  if (RX_image_create_from_DIB(dib.data(), dib.size(), &im) == 0) {
    int32_t bits = 0;
    RX_image_dimensions_get(im, nullptr, nullptr, &bits);
    if (bits == 1 && (in.byte() & 1)) RX_IP_convert_DIB_to_runs(im);
    attributes(in, im);
    const int32_t depth = kDepths[in.byte() % 6];
    const int32_t w = 1 + in.byte() % 48, h = 1 + in.byte() % 48;
    HDISPLAY disp = pg_display_create(depth);
    HDC screen = pg_display_dc_create(disp, 4, 4);
    HDC mem = pg_dc_create_compatible(screen);
    HBITMAP bm = pg_bitmap_create_compatible(screen, w, h);
    HBITMAP old = pg_bitmap_select(mem, bm);
    if (in.byte() % 4 == 0) {
      // Zoom, fit or centre in a window of the same size, some with bars.
      HWND hwnd = pw_window_create(0, "FuzzDisplayWindow", "", WS_POPUP | ((in.byte() & 3) << 20), 0, 0, w, h,
                                   nullptr, 0, nullptr);
      const uintptr_t window = reinterpret_cast<uintptr_t>(hwnd);
      RX_display_aspect_set(im, in.byte() % 6);
      switch (in.byte() % 4) {
        case 0: RX_display_zoom_set(im, window, in.i32(), nullptr); break;
        case 1: RX_display_fit_set(im, window, nullptr, nullptr, in.byte() % 5); break;
        case 2: RX_display_centered_set(im, window, in.byte() & 1); break;
        default: RX_display_scroll(im, window, in.byte() % 3, in.byte() % 9, in.coordinate()); break;
      }
      int32_t count = 0;
      RX_display_palette_realize(im, window, in.byte() % 3, &count);
      pw_window_destroy(hwnd);
    }
    RX_display_image(im, reinterpret_cast<uintptr_t>(mem));
    if (in.byte() % 8 == 0) {
      HDC printer = pg_printer_dc_create(w, h, 300);
      RX_display_image(im, reinterpret_cast<uintptr_t>(printer));
      pg_dc_delete(printer);
    }
    int32_t ix = 0, iy = 0;
    RX_display_device_to_image(im, in.coordinate(), in.coordinate(), &ix, &iy);
    RX_display_image_to_device(im, in.coordinate(), in.coordinate(), &ix, &iy);
    pg_bitmap_select(mem, old);
    RX_HIMAGE back = 0;
    if (RX_image_create_from_bitmap(reinterpret_cast<uintptr_t>(bm), 0, &back) == 0) RX_image_delete(back);
    pg_bitmap_delete(bm);
    pg_dc_delete(mem);
    pg_dc_delete(screen);
    pg_display_delete(disp);
    RX_image_delete(im);
  }
  rx::display_extension_assume(-1);
  if (pg_object_count() != objects_before || pw_window_count() != windows_before) std::abort();
  if (rx::mem_live_block_count() > 64) std::abort();
  return 0;
}
