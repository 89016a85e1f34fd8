// Rows of TIFF samples turned into rows of the image: fill order, the
// horizontal predictor, planes gathered into pixels, and the conversion of
// each kind of page to the engine's 1-, 4-, 8- and 24-bit rows.
#pragma once

#include <cstddef>
#include <cstdint>

#include "filters/tiff/tiff_page.h"

namespace rx::tiff {

// Reverses the bits of every byte (FillOrder 2 data).
void bits_reverse(uint8_t* p, size_t n);

// Undoes horizontal differencing on one row of `width` pixels of `samples`
// samples each, for 8- and 16-bit samples (16-bit ones in the file's byte
// order). Other sample sizes have no predictor and are left alone.
void predictor_undo(uint8_t* row, uint32_t width, uint32_t samples, uint32_t bps, bool motorola);

// Gathers the first `planes` samples of each pixel from one row of each
// plane into a chunky row of `planes` samples per pixel (8- or 16-bit).
void planes_gather(const uint8_t* const* plane_rows, uint32_t planes, uint32_t width,
                   uint32_t bps, uint8_t* out);

// Turns one chunky row of the page's samples (`samples` per pixel, as in
// the file or as gathered) into one image row of the page's depth.
class RowConverter {
 public:
  RowConverter(const Page& p, uint32_t samples, bool motorola);
  // `out` holds the image row's stride; bytes past the pixels are zeroed.
  void convert(const uint8_t* in, uint8_t* out) const;

 private:
  enum class Kind { kCopy, kFirstSample, kRgb, kCmyk };
  Kind kind_;
  uint32_t width_;
  uint32_t samples_;
  uint32_t bps_;
  uint32_t high_;  // byte of a 16-bit sample that holds its high half
  uint32_t copy_bytes_;
  uint32_t stride_;
  bool complement_;
};

// YCbCr data units (h x v luma samples, then Cb and Cr) of one band of v
// rows, turned into `rows` 24-bit image rows of `stride` bytes each.
class YCbCrConverter {
 public:
  explicit YCbCrConverter(const Page& p);
  // Bytes of one band of data units.
  uint64_t band_bytes() const { return band_bytes_; }
  void convert(const uint8_t* units, uint32_t rows, uint8_t* out, uint32_t stride) const;

 private:
  uint32_t width_, h_, v_;
  uint64_t band_bytes_;
  double lr_, lg_, lb_;
};

}  // namespace rx::tiff
