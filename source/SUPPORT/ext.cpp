// The extension registry. Modules are loaded into it by the extension
// loader; until one is, the registry is empty and every lookup misses.
#include "SUPPORT/ext.h"
#include "SUPPORT/ext_options.h"

#include "SUPPORT/engine_tables.h"
#include "SUPPORT/instance.h"

namespace rx {

// ---- Test hook ------------------------------------------------------------
// A codec a test installs stands in for a loaded extension's, so that the
// filters' paths through extension codecs can be tested without a module.
// Nothing but tests installs one; the lookups fall back on it only when no
// loaded extension has a codec for the number.
namespace {
struct TestCodec {
  int32_t compression = 0;
  RX_CODEC_DECODE_FN decoder = nullptr;
  RX_CODEC_ENCODE_FN encoder = nullptr;
};
TestCodec g_test_codec;

RX_CODEC_DECODE_FN test_codec_decoder(int32_t compression) {
  return g_test_codec.compression == compression ? g_test_codec.decoder : nullptr;
}
RX_CODEC_ENCODE_FN test_codec_encoder(int32_t compression) {
  return g_test_codec.compression == compression ? g_test_codec.encoder : nullptr;
}
}  // namespace

void extension_codec_test_install(int32_t compression, RX_CODEC_DECODE_FN decoder,
                                  RX_CODEC_ENCODE_FN encoder) {
  g_test_codec = TestCodec{compression, decoder, encoder};
}
// ---- End of the test hook ---------------------------------------------------

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

RX_CODEC_DECODE_FN extension_decoder_find(int32_t compression) {
  return test_codec_decoder(compression);
}

RX_CODEC_ENCODE_FN extension_encoder_find(int32_t compression) {
  return test_codec_encoder(compression);
}

int32_t extension_option_set(uint32_t, uintptr_t) { return 0; }

int32_t extension_option_get(uint32_t, void*) { return 0; }

}  // namespace rx
