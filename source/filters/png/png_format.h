// The PNG file layout as the reader and the writer share it: signature,
// chunk types, the header fields, colour types, and big-endian fields.
#pragma once

#include <cstdint>

namespace rx::png {

inline constexpr uint8_t kSignature[8] = {137, 'P', 'N', 'G', 13, 10, 26, 10};
inline constexpr uint32_t kSignatureBytes = 8;
// Length and type in front of the data, CRC after it.
inline constexpr uint32_t kChunkHeadBytes = 8;
inline constexpr uint32_t kChunkCrcBytes = 4;
inline constexpr uint32_t kHeaderDataBytes = 13;
// Chunk lengths are 31-bit.
inline constexpr uint32_t kMaxChunkLength = 0x7FFFFFFFu;
inline constexpr uint32_t kMaxPaletteEntries = 256;

constexpr uint32_t chunk_type(const char (&name)[5]) {
  return uint32_t(uint8_t(name[0])) << 24 | uint32_t(uint8_t(name[1])) << 16 |
         uint32_t(uint8_t(name[2])) << 8 | uint32_t(uint8_t(name[3]));
}
inline constexpr uint32_t kIHDR = chunk_type("IHDR");
inline constexpr uint32_t kPLTE = chunk_type("PLTE");
inline constexpr uint32_t kIDAT = chunk_type("IDAT");
inline constexpr uint32_t kIEND = chunk_type("IEND");

enum ColourType : uint8_t {
  kGrey = 0,
  kRgb = 2,
  kPalette = 3,
  kGreyAlpha = 4,
  kRgbAlpha = 6,
};

enum RowFilter : uint8_t { kFilterNone = 0, kFilterSub, kFilterUp, kFilterAverage, kFilterPaeth };
inline constexpr uint8_t kFilterCount = 5;

struct Header {
  uint32_t width;
  uint32_t height;
  uint8_t depth;        // bits per sample
  uint8_t colour;       // ColourType
  uint8_t compression;  // 0: deflate
  uint8_t filter;       // 0: the five row filters
  uint8_t interlace;    // 0 none, 1 Adam7
};

inline uint32_t get32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | uint32_t{p[3]};
}
inline void put32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 24);
  p[1] = static_cast<uint8_t>(v >> 16);
  p[2] = static_cast<uint8_t>(v >> 8);
  p[3] = static_cast<uint8_t>(v);
}

// Samples per pixel of a colour type (0 for an unknown one).
constexpr uint32_t samples_of(uint8_t colour) {
  switch (colour) {
    case kGrey: return 1;
    case kRgb: return 3;
    case kPalette: return 1;
    case kGreyAlpha: return 2;
    case kRgbAlpha: return 4;
    default: return 0;
  }
}

// The bit depths each colour type allows.
constexpr bool depth_allowed(uint8_t colour, uint8_t depth) {
  switch (colour) {
    case kGrey: return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case kPalette: return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    case kRgb:
    case kGreyAlpha:
    case kRgbAlpha: return depth == 8 || depth == 16;
    default: return false;
  }
}

// Bits per pixel in the file.
constexpr uint32_t pixel_bits(const Header& h) { return samples_of(h.colour) * h.depth; }

// Bytes of one filtered row's pixels (without the filter byte), 64-bit.
constexpr uint64_t row_bytes(uint64_t width, uint32_t bits) { return (width * bits + 7) / 8; }

// The filters' byte distance: bytes per pixel, at least 1.
constexpr uint32_t filter_distance(uint32_t bits) { return bits < 8 ? 1 : bits / 8; }

// The image the engine builds: colour types 2, 4 and 6 give 24 bits;
// 0 and 3 give the bit depth, except 2 bits give 4 and 16 give 8.
constexpr uint32_t dib_bits_of(const Header& h) {
  if (h.colour == kRgb || h.colour == kGreyAlpha || h.colour == kRgbAlpha) return 24;
  if (h.depth == 2) return 4;
  if (h.depth == 16) return 8;
  return h.depth;
}

}  // namespace rx::png
