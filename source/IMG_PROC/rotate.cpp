// Turning an image by quarter turns clockwise: 90 degrees (code 1), 180
// (code 2) and 270 (code 3). A new DIB of the turned size gets the image's
// palette, masks and format; the resolution stays as it was.
//
// Quarter turns of byte-sized pixels go through bands of source rows, so
// that each new row receives a run of pixels per band instead of one.
#include <algorithm>
#include <cstring>

#include "IMG_PROC/rotate.h"
#include "SUPPORT/error.h"

RX_SOURCE("source\\IMG_PROC\\rotate.cpp");

namespace rx::ip {
namespace {

// Quarter turns go through chunks of kChunk source rows by kChunk columns
// and, inside, blocks of kBlock columns: each source row is read a few
// pixels at a time, each into its own new row.
constexpr int32_t kChunk = 512;
constexpr int32_t kBlock = 4;

template <uint32_t P>
inline void copy_pixel(uint8_t* d, const uint8_t* s) {
  std::memcpy(d, s, P);
}

// New pixel (row x, column h - 1 - y) turning clockwise (code 1) or
// (row w - 1 - x, column y) the other way (code 3) takes old pixel (row y,
// column x). The loops go by new column, ascending, so that a 24-bit pixel
// can move as a 32-bit word: its fourth byte lands on the next column of
// its new row, written later. The word is read only when it stays inside
// its source row and written only when a column follows.
template <uint32_t P, bool kClockwise>
bool turn_quarter(IMAGE_REC* record, NewDib& out) {
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  const int32_t w = h->biWidth, rows = h->biHeight;
  const auto new_stride = static_cast<ptrdiff_t>(dib_stride_of(dib_header(out.dib())));
  uint8_t* const new_top = out.row(0);  // rows of both lie at falling addresses
  const uint8_t* const top = dib_image_row(record->dib, 0);
  const auto stride = static_cast<ptrdiff_t>(dib_stride_of(h));
  const Progress progress;
  int32_t done = 0;
  for (int32_t c0 = 0; c0 < rows; c0 += kChunk) {
    const int32_t c1 = std::min(rows, c0 + kChunk);
    for (int32_t x0 = 0; x0 < w; x0 += kChunk) {
      const int32_t x1 = std::min(w, x0 + kChunk);
      for (int32_t xx = x0; xx < x1; xx += kBlock) {
        const int32_t n = std::min(kBlock, x1 - xx);
        const bool word_read = xx + n < w;  // a pixel follows the block's last
        uint8_t* dest[kBlock];
        for (int32_t k = 0; k < n; ++k) dest[k] = new_top - (kClockwise ? xx + k : w - 1 - xx - k) * new_stride;
        for (int32_t column = c0; column < c1; ++column) {
          const uint8_t* in = top - (kClockwise ? rows - 1 - column : column) * stride + size_t{P} * static_cast<uint32_t>(xx);
          const size_t at = size_t{P} * static_cast<uint32_t>(column);
          if (P == 3 && n == kBlock && word_read && column + 1 < rows) {
            for (int32_t k = 0; k < kBlock; ++k) {
              uint32_t v;
              std::memcpy(&v, in + 3 * k, 4);
              std::memcpy(dest[k] + at, &v, 4);
            }
          } else {
            for (int32_t k = 0; k < n; ++k) copy_pixel<P>(dest[k] + at, in + size_t{P} * static_cast<uint32_t>(k));
          }
        }
      }
    }
    if (!rows_reported(progress, &done, c1 - c0, rows)) return false;
  }
  return true;
}

template <uint32_t P>
bool turn_quarter(IMAGE_REC* record, NewDib& out, int32_t code) {
  return code == kTurn90 ? turn_quarter<P, true>(record, out) : turn_quarter<P, false>(record, out);
}

// New pixel (row h - 1 - y, column w - 1 - x) takes old pixel (row y,
// column x).
template <uint32_t P>
bool turn_half(IMAGE_REC* record, NewDib& out) {
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  const auto w = static_cast<uint32_t>(h->biWidth);
  const Progress progress;
  int32_t done = 0;
  for (int32_t y = 0; y < h->biHeight; ++y) {
    const uint8_t* s = dib_image_row(record->dib, y);
    uint8_t* d = out.row(h->biHeight - 1 - y);
    for (uint32_t x = 0; x < w; ++x, d += P) copy_pixel<P>(d, s + size_t{P} * (w - 1 - x));
    if (!rows_reported(progress, &done, 1, h->biHeight)) return false;
  }
  return true;
}

inline uint32_t nibble_at(const uint8_t* row, uint32_t x) {
  return (x & 1) ? row[x >> 1] & 15u : row[x >> 1] >> 4;
}

inline void nibble_put(uint8_t* row, uint32_t x, uint32_t v) {
  row[x >> 1] = static_cast<uint8_t>((x & 1) ? (row[x >> 1] & 0xF0u) | v : (row[x >> 1] & 15u) | v << 4);
}

bool turn_nibbles(IMAGE_REC* record, NewDib& out, int32_t code) {
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  const int32_t w = h->biWidth, rows = h->biHeight;
  const Progress progress;
  int32_t done = 0;
  for (int32_t y = 0; y < rows; ++y) {
    const uint8_t* s = dib_image_row(record->dib, y);
    for (int32_t x = 0; x < w; ++x) {
      const uint32_t v = nibble_at(s, static_cast<uint32_t>(x));
      if (code == kTurn90) nibble_put(out.row(x), static_cast<uint32_t>(rows - 1 - y), v);
      else if (code == kTurn270) nibble_put(out.row(w - 1 - x), static_cast<uint32_t>(y), v);
      else nibble_put(out.row(rows - 1 - y), static_cast<uint32_t>(w - 1 - x), v);
    }
    if (!rows_reported(progress, &done, 1, rows)) return false;
  }
  return true;
}

template <uint32_t P>
bool turn_pixels(IMAGE_REC* record, NewDib& out, int32_t code) {
  return code == kTurn180 ? turn_half<P>(record, out) : turn_quarter<P>(record, out, code);
}

bool turn(IMAGE_REC* record, NewDib& out, int32_t code) {
  switch (dib_header(record->dib)->biBitCount) {
    case 1: return turn_bilevel(record, out, code);
    case 4: return turn_nibbles(record, out, code);
    case 8: return turn_pixels<1>(record, out, code);
    case 16: return turn_pixels<2>(record, out, code);
    default: return turn_pixels<3>(record, out, code);
  }
}

}  // namespace

bool rows_reported(const Progress& progress, int32_t* done, int32_t count, int32_t rows) {
  for (int32_t i = 0; i < count; ++i, ++*done)
    if (!progress.go_on(*done, rows)) {
      push_interrupted(*done, rows);
      return false;
    }
  return true;
}

bool quarter_turn(IMAGE_REC* record, int32_t code) {
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  if (!dib_bits_valid(h->biBitCount)) {
    RX_ERR(RXE_INVALID_BIT_COUNT, h->biBitCount, 0);
    return false;
  }
  const bool across = code != kTurn180;
  const int32_t width = across ? h->biHeight : h->biWidth;
  const int32_t height = across ? h->biWidth : h->biHeight;
  RecordLock lock(record);
  if (!lock.held()) {
    push_lock_failed();
    return false;
  }
  NewDib out(record);
  const bool made = dib_is_runs(record->dib)
                        ? out.create_runs(width, height, dib_palette(record->dib))
                        : out.create_like(width, height, h->biBitCount == 4);
  if (!made || !turn(record, out, code)) return false;
  out.attach();
  return true;
}

}  // namespace rx::ip

using namespace rx;
using namespace rx::ip;

extern "C" int32_t RX_IP_rotate(RX_HIMAGE image, int32_t code) {
  IMAGE_REC* record = enter_image(image, RXE_INVALID_HANDLE);
  if (record == nullptr) return RPb_AF_error_check();
  if (code != kTurn90 && code != kTurn180 && code != kTurn270)
    RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, code, 0);
  else
    quarter_turn(record, code);
  return RPb_AF_error_check();
}
