// Twist: the rectangle is cut into s x s blocks laid edge to edge from its
// top-left corner, and each whole block is reflected: about its rising
// diagonal (turn 1), left to right (turn 2) or about its falling diagonal
// (turn 3). Turn 4 draws one of turns 0..4 for each block; other turns
// leave blocks alone. Works on 1-, 4-, 8- and 24-bit images; a runs image
// is twisted as plain rows and put back into runs.
#include <algorithm>
#include <cstring>

#include "IMG_PROC/fx_common.h"
#include "SUPPORT/error.h"
#include "SUPPORT/mem_tag.h"
#include "SUPPORT/runs.h"

RX_SOURCE("source\\IMG_PROC\\fx_twist.cpp");

namespace rx::ip::fx {
namespace {

constexpr int32_t kTurnRandom = 4;

// Reads and writes single pixels of a row of any of the twisted depths;
// 24-bit pixels move as three bytes.
struct PixelAccess {
  int32_t bits;

  void get(const uint8_t* row, int32_t x, uint8_t* out) const {
    switch (bits) {
      case 1: *out = static_cast<uint8_t>((row[x >> 3] >> (7 - (x & 7))) & 1u); break;
      case 4: *out = static_cast<uint8_t>((x & 1) ? row[x >> 1] & 15u : row[x >> 1] >> 4); break;
      case 8: *out = row[x]; break;
      default: std::memcpy(out, row + size_t{3} * static_cast<uint32_t>(x), 3); break;
    }
  }
  void set(uint8_t* row, int32_t x, const uint8_t* in) const {
    switch (bits) {
      case 1: {
        const auto mask = static_cast<uint8_t>(0x80u >> (x & 7));
        row[x >> 3] = static_cast<uint8_t>(*in ? row[x >> 3] | mask : row[x >> 3] & ~mask);
        break;
      }
      case 4: {
        uint8_t& b = row[x >> 1];
        b = static_cast<uint8_t>((x & 1) ? (b & 0xF0u) | *in : (b & 0x0Fu) | (*in << 4));
        break;
      }
      case 8: row[x] = *in; break;
      default: std::memcpy(row + size_t{3} * static_cast<uint32_t>(x), in, 3); break;
    }
  }
};

// Block (x, y) takes the value from the position this returns.
void source_of(int32_t turn, int32_t s, int32_t x, int32_t y, int32_t* sx, int32_t* sy) {
  switch (turn) {
    case 1: *sx = s - 1 - y; *sy = s - 1 - x; break;
    case 2: *sx = s - 1 - x; *sy = y; break;
    default: *sx = y; *sy = x; break;
  }
}

void twist_block(void* dib, const PixelAccess& px, int32_t bpp, int32_t s, int32_t left, int32_t top,
                 int32_t turn, uint8_t* buffer) {
  if (turn < 1 || turn > 3) return;
  for (int32_t y = 0; y < s; ++y) {
    const uint8_t* row = dib_image_row(dib, top + y);
    for (int32_t x = 0; x < s; ++x)
      px.get(row, left + x, buffer + (static_cast<size_t>(y) * s + x) * bpp);
  }
  for (int32_t y = 0; y < s; ++y) {
    uint8_t* row = dib_image_row(dib, top + y);
    for (int32_t x = 0; x < s; ++x) {
      int32_t sx = 0, sy = 0;
      source_of(turn, s, x, y, &sx, &sy);
      px.set(row, left + x, buffer + (static_cast<size_t>(sy) * s + sx) * bpp);
    }
  }
}

void twist_plain(IMAGE_REC* record, const Span& span, int32_t turn, int32_t s) {
  const int32_t bits = dib_header(record->dib)->biBitCount;
  const int32_t bpp = bits == 24 ? 3 : 1;
  TagGuard tag;
  // A block is never larger than the rectangle, so the buffer is bounded
  // by the image itself.
  const int64_t bytes = int64_t{s} * s * bpp;
  auto* buffer = static_cast<uint8_t*>(tag.alloc(static_cast<size_t>(bytes)));
  if (buffer == nullptr) {
    RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, static_cast<int32_t>(std::min<int64_t>(bytes, INT32_MAX)), 0);
    return;
  }
  const PixelAccess px{bits};
  tiles_walk(record, span, s, s, [&](int32_t left, int32_t top) {
    const int32_t t = turn == kTurnRandom ? random15() * 4 / 32767 : turn;
    twist_block(record->dib, px, bpp, s, left, top, t, buffer);
  });
}

}  // namespace
}  // namespace rx::ip::fx

using namespace rx;
using namespace rx::ip;

extern "C" int32_t RX_IP_effect_twist(RX_HIMAGE image, const int32_t* rect, int32_t turn,
                                      int32_t block) {
  IMAGE_REC* record = enter_or_push(image);
  if (record == nullptr) return RPb_AF_error_check();
  const int32_t bits = dib_header(record->dib)->biBitCount;
  if (bits == 16) {
    RX_ERR(RXE_BIT_COUNT_UNSUPPORTED, bits, 0);
    return RPb_AF_error_check();
  }
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24) return RPb_AF_error_check();
  // A block below 1 pixel could never advance across the rectangle.
  if (block < 1) {
    RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, block, 0);
    return RPb_AF_error_check();
  }
  const Span span = span_clamp(rect, dib_header(record->dib));
  if (span.columns() < block || span.rows() < block) return RPb_AF_error_check();
  const bool runs = dib_is_runs(record->dib);
  if (runs && runs_to_plain(record) != 0) return RPb_AF_error_check();
  fx::twist_plain(record, span, turn, block);
  if (runs) plain_to_runs(record);
  return RPb_AF_error_check();
}
