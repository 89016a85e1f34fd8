// Reading a BMP's headers and palette, and describing the image to the
// engine. Nothing here allocates: the sizes are checked before the reader
// asks for any memory.
#include <algorithm>

#include "SUPPORT/error.h"
#include "filters/bmp/bmp_format.h"
#include "rastrix/rpb.h"

RX_SOURCE("source\\filters\\bmp\\bmp_header.cpp");

namespace rx {
namespace {


// Both variants after the 12-byte one begin with the same 40 bytes.
void info_fields(const uint8_t* b, BMP_HEADER* h) {
  h->width = static_cast<int32_t>(bmp_u32(b + 4));
  h->height = static_cast<int32_t>(bmp_u32(b + 8));
  h->planes = static_cast<uint16_t>(bmp_u16(b + 12));
  h->bit_count = static_cast<uint16_t>(bmp_u16(b + 14));
  h->compression = bmp_u32(b + 16);
  h->image_size = bmp_u32(b + 20);
  h->x_pels_per_meter = static_cast<int32_t>(bmp_u32(b + 24));
  h->y_pels_per_meter = static_cast<int32_t>(bmp_u32(b + 28));
  h->colors_used = bmp_u32(b + 32);
  h->colors_important = bmp_u32(b + 36);
}

void long_fields(const uint8_t* b, BMP_HEADER* h) {
  h->units = static_cast<uint16_t>(bmp_u16(b + 40));
  h->reserved = static_cast<uint16_t>(bmp_u16(b + 42));
  h->recording = static_cast<uint16_t>(bmp_u16(b + 44));
  h->rendering = static_cast<uint16_t>(bmp_u16(b + 46));
  h->size1 = bmp_u32(b + 48);
  h->size2 = bmp_u32(b + 52);
  h->color_encoding = bmp_u32(b + 56);
  h->identifier = bmp_u32(b + 60);
}

// The 12-byte header keeps its sizes in 16 bits; the height is signed like
// the wider variants' so that a negative one still means top-down.
void core_fields(const uint8_t* b, BMP_HEADER* h) {
  h->width = static_cast<int32_t>(bmp_u16(b + 4));
  h->height = static_cast<int16_t>(bmp_u16(b + 6));
  h->planes = static_cast<uint16_t>(bmp_u16(b + 8));
  h->bit_count = static_cast<uint16_t>(bmp_u16(b + 10));
}

// The 14-byte file header, or its absence; leaves the stream at the bitmap
// header's size field.
int32_t file_header_read(IO_REC* io, BMP_HEADER* h) {
  uint8_t b[kBmpFileHeaderBytes];
  const int32_t got = RPb_IO_read(io, b, 2);
  if (got < 2) return RX_ERR(RXE_CANT_READ_HEADER, 2, got);
  if (bmp_u16(b) != kBmpSignature) {
    RPb_IO_seek(io, -2, RX_SEEK_CUR);
    return 0;
  }
  const int32_t rest = RPb_IO_read(io, b + 2, kBmpFileHeaderBytes - 2);
  if (rest != static_cast<int32_t>(kBmpFileHeaderBytes) - 2)
    return RX_ERR(RXE_CANT_READ_HEADER, kBmpFileHeaderBytes, 2 + std::max(rest, 0));
  h->file_header = 1;
  h->file_size = bmp_u32(b + 2);
  h->data_offset = bmp_u32(b + 10);
  return 0;
}

int32_t bitmap_header_read(IO_REC* io, BMP_HEADER* h) {
  uint8_t b[kBmpLongHeaderBytes] = {};
  const int32_t got = RPb_IO_read(io, b, 4);
  if (got != 4) return RX_ERR(RXE_CANT_READ_HEADER, 4, std::max(got, 0));
  const uint32_t size = bmp_u32(b);
  // Without the file header only the 40-byte variant is recognised: the
  // detect test claims nothing else.
  if (!h->file_header && size != kBmpInfoHeaderBytes)
    return RX_ERR(RXE_INVALID_FILE_HEADER, size, 0);
  if (size != kBmpCoreHeaderBytes && size != kBmpInfoHeaderBytes && size != kBmpLongHeaderBytes)
    return RX_ERR(RXE_INVALID_FILE_HEADER, size, 0);
  const int32_t want = static_cast<int32_t>(size) - 4;
  const int32_t rest = RPb_IO_read(io, b + 4, want);
  if (rest != want) return RX_ERR(RXE_CANT_READ_HEADER, size, 4 + std::max(rest, 0));
  h->header_size = size;
  if (size == kBmpCoreHeaderBytes) {
    core_fields(b, h);
  } else {
    info_fields(b, h);
    if (size == kBmpLongHeaderBytes) long_fields(b, h);
  }
  return 0;
}

void tags_report(IO_REC* io, const BMP_HEADER& h) {
  if (!RPb_IO_tag_set_exists(io)) return;
  RPb_IO_tag_dword_set(io, kBmpTagHeaderSize, h.header_size);
  if (h.header_size == kBmpCoreHeaderBytes) {
    RPb_IO_tag_word_set(io, kBmpTagWidth, static_cast<uint16_t>(h.width));
    RPb_IO_tag_word_set(io, kBmpTagHeight, static_cast<uint16_t>(h.height));
  } else {
    RPb_IO_tag_dword_set(io, kBmpTagWidth, static_cast<uint32_t>(h.width));
    RPb_IO_tag_dword_set(io, kBmpTagHeight, static_cast<uint32_t>(h.height));
  }
  RPb_IO_tag_word_set(io, kBmpTagPlanes, h.planes);
  RPb_IO_tag_word_set(io, kBmpTagBitCount, h.bit_count);
  if (h.header_size == kBmpCoreHeaderBytes) return;
  RPb_IO_tag_dword_set(io, kBmpTagCompression, h.compression);
  RPb_IO_tag_dword_set(io, kBmpTagXPels, static_cast<uint32_t>(h.x_pels_per_meter));
  RPb_IO_tag_dword_set(io, kBmpTagYPels, static_cast<uint32_t>(h.y_pels_per_meter));
  RPb_IO_tag_dword_set(io, kBmpTagColorsUsed, h.colors_used);
  RPb_IO_tag_dword_set(io, kBmpTagColorsImportant, h.colors_important);
  if (h.header_size != kBmpLongHeaderBytes) return;
  RPb_IO_tag_word_set(io, kBmpTagUnits, h.units);
  RPb_IO_tag_word_set(io, kBmpTagRecording, h.recording);
  RPb_IO_tag_word_set(io, kBmpTagRendering, h.rendering);
  RPb_IO_tag_dword_set(io, kBmpTagSize1, h.size1);
  RPb_IO_tag_dword_set(io, kBmpTagSize2, h.size2);
  RPb_IO_tag_dword_set(io, kBmpTagColorEncoding, h.color_encoding);
  RPb_IO_tag_dword_set(io, kBmpTagIdentifier, h.identifier);
}

// A bare DIB's pixels follow its colour table directly, so table entries
// the engine does not keep (a colours-used count above 2^bits, or a table
// in front of 16- and 24-bit pixels) are stepped over. A file header's data
// offset makes that unnecessary.
int32_t table_rest_skip(IO_REC* io, const BMP_HEADER& h, uint64_t entries_kept) {
  if (h.file_header || h.colors_used <= entries_kept) return 0;
  const uint64_t skip = (uint64_t{h.colors_used} - entries_kept) * 4;
  const int32_t here = RPb_IO_tell(io);
  const uint64_t target = static_cast<uint64_t>(std::max(here, 0)) + skip;
  if (here < 0 || target > 0x7FFFFFFF ||
      RPb_IO_seek(io, static_cast<int32_t>(target), RX_SEEK_SET) != static_cast<int32_t>(target))
    return RX_ERR(RXE_CANT_READ_PALETTE, static_cast<int32_t>(std::min<uint64_t>(skip, 0x7FFFFFFF)),
                  0);
  return 0;
}

int32_t palette_read(IO_REC* io, const BMP_HEADER& h, RX_RGBQUAD* palette) {
  std::fill(palette, palette + 256, RX_RGBQUAD{0, 0, 0, 0});
  if (h.bit_count > 8) return table_rest_skip(io, h, 0);
  const uint32_t entries = 1u << h.bit_count;
  const bool core = h.header_size == kBmpCoreHeaderBytes;
  const uint32_t entry_bytes = core ? 3 : 4;
  const uint32_t listed = core || h.colors_used == 0 ? entries : h.colors_used;
  const uint32_t kept = std::min(listed, entries);
  uint8_t raw[256 * 4];
  const auto want = static_cast<int32_t>(kept * entry_bytes);
  const int32_t got = RPb_IO_read(io, raw, want);
  if (got != want) return RX_ERR(RXE_CANT_READ_PALETTE, want, got);
  for (uint32_t i = 0; i < kept; ++i) {
    const uint8_t* e = raw + i * entry_bytes;
    palette[i] = RX_RGBQUAD{e[0], e[1], e[2], 0};
  }
  // A bi-level file whose two colours are the same would show nothing.
  if (h.bit_count == 1 && palette[0].rgbBlue == palette[1].rgbBlue &&
      palette[0].rgbGreen == palette[1].rgbGreen && palette[0].rgbRed == palette[1].rgbRed) {
    palette[0] = RX_RGBQUAD{0, 0, 0, 0};
    palette[1] = RX_RGBQUAD{255, 255, 255, 0};
  }
  return core ? 0 : table_rest_skip(io, h, kept);
}

}  // namespace

int32_t bmp_header_read(BMP_READ* r) {
  IO_REC* io = r->io;
  BMP_HEADER& h = r->file;
  h = BMP_HEADER{};
  RPb_IO_byte_order_set(io, RX_ORDER_INTEL);
  int32_t code = file_header_read(io, &h);
  if (code == 0) code = bitmap_header_read(io, &h);
  if (code != 0) return code;
  const uint32_t bits = h.bit_count;
  if (!dib_bits_valid(bits)) return RX_ERR(RXE_INVALID_BITCOUNT_FOR_FORMAT, bits, 0);
  tags_report(io, h);
  return palette_read(io, h, r->palette);
}

int32_t bmp_header_translate(BMP_READ* r) {
  const BMP_HEADER& h = r->file;
  const int64_t height = h.height < 0 ? -int64_t{h.height} : int64_t{h.height};
  const uint32_t bits = h.bit_count == 16 ? 24 : h.bit_count;
  const uint32_t compression =
      h.bit_count == 1 && h.compression == kBmpRunRows ? uint32_t{RX_BI_RUNS} : uint32_t{RX_BI_RGB};
  if (!dib_geometry(h.width, height, bits, RX_BI_RGB, &r->geometry))
    return RX_ERR(RXE_INVALID_FILE_HEADER, h.width, h.height);
  const bool core = h.header_size == kBmpCoreHeaderBytes;
  RPb_DIB_init(&r->dib, h.width, static_cast<int32_t>(height), static_cast<int32_t>(bits),
               compression, core ? 0 : h.x_pels_per_meter, core ? 0 : h.y_pels_per_meter);
  r->top_down = h.height < 0 ? 1 : 0;
  return 0;
}

}  // namespace rx
