// A write whose operation fails shows the failure in ErrCount, ErrString
// and ErrorCode afterwards, although the steps that follow the operation
// make engine calls of their own.
#include <filesystem>
#include <fstream>

#include "ocx32/ctrl_harness.h"
#include "rast_dispids.h"

namespace {

using namespace rast;

class CtrlErrorHold : public test::CtrlTest {};

TEST_F(CtrlErrorHold, APageThatFailsToLoadStaysReported) {
  const std::string file = make_bmp("page.bmp", 8, 8);
  host.put_str(kDispLoadImage, file);
  ASSERT_EQ(host.get_int(kDispErrCount), 0);
  // The file turns bad between the load and the page write.
  std::ofstream(file, std::ios::binary | std::ios::trunc) << "BM broken";
  host.put_i4(kDispPage, 1);
  EXPECT_GT(host.get_int(kDispErrCount), 0);
  EXPECT_NE(host.get_str(kDispErrString), "Success");
  EXPECT_NE(host.get_int(kDispErrorCode), 0);
  EXPECT_EQ(RPb_AF_error_check(), host.get_int(kDispErrCount)) << "the engine's entries too";
}

TEST_F(CtrlErrorHold, AMergeThatFailsStaysReportedAndFiresOnce) {
  test::RecordingSink& sink = connect();
  host.put_i2(kDispDebugLevel, 2);
  host.put_str(kDispLoadImage, make_bmp("base.bmp", 8, 8, 24));
  ASSERT_EQ(host.get_int(kDispErrCount), 0);
  // An 8-bit file and a 24-bit image are not merged.
  host.put_bool(kDispLoadMerge, true);
  host.put_str(kDispLoadImage, make_bmp("grey.bmp", 8, 8, 8));
  EXPECT_GT(host.get_int(kDispErrCount), 0);
  EXPECT_EQ(host.get_int(kDispErrorCode), RXE_INCOMPATIBLE_DIBS);
  EXPECT_EQ(host.get_str(kDispErrString), RX_error_message_get(RXE_INCOMPATIBLE_DIBS));
  EXPECT_EQ(sink.count(kEventError), 1u);
}

TEST_F(CtrlErrorHold, TheNextWriteThatSucceedsClearsIt) {
  const std::string file = make_bmp("ok.bmp", 8, 8);
  host.put_str(kDispLoadImage, path("missing.bmp"));
  ASSERT_GT(host.get_int(kDispErrCount), 0);
  host.put_str(kDispLoadImage, file);
  EXPECT_EQ(host.get_int(kDispErrCount), 0);
  EXPECT_EQ(host.get_str(kDispErrString), "Success");
}

}  // namespace
