// The save pipeline seen from inside the engine: choosing a writer and
// running it on a file or a memory block. The public save calls are thin
// wrappers; other engine code (the control, clipboard, tools) may run a
// save through these with a writer of its own.
#pragma once

#include <cstdint>

#include "rastrix/rx_types.h"

namespace rx {

// What a save needs of a filter.
struct SaveTarget {
  RX_WRITE_FN write = nullptr;  // null: the format cannot be written
  int32_t multi_page = 0;       // 1: a save adds a page to an existing file
  int32_t filter_index = -1;    // where the image flags block comes from; -1 none
};

// The filter a file name's extension selects: the format of the first
// built-in row whose list has it (exact match ignoring case), served by a
// loaded extension filter for that format when there is one, or
// RXE_SAVE_EXTENSION_UNKNOWN. Only the name after the last '/' counts, so a
// dot in a directory name never supplies an extension. Pushes nothing.
int32_t save_filter_by_extension(const char* name);

// The writer, page mode and flags of a filter index.
SaveTarget save_target_of(int32_t filter_index);

// Writes the image to the file `name` with the target's writer (a = 0,
// b = 1). A format without a writer fails before the file is touched.
// Returns the error count.
int32_t save_file_run(IMAGE_REC* record, const char* name, const SaveTarget& target,
                      int32_t option);

// The caller's block for a save to memory.
struct SaveBlock {
  void* block;
  int32_t valid_length;
  int32_t capacity;
};

// Writes the image into the block with the target's writer and (a, b).
// *size_out (optional) receives the block's high-water mark. Returns the
// error count.
int32_t save_memory_run(IMAGE_REC* record, const SaveBlock& block, const SaveTarget& target,
                        int32_t a, int32_t b, int32_t option, int32_t* size_out);

}  // namespace rx
