// Image arithmetic: the operations, placement and clipping, refusals,
// runs images, self-merges and interruption.
#include "IMG_PROC/ip_images.h"

using namespace iptest;

namespace {

class ImageMerge : public EngineTest {};

// The new value of a one-pixel target t merged with a one-pixel source s.
uint8_t merged(int32_t bits, uint8_t t, uint8_t s, int32_t operation) {
  RX_HIMAGE target = make(bits, {{t}}), source = make(bits, {{s}});
  EXPECT_EQ(RX_IP_merge(target, source, nullptr, 0, 0, operation), 0);
  return rows_of(target)[0][0];
}

}  // namespace

TEST_F(ImageMerge, OperationsLimitTheirResults) {
  const struct {
    int32_t op;
    uint8_t t, s, want;
  } cases[] = {
      {RX_MERGE_ADD, 200, 100, 255},     {RX_MERGE_SUBTRACT, 200, 100, 100},
      {RX_MERGE_SUBTRACT, 100, 200, 0},  {RX_MERGE_MULTIPLY, 200, 100, 255},
      {RX_MERGE_DIVIDE, 199, 100, 1},    {RX_MERGE_DIVIDE, 5, 0, 255},
      {RX_MERGE_DIVIDE, 0, 0, 0},        {RX_MERGE_OFFSET_ADD, 200, 100, 173},
      {RX_MERGE_OFFSET_ADD, 10, 10, 0},  {0, 200, 100, 200},
      {9, 200, 100, 200},
  };
  for (const auto& c : cases)
    EXPECT_EQ(merged(8, c.t, c.s, c.op), c.want) << "op " << c.op << ": " << +c.t << ", " << +c.s;
  // 1-bit pixels are bytes 0 and 1, stored back by their bit 0.
  EXPECT_EQ(merged(1, 1, 1, RX_MERGE_ADD), 1);
  EXPECT_EQ(merged(1, 1, 0, RX_MERGE_DIVIDE), 1);
  EXPECT_EQ(merged(1, 1, 1, RX_MERGE_OFFSET_ADD), 0);
  // Colour channels combine separately.
  RX_HIMAGE colour = make(24, {{10, 20, 30, 250, 250, 250}});
  ASSERT_EQ(RX_IP_merge(colour, make(24, {{1, 2, 3, 1, 10, 100}}), nullptr, 0, 0, RX_MERGE_ADD), 0);
  EXPECT_EQ(rows_of(colour)[0], (std::vector<uint8_t>{11, 22, 33, 251, 255, 255}));
}

TEST_F(ImageMerge, PlacementDropsWhatFallsOutside) {
  auto value = [](int32_t x, int32_t y) { return uint8_t(100 + x + 20 * y); };
  RX_HIMAGE source = make_fn(8, 16, 3, value);
  RX_HIMAGE target = make_fn(8, 8, 4, [](int32_t, int32_t) { return uint8_t(1); });
  const Rows source_before = rows_of(source);
  ASSERT_EQ(RX_IP_merge(target, source, nullptr, -10, 2, RX_MERGE_ADD), 0);
  // Source columns 10..15 of rows 0..1 land at columns 0..5 of rows 2..3.
  Rows want(4, std::vector<uint8_t>(8, 1));
  for (int32_t y = 2; y < 4; ++y)
    for (int32_t x = 0; x < 6; ++x) want[y][x] = uint8_t(1 + 100 + (x + 10) + 20 * (y - 2));
  EXPECT_EQ(rows_of(target), want);
  EXPECT_EQ(rows_of(source), source_before);

  // Corners given swapped; right and bottom exclusive; cut at the right edge.
  RX_HIMAGE small = make_fn(8, 4, 2, [](int32_t, int32_t) { return uint8_t(0); });
  const int32_t rect[4] = {5, 2, 2, 1};
  ASSERT_EQ(RX_IP_merge(small, source, rect, 2, 1, RX_MERGE_OR), 0);
  EXPECT_EQ(rows_of(small), (Rows{{0, 0, 0, 0}, {0, 0, 122, 123}}));
}

TEST_F(ImageMerge, RefusalsChangeNothing) {
  RX_HIMAGE grey = make_fn(8, 4, 4, [](int32_t x, int32_t) { return uint8_t(x); });
  RX_HIMAGE colour = make_fn(24, 4, 4, [](int32_t, int32_t) { return uint8_t(9); });
  RX_HIMAGE nibbles = test::create(test::make_dib(4, 4, 4));
  auto dib = test::make_dib(4, 4, 8);
  dib[40 + 4 * 7 + 2] = 0xFF;  // entry 7 turns red
  RX_HIMAGE indexed = test::create(dib);
  const Rows before = rows_of(grey);
  const int32_t outside[4] = {10, 0, 20, 4};
  const struct {
    RX_HIMAGE target, source;
    const int32_t* rect;
    int32_t left, top, want;
  } cases[] = {
      {colour, grey, nullptr, 0, 0, RXE_INCOMPATIBLE_DIBS},
      {nibbles, nibbles, nullptr, 0, 0, RXE_BIT_COUNT_UNSUPPORTED},
      {grey, indexed, nullptr, 0, 0, RXE_BIT_COUNT_UNSUPPORTED},
      {grey, grey, nullptr, 4, 0, RXE_ROI_WRONG_TYPE},
      {grey, grey, nullptr, -4, 0, RXE_ROI_WRONG_TYPE},
      {grey, grey, nullptr, INT32_MIN, INT32_MIN, RXE_ROI_WRONG_TYPE},
      {grey, grey, outside, 0, 0, RXE_ROI_WRONG_TYPE},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RX_IP_merge(c.target, c.source, c.rect, c.left, c.top, RX_MERGE_XOR), 1);
    EXPECT_EQ(first_error(), (Codes{c.want, 0, 0})) << c.left << ", " << c.top;
  }
  EXPECT_EQ(rows_of(grey), before);
  // Invalid handles, 0 included, are passed over without an error.
  EXPECT_EQ(RX_IP_merge(grey, 0, nullptr, 0, 0, RX_MERGE_ADD), 0);
  EXPECT_EQ(RX_IP_merge(1, grey, nullptr, 0, 0, RX_MERGE_ADD), 0);
}

TEST_F(ImageMerge, RunsImagesStayRuns) {
  auto bit = [](int32_t x, int32_t y) { return uint8_t(((x * 7 + y * 3) >> 2) & 1); };
  for (bool source_runs : {false, true}) {
    RX_HIMAGE target = make_fn(1, 37, 5, bit, true);
    auto every_third = [](int32_t x, int32_t) { return uint8_t(x % 3 == 0); };
    RX_HIMAGE source = make_fn(1, 37, 5, every_third, source_runs);
    Rows want = rows_of(target);
    const Rows s = rows_of(source);
    for (int32_t y = 1; y < 5; ++y)
      for (int32_t x = 3; x < 37; ++x) want[y][x] ^= s[y - 1][x - 3];
    ASSERT_EQ(RX_IP_merge(target, source, nullptr, 3, 1, RX_MERGE_XOR), 0);
    EXPECT_EQ(compression_of(target), RX_BI_RUNS);
    EXPECT_EQ(compression_of(source), source_runs ? RX_BI_RUNS : RX_BI_RGB);
    EXPECT_EQ(rows_of(target), want) << source_runs;
    EXPECT_EQ(rows_of(source), s);
  }
}

TEST_F(ImageMerge, ImageMergedIntoItselfReadsItsOwnPixelsFirst) {
  RX_HIMAGE image = make(8, {{1, 2, 3, 4}});
  ASSERT_EQ(RX_IP_merge(image, image, nullptr, 1, 0, RX_MERGE_ADD), 0);
  EXPECT_EQ(rows_of(image), (Rows{{1, 3, 5, 7}}));
  RX_HIMAGE mono = make(1, {{1, 0, 1, 1, 0}}, true);
  ASSERT_EQ(RX_IP_merge(mono, mono, nullptr, 1, 0, RX_MERGE_XOR), 0);
  EXPECT_EQ(rows_of(mono), (Rows{{1, 1, 1, 0, 1}}));
  EXPECT_EQ(compression_of(mono), RX_BI_RUNS);
}

TEST_F(ImageMerge, InterruptionKeepsRowsDoneAndRestoresRuns) {
  RX_HIMAGE target = make_fn(1, 9, 4, [](int32_t, int32_t) { return uint8_t(0); }, true);
  RX_HIMAGE source = make_fn(1, 9, 4, [](int32_t, int32_t) { return uint8_t(1); });
  const int32_t rect[4] = {0, 1, 9, 4};  // three region rows
  {
    StatusLog log;
    log.stop_after = 1;
    EXPECT_EQ(RX_IP_merge(target, source, rect, 0, 0, RX_MERGE_OR), 1);
    EXPECT_EQ(first_error(), (Codes{RXE_INTERRUPTED_BY_USER, 1, 3}));
    EXPECT_EQ(log.calls, (std::vector<std::pair<int32_t, int32_t>>{{0, 3}, {1, 3}}));
  }
  EXPECT_EQ(compression_of(target), RX_BI_RUNS);
  const std::vector<uint8_t> ones(9, 1), zeros(9, 0);
  EXPECT_EQ(rows_of(target), (Rows{ones, ones, zeros, zeros}));
}
