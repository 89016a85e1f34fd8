// Writes a reproducible photo-like 24-bit BMP for the benchmarks: smooth
// lighting over a few overlapping shapes, soft edges, fine texture and a
// little sensor-like grain. Not noise: it compresses like a photograph.
//
//   make_photo OUT.bmp [WIDTH HEIGHT]     (default 4000 x 3000, 12 megapixels)
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

struct Rng {
  uint64_t s;
  uint32_t next() {
    s = s * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<uint32_t>(s >> 33);
  }
  double unit() { return next() / 2147483648.0; }
};

struct Blob {
  double cx, cy, rx, ry, r, g, b, softness;
};

void put16(std::vector<uint8_t>& v, uint32_t x) {
  v.push_back(static_cast<uint8_t>(x));
  v.push_back(static_cast<uint8_t>(x >> 8));
}
void put32(std::vector<uint8_t>& v, uint32_t x) {
  put16(v, x & 0xFFFF);
  put16(v, x >> 16);
}

uint8_t clamp8(double v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v + 0.5); }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 4) {
    std::fprintf(stderr, "usage: make_photo OUT.bmp [WIDTH HEIGHT]\n");
    return 2;
  }
  const int w = argc == 4 ? std::atoi(argv[2]) : 4000;
  const int h = argc == 4 ? std::atoi(argv[3]) : 3000;
  if (w <= 0 || h <= 0 || w > 20000 || h > 20000) return 2;
  Rng rng{12345};
  std::vector<Blob> blobs;
  for (int i = 0; i < 24; ++i)
    blobs.push_back({rng.unit() * w, rng.unit() * h, (0.05 + rng.unit() * 0.25) * w,
                     (0.05 + rng.unit() * 0.25) * h, rng.unit() * 255, rng.unit() * 255,
                     rng.unit() * 255, 0.05 + rng.unit() * 0.3});
  const uint32_t stride = (static_cast<uint32_t>(w) * 3 + 3) & ~3u;
  std::vector<uint8_t> file;
  file.reserve(54 + static_cast<size_t>(stride) * h);
  file.push_back('B');
  file.push_back('M');
  put32(file, 54 + stride * static_cast<uint32_t>(h));
  put32(file, 0);
  put32(file, 54);
  put32(file, 40);
  put32(file, static_cast<uint32_t>(w));
  put32(file, static_cast<uint32_t>(h));
  put16(file, 1);
  put16(file, 24);
  put32(file, 0);
  put32(file, stride * static_cast<uint32_t>(h));
  put32(file, 2835);
  put32(file, 2835);
  put32(file, 0);
  put32(file, 0);
  std::vector<uint8_t> row(stride, 0);
  for (int y = h - 1; y >= 0; --y) {  // bottom-up rows
    for (int x = 0; x < w; ++x) {
      // Sky-to-ground lighting.
      double t = static_cast<double>(y) / h;
      double r = 90 + 120 * (1 - t), g = 120 + 90 * (1 - t), b = 160 + 80 * (1 - t) - 60 * t;
      for (const Blob& o : blobs) {
        const double dx = (x - o.cx) / o.rx, dy = (y - o.cy) / o.ry;
        const double d = dx * dx + dy * dy;
        if (d > 1.6) continue;
        const double a = 1 / (1 + std::exp((d - 1) / o.softness));
        const double shade = 0.75 + 0.25 * (1 - dy);
        r += a * (o.r * shade - r);
        g += a * (o.g * shade - g);
        b += a * (o.b * shade - b);
      }
      // Texture and grain.
      const double tex = 6 * std::sin(x * 0.07 + std::sin(y * 0.013) * 3) *
                         std::cos(y * 0.05 + std::sin(x * 0.011) * 2);
      const double grain = (rng.unit() - 0.5) * 6;
      uint8_t* p = row.data() + 3 * x;
      p[0] = clamp8(b + tex + grain);
      p[1] = clamp8(g + tex + grain);
      p[2] = clamp8(r + tex + grain);
    }
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
