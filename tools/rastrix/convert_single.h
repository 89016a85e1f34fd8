// `rastrix convert IN OUT`: one file, one page.
#pragma once

#include "command_line.h"

namespace rxcli {

int run_convert(const ConvertRequest& request);

}  // namespace rxcli
