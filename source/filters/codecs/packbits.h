// PackBits: the byte-oriented run-length code of PSD image data and of TIFF
// compression 32773. A control byte n of 0..127 is followed by n + 1 bytes
// taken as they are; -1..-127 (129..255) by one byte repeated 1 - n times;
// -128 (128) is passed over.
//
// The decoder keeps its place between calls, so input may arrive in pieces
// of any size (a packet cut by the end of a read buffer is finished from
// the next one) and output may be taken in pieces too, a row at a time. It
// never writes past the output it is given nor reads past the input.
#pragma once

#include <cstddef>
#include <cstdint>

namespace rx {

struct PACKBITS_STATE {
  uint32_t left = 0;   // bytes of the current packet still to produce
  uint8_t value = 0;   // the byte a repeat packet produces
  uint8_t phase = 0;   // what the next input byte is (packbits.cpp)
};

struct PackBitsStep {
  size_t consumed;  // input bytes taken
  size_t produced;  // output bytes written
};

// Decodes from `in` into `out` until `out_size` bytes are written or the
// input is used up, whichever comes first. A packet that reaches past the
// end of `out` is continued by the next call.
PackBitsStep packbits_decode(PACKBITS_STATE* state, const uint8_t* in, size_t in_size,
                             uint8_t* out, size_t out_size);

// The most bytes packbits_encode can make of `n` bytes: one control byte
// for every 128 literal bytes.
constexpr size_t packbits_bound(size_t n) { return n + (n + 127) / 128; }

// Codes `n` bytes as one unit (TIFF and PSD code each row on its own) into
// `out`, which holds at least packbits_bound(n) bytes. Runs of three or
// more equal bytes become repeat packets; everything else goes into
// literals of at most 128 bytes. Returns the bytes written.
size_t packbits_encode(const uint8_t* in, size_t n, uint8_t* out);

}  // namespace rx
