// Draws small random DIBs through random raster operations and stretches
// into DCs of random depth, with random brushes, palettes and blits
// between them. Nothing may crash, read outside a buffer or leak handles.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/gdi.h"

namespace {

struct Reader {
  const uint8_t* p;
  size_t n;
  uint8_t byte() { return n ? (--n, *p++) : 0; }
  int32_t i16() { return int16_t(uint16_t(byte()) | uint16_t(byte()) << 8); }
  int32_t coordinate() {
    // Mostly small values, sometimes the extremes.
    uint8_t k = byte();
    if (k == 0xFF) return INT32_MAX;
    if (k == 0xFE) return INT32_MIN;
    if (k == 0xFD) return i16() * 65536;
    return int32_t(int8_t(k));
  }
};

const int kDepths[] = {1, 4, 8, 16, 24, 32};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Reader in{data, size};
  const int32_t objects_before = pg_object_count();
  HDISPLAY disp = pg_display_create(kDepths[in.byte() % 6]);
  HDC screen = pg_display_dc_create(disp, 1 + in.byte() % 48, 1 + in.byte() % 48);
  HDC mem = pg_dc_create_compatible(screen);
  HBITMAP bm = pg_bitmap_create_compatible(screen, 1 + in.byte() % 40, 1 + in.byte() % 40);
  HBITMAP mono = pg_bitmap_create(1 + in.byte() % 16, 1 + in.byte() % 16, 1, 1, nullptr);
  HBITMAP old = pg_bitmap_select(mem, (in.byte() & 1) ? bm : mono);

  // A palette realised in the foreground or the background.
  std::vector<pg_palette_entry> entries(in.byte());
  for (auto& e : entries) e = pg_palette_entry{in.byte(), in.byte(), in.byte(), 0};
  HPALETTE pal = pg_palette_create(entries.data(), int32_t(entries.size()));
  HPALETTE old_pal = pg_palette_select(screen, pal, in.byte() & 1);
  pg_palette_realize(screen);

  // A brush of each kind in turn.
  HBRUSH brush = nullptr;
  switch (in.byte() % 3) {
    case 0: brush = pg_brush_solid_create(PG_RGB(in.byte(), in.byte(), in.byte())); break;
    case 1: brush = pg_brush_hatch_create(in.byte() % 7, PG_RGB(in.byte(), 0, 0)); break;
    default: brush = pg_brush_pattern_create(mono); break;
  }
  HBRUSH old_brush = pg_brush_select(screen, brush);
  pg_text_colour_set(screen, PG_RGB(in.byte(), in.byte(), in.byte()));
  pg_bk_colour_set(screen, PG_RGB(in.byte(), in.byte(), in.byte()));
  if (in.byte() & 1) {
    pg_rect clip{in.coordinate(), in.coordinate(), in.coordinate(), in.coordinate()};
    pg_clip_rect_set(screen, &clip);
  }

  for (int round = 0; round < 4 && in.n > 0; ++round) {
    // A DIB whose header is drawn from the input; its pixels are sized by
    // the header itself, as a caller's would be.
    int bits = kDepths[in.byte() % 6];
    int32_t w = 1 + in.byte() % 32, h = 1 + in.byte() % 32;
    bool top_down = in.byte() & 1;
    uint32_t colours = bits <= 8 ? (in.byte() % ((1u << bits) + 1)) : 0;
    std::vector<uint8_t> info(40 + 4 * (bits <= 8 ? (1u << bits) : 0));
    PG_BITMAPINFOHEADER hd{};
    hd.biSize = 40;
    hd.biWidth = w;
    hd.biHeight = top_down ? -h : h;
    hd.biPlanes = 1;
    hd.biBitCount = uint16_t(bits);
    hd.biClrUsed = colours;
    std::memcpy(info.data(), &hd, 40);
    for (size_t i = 40; i < info.size(); ++i) info[i] = in.byte();
    size_t stride = size_t((w * bits + 31) / 32 * 4);
    std::vector<uint8_t> pixels(stride * size_t(h));
    for (auto& b : pixels) b = in.byte();
    uint32_t rop = uint32_t(in.byte()) << 16;
    HDC target = (in.byte() & 1) ? screen : mem;
    pg_stretch_dib_bits(target, in.coordinate(), in.coordinate(), in.coordinate(), in.coordinate(), in.coordinate(),
                        in.coordinate(), in.coordinate(), in.coordinate(), pixels.data(),
                        reinterpret_cast<const PG_BITMAPINFOHEADER*>(info.data()), DIB_RGB_COLORS, rop);
    pg_stretch_blt(screen, in.coordinate(), in.coordinate(), in.coordinate(), in.coordinate(), mem, in.coordinate(),
                   in.coordinate(), in.coordinate(), in.coordinate(), uint32_t(in.byte()) << 16);
    pg_bit_blt(mem, in.coordinate(), in.coordinate(), in.coordinate(), in.coordinate(), screen, in.coordinate(),
               in.coordinate(), uint32_t(in.byte()) << 16);
    pg_rect r{in.coordinate(), in.coordinate(), in.coordinate(), in.coordinate()};
    pg_rect_fill(screen, &r, brush);
    pg_focus_rect_draw(screen, &r);
    char text[8];
    for (auto& c : text) c = char(in.byte());
    pg_text_draw(screen, text, 8, &r, in.byte());
    pg_line_draw(screen, in.coordinate(), in.coordinate(), in.coordinate(), in.coordinate(), 0);
  }

  pg_brush_select(screen, old_brush);
  pg_palette_select(screen, old_pal, 0);
  pg_bitmap_select(mem, old);
  pg_brush_delete(brush);
  pg_palette_delete(pal);
  pg_bitmap_delete(bm);
  pg_bitmap_delete(mono);
  pg_dc_delete(mem);
  pg_dc_delete(screen);
  pg_display_delete(disp);
  if (pg_object_count() != objects_before) __builtin_trap();  // a handle leaked
  return 0;
}
