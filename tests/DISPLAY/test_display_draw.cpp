// The draw: peer-made samples at their own size, the column and row maps
// of reductions and enlargements, bands, the background, transparency,
// raster operations, refused blits, printing progress and 16-bit images.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "DISPLAY/band_blit.h"
#include "DISPLAY/display_draw.h"
#include "DISPLAY/display_test_util.h"
#include "DISPLAY/extension_48.h"
#include "LOAD/load.h"
#include "SUPPORT/fixed_palettes.h"
#include "SUPPORT/kernels.h"
#include "support/files.h"

using namespace dtest;

namespace {

class DisplayDraw : public EngineTest {};

// An image deleted when it goes out of scope.
struct Owned {
  RX_HIMAGE h;
  Owned(RX_HIMAGE image) : h(image) {}  // NOLINT: made from the helpers' handles
  ~Owned() { RX_image_delete(h); }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  operator RX_HIMAGE() const { return h; }
};

// Draws `im` over the device rectangle `rect` of a w x h device of `bits`,
// filled first with `fill` when one is given; the device's pixels.
std::vector<Rgb> drawn(RX_HIMAGE im, int32_t bits, int32_t w, int32_t h, const std::vector<int32_t>& rect,
                       int64_t fill = -1) {
  Device dev(bits, w, h);
  if (fill >= 0) dev.fill(Rgb(fill));
  set_rect(im, rect[0], rect[1], rect[2], rect[3]);
  EXPECT_EQ(RX_display_image(im, dev.handle()), 0);
  return dev.pixels();
}

TEST_F(DisplayDraw, PeerSamplesOfEveryDepthShowTheirOwnPixels) {
  const std::filesystem::path dir = std::filesystem::path(RX_TEST_DATA_DIR) / "bmp" / "peer";
  int checked = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().extension() != ".bmp") continue;
    RX_HIMAGE im = 0;
    ASSERT_EQ(RX_image_load_file(entry.path().c_str(), &im), 0) << entry.path();
    int32_t w = 0, h = 0, bits = 0;
    RX_image_dimensions_get(im, &w, &h, &bits);
    const std::vector<uint8_t> truth = file_bytes(std::filesystem::path(entry.path()).replace_extension(".rgb"));
    ASSERT_EQ(truth.size(), size_t(w) * size_t(h) * 3);
    // Both kernels: the fast one hands plain copies straight to the
    // device, the reference one draws bands.
    for (rx::KernelLevel level : {rx::KernelLevel::kReference, rx::kernel_level_supported()}) {
      rx::KernelLevelScope scope(level);
      Device dev(24, w, h);
      ASSERT_EQ(RX_display_image(im, dev.handle()), 0) << entry.path();
      for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
          const uint8_t* p = truth.data() + 3 * (size_t(y) * size_t(w) + size_t(x));
          ASSERT_EQ(dev.at(x, y), rgb(p[0], p[1], p[2]))
              << entry.path() << " at " << x << "," << y << " kernels " << int(level);
        }
    }
    RX_image_delete(im);
    ++checked;
  }
  EXPECT_GE(checked, 14);
}

// An 8-bit grey image whose pixel (x, y) is x + 10 y.
RX_HIMAGE ramp(int32_t w, int32_t h) {
  return image(8, w, h, {}, [](int32_t x, int32_t y) { return uint32_t(x + 10 * y); });
}

void expect_maps(const Device& dev, const std::vector<int>& cols, const std::vector<int>& rows) {
  for (size_t y = 0; y < rows.size(); ++y)
    for (size_t x = 0; x < cols.size(); ++x)
      EXPECT_EQ(dev.at(int32_t(x), int32_t(y)), grey(cols[x] + 10 * rows[y])) << x << "," << y;
}

class DisplayDrawKernels : public EngineTest, public ::testing::WithParamInterface<rx::KernelLevel> {
 protected:
  rx::KernelLevelScope scope_{GetParam()};
};

TEST_P(DisplayDrawKernels, ReductionsAndEnlargementsFollowTheColumnAndRowMaps) {
  const struct {
    int32_t w, h;
    std::vector<int32_t> rect;
    int32_t device_w, device_h;
    std::vector<int> cols, rows;
  } cases[] = {
      // 6 x 4 into 4 x 3: column floor(x 6 / 4), row floor(y 4 / 3).
      {6, 4, {0, 0, 4, 3}, 4, 3, {0, 1, 3, 4}, {0, 1, 2}},
      // The device rectangle (-2, -1, 6, 5) seen through a 4 x 3 surface:
      // column floor((2 + x) 6 / 8), row floor((1 + y) 4 / 6).
      {6, 4, {-2, -1, 6, 5}, 4, 3, {1, 2, 3, 3}, {0, 1, 2}},
      // 3 x 2 into 7 x 5: column floor(x 3 / 7), row floor(y 2 / 5).
      {3, 2, {0, 0, 7, 5}, 7, 5, {0, 0, 0, 1, 1, 2, 2}, {0, 0, 0, 1, 1}},
      // A 10 x 1 ramp at scale 1 scrolled to its far edge: the last four
      // columns fill the surface, not shifted by a column.
      {10, 1, {-6, 0, 4, 1}, 4, 1, {6, 7, 8, 9}, {0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.w << " x " << c.h << " into " << c.rect[2] - c.rect[0] << " x "
                                      << c.rect[3] - c.rect[1] << " at " << c.rect[0] << "," << c.rect[1]);
    Owned im = ramp(c.w, c.h);
    Device dev(24, c.device_w, c.device_h);
    set_rect(im, c.rect[0], c.rect[1], c.rect[2], c.rect[3]);
    ASSERT_EQ(RX_display_image(im, dev.handle()), 0);
    expect_maps(dev, c.cols, c.rows);
  }
  // Only the image rectangle is drawn: (1, 1, 2, 1) keeps two rows, so
  // rows 1..2 of columns 1..2 into one device row show row 1.
  Owned im = ramp(4, 3);
  const int32_t part[4] = {1, 1, 2, 1};
  ASSERT_EQ(RX_display_image_rect_set(im, part), 0);
  EXPECT_EQ(drawn(im, 24, 2, 1, {0, 0, 2, 1}), (std::vector<Rgb>{grey(11), grey(12)}));
}

TEST_F(DisplayDraw, RunsImagesPlaceEachRunByTheRunsMap) {
  const Rgb B = 0, W = 0xFFFFFF;
  // Source column c starts at device column floor(c w / 6) for w = 4:
  // black at column 1 covers device column 0, at column 3 nothing.
  EXPECT_EQ(drawn(Owned(bilevel({"101011"})), 24, 4, 1, {0, 0, 4, 1}), (std::vector<Rgb>{B, W, W, W}));
  // Enlarged three to seven: column 1 starts at 2 and ends at 4.
  EXPECT_EQ(drawn(Owned(bilevel({"101"})), 24, 7, 1, {0, 0, 7, 1}), (std::vector<Rgb>{W, W, B, B, W, W, W}));
}

TEST_P(DisplayDrawKernels, NarrowDeviceRectangleStillShowsAColumn) {
  EXPECT_EQ(drawn(Owned(ramp(5, 1)), 24, 3, 1, {1, 0, 2, 1}, rgb(1, 2, 3)),
            (std::vector<Rgb>{rgb(1, 2, 3), grey(0), rgb(1, 2, 3)}));
}

INSTANTIATE_TEST_SUITE_P(Kernels, DisplayDrawKernels,
                         ::testing::Values(rx::KernelLevel::kReference, rx::kernel_level_supported()),
                         [](const auto& p) { return p.param == rx::KernelLevel::kReference ? "Reference" : "Fast"; });

TEST_F(DisplayDraw, BackgroundStripsFillTheClipOutsideTheImage) {
  Owned im = ramp(2, 2);
  const RX_RGBQUAD blue{200, 0, 0, 0};
  ASSERT_EQ(RX_display_background_set(im, 0, nullptr, &blue, 1), 0);
  const Rgb bg = rgb(0, 0, 200);
  EXPECT_EQ(drawn(im, 24, 6, 5, {2, 1, 4, 3}), expected(6, 5, [&](int x, int y) {
              return x >= 2 && x < 4 && y >= 1 && y < 3 ? grey(x - 2 + 10 * (y - 1)) : bg;
            }));
  // A device rectangle outside the clip box draws nothing but the strips.
  EXPECT_EQ(drawn(im, 24, 6, 5, {40, 40, 50, 50}, rgb(9, 9, 9)), std::vector<Rgb>(30, bg));
  EXPECT_EQ(rx::display_last_draw_stats().bands, 0);
}

TEST_F(DisplayDraw, PatternBackgroundTakesTheForegroundAndBackgroundColours) {
  // Rows of 0xAA: bit 1 (background colour) at even columns.
  std::vector<uint8_t> rows(16, 0);
  for (int y = 0; y < 8; ++y) rows[size_t(2 * y)] = 0xAA;
  HBITMAP pattern = pg_bitmap_create(8, 8, 1, 1, rows.data());
  Owned im = ramp(1, 1);
  const RX_RGBQUAD fg{0, 0, 255, 0}, bg{0, 255, 0, 0};
  ASSERT_EQ(RX_display_background_set(im, reinterpret_cast<uintptr_t>(pattern), &fg, &bg, 1), 0);
  std::vector<Rgb> px = drawn(im, 24, 4, 2, {3, 1, 4, 2});
  EXPECT_EQ((std::vector<Rgb>{px[0], px[1], px[6], px[7]}),
            (std::vector<Rgb>{rgb(0, 255, 0), rgb(255, 0, 0), rgb(0, 255, 0), grey(0)}));
  // A bitmap deleted since keeps the draw going with the colour.
  pg_bitmap_delete(pattern);
  EXPECT_EQ(drawn(im, 24, 4, 2, {3, 1, 4, 2})[1], rgb(0, 255, 0));
}

TEST_F(DisplayDraw, PatternBitmapsAreCheckedWhenSet) {
  Owned im = ramp(1, 1);
  const RX_RGBQUAD red{0, 0, 255, 0};
  // Nine pixels wide, of the device's depth, and no bitmap at all.
  Device dev(24, 2, 2);
  HBITMAP wide = pg_bitmap_create(9, 8, 1, 1, nullptr), deep = pg_bitmap_create_compatible(dev.dc, 8, 8);
  const std::pair<uintptr_t, int32_t> refused[] = {{reinterpret_cast<uintptr_t>(wide), RXE_INVALID_DDB},
                                                   {reinterpret_cast<uintptr_t>(deep), RXE_INVALID_DDB},
                                                   {0x5151, RXE_DDB_DIMENSIONS}};
  for (const auto& [bitmap, code] : refused) {
    EXPECT_EQ(RX_display_background_set(im, bitmap, nullptr, &red, 1), 1) << bitmap;
    EXPECT_EQ(error_codes(), std::vector<int32_t>{code}) << bitmap;
  }
  // Nothing of a refused call is kept.
  uintptr_t pattern = 1;
  RX_RGBQUAD back{};
  int32_t on = -1;
  RX_display_background_get(im, &pattern, nullptr, &back, &on);
  EXPECT_EQ((std::vector<int64_t>{int64_t(pattern), on, back.rgbRed}), (std::vector<int64_t>{0, 0, 127}));
  pg_bitmap_delete(wide);
  pg_bitmap_delete(deep);
}

TEST_F(DisplayDraw, TransparentColourLetsTheDeviceShowThrough) {
  const Rgb key = rgb(0, 255, 0), under = rgb(50, 60, 70);
  Owned photo = image(24, 4, 1, {}, [&](int32_t x, int32_t) {
    return std::vector<uint32_t>{rgb(255, 0, 0), key, rgb(0, 0, 255), key}[size_t(x)];
  });
  Owned indexed = image(8, 4, 1, {rgb(255, 0, 0), rgb(0, 0, 255), key}, [](int32_t x, int32_t) {
    return std::vector<uint32_t>{0, 2, 1, 2}[size_t(x)];
  });
  const RX_RGBQUAD k{0, 255, 0, 0};
  for (RX_HIMAGE im : {RX_HIMAGE(photo), RX_HIMAGE(indexed)}) {
    ASSERT_EQ(RX_display_transparent_set(im, &k, 1), 0);
    EXPECT_EQ(drawn(im, 24, 4, 1, {0, 0, 4, 1}, under), (std::vector<Rgb>{rgb(255, 0, 0), under, rgb(0, 0, 255), under}));
  }
  // On a 16-bit device the colour compares as 5-5-5.
  const std::vector<Rgb> on16 = drawn(photo, 16, 4, 1, {0, 0, 4, 1}, rgb(0, 0, 0));
  EXPECT_EQ((std::vector<Rgb>{on16[0], on16[1]}), (std::vector<Rgb>{rgb(255, 0, 0), rgb(0, 0, 0)}));
  // White of a 1-bit page shows through on a display (monochrome bitmap).
  Owned page = bilevel({"0101"});
  const RX_RGBQUAD white{255, 255, 255, 0};
  RX_display_transparent_set(page, &white, 1);
  EXPECT_EQ(drawn(page, 24, 4, 1, {0, 0, 4, 1}, under), (std::vector<Rgb>{0, under, 0, under}));
}

TEST_F(DisplayDraw, RasterOperationAppliesToEveryBand) {
  Owned im = ramp(3, 1);
  ASSERT_EQ(RX_display_ROP_set(im, NOTSRCCOPY), 0);
  uint32_t rop = 0;
  RX_display_ROP_get(im, &rop);
  EXPECT_EQ(rop, uint32_t(NOTSRCCOPY));
  EXPECT_EQ(drawn(im, 24, 3, 1, {0, 0, 3, 1}), (std::vector<Rgb>{grey(255), grey(254), grey(253)}));
}

TEST_P(DisplayDrawKernels, RefusedBlitLeavesARedHatchedRectangle) {
  // A plain copy (which the fast kernels hand to the device whole) and a
  // dithered one (always in bands), each refused by the device.
  for (int32_t dither : {0, 2}) {
    Owned im = ramp(16, 16);
    ASSERT_EQ(RX_display_dither_mode_set(im, dither), 0);
    Device dev(dither == 2 ? 8 : 24, 16, 16);
    pg_bk_colour_set(dev.dc, PG_RGB(255, 255, 255));
    dev.fill(rgb(0, 0, 255));
    set_rect(im, 0, 0, 16, 16);
    rx::band_blit_refuse(true);
    const int32_t errors = RX_display_image(im, dev.handle());
    rx::band_blit_refuse(false);
    EXPECT_EQ(errors, 0);
    int red = 0;
    for (Rgb c : dev.pixels()) {
      ASSERT_TRUE(c == rgb(255, 0, 0) || c == rgb(255, 255, 255)) << std::hex << c << " dither " << dither;
      red += c == rgb(255, 0, 0);
    }
    // Forward diagonals every 8 pixels: two pixels of each 8 x 1 stretch.
    EXPECT_EQ(red, 16 * 2) << dither;
  }
}

TEST_F(DisplayDraw, BandsStayWithinTheBudget) {
  // Bands as the reference kernels build them (the fast ones hand a plain
  // copy to the device without a band).
  rx::KernelLevelScope reference(rx::KernelLevel::kReference);
  {
    Owned im = image(24, 1920, 1080, {}, [](int32_t x, int32_t y) { return uint32_t(x * 7 + y); });
    const std::vector<Rgb> px = drawn(im, 32, 1920, 1080, {0, 0, 1920, 1080});
    const rx::DrawStats& s = rx::display_last_draw_stats();
    // 65495 bytes of rows of 5760: 11 rows a band, 99 bands; the band and
    // the two maps are all a draw takes.
    EXPECT_EQ((std::vector<int64_t>{s.target, s.band_height, s.bands, s.band_bytes, s.scratch_bytes}),
              (std::vector<int64_t>{24, 11, 99, 40 + 5760 * 11, 40 + 5760 * 11 + 4 * (1921 + 1081)}));
    EXPECT_EQ(px.back(), Rgb(1919 * 7 + 1079));
  }
  // A row too wide for one band is split across: 21830 pixels of 24 bits
  // fill 65492 bytes.
  Owned im = image(24, 30000, 2, {}, [](int32_t x, int32_t y) { return uint32_t(x + 100000 * y); });
  const std::vector<Rgb> px = drawn(im, 24, 30000, 2, {0, 0, 30000, 2});
  const rx::DrawStats& s = rx::display_last_draw_stats();
  EXPECT_EQ((std::vector<int64_t>{s.band_width, s.band_height, s.bands}), (std::vector<int64_t>{21830, 1, 4}));
  EXPECT_LE(s.band_bytes, 65535);
  EXPECT_EQ((std::vector<Rgb>{px[30000 + 25000], px[21829]}), (std::vector<Rgb>{Rgb(25000 + 100000), Rgb(21829)}));
}

TEST_F(DisplayDraw, PlainCopiesGoStraightToTheDeviceWithTheReferencePixels) {
  // Images the device takes as they are, at scale 1, reduced, enlarged,
  // offset and through a raster operation: the fast kernels skip the band
  // and must show the very pixels the reference bands show.
  std::vector<RX_HIMAGE> images = {
      image(24, 37, 23, {}, [](int32_t x, int32_t y) { return rgb(x * 7, y * 11, (x * y) & 255); }),
      image(8, 37, 23, {rgb(1, 2, 3), rgb(200, 10, 90)}, [](int32_t x, int32_t y) { return uint32_t((x + 3 * y) & 255); }),
      image(4, 37, 23, {rgb(9, 9, 9), rgb(250, 0, 0)}, [](int32_t x, int32_t y) { return uint32_t((x ^ y) & 15); })};
  const std::vector<std::vector<int32_t>> rects = {{0, 0, 37, 23},   {-5, -3, 32, 20}, {2, 1, 19, 12},
                                                   {-40, -9, 70, 50}, {0, 0, 13, 7},    {3, 2, 30, 22},
                                                   {-1, -2, 100, 61}, {1, 1, 2, 2}};
  for (int32_t bits : {24, 32, 8, 16}) {
    for (RX_HIMAGE im : images)
      for (const auto& r : rects)
        for (uint32_t rop : {uint32_t(SRCCOPY), uint32_t(SRCINVERT)}) {
          RX_display_ROP_set(im, rop);
          set_rect(im, r[0], r[1], r[2], r[3]);
          Device fast(bits, 33, 21), slow(bits, 33, 21);
          fast.fill(rgb(20, 40, 60));
          slow.fill(rgb(20, 40, 60));
          ASSERT_EQ(RX_display_image(im, fast.handle()), 0);
          {
            rx::KernelLevelScope reference(rx::KernelLevel::kReference);
            ASSERT_EQ(RX_display_image(im, slow.handle()), 0);
          }
          ASSERT_EQ(fast.pixels(), slow.pixels()) << bits << " " << r[0] << " " << rop;
        }
  }
  for (RX_HIMAGE im : images) RX_image_delete(im);
}

struct Progress {
  std::vector<int32_t> rows;
  int32_t height = 0;
  int32_t stop_at = -1;
  static int32_t call(uintptr_t user, int32_t row, int32_t height) {
    auto* p = reinterpret_cast<Progress*>(user);
    p->rows.push_back(row);
    p->height = height;
    return row == p->stop_at ? 0 : 1;
  }
};

TEST_F(DisplayDraw, PrintingReportsProgressAndStopsWhenAsked) {
  Owned im = ramp(4, 10);
  set_rect(im, 0, 0, 4, 10);
  HDC printer = pg_printer_dc_create(8, 12, 300);
  Progress p;
  RX_status_callback_set(Progress::call, reinterpret_cast<uintptr_t>(&p));
  ASSERT_EQ(RX_display_image(im, reinterpret_cast<uintptr_t>(printer)), 0);
  EXPECT_EQ(p.rows, (std::vector<int32_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
  EXPECT_EQ(p.height, 10);
  EXPECT_EQ(pg_pixel_get(printer, 3, 9), PG_RGB(93, 93, 93));
  p = Progress{};
  p.stop_at = 3;
  EXPECT_EQ(RX_display_image(im, reinterpret_cast<uintptr_t>(printer)), 1);
  const auto e = error_entries();
  ASSERT_EQ(e.size(), 1u);
  EXPECT_EQ((std::vector<int32_t>{e[0].code, e[0].iVal, e[0].lVal}),
            (std::vector<int32_t>{RXE_INTERRUPTED_BY_USER, 3, 10}));
  // Displays draw without asking.
  p = Progress{};
  drawn(im, 24, 4, 10, {0, 0, 4, 10});
  EXPECT_TRUE(p.rows.empty());
  RX_status_callback_set(nullptr, 0);
  pg_dc_delete(printer);
}

TEST_F(DisplayDraw, SixteenBitImagesNeedTheirExtension) {
  const uint32_t grey_masks[3] = {0xFFFF, 0xFFFF, 0xFFFF};
  std::vector<uint8_t> d = dib(16, 2, 1, {}, [](int32_t x, int32_t) { return x ? 0x1234u : 0xFFFFu; },
                               RX_BI_GRAY16, grey_masks);
  Owned gray = test::create(d);
  ASSERT_NE(gray.h, 0u);
  Device dev(24, 2, 1);
  dev.fill(rgb(1, 1, 1));
  set_rect(gray, 0, 0, 2, 1);
  EXPECT_EQ(RX_display_image(gray, dev.handle()), 1);
  EXPECT_EQ(error_codes(), std::vector<int32_t>{RXE_EXTENSION_NOT_PRESENT});
  EXPECT_EQ(dev.at(0, 0), rgb(1, 1, 1));
  rx::display_extension_assume(1);
  EXPECT_EQ(RX_display_image(gray, dev.handle()), 0);
  EXPECT_EQ(dev.pixels(), (std::vector<Rgb>{grey(255), grey(0x12)}));
  // 16-bit colour, 5-6-5: each channel spread over 0..255.
  const uint32_t masks[3] = {0xF800, 0x07E0, 0x001F};
  Owned colour = test::create(dib(16, 3, 1, {}, [](int32_t x, int32_t) {
    return std::vector<uint32_t>{0xF800, 0x07E0, 0x0010}[size_t(x)];
  }, RX_BI_BITFIELDS, masks));
  ASSERT_NE(colour.h, 0u);
  EXPECT_EQ(drawn(colour, 24, 3, 1, {0, 0, 3, 1}), (std::vector<Rgb>{rgb(255, 0, 0), rgb(0, 255, 0), rgb(0, 0, 132)}));
  // Masks with gaps count from their lowest to their highest bit: 0x8001
  // spans 16 bits, so all of it is 0x80 of 0xFF, 128 / 255 of the way.
  const uint32_t gaps[3] = {0x8001, 0x0000, 0x0000};
  Owned odd = test::create(dib(16, 1, 1, {}, [](int32_t, int32_t) { return 0xFFFFu; }, RX_BI_BITFIELDS, gaps));
  EXPECT_EQ(drawn(odd, 24, 1, 1, {0, 0, 1, 1}), std::vector<Rgb>{rgb(128, 0, 0)});
  rx::display_extension_assume(-1);
}

TEST_F(DisplayDraw, FourBitImageOnAPaletteDeviceKeepsItsColoursOrGoesThroughTheCube) {
  const std::vector<Rgb> pal = {rgb(100, 150, 160), rgb(20, 40, 60), rgb(160, 0, 90)};
  Owned im = image(4, 8, 8, pal, [](int32_t x, int32_t y) { return uint32_t((x + y) % 3); });
  set_rect(im, 0, 0, 8, 8);
  Device dev(8, 8, 8);
  ASSERT_EQ(RX_display_image(im, dev.handle()), 0);
  EXPECT_EQ(rx::display_last_draw_stats().target, 4);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) ASSERT_EQ(dev.at(x, y), pal[size_t((x + y) % 3)]);
  ASSERT_EQ(RX_display_dither_mode_set(im, 2), 0);
  ASSERT_EQ(RX_display_image(im, dev.handle()), 0);
  EXPECT_EQ(rx::display_last_draw_stats().target, 8);
  std::vector<Rgb> cube;
  for (const RX_RGBQUAD& q : rx::kPalette332) cube.push_back(rgb(q.rgbRed, q.rgbGreen, q.rgbBlue));
  for (Rgb c : dev.pixels()) ASSERT_NE(std::find(cube.begin(), cube.end(), c), cube.end()) << std::hex << c;
  // Pixel (0, 0): phases (7, 0), tA = 31: (100, 150, 160) -> 0x40 | 0x0C | 2,
  // the cube colour (73, 109, 170).
  EXPECT_EQ(dev.at(0, 0), rgb(73, 109, 170));
}

// The load's hook as the engine installs it, watched: after each band the
// device shows the rows loaded so far and still shows the fill colour
// above them (a bottom-up file stores its bottom row first).
struct BandWatch {
  rx::LoadDisplayHook engine = nullptr;
  const Device* dev = nullptr;
  std::vector<rx::LoadDisplayBand> bands;
  std::vector<std::vector<Rgb>> screens;
} g_watch;

void watched_hook(uintptr_t dc, RX_HIMAGE image, const rx::LoadDisplayBand* band) {
  g_watch.engine(dc, image, band);
  g_watch.bands.push_back(*band);
  g_watch.screens.push_back(g_watch.dev->pixels());
}

void twice_as_large(uintptr_t, RX_HIMAGE image) { set_rect(image, 0, 0, 10, 8); }

TEST_F(DisplayDraw, ProgressiveLoadDrawsThroughTheDisplayEngineEachBandAsItArrives) {
  auto colour = [](int32_t x, int32_t y) { return rgb(x * 40, y * 50, 7); };
  Owned src = image(24, 5, 4, {}, colour);
  const std::string path = testing::TempDir() + "/display_progressive_bands.bmp";
  ASSERT_EQ(RX_image_save_file(src, path.c_str(), RX_FORMAT_BMP), 0);
  {
    // At its own size, without a created callback.
    Device dev(24, 5, 4);
    RX_HIMAGE loaded = 0;
    ASSERT_EQ(RX_image_load_display(path.c_str(), dev.handle(), nullptr, 0, &loaded), 0);
    Owned kept = loaded;
    EXPECT_EQ(dev.pixels(), expected(5, 4, colour));
    // The image's own clip is left as it was.
    EXPECT_EQ(rx::record_of(loaded)->display.clip_on, 0);
    RX_HIMAGE none = 0;
    EXPECT_EQ(RX_image_load_display(path.c_str(), 0, nullptr, 0, &none), 0);
    Owned kept_none = none;
  }
  // The created callback doubles the device rectangle: each stored row
  // covers two device rows, drawn by the column and row maps.
  const Rgb fill = rgb(1, 2, 3);
  Device dev(24, 10, 8);
  dev.fill(fill);
  ASSERT_NE(rx::g_load_display_hook, nullptr);
  g_watch = BandWatch{rx::g_load_display_hook, &dev, {}, {}};
  rx::g_load_display_hook = watched_hook;
  RX_HIMAGE loaded = 0;
  const int32_t result = RX_image_load_display(path.c_str(), dev.handle(), twice_as_large, 0, &loaded);
  rx::g_load_display_hook = g_watch.engine;
  ASSERT_EQ(result, 0);
  ASSERT_EQ(g_watch.bands.size(), 4u);
  for (size_t k = 0; k < 4; ++k) {
    const rx::LoadDisplayBand& b = g_watch.bands[k];
    const int32_t row = 3 - int32_t(k);  // image row stored k-th
    EXPECT_EQ((std::vector<int32_t>{b.left, b.top, b.right, b.bottom}),
              (std::vector<int32_t>{0, 2 * row, 10, 2 * row + 2}))
        << k;
    const std::vector<Rgb>& screen = g_watch.screens[k];
    for (int32_t y = 0; y < 8; ++y)
      for (int32_t x = 0; x < 10; ++x) {
        const Rgb want = y >= 2 * row ? colour(x / 2, y / 2) : fill;
        ASSERT_EQ(screen[size_t(y) * 10 + size_t(x)], want) << "band " << k << " at " << x << "," << y;
      }
  }
  RX_image_delete(loaded);
  std::remove(path.c_str());
}

}  // namespace
