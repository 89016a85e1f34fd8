// Events, the error report and its log, and the engine callbacks behind the
// status and tag events.
#include <fstream>
#include <sstream>

#include "ocx32/ctrl_harness.h"
#include "rast_dispids.h"
#include "rast_error_report.h"

namespace test {
namespace {

using namespace com;
using namespace rast;

using CtrlEvents = CtrlTest;

std::string slurp(const std::string& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST_F(CtrlEvents, DebugLevelZeroIsSilentAndTwoFiresBeforeTheReport) {
  RecordingSink& sink = connect();
  host.put_str(kDispLoadImage, path("missing.bmp"));
  EXPECT_GT(host.get_int(kDispErrCount), 0);
  EXPECT_EQ(sink.count(kEventError), 0u);
  EXPECT_FALSE(ctrl().error_report().visible());
  EXPECT_EQ(ctrl().error_report().text(), "");

  host.put_i4(kDispDebugLevel, 2);
  host.put_str(kDispLoadImage, path("missing.bmp"));
  ASSERT_EQ(sink.count(kEventError), 1u);
  EXPECT_EQ(sink.events.back().ints.at(0), host.get_int(kDispErrCount));
  EXPECT_TRUE(ctrl().error_report().visible());
}

TEST_F(CtrlEvents, ReportAccumulatesBlocksEndingWithAnEmptyLine) {
  host.put_i4(kDispDebugLevel, 1);
  host.put_str(kDispLoadImage, path("missing.bmp"));
  const std::string one = ctrl().error_report().text();
  ASSERT_FALSE(one.empty());
  EXPECT_EQ(one.rfind("[0] ", 0), 0u);
  EXPECT_EQ(one.substr(one.size() - 4), "\r\n\r\n");
  host.put_str(kDispLoadImage, path("missing.bmp"));
  EXPECT_EQ(ctrl().error_report().text(), one + one);
  ctrl().error_report().clear();
  EXPECT_EQ(ctrl().error_report().text(), "");
}

TEST_F(CtrlEvents, EntryLinesCarryTheMessageOrErrorNotFound) {
  EXPECT_EQ(error_report_entry(0, "load.cpp", 42, RXE_INTERRUPTED_BY_USER, 3, 7),
            "[0] load.cpp (42) Code=-2113 (3, 7)\r\nInterrupted by user\r\n");
  EXPECT_EQ(error_report_entry(2, "x.cpp", 1, -4242, 0, 0),
            "[2] x.cpp (1) Code=-4242 (0, 0)\r\nError Not Found\r\n");
}

TEST_F(CtrlEvents, SavingTheLogTwiceAppendsTheTextTwice) {
  host.put_i4(kDispDebugLevel, 1);
  host.put_str(kDispLoadImage, path("missing.bmp"));
  const std::string log = path("errors.log");
  ASSERT_TRUE(ctrl().error_report().save_log(log.c_str()));
  ASSERT_TRUE(ctrl().error_report().save_log(log.c_str()));
  const std::string text = ctrl().error_report().text();
  EXPECT_EQ(slurp(log), text + text);
  EXPECT_FALSE(ctrl().error_report().save_log(path("no/such/dir/x.log").c_str()));
}

TEST_F(CtrlEvents, StatusCountsToOneHundredOnce) {
  host.put_str(kDispLoadImage, make_bmp("a.bmp", 16, 50));
  RecordingSink& sink = connect();
  host.put_bool(kDispStatusEvent, true);
  host.put_str(kDispLoadImage, path("a.bmp"));
  ASSERT_GT(sink.count(kEventStatus), 0u);
  int64_t last = -1;
  for (const auto& e : sink.events) {
    if (e.id != kEventStatus) continue;
    EXPECT_GT(e.ints[0], last);
    last = e.ints[0];
  }
  EXPECT_EQ(last, 100);
  // Without a fresh TRUE the percentage stays at 100: nothing more fires.
  const size_t fired = sink.count(kEventStatus);
  host.put_str(kDispLoadImage, path("a.bmp"));
  EXPECT_EQ(sink.count(kEventStatus), fired);
}

TEST_F(CtrlEvents, CancelStopsTheLoadAndKeepsThePreviousImage) {
  host.put_str(kDispLoadImage, make_bmp("a.bmp", 16, 50));
  const std::string b = make_bmp("b.bmp", 16, 40);
  const RX_HIMAGE before = ctrl().current_image();
  RecordingSink& sink = connect();
  sink.cancel_at_percent = 30;
  host.put_i4(kDispDebugLevel, 1);
  host.put_bool(kDispStatusEvent, true);
  host.put_str(kDispLoadImage, b);
  EXPECT_GT(host.get_int(kDispErrCount), 0);
  EXPECT_EQ(host.get_int(kDispErrorCode), RXE_INTERRUPTED_BY_USER);
  EXPECT_EQ(ctrl().current_image(), before);
  EXPECT_EQ(RPb_iRX_image_is_valid(before), 1);
  // The user's own cancel alone shows no report.
  EXPECT_FALSE(ctrl().error_report().visible());
}

TEST_F(CtrlEvents, TagsCarryTheirValueInTheMatchingParameter) {
  const std::string a = make_bmp("a.bmp", 7, 5);
  RecordingSink& sink = connect();
  host.put_i2(kDispTagEvent, 1);
  host.put_str(kDispLoadImage, a);
  ASSERT_GT(sink.count(kEventTag), 0u);
  bool planes = false, header = false;
  for (const auto& e : sink.events) {
    if (e.id != kEventTag) continue;
    ASSERT_EQ(e.ints.size(), 5u);  // TagID, TagType, TagSize, WordVal, LongVal
    if (e.ints[0] == 103) {       // planes: a 16-bit value
      planes = true;
      EXPECT_EQ(e.ints[1], 3);
      EXPECT_EQ(e.ints[3], 1);
      EXPECT_EQ(e.ints[4], 0);
    }
    if (e.ints[0] == 100) {  // header size: a 32-bit value
      header = true;
      EXPECT_EQ(e.ints[1], 4);
      EXPECT_EQ(e.ints[3], 0);
      EXPECT_EQ(e.ints[4], 40);
    }
  }
  EXPECT_TRUE(planes);
  EXPECT_TRUE(header);
  const size_t fired = sink.count(kEventTag);
  host.put_i2(kDispTagEvent, 0);
  host.put_str(kDispLoadImage, a);
  EXPECT_EQ(sink.count(kEventTag), fired);
}

TEST_F(CtrlEvents, CallbacksDoNotOutliveTheControlThatInstalledThem) {
  void* out = nullptr;
  ASSERT_EQ(CRastCtrl::create(IID_IDispatch, &out), S_OK);
  Host other{static_cast<IDispatch*>(out)};
  other.put_bool(kDispStatusEvent, true);
  other.put_i2(kDispTagEvent, 1);
  RX_STATUS_CB cb = nullptr;
  uintptr_t user = 0;
  RPb_status_callback_get(&cb, &user);
  EXPECT_NE(cb, nullptr);
  EXPECT_EQ(other.disp->Release(), 0u);
  RPb_status_callback_get(&cb, &user);
  EXPECT_EQ(cb, nullptr);
  // Loading after the control went away reaches no dead control.
  host.put_str(kDispLoadImage, make_bmp("a.bmp", 4, 4));
  EXPECT_EQ(host.get_int(kDispErrCount), 0);
}

TEST_F(CtrlEvents, ThumbnailChoiceReachesTheHost) {
  RecordingSink& sink = connect();
  CRastCtrl::thumbnail_choice_routine(reinterpret_cast<uintptr_t>(&ctrl()), 0, "/p/a.bmp",
                                      nullptr, 3);
  ASSERT_EQ(sink.count(kEventThumbnail), 1u);
  EXPECT_EQ(sink.events.back().texts.at(0), "/p/a.bmp");
  EXPECT_EQ(sink.events.back().ints.at(0), 3);
}

TEST_F(CtrlEvents, DisplayWhileLoadingTakesTheProgressivePath) {
  const std::string a = make_bmp("a.bmp", 9, 9);
  host.put_bool(kDispDisplayWhileLoading, true);
  host.put_str(kDispLoadImage, a);
  EXPECT_EQ(host.get_int(kDispErrCount), 0);
  EXPECT_EQ(ctrl().progressive_images(), 1);
  EXPECT_EQ(host.get_int(kDispImageWidth), 9);
}

TEST_F(CtrlEvents, AboutResetsAfterTheBoxCloses) {
  host.put_bool(kDispAbout, true);
  EXPECT_EQ(host.get_int(kDispAbout), 0);
}

}  // namespace
}  // namespace test
