// Synthetic text pages for the skew tests and the deskew benchmark: lines
// of letter-like blocks (some rising above the line, a few hanging below
// it) drawn already turned by a known angle, clockwise for positive
// angles as the any-angle rotation turns, about the page centre.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

namespace skewpage {

// Packed 1-bit rows from the top, dark pixels 1 (`dark_bit` 1) or 0.
struct Page {
  int32_t width = 0, height = 0;
  uint32_t stride = 0;
  std::vector<uint8_t> bits;  // rows from the top
  bool dark(int32_t x, int32_t y, int dark_bit) const {
    return ((bits[size_t(y) * stride + x / 8] >> (7 - x % 8)) & 1) == dark_bit;
  }
};

// One text line before turning: for every column its ink, and how far the
// ink rises above the base line and hangs below it.
struct Line {
  std::vector<uint8_t> ink, rise, hang;
};

inline Page text_page(int32_t width, int32_t height, double degrees, int dark_bit = 0, uint32_t seed = 1) {
  const int32_t margin = width / 10, pitch = 48, first_base = height / 10 + 30;
  uint32_t state = seed * 2654435761u + 12345;
  auto next = [&](uint32_t n) {
    state = state * 1664525u + 1013904223u;
    return (state >> 8) % n;
  };
  std::vector<Line> lines;
  for (int32_t base = first_base; base < height - height / 10; base += pitch) {
    Line l{std::vector<uint8_t>(width), std::vector<uint8_t>(width), std::vector<uint8_t>(width)};
    for (int32_t x = margin; x < width - margin;) {
      const int32_t letters = 2 + next(7);
      for (int32_t i = 0; i < letters && x < width - margin; ++i) {
        const int32_t w = 8 + next(12);
        const uint8_t rise = next(4) == 0 ? 30 : 20;
        const uint8_t hang = next(10) == 0 ? 8 : 0;
        for (int32_t c = x; c < x + w && c < width - margin; ++c) {
          l.ink[c] = 1;
          l.rise[c] = rise;
          l.hang[c] = hang;
        }
        x += w + 3 + next(3);
      }
      x += 14 + next(6);
    }
    lines.push_back(std::move(l));
  }
  Page p;
  p.width = width;
  p.height = height;
  p.stride = uint32_t((width + 31) / 32 * 4);
  p.bits.assign(size_t(p.stride) * height, dark_bit ? 0x00 : 0xFF);
  const double r = degrees * 3.14159265358979323846 / 180.0, cs = std::cos(r), sn = std::sin(r);
  const double cx = width / 2.0, cy = height / 2.0;
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      // Where the turned pixel comes from on the straight page.
      const double dx = x - cx, dy = y - cy;
      const auto u = int32_t(std::lround(dx * cs + dy * sn + cx));
      const auto v = int32_t(std::lround(dy * cs - dx * sn + cy));
      if (u < 0 || u >= width || v < 0) continue;
      // The nearest line whose band holds v.
      const int32_t k = (v - first_base + pitch / 2) / pitch;
      if (v - first_base + pitch / 2 < 0 || k >= int32_t(lines.size())) continue;
      const Line& l = lines[k];
      const int32_t base = first_base + k * pitch;
      if (!l.ink[u] || v < base - l.rise[u] || v >= base + l.hang[u]) continue;
      uint8_t& byte = p.bits[size_t(y) * p.stride + x / 8];
      const auto bit = uint8_t(0x80 >> (x % 8));
      byte = dark_bit ? uint8_t(byte | bit) : uint8_t(byte & ~bit);
    }
  return p;
}

// Rows of the page with no dark pixel in the text column (the middle four
// fifths, clear of the corners a turn fills): the gaps between straight
// lines.
inline int32_t empty_rows(const Page& p, int dark_bit) {
  int32_t empty = 0;
  for (int32_t y = 0; y < p.height; ++y) {
    bool any = false;
    for (int32_t x = p.width / 10; x < p.width - p.width / 10 && !any; ++x) any = p.dark(x, y, dark_bit);
    empty += any ? 0 : 1;
  }
  return empty;
}

}  // namespace skewpage
