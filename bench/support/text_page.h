// The benchmarks' reproducible bi-level page: 300-dpi A4 (2480 x 3508) of
// text, ten-point lines of words made of 5 x 7 dot-matrix glyphs drawn 4
// pixels to a dot, as packed rows of kPageRowBytes with black pixels set.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace bench {

constexpr uint32_t kPageWidth = 2480;
constexpr uint32_t kPageHeight = 3508;
constexpr uint32_t kPageRowBytes = (kPageWidth + 7) / 8;

inline std::vector<uint8_t> text_page() {
  std::vector<uint8_t> page(size_t{kPageRowBytes} * kPageHeight, 0);
  uint32_t seed = 12345;
  auto rnd = [&seed] { return seed = seed * 1103515245u + 12345u, seed >> 16; };
  uint8_t glyphs[64][7];
  for (auto& g : glyphs)
    for (auto& row : g) row = static_cast<uint8_t>(rnd() & 0x1F);
  auto set = [&page](uint32_t x, uint32_t y) {
    page[size_t{y} * kPageRowBytes + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
  };
  const uint32_t margin = 236, dot = 4, advance = 6 * dot, line = 50;
  for (uint32_t top = 300; top + 7 * dot < kPageHeight - 300; top += line) {
    uint32_t x = margin;
    while (x + 8 * advance < kPageWidth - margin) {
      const uint32_t word = 2 + rnd() % 8;
      for (uint32_t c = 0; c < word && x + advance < kPageWidth - margin; ++c, x += advance) {
        const uint8_t* g = glyphs[rnd() % 64];
        for (uint32_t gy = 0; gy < 7; ++gy)
          for (uint32_t gx = 0; gx < 5; ++gx)
            if ((g[gy] >> (4 - gx)) & 1)
              for (uint32_t py = 0; py < dot; ++py)
                for (uint32_t px = 0; px < dot; ++px) set(x + gx * dot + px, top + gy * dot + py);
      }
      x += advance;
    }
  }
  return page;
}

}  // namespace bench
