// A small extension module for the registry's tests, built several times
// with different faults (see tests/extensions/tests.cmake):
//   TEST_MODULE_NO_SET     lacks RastExtInfoSet
//   TEST_MODULE_REFUSE     refuses to attach
//   TEST_MODULE_BAD_CODE   declares a filter with a format code no index can hold
//   TEST_MODULE_MANY_ITEMS declares more items than any module may
// Unfaulted it declares three items: a filter with format code 100 for
// files that start with "BMFMT100", which the BMP test claims too (it
// reads them as a 2 x 1 8-bit image whose pixels are the file's 9th byte and the second field of its flags
// block, and owns the option id
// 0x0164 in an 8-byte flags block whose second field defaults to 55), an
// item of a kind the engine does not know, and a codec for compression
// number 8 whose decoder fills its buffer with 0xAB.
#include <cstring>

#include "rastrix/rpb.h"

namespace {

[[maybe_unused]] constexpr int32_t kFormat = 100;
[[maybe_unused]] constexpr uint32_t kOption = 0x0164;  // option 1 of format 100

int32_t g_selected = -1;
uint32_t* g_flags = nullptr;  // the block of the next option call
int32_t g_attaches = 0;

int32_t detect(IO_REC*, const uint8_t* head, int32_t count) {
  return count >= 8 && std::memcmp(head, "BMFMT100", 8) == 0;
}

int32_t read(IO_REC* io, void* flags, int32_t, int32_t) {
  uint8_t head[9];
  if (RPb_IO_read(io, head, 9) != 9) return RPb_AF_error_set("test_module", __LINE__,
                                                             RXE_CANT_READ_HEADER, 0, 0);
  RX_BITMAPINFOHEADER h;
  RPb_DIB_init(&h, 2, 1, 8, 0, 0, 0);
  RX_RGBQUAD grey[256];
  for (int i = 0; i < 256; ++i)
    grey[i] = RX_RGBQUAD{uint8_t(i), uint8_t(i), uint8_t(i), 0};
  if (RPb_IO_DIB_create(io, &h, grey) != 0) return RPb_AF_error_check();
  uint32_t fields[2];
  std::memcpy(fields, flags, sizeof fields);
  uint8_t row[4] = {head[8], static_cast<uint8_t>(fields[1]), 0, 0};
  return RPb_IO_raster_set(io, row, 0, 4);
}

int32_t page_count(IO_REC*, void*, int32_t* count) {
  *count = 1;
  return 0;
}

int32_t decode(IO_REC*, uint8_t* buffer, int32_t size, uint32_t, const RX_BITMAPINFOHEADER*,
               int32_t, int32_t, int32_t, const RX_CODEC_STRIP*, void*) {
  std::memset(buffer, 0xAB, static_cast<size_t>(size));
  return 0;
}

template <typename T>
void put(void* result, T value) {
  const uintptr_t v = (uintptr_t)value;
  std::memcpy(result, &v, sizeof v);
}

}  // namespace

RX_API int32_t RastExtEntryProc(uintptr_t, int32_t reason, uintptr_t) {
#ifdef TEST_MODULE_REFUSE
  return reason == RX_EXT_ATTACH ? 0 : 1;
#else
  g_attaches += reason == RX_EXT_ATTACH ? 1 : -1;
  return 1;
#endif
}

// How many times the module is attached now: the tests see the engine
// detach it.
RX_API int32_t test_module_attached(void) { return g_attaches; }

RX_API int32_t RastExtInfoGet(int32_t id, void* result) {
  switch (id) {
#ifdef TEST_MODULE_MANY_ITEMS
    case RX_EXT_INFO_ITEM_COUNT: put(result, 100000); return 1;
#else
    case RX_EXT_INFO_ITEM_COUNT: put(result, 3); return 1;
#endif
    case RX_EXT_INFO_ITEM_KIND:
      put(result, g_selected == 0 ? RX_EXT_ITEM_FILTER : g_selected == 2 ? RX_EXT_ITEM_CODEC : 7);
      return 1;
#ifdef TEST_MODULE_BAD_CODE
    case RX_EXT_INFO_FORMAT_CODE: put(result, -4000); return 1;
#else
    case RX_EXT_INFO_FORMAT_CODE: put(result, kFormat); return 1;
#endif
    case RX_EXT_INFO_DETECT_FN: put(result, &detect); return 1;
    case RX_EXT_INFO_READ_FN: put(result, &read); return 1;
    case RX_EXT_INFO_PAGE_COUNT_FN: put(result, &page_count); return 1;
    case RX_EXT_INFO_FLAGS_SIZE: put(result, 8); return 1;
    case RX_EXT_INFO_FLAGS: {
      const uint32_t defaults[2] = {0, 55};
      std::memcpy(result, defaults, sizeof defaults);
      return 1;
    }
    case RX_EXT_INFO_COMPRESSION: put(result, RX_COMPRESSION_LZW); return 1;
    case RX_EXT_INFO_DECODER: put(result, &decode); return 1;
    case RX_EXT_INFO_WORD_1: put(result, 11); return 1;
    case RX_EXT_INFO_OPTION_VALUE:
      if (g_flags == nullptr) return 0;
      std::memcpy(result, &g_flags[1], 4);
      return 1;
    default: put(result, 0); return 0;
  }
}

#ifndef TEST_MODULE_NO_SET
RX_API int32_t RastExtInfoSet(int32_t id, uintptr_t value) {
  switch (id) {
    case RX_EXT_INFO_ITEM_SELECT: g_selected = static_cast<int32_t>(value); return 1;
    case RX_EXT_INFO_FLAGS: g_flags = reinterpret_cast<uint32_t*>(value); return 1;
    case RX_EXT_INFO_OPTION_ID: return g_selected == 0 && value == kOption;
    case RX_EXT_INFO_OPTION_VALUE:
      if (g_flags == nullptr) return 0;
      g_flags[1] = static_cast<uint32_t>(value);
      return 1;
    default: return 0;
  }
}
#endif
