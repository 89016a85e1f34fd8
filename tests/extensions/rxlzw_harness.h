// Helpers of the RXLZW tests: the engine with the module loaded, files as
// bytes, and images as RGB values with their transparency.
#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "SUPPORT/image_rec.h"
#include "support/engine_fixture.h"
#include "support/files.h"

namespace rxlzw_test {

using Bytes = std::vector<uint8_t>;

using ::file_bytes;

inline void file_put(const std::string& path, const Bytes& b) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()),
                                               static_cast<std::streamsize>(b.size()));
}

// An image as 0xRRGGBB per pixel, top row first.
struct Rgb {
  int32_t width = 0, height = 0, depth = 0;
  std::vector<uint32_t> pixels;
  bool transparent = false;
  uint32_t key = 0;  // 0xRRGGBB of the transparent colour
};

inline Rgb rgb_of(RX_HIMAGE image) {
  Rgb r;
  IMAGE_REC* record = rx::record_of(image);
  const RX_BITMAPINFOHEADER* h = rx::dib_header(record->dib);
  r.width = h->biWidth;
  r.height = h->biHeight;
  r.depth = h->biBitCount;
  const RX_RGBQUAD* pal = RPb_palette_pointer_get(record);
  for (int32_t y = 0; y < r.height; ++y)
    for (int32_t x = 0; x < r.width; ++x) {
      uint8_t v[3] = {};
      RX_image_pixel_get(image, x, y, v);
      const uint32_t rgb = r.depth == 24 ? uint32_t(v[2]) << 16 | v[1] << 8 | v[0]
                                         : uint32_t(pal[v[0]].rgbRed) << 16 |
                                               pal[v[0]].rgbGreen << 8 | pal[v[0]].rgbBlue;
      r.pixels.push_back(rgb);
    }
  const rx::DISPLAY_ATTR& d = record->display;
  r.transparent = d.transparent_on != 0;
  r.key = uint32_t(d.transparent_color[2]) << 16 | d.transparent_color[1] << 8 |
          d.transparent_color[0];
  return r;
}

class RxlzwTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    ASSERT_EQ(RX_extension_load(RX_RXLZW_MODULE), 0);
  }
};

}  // namespace rxlzw_test
