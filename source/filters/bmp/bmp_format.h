// The BMP file layout as the reader and the writer share it: the file
// header, the three bitmap header variants, the compression codes, and the
// context the reader's stages pass along.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "SUPPORT/dib_size.h"
#include "SUPPORT/img_ctrl.h"
#include "rastrix/rx_types.h"

namespace rx {

inline constexpr uint16_t kBmpSignature = 0x4D42;  // "BM" read as an Intel word
inline constexpr uint32_t kBmpFileHeaderBytes = 14;
inline constexpr uint32_t kBmpCoreHeaderBytes = 12;
inline constexpr uint32_t kBmpInfoHeaderBytes = 40;
inline constexpr uint32_t kBmpLongHeaderBytes = 64;
// Offset of the file size field inside the file header.
inline constexpr uint32_t kBmpFileSizeOffset = 2;

// Compression codes in the file.
enum : uint32_t { kBmpPlain = 0, kBmpRle8 = 1, kBmpRle4 = 2, kBmpRunRows = 500 };
// Header types of the writer's flags.
enum : uint32_t { kBmpTypeCore = 0, kBmpTypeInfo = 1, kBmpTypeLong = 2 };

// Whole rows are moved in blocks of at most this many bytes.
inline constexpr uint32_t kBmpChunkBytes = 65534;

// Rows of `stride` bytes that fit one block together, at least one and at
// most `height`.
inline uint32_t bmp_rows_per_chunk(uint32_t stride, int32_t height) {
  const uint32_t fit = stride >= kBmpChunkBytes ? 1 : kBmpChunkBytes / stride;
  return std::min<uint32_t>(fit, static_cast<uint32_t>(height));
}

// The image row (counted from the top) that is the n-th one stored in the
// file, for either row order.
inline int32_t bmp_row_of(bool top_down, int32_t height, int32_t n) {
  return top_down ? n : height - 1 - n;
}

// Header tags offered to the application.
enum : int32_t {
  kBmpTagHeaderSize = 100,
  kBmpTagWidth = 101,
  kBmpTagHeight = 102,
  kBmpTagPlanes = 103,
  kBmpTagBitCount = 104,
  kBmpTagCompression = 105,
  kBmpTagXPels = 106,
  kBmpTagYPels = 107,
  kBmpTagColorsUsed = 108,
  kBmpTagColorsImportant = 109,
  kBmpTagUnits = 110,
  kBmpTagRecording = 111,
  kBmpTagRendering = 112,
  kBmpTagSize1 = 113,
  kBmpTagSize2 = 114,
  kBmpTagColorEncoding = 115,
  kBmpTagIdentifier = 116
};

// Every field of every header variant; fields a variant lacks stay 0.
struct BMP_HEADER {
  uint32_t file_header;  // 1 when the file starts with "BM"
  uint32_t file_size;
  uint32_t data_offset;  // 0 for a bare DIB: the pixels follow the palette
  uint32_t header_size;  // 12, 40 or 64
  int32_t width;
  int32_t height;        // negative: rows stored top-down
  uint16_t planes;
  uint16_t bit_count;
  uint32_t compression;
  uint32_t image_size;
  int32_t x_pels_per_meter;
  int32_t y_pels_per_meter;
  uint32_t colors_used;
  uint32_t colors_important;
  uint16_t units, reserved, recording, rendering;
  uint32_t size1, size2, color_encoding, identifier;
};

// One load or information call.
struct BMP_READ {
  IO_REC* io;
  int32_t origin;           // stream position of the file's first byte
  BMP_HEADER file;
  RX_BITMAPINFOHEADER dib;  // what the engine is told
  DibGeometry geometry;     // of the DIB
  uint32_t top_down;
  uint32_t tag;             // scratch memory of the call
  RX_RGBQUAD palette[256];
};

// Little-endian fields of a header held in memory.
inline uint32_t bmp_u16(const uint8_t* p) { return uint32_t{p[0]} | uint32_t{p[1]} << 8; }
inline uint32_t bmp_u32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
inline void bmp_put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void bmp_put32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, sizeof v); }

// Buffered streams hold five rows, but never less than the longest packet
// or row they must hand out whole, and never so much that a wide image
// costs more than a few megabytes.
inline int32_t bmp_buffer_bytes(uint64_t stride, uint64_t at_least) {
  const uint64_t size = std::clamp<uint64_t>(5 * stride, 4096, uint64_t{1} << 22);
  return static_cast<int32_t>(std::min<uint64_t>(std::max(size, at_least), 0x7FFFFFFF));
}

// ---- Reader stages ------------------------------------------------------

// Reads the file header (if any) and the bitmap header, reports the header
// tags and reads the palette. Returns 0 or the pushed code.
int32_t bmp_header_read(BMP_READ* r);
// Builds the DIB header the engine is given and checks its size. Returns 0
// or the pushed code.
int32_t bmp_header_translate(BMP_READ* r);
// The index, counted from the top, of the n-th row stored in the file.
inline int32_t bmp_row_index(const BMP_READ* r, int32_t file_row) {
  return bmp_row_of(r->top_down != 0, r->dib.biHeight, file_row);
}

// Pixel decoders: each delivers every row of the image. Return 0 or the
// pushed code.
int32_t bmp_plain_rows_read(BMP_READ* r);
int32_t bmp_rgb16_rows_read(BMP_READ* r);
int32_t bmp_run_rows_read(BMP_READ* r);
int32_t bmp_rle_rows_read(BMP_READ* r, uint32_t bits);

}  // namespace rx
