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
  EXPECT_EQ(get(277), 70u);
  EXPECT_EQ(get(533), 0x211111u);
  EXPECT_EQ(get(789), 1u);
  EXPECT_EQ(get(1045), 16u);
  EXPECT_EQ(get(1301), 16u);
  EXPECT_EQ(get(258), 1u);
  EXPECT_EQ(get(514), 0u);
  EXPECT_EQ(get(1320), 0u);
  EXPECT_EQ(get(1576), 0xFFFFu);
  EXPECT_EQ(get(1832), 0u);
  EXPECT_EQ(get(2088), 0xFFFFu);
  EXPECT_EQ(get(297), 200u);
  EXPECT_EQ(get(1577), 1000u);
  EXPECT_EQ(get(1833), 8500u);
  EXPECT_EQ(get(2089), 11000u);
  EXPECT_EQ(get(2345), 10u);
  EXPECT_EQ(get(3113), 3u);
}

TEST_F(Options, BlocksHoldTheirDefaultsInRecordOrder) {
  uint32_t tiff[9];
  ASSERT_EQ(rx::options_block_copy(40, tiff, sizeof tiff), 36u);
  EXPECT_EQ(tiff[0], 0u);
  EXPECT_EQ(tiff[1], 1u);
  EXPECT_EQ(tiff[3], 0xFFFF0000u) << "16-bit fields 0 and 0xFFFF";
  EXPECT_EQ(tiff[4], 1u);
  EXPECT_EQ(tiff[7], 0x0000FFFFu) << "16-bit fields 0xFFFF and 0";
  uint32_t dcx[2];
  ASSERT_EQ(rx::options_block_copy(8, dcx, sizeof dcx), 8u);
  EXPECT_EQ(dcx[0], 1u);
  EXPECT_EQ(dcx[1], 1u);
  // Shared blocks: icon and CUT, text and the raw CCITT formats.
  EXPECT_EQ(rx::options_block_of(17).offset, rx::options_block_of(7).offset);
  EXPECT_EQ(rx::options_block_of(41).offset, rx::options_block_of(12).offset);
  EXPECT_EQ(rx::options_block_of(2).offset, 4u);
  EXPECT_EQ(rx::options_block_of(49).offset, 364u);
  EXPECT_EQ(rx::options_block_of(99).size, 0u);
  uint32_t too_small[2];
  EXPECT_EQ(rx::options_block_copy(21, too_small, sizeof too_small), 0u);
}

TEST_F(Options, SixteenBitFieldsTakeTheLowBits) {
  EXPECT_EQ(RX_image_control_set(1576, 0x12345), 0);
  EXPECT_EQ(get(1576), 0x2345u);
  EXPECT_EQ(RX_image_control_set(2088, 0xFFFF0001u), 0);
  EXPECT_EQ(get(2088), 1u);
  // The neighbouring 16-bit field is untouched.
  uint8_t tiff[36];
  rx::options_block_copy(40, tiff, sizeof tiff);
  EXPECT_EQ(tiff[12] | tiff[13], 0);
  EXPECT_EQ(tiff[30] | tiff[31], 0);
}

TEST_F(Options, SetThenGetEveryNumericId) {
  for (uint32_t id : {258u, 514u, 277u, 533u, 789u, 1045u, 1301u, 278u, 286u, 1320u, 1832u, 297u,
                      553u, 809u, 1065u, 1321u, 1577u, 1833u, 2089u, 2345u, 3113u, 2601u, 2857u}) {
    ASSERT_EQ(RX_image_control_set(id, id * 3 + 1), 0);
    EXPECT_EQ(get(id), id * 3 + 1) << id;
  }
  EXPECT_EQ(get(258), 258u * 3 + 1) << "later sets do not overlap earlier fields";
}

TEST_F(Options, UnknownIdIsRefusedWithItsValue) {
  EXPECT_EQ(RX_image_control_set(0x999, 5), 1);
  auto e = error_entries();
  ASSERT_EQ(e.size(), 1u);
  EXPECT_EQ(e[0].code, -600);
  EXPECT_EQ(e[0].iVal, 0x999);
  uint32_t v = 0;
  EXPECT_EQ(RX_image_control_get(0x999, &v), 1);
  EXPECT_EQ(RX_image_control_get(277, nullptr), 1);
}

TEST_F(Options, FontNameIsCopiedAndCut) {
  char name[32];
  ASSERT_EQ(RX_image_control_get(3369, name), 0);
  EXPECT_STREQ(name, "");
  RX_image_control_set(3369, reinterpret_cast<uintptr_t>("Mono Sans"));
  RX_image_control_get(3369, name);
  EXPECT_STREQ(name, "Mono Sans");
  const char* longer = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  RX_image_control_set(3369, reinterpret_cast<uintptr_t>(longer));
  RX_image_control_get(3369, name);
  EXPECT_EQ(std::strlen(name), 31u);
  EXPECT_EQ(std::strncmp(name, longer, 31), 0);
  RX_image_control_set(3369, 0);
  RX_image_control_get(3369, name);
  EXPECT_STREQ(name, "") << "a null name clears the field";
  uint32_t after;
  ASSERT_EQ(RX_image_control_get(2857, &after), 0);
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
  EXPECT_EQ(error_codes(), std::vector<int32_t>{-3320});
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
