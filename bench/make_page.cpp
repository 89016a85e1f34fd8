// Writes a reproducible bi-level page for the benchmarks: an A4 sheet at
// 300 dpi (2480 x 3508) with margins, lines of word-like blocks of glyph
// strokes, a ruled table and a filled logo. White is 1, black 0.
//
//   make_page OUT.bmp
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

struct Rng {
  uint64_t s;
  uint32_t next() {
    s = s * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<uint32_t>(s >> 33);
  }
  int range(int lo, int hi) { return lo + static_cast<int>(next() % static_cast<uint32_t>(hi - lo + 1)); }
};

constexpr int kWidth = 2480, kHeight = 3508;

void put16(std::vector<uint8_t>& v, uint32_t x) {
  v.push_back(static_cast<uint8_t>(x));
  v.push_back(static_cast<uint8_t>(x >> 8));
}
void put32(std::vector<uint8_t>& v, uint32_t x) {
  put16(v, x & 0xFFFF);
  put16(v, x >> 16);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_page OUT.bmp\n");
    return 2;
  }
  std::vector<uint8_t> ink(static_cast<size_t>(kWidth) * kHeight, 0);  // 1 = black
  auto fill = [&](int x0, int y0, int x1, int y1) {
    for (int y = y0; y < y1 && y < kHeight; ++y)
      for (int x = x0; x < x1 && x < kWidth; ++x) ink[static_cast<size_t>(y) * kWidth + x] = 1;
  };
  Rng rng{2024};
  // Body text: 10-point lines, words of glyphs made of two or three strokes.
  for (int y = 300; y < 2600; y += 50) {
    int x = 300;
    while (x < kWidth - 300) {
      const int letters = rng.range(2, 9);
      for (int i = 0; i < letters && x < kWidth - 320; ++i) {
        const int w = rng.range(14, 24);
        fill(x, y, x + 3, y + 30);
        fill(x, y + 27, x + w, y + 30);
        if (rng.next() % 2) fill(x + w - 3, y + rng.range(0, 12), x + w, y + 30);
        if (rng.next() % 3 == 0) fill(x, y, x + w, y + 3);
        x += w + 6;
      }
      x += 22;
    }
  }
  // A ruled table and a filled logo.
  for (int y = 2700; y <= 3200; y += 50) fill(300, y, 2180, y + 3);
  for (int x = 300; x <= 2180; x += 470) fill(x, 2700, x + 3, 3203);
  fill(1900, 120, 2180, 240);
  const uint32_t stride = (kWidth + 31) / 32 * 4;
  std::vector<uint8_t> file;
  file.push_back('B');
  file.push_back('M');
  put32(file, 62 + stride * kHeight);
  put32(file, 0);
  put32(file, 62);
  put32(file, 40);
  put32(file, kWidth);
  put32(file, kHeight);
  put16(file, 1);
  put16(file, 1);
  put32(file, 0);
  put32(file, stride * kHeight);
  put32(file, 11811);
  put32(file, 11811);
  put32(file, 2);
  put32(file, 0);
  put32(file, 0);           // entry 0 black
  put32(file, 0x00FFFFFF);  // entry 1 white
  std::vector<uint8_t> row(stride);
  for (int y = kHeight - 1; y >= 0; --y) {
    std::fill(row.begin(), row.end(), 0);
    for (int x = 0; x < kWidth; ++x)
      if (!ink[static_cast<size_t>(y) * kWidth + x]) row[x >> 3] |= static_cast<uint8_t>(0x80u >> (x & 7));
    file.insert(file.end(), row.begin(), row.end());
  }
  FILE* f = std::fopen(argv[1], "wb");
  if (f == nullptr || std::fwrite(file.data(), 1, file.size(), f) != file.size()) {
    std::perror(argv[1]);
    return 1;
  }
  std::fclose(f);
  return 0;
}
