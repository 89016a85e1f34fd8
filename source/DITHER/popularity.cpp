// Colour reduction by popularity: the most frequent 15-bit colour keys
// become the palette, every other key maps to its nearest entry.
#include <algorithm>
#include <utility>

#include "DITHER/colour_keys.h"

RX_SOURCE("source\\DITHER\\popularity.cpp");

namespace rx::dither {
namespace {

// Counts outside 16..256 ask for 256 colours.
constexpr int32_t kMinColours = 16;
constexpr int32_t kMaxColours = 256;
// The distance every entry beats: more than any two key colours are apart.
constexpr uint32_t kFar = 512;

bool popularity(const void* context, const uint32_t* counts, uint16_t* keys, uint32_t n,
                RX_RGBQUAD* palette, uint8_t* map) {
  const auto colours = static_cast<uint32_t>(*static_cast<const int32_t*>(context));
  // Each of the first positions takes any later key with a strictly larger
  // count, in turn: equal counts keep their order at that position.
  if (n > colours)
    for (uint32_t i = 0; i < colours; ++i)
      for (uint32_t j = i + 1; j < n; ++j)
        if (counts[keys[j]] > counts[keys[i]]) std::swap(keys[i], keys[j]);
  const uint32_t entries = std::min(n, colours);
  for (uint32_t i = 0; i < entries; ++i) {
    palette[i] = RX_RGBQUAD{static_cast<uint8_t>(key_blue(keys[i])), static_cast<uint8_t>(key_green(keys[i])),
                            static_cast<uint8_t>(key_red(keys[i])), 0};
    map[keys[i]] = static_cast<uint8_t>(i);
  }
  for (uint32_t i = entries; i < n; ++i) map[keys[i]] = static_cast<uint8_t>(key_nearest(keys[i], palette, entries, kFar));
  return true;
}

}  // namespace
}  // namespace rx::dither

using namespace rx;
using namespace rx::dither;

extern "C" int32_t RX_IP_popularity_reduce(RX_HIMAGE image, const RX_POPULARITY_OPTIONS* options) {
  IMAGE_REC* record = ip::enter_image(image, 0);
  if (record == nullptr) return RPb_AF_error_check();
  int32_t colours = kMaxColours;
  if (options != nullptr && options->colors >= kMinColours && options->colors <= kMaxColours) colours = options->colors;
  keys_reduce(record, popularity, &colours);
  return RPb_AF_error_check();
}
