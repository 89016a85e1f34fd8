// Diffuse: the pixels of overlapping n x n tiles are shuffled, so that the
// picture looks seen through frosted glass. Tiles step by n - n / 3, and
// each one swaps its pixels pairwise along a shuffled list of its
// positions; a uniform area therefore stays as it is.
#include <algorithm>
#include <array>
#include <utility>

#include "IMG_PROC/fx_common.h"
#include "SUPPORT/error.h"

RX_SOURCE("source\\IMG_PROC\\fx_diffuse.cpp");

namespace rx::ip::fx {
namespace {

// The largest tile: 16 x 16 positions fit a small fixed list.
constexpr int32_t kTileMax = 16;

struct Position {
  int32_t x, y;
};

void swap_pixels(void* dib, int32_t bpp, Position a, Position b) {
  uint8_t* pa = dib_image_row(dib, a.y) + static_cast<size_t>(a.x) * bpp;
  uint8_t* pb = dib_image_row(dib, b.y) + static_cast<size_t>(b.x) * bpp;
  for (int32_t c = 0; c < bpp; ++c) std::swap(pa[c], pb[c]);
}

void diffuse_tile(void* dib, int32_t bpp, int32_t n, int32_t left, int32_t top) {
  std::array<Position, kTileMax * kTileMax> list{};
  const int32_t count = n * n;
  for (int32_t i = 0; i < count; ++i) list[static_cast<size_t>(i)] = {left + i % n, top + i / n};
  for (int32_t i = 0; i < count; ++i) {
    const int32_t j = random15() * (count - 1) / 32767;
    std::swap(list[static_cast<size_t>(i)], list[static_cast<size_t>(j)]);
  }
  for (int32_t i = 0, j = count - 1; j > i; ++i, --j)
    swap_pixels(dib, bpp, list[static_cast<size_t>(i)], list[static_cast<size_t>(j)]);
}

}  // namespace
}  // namespace rx::ip::fx

using namespace rx;
using namespace rx::ip;

extern "C" int32_t RX_IP_effect_diffuse(RX_HIMAGE image, const int32_t* rect, int32_t tile) {
  IMAGE_REC* record = enter_or_push(image);
  if (record == nullptr) return RPb_AF_error_check();
  if (!fx::depth_8_or_24(record)) return RPb_AF_error_check();
  // A tile below 1 pixel could never advance across the rectangle.
  if (tile < 1 || tile > fx::kTileMax) {
    RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, tile, 0);
    return RPb_AF_error_check();
  }
  const int32_t bpp = dib_header(record->dib)->biBitCount == 24 ? 3 : 1;
  const int32_t step = std::max(tile - tile / 3, 1);
  fx::tiles_walk(record, span_clamp(rect, dib_header(record->dib)), tile, step,
                 [&](int32_t left, int32_t top) { fx::diffuse_tile(record->dib, bpp, tile, left, top); });
  return RPb_AF_error_check();
}
