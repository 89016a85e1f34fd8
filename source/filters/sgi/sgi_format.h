// The SGI file layout as the reader and the writer share it, and the
// run-length coding of one row. All numbers are big-endian.
#pragma once

#include <cstddef>
#include <cstdint>

namespace rx {

inline constexpr uint16_t kSgiMagicNumber = 474;
inline constexpr uint32_t kSgiHeaderBytes = 512;
inline constexpr uint32_t kSgiNameBytes = 80;
inline constexpr uint32_t kSgiReservedBytes = 404;
enum : uint8_t { kSgiPlain = 0, kSgiRle = 1 };
enum : uint32_t { kSgiMapNormal = 0, kSgiMapDithered = 1, kSgiMapScreen = 2, kSgiMapColormap = 3 };

// Header fields offered to the application, in header order.
enum : int32_t {
  kSgiTagMagic = 1400,
  kSgiTagStorage = 1401,
  kSgiTagBytesPerChannel = 1402,
  kSgiTagDimension = 1403,
  kSgiTagXSize = 1404,
  kSgiTagYSize = 1405,
  kSgiTagZSize = 1406,
  kSgiTagMinimum = 1407,
  kSgiTagMaximum = 1408,
  kSgiTagReserved1 = 1409,
  kSgiTagName = 1410,
  kSgiTagColormap = 1411,
  kSgiTagReserved2 = 1412
};

struct SGI_HEADER {
  uint16_t magic;
  uint8_t storage;
  uint8_t bytes_per_channel;
  uint16_t dimension;
  uint16_t x_size, y_size, z_size;
  uint32_t minimum, maximum, reserved1;
  uint8_t name[kSgiNameBytes];
  uint32_t colormap;
  uint8_t reserved2[kSgiReservedBytes];
};

// The longest coded row of `width` bytes: a one-byte literal packet for
// each pixel, and the closing 0. No coding of the row needs more.
constexpr size_t sgi_coded_row_max(size_t width) { return 2 * width + 1; }

// Decodes a coded row into `width` bytes of `out`. Decoding ends at a
// packet of count 0, at a packet that would pass the end of the row, or
// when the coded bytes run out; pixels it does not reach are left as they
// are.
void sgi_row_decode(const uint8_t* in, size_t in_size, uint8_t* out, size_t width);

// Codes `width` bytes into `out` (at least sgi_coded_row_max(width)
// bytes); returns the coded length, closing 0 included.
size_t sgi_row_encode(const uint8_t* in, size_t width, uint8_t* out);

}  // namespace rx
