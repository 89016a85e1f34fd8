// The PSD filter: every colour mode raw and PackBits-coded, planes put
// together through a temporary file that never outlives the load (and
// whose absence fails the load cleanly), files whose counts, sizes and
// lengths lie, and the writer's files byte for byte. Files written by
// other programs load with their pixels, and ours load in theirs.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "filters/bmp/bmp_harness.h"
#include "filters/raster_samples.h"
#include "filters/psd/psd.h"
#include "support/engine_fixture.h"

namespace {

using bmpt::Bytes;
namespace fs = std::filesystem;

void put_be(Bytes& b, uint32_t v, int bytes) {
  for (int k = bytes - 1; k >= 0; --k) b.push_back(uint8_t(v >> 8 * k));
}

// A PSD file; `planes` holds every channel's plane, rows of `plane_row`
// bytes, coded by `packbits` as one literal packet per row.
struct Psd {
  uint16_t version = 1, channels = 3, depth = 8, mode = 3, compression = 0;
  uint32_t width = 3, height = 3;
  Bytes color_data{}, resources = {1, 2, 3}, layers = {};
  std::vector<Bytes> planes{};
  Bytes coded{};  // when set: the data after the compression word, as given

  Bytes build() const {
    Bytes f = {'8', 'B', 'P', 'S'};
    put_be(f, version, 2);
    f.insert(f.end(), 6, 0);
    put_be(f, channels, 2);
    put_be(f, height, 4);
    put_be(f, width, 4);
    put_be(f, depth, 2);
    put_be(f, mode, 2);
    for (const Bytes* s : {&color_data, &resources, &layers}) {
      put_be(f, uint32_t(s->size()), 4);
      f.insert(f.end(), s->begin(), s->end());
    }
    put_be(f, compression, 2);
    if (!coded.empty()) {
      f.insert(f.end(), coded.begin(), coded.end());
      return f;
    }
    const uint32_t row = (depth * width + 7) / 8;
    if (compression == 0) {
      for (const Bytes& p : planes) f.insert(f.end(), p.begin(), p.end());
      return f;
    }
    for (size_t k = 0; k < planes.size() * height; ++k) put_be(f, row + 1, 2);
    for (const Bytes& p : planes)
      for (uint32_t y = 0; y < height; ++y) {
        f.push_back(uint8_t(row - 1));
        f.insert(f.end(), p.begin() + y * row, p.begin() + (y + 1) * row);
      }
    return f;
  }
};

// Points TMPDIR at a folder of its own for the test and puts it back.
class TempFolder {
 public:
  explicit TempFolder(bool present = true) {
    const char* old = std::getenv("TMPDIR");
    had_ = old != nullptr;
    if (had_) old_ = old;
    dir_ = fs::temp_directory_path() / ("rx_psd_tmp_" + std::to_string(getpid()));
    fs::create_directories(dir_);
    setenv("TMPDIR", (present ? dir_ : dir_ / "missing").c_str(), 1);
  }
  ~TempFolder() {
    if (had_) setenv("TMPDIR", old_.c_str(), 1);
    else unsetenv("TMPDIR");
    fs::remove_all(dir_);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  bool empty() const { return fs::is_empty(dir_); }

 private:
  fs::path dir_;
  std::string old_;
  bool had_ = false;
};

class PsdTest : public EngineTest {
 protected:
  // The first error code, 0 on success; a failed read must rewind.
  int32_t load(const Bytes& data, bmpt::Image* out = nullptr) {
    bmpt::Stream s(data);
    RPb_AF_error_clear();
    const int32_t errors = rx::psd_read(&s.io, nullptr, 1, 1);
    if (out != nullptr) *out = s.image;
    EXPECT_TRUE(errors == 0 || RPb_IO_tell(&s.io) == 0) << "a failed read rewinds";
    return errors == 0 ? 0 : error_codes().at(0);
  }
  static Bytes row_of(const bmpt::Image& im, int y) {
    const int32_t n = int32_t(rx::dib_stride(im.header.biBitCount, im.header.biWidth));
    Bytes r = im.rows.at(y);
    r.resize(n);
    return r;
  }
};

// Three planes of 3 x 3; pixel (x, y) of plane k is 10 k + 3 y + x.
std::vector<Bytes> counting_planes(int planes, uint8_t fill = 0) {
  std::vector<Bytes> p(planes, Bytes(9));
  for (int k = 0; k < planes; ++k)
    for (int i = 0; i < 9; ++i) p[k][i] = fill ? fill : uint8_t(10 * k + i + 1);
  return p;
}

TEST_F(PsdTest, ColourPlanesComeTogetherThroughATemporaryFileThatIsGone) {
  for (uint16_t compression : {0, 1}) {
    TempFolder folder;
    bmpt::Image im;
    ASSERT_EQ(load(Psd{.compression = compression, .planes = counting_planes(3)}.build(), &im), 0);
    EXPECT_EQ(im.header.biBitCount, 24);
    // Top row: red 1 2 3, green 11 12 13, blue 21 22 23; stored blue first.
    EXPECT_EQ(row_of(im, 0), (Bytes{21, 11, 1, 22, 12, 2, 23, 13, 3, 0, 0, 0}));
    EXPECT_EQ(row_of(im, 2), (Bytes{27, 17, 7, 28, 18, 8, 29, 19, 9, 0, 0, 0}));
    EXPECT_EQ(im.order, (std::vector<int32_t>{0, 1, 2}));
    EXPECT_TRUE(folder.empty()) << "nothing is left in the temporary folder";
  }
  // An alpha channel after the colours is skipped, raw and coded: the coded
  // table has a row length for each of the four channels.
  for (uint16_t compression : {0, 1}) {
    bmpt::Image im;
    ASSERT_EQ(load(Psd{.channels = 4, .compression = compression, .planes = counting_planes(4)}.build(), &im), 0);
    EXPECT_EQ(row_of(im, 0), (Bytes{21, 11, 1, 22, 12, 2, 23, 13, 3, 0, 0, 0}));
  }
}

TEST_F(PsdTest, CmykInksLeaveTheirLight) {
  bmpt::Image im;
  ASSERT_EQ(load(Psd{.channels = 4, .mode = 4, .planes = counting_planes(4, 255)}.build(), &im), 0);
  EXPECT_EQ(rgb_of(im), Bytes(27, 255)) << "every channel at 255 is white";
  // (200, 100, 50) darkened by 128: 200 x 128 / 255 = 100, 50 and 25.
  std::vector<Bytes> p = {Bytes(9, 200), Bytes(9, 100), Bytes(9, 50), Bytes(9, 128)};
  ASSERT_EQ(load(Psd{.channels = 4, .mode = 4, .compression = 1, .planes = p}.build(), &im), 0);
  EXPECT_EQ(row_of(im, 2), (Bytes{25, 50, 100, 25, 50, 100, 25, 50, 100, 0, 0, 0}));
}

TEST_F(PsdTest, LabIsShownAsSrgb) {
  // White, black, the middle grey, sRGB red and a dark green, under D50,
  // worked out with the CIE formulas and the sRGB curve.
  const std::vector<Bytes> p = {{255, 0, 128, 138, 100}, {128, 128, 128, 209, 90}, {128, 128, 128, 198, 170}};
  bmpt::Image im;
  ASSERT_EQ(load(Psd{.mode = 9, .width = 5, .height = 1, .planes = p}.build(), &im), 0);
  EXPECT_EQ(rgb_of(im), (Bytes{255, 255, 255, 0, 0, 0, 119, 119, 119, 255, 0, 0, 28, 107, 5}));
}

TEST_F(PsdTest, SinglePlaneModes) {
  // Grey and duotone: the first plane with the grey ramp; the duotone's
  // ink description is skipped.
  for (uint16_t mode : {1, 7, 8}) {
    bmpt::Image im;
    Psd f{.channels = 1, .mode = mode, .compression = 1, .planes = counting_planes(1)};
    if (mode == 8) f.color_data = Bytes(10, 0xCC);
    ASSERT_EQ(load(f.build(), &im), 0) << mode;
    EXPECT_EQ(im.header.biBitCount, 8);
    EXPECT_EQ(row_of(im, 1), (Bytes{4, 5, 6, 0}));
    EXPECT_EQ(im.palette[200].rgbRed, 200);
    EXPECT_EQ(im.palette[200].rgbBlue, 200);
  }
  // Indexed: 256 reds, then greens, then blues.
  Psd f{.channels = 1, .mode = 2, .planes = counting_planes(1)};
  for (int c = 0; c < 3; ++c)
    for (int i = 0; i < 256; ++i) f.color_data.push_back(uint8_t(i + 10 * c));
  bmpt::Image im;
  ASSERT_EQ(load(f.build(), &im), 0);
  EXPECT_EQ(std::vector<int>({im.palette[5].rgbRed, im.palette[5].rgbGreen, im.palette[5].rgbBlue}),
            std::vector<int>({5, 15, 25}));
  f.color_data.resize(700);
  EXPECT_EQ(load(f.build()), RXE_CANT_READ_PALETTE) << "an indexed file without its table";
  // Bitmap: set bits are black ink; the image keeps black at 0.
  ASSERT_EQ(load(Psd{.channels = 1, .depth = 1, .mode = 0, .width = 3, .height = 2, .planes = {{0xA0, 0x40}}}.build(), &im), 0);
  EXPECT_EQ(im.header.biBitCount, 1);
  EXPECT_EQ(rgb_of(im), (Bytes{0, 0, 0, 255, 255, 255, 0, 0, 0, 255, 255, 255, 0, 0, 0, 255, 255, 255}));
  EXPECT_EQ(row_of(im, 0), (Bytes{0x40, 0, 0, 0})) << "bits past the width stay clear";
}

TEST_F(PsdTest, TemporaryFileThatCannotBeMadeFailsTheLoad) {
  TempFolder folder(false);
  // RGB, CMYK and Lab, raw and coded: every mode that needs the file.
  for (uint16_t mode : {3, 4, 9})
    for (uint16_t compression : {0, 1}) {
      const uint16_t channels = mode == 4 ? 4 : 3;
      const Bytes f = Psd{.channels = channels, .mode = mode, .compression = compression,
                          .planes = counting_planes(channels)}.build();
      RX_HIMAGE image = 0;
      EXPECT_NE(RX_image_load_memory(f.data(), int32_t(f.size()), 1, 1, &image), 0) << mode;
      EXPECT_EQ(image, 0u);
      EXPECT_EQ(error_codes(), (std::vector<int32_t>{RXE_TEMP_FILE_FAILED})) << mode << " " << compression;
      EXPECT_TRUE(folder.empty());
    }
  // Single-plane files need none.
  const Bytes grey = Psd{.channels = 1, .mode = 1, .planes = counting_planes(1)}.build();
  RX_HIMAGE image = 0;
  EXPECT_EQ(RX_image_load_memory(grey.data(), int32_t(grey.size()), 1, 1, &image), 0);
  RX_image_delete(image);
}

TEST_F(PsdTest, CodedRowsAreOneStream) {
  // A run of five fills the first row of three and goes on into the next.
  bmpt::Image im;
  Bytes coded = {0, 4, 0, 4};
  coded.insert(coded.end(), {0xFC, 7, 0x00, 9});
  ASSERT_EQ(load(Psd{.channels = 1, .mode = 1, .compression = 1, .height = 2, .coded = coded}.build(), &im), 0);
  EXPECT_EQ(row_of(im, 0), (Bytes{7, 7, 7, 0}));
  EXPECT_EQ(row_of(im, 1), (Bytes{7, 7, 9, 0}));
}

TEST_F(PsdTest, HeadersThatLieAreRefusedBeforeTheImageIsMade) {
  const auto refused = [&](const Psd& f, int32_t code, const char* what) {
    bmpt::Stream s(f.build());
    RPb_AF_error_clear();
    EXPECT_NE(rx::psd_read(&s.io, nullptr, 1, 1), 0) << what;
    EXPECT_EQ(error_codes().at(0), code) << what;
    EXPECT_EQ(s.image.creates, 0) << what;
  };
  const auto planes = counting_planes(3);
  refused(Psd{.version = 2, .planes = planes}, RXE_INVALID_FILE_HEADER, "wider section lengths");
  refused(Psd{.depth = 16, .planes = planes}, RXE_INVALID_BITCOUNT_FOR_FORMAT, "16 bits a channel");
  refused(Psd{.channels = 2, .planes = planes}, RXE_INVALID_FILE_HEADER, "fewer channels than RGB has");
  refused(Psd{.channels = 0, .mode = 1, .planes = planes}, RXE_INVALID_FILE_HEADER, "no channel at all");
  refused(Psd{.compression = 2, .planes = planes}, RXE_INVALID_COMPRESSION, "deflate");
  refused(Psd{.width = 20000, .height = 20000, .planes = planes}, RXE_TIFF_IMAGE_DATA_READ_ERROR,
          "a gigabyte claimed by a few bytes");
  refused(Psd{.compression = 1, .width = 20000, .height = 20000, .coded = Bytes(100, 0x80)},
          RXE_TIFF_IMAGE_DATA_READ_ERROR, "coded rows that cannot all be there");
  refused(Psd{.width = 0, .planes = planes}, RXE_INVALID_FILE_HEADER, "no width");
  refused(Psd{.width = 0x7FFFFFFF, .height = 0x7FFFFFFF, .planes = planes}, RXE_INVALID_FILE_HEADER, "too large");
  Psd cut{.planes = planes};
  cut.resources.resize(3);
  Bytes f = cut.build();
  f[30] = 0x7F;  // the resources' length now points far past the end
  bmpt::Stream s(f);
  RPb_AF_error_clear();
  EXPECT_NE(rx::psd_read(&s.io, nullptr, 1, 1), 0);
  EXPECT_EQ(error_codes().at(0), RXE_CANT_READ_HEADER);
  EXPECT_EQ(load(Bytes{'8', 'B', 'P', 'S', 0, 1}), RXE_CANT_READ_HEADER);
  Bytes wrong = Psd{.planes = planes}.build();
  wrong[1] = 'C';
  EXPECT_EQ(load(wrong), RXE_INVALID_FILE_TYPE);
}

TEST_F(PsdTest, CutDataFailsAfterTheImageIsMade) {
  for (uint16_t compression : {0, 1}) {
    Bytes f = Psd{.channels = 1, .mode = 1, .compression = compression, .planes = counting_planes(1)}.build();
    f.resize(f.size() - 2);
    if (compression == 0) {
      EXPECT_EQ(load(f), RXE_TIFF_IMAGE_DATA_READ_ERROR);
    } else {
      // The shortest coding of the rows is still there, but not their data.
      EXPECT_EQ(load(f), RXE_TIFF_IMAGE_DATA_READ_ERROR);
    }
  }
}

// Colour files cut short fail part-way through laying down their planes, or
// while the planes are put together; the temporary file goes either way.
TEST_F(PsdTest, CutColourDataLeavesNoTemporaryFile) {
  TempFolder folder;
  for (uint16_t mode : {3, 4, 9})
    for (uint16_t compression : {0, 1})
      for (size_t cut : {1, 5, 12}) {
        const uint16_t channels = mode == 4 ? 4 : 3;
        Bytes f = Psd{.channels = channels, .mode = mode, .compression = compression,
                      .planes = counting_planes(channels)}.build();
        f.resize(f.size() - cut);
        EXPECT_EQ(load(f), RXE_TIFF_IMAGE_DATA_READ_ERROR) << mode << " " << compression << " " << cut;
        EXPECT_TRUE(folder.empty()) << mode << " " << compression << " " << cut;
      }
}

TEST_F(PsdTest, InfoDescribesThePage) {
  const Bytes f = Psd{.compression = 1, .planes = counting_planes(3)}.build();
  RX_BITMAPINFOHEADER h{};
  int32_t format = 0, compression = -1;
  ASSERT_EQ(RX_memory_info_get(f.data(), int32_t(f.size()), 1, &format, &compression, &h), 0);
  EXPECT_EQ(std::vector<int32_t>({format, compression, h.biWidth, h.biHeight, h.biBitCount}),
            std::vector<int32_t>({RX_FORMAT_PSD, RX_COMPRESSION_PACKBITS, 3, 3, 24}));
}

// Files other programs wrote load with their pixels, page by page.
TEST_F(PsdTest, PeerFilesLoadWithTheirPixels) { rast::peer_files_load("psd", ".psd", 12); }

TEST_F(PsdTest, DamagedFilesGiveOnlyAnError) { rast::bad_files_fail("psd"); }

}  // namespace
