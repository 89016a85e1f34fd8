// The PNG writer: the file layout worked out by hand for a tiny image, one
// IDAT chunk and one deflate block however large the image, palettes, and
// the codes of every short write. zlib checks the stream and the CRCs.
#include <gtest/gtest.h>
#include <zlib.h>

#include "filters/png/png_harness.h"
#include "support/engine_fixture.h"

namespace {

using pngt::Bytes;

class PngWrite : public EngineTest {};

// An image to serve: rows from the top, values from a simple pattern.
bmpt::Image served(int32_t width, int32_t height, int32_t bits, uint32_t used_colours = 0) {
  bmpt::Image im;
  RPb_DIB_init(&im.header, width, height, bits, 0, 0, 0);
  im.header.biClrUsed = used_colours;
  for (uint32_t i = 0; i < 256; ++i) im.palette[i] = RX_RGBQUAD{uint8_t(i), uint8_t(i), uint8_t(i), 0};
  const auto stride = static_cast<size_t>(rx::dib_stride(bits, width));
  for (int32_t r = 0; r < height; ++r) {
    Bytes row(stride, 0);
    for (size_t k = 0; k < stride; ++k) row[k] = static_cast<uint8_t>(r * 31 + k * 7);
    im.rows.push_back(row);
  }
  return im;
}

int32_t save(const bmpt::Image& im, Bytes* file, size_t capacity = 1 << 22) {
  bmpt::Stream s(Bytes{}, capacity);
  s.image = im;
  RPb_AF_error_clear();
  const int32_t code = rx::png_write(&s.io, nullptr, 0, 1, 0);
  *file = s.written();
  return code != 0 ? error_codes().front() : 0;
}

struct Chunk {
  std::string type;
  Bytes data;
  bool crc_ok;
};

std::vector<Chunk> chunks_of(const Bytes& f) {
  std::vector<Chunk> out;
  EXPECT_EQ(Bytes(f.begin(), f.begin() + 8), pngt::kSignature);
  for (size_t pos = 8; pos + 12 <= f.size();) {
    const uint32_t length = uint32_t(f[pos]) << 24 | f[pos + 1] << 16 | f[pos + 2] << 8 | f[pos + 3];
    const auto at = [&](size_t k) { return f.begin() + static_cast<ptrdiff_t>(k); };
    Chunk c{std::string(at(pos + 4), at(pos + 8)), Bytes(at(pos + 8), at(pos + 8 + length)), false};
    const uint32_t stored = bmpt::get(f, pos + 8 + length, 1) << 24 | bmpt::get(f, pos + 9 + length, 1) << 16 |
                            bmpt::get(f, pos + 10 + length, 1) << 8 | bmpt::get(f, pos + 11 + length, 1);
    c.crc_ok = stored == crc32(0, f.data() + pos + 4, static_cast<uInt>(length + 4));
    out.push_back(c);
    pos += 12 + length;
  }
  return out;
}

// One pixel, blue 3, green 2, red 1. The row is filter 0 and 1, 2, 3; in
// fixed codes (0x30 + byte, 8 bits each, after the header bits 1 10 and
// before the end code 0000000) that is 63 60 64 62 06 00. The Adler-32 of
// 0, 1, 2, 3: the first sum runs 1, 1, 2, 4, 7; the second adds up the
// first after each byte, 1 + 2 + 4 + 7 = 14; so 0x000E0007.
TEST_F(PngWrite, TinyImageByHand) {
  bmpt::Image im;
  RPb_DIB_init(&im.header, 1, 1, 24, 0, 0, 0);
  im.rows = {Bytes{3, 2, 1, 0}};
  Bytes f;
  ASSERT_EQ(save(im, &f), 0);
  Bytes want = pngt::kSignature;
  for (const Bytes& c : {pngt::chunk("IHDR", {0, 0, 0, 1, 0, 0, 0, 1, 8, 2, 0, 0, 0}),
                         pngt::chunk("IDAT", {0x78, 0x9C, 0x63, 0x60, 0x64, 0x62, 0x06, 0x00, 0x00, 0x0E, 0x00, 0x07}),
                         pngt::chunk("IEND", {})})
    want.insert(want.end(), c.begin(), c.end());
  EXPECT_EQ(f, want);
}

Bytes zlib_inflate(const Bytes& z, size_t size) {
  Bytes out(size + 1);
  uLongf n = static_cast<uLongf>(out.size());
  EXPECT_EQ(uncompress(out.data(), &n, z.data(), static_cast<uLong>(z.size())), Z_OK);
  out.resize(n);
  return out;
}

TEST_F(PngWrite, OneIdatOneBlockPastTheChunkSize) {
  const bmpt::Image im = served(1000, 20, 24);  // 20 x 3001 filtered bytes
  Bytes f;
  ASSERT_EQ(save(im, &f), 0);
  const std::vector<Chunk> c = chunks_of(f);
  ASSERT_EQ(c.size(), 3u);
  EXPECT_EQ(c[1].type, "IDAT");
  for (const Chunk& k : c) EXPECT_TRUE(k.crc_ok) << k.type;
  const Bytes& z = c[1].data;
  EXPECT_EQ(z[0], 0x78);
  EXPECT_EQ(z[1], 0x9C);
  EXPECT_EQ(z[2] & 7, 3) << "the first block is final and fixed, so the only one";
  // zlib checks the Adler-32 too.
  const Bytes rows = zlib_inflate(z, 20 * 3001);
  ASSERT_EQ(rows.size(), 20u * 3001);
  for (int32_t r = 0; r < 20; ++r) {
    EXPECT_EQ(rows[r * 3001], 0);
    EXPECT_EQ(rows[r * 3001 + 1], im.rows[r][2]);  // red first
    EXPECT_EQ(rows[r * 3001 + 3], im.rows[r][0]);
  }
}

// An 8-bit grey image is a palette image of 256 entries, and reads back so.
TEST_F(PngWrite, Grey8BitIsAPaletteImage) {
  const bmpt::Image im = served(13, 5, 8);
  Bytes f;
  ASSERT_EQ(save(im, &f), 0);
  const std::vector<Chunk> c = chunks_of(f);
  ASSERT_EQ(c[0].type, "IHDR");
  EXPECT_EQ(c[0].data[8], 8);
  EXPECT_EQ(c[0].data[9], 3);
  ASSERT_EQ(c[1].type, "PLTE");
  EXPECT_EQ(c[1].data.size(), 768u);
  EXPECT_EQ(c[1].data[3 * 200 + 1], 200);
  bmpt::Stream back(f);
  ASSERT_EQ(rx::png_read(&back.io, nullptr, 1, 1), 0);
  EXPECT_EQ(back.image.header.biBitCount, 8);
  for (int32_t r = 0; r < 5; ++r)
    EXPECT_EQ(Bytes(back.image.rows[r].begin(), back.image.rows[r].begin() + 13),
              Bytes(im.rows[r].begin(), im.rows[r].begin() + 13));
  EXPECT_EQ(bmpt::rgb_of(back.image), bmpt::rgb_of(im));
}

TEST_F(PngWrite, PaletteEntriesAndDepths) {
  for (auto [bits, used, entries] : {std::tuple{1, 0u, 2u}, {4, 0u, 16u}, {4, 3u, 3u}, {4, 99u, 16u}, {8, 7u, 7u}}) {
    Bytes f;
    ASSERT_EQ(save(served(9, 2, bits, used), &f), 0);
    const std::vector<Chunk> c = chunks_of(f);
    EXPECT_EQ(c[0].data[8], bits);
    EXPECT_EQ(c[0].data[9], 3);
    EXPECT_EQ(c[1].data.size(), 3 * entries) << bits << " " << used;
  }
  Bytes f;
  EXPECT_EQ(save(served(9, 2, 16), &f), RXE_INVALID_BITCOUNT_FOR_FORMAT);
}

// Every place a write can come up short, with the stream put back.
TEST_F(PngWrite, ShortWrites) {
  const bmpt::Image im = served(7, 3, 4);
  Bytes full;
  ASSERT_EQ(save(im, &full), 0);
  const size_t plte = pngt::chunk_at(full, "PLTE"), idat = pngt::chunk_at(full, "IDAT"),
               iend = pngt::chunk_at(full, "IEND");
  for (size_t capacity = 1; capacity < full.size(); ++capacity) {
    bmpt::Stream s(Bytes{}, capacity);
    s.image = im;
    RPb_AF_error_clear();
    ASSERT_NE(rx::png_write(&s.io, nullptr, 0, 1, 0), 0);
    const int32_t want = capacity < plte ? RXE_CANT_WRITE_HEADER
                         : capacity < idat ? RXE_CANT_WRITE_PALETTE
                         : capacity < iend ? RXE_CANT_WRITE_PIXEL_DATA
                                           : RXE_CANT_WRITE_PIXEL_DATA;
    EXPECT_EQ(error_codes(), std::vector<int32_t>{want}) << capacity;
    EXPECT_EQ(error_entries().front().file, "PNGWRITE.cpp");
    EXPECT_EQ(RPb_IO_tell(&s.io), 0) << capacity;
  }
}

// Through the save pipeline, and back through the load pipeline.
TEST_F(PngWrite, SavesAndLoadsThroughThePipelines) {
  for (int bits : {1, 4, 8, 24}) {
    const bmpt::Image im = served(29, 11, bits);
    Bytes dib(40 + 4 * (bits <= 8 ? 1u << bits : 0) + im.rows[0].size() * 11);
    std::memcpy(dib.data(), &im.header, 40);
    for (uint32_t i = 0; bits <= 8 && i < (1u << bits); ++i) std::memcpy(&dib[40 + 4 * i], &im.palette[i], 4);
    const size_t pixels = 40 + 4 * (bits <= 8 ? 1u << bits : 0);
    for (int32_t r = 0; r < 11; ++r)  // the DIB is bottom-up
      std::memcpy(&dib[pixels + (10 - r) * im.rows[0].size()], im.rows[r].data(), im.rows[0].size());
    RX_HIMAGE image = 0;
    ASSERT_EQ(RX_image_create_from_DIB(dib.data(), dib.size(), &image), 0);
    Bytes file(1 << 16);
    int32_t size = 0;
    ASSERT_EQ(RX_image_save_memory(image, file.data(), 0, static_cast<int32_t>(file.size()), 0, 1, 33, &size), 0);
    RX_HIMAGE again = 0;
    ASSERT_EQ(RX_image_load_memory(file.data(), size, 1, 1, &again), 0) << bits;
    EXPECT_EQ(bmpt::rgb_of(bmpt::image_of_handle(again)), bmpt::rgb_of(im)) << bits;
    RX_image_delete(image);
    RX_image_delete(again);
  }
}

}  // namespace
