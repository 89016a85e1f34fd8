// The help texts, printed by --help, `rastrix help` and after usage errors.
#pragma once

#include "command_line.h"

namespace rxcli {

const char* help_text(HelpTopic topic);

}  // namespace rxcli
