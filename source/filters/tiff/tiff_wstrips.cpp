// The writer's strips: how the rows are cut into strips, and each strip's
// data in the chosen compression, written at the stream's position.
#include <algorithm>
#include <cstring>

#include "IO/io_callback_status.h"
#include "SUPPORT/error.h"
#include "SUPPORT/ext.h"
#include "SUPPORT/img_ctrl.h"
#include "filters/codecs/ccitt.h"
#include "filters/codecs/packbits.h"
#include "filters/tiff/tiff_write.h"
#include "rastrix/rpb.h"

namespace rx::tiff {
namespace {

// A strip holds as many whole rows as fit in this many bytes (at least
// one row)...
constexpr uint32_t kStripBudget = 65534;
// ...and in this many once an LZW save has been made, for as long as the
// LZW extension stays loaded. The budget is the process's, not the save's.
constexpr uint32_t kLzwStripBudget = 8192;
bool g_lzw_saved = false;
// Uncompressed and PackBits data go to the stream through a block of this
// size.
constexpr uint32_t kOutputBlockBytes = 65536;
// Group 3 two-dimensional strips code every second row one-dimensionally.
constexpr int32_t kTwoDimensionalK = 2;
// The extension number of LZW, and the greatest width and height of a
// JPEG frame.
constexpr int32_t kLzwCodec = 8;
constexpr int32_t kMaxJpegSide = 65535;

uint32_t strip_budget() {
  if (extension_encoder_find(kLzwCodec) == nullptr) g_lzw_saved = false;
  return g_lzw_saved ? kLzwStripBudget : kStripBudget;
}

bool one_strip(const Writer& w) {
  uint32_t v = 0;
  std::memcpy(&v, w.flags + kFlagsOneStrip, 4);
  return v != 0;
}

// ---- Rows in file order ---------------------------------------------------------

bool row_fetch(Writer* w, uint32_t index, uint8_t* row) {
  if (io_callback_status(RPb_IO_raster_get(w->io, row, static_cast<int32_t>(index),
                                           static_cast<int32_t>(w->stride))) != 0) {
    w->failed = true;
    return false;
  }
  // Pixels are stored blue, green, red; files hold red, green, blue.
  if (w->kind == Kind::kRgb)
    for (uint32_t x = 0; x < w->row_bytes; x += 3) std::swap(row[x], row[x + 2]);
  return true;
}

// Bytes gathered into blocks before they are written.
struct Output {
  Writer* w;
  uint8_t* block;
  uint32_t used;
  uint64_t written;
};

bool output_flush(Output& o) {
  if (o.used == 0) return true;
  const int32_t n = RPb_IO_write(o.w->io, o.block, static_cast<int32_t>(o.used));
  if (n != static_cast<int32_t>(o.used)) return fail(o.w, RXE_CANT_WRITE_PIXEL_DATA, o.used, n);
  o.written += o.used;
  o.used = 0;
  return true;
}

bool output_put(Output& o, const uint8_t* bytes, uint64_t n) {
  while (n > 0) {
    if (o.used == kOutputBlockBytes && !output_flush(o)) return false;
    const uint32_t take = static_cast<uint32_t>(std::min<uint64_t>(n, kOutputBlockBytes - o.used));
    std::memcpy(o.block + o.used, bytes, take);
    o.used += take;
    bytes += take;
    n -= take;
  }
  return true;
}

// ---- One strip per compression ---------------------------------------------------

struct Buffers {
  uint8_t* row;     // one image row
  uint8_t* packed;  // one packed row (PackBits)
  uint8_t* strip;   // one strip's rows (LZW)
  Output out;
};

bool plain_strip(Writer* w, Buffers& b, uint32_t first, uint32_t rows, bool pack) {
  for (uint32_t y = 0; y < rows; ++y) {
    if (!row_fetch(w, first + y, b.row)) return false;
    if (pack) {
      const size_t n = packbits_encode(b.row, w->row_bytes, b.packed);
      if (!output_put(b.out, b.packed, n)) return false;
    } else if (!output_put(b.out, b.row, w->row_bytes)) {
      return false;
    }
  }
  return output_flush(b.out);
}

bool lzw_strip(Writer* w, Buffers& b, uint32_t first, uint32_t rows, uint64_t* bytes) {
  for (uint32_t y = 0; y < rows; ++y) {
    if (!row_fetch(w, first + y, b.row)) return false;
    std::memcpy(b.strip + uint64_t{y} * w->row_bytes, b.row, w->row_bytes);
  }
  int32_t count = static_cast<int32_t>(uint64_t{rows} * w->row_bytes);
  const int32_t result = extension_encoder_find(kLzwCodec)(w->io, w->tag, b.strip, &count);
  if (result != 0) return failed_after(w, RXE_TIFF_LZW_ERROR, result, first);
  if (count < 0) return fail(w, RXE_TIFF_LZW_ERROR, count, first);
  *bytes = static_cast<uint64_t>(count);
  return true;
}

bool fax_strip(Writer* w, uint32_t first, uint32_t rows, uint64_t* bytes) {
  CcittEncodeParams params;
  params.fill_order = static_cast<int32_t>(w->fill_order);
  // Set bits go in as white; the photometric value written says which
  // colour that is.
  params.polarity = 1;
  switch (w->compression) {
    case kSaveMh:
      params.variant = kCcittMh;
      params.end_of_data = 0;
      break;
    case kSaveGroup3:
      params.variant = kCcittG3;
      params.fill = 1;
      // Readers look for an EOL in front of the first row of every strip.
      params.eol_first = 1;
      break;
    case kSaveGroup3TwoD:
      params.variant = kCcittG3TwoDAligned;
      params.k = kTwoDimensionalK;
      break;
    default:
      params.variant = kCcittG4;
      break;
  }
  RX_BITMAPINFOHEADER h = w->h;
  h.biCompression = RX_BI_RGB;
  if (ccitt_encode(w->io, params, h, static_cast<int32_t>(first), static_cast<int32_t>(rows), bytes) != 0)
    return failed_after(w, RXE_CANT_WRITE_PIXEL_DATA, first, rows);
  return true;
}

bool jpeg_strip(Writer* w, uint64_t* bytes) {
  JPEG_SAVE_OPTIONS options = kJpegDefaultOptions;
  options_block_copy(RX_FORMAT_JPEG, &options, sizeof options);
  // The luminance sampling factors of the options are the page's.
  w->jpeg = JPEG_TABLE_POS{};
  w->jpeg.luma_h = static_cast<uint16_t>((options.sampling >> 20) & 15);
  w->jpeg.luma_v = static_cast<uint16_t>((options.sampling >> 16) & 15);
  auto* work = static_cast<JPEG_WORK*>(scratch(w, sizeof(JPEG_WORK)));
  if (work == nullptr) return false;
  const int32_t before = error_count();
  jpeg_encode(w->io, w->tag, &options, &w->h, w->palette, work, &w->jpeg);
  if (error_count() != before) {
    w->failed = true;
    return false;
  }
  *bytes = w->jpeg.total_length;
  w->samples = (w->jpeg.components & 0xFFFF) == 3 ? 3 : 1;
  return true;
}

bool buffers_make(Writer* w, Buffers* b) {
  b->row = static_cast<uint8_t*>(scratch(w, w->stride + 8));
  if (b->row == nullptr) return false;
  if (w->compression == kSavePackBits) {
    b->packed = static_cast<uint8_t*>(scratch(w, packbits_bound(w->row_bytes)));
    if (b->packed == nullptr) return false;
  }
  if (w->compression == kSaveLzw) {
    b->strip = static_cast<uint8_t*>(scratch(w, uint64_t{w->rows_per_strip} * w->row_bytes + 8));
    if (b->strip == nullptr) return false;
  }
  if (w->compression == kSaveNone || w->compression == kSavePackBits) {
    b->out.block = static_cast<uint8_t*>(scratch(w, kOutputBlockBytes));
    if (b->out.block == nullptr) return false;
  }
  b->out.w = w;
  return true;
}

}  // namespace

bool strips_possible(Writer* w) {
  const int32_t c = w->compression;
  const uint32_t depth = w->h.biBitCount;
  if (save_is_fax(c)) {
    if (depth != 1) return fail(w, RXE_TIFF_DEPTH_INVALID_FOR_COMPRESSION, depth, c);
    if (static_cast<uint32_t>(w->h.biWidth) > kCcittMaxWidth)
      return fail(w, RXE_PARAMETERS_OUT_OF_LIMITS, w->h.biWidth, c);
  }
  if (c == kSaveJpeg) {
    if (depth < 8) return fail(w, RXE_INVALID_BITCOUNT_FOR_FORMAT, depth, c);
    if (w->h.biWidth > kMaxJpegSide || w->h.biHeight > kMaxJpegSide)
      return fail(w, RXE_PARAMETERS_OUT_OF_LIMITS, w->h.biWidth, w->h.biHeight);
  }
  if (c == kSaveLzw && extension_encoder_find(kLzwCodec) == nullptr)
    return fail(w, RXE_TIFF_COMPRESSION_UNSUPPORTED, 90, kLzwCodec);
  return true;
}

bool strips_plan(Writer* w) {
  const auto width = static_cast<uint64_t>(w->h.biWidth);
  const auto height = static_cast<uint32_t>(w->h.biHeight);
  w->row_bytes = static_cast<uint32_t>((width * w->h.biBitCount + 7) / 8);
  w->samples = w->kind == Kind::kRgb ? 3 : 1;
  if (w->compression == kSaveLzw) g_lzw_saved = true;
  if (one_strip(*w) || w->compression == kSaveJpeg) {
    w->rows_per_strip = height;
  } else {
    const uint32_t budget = strip_budget();
    const uint32_t rows = std::max<uint32_t>(1, budget / w->row_bytes);
    w->rows_per_strip = std::min(rows, height);
  }
  w->strips = (height + w->rows_per_strip - 1) / w->rows_per_strip;
  w->strip_offsets = static_cast<uint32_t*>(scratch(w, uint64_t{w->strips} * 4));
  w->strip_counts = static_cast<uint32_t*>(scratch(w, uint64_t{w->strips} * 4));
  return w->strip_offsets != nullptr && w->strip_counts != nullptr;
}

bool strips_write(Writer* w) {
  Buffers b{};
  if (!buffers_make(w, &b)) return false;
  const auto height = static_cast<uint32_t>(w->h.biHeight);
  for (uint32_t i = 0; i < w->strips; ++i) {
    const uint32_t first = i * w->rows_per_strip;
    const uint32_t rows = std::min(w->rows_per_strip, height - first);
    const int32_t at = RPb_IO_tell(w->io);
    if (at < 0) return fail(w, RXE_TIFF_SEEK_FAILURE, at, i);
    uint64_t bytes = 0;
    bool ok = false;
    switch (w->compression) {
      case kSaveNone:
      case kSavePackBits:
        b.out.written = 0;
        ok = plain_strip(w, b, first, rows, w->compression == kSavePackBits);
        bytes = b.out.written;
        break;
      case kSaveLzw: ok = lzw_strip(w, b, first, rows, &bytes); break;
      case kSaveJpeg: ok = jpeg_strip(w, &bytes); break;
      default: ok = fax_strip(w, first, rows, &bytes); break;
    }
    if (!ok) return false;
    if (bytes > UINT32_MAX) return fail(w, RXE_CANT_WRITE_PIXEL_DATA, i, 0);
    w->strip_offsets[i] = w->compression == kSaveJpeg ? w->jpeg.start : static_cast<uint32_t>(at);
    w->strip_counts[i] = static_cast<uint32_t>(bytes);
    // The next strip goes right behind this one, wherever a codec left the
    // stream.
    const int64_t end = int64_t{at} + static_cast<int64_t>(bytes);
    if (w->compression != kSaveJpeg &&
        (end > INT32_MAX || RPb_IO_seek(w->io, static_cast<int32_t>(end), RX_SEEK_SET) != end))
      return fail(w, RXE_TIFF_SEEK_FAILURE, i, 0);
  }
  return true;
}

}  // namespace rx::tiff
