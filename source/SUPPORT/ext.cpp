// The extension registry: the list of loaded modules (newest first) and
// the filter queries the filter table and detection make of it. Filter
// items are served in list order, then item order; a filter's index is its
// format code + RX_EXTENSION_FILTER_BASE, and where two loaded filters
// share a code the newer one answers for it.
#include "SUPPORT/ext.h"

#include "SUPPORT/engine_tables.h"
#include "SUPPORT/ext_record.h"
#include "SUPPORT/instance.h"

namespace rx {

EXT_REGISTRY* extension_registry() { return instance_table<EXT_REGISTRY>(kKeyExtensions); }

int32_t extension_registry_create() {
  return table_create(kKeyExtensions, sizeof(EXT_REGISTRY), nullptr);
}

// The modules are told they are detached and released before the
// registry's memory goes, so no library outlives the engine that loaded it.
void extension_registry_destroy() {
  extension_unload_all();
  table_destroy(kKeyExtensions);
}

namespace {

bool is_filter(const EXT_ITEM& item) { return item.kind == RX_EXT_ITEM_FILTER; }

int32_t index_of(const EXT_ITEM& item) {
  return item.filter.format_code + RX_EXTENSION_FILTER_BASE;
}

EXT_ITEM* filter_item_by_index(int32_t index) {
  return extension_items_find([index](const EXT_RECORD&, const EXT_ITEM& item, int32_t) {
    return is_filter(item) && index_of(item) == index;
  });
}

}  // namespace

int32_t extension_filter_count() {
  int32_t count = 0;
  extension_items_find([&count](const EXT_RECORD&, const EXT_ITEM& item, int32_t) {
    if (is_filter(item)) ++count;
    return false;
  });
  return count;
}

const FILTER_RECORD* extension_filter_at(int32_t n, int32_t* index) {
  int32_t seen = 0;
  const EXT_ITEM* found =
      n < 0 ? nullptr
            : extension_items_find([n, &seen](const EXT_RECORD&, const EXT_ITEM& item, int32_t) {
                return is_filter(item) && seen++ == n;
              });
  if (index != nullptr) *index = found != nullptr ? index_of(*found) : -1;
  return found != nullptr ? &found->filter : nullptr;
}

const FILTER_RECORD* extension_filter_by_index(int32_t index) {
  const EXT_ITEM* item = filter_item_by_index(index);
  return item != nullptr ? &item->filter : nullptr;
}

int32_t* extension_detect_switch(int32_t index) {
  EXT_ITEM* item = filter_item_by_index(index);
  return item != nullptr ? &item->detect_switch : nullptr;
}

}  // namespace rx
