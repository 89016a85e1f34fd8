// The tool windows' part of engine start and stop.
#pragma once

#include <cstdint>

namespace rx {

// Registers each tool window class not yet registered; returns
// RXE_REGISTER_CLASS_FAILED (engine start pushes it) when one fails, or 0.
int32_t tools_start();
// Ends every tracking, destroys the tool windows the engine made and
// unregisters the classes.
void tools_stop();

}  // namespace rx
