// The PSD writer: the file it makes for each depth, byte for byte; what it
// refuses; round trips through the engine; and peers reading its files.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "filters/bmp/bmp_harness.h"
#include "filters/psd/psd.h"
#include "filters/raster_samples.h"
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

bmpt::Image image(int32_t width, int32_t height, int bits) {
  bmpt::Image im;
  RPb_DIB_init(&im.header, width, height, bits, 0, 0, 0);
  const uint32_t stride = uint32_t(rx::dib_stride(bits, width));
  for (int y = 0; y < height; ++y) {
    Bytes row(stride, 0);
    for (uint32_t i = 0; i < (uint32_t(bits) * width + 7) / 8; ++i) row[i] = uint8_t(y * 40 + i * 7 + 1);
    if (bits == 1 && width % 8) row[(width - 1) / 8] &= uint8_t(0xFF00 >> (width % 8));
    im.rows.push_back(row);
  }
  for (int i = 0; i < 256; ++i) im.palette[i] = RX_RGBQUAD{uint8_t(255 - i), uint8_t(i / 2), uint8_t(i), 0};
  if (bits == 1) im.palette[0] = {0, 0, 0, 0}, im.palette[1] = {255, 255, 255, 0};
  return im;
}

class PsdWrite : public EngineTest {
 protected:
  int32_t save(const bmpt::Image& im, Bytes* out) {
    bmpt::Stream s(Bytes{}, 1 << 16);
    s.image = im;
    RPb_AF_error_clear();
    const int32_t errors = rx::psd_write(&s.io, nullptr, 0, 1, 0);
    *out = s.written();
    return errors == 0 ? 0 : error_codes().at(0);
  }
};

TEST_F(PsdWrite, RgbFilesHoldRedGreenAndBluePlanes) {
  bmpt::Image im = image(2, 2, 24);
  Bytes f;
  ASSERT_EQ(save(im, &f), 0);
  EXPECT_EQ(Bytes(f.begin(), f.begin() + 4), (Bytes{'8', 'B', 'P', 'S'}));
  EXPECT_EQ(std::vector<uint32_t>({be(f, 4, 2), be(f, 12, 2), be(f, 14, 4), be(f, 18, 4), be(f, 22, 2),
                                   be(f, 24, 2), be(f, 26, 4), be(f, 30, 4), be(f, 34, 4), be(f, 38, 2)}),
            std::vector<uint32_t>({1, 3, 2, 2, 8, 3, 0, 0, 0, 0}));
  // Rows are B G R: row 0 is 1 8 15 22 29 36; row 1 is 41 48 55 62 69 76.
  EXPECT_EQ(Bytes(f.begin() + 40, f.end()),
            (Bytes{15, 36, 55, 76, 8, 29, 48, 69, 1, 22, 41, 62}));
}

TEST_F(PsdWrite, IndexedAndBitmapFiles) {
  Bytes f;
  ASSERT_EQ(save(image(3, 2, 8), &f), 0);
  EXPECT_EQ(std::vector<uint32_t>({be(f, 12, 2), be(f, 22, 2), be(f, 24, 2), be(f, 26, 4)}),
            std::vector<uint32_t>({1, 8, 2, 768}));
  // Palette entry 7: red 7, green 3, blue 248; reds first, then greens, blues.
  EXPECT_EQ(std::vector<int>({f[30 + 7], f[30 + 256 + 7], f[30 + 512 + 7]}), std::vector<int>({7, 3, 248}));
  EXPECT_EQ(Bytes(f.end() - 6, f.end()), (Bytes{1, 8, 15, 41, 48, 55}));
  // 1 bit: black is ink, a set bit, so the image's 0 bits are written as 1.
  ASSERT_EQ(save(image(3, 2, 1), &f), 0);
  EXPECT_EQ(std::vector<uint32_t>({be(f, 22, 2), be(f, 24, 2), be(f, 26, 4)}), std::vector<uint32_t>({1, 0, 0}));
  EXPECT_EQ(Bytes(f.end() - 2, f.end()), (Bytes{0xE0, 0xC0})) << "rows 0x00 and 0x20 of three pixels";
}

TEST_F(PsdWrite, RefusesDepthsItCannotHold) {
  Bytes f;
  for (int bits : {4, 16}) {
    EXPECT_EQ(save(image(3, 2, bits), &f), RXE_INVALID_BITCOUNT_FOR_FORMAT) << bits;
    EXPECT_TRUE(f.empty());
  }
}

TEST_F(PsdWrite, ShortWritesAreReported) {
  bmpt::Stream s(Bytes{}, 100);  // room for the header, not for the rows
  s.image = image(20, 20, 24);
  RPb_AF_error_clear();
  EXPECT_NE(rx::psd_write(&s.io, nullptr, 0, 1, 0), 0);
  EXPECT_EQ(error_codes().at(0), RXE_CANT_WRITE_PIXEL_DATA);
}

TEST_F(PsdWrite, RoundTripsThroughTheEngine) {
  for (int bits : {1, 8, 24}) {
    const bmpt::Image im = image(13, 5, bits);
    Bytes f;
    ASSERT_EQ(save(im, &f), 0);
    RX_HIMAGE h = 0;
    ASSERT_EQ(RX_image_load_memory(f.data(), int32_t(f.size()), 1, 1, &h), 0) << bits;
    const bmpt::Image back = bmpt::image_of_handle(h);
    EXPECT_EQ(back.rows, im.rows) << bits;
    EXPECT_EQ(rgb_of(back), rgb_of(im)) << bits;
    RX_image_delete(h);
  }
}

// Pillow and ImageMagick read every kind of file we write with our pixels.
TEST_F(PsdWrite, PeersReadOurFiles) {
  RX_NEED_PEER(rxtest::runnable(RX_PEER_PYTHON), "python3 with PIL");
  rast::PeerDir peers("psd");
  for (int bits : {1, 8, 24})
    for (int width : {1, 8, 29}) {
      const bmpt::Image im = image(width, 6, bits);
      Bytes f;
      ASSERT_EQ(save(im, &f), 0);
      const std::string name = "b" + std::to_string(bits) + "_w" + std::to_string(width);
      peers.keep(name + ".psd", f, rgb_of(im));
    }
  EXPECT_EQ(peers.check("check_ico_psd_sgi_with_peers.py"), 0) << "files in " << peers.dir;
  peers.done(!HasFailure());
}

}  // namespace
