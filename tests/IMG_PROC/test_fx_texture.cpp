// The texture effect: tiles from the rectangle's corner, the grey value
// less 128 added and limited, colour textures through their grey value, an
// image textured with itself, and refusals.
#include "IMG_PROC/ip_images.h"

using namespace iptest;

namespace {

class FxTexture : public EngineTest {};

}  // namespace

TEST_F(FxTexture, TilesAddTheirGreyLessMidGrey) {
  // Texture 128 138 repeats across: +0, +10, +0 on every row.
  RX_HIMAGE image = make(8, {{100, 100, 100}, {100, 100, 100}});
  RX_HIMAGE texture = make(8, {{128, 138}});
  ASSERT_EQ(RX_IP_effect_texture(image, nullptr, texture), 0);
  EXPECT_EQ(rows_of(image), (Rows{{100, 110, 100}, {100, 110, 100}}));
  // The tiling starts at the rectangle's corner.
  RX_HIMAGE part = make(8, {{100, 100, 100}, {100, 100, 100}});
  const int32_t rect[4] = {1, 1, 2, 1};
  ASSERT_EQ(RX_IP_effect_texture(part, rect, texture), 0);
  EXPECT_EQ(rows_of(part), (Rows{{100, 100, 100}, {100, 100, 110}}));
  // Limits: 250 + (200 - 128) -> 255, 10 + (0 - 128) -> 0; two texture
  // rows alternate down the image.
  RX_HIMAGE ends = make(8, {{250, 10}, {250, 10}, {250, 10}});
  RX_HIMAGE bands = make(8, {{200, 0}, {128, 128}});
  ASSERT_EQ(RX_IP_effect_texture(ends, nullptr, bands), 0);
  EXPECT_EQ(rows_of(ends), (Rows{{255, 0}, {250, 10}, {255, 0}}));
}

TEST_F(FxTexture, ColourTexturesAndImages) {
  // Pure red has grey 255 x 77 >> 8 = 76: every channel drops by 52.
  RX_HIMAGE colour = make(24, {{100, 110, 120}});
  RX_HIMAGE red = make(24, {{0, 0, 255}});
  ASSERT_EQ(RX_IP_effect_texture(colour, nullptr, red), 0);
  EXPECT_EQ(rows_of(colour), (Rows{{48, 58, 68}}));
  // A grey texture on a colour image moves all three channels alike.
  RX_HIMAGE grey_tex = make(8, {{138}});
  ASSERT_EQ(RX_IP_effect_texture(colour, nullptr, grey_tex), 0);
  EXPECT_EQ(rows_of(colour), (Rows{{58, 68, 78}}));
}

TEST_F(FxTexture, AnImageTexturedWithItselfReadsItsUnchangedPixels) {
  // Tile corner at column 1: 100 + (200 - 128) = 172, 50 + (100 - 128) = 22
  // (not 50 + (172 - 128), which a texture read as it changes would give).
  RX_HIMAGE image = make(8, {{200, 100, 50}});
  const int32_t rect[4] = {1, 0, 2, 0};
  ASSERT_EQ(RX_IP_effect_texture(image, rect, image), 0);
  EXPECT_EQ(rows_of(image), (Rows{{200, 172, 22}}));
}

TEST_F(FxTexture, Refusals) {
  RX_HIMAGE image = make(8, {{100}});
  EXPECT_EQ(RX_IP_effect_texture(image, nullptr, 0), 1);
  EXPECT_EQ(first_error()[0], RXE_INVALID_HANDLE);
  RX_HIMAGE mono = make(1, {{1, 0}});
  EXPECT_EQ(RX_IP_effect_texture(image, nullptr, mono), 1);
  EXPECT_EQ(first_error(), (Codes{RXE_BIT_COUNT_UNSUPPORTED, 1, 1}));
  EXPECT_EQ(RX_IP_effect_texture(mono, nullptr, image), 1);
  EXPECT_EQ(first_error(), (Codes{RXE_BIT_COUNT_UNSUPPORTED, 1, 0}));
  EXPECT_EQ(rows_of(image), (Rows{{100}}));
}
