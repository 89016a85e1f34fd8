// Load limits: an image a file claims beyond the caller's limits is
// refused before anything is built or decoded, the caller's image stays,
// and nothing is left behind.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "SUPPORT/dib_builder.h"
#include "SUPPORT/mem_tag.h"
#include "support/engine_fixture.h"

namespace {

using Bytes = std::vector<uint8_t>;

class LoadLimits : public EngineTest {
 protected:
  // A file of the format, holding a width x height 24-bit image.
  static Bytes file_of(int32_t width, int32_t height, uint32_t format) {
    std::vector<uint8_t> dib = test::make_dib(width, height, 24);
    test::fill_pattern(dib);
    const RX_HIMAGE image = test::create(dib);
    Bytes out(dib.size() * 2 + 4096);
    int32_t size = 0;
    EXPECT_EQ(RX_image_save_memory(image, out.data(), 0, static_cast<int32_t>(out.size()), 0, 1,
                                   format, &size),
              0);
    RX_image_delete(image);
    out.resize(static_cast<size_t>(size));
    return out;
  }
  static int32_t load(const Bytes& file, RX_HIMAGE* image) {
    return RX_image_load_memory(file.data(), static_cast<int32_t>(file.size()), 1, 1, image);
  }
};

TEST_F(LoadLimits, StartAtTheEnginesOwnAndComeBackWithZero) {
  uint64_t pixels = 0, bytes = 0;
  RX_load_limits_get(&pixels, &bytes);
  EXPECT_EQ(pixels, 0x7FFFFFFFu);
  EXPECT_EQ(bytes, 0x7FFFFFFFu);
  RX_load_limits_set(100, 5000);
  RX_load_limits_get(&pixels, &bytes);
  EXPECT_EQ(pixels, 100u);
  EXPECT_EQ(bytes, 5000u);
  RX_load_limits_set(0, 0);
  RX_load_limits_get(&pixels, &bytes);
  EXPECT_EQ(pixels, 0x7FFFFFFFu);
}

TEST_F(LoadLimits, AnImageAbovePixelLimitIsRefusedInEveryFormat) {
  for (uint32_t format : {uint32_t{RX_FORMAT_BMP}, uint32_t{RX_FORMAT_JPEG}}) {
    const Bytes file = file_of(20, 10, format);  // 200 pixels
    RX_load_limits_set(199, 0);
    RX_HIMAGE image = 0;
    const int32_t live = rx::mem_live_block_count();
    EXPECT_EQ(load(file, &image), 1) << format;
    EXPECT_EQ(image, 0u);
    const auto e = error_entries();
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(e[0].code, RXE_LOAD_LIMIT_EXCEEDED);
    EXPECT_EQ(e[0].iVal, 20);
    EXPECT_EQ(e[0].lVal, 10);
    EXPECT_EQ(rx::mem_live_block_count(), live) << "nothing left behind";
    RX_load_limits_set(200, 0);
    EXPECT_EQ(load(file, &image), 0) << "exactly at the limit loads";
    RX_image_delete(image);
    RX_load_limits_set(0, 0);
  }
}

TEST_F(LoadLimits, TheDescriptionOfAFileIsNotLimited) {
  const Bytes file = file_of(20, 10, RX_FORMAT_BMP);
  RX_load_limits_set(1, 0);
  RX_BITMAPINFOHEADER h{};
  EXPECT_EQ(RX_memory_info_get(file.data(), static_cast<int32_t>(file.size()), 1, nullptr,
                               nullptr, &h),
            0);
  EXPECT_EQ(h.biWidth, 20);
}

TEST_F(LoadLimits, NoSingleBlockOfALoadPassesTheAllocationLimit) {
  // 100 x 100 x 24 bits: 30,000 bytes of pixels in one block.
  const Bytes file = file_of(100, 100, RX_FORMAT_BMP);
  RX_load_limits_set(0, 20000);
  RX_HIMAGE image = 0;
  EXPECT_GT(load(file, &image), 0);
  EXPECT_EQ(image, 0u);
  EXPECT_EQ(error_codes().front(), RXE_LOAD_LIMIT_EXCEEDED);
  RX_load_limits_set(0, 0);
  ASSERT_EQ(load(file, &image), 0);
  // The limit holds only while a load runs.
  std::vector<uint8_t> dib = test::make_dib(100, 100, 24);
  RX_load_limits_set(0, 20000);
  const RX_HIMAGE made = test::create(dib);
  EXPECT_NE(made, 0u);
  RX_image_delete(made);
  RX_image_delete(image);
}

// A small JPEG whose frame claims 20,000 x 20,000 pixels: with a limit it is
// refused at the frame header, long before the decoder would fill 1.2 GB.
TEST_F(LoadLimits, AHugeJpegFrameIsRefusedAtItsHeader) {
  Bytes file = file_of(16, 16, RX_FORMAT_JPEG);
  size_t sof = 0;
  for (size_t i = 2; i + 1 < file.size(); ++i)
    if (file[i] == 0xFF && file[i + 1] == 0xC0) {
      sof = i;
      break;
    }
  ASSERT_NE(sof, 0u);
  const uint8_t size[4] = {0x4E, 0x20, 0x4E, 0x20};  // 20000 lines, 20000 samples
  std::memcpy(&file[sof + 5], size, 4);
  RX_load_limits_set(179000000, 0);
  RX_HIMAGE image = 0;
  EXPECT_EQ(load(file, &image), 1);
  EXPECT_EQ(error_codes(), std::vector<int32_t>{RXE_LOAD_LIMIT_EXCEEDED});
  EXPECT_EQ(image, 0u);
}

TEST_F(LoadLimits, AFailedLoadKeepsTheCallersImage) {
  const Bytes file = file_of(20, 10, RX_FORMAT_BMP);
  const Bytes small = file_of(2, 2, RX_FORMAT_BMP);
  RX_HIMAGE image = 0;
  ASSERT_EQ(load(small, &image), 0);
  RX_HIMAGE other = 0;
  RX_load_limits_set(4, 0);
  EXPECT_EQ(load(file, &other), 1);
  EXPECT_EQ(RPb_iRX_image_is_valid(image), 1);
  RX_image_delete(image);
}

}  // namespace
