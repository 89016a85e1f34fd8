// What the control's library keeps for the whole process: the engine
// callbacks a control installed, and the hook through which the windowing
// layer shows the about box.
#pragma once

#include "rast_error_report.h"

namespace rast {

class CRastCtrl;

// Removes the status and tag callbacks if this control installed them.
void uninstall_engine_callbacks(const CRastCtrl* ctrl);

// Shows the modal about box and returns when it closes.
using AboutBoxHook = void (*)(CRastCtrl* owner, const AboutTexts& texts);
void about_box_hook_set(AboutBoxHook hook);

}  // namespace rast
