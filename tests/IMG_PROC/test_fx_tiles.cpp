// The effects that move pixels within small tiles: diffuse and twist.
// Their random draws come from the engine's sequence, the classic linear
// congruential generator, whose first values from seed 1 are 16838, 5758,
// 10113, 17515 (the sample generator of the C language's standard).
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "IMG_PROC/fx_common.h"
#include "IMG_PROC/ip_images.h"

using namespace iptest;

namespace {

class FxDiffuse : public EngineTest {};
class FxTwist : public EngineTest {};

std::vector<uint8_t> sorted_bytes(const Rows& rows) {
  std::vector<uint8_t> all;
  for (const auto& r : rows) all.insert(all.end(), r.begin(), r.end());
  std::sort(all.begin(), all.end());
  return all;
}

}  // namespace

TEST(FxRandom, TheSequenceFromSeedOne) {
  rx::ip::fx::random_seed(1);
  EXPECT_EQ(rx::ip::fx::random15(), 16838);
  EXPECT_EQ(rx::ip::fx::random15(), 5758);
  EXPECT_EQ(rx::ip::fx::random15(), 10113);
  EXPECT_EQ(rx::ip::fx::random15(), 17515);
}

TEST_F(FxDiffuse, OneTileShuffledByHand) {
  // A 2 x 2 picture a b / c d is one tile (step 2). Positions in row order
  // (0,0) (1,0) (0,1) (1,1); draws j = r x 3 / 32767:
  //   i0: 16838 -> 1: (1,0) (0,0) (0,1) (1,1)
  //   i1:  5758 -> 0: (0,0) (1,0) (0,1) (1,1)
  //   i2: 10113 -> 0: (0,1) (1,0) (0,0) (1,1)
  //   i3: 17515 -> 1: (0,1) (1,1) (0,0) (1,0)
  // Pairs from both ends swap: (0,1) with (1,0), then (1,1) with (0,0):
  // d c / b a.
  rx::ip::fx::random_seed(1);
  RX_HIMAGE grey = make(8, {{1, 2}, {3, 4}});
  ASSERT_EQ(RX_IP_effect_diffuse(grey, nullptr, 2), 0);
  EXPECT_EQ(rows_of(grey), (Rows{{4, 3}, {2, 1}}));
  // The same for 24-bit pixels, which move as whole pixels.
  rx::ip::fx::random_seed(1);
  RX_HIMAGE colour = make(24, {{1, 1, 1, 2, 2, 2}, {3, 3, 3, 4, 4, 4}});
  ASSERT_EQ(RX_IP_effect_diffuse(colour, nullptr, 2), 0);
  EXPECT_EQ(rows_of(colour), (Rows{{4, 4, 4, 3, 3, 3}, {2, 2, 2, 1, 1, 1}}));
}

TEST_F(FxDiffuse, KeepsThePixelsAndTheOutside) {
  auto f = [](int32_t x, int32_t y) { return uint8_t(x * 7 + y * 31); };
  RX_HIMAGE grey = make_fn(8, 20, 12, f);
  const Rows before = rows_of(grey);
  const int32_t rect[4] = {3, 2, 15, 9};
  ASSERT_EQ(RX_IP_effect_diffuse(grey, rect, 5), 0);
  const Rows after = rows_of(grey);
  EXPECT_NE(after, before);
  EXPECT_EQ(sorted_bytes(after), sorted_bytes(before)) << "pixels only move";
  for (int32_t y = 0; y < 12; ++y)
    for (int32_t x = 0; x < 20; ++x)
      if (x < 3 || x > 15 || y < 2 || y > 9) {
        EXPECT_EQ(after[y][x], before[y][x]) << x << "," << y;
      }

  // A uniform picture stays uniform at any size; tile 1 changes nothing.
  RX_HIMAGE flat = make_fn(8, 9, 9, [](int32_t, int32_t) { return uint8_t(9); });
  for (int32_t tile = 1; tile <= 16; ++tile) ASSERT_EQ(RX_IP_effect_diffuse(flat, nullptr, tile), 0);
  EXPECT_EQ(sorted_bytes(rows_of(flat)), std::vector<uint8_t>(81, 9));
  RX_HIMAGE one = make_fn(8, 6, 4, f);
  ASSERT_EQ(RX_IP_effect_diffuse(one, nullptr, 1), 0);
  EXPECT_EQ(rows_of(one), rows_of(make_fn(8, 6, 4, f)));
  // A tile larger than the rectangle does nothing.
  const int32_t small[4] = {0, 0, 2, 2};
  ASSERT_EQ(RX_IP_effect_diffuse(one, small, 4), 0);
  EXPECT_EQ(rows_of(one), rows_of(make_fn(8, 6, 4, f)));
}

TEST_F(FxDiffuse, RefusalsAndInterruption) {
  RX_HIMAGE grey = make(8, {{1, 2}, {3, 4}});
  for (int32_t tile : {17, 0, -3, INT32_MAX}) {
    EXPECT_EQ(RX_IP_effect_diffuse(grey, nullptr, tile), 1);
    EXPECT_EQ(first_error(), (Codes{RXE_PARAMETERS_OUT_OF_LIMITS, tile, 0}));
  }
  RX_HIMAGE nibbles = test::create(test::make_dib(4, 4, 4));
  EXPECT_EQ(RX_IP_effect_diffuse(nibbles, nullptr, 2), 1);
  EXPECT_EQ(first_error(), (Codes{RXE_BIT_COUNT_UNSUPPORTED, 4, 0}));
  EXPECT_EQ(rows_of(grey), (Rows{{1, 2}, {3, 4}}));

  // Tile 3 on 8 rows: tile tops on rows 0..5, each reported as (row, 6);
  // tiles step by 2, so stopping after row 0 has changed only rows 0..2.
  auto f = [](int32_t x, int32_t y) { return uint8_t(x + 10 * y); };
  RX_HIMAGE big = make_fn(8, 8, 8, f);
  {
    StatusLog log;
    log.stop_after = 0;
    EXPECT_EQ(RX_IP_effect_diffuse(big, nullptr, 3), 1);
    EXPECT_EQ(first_error(), (Codes{RXE_INTERRUPTED_BY_USER, 0, 6}));
  }
  const Rows after = rows_of(big);
  const Rows fresh = rows_of(make_fn(8, 8, 8, f));
  for (int32_t y = 3; y < 8; ++y) EXPECT_EQ(after[y], fresh[y]) << y;
  StatusLog all;
  ASSERT_EQ(RX_IP_effect_diffuse(big, nullptr, 3), 0);
  EXPECT_EQ(all.calls.size(), 6u);
  EXPECT_EQ(all.calls.back(), std::make_pair(5, 6));
}

TEST_F(FxTwist, TurnsOfTwoByTwoBlocks) {
  // A 5 x 2 picture holds two whole 2 x 2 blocks; column 4 is left over.
  const Rows pic = {{1, 2, 3, 4, 5}, {6, 7, 8, 9, 10}};
  // Turn 2 mirrors each block left to right.
  RX_HIMAGE mirror = make(8, pic);
  ASSERT_EQ(RX_IP_effect_twist(mirror, nullptr, 2, 2), 0);
  EXPECT_EQ(rows_of(mirror), (Rows{{2, 1, 4, 3, 5}, {7, 6, 9, 8, 10}}));
  // Turn 3 swaps top-right and bottom-left.
  RX_HIMAGE falling = make(8, pic);
  ASSERT_EQ(RX_IP_effect_twist(falling, nullptr, 3, 2), 0);
  EXPECT_EQ(rows_of(falling), (Rows{{1, 6, 3, 8, 5}, {2, 7, 4, 9, 10}}));
  // Turn 1 swaps top-left and bottom-right.
  RX_HIMAGE rising = make(8, pic);
  ASSERT_EQ(RX_IP_effect_twist(rising, nullptr, 1, 2), 0);
  EXPECT_EQ(rows_of(rising), (Rows{{7, 2, 9, 4, 5}, {6, 1, 8, 3, 10}}));
  // Other turns, and block size 1, change nothing.
  RX_HIMAGE same = make(8, pic);
  for (int32_t turn : {0, 5, -1}) ASSERT_EQ(RX_IP_effect_twist(same, nullptr, turn, 2), 0);
  for (int32_t turn : {1, 2, 3}) ASSERT_EQ(RX_IP_effect_twist(same, nullptr, turn, 1), 0);
  EXPECT_EQ(rows_of(same), pic);
}

TEST_F(FxTwist, ThreeByThreeReflectionsAndRandomTurns) {
  // Block 1 2 3 / 4 5 6 / 7 8 9. Turn 1: (x, y) takes (2 - y, 2 - x), so
  // the top row reads down the right column from the bottom: 9 6 3, then
  // 8 5 2, then 7 4 1.
  const Rows block = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}};
  RX_HIMAGE a = make(8, block);
  ASSERT_EQ(RX_IP_effect_twist(a, nullptr, 1, 3), 0);
  EXPECT_EQ(rows_of(a), (Rows{{9, 6, 3}, {8, 5, 2}, {7, 4, 1}}));
  RX_HIMAGE b = make(8, block);
  ASSERT_EQ(RX_IP_effect_twist(b, nullptr, 3, 3), 0);
  EXPECT_EQ(rows_of(b), (Rows{{1, 4, 7}, {2, 5, 8}, {3, 6, 9}}));

  // Turn 4 draws trunc(r x 4 / 32767) per block: 16838 -> 2, 5758 -> 0,
  // 10113 -> 1, 17515 -> 2: four 2 x 2 blocks in a row are mirrored,
  // kept, swapped on the rising diagonal (turn 1) and mirrored.
  rx::ip::fx::random_seed(1);
  RX_HIMAGE c = make(8, {{1, 2, 3, 4, 5, 6, 7, 8}, {11, 12, 13, 14, 15, 16, 17, 18}});
  ASSERT_EQ(RX_IP_effect_twist(c, nullptr, 4, 2), 0);
  EXPECT_EQ(rows_of(c), (Rows{{2, 1, 3, 4, 16, 6, 8, 7}, {12, 11, 13, 14, 15, 5, 18, 17}}));
}

TEST_F(FxTwist, EveryDepthAndTheRunsFormat) {
  // Turn 2, block 2 on bit and nibble rows; a 1-bit runs image stays runs.
  const Rows bits = {{1, 0, 0, 0, 1, 1, 0, 1, 1}, {0, 0, 1, 0, 1, 0, 0, 0, 1}};
  const Rows want = {{0, 1, 0, 0, 1, 1, 1, 0, 1}, {0, 0, 0, 1, 0, 1, 0, 0, 1}};
  for (bool runs : {false, true}) {
    RX_HIMAGE mono = make(1, bits, runs);
    ASSERT_EQ(RX_IP_effect_twist(mono, nullptr, 2, 2), 0);
    EXPECT_EQ(rows_of(mono), want) << runs;
    EXPECT_EQ(compression_of(mono), runs ? RX_BI_RUNS : RX_BI_RGB);
  }
  RX_HIMAGE nibbles = make(4, {{1, 2, 3, 15, 9}, {4, 5, 6, 7, 8}});
  ASSERT_EQ(RX_IP_effect_twist(nibbles, nullptr, 2, 2), 0);
  EXPECT_EQ(rows_of(nibbles), (Rows{{2, 1, 15, 3, 9}, {5, 4, 7, 6, 8}}));
  RX_HIMAGE colour = make(24, {{1, 2, 3, 4, 5, 6}, {7, 8, 9, 10, 11, 12}});
  ASSERT_EQ(RX_IP_effect_twist(colour, nullptr, 3, 2), 0);
  EXPECT_EQ(rows_of(colour), (Rows{{1, 2, 3, 7, 8, 9}, {4, 5, 6, 10, 11, 12}}));
}

TEST_F(FxTwist, RefusalsRectanglesAndInterruption) {
  RX_HIMAGE deep = test::create(test::make_dib(4, 4, 16));
  EXPECT_EQ(RX_IP_effect_twist(deep, nullptr, 2, 2), 1);
  EXPECT_EQ(first_error(), (Codes{RXE_BIT_COUNT_UNSUPPORTED, 16, 0}));
  const Rows pic = {{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}};
  RX_HIMAGE grey = make(8, pic);
  for (int32_t block : {0, -2}) {
    EXPECT_EQ(RX_IP_effect_twist(grey, nullptr, 2, block), 1);
    EXPECT_EQ(first_error(), (Codes{RXE_PARAMETERS_OUT_OF_LIMITS, block, 0}));
  }
  // Blocks larger than the rectangle, however large, allocate nothing.
  EXPECT_EQ(RX_IP_effect_twist(grey, nullptr, 2, INT32_MAX), 0);
  EXPECT_EQ(rows_of(grey), pic);
  // A rectangle from (1, 1): the one whole block there is columns 1..2 of
  // rows 1..2.
  const int32_t rect[4] = {1, 1, 3, 2};
  ASSERT_EQ(RX_IP_effect_twist(grey, rect, 2, 2), 0);
  EXPECT_EQ(rows_of(grey), (Rows{{1, 2, 3, 4}, {5, 7, 6, 8}, {9, 11, 10, 12}}));

  // Block 2 on 4 rows: block tops on rows 0..2, reported as (row, 3);
  // stopping after row 1 keeps the block of rows 0..1 turned.
  RX_HIMAGE tall = make(8, {{1, 2}, {3, 4}, {5, 6}, {7, 8}});
  StatusLog log;
  log.stop_after = 1;
  EXPECT_EQ(RX_IP_effect_twist(tall, nullptr, 2, 2), 1);
  EXPECT_EQ(first_error(), (Codes{RXE_INTERRUPTED_BY_USER, 1, 3}));
  EXPECT_EQ(rows_of(tall), (Rows{{2, 1}, {4, 3}, {5, 6}, {7, 8}}));
}

TEST_F(FxTwist, PillowsTransposesAgreeBlockByBlock) {
  if (std::system("/usr/bin/python3 -c 'import PIL' 2>/dev/null") != 0) GTEST_SKIP() << "python3 with PIL is not installed";
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("rastrix_twist_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::ofstream cases(dir / "cases.txt");
  auto pattern = [](int32_t x, int32_t y) { return uint8_t((x * 29 + y * 71 + x * y * 13) ^ (y << 3)); };
  // Pillow reads RGB red first; our rows are blue first.
  auto raw = [](const Rows& rows, bool colour) {
    std::vector<uint8_t> out;
    for (auto row : rows) {
      if (colour)
        for (size_t i = 0; i + 2 < row.size(); i += 3) std::swap(row[i], row[i + 2]);
      out.insert(out.end(), row.begin(), row.end());
    }
    return out;
  };
  auto put = [&](const std::string& name, const std::vector<uint8_t>& bytes) {
    std::ofstream(dir / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  };
  const int32_t rects[][4] = {{0, 0, 36, 22}, {2, 3, 33, 20}, {30, 1, 36, 21}};
  int n = 0;
  for (bool colour : {false, true})
    for (int32_t turn : {1, 2, 3})
      for (int32_t block : {1, 2, 5, 7})
        for (const auto& rect : rects) {
          RX_HIMAGE image = make_fn(colour ? 24 : 8, 37, 23, pattern);
          const std::string name = "case" + std::to_string(n++);
          put(name + ".in", raw(rows_of(image), colour));
          ASSERT_EQ(RX_IP_effect_twist(image, rect, turn, block), 0);
          put(name + ".out", raw(rows_of(image), colour));
          cases << name << (colour ? " RGB" : " L") << " 37 23 " << turn << ' ' << block << ' '
                << rect[0] << ' ' << rect[1] << ' ' << rect[2] << ' ' << rect[3] << '\n';
          RX_image_delete(image);
        }
  cases.close();
  const std::string check = "/usr/bin/python3 " RX_TEST_DATA_DIR "/../interop/pillow_twist.py ";
  EXPECT_EQ(std::system((check + dir.string()).c_str()), 0) << "cases in " << dir;
  if (!HasFailure()) fs::remove_all(dir);
}
