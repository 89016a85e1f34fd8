// The shipped RX16 module: while it is loaded the display draws 16-bit
// images, and without it the draw is refused with nothing drawn.
#include "DISPLAY/display_test_util.h"

namespace {

using namespace dtest;

class Rx16 : public EngineTest {};

TEST_F(Rx16, SixteenBitImagesDrawOnlyWhileTheModuleIsLoaded) {
  // 5-5-5 words: 0x7C00 is full red, 0x03E0 full green, 0x0010 blue 16 of
  // 31, spread to 16 x 255 / 31 = 131.6, the converter's 132 (16 << 3 | 16 >> 2).
  RX_HIMAGE im = test::create(dib(16, 3, 1, {}, [](int32_t x, int32_t) {
    return std::vector<uint32_t>{0x7C00, 0x03E0, 0x0010}[size_t(x)];
  }));
  ASSERT_NE(im, 0u);
  set_rect(im, 0, 0, 3, 1);
  Device dev(24, 3, 1);
  dev.fill(rgb(1, 1, 1));
  EXPECT_EQ(RX_display_image(im, dev.handle()), 1);
  EXPECT_EQ(error_codes(), std::vector<int32_t>{RXE_EXTENSION_NOT_PRESENT});
  EXPECT_EQ(dev.at(0, 0), rgb(1, 1, 1));

  ASSERT_EQ(RX_extension_load(RX_RX16_MODULE), 0);
  int32_t kind = 0, code = 0;
  ASSERT_EQ(RX_extension_item_get(0, 0, &kind, &code, nullptr), 0);
  EXPECT_EQ(kind, RX_EXT_ITEM_FILTER);
  EXPECT_EQ(code, RX_EXTENSION_DISPLAY_16);
  EXPECT_EQ(RX_display_image(im, dev.handle()), 0);
  EXPECT_EQ(dev.pixels(), (std::vector<Rgb>{rgb(255, 0, 0), rgb(0, 255, 0), rgb(0, 0, 132)}));

  // The filter has no detection test: a file still loads by its own.
  RX_HIMAGE loaded = 0;
  EXPECT_EQ(RX_image_load_file(RX_TEST_DATA_DIR "/bmp/peer/im_core_24bit.bmp", &loaded), 0);
  RX_image_delete(loaded);

  ASSERT_EQ(RX_extension_unload(RX_RX16_MODULE), 0);
  dev.fill(rgb(1, 1, 1));
  EXPECT_EQ(RX_display_image(im, dev.handle()), 1);
  EXPECT_EQ(dev.at(0, 0), rgb(1, 1, 1));
  RX_image_delete(im);
}

}  // namespace
