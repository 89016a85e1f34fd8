// Colour reduction by median cut over the 15-bit colour keys: the box of
// keys with the lowest split level is cut across its widest channel where
// the running pixel count reaches half its total, until there are as many
// boxes as colours or no box holds two keys. Each box's palette entry is
// the count-weighted mean of its key colours.
#include <algorithm>
#include <cstring>

#include "DITHER/colour_keys.h"
#include "SUPPORT/mem_tag.h"

RX_SOURCE("source\\DITHER\\median_cut.cpp");

namespace rx::dither {
namespace {

// The colour count is raised to 16 and kept at most 256.
constexpr int32_t kMinColours = 16;
constexpr int32_t kMaxColours = 256;

struct Box {
  uint32_t first, last;  // positions in the key list, inclusive
  uint64_t total;        // pixels
  int32_t level;         // splits that made it
  int32_t min[3], max[3];
};

void box_measure(Box* b, const uint16_t* keys, const uint32_t* counts) {
  b->total = 0;
  for (int c = 0; c < 3; ++c) {
    b->min[c] = 255;
    b->max[c] = 0;
  }
  for (uint32_t i = b->first; i <= b->last; ++i) {
    b->total += counts[keys[i]];
    for (int c = 0; c < 3; ++c) {
      const int32_t v = key_channel(keys[i], c);
      b->min[c] = std::min(b->min[c], v);
      b->max[c] = std::max(b->max[c], v);
    }
  }
}

// The widest channel, red before green before blue on ties.
int32_t box_axis(const Box& b) {
  int32_t axis = kRed;
  for (int32_t c : {kGreen, kBlue})
    if (b.max[c] - b.min[c] > b.max[axis] - b.min[axis]) axis = c;
  return axis;
}

// Orders the box's keys by one channel, keys of equal value keeping their
// order (a counting sort over the 32 values).
void box_sort(const Box& b, int32_t axis, uint16_t* keys, uint16_t* spare) {
  uint32_t start[33] = {};
  for (uint32_t i = b.first; i <= b.last; ++i) ++start[key_channel(keys[i], axis) / 8 + 1];
  for (int v = 0; v < 32; ++v) start[v + 1] += start[v];
  for (uint32_t i = b.first; i <= b.last; ++i) spare[start[key_channel(keys[i], axis) / 8]++] = keys[i];
  std::memcpy(keys + b.first, spare, (b.last - b.first + 1) * sizeof(uint16_t));
}

// Splits where the running count first reaches half the total, keeping at
// least one key on each side; the first part replaces the box.
Box box_split(Box* b, uint16_t* keys, const uint32_t* counts, uint16_t* spare) {
  box_sort(*b, box_axis(*b), keys, spare);
  const uint64_t half = b->total / 2;
  uint64_t sum = 0;
  uint32_t s = b->first;
  do {
    sum += counts[keys[s]];
    ++s;
  } while (sum < half && s < b->last);
  Box second{s, b->last, 0, b->level + 1, {}, {}};
  b->last = s - 1;
  ++b->level;
  box_measure(b, keys, counts);
  box_measure(&second, keys, counts);
  return second;
}

struct Options {
  int32_t colours;
  bool by_box;  // every key maps to its box's entry, else to the nearest entry
};

bool median_cut(const void* context, const uint32_t* counts, uint16_t* keys, uint32_t n,
                RX_RGBQUAD* palette, uint8_t* map) {
  const auto& o = *static_cast<const Options*>(context);
  TagGuard scratch;
  auto* spare = static_cast<uint16_t*>(scratch.alloc(kKeyCount * sizeof(uint16_t)));
  if (spare == nullptr) {
    RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, kKeyCount * sizeof(uint16_t), scratch.tag());
    return false;
  }
  Box boxes[kMaxColours];
  int32_t count = 0;
  if (n > 0) {
    boxes[count++] = Box{0, n - 1, 0, 0, {}, {}};
    box_measure(&boxes[0], keys, counts);
  }
  while (count < o.colours) {
    int32_t pick = -1;
    for (int32_t i = 0; i < count; ++i)
      if (boxes[i].last > boxes[i].first && (pick < 0 || boxes[i].level < boxes[pick].level)) pick = i;
    if (pick < 0) break;
    boxes[count] = box_split(&boxes[pick], keys, counts, spare);
    ++count;
  }
  for (int32_t i = 0; i < count; ++i) {
    const Box& b = boxes[i];
    uint64_t sum[3] = {};
    for (uint32_t k = b.first; k <= b.last; ++k)
      for (int c = 0; c < 3; ++c) sum[c] += uint64_t(key_channel(keys[k], c)) * counts[keys[k]];
    palette[i] = RX_RGBQUAD{static_cast<uint8_t>(sum[kBlue] / b.total), static_cast<uint8_t>(sum[kGreen] / b.total),
                            static_cast<uint8_t>(sum[kRed] / b.total), 0};
    if (o.by_box)
      for (uint32_t k = b.first; k <= b.last; ++k) map[keys[k]] = static_cast<uint8_t>(i);
  }
  if (!o.by_box)
    for (uint32_t k = 0; k < n; ++k)
      map[keys[k]] = static_cast<uint8_t>(key_nearest(keys[k], palette, static_cast<uint32_t>(count), UINT32_MAX));
  return true;
}

}  // namespace
}  // namespace rx::dither

using namespace rx;
using namespace rx::dither;

extern "C" int32_t RX_IP_median_cut_reduce(RX_HIMAGE image, const RX_MEDIAN_CUT_OPTIONS* options) {
  IMAGE_REC* record = ip::enter_image(image, 0);
  if (record == nullptr) return RPb_AF_error_check();
  Options o{kMaxColours, true};
  if (options != nullptr) o = Options{std::clamp(options->colors, kMinColours, kMaxColours), options->box_mapping != 0};
  keys_reduce(record, median_cut, &o);
  return RPb_AF_error_check();
}
