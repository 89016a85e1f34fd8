// The filter table: the filter record of each built-in file format in
// detection order (its detect, information, read, write and page-count
// functions, the place of its image flags block in the options record, its
// file-name extensions and whether a save appends pages). Filter indexes 37
// and up belong to filters that extension modules register.
#pragma once

#include <cstdint>

#include "SUPPORT/filter_record.h"
#include "rastrix/rx_types.h"

namespace rx {

inline constexpr int32_t kBuiltinFilterCount = 37;
// Extension filters are addressed as their format code plus this.
inline constexpr int32_t kExtensionFilterBase = RX_EXTENSION_FILTER_BASE;

// The built-in row at a table index (0..36), or null.
const FILTER_RECORD* filter_builtin(int32_t index);
// The record of any filter index, built-in or registered, or null.
const FILTER_RECORD* filter_record_of(int32_t index);

// Search by format code: extension filters first, then the built-in rows in
// order. The filter index, or RXE_INVALID_IMAGE_FORMAT (nothing pushed).
int32_t filter_search(int32_t format_code);

// Getters by filter index; 0 / null for a negative or unknown index.
int32_t filter_format_code(int32_t index);
RX_DETECT_FN filter_detect(int32_t index);
RX_INFO_FN filter_info(int32_t index);
RX_READ_FN filter_read(int32_t index);
RX_WRITE_FN filter_write(int32_t index);
RX_PAGE_COUNT_FN filter_page_count(int32_t index);
int32_t filter_multi_page(int32_t index);
const char* filter_extensions(int32_t index);

// Copies the filter's image flags block out of the current options into
// `block` (at least kMaxFlagsBlock bytes); the number of bytes copied.
uint32_t filter_image_flags_get(int32_t index, void* block);

// Number of filters: the built-in rows plus the registered extension filters.
int32_t filter_count();

// Filter indexes in detection order: extension filters, then the built-in
// rows 0..36. First returns -1 when there are none; next returns -1 after
// the last.
int32_t filter_first();
int32_t filter_next(int32_t index);

// The names of the format codes 0..47 and of the compression codes.
const char* format_name(int32_t format_code);
const char* compression_name(int32_t compression);

}  // namespace rx
