// Codec lookup: the TIFF reader and writer find the decoder and encoder of
// a compression number (8 is LZW) among the codec items of the loaded
// modules, newest module first.
#include "SUPPORT/ext.h"
#include "SUPPORT/ext_record.h"

namespace rx {
namespace {

EXT_ITEM* codec_item(int32_t compression, bool decoder) {
  return extension_items_find([=](const EXT_RECORD&, const EXT_ITEM& item, int32_t) {
    return item.kind == RX_EXT_ITEM_CODEC && item.compression == compression &&
           (decoder ? item.decoder != nullptr : item.encoder != nullptr);
  });
}

// A codec a test installs stands in for a loaded extension's, so that the
// filters' paths through extension codecs can be tested without a module.
// Nothing but tests installs one; the lookups fall back on it only when no
// loaded extension has a codec for the number.
struct TestCodec {
  int32_t compression = 0;
  RX_CODEC_DECODE_FN decoder = nullptr;
  RX_CODEC_ENCODE_FN encoder = nullptr;
};
TestCodec g_test_codec;

}  // namespace

void extension_codec_test_install(int32_t compression, RX_CODEC_DECODE_FN decoder,
                                  RX_CODEC_ENCODE_FN encoder) {
  g_test_codec = TestCodec{compression, decoder, encoder};
}

RX_CODEC_DECODE_FN extension_decoder_find(int32_t compression) {
  const EXT_ITEM* item = codec_item(compression, true);
  if (item != nullptr) return item->decoder;
  return g_test_codec.compression == compression ? g_test_codec.decoder : nullptr;
}

RX_CODEC_ENCODE_FN extension_encoder_find(int32_t compression) {
  const EXT_ITEM* item = codec_item(compression, false);
  if (item != nullptr) return item->encoder;
  return g_test_codec.compression == compression ? g_test_codec.encoder : nullptr;
}

}  // namespace rx
