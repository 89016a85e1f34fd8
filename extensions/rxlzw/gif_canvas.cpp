// Drawing GIF frames onto a canvas and settling the result into an image.
#include "gif_canvas.h"

#include <algorithm>
#include <cstring>
#include <new>

RXLZW_SOURCE("extensions\\rxlzw\\GIFREAD.cpp");

namespace rxlzw {
namespace {

uint32_t rgb_of(const GifColorTable& t, int32_t index) {
  if (t.rgb == nullptr || index < 0 || index >= t.size) return 0;
  const uint8_t* c = t.rgb + 3 * index;
  return static_cast<uint32_t>(c[0]) << 16 | static_cast<uint32_t>(c[1]) << 8 | c[2];
}

// The frame row that the n-th decoded row fills: interlaced frames send
// every 8th row from 0, every 8th from 4, every 4th from 2, then the odd
// rows.
int32_t interlaced_row(int32_t n, int32_t height) {
  const int32_t pass1 = (height + 7) / 8, pass2 = (height + 3) / 8, pass3 = (height + 1) / 4;
  if (n < pass1) return n * 8;
  n -= pass1;
  if (n < pass2) return 4 + n * 8;
  n -= pass2;
  if (n < pass3) return 2 + n * 4;
  n -= pass3;
  return 1 + n * 2;
}

// The part of a frame that lies on the canvas, in canvas coordinates.
struct Clip {
  int32_t x0, y0, x1, y1;  // x1, y1 exclusive
  bool empty() const { return x0 >= x1 || y0 >= y1; }
};

Clip clip_of(const GifFrame& f, const GifCanvas& c) {
  const int32_t left = f.left - c.origin_x, top = f.top - c.origin_y;
  return Clip{std::max(left, 0), std::max(top, 0), std::min(left + f.width, c.width),
              std::min(top + f.height, c.height)};
}

void rect_fill(GifCanvas* c, const Clip& r, uint32_t value) {
  for (int32_t y = r.y0; y < r.y1; ++y)
    std::fill(c->pixels + size_t(y) * c->width + r.x0, c->pixels + size_t(y) * c->width + r.x1,
              value);
}

void rect_copy(uint32_t* to, size_t to_stride, const uint32_t* from, size_t from_stride,
               int32_t w, int32_t h) {
  for (int32_t y = 0; y < h; ++y)
    std::memcpy(to + size_t(y) * to_stride, from + size_t(y) * from_stride, sizeof(uint32_t) * w);
}

// What a frame's index turns into on the canvas (table lookups made once
// per frame, not per pixel). Indexes beyond the table are black.
struct IndexMap {
  uint32_t value[256];
  bool skip[256];
};

void index_map_build(const GifCanvas& c, const GifScreen& s, const GifFrame& f, IndexMap* m) {
  const GifColorTable& t = f.table(s);
  // An indexed page pads the table with black to the depth's full size.
  const int32_t padded = c.indexed ? 1 << gif_depth_for(t.size) : 0;
  for (int32_t i = 0; i < 256; ++i) {
    m->skip[i] = i == f.transparent;
    if (!c.indexed) m->value[i] = kPainted | rgb_of(t, i);
    else if (i < padded) m->value[i] = kPainted | static_cast<uint32_t>(i);
    else m->value[i] = kPainted | static_cast<uint32_t>(t.size < padded ? t.size : 0);
  }
}

struct FrameDecoder {
  LzwDecoder* lzw = nullptr;
  uint8_t* data = nullptr;
  size_t room = 0;
  uint8_t row[65536];
};

// Decodes frame f onto the canvas. False (pushed) on a corrupt stream.
bool frame_draw(Pool& pool, FrameDecoder& d, const uint8_t* file, size_t size,
                const GifScreen& s, const GifFrame& f, int32_t n, GifCanvas* c) {
  // The first frame is laid on the screen as it is: its transparent
  // pixels are clear, not the background below them.
  const bool copy = n == 0;
  if (f.min_bits < 1 || f.min_bits > 8) {
    RXLZW_ERR(RXE_CANT_READ_PIXEL_DATA, n, 0);
    return false;
  }
  // The frame's codes, without the sub-block lengths: never more than the
  // rest of the file.
  const size_t need = size - std::min(f.data, size);
  if (need > d.room) {
    d.data = static_cast<uint8_t*>(pool.realloc(d.data, need));
    if (d.data == nullptr) {
      RXLZW_ERR(RXE_MEMORY_ALLOC_FAILED, need, 0);
      return false;
    }
    d.room = need;
  }
  const size_t got = gif_sub_blocks_gather(file, size, f.data, d.data, d.room);
  d.lzw->reset(gif_lzw(f.min_bits), d.data, got);
  IndexMap map;
  index_map_build(*c, s, f, &map);
  if (copy && f.transparent >= 0 && f.transparent < 256) {
    map.skip[f.transparent] = false;
    map.value[f.transparent] = 0;
  }
  const Clip clip = clip_of(f, *c);
  const int32_t left = f.left - c->origin_x, top = f.top - c->origin_y;
  const auto width = static_cast<size_t>(f.width);
  for (int32_t r = 0; r < f.height; ++r) {
    const size_t have = d.lzw->read(d.row, width);
    if (have < width && d.lzw->state() == LzwDecoder::State::kCorrupt) {
      RXLZW_ERR(RXE_CANT_READ_PIXEL_DATA, n, r);
      return false;
    }
    const int32_t y = top + (f.interlaced ? interlaced_row(r, f.height) : r);
    if (y >= clip.y0 && y < clip.y1) {
      uint32_t* line = c->pixels + size_t(y) * c->width;
      const auto end = std::min<int32_t>(clip.x1, left + static_cast<int32_t>(have));
      for (int32_t x = clip.x0; x < end; ++x) {
        const uint8_t i = d.row[x - left];
        if (!map.skip[i]) line[x] = map.value[i];
      }
    }
    if (have < width) break;  // the data stops short: the rest stays as it was
  }
  return true;
}

}  // namespace

int32_t gif_depth_for(int32_t entries) { return entries <= 2 ? 1 : entries <= 16 ? 4 : 8; }

bool gif_canvas_draw(Pool& pool, const uint8_t* file, size_t size, const GifScreen& screen,
                     const GifFrame* frames, int32_t count, GifCanvas* canvas) {
  auto* d = static_cast<FrameDecoder*>(pool.alloc(sizeof(FrameDecoder)));
  void* lzw = pool.alloc(sizeof(LzwDecoder));
  const size_t area = size_t(canvas->width) * size_t(canvas->height);
  auto* saved = static_cast<uint32_t*>(pool.alloc(std::max<size_t>(area, 1) * sizeof(uint32_t)));
  if (d == nullptr || lzw == nullptr || saved == nullptr) {
    RXLZW_ERR(RXE_MEMORY_ALLOC_FAILED, area, 0);
    return false;
  }
  new (d) FrameDecoder;
  d->lzw = new (lzw) LzwDecoder;
  for (int32_t n = 0; n < count; ++n) {
    const GifFrame& f = frames[n];
    const Clip clip = clip_of(f, *canvas);
    const bool last = n + 1 == count;
    const bool restore = !last && f.disposal == kDisposePrevious && !clip.empty();
    const size_t stride = size_t(canvas->width);
    uint32_t* at = clip.empty() ? canvas->pixels : canvas->pixels + size_t(clip.y0) * stride + clip.x0;
    if (restore) rect_copy(saved, stride, at, stride, clip.x1 - clip.x0, clip.y1 - clip.y0);
    if (!frame_draw(pool, *d, file, size, screen, f, n, canvas)) return false;
    if (last || clip.empty()) continue;
    if (f.disposal == kDisposeBackground) rect_fill(canvas, clip, 0);
    else if (restore) rect_copy(at, stride, saved, stride, clip.x1 - clip.x0, clip.y1 - clip.y0);
  }
  return true;
}

namespace {

bool any_clear(const GifCanvas& c) {
  const size_t area = size_t(c.width) * size_t(c.height);
  for (size_t i = 0; i < area; ++i)
    if ((c.pixels[i] & kPainted) == 0) return true;
  return false;
}

int32_t first_transparent(const GifFrame* frames, int32_t count) {
  for (int32_t n = 0; n < count; ++n)
    if (frames[n].transparent >= 0) return n;
  return -1;
}

void palette_set(GifPage* p, int32_t i, uint32_t rgb) {
  p->palette[i][0] = static_cast<uint8_t>(rgb);
  p->palette[i][1] = static_cast<uint8_t>(rgb >> 8);
  p->palette[i][2] = static_cast<uint8_t>(rgb >> 16);
  p->palette[i][3] = 0;
}

uint32_t palette_rgb(const GifPage& p, int32_t i) {
  return static_cast<uint32_t>(p.palette[i][2]) << 16 | static_cast<uint32_t>(p.palette[i][1]) << 8 |
         p.palette[i][0];
}

// An indexed page: the shared table padded with black. False when its
// clear pixels cannot keep an index of their own.
bool settle_indexed(const GifScreen& s, const GifFrame* frames, int32_t count, GifCanvas* c,
                    GifPage* p) {
  const int32_t entries = 1 << gif_depth_for(c->table.size);
  p->depth = gif_depth_for(c->table.size);
  for (int32_t i = 0; i < entries; ++i) palette_set(p, i, rgb_of(c->table, i));
  if (!any_clear(*c)) return true;
  const int32_t t = first_transparent(frames, count);
  if (t < 0) {
    // Clear pixels show the screen's background colour.
    const int32_t bg = s.background < entries ? s.background : 0;
    p->key = static_cast<uint32_t>(bg);
    if (c->table.rgb != s.global.rgb && rgb_of(s.global, s.background) != palette_rgb(*p, bg))
      return false;
    return true;
  }
  const int32_t key = frames[t].transparent < entries ? frames[t].transparent : 0;
  const size_t area = size_t(c->width) * size_t(c->height);
  for (size_t i = 0; i < area; ++i)
    if (c->pixels[i] == (kPainted | static_cast<uint32_t>(key))) return false;
  // The key's colour must be its own, so that showing it as transparent
  // hides no painted pixel of the same colour.
  uint32_t colour = palette_rgb(*p, key);
  for (bool clash = true; clash;) {
    clash = false;
    for (int32_t i = 0; i < entries && !clash; ++i)
      clash = i != key && palette_rgb(*p, i) == colour;
    if (clash) colour = (colour + 0x010101u * 37 + 1) & 0xFFFFFF;
  }
  palette_set(p, key, colour);
  p->key = static_cast<uint32_t>(key);
  p->transparent = true;
  return true;
}

// A 24-bit page. Clear pixels take a colour no painted pixel has.
bool settle_rgb(Pool& pool, const GifScreen& s, const GifFrame* frames, int32_t count,
                GifCanvas* c, GifPage* p) {
  const size_t area = size_t(c->width) * size_t(c->height);
  if (c->indexed) {
    for (size_t i = 0; i < area; ++i)
      if (c->pixels[i] & kPainted)
        c->pixels[i] = kPainted | rgb_of(c->table, static_cast<int32_t>(c->pixels[i] & 0xFF));
    c->indexed = false;
  }
  p->depth = 24;
  if (!any_clear(*c)) return true;
  const int32_t t = first_transparent(frames, count);
  if (t < 0) {
    p->key = rgb_of(s.global, s.background);
    return true;
  }
  auto* used = static_cast<uint8_t*>(pool.alloc(1u << 21));
  if (used == nullptr) {
    RXLZW_ERR(RXE_MEMORY_ALLOC_FAILED, 1u << 21, 0);
    return false;
  }
  std::memset(used, 0, 1u << 21);
  for (size_t i = 0; i < area; ++i)
    if (c->pixels[i] & kPainted) {
      const uint32_t v = c->pixels[i] & 0xFFFFFF;
      used[v >> 3] = static_cast<uint8_t>(used[v >> 3] | 1 << (v & 7));
    }
  uint32_t key = rgb_of(frames[t].table(s), frames[t].transparent);
  while (used[key >> 3] & (1 << (key & 7))) key = (key + 1) & 0xFFFFFF;
  p->key = key;
  p->transparent = true;
  return true;
}

}  // namespace

bool gif_page_settle(Pool& pool, const GifScreen& screen, const GifFrame* frames,
                     int32_t count, GifCanvas* canvas, GifPage* page) {
  page->width = canvas->width;
  page->height = canvas->height;
  page->transparent = false;
  if (canvas->indexed && settle_indexed(screen, frames, count, canvas, page)) {
    page->key_bgr = page->palette[page->key][0] | page->palette[page->key][1] << 8 |
                    page->palette[page->key][2] << 16;
    return true;
  }
  page->transparent = false;
  if (!settle_rgb(pool, screen, frames, count, canvas, page)) return false;
  page->key_bgr = page->key;  // 0xRRGGBB is an RX_RGBQUAD's blue, green, red in memory order
  return true;
}

void gif_page_row(const GifCanvas& c, const GifPage& p, int32_t y, uint8_t* out) {
  const uint32_t* line = c.pixels + size_t(y) * c.width;
  const auto value = [&](int32_t x) {
    return (line[x] & kPainted) ? line[x] & 0xFFFFFF : p.key;
  };
  switch (p.depth) {
    case 1:
      std::memset(out, 0, size_t(c.width + 7) / 8);
      for (int32_t x = 0; x < c.width; ++x)
        if (value(x) & 1) out[x >> 3] = static_cast<uint8_t>(out[x >> 3] | 0x80 >> (x & 7));
      break;
    case 4:
      std::memset(out, 0, size_t(c.width + 1) / 2);
      for (int32_t x = 0; x < c.width; ++x)
        out[x >> 1] = static_cast<uint8_t>(out[x >> 1] | (value(x) & 15) << ((x & 1) ? 0 : 4));
      break;
    case 8:
      for (int32_t x = 0; x < c.width; ++x) out[x] = static_cast<uint8_t>(value(x));
      break;
    default:
      for (int32_t x = 0; x < c.width; ++x) {
        const uint32_t v = value(x);
        out[3 * x] = static_cast<uint8_t>(v);
        out[3 * x + 1] = static_cast<uint8_t>(v >> 8);
        out[3 * x + 2] = static_cast<uint8_t>(v >> 16);
      }
  }
}

}  // namespace rxlzw
