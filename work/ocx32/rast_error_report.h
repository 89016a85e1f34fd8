// The error report: the text the "Error Report" window lists, built from
// the engine's error stack, and the log file it appends to. The window
// (rast_error_window.h) shows this model, unless a host or test puts a show
// hook in its place. The text accumulates either way, so hosts and
// tests can read what a user would see.
#pragma once

#include <cstdint>
#include <string>

namespace rast {

class ErrorReport;

// Called when the report is to be shown (after the text was appended), in
// place of the control's "Error Report" window; null puts the window back.
using ErrorReportShowHook = void (*)(void* owner, ErrorReport& report);
void error_report_show_hook_set(ErrorReportShowHook hook);
bool error_report_hooked();

// One numbered entry: "[i] file (line) Code=c (v1, v2)\r\nmessage\r\n".
std::string error_report_entry(int32_t index, const char* file, int32_t line, int32_t code,
                               int32_t ival, int32_t lval);

class ErrorReport {
 public:
  ErrorReport() = default;
  ErrorReport(const ErrorReport&) = delete;
  ErrorReport& operator=(const ErrorReport&) = delete;

  // Lists the engine's error stack as one block ending with an empty line,
  // marks the report shown and calls the show hook, if one is set; does
  // nothing when the only error is the user's own cancel. Returns whether
  // there is anything to show (the control then shows its window).
  bool show_stack(void* owner);

  const std::string& text() const { return text_; }
  bool visible() const { return visible_; }
  // "&Close" and the window's close command hide it; the text stays.
  void hide() { visible_ = false; }
  // "&Clear Log".
  void clear() { text_.clear(); }
  // "&Save Log...": appends exactly the text to the file, creating it when
  // absent. False when the file cannot be opened or written.
  bool save_log(const char* path) const;

  // The window showing the report (a window-layer handle), 0 before its
  // first use.
  uintptr_t window() const { return window_; }
  void window_set(uintptr_t window) { window_ = window; }

 private:
  std::string text_;
  bool visible_ = false;
  uintptr_t window_ = 0;
};

// The three lines of the about box.
struct AboutTexts {
  std::string version;      // "Version 6.03.001"
  std::string build_date;   // "Build date:  Mmm dd yyyy"
  std::string module_path;  // the control library's full path
};
AboutTexts about_texts();

}  // namespace rast
