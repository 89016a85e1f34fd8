// PrintImage: the current image printed on a page the test reads back,
// placed by PrintSize or into the PrintLeft .. PrintBottom rectangle.
#include "DISPLAY/display_test_util.h"
#include "ocx32/ctrl_harness.h"
#include "platform/gdi.h"
#include "rast_dispids.h"

namespace test {
namespace {

using namespace com;
using namespace rast;
using dtest::blank;
using dtest::device_rect;

class CtrlPrint : public CtrlTest {
 protected:
  // A 20 x 10 24-bit BMP at 50 dpi, the left half red and the right half
  // blue.
  std::string halves_bmp() {
    RX_HIMAGE im = dtest::image(24, 20, 10, {}, [](int32_t x, int32_t) { return x < 10 ? 0xFF0000u : 0x0000FFu; });
    RX_image_resolution_set(im, 50, 1, 50, 1, 3);
    const std::string p = path("halves.bmp");
    EXPECT_EQ(RX_image_save_file(im, p.c_str(), RX_FORMAT_BMP), 0);
    RX_image_delete(im);
    return p;
  }
  void load_halves() {
    host.put_str(kDispLoadImage, halves_bmp());
    ASSERT_EQ(host.get_int(kDispErrCount), 0);
    ASSERT_NE(ctrl().current_image(), 0u);
  }
  void print_on(HDC page) { host.put_i8(kDispPrintImage, reinterpret_cast<intptr_t>(page)); }
};

std::string row(HDC dc, int32_t y, int32_t x0, int32_t x1) { return dtest::letters(dc, y, x0, x1); }

// A row of the picture printed `scale` dots a pixel, `margin` white dots
// either side.
std::string halves_row(int32_t scale, size_t margin = 2) {
  return std::string(margin, 'w') + std::string(size_t(10 * scale), 'r') + std::string(size_t(10 * scale), 'b') +
         std::string(margin, 'w');
}

TEST_F(CtrlPrint, SizeModeZeroFitsThePageAndOneIsActualSize) {
  load_halves();
  EXPECT_EQ(host.get_int(kDispPrintSize), 0);
  HDC page = pg_printer_dc_create(200, 100, 100);
  print_on(page);
  EXPECT_EQ(host.get_int(kDispErrCount), 0);
  // 200 x 100 has the image's 2 : 1 shape: red to x = 99, blue from 100.
  EXPECT_EQ(row(page, 0, 98, 102), "rrbb");
  EXPECT_EQ(row(page, 99, 0, 2), "rr");
  EXPECT_EQ(row(page, 99, 198, 200), "bb");
  pg_dc_delete(page);

  // 20 x 10 at 50 dpi: 40 x 20 dots at 100 dpi, centred at (80, 40).
  host.put_i4(kDispPrintSize, 1);
  page = pg_printer_dc_create(200, 100, 100);
  print_on(page);
  EXPECT_EQ(host.get_int(kDispErrCount), 0);
  EXPECT_EQ(row(page, 39, 78, 122), std::string(44, 'w'));
  EXPECT_EQ(row(page, 40, 78, 122), halves_row(2));
  EXPECT_EQ(row(page, 59, 78, 122), halves_row(2));
  EXPECT_EQ(row(page, 60, 78, 122), std::string(44, 'w'));
  pg_dc_delete(page);
}

TEST_F(CtrlPrint, TheImagesBackgroundIsWhiteOnlyWhilePrinting) {
  load_halves();
  RX_HIMAGE im = ctrl().current_image();
  const RX_RGBQUAD grey{64, 64, 64, 0};
  ASSERT_EQ(RX_display_background_set(im, 0, nullptr, &grey, 1), 0);
  // Actual size leaves a margin: the background there is white, not grey.
  host.put_i4(kDispPrintSize, 1);
  HDC page = pg_printer_dc_create(60, 30, 100);
  print_on(page);
  // 40 x 20 at ((60 - 40) / 2, (30 - 20) / 2) = (10, 5).
  EXPECT_EQ(row(page, 4, 0, 60), std::string(60, 'w'));
  EXPECT_EQ(row(page, 5, 0, 60), halves_row(2, 10));
  pg_dc_delete(page);
  uintptr_t pattern = 1;
  RX_RGBQUAD fg{}, bg{};
  int32_t on = 0;
  RX_display_background_get(im, &pattern, &fg, &bg, &on);
  EXPECT_EQ((std::vector<int32_t>{bg.rgbBlue, bg.rgbGreen, bg.rgbRed, on, int32_t(pattern)}),
            (std::vector<int32_t>{64, 64, 64, 1, 0}));
}

TEST_F(CtrlPrint, LargerSizesPrintIntoThePrintRectangle) {
  load_halves();
  RX_HIMAGE im = ctrl().current_image();
  const std::vector<int32_t> before = device_rect(im);
  host.put_i4(kDispPrintSize, 6);
  host.put_i4(kDispPrintLeft, 10);
  host.put_i4(kDispPrintTop, 20);
  host.put_i4(kDispPrintRight, 50);
  host.put_i4(kDispPrintBottom, 40);
  HDC page = pg_printer_dc_create(200, 100, 100);
  print_on(page);
  EXPECT_EQ(host.get_int(kDispErrCount), 0);
  // 40 x 20 dots at (10, 20): red 10..29, blue 30..49.
  EXPECT_EQ(row(page, 19, 8, 52), std::string(44, 'w'));
  EXPECT_EQ(row(page, 20, 8, 52), halves_row(2));
  EXPECT_EQ(row(page, 39, 8, 52), halves_row(2));
  EXPECT_EQ(row(page, 40, 8, 52), std::string(44, 'w'));
  EXPECT_EQ(device_rect(im), before) << "the image's own rectangle is put back";
  pg_dc_delete(page);

  // Auxiliary 7 = 50: the rectangle in fiftieths of an inch, doubled on a
  // 100-dpi page to (20, 40) .. (100, 80).
  host.put_i4(kDispSettingMode, 7);
  host.put_i4(kDispSettingValue, 50);
  page = pg_printer_dc_create(200, 100, 100);
  print_on(page);
  EXPECT_EQ(host.get_int(kDispErrCount), 0);
  EXPECT_EQ(row(page, 40, 18, 102), halves_row(4));
  EXPECT_EQ(row(page, 79, 18, 102), halves_row(4));
  EXPECT_EQ(row(page, 80, 18, 102), std::string(84, 'w'));
  pg_dc_delete(page);
}

TEST_F(CtrlPrint, RefusedRectanglesAndPagesPrintNothingAndReport) {
  load_halves();
  RX_HIMAGE im = ctrl().current_image();
  const std::vector<int32_t> before = device_rect(im);
  host.put_i4(kDispDebugLevel, 1);
  // An inverted rectangle.
  host.put_i4(kDispPrintSize, 6);
  host.put_i4(kDispPrintLeft, 50);
  host.put_i4(kDispPrintRight, 10);
  HDC page = pg_printer_dc_create(60, 40, 100);
  print_on(page);
  EXPECT_EQ(host.get_int(kDispErrCount), 1);
  EXPECT_EQ(host.get_int(kDispErrorCode), RXE_RECT_INVALID);
  EXPECT_TRUE(blank(page, 60, 40));
  EXPECT_EQ(device_rect(im), before);
  // A negative size mode is the engine's to refuse.
  host.put_i4(kDispPrintSize, -1);
  print_on(page);
  EXPECT_EQ(host.get_int(kDispErrorCode), RXE_PARAMETERS_OUT_OF_LIMITS);
  EXPECT_TRUE(blank(page, 60, 40));
  pg_dc_delete(page);
  // A page that is no DC, shown in the error report.
  host.put_i4(kDispPrintSize, 0);
  host.put_i8(kDispPrintImage, 0x1234);
  EXPECT_EQ(host.get_int(kDispErrCount), 1);
  EXPECT_EQ(host.get_int(kDispErrorCode), RXE_INVALID_HANDLE);
  EXPECT_NE(ctrl().error_report().text().find("Code=-3060"), std::string::npos);
}

TEST_F(CtrlPrint, WithoutAnImageNothingHappens) {
  HDC page = pg_printer_dc_create(20, 10, 100);
  print_on(page);
  EXPECT_EQ(host.get_int(kDispErrCount), 0);
  EXPECT_TRUE(blank(page, 20, 10));
  pg_dc_delete(page);
}

}  // namespace
}  // namespace test
