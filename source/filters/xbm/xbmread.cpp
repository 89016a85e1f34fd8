// The XBM reader: the size from the "#define ..._width" and "_height"
// lines, the element type from the "static" line, then the array's
// hexadecimal bytes or 16-bit words, row by row. A value that cannot be
// read ends its row early; the row goes out with what it has.
#include <algorithm>
#include <cstring>
#include <string_view>

#include "IO/io_callback_status.h"
#include "SUPPORT/dib_size.h"
#include "SUPPORT/error.h"
#include "SUPPORT/limits.h"
#include "SUPPORT/mem_tag.h"
#include "filters/xbm/xbm.h"
#include "filters/xbm/xbm_text.h"
#include "rastrix/rpb.h"

RX_SOURCE("source\\filters\\xbm\\xbmread.cpp");

namespace rx {
namespace {

inline constexpr int32_t kInputBytes = 32000;
// No well-formed array spends fewer characters on a byte of pixels than
// this ("0x0000" per two bytes); a file whose array text is shorter than
// that for the size it declares is refused before the image is made.
inline constexpr uint64_t kLeastCharsPerByte = 3;
// Sizes above this are not read as numbers; the geometry check refuses
// them anyway.
inline constexpr uint64_t kLargestSize = 0x7FFFFFFF;

struct XBM_READ {
  IO_REC* io;
  int32_t origin;
  uint32_t tag;
  char* line;
  uint32_t width, height;
  bool words;
  int32_t values_at;  // where the array's values start
  RX_BITMAPINFOHEADER dib;
  DibGeometry geometry;
};

uint32_t number_of(std::string_view word) {
  uint64_t v = 0;
  for (char c : word) {
    if (c < '0' || c > '9') break;
    v = std::min<uint64_t>(v * 10 + static_cast<uint32_t>(c - '0'), kLargestSize + 1);
  }
  return static_cast<uint32_t>(v);
}

int32_t buffer_at(XBM_READ* r, IO_BUFFER* in, int32_t position) {
  if (RPb_IO_seek(r->io, position, RX_SEEK_SET) != position)
    return RX_ERR(RXE_CANT_READ_HEADER, position, 0);
  return io_buffer_open(r->io, r->tag, in, kInputBytes, kIoBufferRead);
}

// Scans lines for the two size lines. The macro's name counts from after
// its last "_": "width" or "height" at its start.
int32_t size_read(XBM_READ* r) {
  r->line = static_cast<char*>(RPb_AF_mem_alloc(r->tag, kXbmLineBytes));
  if (r->line == nullptr) return RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, kXbmLineBytes, r->tag);
  IO_BUFFER in{};
  if (const int32_t code = buffer_at(r, &in, r->origin)) return code;
  uint32_t found = 0, length = 0;
  while (found < 2 && xbm_line_read(&in, r->line, &length)) {
    const std::string_view line(r->line, length);
    if (xbm_word(line, 0) != "#define") continue;
    std::string_view name = xbm_word(line, 1);
    const std::string_view value = xbm_word(line, 2);
    if (const size_t cut = name.rfind('_'); cut != std::string_view::npos) name.remove_prefix(cut + 1);
    if (name.substr(0, 5) == "width") r->width = number_of(value), ++found;
    else if (name.substr(0, 6) == "height") r->height = number_of(value), ++found;
  }
  io_buffer_close(&in);
  // A file that does not say how large it is has no image to make.
  if (r->width == 0 || r->height == 0) return RX_ERR(RXE_CANT_READ_HEADER, r->width, r->height);
  if (!dib_geometry(r->width, r->height, 1, RX_BI_RGB, &r->geometry) || r->width > kMaxRunsWidth)
    return RX_ERR(RXE_INVALID_FILE_HEADER, r->width, r->height);
  RPb_DIB_init(&r->dib, static_cast<int32_t>(r->width), static_cast<int32_t>(r->height), 1,
               RX_BI_RGB, 0, 0);
  return 0;
}

// Finds the "static" line and its element type. The values start after
// the line's "{" when it has one (a line may hold values too), otherwise
// on the next line.
int32_t array_find(XBM_READ* r) {
  IO_BUFFER in{};
  if (const int32_t code = buffer_at(r, &in, r->origin)) return code;
  uint32_t length = 0;
  int32_t code = 0;
  bool found = false;
  for (int32_t at = in.position; xbm_line_read(&in, r->line, &length); at = in.position) {
    const std::string_view line(r->line, length);
    if (xbm_word(line, 0) != "static") continue;
    std::string_view type = xbm_word(line, 1);
    if (type == "unsigned") type = xbm_word(line, 2);
    if (type != "short" && type != "char") {
      code = RX_ERR(RXE_CANT_READ_PIXEL_DATA, 0, 0);
      break;
    }
    r->words = type == "short";
    const size_t brace = line.find('{');
    r->values_at = brace == std::string_view::npos ? in.position : at + static_cast<int32_t>(brace) + 1;
    found = true;
    break;
  }
  const int32_t end = in.end;
  io_buffer_close(&in);
  if (code != 0) return code;
  if (!found) return RX_ERR(RXE_CANT_READ_PIXEL_DATA, 0, 0);
  const uint64_t needed = kLeastCharsPerByte * ((uint64_t{r->width} + 7) / 8) * r->height;
  const int64_t available = std::max<int64_t>(int64_t{end} - r->values_at, 0);
  if (static_cast<uint64_t>(available) < needed)
    return RX_ERR(RXE_CANT_READ_PIXEL_DATA, available,
                  static_cast<int32_t>(std::min<uint64_t>(needed, 0x7FFFFFFF)));
  return 0;
}

// One "0x" value of `digits` digits after the next "0". The bytes come out
// left pixel first: a word's last two digits are its left byte.
bool value_read(IO_BUFFER* in, bool words, uint8_t* out) {
  uint8_t c = 0;
  do {
    if (io_buffer_byte_get(in, &c) == 0) return false;
  } while (c != '0');
  if (io_buffer_byte_get(in, &c) == 0 || c != 'x') return false;
  uint8_t d[4];
  const int32_t digits = words ? 4 : 2;
  for (int32_t k = 0; k < digits; ++k) {
    if (io_buffer_byte_get(in, &c) == 0) return false;
    d[k] = kXbmDigits.v[c];
    if (d[k] == kXbmNotDigit) return false;
  }
  if (!words) {
    out[0] = static_cast<uint8_t>(d[0] | d[1] << 4);
    return true;
  }
  out[0] = static_cast<uint8_t>(d[2] | d[3] << 4);
  out[1] = static_cast<uint8_t>(d[0] | d[1] << 4);
  return true;
}

int32_t rows_read(XBM_READ* r) {
  const uint32_t stride = r->geometry.stride;
  const uint32_t row_bytes = (r->width + 7) / 8;
  const uint32_t elements = r->words ? (row_bytes + 1) / 2 : row_bytes;
  const uint32_t step = r->words ? 2 : 1;
  auto* row = static_cast<uint8_t*>(RPb_AF_mem_alloc(r->tag, stride));
  if (row == nullptr) return RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, stride, r->tag);
  IO_BUFFER in{};
  if (const int32_t code = buffer_at(r, &in, r->values_at)) return code;
  int32_t code = 0;
  for (uint32_t y = 0; y < r->height && code == 0; ++y) {
    std::memset(row, 0, stride);
    for (uint32_t e = 0; e < elements && value_read(&in, r->words, row + e * step); ++e) {
    }
    if (r->width % 8 != 0) row[row_bytes - 1] &= static_cast<uint8_t>(0xFF00 >> (r->width % 8));
    std::memset(row + row_bytes, 0, stride - row_bytes);
    code = io_callback_status(
        RPb_IO_raster_set(r->io, row, static_cast<int32_t>(y), static_cast<int32_t>(stride)));
  }
  io_buffer_close(&in);
  return code;
}

const RX_RGBQUAD kPalette[2] = {{255, 255, 255, 0}, {0, 0, 0, 0}};

int32_t failed(IO_REC* io, int32_t start) {
  RPb_IO_seek(io, start, RX_SEEK_SET);
  return RPb_AF_error_check();
}

}  // namespace

int32_t xbm_info(IO_REC* io, RX_BITMAPINFOHEADER* header, RX_RGBQUAD* palette,
                 int32_t* compression, void*, int32_t) {
  if (io == nullptr) {
    RX_ERR(RXE_INVALID_POINTER, 0, 0);
    return RPb_AF_error_check();
  }
  const int32_t start = RPb_IO_tell(io);
  TagGuard scratch;
  XBM_READ r{};
  r.io = io;
  r.origin = start;
  r.tag = scratch.tag();
  if (const int32_t code = size_read(&r)) {
    if (code != RXE_CANT_READ_HEADER) RX_ERR(RXE_CANT_READ_HEADER, code, 0);
    return failed(io, start);
  }
  if (header != nullptr) *header = r.dib;
  if (palette != nullptr) std::copy(kPalette, kPalette + 2, palette);
  if (compression != nullptr) *compression = RX_COMPRESSION_NONE;
  RPb_IO_seek(io, start, RX_SEEK_SET);
  return 0;
}

int32_t xbm_read(IO_REC* io, void*, int32_t, int32_t) {
  if (io == nullptr) {
    RX_ERR(RXE_INVALID_POINTER, 0, 0);
    return RPb_AF_error_check();
  }
  const int32_t start = RPb_IO_tell(io);
  TagGuard scratch;
  XBM_READ r{};
  r.io = io;
  r.origin = start;
  r.tag = scratch.tag();
  int32_t code = size_read(&r);
  if (code == 0 && !load_limits_allow(r.width, r.height, r.geometry))
    code = RX_ERR(RXE_LOAD_LIMIT_EXCEEDED, r.width, r.height);
  if (code == 0) code = array_find(&r);
  if (code == 0) code = io_callback_status(RPb_IO_DIB_create(io, &r.dib, kPalette));
  if (code == 0) code = rows_read(&r);
  return code != 0 ? failed(io, start) : 0;
}

int32_t xbm_page_count(IO_REC*, void*, int32_t* count) {
  if (count != nullptr) *count = 1;
  return 0;
}

}  // namespace rx
