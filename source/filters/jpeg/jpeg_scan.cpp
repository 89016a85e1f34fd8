// The JPEG reader's scan: the SOS header and everything checked against
// it, the image creation, the MCU loop with its restart handling, and the
// delivery of each band's rows. Only one band of each component is held.
#include <algorithm>
#include <cstring>

#include "IO/io_callback_status.h"
#include "SUPPORT/dib_size.h"
#include "SUPPORT/error.h"
#include "SUPPORT/fixed_palettes.h"
#include "SUPPORT/kernels.h"
#include "SUPPORT/limits.h"
#include "filters/jpeg/jpeg_color.h"
#include "filters/jpeg/jpeg_idct.h"
#include "filters/jpeg/jpeg_read.h"
#include "filters/jpeg/jpeg_tables.h"

RX_SOURCE("source\\filters\\jpeg\\jpeg_scan.cpp");

namespace rx::jpeg {
namespace {

struct ScanComponent {
  int32_t frame_index;  // which frame component
  uint8_t tables;       // DC selector in the high nibble, AC in the low
  int32_t h, v;
  int32_t width;  // padded width: the band's stride
  int8_t* band;   // 8 v rows of `width` samples
  int16_t predictor;
  const HuffTable* dc;
  const HuffTable* ac;
  const int32_t* quant;
};

struct Scan {
  Decoder* d;
  int32_t count;
  ScanComponent comp[4];
  int32_t hmax, vmax;
  int32_t mcus_across, bands;
  int32_t width, height;
  uint32_t stride;  // bytes of one delivered row
  uint8_t* row;
  int32_t* coef;
  IdctFn idct;
  ColourFn colour;
  ChromaTerms terms;
  IO_BUFFER buf;
  BitReader reader;
  int32_t since_restart;
};

int32_t frame_component(const Frame& f, uint8_t id) {
  const int kept = std::min<int>(f.count, 4);
  for (int i = 0; i < kept; ++i)
    if (f.comp[i].id == id) return i;
  return -1;
}

void scan_report(Decoder* d, const Scan* s, uint8_t ss, uint8_t se, uint8_t a) {
  IO_REC* io = d->io;
  RPb_IO_tag_byte_set(io, tag::kScanCount, static_cast<uint8_t>(s->count));
  for (int i = 0; i < std::min(s->count, tag::kPerComponent); ++i) {
    RPb_IO_tag_byte_set(io, tag::kScanSelector + i, d->frame.comp[s->comp[i].frame_index].id);
    RPb_IO_tag_byte_set(io, tag::kScanTables + i, s->comp[i].tables);
  }
  RPb_IO_tag_byte_set(io, tag::kSpectralStart, ss);
  RPb_IO_tag_byte_set(io, tag::kSpectralEnd, se);
  RPb_IO_tag_byte_set(io, tag::kApprox, a);
}

// The rows follow the scan's component count and the depth follows the
// frame's, so the two must agree: a scan of one component of a colour
// frame, or of three of a gray one, would deliver rows of the wrong length.
bool scan_count_check(Decoder* d, int32_t count) {
  const int32_t frame_count = d->frame.count;
  const bool colour = (count == 3 || count == 4) && count == frame_count;
  const bool gray = count == 1 && frame_count == 1;
  if (!colour && !gray) return fail(d, RXE_JPEG_UNSUPPORTED, count, frame_count);
  return true;
}

bool header_read(Decoder* d, Scan* s) {
  int32_t left = 0;
  uint16_t length = 0;
  uint8_t count = 0;
  if (!read_u16(d, &length) || !read_u8(d, &count)) return false;
  left = int32_t{length} - 3;
  for (int i = 0; i < count; ++i) {
    uint8_t id = 0, tables = 0;
    if (!read_u8(d, &id) || !read_u8(d, &tables)) return false;
    left -= 2;
    const int32_t fi = frame_component(d->frame, id);
    if (fi < 0) return fail(d, RXE_INVALID_FILE_HEADER, 4, 4);
    if (i < 4) s->comp[i] = ScanComponent{fi, tables, 0, 0, 0, nullptr, 0, nullptr, nullptr, nullptr};
  }
  uint8_t ss = 0, se = 0, approx = 0;
  if (!read_u8(d, &ss) || !read_u8(d, &se) || !read_u8(d, &approx)) return false;
  left -= 3;
  if (left < 0) return fail(d, RXE_CANT_READ_HEADER, left, 0);
  s->count = count;
  if (count == 0 || count == 2 || count > 4) return fail(d, RXE_JPEG_UNSUPPORTED, count, 0);
  if (d->tags) scan_report(d, s, ss, se, approx);
  if (!skip_bytes(d, left)) return false;
  return scan_count_check(d, count);
}

// Everything a component's blocks will index: its factors, its tables.
bool component_check(Decoder* d, Scan* s, int i) {
  ScanComponent& c = s->comp[i];
  const FrameComponent& f = d->frame.comp[c.frame_index];
  c.h = f.sampling >> 4;
  c.v = f.sampling & 15;
  if (c.h < 1 || c.h > 4 || c.v < 1 || c.v > 4)
    return fail(d, RXE_INVALID_FILE_HEADER, c.frame_index, f.sampling);
  // A scan of one component is not interleaved: its MCU is one block
  // (T.81 A.2.2), whatever the factors say.
  if (s->count == 1) c.h = c.v = 1;
  if (f.quant > 3 || !d->quant_defined[f.quant])
    return fail(d, RXE_INVALID_FILE_HEADER, c.frame_index, f.quant);
  c.quant = d->quant[f.quant];
  const int dc = c.tables >> 4;
  const int ac = c.tables & 15;
  if (dc > 3 || ac > 3 || !d->dc[dc].defined || !d->ac[ac].defined)
    return fail(d, RXE_INVALID_FILE_HEADER, c.tables, i);
  // DC differences of more than 16 bits cannot occur in 8-bit data.
  if (d->dc[dc].max_symbol > 16) return fail(d, RXE_INVALID_FILE_HEADER, c.tables, i);
  c.dc = &d->dc[dc];
  c.ac = &d->ac[ac];
  return true;
}

// The image the frame describes, against the load limits, before anything
// is allocated for it.
bool frame_within_limits(Decoder* d) {
  const Frame& f = d->frame;
  DibGeometry g{};
  dib_geometry(f.samples, f.lines, frame_depth(f), RX_BI_RGB, &g);
  if (load_limits_allow(f.samples, f.lines, g)) return true;
  return fail(d, RXE_LOAD_LIMIT_EXCEEDED, f.samples, f.lines);
}

bool image_create(Decoder* d, Scan* s) {
  const Frame& f = d->frame;
  const int32_t depth = frame_depth(f);
  RX_BITMAPINFOHEADER header;
  RPb_DIB_init(&header, f.samples, f.lines, depth, RX_BI_RGB,
               jfif_pels_per_metre(d->jfif.units, d->jfif.x_density),
               jfif_pels_per_metre(d->jfif.units, d->jfif.y_density));
  if (io_callback_status(
          RPb_IO_DIB_create(d->io, &header, depth == 8 ? kGrayRamp256.data() : nullptr)) != 0) {
    d->failed = true;
    return false;
  }
  s->width = f.samples;
  s->height = f.lines;
  s->stride = static_cast<uint32_t>(dib_stride(static_cast<uint64_t>(depth), f.samples));
  return true;
}

void* alloc(Decoder* d, size_t size) {
  void* p = RPb_AF_mem_alloc(d->tag, size);
  if (p == nullptr) fail(d, RXE_GLOBAL_MEMORY_DEPLETED, static_cast<int32_t>(size), 0);
  else std::memset(p, 0, size);
  return p;
}

bool buffers_make(Decoder* d, Scan* s) {
  for (int i = 0; i < s->count; ++i) {
    s->hmax = std::max(s->hmax, s->comp[i].h);
    s->vmax = std::max(s->vmax, s->comp[i].v);
  }
  s->mcus_across = (s->width + 8 * s->hmax - 1) / (8 * s->hmax);
  s->bands = (s->height + 8 * s->vmax - 1) / (8 * s->vmax);
  for (int i = 0; i < s->count; ++i) {
    ScanComponent& c = s->comp[i];
    // ceil(h * width / hmax) rounded up to 8 h comes to this.
    c.width = s->mcus_across * 8 * c.h;
    c.band = static_cast<int8_t*>(alloc(d, static_cast<size_t>(c.width) * 8 * c.v));
    if (c.band == nullptr) return false;
  }
  s->row = static_cast<uint8_t*>(alloc(d, s->stride + 16));
  s->coef = static_cast<int32_t*>(alloc(d, 64 * sizeof(int32_t)));
  if (s->row == nullptr || s->coef == nullptr) return false;
  if (s->count == 1) return true;
  // One term per chroma column for each of blue, green and red.
  const size_t columns = static_cast<size_t>(s->comp[1].width) + 16;
  auto* terms = static_cast<int16_t*>(alloc(d, 3 * columns * sizeof(int16_t)));
  if (terms == nullptr) return false;
  s->terms = ChromaTerms{nullptr, nullptr, terms, terms + columns, terms + 2 * columns};
  return true;
}

// The decoder's kernels, at the engine's kernel level.
void paths_choose(Scan* s) {
  const bool fast = kernels_fast();
  s->idct = fast ? idct_fast : idct_reference;
  if (s->count == 1) return;
  const int32_t h[3] = {s->comp[0].h, s->comp[1].h, s->comp[2].h};
  s->colour = fast ? colour_row_choose(h, s->hmax) : colour_row_reference;
}

void predictors_reset(Scan* s) {
  for (int i = 0; i < s->count; ++i) s->comp[i].predictor = 0;
}

// Looks for RST0..RST7 in the next 50 bytes, the expected place first; on
// finding one, moves past it.
bool restart_search(IO_BUFFER* b) {
  const int64_t left = int64_t{b->end} - b->position;
  const auto n = static_cast<int32_t>(std::min<int64_t>(left, 50));
  const uint8_t* p = n >= 2 ? io_buffer_peek(b, n) : nullptr;
  if (p == nullptr) return false;
  for (int32_t i = 0; i + 1 < n; ++i) {
    if (p[i] == 0xFF && is_restart_marker(p[i + 1])) {
      io_buffer_get(b, i + 2);
      return true;
    }
  }
  return false;
}

// At the end of a restart interval the data should stand at an RST marker.
// When it does not, a marker a little further on is taken as the place to
// go on from; with none near, decoding goes on from where it stood, with
// the old predictors, as if the interval had not ended.
void restart(Scan* s) {
  IO_BUFFER* b = &s->buf;
  const BitReader held = s->reader;
  const int32_t resume = b->position + static_cast<int32_t>(held.next - (b->buffer + b->index));
  bits_release(&s->reader);
  int32_t skipped = 0;
  if (restart_search(b)) {
    bits_prime(&s->reader, b, &skipped);
    predictors_reset(s);
  } else if (io_buffer_seek(b, resume, 0) == 1) {
    s->reader = held;
    s->reader.next = b->buffer + b->index;
    s->reader.limit = s->reader.next + b->available;
  } else {
    bits_prime(&s->reader, b, &skipped);
  }
}

void mcu_decode(Scan* s, int32_t m) {
  for (int i = 0; i < s->count; ++i) {
    ScanComponent& c = s->comp[i];
    for (int32_t v = 0; v < c.v; ++v) {
      for (int32_t h = 0; h < c.h; ++h) {
        uint32_t magnitude = 0;
        const int32_t last =
            decode_block(&s->reader, c.dc, c.ac, c.quant, &c.predictor, s->coef, &magnitude);
        int8_t* out = c.band + static_cast<ptrdiff_t>(8 * v) * c.width + (m * c.h + h) * 8;
        s->idct(s->coef, last, magnitude, out, c.width);
        // Back to zeros for the next block: only positions up to `last` were set.
        for (int32_t k = 0; k <= last; ++k) s->coef[kZigzag[k]] = 0;
      }
    }
  }
}

bool row_deliver(Scan* s, int32_t y_in_band, int32_t y) {
  if (s->count == 1) {
    const ScanComponent& c = s->comp[0];
    gray_row(c.band + static_cast<ptrdiff_t>(y_in_band) * c.width, s->row, s->width);
  } else {
    ColourRow in{};
    for (int i = 0; i < 3; ++i) {
      const ScanComponent& c = s->comp[i];
      in.plane[i] = c.band + static_cast<ptrdiff_t>(y_in_band * c.v / s->vmax) * c.width;
      in.h[i] = c.h;
    }
    in.hmax = s->hmax;
    in.terms = &s->terms;
    s->colour(in, s->row, s->width);
  }
  if (io_callback_status(
          RPb_IO_raster_set(s->d->io, s->row, y, static_cast<int32_t>(s->stride))) != 0) {
    s->d->failed = true;
    return false;
  }
  return true;
}

bool band_decode(Scan* s, int32_t band) {
  const uint16_t interval = s->d->restart_interval;
  for (int32_t m = 0; m < s->mcus_across; ++m) {
    if (interval != 0 && ++s->since_restart > interval) {
      restart(s);
      s->since_restart = 1;
    }
    mcu_decode(s, m);
  }
  const int32_t y0 = band * 8 * s->vmax;
  const int32_t rows = std::min(8 * s->vmax, s->height - y0);
  s->terms.cb = s->terms.cr = nullptr;  // the band's samples are new
  for (int32_t y = 0; y < rows; ++y)
    if (!row_deliver(s, y, y0 + y)) return false;
  return true;
}

bool scan_decode(Decoder* d, Scan* s) {
  if (io_buffer_open(d->io, d->tag, &s->buf, kEntropyBufferBytes, kIoBufferRead) != 0)
    return false;  // the buffer pushed its own entry
  int32_t skipped = 0;
  bits_prime(&s->reader, &s->buf, &skipped);
  for (int32_t band = 0; band < s->bands; ++band)
    if (!band_decode(s, band)) return false;
  bits_release(&s->reader);
  io_buffer_close(&s->buf);
  uint16_t eoi = 0;
  RPb_IO_word_read(d->io, &eoi);  // the end marker is not checked
  return true;
}

}  // namespace

bool scan_read(Decoder* d) {
  auto* s = static_cast<Scan*>(alloc(d, sizeof(Scan)));
  if (s == nullptr) return false;
  s->d = d;
  if (!header_read(d, s)) return false;
  for (int i = 0; i < s->count; ++i)
    if (!component_check(d, s, i)) return false;
  if (!frame_check(d) || !frame_within_limits(d)) return false;
  if (!image_create(d, s) || !buffers_make(d, s)) return false;
  paths_choose(s);
  return scan_decode(d, s);
}

}  // namespace rx::jpeg
