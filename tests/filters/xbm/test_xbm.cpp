// The XBM filter against peer files, hand-written texts whose pixels are
// worked out below, and the peers' reading of what we write.
#include "filters/raster_samples.h"

namespace {

using namespace rast;
using Codes = std::vector<int32_t>;

class Xbm : public EngineTest {};

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// Black and white as the .rgb files have them.
Bytes pixels(const std::string& rows) {
  Bytes out;
  for (char c : rows)
    if (c == '#' || c == '.') out.insert(out.end(), 3, c == '#' ? 0 : 255);
  return out;
}

TEST_F(Xbm, PeerFilesLoadWithThePeersPixels) { peer_files_load("xbm", ".xbm", 4); }

// The leftmost pixel is a value's lowest bit; a word's low byte is its left
// half. A width of 10 takes two bytes a row, the second one's six high bits
// unused.
TEST_F(Xbm, BytesAndWordsGiveTheSamePicture) {
  const Bytes want = pixels("#......... ##.......#");
  const Bytes bytes = text(
      "#define im_width 10\n#define im_height 2\nstatic char im_bits[] = {\n"
      "  0x01, 0xfc, 0x03, 0xFE };\n");
  const Bytes words = text(
      "#define im_width 10\r\n#define im_height 2\r\nstatic unsigned short im_bits[] = {\r\n"
      "  0xfc01, 0xfe03 };\r\n");
  EXPECT_EQ(rgb_loaded(bytes), want);
  EXPECT_EQ(rgb_loaded(words), want);
}

// Values on the "static" line itself are read, also when the array's name
// has a 0 in it.
TEST_F(Xbm, ValuesMayStartOnTheStaticLine) {
  const Bytes f = text("#define b0_width 3\n#define b0_height 2\nstatic char b0_bits[] = { 0x05,\n0x02 };\n");
  EXPECT_EQ(rgb_loaded(f), pixels("#.# .#."));
}

// A value that cannot be read ends its row; the text running out leaves the
// remaining rows white.
TEST_F(Xbm, ShortArraysEndRowsEarly) {
  const Bytes f = text(
      "#define x_width 16\n#define x_height 3\nstatic char x_bits[] = {\n"
      "0xff, 0xzz, 0x0f, 0x01, 0xff };\n\n\n\n\n\n\n");
  // Row 0: 0xff then a bad value; row 1: 0x0f, 0x01; row 2: 0xff, then the
  // text ends.
  EXPECT_EQ(rgb_loaded(f), pixels("########........ ####....#....... ########........"));
}

TEST_F(Xbm, HeadersThatGiveNoSizeOrAnAbsurdOneAreRefused) {
  // Tabs do not separate words: no size is found.
  const Bytes tabs = text("#define\tx_width\t8\n#define\tx_height\t1\nstatic char x_bits[] = {0x00};\n");
  EXPECT_EQ(refusal(tabs), Codes{RXE_CANT_READ_HEADER});
  int32_t format = 0;
  EXPECT_NE(RX_memory_info_get(tabs.data(), tabs.size(), 1, &format, nullptr, nullptr), 0);
  EXPECT_EQ(error_codes(), Codes{RXE_CANT_READ_HEADER});
  // Sizes a file of this length cannot hold the values of.
  const Bytes huge = text("#define x_width 30000\n#define x_height 30000\nstatic char x_bits[] = {0x00};\n");
  EXPECT_EQ(refusal(huge), Codes{RXE_CANT_READ_PIXEL_DATA});
  const Bytes absurd = text("#define x_width 99999999999999999999\n#define x_height 1\n");
  EXPECT_EQ(refusal(absurd), Codes{RXE_INVALID_FILE_HEADER});
  const Bytes no_array = text("#define x_width 8\n#define x_height 1\n");
  EXPECT_EQ(refusal(no_array), Codes{RXE_CANT_READ_PIXEL_DATA});
  const Bytes ints = text("#define x_width 8\n#define x_height 1\nstatic int x_bits[] = {0x00};\n");
  EXPECT_EQ(refusal(ints), Codes{RXE_CANT_READ_PIXEL_DATA});
}

// The exact text: nine elements a line, the last one closing the array,
// bits reversed, and a set bit the darker colour.
TEST_F(Xbm, WriterTextIsExact) {
  // 72 x 1: nine bytes, so the one line is full when the array ends.
  Picture p{72, 1, 1, {Bytes(9)}, {{0, 0, 0}, {255, 255, 255}}};
  for (int i = 0; i < 9; ++i) p.rows[0][i] = static_cast<uint8_t>(0xFF - (1 << i % 8));
  RX_HIMAGE image = image_of(p);
  Bytes file;
  ASSERT_EQ(save(image, RX_FORMAT_XBM, &file), 0);
  RX_image_delete(image);
  // White is 1 in the image: the bits are turned over, then reversed.
  EXPECT_EQ(std::string(file.begin(), file.end()),
            "#define Xbitmap_width 72\r\n#define Xbitmap_height 1\r\n"
            "static unsigned char Xbitmap_bits[] = {\r\n"
            "        0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01, 0x80};\r\n");
  // Ten bytes: the tenth starts a second line.
  Picture q{80, 1, 1, {Bytes(10, 0x80)}, {{255, 255, 255}, {0, 0, 0}}};
  image = image_of(q);
  ASSERT_EQ(save(image, RX_FORMAT_XBM, &file), 0);
  RX_image_delete(image);
  const std::string s(file.begin(), file.end());
  EXPECT_NE(s.find("0x01, 0x01, \r\n        0x01};\r\n"), std::string::npos) << s;
  EXPECT_EQ(rgb_loaded(file), rgb_of(q));
}

TEST_F(Xbm, WritingADeeperImageFails) {
  RX_HIMAGE image = image_of(picture(8));
  Bytes file;
  EXPECT_NE(save(image, RX_FORMAT_XBM, &file), 0);
  EXPECT_EQ(error_codes(), Codes{RXE_INVALID_BITCOUNT_FOR_FORMAT});
  EXPECT_EQ(error_entries().at(0).iVal, 8);
  RX_image_delete(image);
}

TEST_F(Xbm, WrittenFilesReadBackAndPeersAgree) {
  PeerDir peers("xbm");
  for (int32_t width : {1, 8, 37, 100}) {
    Picture p = picture(1, width, 5);
    for (int flip = 0; flip < 2; ++flip) {
      if (flip) p.palette = {{255, 255, 255}, {0, 0, 0}};
      RX_HIMAGE image = image_of(p);
      Bytes file;
      ASSERT_EQ(save(image, RX_FORMAT_XBM, &file), 0);
      RX_image_delete(image);
      EXPECT_EQ(rgb_loaded(file), rgb_of(p)) << width;
      peers.keep("w" + std::to_string(width) + "_" + std::to_string(flip) + ".xbm", file, rgb_of(p));
    }
  }
  RX_NEED_PEER(have_peers(), kPeerReaders);
  const int status = peers.check();
  EXPECT_EQ(status, 0) << peers.dir;
  peers.done(status == 0);
}

TEST_F(Xbm, DamagedFilesFailCleanly) { bad_files_fail("xbm"); }

}  // namespace
