// The "Error Report" window: a modeless dialog built from its template,
// one per error report (so one per control), created on first use and
// hidden, never destroyed, when closed. Its buttons act on the report:
// "&Save Log..." appends the text to a file the user names, "&To Clipboard"
// copies it, "&Clear Log" empties it.
#pragma once

#include <cstdint>

#include "platform/ui_services.h"
#include "rast_error_report.h"

namespace rast {

// Item ids of the window.
enum : int32_t {
  kErrorCloseId = 1,
  kErrorIconResource = 202,  // the control's icon, also the template's number
  kErrorTextId = 209,
  kErrorSaveLogId = 210,
  kErrorClipboardId = 211,
  kErrorClearLogId = 212,
};

const pw_dialog_template& error_window_template();

// Shows the report: creates the window when the report has none (or its
// window is gone), puts the report's text in it and shows it.
void error_window_show(void* owner, ErrorReport& report);
// Destroys the report's window, if any (the control going away).
void error_window_release(ErrorReport& report);

}  // namespace rast
