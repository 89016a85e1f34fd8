// The TGA reader: the header, the ID field (stepped over), the colour map,
// and the pixels, plain or in run-length packets that may run on from one
// row into the next. Rows are delivered in the image's order whichever
// vertical origin the file has.
#include <algorithm>
#include <cstring>

#include "IO/head_bytes.h"
#include "IO/iobuffer.h"
#include "IO/single_image_read.h"
#include "SUPPORT/dib_size.h"
#include "SUPPORT/error.h"
#include "filters/tga/tga.h"
#include "filters/tga/tga_format.h"
#include "rastrix/rpb.h"

RX_SOURCE("source\\filters\\tga\\tgaread.cpp");

namespace rx {
namespace {

struct TGA_HEADER {
  uint8_t id_length, map_type, type;
  uint16_t map_origin, map_length;
  uint8_t map_entry_bits;
  uint16_t x_origin, y_origin, width, height;
  uint8_t pixel_bits, descriptor;
};

struct TGA_READ {
  IO_REC* io;
  uint32_t tag;
  TGA_HEADER h;
  uint32_t pixel_bytes;  // bytes of one file pixel
  bool top_down;
  RX_BITMAPINFOHEADER dib;
  DibGeometry geometry;
  RX_RGBQUAD palette[256];
};

// A 15- or 16-bit value: five bits each of red, green and blue, blue lowest.
RX_RGBQUAD rgb555(uint32_t v) {
  return RX_RGBQUAD{static_cast<uint8_t>((v & 0x1F) << 3), static_cast<uint8_t>((v >> 2) & 0xF8),
                    static_cast<uint8_t>((v >> 7) & 0xF8), 0};
}

int32_t header_parse(TGA_READ* r) {
  uint8_t b[kTgaHeaderBytes];
  const int32_t got = RPb_IO_read(r->io, b, kTgaHeaderBytes);
  if (got != static_cast<int32_t>(kTgaHeaderBytes))
    return RX_ERR(RXE_CANT_READ_HEADER, kTgaHeaderBytes, std::max(got, 0));
  TGA_HEADER& h = r->h;
  h = TGA_HEADER{b[0], b[1], b[2], ii16(b + 3), ii16(b + 5), b[7], ii16(b + 8), ii16(b + 10),
                 ii16(b + 12), ii16(b + 14), b[16], b[17]};
  if (h.map_type > 1 || !tga_type_known(h.type)) return RX_ERR(RXE_INVALID_FILE_TYPE, h.type, h.map_type);
  const uint32_t base = h.type & ~uint32_t{kTgaRleType};
  const uint32_t bits = h.pixel_bits;
  const bool deep = bits == 15 || bits == 16 || bits == 24 || bits == 32;
  if ((base == kTgaTrueColour && !deep) || (base != kTgaTrueColour && bits != 8))
    return RX_ERR(RXE_INVALID_BITCOUNT_FOR_FORMAT, bits, h.type);
  if (base == kTgaMapped && h.map_type != 1) return RX_ERR(RXE_INVALID_FILE_HEADER, h.type, h.map_type);
  const uint32_t e = h.map_entry_bits;
  if (h.map_type == 1 && e != 8 && e != 15 && e != 16 && e != 24 && e != 32)
    return RX_ERR(RXE_INVALID_FILE_HEADER, e, h.map_type);
  // Right-hand origins would need every row mirrored; they are refused.
  const uint32_t origin = h.descriptor >> 4;
  if (origin == kTgaBottomRight || origin == kTgaTopRight)
    return RX_ERR(RXE_NOT_IMPLEMENTED, h.descriptor, origin);
  r->top_down = origin == kTgaTopLeft;
  r->pixel_bytes = (bits + 7) / 8;
  const uint32_t depth = bits <= 8 ? 8 : 24;
  if (!dib_geometry(h.width, h.height, depth, RX_BI_RGB, &r->geometry))
    return RX_ERR(RXE_INVALID_FILE_HEADER, h.width, h.height);
  RPb_DIB_init(&r->dib, h.width, h.height, static_cast<int32_t>(depth), RX_BI_RGB, 0, 0);
  return 0;
}

// The ID field is stepped over; the colour map fills the palette from its
// origin (true-colour files may carry one too, which is skipped).
int32_t map_read(TGA_READ* r) {
  const TGA_HEADER& h = r->h;
  std::fill(r->palette, r->palette + 256, RX_RGBQUAD{0, 0, 0, 0});
  if ((h.type & ~kTgaRleType) == kTgaGray)
    for (uint32_t i = 0; i < 256; ++i) {
      const auto v = static_cast<uint8_t>(i);
      r->palette[i] = RX_RGBQUAD{v, v, v, 0};
    }
  const int32_t here = RPb_IO_tell(r->io);
  if (here < 0 || RPb_IO_seek(r->io, here + h.id_length, RX_SEEK_SET) != here + h.id_length)
    return RX_ERR(RXE_CANT_READ_HEADER, h.id_length, 0);
  if (h.map_type == 0) return 0;
  const uint32_t entry_bytes = (h.map_entry_bits + 7u) / 8;
  const bool keep = (h.type & ~kTgaRleType) == kTgaMapped;
  uint8_t e[4] = {};
  for (uint32_t i = 0; i < h.map_length; ++i) {
    const int32_t got = RPb_IO_read(r->io, e, static_cast<int32_t>(entry_bytes));
    if (got != static_cast<int32_t>(entry_bytes))
      return RX_ERR(RXE_CANT_READ_PALETTE, h.map_length * entry_bytes, i * entry_bytes + std::max(got, 0));
    const uint32_t index = uint32_t{h.map_origin} + i;
    if (!keep || index > 255) continue;
    if (entry_bytes == 1) r->palette[index] = RX_RGBQUAD{e[0], e[0], e[0], 0};
    else if (entry_bytes == 2) r->palette[index] = rgb555(ii16(e));
    else r->palette[index] = RX_RGBQUAD{e[0], e[1], e[2], 0};
  }
  return 0;
}

// The least data the pixels can come from: all of them, or for coded files
// one packet of a header and a pixel per 128 pixels.
int32_t data_fits(const TGA_READ& r) {
  const uint64_t pixels = uint64_t{r.h.width} * r.h.height;
  const uint64_t needed = (r.h.type & kTgaRleType) != 0
                              ? (pixels + kTgaLongestPacket - 1) / kTgaLongestPacket * (1 + r.pixel_bytes)
                              : pixels * r.pixel_bytes;
  const int32_t here = RPb_IO_tell(r.io);
  const int32_t end = RPb_IO_seek(r.io, 0, RX_SEEK_END);
  RPb_IO_seek(r.io, here, RX_SEEK_SET);
  const int64_t available = here < 0 || end < here ? 0 : int64_t{end} - here;
  if (static_cast<uint64_t>(available) < needed)
    return RX_ERR(RXE_CANT_READ_PIXEL_DATA, available,
                  static_cast<int32_t>(std::min<uint64_t>(needed, 0x7FFFFFFF)));
  return 0;
}

// File pixels of one row into the image's row.
void row_convert(const TGA_READ& r, const uint8_t* in, uint8_t* out) {
  const uint32_t width = r.h.width;
  switch (r.h.pixel_bits) {
    case 8: case 24: std::memcpy(out, in, size_t{width} * r.pixel_bytes); return;
    case 32:
      for (uint32_t x = 0; x < width; ++x, in += 4, out += 3) std::memcpy(out, in, 3);
      return;
    default:
      for (uint32_t x = 0; x < width; ++x, in += 2, out += 3) {
        const RX_RGBQUAD q = rgb555(ii16(in));
        out[0] = q.rgbBlue;
        out[1] = q.rgbGreen;
        out[2] = q.rgbRed;
      }
  }
}

// Packets run on across row ends: what is left of one is kept here.
struct PACKET {
  uint32_t left;  // pixels still to come from it
  bool run;
  uint8_t pixel[4];
};

bool row_decode(IO_BUFFER* in, PACKET* p, uint32_t pixel_bytes, uint8_t* row, uint32_t width) {
  for (uint32_t x = 0; x < width;) {
    if (p->left == 0) {
      uint8_t head = 0;
      if (io_buffer_byte_get(in, &head) == 0) return false;
      p->left = (head & ~kTgaRunBit & 0xFFu) + 1;
      p->run = (head & kTgaRunBit) != 0;
      if (p->run) {
        const uint8_t* v = io_buffer_get(in, static_cast<int32_t>(pixel_bytes));
        if (v == nullptr) return false;
        std::memcpy(p->pixel, v, pixel_bytes);
      }
    }
    const uint32_t take = std::min(p->left, width - x);
    uint8_t* to = row + size_t{x} * pixel_bytes;
    if (p->run) {
      for (uint32_t k = 0; k < take; ++k, to += pixel_bytes) std::memcpy(to, p->pixel, pixel_bytes);
    } else {
      const uint8_t* v = io_buffer_get(in, static_cast<int32_t>(take * pixel_bytes));
      if (v == nullptr) return false;
      std::memcpy(to, v, size_t{take} * pixel_bytes);
    }
    p->left -= take;
    x += take;
  }
  return true;
}

bool row_decode_plain(IO_BUFFER* in, uint8_t* row, uint32_t n) {
  const uint8_t* v = io_buffer_get(in, static_cast<int32_t>(n));
  if (v == nullptr) return false;
  std::memcpy(row, v, n);
  return true;
}

int32_t header_map_read(TGA_READ* r) {
  int32_t code = header_parse(r);
  if (code == 0) code = map_read(r);
  return code;
}

// The TGA side of the single-image frame.
class TgaReader final : public SingleImageRecord<TGA_READ> {
 public:
  int32_t data_check() override { return data_fits(r_); }

  int32_t rows_read() override {
    const uint32_t file_row = uint32_t{r_.h.width} * r_.pixel_bytes;
    const bool rle = (r_.h.type & kTgaRleType) != 0;
    const int32_t height = r_.h.height;
    PACKET packet{};
    BufferedRows b;
    b.line_bytes = file_row;
    b.stride = r_.geometry.stride;
    b.rows = height;
    b.line = [&](IO_BUFFER* in, uint8_t* line) -> const uint8_t* {
      const bool ok = rle ? row_decode(in, &packet, r_.pixel_bytes, line, r_.h.width)
                          : row_decode_plain(in, line, file_row);
      return ok ? line : nullptr;
    };
    b.convert = [this](const uint8_t* in, uint8_t* out) { row_convert(r_, in, out); };
    b.place = [&](int32_t n) { return r_.top_down ? n : height - 1 - n; };
    return buffered_rows_read(r_.io, r_.tag, b);
  }

 private:
  int32_t header_read() override { return header_map_read(&r_); }
};

}  // namespace

int32_t tga_info(IO_REC* io, RX_BITMAPINFOHEADER* header, RX_RGBQUAD* palette,
                 int32_t* compression, void*, int32_t) {
  if (io == nullptr) {
    RX_ERR(RXE_INVALID_POINTER, 0, 0);
    return RPb_AF_error_check();
  }
  const int32_t start = RPb_IO_tell(io);
  TGA_READ r{};
  r.io = io;
  if (const int32_t code = header_map_read(&r)) {
    if (code != RXE_CANT_READ_HEADER) RX_ERR(RXE_CANT_READ_HEADER, code, 0);
    return read_failed(io, start);
  }
  if (header != nullptr) *header = r.dib;
  if (palette != nullptr && r.dib.biBitCount == 8) std::copy(r.palette, r.palette + 256, palette);
  if (compression != nullptr)
    *compression = (r.h.type & kTgaRleType) != 0 ? RX_COMPRESSION_RLE : RX_COMPRESSION_NONE;
  RPb_IO_seek(io, start, RX_SEEK_SET);
  return 0;
}

int32_t tga_read(IO_REC* io, void*, int32_t, int32_t) {
  TgaReader reader;
  return single_image_read(io, reader);
}

int32_t tga_page_count(IO_REC*, void*, int32_t* count) {
  if (count != nullptr) *count = 1;
  return 0;
}

}  // namespace rx
