// The 15-bit colour keys through which median cut and popularity see a
// 24-bit image: five bits per channel, key = red | green << 5 | blue << 10.
// A key's colour is each five-bit value times 8.
#pragma once

#include <cstdint>

#include "DITHER/dither_common.h"

namespace rx::dither {

inline constexpr uint32_t kKeyCount = 32768;

inline uint32_t key_of(const uint8_t* bgr) {
  return uint32_t{bgr[kRed]} >> 3 | (uint32_t{bgr[kGreen]} >> 3) << 5 | (uint32_t{bgr[kBlue]} >> 3) << 10;
}
inline int32_t key_red(uint32_t key) { return static_cast<int32_t>(key & 31) * 8; }
inline int32_t key_green(uint32_t key) { return static_cast<int32_t>((key >> 5) & 31) * 8; }
inline int32_t key_blue(uint32_t key) { return static_cast<int32_t>((key >> 10) & 31) * 8; }
inline int32_t key_channel(uint32_t key, int32_t c) {
  return c == kRed ? key_red(key) : c == kGreen ? key_green(key) : key_blue(key);
}

// Counts the pixels of each key of a 24-bit image into kKeyCount counters,
// which the caller has zeroed. 32-bit counters: no image has 2^32 pixels.
void keys_count(IMAGE_REC* record, uint32_t* counts);

// Lists the keys with a nonzero count in ascending order; returns how many.
uint32_t keys_list(const uint32_t* counts, uint16_t* keys);

// The palette entry nearest to a key's colour by the weighted distance /
// 256: searching from entry 0, the first that beats `start` and every
// later one, stopping at distance 0.
uint32_t key_nearest(uint32_t key, const RX_RGBQUAD* palette, uint32_t entries, uint32_t start);

// Fills a new 8-bit DIB with the map entry of each pixel's key, rows in
// storage order with the status callback.
bool keys_map(IMAGE_REC* record, NewDib& out, const uint8_t* map);

// The common frame of the key-based reductions: checks for a 24-bit image,
// locks it, and runs `reduce(counts, keys, key count, palette, map)`,
// which fills the palette and the key map; then builds the new 8-bit DIB.
// Everything is freed on every path; the image changes only on success.
using KeyReduce = bool (*)(const void* context, const uint32_t* counts, uint16_t* keys,
                           uint32_t key_count, RX_RGBQUAD* palette, uint8_t* map);
void keys_reduce(IMAGE_REC* record, KeyReduce reduce, const void* context);

}  // namespace rx::dither
