// The writer-side image callbacks a save installs.
#pragma once

#include "rastrix/rpb.h"

namespace rx {

// Writes the writer-side defaults into a stream record (the template).
void save_callbacks_install(IO_REC* io);

}  // namespace rx
