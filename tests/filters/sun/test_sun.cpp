// The Sun raster filter against peer files, hand-made files whose pixels
// are worked out below, and the peers' reading of what we write.
#include "SUPPORT/img_ctrl.h"
#include "filters/raster_samples.h"

namespace {

using namespace rast;
using Codes = std::vector<int32_t>;

class Sun : public EngineTest {};

Bytes sun_file(uint32_t width, uint32_t height, uint32_t depth, uint32_t type, uint32_t map_type,
               const Bytes& map, const Bytes& data, uint32_t length = 0) {
  Bytes f;
  for (uint32_t v : {0x59A66A95u, width, height, depth, length, type, map_type,
                     static_cast<uint32_t>(map.size())})
    for (int k = 3; k >= 0; --k) f.push_back(static_cast<uint8_t>(v >> 8 * k));
  f.insert(f.end(), map.begin(), map.end());
  f.insert(f.end(), data.begin(), data.end());
  return f;
}

TEST_F(Sun, PeerFilesLoadWithThePeersPixels) { peer_files_load("sun", ".ras", 12); }

// 32-bit pixels are pad, blue, green, red (pad, red, green, blue in files
// of the RGB type) and load as a 24-bit image.
TEST_F(Sun, ThirtyTwoBitPixelsLoseTheirPad) {
  const Bytes px{0xAA, 1, 2, 3, 0xBB, 4, 5, 6};
  RX_HIMAGE image = load(sun_file(2, 1, 32, 1, 0, {}, px, 99));
  ASSERT_NE(image, 0u);
  int32_t w = 0, h = 0, bits = 0;
  RX_image_dimensions_get(image, &w, &h, &bits);
  EXPECT_EQ(bits, 24);
  EXPECT_EQ(rgb_of(image), (Bytes{3, 2, 1, 6, 5, 4}));
  RX_image_delete(image);
  EXPECT_EQ(rgb_loaded(sun_file(2, 1, 32, 3, 0, {}, px)), (Bytes{1, 2, 3, 4, 5, 6}));
}

// Maps as planes or as triplets; without a map a set bit is black and
// deeper pixels are grey.
TEST_F(Sun, MapsAndTheirAbsence) {
  const Bytes planes{10, 20, 11, 21, 12, 22};  // reds, greens, blues
  const Bytes triplets{10, 11, 12, 20, 21, 22};
  const Bytes row{0x40, 0};  // 1-bit: pixel 1 set
  EXPECT_EQ(rgb_loaded(sun_file(2, 1, 1, 1, 1, planes, row)), (Bytes{10, 11, 12, 20, 21, 22}));
  EXPECT_EQ(rgb_loaded(sun_file(2, 1, 1, 1, 2, triplets, row)), (Bytes{10, 11, 12, 20, 21, 22}));
  EXPECT_EQ(rgb_loaded(sun_file(2, 1, 1, 1, 0, {}, row)), (Bytes{255, 255, 255, 0, 0, 0}));
  EXPECT_EQ(rgb_loaded(sun_file(2, 1, 8, 1, 0, {}, {0x33, 0x99})), (Bytes{0x33, 0x33, 0x33, 0x99, 0x99, 0x99}));
  EXPECT_EQ(rgb_loaded(sun_file(2, 1, 4, 1, 0, {}, {0x1F, 0})), (Bytes{17, 17, 17, 255, 255, 255}));
}

// Runs carry on into the next row, and 0x80 0 is the byte 0x80 itself.
TEST_F(Sun, RunsCrossRowEnds) {
  // 8-bit, 3 x 2 (rows of 4 bytes): 0x80 4 7 is five sevens.
  const Bytes data{0x80, 4, 7, 0x80, 0, 9, 1};
  EXPECT_EQ(rgb_loaded(sun_file(3, 2, 8, 2, 0, {}, data)),
            (Bytes{7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 0x80, 0x80, 0x80, 9, 9, 9}));
  EXPECT_EQ(refusal(sun_file(3, 2, 8, 2, 0, {}, {0x80, 4})), Codes{RXE_CANT_READ_PIXEL_DATA});
}

TEST_F(Sun, HeadersThatLieAreRefused) {
  EXPECT_EQ(load(sun_file(2, 1, 8, 4, 0, {}, {1, 2})), 0u) << "a TIFF inside";
  EXPECT_EQ(error_codes(), Codes{RXE_INVALID_FILE_TYPE});
  EXPECT_EQ(error_entries().at(0).iVal, 4);
  EXPECT_EQ(refusal(sun_file(2, 1, 16, 1, 0, {}, {1, 2, 3, 4})), Codes{RXE_INVALID_FILE_TYPE});
  Bytes short_map = sun_file(2, 1, 8, 1, 1, Bytes(6), {1, 2});
  short_map[31] = 200;  // a map longer than the file
  EXPECT_EQ(refusal(short_map), Codes{RXE_CANT_READ_PALETTE});
  EXPECT_EQ(refusal(sun_file(20000, 20000, 24, 1, 0, {}, Bytes(100))), Codes{RXE_CANT_READ_PIXEL_DATA});
  const Bytes header = sun_file(1, 1, 8, 1, 0, {}, {});
  EXPECT_EQ(refusal(Bytes(header.begin(), header.begin() + 20)), Codes{RXE_CANT_READ_HEADER});
}

// The coder's runs: 300 equal bytes are a run of 256 and one of 44 (kept
// to the end), a single 0x80 is 0x80 0, two of them 0x80 1 0x80.
TEST_F(Sun, CoderRunsAndEscapes) {
  Picture p{300, 1, 8, {Bytes(300, 0x11)}, {{0, 0, 0}}};
  p.rows[0][299] = 0x11;
  RX_HIMAGE image = image_of(p);
  Bytes file;
  ASSERT_EQ(save(image, RX_FORMAT_SUN, &file), 0);
  RX_image_delete(image);
  const size_t data = 32 + 3 * 256;
  EXPECT_EQ(Bytes(file.begin() + data, file.end()), (Bytes{0x80, 255, 0x11, 0x80, 43, 0x11}));
  EXPECT_EQ(be32(file, 16), 6u) << "the length of the coded data";
  EXPECT_EQ(be32(file, 20), 2u);
  EXPECT_EQ(be32(file, 24), 1u);
  EXPECT_EQ(be32(file, 28), 768u);
  EXPECT_EQ(rgb_loaded(file), rgb_of(p));

  Picture q{4, 1, 8, {Bytes{0x80, 5, 0x80, 0x80}}, {}};
  image = image_of(q);
  ASSERT_EQ(save(image, RX_FORMAT_SUN, &file), 0);
  RX_image_delete(image);
  EXPECT_EQ(Bytes(file.begin() + data, file.end()), (Bytes{0x80, 0, 5, 0x80, 1, 0x80}));
}

// A coded file of one short row holds fewer bytes than a run takes: two
// literal bytes for a 2 x 1 picture.
TEST_F(Sun, ACodedFileShorterThanARunLoads) {
  Picture p{2, 1, 8, {Bytes{0, 0}}, {}};
  RX_HIMAGE image = image_of(p);
  Bytes file;
  ASSERT_EQ(save(image, RX_FORMAT_SUN, &file), 0);
  RX_image_delete(image);
  ASSERT_EQ(be32(file, 16), 2u) << "the length of the coded data";
  ASSERT_EQ(be32(file, 20), 2u);
  EXPECT_EQ(rgb_loaded(file), rgb_of(p));
}

// Plain files are the rows as they are, padded to even lengths; the
// header's length is theirs.
TEST_F(Sun, PlainRowsArePaddedToEvenLengths) {
  rx::options_record()->sun[0] = 0;
  Picture p = picture(24, 3, 2);
  RX_HIMAGE image = image_of(p);
  Bytes file;
  ASSERT_EQ(save(image, RX_FORMAT_SUN, &file), 0);
  RX_image_delete(image);
  EXPECT_EQ(be32(file, 16), 20u);
  EXPECT_EQ(be32(file, 20), 1u);
  EXPECT_EQ(file.size(), 32u + 20);
  Bytes first_row(p.rows[0].begin(), p.rows[0].begin() + 9);
  first_row.push_back(0);
  EXPECT_EQ(Bytes(file.begin() + 32, file.begin() + 42), first_row);
}

TEST_F(Sun, WrittenFilesReadBackAndPeersAgree) {
  PeerDir peers("sun");
  for (int32_t bits : {1, 4, 8, 24}) {
    for (uint32_t rle : {0u, 1u}) {
      rx::options_record()->sun[0] = rle;
      Picture p = picture(bits);
      if (bits == 1) p.palette = {{255, 255, 255}, {0, 0, 0}};
      RX_HIMAGE image = image_of(p);
      Bytes file;
      ASSERT_EQ(save(image, RX_FORMAT_SUN, &file), 0);
      RX_image_delete(image);
      EXPECT_EQ(be32(file, 20), rle ? 2u : 1u);
      EXPECT_EQ(be32(file, 12), static_cast<uint32_t>(bits));
      EXPECT_EQ(be32(file, 16), file.size() - 32 - (bits < 24 ? 3u << bits : 0u));
      EXPECT_EQ(rgb_loaded(file), rgb_of(p)) << bits << " " << rle;
      // No peer reads 4-bit Sun rasters.
      if (bits != 4) peers.keep("b" + std::to_string(bits) + "_c" + std::to_string(rle) + ".ras", file, rgb_of(p));
    }
  }
  RX_NEED_PEER(have_peers(), kPeerReaders);
  const int status = peers.check();
  EXPECT_EQ(status, 0) << peers.dir;
  peers.done(status == 0);
}

TEST_F(Sun, RunsPastTheirLineOrTheImageEndLoad) { hostile_files_load("sun"); }

TEST_F(Sun, DamagedFilesFailCleanly) { bad_files_fail("sun"); }

}  // namespace
