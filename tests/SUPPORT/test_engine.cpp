// Engine start and stop: the per-process tables exist between the two and
// nothing is left behind afterwards.
#include "SUPPORT/instance.h"
#include "SUPPORT/mem_tag.h"
#include "support/engine_fixture.h"

TEST(Engine, StartCreatesEveryTableAndStopRemovesThem) {
  ASSERT_EQ(RX_engine_start(0x42), 1);
  for (int32_t key : {rx::kKeyErrorStack, rx::kKeyIoTemplate, rx::kKeyOptions, rx::kKeyDisplay,
                      rx::kKeySettings, rx::kKeyExtensions}) {
    void* v = nullptr;
    EXPECT_EQ(rx::instance_slot_get(key, &v), 0) << key;
    EXPECT_NE(v, nullptr) << key;
  }
  EXPECT_EQ(RPb_AF_error_check(), 0) << "a clean start reports nothing";
  RX_engine_stop();
  EXPECT_EQ(rx::instance_is_registered(), 0);
  EXPECT_EQ(rx::mem_live_block_count(), 0);
}

TEST(Engine, RestartsCleanlyManyTimes) {
  for (int i = 0; i < 50; ++i) {
    ASSERT_EQ(RX_engine_start(0), 1);
    RPb_AF_mem_alloc(RPb_AF_mem_unique_tag_get(), 5000);
    RX_engine_stop();
    ASSERT_EQ(rx::mem_live_block_count(), 0);
  }
}

TEST(Engine, StopWithoutStartIsHarmless) {
  EXPECT_EQ(RX_engine_stop(), 0);
  EXPECT_EQ(RPb_AF_error_check(), 0);
}
