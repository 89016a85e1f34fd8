// The extension registry. Modules are loaded into it by the extension
// loader; until one is, the registry is empty and every lookup misses.
#include "SUPPORT/ext.h"
#include "SUPPORT/ext_options.h"

#include "SUPPORT/engine_tables.h"
#include "SUPPORT/instance.h"

namespace rx {

int32_t extension_registry_create() {
  return table_create(kKeyExtensions, sizeof(EXT_REGISTRY), nullptr);
}

void extension_registry_destroy() { table_destroy(kKeyExtensions); }

int32_t extension_filter_count() { return 0; }

const FILTER_RECORD* extension_filter_at(int32_t, int32_t* index) {
  if (index != nullptr) *index = -1;
  return nullptr;
}

const FILTER_RECORD* extension_filter_by_index(int32_t) { return nullptr; }

int32_t* extension_detect_switch(int32_t) { return nullptr; }

RX_CODEC_DECODE_FN extension_decoder_find(int32_t) { return nullptr; }

RX_CODEC_ENCODE_FN extension_encoder_find(int32_t) { return nullptr; }

int32_t extension_option_set(uint32_t, uintptr_t) { return 0; }

int32_t extension_option_get(uint32_t, void*) { return 0; }

}  // namespace rx
