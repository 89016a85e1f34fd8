// Printing: where each size mode puts an image on a page (worked out by
// hand below), and the print itself on a printer DC's page.
#include <gtest/gtest.h>

#include <vector>

#include "DISPLAY/display_print.h"
#include "DISPLAY/display_test_util.h"
#include "rastrix/rx_print.h"

using namespace dtest;

namespace {

class DisplayPrint : public EngineTest {};

std::vector<int64_t> box(const rx::IRect& r) { return {r.left, r.top, r.right, r.bottom}; }

// A letter page at 300 dots per inch: 8.5 x 11 inches.
const rx::PrintPage kLetter{2550, 3300, 300, 300};

TEST_F(DisplayPrint, WhereEachSizeModePlacesTheImage) {
  const rx::PrintSource photo{1000, 500, 100, 100};  // 10 x 5 inches
  // 1728 x 1100 at 204 x 98 dpi: 8.47 x 11.22 inches.
  const rx::PrintSource fax{1728, 1100, 204, 98};
  const rx::PrintPage narrow{3, 100, 100, 100};
  const struct {
    rx::PrintPage page;
    rx::PrintSource source;
    int32_t mode;
    bool centre, resolution;
    std::vector<int64_t> box;
  } cases[] = {
      // Fit: 2550 / 1000 < 3300 / 500, so the width rules: 2550 x 1275,
      // and (3300 - 1275) / 2 = 1012 down.
      {kLetter, photo, RX_PRINT_FIT_PAGE, true, true, {0, 1012, 2550, 2287}},
      // Actual size: 10 x 5 inches at 300 dpi is 3000 x 1500, wider than
      // the page so it starts at the left edge; (3300 - 1500) / 2 = 900 down.
      {kLetter, photo, RX_PRINT_ACTUAL_SIZE, true, true, {0, 900, 3000, 2400}},
      {kLetter, photo, RX_PRINT_FIT_WIDTH, true, true, {0, 1012, 2550, 2287}},
      // Fit height: 3300 high, 3300 x 2 = 6600 wide, cut at the right.
      {kLetter, photo, RX_PRINT_FIT_HEIGHT, true, true, {0, 0, 6600, 3300}},
      {kLetter, photo, RX_PRINT_STRETCH, true, true, {0, 0, 2550, 3300}},
      // Dots: 1000 x 500 at ((2550 - 1000) / 2, (3300 - 500) / 2).
      {kLetter, photo, RX_PRINT_DOTS, true, true, {775, 1400, 1775, 1900}},
      // Not centred: the page's top left.
      {kLetter, photo, RX_PRINT_DOTS, false, true, {0, 0, 1000, 500}},
      {kLetter, photo, RX_PRINT_FIT_PAGE, false, true, {0, 0, 2550, 1275}},
      // A fax page keeps its shape only with its resolution. On paper
      // width / height = (1728 / 204) / (1100 / 98) = 0.75465; the page's
      // 2550 / 3300 = 0.7727 is wider, so the height rules: 3300 high,
      // 3300 x 0.75465 = 2490.35 -> 2490 wide, (2550 - 2490) / 2 = 30 across.
      {kLetter, fax, RX_PRINT_FIT_PAGE, true, true, {30, 0, 2520, 3300}},
      // As square pixels it is 1728 / 1100 = 1.571 wide for 1 high: the
      // width rules, 2550 x 1100 / 1728 = 1623.26 -> 1623 high, 838 down.
      {kLetter, fax, RX_PRINT_FIT_PAGE, true, false, {0, 838, 2550, 2461}},
      // Actual size: 1728 x 300 / 204 = 2541.18 and 1100 x 300 / 98 =
      // 3367.35, whichever the flag says.
      {kLetter, fax, RX_PRINT_ACTUAL_SIZE, true, false, {4, 0, 2545, 3367}},
      // Sides round half up and never vanish: 4 x 2 to a width of 3 is 1.5
      // high, rounded to 2; 1000 x 1 is 0.003 high, still one dot.
      {narrow, {4, 2, 100, 100}, RX_PRINT_FIT_WIDTH, false, false, {0, 0, 3, 2}},
      {narrow, {1000, 1, 100, 100}, RX_PRINT_FIT_WIDTH, false, false, {0, 0, 3, 1}},
      // Exactly the page's proportions fit both ways at once.
      {narrow, {30, 1000, 100, 100}, RX_PRINT_FIT_PAGE, true, false, {0, 0, 3, 100}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(box(rx::print_place(c.page, c.source, c.mode, c.centre, c.resolution)), c.box)
        << c.source.width << " x " << c.source.height << " mode " << c.mode << " centre " << c.centre;
}

TEST_F(DisplayPrint, ResolutionFromPelsPerMetre) {
  EXPECT_EQ(rx::print_dpi_of(11811), 300);  // 299.9994
  EXPECT_EQ(rx::print_dpi_of(3780), 96);    // 96.012
  EXPECT_EQ(rx::print_dpi_of(0), rx::kPrintDefaultDpi);
  EXPECT_EQ(rx::print_dpi_of(-40), rx::kPrintDefaultDpi);
  EXPECT_EQ(rx::print_dpi_of(10), 1) << "0.254 dpi is held to 1";
}

// 20 x 10, the left half red and the right half blue, at 50 dpi.
RX_HIMAGE halves() {
  RX_HIMAGE im = image(24, 20, 10, {}, [](int32_t x, int32_t) { return x < 10 ? rgb(255, 0, 0) : rgb(0, 0, 255); });
  RX_image_resolution_set(im, 50, 1, 50, 1, 3);
  return im;
}

struct Page {
  explicit Page(int32_t w, int32_t h, int32_t dpi) : dc(pg_printer_dc_create(w, h, dpi)) {}
  ~Page() { pg_dc_delete(dc); }
  Page(const Page&) = delete;
  Page& operator=(const Page&) = delete;
  uintptr_t handle() const { return reinterpret_cast<uintptr_t>(dc); }
  Rgb at(int32_t x, int32_t y) const {
    const COLORREF c = pg_pixel_get(dc, x, y);
    return rgb(PG_GET_R(c), PG_GET_G(c), PG_GET_B(c));
  }
  std::string row(int32_t y, int32_t x0, int32_t x1) const { return letters(dc, y, x0, x1); }
  HDC dc;
};

const Rgb kRed = rgb(255, 0, 0), kBlue = rgb(0, 0, 255), kWhite = rgb(255, 255, 255);

TEST_F(DisplayPrint, ActualSizeLandsCentredOnThePage) {
  RX_HIMAGE im = halves();
  set_rect(im, 3, 4, 9, 7);
  Page page(200, 100, 100);
  ASSERT_EQ(RX_display_print(im, page.handle(), RX_PRINT_ACTUAL_SIZE, 1, 1), 0);
  // 20 x 10 at 50 dpi is 0.4 x 0.2 inch: 40 x 20 dots at 100 dpi, at
  // ((200 - 40) / 2, (100 - 20) / 2) = (80, 40); red to x = 99, blue from 100.
  EXPECT_EQ(page.row(40, 78, 82), "wwrr");
  EXPECT_EQ(page.row(50, 98, 102), "rrbb");
  EXPECT_EQ(page.row(59, 118, 122), "bbww");
  EXPECT_EQ(page.at(80, 39), kWhite);
  EXPECT_EQ(page.at(80, 60), kWhite);
  // The image's own rectangle is as it was.
  int32_t rect[4] = {};
  RX_display_device_rect_get(im, rect);
  EXPECT_EQ(std::vector<int32_t>(rect, rect + 4), (std::vector<int32_t>{3, 4, 9, 7}));
  RX_image_delete(im);
}

TEST_F(DisplayPrint, FitPageFillsAPageOfTheImagesShape) {
  RX_HIMAGE im = halves();
  // Only a part of the image is displayed and clipped; the print shows all.
  const int32_t part[4] = {2, 2, 5, 5};
  RX_display_image_rect_set(im, part);
  const int32_t clip[4] = {0, 0, 1, 1};
  RX_display_clip_rect_set(im, clip);
  Page page(200, 100, 100);
  ASSERT_EQ(RX_display_print(im, page.handle(), RX_PRINT_FIT_PAGE, 1, 1), 0);
  // 200 x 100 has the image's 2 : 1 shape: the whole page, red on the left.
  EXPECT_EQ(page.at(0, 0), kRed);
  EXPECT_EQ(page.at(99, 99), kRed);
  EXPECT_EQ(page.at(100, 0), kBlue);
  EXPECT_EQ(page.at(199, 99), kBlue);
  int32_t rect[4] = {};
  RX_display_image_rect_get(im, rect);
  EXPECT_EQ(std::vector<int32_t>(rect, rect + 4), (std::vector<int32_t>{2, 2, 5, 5}));
  RX_image_delete(im);
}

TEST_F(DisplayPrint, AQuarterTurnSwapsTheSides) {
  // A 1-bit 40 x 10 page turned on display is 10 wide and 40 high: fitted
  // to a 100 x 100 page it is 25 x 100, at (37, 0).
  RX_HIMAGE im = bilevel(40, 10, [](int32_t, int32_t) { return 0u; });
  ASSERT_EQ(RX_display_rotation_set(im, 1), 0);
  Page page(100, 100, 100);
  ASSERT_EQ(RX_display_print(im, page.handle(), RX_PRINT_FIT_PAGE, 1, 0), 0);
  EXPECT_EQ(page.at(36, 50), kWhite);
  EXPECT_EQ(page.at(37, 50), rgb(0, 0, 0));
  EXPECT_EQ(page.at(61, 50), rgb(0, 0, 0));
  EXPECT_EQ(page.at(62, 50), kWhite);
  RX_image_delete(im);
}

TEST_F(DisplayPrint, TheStoredRectangleInDotsOrInches) {
  RX_HIMAGE im = halves();
  Page page(200, 100, 100);
  set_rect(im, 10, 20, 50, 40);
  ASSERT_EQ(RX_display_print_rect(im, page.handle(), 0), 0);
  EXPECT_EQ(page.row(20, 8, 12), "wwrr");
  EXPECT_EQ(page.row(39, 28, 32), "rrbb");
  EXPECT_EQ(page.row(39, 48, 52), "bbww");
  EXPECT_EQ(page.at(10, 40), kWhite);
  // In fiftieths of an inch on a 100-dpi page every value doubles:
  // (20, 40) to (100, 80).
  Page second(200, 100, 100);
  ASSERT_EQ(RX_display_print_rect(im, second.handle(), 50), 0);
  EXPECT_EQ(second.row(40, 18, 22), "wwrr");
  EXPECT_EQ(second.row(79, 58, 62), "rrbb");
  EXPECT_EQ(second.row(79, 98, 102), "bbww");
  EXPECT_EQ(second.at(20, 80), kWhite);
  RX_image_delete(im);
}

TEST_F(DisplayPrint, RefusalsLeaveThePageBlank) {
  RX_HIMAGE im = halves();
  Page page(40, 20, 100);
  EXPECT_EQ(RX_display_print(im, page.handle(), 6, 1, 1), 1);
  EXPECT_EQ(error_codes(), std::vector<int32_t>{RXE_PARAMETERS_OUT_OF_LIMITS});
  EXPECT_EQ(RX_display_print(im, page.handle(), -1, 1, 1), 1);
  EXPECT_EQ(RX_display_print(im, 0, RX_PRINT_FIT_PAGE, 1, 1), 1);
  EXPECT_EQ(error_codes(), std::vector<int32_t>{RXE_INVALID_HANDLE});
  EXPECT_EQ(RX_display_print(im, 0x1234, RX_PRINT_FIT_PAGE, 1, 1), 1);
  EXPECT_EQ(error_codes(), std::vector<int32_t>{RXE_INVALID_HANDLE});
  EXPECT_EQ(RX_display_print(0, page.handle(), RX_PRINT_FIT_PAGE, 1, 1), 0) << "no image, no print";
  EXPECT_EQ(RX_display_print_rect(im, page.handle(), -1), 1);
  EXPECT_EQ(error_codes(), std::vector<int32_t>{RXE_PARAMETERS_OUT_OF_LIMITS});
  // (1, 1, 5, 5) in thousandths of an inch is under a dot at 100 dpi.
  set_rect(im, 1, 1, 5, 5);
  EXPECT_EQ(RX_display_print_rect(im, page.handle(), 1000), 1);
  const auto e = error_entries();
  ASSERT_EQ(e.size(), 1u);
  EXPECT_EQ((std::vector<int32_t>{e[0].code, e[0].iVal, e[0].lVal}),
            (std::vector<int32_t>{RXE_RECT_INVALID, 0, 0}));
  EXPECT_TRUE(blank(page.dc, 40, 20));
  RX_image_delete(im);
}

struct Cancel {
  static int32_t call(uintptr_t, int32_t row, int32_t) { return row < 5 ? 1 : 0; }
};

TEST_F(DisplayPrint, ACancelledPrintKeepsTheImagesRectangles) {
  RX_HIMAGE im = halves();
  set_rect(im, 1, 2, 3, 4);
  Page page(200, 100, 100);
  RX_status_callback_set(Cancel::call, 0);
  EXPECT_EQ(RX_display_print(im, page.handle(), RX_PRINT_DOTS, 0, 0), 1);
  const auto e = error_entries();
  RX_status_callback_set(nullptr, 0);
  ASSERT_EQ(e.size(), 1u);
  EXPECT_EQ(e[0].code, RXE_INTERRUPTED_BY_USER);
  int32_t rect[4] = {};
  RX_display_device_rect_get(im, rect);
  EXPECT_EQ(std::vector<int32_t>(rect, rect + 4), (std::vector<int32_t>{1, 2, 3, 4}));
  RX_image_delete(im);
}

}  // namespace
