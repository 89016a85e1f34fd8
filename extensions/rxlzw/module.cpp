// RXLZW's entry points: the module contract the engine loads it by. Item 0
// is the LZW codec (compression 8) for TIFF strips; item 1 the GIF filter
// (format 14), which takes the place of the engine's GIF placeholders and
// owns the GIF options (RX_OPTION_GIF_INTERLACE, RX_OPTION_GIF_COMPOSITE)
// in its 8-byte image flags block.
#include <cstring>

#include "gif.h"
#include "tiff_lzw.h"

namespace {

enum { kItemCodec = 0, kItemGif = 1, kItemCount = 2 };

// The module's state between the engine's calls: the item and flags
// block the next calls are about, and the option id just accepted.
int32_t g_item = 0;
rxlzw::GifFlags* g_flags = nullptr;
uint32_t g_option = 0;

void answer(void* result, uintptr_t value) { std::memcpy(result, &value, sizeof value); }

template <typename Fn>
void answer_fn(void* result, Fn fn) {
  answer(result, reinterpret_cast<uintptr_t>(fn));
}

uint32_t* option_field() {
  if (g_flags == nullptr) return nullptr;
  if (g_option == RX_OPTION_GIF_INTERLACE) return &g_flags->interlace;
  if (g_option == RX_OPTION_GIF_COMPOSITE) return &g_flags->composite;
  return nullptr;
}

int32_t codec_info(int32_t id, void* result) {
  switch (id) {
    case RX_EXT_INFO_ITEM_KIND: answer(result, RX_EXT_ITEM_CODEC); return 1;
    case RX_EXT_INFO_COMPRESSION: answer(result, RX_COMPRESSION_LZW); return 1;
    case RX_EXT_INFO_ENCODER: answer_fn(result, &rxlzw::tiff_lzw_encode); return 1;
    case RX_EXT_INFO_DECODER: answer_fn(result, &rxlzw::tiff_lzw_decode); return 1;
    default: answer(result, 0); return 0;
  }
}

int32_t gif_info(int32_t id, void* result) {
  switch (id) {
    case RX_EXT_INFO_ITEM_KIND: answer(result, RX_EXT_ITEM_FILTER); return 1;
    case RX_EXT_INFO_FORMAT_CODE: answer(result, RX_FORMAT_GIF); return 1;
    case RX_EXT_INFO_INFO_FN: answer_fn(result, &rxlzw::gif_info); return 1;
    case RX_EXT_INFO_READ_FN: answer_fn(result, &rxlzw::gif_read); return 1;
    case RX_EXT_INFO_DETECT_FN: answer_fn(result, &rxlzw::gif_detect); return 1;
    case RX_EXT_INFO_PAGE_COUNT_FN: answer_fn(result, &rxlzw::gif_page_count); return 1;
    case RX_EXT_INFO_WRITE_FN: answer_fn(result, &rxlzw::gif_write); return 1;
    case RX_EXT_INFO_FLAGS_SIZE: answer(result, sizeof(rxlzw::GifFlags)); return 1;
    case RX_EXT_INFO_FLAGS:
      std::memcpy(result, &rxlzw::kGifFlagDefaults, sizeof rxlzw::kGifFlagDefaults);
      return 1;
    case RX_EXT_INFO_OPTION_VALUE: {
      const uint32_t* field = option_field();
      if (field == nullptr) return 0;
      std::memcpy(result, field, sizeof *field);
      return 1;
    }
    default: answer(result, 0); return 0;
  }
}

}  // namespace

RX_API int32_t RastExtEntryProc(uintptr_t, int32_t reason, uintptr_t) {
  if (reason == RX_EXT_ATTACH || reason == RX_EXT_DETACH) {
    g_item = 0;
    g_flags = nullptr;
    g_option = 0;
  }
  return 1;
}

RX_API int32_t RastExtInfoGet(int32_t id, void* result) {
  if (result == nullptr) return 0;
  if (id == RX_EXT_INFO_ITEM_COUNT) {
    answer(result, kItemCount);
    return 1;
  }
  return g_item == kItemCodec ? codec_info(id, result) : gif_info(id, result);
}

RX_API int32_t RastExtInfoSet(int32_t id, uintptr_t value) {
  switch (id) {
    case RX_EXT_INFO_ITEM_SELECT: g_item = static_cast<int32_t>(value); return 1;
    case RX_EXT_INFO_FLAGS: g_flags = reinterpret_cast<rxlzw::GifFlags*>(value); return 1;
    case RX_EXT_INFO_OPTION_ID:
      g_option = g_item == kItemGif && (value == RX_OPTION_GIF_INTERLACE ||
                                        value == RX_OPTION_GIF_COMPOSITE)
                     ? static_cast<uint32_t>(value)
                     : 0;
      return g_option != 0;
    case RX_EXT_INFO_OPTION_VALUE: {
      uint32_t* field = option_field();
      if (field == nullptr) return 0;
      *field = value != 0 ? 1 : 0;
      return 1;
    }
    default: return 0;
  }
}
