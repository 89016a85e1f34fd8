// The records of the extension registry, shared by its files: the list of
// loaded modules (ext), loading and unloading (ext_module), option
// delegation (ext_option_delegate) and the codec lookup (ext_codecs).
#pragma once

#include <cstdint>

#include "SUPPORT/filter_record.h"
#include "rastrix/rx_types.h"

namespace rx {

// One item a module declares. A filter item's record is what the filter
// table serves for its index (format code + RX_EXTENSION_FILTER_BASE); a
// codec item is found by its compression number.
struct EXT_ITEM {
  int32_t detect_switch;  // filters: 1 = tried by detection
  int32_t kind;           // RX_EXT_ITEM_FILTER, RX_EXT_ITEM_CODEC, or another (skipped)
  uintptr_t extra;        // info 25, kept
  FILTER_RECORD filter;   // filters: format code, functions, flags block
  void (*spare)(void);    // filters: info 5, kept and never called
  int32_t compression;    // codecs: info 20
  RX_CODEC_ENCODE_FN encoder;
  RX_CODEC_DECODE_FN decoder;
};

struct EXT_RECORD {
  EXT_RECORD* next;
  char* name;  // the path given at load
  void* module;
  void* private_block;
  uint32_t private_size;
  uintptr_t words[3];  // info 15, 16, 17
  void* scratch;       // reserved for the module's load scratch; freed at unload
  RX_EXT_ENTRY_FN entry;
  RX_EXT_INFO_GET_FN info_get;
  RX_EXT_INFO_SET_FN info_set;
  int32_t item_count;
  EXT_ITEM* items;  // item_count items, in the same block as the record
};

// The registry of the process: its modules, newest first.
struct EXT_REGISTRY {
  uint32_t tag;
  int32_t count;
  EXT_RECORD* head;
};

// The registry of the process, or null before engine start.
EXT_REGISTRY* extension_registry();

// Calls `f(record, item, n)` for every item of every record in list order
// (newest module first) until f returns true; returns that item or null.
template <typename F>
EXT_ITEM* extension_items_find(F f) {
  EXT_REGISTRY* r = extension_registry();
  if (r == nullptr) return nullptr;
  for (EXT_RECORD* x = r->head; x != nullptr; x = x->next)
    for (int32_t n = 0; n < x->item_count; ++n)
      if (f(*x, x->items[n], n)) return &x->items[n];
  return nullptr;
}

// Unloads every module (engine stop): each is told it is detached and
// released, newest first.
void extension_unload_all();

}  // namespace rx
