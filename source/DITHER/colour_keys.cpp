// The colour-key histogram, nearest-entry search and mapping pass shared by
// median cut and popularity.
#include "DITHER/colour_keys.h"

#include <algorithm>
#include <cstring>

#include "SUPPORT/mem_tag.h"

RX_SOURCE("source\\DITHER\\colour_keys.cpp");

namespace rx::dither {

void keys_count(IMAGE_REC* record, uint32_t* counts) {
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  const auto width = static_cast<uint32_t>(h->biWidth);
  for (int32_t y = 0; y < h->biHeight; ++y) {
    const uint8_t* p = dib_image_row(record->dib, y);
    for (uint32_t x = 0; x < width; ++x, p += 3) ++counts[key_of(p)];
  }
}

uint32_t keys_list(const uint32_t* counts, uint16_t* keys) {
  uint32_t n = 0;
  for (uint32_t k = 0; k < kKeyCount; ++k)
    if (counts[k] != 0) keys[n++] = static_cast<uint16_t>(k);
  return n;
}

uint32_t key_nearest(uint32_t key, const RX_RGBQUAD* palette, uint32_t entries, uint32_t start) {
  uint32_t best = start, best_index = 0;
  for (uint32_t i = 0; i < entries && best != 0; ++i) {
    const uint32_t d = weighted_distance(key_red(key) - palette[i].rgbRed,
                                         key_green(key) - palette[i].rgbGreen,
                                         key_blue(key) - palette[i].rgbBlue) / 256;
    if (d < best) {
      best = d;
      best_index = i;
    }
  }
  return best_index;
}

bool keys_map(IMAGE_REC* record, NewDib& out, const uint8_t* map) {
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  const auto width = static_cast<uint32_t>(h->biWidth);
  return storage_walk(h->biHeight, [&](int32_t y) {
    const uint8_t* p = dib_image_row(record->dib, y);
    uint8_t* o = out.row(y);
    for (uint32_t x = 0; x < width; ++x, p += 3) o[x] = map[key_of(p)];
    return true;
  });
}

void keys_reduce(IMAGE_REC* record, KeyReduce reduce, const void* context) {
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  if (h->biBitCount != 24) {
    RX_ERR(RXE_BIT_COUNT_UNSUPPORTED, h->biBitCount, 0);
    return;
  }
  ip::RecordLock lock(record);
  if (!lock.held()) {
    ip::push_lock_failed();
    return;
  }
  TagGuard scratch;
  constexpr size_t kBytes = kKeyCount * (sizeof(uint32_t) + sizeof(uint16_t) + 1);
  auto* block = static_cast<uint8_t*>(scratch.alloc(kBytes));
  if (block == nullptr) {
    RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, kBytes, scratch.tag());
    return;
  }
  std::memset(block, 0, kBytes);
  auto* counts = reinterpret_cast<uint32_t*>(block);
  auto* keys = reinterpret_cast<uint16_t*>(block + kKeyCount * sizeof(uint32_t));
  uint8_t* map = block + kKeyCount * (sizeof(uint32_t) + sizeof(uint16_t));
  keys_count(record, counts);
  const uint32_t n = keys_list(counts, keys);
  RX_RGBQUAD palette[256] = {};
  if (!reduce(context, counts, keys, n, palette, map)) return;
  NewDib out(record);
  if (out.create(h->biWidth, h->biHeight, 8, RX_BI_RGB, palette, false) && keys_map(record, out, map))
    out.attach();
}

}  // namespace rx::dither
