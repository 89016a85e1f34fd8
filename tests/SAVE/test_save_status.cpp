// What a save tells the status callback: for the whole image the DIB row
// of each row the writer fetches, for a rectangle the image row (its top
// plus the writer's row), with the image's height.
#include <utility>
#include <vector>

#include "SUPPORT/dib_builder.h"
#include "support/engine_fixture.h"

namespace {

using Calls = std::vector<std::pair<int32_t, int32_t>>;

Calls g_calls;
int32_t record_call(uintptr_t, int32_t row, int32_t height) {
  g_calls.emplace_back(row, height);
  return 1;
}

class SaveStatus : public EngineTest {
 protected:
  Calls save(RX_HIMAGE image) {
    g_calls.clear();
    RX_status_callback_set(record_call, 0);
    std::vector<uint8_t> block(8192);
    int32_t size = 0;
    EXPECT_EQ(RX_image_save_memory(image, block.data(), 0, 8192, 0, 1, RX_FORMAT_BMP, &size), 0);
    RX_status_callback_set(nullptr, 0);
    return g_calls;
  }
};

// The BMP writer fetches rows from the bottom of what it saves upwards.
TEST_F(SaveStatus, ARectangleReportsItsImageRows) {
  const RX_HIMAGE image = test::create(test::make_dib(20, 20, 8));
  const int32_t rect[4] = {10, 10, 19, 19};
  ASSERT_EQ(RX_display_image_rect_set(image, rect), 0);
  Calls expected;
  for (int32_t row = 19; row >= 10; --row) expected.emplace_back(row, 20);
  EXPECT_EQ(save(image), expected);
  RX_image_delete(image);
}

TEST_F(SaveStatus, TheWholeImageReportsItsDibRows) {
  const RX_HIMAGE image = test::create(test::make_dib(20, 20, 8));
  Calls expected;
  for (int32_t row = 0; row < 20; ++row) expected.emplace_back(row, 20);
  EXPECT_EQ(save(image), expected);
  RX_image_delete(image);
}

}  // namespace
