// `rastrix info`: one line per file describing its format, compression,
// dimensions and pages, as tab-separated fields or as JSON.
#pragma once

#include "command_line.h"

namespace rxcli {

int run_info(const InfoRequest& request);

}  // namespace rxcli
