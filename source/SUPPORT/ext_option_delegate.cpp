// Option delegation (ext_options.h): an option id the built-in table does not know is
// offered to each filter item of each loaded module in list order; the
// first that claims it (info 23) takes the value or answers for it
// (info 24), working on its own image flags block (info 9).
#include "SUPPORT/ext_options.h"

#include "SUPPORT/ext_record.h"

namespace rx {
namespace {

// The first filter item that owns `option_id`, with its module selected
// on that item and its flags block; null when none does.
const EXT_RECORD* option_owner(uint32_t option_id) {
  const EXT_RECORD* owner = nullptr;
  extension_items_find([&](const EXT_RECORD& x, const EXT_ITEM& item, int32_t n) {
    if (item.kind != RX_EXT_ITEM_FILTER) return false;
    x.info_set(RX_EXT_INFO_ITEM_SELECT, static_cast<uintptr_t>(n));
    x.info_set(RX_EXT_INFO_FLAGS, reinterpret_cast<uintptr_t>(item.filter.flags_block));
    if (x.info_set(RX_EXT_INFO_OPTION_ID, option_id) == 0) return false;
    owner = &x;
    return true;
  });
  return owner;
}

}  // namespace

int32_t extension_option_set(uint32_t option_id, uintptr_t value) {
  const EXT_RECORD* x = option_owner(option_id);
  if (x == nullptr) return 0;
  x->info_set(RX_EXT_INFO_OPTION_VALUE, value);
  return 1;
}

int32_t extension_option_get(uint32_t option_id, void* value) {
  const EXT_RECORD* x = option_owner(option_id);
  if (x == nullptr) return 0;
  x->info_get(RX_EXT_INFO_OPTION_VALUE, value);
  return 1;
}

}  // namespace rx
