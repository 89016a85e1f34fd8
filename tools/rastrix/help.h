// The help texts, printed by --help, `rastrix help` and after usage errors.
#pragma once

#include <string>

#include "command_line.h"

namespace rxcli {

std::string help_text(HelpTopic topic);

}  // namespace rxcli
