// Members with a range keep their value within it, members with a short
// form map the long one, and the tool-window geometry is selected by
// GUIWindow, which starts at none.
#include "ocx32/ctrl_harness.h"
#include "rast_dispids.h"

namespace {

using namespace rast;

class CtrlWriteShape : public test::CtrlTest {};

TEST_F(CtrlWriteShape, DisplayToneValuesAreClampedToTheirRanges) {
  const struct {
    int32_t id;
    double written, read;
  } kCases[] = {{kDispDisplayGamma, 5.0, 3.0},       {kDispDisplayGamma, -1.0, 0.0},
                {kDispDisplayGamma, 2.2, 2.2},       {kDispDisplayBrightness, 300.0, 255.0},
                {kDispDisplayBrightness, -300, -255}, {kDispDisplayContrast, 256.0, 255.0},
                {kDispDisplayContrast, -255.5, -255.0}, {kDispDisplayContrast, -12.5, -12.5}};
  for (const auto& c : kCases) {
    host.put_r8(c.id, c.written);
    EXPECT_DOUBLE_EQ(host.get_r8(c.id), c.read) << c.id << " = " << c.written;
  }
}

TEST_F(CtrlWriteShape, DisplayAngleMapsDegreesAndRefusesOtherValues) {
  const struct {
    int32_t written, read;
  } kCases[] = {{180, 2}, {90, 1}, {270, 3}, {0, 0}, {3, 3}, {1, 1}};
  for (const auto& c : kCases) {
    host.put_i4(kDispDisplayAngle, c.written);
    EXPECT_EQ(host.get_int(kDispDisplayAngle), c.read) << c.written;
  }
  host.put_i4(kDispDisplayAngle, 180);
  host.put_i2(kDispDebugLevel, 1);
  for (int32_t bad : {45, -90, 4, 360}) {
    host.put_i4(kDispDisplayAngle, bad);
    EXPECT_EQ(host.get_int(kDispDisplayAngle), 2) << bad << " leaves the rotation";
  }
  EXPECT_NE(ctrl().error_report().text().find("-3320"), std::string::npos)
      << ctrl().error_report().text();
  EXPECT_EQ(RPb_AF_error_check(), 0) << "the stack is cleared after the report";
}

TEST_F(CtrlWriteShape, DisplayCenteredStoresOneForAnyNonZeroValue) {
  host.put_i4(kDispDisplayCentered, 5);
  EXPECT_NE(host.get_int(kDispDisplayCentered), 0);
  EXPECT_EQ(ctrl().member(kDispDisplayCentered), 1);
  host.put_i4(kDispDisplayCentered, 0);
  EXPECT_EQ(host.get_int(kDispDisplayCentered), 0);
}

TEST_F(CtrlWriteShape, GuiWindowStartsAtNoneAndSelectsEachWindowsGeometry) {
  EXPECT_EQ(host.get_int(kDispGUIWindow), -1);
  EXPECT_EQ(host.get_int(kDispGUIWidth), 0) << "no window selected";
  const int32_t kSizes[4][2] = {{320, 200}, {128, 96}, {128, 96}, {160, 160}};
  for (int16_t w = 0; w < 4; ++w) {
    host.put_i4(kDispGUIWindow, w);
    EXPECT_EQ(host.get_int(kDispGUIWidth), kSizes[w][0]) << w;
    EXPECT_EQ(host.get_int(kDispGUIHeight), kSizes[w][1]) << w;
    EXPECT_EQ(host.get_int(kDispGUIXpos), 0) << w;
  }
  host.put_i4(kDispGUIWindow, 1);
  host.put_i2(kDispGUIXpos, 40);
  host.put_i4(kDispGUIWindow, 2);
  EXPECT_EQ(host.get_int(kDispGUIXpos), 0) << "each window keeps its own";
  host.put_i4(kDispGUIWindow, 1);
  EXPECT_EQ(host.get_int(kDispGUIXpos), 40);
  host.put_i4(kDispGUIWindow, 4);
  EXPECT_EQ(host.get_int(kDispGUIWindow), 1) << "out of range changes nothing";
  EXPECT_EQ(host.get_int(kDispErrorCode), RXE_PARAMETERS_OUT_OF_LIMITS);
  host.put_i4(kDispGUIWindow, -1);
  host.put_i2(kDispGUIWidth, 10);
  EXPECT_EQ(host.get_int(kDispErrorCode), RXE_GUI_WINDOW_TYPE_INVALID);
}

}  // namespace
