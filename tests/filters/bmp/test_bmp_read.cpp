// The BMP reader: header variants, row order, palettes, 16-bit and run
// rows, tags, and every way a file can be short, oversized or inconsistent.
// Files written by other programs load with exactly their pixels.
#include <climits>
#include <filesystem>

#include "SUPPORT/img_ctrl.h"
#include "filters/bmp/bmp_harness.h"
#include "filters/raster_samples.h"
#include "support/engine_fixture.h"

namespace {

using bmpt::Bytes;
using bmpt::File;
namespace fs = std::filesystem;

Bytes numbered(size_t n) {
  Bytes b(n);
  for (size_t k = 0; k < n; ++k) b[k] = static_cast<uint8_t>(k * 7);
  return b;
}

class BmpRead : public EngineTest {
 protected:
  // The first error code, 0 on success; a failed read must rewind.
  int32_t load(const Bytes& data, bmpt::Image* out = nullptr, rx::BMP_FLAGS* flags = nullptr) {
    bmpt::Stream s(data);
    RPb_AF_error_clear();
    const int32_t errors = rx::bmp_read(&s.io, flags, 1, 1);
    if (out != nullptr) *out = s.image;
    EXPECT_TRUE(errors == 0 || RPb_IO_tell(&s.io) == 0) << "a failed read rewinds";
    return errors == 0 ? 0 : error_codes().at(0);
  }
};

TEST_F(BmpRead, HeaderVariantsAndRowOrder) {
  for (uint32_t size : {12u, 40u, 64u}) {
    bmpt::Image im;
    ASSERT_EQ(load(File{.header_size = size, .width = 3, .pixels = numbered(8)}.build(), &im), 0);
    const RX_BITMAPINFOHEADER& h = im.header;
    EXPECT_EQ(std::vector<int32_t>({h.biWidth, h.biHeight, h.biBitCount, int32_t(h.biCompression), h.biYPelsPerMeter}),
              std::vector<int32_t>({3, 2, 8, 0, size == 12 ? 0 : 3780}));
    EXPECT_EQ(im.palette[200].rgbRed, 200 ^ 0x5A);
    EXPECT_EQ(im.order, (std::vector<int32_t>{1, 0})) << "the first stored row is the bottom";
    EXPECT_EQ(im.rows[1], numbered(4));
  }
  bmpt::Image im;
  rx::BMP_FLAGS flags{0, 1, 0};
  ASSERT_EQ(load(File{.height = -10, .pixels = numbered(40)}.build(), &im, &flags), 0);
  EXPECT_EQ(std::make_pair(im.header.biHeight, flags.top_down), std::make_pair(10, 1u));
  EXPECT_EQ(im.rows[0], numbered(4)) << "top-down: the first stored row is the top";
  ASSERT_EQ(load(File{.file_header = false, .pixels = numbered(8)}.build(), &im), 0) << "bare DIB";
  EXPECT_EQ(im.rows[1], numbered(4));
  // 16 bits: all 31; then the unused top bit, red 1, green 2, blue 3.
  ASSERT_EQ(load(File{.width = 2, .height = 1, .bits = 16, .pixels = {0xFF, 0x7F, 0x43, 0x84}}.build(), &im), 0);
  EXPECT_EQ(im.header.biBitCount, 24);
  EXPECT_EQ(im.rows[0], (Bytes{248, 248, 248, 24, 16, 8, 0, 0}));
}

TEST_F(BmpRead, RefusedBeforeTheImageIsMade) {
  const Bytes good = File{.pixels = numbered(8)}.build();
  auto cut = [&](size_t n) { return Bytes(good.begin(), good.begin() + n); };
  auto with = [&](size_t at, uint8_t v) { Bytes b = good; b[at] = v; return b; };
  auto kind = [](uint32_t size, uint16_t bits, uint32_t c) {
    return File{.header_size = size, .bits = bits, .compression = c, .pixels = Bytes(64)}.build();
  };
  auto sized = [](int32_t w, int32_t h) { return File{.width = w, .height = h, .bits = 24}.build(); };
  const std::tuple<Bytes, int32_t, int32_t, int32_t> cases[] = {
      {cut(1), RXE_CANT_READ_HEADER, 2, 1},
      {cut(9), RXE_CANT_READ_HEADER, 14, 9},
      {cut(16), RXE_CANT_READ_HEADER, 4, 2},
      {cut(40), RXE_CANT_READ_HEADER, 40, 26},
      {cut(100), RXE_CANT_READ_PALETTE, 1024, 46},
      {cut(good.size() - 1), RXE_CANT_READ_PIXEL_DATA, 7, 8},
      {with(10, 0xF0), RXE_CANT_READ_PIXEL_DATA, 0, 8},  // data offset past the end
      {with(13, 0x90), RXE_CANT_READ_PIXEL_DATA, 0, 8},  // and past 2 GB
      {with(14, 41), RXE_INVALID_FILE_HEADER, 41, 0},
      {File{.header_size = 12, .file_header = false}.build(), RXE_INVALID_FILE_HEADER, 12, 0},
      {kind(40, 32, 0), RXE_INVALID_BITCOUNT_FOR_FORMAT, 32, 0},
      {kind(12, 16, 0), RXE_INVALID_BITCOUNT_FOR_FORMAT, 16, 0},
      {kind(40, 16, 3), RXE_INVALID_COMPRESSION, 3, 16},  // colour masks
      {kind(40, 8, 2), RXE_INVALID_COMPRESSION, 2, 8},
      {kind(40, 24, 1), RXE_INVALID_COMPRESSION, 1, 24},
      {kind(64, 1, 500), RXE_INVALID_COMPRESSION, 500, 1},
      {sized(INT32_MAX, INT32_MAX), RXE_INVALID_FILE_HEADER, INT32_MAX, INT32_MAX},
      {sized(70000, 70000), RXE_INVALID_FILE_HEADER, 70000, 70000},
      {sized(-4, 5), RXE_INVALID_FILE_HEADER, -4, 5},
      {sized(4, 0), RXE_INVALID_FILE_HEADER, 4, 0},
      {sized(4, INT32_MIN), RXE_INVALID_FILE_HEADER, 4, INT32_MIN},
  };
  for (const auto& [data, code, iVal, lVal] : cases) {
    bmpt::Image im;
    EXPECT_EQ(load(data, &im), code) << data.size();
    const ErrorEntry e = error_entries().at(0);
    EXPECT_EQ(std::vector<int32_t>({e.iVal, e.lVal, im.creates}), std::vector<int32_t>({iVal, lVal, 0})) << data.size();
  }
}

TEST_F(BmpRead, Palettes) {
  Bytes file = File{.bits = 1, .pixels = Bytes(8)}.build();
  for (size_t at : {54u, 55u, 56u, 58u, 59u, 60u}) file[at] = 40;
  bmpt::Image im;
  ASSERT_EQ(load(file, &im), 0);
  EXPECT_EQ(std::vector<int>({im.palette[0].rgbRed, im.palette[1].rgbBlue}), std::vector<int>({0, 255}))
      << "two equal colours become black and white";
  // Above 2^bits colours the first 256 are kept, and a bare DIB's pixels
  // are found after the whole table; below, the rest are black.
  ASSERT_EQ(load(File{.colors_used = 300, .file_header = false, .pixels = numbered(8)}.build(), &im), 0);
  EXPECT_EQ(std::vector<int>({im.palette[255].rgbBlue, im.rows[1][1]}), std::vector<int>({255, 7}));
  ASSERT_EQ(load(File{.colors_used = 2, .pixels = numbered(8)}.build(), &im), 0);
  EXPECT_EQ(std::vector<int>({im.palette[1].rgbGreen, im.palette[2].rgbGreen}), std::vector<int>({254, 0}));
}

TEST_F(BmpRead, RowsAcrossTransferBlocks) {
  // A stride above the block goes one row at a time; 100 bytes, 655 rows.
  for (auto [w, h, bits] : {std::tuple{22000, 2, 24}, {100, 700, 8}}) {
    const size_t stride = rx::dib_stride(bits, w);
    File f{.width = w, .height = h, .bits = uint16_t(bits)};
    for (int r = 0; r < h; ++r) f.pixels.resize(f.pixels.size() + stride, uint8_t(r));
    bmpt::Image im;
    ASSERT_EQ(load(f.build(), &im), 0);
    for (int r = 0; r < h; ++r) ASSERT_EQ(im.rows[h - 1 - r], Bytes(stride, uint8_t(r))) << r;
  }
}

TEST_F(BmpRead, RunRows) {
  // Ones in columns 0-3; all ones with an odd length field; all zeros.
  File f{.width = 10, .height = 3, .bits = 1, .compression = RX_BI_RUNS};
  for (uint32_t v : {10, 4, 10, 10, 10, 9, 10, 10, 10, 10, 0, 10, 10, 10}) bmpt::put(f.pixels, v, 2);
  bmpt::Image im;
  ASSERT_EQ(load(f.build(), &im), 0);
  EXPECT_EQ(im.header.biCompression, uint32_t{RX_BI_RUNS});
  EXPECT_EQ(im.order, (std::vector<int32_t>{0, 1, 2})) << "run rows come top row first";
  EXPECT_EQ(im.rows[1], (Bytes{8, 0, 10, 0, 10, 0, 10, 0})) << "odd lengths are made even";
  for (auto [at, v] : {std::pair{0, 4}, {0, 31}, {2, 11}}) {  // too short, too long, past the width
    File bad = f;
    bad.pixels[at] = uint8_t(v);
    EXPECT_EQ(load(bad.build()), RXE_TIFF_DATA_UNEXPECTED) << at << " " << v;
  }
  f.pixels.resize(f.pixels.size() - 2);
  EXPECT_EQ(load(f.build()), RXE_CANT_READ_PIXEL_DATA);
}

std::vector<std::tuple<int32_t, int32_t, uint32_t>> g_tags;

TEST_F(BmpRead, RunLengthInfoTagsAndPages) {
  // The 64-byte header's codes 1 and 2 both mean run-length, whatever the depth.
  const Bytes file = File{.header_size = 64, .width = 3, .height = -2, .compression = 2,
                          .pixels = {3, 1, 0, 0, 0, 3, 4, 5, 6, 0, 0, 1}}.build();
  bmpt::Stream s(file);
  s.io.tag_set = [](uintptr_t, int32_t id, int32_t type, uintptr_t data, int32_t) {
    g_tags.emplace_back(id, type, static_cast<uint32_t>(data));
    return 1;
  };
  ASSERT_EQ(rx::bmp_read(&s.io, nullptr, 1, 1), 0);
  EXPECT_EQ(s.image.rows, (std::vector<Bytes>{{1, 1, 1, 0}, {4, 5, 6, 0}}));
  ASSERT_EQ(g_tags.size(), 17u);
  EXPECT_EQ(g_tags[2], std::make_tuple(102, 4, 0xFFFFFFFEu));
  EXPECT_EQ(g_tags[11], std::make_tuple(111, 3, 0x0605u)) << "the reserved word has no tag";
  EXPECT_EQ(g_tags[16], std::make_tuple(116, 4, 0x18171615u));

  RX_BITMAPINFOHEADER h{};
  std::vector<RX_RGBQUAD> palette(256);
  int32_t compression = -1, pages = 0;
  bmpt::Stream again(file);
  ASSERT_EQ(rx::bmp_info(&again.io, &h, palette.data(), &compression, nullptr, 1), 0);
  EXPECT_EQ(std::vector<int>({compression, h.biHeight, palette[9].rgbBlue, again.image.creates}),
            std::vector<int>({RX_COMPRESSION_RLE, 2, 9, 0}));
  bmpt::Stream bad(File{.bits = 32}.build());
  RPb_AF_error_clear();
  EXPECT_EQ(rx::bmp_info(&bad.io, &h, palette.data(), &compression, nullptr, 1), 2);
  EXPECT_EQ(error_codes(), (std::vector<int32_t>{RXE_INVALID_BITCOUNT_FOR_FORMAT, RXE_CANT_READ_HEADER}));
  EXPECT_EQ(rx::bmp_page_count(&s.io, nullptr, &pages), 0);
  EXPECT_EQ(pages, 1);
}

std::vector<fs::path> files_in(const char* dir) {
  std::vector<fs::path> out;
  for (const auto& e : fs::directory_iterator(fs::path(RX_TEST_DATA_DIR) / dir))
    if (e.path().extension() == ".bmp") out.push_back(e.path());
  return out;
}

// Directly and through the load pipeline.
TEST_F(BmpRead, PeerFilesLoadWithTheirPixels) {
  const auto files = files_in("bmp/peer");
  ASSERT_GE(files.size(), 10u);
  for (fs::path p : files) {
    const Bytes file = bmpt::slurp(p);
    bmpt::Image im;
    RX_HIMAGE image = 0;
    ASSERT_EQ(load(file, &im), 0) << p.filename();
    ASSERT_EQ(RX_image_load_memory(file.data(), file.size(), 1, 1, &image), 0) << p.filename();
    const Bytes want = bmpt::slurp(p.replace_extension(".rgb"));
    EXPECT_EQ(bmpt::rgb_of(im), want) << p.filename();
    EXPECT_EQ(bmpt::rgb_of(bmpt::image_of_handle(image)), want) << p.filename();
    RX_image_delete(image);
  }
}

TEST_F(BmpRead, DamagedFilesGiveOnlyAnError) { rast::bad_files_fail("bmp"); }

}  // namespace
