// The JPEG reader's scan: the SOS header and everything checked against
// it, the image creation, the MCU loop with its restart handling, and the
// delivery of each band's rows. Only one band of each component is held,
// or on the helper's path one slot of a few bands.
//
// With a helper thread, bands are decoded in slots of a few, in two
// stages: the caller's thread reads a slot's entropy-coded data into
// dequantised coefficients while the helper runs the inverse DCT of the
// slot before into that slot's own component samples; then the caller's
// thread converts those samples to rows and delivers them. Rows are
// delivered on the caller's thread, in order, and are the same bytes
// either way. When the load lets rows be written in place, they are made
// straight into the image and not handed over.
#include <algorithm>
#include <cstring>
#include <utility>

#include "IO/io_callback_status.h"
#include "IO/io_direct_rows.h"
#include "SUPPORT/dib_size.h"
#include "SUPPORT/error.h"
#include "SUPPORT/fixed_palettes.h"
#include "SUPPORT/helper_thread.h"
#include "SUPPORT/kernels.h"
#include "SUPPORT/limits.h"
#include "SUPPORT/mem_tag.h"
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

// A few bands between the two stages, so that the threads meet once per
// slot: their coefficients (zero again once transformed), per block the
// highest zig-zag index set and a bound on the values, and each
// component's samples, band after band.
struct BandSlot {
  int32_t* coef;
  int32_t* last;
  uint32_t* magnitude;
  int8_t* samples[4];  // per component, `band_samples` bytes per band
  int32_t band;        // its first band
  int32_t count;       // its bands
};

// Below this many pixels a helper thread costs more than it saves. A slot
// takes up to kSlotBands bands within kSlotBudget bytes; a picture whose
// one band needs more goes without the helper.
int64_t g_helper_min_pixels = int64_t{1} << 18;
constexpr int32_t kSlotBands = 4;
constexpr int64_t kSlotBudget = int64_t{2} << 20;

struct Scan {
  Decoder* d;
  int32_t count;
  ScanComponent comp[4];
  int32_t hmax, vmax;
  int32_t mcus_across, bands;
  int32_t width, height;
  uint32_t stride;  // bytes of one delivered row
  uint8_t* row;
  bool in_place;  // rows are made in the image's own rows
  DirectRows image_rows;
  int32_t* coef;
  IdctFn idct;
  ColourFn colour;
  ChromaTerms terms;
  IO_BUFFER buf;
  BitReader reader;
  int32_t since_restart;
  // The two-stage path.
  BandSlot slot[2];
  int32_t band_blocks;
  int32_t slot_bands;
  // The blocks of an MCU in decoding order: each one's component and its
  // place in the first MCU of the component's band (four components of at
  // most 4 x 4 blocks).
  int32_t mcu_blocks;
  int8_t block_component[64];
  ptrdiff_t block_offset[64];
};

// Bytes of one band of a component's samples.
int64_t band_samples(const ScanComponent& c) { return int64_t{c.width} * 8 * c.v; }

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
  void* p = mem_alloc_zeroed(d->tag, size);
  if (p == nullptr) fail(d, RXE_GLOBAL_MEMORY_DEPLETED, static_cast<int32_t>(size), 0);
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
  const KernelLevel level = kernel_level();
  const bool fast = level != KernelLevel::kReference;
  s->idct = level == KernelLevel::kAvx2 ? idct_avx2 : (fast ? idct_fast : idct_reference);
  if (s->count == 1) return;
  const int32_t h[3] = {s->comp[0].h, s->comp[1].h, s->comp[2].h};
  s->colour = colour_row_choose(h, s->hmax, level);
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

// Back to zeros for the next block. A block with only its DC value set
// clears that; any other is cleared whole, in a few wide stores that cost
// less than visiting the positions set.
void coefficients_clear(int32_t* coef, int32_t last) {
  if (last == 0) {
    coef[0] = 0;
    return;
  }
  std::memset(coef, 0, 64 * sizeof(int32_t));
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
        coefficients_clear(s->coef, last);
      }
    }
  }
}

// One output row from a band's component samples.
void row_convert(Scan* s, int8_t* const band[4], int32_t y_in_band, uint8_t* out) {
  if (s->count == 1) {
    const ScanComponent& c = s->comp[0];
    gray_row(band[0] + static_cast<ptrdiff_t>(y_in_band) * c.width, out, s->width);
    return;
  }
  ColourRow in{};
  for (int i = 0; i < 3; ++i) {
    const ScanComponent& c = s->comp[i];
    in.plane[i] = band[i] + static_cast<ptrdiff_t>(y_in_band * c.v / s->vmax) * c.width;
    in.h[i] = c.h;
  }
  in.hmax = s->hmax;
  in.terms = &s->terms;
  s->colour(in, out, s->width);
}

bool row_set(Scan* s, const uint8_t* row, int32_t y) {
  if (io_callback_status(RPb_IO_raster_set(s->d->io, const_cast<uint8_t*>(row), y,
                                           static_cast<int32_t>(s->stride))) != 0) {
    s->d->failed = true;
    return false;
  }
  return true;
}

// Row y of the picture, the band's row y_in_band: made in place, or made
// in the scan's row and handed over.
bool row_deliver(Scan* s, int8_t* const band[4], int32_t y_in_band, int32_t y) {
  if (s->in_place) {
    row_convert(s, band, y_in_band, s->image_rows.row(y));
    return true;
  }
  row_convert(s, band, y_in_band, s->row);
  return row_set(s, s->row, y);
}

// The rows of a band whose component samples are ready.
bool band_deliver(Scan* s, int8_t* const band[4], int32_t index) {
  const int32_t y0 = index * 8 * s->vmax;
  const int32_t rows = std::min(8 * s->vmax, s->height - y0);
  s->terms.cb = s->terms.cr = nullptr;  // the band's samples are new
  for (int32_t y = 0; y < rows; ++y)
    if (!row_deliver(s, band, y, y0 + y)) return false;
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
  int8_t* const bands[4] = {s->comp[0].band, s->comp[1].band, s->comp[2].band, s->comp[3].band};
  return band_deliver(s, bands, band);
}

// ---- The two-stage path ----------------------------------------------------

// Stage one: the blocks of the slot's bands, in decoding order, to
// coefficients.
void slot_read(Scan* s, BandSlot& slot) {
  const uint16_t interval = s->d->restart_interval;
  int32_t block = 0;
  for (int32_t n = 0; n < slot.count; ++n) {
    for (int32_t m = 0; m < s->mcus_across; ++m) {
      if (interval != 0 && ++s->since_restart > interval) {
        restart(s);
        s->since_restart = 1;
      }
      for (int i = 0; i < s->count; ++i) {
        ScanComponent& c = s->comp[i];
        for (int32_t k = 0; k < c.h * c.v; ++k, ++block) {
          slot.last[block] = decode_block(&s->reader, c.dc, c.ac, c.quant, &c.predictor,
                                          slot.coef + int64_t{block} * 64, &slot.magnitude[block]);
        }
      }
    }
  }
}

// The component samples of band n of a slot.
void slot_band(const Scan* s, const BandSlot& slot, int32_t n, int8_t* band[4]) {
  for (int i = 0; i < 4; ++i)
    band[i] = i < s->count ? slot.samples[i] + n * band_samples(s->comp[i]) : nullptr;
}

// Stage two, on the helper thread: the inverse DCT of the slot's blocks
// into its samples, and the coefficients back to zero. Image rows about
// to be written in place are readied meanwhile.
void slot_finish(void* arg) {
  auto* job = static_cast<std::pair<Scan*, BandSlot*>*>(arg);
  Scan* s = job->first;
  BandSlot& slot = *job->second;
  int32_t block = 0;
  const IdctFn idct = s->idct;
  int32_t width[4], step[4];
  for (int i = 0; i < s->count; ++i) {
    width[i] = s->comp[i].width;
    step[i] = 8 * s->comp[i].h;
  }
  for (int32_t n = 0; n < slot.count; ++n) {
    int8_t* band[4];
    slot_band(s, slot, n, band);
    for (int32_t m = 0; m < s->mcus_across; ++m) {
      for (int32_t b = 0; b < s->mcu_blocks; ++b, ++block) {
        const int i = s->block_component[b];
        int32_t* coef = slot.coef + int64_t{block} * 64;
        const int32_t last = slot.last[block];
        int8_t* out = band[i] + s->block_offset[b] + ptrdiff_t{m} * step[i];
        idct(coef, last, slot.magnitude[block], out, width[i]);
        coefficients_clear(coef, last);
      }
    }
    if (s->in_place)
      io_direct_rows_prepare(s->image_rows, (slot.band + n) * 8 * s->vmax, 8 * s->vmax);
  }
}

// The last stage, on the caller's thread: the slot's rows.
bool slot_deliver(Scan* s, const BandSlot& slot) {
  for (int32_t n = 0; n < slot.count; ++n) {
    int8_t* band[4];
    slot_band(s, slot, n, band);
    if (!band_deliver(s, band, slot.band + n)) return false;
  }
  return true;
}

// Memory for the helper's path, which may be refused quietly: the scan
// then runs on the caller's thread alone.
void* optional_alloc(Decoder* d, size_t size) { return mem_alloc_zeroed(d->tag, size); }

// The second stage's buffers; false when the memory is not to be had.
bool slots_make(Decoder* d, Scan* s) {
  s->band_blocks = 0;
  s->mcu_blocks = 0;
  for (int i = 0; i < s->count; ++i) {
    const ScanComponent& c = s->comp[i];
    for (int32_t v = 0; v < c.v; ++v) {
      for (int32_t h = 0; h < c.h; ++h, ++s->mcu_blocks) {
        s->block_component[s->mcu_blocks] = static_cast<int8_t>(i);
        s->block_offset[s->mcu_blocks] = ptrdiff_t{8} * v * c.width + 8 * h;
      }
    }
  }
  int64_t samples = 0;
  for (int i = 0; i < s->count; ++i) {
    s->band_blocks += s->mcus_across * s->comp[i].h * s->comp[i].v;
    samples += band_samples(s->comp[i]);
  }
  const int64_t per_band = int64_t{s->band_blocks} * (64 * 4 + 8) + samples;
  if (per_band > kSlotBudget) return false;
  s->slot_bands = static_cast<int32_t>(std::clamp<int64_t>(kSlotBudget / per_band, 1, kSlotBands));
  const auto blocks = static_cast<size_t>(s->band_blocks) * static_cast<size_t>(s->slot_bands);
  for (BandSlot& slot : s->slot) {
    slot.coef = static_cast<int32_t*>(optional_alloc(d, blocks * 64 * 4));
    slot.last = static_cast<int32_t*>(optional_alloc(d, blocks * 4));
    slot.magnitude = static_cast<uint32_t*>(optional_alloc(d, blocks * 4));
    if (slot.coef == nullptr || slot.last == nullptr || slot.magnitude == nullptr) return false;
    for (int i = 0; i < s->count; ++i) {
      const auto bytes = static_cast<size_t>(band_samples(s->comp[i]) * s->slot_bands);
      slot.samples[i] = static_cast<int8_t*>(optional_alloc(d, bytes));
      if (slot.samples[i] == nullptr) return false;
    }
  }
  return true;
}

// Slot n is read while the helper finishes slot n - 1; its rows are
// delivered once that is done, while the helper finishes slot n.
bool bands_two_stage(Scan* s, HelperThread& helper) {
  std::pair<Scan*, BandSlot*> jobs[2] = {{s, &s->slot[0]}, {s, &s->slot[1]}};
  int32_t n = 0;
  for (int32_t band = 0; band < s->bands; band += s->slot_bands, ++n) {
    BandSlot& slot = s->slot[n % 2];
    slot.band = band;
    slot.count = std::min(s->slot_bands, s->bands - band);
    slot_read(s, slot);
    helper.wait();
    helper.post(slot_finish, &jobs[n % 2]);
    if (n > 0 && !slot_deliver(s, s->slot[(n - 1) % 2])) {
      helper.wait();
      return false;
    }
  }
  helper.wait();
  return slot_deliver(s, s->slot[(n - 1) % 2]);
}

bool scan_decode(Decoder* d, Scan* s) {
  if (io_buffer_open(d->io, d->tag, &s->buf, kEntropyBufferBytes, kIoBufferRead) != 0)
    return false;  // the buffer pushed its own entry
  int32_t skipped = 0;
  bits_prime(&s->reader, &s->buf, &skipped);
  HelperThread helper;
  if (kernel_level() != KernelLevel::kReference && s->bands > 1 &&
      int64_t{s->width} * s->height >= g_helper_min_pixels && slots_make(d, s))
    helper.start();
  if (d->failed) return false;
  if (helper.running()) {
    if (!bands_two_stage(s, helper)) return false;
  } else {
    for (int32_t band = 0; band < s->bands; ++band)
      if (!band_decode(s, band)) return false;
  }
  bits_release(&s->reader);
  io_buffer_close(&s->buf);
  uint16_t eoi = 0;
  RPb_IO_word_read(d->io, &eoi);  // the end marker is not checked
  return true;
}

}  // namespace

void scan_read_helper_threshold_set(int64_t pixels) { g_helper_min_pixels = pixels; }

bool scan_read(Decoder* d) {
  auto* s = static_cast<Scan*>(alloc(d, sizeof(Scan)));
  if (s == nullptr) return false;
  s->d = d;
  if (!header_read(d, s)) return false;
  for (int i = 0; i < s->count; ++i)
    if (!component_check(d, s, i)) return false;
  if (!frame_check(d) || !frame_within_limits(d)) return false;
  if (!image_create(d, s) || !buffers_make(d, s)) return false;
  s->in_place = io_direct_rows(d->io, s->height, s->stride, &s->image_rows);
  paths_choose(s);
  return scan_decode(d, s);
}

}  // namespace rx::jpeg
