// Run rows: the codec on its own, and runs images kept through the record.
#include <functional>
#include <random>
#include <vector>

#include "SUPPORT/dib_builder.h"
#include "SUPPORT/image_rec.h"
#include "SUPPORT/runs.h"
#include "support/engine_fixture.h"

namespace {

using Rule = std::function<bool(int32_t row, int32_t x)>;

std::vector<uint16_t> values_of(const uint8_t* run_row) {
  std::vector<uint16_t> v((run_row[0] | run_row[1] << 8) / 2);
  std::memcpy(v.data(), run_row, v.size() * 2);
  return v;
}

std::vector<uint8_t> run_row(std::initializer_list<uint16_t> values) {
  std::vector<uint8_t> out(values.size() * 2);
  std::memcpy(out.data(), std::data(values), out.size());
  return out;
}

uint32_t total_run_bytes(IMAGE_REC* record, int32_t height) {
  uint32_t total = 0;
  for (int32_t d = 0; d < height; ++d) total += values_of(RPb_image_run_row_get(record, d))[0];
  return total;
}

}  // namespace

TEST(RunsCodec, AllZeroRowOfWidthOneIsTenBytes) {
  uint8_t out[rx::run_row_max_bytes(1)];
  const uint8_t zero = 0x00, one = 0x80;
  EXPECT_EQ(rx::run_row_encode(&zero, 1, out), 10u);
  EXPECT_EQ(values_of(out), (std::vector<uint16_t>{10, 0, 1, 1, 1}));
  rx::run_row_encode(&one, 1, out);
  EXPECT_EQ(values_of(out), (std::vector<uint16_t>{8, 1, 1, 1}));
  EXPECT_EQ(test::stride_of(1, 1), 4u);
}

// Encoding, expansion and the bisecting pixel read agree at every column,
// run boundaries included.
TEST(RunsCodec, RoundTripsEveryWidthAndPattern) {
  std::mt19937 random(12345);
  for (uint32_t w = 1; w <= 200; ++w) {
    std::vector<bool> noise(w);
    for (uint32_t x = 0; x < w; ++x) noise[x] = (random() & 3) == 0;
    const std::function<bool(uint32_t)> patterns[] = {
        [](uint32_t) { return false; },       [](uint32_t) { return true; },
        [](uint32_t x) { return x % 2 == 0; }, [](uint32_t x) { return x % 2 == 1; },
        [](uint32_t x) { return x == 0; },    [w](uint32_t x) { return x == w - 1; },
        [&noise](uint32_t x) { return noise[x]; }};
    for (const auto& bit : patterns) {
      // Padding bits are 1 so that the encoder must stop at the width.
      std::vector<uint8_t> packed((w + 7) / 8, 0xFF), expanded(test::stride_of(w, 1), 0xEE);
      for (uint32_t x = 0; x < w; ++x)
        if (!bit(x)) packed[x >> 3] &= static_cast<uint8_t>(~(0x80u >> (x & 7)));
      std::vector<uint8_t> row(rx::run_row_max_bytes(w));
      row.resize(rx::run_row_encode(packed.data(), w, row.data()));
      ASSERT_EQ(rx::run_row_check(row.data(), row.size(), w), row.size()) << "width " << w;
      rx::run_row_expand(row.data(), w, expanded.data(), static_cast<uint32_t>(expanded.size()));
      for (uint32_t x = 0; x < expanded.size() * 8; ++x) {
        const uint32_t want = x < w && bit(x) ? 1 : 0;
        ASSERT_EQ(test::bit_at(expanded.data(), x), want) << "width " << w << " x " << x;
        if (x < w) {
          ASSERT_EQ(rx::run_row_pixel(row.data(), x), want) << "width " << w << " x " << x;
        }
      }
    }
  }
}

TEST(RunsCodec, CheckRefusesMalformedRowsAndExpandClamps) {
  EXPECT_EQ(rx::run_row_check(run_row({12, 3, 9, 16, 16, 16}).data(), 12, 16), 12u);
  const struct {
    std::vector<uint8_t> row;
    size_t available;
    const char* why;
  } bad[] = {
      {run_row({12, 3, 9, 16, 16, 16}), 11, "longer than the bytes there"},
      {run_row({11, 3, 9, 16, 16, 16}), 12, "odd length"},
      {run_row({6, 16, 16}), 6, "too short"},
      {run_row({12, 9, 3, 16, 16, 16}), 12, "columns going back"},
      {run_row({12, 3, 17, 16, 16, 16}), 12, "column past the width"},
      {run_row({12, 3, 9, 12, 16, 16}), 12, "fewer than three copies of the width"},
      {run_row({8}), 1, "length cut off"},
  };
  for (const auto& b : bad) EXPECT_EQ(rx::run_row_check(b.row.data(), b.available, 16), 0u) << b.why;
  // Damaged columns must not write outside the row.
  std::vector<uint8_t> packed(4, 0);
  rx::run_row_expand(run_row({14, 40000, 3, 60000, 16, 16, 16}).data(), 16, packed.data(), 2);
  EXPECT_EQ(packed, (std::vector<uint8_t>{0xFF, 0xFF, 0, 0}));
}

class RunsImage : public EngineTest {
 protected:
  // A 1-bit image, converted to runs, whose image row r has bit x set when rule(r, x).
  static RX_HIMAGE runs_image(int32_t w, int32_t h, const Rule& rule) {
    auto dib = test::make_dib(w, h, 1);
    for (int32_t r = 0; r < h; ++r)
      for (int32_t x = 0; x < w; ++x)
        if (rule(r, x)) test::image_row(dib, r)[x >> 3] |= static_cast<uint8_t>(0x80u >> (x & 7));
    RX_HIMAGE image = test::create(dib);
    EXPECT_EQ(RX_IP_convert_DIB_to_runs(image), 0);
    return image;
  }

  static void expect_pixels(RX_HIMAGE image, int32_t w, int32_t h, const Rule& rule) {
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        uint8_t v = 0xEE;
        ASSERT_EQ(RX_image_pixel_get(image, x, y, &v), 0);
        ASSERT_EQ(v, rule(y, x) ? 1 : 0) << x << "," << y;
      }
  }

  static int32_t compression(RX_HIMAGE image) {
    int32_t code = -1;
    RX_image_compression_type_get(image, &code);
    return code;
  }
};

TEST_F(RunsImage, ConversionsKeepHandleAndPixels) {
  const Rule rule = [](int32_t r, int32_t x) { return (r * 7 + x * 3) % 11 < 4 || x == r; };
  RX_HIMAGE image = runs_image(77, 23, rule);
  IMAGE_REC* record = rx::record_of(image);
  EXPECT_EQ(compression(image), RX_BI_RUNS);
  expect_pixels(image, 77, 23, rule);
  // A finished runs image holds its rows back to back, top row first.
  EXPECT_EQ(rx::dib_header(record->dib)->biSizeImage, total_run_bytes(record, 23));
  EXPECT_EQ(record->run_table[22], 0u);

  ASSERT_EQ(RX_IP_convert_runs_to_DIB(image), 0);
  EXPECT_EQ(RPb_iRX_image_is_valid(image), 1);
  EXPECT_EQ(compression(image), RX_BI_RGB);
  EXPECT_EQ(record->run_table, nullptr);
  expect_pixels(image, 77, 23, rule);
}

TEST_F(RunsImage, ConversionRefusesWrongDepthAndLockedRecord) {
  EXPECT_EQ(RX_IP_convert_DIB_to_runs(test::create(test::make_dib(4, 4, 8))), 1);
  EXPECT_EQ(error_codes(), std::vector<int32_t>{RXE_INVALID_BIT_COUNT});
  RX_HIMAGE image = runs_image(9, 3, [](int32_t, int32_t x) { return x > 4; });
  IMAGE_REC* record = rx::record_of(image);
  ASSERT_EQ(rx::record_lock(record), 1);
  EXPECT_EQ(rx::record_lock(record), 0) << "a second lock fails";
  EXPECT_EQ(RX_IP_convert_runs_to_DIB(image), 1);
  EXPECT_EQ(error_codes(), std::vector<int32_t>{RXE_MEMORY_LOCK_FAILED});
  EXPECT_EQ(compression(image), RX_BI_RUNS);
  rx::record_unlock(record);
}

TEST_F(RunsImage, FreshDibReadsZeroAndNeedsTheLock) {
  IMAGE_REC* record = rx::record_create(RPb_AF_mem_unique_tag_get());
  RX_BITMAPINFOHEADER h;
  RPb_DIB_init(&h, 5, 3, 1, RX_BI_RGB, 0, 0);
  void* dib = RPb_DIB_alloc(record, &h, nullptr);
  ASSERT_NE(dib, nullptr);
  EXPECT_EQ(rx::dib_header(dib)->biCompression, uint32_t{RX_BI_RUNS});
  ASSERT_EQ(RPb_image_associate(dib, record, 1), 0);
  for (int32_t d = 0; d < 3; ++d)
    EXPECT_EQ(values_of(RPb_image_run_row_get(record, d)), (std::vector<uint16_t>{10, 0, 5, 5, 5}));
  EXPECT_EQ(RPb_image_run_row_get(record, 3), nullptr);

  ASSERT_EQ(rx::record_lock(record), 1);
  EXPECT_EQ(RPb_DIB_alloc(record, &h, nullptr), nullptr);
  EXPECT_EQ(error_codes(), std::vector<int32_t>{RXE_MEMORY_LOCK_FAILED});
  rx::record_unlock(record);
}

TEST_F(RunsImage, RowsGrowPastTheFirstAllocation) {
  // A 1000-pixel alternating row takes 2008 run bytes; the plain rows that
  // sized the first allocation take 128.
  const Rule rule = [](int32_t r, int32_t x) { return r == 0 && (x & 1); };
  RX_HIMAGE image = runs_image(1000, 2, rule);
  EXPECT_EQ(values_of(RPb_image_run_row_get(rx::record_of(image), 1))[0], 2008);
  expect_pixels(image, 1000, 2, rule);
}

TEST_F(RunsImage, RowsSetInAnyOrderLeaveTheOthersIntact) {
  const int32_t w = 64, h = 6;
  Rule rule = [](int32_t r, int32_t x) { return (x / (r + 1)) % 2 == 0; };
  RX_HIMAGE image = runs_image(w, h, rule);
  std::vector<uint8_t> busy(w), quiet(w, 0);
  for (int32_t x = 0; x < w; ++x) busy[x] = x & 1;
  ASSERT_EQ(RX_DIB_raster_set(image, 2, busy.data(), RX_ROW_BYTE_PER_PIXEL), 0);
  ASSERT_EQ(RX_DIB_raster_set(image, 4, quiet.data(), RX_ROW_BYTE_PER_PIXEL), 0);
  ASSERT_EQ(RX_DIB_raster_set(image, 1, busy.data(), RX_ROW_BYTE_PER_PIXEL), 0);
  const Rule before = rule;
  rule = [before](int32_t r, int32_t x) { return r == 2 || r == 1 ? (x & 1) != 0 : r != 4 && before(r, x); };
  expect_pixels(image, w, h, rule);
  // Storing the bottom row closes the gaps left on the way.
  ASSERT_EQ(RX_DIB_raster_set(image, h - 1, quiet.data(), RX_ROW_BYTE_PER_PIXEL), 0);
  IMAGE_REC* record = rx::record_of(image);
  EXPECT_EQ(rx::dib_header(record->dib)->biSizeImage, total_run_bytes(record, h));
}

TEST_F(RunsImage, GrowingRowsInEitherDirectionKeepTheAreaBounded) {
  const int32_t w = 64, h = 200;
  const uint32_t busy_bytes = 136;  // length, 0, columns 1..63, the width x 3
  std::vector<uint8_t> busy(w);
  for (int32_t x = 0; x < w; ++x) busy[x] = x & 1;
  for (bool upwards : {false, true}) {
    SCOPED_TRACE(upwards ? "upwards" : "downwards");
    RX_HIMAGE image = runs_image(w, h, [](int32_t, int32_t) { return false; });
    IMAGE_REC* record = rx::record_of(image);
    uint32_t peak = 0;
    for (int32_t k = 0; k < h; ++k) {
      ASSERT_EQ(RX_DIB_raster_set(image, upwards ? h - 1 - k : k, busy.data(), RX_ROW_BYTE_PER_PIXEL), 0);
      peak = std::max(peak, rx::dib_header(record->dib)->biSizeImage);
    }
    EXPECT_EQ(rx::dib_header(record->dib)->biSizeImage, busy_bytes * h) << "packed after the pass";
    EXPECT_LE(peak, 2 * busy_bytes * h) << "growth doubles, never runs away";
  }
}

TEST_F(RunsImage, StoreChecksRowsFromOutside) {
  RX_HIMAGE image = runs_image(16, 2, [](int32_t, int32_t) { return false; });
  IMAGE_REC* record = rx::record_of(image);
  const auto bad = run_row({12, 3, 20, 16, 16, 16}), good = run_row({12, 3, 9, 16, 16, 16});
  EXPECT_EQ(rx::runs_row_store(record, 0, bad.data(), bad.size()), RXE_COMPRESSION_ERROR);
  EXPECT_EQ(rx::runs_row_store(record, 2, good.data(), good.size()), RXE_PARAMETERS_OUT_OF_LIMITS);
  EXPECT_EQ(rx::runs_row_store(record, 1, good.data(), good.size()), 0);
  expect_pixels(image, 16, 2, [](int32_t r, int32_t x) { return r == 0 && (x < 3 || x >= 9); });
}
