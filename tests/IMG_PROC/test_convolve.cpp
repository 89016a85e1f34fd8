// Convolution and the kernel builders: result modes, truncation, the add
// flag, mirrored columns and left-out rows at the picture's edges, the
// caller's row stride when a kernel is cut, channel codes, sums too large
// for the narrow paths, refusals, and stops at every row.
#include <functional>
#include <limits>

#include "IMG_PROC/op_images.h"
#include "IMG_PROC/convolve.h"
#include "SUPPORT/kernels.h"

using namespace iptest;

namespace {

class Convolve : public EngineTest {};
class Kernels : public EngineTest {};

int32_t convolve(RX_HIMAGE image, const std::vector<int32_t>& k, int32_t width, int32_t height,
                 double normaliser, int32_t mode, int32_t add = 0, int32_t channel = 7,
                 const int32_t* rect = nullptr) {
  return RX_IP_convolve(image, rect, k.data(), width, height, normaliser, channel, mode, add);
}

int32_t at(const RX_KERNEL& k, int32_t row, int32_t column) {
  return k.elements[row * RX_KERNEL_MAX + column];
}

}  // namespace

TEST_F(Convolve, ResultModesTruncateTowardZero) {
  // Kernel -1 1 0 with its origin on the 1: out(x) = p(x) - p(x - 1), where
  // p(-1) is the mirrored p(1) = 50. Sums -40, 40, -30, 180; times 0.25:
  // -10, 10, -7.5 -> -7 (not -8), 45.
  const std::vector<int32_t> k = {-1, 1, 0};
  const Rows source = {{10, 50, 20, 200}};
  const struct {
    int32_t mode, add;
    std::vector<uint8_t> want;
  } cases[] = {
      {RX_KERNEL_RESULT_POSITIVE, 0, {0, 10, 0, 45}},
      {RX_KERNEL_RESULT_ABSOLUTE, 0, {10, 10, 7, 45}},
      {RX_KERNEL_RESULT_WRAPPED, 0, {246, 10, 249, 45}},    // -10 -> 256 - 10
      {RX_KERNEL_RESULT_OFFSET, 0, {117, 137, 120, 172}},   // v + 127
      {RX_KERNEL_RESULT_OFFSET, 1, {0, 60, 13, 245}},       // 10 - 10, 50 + 10, 20 - 7, 200 + 45
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode << " add " << c.add);
    RX_HIMAGE image = make(8, source);
    ASSERT_EQ(convolve(image, k, 3, 1, 0.25, c.mode, c.add), 0);
    EXPECT_EQ(rows_of(image), (Rows{c.want}));
  }
}

TEST_F(Convolve, ValuesAreLimitedBeforeTheResultMode) {
  // One element times 100: 2 -> 200, -2 -> -200, -3 -> -300 -> -255.
  const struct {
    int32_t element, mode;
    uint8_t want;
  } cases[] = {
      {2, RX_KERNEL_RESULT_WRAPPED, 128},   {2, RX_KERNEL_RESULT_OFFSET, 255},
      {-2, RX_KERNEL_RESULT_WRAPPED, 129},  {-2, RX_KERNEL_RESULT_OFFSET, 0},
      {-3, RX_KERNEL_RESULT_ABSOLUTE, 255}, {-3, RX_KERNEL_RESULT_POSITIVE, 0},
      {3, RX_KERNEL_RESULT_POSITIVE, 255},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.element << " mode " << c.mode);
    RX_HIMAGE image = make(8, {{100}});
    ASSERT_EQ(convolve(image, {c.element}, 1, 1, 1.0, c.mode), 0);
    EXPECT_EQ(rows_of(image), (Rows{{c.want}}));
  }
}

TEST_F(Convolve, OneByOneIdentityAndUniformAreas) {
  // Element 1 keeps 1..255 and 0; the fixed 3 x 3 kernel adds up to 0 on a
  // uniform area, also on the edges: 0 in mode 0, 127 in mode 3.
  RX_HIMAGE ramp = make_fn(8, 16, 16, [](int32_t x, int32_t y) { return uint8_t(y * 16 + x); });
  const Rows before = rows_of(ramp);
  ASSERT_EQ(convolve(ramp, {1}, 1, 1, 1.0, RX_KERNEL_RESULT_POSITIVE), 0);
  EXPECT_EQ(rows_of(ramp), before);
  const std::vector<int32_t> fixed = {1, -2, 1, -2, 4, -2, 1, -2, 1};
  for (const auto& [mode, want] : {std::pair{RX_KERNEL_RESULT_POSITIVE, 0}, std::pair{RX_KERNEL_RESULT_OFFSET, 127}}) {
    RX_HIMAGE flat = make_fn(24, 5, 4, [](int32_t, int32_t) { return uint8_t(77); });
    ASSERT_EQ(convolve(flat, fixed, 3, 3, 1.0, mode), 0);
    EXPECT_EQ(rows_of(flat), Rows(4, std::vector<uint8_t>(15, uint8_t(want))));
  }
}

TEST_F(Convolve, RowsBeyondThePictureAreLeftOutColumnsMirrored) {
  // Vertical 1 1 1 on a column 10, 20, 30: the top row sums rows 0 and 1
  // only (30), the bottom rows 1 and 2 (50). Horizontal 1 1 1 mirrors:
  // p(-1) = p(1) and p(3) = p(1), so 20 + 10 + 20 and 20 + 30 + 20.
  RX_HIMAGE column = make(8, {{10}, {20}, {30}});
  ASSERT_EQ(convolve(column, {1, 1, 1}, 1, 3, 1.0, RX_KERNEL_RESULT_POSITIVE), 0);
  EXPECT_EQ(rows_of(column), (Rows{{30}, {60}, {50}}));
  RX_HIMAGE row = make(8, {{10, 20, 30}});
  ASSERT_EQ(convolve(row, {1, 1, 1}, 3, 1, 1.0, RX_KERNEL_RESULT_POSITIVE), 0);
  EXPECT_EQ(rows_of(row), (Rows{{50, 60, 70}}));
  // A kernel wider than the picture reflects as often as needed: in a row
  // of two, columns -2..2 of pixel 0 are 0, 1, 0, 1, 0.
  RX_HIMAGE pair = make(8, {{1, 10}});
  ASSERT_EQ(convolve(pair, {1, 1, 1, 1, 1}, 5, 1, 1.0, RX_KERNEL_RESULT_POSITIVE), 0);
  EXPECT_EQ(rows_of(pair), (Rows{{1 + 10 + 1 + 10 + 1, 10 + 1 + 10 + 1 + 10}}));
}

TEST_F(Convolve, OnlyTheRectangleChangesButReadsAroundIt) {
  // Vertical 1 1 1 on the centre of 1..9: 2 + 5 + 8.
  RX_HIMAGE image = make(8, {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}});
  const int32_t centre[4] = {1, 1, 1, 1};
  ASSERT_EQ(convolve(image, {1, 1, 1}, 1, 3, 1.0, RX_KERNEL_RESULT_POSITIVE, 0, 7, centre), 0);
  EXPECT_EQ(rows_of(image), (Rows{{1, 2, 3}, {4, 15, 6}, {7, 8, 9}}));
  // Inverted and outside rectangles are clamped to one pixel: (2, 2).
  const int32_t beyond[4] = {9, 9, -3, -3};
  ASSERT_EQ(convolve(image, {2}, 1, 1, 1.0, RX_KERNEL_RESULT_POSITIVE, 0, 7, beyond), 0);
  EXPECT_EQ(rows_of(image), (Rows{{1, 2, 3}, {4, 15, 6}, {7, 8, 18}}));
}

TEST_F(Convolve, LargeKernelsAreCutButReadWithTheCallersStride) {
  // 17 x 2: origin (8, 1), cut to 16 columns, so element 16 of each row
  // (100 here) is never used; the 1 at row 1, column 8 lies on the pixel
  // only when row 1 starts at element 17.
  std::vector<int32_t> k(34, 0);
  k[16] = 100;
  k[33] = 100;
  k[17 + 8] = 1;
  RX_HIMAGE image = make_fn(8, 20, 3, [](int32_t x, int32_t y) { return uint8_t(x * 11 + y * 7 + 1); });
  const Rows before = rows_of(image);
  ASSERT_EQ(convolve(image, k, 17, 2, 1.0, RX_KERNEL_RESULT_POSITIVE), 0);
  EXPECT_EQ(rows_of(image), before);
}

TEST_F(Convolve, ChannelCodesPickBytesOfTheBlueGreenRedPixel) {
  const struct {
    int32_t channel;
    std::vector<uint8_t> want;
  } cases[] = {{RX_CHANNEL_RED, {10, 20, 60}},  {RX_CHANNEL_GREEN, {10, 40, 30}},
               {RX_CHANNEL_BLUE, {20, 20, 30}}, {7, {20, 40, 60}},
               {RX_CHANNEL_MEAN, {20, 40, 60}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.channel);
    RX_HIMAGE image = make(24, {{10, 20, 30}});  // blue, green, red
    ASSERT_EQ(convolve(image, {2}, 1, 1, 1.0, RX_KERNEL_RESULT_POSITIVE, 0, c.channel), 0);
    EXPECT_EQ(rows_of(image), (Rows{c.want}));
  }
  RX_HIMAGE grey = make(8, {{10}});
  ASSERT_EQ(convolve(grey, {2}, 1, 1, 1.0, RX_KERNEL_RESULT_POSITIVE, 0, 3), 0)
      << "8-bit images have no channels to choose";
  EXPECT_EQ(rows_of(grey), (Rows{{20}}));
}

TEST_F(Convolve, EveryWidthOfSumGivesTheSameBytes) {
  // Element e with normaliser 1/e keeps every value, whatever sums the
  // element needs: 1 and 128 fit 16 bits, 129 and 300 do not (300 also
  // leaves the look-up table), 2^31 - 1 needs 64 bits.
  for (const int32_t e : {1, 128, 129, 300, std::numeric_limits<int32_t>::max()}) {
    SCOPED_TRACE(e);
    RX_HIMAGE image = make_fn(8, 16, 16, [](int32_t x, int32_t y) { return uint8_t(y * 16 + x); });
    const Rows before = rows_of(image);
    ASSERT_EQ(convolve(image, {e}, 1, 1, 1.0 / e, RX_KERNEL_RESULT_POSITIVE), 0);
    EXPECT_EQ(rows_of(image), before);
    RX_HIMAGE added = make_fn(8, 16, 16, [](int32_t x, int32_t y) { return uint8_t(y * 16 + x); });
    ASSERT_EQ(convolve(added, {e}, 1, 1, 0.5 / e, RX_KERNEL_RESULT_POSITIVE, 1), 0);
    const Rows got = rows_of(added);
    for (int32_t v = 0; v < 256; ++v) EXPECT_EQ(got[v / 16][v % 16], std::min(255, v + v / 2)) << v;
  }
  // Huge and zero normalisers: limited, not overflowed.
  RX_HIMAGE image = make(8, {{0, 1, 200}});
  ASSERT_EQ(convolve(image, {-1}, 1, 1, 1e300, RX_KERNEL_RESULT_OFFSET), 0);
  EXPECT_EQ(rows_of(image), (Rows{{127, 0, 0}}));
  ASSERT_EQ(convolve(image, {5}, 1, 1, 0.0, RX_KERNEL_RESULT_OFFSET), 0);
  EXPECT_EQ(rows_of(image), (Rows{{127, 127, 127}}));
}

TEST_F(Convolve, RefusalsLeaveTheImageAlone) {
  RX_HIMAGE grey = make(8, {{1, 2}});
  RX_HIMAGE colour = make(24, {{1, 2, 3}});
  RX_HIMAGE nibbles = test::create(test::make_dib(4, 2, 4));
  RX_HIMAGE mono = test::create(test::make_dib(4, 2, 1));
  RX_HIMAGE deep = test::create(test::make_dib(4, 2, 16));
  const std::vector<int32_t> one = {1};
  const int32_t limits = RXE_PARAMETERS_OUT_OF_LIMITS, depth = RXE_BIT_COUNT_UNSUPPORTED;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    RX_HIMAGE image;
    std::function<int32_t(RX_HIMAGE)> call;
    Codes want;
  } cases[] = {
      {0, [&](RX_HIMAGE i) { return convolve(i, one, 1, 1, 1, 0); }, {RXE_INVALID_HANDLE, 0, 0}},
      {nibbles, [&](RX_HIMAGE i) { return convolve(i, one, 1, 1, 1, 0); }, {depth, 4, 0}},
      {mono, [&](RX_HIMAGE i) { return convolve(i, one, 1, 1, 1, 0); }, {depth, 1, 0}},
      {deep, [&](RX_HIMAGE i) { return convolve(i, one, 1, 1, 1, 0); }, {depth, 16, 0}},
      {colour, [&](RX_HIMAGE i) { return convolve(i, one, 1, 1, 1, 0, 0, 3); }, {limits, 3, 0}},
      {colour, [&](RX_HIMAGE i) { return convolve(i, one, 1, 1, 1, 0, 0, 8); }, {limits, 8, 0}},
      {grey, [&](RX_HIMAGE i) { return convolve(i, one, 0, 1, 1, 0); }, {limits, 0, 1}},
      {grey, [&](RX_HIMAGE i) { return convolve(i, one, 1, -4, 1, 0); }, {limits, 1, -4}},
      {grey, [&](RX_HIMAGE i) { return convolve(i, one, 1, 1, 1, 4); }, {limits, 4, 0}},
      {grey, [&](RX_HIMAGE i) { return convolve(i, one, 1, 1, 1, -1); }, {limits, -1, 0}},
      {grey, [&](RX_HIMAGE i) { return convolve(i, one, 1, 1, nan, 0); }, {limits, 0, 0}},
      {grey, [&](RX_HIMAGE i) { return convolve(i, one, 1, 1, inf, 0); }, {limits, 0, 0}},
      {grey, [](RX_HIMAGE i) { return RX_IP_convolve(i, nullptr, nullptr, 1, 1, 1, 7, 0, 0); },
       {RXE_INVALID_POINTER, 0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "wants " << c.want[0] << " " << c.want[1]);
    const Snapshot before = c.image != 0 ? snapshot(c.image) : Snapshot{};
    EXPECT_EQ(c.call(c.image), 1);
    EXPECT_EQ(first_error(), c.want);
    if (c.image != 0) {
      EXPECT_EQ(snapshot(c.image), before);
    }
  }
}

TEST_F(Convolve, AStopAtAnyRowLeavesTheImageAsItWas) {
  auto image = [] { return make_fn(24, 9, 7, [](int32_t x, int32_t y) { return uint8_t(x * 37 + y * 91); }); };
  const std::vector<int32_t> k = {1, 2, 1, 0, 0, 0, -1, -2, -1};
  expect_every_stop_harmless(image, [&](RX_HIMAGE i) { return convolve(i, k, 3, 3, 0.5, 3); }, 7,
                             "3 x 3");
  const int32_t rect[4] = {2, 1, 6, 4};
  expect_every_stop_harmless(image, [&](RX_HIMAGE i) { return convolve(i, k, 3, 3, 1, 0, 1, 7, rect); },
                             4, "rectangle");
}

TEST_F(Kernels, FixedKernels) {
  RX_KERNEL k{};
  ASSERT_EQ(RX_IP_kernel_fixed(&k, 3), 0);
  EXPECT_EQ((std::vector<int32_t>{k.width, k.height, k.first_column, k.first_row, k.last_column, k.last_row}),
            (std::vector<int32_t>{3, 3, -1, -1, 1, 1}));
  EXPECT_EQ(k.normalizer, 1.0);
  EXPECT_EQ(k.result_mode, RX_KERNEL_RESULT_POSITIVE);
  EXPECT_EQ((std::vector<int32_t>{at(k, 0, 0), at(k, 0, 1), at(k, 1, 1), at(k, 2, 1), at(k, 0, 3), at(k, 3, 0)}),
            (std::vector<int32_t>{1, -2, 4, -2, 0, 0}));
  ASSERT_EQ(RX_IP_kernel_fixed(&k, 5), 0);
  EXPECT_EQ((std::vector<int32_t>{at(k, 2, 2), at(k, 1, 2), at(k, 1, 1), at(k, 0, 4), at(k, 4, 0)}),
            (std::vector<int32_t>{8, 2, 0, -1, -1}));
  ASSERT_EQ(RX_IP_kernel_fixed(&k, 7), 0);
  EXPECT_EQ(k.first_column, -3);
  EXPECT_EQ(k.last_row, 3);
  int64_t sum = 0;
  for (int32_t e : k.elements) sum += e;
  // 7 x 7 by rows: -12, -6, 8, 20, 8, -6, -12.
  EXPECT_EQ(sum, 0);
  EXPECT_EQ((std::vector<int32_t>{at(k, 3, 3), at(k, 2, 3), at(k, 0, 0), at(k, 1, 3)}),
            (std::vector<int32_t>{8, 6, -1, 2}));
  for (int32_t size : {4, 0, 9, -3}) {
    EXPECT_EQ(RX_IP_kernel_fixed(&k, size), 1);
    EXPECT_EQ(first_error(), (Codes{RXE_KERNEL_SIZE_INVALID, size, 0}));
  }
  EXPECT_EQ(RX_IP_kernel_fixed(nullptr, 3), 1);
}

TEST_F(Kernels, DirectionsOnAPixelAndItsNeighbours) {
  // A 3 x 3 image 1..9 convolved at its centre (5) with each direction:
  // up 2, up-left 1, left 4; normaliser 2, mode 3 adds 127.
  const int32_t want[8] = {5 - 2, 4 - 2, 4 - 5, 1 - 5, 2 - 5, 2 - 4, 5 - 4, 5 - 1};
  for (int32_t d = 1; d <= 8; ++d) {
    SCOPED_TRACE(d);
    RX_KERNEL k{};
    ASSERT_EQ(RX_IP_kernel_direction(&k, d, 2.0), 0);
    EXPECT_EQ(k.result_mode, RX_KERNEL_RESULT_OFFSET);
    EXPECT_EQ(k.normalizer, 2.0);
    // Through the public call, whose origin is (width / 2, height / 2).
    std::vector<int32_t> e;
    for (int32_t r = 0; r < k.height; ++r)
      for (int32_t c = 0; c < k.width; ++c) e.push_back(at(k, r, c));
    RX_HIMAGE image = make(8, {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}});
    const int32_t centre[4] = {1, 1, 1, 1};
    ASSERT_EQ(convolve(image, e, k.width, k.height, 2.0, 3, 0, 7, centre), 0);
    EXPECT_EQ(rows_of(image)[1][1], 127 + 2 * want[d - 1]);
  }
  RX_KERNEL k{};
  for (int32_t d : {0, 9}) {
    EXPECT_EQ(RX_IP_kernel_direction(&k, d, 1.0), 1);
    EXPECT_EQ(first_error(), (Codes{RXE_PARAMETERS_OUT_OF_LIMITS, d, 0}));
  }
}

TEST_F(Kernels, MotionLines) {
  RX_KERNEL k{};
  // Right, 4: 4 x 1 from the origin at column 0.
  ASSERT_EQ(RX_IP_kernel_motion(&k, 3, 4), 0);
  EXPECT_EQ((std::vector<int32_t>{k.width, k.height, k.first_column, k.last_column, at(k, 0, 3)}),
            (std::vector<int32_t>{4, 1, 0, 3, 1}));
  EXPECT_EQ(k.normalizer, 0.25);
  // Up-left, 5: trunc(5 x 0.7071) = 3 ones from (2, 2) back to (0, 0).
  ASSERT_EQ(RX_IP_kernel_motion(&k, 8, 5), 0);
  EXPECT_EQ((std::vector<int32_t>{k.width, k.height, k.first_column, k.first_row}),
            (std::vector<int32_t>{3, 3, -2, -2}));
  EXPECT_EQ((std::vector<int32_t>{at(k, 0, 0), at(k, 1, 1), at(k, 2, 2), at(k, 0, 2), at(k, 2, 0)}),
            (std::vector<int32_t>{1, 1, 1, 0, 0}));
  // Up-right, 40: cut to 16, then trunc(16 x 0.7071) = 11 from (0, 10).
  ASSERT_EQ(RX_IP_kernel_motion(&k, 2, 40), 0);
  EXPECT_EQ((std::vector<int32_t>{k.width, k.first_row, at(k, 10, 0), at(k, 0, 10), at(k, 5, 5)}),
            (std::vector<int32_t>{11, -10, 1, 1, 1}));
  // Diagonal length 1 keeps one pixel.
  ASSERT_EQ(RX_IP_kernel_motion(&k, 4, 1), 0);
  EXPECT_EQ(k.width * k.height, 1);
  for (const auto& [d, n, bad] : {std::tuple{9, 3, 9}, std::tuple{0, 3, 0}, std::tuple{1, 0, 0}, std::tuple{1, -5, -5}}) {
    EXPECT_EQ(RX_IP_kernel_motion(&k, d, n), 1);
    EXPECT_EQ(first_error(), (Codes{RXE_PARAMETERS_OUT_OF_LIMITS, bad, 0}));
  }
}

TEST_F(Convolve, FastAndReferenceSumsGiveTheSameBytes) {
  // Widths around the sixteen samples of a fast step, kernels of mixed
  // signs whose sums fill 16 bits (the last: 255 x 128 = 32640), with and
  // without the add flag.
  const std::vector<std::vector<int32_t>> kernels = {
      {1, 2, 1, 2, 4, 2, 1, 2, 1}, {-1, -1, -1, -1, 8, -1, -1, -1, -1}, {-10, 12, -10, 12, 40, 12, -10, 12, -10}};
  for (const int32_t width : {1, 5, 16, 17, 33})
    for (const auto& k : kernels)
      for (const int32_t add : {0, 1}) {
        SCOPED_TRACE(testing::Message() << width << " " << k[4] << " " << add);
        auto pattern = [](int32_t x, int32_t y) { return uint8_t((x * 97 + y * 61) ^ (x * y)); };
        Rows got[2];
        for (const bool fast : {false, true}) {
          rx::KernelLevelScope level(fast ? rx::kernel_level_supported() : rx::KernelLevel::kReference);
          RX_HIMAGE image = make_fn(24, width, 4, pattern);
          ASSERT_EQ(convolve(image, k, 3, 3, 0.0625, RX_KERNEL_RESULT_ABSOLUTE, add), 0);
          got[fast] = rows_of(image);
        }
        EXPECT_EQ(got[0], got[1]);
      }
}

TEST_F(Kernels, RecordsRunWithTheirOwnOriginAndMalformedOnesAreRefused) {
  // The motion line to the right over 3 pixels starts at the pixel: the
  // mean of x, x + 1, x + 2, with columns past the edge mirrored:
  // (30 + 60 + 90) / 3, (60 + 90 + 120) / 3, (90 + 120 + 90) / 3,
  // (120 + 90 + 60) / 3.
  RX_HIMAGE image = make(8, {{30, 60, 90, 120}});
  auto* record = reinterpret_cast<IMAGE_REC*>(image);
  const rx::ip::Span row{0, 0, 3, 0};
  RX_KERNEL k{};
  ASSERT_EQ(RX_IP_kernel_motion(&k, 3, 3), 0);
  ASSERT_TRUE(rx::ip::convolve_record(record, row, k, rx::ip::PassOptions{}));
  EXPECT_EQ(rows_of(image), (Rows{{60, 90, 100, 90}}));
  // Offsets that do not match the size, or a result mode past 3.
  ASSERT_EQ(RX_IP_kernel_fixed(&k, 3), 0);
  k.last_column = 5;
  RPb_AF_error_clear();
  EXPECT_FALSE(rx::ip::convolve_record(record, row, k, rx::ip::PassOptions{}));
  EXPECT_EQ(first_error(), (Codes{RXE_PARAMETERS_OUT_OF_LIMITS, 3, 3}));
  ASSERT_EQ(RX_IP_kernel_fixed(&k, 3), 0);
  k.result_mode = 4;
  EXPECT_FALSE(rx::ip::convolve_record(record, row, k, rx::ip::PassOptions{}));
  EXPECT_EQ(rows_of(image), (Rows{{60, 90, 100, 90}}));
}
