// Reading a PSD's header, colour table and section lengths, and describing
// the flattened image to the engine. Nothing here allocates.
#include <algorithm>
#include <climits>
#include <cstring>

#include "IO/head_bytes.h"
#include "SUPPORT/error.h"
#include "filters/psd/psd_format.h"
#include "rastrix/rpb.h"

RX_SOURCE("source\\filters\\psd\\psd_header.cpp");

namespace rx {
namespace {

// The mode decides how many planes make the image and how deep it is.
// Bitmap files are 1 bit deep, every other mode 8 bits per channel; the
// duotone, multichannel and unnamed modes show their first channel as
// grey.
int32_t layout_choose(PSD_READ* r) {
  const PSD_HEADER& h = r->file;
  uint32_t depth_wanted = 8;
  uint32_t bits = 8;
  r->planes = 1;
  switch (h.mode) {
    case kPsdModeBitmap: depth_wanted = 1, bits = 1; break;
    case kPsdModeRgb:
    case kPsdModeLab: r->planes = 3, bits = 24; break;
    case kPsdModeCmyk: r->planes = 4, bits = 24; break;
    default: break;
  }
  if (h.depth != depth_wanted) return RX_ERR(RXE_INVALID_BITCOUNT_FOR_FORMAT, h.depth, h.mode);
  // Channels past the ones the mode uses (alpha, spot colours) are skipped;
  // fewer than it uses cannot make the image.
  if (h.channels < r->planes) return RX_ERR(RXE_INVALID_FILE_HEADER, h.channels, r->planes);
  if (!dib_geometry(h.columns, h.rows, bits, RX_BI_RGB, &r->geometry))
    return RX_ERR(RXE_INVALID_FILE_HEADER, h.columns, h.rows);
  r->plane_row = static_cast<uint32_t>((uint64_t{depth_wanted} * h.columns + 7) / 8);
  RPb_DIB_init(&r->dib, static_cast<int32_t>(h.columns), static_cast<int32_t>(h.rows),
               static_cast<int32_t>(bits), RX_BI_RGB, 0, 0);
  return 0;
}

int32_t skip(IO_REC* io, uint32_t length) {
  const int32_t here = RPb_IO_tell(io);
  const int64_t target = int64_t{here} + length;
  if (here < 0 || target > INT32_MAX ||
      RPb_IO_seek(io, static_cast<int32_t>(target), RX_SEEK_SET) != target)
    return RX_ERR(RXE_CANT_READ_HEADER, static_cast<int32_t>(std::min<uint32_t>(length, INT32_MAX)), here);
  return 0;
}

// A length that points past the end of the file is as good as a cut file.
int32_t section_skip(IO_REC* io, int32_t end) {
  uint8_t b[4];
  const int32_t got = RPb_IO_read(io, b, 4);
  if (got != 4) return RX_ERR(RXE_CANT_READ_HEADER, 4, got);
  const uint32_t length = mm32(b);
  const int32_t here = RPb_IO_tell(io);
  if (int64_t{here} + length > end) return RX_ERR(RXE_CANT_READ_HEADER, static_cast<int32_t>(std::min<uint32_t>(length, INT32_MAX)), end);
  return skip(io, length);
}

// Indexed files carry their colours; other files of up to 8 bits get the
// grey ramp (black and white for 1 bit), whatever colour data they carry
// (a duotone's inks cannot be shown as a palette).
int32_t palette_read(PSD_READ* r, int32_t end) {
  std::fill(r->palette, r->palette + 256, RX_RGBQUAD{0, 0, 0, 0});
  const PSD_HEADER& h = r->file;
  uint32_t rest = h.color_data_length;
  if (h.mode == kPsdModeIndexed) {
    uint8_t t[kPsdColorTableBytes];
    if (rest < kPsdColorTableBytes) return RX_ERR(RXE_CANT_READ_PALETTE, kPsdColorTableBytes, rest);
    const int32_t got = RPb_IO_read(r->io, t, kPsdColorTableBytes);
    if (got != static_cast<int32_t>(kPsdColorTableBytes))
      return RX_ERR(RXE_CANT_READ_PALETTE, kPsdColorTableBytes, got);
    for (uint32_t i = 0; i < 256; ++i) r->palette[i] = RX_RGBQUAD{t[512 + i], t[256 + i], t[i], 0};
    rest -= kPsdColorTableBytes;
  } else if (r->dib.biBitCount == 1) {
    r->palette[1] = RX_RGBQUAD{255, 255, 255, 0};
  } else if (r->dib.biBitCount == 8) {
    for (uint32_t i = 0; i < 256; ++i) {
      const auto v = static_cast<uint8_t>(i);
      r->palette[i] = RX_RGBQUAD{v, v, v, 0};
    }
  }
  const int32_t here = RPb_IO_tell(r->io);
  if (int64_t{here} + rest > end) return RX_ERR(RXE_CANT_READ_HEADER, static_cast<int32_t>(std::min<uint32_t>(rest, INT32_MAX)), end);
  return skip(r->io, rest);
}

void tags_report(IO_REC* io, const PSD_HEADER& h) {
  if (!RPb_IO_tag_set_exists(io)) return;
  RPb_IO_tag_set(io, kPsdTagSignature, 0, reinterpret_cast<uintptr_t>(h.signature), 4);
  RPb_IO_tag_word_set(io, kPsdTagVersion, h.version);
  RPb_IO_tag_dword_set(io, kPsdTagRows, h.rows);
  RPb_IO_tag_dword_set(io, kPsdTagColumns, h.columns);
  RPb_IO_tag_word_set(io, kPsdTagDepth, h.depth);
  RPb_IO_tag_word_set(io, kPsdTagMode, h.mode);
  RPb_IO_tag_dword_set(io, kPsdTagColorDataLength, h.color_data_length);
  RPb_IO_tag_word_set(io, kPsdTagCompression, h.compression);
}

int32_t fixed_header_read(PSD_READ* r) {
  uint8_t b[kPsdHeaderBytes];
  const int32_t got = RPb_IO_read(r->io, b, kPsdHeaderBytes);
  if (got != static_cast<int32_t>(kPsdHeaderBytes)) return RX_ERR(RXE_CANT_READ_HEADER, kPsdHeaderBytes, got);
  if (b[0] != '8' || b[1] != 'B') return RX_ERR(RXE_INVALID_FILE_TYPE, mm16(b), 0);
  PSD_HEADER& h = r->file;
  std::memcpy(h.signature, b, 4);
  h.version = mm16(b + 4);
  h.channels = mm16(b + 12);
  h.rows = mm32(b + 14);
  h.columns = mm32(b + 18);
  h.depth = mm16(b + 22);
  h.mode = mm16(b + 24);
  h.color_data_length = mm32(b + 26);
  // Version 2 files lay out their sections with wider lengths.
  if (h.version != kPsdVersion) return RX_ERR(RXE_INVALID_FILE_HEADER, h.version, kPsdVersion);
  return 0;
}

}  // namespace

int32_t psd_header_read(PSD_READ* r) {
  IO_REC* io = r->io;
  r->file = PSD_HEADER{};
  RPb_IO_byte_order_set(io, RX_ORDER_MOTOROLA);
  const int32_t start = RPb_IO_tell(io);
  const int32_t end = RPb_IO_seek(io, 0, RX_SEEK_END);
  if (start < 0 || end < 0 || RPb_IO_seek(io, start, RX_SEEK_SET) != start)
    return RX_ERR(RXE_CANT_READ_HEADER, kPsdHeaderBytes, 0);
  int32_t code = fixed_header_read(r);
  if (code == 0) code = layout_choose(r);
  if (code == 0) code = palette_read(r, end);
  if (code == 0) code = section_skip(io, end);  // image resources
  if (code == 0) code = section_skip(io, end);  // layers and masks
  if (code != 0) return code;
  uint8_t w[2];
  const int32_t got = RPb_IO_read(io, w, 2);
  if (got != 2) return RX_ERR(RXE_CANT_READ_HEADER, 2, got);
  r->file.compression = mm16(w);
  // Compression 2 and 3 are deflate codings that this filter does not read.
  if (r->file.compression != kPsdRaw && r->file.compression != kPsdPackBits)
    return RX_ERR(RXE_INVALID_COMPRESSION, r->file.compression, 0);
  tags_report(io, r->file);
  return 0;
}

}  // namespace rx
