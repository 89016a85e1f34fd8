// Colour conversion and box down-sampling, fused per image row.
//
// The fast path converts a whole row into planes first (a lookup for
// palette images, straight multiplications for 24-bit ones, both without
// branches), repeats the last real sample to the padded width, and then
// sums boxes plane by plane with loops of fixed shape per box width. The
// reference path walks the pixels with running counters the way the
// conversion is defined; the tests hold the two to identical bands.
#include "filters/jpeg/jpeg_downsample.h"

#include <algorithm>
#include <cstring>

#include "SUPPORT/error.h"

RX_SOURCE("source\\filters\\jpeg\\jpeg_downsample.cpp");

namespace rx::jpeg::enc {
namespace {

constexpr int kBoxShift = 16;

inline int8_t level_shift(uint32_t sample) { return static_cast<int8_t>(int32_t(sample) - 128); }

// Per channel value, its share of Y, Cb and Cr in three 21-bit fields, each
// made non-negative: -43 R becomes 43 (255 - R) and so on, the constants
// moving into the other channels' shares. The three sums never leave their
// fields (each stays below 2^16), so one 64-bit addition forms all three,
// and bits 8..15 of each field are the sample.
struct BgrTables {
  uint64_t b[256], g[256], r[256];
};
constexpr int kCbField = 21, kCrField = 42;

constexpr BgrTables bgr_tables() {
  BgrTables t{};
  for (uint64_t v = 0; v < 256; ++v) {
    t.b[v] = 29 * v | (128 * v) << kCbField | (21 * (255 - v)) << kCrField;
    t.g[v] = (150 * v + 128) | (85 * (255 - v) + 128) << kCbField | (107 * (255 - v)) << kCrField;
    t.r[v] = 77 * v | (43 * (255 - v)) << kCbField | (128 * v + 128) << kCrField;
  }
  return t;
}
constexpr BgrTables kBgr = bgr_tables();

constexpr bool bgr_tables_agree() {
  for (uint32_t v = 0; v < 256; v += 5)
    for (uint32_t w = 0; w < 256; w += 3) {
      const uint64_t s = kBgr.b[v] + kBgr.g[w] + kBgr.r[255 - v];
      const Ycc t = ycc_of(v, w, 255 - v);
      if (uint8_t(s >> 8) != t.y || uint8_t(s >> (kCbField + 8)) != t.cb ||
          uint8_t(s >> (kCrField + 8)) != t.cr)
        return false;
    }
  return true;
}
static_assert(bgr_tables_agree());

void planes_from_bgr(const uint8_t* p, int32_t n, uint8_t* y, uint8_t* cb, uint8_t* cr) {
  for (int32_t x = 0; x < n; ++x, p += 3) {
    const uint64_t s = kBgr.b[p[0]] + kBgr.g[p[1]] + kBgr.r[p[2]];
    y[x] = static_cast<uint8_t>(s >> 8);
    cb[x] = static_cast<uint8_t>(s >> (kCbField + 8));
    cr[x] = static_cast<uint8_t>(s >> (kCrField + 8));
  }
}

void planes_from_indexes(const RowSampler* s, const uint8_t* row, int32_t n) {
  for (int c = 0; c < s->components; ++c) {
    const uint8_t* lut = s->lut[c];
    uint8_t* out = s->plane[c];
    for (int32_t x = 0; x < n; ++x) out[x] = lut[row[x]];
  }
}

// Sums of `SX` neighbouring samples added into the box sums.
template <int SX>
void box_add(const uint8_t* plane, int32_t width, uint16_t* acc) {
  for (int32_t i = 0; i < width; ++i) {
    uint32_t sum = 0;
    for (int k = 0; k < SX; ++k) sum += plane[i * SX + k];
    acc[i] = static_cast<uint16_t>(acc[i] + sum);
  }
}

void box_add_any(const uint8_t* plane, int32_t width, int32_t sx, uint16_t* acc) {
  switch (sx) {
    case 1: return box_add<1>(plane, width, acc);
    case 2: return box_add<2>(plane, width, acc);
    case 4: return box_add<4>(plane, width, acc);
    default:
      for (int32_t i = 0; i < width; ++i) {
        uint32_t sum = 0;
        for (int32_t k = 0; k < sx; ++k) sum += plane[i * sx + k];
        acc[i] = static_cast<uint16_t>(acc[i] + sum);
      }
  }
}

// A finished box row: averages out, sums cleared.
void box_emit(SampleBand& c, int8_t* out) {
  for (int32_t i = 0; i < c.width; ++i) {
    out[i] = level_shift((c.acc[i] * c.reciprocal) >> kBoxShift);
    c.acc[i] = 0;
  }
}

// Level shift of eight samples at once: minus 128 is a flip of the top bit.
void level_shift_row(const uint8_t* plane, int32_t width, int8_t* out) {
  constexpr uint64_t kTopBits = 0x8080808080808080ull;
  for (int32_t i = 0; i < width; i += 8) {  // widths are multiples of 8
    uint64_t w;
    std::memcpy(&w, plane + i, 8);
    w ^= kTopBits;
    std::memcpy(out + i, &w, 8);
  }
}

// A box one row high needs no running sums.
template <int SX>
void box_row(const uint8_t* plane, int32_t width, uint32_t reciprocal, int8_t* out) {
  for (int32_t i = 0; i < width; ++i) {
    uint32_t sum = 0;
    for (int k = 0; k < SX; ++k) sum += plane[i * SX + k];
    out[i] = level_shift((sum * reciprocal) >> kBoxShift);
  }
}

void plane_to_band(SampleBand& c, const uint8_t* plane) {
  if (c.next_row >= c.rows) return;  // more rows than the band holds: never fed so
  int8_t* out = c.band + int64_t{c.next_row} * c.width;
  if (c.sy == 1 && c.sx == 1) {
    level_shift_row(plane, c.width, out);
    ++c.next_row;
    return;
  }
  if (c.sy == 1 && (c.sx == 2 || c.sx == 4)) {
    if (c.sx == 2) box_row<2>(plane, c.width, c.reciprocal, out);
    else box_row<4>(plane, c.width, c.reciprocal, out);
    ++c.next_row;
    return;
  }
  box_add_any(plane, c.width, c.sx, c.acc);
  if (++c.pending < c.sy) return;
  box_emit(c, out);
  c.pending = 0;
  ++c.next_row;
}

}  // namespace

void sampler_palette_prepare(RowSampler* s) {
  for (int i = 0; i < 256; ++i) {
    const RX_RGBQUAD q = s->palette[i];
    if (s->components == 1) {
      s->lut[0][i] = q.rgbGreen;
      continue;
    }
    const Ycc t = ycc_of(q.rgbBlue, q.rgbGreen, q.rgbRed);
    s->lut[0][i] = t.y;
    s->lut[1][i] = t.cb;
    s->lut[2][i] = t.cr;
  }
}

void sampler_band_restart(RowSampler* s) {
  for (int c = 0; c < s->components; ++c) {
    s->comp[c].next_row = 0;
    s->comp[c].pending = 0;
  }
}

void row_sample_fast(RowSampler* s, const uint8_t* row) {
  const int32_t n = s->last_x + 1;
  if (s->bits == 24) planes_from_bgr(row, n, s->plane[0], s->plane[1], s->plane[2]);
  else planes_from_indexes(s, row, n);
  for (int c = 0; c < s->components; ++c) {
    uint8_t* p = s->plane[c];
    std::memset(p + n, p[n - 1], static_cast<size_t>(s->padded_width - n));
    plane_to_band(s->comp[c], p);
  }
}

void row_sample_reference(RowSampler* s, const uint8_t* row) {
  int32_t index[3] = {0, 0, 0}, counter[3] = {0, 0, 0};
  for (int32_t x = 0; x < s->padded_width; ++x) {
    const int32_t px = std::min(x, s->last_x);  // the pixel pointer stops at the last pixel
    uint8_t sample[3];
    if (s->bits == 24) {
      const uint8_t* p = row + 3 * px;
      const Ycc t = ycc_of(p[0], p[1], p[2]);
      sample[0] = t.y, sample[1] = t.cb, sample[2] = t.cr;
    } else if (s->components == 1) {
      sample[0] = s->palette[row[px]].rgbGreen;
    } else {
      const RX_RGBQUAD q = s->palette[row[px]];
      const Ycc t = ycc_of(q.rgbBlue, q.rgbGreen, q.rgbRed);
      sample[0] = t.y, sample[1] = t.cb, sample[2] = t.cr;
    }
    for (int c = 0; c < s->components; ++c) {
      SampleBand& b = s->comp[c];
      b.acc[index[c]] = static_cast<uint16_t>(b.acc[index[c]] + sample[c]);
      counter[c] += b.h;
      if (counter[c] == s->hmax) {
        counter[c] = 0;
        ++index[c];
      }
    }
  }
  for (int c = 0; c < s->components; ++c) {
    SampleBand& b = s->comp[c];
    b.pending += b.v;
    if (b.pending < s->vmax) continue;
    b.pending = 0;
    if (b.next_row >= b.rows) continue;
    const int32_t divisor = b.sx * b.sy;
    int8_t* out = b.band + int64_t{b.next_row} * b.width;
    for (int32_t i = 0; i < b.width; ++i) {
      out[i] = static_cast<int8_t>(b.acc[i] / divisor - 128);
      b.acc[i] = 0;
    }
    ++b.next_row;
  }
}

}  // namespace rx::jpeg::enc
