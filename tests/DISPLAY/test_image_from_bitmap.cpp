// Images made from the drawing layer's device bitmaps, at every depth.
#include <gtest/gtest.h>

#include "DISPLAY/display_test_util.h"

using namespace dtest;

namespace {

class ImageFromBitmap : public EngineTest {};

struct Made {
  int32_t w = 0, h = 0, bits = 0, compression = -1;
  RX_HIMAGE image = 0;
};

Made make(HBITMAP bm, HPALETTE pal = nullptr) {
  Made m;
  EXPECT_EQ(RX_image_create_from_bitmap(reinterpret_cast<uintptr_t>(bm), reinterpret_cast<uintptr_t>(pal), &m.image), 0);
  RX_image_dimensions_get(m.image, &m.w, &m.h, &m.bits);
  RX_image_compression_type_get(m.image, &m.compression);
  return m;
}

Rgb pixel_colour(RX_HIMAGE im, int32_t x, int32_t y) {
  Device dev(24, 1, 1);
  int32_t w = 0, h = 0;
  RX_image_dimensions_get(im, &w, &h, nullptr);
  set_rect(im, -x, -y, w - x, h - y);
  RX_display_image(im, dev.handle());
  return dev.at(0, 0);
}

TEST_F(ImageFromBitmap, MonochromeBitmapsBecomeRunsImages) {
  // Rows of 10 pixels, 16-bit aligned: 1 is white.
  const uint8_t rows[6] = {0xF0, 0x00, 0x0F, 0xC0, 0xAA, 0x80};
  HBITMAP bm = pg_bitmap_create(10, 3, 1, 1, rows);
  Made m = make(bm);
  EXPECT_EQ((std::vector<int32_t>{m.w, m.h, m.bits, m.compression}), (std::vector<int32_t>{10, 3, 1, RX_BI_RUNS}));
  uint8_t packed[4] = {};
  RX_DIB_raster_get(m.image, 1, packed, RX_ROW_PACKED);
  EXPECT_EQ(packed[0], 0x0F);
  EXPECT_EQ(packed[1] & 0xC0, 0xC0);
  EXPECT_EQ(pixel_colour(m.image, 0, 0), rgb(255, 255, 255));
  EXPECT_EQ(pixel_colour(m.image, 4, 0), rgb(0, 0, 0));
  int32_t xn = 0, xd = 0, yn = 0, yd = 0, units = 0;
  RX_image_resolution_get(m.image, &xn, &xd, &yn, &yd, &units);
  EXPECT_EQ((std::vector<int32_t>{xn, xd, units}), (std::vector<int32_t>{3780, 1, 2}));
  RX_image_delete(m.image);
  // A palette gives the two colours.
  const pg_palette_entry entries[2] = {{200, 0, 0, 0}, {0, 0, 150, 0}};
  HPALETTE pal = pg_palette_create(entries, 2);
  m = make(bm, pal);
  EXPECT_EQ(pixel_colour(m.image, 0, 0), rgb(0, 0, 150));
  EXPECT_EQ(pixel_colour(m.image, 4, 0), rgb(200, 0, 0));
  RX_image_delete(m.image);
  pg_palette_delete(pal);
  pg_bitmap_delete(bm);
}

TEST_F(ImageFromBitmap, DeviceBitmapsOfEveryDepth) {
  for (int32_t bits : {4, 8, 16, 24, 32}) {
    Device dev(bits, 5, 2);
    // Colours every depth holds exactly.
    const std::vector<Rgb> colours = {rgb(255, 0, 0), rgb(0, 0, 0), rgb(255, 255, 255), rgb(0, 255, 0), rgb(0, 0, 255)};
    for (int32_t x = 0; x < 5; ++x)
      for (int32_t y = 0; y < 2; ++y)
        pg_pixel_set(dev.dc, x, y, PG_RGB(colours[size_t(x)] >> 16, (colours[size_t(x)] >> 8) & 255, colours[size_t(x)] & 255));
    pg_bitmap_select(dev.dc, dev.old);  // free to be read as a plain bitmap
    // Without a palette an 8-bit bitmap takes the default display's colours.
    HDISPLAY previous = pg_display_default();
    if (bits == 8) pg_display_default_set(dev.display);
    Made m = make(dev.bitmap);
    pg_display_default_set(previous);
    EXPECT_EQ(m.bits, bits > 8 ? 24 : bits) << bits;
    EXPECT_EQ(m.w, 5);
    for (int32_t x = 0; x < 5; ++x) EXPECT_EQ(pixel_colour(m.image, x, 1), colours[size_t(x)]) << bits << " " << x;
    RX_image_delete(m.image);
    dev.old = pg_bitmap_select(dev.dc, dev.bitmap);
  }
}

TEST_F(ImageFromBitmap, BadHandlesAreRefused) {
  RX_HIMAGE im = 77;
  EXPECT_EQ(RX_image_create_from_bitmap(0, 0, &im), 1);
  EXPECT_EQ(error_codes(), std::vector<int32_t>{RXE_DDB_DIMENSIONS});
  EXPECT_EQ(im, 0u);
  EXPECT_EQ(RX_image_create_from_bitmap(0xABCDEF, 0, &im), 1);
  EXPECT_EQ(error_codes(), std::vector<int32_t>{RXE_DDB_DIMENSIONS});
  HBITMAP bm = pg_bitmap_create(4, 4, 1, 1, nullptr);
  EXPECT_EQ(RX_image_create_from_bitmap(reinterpret_cast<uintptr_t>(bm), 0x4242, &im), 1);
  EXPECT_EQ(error_codes(), std::vector<int32_t>{RXE_INVALID_HANDLE});
  EXPECT_EQ(im, 0u);
  EXPECT_EQ(RX_image_create_from_bitmap(reinterpret_cast<uintptr_t>(bm), 0, nullptr), 1);
  EXPECT_EQ(error_codes(), std::vector<int32_t>{RXE_INVALID_POINTER});
  // A monochrome bitmap wider than runs images can be.
  HBITMAP wide = pg_bitmap_create(40000, 1, 1, 1, nullptr);
  EXPECT_GE(RX_image_create_from_bitmap(reinterpret_cast<uintptr_t>(wide), 0, &im), 1);
  EXPECT_EQ(im, 0u);
  pg_bitmap_delete(wide);
  pg_bitmap_delete(bm);
}

}  // namespace
