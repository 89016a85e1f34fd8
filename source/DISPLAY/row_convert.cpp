// Row converters of the display. Sources yield each sampled pixel's colour
// through the lookup tables (R', G', B'); the converters turn it into band
// pixels. Y is (R' x 30 + G' x 59 + B' x 11) / 100, tA and tB are the
// entries of dither matrices A and B at the pixel's phases; the column
// phase advances by one per pixel.
#include "DISPLAY/row_convert.h"

#include <algorithm>
#include <cstring>

#include "DISPLAY/dither_matrices.h"

namespace rx {
namespace {

struct Rgb {
  int32_t r, g, b;
};

inline int64_t column(const RowArgs& a, int32_t i) { return a.first + a.map[i]; }

// ---- Sources ------------------------------------------------------------

struct SrcPal4 {
  static int32_t index(const RowArgs& a, int64_t col) {
    const uint8_t byte = a.src[col >> 1];
    return (col & 1) ? (byte & 15) : (byte >> 4);
  }
  static Rgb rgb(const RowArgs& a, int64_t col) {
    const uint8_t* p = a.pal_rgb + 3 * index(a, col);
    return Rgb{p[0], p[1], p[2]};
  }
};

struct SrcPal8 {
  static int32_t index(const RowArgs& a, int64_t col) { return a.src[col]; }
  static Rgb rgb(const RowArgs& a, int64_t col) {
    const uint8_t* p = a.pal_rgb + 3 * a.src[col];
    return Rgb{p[0], p[1], p[2]};
  }
};

struct SrcRgb24 {
  static Rgb rgb(const RowArgs& a, int64_t col) {
    const uint8_t* p = a.src + 3 * col;
    return Rgb{a.lut_r[p[2]], a.lut_g[p[1]], a.lut_b[p[0]]};
  }
};

// Two bytes per pixel, high byte first.
struct SrcGray16 {
  static int32_t gray(const RowArgs& a, int64_t col) {
    const uint32_t v = (uint32_t{a.src[2 * col]} << 8) | a.src[2 * col + 1];
    return static_cast<int32_t>(std::min<uint32_t>((v & a.gray_mask) >> a.gray_shift, 255));
  }
  static Rgb rgb(const RowArgs& a, int64_t col) {
    const int32_t g = gray(a, col);
    return Rgb{a.lut_r[g], a.lut_g[g], a.lut_b[g]};
  }
};

// A little-endian word whose channels the three masks pick out.
struct SrcCol16 {
  static int32_t channel(const RowArgs& a, uint32_t v, int k) {
    return a.scale[k][((v & a.mask[k]) >> a.mask_shift[k]) >> a.mask_drop[k]];
  }
  static Rgb rgb(const RowArgs& a, int64_t col) {
    const uint32_t v = a.src[2 * col] | (uint32_t{a.src[2 * col + 1]} << 8);
    return Rgb{a.lut_r[channel(a, v, 0)], a.lut_g[channel(a, v, 1)], a.lut_b[channel(a, v, 2)]};
  }
};

inline int32_t luminance(const Rgb& c) { return (c.r * 30 + c.g * 59 + c.b * 11) / 100; }

inline void bit_clear(uint8_t* out, int32_t i) {
  out[i >> 3] = static_cast<uint8_t>(out[i >> 3] & ~(0x80u >> (i & 7)));
}

// Writes nibble v of pixel i; the low nibble after an odd count stays 0.
inline void nibble_put(uint8_t* out, int32_t i, int32_t v) {
  if (i & 1) out[i >> 1] = static_cast<uint8_t>((out[i >> 1] & 0xF0) | v);
  else out[i >> 1] = static_cast<uint8_t>(v << 4);
}

// ---- 1-bit bands: the band starts all ones -------------------------------

void copy1(const RowArgs& a, uint8_t* out) {
  for (int32_t i = 0; i < a.count; ++i) {
    const int64_t col = column(a, i);
    if (((a.src[col >> 3] >> (7 - (col & 7))) & 1) == 0) bit_clear(out, i);
  }
}

template <class S>
void threshold1(const RowArgs& a, uint8_t* out) {
  const uint8_t* tb = kDitherB[a.row_phase];
  for (int32_t i = 0, ph = a.col_phase; i < a.count; ++i, ph = (ph + 1) & 7)
    if (luminance(S::rgb(a, column(a, i))) < tb[ph] - 40) bit_clear(out, i);
}

// ---- 4-bit bands ---------------------------------------------------------

void copy4(const RowArgs& a, uint8_t* out) {
  for (int32_t i = 0; i < a.count; ++i) nibble_put(out, i, SrcPal4::index(a, column(a, i)));
}

void copy4_fast(const RowArgs& a, uint8_t* out) {
  const int64_t start = a.first + a.map[0];
  if (!a.unit_map || (start & 1) != 0) return copy4(a, out);
  std::memcpy(out, a.src + start / 2, static_cast<size_t>((a.count + 1) / 2));
  if (a.count & 1) out[a.count >> 1] &= 0xF0;
}

// Index bit 0 blue, bit 1 green, bit 2 red, bit 3 intensity.
template <class S>
void dither16(const RowArgs& a, uint8_t* out) {
  const uint8_t* tb = kDitherB[a.row_phase];
  for (int32_t i = 0, ph = a.col_phase; i < a.count; ++i, ph = (ph + 1) & 7) {
    const Rgb c = S::rgb(a, column(a, i));
    const int32_t t = tb[ph];
    int32_t v = 0;
    if (t < c.b) v = 1;
    if (t < c.g) v = t < c.b ? 3 : 2;
    if (t < c.r) v += 4;
    if (t + 40 < luminance(c)) v += 8;
    nibble_put(out, i, v);
  }
}

// ---- 8-bit bands ---------------------------------------------------------

template <class S>
void copy8(const RowArgs& a, uint8_t* out) {
  for (int32_t i = 0; i < a.count; ++i) out[i] = static_cast<uint8_t>(S::index(a, column(a, i)));
}

void copy8_fast(const RowArgs& a, uint8_t* out) {
  if (!a.unit_map) return copy8<SrcPal8>(a, out);
  std::memcpy(out, a.src + a.first + a.map[0], static_cast<size_t>(a.count));
}

void gray8(const RowArgs& a, uint8_t* out) {
  for (int32_t i = 0; i < a.count; ++i)
    out[i] = static_cast<uint8_t>(SrcGray16::gray(a, column(a, i)));
}

inline int32_t dither_channel(int32_t v, int32_t t) { return v >= t ? v - t : -1; }

// Index: red in bits 7-5, green in bits 4-2, blue in bits 1-0.
template <class S>
void dither332(const RowArgs& a, uint8_t* out) {
  const uint8_t* ta = kDitherA[a.row_phase];
  for (int32_t i = 0, ph = a.col_phase; i < a.count; ++i, ph = (ph + 1) & 7) {
    const Rgb c = S::rgb(a, column(a, i));
    const int32_t t = ta[ph];
    const int32_t r = dither_channel(c.r, t), g = dither_channel(c.g, t), b = dither_channel(c.b, t);
    int32_t v = 0;
    if (r >= 0) v |= r & 0xE0;
    if (g >= 0) v |= (g & 0xE0) >> 3;
    if (b >= 0) v |= b >> 6;
    out[i] = static_cast<uint8_t>(v);
  }
}

template <class S>
void truncate332(const RowArgs& a, uint8_t* out) {
  for (int32_t i = 0; i < a.count; ++i) {
    const Rgb c = S::rgb(a, column(a, i));
    out[i] = static_cast<uint8_t>((c.r & 0xE0) | ((c.g & 0xE0) >> 3) | (c.b >> 6));
  }
}

// ---- 16- and 24-bit bands ------------------------------------------------

template <class S>
void direct16(const RowArgs& a, uint8_t* out) {
  for (int32_t i = 0; i < a.count; ++i) {
    const Rgb c = S::rgb(a, column(a, i));
    const uint32_t w = ((c.r >> 3) << 10) | ((c.g >> 3) << 5) | (c.b >> 3);
    out[2 * i] = static_cast<uint8_t>(w);
    out[2 * i + 1] = static_cast<uint8_t>(w >> 8);
  }
}

template <class S>
void direct24(const RowArgs& a, uint8_t* out) {
  for (int32_t i = 0; i < a.count; ++i) {
    const Rgb c = S::rgb(a, column(a, i));
    out[3 * i] = static_cast<uint8_t>(c.b);
    out[3 * i + 1] = static_cast<uint8_t>(c.g);
    out[3 * i + 2] = static_cast<uint8_t>(c.r);
  }
}

// 24-bit rows: a copy at scale 1 with identity tables, a gather of whole
// pixels with identity tables, else the lookups.
void direct24_fast(const RowArgs& a, uint8_t* out) {
  if (!a.identity_luts) return direct24<SrcRgb24>(a, out);
  if (a.unit_map) {
    std::memcpy(out, a.src + 3 * (a.first + a.map[0]), static_cast<size_t>(3 * a.count));
    return;
  }
  // Whole words where a fourth byte follows the pixel in the row; the
  // word written spills into the next pixel, which is written after it.
  const uint8_t* src = a.src + 3 * a.first;
  const int64_t last_word = a.width - 1 - a.first;  // columns below this read four bytes
  // A reduction reads rows far apart: the next row's bytes are asked for
  // ahead, a cache line every eight pixels, while this row is read.
  const uint8_t* next = a.next != nullptr ? a.next + 3 * a.first : nullptr;
  int32_t i = 0;
  for (; i + 1 < a.count && a.map[i] < last_word; ++i) {
    if (next != nullptr && (i & 7) == 0) __builtin_prefetch(next + 3 * int64_t{a.map[i]});
    uint32_t v;
    std::memcpy(&v, src + 3 * int64_t{a.map[i]}, 4);
    std::memcpy(out + 3 * i, &v, 4);
  }
  for (; i < a.count; ++i) std::memcpy(out + 3 * i, src + 3 * int64_t{a.map[i]}, 3);
}

template <class S>
RowConverter for_source(int32_t band_depth, int32_t dither_mode, bool palette_image) {
  switch (band_depth) {
    case 1: return threshold1<S>;
    case 4: return dither16<S>;
    case 8:
      if (palette_image) return dither_mode == 2 ? dither332<S> : nullptr;
      return dither_mode == 1 ? truncate332<S> : dither332<S>;
    case 16: return direct16<S>;
    case 24: return direct24<S>;
    default: return nullptr;
  }
}

}  // namespace

RowConverter row_converter(int32_t band_depth, int32_t image_bits, uint32_t compression,
                           int32_t dither_mode, bool fast) {
  switch (image_bits) {
    case 1: return band_depth == 1 ? copy1 : nullptr;
    case 4:
      if (band_depth == 4) return fast ? copy4_fast : copy4;
      if (band_depth == 8 && dither_mode != 2) return copy8<SrcPal4>;
      return band_depth <= 8 ? for_source<SrcPal4>(band_depth, dither_mode, true) : nullptr;
    case 8:
      if (band_depth == 8 && dither_mode != 2) return fast ? copy8_fast : copy8<SrcPal8>;
      return band_depth <= 8 ? for_source<SrcPal8>(band_depth, dither_mode, true) : nullptr;
    case 16:
      if (compression == RX_BI_GRAY16) {
        if (band_depth == 8) return gray8;
        return for_source<SrcGray16>(band_depth, dither_mode, false);
      }
      return for_source<SrcCol16>(band_depth, dither_mode, false);
    case 24:
      if (band_depth == 24 && fast) return direct24_fast;
      return for_source<SrcRgb24>(band_depth, dither_mode, false);
    default: return nullptr;
  }
}

}  // namespace rx
