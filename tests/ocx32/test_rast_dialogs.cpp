// The "Error Report" window and the about box, driven headless through
// their item ids as a user would drive them, with the window layer's
// scripted save-file dialog and clipboard.
#include <fstream>
#include <regex>
#include <utility>
#include <sstream>

#include "ocx32/ctrl_harness.h"
#include "platform/ui_services.h"
#include "platform/window.h"
#include "rast_about_box.h"
#include "rast_dispids.h"
#include "rast_error_window.h"

namespace test {
namespace {

using namespace com;
using namespace rast;

class CtrlDialogs : public CtrlTest {
 protected:
  void SetUp() override {
    CtrlTest::SetUp();
    pw_script_reset();
  }
  void TearDown() override {
    pw_script_reset();
    CtrlTest::TearDown();
  }
  HWND window() { return reinterpret_cast<HWND>(ctrl().error_report().window()); }
  std::string item_text(HWND dialog, int32_t id) {
    const int32_t n = pw_dialog_item_text_get(dialog, id, nullptr, 0);
    std::string s(static_cast<size_t>(n) + 1, '\0');
    pw_dialog_item_text_get(dialog, id, s.data(), n + 1);
    s.resize(static_cast<size_t>(n));
    return s;
  }
  void fail_a_load() { host.put_str(kDispLoadImage, path("missing.bmp")); }
  // Reports on, `loads` failing loads, and the report window they showed.
  HWND reported(int loads = 1) {
    host.put_i4(kDispDebugLevel, 1);
    for (int i = 0; i < loads; ++i) fail_a_load();
    EXPECT_NE(window(), nullptr);
    return window();
  }
};

std::string slurp(const std::string& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

size_t occurrences(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST_F(CtrlDialogs, TheReportWindowIsLaidOutInDialogUnits) {
  struct Want {
    int32_t id;
    const char* cls;
    const char* text;
    int32_t x, y, cx, cy;
  };
  const Want want[] = {{-1, "ICON", "#202", 7, 15, 18, 20},
                       {-1, "STATIC", "Error Stack:", 44, 14, 56, 9},
                       {209, "EDIT", "", 43, 28, 197, 105},
                       {1, "BUTTON", "&Close", 248, 13, 50, 14},
                       {210, "BUTTON", "&Save Log...", 248, 31, 49, 13},
                       {211, "BUTTON", "&To Clipboard", 248, 48, 49, 13},
                       {212, "BUTTON", "&Clear Log", 248, 65, 49, 13}};
  const pw_dialog_template& t = error_window_template();
  EXPECT_STREQ(t.caption, "Error Report");
  EXPECT_STREQ(t.font_name, "MS Sans Serif");
  EXPECT_EQ(t.font_points, 8);
  EXPECT_EQ(t.cx, 311);
  EXPECT_EQ(t.cy, 147);
  ASSERT_EQ(t.item_count, 7);
  for (int32_t i = 0; i < 7; ++i) {
    const pw_dialog_item& it = t.items[i];
    const Want& w = want[i];
    EXPECT_EQ(it.id, w.id) << i;
    EXPECT_STREQ(it.class_name, w.cls) << i;
    EXPECT_STREQ(it.text, w.text) << i;
    EXPECT_EQ((std::vector<int32_t>{it.x, it.y, it.cx, it.cy}), (std::vector<int32_t>{w.x, w.y, w.cx, w.cy})) << i;
  }
  // The error text: a multi-line edit with border, vertical bar, both
  // automatic scrolls and a tab stop; Close is the default button.
  const uint32_t edit = t.items[2].style;
  for (uint32_t bit : {uint32_t{PW_ES_MULTILINE}, uint32_t{PW_ES_AUTOVSCROLL}, uint32_t{PW_ES_AUTOHSCROLL},
                       uint32_t{WS_BORDER}, uint32_t{WS_VSCROLL}, uint32_t{WS_TABSTOP}})
    EXPECT_EQ(edit & bit, bit) << std::hex << bit;
  EXPECT_EQ(edit & PW_ES_READONLY, 0u);
  EXPECT_EQ(t.items[3].style & PW_BS_DEFPUSHBUTTON, uint32_t{PW_BS_DEFPUSHBUTTON});
  EXPECT_EQ(t.items[4].style & PW_BS_DEFPUSHBUTTON, 0u);
}

TEST_F(CtrlDialogs, TwoFailingLoadsLeaveTwoBlocksInTheWindow) {
  host.put_i4(kDispDebugLevel, 1);
  EXPECT_EQ(window(), nullptr) << "made on first use only";
  fail_a_load();
  HWND w = window();
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(pw_dialog_is(w));
  EXPECT_TRUE(pw_window_visible(w));
  char caption[32] = {};
  pw_window_text_get(w, caption, sizeof caption);
  EXPECT_STREQ(caption, "Error Report");
  const std::string one = item_text(w, kErrorTextId);
  fail_a_load();
  EXPECT_EQ(window(), w) << "one window per control";
  const std::string two = item_text(w, kErrorTextId);
  // Each block numbers its entries from 0 and ends with an empty line.
  EXPECT_EQ(occurrences(two, "[0] "), 2u);
  EXPECT_EQ(two, one + one);
  EXPECT_EQ(two.substr(two.size() - 4), "\r\n\r\n");
  EXPECT_EQ(two, ctrl().error_report().text());
}

TEST_F(CtrlDialogs, CloseHidesAndTheNextErrorShowsTheSameWindowWithBothBlocks) {
  HWND w = reported();
  ASSERT_NE(w, nullptr);
  const std::string one = item_text(w, kErrorTextId);
  const int32_t windows = pw_window_count();
  const auto hidden = [&] { return pw_window_valid(w) && !pw_window_visible(w); };
  ASSERT_EQ(pw_dialog_item_click(w, kErrorCloseId), 1);
  EXPECT_TRUE(hidden()) << "hidden, not destroyed";
  EXPECT_FALSE(ctrl().error_report().visible());
  fail_a_load();
  EXPECT_EQ(window(), w);
  EXPECT_EQ(pw_window_count(), windows);
  EXPECT_TRUE(pw_window_visible(w));
  EXPECT_EQ(item_text(w, kErrorTextId), one + one);
  // The window's close box and Escape hide it as well.
  pw_message_send(w, WM_CLOSE, 0, 0);
  EXPECT_TRUE(hidden());
  fail_a_load();
  pw_message_send(w, WM_COMMAND, PW_IDCANCEL, 0);
  EXPECT_TRUE(hidden());
}

TEST_F(CtrlDialogs, SavingTheLogTwiceWritesTheTextTwice) {
  HWND w = reported(2);
  ASSERT_NE(w, nullptr);
  const std::string text = item_text(w, kErrorTextId);
  const std::string log = path("report.log");
  pw_script_file_answer(log.c_str());
  pw_script_file_answer(log.c_str());
  ASSERT_EQ(pw_dialog_item_click(w, kErrorSaveLogId), 1);
  EXPECT_EQ(slurp(log), text);
  ASSERT_EQ(pw_dialog_item_click(w, kErrorSaveLogId), 1);
  EXPECT_EQ(slurp(log), text + text) << "appended, never overwritten";
  // The dialog was asked for log files.
  char asked[64] = {};
  ASSERT_EQ(pw_script_asked_count(), 2);
  EXPECT_EQ(pw_script_asked(0, asked, sizeof asked), 1);
  EXPECT_STREQ(asked, "*.log");
  // Cancelled: nothing written.
  ASSERT_EQ(pw_dialog_item_click(w, kErrorSaveLogId), 1);
  EXPECT_EQ(slurp(log), text + text);
  // A file that cannot be opened: nothing written, nothing shown.
  const std::string bad = path("no/such/folder/x.log");
  pw_script_file_answer(bad.c_str());
  const int32_t windows = pw_window_count();
  ASSERT_EQ(pw_dialog_item_click(w, kErrorSaveLogId), 1);
  EXPECT_FALSE(std::filesystem::exists(bad));
  EXPECT_EQ(pw_window_count(), windows);
}

TEST_F(CtrlDialogs, ToClipboardPutsTheTextOnTheClipboard) {
  HWND w = reported();
  ASSERT_NE(w, nullptr);
  const std::string text = item_text(w, kErrorTextId);
  ASSERT_EQ(pw_dialog_item_click(w, kErrorClipboardId), 1);
  ASSERT_EQ(pw_clipboard_open(nullptr), 1);
  size_t size = 0;
  const auto* bytes = static_cast<const char*>(pw_clipboard_data_get(CF_TEXT, &size));
  ASSERT_NE(bytes, nullptr);
  // The text and its terminating zero.
  EXPECT_EQ(size, text.size() + 1);
  EXPECT_EQ(std::string(bytes, size), text + '\0');
  pw_clipboard_empty();
  pw_clipboard_close();
}

TEST_F(CtrlDialogs, ClearLogEmptiesTheTextAndTheNextBlockStandsAlone) {
  HWND w = reported();
  ASSERT_NE(w, nullptr);
  const std::string one = item_text(w, kErrorTextId);
  ASSERT_EQ(pw_dialog_item_click(w, kErrorClearLogId), 1);
  EXPECT_EQ(item_text(w, kErrorTextId), "");
  EXPECT_EQ(ctrl().error_report().text(), "");
  EXPECT_TRUE(pw_window_visible(w)) << "clearing does not close";
  fail_a_load();
  EXPECT_EQ(item_text(w, kErrorTextId), one);
}

TEST_F(CtrlDialogs, TheWindowGoesWithItsControlAndComesBackWhenDestroyedOutside) {
  const int32_t before = pw_window_count();
  HWND w = reported();
  ASSERT_NE(w, nullptr);
  EXPECT_GT(pw_window_count(), before);
  // Destroyed by someone else: the next report makes a new one.
  pw_window_destroy(w);
  EXPECT_EQ(window(), nullptr);
  EXPECT_EQ(pw_window_count(), before);
  fail_a_load();
  ASSERT_NE(window(), nullptr);
  EXPECT_TRUE(pw_window_visible(window()));
  // A second control has a window of its own; each goes with its control.
  void* out = nullptr;
  ASSERT_EQ(CRastCtrl::create(IID_IDispatch, &out), S_OK);
  auto* other = static_cast<CRastCtrl*>(static_cast<IDispatch*>(out));
  Host second{other};
  second.put_i4(kDispDebugLevel, 1);
  second.put_str(kDispLoadImage, path("missing.bmp"));
  ASSERT_NE(other->error_report().window(), 0u);
  EXPECT_NE(reinterpret_cast<HWND>(other->error_report().window()), window());
  const int32_t with_both = pw_window_count();
  EXPECT_EQ(other->Release(), 0u);
  EXPECT_LT(pw_window_count(), with_both);
  EXPECT_TRUE(pw_window_valid(window()));
}

ErrorReport* g_hooked = nullptr;
void hook(void*, ErrorReport& report) { g_hooked = &report; }

TEST_F(CtrlDialogs, AShowHookTakesThePlaceOfTheWindow) {
  host.put_i4(kDispDebugLevel, 1);
  error_report_show_hook_set(hook);
  g_hooked = nullptr;
  fail_a_load();
  error_report_show_hook_set(nullptr);
  EXPECT_EQ(g_hooked, &ctrl().error_report());
  EXPECT_EQ(window(), nullptr);
  fail_a_load();
  ASSERT_NE(window(), nullptr) << "null puts the window back";
  EXPECT_EQ(occurrences(item_text(window(), kErrorTextId), "[0] "), 2u);
}

// The about box as a user sees it: read its items, then press a button.
struct AboutSeen {
  std::string caption, version, build_date, path;
  int32_t press = kAboutOkId;
  int calls = 0;
  static void handler(void* user, HWND dialog) {
    auto* s = static_cast<AboutSeen*>(user);
    ++s->calls;
    char text[4096] = {};
    pw_window_text_get(dialog, text, sizeof text);
    s->caption = text;
    for (auto [id, into] : {std::pair{kAboutVersionId, &s->version}, {kAboutBuildDateId, &s->build_date},
                            {kAboutPathId, &s->path}}) {
      pw_dialog_item_text_get(dialog, id, text, sizeof text);
      *into = text;
    }
    // Escape is Cancel; the box has no Cancel button.
    if (s->press == PW_IDCANCEL) pw_message_send(dialog, WM_COMMAND, PW_IDCANCEL, 0);
    else if (s->press != 0) pw_dialog_item_click(dialog, s->press);
  }
};

TEST_F(CtrlDialogs, TheAboutBoxShowsVersionBuildDateAndLibrary) {
  const pw_dialog_template& t = about_box_template();
  EXPECT_STREQ(t.caption, "About Rastrix OCX-32");
  EXPECT_EQ((std::vector<int32_t>{t.cx, t.cy, t.font_points}), (std::vector<int32_t>{261, 85, 8}));
  // id, x, y of the OK button and the three lines.
  std::vector<std::vector<int32_t>> places;
  for (int32_t i = 0; i < t.item_count; ++i)
    if (t.items[i].id != -1) places.push_back({t.items[i].id, t.items[i].x, t.items[i].y});
  EXPECT_EQ(places, (std::vector<std::vector<int32_t>>{{1, 215, 15}, {207, 15, 38}, {208, 16, 52}, {201, 15, 66}}));

  AboutSeen seen;
  pw_script_dialog_handler(&AboutSeen::handler, &seen);
  host.put_bool(kDispAbout, true);
  pw_script_dialog_handler(nullptr, nullptr);
  ASSERT_EQ(seen.calls, 1);
  EXPECT_EQ(seen.caption, "About Rastrix OCX-32");
  EXPECT_EQ(seen.version, "Version 6.03.001");
  // Three-letter month, day padded with a space to two, four-digit year.
  EXPECT_TRUE(std::regex_match(seen.build_date, std::regex("Build date:  [A-Z][a-z]{2} [ 1-3][0-9] [0-9]{4}")))
      << seen.build_date;
  EXPECT_EQ(seen.path, ctrl().about_box_texts().module_path);
  EXPECT_FALSE(seen.path.empty());
  EXPECT_EQ(host.get_int(kDispAbout), 0) << "reset once the box closed";
}

TEST_F(CtrlDialogs, AboutBoxResultsAndTheMethod) {
  const int32_t windows = pw_window_count();
  AboutSeen seen;
  pw_script_dialog_handler(&AboutSeen::handler, &seen);
  EXPECT_EQ(about_box_run(ctrl().about_box_texts()), 1) << "OK";
  seen.press = PW_IDCANCEL;
  EXPECT_EQ(about_box_run(ctrl().about_box_texts()), 0) << "Cancel";
  seen.press = 0;
  EXPECT_EQ(about_box_run(ctrl().about_box_texts()), 0) << "left open: ends as Cancel";
  // The stock method opens it; writing FALSE does not.
  DISPPARAMS none{};
  const int before = seen.calls;
  ASSERT_EQ(host.disp->Invoke(kDispAboutBox, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
            S_OK);
  EXPECT_EQ(seen.calls, before + 1);
  host.put_bool(kDispAbout, false);
  EXPECT_EQ(seen.calls, before + 1);
  pw_script_dialog_handler(nullptr, nullptr);
  EXPECT_EQ(pw_window_count(), windows) << "no box left behind";
}

}  // namespace
}  // namespace test
