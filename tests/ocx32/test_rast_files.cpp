// File operations through the control: loads from files and memory, merge,
// saves, pages, file information, imports, slots and the load options.
#include <fstream>
#include <vector>

#include "SUPPORT/dib_builder.h"
#include "ocx32/ctrl_harness.h"
#include "platform/gdi.h"
#include "rast_dispids.h"
#include "support/files.h"

namespace test {
namespace {

using namespace com;
using namespace rast;

class CtrlFiles : public CtrlTest {
 protected:
  // ImageType and CompressType.
  std::vector<std::string> types() { return {host.get_str(kDispImageType), host.get_str(kDispCompressType)}; }
  void load_rect(int16_t left, int16_t top, int16_t right, int16_t bottom) {
    host.put_i2s({{kDispLoadRectLeft, left}, {kDispLoadRectTop, top}, {kDispLoadRectRight, right},
                  {kDispLoadRectBottom, bottom}});
  }
};

std::vector<uint8_t> read_file(const std::string& p) { return file_bytes(p); }

TEST_F(CtrlFiles, ValuePropertyLoadsLikeLoadImage) {
  const std::string a = make_bmp("a.bmp", 20, 10);
  ASSERT_EQ(host.put_str(DISPID_VALUE, a), S_OK);
  EXPECT_EQ(host.get_int(kDispErrCount), 0);
  EXPECT_NE(ctrl().current_image(), 0u);
  EXPECT_EQ(ctrl().slot_image(1), ctrl().current_image());
  EXPECT_EQ(host.get_str(DISPID_VALUE), a);
  EXPECT_EQ(host.get_ints({kDispImageWidth, kDispImageHeight, kDispImageBitsPerPixel, kDispImageRectRight,
                           kDispImageRectBottom, kDispPageCount}),
            (Ints{20, 10, 24, 19, 9, 1}));
}

TEST_F(CtrlFiles, EmptyPathDoesNothingAtAll) {
  host.put_str(kDispLoadImage, make_bmp("a.bmp", 4, 4));
  const RX_HIMAGE before = ctrl().current_image();
  IStream* s = nullptr;
  CreateMemoryStream(nullptr, 0, &s);
  ctrl().Save(s, 1);  // clears the modified flag
  s->Release();
  host.put_str(kDispLoadImage, "");
  EXPECT_EQ(ctrl().current_image(), before);
  EXPECT_FALSE(ctrl().modified());
}

TEST_F(CtrlFiles, LoadingAgainReplacesAndDeletesTheFirstImage) {
  const std::string a = make_bmp("a.bmp", 8, 8);
  host.put_str(kDispLoadImage, a);
  const RX_HIMAGE first = ctrl().current_image();
  host.put_str(kDispLoadImage, a);
  EXPECT_NE(ctrl().current_image(), 0u);
  EXPECT_EQ(RPb_iRX_image_is_valid(first), first == ctrl().current_image() ? 1 : 0);
  EXPECT_EQ(live_slots(), 1);
}

TEST_F(CtrlFiles, FailedLoadKeepsImageSlotAndPageCount) {
  host.put_str(kDispLoadImage, make_bmp("a.bmp", 8, 8));
  const RX_HIMAGE before = ctrl().current_image();
  host.put_str(kDispLoadImage, make_broken_bmp("broken.bmp"));
  EXPECT_GT(host.get_int(kDispErrCount), 0);
  EXPECT_EQ(ctrl().current_image(), before);
  EXPECT_EQ(ctrl().slot_image(1), before);
  EXPECT_EQ(ctrl().page_count(), 1);
  EXPECT_EQ(RPb_iRX_image_is_valid(before), 1);
}

TEST_F(CtrlFiles, SaveFormatZeroChoosesByExtension) {
  host.put_str(kDispLoadImage, make_bmp("a.bmp", 16, 16));
  host.put_i4(kDispSaveFormat, RX_FORMAT_UNKNOWN);
  host.put_str(kDispSaveImage, path("out.JPG"));
  EXPECT_EQ(host.get_int(kDispErrCount), 0);
  int32_t format = 0;
  EXPECT_EQ(RX_file_info_get(path("out.JPG").c_str(), &format, nullptr, nullptr), 0);
  EXPECT_EQ(format, RX_FORMAT_JPEG);
  // RAS names the CALS writer, whose format is known but not writable yet;
  // an unknown extension is another failure.
  host.put_str(kDispSaveImage, path("out.ras"));
  EXPECT_EQ(host.get_int(kDispErrorCode), RXE_FILE_READ_ONLY);
  host.put_str(kDispSaveImage, path("out.qqq"));
  EXPECT_EQ(host.get_int(kDispErrorCode), RXE_SAVE_EXTENSION_UNKNOWN);
}

TEST_F(CtrlFiles, JpegAtQuality100AndFileTypeOfTheResult) {
  host.put_str(kDispLoadImage, make_bmp("a.bmp", 33, 17));
  host.put_i2(kDispSaveFormat, RX_FORMAT_JPEG);
  host.put_i2(kDispSaveQuality, 100);
  uint32_t quality = 0;
  RX_image_control_get(RX_OPTION_JPEG_QUALITY, &quality);
  EXPECT_EQ(quality, 100u);
  host.put_str(kDispSaveImage, path("a.jpg"));
  EXPECT_EQ(host.get_int(kDispErrCount), 0);
  const std::vector<uint8_t> bytes = read_file(path("a.jpg"));
  ASSERT_GT(bytes.size(), 20u);
  const std::string head(bytes.begin(), bytes.begin() + 64);
  EXPECT_EQ(head.substr(0, 2), "\xFF\xD8");
  EXPECT_NE(head.find(std::string("\xFF\xE0\x00\x10JFIF\0", 9)), std::string::npos);
  host.put_str(kDispLoadImage, path("a.jpg"));
  EXPECT_EQ(host.get_int(kDispFileType) & 0xFFFF, RX_FORMAT_JPEG);
  EXPECT_EQ(types(), (std::vector<std::string>{"JPG", "JPEG"}));
  EXPECT_EQ(host.get_int(kDispImageWidth), 33);
}

TEST_F(CtrlFiles, NoImageMeansSavesAndToneChangesDoNothing) {
  host.put_str(kDispSaveImage, path("nothing.bmp"));
  host.put_bool(kDispInvert, true);
  host.put_bool(kDispContrastStretch, true);
  EXPECT_EQ(host.get_int(kDispErrCount), 0);
  EXPECT_FALSE(std::ifstream(path("nothing.bmp")).good());
  EXPECT_EQ(host.get_int(kDispFileType), 0);
  EXPECT_EQ(types(), (std::vector<std::string>{"", ""}));
}

TEST_F(CtrlFiles, SinglePageFileOpensNoDocumentAndPageReloadsFromTheFile) {
  const std::string a = make_bmp("a.bmp", 8, 6);
  host.put_str(kDispLoadImage, a);
  const RX_HIMAGE first = ctrl().current_image();
  // A single-page file opens no document.
  host.put_str(kDispLoadDocument, a);
  EXPECT_FALSE(ctrl().document_open());
  EXPECT_EQ(ctrl().current_image(), first);
  host.put_i4(kDispPage, 2);  // beyond the page count: nothing is loaded
  EXPECT_EQ(ctrl().current_image(), first);
  host.put_i4(kDispPage, 1);
  EXPECT_EQ(host.get_int(kDispErrCount), 0);
  EXPECT_NE(ctrl().current_image(), 0u);
  EXPECT_EQ(host.get_int(kDispImageWidth), 8);
  // A page whose load fails leaves no current image.
  std::filesystem::remove(a);
  make_broken_bmp("a.bmp");
  host.put_i4(kDispPage, 1);
  EXPECT_EQ(ctrl().current_image(), 0u);
  EXPECT_EQ(ctrl().slot_image(1), 0u);
}

TEST_F(CtrlFiles, MemoryLoadDescribesTheBufferAndSavesBack) {
  std::vector<uint8_t> file = read_file(make_bmp("m.bmp", 12, 7));
  host.put_i4(kDispMemSize, static_cast<int32_t>(file.size()));
  host.put_i4(kDispMemPage, 1);
  ASSERT_EQ(host.put_i8(kDispMemLoad, reinterpret_cast<intptr_t>(file.data())), S_OK);
  EXPECT_EQ(host.get_int(kDispErrCount), 0);
  EXPECT_EQ(host.get_str(kDispLoadImage), "Memory Image");
  EXPECT_EQ(host.get_str(kDispImageType), "BMP");
  EXPECT_EQ(host.get_ints({kDispFileType, kDispPageCount, kDispImageWidth}), (Ints{RX_FORMAT_BMP, 1, 12}));

  std::vector<uint8_t> out(file.size() + 1024, 0);
  host.put_i4(kDispMemSize, static_cast<int32_t>(out.size()));
  host.put_i8(kDispMemSave, reinterpret_cast<intptr_t>(out.data()));
  EXPECT_EQ(host.get_ints({kDispErrCount, kDispMemSize}), (Ints{0, static_cast<int64_t>(file.size())}));
  EXPECT_EQ(out[0], 'B');
}

TEST_F(CtrlFiles, FailedMemoryLoadKeepsThePreviousImage) {
  host.put_str(kDispLoadImage, make_bmp("a.bmp", 8, 8));
  const RX_HIMAGE before = ctrl().current_image();
  std::vector<uint8_t> junk(64, 0x5A);
  host.put_i4(kDispMemSize, 64);
  host.put_i8(kDispMemLoad, reinterpret_cast<intptr_t>(junk.data()));
  EXPECT_GT(host.get_int(kDispErrCount), 0);
  // A size that cannot be a buffer's is refused too.
  std::vector<uint8_t> file = read_file(path("a.bmp"));
  host.put_i4(kDispMemSize, -1);
  host.put_i8(kDispMemLoad, reinterpret_cast<intptr_t>(file.data()));
  EXPECT_GT(host.get_int(kDispErrCount), 0);
  EXPECT_EQ(ctrl().current_image(), before);
  EXPECT_EQ(RPb_iRX_image_is_valid(before), 1);
  EXPECT_EQ(host.get_str(kDispLoadImage), path("a.bmp"));
}

TEST_F(CtrlFiles, LoadMergeCombinesIntoTheCurrentImage) {
  const std::string a = make_bmp("a.bmp", 10, 10, 24, 3);
  host.put_str(kDispLoadImage, a);
  const RX_HIMAGE target = ctrl().current_image();
  host.put_i2(kDispLoadMergeOP, 7);  // XOR with itself clears it
  host.put_bool(kDispLoadMerge, true);
  host.put_str(kDispLoadImage, a);
  EXPECT_EQ(host.get_int(kDispErrCount), 0);
  EXPECT_EQ(ctrl().current_image(), target);
  EXPECT_EQ(pixel(target, 3, 4), std::vector<uint8_t>(3, 0));
  // A file of another depth cannot merge; it then replaces the image.
  host.put_str(kDispLoadImage, make_bmp("g.bmp", 10, 10, 8));
  EXPECT_NE(ctrl().current_image(), target);
  EXPECT_EQ((Ints{host.get_int(kDispImageBitsPerPixel), live_slots()}), (Ints{8, 1}));
}

TEST_F(CtrlFiles, SlotsHoldSeparateImages) {
  host.put_str(kDispLoadImage, make_bmp("a.bmp", 5, 5));
  const RX_HIMAGE one = ctrl().current_image();
  host.put_i4(kDispImageIndex, 4);
  EXPECT_EQ(ctrl().current_image(), one);  // slot 4 is empty
  host.put_str(kDispLoadImage, make_bmp("b.bmp", 7, 7));
  EXPECT_EQ(ctrl().slot_image(4), ctrl().current_image());
  EXPECT_EQ(ctrl().slot_image(1), one);
  host.put_i4(kDispImageIndex, 1);
  EXPECT_EQ(ctrl().current_image(), one);
  EXPECT_EQ(host.get_int(kDispImageWidth), 5);
  host.put_bool(kDispDelImage, true);
  EXPECT_EQ((std::vector<RX_HIMAGE>{ctrl().current_image(), ctrl().slot_image(1)}), (std::vector<RX_HIMAGE>{0, 0}));
  EXPECT_EQ((Ints{host.get_int(kDispDelImage), RPb_iRX_image_is_valid(one)}), (Ints{0, 0}));
  EXPECT_NE(ctrl().slot_image(4), 0u);
}

TEST_F(CtrlFiles, DeleteBeforeEachLoadLeavesNothingToSaveAfterAFailure) {
  host.put_str(kDispLoadImage, make_bmp("good.bmp", 8, 8));
  host.put_bool(kDispDelImage, true);
  host.put_str(kDispLoadImage, make_broken_bmp("bad.bmp"));
  host.put_i2(kDispSaveFormat, RX_FORMAT_JPEG);
  host.put_str(kDispSaveImage, path("bad.jpg"));
  EXPECT_FALSE(std::ifstream(path("bad.jpg")).good());
}

TEST_F(CtrlFiles, LoadOptionsReachTheEngine) {
  const std::string a = make_bmp("a.bmp", 9, 9);
  host.put_i4(kDispAutoReduce, 4);
  host.put_str(kDispLoadImage, a);
  EXPECT_EQ(host.get_int(kDispImageBitsPerPixel), 4);
  host.put_i4(kDispAutoReduce, 2);  // not a reduction: off
  host.put_str(kDispLoadImage, a);
  EXPECT_EQ(host.get_int(kDispImageBitsPerPixel), 24);
  load_rect(2, 1, 6, 4);
  host.put_str(kDispLoadImage, a);
  EXPECT_EQ(host.get_ints({kDispImageWidth, kDispImageHeight}), (Ints{4, 3}));
  load_rect(0, 0, 0, 0);
  host.put_i4s({{kDispAutoResizeX, 3}, {kDispAutoResizeY, 2}});
  host.put_str(kDispLoadImage, a);
  EXPECT_EQ(host.get_int(kDispImageWidth), 3);
  host.put_i4s({{kDispAutoResizeX, 0}, {kDispAutoResizeY, 0}});
  host.put_i4(kDispAutoDetectOff, RX_FORMAT_BMP);
  host.put_str(kDispLoadImage, a);
  EXPECT_GT(host.get_int(kDispErrCount), 0);
  host.put_i4(kDispAutoDetectOn, RX_FORMAT_BMP);
  host.put_str(kDispLoadImage, a);
  EXPECT_EQ(host.get_int(kDispErrCount), 0);
}

TEST_F(CtrlFiles, FileInfoWithoutLoading) {
  host.put_str(kDispGetFileInfo, make_bmp("i.bmp", 31, 3, 8));
  EXPECT_EQ(host.get_ints({kDispErrCount, kDispImageWidth, kDispImageBitsPerPixel}), (Ints{0, 31, 8}));
  EXPECT_EQ(ctrl().current_image(), 0u);
}

TEST_F(CtrlFiles, ThumbnailIsAReducedFirstPage) {
  host.put_str(kDispLoadThumbnail, make_bmp("wide.bmp", 300, 150));
  EXPECT_EQ(host.get_ints({kDispErrCount, kDispImageWidth, kDispImageHeight}), (Ints{0, 96, 48}));
  // The host's own resize setting is untouched.
  host.put_str(kDispLoadImage, path("wide.bmp"));
  EXPECT_EQ(host.get_int(kDispImageWidth), 300);
}

TEST_F(CtrlFiles, ImportDibCopiesAPackedDibAndImportDdbTakesOnlyADeviceBitmap) {
  std::vector<uint8_t> dib = make_dib(6, 4, 24);
  fill_pattern(dib);
  ASSERT_EQ(host.put_i8(kDispImportDIB, reinterpret_cast<intptr_t>(dib.data())), S_OK);
  EXPECT_EQ(host.get_ints({kDispErrCount, kDispImageWidth}), (Ints{0, 6}));
  EXPECT_NE(host.get_int(kDispImagePtr), 0);
  EXPECT_NE(host.get_int(kDispImageHdib), 0);
  // A handle that is no device bitmap imports nothing.
  host.put_i8(kDispImportDDB, 1234);
  EXPECT_EQ(host.get_ints({kDispErrorCode, kDispImageWidth}), (Ints{RXE_DDB_DIMENSIONS, 6}));
  // A device bitmap is taken.
  const uint8_t rows[6] = {0xF0, 0, 0x0F, 0, 0xFF, 0};
  HBITMAP bitmap = pg_bitmap_create(8, 3, 1, 1, rows);
  ASSERT_EQ(host.put_i8(kDispImportDDB, static_cast<int64_t>(reinterpret_cast<uintptr_t>(bitmap))), S_OK);
  EXPECT_EQ(host.get_ints({kDispErrCount, kDispImageWidth, kDispImageHeight, kDispImageBitsPerPixel}),
            (Ints{0, 8, 3, 1}));
  pg_bitmap_delete(bitmap);
}

TEST_F(CtrlFiles, DataBindingAsksTheHostFirst) {
  TestSite site;
  site.refuse_edit = true;
  ctrl().SetSite(&site);
  const std::string a = make_bmp("a.bmp", 3, 3);
  EXPECT_EQ(host.put_str(kDispDataBoundProperty, a), CTL_E_PERMISSIONDENIED);
  EXPECT_EQ(ctrl().current_image(), 0u);
  site.refuse_edit = false;
  EXPECT_EQ(host.put_str(kDispDataBoundProperty, a), S_OK);
  EXPECT_NE(ctrl().current_image(), 0u);
  EXPECT_EQ(host.get_str(kDispDataBoundProperty), a);
  EXPECT_EQ(site.changed, 1);
  ctrl().SetSite(nullptr);
}

TEST_F(CtrlFiles, ToneMembersChangeThePixels) {
  host.put_str(kDispLoadImage, make_bmp("a.bmp", 4, 4, 24, 9));
  const RX_HIMAGE image = ctrl().current_image();
  const std::vector<uint8_t> before = pixel(image, 1, 1);
  host.put_bool(kDispInvert, false);  // acts on every write
  const std::vector<uint8_t> after = pixel(image, 1, 1);
  for (int c = 0; c < 3; ++c) EXPECT_EQ(after[c], 255 - before[c]);
  host.put_r8(kDispBrightness, 300.0);
  EXPECT_EQ(pixel(image, 2, 3), std::vector<uint8_t>(3, 255));
  host.put_r8(kDispBrightness, 0.0);
  host.put_r8(kDispContrast, 0.0);
  EXPECT_EQ(pixel(image, 2, 3), std::vector<uint8_t>(3, 0));
  EXPECT_EQ(host.get_int(kDispErrCount), 0);
}

}  // namespace
}  // namespace test
