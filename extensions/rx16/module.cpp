// RX16's entry points. The display engine carries the 16-bit row
// converters (5-5-5, 5-6-5 and other masks, and 16-bit grey) but draws
// 16-bit images only while a module declares a filter with format code
// RX_EXTENSION_DISPLAY_16. This module is that declaration: one filter item
// with no detection test, reader or writer, so it takes no part in
// detection, loading or saving.
#include <cstring>

#include "rastrix/rpb.h"

namespace {

void answer(void* result, uintptr_t value) { std::memcpy(result, &value, sizeof value); }

}  // namespace

RX_API int32_t RastExtEntryProc(uintptr_t, int32_t, uintptr_t) { return 1; }

RX_API int32_t RastExtInfoGet(int32_t id, void* result) {
  if (result == nullptr) return 0;
  switch (id) {
    case RX_EXT_INFO_ITEM_COUNT: answer(result, 1); return 1;
    case RX_EXT_INFO_ITEM_KIND: answer(result, RX_EXT_ITEM_FILTER); return 1;
    case RX_EXT_INFO_FORMAT_CODE: answer(result, RX_EXTENSION_DISPLAY_16); return 1;
    default: answer(result, 0); return 0;
  }
}

// Only the item selection is accepted: the filter has no options.
RX_API int32_t RastExtInfoSet(int32_t id, uintptr_t value) {
  return id == RX_EXT_INFO_ITEM_SELECT && value == 0 ? 1 : 0;
}
