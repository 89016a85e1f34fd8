// `rastrix convert --to EXT ...`: many files, each to the same base name
// with the new extension, inline or across worker processes.
#pragma once

#include "command_line.h"

namespace rxcli {

int run_batch(const BatchRequest& request);

}  // namespace rxcli
