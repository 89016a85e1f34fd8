// The control's raw fax load: the data starts at CCITTOffset in the file,
// and the size, type and fill order come from their own members.
#include <gtest/gtest.h>

#include <fstream>

#include "filters/codecs/ccitt_harness.h"
#include "ocx32/ctrl_harness.h"
#include "rast_dispids.h"
#include "support/files.h"

using namespace rast;
using ccitt_test::Picture;

namespace {

const std::string kData = std::string(RX_TEST_DATA_DIR) + "/ccitt/";


Picture pbm(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::string magic;
  uint32_t w = 0, h = 0;
  f >> magic >> w >> h;
  f.get();
  Picture p(w, h);
  for (uint32_t y = 0; y < h; ++y) f.read(reinterpret_cast<char*>(p.rows[y].data()), (w + 7) / 8);
  return p.tidy();
}

class CtrlCcitt : public test::CtrlTest {
 protected:
  // The sample behind `junk` bytes of something else.
  std::string behind(const std::string& sample, size_t junk) {
    std::vector<uint8_t> bytes(junk, 0xA5);
    const std::vector<uint8_t> data = file_bytes(kData + sample);
    bytes.insert(bytes.end(), data.begin(), data.end());
    const std::string name = path(sample + ".bin");
    std::ofstream(name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    return name;
  }

  void ccitt_load(const std::string& file, int32_t offset, int32_t type, int32_t fill_order) {
    host.put_i4(kDispCCITTOffset, offset);
    host.put_i4(kDispCCITTXSize, 240);
    host.put_i4(kDispCCITTYSize, 96);
    host.put_i4(kDispCCITTType, type);
    host.put_i4(kDispCCITTFillOrder, fill_order);
    host.put_str(kDispCCITTLoad, file);
  }

  Picture current() {
    Picture p(240, 96);
    for (int32_t y = 0; y < 96; ++y)
      RX_DIB_raster_get(ctrl().current_image(), y, p.rows[static_cast<size_t>(y)].data(),
                        RX_ROW_PACKED);
    return p.tidy();
  }
};

}  // namespace

TEST_F(CtrlCcitt, LoadsRawFaxDataFromItsOffset) {
  const Picture page = pbm(kData + "page.pbm");
  ccitt_load(behind("page_g4_lsb.raw", 37), 37, 4, 2);
  ASSERT_EQ(host.get_int(kDispErrCount), 0);
  EXPECT_EQ(host.get_int(kDispImageWidth), 240);
  EXPECT_EQ(host.get_int(kDispImageHeight), 96);
  EXPECT_TRUE(current() == page.inverted());
  ccitt_load(behind("page_g3.raw", 5), 5, 3, 1);
  ASSERT_EQ(host.get_int(kDispErrCount), 0);
  EXPECT_TRUE(current() == page.inverted());
  EXPECT_EQ(live_slots(), 1);
}

TEST_F(CtrlCcitt, AFailedLoadKeepsThePreviousImage) {
  ccitt_load(kData + "page_g4.raw", 0, 4, 1);
  const RX_HIMAGE before = ctrl().current_image();
  ASSERT_NE(before, 0u);
  ccitt_load(kData + "bad/g4_truncated.raw", 0, 4, 1);
  EXPECT_GT(host.get_int(kDispErrCount), 0);
  EXPECT_EQ(host.get_int(kDispErrorCode), RXE_CANT_READ_PIXEL_DATA);
  EXPECT_EQ(ctrl().current_image(), before);
  ccitt_load(path("missing.raw"), 0, 4, 1);
  EXPECT_EQ(host.get_int(kDispErrorCode), RXE_FILE_OPEN_FAILED);
  EXPECT_EQ(RPb_iRX_image_is_valid(before), 1);
}
