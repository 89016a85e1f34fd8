// Quantisation of the JPEG writer: each coefficient divided by its table
// value, truncating toward zero, and laid out in zig-zag order for coding.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "filters/jpeg/jpeg_tables.h"

namespace rx::jpeg::enc {

// A coefficient never reaches this magnitude (the transform of the widest
// swing of 8-bit samples stays near 1024); the fast path clamps to it so
// that its products cannot overflow.
inline constexpr int32_t kMaxCoefficient = 2047;
inline constexpr int kReciprocalShift = 20;

// floor(x * r >> 20) == floor(x / d) for every 0 <= x <= 2047 and every
// divisor 1..255, with r = ceil(2^20 / d): the error term x * (r d - 2^20)
// stays below 2047 * 254 < 2^20. The tests check every pair.
struct QuantTable {
  int32_t divisor[64];     // natural order, 1..255
  uint32_t reciprocal[64];
  bool unit;               // every divisor 1 (quality 100): nothing to divide
};

inline void quant_table_make(const int32_t divisors[64], QuantTable* t) {
  for (int n = 0; n < 64; ++n) {
    const auto d = static_cast<uint32_t>(std::clamp(divisors[n], 1, 255));
    t->divisor[n] = static_cast<int32_t>(d);
    t->reciprocal[n] = ((1u << kReciprocalShift) + d - 1) / d;
  }
  t->unit = std::all_of(t->divisor, t->divisor + 64, [](int32_t d) { return d == 1; });
}

inline uint32_t quant_magnitude(uint32_t magnitude, uint32_t reciprocal) {
  return (magnitude * reciprocal) >> kReciprocalShift;
}

inline void quantise_reference(const int32_t coef[64], const QuantTable& t, int32_t zz[64]) {
  for (int k = 0; k < 64; ++k) zz[k] = coef[kZigzag[k]] / t.divisor[kZigzag[k]];
}

// Four coefficients per step: magnitude, clamp, reciprocal, sign back.
inline void quantise_fast(const int32_t coef[64], const QuantTable& t, int32_t zz[64]) {
  if (t.unit) {
    for (int k = 0; k < 64; ++k) zz[k] = coef[kZigzag[k]];
    return;
  }
  using V4 = int32_t __attribute__((vector_size(16)));
  using U4 = uint32_t __attribute__((vector_size(16)));
  int32_t q[64];
  for (int n = 0; n < 64; n += 4) {
    V4 c;
    U4 r;
    std::memcpy(&c, coef + n, sizeof c);
    std::memcpy(&r, t.reciprocal + n, sizeof r);
    const V4 sign = c >> 31;
    V4 magnitude = (c ^ sign) - sign;
    magnitude = magnitude > kMaxCoefficient ? V4{} + kMaxCoefficient : magnitude;
    const V4 v = (V4)(((U4)magnitude * r) >> kReciprocalShift);
    const V4 out = (v ^ sign) - sign;
    std::memcpy(q + n, &out, sizeof out);
  }
  for (int k = 0; k < 64; ++k) zz[k] = q[kZigzag[k]];
}

}  // namespace rx::jpeg::enc
