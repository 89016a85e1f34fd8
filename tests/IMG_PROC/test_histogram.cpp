// Histograms: counting by depth, channel, rectangle and row step, the
// counter limits, and the clear, bounds and total helpers.
#include <array>

#include "IMG_PROC/ip_images.h"

using namespace iptest;

namespace {

class Histogram : public EngineTest {};

using Counts = std::array<uint32_t, 256>;

Counts counted(RX_HIMAGE image, const int32_t* rect, int32_t step, int32_t channel = 0) {
  Counts h{};
  EXPECT_EQ(RX_IP_histogram_get(image, h.data(), 256, rect, step, channel), 0);
  return h;
}

Codes first(const Counts& h, int n) { return Codes(h.begin(), h.begin() + n); }

}  // namespace

TEST_F(Histogram, RowStepPicksRowsOfTheRectangle) {
  RX_HIMAGE grey = make_fn(8, 5, 7, [](int32_t, int32_t y) { return uint8_t(y); });
  EXPECT_EQ(first(counted(grey, nullptr, 0), 8), Codes({5, 5, 5, 5, 5, 5, 5, 0}));
  const int32_t rect[4] = {1, 1, 3, 6};  // 3 columns, rows 1..6
  EXPECT_EQ(first(counted(grey, rect, 2), 7), Codes({0, 3, 0, 3, 0, 3, 0}));
  Counts h = counted(grey, rect, 100);
  EXPECT_EQ(first(h, 7), Codes({0, 3, 0, 0, 0, 0, 0})) << "a long step counts the first row";
  EXPECT_EQ(RX_IP_histogram_get(grey, h.data(), 256, rect, 100, 0), 0);
  EXPECT_EQ(h[1], 6u) << "counts add to the counters";

  StatusLog log;
  log.stop_after = 2;
  Counts partial{};
  EXPECT_EQ(RX_IP_histogram_get(grey, partial.data(), 256, rect, 2, 0), 1);
  EXPECT_EQ(first_error(), (Codes{RXE_INTERRUPTED_BY_USER, 2, 6}));
  EXPECT_EQ(first(partial, 6), Codes({0, 3, 0, 3, 0, 0})) << "rows done are counted";
}

TEST_F(Histogram, EveryDepthCountsItsValues) {
  auto bit = [](int32_t x, int32_t y) { return uint8_t(((x * 3 + y) / 4) & 1); };
  const int32_t rect[4] = {5, 1, 30, 3};
  uint32_t ones = 0;
  for (int32_t y = 1; y <= 3; ++y)
    for (int32_t x = 5; x <= 30; ++x) ones += bit(x, y);
  for (bool runs : {false, true})
    EXPECT_EQ(first(counted(make_fn(1, 37, 4, bit, runs), rect, 1), 2),
              Codes({int32_t(3 * 26 - ones), int32_t(ones)}));

  const Counts n = counted(make(4, {{0, 15, 7, 7, 15}}), nullptr, 0);
  EXPECT_EQ(Codes({int32_t(n[0]), int32_t(n[7]), int32_t(n[15])}), Codes({1, 2, 2}));

  RX_HIMAGE colour = make(24, {{10, 20, 60, 10, 50, 200}});  // blue, green, red
  const struct {
    int32_t channel, a, b;
  } cases[] = {{RX_CHANNEL_BLUE, 10, 10}, {RX_CHANNEL_GREEN, 20, 50}, {RX_CHANNEL_RED, 60, 200},
               {RX_CHANNEL_MEAN, 30, 86}};
  for (const auto& c : cases) {
    Counts want{};
    ++want[c.a];
    ++want[c.b];
    EXPECT_EQ(counted(colour, nullptr, 1, c.channel), want) << c.channel;
  }
}

TEST_F(Histogram, RefusalsAndCounterLimits) {
  RX_HIMAGE grey = make(8, {{0, 1, 2, 3, 200, 255}});
  RX_HIMAGE colour = make(24, {{1, 2, 3}});
  RX_HIMAGE deep = test::create(test::make_dib(3, 3, 16));
  // Four counters then guards: values without a bin are not counted.
  std::array<uint32_t, 6> h{0, 0, 0, 0, 0xA5A5A5A5u, 0xA5A5A5A5u};
  ASSERT_EQ(RX_IP_histogram_get(grey, h.data(), 4, nullptr, 0, 0), 0);
  EXPECT_EQ(h, (std::array<uint32_t, 6>{1, 1, 1, 1, 0xA5A5A5A5u, 0xA5A5A5A5u}));
  Counts full{};
  full[255] = 0xFFFFFFFFu;
  ASSERT_EQ(RX_IP_histogram_get(grey, full.data(), 256, nullptr, 0, 0), 0);
  EXPECT_EQ(full[255], 0xFFFFFFFFu) << "a full counter stays full";

  const struct {
    RX_HIMAGE image;
    uint32_t* histogram;
    int32_t bins, step, channel;
    Codes want;
  } refused[] = {{grey, h.data(), 0, 0, 0, {RXE_PARAMETERS_OUT_OF_LIMITS, 0, 0}},
                 {grey, h.data(), 257, 0, 0, {RXE_PARAMETERS_OUT_OF_LIMITS, 257, 0}},
                 {grey, nullptr, 4, 0, 0, {RXE_INVALID_POINTER, 0, 0}},
                 {grey, h.data(), 4, -1, 0, {RXE_PARAMETERS_OUT_OF_LIMITS, -1, 0}},
                 {colour, h.data(), 4, 0, 3, {RXE_PARAMETERS_OUT_OF_LIMITS, 3, 0}},
                 {deep, h.data(), 4, 0, 0, {RXE_BIT_COUNT_UNSUPPORTED, 16, 0}},
                 {0, h.data(), 4, 0, 0, {RXE_INVALID_HANDLE, 0, 0}}};
  for (const auto& c : refused) {
    EXPECT_EQ(RX_IP_histogram_get(c.image, c.histogram, c.bins, nullptr, c.step, c.channel), 1);
    EXPECT_EQ(first_error(), c.want);
  }
}

TEST_F(Histogram, ClearBoundsAndTotal) {
  Counts h{};
  int32_t low = -1, high = -1;
  ASSERT_EQ(RX_IP_histogram_bounds(h.data(), 256, &low, &high), 0);
  EXPECT_EQ(Codes({low, high}), Codes({0, 0})) << "no counts at all";
  h[7] = 1;
  h[2] = h[200] = 0xFFFFFFFFu;
  ASSERT_EQ(RX_IP_histogram_bounds(h.data(), 100, &low, &high), 0);
  EXPECT_EQ(Codes({low, high}), Codes({2, 7})) << "only the given bins";
  uint64_t total = 0;
  ASSERT_EQ(RX_IP_histogram_total(h.data(), 256, &total), 0);
  EXPECT_EQ(total, 2 * uint64_t{0xFFFFFFFFu} + 1) << "the sum does not wrap";
  ASSERT_EQ(RX_IP_histogram_clear(h.data(), 8), 0);
  EXPECT_EQ(Codes({int32_t(h[2]), int32_t(h[7]), int32_t(h[200])}), Codes({0, 0, -1}));

  EXPECT_EQ(RX_IP_histogram_clear(nullptr, 8), 1);
  EXPECT_EQ(first_error(), (Codes{RXE_INVALID_POINTER, 0, 0}));
  EXPECT_EQ(RX_IP_histogram_bounds(h.data(), 300, &low, &high), 1);
  EXPECT_EQ(first_error(), (Codes{RXE_PARAMETERS_OUT_OF_LIMITS, 300, 0}));
  EXPECT_EQ(RX_IP_histogram_total(h.data(), 8, nullptr), 1);
  EXPECT_EQ(first_error(), (Codes{RXE_INVALID_POINTER, 0, 0}));
}
