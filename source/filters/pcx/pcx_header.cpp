// Reading a PCX page's header and palette, and describing the image to the
// engine. Nothing here allocates: every size is checked first.
#include <algorithm>
#include <cstring>

#include "IO/head_bytes.h"
#include "SUPPORT/error.h"
#include "filters/pcx/pcx_format.h"
#include "rastrix/rpb.h"

RX_SOURCE("source\\filters\\pcx\\pcx_header.cpp");

namespace rx {
namespace {

// Used for pages below 8 bits whose version carries no palette.
constexpr uint8_t kDefaultPalette[16][3] = {
    {0, 0, 0},       {0, 0, 128},   {0, 128, 0},   {0, 128, 128},   {128, 0, 0},   {128, 0, 128},
    {128, 128, 0},   {128, 128, 128}, {192, 192, 192}, {0, 0, 255}, {0, 255, 0},   {0, 255, 255},
    {255, 0, 0},     {255, 0, 255}, {255, 255, 0}, {255, 255, 255}};

void fields_parse(const uint8_t* b, PCX_HEADER* h) {
  h->manufacturer = b[0];
  h->version = b[1];
  h->encoding = b[2];
  h->bits = b[3];
  h->xmin = ii16(b + 4);
  h->ymin = ii16(b + 6);
  h->xmax = ii16(b + 8);
  h->ymax = ii16(b + 10);
  h->hres = ii16(b + 12);
  h->vres = ii16(b + 14);
  std::memcpy(h->palette, b + 16, 48);
  h->reserved = b[64];
  h->planes = b[65];
  h->bytes_per_line = ii16(b + 66);
  h->palette_info = ii16(b + 68);
  h->hscreen = ii16(b + 70);
  h->vscreen = ii16(b + 72);
}

void tags_report(IO_REC* io, const uint8_t* b, const PCX_HEADER& h) {
  if (!RPb_IO_tag_set_exists(io)) return;
  RPb_IO_tag_byte_set(io, kPcxTagManufacturer, h.manufacturer);
  RPb_IO_tag_byte_set(io, kPcxTagVersion, h.version);
  RPb_IO_tag_byte_set(io, kPcxTagEncoding, h.encoding);
  RPb_IO_tag_byte_set(io, kPcxTagBits, h.bits);
  const uint16_t words[6] = {h.xmin, h.ymin, h.xmax, h.ymax, h.hres, h.vres};
  for (int32_t i = 0; i < 6; ++i) RPb_IO_tag_word_set(io, kPcxTagXmin + i, words[i]);
  RPb_IO_tag_set(io, kPcxTagPalette, kPcxTagTypeBlock, reinterpret_cast<uintptr_t>(b + 16), 48);
  RPb_IO_tag_byte_set(io, kPcxTagReserved, h.reserved);
  RPb_IO_tag_byte_set(io, kPcxTagPlanes, h.planes);
  RPb_IO_tag_word_set(io, kPcxTagBytesPerLine, h.bytes_per_line);
  RPb_IO_tag_word_set(io, kPcxTagPaletteInfo, h.palette_info);
  RPb_IO_tag_word_set(io, kPcxTagHscreen, h.hscreen);
  RPb_IO_tag_word_set(io, kPcxTagVscreen, h.vscreen);
  RPb_IO_tag_set(io, kPcxTagFiller, kPcxTagTypeBlock, reinterpret_cast<uintptr_t>(b + 74), 54);
}

// The image depth of each plane layout the reader knows: single planes of
// 1, 2, 4 and 8 bits, two to four 1-bit planes (up to 16 colours) and
// three 8-bit planes (red, green, blue). 0 for any other.
uint32_t depth_of(uint32_t bits, uint32_t planes) {
  if (bits == 1) return planes == 1 ? 1 : planes >= 2 && planes <= 4 ? 4 : 0;
  if (planes != 1) return bits == 8 && planes == 3 ? 24 : 0;
  return bits == 2 || bits == 4 ? 4 : bits == 8 ? 8 : 0;
}

void rgb_entries(const uint8_t* rgb, uint32_t n, RX_RGBQUAD* palette) {
  for (uint32_t i = 0; i < n; ++i, rgb += 3) palette[i] = RX_RGBQUAD{rgb[2], rgb[1], rgb[0], 0};
}

// The 256-colour palette sits in the page's last 769 bytes; the marker
// byte in front of it is not checked, as other readers do not. A page too
// short to hold it behind its header gets a grey ramp.
void end_palette_read(PCX_READ* r, int32_t after_header) {
  const int64_t at = int64_t{r->end} - kPcxPaletteBytes;
  uint8_t b[kPcxPaletteBytes];
  if (at >= after_header && read_at(r->io, static_cast<int32_t>(at), b, kPcxPaletteBytes)) {
    rgb_entries(b + 1, 256, r->palette);
    r->data_end = static_cast<int32_t>(at);
  } else {
    for (uint32_t i = 0; i < 256; ++i) {
      const auto v = static_cast<uint8_t>(i);
      r->palette[i] = RX_RGBQUAD{v, v, v, 0};
    }
  }
  RPb_IO_seek(r->io, after_header, RX_SEEK_SET);
}

void palette_make(PCX_READ* r, uint32_t pixel_bits, int32_t after_header) {
  std::fill(r->palette, r->palette + 256, RX_RGBQUAD{0, 0, 0, 0});
  r->data_end = r->end;
  if (pixel_bits == 1) {
    r->palette[1] = RX_RGBQUAD{255, 255, 255, 0};
  } else if (pixel_bits < 8) {
    const uint32_t n = 1u << pixel_bits;
    if (r->h.version == kPcxVersionNoPalette) rgb_entries(&kDefaultPalette[0][0], n, r->palette);
    else rgb_entries(r->h.palette, n, r->palette);
  } else if (pixel_bits == 8) {
    end_palette_read(r, after_header);
  }
}

}  // namespace

int32_t pcx_stream_end(IO_REC* io) {
  const int32_t here = RPb_IO_tell(io);
  if (here < 0) return -1;
  const int32_t end = RPb_IO_seek(io, 0, RX_SEEK_END);
  RPb_IO_seek(io, here, RX_SEEK_SET);
  return end;
}

int32_t pcx_header_read(PCX_READ* r) {
  uint8_t b[kPcxHeaderBytes];
  const int32_t start = RPb_IO_tell(r->io);
  const int32_t got = RPb_IO_read(r->io, b, kPcxHeaderBytes);
  if (got != static_cast<int32_t>(kPcxHeaderBytes))
    return RX_ERR(RXE_CANT_READ_HEADER, kPcxHeaderBytes, std::max(got, 0));
  PCX_HEADER& h = r->h;
  fields_parse(b, &h);
  if (h.manufacturer != kPcxManufacturer)
    return RX_ERR(RXE_INVALID_FILE_TYPE, kPcxManufacturer, h.manufacturer);
  tags_report(r->io, b, h);
  const uint32_t depth = depth_of(h.bits, h.planes);
  if (depth == 0) return RX_ERR(RXE_INVALID_BITCOUNT_FOR_FORMAT, h.bits, h.planes);
  if (h.encoding != kPcxPlain && h.encoding != kPcxRle)
    return RX_ERR(RXE_INVALID_COMPRESSION, h.encoding, 0);
  if (h.xmax < h.xmin || h.ymax < h.ymin) return RX_ERR(RXE_INVALID_FILE_HEADER, h.xmax, h.ymax);
  const int32_t width = h.xmax - h.xmin + 1;
  const int32_t height = h.ymax - h.ymin + 1;
  if (!dib_geometry(width, height, depth, RX_BI_RGB, &r->geometry))
    return RX_ERR(RXE_INVALID_FILE_HEADER, width, height);
  // A line narrower than the image cannot hold its pixels.
  const uint32_t needed = (static_cast<uint32_t>(width) * h.bits + 7) / 8;
  if (h.bytes_per_line < needed) return RX_ERR(RXE_INVALID_FILE_HEADER, h.bytes_per_line, needed);
  r->line_bytes = uint32_t{h.bytes_per_line} * h.planes;
  RPb_DIB_init(&r->dib, width, height, static_cast<int32_t>(depth), RX_BI_RGB,
               pcx_ppm_of_dpi(h.hres), pcx_ppm_of_dpi(h.vres));
  palette_make(r, uint32_t{h.bits} * h.planes, start + static_cast<int32_t>(kPcxHeaderBytes));
  return 0;
}

}  // namespace rx
