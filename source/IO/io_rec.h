// The stream record seen from inside the engine: the process template that
// every load and save copies, memory streams over a caller's block, and the
// file calls that have no exported form.
#pragma once

#include <cstdint>

#include "rastrix/rx_types.h"

namespace rx {

// The process template, or null before engine start.
IO_REC* io_template();

// True when `io` builds its image with the engine's own callbacks (those
// of the template), not an application's: a reader may then hand over
// rows in whichever of the forms the engine takes is quicker for it,
// since only the engine sees them.
bool io_image_callbacks_engines(const IO_REC* io);

// Fills `io` from the template; false, with RXE_INSTANCE_FAILURE pushed,
// before engine start.
bool io_from_template(IO_REC* io);

// Writes the template's defaults: the platform file functions, Intel byte
// order, no open file. The load and save pipelines install their image
// callbacks into the template when the engine starts.
void io_template_defaults(IO_REC* io);

// The process template's table (engine start and stop).
int32_t io_template_create();
void io_template_destroy();

// Turns `io` into a memory stream over `block` of `capacity` bytes, of which
// the first `valid_length` hold data (clamped to 0..capacity). Returns 1.
// A null block or a capacity below 1 makes the record the invalid stream
// instead (no block, position -1, every transfer moves 0 bytes); returns 0.
int32_t io_memory_attach(IO_REC* io, void* block, int32_t capacity, int32_t valid_length);

// Memory streams: the largest position reached (at least the valid length
// given at attach). This is how a save into memory learns its size.
int32_t io_data_length_get(const IO_REC* io);

// True when transfers go to a memory block rather than a file.
inline bool io_is_memory(const IO_REC* io) { return io->memory != nullptr; }

// Makes `io` a file stream on `file`, whatever it was before, so that a
// memory position is never taken for a descriptor. A negative `file` makes
// it the invalid stream. Returns the handle now held.
int32_t io_file_attach(IO_REC* io, int32_t file);

// Creates `name` as a new empty file with the record's create function and
// makes the record a file stream on it. Returns the file; negative means
// failure (the pipelines push their own code).
int32_t io_create(IO_REC* io, const char* name);

}  // namespace rx
