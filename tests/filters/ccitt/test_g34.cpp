// Raw Group 3 and Group 4 files through the engine's raw load and its
// saves with format codes 11 and 12: samples coded by libtiff load to the
// pixels libtiff decodes, our files convert with libtiff's fax2tiff to our
// pixels, and damaged files fail with their codes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "SUPPORT/dib_size.h"
#include "filters/codecs/ccitt_harness.h"
#include "support/engine_fixture.h"
#ifdef RX_HAVE_PEER_LIBTIFF
#include "filters/codecs/tiff_peer.h"
#endif

using ccitt_test::Picture;

namespace {

const std::string kData = std::string(RX_TEST_DATA_DIR) + "/ccitt/";

// A binary PBM (set bits black).
Picture pbm(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::string magic;
  uint32_t w = 0, h = 0;
  f >> magic >> w >> h;
  f.get();
  Picture p(w, h);
  for (uint32_t y = 0; y < h; ++y) f.read(reinterpret_cast<char*>(p.rows[y].data()), (w + 7) / 8);
  return p.tidy();
}

// The rows of a 1-bit image as stored (set bits = palette entry 1).
Picture image_rows(RX_HIMAGE image) {
  int32_t w = 0, h = 0, bits = 0;
  RX_image_dimensions_get(image, &w, &h, &bits);
  Picture p(static_cast<uint32_t>(w), static_cast<uint32_t>(h));
  for (int32_t y = 0; y < h; ++y)
    EXPECT_EQ(RX_DIB_raster_get(image, y, p.rows[static_cast<size_t>(y)].data(), RX_ROW_PACKED), 0);
  return p.tidy();
}

// A 1-bit image of the picture; palette black, white unless `inverse`.
RX_HIMAGE make_image(const Picture& p, bool inverse = false) {
  const auto h = static_cast<int32_t>(p.rows.size());
  std::vector<uint8_t> dib(40 + 8 + size_t{p.stride()} * p.rows.size());
  RX_BITMAPINFOHEADER hd{40, static_cast<int32_t>(p.width), h, 1, 1, 0, 0, 0, 0, 2, 2};
  std::memcpy(dib.data(), &hd, 40);
  const uint8_t palette[8] = {0, 0, 0, 0, 255, 255, 255, 0};
  std::memcpy(dib.data() + 40, inverse ? palette + 4 : palette, 4);
  std::memcpy(dib.data() + 44, inverse ? palette : palette + 4, 4);
  for (int32_t y = 0; y < h; ++y)  // bottom-up
    std::memcpy(dib.data() + 48 + size_t{p.stride()} * (h - 1 - y), p.rows[y].data(), p.stride());
  RX_HIMAGE image = 0;
  EXPECT_EQ(RX_image_create_from_DIB(dib.data(), dib.size(), &image), 0);
  return image;
}

class RawFax : public EngineTest {
 protected:
  void TearDown() override {
    std::filesystem::remove_all(dir_);
    EngineTest::TearDown();
  }

  int32_t load(const std::string& path, int32_t width, int32_t height, int32_t compression,
               int32_t fill_order, RX_HIMAGE* image, off_t offset = 0) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    EXPECT_GT(fd, 0) << path;
    ::lseek(fd, offset, SEEK_SET);
    const int32_t n = RX_image_load_raw_CCITT(fd, width, height, compression, fill_order, image);
    ::close(fd);
    return n;
  }

  std::vector<uint8_t> save(RX_HIMAGE image, uint32_t format_word, int32_t* code) {
    std::vector<uint8_t> block(1 << 20);
    int32_t size = 0;
    *code = RX_image_save_memory(image, block.data(), 0, static_cast<int32_t>(block.size()), 0, 1,
                                 format_word, &size);
    block.resize(static_cast<size_t>(size));
    return block;
  }

  std::string dir_ = [] {
    char name[] = "/tmp/rx_rawfax_XXXXXX";
    return std::string(mkdtemp(name));
  }();
};

}  // namespace

TEST_F(RawFax, LoadsTheSamplesLibtiffCoded) {
  const Picture page = pbm(kData + "page.pbm");
  ASSERT_EQ(page.width, 240u);
  struct Sample {
    const char* file;
    int32_t compression, fill_order;
  } const samples[] = {{"page_g4.raw", 4, 1},
                       {"page_g4_lsb.raw", 0, 2},
                       {"page_g3.raw", 3, 1},
                       {"page_g3_fill_lsb.raw", 11, 2}};
  for (const Sample& s : samples) {
    RX_HIMAGE image = 0;
    ASSERT_EQ(load(kData + s.file, 240, 96, s.compression, s.fill_order, &image), 0) << s.file;
    int32_t code = 0;
    RX_image_compression_type_get(image, &code);
    EXPECT_EQ(code, RX_BI_RUNS);
    // The image's palette is black, white: set bits are white.
    EXPECT_TRUE(image_rows(image) == page.inverted()) << s.file;
    RX_image_delete(image);
  }
}

TEST_F(RawFax, DamagedFilesFailWithTheirCodes) {
  struct Bad {
    const char* file;
    int32_t compression;
    int32_t code;
  } const bad[] = {{"g4_truncated.raw", 4, RXE_CANT_READ_PIXEL_DATA},
                   {"g4_extension_code.raw", 4, RXE_GROUP_4_BAD_DECODING_STATE},
                   {"g3_all_ones.raw", 3, RXE_CANT_READ_PIXEL_DATA},
                   {"g3_zeros.raw", 3, RXE_CANT_READ_PIXEL_DATA},
                   {"g3_bad_code.raw", 3, RXE_GROUP_4_BAD_DECODING_STATE},
                   {"g3_truncated.raw", 3, RXE_CANT_READ_PIXEL_DATA}};
  for (const Bad& b : bad) {
    RX_HIMAGE image = 0;
    EXPECT_GT(load(kData + "bad/" + b.file, 240, 96, b.compression, 1, &image), 0) << b.file;
    EXPECT_EQ(error_codes().at(0), b.code) << b.file;
    EXPECT_EQ(image, 0u);
  }
  // Every file the fuzzer found troublesome, as Group 3 and as Group 4.
  for (const auto& entry : std::filesystem::directory_iterator(kData + "bad")) {
    for (int32_t compression : {3, 4}) {
      RX_HIMAGE image = 0;
      if (load(entry.path().string(), 1728, 200, compression, 1, &image) == 0) RX_image_delete(image);
    }
  }
}

TEST_F(RawFax, ReaderRefusesSizesItCannotHold) {
  const std::string path = kData + "page_g4.raw";
  RX_HIMAGE image = 0;
  for (auto [w, h] : {std::pair{0, 96}, {240, 0}, {-5, 96}, {40000, 96}}) {
    EXPECT_EQ(load(path, w, h, 4, 1, &image), 1);
    EXPECT_EQ(error_codes().at(0), RXE_PARAMETERS_OUT_OF_LIMITS);
    EXPECT_EQ(image, 0u);
  }
}

TEST_F(RawFax, WriterCodesAsTheCompressionAndOptionsSay) {
  // One white row of 8. Group 4: V0, EOFB.
  RX_HIMAGE image = make_image(Picture(8, 1).inverted());
  int32_t code = -1;
  EXPECT_EQ(save(image, 12, &code), (std::vector<uint8_t>{0x80, 0x08, 0x00, 0x80}));
  EXPECT_EQ(code, 0);
  // Group 3 with the fourth option word set (the default): 32-bit EOL
  // fields before and after the row, then six more.
  std::vector<uint8_t> aligned = {0, 0, 0, 1, 0x98, 0, 0, 1};
  for (int i = 0; i < 6; ++i) aligned.insert(aligned.end(), {0, 0, 0, 1});
  EXPECT_EQ(save(image, 11, &code), aligned);
  EXPECT_EQ(save(image, 12 | 3u << 16, &code), aligned) << "compression 3 chosen in the word";
  // With that word 0: byte-aligned EOLs and a plain RTC.
  uint32_t old = 0;
  RX_image_control_get(1065, &old);
  RX_image_control_set(1065, 0);
  EXPECT_EQ(save(image, 11, &code),
            (std::vector<uint8_t>{0x00, 0x01, 0x98, 0x00, 0x01, 0x00, 0x10, 0x01, 0x00, 0x10, 0x01,
                                  0x00, 0x10, 0x01}));
  RX_image_control_set(1065, old);
  // Two-dimensional Group 3: EOL ending on a byte, tag 1, the row, RTC.
  const std::vector<uint8_t> two_d = save(image, 11 | 5u << 16, &code);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(std::vector<uint8_t>(two_d.begin(), two_d.begin() + 3),
            (std::vector<uint8_t>{0x00, 0x01, 0xCC}));
  // White under the other palette order is still white.
  RX_HIMAGE inverse = make_image(Picture(8, 1), true);
  EXPECT_EQ(save(inverse, 12, &code), (std::vector<uint8_t>{0x80, 0x08, 0x00, 0x80}));
  RX_image_delete(inverse);
  RX_image_delete(image);
}

TEST_F(RawFax, WriterRefusesOtherDepthsAndCompressions) {
  std::vector<uint8_t> dib(40 + 1024 + 8 * 2, 0);
  RX_BITMAPINFOHEADER h{40, 8, 2, 1, 8, 0, 0, 0, 0, 0, 0};
  std::memcpy(dib.data(), &h, 40);
  RX_HIMAGE grey = 0;
  ASSERT_EQ(RX_image_create_from_DIB(dib.data(), dib.size(), &grey), 0);
  int32_t code = 0;
  save(grey, 12, &code);
  EXPECT_EQ(error_codes(), (std::vector<int32_t>{RXE_TIFF_DEPTH_INVALID_FOR_COMPRESSION}));
  save(grey, 11, &code);
  EXPECT_EQ(error_codes(), (std::vector<int32_t>{RXE_TIFF_DEPTH_INVALID_FOR_COMPRESSION}));
  RX_image_delete(grey);
  RX_HIMAGE image = make_image(Picture(8, 1));
  for (uint32_t compression : {1u, 2u, 6u, 7u}) {
    save(image, 12 | compression << 16, &code);
    EXPECT_EQ(error_codes(), (std::vector<int32_t>{RXE_INVALID_COMPRESSION})) << compression;
  }
  RX_image_delete(image);
}

// The noise page codes to more than one read block of the reader.
TEST_F(RawFax, SavedPagesLoadBack) {
  const Picture pages[] = {ccitt_test::text_page(1728, 500, 17),
                           ccitt_test::noise(1728, 300, 50, 3)};
  for (const Picture& page : pages) {
    RX_HIMAGE image = make_image(page);
    const auto height = static_cast<int32_t>(page.rows.size());
    for (uint32_t word : {11u, 12u, 11u | 3u << 16}) {
      int32_t code = -1;
      const std::vector<uint8_t> bytes = save(image, word, &code);
      ASSERT_EQ(code, 0);
      if (height == 300) {
        EXPECT_GT(bytes.size(), 65534u);
      }
      const std::string path = dir_ + "/page.raw";
      std::ofstream(path, std::ios::binary)
          .write(reinterpret_cast<const char*>(bytes.data()),
                 static_cast<std::streamsize>(bytes.size()));
      RX_HIMAGE back = 0;
      ASSERT_EQ(load(path, 1728, height, (word & 0xFFFF) == 11 ? 3 : 4, 1, &back), 0);
      EXPECT_TRUE(image_rows(back) == page) << word;
      RX_image_delete(back);
    }
    RX_image_delete(image);
  }
}

#ifdef RX_HAVE_PEER_LIBTIFF
// fax2tiff reads our raw files into TIFF files that libtiff decodes to our
// page (libtiff's pixels have set bits black).
TEST_F(RawFax, Fax2tiffReadsOurRawFiles) {
  if (std::system("command -v fax2tiff > /dev/null 2>&1") != 0) GTEST_SKIP() << "no fax2tiff";
  const Picture page = ccitt_test::text_page(1728, 300, 5);
  RX_HIMAGE image = make_image(page);
  struct Form {
    uint32_t word;
    const char* options;
  } const forms[] = {{12, "-4"}, {11, "-3 -1 -A"}, {11 | 5u << 16, "-3 -2 -A"}};
  for (const Form& f : forms) {
    int32_t code = -1;
    const std::vector<uint8_t> bytes = save(image, f.word, &code);
    ASSERT_EQ(code, 0);
    const std::string raw = dir_ + "/page.fax";
    const std::string tif = dir_ + "/page.tif";
    std::ofstream(raw, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                               static_cast<std::streamsize>(bytes.size()));
    std::ostringstream cmd;
    cmd << "fax2tiff -M -X 1728 " << f.options << " -o " << tif << " " << raw << " 2>/dev/null";
    ASSERT_EQ(std::system(cmd.str().c_str()), 0) << cmd.str();
    bool ok = false;
    Picture theirs = tiff_peer::read_pixels(tif, &ok);
    EXPECT_TRUE(ok);
    // fax2tiff counts the EOLs of an RTC or EOFB as blank rows of their
    // own (its own Group 4 files gain one row the same way).
    ASSERT_GE(theirs.rows.size(), page.rows.size()) << f.options;
    ASSERT_LE(theirs.rows.size(), page.rows.size() + 7) << f.options;
    for (size_t y = page.rows.size(); y < theirs.rows.size(); ++y)
      EXPECT_EQ(theirs.rows[y], std::vector<uint8_t>(page.stride(), 0)) << f.options;
    theirs.rows.resize(page.rows.size());
    EXPECT_TRUE(theirs == page.inverted()) << f.options;
  }
  RX_image_delete(image);
}
#endif
