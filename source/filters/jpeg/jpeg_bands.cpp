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
// from values that do not depend on the order of work.
#include "filters/jpeg/jpeg_bands.h"

#include <algorithm>
#include <cstring>

#include "IO/iobuffer.h"
#include "SUPPORT/dib_size.h"
#include "SUPPORT/error.h"
#include "SUPPORT/helper_thread.h"
#include "SUPPORT/kernels.h"
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
      p = RPb_AF_mem_alloc(tag_, static_cast<size_t>(bytes));
    if (p == nullptr) {
      if (!failed_)
        jpeg_write_fail(RXE_GLOBAL_MEMORY_DEPLETED,
                        static_cast<int32_t>(std::min<int64_t>(bytes, INT32_MAX)), 0);
      failed_ = true;
      return nullptr;
    }
    std::memset(p, 0, static_cast<size_t>(bytes));
    block_[count_++] = p;
    return static_cast<T*>(p);
  }
  bool failed() const { return failed_; }

 private:
  static constexpr int kMaxBlocks = 32;
  uint32_t tag_;
  int count_ = 0;
  bool failed_ = false;
  void* block_[kMaxBlocks] = {};
};

// One band in flight: its fetched rows, the sampler that turns them into
// component bands, and its quantised blocks in coding order. Two of them
// take turns, or work side by side, when a helper thread is there.
struct Band {
  uint8_t* rows;             // band_rows fetched rows, `pitch` bytes apart
  const uint8_t* line[32];   // the row each band row is sampled from
  RowSampler* sampler;
  int16_t* blocks;           // blocks_per_mcu x mcus blocks of 64 values
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
  int32_t first_block[3];  // per scan component: its first block in an MCU
  int8_t block_component[10];  // per block of an MCU: its scan component
  uint8_t* last_row;      // the last row fetched, for rows past the image
  Band band[2];
  QuantTable quant[3];    // per frame component
  const HuffCodeTable* dc[3];
  const HuffCodeTable* ac[3];
  int32_t predictor[3];
  BitWriter bw;
  // The helper thread codes every second band apart, into `raw`.
  BitWriter raw;
  uint8_t* raw_bytes;
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

// Sizes every buffer from the frame geometry and takes them from the pool:
// one band's worth, or two when the helper thread works beside the caller's.
bool scan_prepare(Scan& s, Blocks& blocks, bool parallel) {
  const ScanPlan& p = *s.plan;
  const int32_t bands = parallel ? 2 : 1;
  for (int n = 0; n < bands; ++n)
    if (!sampler_prepare(p, s.sampler[n], blocks)) return false;
  const RowSampler& rs = s.sampler[0];
  s.band_rows = 8 * rs.vmax;
  s.mcus = rs.padded_width / (8 * rs.hmax);
  for (int c = 0; c < p.components; ++c) quant_table_make(p.quant[c], &s.quant[c]);
  mcu_layout(s);
  s.stride = static_cast<int32_t>(dib_stride(static_cast<uint64_t>(p.bits),
                                             static_cast<uint64_t>(p.image_width)));
  s.pitch = s.stride + kRowSlack;
  const int64_t band_blocks = int64_t{s.blocks_per_mcu} * s.mcus;
  for (int n = 0; n < bands; ++n) {
    s.band[n].rows = blocks.get<uint8_t>(int64_t{s.pitch} * s.band_rows);
    s.band[n].blocks = blocks.get<int16_t>(band_blocks * 64);
    s.band[n].sampler = &s.sampler[n];
  }
  if (parallel) s.raw_bytes = blocks.get<uint8_t>(band_blocks * BitWriter::kRawBlockBytes);
  s.last_row = blocks.get<uint8_t>(s.pitch);
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

// Fetches the rows of band n. Rows past the image's last one repeat it.
bool band_fetch(IO_REC* io, Scan& s, Band& b, int32_t n) {
  const ScanPlan& p = *s.plan;
  const int32_t available = std::min(p.frame_height, p.image_height);
  for (int32_t i = 0; i < s.band_rows; ++i) {
    const int32_t r = n * s.band_rows + i;
    if (r >= available) {
      b.line[i] = s.last_row;
      continue;
    }
    uint8_t* row = b.rows + int64_t{i} * s.pitch;
    if (!row_fetch(io, s, row, r)) return false;
    b.line[i] = row;
    if (r == available - 1) std::memcpy(s.last_row, row, static_cast<size_t>(s.stride));
  }
  return true;
}

// Sampling, transform and quantisation of one band: pure computation on
// the band's own buffers.
void band_transform(Scan& s, Band& band) {
  const ScanPlan& p = *s.plan;
  RowSampler& rs = *band.sampler;
  sampler_band_restart(&rs);
  for (int32_t i = 0; i < s.band_rows; ++i) s.k.sample(&rs, band.line[i]);
  for (int i = 0; i < p.scan_components; ++i) {
    const int f = p.scan_frame[i];
    const SampleBand& c = rs.comp[f];
    for (int32_t v = 0; v < c.v; ++v) {
      const BlockSink sink{band.blocks + int64_t{s.first_block[i] + v * c.h} * 64, c.h,
                           s.blocks_per_mcu * 64};
      s.k.blocks(c.band + int64_t{8 * v} * c.width, c.width, c.width / 8, s.quant[f], sink);
    }
  }
}

void band_code(Scan& s, BitWriter& bw, const Band& b, int32_t* predictor) {
  const BandBlocks band{b.blocks, s.mcus, s.blocks_per_mcu, s.block_component, s.dc, s.ac};
  s.k.band(bw, band, predictor);
}

// The DC predictors after a band: the DC values of each component's last
// block, which are known before the band is coded.
void predictors_after(const Scan& s, const Band& b, int32_t* predictor) {
  const int16_t* last_mcu = b.blocks + int64_t{s.mcus - 1} * s.blocks_per_mcu * 64;
  for (int n = 0; n < s.blocks_per_mcu; ++n) predictor[s.block_component[n]] = last_mcu[64 * n];
}

bool coded(const Scan& s, int32_t n) {
  if (!s.bw.failed) return true;
  return jpeg_write_fail(RXE_CANT_WRITE_PIXEL_DATA, n * s.band_rows, 0);
}

// One band after the other on the caller's thread.
bool bands_write_serial(IO_REC* io, Scan& s, int32_t bands) {
  for (int32_t n = 0; n < bands; ++n) {
    Band& b = s.band[0];
    if (!band_fetch(io, s, b, n)) return false;
    band_transform(s, b);
    band_code(s, s.bw, b, s.predictor);
    if (!coded(s, n)) return false;
  }
  return true;
}

// The helper's two jobs on the second band of a pair.
struct PairJob {
  Scan* s;
};
void second_transform(void* arg) {
  Scan& s = *static_cast<PairJob*>(arg)->s;
  band_transform(s, s.band[1]);
}
void second_code(void* arg) {
  Scan& s = *static_cast<PairJob*>(arg)->s;
  s.raw.raw_start(s.raw_bytes);
  band_code(s, s.raw, s.band[1], s.raw_predictor);
}

// Fetches bands n and n + 1 (when there is one) in order; returns how many
// were fetched, stopping at the first failure.
int32_t pair_fetch(IO_REC* io, Scan& s, int32_t n, int32_t bands) {
  if (n >= bands || !band_fetch(io, s, s.band[0], n)) return 0;
  if (n + 1 >= bands || !band_fetch(io, s, s.band[1], n + 1)) return 1;
  return 2;
}

// Bands go in pairs: both threads transform one band of the pair each;
// then the caller's thread codes the first into the stream while the
// helper codes the second apart (its DC predictors start from the first
// band's last DC values) and the caller fetches the next pair; the second
// band's bits are then spliced in. A failed fetch still leaves every band
// before it written.
bool bands_write_parallel(IO_REC* io, Scan& s, HelperThread& helper, int32_t bands) {
  PairJob job{&s};
  int32_t got = pair_fetch(io, s, 0, bands);
  for (int32_t n = 0; n < bands; n += 2) {
    if (got == 0) return false;
    const bool wanted_two = n + 1 < bands;
    const bool second = got == 2;
    if (second) helper.post(second_transform, &job);
    band_transform(s, s.band[0]);
    helper.wait();
    if (second) {
      predictors_after(s, s.band[0], s.raw_predictor);
      helper.post(second_code, &job);
    }
    band_code(s, s.bw, s.band[0], s.predictor);
    const bool ok = coded(s, n);
    const bool more = ok && second && n + 2 < bands;
    const int32_t next = more ? pair_fetch(io, s, n + 2, bands) : 0;
    helper.wait();
    if (!ok) return false;
    if (!second) return !wanted_two;  // the second band's fetch failed
    s.bw.splice(s.raw);
    std::copy(s.raw_predictor, s.raw_predictor + 3, s.predictor);
    if (!coded(s, n + 1)) return false;
    got = next;
  }
  return true;
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
  const bool parallel = helper.running();
  if (!scan_prepare(s, blocks, parallel)) return false;
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
