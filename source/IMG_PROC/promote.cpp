// Promoting an image to a deeper format without losing anything: 1-bit to
// 4-bit, 1- and 4-bit to 8-bit, palette images to 24-bit. Rows pass
// through one buffer holding a palette index per pixel.
#include <cstring>

#include "IMG_PROC/new_dib.h"
#include "SUPPORT/error.h"
#include "SUPPORT/fixed_palettes.h"
#include "SUPPORT/mem_tag.h"
#include "SUPPORT/runs.h"

RX_SOURCE("source\\IMG_PROC\\promote.cpp");

namespace rx::ip {
namespace {

enum Target : int32_t { kTo4 = 1, kTo8 = 2, kTo24 = 3 };

uint32_t target_bits(int32_t target) { return target == kTo4 ? 4 : target == kTo8 ? 8 : 24; }

// 4-bit images come only from 1-bit ones, 8-bit from 1- and 4-bit, 24-bit
// from any palette image.
bool source_ok(uint32_t bits, int32_t target) {
  if (!dib_bits_valid(bits)) {
    RX_ERR(RXE_INVALID_BIT_COUNT, bits, target);
    return false;
  }
  if (bits <= 8 && bits < target_bits(target)) return true;
  RX_ERR(RXE_BIT_COUNT_UNSUPPORTED, bits, target);
  return false;
}

bool same_colour(const RX_RGBQUAD& q, uint8_t v) {
  return q.rgbRed == v && q.rgbGreen == v && q.rgbBlue == v;
}

// The new palette and the index each old index becomes.
struct Mapping {
  RX_RGBQUAD palette[256] = {};
  uint8_t index[256] = {};
};

Mapping mapping_for(const void* dib, int32_t target) {
  const RX_BITMAPINFOHEADER* h = dib_header(dib);
  const RX_RGBQUAD* old = dib_palette(dib);
  const uint32_t entries = 1u << h->biBitCount;
  Mapping m;
  for (uint32_t i = 0; i < 256; ++i) m.index[i] = static_cast<uint8_t>(i);
  std::memcpy(m.palette, old, entries * sizeof(RX_RGBQUAD));
  // Black and white become grey levels 0 and 255, whichever index they had.
  if (target == kTo8 && h->biBitCount == 1) {
    const bool black_white = same_colour(old[0], 0) && same_colour(old[1], 255);
    const bool white_black = same_colour(old[0], 255) && same_colour(old[1], 0);
    if (black_white || white_black) {
      std::memcpy(m.palette, kGrayRamp256.data(), sizeof m.palette);
      m.index[0] = black_white ? 0 : 255;
      m.index[1] = black_white ? 255 : 0;
    }
  }
  return m;
}

void unpack(const uint8_t* row, uint32_t bits, uint32_t width, uint8_t* out) {
  if (bits == 8) {
    std::memcpy(out, row, width);
  } else if (bits == 4) {
    for (uint32_t x = 0; x < width; ++x) out[x] = (x & 1) ? row[x >> 1] & 15u : row[x >> 1] >> 4;
  } else {
    for (uint32_t x = 0; x < width; ++x) out[x] = (row[x >> 3] >> (7 - (x & 7))) & 1u;
  }
}

void pack(const uint8_t* in, const Mapping& m, uint32_t bits, uint32_t width, uint8_t* row) {
  if (bits == 24) {
    for (uint32_t x = 0; x < width; ++x, row += 3) {
      const RX_RGBQUAD& q = m.palette[in[x]];
      row[0] = q.rgbBlue;
      row[1] = q.rgbGreen;
      row[2] = q.rgbRed;
    }
  } else if (bits == 8) {
    for (uint32_t x = 0; x < width; ++x) row[x] = m.index[in[x]];
  } else {
    for (uint32_t x = 0; x < width; x += 2) {
      const uint32_t second = x + 1 < width ? in[x + 1] & 15u : 0;
      row[x >> 1] = static_cast<uint8_t>((in[x] & 15u) << 4 | second);
    }
  }
}

void promote(IMAGE_REC* record, int32_t target) {
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  const uint32_t bits = h->biBitCount;
  if (!source_ok(bits, target)) return;
  const auto width = static_cast<uint32_t>(h->biWidth);
  const uint32_t new_bits = target_bits(target);
  const Mapping m = mapping_for(record->dib, target);
  RecordLock lock(record);
  if (!lock.held()) {
    push_lock_failed();
    return;
  }
  TagGuard scratch;
  auto* indices = static_cast<uint8_t*>(scratch.alloc(width));
  auto* expanded = static_cast<uint8_t*>(scratch.alloc(dib_stride_of(h)));
  if (indices == nullptr || expanded == nullptr) {
    RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, width + dib_stride_of(h), 0);
    return;
  }
  NewDib out(record);
  if (!out.create(width, h->biHeight, new_bits, RX_BI_RGB, target == kTo24 ? nullptr : m.palette,
                  false))
    return;
  const Progress progress;
  for (int32_t y = 0; y < h->biHeight; ++y) {
    const uint8_t* row = image_row_packed(record, y, expanded, dib_stride_of(h));
    if (row == nullptr) return;
    unpack(row, bits, width, indices);
    pack(indices, m, new_bits, width, out.row(y));
    if (!progress.go_on(y, h->biHeight)) {
      push_interrupted(y, h->biHeight);
      return;
    }
  }
  out.attach();
}

}  // namespace
}  // namespace rx::ip

using namespace rx;
using namespace rx::ip;

extern "C" int32_t RX_IP_promote(RX_HIMAGE image, int32_t target) {
  IMAGE_REC* record = enter_image(image, RXE_INVALID_HANDLE);
  if (record == nullptr) return RPb_AF_error_check();
  if (target != kTo4 && target != kTo8 && target != kTo24)
    RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, target, 0);
  else
    promote(record, target);
  return RPb_AF_error_check();
}
