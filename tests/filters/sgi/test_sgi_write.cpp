// The SGI writer: grey and colour files, plain and run-length coded, byte
// for byte; what it refuses; tag answers; round trips through the engine;
// and peers reading its files.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "filters/bmp/bmp_harness.h"
#include "filters/raster_samples.h"
#include "filters/sgi/sgi.h"
#include "support/engine_fixture.h"
#include "support/peers.h"

namespace {

using bmpt::Bytes;
namespace fs = std::filesystem;

uint32_t be(const Bytes& b, size_t at, int n) {
  uint32_t v = 0;
  for (int k = 0; k < n; ++k) v = v << 8 | b.at(at + k);
  return v;
}

bmpt::Image image(int32_t width, int32_t height, int bits, bool grey) {
  bmpt::Image im;
  RPb_DIB_init(&im.header, width, height, bits, 0, 0, 0);
  const uint32_t stride = uint32_t(rx::dib_stride(bits, width));
  for (int y = 0; y < height; ++y) {
    Bytes row(stride, 0);
    for (uint32_t i = 0; i < (uint32_t(bits) * width + 7) / 8; ++i) row[i] = uint8_t(i < 3 ? 9 : y * 50 + i * 11);
    im.rows.push_back(row);
  }
  for (int i = 0; i < 256; ++i)
    im.palette[i] = grey ? RX_RGBQUAD{uint8_t(i), uint8_t(i), uint8_t(i), 0}
                         : RX_RGBQUAD{uint8_t(255 - i), uint8_t(i / 2), uint8_t(i), 0};
  return im;
}

class SgiWrite : public EngineTest {
 protected:
  int32_t save(const bmpt::Image& im, bool rle, Bytes* out, int32_t option = 0) {
    bmpt::Stream s(Bytes{}, 1 << 18);
    s.image = im;
    uint32_t flags = rle ? 1 : 0;
    RPb_AF_error_clear();
    const int32_t errors = rx::sgi_write(&s.io, &flags, 0, 1, option);
    *out = s.written();
    return errors == 0 ? 0 : error_codes().at(0);
  }
};

TEST_F(SgiWrite, GreyImagesMakeOneChannelFiles) {
  Bytes f;
  ASSERT_EQ(save(image(4, 2, 8, true), false, &f), 0);
  EXPECT_EQ(std::vector<uint32_t>({be(f, 0, 2), f[2], f[3], be(f, 4, 2), be(f, 6, 2), be(f, 8, 2),
                                   be(f, 10, 2), be(f, 12, 4), be(f, 16, 4), be(f, 104, 4)}),
            std::vector<uint32_t>({474, 0, 1, 2, 4, 2, 1, 0, 255, 0}));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&f[24])), "no name");
  ASSERT_EQ(f.size(), 512u + 8);
  EXPECT_EQ(Bytes(f.begin() + 512, f.end()), (Bytes{9, 9, 9, 83, 9, 9, 9, 33})) << "bottom row first";
  // 1 bit: palette entry 1 for a set bit, entry 0 otherwise, as its red.
  bmpt::Image bw = image(3, 1, 1, true);
  bw.rows[0] = {0xA0, 0, 0, 0};
  bw.palette[0] = {0, 0, 0, 0};
  bw.palette[1] = {255, 255, 255, 0};
  ASSERT_EQ(save(bw, false, &f), 0);
  EXPECT_EQ(Bytes(f.begin() + 512, f.end()), (Bytes{255, 0, 255}));
}

TEST_F(SgiWrite, ColourImagesMakeThreeChannelFiles) {
  Bytes f;
  ASSERT_EQ(save(image(2, 2, 8, false), false, &f), 0);
  EXPECT_EQ(std::vector<uint32_t>({be(f, 4, 2), be(f, 10, 2)}), std::vector<uint32_t>({3, 3}));
  // Pixels 9 9 (top) and 9 9 (bottom): red 9, green 4, blue 246.
  EXPECT_EQ(Bytes(f.begin() + 512, f.end()), (Bytes{9, 9, 9, 9, 4, 4, 4, 4, 246, 246, 246, 246}));
  // 24 bits: red plane, green, blue, each from the bottom row.
  bmpt::Image rgb = image(1, 2, 24, false);
  rgb.rows = {{1, 2, 3, 0}, {4, 5, 6, 0}};
  ASSERT_EQ(save(rgb, false, &f), 0);
  EXPECT_EQ(Bytes(f.begin() + 512, f.end()), (Bytes{6, 3, 5, 2, 4, 1}));
  // 4 bits: high nibble first, each through the palette.
  bmpt::Image four = image(3, 1, 4, false);
  four.rows[0] = {0x12, 0x30, 0, 0};
  ASSERT_EQ(save(four, false, &f), 0);
  EXPECT_EQ(Bytes(f.begin() + 512, f.end()), (Bytes{1, 2, 3, 0, 1, 1, 254, 253, 252}));
}

TEST_F(SgiWrite, CodedFilesAndTheirTables) {
  bmpt::Image im = image(5, 2, 8, true);
  im.rows = {{7, 7, 7, 1, 2, 0, 0, 0}, {4, 4, 4, 4, 4, 0, 0, 0}};
  Bytes f;
  ASSERT_EQ(save(im, true, &f), 0);
  EXPECT_EQ(f[2], 1);
  // Tables of two entries; the rows from 512 + 16, bottom row first.
  EXPECT_EQ(std::vector<uint32_t>({be(f, 512, 4), be(f, 516, 4), be(f, 520, 4), be(f, 524, 4)}),
            std::vector<uint32_t>({528, 531, 3, 6}));
  EXPECT_EQ(Bytes(f.begin() + 528, f.end()), (Bytes{5, 4, 0, 3, 7, 130, 1, 2, 0}));
  // The save's option asks for coding too.
  Bytes g;
  ASSERT_EQ(save(im, false, &g, 1), 0);
  EXPECT_EQ(g, f);
}

TEST_F(SgiWrite, RefusalsAndTags) {
  Bytes f;
  EXPECT_EQ(save(image(3, 2, 16, false), false, &f), RXE_INVALID_FILE_HEADER);
  EXPECT_TRUE(f.empty());
  EXPECT_EQ(save(image(70000, 1, 1, true), false, &f), RXE_DIB_SIZE_WRONG);
  EXPECT_TRUE(f.empty());
  // The application describes the image; the layout stays the writer's.
  bmpt::Stream s(Bytes{}, 4096);
  s.image = image(2, 2, 8, true);
  s.io.tag_get = [](uintptr_t, int32_t tag, int32_t*, void* buffer, int32_t size) -> int32_t {
    if (tag == 1408 && size == 4) return *static_cast<uint32_t*>(buffer) = 99, 1;
    if (tag == 1410 && size == 80) return std::memcpy(buffer, "sky", 4), 1;
    if (tag == 1404 && size == 2) return *static_cast<uint16_t*>(buffer) = 500, 1;
    return 0;
  };
  uint32_t flags = 0;
  RPb_AF_error_clear();
  ASSERT_EQ(rx::sgi_write(&s.io, &flags, 0, 1, 0), 0);
  const Bytes w = s.written();
  EXPECT_EQ(std::vector<uint32_t>({be(w, 16, 4), be(w, 6, 2)}), std::vector<uint32_t>({99, 2}));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&w[24])), "sky");
}

TEST_F(SgiWrite, RoundTripsThroughTheEngine) {
  for (bool rle : {false, true})
    for (auto [bits, grey] : {std::pair{8, true}, {8, false}, {24, false}, {4, true}}) {
      const bmpt::Image im = image(37, 5, bits, grey);
      Bytes f;
      ASSERT_EQ(save(im, rle, &f), 0);
      RX_HIMAGE h = 0;
      ASSERT_EQ(RX_image_load_memory(f.data(), int32_t(f.size()), 1, 1, &h), 0);
      EXPECT_EQ(rgb_of(bmpt::image_of_handle(h)), rgb_of(im)) << bits << grey << rle;
      RX_image_delete(h);
    }
}

// Pillow, ImageMagick, GraphicsMagick and netpbm read every kind of file
// we write with our pixels.
TEST_F(SgiWrite, PeersReadOurFiles) {
  RX_NEED_PEER(rxtest::runnable(RX_PEER_PYTHON), "python3 with PIL");
  rast::PeerDir peers("sgi");
  for (bool rle : {false, true})
    for (auto [bits, grey] : {std::pair{1, true}, {4, true}, {4, false}, {8, true}, {8, false}, {24, false}})
      for (int width : {1, 29, 300}) {
        const bmpt::Image im = image(width, 4, bits, grey);
        Bytes f;
        ASSERT_EQ(save(im, rle, &f), 0);
        const std::string name = "b" + std::to_string(bits) + (grey ? "g" : "c") + "_r" + std::to_string(rle) +
                                 "_w" + std::to_string(width);
        peers.keep(name + ".sgi", f, rgb_of(im));
      }
  EXPECT_EQ(peers.check("check_ico_psd_sgi_with_peers.py"), 0) << "files in " << peers.dir;
  peers.done(!HasFailure());
}

}  // namespace
