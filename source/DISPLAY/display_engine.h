// The display engine's part of engine start and stop: the hook through
// which a progressive load draws each new band.
#pragma once

#include <cstdint>

namespace rx {

int32_t display_engine_create();
void display_engine_destroy();

}  // namespace rx
