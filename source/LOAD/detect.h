// Format detection from a stream's content, never from its name.
#pragma once

#include <cstdint>

#include "rastrix/rx_types.h"

namespace rx {

// The 32 bytes a detection reads from the stream's current position.
inline constexpr int32_t kHeadBytes = 32;

// Detects the stream's format: on success writes the filter index and
// returns 0 with the stream back where it was; on failure the index is -1
// and the error count is returned (the stream is restored too).
int32_t detect(IO_REC* io, int32_t* filter_index);

// The detection switch of a built-in filter index (1 when unknown).
int32_t detection_switch_get(int32_t index);

int32_t detection_table_create();
void detection_table_destroy();

}  // namespace rx
