// What the operations that build a new DIB for an image share: the entry
// checks, the DIB under construction that replaces the image's only once it
// is complete, and reading the packed rows of 1-bit images in either
// format.
//
// An operation locks the record for its whole run (so a status callback
// cannot delete the image or replace its DIB), builds the new DIB beside
// the old one under the record's tag, and attaches it at the end. Any
// failure or interruption before that frees the new DIB: the image keeps
// its pixels.
#pragma once

#include <cstdint>

#include "IMG_PROC/ip_common.h"
#include "SUPPORT/dib.h"
#include "SUPPORT/image_rec.h"

namespace rx::ip {

// Clears the error stack and returns the record of a valid handle holding a
// DIB. Otherwise pushes and returns null: a handle of 0 pushes `zero_code`
// when that is not 0, any other invalid handle RXE_INVALID_FILE_HEADER
// with the handle's low 32 bits.
IMAGE_REC* enter_image(RX_HIMAGE image, int32_t zero_code);

// The geometry of a new DIB, checked through dib_geometry (and the runs
// width limit for runs DIBs) in 64 bits. Pushes RXE_DIB_SIZE_WRONG with the
// size when it cannot be built.
bool new_size_ok(int64_t width, int64_t height, uint32_t bits, uint32_t compression);

// The grey value of a colour with the engine's weights.
constexpr uint32_t gray_of(uint32_t red, uint32_t green, uint32_t blue) {
  return (red * 77 + green * 151 + blue * 28) >> 8;
}
inline uint32_t gray_of(const RX_RGBQUAD& q) { return gray_of(q.rgbRed, q.rgbGreen, q.rgbBlue); }

class NewDib {
 public:
  explicit NewDib(IMAGE_REC* record);
  ~NewDib();
  NewDib(const NewDib&) = delete;
  NewDib& operator=(const NewDib&) = delete;

  // A plain DIB of the given size and depth. `prefix` holds what follows
  // the header (palette, then masks) for the layout of bits and
  // compression, or is null for a zero palette. The pixel area is cleared
  // when `zero` is set; otherwise only each row's last 32-bit word is, so
  // that padding is defined once the operation writes every pixel.
  bool create(int64_t width, int64_t height, uint32_t bits, uint32_t compression,
              const void* prefix, bool zero);
  // The same layout as the record's own DIB (palette, masks, compression)
  // at another size.
  bool create_like(int64_t width, int64_t height, bool zero);
  // A 1-bit runs DIB whose rows are then stored top down, each once. The
  // pixel area starts at `capacity` bytes (at least a short row per row)
  // and doubles when rows need more; attach trims it.
  bool create_runs(int64_t width, int64_t height, const RX_RGBQUAD* palette, uint64_t capacity = 0);

  void* dib() const { return temp_.dib; }
  bool runs() const { return dib_is_runs(temp_.dib); }
  RX_RGBQUAD* palette() { return dib_palette(temp_.dib); }
  // Image row `row` (from the top) of a plain new DIB.
  uint8_t* row(int32_t image_row) { return dib_image_row(temp_.dib, image_row); }

  // Stores the next image row of a runs DIB, counting from the top, from a
  // packed row or a ready run row (which must not lie in this DIB).
  bool store_packed(int32_t image_row, const uint8_t* packed);
  bool store_run_row(int32_t image_row, const uint8_t* run_row, uint32_t length);
  // Stores a packed row into either kind of DIB.
  bool put_packed(int32_t image_row, const uint8_t* packed, uint32_t bytes);

  // Replaces the record's DIB with the new one; the handle, resolution and
  // display attributes stay, except that a changed size resets the image
  // rectangle (and a device rectangle that covered the whole image) to the
  // whole new image. The logical palette is rebuilt. A runs DIB must have
  // all its rows (else RXE_INTERNAL_ERROR and nothing changes).
  bool attach();

 private:
  IMAGE_REC* record_;
  // Holds the new DIB and its run table under the record's tag until
  // attach, so the run-row functions can store into it.
  IMAGE_REC temp_{};
  uint8_t* run_scratch_ = nullptr;
  // Runs DIBs: the rows stored so far and the bytes they take.
  int32_t runs_stored_ = 0;
  uint64_t runs_used_ = 0;
};

// Packed rows of a 1-bit image, plain or runs: plain rows are the DIB's
// own, run rows are expanded into buffers of their own. The last two rows
// stay valid: a caller may hold two rows at a time.
class BitRows {
 public:
  explicit BitRows(IMAGE_REC* record);
  ~BitRows();
  BitRows(const BitRows&) = delete;
  BitRows& operator=(const BitRows&) = delete;
  bool ok() const { return ok_; }
  // Image row `row` (from the top, in range); null with the reason pushed.
  const uint8_t* row(int32_t image_row);

 private:
  IMAGE_REC* record_;
  uint32_t tag_ = 0;
  uint8_t* buffers_[2] = {nullptr, nullptr};
  int32_t cached_[2] = {-1, -1};
  int last_ = 1;
  bool ok_ = true;
};

// Reverses the first `width` pixels of a packed 1-bit row into `out`,
// which holds the row's stride bytes; bits past the width come out 0.
void bits_reverse(const uint8_t* in, uint32_t width, uint32_t stride, uint8_t* out);

// Copies `count` bits starting at bit `first` of `in` to the start of
// `out` (stride bytes, padding bits 0).
void bits_copy(const uint8_t* in, uint32_t first, uint32_t count, uint8_t* out, uint32_t stride);

}  // namespace rx::ip
