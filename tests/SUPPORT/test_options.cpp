// Image control options and engine settings.
#include <cstring>

#include "SUPPORT/img_ctrl.h"
#include "SUPPORT/settings.h"
#include "support/engine_fixture.h"

class Options : public EngineTest {
 protected:
  uint32_t get(uint32_t id) {
    uint32_t v = 0xDEADBEEF;
    EXPECT_EQ(RX_image_control_get(id, &v), 0) << id;
    return v;
  }
};

TEST_F(Options, DefaultsAfterStart) {
  EXPECT_EQ(get(RX_OPTION_JPEG_QUALITY), 70u);
  EXPECT_EQ(get(RX_OPTION_JPEG_SAMPLING), 0x211111u);
  EXPECT_EQ(get(RX_OPTION_JPEG_THUMBNAIL), 1u);
  EXPECT_EQ(get(RX_OPTION_JPEG_THUMBNAIL_WIDTH), 16u);
  EXPECT_EQ(get(RX_OPTION_JPEG_THUMBNAIL_HEIGHT), 16u);
  EXPECT_EQ(get(RX_OPTION_BMP_HEADER_TYPE), 1u);
  EXPECT_EQ(get(RX_OPTION_BMP_TOP_DOWN), 0u);
  EXPECT_EQ(get(RX_OPTION_TIFF_ONE_STRIP), 0u);
  EXPECT_EQ(get(RX_OPTION_TIFF_FILL_ORDER), 0xFFFFu);
  EXPECT_EQ(get(RX_OPTION_TIFF_7), 0u);
  EXPECT_EQ(get(RX_OPTION_TIFF_PHOTOMETRIC), 0xFFFFu);
  EXPECT_EQ(get(RX_OPTION_TEXT_X_RESOLUTION), 200u);
  EXPECT_EQ(get(RX_OPTION_TEXT_MARGIN_BOTTOM), 1000u);
  EXPECT_EQ(get(RX_OPTION_TEXT_PAGE_WIDTH), 8500u);
  EXPECT_EQ(get(RX_OPTION_TEXT_PAGE_HEIGHT), 11000u);
  EXPECT_EQ(get(RX_OPTION_TEXT_POINT_SIZE), 10u);
  EXPECT_EQ(get(RX_OPTION_TEXT_TAB_WIDTH), 3u);
}

TEST_F(Options, BlocksHoldTheirDefaultsInRecordOrder) {
  uint32_t tiff[9];
  ASSERT_EQ(rx::options_block_copy(RX_FORMAT_TIFF, tiff, sizeof tiff), 36u);
  EXPECT_EQ(tiff[0], 0u);
  EXPECT_EQ(tiff[1], 1u);
  EXPECT_EQ(tiff[3], 0xFFFF0000u) << "16-bit fields 0 and 0xFFFF";
  EXPECT_EQ(tiff[4], 1u);
  EXPECT_EQ(tiff[7], 0x0000FFFFu) << "16-bit fields 0xFFFF and 0";
  uint32_t dcx[2];
  ASSERT_EQ(rx::options_block_copy(RX_FORMAT_DCX, dcx, sizeof dcx), 8u);
  EXPECT_EQ(dcx[0], 1u);
  EXPECT_EQ(dcx[1], 1u);
  // Shared blocks: icon and CUT, text and the raw CCITT formats.
  const auto offset = [](int32_t format) { return rx::options_block_of(format).offset; };
  EXPECT_EQ(offset(RX_FORMAT_ICO), offset(RX_FORMAT_CUT));
  EXPECT_EQ(offset(RX_FORMAT_TEXT), offset(RX_FORMAT_RAW_G4));
  EXPECT_EQ(rx::options_block_of(RX_FORMAT_BMP).offset, 4u);
  EXPECT_EQ(rx::options_block_of(RX_FORMAT_AFX).offset, 364u);
  EXPECT_EQ(rx::options_block_of(99).size, 0u);
  uint32_t too_small[2];
  EXPECT_EQ(rx::options_block_copy(RX_FORMAT_JPEG, too_small, sizeof too_small), 0u);
}

TEST_F(Options, SixteenBitFieldsTakeTheLowBits) {
  EXPECT_EQ(RX_image_control_set(RX_OPTION_TIFF_FILL_ORDER, 0x12345), 0);
  EXPECT_EQ(get(RX_OPTION_TIFF_FILL_ORDER), 0x2345u);
  EXPECT_EQ(RX_image_control_set(RX_OPTION_TIFF_PHOTOMETRIC, 0xFFFF0001u), 0);
  EXPECT_EQ(get(RX_OPTION_TIFF_PHOTOMETRIC), 1u);
  // The neighbouring 16-bit field is untouched.
  uint8_t tiff[36];
  rx::options_block_copy(RX_FORMAT_TIFF, tiff, sizeof tiff);
  EXPECT_EQ(tiff[12] | tiff[13], 0);
  EXPECT_EQ(tiff[30] | tiff[31], 0);
}

TEST_F(Options, SetThenGetEveryNumericId) {
  for (uint32_t id : {RX_OPTION_BMP_HEADER_TYPE, RX_OPTION_BMP_TOP_DOWN, RX_OPTION_JPEG_QUALITY,
                      RX_OPTION_JPEG_SAMPLING, RX_OPTION_JPEG_THUMBNAIL,
                      RX_OPTION_JPEG_THUMBNAIL_WIDTH, RX_OPTION_JPEG_THUMBNAIL_HEIGHT,
                      RX_OPTION_KFX_1, RX_OPTION_PICT_1, RX_OPTION_TIFF_ONE_STRIP, RX_OPTION_TIFF_7,
                      RX_OPTION_TEXT_X_RESOLUTION, RX_OPTION_TEXT_Y_RESOLUTION,
                      RX_OPTION_TEXT_MARGIN_LEFT, RX_OPTION_TEXT_MARGIN_TOP,
                      RX_OPTION_TEXT_MARGIN_RIGHT, RX_OPTION_TEXT_MARGIN_BOTTOM,
                      RX_OPTION_TEXT_PAGE_WIDTH, RX_OPTION_TEXT_PAGE_HEIGHT,
                      RX_OPTION_TEXT_POINT_SIZE, RX_OPTION_TEXT_TAB_WIDTH, RX_OPTION_TEXT_BOLD,
                      RX_OPTION_TEXT_ITALIC}) {
    ASSERT_EQ(RX_image_control_set(id, id * 3 + 1), 0);
    EXPECT_EQ(get(id), id * 3 + 1) << id;
  }
  EXPECT_EQ(get(RX_OPTION_BMP_HEADER_TYPE), RX_OPTION_BMP_HEADER_TYPE * 3u + 1)
      << "later sets do not overlap earlier fields";
}

TEST_F(Options, UnknownIdIsRefusedWithItsValue) {
  EXPECT_EQ(RX_image_control_set(0x999, 5), 1);
  auto e = error_entries();
  ASSERT_EQ(e.size(), 1u);
  EXPECT_EQ(e[0].code, RXE_INVALID_IMAGE_CONTROL_OPTION_ID);
  EXPECT_EQ(e[0].iVal, 0x999);
  uint32_t v = 0;
  EXPECT_EQ(RX_image_control_get(0x999, &v), 1);
  EXPECT_EQ(RX_image_control_get(RX_OPTION_JPEG_QUALITY, nullptr), 1);
}

TEST_F(Options, FontNameIsCopiedAndCut) {
  char name[32];
  ASSERT_EQ(RX_image_control_get(RX_OPTION_TEXT_FONT_NAME, name), 0);
  EXPECT_STREQ(name, "");
  RX_image_control_set(RX_OPTION_TEXT_FONT_NAME, reinterpret_cast<uintptr_t>("Mono Sans"));
  RX_image_control_get(RX_OPTION_TEXT_FONT_NAME, name);
  EXPECT_STREQ(name, "Mono Sans");
  const char* longer = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  RX_image_control_set(RX_OPTION_TEXT_FONT_NAME, reinterpret_cast<uintptr_t>(longer));
  RX_image_control_get(RX_OPTION_TEXT_FONT_NAME, name);
  EXPECT_EQ(std::strlen(name), 31u);
  EXPECT_EQ(std::strncmp(name, longer, 31), 0);
  RX_image_control_set(RX_OPTION_TEXT_FONT_NAME, 0);
  RX_image_control_get(RX_OPTION_TEXT_FONT_NAME, name);
  EXPECT_STREQ(name, "") << "a null name clears the field";
  uint32_t after;
  ASSERT_EQ(RX_image_control_get(RX_OPTION_TEXT_ITALIC, &after), 0);
  EXPECT_EQ(after, 0u) << "the font copy stays inside its field";
}

class Settings : public EngineTest {};

static int32_t status_stub(uintptr_t, int32_t, int32_t) { return 1; }

TEST_F(Settings, StatusCallbackRoundTrip) {
  RX_STATUS_CB cb = nullptr;
  uintptr_t user = 7;
  RPb_status_callback_get(&cb, &user);
  EXPECT_EQ(cb, nullptr);
  EXPECT_EQ(user, 0u);
  EXPECT_EQ(RX_status_callback_set(status_stub, 99), 0);
  RPb_status_callback_get(&cb, &user);
  EXPECT_EQ(cb, &status_stub);
  EXPECT_EQ(user, 99u);
}

TEST_F(Settings, LoadOptionsAndTheirOnFlags) {
  rx::LoadOptions o = rx::load_options_get();
  EXPECT_FALSE(o.crop_on);
  EXPECT_FALSE(o.resize_on);
  EXPECT_EQ(RX_load_crop_set(95, 0, 10, 0), 0);
  EXPECT_EQ(RX_load_resize_set(0, 8), 0);
  EXPECT_EQ(RX_load_conversion_set(2), 0);
  o = rx::load_options_get();
  EXPECT_TRUE(o.crop_on);
  EXPECT_EQ(o.crop_left, 95);
  EXPECT_TRUE(o.resize_on);
  EXPECT_EQ(o.resize_height, 8);
  EXPECT_EQ(o.conversion_mode, 2);
}

TEST_F(Settings, OutOfRangeValuesAreRefusedAndKept) {
  RX_load_conversion_set(3);
  EXPECT_EQ(RX_load_conversion_set(4), 1);
  EXPECT_EQ(error_codes(), std::vector<int32_t>{RXE_PARAMETERS_OUT_OF_LIMITS});
  EXPECT_EQ(RX_load_crop_set(-1, 0, 5, 5), 1);
  EXPECT_EQ(RX_load_resize_set(10, -2), 1);
  rx::LoadOptions o = rx::load_options_get();
  EXPECT_EQ(o.conversion_mode, 3);
  EXPECT_FALSE(o.crop_on);
  EXPECT_FALSE(o.resize_on);
}

TEST(SettingsStopped, StatusCallbackGetWithoutEngineIsEmpty) {
  RX_STATUS_CB cb = status_stub;
  uintptr_t user = 1;
  RPb_status_callback_get(&cb, &user);
  EXPECT_EQ(cb, nullptr);
  EXPECT_EQ(user, 0u);
}
