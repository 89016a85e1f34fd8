// Palette generation: the octree's palette order, reduction and error
// diffusion, median cut's boxes, popularity's ranking, worked out by hand;
// refusals and stops that leave the image as it was.
#include "DITHER/octree_reference.h"
#include "IMG_PROC/op_images.h"

using namespace iptest;

namespace {

class Octree : public EngineTest {};
class MedianCut : public EngineTest {};
class Popularity : public EngineTest {};

struct Rgb {
  uint8_t r, g, b;
  bool operator==(const Rgb&) const = default;
};

// A 24-bit image of one row per vector, colours given as red, green, blue.
RX_HIMAGE colour_image(const std::vector<std::vector<Rgb>>& rows) {
  Rows bytes;
  for (const auto& row : rows) {
    bytes.emplace_back();
    for (const Rgb& c : row) bytes.back().insert(bytes.back().end(), {c.b, c.g, c.r});
  }
  return make(24, bytes);
}

Rgb entry(RX_HIMAGE image, int32_t i) {
  uint8_t bgr[3] = {};
  EXPECT_EQ(RX_palette_entry_get(image, bgr, i), 0);
  return Rgb{bgr[2], bgr[1], bgr[0]};
}

// The colour of rank n (0..255) in depth-first order of the octree among
// red 4i, green 4j, blue 4k (i, j < 8, k < 4): every colour its own leaf
// at level 6. Levels 3, 4 and 5 read bits 4, 3 and 2, each child index
// red << 2 | green << 1 | blue; blue never has bit 4, so level 3 has only
// the children 0, 2, 4 and 6, and rank = (i2 j2) x 64 + (i1 j1 k1) x 8 + (i0 j0 k0).
Rgb leaf_colour(uint32_t n) {
  const uint32_t d3 = n / 64, d4 = (n / 8) % 8, d5 = n % 8;
  const uint32_t i = (d3 >> 1) << 2 | (d4 >> 2) << 1 | (d5 >> 2);
  const uint32_t j = (d3 & 1) << 2 | ((d4 >> 1) & 1) << 1 | ((d5 >> 1) & 1);
  const uint32_t k = (d4 & 1) << 1 | (d5 & 1);
  return Rgb{uint8_t(4 * i), uint8_t(4 * j), uint8_t(4 * k)};
}

RX_OCTREE_OPTIONS octree(int32_t colours, int32_t palette_count = 0, const uint8_t* palette = nullptr) {
  return RX_OCTREE_OPTIONS{0, colours, palette_count, palette};
}

int32_t bits_of(RX_HIMAGE image) { return snapshot(image).bits; }

// The eight corners of the colour cube as blue, green, red.
const uint8_t kCorners[8 * 3] = {0, 0, 0, 255, 255, 255, 0, 0, 255, 255, 0, 0, 0, 255, 0, 255, 255, 0, 0, 255, 255, 255, 0, 255};

}  // namespace

TEST_F(Octree, ExactlyTwoHundredFiftySixColoursEachTheirOwnEntry) {
  std::vector<std::vector<Rgb>> rows(16, std::vector<Rgb>(16));
  for (uint32_t n = 0; n < 256; ++n) rows[15 - n / 16][n % 16] = leaf_colour(255 - n);  // any order will do
  RX_HIMAGE image = colour_image(rows);
  const RX_OCTREE_OPTIONS o = octree(256);
  ASSERT_EQ(RX_IP_octree_reduce(image, &o), 0);
  EXPECT_EQ(bits_of(image), 8);
  for (uint32_t n = 0; n < 256; ++n) ASSERT_EQ(entry(image, int32_t(n)), leaf_colour(n)) << n;
  // Exact colours carry no error: every pixel is its own entry.
  const Rows got = rows_of(image);
  for (uint32_t n = 0; n < 256; ++n) ASSERT_EQ(got[15 - n / 16][n % 16], 255 - n) << n;
}

TEST_F(Octree, TheTwoHundredFiftySeventhColourForcesReductions) {
  // One row: the 256 colours in rank order, then red 32 (a new branch).
  // Leaves 257 > 256: the level-5 node with the fewest pixels (the new one,
  // 1 pixel) takes in its one leaf, which still leaves 257; then the first
  // of the level-5 nodes with 8 pixels each, the one of rank 0..7, takes in
  // its 8 leaves and becomes entry 0 with their mean (2, 2, 2): 250 leaves.
  std::vector<Rgb> row;
  for (uint32_t n = 0; n < 256; ++n) row.push_back(leaf_colour(n));
  row.push_back(Rgb{32, 0, 0});
  RX_HIMAGE image = colour_image({row});
  const RX_OCTREE_OPTIONS o = octree(256);
  ASSERT_EQ(RX_IP_octree_reduce(image, &o), 0);
  EXPECT_EQ(entry(image, 0), (Rgb{2, 2, 2}));
  for (uint32_t n = 8; n < 256; ++n) ASSERT_EQ(entry(image, int32_t(n - 7)), leaf_colour(n)) << n;
  EXPECT_EQ(entry(image, 249), (Rgb{32, 0, 0}));
  for (int32_t i = 250; i < 256; ++i) EXPECT_EQ(entry(image, i), (Rgb{0, 0, 0}));
  // The merged colours differ from (2, 2, 2) by 2: a quarter truncates to 0.
  const Rows got = rows_of(image);
  for (uint32_t n = 0; n < 257; ++n) ASSERT_EQ(got[0][n], n < 8 ? 0 : n == 256 ? 249 : n - 7) << n;
}

TEST_F(Octree, FewColoursAndTheDepthOfTheResult) {
  const std::vector<std::vector<Rgb>> rows = {{{200, 0, 0}, {0, 0, 200}}, {{0, 0, 200}, {0, 200, 0}}};
  for (int32_t colours : {2, 16, 17, 300}) {
    RX_HIMAGE image = colour_image(rows);
    const RX_OCTREE_OPTIONS o = octree(colours);
    ASSERT_EQ(RX_IP_octree_reduce(image, &o), 0);
    EXPECT_EQ(bits_of(image), colours <= 16 ? 4 : 8) << colours;
    // Child order blue 1, green 2, red 4: blue, green, red.
    EXPECT_EQ(entry(image, 0), (Rgb{0, 0, 200}));
    EXPECT_EQ(entry(image, 1), (Rgb{0, 200, 0}));
    EXPECT_EQ(entry(image, 2), (Rgb{200, 0, 0}));
    EXPECT_EQ(entry(image, 3), (Rgb{0, 0, 0}));
    EXPECT_EQ(rows_of(image), (Rows{{2, 0}, {0, 1}}));
  }
  // 8-bit images take their palette's colours.
  RX_HIMAGE indexed = make(8, {{0, 255, 0}});
  const RX_OCTREE_OPTIONS o = octree(8);
  ASSERT_EQ(RX_IP_octree_reduce(indexed, &o), 0);
  EXPECT_EQ(entry(indexed, 1), (Rgb{255, 255, 255}));
  EXPECT_EQ(rows_of(indexed), (Rows{{0, 1, 0}}));
}

TEST_F(Octree, CallersPaletteAndTheDiffusedError) {
  // The tree of the eight corners numbers them by child index r g b.
  // (120, 120, 120) has no path below the black branch's first node: its
  // new leaf takes the nearest entry, black (distance 120 against white's
  // 135), and a quarter of 120 goes right; (110, 110, 110) + 30 = 140 finds
  // no path below white's first node and takes white (115 against 140).
  const RX_OCTREE_OPTIONS o = octree(8, 8, kCorners);
  RX_HIMAGE row = colour_image({{{120, 120, 120}, {110, 110, 110}}});
  ASSERT_EQ(RX_IP_octree_reduce(row, &o), 0);
  EXPECT_EQ(entry(row, 1), (Rgb{0, 0, 255}));
  EXPECT_EQ(entry(row, 6), (Rgb{255, 255, 0}));
  EXPECT_EQ(rows_of(row), (Rows{{0, 7}}));
  // Rows are converted bottom row first: the error goes to the row above.
  RX_HIMAGE column = colour_image({{{110, 110, 110}}, {{120, 120, 120}}});
  ASSERT_EQ(RX_IP_octree_reduce(column, &o), 0);
  EXPECT_EQ(rows_of(column), (Rows{{7}, {0}}));
  // Without a usable palette the image's colours build the tree.
  RX_HIMAGE own = colour_image({{{120, 120, 120}, {110, 110, 110}}});
  const RX_OCTREE_OPTIONS too_short = octree(8, 7, kCorners);
  ASSERT_EQ(RX_IP_octree_reduce(own, &too_short), 0);
  EXPECT_EQ(entry(own, 0), (Rgb{110, 110, 110}));
}

TEST_F(Octree, SameResultAsThePlainAlgorithm) {
  // A picture of smooth shades, edges and grain, so that the tree is
  // reduced many times over, against the plain walk of the rules.
  uint64_t seed = 99;
  auto noise = [&] {
    seed = seed * 6364136223846793005ull + 1442695040888963407ull;
    return int(seed >> 59) - 16;
  };
  std::vector<std::vector<uint8_t>> rgb_rows(90, std::vector<uint8_t>(120 * 3));
  for (int y = 0; y < 90; ++y)
    for (int x = 0; x < 120; ++x) {
      const int shade[3] = {x * 2 + (y > 40 ? 60 : 0), 255 - y * 2, (x * y) / 40 + ((x / 20 + y / 15) % 2) * 70};
      for (int c = 0; c < 3; ++c) rgb_rows[y][3 * x + c] = uint8_t(std::clamp(shade[c] + noise(), 0, 255));
    }
  for (int32_t colours : {8, 16, 17, 64, 256}) {
    SCOPED_TRACE(colours);
    std::vector<std::vector<Rgb>> rows;
    for (const auto& r : rgb_rows) {
      rows.emplace_back();
      for (size_t x = 0; x < r.size(); x += 3) rows.back().push_back(Rgb{r[x], r[x + 1], r[x + 2]});
    }
    RX_HIMAGE image = colour_image(rows);
    const RX_OCTREE_OPTIONS o = octree(colours);
    ASSERT_EQ(RX_IP_octree_reduce(image, &o), 0);
    // The engine meets the rows bottom first.
    const std::vector<std::vector<uint8_t>> bottom_first(rgb_rows.rbegin(), rgb_rows.rend());
    const octree_reference::Result want = octree_reference::reduce(bottom_first, colours);
    for (size_t i = 0; i < want.palette.size() / 3; ++i)
      ASSERT_EQ(entry(image, int32_t(i)), (Rgb{want.palette[3 * i], want.palette[3 * i + 1], want.palette[3 * i + 2]})) << i;
    const Rows got = rows_of(image);
    size_t k = 0;
    for (int y = 89; y >= 0; --y)
      for (int x = 0; x < 120; ++x, ++k) ASSERT_EQ(got[y][x], want.indices[k]) << x << ", " << y;
  }
}

TEST_F(Octree, Refusals) {
  RX_HIMAGE image = colour_image({{{1, 2, 3}, {4, 5, 6}}});
  const Snapshot before = snapshot(image);
  std::vector<uint8_t> big(257 * 3);
  const RX_OCTREE_OPTIONS fewer = octree(16, 8, kCorners), too_many = octree(256, 257, big.data());
  const struct {
    const RX_OCTREE_OPTIONS* options;
    Codes want;
  } cases[] = {{&fewer, {RXE_INVALID_IMAGE_CONTROL_OPTION_ID, 8, 16}},
               {&too_many, {RXE_PARAMETERS_OUT_OF_LIMITS, 257, 256}},
               {nullptr, {RXE_INVALID_POINTER, 0, 0}}};
  for (const auto& c : cases) {
    EXPECT_EQ(RX_IP_octree_reduce(image, c.options), 1);
    EXPECT_EQ(first_error(), c.want);
    EXPECT_EQ(snapshot(image), before);
  }
  const RX_OCTREE_OPTIONS o = octree(256);
  for (int32_t bits : {1, 4}) {
    EXPECT_EQ(RX_IP_octree_reduce(make(bits, {{1, 0}}), &o), 1);
    EXPECT_EQ(first_error(), (Codes{RXE_BIT_COUNT_UNSUPPORTED, bits, 0}));
  }
  EXPECT_EQ(RX_IP_octree_reduce(0, &o), 1);
  EXPECT_EQ(first_error(), (Codes{RXE_INVALID_FILE_HEADER, 0, 0}));
}

TEST_F(MedianCut, BoxesSplitAtTheMedianInLevelOrder) {
  // Keys A (0, 0, 0) x5 (with (3, 7, 5), whose key colour is A's),
  // B (248, 0, 0), C (0, 64, 0) x2, D (0, 64, 200). Box ABCD is widest in
  // red; sorted A C D B, half of 9 is reached by A: A | C D B. Then C | D B,
  // then D | B. Entries in box order: A C D B.
  const Rgb a{0, 0, 0}, b{248, 0, 0}, c{0, 64, 0}, d{0, 64, 200};
  for (int32_t box : {1, 0}) {
    RX_HIMAGE image = colour_image({{a, b, c}, {a, d, c}, {{3, 7, 5}, a, a}});
    const RX_MEDIAN_CUT_OPTIONS o{box, 2};  // 2 colours are raised to 16
    ASSERT_EQ(RX_IP_median_cut_reduce(image, &o), 0);
    EXPECT_EQ(bits_of(image), 8);
    EXPECT_EQ(entry(image, 0), a);
    EXPECT_EQ(entry(image, 1), c);
    EXPECT_EQ(entry(image, 2), d);
    EXPECT_EQ(entry(image, 3), b);
    EXPECT_EQ(entry(image, 4), (Rgb{0, 0, 0}));
    EXPECT_EQ(rows_of(image), (Rows{{0, 3, 1}, {0, 2, 1}, {0, 0, 0}}));
  }
  // Both halves of the first cut hold two keys: the lower box goes first.
  // A (0) B (8) | D (240) C (248), then A | B, then D | C: A D B C.
  RX_HIMAGE image = colour_image({{{0, 0, 0}, {8, 0, 0}, {248, 0, 0}, {240, 0, 0}}});
  ASSERT_EQ(RX_IP_median_cut_reduce(image, nullptr), 0);
  EXPECT_EQ(entry(image, 0), (Rgb{0, 0, 0}));
  EXPECT_EQ(entry(image, 1), (Rgb{240, 0, 0}));
  EXPECT_EQ(entry(image, 2), (Rgb{8, 0, 0}));
  EXPECT_EQ(entry(image, 3), (Rgb{248, 0, 0}));
}

TEST_F(MedianCut, SixteenBoxesOfSeventeenKeys) {
  // Reds 0, 8, ..., 128 (keys 0..16), one pixel each. The cuts go level by
  // level: 0..7 | 8..16, then 0..3 | 4..7 and 8..11 | 12..16, then pairs
  // and 12,13 | 14..16, then single keys until the sixteenth box: 14 | 15,16.
  // Boxes in order: 0 8 4 12 2 10 6 14 1 9 5 13 3 11 7 (15, 16).
  std::vector<Rgb> row;
  for (int n = 0; n <= 16; ++n) row.push_back(Rgb{uint8_t(8 * n), 0, 0});
  const uint8_t keys[15] = {0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7};
  for (int32_t box : {1, 0}) {
    RX_HIMAGE image = colour_image({row});
    const RX_MEDIAN_CUT_OPTIONS o{box, 16};
    ASSERT_EQ(RX_IP_median_cut_reduce(image, &o), 0);
    for (int32_t i = 0; i < 15; ++i) EXPECT_EQ(entry(image, i), (Rgb{uint8_t(8 * keys[i]), 0, 0})) << i;
    EXPECT_EQ(entry(image, 15), (Rgb{124, 0, 0}));  // (120 + 128) / 2
    EXPECT_EQ(entry(image, 16), (Rgb{0, 0, 0}));
    const Rows got = rows_of(image);
    EXPECT_EQ(got[0][15], 15);
    EXPECT_EQ(got[0][16], 15);
    EXPECT_EQ(got[0][12], 3);
  }
}

TEST_F(Popularity, MostFrequentKeysAndTheNearestForTheRest) {
  // Reds 0, 8, ..., 136 (18 keys): one pixel each, key 16 three and key 17
  // five. Position 0 takes key 16, then key 17; position 1 takes key 16
  // again; positions 2..15 keep keys 2..15. Keys 0 and 1 map to the
  // nearest entry, key 2 (distances 4 and 2).
  std::vector<Rgb> row;
  for (int n = 0; n < 18; ++n) row.push_back(Rgb{uint8_t(8 * n), 0, 0});
  for (int n = 0; n < 2; ++n) row.push_back(Rgb{128, 0, 0});
  for (int n = 0; n < 4; ++n) row.push_back(Rgb{136, 0, 0});
  RX_HIMAGE image = colour_image({row});
  const RX_POPULARITY_OPTIONS o{0, 16};
  ASSERT_EQ(RX_IP_popularity_reduce(image, &o), 0);
  EXPECT_EQ(entry(image, 0), (Rgb{136, 0, 0}));
  EXPECT_EQ(entry(image, 1), (Rgb{128, 0, 0}));
  for (int32_t i = 2; i < 16; ++i) EXPECT_EQ(entry(image, i), (Rgb{uint8_t(8 * i), 0, 0}));
  EXPECT_EQ(entry(image, 16), (Rgb{0, 0, 0}));
  const Rows got = rows_of(image);
  EXPECT_EQ(got[0][0], 2);
  EXPECT_EQ(got[0][1], 2);
  EXPECT_EQ(got[0][5], 5);
  EXPECT_EQ(got[0][17], 0);
  EXPECT_EQ(got[0][18], 1);
}

TEST_F(Popularity, EqualCountsKeepTheLowerKeyAndColourCounts) {
  // Fewer keys than colours: every key an entry, in ascending key order
  // (red is the low five bits of the key).
  RX_HIMAGE image = colour_image({{{0, 8, 0}, {16, 0, 0}, {0, 8, 0}, {16, 0, 0}}});
  ASSERT_EQ(RX_IP_popularity_reduce(image, nullptr), 0);
  EXPECT_EQ(entry(image, 0), (Rgb{16, 0, 0}));
  EXPECT_EQ(entry(image, 1), (Rgb{0, 8, 0}));
  EXPECT_EQ(rows_of(image), (Rows{{1, 0, 1, 0}}));
  // Counts outside 16..256 mean 256: all 300 keys cannot fit, 256 do.
  for (int32_t colours : {15, 257, -1}) {
    std::vector<Rgb> row;
    for (int n = 0; n < 300; ++n) row.push_back(Rgb{uint8_t(8 * (n % 32)), uint8_t(8 * (n / 32)), 0});
    RX_HIMAGE many = colour_image({row});
    const RX_POPULARITY_OPTIONS o{0, colours};
    ASSERT_EQ(RX_IP_popularity_reduce(many, &o), 0);
    EXPECT_EQ(entry(many, 255), (Rgb{8 * (255 % 32), 8 * (255 / 32), 0})) << colours;
  }
}

TEST_F(Popularity, RefusalsAndStopsOfTheKeyReductions) {
  for (int32_t bits : {1, 4, 8}) {
    RX_HIMAGE image = make(bits, {{1, 0}});
    const Snapshot before = snapshot(image);
    EXPECT_EQ(RX_IP_popularity_reduce(image, nullptr), 1);
    EXPECT_EQ(first_error(), (Codes{RXE_BIT_COUNT_UNSUPPORTED, bits, 0}));
    EXPECT_EQ(RX_IP_median_cut_reduce(image, nullptr), 1);
    EXPECT_EQ(first_error(), (Codes{RXE_BIT_COUNT_UNSUPPORTED, bits, 0}));
    EXPECT_EQ(snapshot(image), before);
  }
  EXPECT_EQ(RX_IP_median_cut_reduce(0, nullptr), 1);
  EXPECT_EQ(first_error(), (Codes{RXE_INVALID_FILE_HEADER, 0, 0}));
  auto value = [](int32_t x, int32_t y) { return uint8_t(x * 50 + y * 20); };
  const RX_OCTREE_OPTIONS o = octree(8);
  expect_every_stop_harmless([&] { return make_fn(24, 3, 4, value); }, [](RX_HIMAGE i) { return RX_IP_popularity_reduce(i, nullptr); },
                             4, "popularity", true);
  expect_every_stop_harmless([&] { return make_fn(24, 3, 4, value); }, [](RX_HIMAGE i) { return RX_IP_median_cut_reduce(i, nullptr); },
                             4, "median cut", true);
  expect_every_stop_harmless([&] { return make_fn(24, 3, 4, value); }, [&](RX_HIMAGE i) { return RX_IP_octree_reduce(i, &o); }, 4,
                             "octree", true);
}
