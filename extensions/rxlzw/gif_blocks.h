// The block structure of a GIF file held in memory: the logical screen,
// then each frame with its graphic control values, found by walking the
// blocks without decoding any pixels. The walk never reads past the data
// and never loops without moving on, whatever the blocks claim.
#pragma once

#include <cstddef>
#include <cstdint>

namespace rxlzw {

// Disposal methods of a frame's graphic control extension.
enum GifDisposal {
  kDisposeNone = 0,        // unspecified: leave the frame in place
  kDisposeKeep = 1,        // leave the frame in place
  kDisposeBackground = 2,  // clear the frame's area
  kDisposePrevious = 3     // put back what was under the frame
};

struct GifColorTable {
  const uint8_t* rgb = nullptr;  // red, green, blue triples; null when absent
  int32_t size = 0;              // entries: 2 to 256
};

struct GifScreen {
  int32_t width = 0, height = 0;
  GifColorTable global;
  int32_t background = 0;  // index into the global table
  bool version_89a = false;
};

struct GifFrame {
  int32_t left = 0, top = 0, width = 0, height = 0;
  bool interlaced = false;
  GifColorTable local;
  int32_t disposal = kDisposeNone;
  int32_t transparent = -1;  // index, or -1
  int32_t min_bits = 0;      // LZW minimum code size as stored
  size_t data = 0;           // offset of the first data sub-block
  // Where the frame's colours come from: its own table, else the global.
  const GifColorTable& table(const GifScreen& s) const { return local.rgb ? local : s.global; }
};

// Bytes of the header and logical screen descriptor.
inline constexpr size_t kGifHeaderBytes = 13;

// Reads the header and logical screen; false when the data is no GIF or
// too short for them.
bool gif_screen_parse(const uint8_t* file, size_t size, GifScreen* screen, size_t* after);

// Walks the blocks after the screen. Calls visit(frame, n) for each frame
// in file order (n from 0) until visit returns false; returns the number
// of frames visited. *end receives the offset of the trailer, or of the
// first byte that is no block, or the size when the data ran out.
template <typename Visit>
int32_t gif_frames_walk(const uint8_t* file, size_t size, size_t start, Visit visit, size_t* end);

// Offset after the sub-block chain starting at `at` (past its empty
// terminator, or the size when the data ends first).
size_t gif_sub_blocks_skip(const uint8_t* file, size_t size, size_t at);

// Copies the data bytes of the sub-block chain at `at` into out (room for
// `room` bytes); returns how many it copied.
size_t gif_sub_blocks_gather(const uint8_t* file, size_t size, size_t at, uint8_t* out,
                             size_t room);

// A frame's descriptor and local table at `at` (just after the 0x2C);
// false when the data ends inside them.
bool gif_frame_parse(const uint8_t* file, size_t size, size_t at, GifFrame* frame,
                     size_t* data_at);

// A graphic control extension's first sub-block at `at` (its size byte).
void gif_control_parse(const uint8_t* file, size_t size, size_t at, GifFrame* pending);

template <typename Visit>
int32_t gif_frames_walk(const uint8_t* file, size_t size, size_t start, Visit visit, size_t* end) {
  int32_t count = 0;
  GifFrame pending;
  size_t at = start;
  while (at < size) {
    const uint8_t kind = file[at];
    if (kind == 0x21 && at + 1 < size) {
      if (file[at + 1] == 0xF9) gif_control_parse(file, size, at + 2, &pending);
      at = gif_sub_blocks_skip(file, size, at + 2);
    } else if (kind == 0x2C) {
      GifFrame frame = pending;
      pending = GifFrame{};
      size_t data_at = 0;
      if (!gif_frame_parse(file, size, at + 1, &frame, &data_at)) {
        at = size;
        break;
      }
      frame.data = data_at;
      const bool more = visit(frame, count);
      ++count;
      at = gif_sub_blocks_skip(file, size, data_at);
      if (!more) break;
    } else {
      // The trailer, or a byte that starts no block: the GIF ends here.
      break;
    }
  }
  if (end != nullptr) *end = at < size ? at : size;
  return count;
}

}  // namespace rxlzw
