// Helpers for the tests of the operations that replace an image's DIB:
// snapshots that show whether an image changed at all, 16-bit images, and
// the check that a stop at any row leaves the image as it was.
#pragma once

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "IMG_PROC/ip_images.h"
#include "SUPPORT/mem_tag.h"

namespace iptest {

// Everything a caller can see of an image.
struct Snapshot {
  int32_t width = 0, height = 0, bits = 0, compression = -1;
  Rows rows;
  std::vector<uint8_t> palette;
  bool operator==(const Snapshot&) const = default;
};

inline Snapshot snapshot(RX_HIMAGE image) {
  Snapshot s;
  RX_image_dimensions_get(image, &s.width, &s.height, &s.bits);
  s.compression = compression_of(image);
  const size_t row_bytes = size_t(s.width) * (s.bits == 24 ? 3 : s.bits == 16 ? 2 : 1);
  s.rows.assign(s.height, std::vector<uint8_t>(row_bytes));
  for (int32_t r = 0; r < s.height; ++r) RX_DIB_raster_get(image, r, s.rows[r].data(), RX_ROW_BYTE_PER_PIXEL);
  if (s.bits <= 8) {
    const RX_RGBQUAD* p = RPb_palette_pointer_get(reinterpret_cast<IMAGE_REC*>(image));
    s.palette.assign(reinterpret_cast<const uint8_t*>(p), reinterpret_cast<const uint8_t*>(p) + 4 * (1 << s.bits));
  }
  return s;
}

// A 16-bit image with pixel f(x, y), its compression and, for 3 and 503,
// the three masks after the header.
inline RX_HIMAGE make16(int32_t width, int32_t height, uint32_t compression,
                        const std::function<uint16_t(int32_t, int32_t)>& f,
                        const uint32_t masks[3] = nullptr) {
  auto dib = test::make_dib(width, height, 16, compression);
  if (masks != nullptr && rx::dib_mask_bytes(compression) != 0) std::memcpy(dib.data() + 40, masks, 12);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      const uint16_t v = f(x, y);
      std::memcpy(test::image_row(dib, y) + 2 * x, &v, 2);
    }
  return test::create(dib);
}

inline std::vector<std::vector<uint16_t>> rows16(RX_HIMAGE image) {
  int32_t width = 0, height = 0, bits = 0;
  RX_image_dimensions_get(image, &width, &height, &bits);
  std::vector<std::vector<uint16_t>> out(height, std::vector<uint16_t>(width));
  for (int32_t r = 0; r < height; ++r) RX_DIB_row_get(image, RX_ROW_WHOLE, r, 0, out[r].data(), RX_ROW_PACKED);
  return out;
}

inline std::vector<uint8_t> masks_of(RX_HIMAGE image) {
  const auto* dib = static_cast<const uint8_t*>(RPb_DIB_pointer_get(reinterpret_cast<IMAGE_REC*>(image)));
  return std::vector<uint8_t>(dib + 40, dib + 52);
}

// Runs `op` on a fresh image for every row at which the status callback
// can stop it: each stop must give RXE_INTERRUPTED_BY_USER with the row
// and `rows`, leave the image as it was and free everything it took.
// Operations that go bottom row first report rows counting down.
inline void expect_every_stop_harmless(const std::function<RX_HIMAGE()>& make_image,
                                       const std::function<int32_t(RX_HIMAGE)>& op, int32_t rows,
                                       const std::string& what, bool bottom_up = false) {
  for (int32_t stop = 0; stop < rows; ++stop) {
    SCOPED_TRACE(what + ", stopped after row " + std::to_string(stop));
    RX_HIMAGE image = make_image();
    const Snapshot before = snapshot(image);
    const int32_t blocks = rx::mem_live_block_count();
    {
      StatusLog log;
      log.stop_after = stop;
      EXPECT_EQ(op(image), 1);
      EXPECT_EQ(first_error(), (Codes{RXE_INTERRUPTED_BY_USER, stop, rows}));
      EXPECT_EQ(static_cast<int32_t>(log.calls.size()), bottom_up ? rows - stop : stop + 1);
    }
    EXPECT_EQ(rx::mem_live_block_count(), blocks);
    EXPECT_EQ(snapshot(image), before);
    RX_image_delete(image);
  }
}

}  // namespace iptest
