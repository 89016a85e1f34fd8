// Turning an image by any angle in degrees, clockwise for positive angles.
// Whole multiples of 90 degrees are quarter turns. Otherwise every new
// pixel takes the source pixel nearest to where it turns back to, or 0
// where that lies outside the image; the result keeps the image's size, or
// grows to hold the turned picture when asked.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "IMG_PROC/rotate.h"
#include "IMG_PROC/turn_positions.h"
#include "SUPPORT/error.h"
#include "SUPPORT/mem_tag.h"
#include "SUPPORT/runs.h"

RX_SOURCE("source\\IMG_PROC\\rotate_any.cpp");

namespace rx::ip {
namespace {

// The turn's geometry: new size, the new pixel that lands on the source
// centre, and the sine and cosine.
struct Turn {
  int64_t width, height;  // new size
  int32_t ox, oy;         // offsets of the new picture
  int32_t cx, cy;         // centre of the source
  double cos, sin;
};

Turn turn_of(int32_t w, int32_t h, double angle, bool expand) {
  const double radians = angle * 6.283185308 * (1.0 / 360.0);
  Turn t{w, h, 0, 0, (w + 1) / 2, (h + 1) / 2, std::cos(radians), std::sin(radians)};
  t.ox = t.cx;
  t.oy = t.cy;
  if (!expand) return t;
  // The corners (+-w/2, +-h/2) turned; the new size spans the truncated
  // extremes. A picture too thin to span a pixel keeps one.
  const double a = w / 2, b = h / 2;
  const double corners[4][2] = {{-a, -b}, {a, -b}, {a, b}, {-a, b}};
  double x_min = 0, x_max = 0, y_min = 0, y_max = 0;
  for (const auto& c : corners) {
    const double x = c[0] * t.cos - c[1] * t.sin;
    const double y = c[0] * t.sin + c[1] * t.cos;
    x_min = std::min(x_min, x);
    x_max = std::max(x_max, x);
    y_min = std::min(y_min, y);
    y_max = std::max(y_max, y);
  }
  t.width = std::max<int64_t>(1, static_cast<int64_t>(x_max) - static_cast<int64_t>(x_min));
  t.height = std::max<int64_t>(1, static_cast<int64_t>(y_max) - static_cast<int64_t>(y_min));
  t.ox = static_cast<int32_t>((t.width - w) / 2 + t.cx);
  t.oy = static_cast<int32_t>((t.height - h) / 2 + t.cy);
  return t;
}

// Packed rows of a 1-bit source: a runs image is expanded whole, as every
// new row reaches across all of its rows.
const uint8_t* bilevel_source(IMAGE_REC* record, TagGuard& scratch) {
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  if (!dib_is_runs(record->dib)) return dib_pixels(record->dib);
  const uint32_t stride = dib_stride_of(h);
  const uint64_t bytes = uint64_t{stride} * static_cast<uint32_t>(h->biHeight);
  auto* plain = static_cast<uint8_t*>(scratch.alloc(static_cast<size_t>(bytes)));
  if (plain == nullptr) {
    RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, std::min<uint64_t>(bytes, INT32_MAX), 0);
    return nullptr;
  }
  // Stored bottom-up like a plain DIB.
  for (int32_t d = 0; d < h->biHeight; ++d) {
    const uint8_t* row = runs_row(record, d);
    if (row == nullptr) {
      RX_ERR(RXE_INTERNAL_ERROR, h->biHeight - 1 - d, 0);
      return nullptr;
    }
    run_row_expand(row, static_cast<uint32_t>(h->biWidth), plain + size_t{stride} * d, stride);
  }
  return plain;
}

// Fills one new row of 1 or 4 bits from the source positions (`rows`
// points at each source row); pixels from outside are 0.
template <uint32_t Bits>
void fill_packed(const int32_t* column, const int32_t* row, uint32_t n, const uint8_t* const* rows, uint8_t* d) {
  for (uint32_t x = 0; x < n; ++x) {
    const int32_t c = column[x];
    if (c < 0) continue;
    const auto sc = static_cast<uint32_t>(c);
    const uint8_t* s = rows[row[x]];
    if constexpr (Bits == 4) {
      const uint32_t nib = (sc & 1) ? s[sc >> 1] & 15u : s[sc >> 1] >> 4;
      d[x >> 1] |= static_cast<uint8_t>((x & 1) ? nib : nib << 4);
    } else if ((s[sc >> 3] >> (7 - (sc & 7))) & 1u) {
      d[x >> 3] |= static_cast<uint8_t>(0x80u >> (x & 7));
    }
  }
}

bool turn_any(IMAGE_REC* record, NewDib& out, const Turn& t) {
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  const uint32_t bits = h->biBitCount;
  const int32_t w = h->biWidth, rows = h->biHeight;
  const uint32_t stride = dib_stride_of(h);
  const auto new_width = static_cast<uint32_t>(t.width);
  const auto new_height = static_cast<int32_t>(t.height);
  const auto new_stride = static_cast<uint32_t>(dib_stride(bits, new_width));
  TagGuard scratch;
  const uint8_t* pixels = bits == 1 ? bilevel_source(record, scratch) : dib_pixels(record->dib);
  // Per new column: dx x cos, dx x sin, and the source column and row;
  // per source row: where it starts.
  const size_t per_column = 2 * sizeof(double) + 2 * sizeof(int32_t);
  auto* across = static_cast<uint8_t*>(scratch.alloc(size_t{new_width} * per_column));
  auto* line = static_cast<uint8_t*>(scratch.alloc(new_stride));
  auto* source_rows = static_cast<const uint8_t**>(scratch.alloc(sizeof(uint8_t*) * static_cast<uint32_t>(rows)));
  if (pixels == nullptr) return false;
  if (across == nullptr || line == nullptr || source_rows == nullptr) {
    RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, new_stride + new_width * per_column, 0);
    return false;
  }
  for (int32_t y = 0; y < rows; ++y) source_rows[y] = pixels + size_t{stride} * static_cast<uint32_t>(rows - 1 - y);
  auto* dx_cos = reinterpret_cast<double*>(across);
  double* dx_sin = dx_cos + new_width;
  auto* column = reinterpret_cast<int32_t*>(dx_sin + new_width);
  int32_t* row = column + new_width;
  // The same products the formula takes, computed once.
  for (uint32_t x = 0; x < new_width; ++x) {
    const double dx = static_cast<double>(static_cast<int64_t>(x) - t.ox);
    dx_cos[x] = dx * t.cos;
    dx_sin[x] = dx * t.sin;
  }
  TurnRow r{dx_cos, dx_sin, new_width, 0.0, 0.0, static_cast<double>(t.cx), static_cast<double>(t.cy),
            static_cast<double>(w), static_cast<double>(rows)};
  const Progress progress;
  for (int32_t y = 0; y < new_height; ++y) {
    const double dy = static_cast<double>(y) - t.oy;
    r.dy_sin = dy * t.sin;
    r.dy_cos = dy * t.cos;
    uint8_t* d = out.runs() ? line : out.row(y);
    if (bits >= 8) {
      turn_copy(r, source_rows, bits / 8, column, row, d);
    } else {
      turn_positions(r, column, row);
      std::memset(d, 0, new_stride);
      if (bits == 4) fill_packed<4>(column, row, new_width, source_rows, d);
      else fill_packed<1>(column, row, new_width, source_rows, d);
    }
    if (out.runs() && !out.store_packed(y, line)) return false;
    if (!progress.go_on(y, new_height)) {
      push_interrupted(y, new_height);
      return false;
    }
  }
  return true;
}

void rotate_any(IMAGE_REC* record, double angle, bool expand) {
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  if (!dib_bits_valid(h->biBitCount)) {
    RX_ERR(RXE_INVALID_BIT_COUNT, h->biBitCount, 0);
    return;
  }
  const Turn t = turn_of(h->biWidth, h->biHeight, angle, expand);
  RecordLock lock(record);
  if (!lock.held()) {
    push_lock_failed();
    return;
  }
  NewDib out(record);
  const bool made = dib_is_runs(record->dib)
                        ? out.create_runs(t.width, t.height, dib_palette(record->dib))
                        : out.create_like(t.width, t.height, false);
  if (made && turn_any(record, out, t)) out.attach();
}

// A whole multiple of 90 degrees as a quarter-turn code, 0 for none.
int32_t quarter_code(double angle) {
  const double k = std::fmod(std::trunc(std::fabs(angle)), 360.0);
  if (k == 90.0) return angle > 0 ? kTurn90 : kTurn270;
  if (k == 180.0) return kTurn180;
  if (k == 270.0) return angle > 0 ? kTurn270 : kTurn90;
  return 0;
}

}  // namespace
}  // namespace rx::ip

using namespace rx;
using namespace rx::ip;

extern "C" int32_t RX_IP_rotate_any(RX_HIMAGE image, double angle, int32_t expand) {
  IMAGE_REC* record = enter_image(image, RXE_INVALID_HANDLE);
  if (record == nullptr) return RPb_AF_error_check();
  if (!std::isfinite(angle)) {
    RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, 0, 0);
  } else if (std::fmod(angle, 90.0) == 0.0) {
    if (const int32_t code = quarter_code(angle)) quarter_turn(record, code);
  } else {
    rotate_any(record, angle, expand != 0);
  }
  return RPb_AF_error_check();
}
