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

}  // namespace

RX_CODEC_DECODE_FN extension_decoder_find(int32_t compression) {
  const EXT_ITEM* item = codec_item(compression, true);
  return item != nullptr ? item->decoder : nullptr;
}

RX_CODEC_ENCODE_FN extension_encoder_find(int32_t compression) {
  const EXT_ITEM* item = codec_item(compression, false);
  return item != nullptr ? item->encoder : nullptr;
}

}  // namespace rx
