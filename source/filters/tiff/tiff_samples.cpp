// Sample rows to image rows.
#include "filters/tiff/tiff_samples.h"

#include <algorithm>
#include <cstring>

#include "SUPPORT/dib_size.h"
#include "filters/codecs/ccitt_tables.h"

namespace rx::tiff {

void bits_reverse(uint8_t* p, size_t n) {
  for (size_t i = 0; i < n; ++i) p[i] = ccitt::kBitReverse[p[i]];
}

void predictor_undo(uint8_t* row, uint32_t width, uint32_t samples, uint32_t bps, bool motorola) {
  const size_t n = size_t{width} * samples;
  if (bps == 8) {
    if (samples == 3) {
      uint8_t r = row[0], g = row[1], b = row[2];
      for (size_t i = 3; i < n; i += 3) {
        r = static_cast<uint8_t>(r + row[i]);
        g = static_cast<uint8_t>(g + row[i + 1]);
        b = static_cast<uint8_t>(b + row[i + 2]);
        row[i] = r;
        row[i + 1] = g;
        row[i + 2] = b;
      }
      return;
    }
    for (size_t i = samples; i < n; ++i) row[i] = static_cast<uint8_t>(row[i] + row[i - samples]);
  } else if (bps == 16) {
    const int hi = motorola ? 0 : 1, lo = 1 - hi;
    for (size_t i = samples; i < n; ++i) {
      uint8_t* s = row + 2 * i;
      const uint8_t* left = row + 2 * (i - samples);
      const auto v = static_cast<uint16_t>(((s[hi] << 8) | s[lo]) + ((left[hi] << 8) | left[lo]));
      s[hi] = static_cast<uint8_t>(v >> 8);
      s[lo] = static_cast<uint8_t>(v);
    }
  }
}

void planes_gather(const uint8_t* const* plane_rows, uint32_t planes, uint32_t width,
                   uint32_t bps, uint8_t* out) {
  const uint32_t bytes = bps / 8;
  for (uint32_t p = 0; p < planes; ++p) {
    const uint8_t* in = plane_rows[p];
    uint8_t* o = out + size_t{p} * bytes;
    for (uint32_t x = 0; x < width; ++x) {
      std::memcpy(o, in, bytes);
      in += bytes;
      o += size_t{planes} * bytes;
    }
  }
}

RowConverter::RowConverter(const Page& p, uint32_t samples, bool motorola)
    : width_(p.unit_width()),
      samples_(samples),
      bps_(p.bps),
      high_(motorola ? 0 : 1),
      copy_bytes_(static_cast<uint32_t>((uint64_t{p.bps} * p.unit_width() + 7) / 8)),
      stride_(static_cast<uint32_t>(dib_stride(p.dib_bits, p.unit_width()))),
      complement_(p.photometric == kWhiteIsZero) {
  switch (p.colour) {
    case Colour::kRgb: case Colour::kYCbCr: kind_ = Kind::kRgb; break;
    case Colour::kCmyk: kind_ = Kind::kCmyk; break;
    default:
      kind_ = samples == 1 && p.bps == p.dib_bits ? Kind::kCopy : Kind::kFirstSample;
      break;
  }
}

namespace {

// Sample 0 of pixel x of a row of `samples` samples of `bps` bits (1, 2 or
// 4), as a value of that many bits.
uint32_t small_sample(const uint8_t* in, uint32_t x, uint32_t samples, uint32_t bps) {
  const uint64_t bit = uint64_t{x} * samples * bps;
  const uint32_t shift = 8 - bps - static_cast<uint32_t>(bit & 7);
  return (in[bit >> 3] >> shift) & ((1u << bps) - 1);
}

}  // namespace

void RowConverter::convert(const uint8_t* in, uint8_t* out) const {
  const size_t step = size_t{samples_} * (bps_ == 16 ? 2 : 1);
  const size_t hi = bps_ == 16 ? high_ : 0;
  size_t used = 0;
  switch (kind_) {
    case Kind::kCopy:
      std::memcpy(out, in, copy_bytes_);
      used = copy_bytes_;
      break;
    case Kind::kFirstSample:
      if (bps_ >= 8) {
        for (uint32_t x = 0; x < width_; ++x) out[x] = in[x * step + hi];
        used = width_;
      } else {
        // Pixels of fewer than 8 bits are repacked at the same depth.
        used = (size_t{width_} * bps_ + 7) / 8;
        std::memset(out, 0, used);
        for (uint32_t x = 0; x < width_; ++x) {
          const uint64_t bit = uint64_t{x} * bps_;
          out[bit >> 3] |= static_cast<uint8_t>(small_sample(in, x, samples_, bps_)
                                                << (8 - bps_ - (bit & 7)));
        }
      }
      break;
    case Kind::kRgb: {
      const size_t s = bps_ == 16 ? 2 : 1;
      for (uint32_t x = 0; x < width_; ++x) {
        const uint8_t* px = in + x * step + hi;
        out[3 * x] = px[2 * s];
        out[3 * x + 1] = px[s];
        out[3 * x + 2] = px[0];
      }
      used = size_t{width_} * 3;
      break;
    }
    case Kind::kCmyk:
      for (uint32_t x = 0; x < width_; ++x) {
        const uint8_t* px = in + x * step;
        const uint32_t k = px[3];
        out[3 * x] = static_cast<uint8_t>(255 - std::min<uint32_t>(255, px[2] + k));
        out[3 * x + 1] = static_cast<uint8_t>(255 - std::min<uint32_t>(255, px[1] + k));
        out[3 * x + 2] = static_cast<uint8_t>(255 - std::min<uint32_t>(255, px[0] + k));
      }
      used = size_t{width_} * 3;
      break;
  }
  if (complement_)
    for (size_t i = 0; i < used; ++i) out[i] = static_cast<uint8_t>(~out[i]);
  if (used < stride_) std::memset(out + used, 0, stride_ - used);
}

YCbCrConverter::YCbCrConverter(const Page& p)
    : width_(p.unit_width()),
      h_(p.subsampling_h),
      v_(p.subsampling_v),
      band_bytes_(uint64_t{(p.unit_width() + p.subsampling_h - 1) / p.subsampling_h} *
                  (uint64_t{p.subsampling_h} * p.subsampling_v + 2)),
      lr_(p.luma[0]),
      lg_(p.luma[1]),
      lb_(p.luma[2]) {}

namespace {

uint8_t limited(double v) {
  const auto t = static_cast<int32_t>(v);  // truncates toward zero
  return static_cast<uint8_t>(std::clamp(t, 0, 255));
}

}  // namespace

void YCbCrConverter::convert(const uint8_t* units, uint32_t rows, uint8_t* out,
                             uint32_t stride) const {
  const uint32_t unit_bytes = h_ * v_ + 2;
  const uint32_t across = (width_ + h_ - 1) / h_;
  for (uint32_t u = 0; u < across; ++u) {
    const uint8_t* unit = units + size_t{u} * unit_bytes;
    const double cb = unit[h_ * v_] - 128.0;
    const double cr = unit[h_ * v_ + 1] - 128.0;
    for (uint32_t dy = 0; dy < v_ && dy < rows; ++dy) {
      uint8_t* row = out + size_t{dy} * stride;
      for (uint32_t dx = 0; dx < h_; ++dx) {
        const uint32_t x = u * h_ + dx;
        if (x >= width_) break;
        const double y = unit[dy * h_ + dx];
        const double r = static_cast<int32_t>(y + (2 - 2 * lr_) * cr);
        const double b = static_cast<int32_t>(y + (2 - 2 * lb_) * cb);
        const double g = lg_ != 0 ? (y - lr_ * r - lb_ * b) / lg_ : y;
        row[3 * x] = limited(b);
        row[3 * x + 1] = limited(g);
        row[3 * x + 2] = limited(r);
      }
    }
  }
}

}  // namespace rx::tiff
