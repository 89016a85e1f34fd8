// Pages of plain samples: uncompressed, PackBits and LZW strips or tiles,
// chunky or in planes. Each segment's bytes are read or unpacked a row at
// a time (LZW strips are decoded whole by the extension), the predictor is
// undone, planes are gathered into pixels, and the rows are converted to
// the image's depth and delivered.
#include <algorithm>
#include <cstring>
#include <optional>

#include "IO/io_callback_status.h"
#include "SUPPORT/dib_size.h"
#include "SUPPORT/error.h"
#include "SUPPORT/ext.h"
#include "filters/codecs/packbits.h"
#include "filters/tiff/tiff_read.h"
#include "filters/tiff/tiff_samples.h"
#include "rastrix/rpb.h"

namespace rx::tiff {
namespace {

// Uncompressed and PackBits data are read through a block of at most this
// many bytes (whole rows of uncompressed data when a row fits).
constexpr uint32_t kReadBlockBytes = 65534;
// The most bytes PackBits makes of each byte it takes (a repeat of 128 from
// two bytes).
constexpr uint64_t kPackBitsMaxExpansion = 64;
// The most bytes LZW can make of one byte: a 9-bit code stands for at most
// the 4,096 bytes of the longest string its table can hold.
constexpr uint64_t kLzwMaxExpansion = 4096 * 8 / 9 + 1;
// Bytes of the state record the LZW decoder is handed with every strip of
// a page.
constexpr uint32_t kLzwStateBytes = 64;
// Extra bytes the LZW decoder may write past the strip's rows.
constexpr uint32_t kLzwSlackBytes = 4;
// YCbCr bands are read whole, and stay below this size.
constexpr uint64_t kMaxBandBytes = 65535;
// The extension number of LZW.
constexpr int32_t kLzwCodec = 8;

enum class Kind { kNone, kPackBits, kLzw };

Kind kind_of(uint32_t compression) {
  if (compression == kCompressionPackBits) return Kind::kPackBits;
  if (compression == kCompressionLzw) return Kind::kLzw;
  return Kind::kNone;
}

// The bytes of one plane of one segment, handed out in pieces.
struct PlaneReader {
  Kind kind = Kind::kNone;
  uint64_t file_at = 0;  // next byte of the segment in the file
  uint64_t left = 0;     // bytes of the segment not yet read
  bool reverse = false;  // FillOrder 2
  // Input block (uncompressed and PackBits).
  uint8_t* in = nullptr;
  uint32_t in_cap = 0, in_len = 0, in_pos = 0;
  // Where the PackBits decoder is within a packet.
  PACKBITS_STATE packbits;
  // The decoded strip (LZW).
  uint8_t* strip = nullptr;
  uint64_t strip_pos = 0, strip_len = 0;
};

struct SampleJob {
  Reader* r;
  Kind kind;
  uint64_t row_bytes;  // of one plane's row in a segment
  uint64_t piece;      // bytes read per step: a row, or a YCbCr band
  uint32_t planes;
  PlaneReader plane[4];
  uint8_t* plane_row[4];
  uint8_t* chunky;  // a gathered row (planar pages)
  uint8_t* out;     // one image row, or a band of them
  RX_CODEC_DECODE_FN lzw;
  uint8_t* lzw_state;
  uint32_t segment;  // index, for reports
};

bool ycbcr(const Page& p) { return p.colour == Colour::kYCbCr; }

uint64_t pieces_of(const SampleJob& j, const Segment& s) {
  const Page& p = j.r->page;
  return ycbcr(p) ? (s.rows + p.subsampling_v - 1) / p.subsampling_v : s.rows;
}

// ---- Reading a plane's bytes ----------------------------------------------

bool input_fill(SampleJob& j, PlaneReader& pr) {
  // Bytes not yet used move to the front, and the block is topped up.
  const uint32_t keep = pr.in_len - pr.in_pos;
  if (keep > 0 && pr.in_pos > 0) std::memmove(pr.in, pr.in + pr.in_pos, keep);
  pr.in_len = keep;
  pr.in_pos = 0;
  const auto want = static_cast<uint32_t>(std::min<uint64_t>(pr.in_cap - keep, pr.left));
  if (want == 0) return false;
  if (!read_at(j.r->src, pr.file_at, pr.in + keep, want))
    return fail(j.r, RXE_CANT_READ_PIXEL_DATA, j.segment, static_cast<int64_t>(pr.file_at));
  if (pr.reverse) bits_reverse(pr.in + keep, want);
  pr.file_at += want;
  pr.left -= want;
  pr.in_len += want;
  return true;
}

bool plain_read(SampleJob& j, PlaneReader& pr, uint8_t* out, uint64_t n) {
  while (n > 0) {
    if (pr.in_pos == pr.in_len && !input_fill(j, pr))
      return j.r->failed ? false : fail(j.r, RXE_CANT_READ_PIXEL_DATA, j.segment, 0);
    const uint64_t take = std::min<uint64_t>(n, pr.in_len - pr.in_pos);
    std::memcpy(out, pr.in + pr.in_pos, take);
    pr.in_pos += static_cast<uint32_t>(take);
    out += take;
    n -= take;
  }
  return true;
}

// A packet may run on into the next row: the decoder keeps its place, and
// the rest of a repeat needs no more input.
bool packbits_read(SampleJob& j, PlaneReader& pr, uint8_t* out, uint64_t n) {
  while (n > 0) {
    const PackBitsStep step = packbits_decode(&pr.packbits, pr.in + pr.in_pos,
                                              pr.in_len - pr.in_pos, out, n);
    pr.in_pos += static_cast<uint32_t>(step.consumed);
    out += step.produced;
    n -= step.produced;
    if (step.consumed == 0 && step.produced == 0 && !input_fill(j, pr))
      return j.r->failed ? false : fail(j.r, RXE_CANT_READ_PIXEL_DATA, j.segment, 0);
  }
  return true;
}

bool lzw_read(SampleJob& j, PlaneReader& pr, uint8_t* out, uint64_t n) {
  if (pr.strip_len - pr.strip_pos < n) return fail(j.r, RXE_TIFF_LZW_ERROR, j.segment, 0);
  std::memcpy(out, pr.strip + pr.strip_pos, n);
  pr.strip_pos += n;
  return true;
}

bool plane_read(SampleJob& j, PlaneReader& pr, uint8_t* out, uint64_t n) {
  switch (pr.kind) {
    case Kind::kNone: return plain_read(j, pr, out, n);
    case Kind::kPackBits: return packbits_read(j, pr, out, n);
    case Kind::kLzw: return lzw_read(j, pr, out, n);
  }
  return false;
}

// The extension decodes the whole strip into a buffer of the page's rows
// per strip.
bool lzw_strip(SampleJob& j, PlaneReader& pr, const Segment& s) {
  Reader* r = j.r;
  const Page& p = r->page;
  const uint32_t rps = p.tiled ? p.tile_length : p.rows_per_strip;
  const uint64_t pieces = pieces_of(j, s);
  const uint64_t size = j.piece * (ycbcr(p) ? (rps + p.subsampling_v - 1) / p.subsampling_v : rps);
  std::memset(pr.strip, 0, size + kLzwSlackBytes);
  const int64_t at = r->src.origin + s.offset;
  if (RPb_IO_seek(r->io, static_cast<int32_t>(at), RX_SEEK_SET) != at)
    return fail(r, RXE_TIFF_SEEK_FAILURE, j.segment, s.offset);
  RX_CODEC_STRIP strip{};
  strip.strip_bytes = static_cast<int32_t>(std::min<uint64_t>(segment_available(*r, s), INT32_MAX));
  strip.rows = static_cast<int32_t>(s.rows);
  strip.row_bytes = static_cast<int32_t>(j.row_bytes);
  strip.predictor = static_cast<int32_t>(p.predictor);
  strip.fill_order = static_cast<int32_t>(p.fill_order);
  const int32_t result =
      j.lzw(r->io, pr.strip, static_cast<int32_t>(size + kLzwSlackBytes), r->tag, &r->dib,
            static_cast<int32_t>(rps), static_cast<int32_t>(p.bps),
            static_cast<int32_t>(p.samples_per_segment()), &strip, j.lzw_state);
  if (result != 0) return failed_after(r, RXE_TIFF_LZW_ERROR, result, j.segment);
  pr.strip_pos = 0;
  pr.strip_len = j.piece * pieces;
  return true;
}

bool plane_open(SampleJob& j, PlaneReader& pr, const Segment& s) {
  pr.kind = j.kind;
  pr.file_at = s.offset;
  pr.left = segment_available(*j.r, s);
  pr.reverse = j.r->page.fill_order == kFillLsbFirst;
  pr.in_len = pr.in_pos = 0;
  pr.packbits = PACKBITS_STATE{};
  if (pr.kind == Kind::kLzw) return lzw_strip(j, pr, s);
  return true;
}

// ---- Rows ---------------------------------------------------------------------

bool deliver(SampleJob& j, const uint8_t* row, uint32_t index) {
  Reader* r = j.r;
  if (io_callback_status(RPb_IO_raster_set(r->io, row, static_cast<int32_t>(index),
                                           static_cast<int32_t>(r->stride))) != 0) {
    r->failed = true;
    return false;
  }
  return true;
}

bool segment_rows(SampleJob& j, const Segment& s, const RowConverter& conv) {
  const Page& p = j.r->page;
  const bool predict = j.kind == Kind::kLzw && p.predictor == kPredictorHorizontal;
  for (uint32_t y = 0; y < s.rows; ++y) {
    for (uint32_t k = 0; k < j.planes; ++k) {
      if (!plane_read(j, j.plane[k], j.plane_row[k], j.row_bytes)) return false;
      if (predict)
        predictor_undo(j.plane_row[k], p.unit_width(), p.samples_per_segment(), p.bps,
                       j.r->src.motorola);
    }
    const uint8_t* chunky = j.plane_row[0];
    if (j.planes > 1) {
      planes_gather(j.plane_row, j.planes, p.unit_width(), p.bps, j.chunky);
      chunky = j.chunky;
    }
    conv.convert(chunky, j.out);
    if (!deliver(j, j.out, s.first_row + y)) return false;
  }
  return true;
}

bool segment_bands(SampleJob& j, const Segment& s, const YCbCrConverter& conv) {
  const Page& p = j.r->page;
  const uint32_t stride = j.r->stride;
  for (uint32_t y = 0; y < s.rows; y += p.subsampling_v) {
    if (!plane_read(j, j.plane[0], j.plane_row[0], j.piece)) return false;
    const uint32_t rows = std::min(p.subsampling_v, s.rows - y);
    std::memset(j.out, 0, uint64_t{stride} * p.subsampling_v);
    conv.convert(j.plane_row[0], rows, j.out, stride);
    for (uint32_t k = 0; k < rows; ++k)
      if (!deliver(j, j.out + uint64_t{k} * stride, s.first_row + y + k)) return false;
  }
  return true;
}

// ---- Set-up -------------------------------------------------------------------

bool buffers_make(SampleJob& j) {
  Reader* r = j.r;
  const Page& p = r->page;
  const uint32_t rps = p.tiled ? p.tile_length : p.rows_per_strip;
  for (uint32_t k = 0; k < j.planes; ++k) {
    PlaneReader& pr = j.plane[k];
    j.plane_row[k] = static_cast<uint8_t*>(scratch(r, j.piece + 8));
    if (j.plane_row[k] == nullptr) return false;
    if (j.kind == Kind::kLzw) {
      const uint64_t pieces = ycbcr(p) ? (rps + p.subsampling_v - 1) / p.subsampling_v : rps;
      pr.strip = static_cast<uint8_t*>(scratch(r, j.piece * pieces + kLzwSlackBytes));
      if (pr.strip == nullptr) return false;
      continue;
    }
    // Whole pieces of uncompressed data per read, when one fits.
    pr.in_cap = j.piece < kReadBlockBytes
                    ? static_cast<uint32_t>(kReadBlockBytes / j.piece * j.piece)
                    : kReadBlockBytes;
    pr.in = static_cast<uint8_t*>(scratch(r, pr.in_cap));
    if (pr.in == nullptr) return false;
  }
  const uint64_t out_rows = ycbcr(p) ? p.subsampling_v : 1;
  j.out = static_cast<uint8_t*>(scratch(r, uint64_t{r->stride} * out_rows + 8));
  if (j.out == nullptr) return false;
  if (j.planes > 1) {
    j.chunky = static_cast<uint8_t*>(scratch(r, uint64_t{p.unit_width()} * j.planes * 2 + 8));
    if (j.chunky == nullptr) return false;
  }
  if (j.kind == Kind::kLzw) {
    j.lzw_state = static_cast<uint8_t*>(scratch(r, kLzwStateBytes));
    if (j.lzw_state == nullptr) return false;
    std::memset(j.lzw_state, 0, kLzwStateBytes);
  }
  return true;
}

void job_init(Reader* r, SampleJob* j) {
  const Page& p = r->page;
  j->r = r;
  j->kind = kind_of(p.compression);
  j->planes = r->layout.planes;
  j->row_bytes = p.segment_row_bytes();
  j->piece = ycbcr(p) ? YCbCrConverter(p).band_bytes() : j->row_bytes;
  j->lzw = nullptr;
}

uint64_t expansion_of(Kind k) {
  switch (k) {
    case Kind::kNone: return 1;
    case Kind::kPackBits: return kPackBitsMaxExpansion;
    case Kind::kLzw: return kLzwMaxExpansion;
  }
  return 1;
}

// The file must hold the data of every row it claims: all of it when
// uncompressed, and enough to unpack into it otherwise. So a small file
// cannot make the engine build a large image.
bool data_check(SampleJob& j) {
  Reader* r = j.r;
  const Layout& l = r->layout;
  const uint64_t ratio = expansion_of(j.kind);
  for (uint32_t k = 0; k < j.planes; ++k) {
    for (uint32_t i = 0; i < l.segments; ++i) {
      j.segment = i;
      const Segment s = segment_at(r->page, l, i, k);
      const uint64_t needed = j.piece * pieces_of(j, s);
      const uint64_t available = segment_available(*r, s);
      const bool zero_count = s.bytes == 0 && l.counts != nullptr;
      if (zero_count && j.kind == Kind::kLzw)
        return fail(r, RXE_TIFF_STRIP_BYTE_COUNT_ZERO, i, k);
      if (available * ratio < needed)
        return fail(r, RXE_CANT_READ_PIXEL_DATA, static_cast<int64_t>(std::min<uint64_t>(available, INT32_MAX)),
                    static_cast<int64_t>(std::min<uint64_t>(needed, INT32_MAX)));
    }
  }
  return true;
}

bool planar_check(Reader* r) {
  const Page& p = r->page;
  if (p.planar == kPlanarChunky) return true;
  if (p.compression == kCompressionLzw && p.bps != 8)
    return fail(r, RXE_BIT_COUNT_UNSUPPORTED, p.bps, p.planar);
  // Planes of several samples are gathered byte-wise.
  if (r->layout.planes > 1 && p.bps != 8 && p.bps != 16)
    return fail(r, RXE_TIFF_PLANAR_CONFIG_ERROR, p.planar, p.bps);
  return true;
}

bool ycbcr_check(Reader* r) {
  const Page& p = r->page;
  if (!ycbcr(p)) return true;
  const auto ok = [](uint32_t f) { return f == 1 || f == 2 || f == 4; };
  if (!ok(p.subsampling_h) || !ok(p.subsampling_v))
    return fail(r, RXE_TIFF_DATA_UNEXPECTED, p.subsampling_h, p.subsampling_v);
  const uint64_t band = YCbCrConverter(p).band_bytes();
  if (band >= kMaxBandBytes) return fail(r, RXE_TIFF_RASTER_TOO_LONG, static_cast<int64_t>(band), 0);
  return true;
}

}  // namespace

bool samples_check(Reader* r) {
  const Page& p = r->page;
  if (p.compression == kCompressionLzw && extension_decoder_find(kLzwCodec) == nullptr)
    return fail(r, RXE_LZW_EXTENSION_MISSING, 90, kLzwCodec);
  if (!planar_check(r) || !ycbcr_check(r)) return false;
  SampleJob j{};
  job_init(r, &j);
  // An LZW strip is decoded whole into a buffer the extension's int32
  // sizes must describe.
  const uint32_t rps = p.tiled ? p.tile_length : p.rows_per_strip;
  if (j.kind == Kind::kLzw && j.piece * rps > static_cast<uint64_t>(INT32_MAX) - kLzwSlackBytes)
    return fail(r, RXE_TIFF_RASTER_TOO_LONG, static_cast<int64_t>(std::min<uint64_t>(j.piece, INT32_MAX)), rps);
  return data_check(j);
}

bool samples_decode(Reader* r) {
  SampleJob j{};
  job_init(r, &j);
  if (j.kind == Kind::kLzw) j.lzw = extension_decoder_find(kLzwCodec);
  if (!buffers_make(j)) return false;
  const Page& p = r->page;
  const uint32_t samples = j.planes > 1 ? j.planes : p.samples_per_segment();
  const RowConverter rows(p, samples, r->src.motorola);
  // Only a YCbCr page has had its subsampling checked; any other page may
  // carry a stray subsampling field of zeros.
  std::optional<YCbCrConverter> bands;
  if (ycbcr(p)) bands.emplace(p);
  for (uint32_t i = 0; i < r->layout.segments; ++i) {
    j.segment = i;
    Segment s;
    for (uint32_t k = 0; k < j.planes; ++k) {
      s = segment_at(p, r->layout, i, k);
      if (!plane_open(j, j.plane[k], s)) return false;
    }
    const bool ok = bands ? segment_bands(j, s, *bands) : segment_rows(j, s, rows);
    if (!ok) return false;
  }
  return true;
}

}  // namespace rx::tiff
