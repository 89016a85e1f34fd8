// The control's scrambling members and AutoDeskew, driven as a host drives
// them: Encrypt and Decrypt over the processing rectangle, the method they
// pass, and deskew with its least angle and auxiliary expand flag.
#include <vector>

#include "IMG_PROC/skew_pages.h"
#include "ocx32/ctrl_harness.h"
#include "rast_dispids.h"

namespace {

using namespace rast;

class CtrlSkew : public test::CtrlTest {
 protected:
  // A bi-level page turned by `degrees`, dark pixels 0 under a black entry 0.
  void load_page(double degrees) {
    const skewpage::Page p = skewpage::text_page(900, 1200, degrees);
    host.put_str(kDispLoadImage, make_bmp("page.bmp", p.width, p.height, 1));
    const RX_HIMAGE image = ctrl().current_image();
    const uint8_t black[3] = {0, 0, 0}, white[3] = {255, 255, 255};
    ASSERT_EQ(RX_palette_entry_set(image, black, 0), 0);
    ASSERT_EQ(RX_palette_entry_set(image, white, 1), 0);
    for (int32_t y = 0; y < p.height; ++y)
      ASSERT_EQ(RX_DIB_raster_set(image, y, &p.bits[size_t(y) * p.stride], RX_ROW_PACKED), 0);
  }
  double skew() {
    double angle = 0;
    EXPECT_EQ(RX_IP_skew_measure(ctrl().current_image(), &angle), 0);
    return angle;
  }
};

TEST_F(CtrlSkew, EncryptAndDecryptActOnTheProcessingRectangle) {
  load(20, 10, 24, 3);
  const auto before = image_rows();
  host.put_i4(kDispImageRectLeft, 5);
  host.put_i4(kDispImageRectTop, 2);
  host.put_str(kDispEncrypt, "secret");
  EXPECT_EQ(host.get_int(kDispErrCount), 0);
  const auto scrambled = image_rows();
  EXPECT_NE(scrambled, before);
  for (int32_t y = 0; y < 10; ++y)
    for (int32_t x = 0; x < 60; ++x) {
      if (y < 2 || x < 15) {
        ASSERT_EQ(scrambled[y][x], before[y][x]) << x / 3 << ", " << y;
      }
    }
  host.put_str(kDispDecrypt, "secret");
  EXPECT_EQ(host.get_int(kDispErrCount), 0);
  EXPECT_EQ(image_rows(), before);
}

TEST_F(CtrlSkew, EncryptPassesTheMethodAndRefusalsLeaveTheImage) {
  load(12, 6, 8, 4);
  const auto before = image_rows();
  host.put_i2(kDispEncryptMethod, 1);
  host.put_str(kDispEncrypt, "secret");
  EXPECT_EQ(host.get_int(kDispErrCount), 1);
  EXPECT_EQ(host.get_int(kDispErrorCode), RXE_INVALID_ENCRYPTION_MODE);
  EXPECT_EQ(image_rows(), before);
  host.put_i2(kDispEncryptMethod, 0);
  host.put_str(kDispDecrypt, "");
  EXPECT_EQ(host.get_int(kDispErrCount), 1);
  EXPECT_EQ(host.get_int(kDispErrorCode), RXE_INVALID_PASSWORD_LENGTH);
  EXPECT_EQ(image_rows(), before);
}

TEST_F(CtrlSkew, AutoDeskewTurnsAPageBackAndExpandsWithAuxiliaryThree) {
  load_page(4.0);
  host.put_i4(kDispAutoDeskew, 0);
  EXPECT_NEAR(skew(), -4.0, 0.11) << "a write of 0 does nothing";
  host.put_i4(kDispAutoDeskew, 1);
  EXPECT_EQ(host.get_int(kDispErrCount), 0);
  EXPECT_EQ(host.get_int(kDispImageWidth), 900);
  EXPECT_NEAR(skew(), 0.0, 0.15);

  load_page(-2.0);
  aux(3, 1);
  host.put_i4(kDispAutoDeskew, 1);
  EXPECT_EQ(host.get_int(kDispErrCount), 0);
  // The corners (+-450, +-600) turned by 2 degrees reach 450 cos 2 +
  // 600 sin 2 = 470.7 across: 940 wide. The image information follows.
  EXPECT_NEAR(host.get_int(kDispImageWidth), 940, 3);
  EXPECT_EQ(host.get_int(kDispImageRectRight), host.get_int(kDispImageWidth) - 1);
}

TEST_F(CtrlSkew, AutoDeskewRefusesColourImages) {
  load(16, 8, 24, 1);
  const auto before = image_rows();
  host.put_i4(kDispAutoDeskew, 1);
  EXPECT_EQ(host.get_int(kDispErrCount), 1);
  EXPECT_EQ(host.get_int(kDispErrorCode), RXE_INVALID_BIT_COUNT);
  EXPECT_EQ(image_rows(), before);
}
}  // namespace
