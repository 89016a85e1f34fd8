// The PNG reader on hand-built files: what it accepts, what it refuses and
// with which code, and how it hands rows to the engine.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "filters/png/png_harness.h"
#include "support/engine_fixture.h"

namespace {

using pngt::Bytes;
using pngt::File;
namespace fs = std::filesystem;

class PngRead : public EngineTest {};

// Loads through the filter with recording callbacks.
int32_t load(const Bytes& file, bmpt::Image* out = nullptr, int32_t* position = nullptr) {
  bmpt::Stream s(file);
  RPb_AF_error_clear();
  const int32_t code = rx::png_read(&s.io, nullptr, 1, 1);
  if (out != nullptr) *out = s.image;
  if (position != nullptr) *position = RPb_IO_tell(&s.io);
  return code != 0 ? error_codes().front() : 0;
}

Bytes stored_file() {
  File f;
  f.level = 0;
  return f.build();
}

Bytes raw_rows(const std::vector<Bytes>& rows, uint8_t filter = 0) {
  Bytes r;
  for (const Bytes& row : rows) {
    r.push_back(filter);
    r.insert(r.end(), row.begin(), row.end());
  }
  return r;
}

TEST_F(PngRead, DeliversEachRowOnceInDibLayout) {
  File f;  // 5 x 3 RGB, bytes 1, 2, 3, ... in file order
  bmpt::Image im;
  ASSERT_EQ(load(f.build(), &im), 0);
  EXPECT_EQ(im.header.biBitCount, 24);
  EXPECT_EQ(im.order, (std::vector<int32_t>{0, 1, 2}));
  // 15 bytes of pixels, blue first, padded to 16.
  EXPECT_EQ(im.rows[0], (Bytes{3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10, 15, 14, 13, 0}));
  EXPECT_EQ(im.rows[2][0], 33);
}

TEST_F(PngRead, StoredBlocksAreRefused) {
  File f;
  f.level = 0;
  ASSERT_EQ(load(f.build()), RXE_INVALID_FILE_TYPE);
  EXPECT_EQ(error_codes(), (std::vector<int32_t>{RXE_INVALID_FILE_TYPE}));
  EXPECT_EQ(error_entries().front().file, "PNGREAD.cpp");
}

TEST_F(PngRead, ChunkChecksBeforeThePalette) {
  File f;
  f.colour = 3;
  f.palette = {10, 20, 30, 40, 50, 60};
  f.raw = raw_rows({{0, 1, 0, 1, 1}, {1, 1, 0, 0, 0}, {0, 0, 0, 0, 1}});
  Bytes text = pngt::chunk("tEXt", {'a', 0, 'b'});
  f.before = {text};
  bmpt::Image im;
  ASSERT_EQ(load(f.build(), &im), 0);
  EXPECT_EQ(im.header.biBitCount, 8);
  EXPECT_EQ(im.palette[1].rgbRed, 40);
  EXPECT_EQ(im.palette[1].rgbBlue, 60);
  text.back() ^= 1;
  f.before = {text};
  EXPECT_EQ(load(f.build()), RXE_INVALID_FILE_TYPE);
  // Other colour types step over ancillary chunks unchecked.
  File rgb;
  rgb.before = {text};
  EXPECT_EQ(load(rgb.build()), 0);
}

TEST_F(PngRead, HeaderFaults) {
  struct Case {
    const char* name;
    Bytes file;
    int32_t code;
  };
  std::vector<Case> cases;
  auto with = [](auto change) {
    File f;
    change(f);
    return f.build();
  };
  const Bytes good = File{}.build();
  Bytes b = good;
  b[8 + 3] = 12;  // IHDR length 12
  cases.push_back({"length", b, RXE_INVALID_FILE_HEADER});
  b = good;
  b[12] = 'i';
  cases.push_back({"type", b, RXE_INVALID_FILE_HEADER});
  cases.push_back({"short", Bytes(good.begin(), good.begin() + 20), RXE_CANT_READ_HEADER});
  cases.push_back({"no chunk", pngt::kSignature, RXE_CANT_READ_HEADER});
  b = good;
  b[29] ^= 0x80;  // IHDR CRC
  cases.push_back({"crc", b, RXE_INVALID_FILE_HEADER});
  cases.push_back({"colour type 5", with([](File& f) { f.colour = 5; }), RXE_INVALID_FILE_HEADER});
  cases.push_back({"4-bit RGB", with([](File& f) { f.depth = 4; }), RXE_INVALID_FILE_HEADER});
  cases.push_back({"16-bit palette", with([](File& f) { f.colour = 3, f.depth = 16; }), RXE_INVALID_FILE_HEADER});
  cases.push_back({"interlace 2", with([](File& f) { f.interlace = 2; }), RXE_INVALID_FILE_HEADER});
  cases.push_back({"width 0", with([](File& f) { f.width = 0; }), RXE_INVALID_FILE_HEADER});
  cases.push_back({"width 2^31", with([](File& f) { f.width = 0x80000000u, f.raw = Bytes(9, 0); }),
                   RXE_INVALID_FILE_HEADER});
  // 300 million RGBA pixels of 16 bits: a 900 MB image row, a 2.4 GB file row.
  cases.push_back({"file row too wide", with([](File& f) {
                     f.width = 300000000, f.height = 1, f.colour = 6, f.depth = 16, f.raw = Bytes(9, 0);
                   }),
                   RXE_INVALID_FILE_HEADER});
  for (auto [field, name] : {std::pair{10, "compression 1"}, {11, "filter method 1"}}) {
    Bytes d = File{}.ihdr_data();
    d[field] = 1;
    b = pngt::kSignature;
    for (const Bytes& c : {pngt::chunk("IHDR", d), pngt::chunk("IDAT", pngt::zlib_stream(File{}.rows(), 6))})
      b.insert(b.end(), c.begin(), c.end());
    cases.push_back({name, b, RXE_INVALID_FILE_HEADER});
  }
  for (const Case& c : cases) EXPECT_EQ(load(c.file), c.code) << c.name;
}

TEST_F(PngRead, PaletteFaults) {
  File f;
  f.colour = 3;
  f.raw = raw_rows({{0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}});
  EXPECT_EQ(load(f.build()), RXE_INVALID_FILE_TYPE) << "no PLTE at all";
  f.palette = {1, 2, 3, 4};
  EXPECT_EQ(load(f.build()), RXE_CANT_READ_PALETTE) << "not whole entries";
  f.palette.assign(3 * 257, 0);
  EXPECT_EQ(load(f.build()), RXE_CANT_READ_PALETTE) << "257 entries";
  f.palette = {1, 2, 3};
  Bytes b = f.build();
  const size_t at = pngt::chunk_at(b, "PLTE");
  b[at + 8 + 3] ^= 1;  // CRC no longer matches
  EXPECT_EQ(load(b), RXE_INVALID_FILE_TYPE) << "CRC";
  EXPECT_EQ(load(Bytes(b.begin(), b.begin() + static_cast<ptrdiff_t>(at + 10))), RXE_CANT_READ_PALETTE)
      << "short";
}

TEST_F(PngRead, DataFaults) {
  File f;
  const Bytes good = f.build();
  const size_t idat = pngt::chunk_at(good, "IDAT");
  Bytes b = good;
  b[idat + 10] ^= 1;  // data changed under its CRC
  EXPECT_EQ(load(b), RXE_INVALID_FILE_TYPE) << "IDAT CRC";
  EXPECT_EQ(load(Bytes(good.begin(), good.begin() + static_cast<ptrdiff_t>(idat + 14))),
            RXE_CANT_READ_PIXEL_DATA)
      << "cut inside IDAT";
  File none = f;
  none.raw = Bytes{0};  // one filter byte where 48 bytes are needed
  EXPECT_EQ(load(none.build()), RXE_CANT_READ_PIXEL_DATA) << "too little data";
  EXPECT_EQ(load(Bytes(good.begin(), good.begin() + static_cast<ptrdiff_t>(idat))), RXE_CANT_READ_PIXEL_DATA)
      << "no IDAT";
  Bytes block3 = {0x78, 0x9C, 0x07, 0, 0, 0, 0};  // BFINAL 1, BTYPE 3
  EXPECT_EQ(load(f.build(&block3)), RXE_COMPRESSION_ERROR) << "block type 3";
  // Fixed block: length 3 (0000001), distance 1 (00000), nothing before it.
  Bytes far = {0x78, 0x9C, 0x03, 0x02, 0x00, 0, 0, 0, 0};
  EXPECT_EQ(load(f.build(&far)), RXE_COMPRESSION_ERROR) << "bad distance";
  File filter5 = f;
  filter5.raw = raw_rows({Bytes(15, 1), Bytes(15, 2), Bytes(15, 3)}, 5);
  EXPECT_EQ(load(filter5.build()), RXE_INVALID_FILE_TYPE) << "filter type 5";
}

TEST_F(PngRead, FailuresLeaveTheStreamWhereItWas) {
  Bytes file = Bytes(7, 0xEE);
  const Bytes png = stored_file();
  file.insert(file.end(), png.begin(), png.end());
  bmpt::Stream s(file);
  RPb_IO_seek(&s.io, 7, 0);
  EXPECT_NE(rx::png_read(&s.io, nullptr, 1, 1), 0);
  EXPECT_EQ(RPb_IO_tell(&s.io), 7);
}

// A file may sit inside a larger stream, split its data over many IDATs
// (empty ones too) with other chunks between them, and end without IEND.
TEST_F(PngRead, DataInManyChunks) {
  File f;
  f.width = 40;
  f.height = 30;
  bmpt::Image whole;
  ASSERT_EQ(load(f.build(), &whole), 0);
  const Bytes z = pngt::zlib_stream(f.rows(), 9);
  Bytes file = pngt::kSignature;
  auto add = [&](const Bytes& c) { file.insert(file.end(), c.begin(), c.end()); };
  add(pngt::chunk("IHDR", f.ihdr_data()));
  add(pngt::chunk("IDAT", {}));
  for (size_t at = 0; at < z.size(); at += 7) {
    add(pngt::chunk("IDAT", Bytes(z.begin() + static_cast<ptrdiff_t>(at),
                                  z.begin() + static_cast<ptrdiff_t>(std::min(z.size(), at + 7)))));
    if (at == 21) add(pngt::chunk("zzZz", {1, 2, 3}));
  }
  bmpt::Image split;
  ASSERT_EQ(load(file, &split), 0);
  EXPECT_EQ(split.rows, whole.rows);
}

TEST_F(PngRead, ExtraDataAfterTheRowsIsIgnored) {
  File f;
  Bytes rows = f.rows();
  rows.insert(rows.end(), 100, 7);
  f.raw = rows;
  bmpt::Image im;
  EXPECT_EQ(load(f.build(), &im), 0);
  EXPECT_EQ(im.order.size(), 3u);
}

// A few bytes claiming a huge image fail before any image is made.
TEST_F(PngRead, DecompressionBombsFailFast) {
  const auto start = std::chrono::steady_clock::now();
  File huge;
  huge.width = huge.height = 100000;
  huge.raw = Bytes(40, 0);
  bmpt::Image im;
  EXPECT_EQ(load(huge.build(), &im), RXE_INVALID_FILE_HEADER);
  EXPECT_EQ(im.creates, 0);
  File large;  // 1.6 GB of 8-bit grey, allowed, from 40 bytes of data
  large.width = large.height = 40000;
  large.colour = 0;
  large.raw = Bytes(40, 0);
  EXPECT_EQ(load(large.build(), &im), RXE_CANT_READ_PIXEL_DATA);
  EXPECT_EQ(im.creates, 0);
  const Bytes file = large.build();
  RX_HIMAGE image = 0;
  EXPECT_NE(RX_image_load_memory(file.data(), static_cast<int32_t>(file.size()), 1, 1, &image), 0);
  EXPECT_EQ(image, 0u);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST_F(PngRead, InformationForEveryColourType) {
  struct Case {
    uint8_t colour, depth;
    int32_t bits;
  };
  for (const Case& c : std::vector<Case>{{0, 1, 1}, {0, 2, 4}, {0, 4, 4}, {0, 8, 8}, {0, 16, 8},
                                         {3, 1, 1}, {3, 2, 4}, {3, 4, 4}, {3, 8, 8}, {2, 8, 24},
                                         {2, 16, 24}, {4, 8, 24}, {4, 16, 24}, {6, 8, 24}, {6, 16, 24}}) {
    File f;
    f.colour = c.colour;
    f.depth = c.depth;
    if (c.colour == 3) f.palette = {9, 8, 7, 6, 5, 4};
    bmpt::Stream s(f.build());
    RX_BITMAPINFOHEADER h{};
    std::vector<RX_RGBQUAD> pal(256, RX_RGBQUAD{1, 1, 1, 1});
    int32_t compression = -1;
    ASSERT_EQ(rx::png_info(&s.io, &h, pal.data(), &compression, nullptr, 1), 0);
    EXPECT_EQ(h.biBitCount, c.bits) << int(c.colour) << " " << int(c.depth);
    EXPECT_EQ(h.biWidth, 5);
    EXPECT_EQ(h.biXPelsPerMeter, 0);
    EXPECT_EQ(compression, 12);  // "UNKNOWN": deflate has no name of its own
    if (c.colour == 0 && c.depth == 2) {
      // A 4-entry ramp at the front of the 4-bit palette.
      EXPECT_EQ(pal[1].rgbGreen, 85);
      EXPECT_EQ(pal[2].rgbRed, 170);
      EXPECT_EQ(pal[3].rgbBlue, 255);
      EXPECT_EQ(pal[4].rgbBlue, 0);
    }
    if (c.colour == 0 && c.depth == 16) {
      EXPECT_EQ(pal[128].rgbRed, 128);
    }
    if (c.colour == 3) {
      EXPECT_EQ(pal[1].rgbRed, 6);
    }
  }
}

// Through the load pipeline: detection, and a failed load keeps no image.
TEST_F(PngRead, LoadsThroughThePipeline) {
  const Bytes good = File{}.build();
  RX_HIMAGE image = 0;
  ASSERT_EQ(RX_image_load_memory(good.data(), static_cast<int32_t>(good.size()), 1, 1, &image), 0);
  int32_t w = 0, h = 0, bits = 0;
  RX_image_dimensions_get(image, &w, &h, &bits);
  EXPECT_EQ(w * 100 + h * 10 + bits, 5 * 100 + 3 * 10 + 24);
  RX_image_delete(image);
  image = 0;
  const Bytes stored = stored_file();
  EXPECT_NE(RX_image_load_memory(stored.data(), static_cast<int32_t>(stored.size()), 1, 1, &image), 0);
  EXPECT_EQ(image, 0u);
}

}  // namespace
