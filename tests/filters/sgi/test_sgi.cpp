// The SGI filter: grey and colour files, plain and run-length coded, rows
// from the bottom of the planes; colour map kinds; headers, tables and
// offsets that lie; the writer's files byte for byte and its row coding.
// Files other programs wrote load with their pixels, and ours in theirs.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "filters/bmp/bmp_harness.h"
#include "filters/raster_samples.h"
#include "filters/sgi/sgi.h"
#include "filters/sgi/sgi_format.h"
#include "support/engine_fixture.h"

namespace {

using bmpt::Bytes;
namespace fs = std::filesystem;

void put_be(Bytes& b, uint32_t v, int bytes) {
  for (int k = bytes - 1; k >= 0; --k) b.push_back(uint8_t(v >> 8 * k));
}

// An SGI file whose plane c, file row r (0 at the bottom), holds the
// bytes 100 c + 10 r + x. Coded rows are one literal packet each.
struct Sgi {
  uint8_t storage = 0, bpc = 1;
  uint16_t dimension = 3, x = 3, y = 2, z = 3;
  uint32_t colormap = 0;
  std::vector<uint32_t> starts{}, lengths{};  // when set, replace the tables made
  uint32_t cut = 0;  // when set, the file is the header and zeros up to this size

  Bytes row(uint32_t c, uint32_t r) const {
    Bytes b(x);
    for (uint32_t i = 0; i < x; ++i) b[i] = uint8_t(100 * c + 10 * r + i);
    return b;
  }
  Bytes build() const {
    Bytes f;
    put_be(f, 474, 2);
    f.push_back(storage);
    f.push_back(bpc);
    for (uint32_t v : {uint32_t(dimension), uint32_t(x), uint32_t(y), uint32_t(z)}) put_be(f, v, 2);
    put_be(f, 0, 4);
    put_be(f, 255, 4);
    f.resize(104, 0);
    put_be(f, colormap, 4);
    f.resize(512, 0);
    if (cut != 0) {
      f.resize(cut, 0);
      return f;
    }
    const uint32_t planes = dimension == 3 ? z : 1, rows = dimension == 1 ? 1 : y;
    if (storage == 0) {
      for (uint32_t c = 0; c < planes; ++c)
        for (uint32_t r = 0; r < rows; ++r) {
          const Bytes b = row(c, r);
          f.insert(f.end(), b.begin(), b.end());
        }
      return f;
    }
    Bytes data;
    std::vector<uint32_t> s, l;
    const uint32_t first = 512 + 8 * rows * planes;
    for (uint32_t c = 0; c < planes; ++c)
      for (uint32_t r = 0; r < rows; ++r) {
        s.push_back(first + uint32_t(data.size()));
        data.push_back(uint8_t(0x80 | x));
        const Bytes b = row(c, r);
        data.insert(data.end(), b.begin(), b.end());
        data.push_back(0);
        l.push_back(x + 2);
      }
    for (uint32_t v : starts.empty() ? s : starts) put_be(f, v, 4);
    for (uint32_t v : lengths.empty() ? l : lengths) put_be(f, v, 4);
    f.insert(f.end(), data.begin(), data.end());
    return f;
  }
};

class SgiTest : public EngineTest {
 protected:
  int32_t load(const Bytes& data, bmpt::Image* out = nullptr) {
    bmpt::Stream s(data);
    RPb_AF_error_clear();
    const int32_t errors = rx::sgi_read(&s.io, nullptr, 1, 1);
    if (out != nullptr) *out = s.image;
    EXPECT_TRUE(errors == 0 || RPb_IO_tell(&s.io) == 0) << "a failed read rewinds";
    return errors == 0 ? 0 : error_codes().at(0);
  }
};

TEST_F(SgiTest, Detection) {
  const auto format_of = [](Bytes f) {
    int32_t format = -1;
    RX_memory_info_get(f.data(), int32_t(f.size()), 1, &format, nullptr, nullptr);
    return format;
  };
  EXPECT_EQ(format_of(Sgi{}.build()), RX_FORMAT_SGI);
  Bytes swapped = Sgi{}.build();
  std::swap(swapped[0], swapped[1]);
  EXPECT_NE(format_of(swapped), RX_FORMAT_SGI);
}

TEST_F(SgiTest, ColourFilesTopRowIsTheLastRowOfThePlanes) {
  for (uint8_t storage : {0, 1}) {
    bmpt::Image im;
    ASSERT_EQ(load(Sgi{.storage = storage}.build(), &im), 0);
    EXPECT_EQ(im.header.biBitCount, 24);
    // Top row: file row 1; blue (plane 2) first.
    EXPECT_EQ(im.rows[0], (Bytes{210, 110, 10, 211, 111, 11, 212, 112, 12, 0, 0, 0}));
    EXPECT_EQ(im.rows[1], (Bytes{200, 100, 0, 201, 101, 1, 202, 102, 2, 0, 0, 0}));
    // An alpha plane after the colours is not read.
    ASSERT_EQ(load(Sgi{.storage = storage, .z = 4}.build(), &im), 0);
    EXPECT_EQ(im.rows[0], (Bytes{210, 110, 10, 211, 111, 11, 212, 112, 12, 0, 0, 0}));
  }
}

TEST_F(SgiTest, GreyFiles) {
  for (auto [dimension, z] : {std::pair{2, 1}, {3, 1}, {3, 2}}) {
    bmpt::Image im;
    ASSERT_EQ(load(Sgi{.storage = 1, .dimension = uint16_t(dimension), .z = uint16_t(z)}.build(), &im), 0);
    EXPECT_EQ(im.header.biBitCount, 8);
    EXPECT_EQ(im.rows[0], (Bytes{10, 11, 12, 0}));
    EXPECT_EQ(im.palette[77].rgbRed, 77);
    EXPECT_EQ(im.palette[77].rgbBlue, 77);
  }
  bmpt::Image im;
  ASSERT_EQ(load(Sgi{.dimension = 1, .y = 7}.build(), &im), 0) << "one dimension: one row";
  EXPECT_EQ(std::make_pair(im.header.biHeight, im.rows[0]), std::make_pair(1, Bytes{0, 1, 2, 0}));
}

TEST_F(SgiTest, ColourMapKinds) {
  bmpt::Image im;
  ASSERT_EQ(load(Sgi{.dimension = 2, .colormap = 1}.build(), &im), 0);
  EXPECT_EQ(std::vector<int>({im.palette[0xE3].rgbRed, im.palette[0xE3].rgbGreen, im.palette[0xE3].rgbBlue}),
            std::vector<int>({255, 0, 255})) << "dithered: red, green and blue in 3, 3 and 2 bits";
  EXPECT_EQ(load(Sgi{.colormap = 2}.build()), RXE_INVALID_FILE_HEADER);
  EXPECT_EQ(load(Sgi{.colormap = 3}.build()), RXE_INVALID_FILE_TYPE);
  EXPECT_EQ(error_entries().at(0).iVal, 3);
}

TEST_F(SgiTest, RowDecoding) {
  Bytes out(5, 0xAA);
  rx::sgi_row_decode(Bytes{3, 7, 0x82, 1, 2, 0}.data(), 6, out.data(), 5);
  EXPECT_EQ(out, (Bytes{7, 7, 7, 1, 2}));
  // A packet that would pass the end of the row ends the row; so does the
  // end of the coded bytes, in a literal or before a run's value.
  out.assign(5, 0xAA);
  rx::sgi_row_decode(Bytes{2, 7, 4, 9}.data(), 4, out.data(), 5);
  EXPECT_EQ(out, (Bytes{7, 7, 0xAA, 0xAA, 0xAA}));
  out.assign(5, 0xAA);
  rx::sgi_row_decode(Bytes{0x83, 1, 2}.data(), 3, out.data(), 5);
  EXPECT_EQ(out, Bytes(5, 0xAA));
  rx::sgi_row_decode(Bytes{0x81, 1, 3}.data(), 3, out.data(), 5);
  EXPECT_EQ(out, (Bytes{1, 0xAA, 0xAA, 0xAA, 0xAA}));
}

TEST_F(SgiTest, RowCoding) {
  Bytes out(11);
  ASSERT_EQ(rx::sgi_row_encode(Bytes{7, 7, 7, 1, 2}.data(), 5, out.data()), 6u);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 6), (Bytes{3, 7, 130, 1, 2, 0}));
  Bytes same(300, 4), coded(rx::sgi_coded_row_max(300));
  ASSERT_EQ(rx::sgi_row_encode(same.data(), 300, coded.data()), 7u);
  EXPECT_EQ(Bytes(coded.begin(), coded.begin() + 7), (Bytes{127, 4, 127, 4, 46, 4, 0}));
  // Any row fits the longest coding and decodes to itself.
  Bytes row(257);
  for (size_t i = 0; i < row.size(); ++i) row[i] = uint8_t(i * 7 % 3 == 0 ? 5 : i);
  Bytes big(rx::sgi_coded_row_max(row.size()) + 8, 0xEE), back(row.size());
  const size_t n = rx::sgi_row_encode(row.data(), row.size(), big.data());
  EXPECT_LE(n, rx::sgi_coded_row_max(row.size()));
  rx::sgi_row_decode(big.data(), n, back.data(), back.size());
  EXPECT_EQ(back, row);
}

TEST_F(SgiTest, HeadersTablesAndOffsetsThatLie) {
  const auto refused = [&](const Bytes& f, int32_t code, const char* what) {
    bmpt::Stream s(f);
    RPb_AF_error_clear();
    EXPECT_NE(rx::sgi_read(&s.io, nullptr, 1, 1), 0) << what;
    EXPECT_EQ(error_codes().at(0), code) << what;
    EXPECT_EQ(s.image.creates, 0) << what;
  };
  refused(Bytes(100, 1), RXE_CANT_READ_HEADER, "a short header");
  Bytes magic = Sgi{}.build();
  magic[1] = 0xDB;
  refused(magic, RXE_INVALID_FILE_TYPE, "not the magic");
  refused(Sgi{.dimension = 4}.build(), RXE_INVALID_FILE_TYPE, "four dimensions");
  refused(Sgi{.bpc = 2}.build(), RXE_INVALID_FILE_HEADER, "two bytes a channel");
  refused(Sgi{.storage = 2}.build(), RXE_INVALID_FILE_HEADER, "unknown storage");
  refused(Sgi{.z = 0}.build(), RXE_INVALID_FILE_HEADER, "no channel");
  refused(Sgi{.x = 0}.build(), RXE_INVALID_FILE_HEADER, "no width");
  const Bytes big = Sgi{.dimension = 2, .x = 40000, .y = 40000, .z = 1, .cut = 4096}.build();
  refused(big, RXE_CANT_READ_PIXEL_DATA, "gigabytes of plain planes in a small file");
  const Bytes tables = Sgi{.storage = 1, .dimension = 2, .x = 40000, .y = 40000, .z = 1, .cut = 4096}.build();
  refused(tables, RXE_CANT_READ_PIXEL_DATA, "tables longer than the file");
  // Rows the tables put outside the file fail when they are reached.
  Sgi outside{.storage = 1};
  outside.starts = {600, 600, 0x7FFFFFFF, 600, 600, 600};
  EXPECT_EQ(load(outside.build()), RXE_CANT_READ_PIXEL_DATA);
  outside.starts = {600, 600, 0xFFFFFFF0, 600, 600, 600};
  EXPECT_EQ(load(outside.build()), RXE_CANT_READ_PIXEL_DATA);
  Sgi longer{.storage = 1};
  longer.lengths = {5, 5, 5, 5, 5, 0xFFFFFFFF};
  EXPECT_EQ(load(longer.build()), RXE_CANT_READ_PIXEL_DATA) << "a length past the end of the file";
  // A stored length longer than any coding needs is read no further than
  // that coding; pixels the data does not reach stay 0.
  Sgi padded{.storage = 1, .dimension = 2, .x = 3, .y = 2, .z = 1};
  Bytes f = padded.build();
  f.insert(f.end(), 20, 0);
  for (int k = 0; k < 2; ++k) f[512 + 8 + 4 * k + 3] = 27;  // lengths of 27
  bmpt::Image im;
  ASSERT_EQ(load(f, &im), 0);
  EXPECT_EQ(im.rows[1], (Bytes{0, 1, 2, 0}));
  Sgi empty_rows{.storage = 1, .dimension = 2, .z = 1};
  empty_rows.lengths = {0, 0};
  ASSERT_EQ(load(empty_rows.build(), &im), 0);
  EXPECT_EQ(im.rows[0], (Bytes{0, 0, 0, 0}));
}

TEST_F(SgiTest, InfoDescribesThePage) {
  const Bytes f = Sgi{.storage = 1}.build();
  RX_BITMAPINFOHEADER h{};
  int32_t format = 0, compression = -1;
  ASSERT_EQ(RX_memory_info_get(f.data(), int32_t(f.size()), 1, &format, &compression, &h), 0);
  EXPECT_EQ(std::vector<int32_t>({format, compression, h.biWidth, h.biHeight, h.biBitCount}),
            std::vector<int32_t>({RX_FORMAT_SGI, RX_COMPRESSION_RLE, 3, 2, 24}));
}

// Files other programs wrote load with their pixels, page by page.
TEST_F(SgiTest, PeerFilesLoadWithTheirPixels) { rast::peer_files_load("sgi", ".sgi", 10); }

TEST_F(SgiTest, DamagedFilesGiveOnlyAnError) { rast::bad_files_fail("sgi"); }

}  // namespace
