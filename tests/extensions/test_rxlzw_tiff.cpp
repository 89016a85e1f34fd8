// The LZW codec of TIFF strips against libtiff, both ways: strips libtiff
// coded decode to the bytes libtiff decodes them to, and strips we code,
// wrapped in a TIFF file, read back through libtiff and pass tiffinfo.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstdio>
#include <random>

#include "IO/io_rec.h"
#include "SUPPORT/ext.h"
#include "extensions/rxlzw_harness.h"

namespace {

using namespace rxlzw_test;

struct Case {
  const char* name;
  int32_t width, height, samples, rows_per_strip;
  Bytes data;
};

// Pictures that exercise the table: noise (the table fills and is cleared
// again and again), long runs (strings grow to their longest, the code
// being defined is used at once), a gradient, and a single pixel.
std::vector<Case> cases() {
  std::mt19937 rng(7);
  std::vector<Case> out;
  Case noise{"noise", 300, 64, 1, 16, {}};
  for (int i = 0; i < 300 * 64; ++i) noise.data.push_back(static_cast<uint8_t>(rng()));
  Case runs{"runs", 500, 40, 1, 40, Bytes(500 * 40, 0x5A)};
  Case rgb{"gradient", 97, 31, 3, 7, {}};
  for (int y = 0; y < 31; ++y)
    for (int x = 0; x < 97; ++x)
      rgb.data.insert(rgb.data.end(), {uint8_t(x * 2), uint8_t(y * 8), uint8_t((x ^ y) & 0xF0)});
  Case one{"one", 1, 1, 1, 1, {0x81}};
  out.push_back(noise);
  out.push_back(runs);
  out.push_back(rgb);
  out.push_back(one);
  return out;
}

std::string temp_path(const std::string& name) {
  return testing::TempDir() + "/rxlzw_" + name + ".tif";
}

void fields_set(TIFF* t, const Case& c) {
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, c.width);
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, c.height);
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, c.samples);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, c.samples == 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
  TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
  TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, c.rows_per_strip);
}

// Decodes one coded strip with the module's decoder, as the TIFF reader
// calls it.
int32_t decode_strip(RX_CODEC_DECODE_FN decode, Bytes coded, int32_t rows, int32_t row_bytes,
                     int32_t fill_order, Bytes* out) {
  IO_REC io{};
  rx::io_from_template(&io);
  rx::io_memory_attach(&io, coded.data(), int32_t(coded.size()), int32_t(coded.size()));
  const RX_CODEC_STRIP strip{int32_t(coded.size()), rows, row_bytes, 1, fill_order};
  out->assign(size_t(rows) * row_bytes + 4, 0xEE);
  const int32_t r = decode(&io, out->data(), int32_t(out->size()), 0, nullptr, rows, 8, 1, &strip,
                           nullptr);
  out->resize(size_t(rows) * row_bytes);
  return r;
}

uint8_t reversed(uint8_t b) {
  uint8_t r = 0;
  for (int i = 0; i < 8; ++i) r = uint8_t(r | ((b >> i) & 1) << (7 - i));
  return r;
}

class RxlzwTiff : public RxlzwTest {};

TEST_F(RxlzwTiff, StripsLibtiffCodedDecodeToLibtiffsBytes) {
  RX_CODEC_DECODE_FN decode = rx::extension_decoder_find(RX_COMPRESSION_LZW);
  ASSERT_NE(decode, nullptr);
  for (const Case& c : cases()) {
    const std::string path = temp_path(c.name);
    TIFF* t = TIFFOpen(path.c_str(), "w");
    ASSERT_NE(t, nullptr);
    fields_set(t, c);
    const int32_t row_bytes = c.width * c.samples;
    for (int32_t y = 0; y < c.height; ++y)
      ASSERT_EQ(TIFFWriteScanline(t, const_cast<uint8_t*>(&c.data[size_t(y) * row_bytes]), y, 0), 1);
    TIFFClose(t);
    t = TIFFOpen(path.c_str(), "r");
    ASSERT_NE(t, nullptr);
    for (tstrip_t s = 0; s < TIFFNumberOfStrips(t); ++s) {
      const int32_t rows = std::min(c.rows_per_strip, c.height - int32_t(s) * c.rows_per_strip);
      Bytes raw(TIFFRawStripSize(t, s)), want(size_t(rows) * row_bytes), got;
      ASSERT_EQ(TIFFReadRawStrip(t, s, raw.data(), tmsize_t(raw.size())), tmsize_t(raw.size()));
      ASSERT_EQ(TIFFReadEncodedStrip(t, s, want.data(), tmsize_t(want.size())), tmsize_t(want.size()));
      EXPECT_EQ(decode_strip(decode, raw, rows, row_bytes, 1, &got), 0) << c.name << " strip " << s;
      EXPECT_EQ(got, want) << c.name << " strip " << s;
      // The same strip with its bits in the other fill order.
      for (uint8_t& b : raw) b = reversed(b);
      EXPECT_EQ(decode_strip(decode, raw, rows, row_bytes, 2, &got), 0);
      EXPECT_EQ(got, want) << c.name << " strip " << s << " (fill order 2)";
    }
    TIFFClose(t);
    std::remove(path.c_str());
  }
}


TEST_F(RxlzwTiff, StripsWeCodeReadBackThroughLibtiffAndTiffinfo) {
  RX_CODEC_ENCODE_FN encode = rx::extension_encoder_find(RX_COMPRESSION_LZW);
  ASSERT_NE(encode, nullptr);
  for (const Case& c : cases()) {
    const std::string path = temp_path(std::string("ours_") + c.name);
    TIFF* t = TIFFOpen(path.c_str(), "w");
    ASSERT_NE(t, nullptr);
    fields_set(t, c);
    const int32_t row_bytes = c.width * c.samples;
    const int32_t strips = (c.height + c.rows_per_strip - 1) / c.rows_per_strip;
    for (int32_t s = 0; s < strips; ++s) {
      const int32_t rows = std::min(c.rows_per_strip, c.height - s * c.rows_per_strip);
      Bytes strip(c.data.begin() + size_t(s) * c.rows_per_strip * row_bytes,
                  c.data.begin() + (size_t(s) * c.rows_per_strip + rows) * row_bytes);
      Bytes coded(strip.size() * 2 + 64);
      IO_REC io{};
      rx::io_from_template(&io);
      rx::io_memory_attach(&io, coded.data(), int32_t(coded.size()), 0);
      int32_t count = int32_t(strip.size());
      ASSERT_EQ(encode(&io, 0, strip.data(), &count), 0) << c.name;
      ASSERT_GT(count, 0);
      ASSERT_EQ(count, rx::io_data_length_get(&io)) << "the count is what was written";
      ASSERT_EQ(TIFFWriteRawStrip(t, s, coded.data(), count), count);
    }
    TIFFClose(t);
    t = TIFFOpen(path.c_str(), "r");
    ASSERT_NE(t, nullptr);
    Bytes back(size_t(c.height) * row_bytes);
    for (int32_t s = 0; s < strips; ++s) {
      const int32_t rows = std::min(c.rows_per_strip, c.height - s * c.rows_per_strip);
      ASSERT_EQ(TIFFReadEncodedStrip(t, s, &back[size_t(s) * c.rows_per_strip * row_bytes],
                                     tmsize_t(rows) * row_bytes),
                tmsize_t(rows) * row_bytes)
          << c.name;
    }
    TIFFClose(t);
    EXPECT_EQ(back, c.data) << c.name;
    const std::string command = "tiffinfo -D " + path + " >/dev/null 2>" + path + ".err";
    EXPECT_EQ(std::system(command.c_str()), 0) << c.name;
    EXPECT_TRUE(file_bytes(path + ".err").empty()) << c.name << ": tiffinfo complained";
    std::remove((path + ".err").c_str());
    std::remove(path.c_str());
  }
}

TEST_F(RxlzwTiff, ShortOrCorruptStripsFailWithTheLzwCode) {
  RX_CODEC_DECODE_FN decode = rx::extension_decoder_find(RX_COMPRESSION_LZW);
  ASSERT_NE(decode, nullptr);
  Bytes got;
  // 9-bit codes, high bit first: Clear, 'A', 300 (which no string has), End.
  const Bytes undefined = {0x80, 0x10, 0x65, 0x90, 0x10};
  EXPECT_EQ(decode_strip(decode, undefined, 1, 4, 1, &got), 1);
  EXPECT_EQ(error_entries().at(0).code, RXE_TIFF_LZW_ERROR);
  RPb_AF_error_clear();
  // Clear, 'A', End: one byte where a row of four was due.
  const Bytes short_strip = {0x80, 0x10, 0x60, 0x20};
  EXPECT_EQ(decode_strip(decode, short_strip, 1, 4, 1, &got), 1);
  const std::vector<ErrorEntry> e = error_entries();
  ASSERT_EQ(e.size(), 1u);
  EXPECT_EQ(e[0].code, RXE_TIFF_LZW_ERROR);
  EXPECT_EQ(e[0].iVal, 0) << "no whole row decoded";
  RPb_AF_error_clear();
  // A strip that claims more bytes than the stream holds, and a buffer
  // too small for the strip's rows.
  IO_REC io{};
  rx::io_from_template(&io);
  Bytes bytes = short_strip;
  rx::io_memory_attach(&io, bytes.data(), int32_t(bytes.size()), int32_t(bytes.size()));
  RX_CODEC_STRIP strip{1 << 30, 1, 1, 1, 1};
  uint8_t out[8];
  EXPECT_EQ(decode(&io, out, sizeof out, 0, nullptr, 1, 8, 1, &strip, nullptr), 0)
      << "'A' fills the one-byte row; the claim is cut to the stream";
  EXPECT_EQ(out[0], 'A');
  strip = {4, 3, 4, 1, 1};
  EXPECT_EQ(decode(&io, out, sizeof out, 0, nullptr, 3, 8, 1, &strip, nullptr), 1);
  EXPECT_EQ(error_codes(), std::vector<int32_t>{RXE_PARAMETERS_OUT_OF_LIMITS});
}

}  // namespace
