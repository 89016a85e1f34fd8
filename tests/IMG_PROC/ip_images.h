// Small images with chosen pixels for the image-processing tests, read
// back one byte per pixel (per channel for 24-bit images).
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "SUPPORT/dib_builder.h"
#include "support/engine_fixture.h"

namespace iptest {

using Rows = std::vector<std::vector<uint8_t>>;
using Codes = std::vector<int32_t>;

// An image with these rows; 8-bit images get the identity grey palette.
inline RX_HIMAGE make(int32_t bits, const Rows& rows, bool runs = false) {
  const auto width = static_cast<int32_t>(rows[0].size() / (bits == 24 ? 3 : 1));
  const auto height = static_cast<int32_t>(rows.size());
  RX_HIMAGE image = test::create(test::make_dib(width, height, bits));
  for (int32_t r = 0; r < height; ++r)
    RX_DIB_raster_set(image, r, rows[r].data(), RX_ROW_BYTE_PER_PIXEL);
  if (runs) RX_IP_convert_DIB_to_runs(image);
  return image;
}

// An image whose byte x (pixel, or channel at 24 bits) of row y is f(x, y).
inline RX_HIMAGE make_fn(int32_t bits, int32_t width, int32_t height,
                         const std::function<uint8_t(int32_t, int32_t)>& f, bool runs = false) {
  Rows rows(height, std::vector<uint8_t>(width * (bits == 24 ? 3 : 1)));
  for (int32_t y = 0; y < height; ++y)
    for (size_t x = 0; x < rows[y].size(); ++x) rows[y][x] = f(static_cast<int32_t>(x), y);
  return make(bits, rows, runs);
}

// Reading clears the error stack: check errors first.
inline Rows rows_of(RX_HIMAGE image) {
  int32_t width = 0, height = 0, bits = 0;
  RX_image_dimensions_get(image, &width, &height, &bits);
  Rows out(height, std::vector<uint8_t>(width * (bits == 24 ? 3 : 1)));
  for (int32_t r = 0; r < height; ++r)
    RX_DIB_raster_get(image, r, out[r].data(), RX_ROW_BYTE_PER_PIXEL);
  return out;
}

inline int32_t compression_of(RX_HIMAGE image) {
  int32_t code = -1;
  RX_image_compression_type_get(image, &code);
  return code;
}

// The first error entry as code, iVal, lVal.
inline Codes first_error() {
  const auto e = error_entries();
  return e.empty() ? Codes{0, 0, 0} : Codes{e[0].code, e[0].iVal, e[0].lVal};
}

// A status callback that records its calls and stops after row stop_after.
struct StatusLog {
  std::vector<std::pair<int32_t, int32_t>> calls;
  int32_t stop_after = -1;
  StatusLog() { RX_status_callback_set(record, reinterpret_cast<uintptr_t>(this)); }
  ~StatusLog() { RX_status_callback_set(nullptr, 0); }
  StatusLog(const StatusLog&) = delete;
  static int32_t record(uintptr_t user, int32_t row, int32_t rows) {
    auto* log = reinterpret_cast<StatusLog*>(user);
    log->calls.emplace_back(row, rows);
    return row == log->stop_after ? 0 : 1;
  }
};

}  // namespace iptest
