// Row, raster and pixel access in both row formats, for every depth, on
// plain and runs images.
#include <vector>

#include "SUPPORT/dib_builder.h"
#include "SUPPORT/image_rec.h"
#include "support/engine_fixture.h"

namespace {

struct Depth {
  int32_t bits;
  bool runs;
};

// Runs images read their pixels by bisecting the change columns, so the
// round trips below also read every run boundary.
const Depth kDepths[] = {{1, false}, {1, true}, {4, false}, {8, false}, {16, false}, {24, false}};

uint32_t bytes_per_pixel(int32_t bits) { return bits <= 8 ? 1 : bits / 8; }

// The one-byte-per-pixel form of image row r: pixel values below 2^bits,
// or the stored bytes of 16- and 24-bit pixels.
std::vector<uint8_t> model_row(int32_t bits, int32_t width, int32_t r, uint32_t seed) {
  std::vector<uint8_t> row(size_t{bytes_per_pixel(bits)} * width);
  const uint32_t mask = bits < 8 ? (1u << bits) - 1 : 0xFF;
  for (size_t i = 0; i < row.size(); ++i)
    row[i] = static_cast<uint8_t>(((i * 7 + r * 13 + seed) * 2654435761u >> 11) & mask);
  return row;
}

// The same row packed as the DIB stores it, padding bits 0.
std::vector<uint8_t> packed_row(int32_t bits, int32_t width, const std::vector<uint8_t>& model) {
  std::vector<uint8_t> out(test::stride_of(width, bits), 0);
  if (bits >= 8) {
    std::copy(model.begin(), model.end(), out.begin());
    return out;
  }
  for (int32_t x = 0; x < width; ++x) {
    const uint32_t shift = 8 - bits - (x * bits) % 8;
    out[x * bits / 8] |= static_cast<uint8_t>(model[x] << shift);
  }
  return out;
}

class RasterAccess : public EngineTest {
 protected:
  static RX_HIMAGE blank(Depth d, int32_t width, int32_t height) {
    RX_HIMAGE image = test::create(test::make_dib(width, height, d.bits));
    if (image != 0 && d.runs) {
      EXPECT_EQ(RX_IP_convert_DIB_to_runs(image), 0);
    }
    return image;
  }

  static int32_t first_code() {
    auto e = error_entries();
    return e.empty() ? 0 : e[0].code;
  }
};

}  // namespace

TEST_F(RasterAccess, RasterGetOfRowZeroIsTheTopRow) {
  auto dib = test::make_dib(4, 3, 8);
  test::fill_pattern(dib);
  RX_HIMAGE image = test::create(dib);
  std::vector<uint8_t> row(4);
  ASSERT_EQ(RX_DIB_raster_get(image, 0, row.data(), RX_ROW_PACKED), 0);
  const uint8_t* top = test::image_row(dib, 0);
  EXPECT_EQ(row, std::vector<uint8_t>(top, top + 4));
  // The top image row is the last row in the DIB.
  const uint8_t* stored = RPb_image_pointer_get(rx::record_of(image)) + 2 * 4;
  EXPECT_EQ(row, std::vector<uint8_t>(stored, stored + 4));
}

TEST_F(RasterAccess, RasterRoundTripsEveryDepthAndFormat) {
  for (const Depth d : kDepths)
    for (int32_t width : {1, 13, 33}) {
      SCOPED_TRACE(testing::Message() << d.bits << (d.runs ? " runs" : "") << " width " << width);
      const int32_t height = 5;
      RX_HIMAGE packed_in = blank(d, width, height), bytes_in = blank(d, width, height);
      ASSERT_NE(packed_in, 0u);
      // Packed rows go in from the top, byte rows from the bottom: runs images
      // must keep every row whatever the order.
      for (int32_t r = 0; r < height; ++r) {
        const int32_t up = height - 1 - r;
        ASSERT_EQ(RX_DIB_raster_set(packed_in, r,
                                    packed_row(d.bits, width, model_row(d.bits, width, r, 1)).data(),
                                    RX_ROW_PACKED), 0);
        ASSERT_EQ(RX_DIB_raster_set(bytes_in, up, model_row(d.bits, width, up, 2).data(),
                                    RX_ROW_BYTE_PER_PIXEL), 0);
      }
      for (int32_t r = 0; r < height; ++r) {
        const auto m1 = model_row(d.bits, width, r, 1), m2 = model_row(d.bits, width, r, 2);
        std::vector<uint8_t> as_bytes(m1.size()), as_packed(test::stride_of(width, d.bits));
        ASSERT_EQ(RX_DIB_raster_get(packed_in, r, as_bytes.data(), RX_ROW_BYTE_PER_PIXEL), 0);
        EXPECT_EQ(as_bytes, m1) << "row " << r;
        ASSERT_EQ(RX_DIB_raster_get(bytes_in, r, as_packed.data(), RX_ROW_PACKED), 0);
        EXPECT_EQ(as_packed, packed_row(d.bits, width, m2)) << "row " << r;
        for (int32_t x = 0; x < width; ++x) {
          uint8_t value[3] = {};
          ASSERT_EQ(RX_image_pixel_get(bytes_in, x, r, value), 0);
          const uint32_t n = bytes_per_pixel(d.bits);
          EXPECT_EQ(std::vector<uint8_t>(value, value + n),
                    std::vector<uint8_t>(m2.begin() + x * n, m2.begin() + (x + 1) * n));
        }
      }
    }
}

TEST_F(RasterAccess, RowSpansReadAndWriteOnlyTheirPixels) {
  for (const Depth d : kDepths) {
    SCOPED_TRACE(testing::Message() << d.bits << (d.runs ? " runs" : ""));
    const int32_t width = 29;
    RX_HIMAGE image = blank(d, width, 2);
    const auto model = model_row(d.bits, width, 0, 3);
    ASSERT_EQ(RX_DIB_raster_set(image, 1, model.data(), RX_ROW_BYTE_PER_PIXEL), 0);
    const uint32_t n = bytes_per_pixel(d.bits);
    for (int32_t format : {RX_ROW_PACKED, RX_ROW_BYTE_PER_PIXEL}) {
      // Unaligned spans, the last one ending at the right edge.
      for (auto [first, count] : {std::pair{3u, 11u}, std::pair{0u, 8u}, std::pair{17u, 12u}}) {
        const std::vector<uint8_t> want(model.begin() + first * n, model.begin() + (first + count) * n);
        std::vector<uint8_t> got(want.size() + 4, 0xEE);
        ASSERT_EQ(RX_DIB_row_get(image, first, 1, count, got.data(), format), 0);
        if (format == RX_ROW_BYTE_PER_PIXEL || d.bits >= 8) {
          EXPECT_EQ(std::vector<uint8_t>(got.begin(), got.begin() + want.size()), want);
        } else {
          const auto packed = packed_row(d.bits, static_cast<int32_t>(count), want);
          const size_t used = (count * d.bits + 7) / 8;
          EXPECT_EQ(std::vector<uint8_t>(got.begin(), got.begin() + used),
                    std::vector<uint8_t>(packed.begin(), packed.begin() + used));
          EXPECT_EQ(got[used], 0xEE) << "nothing written past the span";
        }
      }
    }
    std::vector<uint8_t> whole(model.size());
    ASSERT_EQ(RX_DIB_row_get(image, RX_ROW_WHOLE, 1, 0, whole.data(), RX_ROW_BYTE_PER_PIXEL), 0);
    EXPECT_EQ(whole, model);

    if (d.runs) continue;
    // A span written in the middle leaves its neighbours alone.
    const std::vector<uint8_t> ones(size_t{7} * n, 1);
    const auto packed_ones = packed_row(d.bits, 7, ones);
    for (int32_t format : {RX_ROW_PACKED, RX_ROW_BYTE_PER_PIXEL}) {
      ASSERT_EQ(RX_DIB_raster_set(image, 1, model.data(), RX_ROW_BYTE_PER_PIXEL), 0);
      const auto& in = format == RX_ROW_PACKED && d.bits < 8 ? packed_ones : ones;
      ASSERT_EQ(RX_DIB_row_set(image, 5, 1, 7, in.data(), format), 0);
      std::vector<uint8_t> got(model.size());
      RX_DIB_raster_get(image, 1, got.data(), RX_ROW_BYTE_PER_PIXEL);
      auto want = model;
      std::fill(want.begin() + 5 * n, want.begin() + 12 * n, 1);
      EXPECT_EQ(got, want) << "format " << format;
    }
  }
}

TEST_F(RasterAccess, BadArgumentsAreRefused) {
  RX_HIMAGE mono = blank({1, true}, 10, 3), nib = blank({4, false}, 10, 3);
  std::vector<uint8_t> buf(64);
  auto refused = [&](int32_t count, int32_t code, int32_t ival) {
    EXPECT_EQ(count, 1);
    auto e = error_entries();
    ASSERT_FALSE(e.empty());
    EXPECT_EQ(e[0].code, code);
    EXPECT_EQ(e[0].iVal, ival);
  };
  refused(RX_DIB_raster_get(nib, 0, buf.data(), 3), RXE_PARAMETERS_OUT_OF_LIMITS, 3);
  refused(RX_DIB_raster_set(nib, 0, buf.data(), 0), RXE_PARAMETERS_OUT_OF_LIMITS, 0);
  refused(RX_DIB_raster_get(nib, 3, buf.data(), 1), RXE_PARAMETERS_OUT_OF_LIMITS, 3);
  refused(RX_DIB_raster_set(mono, -1, buf.data(), 1), RXE_PARAMETERS_OUT_OF_LIMITS, -1);
  refused(RX_DIB_row_get(mono, 0, 0, 4, buf.data(), 3), RXE_NOT_DONE_YET, 3);
  refused(RX_DIB_row_get(nib, 0, 0, 4, buf.data(), 3), RXE_PARAMETERS_OUT_OF_LIMITS, 3);
  refused(RX_DIB_row_get(nib, 10, 0, 1, buf.data(), 1), RXE_PARAMETERS_OUT_OF_LIMITS, 10);
  refused(RX_DIB_row_get(nib, 4, 0, 7, buf.data(), 1), RXE_PARAMETERS_OUT_OF_LIMITS, 4);
  refused(RX_DIB_row_set(nib, 2, 0, 0xFFFFFFF0u, buf.data(), 2), RXE_PARAMETERS_OUT_OF_LIMITS, 2);
  refused(RX_DIB_row_set(mono, 0, 0, 4, buf.data(), 1), RXE_RUNS_FORMAT, 0);
  refused(RX_DIB_raster_get(mono, 0, nullptr, 1), RXE_INVALID_POINTER, 0);
  refused(RX_image_pixel_get(nib, 10, 0, buf.data()), RXE_PARAMETERS_OUT_OF_LIMITS, 10);
  refused(RX_image_pixel_get(nib, -1, 0, buf.data()), RXE_PARAMETERS_OUT_OF_LIMITS, -1);
  refused(RX_image_pixel_set(nib, 0, 3, buf.data()), RXE_PARAMETERS_OUT_OF_LIMITS, 3);
  refused(RX_image_pixel_set(mono, 0, 0, buf.data()), RXE_RUNS_FORMAT, 0);
  refused(RX_image_pixel_get(mono, 0, 0, nullptr), RXE_INVALID_POINTER, 0);
}

TEST_F(RasterAccess, PixelSetTouchesOnlyItsPixel) {
  for (const Depth d : kDepths) {
    if (d.runs) continue;
    SCOPED_TRACE(d.bits);
    RX_HIMAGE image = blank(d, 9, 4);
    const uint8_t value[3] = {0xB7, 0x5C, 0x21};
    ASSERT_EQ(RX_image_pixel_set(image, 7, 2, value), 0);
    const auto want = model_row(d.bits, 9, 0, 0);  // only for its size
    std::vector<uint8_t> row(want.size(), 0xEE), expected(want.size(), 0);
    const uint32_t n = bytes_per_pixel(d.bits), mask = d.bits < 8 ? (1u << d.bits) - 1 : 0xFF;
    for (uint32_t i = 0; i < n; ++i) expected[7 * n + i] = static_cast<uint8_t>(value[i] & mask);
    RX_DIB_raster_get(image, 2, row.data(), RX_ROW_BYTE_PER_PIXEL);
    EXPECT_EQ(row, expected);
  }
}
