// PackBits, the byte-oriented run-length scheme of TIFF compression 32773.
//
// Stand-in for the PackBits codec shared by several formats: the TIFF
// filter uses exactly these two functions, so the shared codec (in
// filters/codecs) can take their place without changes here.
#pragma once

#include <cstddef>
#include <cstdint>

namespace rx {

// Unpacks whole control sequences from `in` into `out`: a control byte n
// of 0..127 copies the next n + 1 bytes, -1..-127 repeats the next byte
// 1 - n times, and -128 is passed over. Stops before a sequence whose
// bytes are not all in `in` (the caller reads more and calls again with
// the rest in front) or whose output does not fit the room left in `out`.
// Returns the bytes written; *consumed receives the input bytes used.
size_t packbits_decode(const uint8_t* in, size_t in_size, uint8_t* out, size_t out_size,
                       size_t* consumed);

// The most bytes packbits_encode makes of `n` bytes.
constexpr size_t packbits_bound(size_t n) { return n + (n + 127) / 128; }

// Packs `n` bytes into `out` (packbits_bound(n) bytes of room): runs of
// three or more equal bytes become repeats, the rest literals of up to 128
// bytes. Returns the bytes written.
size_t packbits_encode(const uint8_t* in, size_t n, uint8_t* out);

}  // namespace rx
