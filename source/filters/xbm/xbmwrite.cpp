// The XBM writer: the two size lines, the "static unsigned char" line and
// the rows' bytes as "0x" elements, nine to a line, each byte's bits
// reversed so that its leftmost pixel is its lowest bit, and a set bit
// always the darker colour.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "IO/io_callback_status.h"
#include "IO/iobuffer.h"
#include "SUPPORT/dib_size.h"
#include "SUPPORT/error.h"
#include "SUPPORT/mem_tag.h"
#include "filters/xbm/xbm.h"
#include "rastrix/rpb.h"

RX_SOURCE("source\\filters\\xbm\\xbmwrite.cpp");

namespace rx {
namespace {

inline constexpr int32_t kOutputBytes = 32000;
// A line of elements is written once it is longer than this.
inline constexpr uint32_t kLineLimit = 60;
inline constexpr char kIndent[] = "        ";
inline constexpr uint32_t kElementChars = 6;  // "0xhh, "

struct Reversed {
  uint8_t b[256];
  constexpr Reversed() : b{} {
    for (int v = 0; v < 256; ++v) {
      int r = 0;
      for (int k = 0; k < 8; ++k) r |= ((v >> k) & 1) << (7 - k);
      b[v] = static_cast<uint8_t>(r);
    }
  }
};
constexpr Reversed kReversed;

uint32_t brightness(const RX_RGBQUAD& q) { return uint32_t{q.rgbBlue} + q.rgbGreen + q.rgbRed; }

bool text_put(IO_BUFFER* out, const char* text, uint32_t n) {
  uint8_t* to = io_buffer_reserve(out, static_cast<int32_t>(n));
  if (to == nullptr) return false;
  std::memcpy(to, text, n);
  return true;
}

bool header_put(IO_BUFFER* out, int32_t width, int32_t height) {
  char text[160];
  const int n = std::snprintf(text, sizeof text,
                              "#define Xbitmap_width %d\r\n#define Xbitmap_height %d\r\n"
                              "static unsigned char Xbitmap_bits[] = {\r\n",
                              width, height);
  return n > 0 && text_put(out, text, static_cast<uint32_t>(n));
}

struct Elements {
  char line[96];
  uint32_t length;
};

// Adds one element; the last one closes the array.
bool element_put(IO_BUFFER* out, Elements* e, uint8_t value, bool last) {
  static constexpr char kHex[] = "0123456789abcdef";
  if (e->length == 0) {
    std::memcpy(e->line, kIndent, sizeof kIndent - 1);
    e->length = sizeof kIndent - 1;
  }
  char* p = e->line + e->length;
  p[0] = '0';
  p[1] = 'x';
  p[2] = kHex[value >> 4];
  p[3] = kHex[value & 15];
  // The last element's separator gives way to the array's end.
  p[4] = last ? '}' : ',';
  p[5] = last ? ';' : ' ';
  e->length += kElementChars;
  if (!last && e->length <= kLineLimit) return true;
  e->line[e->length++] = '\r';
  e->line[e->length++] = '\n';
  const bool ok = text_put(out, e->line, e->length);
  e->length = 0;
  return ok;
}

int32_t save(IO_REC* io, uint32_t tag) {
  RX_BITMAPINFOHEADER h{};
  RX_RGBQUAD palette[256] = {};
  if (const int32_t c = io_callback_status(RPb_IO_DIB_get(io, &h, palette))) return c;
  if (h.biBitCount != 1) return RX_ERR(RXE_INVALID_BITCOUNT_FOR_FORMAT, h.biBitCount, 0);
  DibGeometry g{};
  if (!dib_geometry(h.biWidth, h.biHeight, 1, RX_BI_RGB, &g))
    return RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, h.biWidth, h.biHeight);
  const uint8_t flip = brightness(palette[0]) < brightness(palette[1]) ? 0xFF : 0x00;
  auto* row = static_cast<uint8_t*>(RPb_AF_mem_alloc(tag, g.stride));
  if (row == nullptr) return RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, g.stride, tag);
  IO_BUFFER out{};
  if (io_buffer_open(io, tag, &out, kOutputBytes, kIoBufferWrite) != 0) return RXE_GLOBAL_MEMORY_DEPLETED;
  int32_t code = 0;
  if (!header_put(&out, h.biWidth, h.biHeight)) code = RX_ERR(RXE_CANT_WRITE_HEADER, 0, 0);
  const auto width = static_cast<uint32_t>(h.biWidth);
  const uint32_t row_bytes = (width + 7) / 8;
  Elements e{};
  for (int32_t y = 0; y < h.biHeight && code == 0; ++y) {
    code = io_callback_status(RPb_IO_raster_get(io, row, y, static_cast<int32_t>(g.stride)));
    if (code != 0) break;
    if (width % 8 != 0) {
      // Bits past the width stay clear whatever the colours.
      const uint8_t keep = static_cast<uint8_t>(0xFF00 >> (width % 8));
      row[row_bytes - 1] = static_cast<uint8_t>((row[row_bytes - 1] & keep) | (flip & ~keep));
    }
    for (uint32_t i = 0; i < row_bytes && code == 0; ++i) {
      const bool last = y == h.biHeight - 1 && i == row_bytes - 1;
      if (!element_put(&out, &e, kReversed.b[static_cast<uint8_t>(row[i] ^ flip)], last))
        code = RX_ERR(RXE_CANT_WRITE_PIXEL_DATA, y, i);
    }
  }
  if (io_buffer_close(&out) != 1 && code == 0) code = RX_ERR(RXE_CANT_WRITE_PIXEL_DATA, 0, 0);
  return code;
}

}  // namespace

int32_t xbm_write(IO_REC* io, void*, int32_t, int32_t, int32_t) {
  if (io == nullptr) {
    RX_ERR(RXE_INVALID_POINTER, 0, 0);
    return RPb_AF_error_check();
  }
  const int32_t start = RPb_IO_tell(io);
  TagGuard scratch;
  if (save(io, scratch.tag()) == 0) return 0;
  RPb_IO_seek(io, start, RX_SEEK_SET);
  return RPb_AF_error_check();
}

}  // namespace rx
