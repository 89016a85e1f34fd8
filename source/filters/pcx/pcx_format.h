// The PCX page layout as the PCX and DCX readers and writers share it: the
// 128-byte header, the run-length coder, and the page reader and writer
// that both formats call.
#pragma once

#include <algorithm>
#include <cstdint>

#include "IO/iobuffer.h"
#include "SUPPORT/dib_size.h"
#include "rastrix/rx_types.h"

namespace rx {

inline constexpr uint8_t kPcxManufacturer = 10;
inline constexpr uint8_t kPcxVersionWritten = 5;
// Version 3 files carry no palette of their own below 8 bits.
inline constexpr uint8_t kPcxVersionNoPalette = 3;
inline constexpr uint32_t kPcxHeaderBytes = 128;
// The 256-colour palette at the end of a page: a marker byte and 256
// entries of red, green, blue.
inline constexpr uint8_t kPcxPaletteMarker = 12;
inline constexpr uint32_t kPcxPaletteBytes = 769;
// A run byte has both top bits set; its low six bits count the repeats.
inline constexpr uint8_t kPcxRunFlag = 0xC0;
inline constexpr uint32_t kPcxLongestRun = 63;
// The coder writes single bytes from this value up as runs of one.
inline constexpr uint8_t kPcxLiteralLimit = 0x40;
enum : uint8_t { kPcxPlain = 0, kPcxRle = 1 };

inline constexpr uint32_t kDcxMagic = 987654321u;  // 0x3ADE68B1
inline constexpr uint32_t kDcxMaxPages = 1024;
// The magic and 1,024 offsets; a new file's first page follows them.
inline constexpr uint32_t kDcxTableBytes = 4 + 4 * kDcxMaxPages;

// Header tags reported to an application on reading.
enum : int32_t {
  kPcxTagManufacturer = 400,
  kPcxTagVersion = 401,
  kPcxTagEncoding = 402,
  kPcxTagBits = 403,
  kPcxTagXmin = 404,  // to 407: Xmin, Ymin, Xmax, Ymax
  kPcxTagHres = 408,
  kPcxTagVres = 409,
  kPcxTagPalette = 410,
  kPcxTagReserved = 411,
  kPcxTagPlanes = 412,
  kPcxTagBytesPerLine = 413,
  kPcxTagPaletteInfo = 414,
  kPcxTagHscreen = 415,
  kPcxTagVscreen = 416,
  kPcxTagFiller = 417,
  kDcxTagMagic = 500,
  kDcxTagTable = 501
};
// Tag types of the byte blocks and of the offset table.
inline constexpr int32_t kPcxTagTypeBlock = 13;
inline constexpr int32_t kDcxTagTypeTable = 14;

struct PCX_HEADER {
  uint8_t manufacturer, version, encoding, bits;
  uint16_t xmin, ymin, xmax, ymax, hres, vres;
  uint8_t palette[48];
  uint8_t reserved, planes;
  uint16_t bytes_per_line, palette_info, hscreen, vscreen;
};

// One page being described or read.
struct PCX_READ {
  IO_REC* io;
  int32_t end;       // stream position where the page ends
  int32_t data_end;  // where its pixel data ends (before a 256-colour palette)
  uint32_t tag;      // scratch memory of the call
  PCX_HEADER h;
  uint32_t line_bytes;  // bytes per line per plane, times planes
  RX_BITMAPINFOHEADER dib;
  DibGeometry geometry;
  RX_RGBQUAD palette[256];
};

// Dots per inch in the header, pels per metre in the image.
inline int32_t pcx_ppm_of_dpi(uint32_t dpi) {
  return static_cast<int32_t>((uint64_t{dpi} * 10000 + 127) / 254);
}
inline uint16_t pcx_dpi_of_ppm(int32_t ppm) {
  const uint64_t dpi = (static_cast<uint64_t>(std::max(ppm, 0)) * 254 + 5000) / 10000;
  return static_cast<uint16_t>(std::min<uint64_t>(dpi, 0xFFFF));
}

// ---- Run-length coding ----------------------------------------------------

// A run that has not been used up at the end of a line carries into the
// next one.
struct PCX_RUN {
  uint32_t count;
  uint8_t value;
};
// Decodes `n` bytes of a line. False when the data runs out.
bool pcx_line_decode(IO_BUFFER* in, PCX_RUN* run, uint8_t* line, uint32_t n);
// Codes `n` bytes; runs never reach past them. False on a failed write.
bool pcx_line_encode(IO_BUFFER* out, const uint8_t* line, uint32_t n);

// ---- Pages ------------------------------------------------------------------

// Reads the header at the stream position and describes the page that
// ends at `end` (its palette included). Returns 0 or the pushed code.
int32_t pcx_header_read(PCX_READ* r);
// Reads the page whose header is at the stream position and which ends at
// `end`, building the image. Returns 0 or the pushed code.
int32_t pcx_page_read(IO_REC* io, uint32_t tag, int32_t end);
// Describes that page as the information call does. Returns 0 or the
// pushed code.
int32_t pcx_page_info(IO_REC* io, int32_t end, RX_BITMAPINFOHEADER* header,
                      RX_RGBQUAD* palette, int32_t* compression);
// Writes the image as one page at the stream position. Returns 0 or the
// pushed code.
int32_t pcx_page_write(IO_REC* io, uint32_t tag, bool rle);

// The stream's end, or -1 when it cannot be told; the position is kept.
int32_t pcx_stream_end(IO_REC* io);

}  // namespace rx
