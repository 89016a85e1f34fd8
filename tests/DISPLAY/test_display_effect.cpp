// Transition effects: how a run ends, what it refuses, how its steps are
// paced on the tick counter, and how it ends when its window goes away.
#include <gtest/gtest.h>

#include "DISPLAY/effect_test_util.h"
#include "SUPPORT/mem_tag.h"

using namespace etest;

namespace {

constexpr int32_t kEffects = 11;

// A 30 x 20 picture stretched into (5, 4)-(45, 36) with a background
// round it, so that every pixel of the window is the draw's.
RX_HIMAGE placed_picture() {
  RX_HIMAGE im = picture_image(30, 20);
  dtest::set_rect(im, 5, 4, 45, 36);
  const RX_RGBQUAD back{40, 90, 200, 0};
  RX_display_background_set(im, 0, nullptr, &back, 1);
  return im;
}

// The same image drawn straight into a memory DC of the window's area.
std::vector<Rgb> drawn_directly(RX_HIMAGE im, int32_t w, int32_t h, int32_t client_w, int32_t client_h) {
  dtest::Device d(32, w, h);
  EXPECT_EQ(RX_display_image(im, d.handle()), 0);
  std::vector<Rgb> out;
  for (int32_t y = 0; y < client_h; ++y)
    for (int32_t x = 0; x < client_w; ++x) out.push_back(d.at(x, y));
  return out;
}

using DisplayEffect = EffectTest;

TEST_F(DisplayEffect, EveryEffectEndsShowingTheImageAsDrawn) {
  RX_HIMAGE im = placed_picture();
  g_painted = im;
  const uint32_t seed = 7;
  rx::random_clock_seed_pin(&seed);
  const int32_t blocks = rx::mem_live_block_count();
  // 53 x 41 is no multiple of the blocks, so the last column and row of
  // cells are cut; block 60 is larger than the window (one strip, one
  // cell).
  for (int32_t effect = 0; effect < kEffects; ++effect) {
    for (int32_t block : {7, 10, 60}) {
      HWND hwnd = window(53, 41, 0, dtest::rgb(9, 9, 9));
      EXPECT_EQ(RX_display_effect(1, im, u(hwnd), effect, block, 0), 0);
      EXPECT_EQ(shown(hwnd), drawn_directly(im, 53, 41, 53, 41)) << "effect " << effect << " block " << block;
      // The run's scratch memory has gone back.
      EXPECT_EQ(rx::mem_live_block_count(), blocks);
    }
  }
  RX_image_delete(im);
}

TEST_F(DisplayEffect, ScrollBarsWidenTheAreaTheEffectsCover) {
  // The client area is 37 x 25 inside 16-pixel bars; the effects work on
  // 53 x 41, and the slides place the picture against that width.
  RX_HIMAGE im = placed_picture();
  g_painted = im;
  for (int32_t effect = 0; effect < kEffects; ++effect) {
    HWND hwnd = window(53, 41, WS_HSCROLL | WS_VSCROLL, dtest::rgb(9, 9, 9));
    EXPECT_EQ(RX_display_effect(1, im, u(hwnd), effect, 6, 0), 0);
    EXPECT_EQ(shown(hwnd), drawn_directly(im, 53, 41, 37, 25)) << "effect " << effect;
  }
  RX_image_delete(im);
}

TEST_F(DisplayEffect, FlagOrImageZeroGivesMinusOneAndDrawsNothing) {
  RX_HIMAGE im = picture_image(20, 20);
  g_painted = im;
  for (int32_t effect = 0; effect < kEffects; ++effect) {
    HWND hwnd = window(20, 20);
    EXPECT_EQ(RX_display_effect(0, im, u(hwnd), effect, 4, 0), -1);
    EXPECT_EQ(RX_display_effect(1, 0, u(hwnd), effect, 4, 0), -1);
    EXPECT_EQ(RPb_AF_error_check(), 0);
    EXPECT_EQ(shown(hwnd), std::vector<Rgb>(400, 0u)) << "effect " << effect;
  }
  // Any other flag is as good as 1.
  HWND hwnd = window(20, 20);
  EXPECT_EQ(RX_display_effect(-5, im, u(hwnd), 7, 4, 0), 0);
  EXPECT_EQ(shown(hwnd), expect(20, 20, [](int32_t, int32_t) { return true; }));
  RX_image_delete(im);
}

TEST_F(DisplayEffect, AnImageNotValidShowsNothingOrAnEmptyPicture) {
  RX_HIMAGE gone = picture_image(8, 8);
  RX_image_delete(gone);
  g_painted = gone;
  const Rgb marker = dtest::rgb(1, 2, 3);
  for (int32_t effect = 0; effect < kEffects; ++effect) {
    HWND hwnd = window(24, 16, 0, marker);
    EXPECT_EQ(RX_display_effect(1, gone, u(hwnd), effect, 4, 0), 0) << "effect " << effect;
    // 2, 3 and 5 copy the off-screen bitmap as it was made, all black;
    // 0 and 1 let the window paint, which draws nothing; the others stop.
    const bool copies = effect == 2 || effect == 3 || effect == 5;
    EXPECT_EQ(shown(hwnd), std::vector<Rgb>(24 * 16, copies ? 0u : marker)) << "effect " << effect;
  }
}

TEST_F(DisplayEffect, RefusesAMissingWindowAndIgnoresUnknownEffects) {
  RX_HIMAGE im = picture_image(8, 8);
  EXPECT_EQ(RX_display_effect(1, im, 0, 7, 4, 0), 1);
  EXPECT_EQ(error_codes(), std::vector<int32_t>{RXE_INVALID_WINDOW_HANDLE});
  HWND hwnd = window(8, 8);
  pw_window_destroy(hwnd);
  EXPECT_EQ(RX_display_effect(1, im, u(hwnd), 2, 4, 0), 1);
  EXPECT_EQ(error_codes(), std::vector<int32_t>{RXE_INVALID_WINDOW_HANDLE});
  HWND live = window(8, 8);
  for (int32_t effect : {-1, 11, 24}) {
    EXPECT_EQ(RX_display_effect(1, im, u(live), effect, 4, 0), 0);
    EXPECT_EQ(shown(live), std::vector<Rgb>(64, 0u));
  }
  RX_image_delete(im);
}

TEST_F(DisplayEffect, CellRecordsThatCannotBeHadAreReported) {
  // The cells of a 100 x 100 window in blocks of 2: 51 x 51 = 2601 flags.
  // An image that is not valid skips the draw, so the flags are the only
  // memory asked for.
  RX_HIMAGE gone = picture_image(8, 8);
  RX_image_delete(gone);
  const size_t old_limit = rx::mem_alloc_limit_set(1000);
  for (int32_t effect : {2, 5}) {
    HWND hwnd = window(100, 100, 0, dtest::rgb(1, 2, 3));
    EXPECT_EQ(RX_display_effect(1, gone, u(hwnd), effect, 2, 0), 1);
    const std::vector<ErrorEntry> e = error_entries();
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(e[0].code, RXE_GLOBAL_MEMORY_DEPLETED);
    EXPECT_EQ(e[0].iVal, 2601);
    EXPECT_NE(e[0].lVal, 0);  // the tag
    EXPECT_EQ(shown(hwnd), std::vector<Rgb>(10000, dtest::rgb(1, 2, 3))) << "effect " << effect;
  }
  rx::mem_alloc_limit_set(old_limit);
}

// ---- Pacing ---------------------------------------------------------------

TEST_F(DisplayEffect, ATimeOfZeroNeverWaits) {
  // The clock stands still: any wait would never end. Only the start is
  // read.
  RX_HIMAGE im = picture_image(30, 30);
  g_painted = im;
  Clock clock;
  clock.step = 0;
  clock.install();
  for (int32_t effect = 0; effect < kEffects; ++effect) {
    HWND hwnd = window(30, 30);
    clock.reads = 0;
    EXPECT_EQ(RX_display_effect(1, im, u(hwnd), effect, 2, 0), 0);
    EXPECT_LE(clock.reads, 1) << "effect " << effect;
    // A negative time is no time either.
    clock.reads = 0;
    EXPECT_EQ(RX_display_effect(1, im, u(hwnd), effect, 2, -50), 0);
    EXPECT_LE(clock.reads, 1) << "effect " << effect;
  }
  RX_image_delete(im);
}

// Effect 7 on a 100-pixel-wide window with block 10 has 100 / 10 + 1 = 11
// steps. With a time of 110 ms, step i is due at 110 x i / 11 = 10 i ms.
// The clock reads 0, 1, 2, ...: the start reads 0, and the wait after
// step i reads up to 10 i, so 1 + 110 reads in all and the last one 110.
TEST_F(DisplayEffect, StepsAreSpreadOverTheTime) {
  RX_HIMAGE im = picture_image(100, 10);
  HWND hwnd = window(100, 10);
  Clock clock;
  uint32_t last = 0;
  std::vector<Rgb> at_55;
  clock.on_read = [&](uint32_t t) {
    last = t;
    if (t == 55) at_55 = shown(hwnd);
  };
  clock.install();
  EXPECT_EQ(RX_display_effect(1, im, u(hwnd), 7, 10, 110), 0);
  EXPECT_EQ(clock.reads, 111);
  EXPECT_EQ(last, 110u);
  // At 55 ms step 6 (due at 60) is drawn and waiting: 60 columns show the
  // picture's right-most 60 columns (from x = 40).
  EXPECT_EQ(at_55, expect(100, 10, [](int32_t x, int32_t) { return x < 60; }, 40));
  RX_image_delete(im);
}

TEST_F(DisplayEffect, ACounterThatWrapsKeepsThePace) {
  // The same run starting 64 ms before the counter wraps.
  RX_HIMAGE im = picture_image(100, 10);
  HWND hwnd = window(100, 10);
  Clock clock;
  clock.now = 0xFFFFFFC0u;
  clock.install();
  EXPECT_EQ(RX_display_effect(1, im, u(hwnd), 7, 10, 110), 0);
  EXPECT_EQ(clock.reads, 111);
  EXPECT_EQ(clock.now - 1, 0xFFFFFFC0u + 110u);
  RX_image_delete(im);
}

TEST_F(DisplayEffect, ACounterThatGoesBackEndsEachWait) {
  // The start reads 1000, every later read 999: the elapsed time is
  // negative, so each of the 11 waits ends at its first read.
  RX_HIMAGE im = picture_image(100, 10);
  HWND hwnd = window(100, 10);
  Clock clock;
  clock.now = 1000;
  clock.on_read = [&](uint32_t) { clock.now = 999; };
  clock.install();
  EXPECT_EQ(RX_display_effect(1, im, u(hwnd), 7, 10, 1000000), 0);
  EXPECT_EQ(clock.reads, 12);
  EXPECT_EQ(shown(hwnd), expect(100, 10, [](int32_t, int32_t) { return true; }));
  RX_image_delete(im);
}

TEST_F(DisplayEffect, BlockSizesBelowTwoBehaveAsTwo) {
  // Effect 7 on a 20-pixel-wide window: after step 1 the picture's
  // right-most `block` columns show at the left edge. Time 11 over
  // 20 / 2 + 1 = 11 steps puts step 1's wait at the read of 1.
  RX_HIMAGE im = picture_image(20, 6);
  for (int32_t block : {-3, 0, 1, 2, 3}) {
    const int32_t width = block < 2 ? 2 : block;
    EXPECT_EQ(run(window(20, 6), im, 7, block, 11, {1})[1], expect(20, 6, [&](int32_t x, int32_t) { return x < width; }, 20 - width))
        << "block " << block;
  }
  RX_image_delete(im);
}

// ---- A window that goes away ------------------------------------------------

TEST_F(DisplayEffect, AWindowDestroyedMidwayEndsTheRun) {
  RX_HIMAGE im = picture_image(40, 40);
  g_painted = im;
  const int32_t blocks = rx::mem_live_block_count();
  // The steps of each effect on 40 x 40 in blocks of 2 (21 x 21 cells):
  // strips 39 / 2 and 39 / 2 + 1, cells 441, diagonals 21 + 21 - 1,
  // hands 360, sectors 5..360, two hands 180, slides 40 / 2 + 1.
  const int64_t steps[kEffects] = {19, 20, 441, 41, 360, 356, 180, 21, 21, 441, 441};
  for (int32_t effect = 0; effect < kEffects; ++effect) {
    HWND hwnd = window(40, 40);
    const int32_t windows = pw_window_count();
    Clock clock;
    int64_t reads_at_destroy = -1;
    clock.on_read = [&](uint32_t t) {
      if (t == 3) {
        pw_window_destroy(hwnd);
        reads_at_destroy = clock.reads;
      }
    };
    clock.install();
    // Every step takes at least a tick, so the run is still going at 3.
    EXPECT_EQ(RX_display_effect(1, im, u(hwnd), effect, 2, 100000), 1) << "effect " << effect;
    EXPECT_EQ(error_codes(), std::vector<int32_t>{RXE_INVALID_WINDOW_HANDLE}) << "effect " << effect;
    // The wait in progress (a step takes 100000 / steps ms) ends and no
    // step follows.
    EXPECT_GT(reads_at_destroy, 0);
    EXPECT_LE(clock.reads - reads_at_destroy, 100000 / steps[effect] + 2) << "effect " << effect;
    EXPECT_EQ(pw_window_count(), windows - 1);
    EXPECT_EQ(rx::mem_live_block_count(), blocks) << "effect " << effect;
    pk_tick_source_set(nullptr, nullptr);
  }
  RX_image_delete(im);
}

}  // namespace
