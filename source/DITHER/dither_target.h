// The result image of the dithering operations: a 1-bit runs image with
// black at 0 and white at 1, or a 4-bit image with a 16-colour palette.
// Rows come in storage order, bottom row first.
#pragma once

#include <cstdint>

#include "DITHER/dither_common.h"
#include "SUPPORT/mem_tag.h"

namespace rx::dither {

// Checks a dithering target for the image's depth: 4-bit images give
// 1-bit results; 8- and 24-bit images 1-bit, or 4-bit ones when
// `colour_ok`. Pushes RXE_BIT_COUNT_UNSUPPORTED with the depth and the
// target otherwise.
bool target_ok(uint32_t bits, int32_t target, bool colour_ok);

// A packed 1-bit row in the making, stored into a runs result.
class BitLine {
 public:
  BitLine(NewDib& out, uint32_t width, TagGuard& scratch);
  bool ok() const { return line_ != nullptr; }
  uint8_t* bytes() { return line_; }
  // Stores the line as image row y and clears it for the next.
  bool store(int32_t y);

 private:
  NewDib& out_;
  uint32_t stride_;
  uint8_t* line_;
};

}  // namespace rx::dither
