// The kernel effects (blur, emboss, motion blur, stitch): exact results on
// small images worked out by hand, the rectangle, the depth rules, refused
// parameters that leave the image alone, and interruption.
#include <limits>
#include <random>

#include "IMG_PROC/ip_images.h"
#include "SUPPORT/kernels.h"
#include "SUPPORT/mem_tag.h"

using namespace iptest;

namespace {

class FxKernels : public EngineTest {};

const Rows kNine = {{10, 20, 30}, {40, 50, 60}, {70, 80, 90}};

}  // namespace

TEST_F(FxKernels, BlurBoxMeansWithMirroredColumnsAndMissingRows) {
  // Strength 1, 3 x 3 box at 1/9, sums truncated. Column -1 reads column
  // 1 and column 3 reads column 1; rows outside the picture are left out
  // (the divisor stays 9):
  //   (0,0): (20+10+20) + (50+40+50) = 190 -> 21
  //   (1,0): 60 + 150 = 210 -> 23          (2,0): 70 + 160 = 230 -> 25
  //   (0,1): 50 + 140 + (80+70+80) = 420 -> 46   (1,1): 450 -> 50
  //   (2,1): 70 + 160 + (80+90+80) = 480 -> 53
  //   (0,2): 140 + 230 = 370 -> 41  (1,2): 390 -> 43  (2,2): 410 -> 45
  RX_HIMAGE grey = make(8, kNine);
  ASSERT_EQ(RX_IP_effect_blur(grey, nullptr, 1), 0);
  EXPECT_EQ(rows_of(grey), (Rows{{21, 23, 25}, {46, 50, 53}, {41, 43, 45}}));

  // From column 1 rightwards only, read from the unchanged column 0.
  RX_HIMAGE part = make(8, kNine);
  const int32_t right_part[4] = {1, 0, 99, 99};
  ASSERT_EQ(RX_IP_effect_blur(part, right_part, 1), 0);
  EXPECT_EQ(rows_of(part), (Rows{{10, 23, 25}, {40, 50, 53}, {70, 43, 45}}));

  // Strength 2 on a 1 x 1 picture: the four rows above and below are left
  // out, the four side columns all read column 0: 5 x 200 / 25 = 40.
  RX_HIMAGE dot = make(8, {{200}});
  ASSERT_EQ(RX_IP_effect_blur(dot, nullptr, 2), 0);
  EXPECT_EQ(rows_of(dot), (Rows{{40}}));
}

TEST_F(FxKernels, BlurColourChannelsApartAndOtherStrengthsDoNothing) {
  // Each channel alone; the middle pixel of a 3 x 1 row at strength 1:
  // blue (10+20+30)/9 = 6, green (0+90+0)/9 = 10, red 3*255/9 = 85.
  RX_HIMAGE colour = make(24, {{10, 0, 255, 20, 90, 255, 30, 0, 255}});
  ASSERT_EQ(RX_IP_effect_blur(colour, nullptr, 1), 0);
  EXPECT_EQ(rows_of(colour)[0][3], 6);
  EXPECT_EQ(rows_of(colour)[0][4], 10);
  EXPECT_EQ(rows_of(colour)[0][5], 85);

  // Strengths other than 1 and 2 are looked at before the depth.
  RX_HIMAGE grey = make(8, kNine);
  RX_HIMAGE nibbles = test::create(test::make_dib(4, 2, 4));
  for (int32_t strength : {0, 3, -1, 5}) {
    EXPECT_EQ(RX_IP_effect_blur(grey, nullptr, strength), 0);
    EXPECT_EQ(RX_IP_effect_blur(nibbles, nullptr, strength), 0);
  }
  EXPECT_EQ(rows_of(grey), kNine);
}

TEST_F(FxKernels, DepthRuleOfTheKernelEffects) {
  for (int32_t bits : {1, 4, 16}) {
    SCOPED_TRACE(bits);
    RX_HIMAGE image = test::create(test::make_dib(6, 3, bits));
    EXPECT_EQ(RX_IP_effect_blur(image, nullptr, 1), 1);
    EXPECT_EQ(first_error(), (Codes{RXE_BIT_COUNT_UNSUPPORTED, bits, 0}));
    EXPECT_EQ(RX_IP_effect_emboss(image, nullptr, 1.0, 1), 1);
    EXPECT_EQ(RX_IP_effect_motion(image, nullptr, 3, 3), 1);
    EXPECT_EQ(RX_IP_effect_stitch(image, nullptr, 1, 1.0), 1);
    EXPECT_EQ(first_error(), (Codes{RXE_BIT_COUNT_UNSUPPORTED, bits, 0}));
  }
  // A 32-bit image is left alone without a word.
  RX_HIMAGE deep = test::create(test::make_dib(2, 2, 32));
  if (deep != 0) {
    EXPECT_EQ(RX_IP_effect_emboss(deep, nullptr, 1.0, 1), 0);
  }
  // Handles: 0 pushes, another invalid one is ignored.
  EXPECT_EQ(RX_IP_effect_blur(0, nullptr, 1), 1);
  EXPECT_EQ(first_error()[0], RXE_INVALID_HANDLE);
}

TEST_F(FxKernels, EmbossEachDirectionWithItsNormaliser) {
  // Direction 3: the left neighbour less the pixel (column -1 reads 1),
  // times the normaliser, limited to -127..128, plus 127.
  //   normaliser 1:   20-10=10 -> 137, -10 -> 117, -30 -> 97, 0 -> 127
  //   normaliser 0.5: 5 -> 132, -5 -> 122, -15 -> 112, 0 -> 127
  const Rows row = {{10, 20, 50, 50}};
  RX_HIMAGE a = make(8, row);
  ASSERT_EQ(RX_IP_effect_emboss(a, nullptr, 1.0, 3), 0);
  EXPECT_EQ(rows_of(a), (Rows{{137, 117, 97, 127}}));
  RX_HIMAGE b = make(8, row);
  ASSERT_EQ(RX_IP_effect_emboss(b, nullptr, 0.5, 3), 0);
  EXPECT_EQ(rows_of(b), (Rows{{132, 122, 112, 127}}));
  // Direction 7 is the opposite sign: pixel less left neighbour.
  RX_HIMAGE c = make(8, row);
  ASSERT_EQ(RX_IP_effect_emboss(c, nullptr, 1.0, 7), 0);
  EXPECT_EQ(rows_of(c), (Rows{{117, 137, 157, 127}}));
  // Limits: 255 - 0 = 255 -> 128 + 127 = 255; 0 - 255 -> -127 + 127 = 0.
  RX_HIMAGE d = make(8, {{0, 255}});
  ASSERT_EQ(RX_IP_effect_emboss(d, nullptr, 1.0, 3), 0);
  EXPECT_EQ(rows_of(d), (Rows{{255, 0}}));

  // Direction 1: the pixel less the one above; the top row has no row
  // above, so only the pixel counts: 10 -> 137, 40-10 -> 157, 30 -> 157.
  RX_HIMAGE e = make(8, {{10}, {40}, {70}});
  ASSERT_EQ(RX_IP_effect_emboss(e, nullptr, 1.0, 1), 0);
  EXPECT_EQ(rows_of(e), (Rows{{137}, {157}, {157}}));
  // Direction 8: the pixel less its upper-left neighbour:
  //   (1,1): 50 - 10 = 40 -> 167; (0,1): left column mirrored: 40 - 20 = 20 -> 147;
  //   top row: only the pixel: 10 -> 137, 20 -> 147, 30 -> 157.
  RX_HIMAGE f = make(8, kNine);
  ASSERT_EQ(RX_IP_effect_emboss(f, nullptr, 1.0, 8), 0);
  EXPECT_EQ(rows_of(f)[0], (std::vector<uint8_t>{137, 147, 157}));
  EXPECT_EQ(rows_of(f)[1][0], 147);
  EXPECT_EQ(rows_of(f)[1][1], 167);
}

TEST_F(FxKernels, RefusedParametersLeaveTheImageAlone) {
  RX_HIMAGE grey = make(8, kNine);
  for (int32_t direction : {0, 9, -1}) {
    EXPECT_EQ(RX_IP_effect_emboss(grey, nullptr, 1.0, direction), 1);
    EXPECT_EQ(first_error(), (Codes{RXE_PARAMETERS_OUT_OF_LIMITS, direction, 0}));
    EXPECT_EQ(RX_IP_effect_motion(grey, nullptr, 3, direction), 1);
    EXPECT_EQ(RX_IP_effect_stitch(grey, nullptr, direction, 1.0), 1);
  }
  for (int32_t length : {0, -4}) {
    EXPECT_EQ(RX_IP_effect_motion(grey, nullptr, length, 3), 1);
    EXPECT_EQ(first_error(), (Codes{RXE_INVALID_KERNEL_MOTION_EXTENT, length, 0}));
  }
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(RX_IP_effect_emboss(grey, nullptr, nan, 1), 1);
  EXPECT_EQ(first_error()[0], RXE_INVALID_KERNEL_NORMALIZER);
  EXPECT_EQ(RX_IP_effect_stitch(grey, nullptr, 1, std::numeric_limits<double>::infinity()), 1);
  EXPECT_EQ(rows_of(grey), kNine);
}

TEST_F(FxKernels, MotionBlurTrailsInItsDirection) {
  // Length 3 to the right: (0+30+60)/3 = 30, (30+60+90)/3 = 60,
  // (60+90+60)/3 = 70 (column 4 reads 2), (90+60+30)/3 = 60.
  const Rows row = {{0, 30, 60, 90}};
  RX_HIMAGE right = make(8, row);
  ASSERT_EQ(RX_IP_effect_motion(right, nullptr, 3, 3), 0);
  EXPECT_EQ(rows_of(right), (Rows{{30, 60, 70, 60}}));
  // To the left: (0+30+60)/3 = 30, (30+0+30)/3 = 20, (60+30+0)/3 = 30,
  // (90+60+30)/3 = 60.
  RX_HIMAGE left = make(8, row);
  ASSERT_EQ(RX_IP_effect_motion(left, nullptr, 3, 7), 0);
  EXPECT_EQ(rows_of(left), (Rows{{30, 20, 30, 60}}));
  // Downwards, rows below the picture left out at 1/3: 180/3, 150/3, 90/3.
  RX_HIMAGE down = make(8, {{30}, {60}, {90}});
  ASSERT_EQ(RX_IP_effect_motion(down, nullptr, 3, 5), 0);
  EXPECT_EQ(rows_of(down), (Rows{{60}, {50}, {30}}));
  // Diagonal length 3 is trunc(3 x 0.7071) = 2 pixels: down-right from
  // (0,0) is (10 + 50) / 2 = 30.
  RX_HIMAGE diagonal = make(8, kNine);
  ASSERT_EQ(RX_IP_effect_motion(diagonal, nullptr, 3, 4), 0);
  EXPECT_EQ(rows_of(diagonal)[0][0], 30);
  // Length 1 is the pixel itself; a huge length is cut to 16 and a uniform
  // picture stays uniform.
  RX_HIMAGE same = make(8, kNine);
  ASSERT_EQ(RX_IP_effect_motion(same, nullptr, 1, 2), 0);
  EXPECT_EQ(rows_of(same), kNine);
  RX_HIMAGE flat = make_fn(8, 40, 3, [](int32_t, int32_t) { return uint8_t(77); });
  ASSERT_EQ(RX_IP_effect_motion(flat, nullptr, INT32_MAX, 3), 0);
  EXPECT_EQ(rows_of(flat)[1][5], 77);
}

TEST_F(FxKernels, StitchIsTheFixedKernelThenAnEmboss) {
  // A uniform 5 x 5 picture of 100. The 5 x 5 kernel's rows sum to -5, 0,
  // 10, 0, -5, so interior sums are 0; the top row keeps kernel rows 2..4
  // (10 + 0 - 5 = 5), the second 1..4 (5), the middle all (0):
  //   8-bit:  5 x 100 / 16 = 31.25 -> 31; rows 31 31 0 31 31. Emboss
  //   direction 1 (pixel less the one above, none above the top row):
  //   31 -> 158, 0 -> 127, -31 -> 96, 31 -> 158, 0 -> 127.
  auto hundred = [](int32_t, int32_t) { return uint8_t(100); };
  RX_HIMAGE grey = make_fn(8, 5, 5, hundred);
  ASSERT_EQ(RX_IP_effect_stitch(grey, nullptr, 1, 1.0), 0);
  const Rows got = rows_of(grey);
  const uint8_t want[5] = {158, 127, 96, 158, 127};
  for (int32_t y = 0; y < 5; ++y) EXPECT_EQ(got[y], std::vector<uint8_t>(5, want[y])) << y;

  //   24-bit, normaliser 2: 500 / 16 x 2 = 62.5 -> 62 (magnitude); the
  //   emboss doubles again: 124 -> 251, 0 -> 127, -124 -> 3, 251, 127.
  RX_HIMAGE colour = make_fn(24, 5, 5, hundred);
  ASSERT_EQ(RX_IP_effect_stitch(colour, nullptr, 1, 2.0), 0);
  const Rows c = rows_of(colour);
  const uint8_t want_c[5] = {251, 127, 3, 251, 127};
  for (int32_t y = 0; y < 5; ++y) EXPECT_EQ(c[y], std::vector<uint8_t>(15, want_c[y])) << y;
}

TEST_F(FxKernels, InterruptionAtEachRowKeepsTheRowsDone) {
  // One image made and dropped first, so that whatever the engine keeps
  // for its life is not counted.
  RX_image_delete(make(8, kNine));
  const int32_t before = rx::mem_live_block_count();
  for (int32_t stop = 0; stop < 3; ++stop) {
    SCOPED_TRACE(stop);
    RX_HIMAGE grey = make(8, kNine);
    {
      StatusLog log;
      log.stop_after = stop;
      EXPECT_EQ(RX_IP_effect_blur(grey, nullptr, 1), 1);
      EXPECT_EQ(first_error(), (Codes{RXE_INTERRUPTED_BY_USER, stop, 3}));
      EXPECT_EQ(log.calls.size(), size_t(stop + 1));
    }
    const Rows blurred = {{21, 23, 25}, {46, 50, 53}, {41, 43, 45}};
    Rows want = kNine;
    for (int32_t y = 0; y <= stop; ++y) want[y] = blurred[y];
    EXPECT_EQ(rows_of(grey), want);
    RX_image_delete(grey);
  }
  RPb_AF_error_clear();
  EXPECT_EQ(rx::mem_live_block_count(), before) << "scratch rows freed on every path";
}

TEST_F(FxKernels, SlidingBoxGivesTheBytesOfTheTapByTapPath) {
  // Widths down to 1 (every side column mirrored and limited), rectangles
  // touching and away from the edges, both depths and both strengths.
  std::mt19937 rng(17);
  const int32_t sizes[][2] = {{1, 1}, {1, 7}, {2, 3}, {5, 5}, {37, 11}, {64, 9}};
  for (const auto& size : sizes)
    for (int32_t bits : {8, 24})
      for (int32_t strength : {1, 2})
        for (int trial = 0; trial < 3; ++trial) {
          const int32_t w = size[0], h = size[1];
          std::vector<uint8_t> noise(size_t(w) * h * 3);
          for (auto& b : noise) b = uint8_t(rng());
          auto f = [&](int32_t x, int32_t y) { return noise[size_t(y) * w * 3 + size_t(x)]; };
          const int32_t rect[4] = {int32_t(rng() % w), int32_t(rng() % h), int32_t(rng() % (w + 2)),
                                   int32_t(rng() % (h + 2))};
          RX_HIMAGE fast = make_fn(bits, w, h, f);
          RX_HIMAGE plain = make_fn(bits, w, h, f);
          ASSERT_EQ(RX_IP_effect_blur(fast, trial == 0 ? nullptr : rect, strength), 0);
          {
            rx::KernelLevelScope reference(rx::KernelLevel::kReference);
            ASSERT_EQ(RX_IP_effect_blur(plain, trial == 0 ? nullptr : rect, strength), 0);
          }
          EXPECT_EQ(rows_of(fast), rows_of(plain)) << w << "x" << h << " " << bits << " " << strength;
          RX_image_delete(fast);
          RX_image_delete(plain);
        }
}
