// The icon filter: every image of a file as a page, what is and is not an
// icon, directories whose counts, sizes and offsets lie, and the writer's
// single-image files byte for byte. Files written by other programs load
// with their pixels, and ours load in theirs.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "filters/bmp/bmp_harness.h"
#include "filters/raster_samples.h"
#include "filters/ico/ico.h"
#include "support/engine_fixture.h"
#include "support/peers.h"

namespace {

using bmpt::Bytes;
using bmpt::get;
using bmpt::put;
namespace fs = std::filesystem;

// One image of an icon file: its directory values and its data.
struct Entry {
  uint8_t width = 32, height = 32, colors = 16;
  uint16_t bits = 4;           // in the bitmap header
  int32_t header_height = -1;  // -1: twice the height
  uint32_t offset = 0;         // 0: where it is laid down
};

// Palette entry i of an image: (i, 2 i, 3 i) as red, green, blue. Row y
// of an image is bytes y + 1, y + 2, ... from the top.
Bytes icon(const std::vector<Entry>& entries, uint16_t count = 0) {
  Bytes f;
  put(f, 0, 2);
  put(f, 1, 2);
  put(f, count ? count : uint16_t(entries.size()), 2);
  std::vector<Bytes> images;
  uint32_t at = uint32_t(6 + 16 * entries.size());
  for (const Entry& e : entries) {
    const uint32_t w = e.width ? e.width : 256, h = e.height ? e.height : 256;
    const uint32_t stride = uint32_t(rx::dib_stride(e.bits, w));
    Bytes d;
    for (uint32_t v : {40u, w, uint32_t(e.header_height < 0 ? 2 * h : e.header_height)}) put(d, v, 4);
    put(d, 1, 2);
    put(d, e.bits, 2);
    for (int k = 0; k < 6; ++k) put(d, 0, 4);
    for (uint32_t i = 0; i < e.colors; ++i) put(d, (3 * i & 0xFF) | (2 * i & 0xFF) << 8 | i << 16, 4);
    for (uint32_t y = h; y-- > 0;)
      for (uint32_t i = 0; i < stride; ++i) d.push_back(uint8_t(y + i + 1));
    d.insert(d.end(), size_t(rx::dib_stride(1, w)) * h, 0xFF);
    put(f, e.width, 1);
    put(f, e.height, 1);
    put(f, e.colors, 1);
    put(f, 0, 1);
    put(f, 1, 2);
    put(f, e.bits, 2);
    put(f, uint32_t(d.size()), 4);
    put(f, e.offset ? e.offset : at, 4);
    at += uint32_t(d.size());
    images.push_back(d);
  }
  for (const Bytes& d : images) f.insert(f.end(), d.begin(), d.end());
  return f;
}

class Ico : public EngineTest {
 protected:
  int32_t load(const Bytes& data, int32_t page, bmpt::Image* out = nullptr) {
    bmpt::Stream s(data);
    RPb_AF_error_clear();
    const int32_t errors = rx::ico_read(&s.io, nullptr, page, 1);
    if (out != nullptr) *out = s.image;
    EXPECT_TRUE(errors == 0 || RPb_IO_tell(&s.io) == 0) << "a failed read rewinds";
    EXPECT_TRUE(errors == 0 || s.image.creates == 0 || s.image.rows.size() > 0);
    return errors == 0 ? 0 : error_codes().at(0);
  }
  int32_t pages(const Bytes& data, int32_t* count) {
    RPb_AF_error_clear();
    return RX_memory_page_count_get(data.data(), int32_t(data.size()), count) == 0 ? 0 : error_codes().at(0);
  }
};

TEST_F(Ico, EveryImageIsAPage) {
  const Bytes f = icon({Entry{}, Entry{.width = 16, .height = 16, .colors = 2, .bits = 1}});
  int32_t count = 0;
  ASSERT_EQ(pages(f, &count), 0);
  EXPECT_EQ(count, 2);
  bmpt::Image im;
  ASSERT_EQ(load(f, 2, &im), 0);
  EXPECT_EQ(std::vector<int32_t>({im.header.biWidth, im.header.biHeight, im.header.biBitCount}),
            std::vector<int32_t>({16, 16, 1}));
  EXPECT_EQ(im.rows[0], (Bytes{1, 2, 3, 4})) << "the last stored row is the top";
  EXPECT_EQ(im.rows[15], (Bytes{16, 17, 18, 19}));
  EXPECT_EQ(im.order.front(), 15) << "rows arrive bottom first";
  EXPECT_EQ(im.palette[1].rgbRed, 1);
  ASSERT_EQ(load(f, 1, &im), 0);
  EXPECT_EQ(std::vector<int32_t>({im.header.biWidth, im.header.biBitCount}), std::vector<int32_t>({32, 4}));
  EXPECT_EQ(std::vector<int>({im.palette[15].rgbRed, im.palette[15].rgbGreen, im.palette[15].rgbBlue}),
            std::vector<int>({15, 30, 45}));
  EXPECT_EQ(load(f, 3), RXE_PAGE_NOT_IN_FILE);
  EXPECT_EQ(load(f, 0), RXE_PAGE_OUT_OF_RANGE);
  // Through the engine, page 2 of the same bytes.
  RX_HIMAGE h = 0;
  ASSERT_EQ(RX_image_load_memory(f.data(), int32_t(f.size()), 2, 1, &h), 0);
  EXPECT_EQ(bmpt::image_of_handle(h).header.biWidth, 16);
  RX_image_delete(h);
}

TEST_F(Ico, WhatIsAnIcon) {
  const auto format_of = [](const Bytes& f) {
    int32_t format = -1;
    RX_memory_info_get(f.data(), int32_t(f.size()), 1, &format, nullptr, nullptr);
    return format;
  };
  EXPECT_EQ(format_of(icon({Entry{}})), RX_FORMAT_ICO);
  EXPECT_NE(format_of(icon({Entry{.colors = 0, .bits = 8}})), RX_FORMAT_ICO) << "256 colours";
  EXPECT_NE(format_of(icon({Entry{.width = 48, .height = 48}})), RX_FORMAT_ICO);
  // Eight colours pass detection but have no depth.
  const Bytes eight = icon({Entry{.colors = 8, .bits = 3}});
  RPb_AF_error_clear();
  EXPECT_NE(RX_memory_info_get(eight.data(), int32_t(eight.size()), 1, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(error_codes().at(0), RXE_INVALID_BITCOUNT_FOR_FORMAT) << "detected, then refused";
  EXPECT_EQ(load(eight, 1), RXE_INVALID_BITCOUNT_FOR_FORMAT);
  // Other sizes past the first image are read; a size of 0 is 256.
  bmpt::Image im;
  ASSERT_EQ(load(icon({Entry{}, Entry{.width = 0, .height = 0, .colors = 2, .bits = 1}}), 2, &im), 0);
  EXPECT_EQ(im.header.biWidth, 256);
}

TEST_F(Ico, DirectoriesThatLie) {
  int32_t count = 0;
  bmpt::Stream empty(Bytes{0, 0, 1, 0, 0, 0, 32, 32, 16, 0, 1, 0, 4, 0, 0, 0});
  RPb_AF_error_clear();
  EXPECT_NE(rx::ico_page_count(&empty.io, nullptr, &count), 0);
  EXPECT_EQ(error_codes(), (std::vector<int32_t>{RXE_PAGE_OUT_OF_RANGE})) << "no image";
  bmpt::Stream short_head(Bytes{0, 0, 1, 0, 1, 0, 32, 32, 16});
  RPb_AF_error_clear();
  EXPECT_NE(rx::ico_page_count(&short_head.io, nullptr, &count), 0);
  EXPECT_EQ(error_codes(), (std::vector<int32_t>{RXE_PAGE_UNREADABLE}));
  // A count of five with one entry: page 3's entry is not there.
  Bytes five = icon({Entry{}}, 5);
  five.resize(6 + 16 * 2 + 10);
  EXPECT_EQ(load(five, 3), RXE_CANT_READ_HEADER);
  // Offsets past the end, into the middle of the directory, or to rows cut short.
  EXPECT_EQ(load(icon({Entry{.offset = 0x7FFFFFF0}}), 1), RXE_CANT_READ_HEADER);
  EXPECT_EQ(load(icon({Entry{.offset = 0xFFFFFFFF}}), 1), RXE_CANT_READ_HEADER);
  EXPECT_EQ(load(icon({Entry{.offset = 2}}), 1), RXE_INVALID_FILE_HEADER);
  Bytes cut = icon({Entry{}});
  cut.resize(22 + 40 + 64 + 100);
  EXPECT_EQ(load(cut, 1), RXE_CANT_READ_PIXEL_DATA);
  cut.resize(22 + 40 + 10);
  EXPECT_EQ(load(cut, 1), RXE_CANT_READ_PALETTE);
  // A bitmap header that describes another image than the directory.
  EXPECT_EQ(load(icon({Entry{.bits = 8}}), 1), RXE_INVALID_FILE_HEADER);
  EXPECT_EQ(load(icon({Entry{.header_height = 200}}), 1), RXE_INVALID_FILE_HEADER);
  bmpt::Image im;
  EXPECT_EQ(load(icon({Entry{.header_height = 32}}), 1, &im), 0) << "the colour rows' height alone";
}

class IcoWrite : public Ico {
 protected:
  int32_t save(const bmpt::Image& im, Bytes* out) {
    bmpt::Stream s(Bytes{}, 1 << 18);
    s.image = im;
    RPb_AF_error_clear();
    const int32_t errors = rx::ico_write(&s.io, nullptr, 0, 1, 0);
    *out = s.written();
    return errors == 0 ? 0 : error_codes().at(0);
  }
  static bmpt::Image image(int32_t width, int32_t height, int bits) {
    bmpt::Image im;
    RPb_DIB_init(&im.header, width, height, bits, 0, 0, 0);
    const uint32_t stride = uint32_t(rx::dib_stride(bits, width));
    for (int y = 0; y < height; ++y) {
      Bytes row(stride, 0);
      for (uint32_t i = 0; i < (uint32_t(bits) * width + 7) / 8; ++i) row[i] = uint8_t(y * 3 + i * 5);
      im.rows.push_back(row);
    }
    for (int i = 0; i < 256; ++i) im.palette[i] = RX_RGBQUAD{uint8_t(i), uint8_t(2 * i), uint8_t(255 - i), 0};
    return im;
  }
};

TEST_F(IcoWrite, OneImageWithAMaskThatShowsEverything) {
  const bmpt::Image im = image(32, 32, 4);
  Bytes f;
  ASSERT_EQ(save(im, &f), 0);
  // Header, directory entry, bitmap header: 16 x 32 colour bytes, 4 x 32
  // mask bytes and 64 palette bytes after the 40 of the header.
  const uint32_t resource = 16 * 32 + 4 * 32 + 64 + 40;
  ASSERT_EQ(f.size(), 22u + resource);
  EXPECT_EQ(std::vector<uint32_t>({get(f, 0, 2), get(f, 2, 2), get(f, 4, 2), f[6], f[7], f[8], f[9],
                                   get(f, 10, 2), get(f, 12, 2), get(f, 14), get(f, 18)}),
            std::vector<uint32_t>({0, 1, 1, 32, 32, 16, 0, 0, 0, resource, 22}));
  EXPECT_EQ(std::vector<uint32_t>({get(f, 22), get(f, 26), get(f, 30), get(f, 34, 2), get(f, 36, 2),
                                   get(f, 38), get(f, 42), get(f, 54)}),
            std::vector<uint32_t>({40, 32, 64, 1, 4, 0, 16 * 32, 0}));
  EXPECT_EQ(std::vector<int>({f[62 + 4 * 3], f[62 + 4 * 3 + 1], f[62 + 4 * 3 + 2]}), std::vector<int>({3, 6, 252}));
  EXPECT_EQ(Bytes(f.begin() + 126, f.begin() + 142), im.rows[31]) << "bottom row first";
  EXPECT_TRUE(std::all_of(f.end() - 4 * 32, f.end(), [](uint8_t b) { return b == 0; })) << "every pixel visible";
  bmpt::Image back;
  ASSERT_EQ(load(f, 1, &back), 0);
  EXPECT_EQ(back.rows, im.rows);
  EXPECT_EQ(rgb_of(back), rgb_of(im));
}

TEST_F(IcoWrite, ImagesThatAreNotIcons) {
  Bytes f;
  const bmpt::Image odd = image(100, 100, 4);
  EXPECT_EQ(save(odd, &f), RXE_DIB_SIZE_WRONG);
  ASSERT_EQ(f.size(), 22u + 40 + 64 + 52 * 100 + 16 * 100) << "written all the same";
  EXPECT_EQ(std::make_pair(f[6], f[7]), std::make_pair(uint8_t{100}, uint8_t{100}));
  EXPECT_EQ(save(image(32, 32, 8), &f), RXE_DIB_SIZE_WRONG);
  EXPECT_EQ(std::make_pair(f[8], get(f, 36, 2)), std::make_pair(uint8_t{0}, 8u)) << "256 colours stored as 0";
  EXPECT_EQ(save(image(300, 16, 1), &f), RXE_DIB_SIZE_WRONG);
  EXPECT_TRUE(f.empty()) << "a side the directory cannot hold is not written";
  // Through the engine: the count says the save failed, the file is there.
  RX_HIMAGE h = 0;
  Bytes dib(40 + 64 + 52 * 100);
  RPb_DIB_init(reinterpret_cast<RX_BITMAPINFOHEADER*>(dib.data()), 100, 100, 4, 0, 0, 0);
  ASSERT_EQ(RX_image_create_from_DIB(dib.data(), dib.size(), &h), 0);
  Bytes block(1 << 16);
  int32_t size = 0;
  EXPECT_EQ(RX_image_save_memory(h, block.data(), 0, int32_t(block.size()), 0, 1, RX_FORMAT_ICO, &size), 1);
  EXPECT_EQ(size, int32_t(22 + 40 + 64 + 52 * 100 + 16 * 100));
  RX_image_delete(h);
}

// Files other programs wrote load with their pixels, page by page.
TEST_F(Ico, PeerFilesLoadWithTheirPixels) { rast::peer_files_load("ico", ".ico", 4); }

TEST_F(IcoWrite, PeersReadOurFiles) {
  RX_NEED_PEER(rxtest::runnable(RX_PEER_PYTHON), "python3 with PIL");
  rast::PeerDir peers("ico");
  for (int bits : {1, 4})
    for (int side : {16, 32, 64}) {
      const bmpt::Image im = image(side, side, bits);
      Bytes f;
      ASSERT_EQ(save(im, &f), 0);
      const std::string name = "b" + std::to_string(bits) + "_s" + std::to_string(side);
      peers.keep(name + ".ico", f, rgb_of(im));
    }
  EXPECT_EQ(peers.check("check_ico_psd_sgi_with_peers.py"), 0) << "files in " << peers.dir;
  peers.done(!HasFailure());
}

TEST_F(Ico, DamagedFilesGiveOnlyAnError) { rast::bad_files_fail("ico"); }

}  // namespace
