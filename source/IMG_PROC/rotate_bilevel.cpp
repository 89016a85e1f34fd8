// Quarter turns of 1-bit images. Turning by 90 or 270 degrees transposes
// 8 x 8 blocks of bits: eight source rows give one byte of every new row.
// Run rows are expanded eight at a time; the turned runs image is
// assembled as packed rows and stored as run rows at the end. Half turns
// reverse each row, run rows by mirroring their change columns.
#include <algorithm>
#include <cstring>

#include "IMG_PROC/rotate.h"
#include "IMG_PROC/run_edit.h"
#include "SUPPORT/error.h"
#include "SUPPORT/mem_tag.h"
#include "SUPPORT/runs.h"

RX_SOURCE("source\\IMG_PROC\\rotate_bilevel.cpp");

namespace rx::ip {
namespace {

// An 8 x 8 bit matrix, row i in byte 7 - i (the first row in the top
// byte), bit 7 - c of a byte holding column c; returns its transpose in the
// same layout.
constexpr uint64_t transpose8(uint64_t x) {
  uint64_t t = (x ^ (x >> 7)) & 0x00AA00AA00AA00AAull;
  x ^= t ^ (t << 7);
  t = (x ^ (x >> 14)) & 0x0000CCCC0000CCCCull;
  x ^= t ^ (t << 14);
  t = (x ^ (x >> 28)) & 0x00000000F0F0F0F0ull;
  x ^= t ^ (t << 28);
  return x;
}
static_assert(transpose8(0x8000000000000000ull) == 0x8000000000000000ull);
static_assert(transpose8(0x4000000000000000ull) == 0x0080000000000000ull);
static_assert(transpose8(0x0000000000000001ull) == 0x0000000000000001ull);

// Eight source rows as packed rows; rows outside the image read as 0.
class Band {
 public:
  Band(IMAGE_REC* record, TagGuard& scratch) : record_(record) {
    const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
    height_ = h->biHeight;
    stride_ = dib_stride_of(h);
    if (!dib_is_runs(record->dib)) return;
    for (auto& b : buffers_) b = static_cast<uint8_t*>(scratch.alloc(stride_));
    for (auto* b : buffers_)
      if (b == nullptr) {
        RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, 8 * stride_, 0);
        ok_ = false;
      }
  }
  bool ok() const { return ok_; }
  bool load(const int32_t* ys) {
    for (int i = 0; i < 8; ++i) {
      rows_[i] = nullptr;
      if (ys[i] < 0 || ys[i] >= height_) continue;
      rows_[i] = buffers_[0] == nullptr ? dib_image_row(record_->dib, ys[i])
                                        : image_row_packed(record_, ys[i], buffers_[i], stride_);
      if (rows_[i] == nullptr) return false;
    }
    return true;
  }
  uint64_t column_byte(uint32_t j) const {
    uint64_t x = 0;
    for (const uint8_t* r : rows_) x = (x << 8) | (r != nullptr ? r[j] : 0u);
    return x;
  }

 private:
  IMAGE_REC* record_;
  int32_t height_;
  uint32_t stride_;
  uint8_t* buffers_[8] = {};
  const uint8_t* rows_[8] = {};
  bool ok_ = true;
};

// Code 1: new pixel (row x, column h - 1 - y) = old (row y, column x), so
// byte k of every new row holds old rows h - 1 - 8k down to h - 8 - 8k.
// Code 3: new pixel (row w - 1 - x, column y), byte k holds old rows 8k up.
bool turn_quarter(IMAGE_REC* record, NewDib& out, int32_t code) {
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  const int32_t w = h->biWidth, rows = h->biHeight;
  const auto new_stride = static_cast<uint32_t>(dib_stride(1, static_cast<uint32_t>(rows)));
  TagGuard scratch;
  Band band(record, scratch);
  if (!band.ok()) return false;
  // A runs result is assembled as packed rows first.
  uint8_t* bitmap = nullptr;
  if (out.runs()) {
    const uint64_t bytes = uint64_t{new_stride} * static_cast<uint32_t>(w);
    bitmap = bytes <= SIZE_MAX ? static_cast<uint8_t*>(scratch.alloc(static_cast<size_t>(bytes)))
                               : nullptr;
    if (bitmap == nullptr) {
      RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, std::min<uint64_t>(bytes, INT32_MAX), 0);
      return false;
    }
  }
  auto new_row = [&](int32_t r) {
    return bitmap != nullptr ? bitmap + size_t{new_stride} * static_cast<uint32_t>(r) : out.row(r);
  };
  const auto source_bytes = static_cast<uint32_t>((w + 7) / 8);
  const Progress progress;
  int32_t done = 0;
  for (int32_t k = 0; k * 8 < rows; ++k) {
    int32_t ys[8];
    for (int32_t i = 0; i < 8; ++i) ys[i] = code == kTurn90 ? rows - 1 - 8 * k - i : 8 * k + i;
    if (!band.load(ys)) return false;
    for (uint32_t j = 0; j < source_bytes; ++j) {
      const uint64_t t = transpose8(band.column_byte(j));
      for (uint32_t m = 0; m < 8; ++m) {
        const int32_t column = static_cast<int32_t>(8 * j + m);
        if (column >= w) break;
        new_row(code == kTurn90 ? column : w - 1 - column)[k] = static_cast<uint8_t>(t >> (56 - 8 * m));
      }
    }
    if (!rows_reported(progress, &done, std::min(8, rows - 8 * k), rows)) return false;
  }
  if (bitmap != nullptr)
    for (int32_t r = 0; r < w; ++r)
      if (!out.store_packed(r, new_row(r))) return false;
  return true;
}

bool turn_half(IMAGE_REC* record, NewDib& out) {
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  const auto w = static_cast<uint32_t>(h->biWidth);
  const uint32_t stride = dib_stride_of(h);
  TagGuard scratch;
  auto* run_row = static_cast<uint8_t*>(scratch.alloc(run_row_max_bytes(w)));
  if (run_row == nullptr) {
    RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, run_row_max_bytes(w), 0);
    return false;
  }
  const Progress progress;
  int32_t done = 0;
  for (int32_t y = 0; y < h->biHeight; ++y) {
    const int32_t source = h->biHeight - 1 - y;
    if (out.runs()) {
      const uint8_t* row = runs_row(record, y);  // DIB row y is image row `source`
      if (row == nullptr) {
        RX_ERR(RXE_INTERNAL_ERROR, source, 0);
        return false;
      }
      if (!out.store_run_row(y, run_row, run_row_mirror(row, w, run_row))) return false;
    } else {
      bits_reverse(dib_image_row(record->dib, source), w, stride, out.row(y));
    }
    if (!rows_reported(progress, &done, 1, h->biHeight)) return false;
  }
  return true;
}

}  // namespace

bool turn_bilevel(IMAGE_REC* record, NewDib& out, int32_t code) {
  return code == kTurn180 ? turn_half(record, out) : turn_quarter(record, out, code);
}

}  // namespace rx::ip
