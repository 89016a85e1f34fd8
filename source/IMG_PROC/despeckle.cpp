// Despeckle: every pixel of the rectangle is limited to the range of its
// eight neighbours (those inside the picture), read from the unchanged
// image. A pixel lighter or darker than everything round it (dust, a stray
// dot of toner, a pinhole in a stroke) is pulled back into its
// surroundings, while any pixel on a stroke or an edge has a neighbour
// on each side of its own value and stays: one-pixel lines survive whole.
// On 1-bit pages this clears isolated single pixels of either colour; on
// grey and colour pages (each channel alone) it clips impulse noise.
#include <algorithm>
#include <cstring>

#include "IMG_PROC/ip_common.h"
#include "SUPPORT/error.h"
#include "SUPPORT/mem_tag.h"
#include "SUPPORT/runs.h"

RX_SOURCE("source\\IMG_PROC\\despeckle.cpp");

namespace rx::ip {
namespace {

// One picture row as one byte per sample (1-bit rows unpacked).
void row_samples(void* dib, int32_t bits, int32_t y, int32_t width, uint8_t* out) {
  const uint8_t* row = dib_image_row(dib, y);
  if (bits != 1) {
    std::memcpy(out, row, static_cast<size_t>(width) * (bits == 24 ? 3 : 1));
    return;
  }
  for (int32_t x = 0; x < width; ++x) out[x] = static_cast<uint8_t>((row[x >> 3] >> (7 - (x & 7))) & 1u);
}

void put_samples(void* dib, int32_t bits, int32_t y, const Span& span, const uint8_t* samples) {
  uint8_t* row = dib_image_row(dib, y);
  if (bits != 1) {
    const size_t bpp = bits == 24 ? 3 : 1;
    std::memcpy(row + span.left * bpp, samples + span.left * bpp, span.columns() * bpp);
    return;
  }
  for (int32_t x = span.left; x <= span.right; ++x) {
    const auto mask = static_cast<uint8_t>(0x80u >> (x & 7));
    row[x >> 3] = static_cast<uint8_t>(samples[x] ? row[x >> 3] | mask : row[x >> 3] & ~mask);
  }
}

bool despeckle_plain(IMAGE_REC* record, const Span& span) {
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  const int32_t bits = h->biBitCount, width = h->biWidth, height = h->biHeight;
  const int32_t bpp = bits == 24 ? 3 : 1;
  const size_t row_bytes = static_cast<size_t>(width) * bpp;
  TagGuard tag;
  // Rows y - 1, y and y + 1 of the source, and the output row.
  auto* buffer = static_cast<uint8_t*>(tag.alloc(4 * row_bytes));
  if (buffer == nullptr) {
    RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, static_cast<int32_t>(std::min<size_t>(4 * row_bytes, INT32_MAX)), 0);
    return false;
  }
  uint8_t* ring[3] = {buffer, buffer + row_bytes, buffer + 2 * row_bytes};
  uint8_t* out = buffer + 3 * row_bytes;
  auto slot = [&](int32_t y) { return ring[y % 3]; };
  int32_t next_load = std::max(0, span.top - 1);
  return span_walk(record, span, 1, [&](int32_t y) {
    for (; next_load <= std::min(height - 1, y + 1); ++next_load)
      row_samples(record->dib, bits, next_load, width, slot(next_load));
    const uint8_t* rows[3] = {y > 0 ? slot(y - 1) : nullptr, slot(y),
                              y + 1 < height ? slot(y + 1) : nullptr};
    std::memcpy(out, slot(y), row_bytes);
    for (int32_t x = span.left; x <= span.right; ++x)
      for (int32_t c = 0; c < bpp; ++c) {
        int32_t low = 255, high = 0, seen = 0;
        for (int32_t dy = 0; dy < 3; ++dy) {
          if (rows[dy] == nullptr) continue;
          for (int32_t dx = -1; dx <= 1; ++dx) {
            if ((dy == 1 && dx == 0) || x + dx < 0 || x + dx >= width) continue;
            const int32_t v = rows[dy][(x + dx) * bpp + c];
            low = std::min(low, v);
            high = std::max(high, v);
            ++seen;
          }
        }
        uint8_t& v = out[x * bpp + c];
        if (seen != 0) v = static_cast<uint8_t>(std::clamp<int32_t>(v, low, high));
      }
    put_samples(record->dib, bits, y, span, out);
    return true;
  });
}

}  // namespace
}  // namespace rx::ip

using namespace rx;
using namespace rx::ip;

extern "C" int32_t RX_IP_despeckle(RX_HIMAGE image, const int32_t* rect) {
  IMAGE_REC* record = enter_or_push(image);
  if (record == nullptr) return RPb_AF_error_check();
  const int32_t bits = dib_header(record->dib)->biBitCount;
  if (bits == 4 || bits == 16) RX_ERR(RXE_BIT_COUNT_UNSUPPORTED, bits, 0);
  if (bits != 1 && bits != 8 && bits != 24) return RPb_AF_error_check();
  // Indices of a colour palette have no order to limit a speck against.
  if (bits == 8 && !image_is_gray(record)) {
    RX_ERR(RXE_INDEXED_8_BIT_UNSUPPORTED, 0, 0);
    return RPb_AF_error_check();
  }
  const Span span = span_clamp(rect, dib_header(record->dib));
  const bool runs = dib_is_runs(record->dib);
  if (runs && runs_to_plain(record) != 0) return RPb_AF_error_check();
  despeckle_plain(record, span);
  if (runs) plain_to_runs(record);
  return RPb_AF_error_check();
}
