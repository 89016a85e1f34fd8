// The one blitter behind BitBlt, StretchBlt, PatBlt, StretchDIBits and the
// fills: destination rows are combined with a source row (converted to the
// destination's pixel values through a column map) and a brush row by the
// raster operation. Everything per row is table lookups; the rows are
// allocated once per call.
#include <algorithm>
#include <cstring>
#include <vector>

#include "gdi_internal.h"
#include "platform/kernel.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace pg {
namespace {

__extension__ typedef __int128 Wide;

struct Span {
  int64_t first;   // first destination pixel drawn
  int64_t count;   // pixels drawn
  std::vector<int32_t> map;  // source coordinate of each drawn pixel
};

// Maps the destination span [d0, d0 + |dn|) onto the source span
// [s0, s0 + |sn|) and keeps the part inside both the clip interval and the
// source extent. Mirrors when the two signs differ.
bool make_span(int64_t d, int64_t dn, int64_t s, int64_t sn, int64_t clip0, int64_t clip1, int64_t extent,
               Span* out) {
  if (dn == 0 || sn == 0) return false;
  bool mirror = (dn < 0) != (sn < 0);
  int64_t dl = dn < 0 ? d + dn : d, dw = dn < 0 ? -dn : dn;
  int64_t sl = sn < 0 ? s + sn : s, sw = sn < 0 ? -sn : sn;
  int64_t a = std::max(dl, clip0), b = std::min(dl + dw, clip1);
  if (a >= b) return false;
  // Relative positions j in [a - dl, b - dl) read source sl + j * sw / dw
  // (or mirrored); keep those inside [0, extent).
  out->map.clear();
  out->map.reserve(static_cast<size_t>(b - a));
  out->first = -1;
  // k = j * sw / dw, stepped exactly from the first j: sizes reach 2^32 (a
  // rectangle from INT32_MIN to INT32_MAX), so the first product takes 128
  // bits and the steps carry the remainder.
  const Wide p = static_cast<Wide>(a - dl) * sw;
  int64_t k = static_cast<int64_t>(p / dw), rem = static_cast<int64_t>(p % dw);
  const int64_t k_step = sw / dw, rem_step = sw % dw;
  for (int64_t x = a; x < b; ++x) {
    int64_t sc = mirror ? sl + sw - 1 - k : sl + k;
    k += k_step;
    rem += rem_step;
    if (rem >= dw) {
      rem -= dw;
      ++k;
    }
    if (sc < 0 || sc >= extent) {
      if (out->first >= 0) break;  // the map is monotonic: nothing further
      continue;
    }
    if (out->first < 0) out->first = x;
    out->map.push_back(static_cast<int32_t>(sc));
  }
  out->count = static_cast<int64_t>(out->map.size());
  return out->count > 0;
}

// Row converters, one instantiation per pair of depths so that the inner
// loops carry no switch.
template <int SB, int DB>
void index_row(const uint8_t* srow, const int32_t* map, int64_t n, const uint32_t* lut, uint8_t* out) {
  for (int64_t i = 0; i < n; ++i) packed_put(out, DB, i, lut[packed_get(srow, SB, map[i])]);
}

template <int SB>
inline uint32_t direct_colour(const uint8_t* srow, int32_t x) {
  if constexpr (SB == 16) return colour_of_555(packed_get(srow, 16, x));
  else return packed_get(srow, SB, x) & 0xFFFFFFu;
}

template <int SB, int DB, class ToPixel>
void direct_row(const uint8_t* srow, const int32_t* map, int64_t n, uint8_t* out, ToPixel to_pixel) {
  for (int64_t i = 0; i < n; ++i) {
    uint32_t c = direct_colour<SB>(srow, map[i]);
    uint32_t v;
    if constexpr (DB == 16) v = w555_of_colour(c);
    else if constexpr (DB >= 24) v = c;
    else v = to_pixel(c);
    packed_put(out, DB, i, v);
  }
}

template <int SB, class ToPixel>
void direct_row_to(int dbpp, const uint8_t* srow, const int32_t* map, int64_t n, uint8_t* out, ToPixel f) {
  switch (dbpp) {
    case 1: direct_row<SB, 1>(srow, map, n, out, f); break;
    case 4: direct_row<SB, 4>(srow, map, n, out, f); break;
    case 8: direct_row<SB, 8>(srow, map, n, out, f); break;
    case 16: direct_row<SB, 16>(srow, map, n, out, f); break;
    case 24: direct_row<SB, 24>(srow, map, n, out, f); break;
    default: direct_row<SB, 32>(srow, map, n, out, f); break;
  }
}

template <int SB>
void index_row_to(int dbpp, const uint8_t* srow, const int32_t* map, int64_t n, const uint32_t* lut, uint8_t* out) {
  switch (dbpp) {
    case 1: index_row<SB, 1>(srow, map, n, lut, out); break;
    case 4: index_row<SB, 4>(srow, map, n, lut, out); break;
    case 8: index_row<SB, 8>(srow, map, n, lut, out); break;
    case 16: index_row<SB, 16>(srow, map, n, lut, out); break;
    case 24: index_row<SB, 24>(srow, map, n, lut, out); break;
    default: index_row<SB, 32>(srow, map, n, lut, out); break;
  }
}

// What a source pixel becomes in the destination.
struct Converter {
  bool indexed = false;
  bool identity = false;   // the source bytes are already destination pixels
  bool mono_by_bk = false; // colour surface to monochrome: 1 where it equals the bk colour
  uint32_t bk = 0;
  uint32_t lut[256];
};

void prepare(Dc& dst, const Surface& ds, ColourMapper& map, const Source& src, Converter* c) {
  int dbpp = map.bpp();
  c->bk = src.bk_colour;
  if (src.bpp <= 8) {
    c->indexed = true;
    int n = 1 << src.bpp;
    const Surface* ss = src.surface;
    if (!src.from_dib && src.bpp == 1 && dbpp != 1) {
      // Monochrome bitmaps take the destination's text and background colours.
      c->lut[0] = map.pixel_of_colorref(dst.text);
      c->lut[1] = map.pixel_of_colorref(dst.bk);
      return;
    }
    if (!src.from_dib && (src.bpp == dbpp) &&
        (src.bpp != 8 || (ss && ss->display == ds.display))) {
      for (int i = 0; i < n; ++i) c->lut[i] = static_cast<uint32_t>(i);
      c->identity = true;
      return;
    }
    for (int i = 0; i < n; ++i) {
      uint32_t colour;
      if (src.from_dib) {
        colour = src.lut_colours ? src.lut_colours[i] : 0;
      } else {
        colour = surface_colour_of(*ss, static_cast<uint32_t>(i));
      }
      if (!src.from_dib && dbpp == 1) c->lut[i] = colour == src.bk_colour ? 1u : 0u;
      else c->lut[i] = map.pixel_of_colour(colour);
    }
    return;
  }
  c->identity = src.bpp == dbpp;
  c->mono_by_bk = !src.from_dib && dbpp == 1;
}

// The common pairs of screen drawing in whole words. A 24-bit pixel is
// read as four bytes where a fourth byte follows it in the row (the last
// pixel of a row may end its buffer).
#if defined(__x86_64__)
// Eight pixels a step: the 24 bytes, read as 32, spread to 12 a lane, then
// each pixel's three bytes to a word whose top byte is 0. Reads stop 32
// bytes short of `room`, the bytes of the row from s on. Returns the
// pixels done.
__attribute__((target("avx2"))) int64_t rgb24_to_32_avx2(const uint8_t* s, int64_t n, int64_t room,
                                                         uint8_t* out) {
  const __m256i spread = _mm256_setr_epi32(0, 1, 2, 0, 3, 4, 5, 0);
  const __m256i bytes = _mm256_setr_epi8(0, 1, 2, -128, 3, 4, 5, -128, 6, 7, 8, -128, 9, 10, 11, -128,
                                         0, 1, 2, -128, 3, 4, 5, -128, 6, 7, 8, -128, 9, 10, 11, -128);
  int64_t i = 0;
  for (; i + 16 <= n && 3 * i + 56 <= room; i += 16) {
    const __m256i v0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + 3 * i));
    const __m256i v1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + 3 * i + 24));
    const __m256i w0 = _mm256_shuffle_epi8(_mm256_permutevar8x32_epi32(v0, spread), bytes);
    const __m256i w1 = _mm256_shuffle_epi8(_mm256_permutevar8x32_epi32(v1, spread), bytes);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 4 * i), w0);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 4 * i + 32), w1);
  }
  for (; i + 8 <= n && 3 * i + 32 <= room; i += 8) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + 3 * i));
    const __m256i w = _mm256_shuffle_epi8(_mm256_permutevar8x32_epi32(v, spread), bytes);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 4 * i), w);
  }
  return i;
}
#endif

void rgb24_to_32(const uint8_t* srow, int32_t width, const int32_t* cols, int64_t n, uint8_t* out) {
  int64_t i = 0;
#if defined(__x86_64__)
  if (n > 0 && cols[n - 1] == cols[0] + n - 1 && pk_kernel_level() >= PK_KERNELS_AVX2)
    i = rgb24_to_32_avx2(srow + 3 * int64_t{cols[0]}, n, 3 * (int64_t{width} - cols[0]), out);
#endif
  // Columns in a row: eight pixels from three 8-byte words at a time,
  // then four from an 8-byte and a 4-byte one.
  if (n > 0 && cols[n - 1] == cols[0] + n - 1) {
    constexpr uint64_t k24 = 0xFFFFFFu;
    const uint8_t* s = srow + 3 * int64_t{cols[0]} + 3 * i;
    for (; i + 8 <= n; i += 8, s += 24) {
      uint64_t a, b, c;
      std::memcpy(&a, s, 8);
      std::memcpy(&b, s + 8, 8);
      std::memcpy(&c, s + 16, 8);
      const uint64_t p01 = (a & k24) | ((a >> 24) & k24) << 32;
      const uint64_t p23 = (((a >> 48) | (b << 16)) & k24) | ((b >> 8) & k24) << 32;
      const uint64_t p45 = ((b >> 32) & k24) | (((b >> 56) | (c << 8)) & k24) << 32;
      const uint64_t p67 = ((c >> 16) & k24) | (c >> 40) << 32;
      std::memcpy(out + 4 * i, &p01, 8);
      std::memcpy(out + 4 * i + 8, &p23, 8);
      std::memcpy(out + 4 * i + 16, &p45, 8);
      std::memcpy(out + 4 * i + 24, &p67, 8);
    }
    for (; i + 4 <= n; i += 4, s += 12) {
      uint64_t a;
      uint32_t b;
      std::memcpy(&a, s, 8);
      std::memcpy(&b, s + 8, 4);
      const uint64_t lo = (a & k24) | ((a >> 24) & k24) << 32;
      const uint64_t hi = (((a >> 48) | (uint64_t{b} << 16)) & k24) | (uint64_t{b >> 8} & k24) << 32;
      std::memcpy(out + 4 * i, &lo, 8);
      std::memcpy(out + 4 * i + 8, &hi, 8);
    }
  }
  // Maps run one way: when both ends have a byte after them, all do.
  if (i < n && cols[i] + 1 < width && cols[n - 1] + 1 < width) {
    for (; i < n; ++i) {
      uint32_t v;
      std::memcpy(&v, srow + 3 * int64_t{cols[i]}, 4);
      v &= 0xFFFFFFu;
      std::memcpy(out + 4 * i, &v, 4);
    }
  }
  for (; i < n; ++i) {
    const int32_t x = cols[i];
    uint32_t v = 0;
    if (x + 1 < width) std::memcpy(&v, srow + 3 * int64_t{x}, 4);
    else std::memcpy(&v, srow + 3 * int64_t{x}, 3);
    v &= 0xFFFFFFu;
    std::memcpy(out + 4 * i, &v, 4);
  }
}

void rgb32_to_24(const uint8_t* srow, const int32_t* cols, int64_t n, uint8_t* out) {
  for (int64_t i = 0; i < n; ++i) std::memcpy(out + 3 * i, srow + 4 * int64_t{cols[i]}, 3);
}

template <int SB>
void index_to_32(const uint8_t* srow, const int32_t* cols, int64_t n, const uint32_t* lut, uint8_t* out) {
  for (int64_t i = 0; i < n; ++i) {
    const uint32_t v = lut[packed_get(srow, SB, cols[i])];
    std::memcpy(out + 4 * i, &v, 4);
  }
}

bool convert_fast(const Source& src, const Converter& c, int dbpp, const uint8_t* srow, const int32_t* cols,
                  int64_t n, uint8_t* out) {
  if (dbpp == 32 && c.indexed) {
    switch (src.bpp) {
      case 1: index_to_32<1>(srow, cols, n, c.lut, out); return true;
      case 4: index_to_32<4>(srow, cols, n, c.lut, out); return true;
      default: index_to_32<8>(srow, cols, n, c.lut, out); return true;
    }
  }
  if (c.indexed || c.mono_by_bk) return false;
  if (src.bpp == 24 && dbpp == 32) {
    rgb24_to_32(srow, src.width, cols, n, out);
    return true;
  }
  if (src.bpp == 32 && dbpp == 24) {
    rgb32_to_24(srow, cols, n, out);
    return true;
  }
  return false;
}

void convert(const Source& src, const Converter& c, ColourMapper& map, int dbpp, const uint8_t* srow,
             const int32_t* cols, int64_t n, uint8_t* out) {
  if (convert_fast(src, c, dbpp, srow, cols, n, out)) return;
  if (c.indexed) {
    switch (src.bpp) {
      case 1: index_row_to<1>(dbpp, srow, cols, n, c.lut, out); break;
      case 4: index_row_to<4>(dbpp, srow, cols, n, c.lut, out); break;
      default: index_row_to<8>(dbpp, srow, cols, n, c.lut, out); break;
    }
    return;
  }
  auto to_pixel = [&](uint32_t colour) -> uint32_t {
    if (c.mono_by_bk) return colour == c.bk ? 1u : 0u;
    return map.pixel_of_colour(colour);
  };
  switch (src.bpp) {
    case 16: direct_row_to<16>(dbpp, srow, cols, n, out, to_pixel); break;
    case 24: direct_row_to<24>(dbpp, srow, cols, n, out, to_pixel); break;
    default: direct_row_to<32>(dbpp, srow, cols, n, out, to_pixel); break;
  }
}

bool is_unit_map(const Span& s) {
  for (int64_t i = 1; i < s.count; ++i)
    if (s.map[static_cast<size_t>(i)] != s.map[0] + i) return false;
  return true;
}

}  // namespace

bool blit(Dc& dst, const Source* src, const BlitRequest& req) {
  Surface* ds = dst.surface();
  if (!ds) return false;
  uint8_t index = rop_index(req.rop);
  const RopInfo& info = rop_info(index);
  if (info.uses_source && (src == nullptr || src->bits == nullptr)) return false;
  pg_rect clip{};
  if (!dc_clip(dst, &clip)) return true;

  Span cols, rows;
  if (info.uses_source) {
    if (!make_span(req.x, req.w, req.sx, req.sw, clip.left, clip.right, src->width, &cols)) return true;
    if (!make_span(req.y, req.h, req.sy, req.sh, clip.top, clip.bottom, src->height, &rows)) return true;
  } else {
    // No source: the destination rectangle alone, with an identity map.
    int64_t w = req.w < 0 ? -req.w : req.w, h = req.h < 0 ? -req.h : req.h;
    int64_t x = req.w < 0 ? req.x + req.w : req.x, y = req.h < 0 ? req.y + req.h : req.y;
    if (!make_span(x, w, 0, w, clip.left, clip.right, INT64_MAX, &cols)) return true;
    if (!make_span(y, h, 0, h, clip.top, clip.bottom, INT64_MAX, &rows)) return true;
  }

  ColourMapper map(dst);
  const int dbpp = ds->bpp;
  const int64_t n = cols.count;
  const int64_t x0 = cols.first;
  const size_t row_bytes = static_cast<size_t>((n * dbpp + 7) / 8);
  const bool byte_aligned = dbpp >= 8;
  const int64_t bytes_pp = dbpp / 8;

  Converter conv;
  bool direct_rows = false;  // source rows are used in place
  if (info.uses_source) {
    prepare(dst, *ds, map, *src, &conv);
    direct_rows = conv.identity && byte_aligned && is_unit_map(cols);
  }

  // A source copy converts straight into the destination row.
  const bool convert_in_place = info.uses_source && !direct_rows && byte_aligned && index == 0xCC;
  std::vector<uint8_t> srow(info.uses_source && !direct_rows && !convert_in_place ? row_bytes + 8 : 0);
  std::vector<uint8_t> prow(info.uses_pattern ? row_bytes + 8 : 0);
  std::vector<uint8_t> drow(byte_aligned ? 0 : row_bytes + 8);

  std::shared_ptr<Brush> brush = dst.brush ? dst.brush : stock_brush_object(PG_WHITE_BRUSH, nullptr);
  bool solid = brush->type == Brush::Solid || brush->type == Brush::Null;
  if (info.uses_pattern && solid) brush_row(dst, map, *brush, 0, static_cast<int32_t>(x0), static_cast<int32_t>(n), prow.data());

  int32_t last_source_row = -1;
  const uint8_t* last_drawn = nullptr;
  // Rows read far apart (a reduction) are asked for ahead, one row early.
  const int64_t src_bytes_pp = info.uses_source ? (src->bpp + 7) / 8 : 0;
  const bool sparse_rows = info.uses_source && src->bpp >= 8 && rows.count > 1 &&
                           rows.map[static_cast<size_t>(rows.count - 1)] - rows.map[0] > rows.count;
  for (int64_t r = 0; r < rows.count; ++r) {
    int32_t y = static_cast<int32_t>(rows.first + r);
    uint8_t* drow_ptr = ds->row(y);
    uint8_t* d = byte_aligned ? drow_ptr + x0 * bytes_pp : drow.data();
    if (sparse_rows && r + 1 < rows.count) {
      const uint8_t* next = src->row(rows.map[static_cast<size_t>(r + 1)]);
      const int64_t from = int64_t{cols.map.front()} * src_bytes_pp, to = int64_t{cols.map.back()} * src_bytes_pp;
      for (int64_t b = std::min(from, to); b <= std::max(from, to); b += 64) __builtin_prefetch(next + b);
    }
    if (convert_in_place) {
      const int32_t sy = rows.map[static_cast<size_t>(r)];
      if (sy == last_source_row) std::memcpy(d, last_drawn, row_bytes);  // rows repeated by enlarging
      else convert(*src, conv, map, dbpp, src->row(sy), cols.map.data(), n, d);
      last_source_row = sy;
      last_drawn = d;
      continue;
    }
    if (!byte_aligned)
      for (int64_t i = 0; i < n; ++i) packed_put(d, dbpp, i, packed_get(drow_ptr, dbpp, x0 + i));

    const uint8_t* s = nullptr;
    if (info.uses_source) {
      int32_t sy = rows.map[static_cast<size_t>(r)];
      const uint8_t* source_row = src->row(sy);
      if (direct_rows) {
        s = source_row + int64_t{cols.map[0]} * bytes_pp;
      } else {
        if (sy != last_source_row)  // rows repeated by enlarging convert once
          convert(*src, conv, map, dbpp, source_row, cols.map.data(), n, srow.data());
        s = srow.data();
      }
      last_source_row = sy;
    }
    const uint8_t* p = nullptr;
    if (info.uses_pattern) {
      if (!solid) brush_row(dst, map, *brush, y, static_cast<int32_t>(x0), static_cast<int32_t>(n), prow.data());
      p = prow.data();
    }
    rop_apply(index, d, s, p, row_bytes);
    if (!byte_aligned)
      for (int64_t i = 0; i < n; ++i) packed_put(drow_ptr, dbpp, x0 + i, packed_get(d, dbpp, i));
  }
  return true;
}

}  // namespace pg

using namespace pg;

static bool source_of_dc(HDC hdc, Source* out, std::shared_ptr<Dc>* keep) {
  *keep = dc_of(hdc);
  if (!*keep) return false;
  Surface* s = (*keep)->surface();
  if (!s) return false;
  out->bits = s->bits.data();
  out->stride = s->stride;
  out->width = s->width;
  out->height = s->height;
  out->bpp = s->bpp;
  out->surface = s;
  ColourMapper m(**keep);
  out->bk_colour = m.colour_of_pixel(m.pixel_of_colorref((*keep)->bk));
  return true;
}

extern "C" int32_t pg_stretch_blt(HDC hdc, int32_t x, int32_t y, int32_t width, int32_t height, HDC hdc_src,
                                  int32_t x_src, int32_t y_src, int32_t width_src, int32_t height_src,
                                  uint32_t rop) {
  auto dst = dc_of(hdc);
  if (!dst) return 0;
  Source src;
  std::shared_ptr<Dc> keep;
  bool has_src = false;
  if (rop_info(rop_index(rop)).uses_source) {
    if (!source_of_dc(hdc_src, &src, &keep)) return 0;
    has_src = true;
  }
  BlitRequest req{x, y, width, height, x_src, y_src, width_src, height_src, rop};
  return blit(*dst, has_src ? &src : nullptr, req) ? 1 : 0;
}

extern "C" int32_t pg_bit_blt(HDC hdc, int32_t x, int32_t y, int32_t width, int32_t height, HDC hdc_src,
                              int32_t x_src, int32_t y_src, uint32_t rop) {
  if (!dc_of(hdc)) return 0;
  if (width <= 0 || height <= 0) return 1;  // nothing to draw
  return pg_stretch_blt(hdc, x, y, width, height, hdc_src, x_src, y_src, width, height, rop);
}

extern "C" int32_t pg_pat_blt(HDC hdc, int32_t x, int32_t y, int32_t width, int32_t height, uint32_t rop) {
  auto dst = dc_of(hdc);
  if (!dst || rop_info(rop_index(rop)).uses_source) return 0;
  BlitRequest req{x, y, width, height, 0, 0, width, height, rop};
  return blit(*dst, nullptr, req) ? 1 : 0;
}
