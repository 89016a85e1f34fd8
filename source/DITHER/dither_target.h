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

// Bytes to start a dithered runs image with: dithered rows change colour
// often, so room for the longest rows, up to a bound past which the area
// grows as rows come.
uint64_t dithered_runs_capacity(int32_t width, int32_t height);

// The packed rows of a 1-bit result, made bottom row first and stored
// into the runs result top down at the end.
class BitPlane {
 public:
  BitPlane(NewDib& out, uint32_t width, int32_t height, TagGuard& scratch);
  bool ok() const { return bits_ != nullptr; }
  // Image row y, all 0 until set.
  uint8_t* row(int32_t y) { return bits_ + size_t{stride_} * static_cast<uint32_t>(y); }
  // Stores every row as a run row.
  bool store();

 private:
  NewDib& out_;
  uint32_t stride_;
  int32_t height_;
  uint8_t* bits_;
};

}  // namespace rx::dither
