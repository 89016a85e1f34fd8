// Walking the blocks of a GIF file in memory.
#include "gif_blocks.h"

#include <cstring>

namespace rxlzw {
namespace {

uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

// A colour table flagged in `packed` at `at`; false when it runs off the data.
bool table_parse(const uint8_t* file, size_t size, uint8_t packed, size_t* at,
                 GifColorTable* table) {
  if ((packed & 0x80) == 0) return true;
  const int32_t entries = 2 << (packed & 7);
  const size_t bytes = static_cast<size_t>(entries) * 3;
  if (size - *at < bytes) return false;
  table->rgb = file + *at;
  table->size = entries;
  *at += bytes;
  return true;
}

}  // namespace

bool gif_screen_parse(const uint8_t* file, size_t size, GifScreen* screen, size_t* after) {
  if (file == nullptr || size < kGifHeaderBytes || std::memcmp(file, "GIF", 3) != 0) return false;
  *screen = GifScreen{};
  screen->version_89a = std::memcmp(file + 3, "87a", 3) != 0;
  screen->width = le16(file + 6);
  screen->height = le16(file + 8);
  screen->background = file[11];
  size_t at = kGifHeaderBytes;
  if (!table_parse(file, size, file[10], &at, &screen->global)) return false;
  *after = at;
  return true;
}

size_t gif_sub_blocks_skip(const uint8_t* file, size_t size, size_t at) {
  while (at < size) {
    const size_t n = file[at++];
    if (n == 0) return at;
    if (size - at < n) return size;
    at += n;
  }
  return size;
}

size_t gif_sub_blocks_gather(const uint8_t* file, size_t size, size_t at, uint8_t* out,
                             size_t room) {
  size_t got = 0;
  while (at < size) {
    size_t n = file[at++];
    if (n == 0) break;
    if (size - at < n) n = size - at;
    if (room - got < n) n = room - got;
    std::memcpy(out + got, file + at, n);
    got += n;
    at += n;
  }
  return got;
}

bool gif_frame_parse(const uint8_t* file, size_t size, size_t at, GifFrame* frame,
                     size_t* data_at) {
  if (at > size || size - at < 9) return false;
  const uint8_t* d = file + at;
  frame->left = le16(d);
  frame->top = le16(d + 2);
  frame->width = le16(d + 4);
  frame->height = le16(d + 6);
  frame->interlaced = (d[8] & 0x40) != 0;
  at += 9;
  if (!table_parse(file, size, d[8], &at, &frame->local)) return false;
  if (at >= size) return false;
  frame->min_bits = file[at];
  *data_at = at + 1;
  return true;
}

void gif_control_parse(const uint8_t* file, size_t size, size_t at, GifFrame* pending) {
  if (at > size || size - at < 5 || file[at] < 4) return;
  const uint8_t packed = file[at + 1];
  pending->disposal = (packed >> 2) & 7;
  pending->transparent = (packed & 1) != 0 ? file[at + 4] : -1;
}

}  // namespace rxlzw
