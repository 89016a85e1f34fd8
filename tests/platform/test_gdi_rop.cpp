// Raster operations: every one of the 256 codes on 1-, 8- and 32-bit
// surfaces, checked pixel by pixel against the truth table held in the
// code itself; brushes, hatches and the monochrome colour mapping.
#include <gtest/gtest.h>

#include "gdi_test_util.h"

using gdi_test::MemDc;
using gdi_test::set_values;

namespace {

// The boolean definition: bit (P << 2 | S << 1 | D) of the index.
uint32_t by_truth_table(uint8_t index, uint32_t p, uint32_t s, uint32_t d, int bits) {
  uint32_t r = 0;
  for (int b = 0; b < bits; ++b) {
    unsigned k = ((p >> b & 1) << 2) | ((s >> b & 1) << 1) | (d >> b & 1);
    r |= static_cast<uint32_t>(index >> k & 1) << b;
  }
  return r;
}

struct Case {
  int bits;
  int value_bits;  // bits of a pixel value that are compared
};

class GdiAllRops : public ::testing::TestWithParam<Case> {};

TEST_P(GdiAllRops, EveryCodeFollowsItsTruthTable) {
  const int bits = GetParam().bits, vb = GetParam().value_bits;
  const int w = 16, h = 8;
  // Destination and source values that meet every bit combination; the
  // pattern is an 8 x 8 bitmap of values whose colours map to themselves.
  std::vector<uint32_t> dv(w * h), sv(w * h), pv(64);
  uint32_t seed = 12345;
  auto next = [&] { seed = seed * 1103515245u + 12345u; return seed >> 8; };
  uint32_t mask = vb == 32 ? 0xFFFFFFu : (1u << vb) - 1;
  for (auto& v : dv) v = next() & mask;
  for (auto& v : sv) v = next() & mask;
  // On the 8-bit display only the static colours are certain to map to
  // their own index, so the pattern uses those.
  const uint32_t statics[20] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 246, 247, 248, 249, 250, 251, 252, 253, 254, 255};
  for (auto& v : pv) v = bits == 8 ? statics[next() % 20] : next() & mask;

  MemDc dst(bits, w, h), src(bits, w, h, dst.display), pat(bits, 8, 8, dst.display);
  set_values(src.bitmap, bits, w, h, sv);
  set_values(pat.bitmap, bits, 8, 8, pv);
  HBRUSH brush = pg_brush_pattern_create(pat.bitmap);
  ASSERT_NE(brush, nullptr);
  // Monochrome patterns take 0 from the text colour and 1 from the
  // background colour: black and white keep the values as they are.
  pg_text_colour_set(dst.dc, PG_RGB(0, 0, 0));
  pg_bk_colour_set(dst.dc, PG_RGB(255, 255, 255));
  HBRUSH old_brush = pg_brush_select(dst.dc, brush);

  for (int index = 0; index < 256; ++index) {
    set_values(dst.bitmap, bits, w, h, dv);
    uint32_t rop = static_cast<uint32_t>(index) << 16;
    ASSERT_EQ(pg_bit_blt(dst.dc, 0, 0, w, h, src.dc, 0, 0, rop), 1);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        size_t i = static_cast<size_t>(y * w + x);
        uint32_t want = by_truth_table(static_cast<uint8_t>(index), pv[(y % 8) * 8 + x % 8], sv[i], dv[i], vb);
        ASSERT_EQ(dst.value(x, y) & mask, want) << "rop " << index << " at " << x << "," << y;
      }
  }
  pg_brush_select(dst.dc, old_brush);
  pg_brush_delete(brush);
}

INSTANTIATE_TEST_SUITE_P(GdiDepths, GdiAllRops, ::testing::Values(Case{1, 1}, Case{8, 8}, Case{32, 24}),
                         [](const auto& p) { return std::to_string(p.param.bits) + "bit"; });

TEST(GdiRops, OperandUseFollowsTheTable) {
  EXPECT_TRUE(pg_rop_uses_source(SRCCOPY));
  EXPECT_FALSE(pg_rop_uses_pattern(SRCCOPY));
  EXPECT_TRUE(pg_rop_uses_pattern(PATCOPY));
  EXPECT_FALSE(pg_rop_uses_source(PATINVERT));
  EXPECT_FALSE(pg_rop_uses_source(DSTINVERT));
  EXPECT_TRUE(pg_rop_uses_source(MERGECOPY) && pg_rop_uses_pattern(MERGECOPY));
  // The low word is not read: only bits 16..23 choose the operation.
  EXPECT_TRUE(pg_rop_uses_source(0x00CC0000u));
}

TEST(GdiRops, OperationWithNoSourceNeedsNoSourceDc) {
  MemDc d(32, 4, 2);
  EXPECT_EQ(pg_bit_blt(d.dc, 0, 0, 4, 2, nullptr, 0, 0, WHITENESS), 1);
  EXPECT_EQ(d.value(3, 1), 0xFFFFFFu);
  EXPECT_EQ(pg_bit_blt(d.dc, 0, 0, 4, 2, nullptr, 0, 0, SRCCOPY), 0) << "a source operation without a source";
}

TEST(GdiMonoMapping, MonochromeSourceTakesTextAndBackgroundColours) {
  MemDc mono(1, 8, 1), colour(24, 8, 1);
  set_values(mono.bitmap, 1, 8, 1, {0, 1, 1, 0, 0, 0, 1, 1});
  pg_text_colour_set(colour.dc, PG_RGB(200, 10, 20));
  pg_bk_colour_set(colour.dc, PG_RGB(5, 6, 250));
  ASSERT_EQ(pg_bit_blt(colour.dc, 0, 0, 8, 1, mono.dc, 0, 0, SRCCOPY), 1);
  const uint32_t text = 0xC80A14, bk = 0x0506FA;  // as 0x00RRGGBB device values
  const uint32_t want[8] = {text, bk, bk, text, text, text, bk, bk};
  for (int x = 0; x < 8; ++x) EXPECT_EQ(colour.value(x, 0), want[x]) << x;
}

TEST(GdiMonoMapping, ColourSourceGivesOneWhereItMatchesTheSourceBackground) {
  MemDc colour(24, 4, 1), mono(1, 4, 1);
  set_values(colour.bitmap, 24, 4, 1, {0x102030, 0xFFFFFF, 0x102030, 0x000000});
  pg_bk_colour_set(colour.dc, PG_RGB(0x10, 0x20, 0x30));
  ASSERT_EQ(pg_bit_blt(mono.dc, 0, 0, 4, 1, colour.dc, 0, 0, SRCCOPY), 1);
  EXPECT_EQ(mono.value(0, 0), 1u);
  EXPECT_EQ(mono.value(1, 0), 0u) << "white is not the background colour here";
  EXPECT_EQ(mono.value(2, 0), 1u);
  EXPECT_EQ(mono.value(3, 0), 0u);
}

TEST(GdiMonoMapping, MaskAndPaintMakeATransparentCopy) {
  // The usual two-pass transparent blit: AND a mask, then OR the picture.
  MemDc dst(24, 3, 1), mask(24, 3, 1), pic(24, 3, 1);
  set_values(dst.bitmap, 24, 3, 1, {0x112233, 0x445566, 0x778899});
  set_values(mask.bitmap, 24, 3, 1, {0xFFFFFF, 0x000000, 0xFFFFFF});
  set_values(pic.bitmap, 24, 3, 1, {0x000000, 0xABCDEF, 0x000000});
  pg_bit_blt(dst.dc, 0, 0, 3, 1, mask.dc, 0, 0, SRCAND);
  pg_bit_blt(dst.dc, 0, 0, 3, 1, pic.dc, 0, 0, SRCPAINT);
  EXPECT_EQ(dst.value(0, 0), 0x112233u);
  EXPECT_EQ(dst.value(1, 0), 0xABCDEFu);
  EXPECT_EQ(dst.value(2, 0), 0x778899u);
}

// Hatch cells, with row 0 and column 0 the top-left of every 8 x 8 cell of
// the surface: '#' for the hatch colour, '.' for the background colour.
const char* const kHatchCells[6][8] = {
    {"########", "........", "........", "........", "........", "........", "........", "........"},
    {"#.......", "#.......", "#.......", "#.......", "#.......", "#.......", "#.......", "#......."},
    {"#.......", ".#......", "..#.....", "...#....", "....#...", ".....#..", "......#.", ".......#"},
    {".......#", "......#.", ".....#..", "....#...", "...#....", "..#.....", ".#......", "#......."},
    {"########", "#.......", "#.......", "#.......", "#.......", "#.......", "#.......", "#......."},
    {"#......#", ".#....#.", "..#..#..", "...##...", "...##...", "..#..#..", ".#....#.", "#......#"}};

TEST(GdiBrushes, SixHatchStylesAnchoredToTheSurface) {
  for (int style = 0; style < 6; ++style) {
    MemDc d(24, 20, 12);
    pg_bk_colour_set(d.dc, PG_RGB(0, 0, 255));
    HBRUSH b = pg_brush_hatch_create(style, PG_RGB(255, 0, 0));
    ASSERT_NE(b, nullptr);
    pg_rect r{3, 2, 19, 11};
    ASSERT_EQ(pg_rect_fill(d.dc, &r, b), 1);
    for (int y = 0; y < 12; ++y)
      for (int x = 0; x < 20; ++x) {
        bool inside = x >= 3 && x < 19 && y >= 2 && y < 11;
        uint32_t want = !inside ? 0u : kHatchCells[style][y % 8][x % 8] == '#' ? 0xFF0000u : 0x0000FFu;
        ASSERT_EQ(d.value(x, y), want) << "style " << style << " at " << x << "," << y;
      }
    pg_brush_delete(b);
  }
  EXPECT_EQ(pg_brush_hatch_create(6, 0), nullptr);
  EXPECT_EQ(pg_brush_hatch_create(-1, 0), nullptr);
}

TEST(GdiBrushes, MonochromePatternUsesTextForZeroAndBackgroundForOne) {
  MemDc pat(1, 8, 8), d(24, 8, 8);
  std::vector<uint32_t> bits(64);
  for (int i = 0; i < 64; ++i) bits[i] = ((i / 8) + (i % 8)) % 3 == 0;  // a hand-made pattern
  set_values(pat.bitmap, 1, 8, 8, bits);
  HBRUSH b = pg_brush_pattern_create(pat.bitmap);
  pg_text_colour_set(d.dc, PG_RGB(1, 2, 3));
  pg_bk_colour_set(d.dc, PG_RGB(250, 251, 252));
  pg_rect r{0, 0, 8, 8};
  pg_rect_fill(d.dc, &r, b);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
      EXPECT_EQ(d.value(x, y), (x + y) % 3 == 0 ? 0xFAFBFCu : 0x010203u) << x << "," << y;
  pg_brush_delete(b);
}

TEST(GdiBrushes, PatternIsACopyTakenAtCreation) {
  MemDc pat(24, 8, 8), d(24, 8, 1);
  set_values(pat.bitmap, 24, 8, 8, std::vector<uint32_t>(64, 0x123456));
  HBRUSH b = pg_brush_pattern_create(pat.bitmap);
  set_values(pat.bitmap, 24, 8, 8, std::vector<uint32_t>(64, 0x000000));
  pg_rect r{0, 0, 8, 1};
  pg_rect_fill(d.dc, &r, b);
  EXPECT_EQ(d.value(5, 0), 0x123456u);
  pg_brush_delete(b);
}

TEST(GdiFills, InvertAndFocusFramesUndoThemselves) {
  MemDc d(32, 10, 6);
  std::vector<uint32_t> v(60);
  for (int i = 0; i < 60; ++i) v[i] = 0x010101u * static_cast<uint32_t>(i * 4);
  set_values(d.bitmap, 32, 10, 6, v);
  pg_rect r{1, 1, 9, 5};
  pg_rect_invert(d.dc, &r);
  EXPECT_EQ(d.value(2, 2), (~v[22]) & 0xFFFFFFu);
  EXPECT_EQ(d.value(0, 0), v[0]);
  pg_rect_invert(d.dc, &r);
  pg_focus_rect_draw(d.dc, &r);
  // The frame is dotted: alternate pixels of its edge are inverted.
  EXPECT_EQ(d.value(1, 1), (~v[11]) & 0xFFFFFFu);
  EXPECT_EQ(d.value(2, 1), v[12]);
  EXPECT_EQ(d.value(4, 2), v[24]) << "the inside is untouched";
  pg_focus_rect_draw(d.dc, &r);
  for (int i = 0; i < 60; ++i) ASSERT_EQ(d.value(i % 10, i / 10), v[i]) << i;
}

TEST(GdiFills, LinesExcludeTheirEndPoint) {
  MemDc d(24, 6, 6);
  pg_line_draw(d.dc, 0, 0, 4, 0, PG_RGB(255, 255, 255));
  EXPECT_EQ(d.value(3, 0), 0xFFFFFFu);
  EXPECT_EQ(d.value(4, 0), 0u);
  pg_line_draw(d.dc, 5, 5, 0, 0, PG_RGB(255, 0, 0));  // a diagonal
  for (int i = 1; i <= 5; ++i) EXPECT_EQ(d.value(i, i), 0xFF0000u) << i;
  EXPECT_EQ(d.value(0, 0), 0xFFFFFFu);
  // Far-away end points are cut to the surface at once.
  EXPECT_EQ(pg_line_draw(d.dc, -2000000000, 3, 2000000000, 3, PG_RGB(0, 255, 0)), 1);
  EXPECT_EQ(d.value(0, 3), 0x00FF00u);
  EXPECT_EQ(pg_line_draw(d.dc, -2000000000, -2000000000, 2000000000, 2000000001, PG_RGB(0, 0, 255)), 1);
}

}  // namespace
