// The about box: a modal dialog built from its template, showing the
// engine's version, its build date and the control library's path.
#pragma once

#include <cstdint>

#include "platform/ui_services.h"
#include "rast_error_report.h"

namespace rast {

class CRastCtrl;

// Item ids of the box.
enum : int32_t {
  kAboutOkId = 1,
  kAboutVersionId = 207,
  kAboutBuildDateId = 208,
  kAboutPathId = 201,
};

const pw_dialog_template& about_box_template();

// Runs the box until the user closes it: 1 for OK, 0 for Cancel (Escape
// or the close box), -1 when it could not be made.
intptr_t about_box_run(const AboutTexts& texts);

// The default about-box hook of the control.
void about_box_show(CRastCtrl* owner, const AboutTexts& texts);

}  // namespace rast
