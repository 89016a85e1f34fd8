// BMP run-length coding: the encoders' exact packet choices, the decoders'
// escapes and bounds, and round trips over many row shapes.
#include <random>

#include "SUPPORT/mem_tag.h"
#include "filters/bmp/bmp_harness.h"
#include "filters/bmp/bmp_rle.h"
#include "support/engine_fixture.h"

namespace {

using bmpt::Bytes;

Bytes cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}
Bytes counting(size_t n) {
  Bytes b(n);
  for (size_t k = 0; k < n; ++k) b[k] = static_cast<uint8_t>(k);
  return b;
}

class BmpRle : public EngineTest {
 protected:
  // One coded row; input pixels one per byte.
  Bytes encode(int bits, const Bytes& px, bool last = true) {
    bmpt::Stream s({}, 4096);
    rx::TagGuard tag;
    rx::IO_BUFFER out;
    rx::io_buffer_open(&s.io, tag.tag(), &out, 4096, rx::kIoBufferWrite);
    EXPECT_TRUE(bits == 8 ? rx::bmp_rle8_row_encode(&out, px.data(), px.size(), last)
                          : rx::bmp_rle4_row_encode(&out, px.data(), px.size(), last));
    rx::io_buffer_close(&out);
    return s.written();
  }
  // Decodes rows of `stride` bytes into *out; the code of a failure.
  int32_t decode(int bits, uint32_t stride, const Bytes& data, int rows, std::vector<Bytes>* out) {
    bmpt::Stream s(data);
    rx::TagGuard tag;
    rx::IO_BUFFER in;
    rx::io_buffer_open(&s.io, tag.tag(), &in, 4096, rx::kIoBufferRead);
    rx::RLE_DECODER d;
    rx::bmp_rle_decoder_init(&d, &in, bits, stride);
    int32_t code = 0;
    for (Bytes row(stride); rows-- > 0 && (code = rx::bmp_rle_row_decode(&d, row.data())) == 0;)
      out->push_back(row);
    rx::io_buffer_close(&in);
    return code;
  }
};

TEST_F(BmpRle, Rle8Packets) {
  const std::pair<Bytes, Bytes> cases[] = {
      {{5, 5, 5, 5}, {4, 5, 0, 1}},
      {{1, 2, 3}, {1, 1, 1, 2, 1, 3, 0, 1}},                         // short rows are runs
      {{1, 2, 3, 4, 5}, {0, 5, 1, 2, 3, 4, 5, 0, 0, 1}},             // odd literals are padded
      {{1, 2, 3, 3, 4}, {0, 5, 1, 2, 3, 3, 4, 0, 0, 1}},             // a pair, then a different byte
      {{1, 2, 3, 4, 4, 4, 4}, {0, 3, 1, 2, 3, 0, 4, 4, 0, 1}},       // stops before three equal
      {{1, 2, 3, 4, 5, 5}, {0, 4, 1, 2, 3, 4, 2, 5, 0, 1}},          // and before a closing pair
      {Bytes(300, 7), {255, 7, 45, 7, 0, 1}},
      // 255 bytes at most: the 256th alone, not a count that wraps to 0.
      {counting(256), cat({{0, 255}, counting(255), {0, 1, 255, 0, 1}})},
      // At 254 a byte that starts a pair is left out; a last one joins.
      {cat({counting(255), {254}}), cat({{0, 254}, counting(254), {2, 254, 0, 1}})},
      {counting(255), cat({{0, 255}, counting(255), {0, 0, 1}})},
  };
  for (const auto& [row, coded] : cases) EXPECT_EQ(encode(8, row), coded) << row.size();
  EXPECT_EQ(encode(8, {1, 2, 3, 4}, false), (Bytes{0, 4, 1, 2, 3, 4, 0, 0})) << "end of line";
}

TEST_F(BmpRle, Rle4Packets) {
  Bytes thirds(300);
  for (size_t k = 0; k < thirds.size(); ++k) thirds[k] = k % 3;
  const std::pair<Bytes, Bytes> cases[] = {
      {{3, 3, 3, 3}, {4, 0x33, 0, 1}},
      {{1, 2, 1, 2, 1}, {5, 0x12, 0, 1}},  // runs repeat a pair
      {{7}, {1, 0x70, 0, 1}},
      {{1, 2, 3, 4, 5, 6}, {0, 6, 0x12, 0x34, 0x56, 0, 0, 1}},
      {{1, 2, 3, 4, 3, 8}, {0, 6, 0x12, 0x34, 0x38, 0, 0, 1}},  // two left over join
      {{1, 2, 3, 4, 3, 4, 3}, {0, 4, 0x12, 0x34, 3, 0x34, 0, 1}},
  };
  for (const auto& [row, coded] : cases) EXPECT_EQ(encode(4, row), coded) << row.size();
  const Bytes long_row = encode(4, thirds);
  EXPECT_EQ(long_row[1], 253) << "a literal stops above 252 pixels";
  EXPECT_EQ(long_row[131], 47);
  EXPECT_EQ(encode(4, Bytes(thirds.begin(), thirds.begin() + 255))[1], 255) << "253 + the last two";
}

TEST_F(BmpRle, Escapes) {
  std::vector<Bytes> rows;
  ASSERT_EQ(decode(8, 8, {3, 7, 0, 3, 1, 2, 3, 0, 0, 0,  // run, padded literal, end of line
                          1, 5, 0, 2, 2, 1,              // jump down a row to column 2
                          2, 9, 0, 2, 1, 0, 1, 4,        // jump along
                          12, 1, 0, 1},                  // cut at the padded end; end of bitmap
                   4, &rows), 0);
  EXPECT_EQ(rows, (std::vector<Bytes>{{7, 7, 7, 1, 2, 3, 0, 0}, {5, 0, 0, 0, 0, 0, 0, 0},
                                      {0, 0, 9, 9, 0, 4, 1, 1}, Bytes(8, 0)}));
  rows.clear();
  ASSERT_EQ(decode(4, 4, {3, 0x12, 4, 0x34, 0, 0,            // even, then odd start
                          1, 0x50, 0, 3, 0xAB, 0xC0, 0, 1},  // literal from an odd pixel
                   2, &rows), 0);
  EXPECT_EQ(rows, (std::vector<Bytes>{{0x12, 0x13, 0x43, 0x40}, {0x5A, 0xBC, 0, 0}}));
}

TEST_F(BmpRle, BadDataIsRefused) {
  const std::tuple<int, Bytes, int32_t> cases[] = {
      {8, {2, 1, 0, 3, 1, 2, 3, 0}, RXE_INVALID_COMPRESSION},  // literal past the end
      {4, {0, 9, 1, 2, 3, 4, 5, 6}, RXE_INVALID_COMPRESSION},
      {8, {4, 1, 0, 2, 1, 0}, RXE_INVALID_COMPRESSION},        // jump past the end
      {8, {0, 2, 5, 1}, RXE_INVALID_COMPRESSION},              // landing past the end
      {8, {2, 1, 3}, RXE_CANT_READ_PIXEL_DATA},                // the data runs out
      {8, {0, 3, 1, 2}, RXE_CANT_READ_PIXEL_DATA},
      {8, {0, 2, 1}, RXE_CANT_READ_PIXEL_DATA},
  };
  for (const auto& [bits, data, code] : cases) {
    std::vector<Bytes> rows;
    EXPECT_EQ(decode(bits, 4, data, 2, &rows), code) << testing::PrintToString(data);
  }
}

TEST_F(BmpRle, RoundTrips) {
  std::mt19937 random(7);
  for (int bits : {8, 4}) {
    for (uint32_t width : {1u, 2u, 3u, 4u, 5u, 7u, 31u, 254u, 255u, 256u, 257u, 600u}) {
      const uint32_t stride = rx::dib_stride(bits, width);
      std::vector<Bytes> want, got;
      Bytes data;
      for (int r = 0; r < 6; ++r) {
        // Repeats of random lengths between random values.
        Bytes px(width), packed(stride);
        for (uint32_t x = 0; x < width; ++x) {
          px[x] = x > 0 && random() % (r + 2) != 0 ? px[x - 1] : random() % (bits == 4 ? 16 : 4);
          packed[x * bits / 8] |= px[x] << (bits == 8 || x & 1 ? 0 : 4);
        }
        data = cat({data, encode(bits, px, r == 5)});
        want.push_back(packed);
      }
      ASSERT_EQ(decode(bits, stride, data, 6, &got), 0) << bits << " " << width;
      EXPECT_EQ(got, want) << bits << "-bit, width " << width;
    }
  }
}

}  // namespace
