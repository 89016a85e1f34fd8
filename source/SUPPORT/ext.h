// The extension registry: filters and codecs added by extension modules.
#pragma once

#include <cstdint>

#include "rastrix/rx_types.h"

namespace rx {

struct EXT_RECORD;

struct EXT_REGISTRY {
  uint32_t tag;
  int32_t count;
  EXT_RECORD* head;  // newest first
};

// The functions of a filter registered by an extension.
struct EXT_FILTER {
  int32_t* detect_switch;
  int32_t format_code;
  RX_DETECT_FN detect;
  RX_INFO_FN info;
  RX_READ_FN read;
  RX_WRITE_FN write;
  RX_PAGE_COUNT_FN page_count;
  void* flags_block;
  uint32_t flags_size;
};

// Registered extension filters in detection order (list order, then item
// order). n runs from 0 to extension_filter_count() - 1.
int32_t extension_filter_count();
// Fills `out` for the n-th filter and returns its filter index (format code
// + 4096), or -1 when there is no such filter.
int32_t extension_filter_at(int32_t n, EXT_FILTER* out);
// Finds a filter by its filter index; false when none has it.
bool extension_filter_by_index(int32_t index, EXT_FILTER* out);

// Offers an option id that the built-in table does not know to the loaded
// extension filters; 1 when one of them took it, 0 when none did.
int32_t extension_option_set(uint32_t option_id, uintptr_t value);
int32_t extension_option_get(uint32_t option_id, void* value);

}  // namespace rx
