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
  static constexpr int kMaxBlocks = 16;
  uint32_t tag_;
  int count_ = 0;
  bool failed_ = false;
  void* block_[kMaxBlocks] = {};
};

// One band in flight: its fetched rows and its quantised blocks, in coding
// order. Two of them take turns when a helper thread transforms one while
// the other is coded.
struct Band {
  uint8_t* rows;             // band_rows fetched rows, `pitch` bytes apart
  const uint8_t* line[32];   // the row each band row is sampled from
  int16_t* blocks;           // blocks_per_mcu x mcus blocks of 64 values
};

struct Scan {
  const ScanPlan* plan;
  EncodeKernels k;
  RowSampler sampler;
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

void mcu_layout(Scan& s) {
  const ScanPlan& p = *s.plan;
  int32_t n = 0;
  for (int i = 0; i < p.scan_components; ++i) {
    const SampleBand& c = s.sampler.comp[p.scan_frame[i]];
    s.first_block[i] = n;
    for (int32_t b = 0; b < c.h * c.v; ++b) s.block_component[n++] = static_cast<int8_t>(i);
  }
  s.blocks_per_mcu = n;
}

// Sizes every buffer from the frame geometry and takes them from the pool.
bool scan_prepare(Scan& s, Blocks& blocks, int32_t bands) {
  const ScanPlan& p = *s.plan;
  RowSampler& rs = s.sampler;
  rs = RowSampler{};
  rs.components = p.components;
  rs.bits = p.bits;
  rs.palette = p.palette;
  rs.hmax = *std::max_element(p.h, p.h + p.components);
  rs.vmax = *std::max_element(p.v, p.v + p.components);
  const int32_t mcu_width = 8 * rs.hmax;
  rs.padded_width = (p.frame_width + mcu_width - 1) / mcu_width * mcu_width;
  rs.last_x = std::min(p.frame_width, p.image_width) - 1;
  s.band_rows = 8 * rs.vmax;
  s.mcus = rs.padded_width / mcu_width;
  for (int c = 0; c < p.components; ++c) {
    SampleBand& b = rs.comp[c];
    band_geometry(b, p.h[c], p.v[c], rs);
    b.band = blocks.get<int8_t>(int64_t{b.width} * b.rows);
    b.acc = blocks.get<uint16_t>(b.width);
    rs.plane[c] = blocks.get<uint8_t>(int64_t{rs.padded_width} + kRowSlack);
    quant_table_make(p.quant[c], &s.quant[c]);
  }
  mcu_layout(s);
  s.stride = static_cast<int32_t>(dib_stride(static_cast<uint64_t>(p.bits),
                                             static_cast<uint64_t>(p.image_width)));
  s.pitch = s.stride + kRowSlack;
  const int64_t band_blocks = int64_t{s.blocks_per_mcu} * s.mcus * 64;
  for (int n = 0; n < std::min(bands, 2); ++n) {
    s.band[n].rows = blocks.get<uint8_t>(int64_t{s.pitch} * s.band_rows);
    s.band[n].blocks = blocks.get<int16_t>(band_blocks);
  }
  s.last_row = blocks.get<uint8_t>(s.pitch);
  if (p.bits == 8) sampler_palette_prepare(&rs);
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

// Fetches the rows of the band starting at `top`. Rows past the image's
// last one repeat it.
bool band_fetch(IO_REC* io, Scan& s, Band& b, int32_t top) {
  const ScanPlan& p = *s.plan;
  const int32_t available = std::min(p.frame_height, p.image_height);
  for (int32_t i = 0; i < s.band_rows; ++i) {
    const int32_t r = top + i;
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
// the scan's own buffers, safe on the helper thread.
struct TransformJob {
  Scan* s;
  Band* band;
};

void band_transform(void* arg) {
  const auto* job = static_cast<const TransformJob*>(arg);
  Scan& s = *job->s;
  const ScanPlan& p = *s.plan;
  sampler_band_restart(&s.sampler);
  for (int32_t i = 0; i < s.band_rows; ++i) s.k.sample(&s.sampler, job->band->line[i]);
  for (int i = 0; i < p.scan_components; ++i) {
    const int f = p.scan_frame[i];
    const SampleBand& c = s.sampler.comp[f];
    for (int32_t v = 0; v < c.v; ++v) {
      const BlockSink sink{job->band->blocks + int64_t{s.first_block[i] + v * c.h} * 64, c.h,
                           s.blocks_per_mcu * 64};
      s.k.blocks(c.band + int64_t{8 * v} * c.width, c.width, c.width / 8, s.quant[f], sink);
    }
  }
}

void band_code(Scan& s, const Band& b) {
  const int16_t* block = b.blocks;
  for (int32_t m = 0; m < s.mcus; ++m) {
    for (int32_t n = 0; n < s.blocks_per_mcu; ++n, block += 64) {
      const int i = s.block_component[n];
      s.k.code(s.bw, block, &s.predictor[i], *s.dc[i], *s.ac[i]);
    }
  }
}

// Band n is fetched while band n - 1 is transformed; band n - 1 is coded
// while band n is transformed. Without a helper thread the same steps run
// one after the other.
bool bands_write(IO_REC* io, Scan& s, HelperThread& helper, int32_t bands) {
  TransformJob jobs[2] = {{&s, &s.band[0]}, {&s, &s.band[1]}};
  const auto code_previous = [&](int32_t n) {
    if (n == 0) return true;
    band_code(s, s.band[(n - 1) % 2]);
    if (s.bw.failed) return jpeg_write_fail(RXE_CANT_WRITE_PIXEL_DATA, (n - 1) * s.band_rows, 0);
    return true;
  };
  for (int32_t n = 0; n < bands; ++n) {
    Band& b = s.band[n % 2];
    if (!band_fetch(io, s, b, n * s.band_rows)) {
      helper.wait();
      if (n > 0) band_code(s, s.band[(n - 1) % 2]);  // written as they always were
      return false;
    }
    helper.wait();
    helper.post(band_transform, &jobs[n % 2]);
    if (!code_previous(n)) {
      helper.wait();
      return false;
    }
  }
  helper.wait();
  return code_previous(bands);
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
  if (!scan_prepare(s, blocks, bands)) return false;
  IO_BUFFER out{};
  if (io_buffer_open(io, tag, &out, kOutputBuffer, kIoBufferWrite) != 0) return false;
  s.bw.out = &out;
  bool ok;
  {
    HelperThread helper;  // joined before the scan's buffers go back to the pool
    if (level != KernelLevel::kReference && bands > 1 &&
        int64_t{plan.frame_width} * plan.frame_height >= g_helper_min_pixels)
      helper.start();
    ok = bands_write(io, s, helper, bands);
  }
  s.bw.finish();
  const bool flushed = io_buffer_close(&out) == 1;
  if (ok && (s.bw.failed || !flushed)) return jpeg_write_fail(RXE_CANT_WRITE_PIXEL_DATA, 0, 0);
  return ok;
}

}  // namespace rx::jpeg::enc
