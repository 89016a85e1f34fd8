// The image windows' part of engine start and stop: the engine's window
// class, and every association still open when the engine stops.
#pragma once

#include <cstdint>

namespace rx {

// Registers the class unless it is registered already; returns
// RXE_REGISTER_CLASS_FAILED (not pushed: engine start reports it) or 0.
int32_t gui_start();
// Ends every association (windows get their procedures back) and
// unregisters the class, which the layer refuses while windows of it live.
void gui_stop();

}  // namespace rx
