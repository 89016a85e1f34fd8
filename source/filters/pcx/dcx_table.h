// The DCX page table as the DCX reader and writer share it.
#pragma once

#include <cstdint>

#include "filters/pcx/pcx_format.h"

namespace rx {

struct DCX_TABLE {
  uint32_t magic;
  uint32_t offsets[kDcxMaxPages];  // from the file's first byte; 0 ends the list
  uint32_t count;                  // offsets before the first 0
};

// Reads the magic and the offsets at the stream position, as far as the
// stream holds them. False when not even the magic is there; nothing is
// pushed, so that a writer can probe a file that may be anything.
bool dcx_table_load(IO_REC* io, DCX_TABLE* t);

}  // namespace rx
