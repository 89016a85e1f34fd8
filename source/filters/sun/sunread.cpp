// The Sun raster reader: the header, the colour map (as planes or as
// triplets), and the rows, plain or run-length coded, delivered top row
// first. 32-bit pixels lose their pad byte.
#include <algorithm>
#include <cstring>

#include "IO/head_bytes.h"
#include "IO/single_image_read.h"
#include "SUPPORT/dib_size.h"
#include "SUPPORT/error.h"
#include "filters/sun/sun.h"
#include "filters/sun/sun_format.h"
#include "rastrix/rpb.h"

RX_SOURCE("source\\filters\\sun\\sunread.cpp");

namespace rx {
namespace {

// Types that hold other data: TIFF, IFF and the experimental one.
inline constexpr uint32_t kSunLastType = kSunRgb;

struct SUN_READ {
  IO_REC* io;
  uint32_t tag;
  int32_t end;  // the stream's length
  SUN_HEADER h;
  uint32_t row_bytes;
  RX_BITMAPINFOHEADER dib;
  DibGeometry geometry;
  RX_RGBQUAD palette[256];
};

int32_t header_parse(SUN_READ* r) {
  uint8_t b[kSunHeaderBytes];
  const int32_t got = RPb_IO_read(r->io, b, kSunHeaderBytes);
  if (got != static_cast<int32_t>(kSunHeaderBytes))
    return RX_ERR(RXE_CANT_READ_HEADER, kSunHeaderBytes, std::max(got, 0));
  SUN_HEADER& h = r->h;
  uint32_t* words[8] = {&h.magic, &h.width, &h.height, &h.depth,
                        &h.length, &h.type, &h.map_type, &h.map_length};
  for (int32_t i = 0; i < 8; ++i) *words[i] = mm32(b + 4 * i);
  if (h.magic != kSunMagic) return RX_ERR(RXE_INVALID_FILE_TYPE, h.magic, kSunMagic);
  if (RPb_IO_tag_set_exists(r->io))
    for (int32_t i = 0; i < 8; ++i) RPb_IO_tag_dword_set(r->io, kSunFirstTag + i, *words[i]);
  if (h.type > kSunLastType) return RX_ERR(RXE_INVALID_FILE_TYPE, h.type, 0);
  const uint32_t d = h.depth;
  if (d != 1 && d != 4 && d != 8 && d != 24 && d != 32) return RX_ERR(RXE_INVALID_FILE_TYPE, d, 0);
  if (h.map_type > kSunMapTriplets) return RX_ERR(RXE_INVALID_FILE_HEADER, h.map_type, 0);
  const uint32_t depth = d == 32 ? 24 : d;
  if (!dib_geometry(h.width, h.height, depth, RX_BI_RGB, &r->geometry))
    return RX_ERR(RXE_INVALID_FILE_HEADER, h.width, h.height);
  r->row_bytes = static_cast<uint32_t>(sun_row_bytes(h.width, d));
  RPb_DIB_init(&r->dib, static_cast<int32_t>(h.width), static_cast<int32_t>(h.height),
               static_cast<int32_t>(depth), RX_BI_RGB, 0, 0);
  return 0;
}

// Files without a map get the colours their depth has by convention: a set
// bit is black in 1-bit files, and deeper ones are grey levels.
void default_palette(const SUN_READ& r, RX_RGBQUAD* palette) {
  std::fill(palette, palette + 256, RX_RGBQUAD{0, 0, 0, 0});
  if (r.h.depth == 1) {
    palette[0] = RX_RGBQUAD{255, 255, 255, 0};
    return;
  }
  if (r.h.depth > 8) return;
  const uint32_t n = 1u << r.h.depth;
  for (uint32_t i = 0; i < n; ++i) {
    const auto v = static_cast<uint8_t>(i * 255 / (n - 1));
    palette[i] = RX_RGBQUAD{v, v, v, 0};
  }
}

// Reads the map's entries into the palette (at most 256 of them) and
// steps over the whole map, which must be in the file.
int32_t map_read(SUN_READ* r) {
  const SUN_HEADER& h = r->h;
  default_palette(*r, r->palette);
  const int32_t start = RPb_IO_tell(r->io);
  const int64_t left = start < 0 ? 0 : std::max<int64_t>(int64_t{r->end} - start, 0);
  if (h.map_length > left) return RX_ERR(RXE_CANT_READ_PALETTE, h.map_length, left);
  const auto after = static_cast<int32_t>(start + int64_t{h.map_length});
  if (h.map_type != kSunMapNone && h.depth <= 8 && h.map_length >= 3) {
    const uint32_t per_colour = h.map_length / 3;
    const uint32_t kept = std::min<uint32_t>(per_colour, 256);
    uint8_t rgb[3][256] = {};
    for (uint32_t c = 0; c < 3; ++c) {
      const int32_t at = start + static_cast<int32_t>(h.map_type == kSunMapPlanes ? c * per_colour : 0);
      if (h.map_type == kSunMapPlanes && !read_at(r->io, at, rgb[c], static_cast<int32_t>(kept)))
        return RX_ERR(RXE_CANT_READ_PALETTE, h.map_length, 0);
    }
    if (h.map_type == kSunMapTriplets) {
      uint8_t t[3 * 256];
      if (!read_at(r->io, start, t, static_cast<int32_t>(3 * kept)))
        return RX_ERR(RXE_CANT_READ_PALETTE, h.map_length, 0);
      for (uint32_t i = 0; i < kept; ++i)
        for (uint32_t c = 0; c < 3; ++c) rgb[c][i] = t[3 * i + c];
    }
    std::fill(r->palette, r->palette + 256, RX_RGBQUAD{0, 0, 0, 0});
    for (uint32_t i = 0; i < kept; ++i) r->palette[i] = RX_RGBQUAD{rgb[2][i], rgb[1][i], rgb[0][i], 0};
  }
  if (RPb_IO_seek(r->io, after, RX_SEEK_SET) != after)
    return RX_ERR(RXE_CANT_READ_PALETTE, h.map_length, 0);
  return 0;
}

// The least data the rows can come from: all of them, or for coded files
// three bytes for every 256 (no code makes more of what it takes; short
// rows may be literals of a byte or two).
int32_t data_fits(const SUN_READ& r) {
  const uint64_t total = uint64_t{r.row_bytes} * r.h.height;
  const uint64_t needed =
      r.h.type == kSunEncoded ? (total * 3 + kSunLongestRun - 1) / kSunLongestRun : total;
  const int32_t here = RPb_IO_tell(r.io);
  const int64_t available = here < 0 ? 0 : std::max<int64_t>(int64_t{r.end} - here, 0);
  if (static_cast<uint64_t>(available) < needed)
    return RX_ERR(RXE_CANT_READ_PIXEL_DATA, available,
                  static_cast<int32_t>(std::min<uint64_t>(needed, 0x7FFFFFFF)));
  return 0;
}

void tail_clear(uint8_t* row, uint32_t width, uint32_t bits) {
  const uint64_t used = uint64_t{width} * bits;
  if (used % 8 != 0) row[used / 8] &= static_cast<uint8_t>(0xFF00 >> (used % 8));
}

// A file row into the image's row. Pixels are blue, green, red, but red,
// green, blue in files of the RGB type.
void row_convert(const SUN_READ& r, const uint8_t* in, uint8_t* out) {
  const uint32_t width = r.h.width;
  const bool rgb = r.h.type == kSunRgb;
  switch (r.h.depth) {
    case 24:
    case 32: {
      const uint32_t step = r.h.depth / 8;
      const uint32_t skip = step - 3;
      for (uint32_t x = 0; x < width; ++x, in += step, out += 3) {
        out[0] = in[skip + (rgb ? 2 : 0)];
        out[1] = in[skip + 1];
        out[2] = in[skip + (rgb ? 0 : 2)];
      }
      return;
    }
    default:
      std::memcpy(out, in, (uint64_t{width} * r.h.depth + 7) / 8);
      tail_clear(out, width, r.h.depth);
  }
}

int32_t header_map_read(SUN_READ* r) {
  const int32_t here = RPb_IO_tell(r->io);
  r->end = here < 0 ? -1 : RPb_IO_seek(r->io, 0, RX_SEEK_END);
  RPb_IO_seek(r->io, here, RX_SEEK_SET);
  RPb_IO_byte_order_set(r->io, RX_ORDER_MOTOROLA);
  int32_t code = header_parse(r);
  if (code == 0) code = map_read(r);
  return code;
}

// The Sun raster side of the single-image frame.
class SunReader final : public SingleImageRecord<SUN_READ> {
 public:
  int32_t data_check() override { return data_fits(r_); }

  int32_t rows_read() override {
    const uint32_t n = r_.row_bytes;
    const bool encoded = r_.h.type == kSunEncoded;
    SUN_RUN run{};
    BufferedRows b;
    b.line_bytes = n;
    b.stride = r_.geometry.stride;
    b.rows = static_cast<int32_t>(r_.h.height);
    b.line = [&](IO_BUFFER* in, uint8_t* line) -> const uint8_t* {
      if (encoded) return sun_row_decode(in, &run, line, n) ? line : nullptr;
      return io_buffer_get(in, static_cast<int32_t>(n));
    };
    b.convert = [this](const uint8_t* in, uint8_t* out) { row_convert(r_, in, out); };
    return buffered_rows_read(r_.io, r_.tag, b);
  }

 private:
  int32_t header_read() override { return header_map_read(&r_); }
};

}  // namespace

int32_t sun_info(IO_REC* io, RX_BITMAPINFOHEADER* header, RX_RGBQUAD* palette,
                 int32_t* compression, void*, int32_t) {
  if (io == nullptr) {
    RX_ERR(RXE_INVALID_POINTER, 0, 0);
    return RPb_AF_error_check();
  }
  const int32_t start = RPb_IO_tell(io);
  SUN_READ r{};
  r.io = io;
  if (header_map_read(&r) != 0) return read_failed(io, start);
  if (header != nullptr) *header = r.dib;
  if (palette != nullptr)
    std::copy(r.palette, r.palette + dib_palette_entries(r.dib.biBitCount, RX_BI_RGB), palette);
  if (compression != nullptr)
    *compression = r.h.type == kSunEncoded ? RX_COMPRESSION_RLE : RX_COMPRESSION_NONE;
  RPb_IO_seek(io, start, RX_SEEK_SET);
  return 0;
}

int32_t sun_read(IO_REC* io, void*, int32_t, int32_t) {
  SunReader reader;
  return single_image_read(io, reader);
}

int32_t sun_page_count(IO_REC*, void*, int32_t* count) {
  if (count != nullptr) *count = 1;
  return 0;
}

}  // namespace rx
