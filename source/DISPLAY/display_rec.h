// The per-process display record (engine start and stop).
#pragma once

#include <cstdint>

namespace rx {

int32_t display_record_create();
void display_record_destroy();

}  // namespace rx
