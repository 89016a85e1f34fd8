// The DIB an operation builds beside the image's own, the entry checks of
// those operations, and packed 1-bit rows of either format.
#include "IMG_PROC/new_dib.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "SUPPORT/error.h"
#include "SUPPORT/image_api.h"
#include "SUPPORT/mem_tag.h"
#include "IMG_PROC/run_edit.h"
#include "SUPPORT/runs.h"

RX_SOURCE("source\\IMG_PROC\\new_dib.cpp");

namespace rx::ip {
namespace {

int32_t clamp_i32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

constexpr std::array<uint8_t, 256> make_bit_reverse() {
  std::array<uint8_t, 256> t{};
  for (uint32_t b = 0; b < 256; ++b) {
    uint32_t r = 0;
    for (uint32_t i = 0; i < 8; ++i) r |= ((b >> i) & 1u) << (7 - i);
    t[b] = static_cast<uint8_t>(r);
  }
  return t;
}

constexpr std::array<uint8_t, 256> kBitReverse = make_bit_reverse();

// Moves the bits of a row `shift` (1..7) places towards the start.
void shift_left(uint8_t* row, uint32_t bytes, uint32_t shift) {
  for (uint32_t i = 0; i + 1 < bytes; ++i)
    row[i] = static_cast<uint8_t>((row[i] << shift) | (row[i + 1] >> (8 - shift)));
  if (bytes > 0) row[bytes - 1] = static_cast<uint8_t>(row[bytes - 1] << shift);
}

void clear_tail(uint8_t* row, uint32_t width, uint32_t stride) {
  const uint32_t used = (width + 7) / 8;
  if (width % 8 != 0) row[used - 1] &= static_cast<uint8_t>(0xFFu << (8 - width % 8));
  std::memset(row + used, 0, stride - used);
}

}  // namespace

IMAGE_REC* enter_image(RX_HIMAGE image, int32_t zero_code) {
  IMAGE_REC* record = image_enter(image);
  if (record == nullptr) {
    if (image != 0) RX_ERR(RXE_INVALID_FILE_HEADER, static_cast<uint32_t>(image), 0);
    else if (zero_code != 0) RX_ERR(zero_code, 0, 0);
    else RX_ERR(RXE_INVALID_FILE_HEADER, 0, 0);
    return nullptr;
  }
  return image_header(record) != nullptr ? record : nullptr;
}

bool new_size_ok(int64_t width, int64_t height, uint32_t bits, uint32_t compression) {
  bool ok = dib_geometry(width, height, bits, compression, nullptr);
  if (ok && compression == RX_BI_RUNS) {
    RX_BITMAPINFOHEADER h{};
    h.biWidth = static_cast<int32_t>(width);
    h.biHeight = static_cast<int32_t>(height);
    ok = width <= kMaxRunsWidth &&
         kDibHeaderBytes + kRunsPaletteBytes + runs_initial_capacity(h) <= kMaxDibBytes;
  }
  if (!ok) RX_ERR(RXE_DIB_SIZE_WRONG, clamp_i32(width), clamp_i32(height));
  return ok;
}

// ---- NewDib -----------------------------------------------------------------

NewDib::NewDib(IMAGE_REC* record) : record_(record) { temp_.tag = record->tag; }

NewDib::~NewDib() {
  if (temp_.dib != nullptr) RPb_DIB_free(temp_.dib, &temp_);
  else if (temp_.run_table != nullptr) RPb_AF_mem_free(record_->tag, temp_.run_table);
  if (run_scratch_ != nullptr) RPb_AF_mem_free(record_->tag, run_scratch_);
}

bool NewDib::create(int64_t width, int64_t height, uint32_t bits, uint32_t compression,
                    const void* prefix, bool zero) {
  if (!new_size_ok(width, height, bits, compression)) return false;
  DibGeometry g{};
  dib_geometry(width, height, bits, compression, &g);
  auto* dib = static_cast<uint8_t*>(RPb_AF_mem_alloc(record_->tag, g.total));
  if (dib == nullptr) {
    RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, g.total, 0);
    return false;
  }
  const RX_BITMAPINFOHEADER& old = *dib_header(record_->dib);
  const RX_BITMAPINFOHEADER h{kDibHeaderBytes,
                              static_cast<int32_t>(width),
                              static_cast<int32_t>(height),
                              1,
                              static_cast<uint16_t>(bits),
                              compression,
                              g.pixel_bytes,
                              old.biXPelsPerMeter,
                              old.biYPelsPerMeter,
                              0,
                              0};
  std::memcpy(dib, &h, sizeof h);
  const uint32_t prefix_bytes = g.palette + g.masks;
  if (prefix != nullptr) std::memcpy(dib + kDibHeaderBytes, prefix, prefix_bytes);
  else std::memset(dib + kDibHeaderBytes, 0, prefix_bytes);
  uint8_t* pixels = dib + kDibHeaderBytes + prefix_bytes;
  if (zero) {
    std::memset(pixels, 0, g.pixel_bytes);
  } else {
    for (int64_t r = 0; r < height; ++r)
      std::memset(pixels + static_cast<size_t>(r + 1) * g.stride - 4, 0, 4);
  }
  temp_.dib = dib;
  return true;
}

bool NewDib::create_like(int64_t width, int64_t height, bool zero) {
  const RX_BITMAPINFOHEADER* h = dib_header(record_->dib);
  return create(width, height, h->biBitCount, h->biCompression,
                static_cast<const uint8_t*>(record_->dib) + kDibHeaderBytes, zero);
}

bool NewDib::create_runs(int64_t width, int64_t height, const RX_RGBQUAD* palette,
                         uint64_t capacity) {
  if (!new_size_ok(width, height, 1, RX_BI_RUNS)) return false;
  const auto rows = static_cast<uint32_t>(height);
  const uint64_t prefix = kDibHeaderBytes + kRunsPaletteBytes;
  capacity = std::clamp<uint64_t>(capacity, uint64_t{kMinRunRowBytes} * rows, kMaxDibBytes - prefix);
  const size_t scratch = run_row_max_bytes(static_cast<uint32_t>(width)) + kRunRowSlack;
  run_scratch_ = static_cast<uint8_t*>(RPb_AF_mem_alloc(record_->tag, scratch));
  temp_.run_table = static_cast<uint32_t*>(RPb_AF_mem_alloc(record_->tag, size_t{4} * rows));
  auto* dib = static_cast<uint8_t*>(RPb_AF_mem_alloc(record_->tag, static_cast<size_t>(prefix + capacity)));
  if (run_scratch_ == nullptr || temp_.run_table == nullptr || dib == nullptr) {
    if (dib != nullptr) RPb_AF_mem_free(record_->tag, dib);
    RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, static_cast<int32_t>(std::min<uint64_t>(prefix + capacity, INT32_MAX)), 0);
    return false;
  }
  const RX_BITMAPINFOHEADER* old = dib_header(record_->dib);
  RX_BITMAPINFOHEADER h{};
  RPb_DIB_init(&h, static_cast<int32_t>(width), static_cast<int32_t>(height), 1, RX_BI_RUNS,
               old->biXPelsPerMeter, old->biYPelsPerMeter);
  h.biSizeImage = static_cast<uint32_t>(capacity);
  std::memcpy(dib, &h, sizeof h);
  if (palette != nullptr) std::memcpy(dib + kDibHeaderBytes, palette, kRunsPaletteBytes);
  else std::memset(dib + kDibHeaderBytes, 0, kRunsPaletteBytes);
  temp_.dib = dib;
  return true;
}

bool NewDib::store_packed(int32_t image_row, const uint8_t* packed) {
  const auto width = static_cast<uint32_t>(dib_header(temp_.dib)->biWidth);
  return store_run_row(image_row, run_scratch_, run_row_from_packed(packed, width, run_scratch_));
}

bool NewDib::store_run_row(int32_t image_row, const uint8_t* run_row, uint32_t length) {
  RX_BITMAPINFOHEADER* h = dib_header(temp_.dib);
  if (image_row != runs_stored_ || image_row >= h->biHeight) {
    RX_ERR(RXE_INTERNAL_ERROR, image_row, runs_stored_);
    return false;
  }
  if (runs_used_ + length > h->biSizeImage) {
    // Doubling keeps a whole pass linear.
    const uint64_t prefix = kDibHeaderBytes + kRunsPaletteBytes;
    const uint64_t capacity =
        std::min<uint64_t>(std::max<uint64_t>(2 * uint64_t{h->biSizeImage}, runs_used_ + length), kMaxDibBytes - prefix);
    if (runs_used_ + length > capacity) {
      RX_ERR(RXE_DIB_SIZE_WRONG, h->biWidth, h->biHeight);
      return false;
    }
    void* moved = RPb_AF_mem_realloc(record_->tag, temp_.dib, static_cast<size_t>(prefix + capacity));
    if (moved == nullptr) {
      RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, static_cast<int32_t>(prefix + capacity), 0);
      return false;
    }
    temp_.dib = moved;
    h = dib_header(moved);
    h->biSizeImage = static_cast<uint32_t>(capacity);
  }
  std::memcpy(dib_pixels(temp_.dib) + runs_used_, run_row, length);
  temp_.run_table[h->biHeight - 1 - image_row] = static_cast<uint32_t>(runs_used_);
  runs_used_ += length;
  ++runs_stored_;
  return true;
}

bool NewDib::put_packed(int32_t image_row, const uint8_t* packed, uint32_t bytes) {
  if (runs()) return store_packed(image_row, packed);
  std::memcpy(row(image_row), packed, bytes);
  return true;
}

bool NewDib::attach() {
  if (runs()) {
    // Every row stored; the pixel area trimmed to them.
    RX_BITMAPINFOHEADER* h = dib_header(temp_.dib);
    if (runs_stored_ != h->biHeight) {
      RX_ERR(RXE_INTERNAL_ERROR, runs_stored_, h->biHeight);
      return false;
    }
    if (runs_used_ < h->biSizeImage) {
      const size_t size = kDibHeaderBytes + kRunsPaletteBytes + static_cast<size_t>(runs_used_);
      if (void* trimmed = RPb_AF_mem_realloc(record_->tag, temp_.dib, size)) temp_.dib = trimmed;
      dib_header(temp_.dib)->biSizeImage = static_cast<uint32_t>(runs_used_);
    }
  }
  const RX_BITMAPINFOHEADER old = *dib_header(record_->dib);
  RPb_DIB_free(record_->dib, record_);
  record_->dib = temp_.dib;
  record_->run_table = temp_.run_table;
  temp_.dib = nullptr;
  temp_.run_table = nullptr;
  const RX_BITMAPINFOHEADER* h = dib_header(record_->dib);
  if (h->biWidth != old.biWidth || h->biHeight != old.biHeight) {
    DISPLAY_ATTR& d = record_->display;
    const int32_t right = h->biWidth - 1, bottom = h->biHeight - 1;
    const bool device_whole = d.device_rect[0] == 0.0 && d.device_rect[1] == 0.0 &&
                              d.device_rect[2] == old.biWidth - 1 &&
                              d.device_rect[3] == old.biHeight - 1;
    d.image_rect[0] = d.image_rect[1] = 0;
    d.image_rect[2] = right;
    d.image_rect[3] = bottom;
    if (device_whole) {
      d.device_rect[2] = right;
      d.device_rect[3] = bottom;
    }
  }
  RPb_logical_palette_update(record_);
  return true;
}

// ---- BitRows ------------------------------------------------------------------

BitRows::BitRows(IMAGE_REC* record) : record_(record) {
  if (!dib_is_runs(record->dib)) return;
  tag_ = RPb_AF_mem_unique_tag_get();
  const uint32_t stride = dib_stride_of(dib_header(record->dib));
  for (uint8_t*& b : buffers_) b = static_cast<uint8_t*>(RPb_AF_mem_alloc(tag_, stride));
  if (buffers_[0] == nullptr || buffers_[1] == nullptr) {
    RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, 2 * stride, 0);
    ok_ = false;
  }
}

BitRows::~BitRows() {
  if (tag_ != 0) RPb_AF_mem_free_all(tag_);
}

const uint8_t* BitRows::row(int32_t image_row) {
  if (tag_ == 0) return dib_image_row(record_->dib, image_row);
  for (int i = 0; i < 2; ++i)
    if (cached_[i] == image_row) {
      last_ = i;
      return buffers_[i];
    }
  // The row handed out last stays: callers hold two rows at a time.
  const int slot = last_ ^ 1;
  const RX_BITMAPINFOHEADER* h = dib_header(record_->dib);
  const uint8_t* packed = image_row_packed(record_, image_row, buffers_[slot], dib_stride_of(h));
  if (packed == nullptr) return nullptr;
  cached_[slot] = image_row;
  last_ = slot;
  return packed;
}

// ---- Bit rows ------------------------------------------------------------------

void bits_reverse(const uint8_t* in, uint32_t width, uint32_t stride, uint8_t* out) {
  const uint32_t used = (width + 7) / 8;
  for (uint32_t i = 0; i < used; ++i) out[i] = kBitReverse[in[used - 1 - i]];
  // The reversed row starts with the padding bits of the last byte.
  if (const uint32_t pad = used * 8 - width) shift_left(out, used, pad);
  clear_tail(out, width, stride);
}

void bits_copy(const uint8_t* in, uint32_t first, uint32_t count, uint8_t* out,
               uint32_t stride) {
  const uint32_t used = (count + 7) / 8;
  const uint8_t* src = in + first / 8;
  const uint32_t shift = first % 8;
  if (shift == 0) {
    std::memcpy(out, src, used);
  } else {
    // The source bits span at most used + 1 bytes, all inside the row.
    const uint32_t src_bytes = (shift + count + 7) / 8;
    for (uint32_t i = 0; i < used; ++i) {
      const uint32_t low = i + 1 < src_bytes ? src[i + 1] >> (8 - shift) : 0;
      out[i] = static_cast<uint8_t>((src[i] << shift) | low);
    }
  }
  clear_tail(out, count, stride);
}

}  // namespace rx::ip
