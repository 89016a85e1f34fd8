// The control's multi-page operations on real multi-page TIFF files:
// LoadDocument loads every page (at most the 20 of its page table), Page
// moves through them, and without a document Page loads the page from the
// LoadImage file.
#include <filesystem>
#include <fstream>
#include <iterator>

#include "SUPPORT/dib_builder.h"
#include "ocx32/ctrl_harness.h"
#include "rast_dispids.h"

namespace test {
namespace {

using namespace rast;

using CtrlDocument = CtrlTest;

// A TIFF file of `pages` pages; page n is n + 4 pixels wide.
std::string make_tiff(const std::string& path, int32_t pages) {
  for (int32_t n = 1; n <= pages; ++n) {
    std::vector<uint8_t> dib = make_dib(n + 4, 3, n % 2 == 0 ? 8 : 24);
    fill_pattern(dib, static_cast<uint32_t>(n));
    const RX_HIMAGE image = create(dib);
    EXPECT_EQ(RX_image_save_file(image, path.c_str(), RX_FORMAT_TIFF), 0);
    RX_image_delete(image);
  }
  return path;
}

TEST_F(CtrlDocument, LoadDocumentLoadsEveryPageAndPageMovesThroughThem) {
  const std::string file = make_tiff(path("doc.tif"), 3);
  host.put_str(kDispLoadImage, make_bmp("a.bmp", 8, 8));
  host.put_str(kDispLoadDocument, file);
  EXPECT_EQ(host.get_int(kDispErrCount), 0);
  ASSERT_TRUE(ctrl().document_open());
  EXPECT_EQ(host.get_int(kDispPage), 1);
  EXPECT_EQ(ctrl().page_count(), 3);
  EXPECT_EQ(host.get_int(kDispImageWidth), 5);
  const RX_HIMAGE first = ctrl().current_image();
  host.put_i4(kDispPage, 2);
  EXPECT_EQ(host.get_int(kDispImageWidth), 6);
  EXPECT_EQ(host.get_int(kDispImageBitsPerPixel), 8);
  const RX_HIMAGE second = ctrl().current_image();
  EXPECT_NE(second, first);
  // Pages outside 1 .. count are the nearest page.
  host.put_i4(kDispPage, 0);
  EXPECT_EQ(host.get_int(kDispPage), 1);
  EXPECT_EQ(ctrl().current_image(), first);
  host.put_i4(kDispPage, 9);
  EXPECT_EQ(host.get_int(kDispPage), 3);
  EXPECT_EQ(host.get_int(kDispImageWidth), 7);
  // The pages are the images already loaded: going back shows them again.
  host.put_i4(kDispPage, 2);
  EXPECT_EQ(ctrl().current_image(), second);
  // A second document replaces the first and frees its pages.
  host.put_str(kDispLoadDocument, file);
  EXPECT_EQ(RPb_iRX_image_is_valid(second), 0);
  EXPECT_EQ(host.get_int(kDispImageWidth), 5);
}

TEST_F(CtrlDocument, TheDocumentTableHoldsTwentyPages) {
  const std::string file = make_tiff(path("long.tif"), 23);
  int32_t count = 0;
  ASSERT_EQ(RX_file_page_count_get(file.c_str(), &count), 0);
  ASSERT_EQ(count, 23);
  host.put_str(kDispLoadDocument, file);
  ASSERT_TRUE(ctrl().document_open());
  EXPECT_EQ(ctrl().page_count(), 20);
  host.put_i4(kDispPage, 23);
  EXPECT_EQ(host.get_int(kDispPage), 20);
  EXPECT_EQ(host.get_int(kDispImageWidth), 24);
}

TEST_F(CtrlDocument, ADocumentWhosePageFailsLeavesTheControlAsItWas) {
  const std::string file = make_tiff(path("bad.tif"), 2);
  // Page 2 made unreadable: its compression becomes one the reader refuses.
  std::vector<uint8_t> bytes;
  {
    std::ifstream in(file, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
  }
  RX_HIMAGE page2 = 0;
  ASSERT_EQ(RX_image_load_memory(bytes.data(), static_cast<int32_t>(bytes.size()), 2, 0, &page2), 0);
  RX_image_delete(page2);
  const uint32_t first = bytes[4] | bytes[5] << 8 | bytes[6] << 16 | bytes[7] << 24;
  const uint32_t next_at = first + 2 + 12 * (bytes[first] | bytes[first + 1] << 8);
  const uint32_t second = bytes[next_at] | bytes[next_at + 1] << 8 | bytes[next_at + 2] << 16 |
                          bytes[next_at + 3] << 24;
  const uint32_t entries = static_cast<uint32_t>(bytes[second] | bytes[second + 1] << 8);
  for (uint32_t i = 0; i < entries; ++i) {
    const uint32_t e = second + 2 + 12 * i;
    if ((bytes[e] | bytes[e + 1] << 8) == 259) bytes[e + 8] = 7;
  }
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  host.put_str(kDispLoadImage, make_bmp("a.bmp", 8, 8));
  const RX_HIMAGE before = ctrl().current_image();
  host.put_str(kDispLoadDocument, file);
  EXPECT_EQ(host.get_int(kDispErrorCode), RXE_TIFF_COMPRESSION_UNSUPPORTED);
  EXPECT_FALSE(ctrl().document_open());
  EXPECT_EQ(ctrl().current_image(), before);
  EXPECT_EQ(live_slots(), 1);
}

TEST_F(CtrlDocument, PageWithoutADocumentLoadsThatPageOfTheFile) {
  const std::string file = make_tiff(path("pages.tif"), 3);
  host.put_str(kDispLoadImage, file);
  EXPECT_EQ(host.get_int(kDispImageWidth), 5);
  EXPECT_EQ(host.get_int(kDispPageCount), 3);
  host.put_i4(kDispPage, 3);
  EXPECT_EQ(host.get_int(kDispErrCount), 0);
  EXPECT_FALSE(ctrl().document_open());
  EXPECT_EQ(host.get_int(kDispImageWidth), 7);
  EXPECT_EQ(live_slots(), 1);
  // Above the page count nothing is loaded.
  const RX_HIMAGE third = ctrl().current_image();
  host.put_i4(kDispPage, 4);
  EXPECT_EQ(ctrl().current_image(), third);
}

}  // namespace
}  // namespace test
