// Every operation on pictures one pixel wide or high, and on the widest
// and tallest runs images: results that fit are made, results past the
// engine's limits are refused before anything is allocated, and a refused
// image stays as it was.
#include "IMG_PROC/op_images.h"

using namespace iptest;

namespace {

class OperationLimits : public EngineTest {};

// A runs image of all-0 rows built directly: header, two palette entries,
// one 10-byte run row per row.
RX_HIMAGE blank_runs(int32_t width, int32_t height) {
  std::vector<uint8_t> dib(48 + size_t{10} * height, 0);
  const RX_BITMAPINFOHEADER h{40, width, height, 1, 1, RX_BI_RUNS, uint32_t(10 * height), 2835, 2835, 0, 0};
  std::memcpy(dib.data(), &h, sizeof h);
  dib[44] = dib[45] = dib[46] = 255;  // entry 1 white
  for (int32_t r = 0; r < height; ++r) {
    const uint16_t row[5] = {10, 0, uint16_t(width), uint16_t(width), uint16_t(width)};
    std::memcpy(dib.data() + 48 + size_t{10} * r, row, 10);
  }
  return test::create(dib);
}

}  // namespace

TEST_F(OperationLimits, OnePixelWideOrHigh) {
  const RX_OCTREE_OPTIONS octree{0, 256, 0, nullptr};
  const RX_DIFFUSE_OPTIONS diffuse1{1, 128, nullptr}, diffuse4{4, 0, nullptr};
  const RX_BAYER_OPTIONS bayer4{4, nullptr};
  const int32_t rect[4] = {0, 0, 0, 0};
  const struct {
    const char* name;
    std::function<int32_t(RX_HIMAGE)> run;
    bool colour_only;  // 8 and 24 bits only
  } ops[] = {
      {"resize 0", [](RX_HIMAGE i) { return RX_IP_resize(i, 3, 2, 0); }, false},
      {"resize 2", [](RX_HIMAGE i) { return RX_IP_resize(i, 2, 3, 2); }, false},
      {"crop", [&](RX_HIMAGE i) { return RX_IP_crop(i, rect); }, false},
      {"rotate 1", [](RX_HIMAGE i) { return RX_IP_rotate(i, 1); }, false},
      {"rotate 2", [](RX_HIMAGE i) { return RX_IP_rotate(i, 2); }, false},
      {"rotate any", [](RX_HIMAGE i) { return RX_IP_rotate_any(i, 33, 1); }, false},
      {"flip 0", [](RX_HIMAGE i) { return RX_IP_flip(i, 0); }, false},
      {"flip 1", [](RX_HIMAGE i) { return RX_IP_flip(i, 1); }, false},
      {"gray", [](RX_HIMAGE i) { return RX_IP_gray(i); }, false},
      {"octree", [&](RX_HIMAGE i) { return RX_IP_octree_reduce(i, &octree); }, true},
      {"diffuse 1", [&](RX_HIMAGE i) { return RX_IP_diffuse(i, &diffuse1); }, true},
      {"diffuse 4", [&](RX_HIMAGE i) { return RX_IP_diffuse(i, &diffuse4); }, true},
      {"bayer 4", [&](RX_HIMAGE i) { return RX_IP_bayer(i, &bayer4); }, true},
      {"halftone", [](RX_HIMAGE i) { return RX_IP_halftone(i, nullptr); }, true},
  };
  const int32_t sizes[][2] = {{1, 1}, {1, 9}, {9, 1}};
  for (const auto& op : ops)
    for (int32_t bits : {1, 8, 24})
      for (bool runs : {false, true})
        for (const auto& s : sizes) {
          if ((runs && bits != 1) || (op.colour_only && bits == 1)) continue;
          SCOPED_TRACE(testing::Message() << op.name << ", " << bits << (runs ? " runs" : "") << ", " << s[0] << " x " << s[1]);
          RX_HIMAGE image = make_fn(bits, s[0], s[1], [](int32_t x, int32_t y) { return uint8_t(200 * ((x + y) & 1)); }, runs && bits == 1);
          EXPECT_EQ(op.run(image), 0) << first_error()[0];
          const Snapshot after = snapshot(image);
          EXPECT_GE(after.width, 1);
          EXPECT_GE(after.height, 1);
          RX_image_delete(image);
        }
  // Every median cut and popularity of a lone pixel.
  RX_HIMAGE dot = make(24, {{7, 8, 9}});
  EXPECT_EQ(RX_IP_median_cut_reduce(dot, nullptr), 0);
  RX_HIMAGE other = make(24, {{7, 8, 9}});
  EXPECT_EQ(RX_IP_popularity_reduce(other, nullptr), 0);
}

TEST_F(OperationLimits, TheLargestRunsImages) {
  // 32762 x 70000 bi-level: its runs are small, but 8 or 24 bits per pixel
  // would pass the DIB limit and lying on its side the runs width.
  RX_HIMAGE big = blank_runs(32762, 70000);
  ASSERT_NE(big, 0u);
  const Snapshot before{32762, 70000, 1, RX_BI_RUNS, {}, {}};
  auto same = [&] {
    int32_t w = 0, h = 0, bits = 0;
    RX_image_dimensions_get(big, &w, &h, &bits);
    return w == before.width && h == before.height && bits == 1 && compression_of(big) == RX_BI_RUNS;
  };
  const struct {
    const char* name;
    std::function<int32_t()> run;
    Codes want;
  } refused[] = {
      {"promote to 24", [&] { return RX_IP_promote(big, 3); }, {RXE_DIB_SIZE_WRONG, 32762, 70000}},
      {"promote to 8", [&] { return RX_IP_promote(big, 2); }, {RXE_DIB_SIZE_WRONG, 32762, 70000}},
      {"gray", [&] { return RX_IP_gray(big); }, {RXE_DIB_SIZE_WRONG, 32762, 70000}},
      {"rotate", [&] { return RX_IP_rotate(big, 3); }, {RXE_DIB_SIZE_WRONG, 70000, 32762}},
      {"resize wider", [&] { return RX_IP_resize(big, 32763, 70000, 0); }, {RXE_DIB_SIZE_WRONG, 32763, 70000}},
  };
  for (const auto& c : refused) {
    EXPECT_EQ(c.run(), 1) << c.name;
    EXPECT_EQ(first_error(), c.want) << c.name;
    EXPECT_TRUE(same()) << c.name;
  }
  const int32_t corner[4] = {32000, 69000, 40000, 80000};
  EXPECT_EQ(RX_IP_flip(big, 0), 0);
  EXPECT_EQ(RX_IP_flip(big, 1), 0);
  EXPECT_EQ(RX_IP_rotate(big, 2), 0);
  EXPECT_EQ(RX_IP_resize(big, 32762, 70001, 0), 0);
  EXPECT_EQ(RX_IP_crop(big, corner), 0);
  int32_t w = 0, h = 0;
  RX_image_dimensions_get(big, &w, &h, nullptr);
  EXPECT_EQ((Codes{w, h}), (Codes{762, 1001}));
  EXPECT_EQ(compression_of(big), RX_BI_RUNS);
  EXPECT_EQ(rows_of(big)[1000][761], 0);
}

TEST_F(OperationLimits, OddCountsAndPalettes) {
  // Median cut counts past 256 are kept at 256; popularity's mean 256.
  std::vector<uint8_t> row;
  for (int n = 0; n < 600; ++n) row.insert(row.end(), {uint8_t(8 * (n % 32)), uint8_t(8 * (n / 32)), uint8_t(n % 7)});
  for (int32_t colours : {257, INT32_MAX, INT32_MIN}) {
    RX_HIMAGE image = make(24, {row});
    const RX_MEDIAN_CUT_OPTIONS o{1, colours};
    EXPECT_EQ(RX_IP_median_cut_reduce(image, &o), 0) << colours;
    const RX_POPULARITY_OPTIONS p{0, colours};
    RX_HIMAGE again = make(24, {row});
    EXPECT_EQ(RX_IP_popularity_reduce(again, &p), 0) << colours;
  }
  // An octree palette of 0 entries is no palette; counts are kept in 8..256.
  const uint8_t one_entry[3] = {1, 2, 3};
  for (int32_t colours : {0, -5, 1000, INT32_MIN}) {
    RX_HIMAGE image = make(24, {row});
    const RX_OCTREE_OPTIONS o{0, colours, 0, one_entry};
    EXPECT_EQ(RX_IP_octree_reduce(image, &o), 0) << colours;
  }
  // Entry indices at both ends of the palette.
  RX_HIMAGE grey = make(8, {{1}});
  uint8_t bgr[3] = {};
  EXPECT_EQ(RX_palette_entry_get(grey, bgr, INT32_MIN), 1);
  EXPECT_EQ(RX_palette_entry_get(grey, bgr, INT32_MAX), 1);
}
