// The "Error Report" window on the window layer. The report (the model)
// holds the text; the window's edit shows it and is filled again whenever
// the report is shown or cleared.
#include "rast_error_window.h"

#include <array>
#include <string>

namespace rast {
namespace {

// Where the window keeps its report.
constexpr const char* kReportProperty = "RastErrorReport";
// The save-file dialog's name buffer, as the window has always used.
constexpr int32_t kPathBuffer = 260;

constexpr uint32_t kTextStyle = uint32_t{WS_BORDER} | WS_VSCROLL | WS_TABSTOP | uint32_t{PW_ES_MULTILINE} |
                                 uint32_t{PW_ES_AUTOVSCROLL} | uint32_t{PW_ES_AUTOHSCROLL};

// Positions and sizes in dialog units.
constexpr std::array<pw_dialog_item, 7> kItems{{
    {-1, "ICON", "#202", 7, 15, 18, 20, 0},
    {-1, "STATIC", "Error Stack:", 44, 14, 56, 9, 0},
    {kErrorTextId, "EDIT", "", 43, 28, 197, 105, kTextStyle},
    {kErrorCloseId, "BUTTON", "&Close", 248, 13, 50, 14, uint32_t{PW_BS_DEFPUSHBUTTON} | WS_TABSTOP},
    {kErrorSaveLogId, "BUTTON", "&Save Log...", 248, 31, 49, 13, WS_TABSTOP},
    {kErrorClipboardId, "BUTTON", "&To Clipboard", 248, 48, 49, 13, WS_TABSTOP},
    {kErrorClearLogId, "BUTTON", "&Clear Log", 248, 65, 49, 13, WS_TABSTOP},
}};

constexpr pw_dialog_template kTemplate{"Error Report", "MS Sans Serif", 8, 311, 147,
                                       kItems.data(), static_cast<int32_t>(kItems.size())};

ErrorReport* report_of(HWND dialog) {
  return static_cast<ErrorReport*>(pw_property_get(dialog, kReportProperty));
}

void close_window(HWND dialog, ErrorReport& report) {
  report.hide();
  pw_window_show(dialog, SW_HIDE);
}

// Appends the text to a file the user chooses; a cancelled dialog or a
// file that cannot be opened writes nothing and says nothing.
void save_log(HWND dialog, const ErrorReport& report) {
  pw_file_dialog ask{};
  ask.owner = dialog;
  ask.filter_name = "Log File (*.log)";
  ask.filter_pattern = "*.log";
  ask.initial_name = "";
  ask.flags = PW_OFN_HIDEREADONLY | PW_OFN_NOREADONLYRETURN;
  char path[kPathBuffer] = {};
  if (pw_file_save_dialog(&ask, path, kPathBuffer) != 1) return;
  report.save_log(path);
}

// The clipboard's text format holds the text with its terminating zero.
void copy_to_clipboard(HWND dialog, const ErrorReport& report) {
  if (pw_clipboard_open(dialog) == 0) return;
  pw_clipboard_empty();
  const std::string& text = report.text();
  pw_clipboard_data_set(CF_TEXT, text.c_str(), text.size() + 1);
  pw_clipboard_close();
}

intptr_t window_proc(HWND dialog, uint32_t message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    pw_property_set(dialog, kReportProperty, reinterpret_cast<void*>(lparam));
    return 1;
  }
  ErrorReport* report = report_of(dialog);
  if (report == nullptr) return 0;
  switch (message) {
    case WM_COMMAND:
      switch (PW_LOWORD(wparam)) {
        case PW_IDOK:
        case PW_IDCANCEL: close_window(dialog, *report); return 1;
        case kErrorSaveLogId: save_log(dialog, *report); return 1;
        case kErrorClipboardId: copy_to_clipboard(dialog, *report); return 1;
        case kErrorClearLogId:
          report->clear();
          pw_dialog_item_text_set(dialog, kErrorTextId, "");
          return 1;
        default: return 0;
      }
    case WM_DESTROY:
      // Destroyed from outside: the report makes a new window next time.
      if (report->window() == reinterpret_cast<uintptr_t>(dialog)) report->window_set(0);
      pw_property_remove(dialog, kReportProperty);
      return 0;
    default: return 0;
  }
}

}  // namespace

const pw_dialog_template& error_window_template() { return kTemplate; }

void error_window_show(void*, ErrorReport& report) {
  auto dialog = reinterpret_cast<HWND>(report.window());
  if (dialog == nullptr || !pw_window_valid(dialog)) {
    // The control has no window of its own to lend as owner, so the window
    // stands on its own.
    dialog = pw_dialog_create(&kTemplate, nullptr, window_proc, reinterpret_cast<LPARAM>(&report));
    report.window_set(reinterpret_cast<uintptr_t>(dialog));
    if (dialog == nullptr) return;
  }
  pw_dialog_item_text_set(dialog, kErrorTextId, report.text().c_str());
  pw_window_show(dialog, SW_SHOWNORMAL);
}

void error_window_release(ErrorReport& report) {
  auto dialog = reinterpret_cast<HWND>(report.window());
  report.window_set(0);
  if (dialog != nullptr && pw_window_valid(dialog)) pw_window_destroy(dialog);
}

}  // namespace rast
