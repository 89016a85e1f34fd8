// The scan: bands of 8 Vmax rows are fetched and sampled, then coded MCU
// by MCU, left to right. Only one band per component is held at a time, so
// memory stays a few rows deep whatever the image height.
//
// A band goes through two stages: the transform (sampling, DCT,
// quantisation: pure computation on buffers the scan owns) and the coding
// (the bit stream and its writes). With a helper thread the transform of
// one band runs while the caller's thread codes the band before it; rows
// are still fetched on the caller's thread, one after the other in order,
// and the bytes are the same either way, since every band is coded in turn
// from values that do not depend on the order of work. When the save lets
// the image's rows be read where they are, they are sampled from there
// instead of being fetched.
#include "filters/jpeg/jpeg_bands.h"

#include <algorithm>
#include <cstring>

#include "IO/io_direct_rows.h"
#include "IO/iobuffer.h"
#include "SUPPORT/dib_size.h"
#include "SUPPORT/error.h"
#include "SUPPORT/helper_thread.h"
#include "SUPPORT/kernels.h"
#include "SUPPORT/mem_tag.h"
#include "filters/jpeg/jpeg_enc_kernels.h"
#include "filters/jpeg/jpeg_encode.h"
#include "rastrix/rpb.h"

RX_SOURCE("source\\filters\\jpeg\\jpeg_bands.cpp");

namespace rx::jpeg::enc {
namespace {

constexpr int32_t kOutputBuffer = 10000;
// Bytes kept free behind each stored row (the vector kernels read whole
// vectors).
constexpr int32_t kRowSlack = 64;
// Below this many pixels a helper thread costs more than it saves.
int64_t g_helper_min_pixels = int64_t{1} << 18;

// Hands out zeroed blocks of the pool and gives every one back at the end.
class Blocks {
 public:
  explicit Blocks(uint32_t tag) : tag_(tag) {}
  ~Blocks() {
    for (int i = 0; i < count_; ++i) RPb_AF_mem_free(tag_, block_[i]);
  }
  Blocks(const Blocks&) = delete;
  Blocks& operator=(const Blocks&) = delete;

  // A block of `elements` zeroed values; null after a failure, of which
  // only the first is reported.
  template <typename T>
  T* get(int64_t elements) {
    const int64_t bytes = elements * static_cast<int64_t>(sizeof(T));
    void* p = nullptr;
    if (count_ < kMaxBlocks && bytes > 0 && bytes <= int64_t{kMaxDibBytes})
      p = mem_alloc_zeroed(tag_, static_cast<size_t>(bytes));
    if (p == nullptr) {
      if (quiet_) {
        missing_ = true;
        return nullptr;
      }
      if (!failed_)
        jpeg_write_fail(RXE_GLOBAL_MEMORY_DEPLETED,
                        static_cast<int32_t>(std::min<int64_t>(bytes, INT32_MAX)), 0);
      failed_ = true;
      return nullptr;
    }
    block_[count_++] = p;
    return static_cast<T*>(p);
  }
  bool failed() const { return failed_; }

  // Memory that may be refused without a failure: the helper thread's.
  // missing() tells whether any was refused.
  void quiet(bool on) { quiet_ = on; }
  bool missing() const { return missing_; }

 private:
  static constexpr int kMaxBlocks = 40;
  uint32_t tag_;
  int count_ = 0;
  bool failed_ = false;
  bool quiet_ = false;
  bool missing_ = false;
  void* block_[kMaxBlocks] = {};
};

// Bands travel in chunks of up to kChunkBands, so that the two threads
// meet once per chunk rather than once per band; the memory of a chunk
// stays within kChunkBudget.
constexpr int32_t kChunkBands = 4;
constexpr int64_t kChunkBudget = int64_t{2} << 20;
constexpr int32_t kMaxBandRows = 32;  // 8 Vmax

// A chunk in flight: its fetched rows, the sampler that turns them into
// component bands, and its quantised blocks in coding order (one band's
// blocks after the other's). Two of them work side by side when a helper
// thread is there.
struct Band {
  uint8_t* rows;   // count x band_rows fetched rows, `pitch` bytes apart
  const uint8_t* line[kChunkBands * kMaxBandRows];  // the row each band row is sampled from
  RowSampler* sampler;
  int16_t* blocks;  // count x blocks_per_mcu x mcus blocks of 64 values
  int32_t first;    // its first band
  int32_t count;    // its bands
};

struct Scan {
  const ScanPlan* plan;
  EncodeKernels k;
  RowSampler sampler[2];
  int32_t stride;         // bytes of one fetched row
  int32_t pitch;          // bytes between stored rows
  int32_t band_rows;      // 8 Vmax
  int32_t mcus;           // MCUs per band
  int32_t blocks_per_mcu;
  int32_t chunk;          // bands per chunk
  int32_t first_block[3];  // per scan component: its first block in an MCU
  int8_t block_component[10];  // per block of an MCU: its scan component
  uint8_t* last_row;      // the last row fetched, for rows past the image
  bool in_place;          // rows are read from the image itself
  DirectRows source;
  Band band[2];
  QuantTable quant[3];    // per frame component
  const HuffCodeTable* dc[3];
  const HuffCodeTable* ac[3];
  int32_t predictor[3];
  BitWriter bw;
  // The helper thread codes every second chunk apart, into `raw`.
  BitWriter raw;
  uint8_t* raw_bytes;
  int64_t* raw_ends;  // the raw bit position after each block of the chunk
  int32_t raw_predictor[3];
};

const HuffCodeTable* dc_codes(int32_t table) {
  return table == 0 ? &kDcLuminanceCodes : &kDcChrominanceCodes;
}
const HuffCodeTable* ac_codes(int32_t table) {
  return table == 0 ? &kAcLuminanceCodes : &kAcChrominanceCodes;
}

void band_geometry(SampleBand& b, int32_t h, int32_t v, const RowSampler& rs) {
  b.h = h;
  b.v = v;
  b.sx = rs.hmax / h;
  b.sy = rs.vmax / v;
  b.width = rs.padded_width / b.sx;
  b.rows = 8 * v;
  const auto box = static_cast<uint32_t>(b.sx * b.sy);
  b.reciprocal = ((1u << 16) + box - 1) / box;
}

bool sampler_prepare(const ScanPlan& p, RowSampler& rs, Blocks& blocks) {
  rs = RowSampler{};
  rs.components = p.components;
  rs.bits = p.bits;
  rs.palette = p.palette;
  rs.hmax = *std::max_element(p.h, p.h + p.components);
  rs.vmax = *std::max_element(p.v, p.v + p.components);
  const int32_t mcu_width = 8 * rs.hmax;
  rs.padded_width = (p.frame_width + mcu_width - 1) / mcu_width * mcu_width;
  rs.last_x = std::min(p.frame_width, p.image_width) - 1;
  for (int c = 0; c < p.components; ++c) {
    SampleBand& b = rs.comp[c];
    band_geometry(b, p.h[c], p.v[c], rs);
    b.band = blocks.get<int8_t>(int64_t{b.width} * b.rows);
    b.acc = blocks.get<uint16_t>(b.width);
    rs.plane[c] = blocks.get<uint8_t>(int64_t{rs.padded_width} + kRowSlack);
  }
  if (p.bits == 8) sampler_palette_prepare(&rs);
  return !blocks.failed();
}

void mcu_layout(Scan& s) {
  const ScanPlan& p = *s.plan;
  int32_t n = 0;
  for (int i = 0; i < p.scan_components; ++i) {
    const SampleBand& c = s.sampler[0].comp[p.scan_frame[i]];
    s.first_block[i] = n;
    for (int32_t b = 0; b < c.h * c.v; ++b) s.block_component[n++] = static_cast<int8_t>(i);
  }
  s.blocks_per_mcu = n;
}

void chunk_buffers(Scan& s, Blocks& blocks, int n) {
  const int64_t band_blocks = int64_t{s.blocks_per_mcu} * s.mcus;
  if (!s.in_place) s.band[n].rows = blocks.get<uint8_t>(int64_t{s.pitch} * s.band_rows * s.chunk);
  s.band[n].blocks = blocks.get<int16_t>(band_blocks * 64 * s.chunk);
  s.band[n].sampler = &s.sampler[n];
}

// The helper thread's buffers: a second sampler, two chunks of several
// bands, the raw bits of one. False when the memory is not to be had;
// nothing is reported then, and the scan goes without the helper.
bool parallel_prepare(Scan& s, Blocks& blocks) {
  const int64_t band_blocks = int64_t{s.blocks_per_mcu} * s.mcus;
  const int64_t band_bytes =
      int64_t{s.pitch} * s.band_rows + band_blocks * (64 * 2 + BitWriter::kRawBlockBytes + 8);
  s.chunk = static_cast<int32_t>(std::clamp<int64_t>(kChunkBudget / band_bytes, 1, kChunkBands));
  blocks.quiet(true);
  sampler_prepare(*s.plan, s.sampler[1], blocks);
  for (int n = 0; n < 2; ++n) chunk_buffers(s, blocks, n);
  s.raw_bytes = blocks.get<uint8_t>(band_blocks * s.chunk * BitWriter::kRawBlockBytes +
                                    BitWriter::kRawSlack);
  s.raw_ends = blocks.get<int64_t>(band_blocks * s.chunk);
  blocks.quiet(false);
  return !blocks.missing();
}

// Sizes every buffer from the frame geometry and takes them from the pool:
// one band's worth, or two chunks' when the helper thread works beside the
// caller's (if their memory is to be had; *parallel says).
bool scan_prepare(Scan& s, Blocks& blocks, bool* parallel) {
  const ScanPlan& p = *s.plan;
  if (!sampler_prepare(p, s.sampler[0], blocks)) return false;
  const RowSampler& rs = s.sampler[0];
  s.band_rows = 8 * rs.vmax;
  s.mcus = rs.padded_width / (8 * rs.hmax);
  for (int c = 0; c < p.components; ++c) quant_table_make(p.quant[c], &s.quant[c]);
  mcu_layout(s);
  s.stride = static_cast<int32_t>(dib_stride(static_cast<uint64_t>(p.bits),
                                             static_cast<uint64_t>(p.image_width)));
  s.pitch = s.stride + kRowSlack;
  s.last_row = blocks.get<uint8_t>(s.pitch);
  if (*parallel) *parallel = parallel_prepare(s, blocks);
  if (!*parallel) {
    s.chunk = 1;
    chunk_buffers(s, blocks, 0);
  }
  for (int i = 0; i < p.scan_components; ++i) {
    s.dc[i] = dc_codes(p.dc_table[i]);
    s.ac[i] = ac_codes(p.ac_table[i]);
    s.predictor[i] = 0;
  }
  return !blocks.failed();
}

bool row_fetch(IO_REC* io, const Scan& s, uint8_t* row, int32_t r) {
  const int32_t before = RPb_AF_error_check();
  if (RPb_IO_raster_get(io, row, r, s.stride) == 0) return true;
  // A fetch that fails without saying why must still fail the save.
  if (RPb_AF_error_check() > before) return false;
  return jpeg_write_fail(RXE_CANT_READ_PIXEL_DATA, r, 0);
}

// Fetches the rows of band n as band i of chunk b. Rows past the image's
// last one repeat it.
bool band_fetch(IO_REC* io, Scan& s, Band& b, int32_t i, int32_t n) {
  const ScanPlan& p = *s.plan;
  const int32_t available = std::min(p.frame_height, p.image_height);
  for (int32_t j = 0; j < s.band_rows; ++j) {
    const int32_t r = n * s.band_rows + j;
    const int32_t at = i * s.band_rows + j;
    if (s.in_place) {
      b.line[at] = s.source.row(std::min(r, available - 1));
      continue;
    }
    if (r >= available) {
      b.line[at] = s.last_row;
      continue;
    }
    uint8_t* row = b.rows + int64_t{at} * s.pitch;
    if (!row_fetch(io, s, row, r)) return false;
    b.line[at] = row;
    if (r == available - 1) std::memcpy(s.last_row, row, static_cast<size_t>(s.stride));
  }
  return true;
}

// Sampling, transform and quantisation of a chunk's bands: pure
// computation on the chunk's own buffers.
void band_transform(Scan& s, Band& band) {
  const ScanPlan& p = *s.plan;
  RowSampler& rs = *band.sampler;
  const int64_t band_values = int64_t{s.blocks_per_mcu} * s.mcus * 64;
  for (int32_t n = 0; n < band.count; ++n) {
    sampler_band_restart(&rs);
    for (int32_t i = 0; i < s.band_rows; ++i) s.k.sample(&rs, band.line[n * s.band_rows + i]);
    int16_t* blocks = band.blocks + n * band_values;
    for (int i = 0; i < p.scan_components; ++i) {
      const int f = p.scan_frame[i];
      const SampleBand& c = rs.comp[f];
      for (int32_t v = 0; v < c.v; ++v) {
        const BlockSink sink{blocks + int64_t{s.first_block[i] + v * c.h} * 64, c.h,
                             s.blocks_per_mcu * 64};
        s.k.blocks(c.band + int64_t{8 * v} * c.width, c.width, c.width / 8, s.quant[f], sink);
      }
    }
  }
}

// Codes band i of a chunk; `ends`, for a raw writer, receives the bit
// position after each block.
void band_code(Scan& s, BitWriter& bw, const Band& b, int32_t i, int32_t* predictor,
               int64_t* ends = nullptr) {
  const int64_t first = int64_t{i} * s.blocks_per_mcu * s.mcus;
  const BandBlocks band{b.blocks + first * 64, s.mcus, s.blocks_per_mcu, s.block_component,
                        s.dc, s.ac, ends == nullptr ? nullptr : ends + first};
  s.k.band(bw, band, predictor);
}

// The DC predictors after a chunk: the DC values of each component's last
// block, which are known before the chunk is coded.
void predictors_after(const Scan& s, const Band& b, int32_t* predictor) {
  const int16_t* last_mcu = b.blocks + (int64_t{s.mcus} * b.count - 1) * s.blocks_per_mcu * 64;
  for (int n = 0; n < s.blocks_per_mcu; ++n) predictor[s.block_component[n]] = last_mcu[64 * n];
}

// Checked after every band, so that a failed write names the band the
// serial path names.
bool coded(const Scan& s, int32_t band) {
  if (!s.bw.failed) return true;
  return jpeg_write_fail(RXE_CANT_WRITE_PIXEL_DATA, band * s.band_rows, 0);
}

// Codes a chunk into the stream, band by band.
bool chunk_code(Scan& s, const Band& b) {
  for (int32_t i = 0; i < b.count; ++i) {
    band_code(s, s.bw, b, i, s.predictor);
    if (!coded(s, b.first + i)) return false;
  }
  return true;
}

// One band after the other on the caller's thread.
bool bands_write_serial(IO_REC* io, Scan& s, int32_t bands) {
  Band& b = s.band[0];
  b.count = 1;
  for (int32_t n = 0; n < bands; ++n) {
    b.first = n;
    if (!band_fetch(io, s, b, 0, n)) return false;
    band_transform(s, b);
    if (!chunk_code(s, b)) return false;
  }
  return true;
}

// The helper's two jobs on the second chunk of a pair.
void second_transform(void* arg) {
  Scan& s = *static_cast<Scan*>(arg);
  band_transform(s, s.band[1]);
}
void second_code(void* arg) {
  Scan& s = *static_cast<Scan*>(arg);
  s.raw.raw_start(s.raw_bytes);
  for (int32_t i = 0; i < s.band[1].count; ++i)
    band_code(s, s.raw, s.band[1], i, s.raw_predictor, s.raw_ends);
  s.raw.raw_finish();
}

// Splices the helper's chunk in block by block, so that the stream sees
// the same hand-overs as when the blocks are coded in place.
bool second_splice(Scan& s) {
  const int32_t per_band = s.blocks_per_mcu * s.mcus;
  int64_t from = 0;
  for (int32_t i = 0; i < s.band[1].count; ++i) {
    from = s.bw.splice_blocks(s.raw_bytes, from, s.raw_ends + int64_t{i} * per_band, per_band);
    if (!coded(s, s.band[1].first + i)) return false;
  }
  return true;
}

// Fetches the bands of a pair of chunks from band n on, in order, up to
// the last band; returns how many were fetched, and whether a fetch failed
// (after which nothing more is fetched).
int32_t pair_fetch(IO_REC* io, Scan& s, int32_t n, int32_t bands, bool* failed) {
  const int32_t want = std::min(2 * s.chunk, bands - n);
  for (int32_t i = 0; i < want; ++i) {
    Band& b = s.band[i / s.chunk];
    if (!band_fetch(io, s, b, i % s.chunk, n + i)) {
      *failed = true;
      return i;
    }
  }
  return want;
}

// Chunks go in pairs: both threads transform one chunk of the pair each;
// then the caller's thread codes the first into the stream while the
// helper codes the second apart (its DC predictors start from the first
// chunk's last DC values) and the caller fetches the next pair; the second
// chunk's bits are then spliced in. After a failed fetch, every band before
// it is still written, as the serial path writes it.
bool bands_write_parallel(IO_REC* io, Scan& s, HelperThread& helper, int32_t bands) {
  bool failed = false;
  int32_t got = pair_fetch(io, s, 0, bands, &failed);
  for (int32_t n = 0; got > 0; n += 2 * s.chunk) {
    Band& first = s.band[0];
    Band& second = s.band[1];
    first.first = n;
    first.count = std::min(got, s.chunk);
    second.first = n + s.chunk;
    second.count = got - first.count;
    if (second.count > 0) helper.post(second_transform, &s);
    band_transform(s, first);
    helper.wait();
    if (second.count > 0) {
      predictors_after(s, first, s.raw_predictor);
      helper.post(second_code, &s);
    }
    const bool ok = chunk_code(s, first);
    const bool more = ok && !failed && n + 2 * s.chunk < bands;
    const int32_t next = more ? pair_fetch(io, s, n + 2 * s.chunk, bands, &failed) : 0;
    helper.wait();
    if (!ok) return false;
    if (second.count > 0) {
      if (!second_splice(s)) return false;
      std::copy(s.raw_predictor, s.raw_predictor + 3, s.predictor);
    }
    if (failed && next == 0) return false;
    got = next;
  }
  return !failed;
}

}  // namespace

void scan_helper_threshold_set(int64_t pixels) { g_helper_min_pixels = pixels; }

bool scan_write(IO_REC* io, uint32_t tag, const ScanPlan& plan) {
  Blocks blocks(tag);
  Scan s{};
  s.plan = &plan;
  const KernelLevel level = kernel_level();
  s.k = encode_kernels(level);
  const int32_t band_rows = 8 * *std::max_element(plan.v, plan.v + plan.components);
  const int32_t bands = (plan.frame_height + band_rows - 1) / band_rows;
  // Declared after the blocks, so joined before they go back to the pool.
  HelperThread helper;
  if (level != KernelLevel::kReference && bands > 1 &&
      int64_t{plan.frame_width} * plan.frame_height >= g_helper_min_pixels)
    helper.start();
  bool parallel = helper.running();
  const auto stride = static_cast<uint32_t>(
      dib_stride(static_cast<uint64_t>(plan.bits), static_cast<uint64_t>(plan.image_width)));
  s.in_place = io_source_rows(io, plan.image_height, stride, &s.source);
  if (!scan_prepare(s, blocks, &parallel)) return false;
  IO_BUFFER out{};
  if (io_buffer_open(io, tag, &out, kOutputBuffer, kIoBufferWrite) != 0) return false;
  s.bw.out = &out;
  const bool ok =
      parallel ? bands_write_parallel(io, s, helper, bands) : bands_write_serial(io, s, bands);
  s.bw.finish();
  const bool flushed = io_buffer_close(&out) == 1;
  if (ok && (s.bw.failed || !flushed)) return jpeg_write_fail(RXE_CANT_WRITE_PIXEL_DATA, 0, 0);
  return ok;
}

}  // namespace rx::jpeg::enc
