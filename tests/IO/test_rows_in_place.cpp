// Rows in place: when a load or a save may hand a codec the image's own
// rows, and that a codec using them gives the bytes it gives when every
// row goes through the callbacks (a status callback forces that path).
#include <cmath>
#include <cstring>
#include <vector>

#include "IO/io_direct_rows.h"
#include "LOAD/fake_reader.h"
#include "SAVE/dfltsvcb.h"
#include "SUPPORT/dib_builder.h"
#include "SUPPORT/image_rec.h"
#include "SUPPORT/kernels.h"
#include "support/engine_fixture.h"

namespace {

using Bytes = std::vector<uint8_t>;

int32_t keep_going(uintptr_t, int32_t, int32_t) { return 1; }

// ---- When rows are offered ----------------------------------------------------

using RowsInPlace = EngineTest;

TEST_F(RowsInPlace, LoadOffersTheImageRowsTopRowFirst) {
  test::FakeLoad load;
  const test::SourceImage s(5, 3, 24);
  ASSERT_EQ(load.create(s), 0);
  rx::DirectRows rows{};
  ASSERT_TRUE(rx::io_direct_rows(&load.io, 3, 16, &rows));
  // Row 0 is the top row, which a DIB stores last.
  const Bytes top = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 0};
  std::memcpy(rows.row(0), top.data(), top.size());
  rows.row(2)[0] = 99;
  EXPECT_EQ(test::row_of(load.image, 0), top);
  EXPECT_EQ(test::row_of(load.image, 2)[0], 99);
  EXPECT_EQ(test::row_of(load.image, 1), Bytes(16, 0));  // rows left alone stay zero
}

TEST_F(RowsInPlace, LoadKeepsRowsToItselfWhenAnythingElseWouldSeeThem) {
  {  // another size than the image's
    test::FakeLoad load;
    ASSERT_EQ(load.create(test::SourceImage(5, 3, 24)), 0);
    rx::DirectRows rows{};
    EXPECT_FALSE(rx::io_direct_rows(&load.io, 4, 16, &rows));
    EXPECT_FALSE(rx::io_direct_rows(&load.io, 3, 15, &rows));
  }
  {  // a row already handed over
    test::FakeLoad load;
    const test::SourceImage s(5, 3, 24);
    ASSERT_EQ(load.create(s), 0);
    ASSERT_EQ(load.row(0, s.rows[0]), 0);
    rx::DirectRows rows{};
    EXPECT_FALSE(rx::io_direct_rows(&load.io, 3, 16, &rows));
  }
  {  // bi-level rows become runs
    test::FakeLoad load;
    ASSERT_EQ(load.create(test::SourceImage(40, 3, 1)), 0);
    rx::DirectRows rows{};
    EXPECT_FALSE(rx::io_direct_rows(&load.io, 3, 8, &rows));
  }
  {  // a status callback hears of every row
    RX_status_callback_set(keep_going, 0);
    test::FakeLoad load;
    ASSERT_EQ(load.create(test::SourceImage(5, 3, 24)), 0);
    rx::DirectRows rows{};
    EXPECT_FALSE(rx::io_direct_rows(&load.io, 3, 16, &rows));
    RX_status_callback_set(nullptr, 0);
  }
}

// Whether a save of `im` would offer its rows, and which.
bool save_offers(RX_HIMAGE im, rx::DirectRows* rows) {
  IO_REC io{};
  rx::SAVE_CB_DATA data{};
  RPb_IO_inst_lookup(&io);
  EXPECT_EQ(rx::save_cb_data_init(&io, &data, rx::record_of(im)), 0);
  const bool offered = rx::io_source_rows(&io, 3, 16, rows);
  rx::save_cb_data_free(&data);
  return offered;
}

TEST_F(RowsInPlace, SaveOffersTheWholeImageOnly) {
  Bytes dib = test::make_dib(5, 3, 24);
  test::fill_pattern(dib);
  const RX_HIMAGE im = test::create(dib);
  ASSERT_NE(im, 0u);
  rx::DirectRows rows{};
  ASSERT_TRUE(save_offers(im, &rows));
  EXPECT_EQ(Bytes(rows.row(0), rows.row(0) + 16), test::row_of(im, 0));
  EXPECT_EQ(Bytes(rows.row(2), rows.row(2) + 16), test::row_of(im, 2));
  RX_status_callback_set(keep_going, 0);  // it hears of every row
  EXPECT_FALSE(save_offers(im, &rows));
  RX_status_callback_set(nullptr, 0);
  const int32_t part[4] = {1, 0, 4, 2};
  ASSERT_EQ(RX_display_image_rect_set(im, part), 0);
  EXPECT_FALSE(save_offers(im, &rows));
  RX_image_delete(im);
}

// ---- Codecs in place and through the callbacks ----------------------------------

// A smooth picture with some detail, the kind the codecs see: colour
// gradients, a ring and fine stripes.
RX_HIMAGE photo(int32_t width, int32_t height, int32_t bits) {
  Bytes dib = test::make_dib(width, height, bits);
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = test::image_row(dib, y);
    for (int32_t x = 0; x < width; ++x) {
      const double d = std::hypot(x - width / 2.0, y - height / 3.0);
      const auto ring = static_cast<uint8_t>(127.5 + 127.5 * std::sin(d / 9.0));
      const auto stripes = static_cast<uint8_t>((x / 3 + y / 5) % 2 ? 200 : 40);
      if (bits == 8) {
        row[x] = static_cast<uint8_t>((ring + stripes) / 2);
        continue;
      }
      row[3 * x] = static_cast<uint8_t>(x * 255 / width);
      row[3 * x + 1] = ring;
      row[3 * x + 2] = x % 64 < 32 ? static_cast<uint8_t>(y * 255 / height) : stripes;
    }
  }
  return test::create(dib);
}

Bytes saved(RX_HIMAGE im, int32_t format) {
  Bytes block(64 << 20);
  int32_t size = 0;
  EXPECT_EQ(RX_image_save_memory(im, block.data(), 0, static_cast<int32_t>(block.size()), 0, 0,
                                 static_cast<uint32_t>(format), &size),
            0);
  block.resize(static_cast<size_t>(size));
  return block;
}

// Every row of an image, top first.
Bytes pixels(RX_HIMAGE im) {
  int32_t width = 0, height = 0, bits = 0;
  RX_image_dimensions_get(im, &width, &height, &bits);
  Bytes all;
  for (int32_t y = 0; y < height; ++y) {
    const Bytes row = test::row_of(im, y);
    all.insert(all.end(), row.begin(), row.end());
  }
  return all;
}

// Loads `file`, its rows in place or, with a status callback, handed over.
Bytes loaded(const Bytes& file, bool in_place) {
  if (!in_place) RX_status_callback_set(keep_going, 0);
  RX_HIMAGE im = 0;
  EXPECT_EQ(RX_image_load_memory(file.data(), static_cast<int32_t>(file.size()), 1, 1, &im), 0);
  RX_status_callback_set(nullptr, 0);
  Bytes out = pixels(im);
  RX_image_delete(im);
  return out;
}

std::vector<rx::KernelLevel> levels() {
  std::vector<rx::KernelLevel> all = {rx::KernelLevel::kReference};
  for (rx::KernelLevel l : {rx::KernelLevel::kSse2, rx::KernelLevel::kAvx2})
    if (l <= rx::kernel_level_supported()) all.push_back(l);
  return all;
}

struct JpegCase {
  int32_t width, height, bits;
  int32_t sampling;
};

// Widths that are whole vectors and widths that are not; large enough for
// the helper thread.
constexpr JpegCase kJpegCases[] = {
    {608, 448, 24, 0x221111}, {601, 450, 24, 0x221111}, {640, 432, 24, 0x111111},
    {611, 433, 24, 0x211111}, {608, 448, 8, 0x111111},
};

TEST_F(RowsInPlace, JpegReaderMakesTheSameRowsInTheImage) {
  for (const JpegCase& c : kJpegCases) {
    SCOPED_TRACE(testing::Message() << c.width << " x " << c.height << " x " << c.bits);
    const RX_HIMAGE im = photo(c.width, c.height, c.bits);
    ASSERT_EQ(RX_image_control_set(RX_OPTION_JPEG_SAMPLING, c.sampling), 0);
    const Bytes file = saved(im, RX_FORMAT_JPEG);
    RX_image_delete(im);
    Bytes expected;
    {
      rx::KernelLevelScope plain(rx::KernelLevel::kReference);
      expected = loaded(file, false);
    }
    for (rx::KernelLevel level : levels()) {
      rx::KernelLevelScope scope(level);
      EXPECT_EQ(loaded(file, true), expected) << "level " << static_cast<int>(level);
      EXPECT_EQ(loaded(file, false), expected) << "level " << static_cast<int>(level);
    }
  }
}

TEST_F(RowsInPlace, JpegWriterReadsTheImageRowsForTheSameBytes) {
  for (const JpegCase& c : kJpegCases) {
    SCOPED_TRACE(testing::Message() << c.width << " x " << c.height << " x " << c.bits);
    const RX_HIMAGE im = photo(c.width, c.height, c.bits);
    ASSERT_EQ(RX_image_control_set(RX_OPTION_JPEG_SAMPLING, c.sampling), 0);
    Bytes expected;
    {
      rx::KernelLevelScope plain(rx::KernelLevel::kReference);
      RX_status_callback_set(keep_going, 0);
      expected = saved(im, RX_FORMAT_JPEG);
      RX_status_callback_set(nullptr, 0);
    }
    for (rx::KernelLevel level : levels()) {
      rx::KernelLevelScope scope(level);
      EXPECT_EQ(saved(im, RX_FORMAT_JPEG), expected) << "level " << static_cast<int>(level);
    }
    RX_image_delete(im);
  }
}

TEST_F(RowsInPlace, BmpRoundTripInPlaceMatchesTheCallbacks) {
  for (const int32_t bits : {24, 8}) {
    const RX_HIMAGE im = photo(203, 77, bits);  // rows with padding
    const Bytes expected_pixels = pixels(im);
    RX_status_callback_set(keep_going, 0);
    const Bytes expected_file = saved(im, RX_FORMAT_BMP);
    RX_status_callback_set(nullptr, 0);
    const Bytes file = saved(im, RX_FORMAT_BMP);
    EXPECT_EQ(file, expected_file);
    EXPECT_EQ(loaded(file, true), expected_pixels);
    EXPECT_EQ(loaded(file, false), expected_pixels);
    RX_image_delete(im);
  }
}

TEST_F(RowsInPlace, CutBmpFailsAndLeavesNoImage) {
  const RX_HIMAGE im = photo(64, 40, 24);
  Bytes file = saved(im, RX_FORMAT_BMP);
  RX_image_delete(im);
  file.resize(file.size() - 100);
  RX_HIMAGE out = 0;
  EXPECT_NE(RX_image_load_memory(file.data(), static_cast<int32_t>(file.size()), 1, 1, &out), 0);
  EXPECT_EQ(out, 0u);
  EXPECT_EQ(error_codes().front(), RXE_CANT_READ_PIXEL_DATA);
}

}  // namespace
