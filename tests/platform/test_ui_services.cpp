// The desktop services headless: the scripted stand-in's answers, the
// clipboard store, and dialogs from templates driven by item id.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/ui_services.h"
#include "window_test_util.h"

namespace {

class UiServices : public ::testing::Test {
 protected:
  void SetUp() override { pw_script_reset(); }
  void TearDown() override {
    pw_script_reset();
    pw_messages_pump(nullptr);
  }
};

TEST_F(UiServices, FileDialogTakesScriptedAnswersInOrder) {
  pw_file_dialog d{nullptr, nullptr, "Log File (*.log)", "*.log", "", PW_OFN_HIDEREADONLY | PW_OFN_NOREADONLYRETURN};
  char name[260] = "untouched";
  EXPECT_EQ(pw_file_save_dialog(&d, name, sizeof name), 0) << "no answer queued: cancelled";
  pw_script_file_answer("/tmp/errors.log");
  pw_script_file_answer(nullptr);
  EXPECT_EQ(pw_file_save_dialog(&d, name, sizeof name), 1);
  EXPECT_STREQ(name, "/tmp/errors.log");
  EXPECT_EQ(pw_file_save_dialog(&d, name, sizeof name), 0);
  pw_script_file_answer("/a/name/longer/than/the/buffer.log");
  char small[8];
  EXPECT_EQ(pw_file_save_dialog(&d, small, sizeof small), 0) << "a name that does not fit is no answer";
  ASSERT_EQ(pw_script_asked_count(), 4);
  char text[64];
  EXPECT_EQ(pw_script_asked(0, text, sizeof text), 1);
  EXPECT_STREQ(text, "*.log");
}

TEST_F(UiServices, ColourDialogAndMessageBoxes) {
  COLORREF c = 0;
  EXPECT_EQ(pw_colour_dialog(nullptr, PG_RGB(1, 2, 3), nullptr, &c), 0);
  pw_script_colour_answer(1, PG_RGB(255, 255, 255));
  EXPECT_EQ(pw_colour_dialog(nullptr, PG_RGB(1, 2, 3), nullptr, &c), 1);
  EXPECT_EQ(c, PG_RGB(255, 255, 255));
  EXPECT_EQ(pw_message_box(nullptr, "Done.", "KaveloConvert", PW_MB_OK), PW_IDOK);
  EXPECT_EQ(pw_message_box(nullptr, "Again?", "Question", PW_MB_YESNO), PW_IDYES);
  pw_script_message_answer(PW_IDNO);
  EXPECT_EQ(pw_message_box(nullptr, "Again?", "Question", PW_MB_YESNO), PW_IDNO);
  char text[64];
  EXPECT_EQ(pw_script_asked(3, text, sizeof text), 3);
  EXPECT_STREQ(text, "Question\nAgain?");
}

TEST_F(UiServices, ClipboardHoldsCopiesAndOwnsHandles) {
  EXPECT_EQ(pw_clipboard_data_set(CF_DIB, "x", 1), 0) << "closed";
  ASSERT_EQ(pw_clipboard_open(nullptr), 1);
  EXPECT_EQ(pw_clipboard_open(nullptr), 0) << "one opener at a time";
  pw_clipboard_empty();
  uint8_t dib[44] = {40};
  ASSERT_EQ(pw_clipboard_data_set(CF_DIB, dib, sizeof dib), 1);
  dib[0] = 0;  // the clipboard kept its own copy
  HBITMAP bm = pg_bitmap_create(4, 4, 1, 1, nullptr);
  ASSERT_EQ(pw_clipboard_bitmap_set(bm), 1);
  pw_clipboard_close();
  EXPECT_TRUE(pw_clipboard_format_available(CF_DIB));
  EXPECT_TRUE(pw_clipboard_format_available(CF_BITMAP));
  EXPECT_FALSE(pw_clipboard_format_available(CF_TEXT));
  EXPECT_EQ(pw_clipboard_data_get(CF_DIB, nullptr), nullptr) << "reading needs it open";
  pw_clipboard_open(nullptr);
  size_t size = 0;
  auto* p = static_cast<const uint8_t*>(pw_clipboard_data_get(CF_DIB, &size));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(size, 44u);
  EXPECT_EQ(p[0], 40);
  EXPECT_EQ(pw_clipboard_bitmap_get(), bm);
  pw_clipboard_empty();
  pg_bitmap_info info{};
  EXPECT_EQ(pg_bitmap_info_get(bm, &info), 0) << "emptying deleted the bitmap it owned";
  EXPECT_FALSE(pw_clipboard_format_available(CF_DIB));
  pw_clipboard_close();
}

// The error report's layout: ids, classes, texts and places in dialog units.
const pw_dialog_item kReportItems[] = {
    {-1, "ICON", "", 7, 15, 18, 20, 0},
    {-1, "STATIC", "Error Stack:", 44, 14, 56, 9, 0},
    {209, "EDIT", "", 43, 28, 197, 105, PW_ES_MULTILINE | PW_ES_AUTOVSCROLL | PW_ES_AUTOHSCROLL},
    {1, "BUTTON", "&Close", 248, 13, 50, 14, PW_BS_DEFPUSHBUTTON},
    {210, "BUTTON", "&Save Log...", 248, 31, 49, 13, 0},
    {211, "BUTTON", "&To Clipboard", 248, 48, 49, 13, 0},
    {212, "BUTTON", "&Clear Log", 248, 65, 49, 13, 0}};
const pw_dialog_template kReport = {"Error Report", "MS Sans Serif", 8, 311, 147, kReportItems, 7};

int g_clears = 0;
intptr_t report_proc(HWND dlg, uint32_t m, WPARAM w, LPARAM) {
  if (m == WM_COMMAND && PW_LOWORD(w) == 212) {
    pw_dialog_item_text_set(dlg, 209, "");
    ++g_clears;
    return 1;
  }
  return 0;
}

TEST_F(UiServices, ModelessDialogDrivenByItemId) {
  HWND dlg = pw_dialog_create(&kReport, nullptr, report_proc, 0);
  ASSERT_NE(dlg, nullptr);
  EXPECT_TRUE(pw_dialog_is(dlg));
  EXPECT_TRUE(pw_window_visible(dlg));
  char caption[32];
  pw_window_text_get(dlg, caption, sizeof caption);
  EXPECT_STREQ(caption, "Error Report");
  pw_dialog_item_text_set(dlg, 209, "[0] source Code=-3320\r\n");
  char text[64];
  EXPECT_EQ(pw_dialog_item_text_get(dlg, 209, text, sizeof text), 23);
  g_clears = 0;
  ASSERT_EQ(pw_dialog_item_click(dlg, 212), 1);
  EXPECT_EQ(g_clears, 1);
  EXPECT_EQ(pw_dialog_item_text_get(dlg, 209, text, sizeof text), 0);
  EXPECT_EQ(pw_dialog_item_click(dlg, 999), 0) << "no such item";
  // Items sit where their dialog units say: x * 6 / 4, y * 12 / 8.
  pg_rect r{};
  pw_window_rect_get(pw_dialog_item_get(dlg, 210), &r);
  EXPECT_EQ(r.left, 372);
  EXPECT_EQ(r.top, 46);
  EXPECT_EQ(r.right - r.left, 73);
  pg_rect client{};
  pw_client_rect_get(dlg, &client);
  EXPECT_EQ(client.right, 466);
  EXPECT_EQ(client.bottom, 220);
  // Close hides the dialog and ends it with the button's id.
  pw_dialog_item_click(dlg, 1);
  intptr_t result = 0;
  EXPECT_TRUE(pw_dialog_ended(dlg, &result));
  EXPECT_EQ(result, 1);
  EXPECT_FALSE(pw_window_visible(dlg));
  pw_window_destroy(dlg);
}

const pw_dialog_item kAboutItems[] = {{1, "BUTTON", "OK", 215, 15, 32, 14, PW_BS_DEFPUSHBUTTON},
                                      {207, "STATIC", "", 15, 38, 230, 8, 0}};
const pw_dialog_template kAbout = {"About Rastrix OCX-32", "MS Sans Serif", 8, 261, 85, kAboutItems, 2};

intptr_t about_proc(HWND dlg, uint32_t m, WPARAM, LPARAM l) {
  if (m == WM_INITDIALOG) {
    pw_dialog_item_text_set(dlg, 207, reinterpret_cast<const char*>(l));
    return 1;
  }
  return 0;
}

std::string g_about_text;
void press_ok(void*, HWND dlg) {
  char text[64];
  pw_dialog_item_text_get(dlg, 207, text, sizeof text);
  g_about_text = text;
  pw_dialog_item_click(dlg, 1);
}

TEST_F(UiServices, ModalDialogIsDrivenByTheScriptedHandler) {
  const char* version = "Version 6.03.001";
  pw_script_dialog_handler(press_ok, nullptr);
  EXPECT_EQ(pw_dialog_box(&kAbout, nullptr, about_proc, reinterpret_cast<LPARAM>(version)), 1);
  EXPECT_EQ(g_about_text, version);
  pw_script_dialog_handler(nullptr, nullptr);
  EXPECT_EQ(pw_dialog_box(&kAbout, nullptr, about_proc, reinterpret_cast<LPARAM>(version)), PW_IDCANCEL)
      << "with nobody to press a button it ends with Cancel";
  char text[64];
  EXPECT_EQ(pw_script_asked(0, text, sizeof text), 4);
  EXPECT_STREQ(text, "About Rastrix OCX-32");
}

}  // namespace
