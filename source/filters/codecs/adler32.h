// Adler-32, the checksum that closes a zlib stream: two sums modulo 65521,
// the first of the bytes plus one, the second of the first after every
// byte; the value is (second << 16) | first.
//
// Pure functions over caller buffers; no engine state, nothing to report.
// Start with 1 and pass the previous result back in to continue over the
// next piece.
#pragma once

#include <cstddef>
#include <cstdint>

namespace rx::codec {

inline constexpr uint32_t kAdlerModulus = 65521;
// The most bytes the 32-bit sums can take before they must be reduced:
// 255 n (n + 1) / 2 + (n + 1) (65521 - 1) stays below 2^32.
inline constexpr size_t kAdlerMaxRun = 5552;

// Vector sums where the processor has them (SSE2 on x86-64), sixteen bytes
// at a time otherwise.
uint32_t adler32_update(uint32_t adler, const uint8_t* data, size_t size);

// The plain form, a byte at a time, reduced every kAdlerMaxRun bytes. Gives
// the same values as adler32_update; kept as the reference the fast form
// is tested against.
uint32_t adler32_bytewise(uint32_t adler, const uint8_t* data, size_t size);

}  // namespace rx::codec
