// Ordered dithering through a 16 x 16 matrix of thresholds 1..256, matrix
// row by storage row (bottom row first) and column by column, both modulo
// 16. To 1 bit the grey value scaled to 0..256 is compared with the
// threshold; to 4 bits each channel picks the level at or above it or the
// one below by where it lies between them.
#include <algorithm>
#include <cstring>

#include "DITHER/dither_target.h"

RX_SOURCE("source\\DITHER\\bayer.cpp");

namespace rx::dither {
namespace {

constexpr uint16_t kMatrix[16][16] = {
    {2, 236, 60, 220, 16, 232, 56, 216, 3, 233, 57, 217, 13, 229, 53, 213},
    {130, 66, 188, 124, 144, 80, 184, 120, 131, 67, 185, 121, 141, 77, 181, 117},
    {34, 194, 18, 252, 48, 208, 32, 248, 35, 195, 19, 249, 45, 205, 29, 245},
    {162, 98, 146, 82, 176, 112, 160, 96, 163, 99, 147, 83, 173, 109, 157, 93},
    {10, 226, 50, 210, 6, 240, 64, 224, 11, 227, 51, 211, 7, 237, 61, 221},
    {138, 74, 178, 114, 134, 70, 192, 128, 139, 75, 179, 115, 135, 71, 189, 125},
    {42, 202, 26, 242, 38, 198, 22, 256, 43, 203, 27, 243, 39, 199, 23, 253},
    {170, 106, 154, 90, 166, 102, 150, 86, 171, 107, 155, 91, 167, 103, 151, 87},
    {4, 234, 58, 218, 14, 230, 54, 214, 1, 235, 59, 219, 15, 231, 55, 215},
    {132, 68, 186, 122, 142, 78, 182, 118, 129, 65, 187, 123, 143, 79, 183, 119},
    {36, 196, 20, 250, 46, 206, 30, 246, 33, 193, 17, 251, 47, 207, 31, 247},
    {164, 100, 148, 84, 174, 110, 158, 94, 161, 97, 145, 81, 175, 111, 159, 95},
    {12, 228, 52, 212, 8, 238, 62, 222, 9, 225, 49, 209, 5, 239, 63, 223},
    {140, 76, 180, 116, 136, 72, 190, 126, 137, 73, 177, 113, 133, 69, 191, 127},
    {44, 204, 28, 244, 40, 200, 24, 254, 41, 201, 25, 241, 37, 197, 21, 255},
    {172, 108, 156, 92, 168, 104, 152, 88, 169, 105, 153, 89, 165, 101, 149, 85}};

// Every threshold 1..256 once.
constexpr bool matrix_is_permutation() {
  bool seen[257] = {};
  for (const auto& row : kMatrix)
    for (uint16_t t : row) {
      if (t < 1 || t > 256 || seen[t]) return false;
      seen[t] = true;
    }
  return true;
}
static_assert(matrix_is_permutation());

bool bayer_bits(IMAGE_REC* record, NewDib& out) {
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  const auto width = static_cast<uint32_t>(h->biWidth);
  TagGuard scratch;
  auto* grey = static_cast<uint8_t*>(scratch.alloc(width));
  BitPlane plane(out, width, h->biHeight, scratch);
  if (!plane.ok()) return false;
  if (grey == nullptr) {
    RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, width, scratch.tag());
    return false;
  }
  const GreyRows source(record->dib);
  uint32_t matrix_row = 0;
  const bool done = storage_walk(h->biHeight, [&](int32_t y) {
    source.row(y, grey);
    const uint16_t* thresholds = kMatrix[matrix_row];
    matrix_row = (matrix_row + 1) % 16;
    uint8_t* bits = plane.row(y);
    for (uint32_t x = 0; x < width; ++x)
      if (thresholds[x % 16] <= grey[x] * 256u / 255u) bits[x >> 3] |= static_cast<uint8_t>(0x80u >> (x & 7));
    return true;
  });
  return done && plane.store();
}

// The level a channel value takes at a threshold: between the last level
// below it and the first not below it, the upper one when the value's
// place between them (0..256) exceeds the threshold. The sentinel counts
// as the last level.
int32_t level_for(const ColourGrid& grid, int32_t c, int32_t value, uint32_t threshold) {
  const int32_t n = grid.levels(c);
  int32_t i = 1;
  while (i < n && grid.level(c, i) < value) ++i;
  const int32_t low = i - 1;
  const int32_t span = grid.level(c, i) - grid.level(c, low);
  const int32_t fraction = span > 0 ? std::clamp((value - grid.level(c, low)) * 256 / span, 0, 256) : 0;
  return std::min(fraction > static_cast<int32_t>(threshold) ? i : low, n - 1);
}

bool bayer_colour(IMAGE_REC* record, NewDib& out, const ColourGrid& grid) {
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  const auto width = static_cast<uint32_t>(h->biWidth);
  TagGuard scratch;
  auto* colours = static_cast<uint8_t*>(scratch.alloc(size_t{3} * width));
  if (colours == nullptr) {
    RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, 3 * width, scratch.tag());
    return false;
  }
  const ColourRows source(record->dib);
  uint32_t matrix_row = 0;
  return storage_walk(h->biHeight, [&](int32_t y) {
    const uint8_t* p = source.row(y, colours);
    const uint16_t* thresholds = kMatrix[matrix_row];
    matrix_row = (matrix_row + 1) % 16;
    uint8_t* o = out.row(y);
    for (uint32_t x = 0; x < width; ++x, p += 3) {
      const uint32_t t = thresholds[x % 16];
      const uint32_t index = grid.entry(level_for(grid, kBlue, p[kBlue], t), level_for(grid, kGreen, p[kGreen], t),
                                        level_for(grid, kRed, p[kRed], t));
      o[x >> 1] = static_cast<uint8_t>((x & 1) ? (o[x >> 1] & 0xF0u) | index : index << 4);
    }
    return true;
  });
}

void bayer(IMAGE_REC* record, const RX_BAYER_OPTIONS* o) {
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  if (o == nullptr) {
    RX_ERR(RXE_INVALID_POINTER, 0, 0);
    return;
  }
  if (!target_ok(h->biBitCount, o->bits, true)) return;
  ip::RecordLock lock(record);
  if (!lock.held()) {
    ip::push_lock_failed();
    return;
  }
  NewDib out(record);
  if (o->bits == 1) {
    if (out.create_runs(h->biWidth, h->biHeight, kBlackWhite, dithered_runs_capacity(h->biWidth, h->biHeight)) && bayer_bits(record, out)) out.attach();
    return;
  }
  const ColourGrid grid(o->palette != nullptr ? o->palette : kDefault16);
  if (out.create(h->biWidth, h->biHeight, 4, RX_BI_RGB, grid.palette(), true) && bayer_colour(record, out, grid))
    out.attach();
}

}  // namespace
}  // namespace rx::dither

using namespace rx;
using namespace rx::dither;

extern "C" int32_t RX_IP_bayer(RX_HIMAGE image, const RX_BAYER_OPTIONS* options) {
  IMAGE_REC* record = ip::enter_image(image, 0);
  if (record != nullptr) bayer(record, options);
  return RPb_AF_error_check();
}
