// Creation and destruction of the image core's per-process tables, and the
// helpers every layer's tables are made with. Engine start and stop
// (source/ENGINE) walk all tables in order. Each create returns 0,
// RXE_GLOBAL_MEMORY_DEPLETED or RXE_INSTANCE_FAILURE; each destroy
// tolerates a table that was never made.
#pragma once

#include <cstdint>

namespace rx {

int32_t error_stack_create();
void error_stack_destroy();
int32_t options_create();
void options_destroy();
int32_t settings_create();
void settings_destroy();
int32_t extension_registry_create();
void extension_registry_destroy();

// Creates a zeroed table of `size` bytes under a fresh tag (stored in its
// first 32-bit field) and registers it under `key`.
int32_t table_create(int32_t key, uint32_t size, void** out);
// Unregisters the table under `key` and frees its tag.
void table_destroy(int32_t key);

}  // namespace rx
