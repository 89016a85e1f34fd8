// One loop per kind of row; the common 8-bit RGB row is a plain byte swap.
#include "filters/png/png_samples.h"

#include <array>
#include <cstring>

namespace rx::png {
namespace {

inline uint32_t sample16(const uint8_t* p) { return uint32_t{p[0]} << 8 | p[1]; }

// Four 2-bit pixels (one byte) as four 4-bit pixels (two bytes, in order).
constexpr std::array<uint16_t, 256> make_widen_table() {
  std::array<uint16_t, 256> t{};
  for (uint32_t b = 0; b < 256; ++b) {
    const uint32_t hi = ((b >> 6) & 3) << 4 | ((b >> 4) & 3);
    const uint32_t lo = ((b >> 2) & 3) << 4 | (b & 3);
    t[b] = static_cast<uint16_t>(hi | lo << 8);  // byte order in memory: hi, lo
  }
  return t;
}
constexpr std::array<uint16_t, 256> kWiden = make_widen_table();

void packed_copy(const uint8_t* raw, uint8_t* out, uint32_t width, uint32_t bits) {
  const uint64_t used = uint64_t{width} * bits;
  const auto bytes = static_cast<size_t>((used + 7) / 8);
  std::memcpy(out, raw, bytes);
  // Bits past the last pixel may hold anything in the file.
  if (used % 8 != 0) out[bytes - 1] &= static_cast<uint8_t>(0xFF00 >> (used % 8));
}

void widen2(const uint8_t* raw, uint8_t* out, uint32_t width) {
  const uint32_t whole = width / 4;
  for (uint32_t i = 0; i < whole; ++i) std::memcpy(out + 2 * size_t{i}, &kWiden[raw[i]], 2);
  for (uint32_t x = whole * 4; x < width; ++x) {
    const uint32_t v = (raw[x / 4] >> (6 - 2 * (x % 4))) & 3;
    uint8_t& o = out[x / 2];
    o = x % 2 == 0 ? static_cast<uint8_t>(v << 4) : static_cast<uint8_t>(o | v);
  }
}

void grey16(const uint8_t* raw, uint8_t* out, uint32_t width) {
  for (uint32_t x = 0; x < width; ++x) out[x] = static_cast<uint8_t>(reduce16(sample16(raw + 2 * size_t{x})));
}

void rgb8(const uint8_t* raw, uint8_t* out, uint32_t width) {
  for (uint32_t x = 0; x < width; ++x, raw += 3, out += 3) {
    const uint8_t r = raw[0], g = raw[1], b = raw[2];
    out[0] = b;
    out[1] = g;
    out[2] = r;
  }
}

void rgb16(const uint8_t* raw, uint8_t* out, uint32_t width) {
  for (uint32_t x = 0; x < width; ++x, raw += 6, out += 3) {
    out[0] = static_cast<uint8_t>(reduce16(sample16(raw + 4)));
    out[1] = static_cast<uint8_t>(reduce16(sample16(raw + 2)));
    out[2] = static_cast<uint8_t>(reduce16(sample16(raw)));
  }
}

void grey_alpha8(const uint8_t* raw, uint8_t* out, uint32_t width) {
  for (uint32_t x = 0; x < width; ++x, raw += 2, out += 3)
    out[0] = out[1] = out[2] = static_cast<uint8_t>(over_white8(raw[0], raw[1]));
}

void grey_alpha16(const uint8_t* raw, uint8_t* out, uint32_t width) {
  for (uint32_t x = 0; x < width; ++x, raw += 4, out += 3)
    out[0] = out[1] = out[2] =
        static_cast<uint8_t>(reduce16(over_white16(sample16(raw), sample16(raw + 2))));
}

void rgb_alpha8(const uint8_t* raw, uint8_t* out, uint32_t width) {
  for (uint32_t x = 0; x < width; ++x, raw += 4, out += 3) {
    const uint32_t a = raw[3];
    out[0] = static_cast<uint8_t>(over_white8(raw[2], a));
    out[1] = static_cast<uint8_t>(over_white8(raw[1], a));
    out[2] = static_cast<uint8_t>(over_white8(raw[0], a));
  }
}

void rgb_alpha16(const uint8_t* raw, uint8_t* out, uint32_t width) {
  for (uint32_t x = 0; x < width; ++x, raw += 8, out += 3) {
    const uint32_t a = sample16(raw + 6);
    out[0] = static_cast<uint8_t>(reduce16(over_white16(sample16(raw + 4), a)));
    out[1] = static_cast<uint8_t>(reduce16(over_white16(sample16(raw + 2), a)));
    out[2] = static_cast<uint8_t>(reduce16(over_white16(sample16(raw), a)));
  }
}

}  // namespace

void row_convert(const Header& h, const uint8_t* raw, uint8_t* out, uint32_t stride) {
  const uint32_t w = h.width;
  const bool wide = h.depth == 16;
  uint64_t used = 0;  // bytes of `out` written
  switch (h.colour) {
    case kGrey:
    case kPalette:
      if (h.depth == 2) {
        widen2(raw, out, w);
        used = (uint64_t{w} * 4 + 7) / 8;
      } else if (wide) {
        grey16(raw, out, w);
        used = w;
      } else {
        packed_copy(raw, out, w, h.depth);
        used = (uint64_t{w} * h.depth + 7) / 8;
      }
      break;
    case kRgb:
      wide ? rgb16(raw, out, w) : rgb8(raw, out, w);
      used = uint64_t{w} * 3;
      break;
    case kGreyAlpha:
      wide ? grey_alpha16(raw, out, w) : grey_alpha8(raw, out, w);
      used = uint64_t{w} * 3;
      break;
    case kRgbAlpha:
      wide ? rgb_alpha16(raw, out, w) : rgb_alpha8(raw, out, w);
      used = uint64_t{w} * 3;
      break;
    default:
      break;
  }
  if (used < stride) std::memset(out + used, 0, stride - used);
}

}  // namespace rx::png
