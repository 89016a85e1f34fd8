// The scan: bands of 8 Vmax rows are fetched and sampled, then coded MCU
// by MCU, left to right. Only one band per component is held at a time, so
// memory stays a few rows deep whatever the image height.
#include "filters/jpeg/jpeg_bands.h"

#include <algorithm>
#include <cstring>

#include "SUPPORT/dib_size.h"
#include "SUPPORT/error.h"
#include "SUPPORT/kernels.h"
#include "filters/jpeg/jpeg_encode.h"
#include "IO/iobuffer.h"
#include "filters/jpeg/jpeg_downsample.h"
#include "filters/jpeg/jpeg_fdct.h"
#include "filters/jpeg/jpeg_huff_enc.h"
#include "filters/jpeg/jpeg_quant.h"
#include "rastrix/rpb.h"

RX_SOURCE("source\\filters\\jpeg\\jpeg_bands.cpp");

namespace rx::jpeg::enc {
namespace {

constexpr int32_t kOutputBuffer = 10000;
constexpr int32_t kRowSlack = 16;

// The one place where the fast kernels or the plain ones are chosen.
struct Kernels {
  FdctFn fdct;
  void (*quantise)(const int32_t coef[64], const QuantTable& t, int32_t zz[64]);
  RowSampleFn sample;
};
constexpr Kernels kFastKernels = {fdct_fast, quantise_fast, row_sample_fast};
constexpr Kernels kReferenceKernels = {fdct_reference, quantise_reference, row_sample_reference};

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
  static constexpr int kMaxBlocks = 12;
  uint32_t tag_;
  int count_ = 0;
  bool failed_ = false;
  void* block_[kMaxBlocks] = {};
};

struct Scan {
  const ScanPlan* plan;
  Kernels k;
  RowSampler sampler;
  uint8_t* row;
  int32_t stride;        // bytes of one fetched row
  int32_t band_rows;     // 8 Vmax
  int32_t mcus;          // MCUs per band
  QuantTable quant[3];   // per frame component
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

// Sizes every buffer from the frame geometry and takes them from the pool.
bool scan_prepare(Scan& s, Blocks& blocks) {
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
    rs.plane[c] = blocks.get<uint8_t>(rs.padded_width);
    quant_table_make(p.quant[c], &s.quant[c]);
  }
  s.stride = static_cast<int32_t>(dib_stride(static_cast<uint64_t>(p.bits),
                                             static_cast<uint64_t>(p.image_width)));
  s.row = blocks.get<uint8_t>(int64_t{s.stride} + kRowSlack);
  if (p.bits == 8) sampler_palette_prepare(&rs);
  for (int i = 0; i < p.scan_components; ++i) {
    s.dc[i] = dc_codes(p.dc_table[i]);
    s.ac[i] = ac_codes(p.ac_table[i]);
    s.predictor[i] = 0;
  }
  return !blocks.failed();
}

bool row_fetch(IO_REC* io, Scan& s, int32_t r) {
  const int32_t before = RPb_AF_error_check();
  if (RPb_IO_raster_get(io, s.row, r, s.stride) == 0) return true;
  // A fetch that fails without saying why must still fail the save.
  if (RPb_AF_error_check() > before) return false;
  return jpeg_write_fail(RXE_CANT_READ_PIXEL_DATA, r, 0);
}

void band_encode(Scan& s) {
  const ScanPlan& p = *s.plan;
  int32_t coef[64], zz[64];
  for (int32_t m = 0; m < s.mcus; ++m) {
    for (int i = 0; i < p.scan_components; ++i) {
      const SampleBand& c = s.sampler.comp[p.scan_frame[i]];
      const QuantTable& q = s.quant[p.scan_frame[i]];
      const int8_t* mcu = c.band + int64_t{m} * 8 * c.h;
      for (int32_t v = 0; v < c.v; ++v) {
        for (int32_t h = 0; h < c.h; ++h) {
          s.k.fdct(mcu + int64_t{8 * v} * c.width + 8 * h, c.width, coef);
          s.k.quantise(coef, q, zz);
          block_encode(s.bw, zz, &s.predictor[i], *s.dc[i], *s.ac[i]);
        }
      }
    }
  }
}

// Rows past the image's last one repeat it: the row buffer still holds it.
bool bands_write(IO_REC* io, Scan& s) {
  const ScanPlan& p = *s.plan;
  const int32_t available = std::min(p.frame_height, p.image_height);
  for (int32_t top = 0; top < p.frame_height; top += s.band_rows) {
    sampler_band_restart(&s.sampler);
    for (int32_t r = top; r < top + s.band_rows; ++r) {
      if (r < available && !row_fetch(io, s, r)) return false;
      s.k.sample(&s.sampler, s.row);
    }
    band_encode(s);
    if (s.bw.failed) return jpeg_write_fail(RXE_CANT_WRITE_PIXEL_DATA, top, 0);
  }
  return true;
}

}  // namespace

bool scan_write(IO_REC* io, uint32_t tag, const ScanPlan& plan) {
  Blocks blocks(tag);
  Scan s{};
  s.plan = &plan;
  s.k = kernels_fast() ? kFastKernels : kReferenceKernels;
  if (!scan_prepare(s, blocks)) return false;
  IO_BUFFER out{};
  if (io_buffer_open(io, tag, &out, kOutputBuffer, kIoBufferWrite) != 0) return false;
  s.bw.out = &out;
  const bool ok = bands_write(io, s);
  s.bw.finish();
  const bool flushed = io_buffer_close(&out) == 1;
  if (ok && (s.bw.failed || !flushed)) return jpeg_write_fail(RXE_CANT_WRITE_PIXEL_DATA, 0, 0);
  return ok;
}

}  // namespace rx::jpeg::enc
