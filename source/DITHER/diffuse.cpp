// Error diffusion, left to right on every row, rows in storage order. To
// 1 bit: the grey value plus its error against a threshold, the error
// spread 7/16 right, 3/16 below-left, 5/16 below and 1/16 below-right. To
// 4 bits: each channel plus its error looks up the nearest of 16 colours
// through the colour grid, the error spread 7/16 right, 5/16 below and
// 1/16 below-right. Every share is truncated toward zero.
#include <algorithm>
#include <cstring>
#include <utility>

#include "DITHER/dither_target.h"

RX_SOURCE("source\\DITHER\\diffuse.cpp");

namespace rx::dither {
namespace {

// Error rows hold pixel x at index x + 1, so that below-left of the first
// pixel has a place. The share going right is carried along the row, and
// the shares going down are summed in registers until their place in the
// next row's error row is complete: the same sums in the same order.
bool diffuse_bits(IMAGE_REC* record, NewDib& out, int32_t threshold) {
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  const auto width = static_cast<uint32_t>(h->biWidth);
  TagGuard scratch;
  int32_t* errors = int_rows(scratch, (uint64_t{width} + 2) * 2);
  auto* grey = static_cast<uint8_t*>(scratch.alloc(width));
  BitPlane plane(out, width, h->biHeight, scratch);
  if (errors == nullptr || !plane.ok()) return false;
  if (grey == nullptr) {
    RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, width, scratch.tag());
    return false;
  }
  int32_t* here = errors;
  int32_t* next = errors + width + 2;
  const GreyRows source(record->dib);
  const bool done = storage_walk(h->biHeight, [&](int32_t y) {
    source.row(y, grey);
    uint8_t* bits = plane.row(y);
    int32_t right = 0;            // 7/16 for the next pixel
    int32_t at_x = 0, at_x1 = 0;  // what next[x] and next[x + 1] have so far
    uint32_t byte = 0;
    for (uint32_t x = 0; x < width; ++x) {
      const int32_t value = grey[x] + here[x + 1] + right;
      const bool white = value >= threshold;
      const int32_t e = white ? value - 255 : value;
      byte = byte << 1 | static_cast<uint32_t>(white);
      if ((x & 7) == 7) {
        bits[x >> 3] = static_cast<uint8_t>(byte);
        byte = 0;
      }
      right = e * 7 / 16;
      next[x] = at_x + e * 3 / 16;
      at_x = at_x1 + e * 5 / 16;
      at_x1 = e / 16;
    }
    if (width % 8 != 0) bits[width >> 3] = static_cast<uint8_t>(byte << (8 - width % 8));
    next[width] = at_x;
    next[width + 1] = at_x1;
    std::swap(here, next);
    return true;
  });
  return done && plane.store();
}

bool diffuse_colour(IMAGE_REC* record, NewDib& out, const ColourGrid& grid) {
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  const auto width = static_cast<uint32_t>(h->biWidth);
  TagGuard scratch;
  int32_t* errors = int_rows(scratch, (uint64_t{width} + 2) * 6);
  auto* colours = static_cast<uint8_t*>(scratch.alloc(size_t{3} * width));
  if (errors == nullptr) return false;
  if (colours == nullptr) {
    RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, 3 * width, scratch.tag());
    return false;
  }
  int32_t* here = errors;
  int32_t* next = errors + (size_t{width} + 2) * 3;
  const RX_RGBQUAD* palette = grid.palette();
  const ColourRows source(record->dib);
  return storage_walk(h->biHeight, [&](int32_t y) {
    const uint8_t* p = source.row(y, colours);
    uint8_t* o = out.row(y);
    std::fill(next, next + 6, 0);
    for (uint32_t x = 0; x < width; ++x, p += 3) {
      int32_t value[3], level[3];
      for (int32_t c = 0; c < 3; ++c) {
        value[c] = p[c] + here[3 * (x + 1) + c];
        level[c] = grid.nearest_level(c, static_cast<uint32_t>(std::clamp(value[c], 0, 255)));
      }
      const uint32_t index = grid.entry(level[kBlue], level[kGreen], level[kRed]);
      o[x >> 1] = static_cast<uint8_t>((x & 1) ? (o[x >> 1] & 0xF0u) | index : index << 4);
      for (int32_t c = 0; c < 3; ++c) {
        const int32_t e = value[c] - channel_of(palette[index], c);
        here[3 * (x + 2) + c] += e * 7 / 16;
        next[3 * (x + 1) + c] += e * 5 / 16;
        next[3 * (x + 2) + c] = e / 16;
      }
    }
    std::swap(here, next);
    return true;
  });
}

void diffuse(IMAGE_REC* record, const RX_DIFFUSE_OPTIONS* o) {
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
    if (out.create_runs(h->biWidth, h->biHeight, kBlackWhite, dithered_runs_capacity(h->biWidth, h->biHeight)) && diffuse_bits(record, out, o->threshold))
      out.attach();
    return;
  }
  const ColourGrid grid(o->palette != nullptr ? o->palette : kDefault16);
  if (out.create(h->biWidth, h->biHeight, 4, RX_BI_RGB, grid.palette(), true) &&
      diffuse_colour(record, out, grid))
    out.attach();
}

}  // namespace
}  // namespace rx::dither

using namespace rx;
using namespace rx::dither;

extern "C" int32_t RX_IP_diffuse(RX_HIMAGE image, const RX_DIFFUSE_OPTIONS* options) {
  IMAGE_REC* record = ip::enter_image(image, 0);
  if (record != nullptr) diffuse(record, options);
  return RPb_AF_error_check();
}
