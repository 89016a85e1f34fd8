/* Our platform layer's kernel: files, global memory, debug output, time and
 * module loading on Linux. The engine reaches the operating system only
 * through these functions. File names are UTF-8. */
#ifndef RASTRIX_PLATFORM_KERNEL_H
#define RASTRIX_PLATFORM_KERNEL_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Files --------------------------------------------------------------
 * A file is a descriptor; every function that returns one returns a
 * negative value on failure. "No sharing" is an advisory exclusive lock:
 * a second open of a file that one of our handles holds fails. */

enum { PK_ACCESS_READ = 0, PK_ACCESS_WRITE = 1, PK_ACCESS_READ_WRITE = 2 };
enum { PK_SEEK_SET = 0, PK_SEEK_CUR = 1, PK_SEEK_END = 2 };

/* Opens for reading and writing, always as a new empty file. */
int32_t pk_file_create(const char* name);
/* Read access opens an existing file; write access opens or creates. */
int32_t pk_file_open(const char* name, int32_t access);
int32_t pk_file_close(int32_t file);
/* Returns the new position, or -1 (positions are limited to 31 bits). */
int32_t pk_file_seek(int32_t file, int32_t offset, int32_t origin);
int32_t pk_file_read(int32_t file, void* buffer, int32_t count);
int32_t pk_file_write(int32_t file, const void* buffer, int32_t count);

/* A scratch file for the engine's own use, opened for reading and writing
 * in the folder TMPDIR names (/tmp when it is unset or empty). It never has
 * a name another process could open or replace: it is made without one
 * where the file system allows, otherwise under a fresh unique name that
 * is removed before the call returns. Its space goes back when it is
 * closed, whatever happened in between. Returns -1 when it cannot be made
 * (no such folder, no permission, no space). */
int32_t pk_file_temp_create(void);
/* Reads or writes at a 64-bit position, leaving the file position alone.
 * Return the bytes moved, 0 on failure or for a negative position. */
int32_t pk_file_read_at(int32_t file, int64_t offset, void* buffer, int32_t count);
int32_t pk_file_write_at(int32_t file, int64_t offset, const void* buffer, int32_t count);

/* ---- Global memory ------------------------------------------------------
 * Blocks for the engine's large allocations. They are plain heap blocks
 * here; callers still record that a block came from this heap so that it
 * goes back through pk_global_free. */

void* pk_global_alloc(size_t size);
/* A block of zeros: large ones come as fresh pages, which the system has
 * already cleared, so nothing is written until the caller writes. */
void* pk_global_alloc_zeroed(size_t size);
void* pk_global_realloc(void* block, size_t size);
/* Sets up the pages under `bytes` bytes at `block` that are about to be
 * written, in one call rather than one fault per page. Only a hint: where
 * the system cannot, the pages come at first touch as before. */
void pk_memory_prepare(void* block, size_t bytes);
void pk_global_free(void* block);

/* ---- Debug output -------------------------------------------------------
 * One process-wide channel, silent by default. A host or a test installs a
 * sink to see the engine's traces. */

typedef void (*pk_debug_sink_fn)(void* user, const char* text);
void pk_debug_sink_set(pk_debug_sink_fn sink, void* user);
void pk_debug_printf(const char* format, ...) __attribute__((format(printf, 1, 2)));

/* ---- Time --------------------------------------------------------------- */

typedef struct pk_local_time {
  int32_t year, month, day, hour, minute, second, millisecond, weekday;
} pk_local_time;

void pk_time_local(pk_local_time* out);
/* Milliseconds since an arbitrary start, wrapping at 2^32. */
uint32_t pk_tick_count(void);
/* Replaces the clock behind pk_tick_count (null: the monotonic clock
 * again), so that tests drive paced work and timers without waiting. */
typedef uint32_t (*pk_tick_source_fn)(void* user);
void pk_tick_source_set(pk_tick_source_fn source, void* user);
/* A 20-character date stamp cut from the C library's time text:
 * "Mon Dec  7 14:00:00 2026\n" gives "Dec  7 14:00:00 2026", then a zero. */
void pk_date_stamp(char out[21]);

/* ---- Modules ------------------------------------------------------------ */

void* pk_module_load(const char* path);
void* pk_module_symbol(void* module, const char* name);
void pk_module_free(void* module);
/* The text of the last module-loading failure (empty when none). */
const char* pk_module_error(void);
/* The identity of the current process, as a module's entry is told it. */
uintptr_t pk_process_id(void);

/* ---- Kernel level -------------------------------------------------------
 * The one choice between fast kernels and the plain reference kernels
 * beside them, for the engine and this layer alike: 0 plain C++, 1 SSE2,
 * 2 AVX2 (with BMI1, BMI2 and LZCNT, which every processor with AVX2
 * has). The level starts at what the processor offers, capped by
 * RASTRIX_KERNELS ("reference" or "sse2"), read once on first use. */
enum { PK_KERNELS_REFERENCE = 0, PK_KERNELS_SSE2 = 1, PK_KERNELS_AVX2 = 2 };
int32_t pk_kernel_level(void);
/* What the processor offers, whatever the environment says. */
int32_t pk_kernel_level_supported(void);
/* Sets the level (capped at what the processor offers) and returns the
 * previous one: for tests that compare the paths. */
int32_t pk_kernel_level_set(int32_t level);
/* The level a value of RASTRIX_KERNELS (null when unset) leaves of
 * `supported`: "reference" and "sse2" cap it, anything else does not. */
int32_t pk_kernel_level_capped(const char* setting, int32_t supported);

#ifdef __cplusplus
}
#endif

#endif
