// The filter record: what the engine knows of one file-format filter. The
// same record describes a built-in filter (each format's folder under
// source/filters defines one) and a filter item an extension module
// registers, so detection, loading, saving and option handling treat both
// alike.
#pragma once

#include <cstdint>

#include "SUPPORT/img_ctrl.h"
#include "rastrix/rx_types.h"

namespace rx {

struct FILTER_RECORD {
  int32_t format_code;
  RX_DETECT_FN detect;  // null: the format is never detected
  RX_INFO_FN info;
  RX_READ_FN read;
  RX_WRITE_FN write;
  RX_PAGE_COUNT_FN page_count;
  void (*extra)(void);  // a format-private operation, never called through the table
  // The image flags block: built-in filters keep theirs in the options
  // record at flags_offset; an extension filter owns flags_block.
  uint32_t flags_offset;
  uint32_t flags_size;
  void* flags_block;
  const char* extensions;  // upper case, each followed by "|"; null when none
  int32_t multi_page;      // 1: a save adds a page to an existing file
};

// The function types of a filter, to declare a format's functions with
// ("FilterRead bmp_read;").
using FilterInfo = int32_t(IO_REC* io, RX_BITMAPINFOHEADER* header, RX_RGBQUAD* palette,
                           int32_t* compression, void* flags, int32_t page);
using FilterRead = int32_t(IO_REC* io, void* flags, int32_t page, int32_t fourth);
using FilterWrite = int32_t(IO_REC* io, void* flags, int32_t a, int32_t b, int32_t option);
using FilterPageCount = int32_t(IO_REC* io, void* flags, int32_t* count);

// The functions of a built-in filter, for filter_record below.
struct FilterFunctions {
  RX_INFO_FN info;
  RX_READ_FN read;
  RX_WRITE_FN write;
  RX_PAGE_COUNT_FN page_count;
};

// A built-in filter's record: its image flags block is the format's block
// of the options record.
constexpr FILTER_RECORD filter_record(int32_t format_code, RX_DETECT_FN detect,
                                      FilterFunctions f, const char* extensions,
                                      int32_t multi_page) {
  const FlagsBlock b = options_block_of(format_code);
  return FILTER_RECORD{format_code, detect, f.info, f.read, f.write, f.page_count, nullptr,
                       b.offset, b.size, nullptr, extensions, multi_page};
}

// The record of a format that is detected but not yet read or written.
constexpr FILTER_RECORD detect_only_record(int32_t format_code, RX_DETECT_FN detect,
                                           const char* extensions, int32_t multi_page) {
  return filter_record(format_code, detect, FilterFunctions{}, extensions, multi_page);
}

}  // namespace rx
