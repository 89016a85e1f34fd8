// The error report: the text the "Error Report" window lists, built from
// the engine's error stack, and the log file it appends to. The window
// itself belongs to the windowing layer, which shows this model through a
// hook; without one the text still accumulates, so hosts and tests can read
// what a user would see.
#pragma once

#include <cstdint>
#include <string>

namespace rast {

class ErrorReport;

// Called when the report is to be shown (after the text was appended).
using ErrorReportShowHook = void (*)(void* owner, ErrorReport& report);
void error_report_show_hook_set(ErrorReportShowHook hook);

// One numbered entry: "[i] file (line) Code=c (v1, v2)\r\nmessage\r\n".
std::string error_report_entry(int32_t index, const char* file, int32_t line, int32_t code,
                               int32_t ival, int32_t lval);

class ErrorReport {
 public:
  // Lists the engine's error stack as one block ending with an empty line
  // and shows the window; does nothing when the only error is the user's
  // own cancel. Returns whether it showed anything.
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

 private:
  std::string text_;
  bool visible_ = false;
};

// The three lines of the about box.
struct AboutTexts {
  std::string version;      // "Version 6.03.001"
  std::string build_date;   // "Build date:  Mmm dd yyyy"
  std::string module_path;  // the control library's full path
};
AboutTexts about_texts();

}  // namespace rast
