// The PSD file layout as the reader and the writer share it: the header,
// the colour modes, and the context the reader's stages pass along. All
// numbers in the file are big-endian.
#pragma once

#include <cstdint>

#include "SUPPORT/dib_size.h"
#include "rastrix/rx_types.h"

namespace rx {

inline constexpr uint32_t kPsdHeaderBytes = 30;
inline constexpr uint16_t kPsdVersion = 1;
// Indexed files keep 256 red values, then 256 green, then 256 blue.
inline constexpr uint32_t kPsdColorTableBytes = 768;

enum : uint16_t {
  kPsdModeBitmap = 0,
  kPsdModeGrey = 1,
  kPsdModeIndexed = 2,
  kPsdModeRgb = 3,
  kPsdModeCmyk = 4,
  kPsdModeDuotone = 8,
  kPsdModeLab = 9
};
enum : uint16_t { kPsdRaw = 0, kPsdPackBits = 1 };

// Header fields offered to the application.
enum : int32_t {
  kPsdTagSignature = 2100,
  kPsdTagVersion = 2101,
  kPsdTagRows = 2102,
  kPsdTagColumns = 2103,
  kPsdTagDepth = 2104,
  kPsdTagMode = 2105,
  kPsdTagColorDataLength = 2106,
  kPsdTagCompression = 2107
};

struct PSD_HEADER {
  uint8_t signature[4];
  uint16_t version;
  uint16_t channels;
  uint32_t rows;     // height
  uint32_t columns;  // width
  uint16_t depth;    // bits per channel
  uint16_t mode;
  uint32_t color_data_length;
  uint16_t compression;
};

// One load or information call.
struct PSD_READ {
  IO_REC* io;
  uint32_t tag;            // scratch memory of the call
  PSD_HEADER file;
  uint32_t planes;         // channel planes the image is made from: 1, 3 or 4
  uint32_t plane_row;      // bytes of one row of one plane
  RX_BITMAPINFOHEADER dib;
  DibGeometry geometry;
  RX_RGBQUAD palette[256];
};

// Reads and checks the header, the colour table and the section lengths,
// leaves the stream at the first byte after the compression word, reports
// the header tags and builds the DIB header. Returns 0 or the pushed code.
int32_t psd_header_read(PSD_READ* r);

// Delivers every row of the image from the data after the compression
// word. Returns 0 or the pushed code.
int32_t psd_pixels_read(PSD_READ* r);

}  // namespace rx
