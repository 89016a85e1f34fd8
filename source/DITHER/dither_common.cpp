// Fixed palettes, the colour lookup grid and the source rows shared by the
// colour reductions and the dithering operations.
#include "DITHER/dither_common.h"

#include <algorithm>
#include <cstring>

#include "IMG_PROC/grey_row.h"
#include "SUPPORT/mem_tag.h"

RX_SOURCE("source\\DITHER\\dither_common.cpp");

namespace rx::dither {

// Blue, green, red: black, the dark colours, grey, silver, the bright ones.
const RX_RGBQUAD kDefault16[16] = {
    {0, 0, 0, 0},       {128, 0, 0, 0},     {0, 128, 0, 0},   {128, 128, 0, 0},
    {0, 0, 128, 0},     {128, 0, 128, 0},   {0, 128, 128, 0}, {128, 128, 128, 0},
    {192, 192, 192, 0}, {255, 0, 0, 0},     {0, 255, 0, 0},   {255, 255, 0, 0},
    {0, 0, 255, 0},     {255, 0, 255, 0},   {0, 255, 255, 0}, {255, 255, 255, 0}};

const RX_RGBQUAD kBlackWhite[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};

ColourGrid::ColourGrid(const RX_RGBQUAD* palette) {
  for (int32_t i = 0; i < 16; ++i) palette_[i] = RX_RGBQUAD{palette[i].rgbBlue, palette[i].rgbGreen, palette[i].rgbRed, 0};
  for (int32_t c = 0; c < 3; ++c) {
    uint8_t values[16];
    for (int32_t i = 0; i < 16; ++i) values[i] = channel_of(palette_[i], c);
    std::sort(values, values + 16);
    const auto n = static_cast<int32_t>(std::unique(values, values + 16) - values);
    std::copy(values, values + n, level_[c]);
    level_[c][n] = 255;
    count_[c] = n;
    // Below the first level, between two levels (midway to the lower one)
    // and past the last: a value past the last level is as near to it as
    // to the sentinel for every purpose the grid serves.
    int32_t k = 0;
    for (uint32_t v = 0; v < 256; ++v) {
      while (k + 1 < n && static_cast<int32_t>(v) - level_[c][k] > level_[c][k + 1] - static_cast<int32_t>(v)) ++k;
      nearest_[c][v] = static_cast<uint8_t>(k);
    }
  }
  for (int32_t r = 0; r < count_[kRed]; ++r)
    for (int32_t g = 0; g < count_[kGreen]; ++g)
      for (int32_t b = 0; b < count_[kBlue]; ++b) {
        uint32_t best = UINT32_MAX;
        uint8_t best_entry = 0;
        for (int32_t i = 0; i < 16; ++i) {
          const uint32_t d = weighted_distance(level_[kRed][r] - palette_[i].rgbRed,
                                               level_[kGreen][g] - palette_[i].rgbGreen,
                                               level_[kBlue][b] - palette_[i].rgbBlue);
          if (d < best) {
            best = d;
            best_entry = static_cast<uint8_t>(i);
          }
        }
        cell_[(r * count_[kGreen] + g) * count_[kBlue] + b] = best_entry;
      }
}

GreyRows::GreyRows(const void* dib) : dib_(dib) {
  const RX_BITMAPINFOHEADER* h = dib_header(dib);
  bits_ = h->biBitCount;
  width_ = static_cast<uint32_t>(h->biWidth);
  if (bits_ <= 8) {
    const RX_RGBQUAD* palette = dib_palette(dib);
    for (uint32_t i = 0; i < (1u << bits_); ++i) lut_[i] = static_cast<uint8_t>(gray_of(palette[i]));
  }
}

void GreyRows::row(int32_t image_row, uint8_t* out) const {
  const uint8_t* s = dib_image_row(const_cast<void*>(dib_), image_row);
  if (bits_ == 24) {
    ip::grey_row_24(s, width_, out);
  } else if (bits_ == 8) {
    for (uint32_t x = 0; x < width_; ++x) out[x] = lut_[s[x]];
  } else {
    for (uint32_t x = 0; x < width_; ++x) out[x] = lut_[(x & 1) ? s[x >> 1] & 15u : s[x >> 1] >> 4];
  }
}

const uint8_t* ColourRows::row(int32_t image_row, uint8_t* buffer) const {
  const RX_BITMAPINFOHEADER* h = dib_header(dib_);
  const uint8_t* s = dib_image_row(const_cast<void*>(dib_), image_row);
  if (h->biBitCount == 24) return s;
  const RX_RGBQUAD* palette = dib_palette(dib_);
  for (int32_t x = 0; x < h->biWidth; ++x) {
    const RX_RGBQUAD& q = palette[s[x]];
    buffer[3 * x] = q.rgbBlue;
    buffer[3 * x + 1] = q.rgbGreen;
    buffer[3 * x + 2] = q.rgbRed;
  }
  return buffer;
}

int32_t* int_rows(TagGuard& scratch, uint64_t count) {
  const uint64_t bytes = count * 4;
  void* p = bytes <= SIZE_MAX ? scratch.alloc(static_cast<size_t>(bytes)) : nullptr;
  if (p == nullptr) {
    RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, std::min<uint64_t>(bytes, INT32_MAX), 0);
    return nullptr;
  }
  std::memset(p, 0, static_cast<size_t>(bytes));
  return static_cast<int32_t*>(p);
}

}  // namespace rx::dither
