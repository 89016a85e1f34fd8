// Palettes on an 8-bit display: realisation in the foreground and the
// background, the 236 free entries, nearest colours.
#include <gtest/gtest.h>

#include "gdi_test_util.h"

using gdi_test::MemDc;

namespace {

std::vector<pg_palette_entry> distinct_colours(int n, int salt) {
  std::vector<pg_palette_entry> v;
  for (int i = 0; i < n; ++i)  // none is a static colour: blue is odd
    v.push_back(pg_palette_entry{uint8_t(i), uint8_t(salt), uint8_t(2 * (i % 64) + 1), 0});
  return v;
}

TEST(GdiPalettes, StaticColoursStayAndNewOnesTakeFreeEntries) {
  MemDc m(8, 2, 2);
  pg_palette_entry e[3] = {{255, 0, 0, 0}, {10, 20, 30, 0}, {40, 50, 60, 0}};
  HPALETTE p = pg_palette_create(e, 3);
  pg_palette_select(m.dc, p, 0);
  EXPECT_EQ(pg_palette_realize(m.dc), 2) << "two system entries change";
  uint8_t map[3] = {};
  ASSERT_EQ(pg_palette_mapping_get(m.dc, 0, 3, map), 3);
  EXPECT_EQ(map[0], 249) << "red is the static entry 249";
  EXPECT_EQ(map[1], 10);
  EXPECT_EQ(map[2], 11);
  pg_palette_entry sys{};
  pg_display_system_palette_get(m.display, 11, 1, &sys);
  EXPECT_EQ(sys.red, 40);
  EXPECT_EQ(pg_palette_realize(m.dc), 0) << "realising again changes nothing";
  pg_palette_select(m.dc, pg_stock_palette(), 0);
  pg_palette_delete(p);
}

TEST(GdiPalettes, MoreThan236ColoursMapTheRestToTheNearest) {
  MemDc m(8, 2, 2);
  auto colours = distinct_colours(256, 7);
  HPALETTE p = pg_palette_create(colours.data(), 256);
  pg_palette_select(m.dc, p, 0);
  EXPECT_EQ(pg_palette_realize(m.dc), 236);
  std::vector<uint8_t> map(256);
  ASSERT_EQ(pg_palette_mapping_get(m.dc, 0, 256, map.data()), 256);
  for (int i = 0; i < 236; ++i) ASSERT_EQ(map[i], 10 + i) << "entry " << i << " gets its own system entry";
  // Entry 236 is (236, 7, 2 * 44 + 1 = 89); its nearest among the system
  // colours is entry 235, (235, 7, 87) at 1 + 4, in system entry 245.
  EXPECT_EQ(map[236], 245);
  // Entry 255 (255, 7, 127): entry 235 is at 400 + 1600, entry 255 - 64 =
  // 191 (191, 7, 127) at 4096, so 245 again.
  EXPECT_EQ(map[255], 245);
  pg_palette_select(m.dc, pg_stock_palette(), 0);
  pg_palette_delete(p);
}

TEST(GdiPalettes, RepeatedColoursShareOneEntry) {
  MemDc m(8, 2, 2);
  pg_palette_entry e[3] = {{1, 1, 1, 0}, {2, 2, 2, 0}, {1, 1, 1, 0}};
  HPALETTE p = pg_palette_create(e, 3);
  pg_palette_select(m.dc, p, 0);
  EXPECT_EQ(pg_palette_realize(m.dc), 2);
  uint8_t map[3];
  pg_palette_mapping_get(m.dc, 0, 3, map);
  EXPECT_EQ(map[0], map[2]);
  pg_palette_select(m.dc, pg_stock_palette(), 0);
  pg_palette_delete(p);
}

TEST(GdiPalettes, BackgroundPaletteOnlyTakesWhatIsFree) {
  MemDc m(8, 2, 2);
  auto front = distinct_colours(230, 1);
  HPALETTE a = pg_palette_create(front.data(), 230);
  pg_palette_select(m.dc, a, 0);
  EXPECT_EQ(pg_palette_realize(m.dc), 230);
  // A second DC realises its palette in the background: 6 free entries
  // remain, and one of its colours already exists.
  HDC other = pg_dc_create_compatible(m.screen);
  auto back = distinct_colours(10, 2);
  back[0] = front[5];
  HPALETTE b = pg_palette_create(back.data(), 10);
  pg_palette_select(other, b, 1);
  EXPECT_EQ(pg_palette_realize(other), 6);
  uint8_t map[10];
  pg_palette_mapping_get(other, 0, 10, map);
  EXPECT_EQ(map[0], 15) << "the existing colour of front entry 5";
  for (int i = 1; i <= 6; ++i) EXPECT_EQ(map[i], 239 + i) << i;
  // The foreground palette keeps its entries.
  uint8_t fmap[230];
  pg_palette_mapping_get(m.dc, 0, 230, fmap);
  EXPECT_EQ(fmap[229], 239);
  // Realised again in the foreground, the first palette takes everything
  // back: the second one's six entries are now free to be overwritten.
  pg_palette_select(other, pg_stock_palette(), 0);
  pg_dc_delete(other);
  pg_palette_delete(b);
  pg_palette_select(m.dc, pg_stock_palette(), 0);
  pg_palette_delete(a);
}

TEST(GdiPalettes, NearestIndexPrefersTheLowestOnATie) {
  pg_palette_entry e[4] = {{40, 40, 40, 0}, {10, 0, 0, 0}, {0, 10, 0, 0}, {255, 255, 255, 0}};
  HPALETTE p = pg_palette_create(e, 4);
  EXPECT_EQ(pg_palette_nearest_index(p, PG_RGB(5, 5, 0)), 1) << "entries 1 and 2 tie at 50; 0 is at 4050";
  EXPECT_EQ(pg_palette_nearest_index(p, PG_RGB(200, 200, 200)), 3);
  EXPECT_EQ(pg_palette_nearest_index(p, PG_RGB(40, 40, 40)), 0);
  pg_palette_entry changed = {0, 0, 0, 0};
  EXPECT_EQ(pg_palette_entries_set(p, 3, 5, &changed), 1) << "a count past the end is cut";
  EXPECT_EQ(pg_palette_nearest_index(p, PG_RGB(200, 200, 200)), 0) << "(40, 40, 40) is nearest now";
  pg_palette_delete(p);
  HPALETTE empty = pg_palette_create(nullptr, 0);
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(pg_palette_nearest_index(empty, 0), -1);
  pg_palette_delete(empty);
}

TEST(GdiPalettes, PaletteIndexColoursGoThroughTheMapping) {
  MemDc m(8, 2, 1);
  pg_palette_entry e[2] = {{9, 8, 7, 0}, {0, 0, 255, 0}};
  HPALETTE p = pg_palette_create(e, 2);
  pg_palette_select(m.dc, p, 0);
  pg_palette_realize(m.dc);
  pg_pixel_set(m.dc, 0, 0, PG_PALETTEINDEX(0));
  pg_pixel_set(m.dc, 1, 0, PG_PALETTEINDEX(1));
  EXPECT_EQ(m.value(0, 0), 10u);
  EXPECT_EQ(m.value(1, 0), 252u) << "pure blue is static entry 252";
  // A plain RGB colour takes the nearest static colour, not the palette's.
  pg_pixel_set(m.dc, 0, 0, PG_RGB(9, 8, 7));
  EXPECT_EQ(m.value(0, 0), 0u);
  pg_pixel_set(m.dc, 0, 0, PG_PALETTERGB(9, 8, 7));
  EXPECT_EQ(m.value(0, 0), 10u);
  pg_palette_select(m.dc, pg_stock_palette(), 0);
  pg_palette_delete(p);
}

}  // namespace
