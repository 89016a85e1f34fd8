// The GIF reader. The file is taken into memory whole (it is never larger
// than the stream), its blocks are walked to find the page's frames, and
// the page is drawn onto a canvas before its rows are delivered. The image
// is created before the canvas is allocated, so the engine's limits have
// refused an oversized screen before any memory is spent on it.
#include <algorithm>
#include <cstring>

#include "ext_error.h"
#include "gif.h"
#include "gif_blocks.h"
#include "gif_canvas.h"

RXLZW_SOURCE("extensions\\rxlzw\\GIFREAD.cpp");

namespace rxlzw {
namespace {

GifFlags flags_of(const void* flags) {
  GifFlags f = kGifFlagDefaults;
  if (flags != nullptr) std::memcpy(&f, flags, sizeof f);
  return f;
}

// The stream's bytes from its position to its end.
struct FileBytes {
  const uint8_t* data = nullptr;
  size_t size = 0;
};

bool file_take(Pool& pool, IO_REC* io, FileBytes* out) {
  const int32_t start = RPb_IO_tell(io);
  const int32_t end = RPb_IO_seek(io, 0, RX_SEEK_END);
  RPb_IO_seek(io, start, RX_SEEK_SET);
  if (start < 0 || end < start) {
    RXLZW_ERR(RXE_CANT_READ_FILE, start, end);
    return false;
  }
  const auto size = static_cast<size_t>(end - start);
  auto* data = static_cast<uint8_t*>(pool.alloc(std::max<size_t>(size, 1)));
  if (data == nullptr) {
    RXLZW_ERR(RXE_MEMORY_ALLOC_FAILED, size, 0);
    return false;
  }
  const int32_t got = RPb_IO_read(io, data, static_cast<int32_t>(size));
  RPb_IO_seek(io, start, RX_SEEK_SET);
  out->data = data;
  out->size = got > 0 ? static_cast<size_t>(got) : 0;
  return true;
}

// The frames a page is drawn from, and the screen.
struct PageSource {
  FileBytes file;
  GifScreen screen;
  size_t blocks = 0;  // offset after the screen and global table
  GifFrame* frames = nullptr;
  int32_t first = 0, count = 0;  // frames[first .. first + count) make the page
  int32_t total = 0;             // frames in the file
};

bool source_open(Pool& pool, IO_REC* io, PageSource* s) {
  if (!file_take(pool, io, &s->file)) return false;
  if (!gif_screen_parse(s->file.data, s->file.size, &s->screen, &s->blocks)) {
    RXLZW_ERR(RXE_CANT_READ_HEADER, s->file.size, 0);
    return false;
  }
  s->total = gif_frames_walk(s->file.data, s->file.size, s->blocks,
                             [](const GifFrame&, int32_t) { return true; }, nullptr);
  return true;
}

// Collects frames 0..page-1 (every frame is at least 11 bytes, so the
// array is bounded by the file's size).
bool source_frames(Pool& pool, int32_t page, bool composite, PageSource* s) {
  if (page < 1 || page > s->total) {
    RXLZW_ERR(RXE_PAGE_OUT_OF_RANGE, page, s->total);
    return false;
  }
  s->frames = static_cast<GifFrame*>(pool.alloc(sizeof(GifFrame) * static_cast<size_t>(page)));
  if (s->frames == nullptr) {
    RXLZW_ERR(RXE_MEMORY_ALLOC_FAILED, page, 0);
    return false;
  }
  GifFrame* frames = s->frames;
  gif_frames_walk(s->file.data, s->file.size, s->blocks,
                  [frames, page](const GifFrame& f, int32_t n) {
                    frames[n] = f;
                    return n + 1 < page;
                  },
                  nullptr);
  s->first = composite ? 0 : page - 1;
  s->count = page - s->first;
  return true;
}

// The canvas of the page before any frame is drawn: the logical screen
// (or, when the screen claims no size, the first frame's extent), or the
// frame alone when pages are not composited.
bool canvas_plan(const PageSource& s, bool composite, GifCanvas* c) {
  const GifFrame* f = s.frames + s.first;
  if (composite) {
    c->width = s.screen.width;
    c->height = s.screen.height;
    if (c->width == 0 || c->height == 0) {
      c->width = f->left + f->width;
      c->height = f->top + f->height;
    }
  } else {
    c->width = f->width;
    c->height = f->height;
    c->origin_x = f->left;
    c->origin_y = f->top;
  }
  if (c->width <= 0 || c->height <= 0) {
    RXLZW_ERR(RXE_INVALID_FILE_HEADER, c->width, c->height);
    return false;
  }
  // Indexed when every frame draws with the same colour table.
  const GifColorTable& t = f->table(s.screen);
  c->indexed = t.rgb != nullptr;
  for (int32_t n = 1; n < s.count && c->indexed; ++n) {
    const GifColorTable& u = s.frames[s.first + n].table(s.screen);
    c->indexed = u.rgb != nullptr && u.size == t.size &&
                 (u.rgb == t.rgb || std::memcmp(u.rgb, t.rgb, size_t(t.size) * 3) == 0);
  }
  // The background index belongs to the global table: a canvas drawn in
  // another table's indexes cannot hold it.
  const GifColorTable& g = s.screen.global;
  if (composite && c->indexed && g.rgb != nullptr && s.screen.background < g.size &&
      (t.size != g.size || std::memcmp(t.rgb, g.rgb, size_t(t.size) * 3) != 0))
    c->indexed = false;
  c->table = t;
  return true;
}

// The screen before the first frame: the background colour of the global
// table (clear when there is none, or when a lone frame is read).
void canvas_ground(const PageSource& s, bool composite, GifCanvas* c) {
  const size_t area = size_t(c->width) * size_t(c->height);
  const GifColorTable& g = s.screen.global;
  const int32_t bg = s.screen.background;
  uint32_t ground = 0;
  if (composite && g.rgb != nullptr && bg < g.size)
    ground = kPainted | (c->indexed ? static_cast<uint32_t>(bg)
                                    : uint32_t(g.rgb[3 * bg]) << 16 |
                                          uint32_t(g.rgb[3 * bg + 1]) << 8 | g.rgb[3 * bg + 2]);
  std::fill(c->pixels, c->pixels + area, ground);
}

void header_of(const GifPage& p, RX_BITMAPINFOHEADER* h) {
  RPb_DIB_init(h, p.width, p.height, p.depth, RX_BI_RGB, 0, 0);
}

// The page's header and palette as planned, before drawing: what an
// indexed or 24-bit page of this canvas looks like.
void page_plan(const GifCanvas& c, GifPage* p) {
  p->width = c.width;
  p->height = c.height;
  p->depth = c.indexed ? gif_depth_for(c.table.size) : 24;
  if (!c.indexed) return;
  for (int32_t i = 0; i < (1 << p->depth); ++i) {
    const bool in = i < c.table.size;
    p->palette[i][0] = in ? c.table.rgb[3 * i + 2] : 0;
    p->palette[i][1] = in ? c.table.rgb[3 * i + 1] : 0;
    p->palette[i][2] = in ? c.table.rgb[3 * i] : 0;
    p->palette[i][3] = 0;
  }
}

// An image callback that refused has said why; one that refused without a
// word (a host's own) still fails the read.
bool callback_ok(int32_t result) {
  if (result == 0) return true;
  if (RPb_AF_error_check() == 0) RXLZW_ERR(RXE_FAILURE, result, 0);
  return false;
}

bool create(IO_REC* io, const GifPage& p) {
  RX_BITMAPINFOHEADER h;
  header_of(p, &h);
  return callback_ok(RPb_IO_DIB_create(io, &h, reinterpret_cast<const RX_RGBQUAD*>(p.palette)));
}

bool deliver(IO_REC* io, const GifCanvas& c, const GifPage& p, Pool& pool) {
  const size_t stride = (size_t(p.depth) * size_t(p.width) + 31) / 32 * 4;
  auto* row = static_cast<uint8_t*>(pool.alloc(stride));
  if (row == nullptr) {
    RXLZW_ERR(RXE_MEMORY_ALLOC_FAILED, stride, 0);
    return false;
  }
  std::memset(row, 0, stride);
  for (int32_t y = 0; y < p.height; ++y) {
    gif_page_row(c, p, y, row);
    if (!callback_ok(RPb_IO_raster_set(io, row, y, static_cast<int32_t>(stride)))) return false;
  }
  return true;
}

bool page_read(IO_REC* io, const GifFlags& flags, int32_t page) {
  Pool pool;
  PageSource s;
  const bool composite = flags.composite != 0;
  if (!source_open(pool, io, &s) || !source_frames(pool, page, composite, &s)) return false;
  GifCanvas canvas;
  if (!canvas_plan(s, composite, &canvas)) return false;
  GifPage planned;
  page_plan(canvas, &planned);
  if (!create(io, planned)) return false;
  const size_t area = size_t(canvas.width) * size_t(canvas.height);
  canvas.pixels = static_cast<uint32_t*>(pool.alloc(area * sizeof(uint32_t)));
  if (canvas.pixels == nullptr) {
    RXLZW_ERR(RXE_MEMORY_ALLOC_FAILED, canvas.width, canvas.height);
    return false;
  }
  canvas_ground(s, composite, &canvas);
  if (!gif_canvas_draw(pool, s.file.data, s.file.size, s.screen, s.frames + s.first, s.count,
                       &canvas))
    return false;
  GifPage page_out;
  if (!gif_page_settle(pool, s.screen, s.frames + s.first, s.count, &canvas, &page_out))
    return false;
  const bool same = page_out.depth == planned.depth &&
                    std::memcmp(page_out.palette, planned.palette, sizeof planned.palette) == 0;
  if (!same && !create(io, page_out)) return false;
  if (!deliver(io, canvas, page_out, pool)) return false;
  if (page_out.transparent) RPb_IO_attribute_set(io, RX_ATTR_TRANSPARENT_COLOR, page_out.key_bgr);
  return true;
}

}  // namespace

int32_t gif_detect(IO_REC*, const uint8_t* head, int32_t count) {
  return count >= 3 && std::memcmp(head, "GIF", 3) == 0 ? 1 : 0;
}

int32_t gif_read(IO_REC* io, void* flags, int32_t page, int32_t) {
  const int32_t start = RPb_IO_tell(io);
  if (!page_read(io, flags_of(flags), page)) RPb_IO_seek(io, start, RX_SEEK_SET);
  return RPb_AF_error_check();
}

int32_t gif_page_count(IO_REC* io, void*, int32_t* count) {
  if (count != nullptr) *count = 0;
  Pool pool;
  PageSource s;
  if (source_open(pool, io, &s) && count != nullptr) *count = s.total;
  return RPb_AF_error_check();
}

int32_t gif_info(IO_REC* io, RX_BITMAPINFOHEADER* header, RX_RGBQUAD* palette,
                 int32_t* compression, void* flags, int32_t page) {
  Pool pool;
  PageSource s;
  const bool composite = flags_of(flags).composite != 0;
  GifCanvas canvas;
  if (!source_open(pool, io, &s) || !source_frames(pool, page, composite, &s) ||
      !canvas_plan(s, composite, &canvas))
    return RPb_AF_error_check();
  GifPage planned;
  page_plan(canvas, &planned);
  if (header != nullptr) header_of(planned, header);
  if (palette != nullptr && planned.depth <= 8)
    std::memcpy(palette, planned.palette, sizeof(RX_RGBQUAD) << planned.depth);
  if (compression != nullptr) *compression = RX_COMPRESSION_LZW;
  return RPb_AF_error_check();
}

}  // namespace rxlzw
