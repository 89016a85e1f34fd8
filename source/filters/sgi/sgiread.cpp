// The SGI reader: the header, then one row at a time from the bottom of
// the file's planes, plain or run-length coded. Grey files (one channel,
// or grey with alpha) load as 8-bit images with the grey ramp, colour
// files as 24-bit images; channels past the third (alpha) are not read.
#include <algorithm>
#include <climits>
#include <cstring>

#include "IO/head_bytes.h"
#include "IO/single_image_read.h"
#include "SUPPORT/dib_size.h"
#include "SUPPORT/error.h"
#include "SUPPORT/fixed_palettes.h"
#include "filters/sgi/sgi.h"
#include "filters/sgi/sgi_format.h"
#include "rastrix/rpb.h"

RX_SOURCE("source\\filters\\sgi\\sgiread.cpp");

namespace rx {
namespace {

struct SGI_READ {
  IO_REC* io;
  uint32_t tag;
  int32_t origin;  // stream position of the file's first byte
  int32_t end;     // stream length
  SGI_HEADER file;
  uint32_t width, height, channels;  // channels read: 1 or 3
  uint32_t planes;                   // channel planes the file holds
  RX_BITMAPINFOHEADER dib;
  DibGeometry geometry;
  RX_RGBQUAD palette[256];
  uint32_t* starts;   // coded files: row starts of the channels read
  uint32_t* lengths;  // and their coded lengths
};

void header_parse(const uint8_t* b, SGI_HEADER* h) {
  h->magic = mm16(b);
  h->storage = b[2];
  h->bytes_per_channel = b[3];
  h->dimension = mm16(b + 4);
  h->x_size = mm16(b + 6);
  h->y_size = mm16(b + 8);
  h->z_size = mm16(b + 10);
  h->minimum = mm32(b + 12);
  h->maximum = mm32(b + 16);
  h->reserved1 = mm32(b + 20);
  std::memcpy(h->name, b + 24, kSgiNameBytes);
  h->colormap = mm32(b + 104);
  std::memcpy(h->reserved2, b + 108, kSgiReservedBytes);
}

void tags_report(IO_REC* io, SGI_HEADER& h) {
  if (!RPb_IO_tag_set_exists(io)) return;
  RPb_IO_tag_word_set(io, kSgiTagMagic, h.magic);
  RPb_IO_tag_byte_set(io, kSgiTagStorage, h.storage);
  RPb_IO_tag_byte_set(io, kSgiTagBytesPerChannel, h.bytes_per_channel);
  RPb_IO_tag_word_set(io, kSgiTagDimension, h.dimension);
  RPb_IO_tag_word_set(io, kSgiTagXSize, h.x_size);
  RPb_IO_tag_word_set(io, kSgiTagYSize, h.y_size);
  RPb_IO_tag_word_set(io, kSgiTagZSize, h.z_size);
  RPb_IO_tag_dword_set(io, kSgiTagMinimum, h.minimum);
  RPb_IO_tag_dword_set(io, kSgiTagMaximum, h.maximum);
  RPb_IO_tag_dword_set(io, kSgiTagReserved1, h.reserved1);
  RPb_IO_tag_set(io, kSgiTagName, 0, reinterpret_cast<uintptr_t>(h.name), kSgiNameBytes);
  RPb_IO_tag_dword_set(io, kSgiTagColormap, h.colormap);
  RPb_IO_tag_set(io, kSgiTagReserved2, 0, reinterpret_cast<uintptr_t>(h.reserved2), kSgiReservedBytes);
}

// The image the header describes. A third dimension of one or two
// channels is grey (the second is alpha); three or more are colour.
int32_t image_describe(SGI_READ* r) {
  const SGI_HEADER& h = r->file;
  r->width = h.x_size;
  r->height = h.dimension == 1 ? 1 : h.y_size;
  switch (h.dimension) {
    case 1:
    case 2: r->channels = 1, r->planes = 1; break;
    case 3: r->channels = h.z_size >= 3 ? 3 : 1, r->planes = h.z_size; break;
    default: return RX_ERR(RXE_INVALID_FILE_TYPE, h.dimension, 0);
  }
  if (r->planes == 0) return RX_ERR(RXE_INVALID_FILE_HEADER, h.z_size, h.dimension);
  // Two-byte channels are not read; neither are storage kinds without a name.
  if (h.bytes_per_channel != 1) return RX_ERR(RXE_INVALID_FILE_HEADER, h.bytes_per_channel, 0);
  if (h.storage != kSgiPlain && h.storage != kSgiRle) return RX_ERR(RXE_INVALID_FILE_HEADER, h.storage, 1);
  const uint32_t bits = r->channels == 3 ? 24 : 8;
  if (!dib_geometry(r->width, r->height, bits, RX_BI_RGB, &r->geometry))
    return RX_ERR(RXE_INVALID_FILE_HEADER, r->width, r->height);
  RPb_DIB_init(&r->dib, static_cast<int32_t>(r->width), static_cast<int32_t>(r->height),
               static_cast<int32_t>(bits), RX_BI_RGB, 0, 0);
  return 0;
}

int32_t header_read(SGI_READ* r) {
  IO_REC* io = r->io;
  RPb_IO_byte_order_set(io, RX_ORDER_MOTOROLA);
  r->origin = RPb_IO_tell(io);
  r->end = RPb_IO_seek(io, 0, RX_SEEK_END);
  if (r->origin < 0 || r->end < 0 || RPb_IO_seek(io, r->origin, RX_SEEK_SET) != r->origin)
    return RX_ERR(RXE_CANT_READ_HEADER, kSgiHeaderBytes, 0);
  uint8_t b[kSgiHeaderBytes];
  const int32_t got = RPb_IO_read(io, b, kSgiHeaderBytes);
  if (got != static_cast<int32_t>(kSgiHeaderBytes)) return RX_ERR(RXE_CANT_READ_HEADER, kSgiHeaderBytes, got);
  header_parse(b, &r->file);
  if (r->file.magic != kSgiMagicNumber) return RX_ERR(RXE_INVALID_FILE_TYPE, r->file.magic, kSgiMagicNumber);
  if (r->file.colormap == kSgiMapColormap) return RX_ERR(RXE_INVALID_FILE_TYPE, kSgiMapColormap, 0);
  tags_report(io, r->file);
  return image_describe(r);
}

// Grey files get the grey ramp. Dithered files pack red, green and blue
// into 3, 3 and 2 bits of each byte, which is the engine's fixed colour
// cube. Screen files hold display settings, not an image.
int32_t palette_make(SGI_READ* r) {
  if (r->file.colormap == kSgiMapNormal) {
    for (uint32_t i = 0; i < 256; ++i) r->palette[i] = rgb_quad(i, i, i);
    return 0;
  }
  if (r->file.colormap == kSgiMapDithered) {
    const auto cube = make_palette_332();
    std::copy(cube.begin(), cube.end(), r->palette);
    return 0;
  }
  return RX_ERR(RXE_INVALID_FILE_HEADER, r->file.colormap, 0);
}

uint8_t* scratch_alloc(const SGI_READ* r, uint64_t bytes) {
  auto* p = static_cast<uint8_t*>(RPb_AF_mem_alloc(r->tag, static_cast<size_t>(bytes)));
  if (p == nullptr) RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, static_cast<int32_t>(std::min<uint64_t>(bytes, INT32_MAX)), r->tag);
  return p;
}

// The offset and length tables each hold an entry for every row of every
// channel the file has; only those of the channels read are kept.
int32_t tables_read(SGI_READ* r) {
  const uint64_t rows = uint64_t{r->height} * r->planes;
  const uint64_t kept = uint64_t{r->channels} * r->height;
  const uint64_t table_bytes = kept * 4;
  const int64_t length_table = int64_t{r->origin} + kSgiHeaderBytes + static_cast<int64_t>(rows * 4);
  if (length_table + static_cast<int64_t>(table_bytes) > r->end)
    return RX_ERR(RXE_CANT_READ_PIXEL_DATA, static_cast<int32_t>(std::min<uint64_t>(rows * 8, INT32_MAX)), 0);
  auto* raw = scratch_alloc(r, table_bytes);
  r->starts = reinterpret_cast<uint32_t*>(scratch_alloc(r, table_bytes));
  r->lengths = reinterpret_cast<uint32_t*>(scratch_alloc(r, table_bytes));
  if (raw == nullptr || r->starts == nullptr || r->lengths == nullptr) return RXE_GLOBAL_MEMORY_DEPLETED;
  const int64_t at[2] = {int64_t{r->origin} + kSgiHeaderBytes, length_table};
  uint32_t* out[2] = {r->starts, r->lengths};
  for (int t = 0; t < 2; ++t) {
    if (!read_at(r->io, static_cast<int32_t>(at[t]), raw, static_cast<int32_t>(table_bytes)))
      return RX_ERR(RXE_CANT_READ_PIXEL_DATA, static_cast<int32_t>(table_bytes), t);
    for (uint64_t k = 0; k < kept; ++k) out[t][k] = mm32(raw + 4 * k);
  }
  return 0;
}

// A plain file must hold every plane it is read from.
int32_t plain_check(const SGI_READ& r) {
  const uint64_t needed = uint64_t{kSgiHeaderBytes} + uint64_t{r.channels} * r.width * r.height;
  if (static_cast<uint64_t>(r.end - r.origin) < needed)
    return RX_ERR(RXE_CANT_READ_PIXEL_DATA, r.end - r.origin, static_cast<int32_t>(std::min<uint64_t>(needed, INT32_MAX)));
  return 0;
}

// One row of channel c, file row y (0 is the bottom), into `out`.
int32_t channel_row_read(SGI_READ* r, uint32_t c, uint32_t y, uint8_t* coded, uint8_t* out) {
  const uint32_t width = r->width;
  if (r->file.storage == kSgiPlain) {
    const int64_t at = int64_t{r->origin} + kSgiHeaderBytes + (uint64_t{c} * r->height + y) * width;
    if (!read_at(r->io, static_cast<int32_t>(at), out, static_cast<int32_t>(width)))
      return RX_ERR(RXE_CANT_READ_PIXEL_DATA, width, y);
    return 0;
  }
  const uint64_t k = uint64_t{c} * r->height + y;
  // No coding of a row needs more than its longest form; bytes past it
  // cannot change the row.
  const auto length = static_cast<uint32_t>(std::min<uint64_t>(r->lengths[k], sgi_coded_row_max(width)));
  const int64_t at = int64_t{r->origin} + r->starts[k];
  if (at + length > r->end || !read_at(r->io, static_cast<int32_t>(at), coded, static_cast<int32_t>(length)))
    return RX_ERR(RXE_CANT_READ_PIXEL_DATA, static_cast<int32_t>(r->starts[k]), static_cast<int32_t>(r->lengths[k]));
  std::fill(out, out + width, uint8_t{0});
  sgi_row_decode(coded, length, out, width);
  return 0;
}

int32_t rows_read(SGI_READ* r) {
  const uint32_t width = r->width, stride = r->geometry.stride;
  uint8_t* coded = scratch_alloc(r, sgi_coded_row_max(width));
  uint8_t* planes = scratch_alloc(r, uint64_t{width} * r->channels);
  uint8_t* out = scratch_alloc(r, stride);
  if (coded == nullptr || planes == nullptr || out == nullptr) return RXE_GLOBAL_MEMORY_DEPLETED;
  std::fill(out, out + stride, uint8_t{0});
  for (uint32_t y = 0; y < r->height; ++y) {
    for (uint32_t c = 0; c < r->channels; ++c)
      if (const int32_t code = channel_row_read(r, c, y, coded, planes + size_t{c} * width)) return code;
    if (r->channels == 1) {
      std::memcpy(out, planes, width);
    } else {
      const uint8_t *red = planes, *green = planes + width, *blue = planes + 2 * size_t{width};
      for (uint32_t x = 0; x < width; ++x) {
        out[3 * x] = blue[x];
        out[3 * x + 1] = green[x];
        out[3 * x + 2] = red[x];
      }
    }
    const auto row = static_cast<int32_t>(r->height - 1 - y);
    if (const int32_t code = row_deliver(r->io, out, row, stride)) return code;
  }
  return 0;
}

// The header and the colours: a palette for 8-bit images; deeper ones
// take only the plain and dithered map kinds.
int32_t header_colours_read(SGI_READ* r) {
  if (const int32_t c = header_read(r)) return c;
  if (r->dib.biBitCount == 8) return palette_make(r);
  if (r->file.colormap != kSgiMapNormal && r->file.colormap != kSgiMapDithered)
    return RX_ERR(RXE_INVALID_FILE_HEADER, r->file.colormap, 0);
  return 0;
}

// The SGI side of the single-image frame.
class SgiReader final : public SingleImageRecord<SGI_READ> {
 public:
  int32_t data_check() override {
    return r_.file.storage == kSgiRle ? tables_read(&r_) : plain_check(r_);
  }
  int32_t rows_read() override { return rx::rows_read(&r_); }

 private:
  int32_t header_read() override { return header_colours_read(&r_); }
};

}  // namespace

int32_t sgi_info(IO_REC* io, RX_BITMAPINFOHEADER* header, RX_RGBQUAD* palette,
                 int32_t* compression, void*, int32_t) {
  if (io == nullptr) {
    RX_ERR(RXE_INVALID_POINTER, 0, 0);
    return RPb_AF_error_check();
  }
  const int32_t start = RPb_IO_tell(io);
  SGI_READ r{};
  r.io = io;
  if (header_read(&r) != 0) return read_failed(io, start);
  // A colour map kind that cannot be loaded is found out by the load.
  if (r.dib.biBitCount == 8 && r.file.colormap <= kSgiMapDithered) palette_make(&r);
  RPb_IO_seek(io, start, RX_SEEK_SET);
  if (header != nullptr) *header = r.dib;
  if (palette != nullptr)
    std::copy(r.palette, r.palette + dib_palette_entries(r.dib.biBitCount, RX_BI_RGB), palette);
  if (compression != nullptr)
    *compression = r.file.storage == kSgiRle ? RX_COMPRESSION_RLE : RX_COMPRESSION_NONE;
  return 0;
}

int32_t sgi_read(IO_REC* io, void*, int32_t, int32_t) {
  SgiReader reader;
  return single_image_read(io, reader);
}

int32_t sgi_page_count(IO_REC*, void*, int32_t* count) {
  if (count != nullptr) *count = 1;
  return 0;
}

}  // namespace rx
