// Helpers for the fax codec's tests: bit strings written by hand, 1-bit
// pictures in memory, and running the codec's encoder and decoder on them
// through stream records of the test's own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "filters/codecs/ccitt.h"

namespace ccitt_test {

// Bytes from a string of '0' and '1' (other characters are ignored), most
// significant bit first, the last byte padded with zero bits.
std::vector<uint8_t> bits(const std::string& text);
// The bit string of bytes, for readable failures.
std::string bit_string(const std::vector<uint8_t>& bytes);

// A 1-bit picture: rows of packed bytes (stride ((width + 31) / 32) * 4),
// set bits as the caller means them.
struct Picture {
  uint32_t width = 0;
  std::vector<std::vector<uint8_t>> rows;

  Picture(uint32_t w, uint32_t h);
  uint32_t stride() const;
  bool get(uint32_t x, uint32_t y) const;
  void set(uint32_t x, uint32_t y, bool on);
  // Sets columns [from, to) of a row.
  void span(uint32_t y, uint32_t from, uint32_t to);
  // Every byte complemented (padding bits past the width cleared).
  Picture inverted() const;
  // Padding bits past the width cleared.
  Picture tidy() const;
  bool operator==(const Picture& o) const;
};

// Text-like pages: strokes of letters in lines, reproducible from a seed.
Picture text_page(uint32_t width, uint32_t height, uint32_t seed);
// Noise: every pixel set with probability percent / 100.
Picture noise(uint32_t width, uint32_t height, uint32_t percent, uint32_t seed);

// Encodes a picture (set bits = white when polarity is 1). `code` gets the
// encoder's result.
std::vector<uint8_t> encode(const Picture& p, const rx::CcittEncodeParams& params,
                            int32_t* code = nullptr);

struct Decoded {
  int32_t code = 0;
  rx::CcittDecodeResult result;
  std::vector<int32_t> indexes;              // row indexes as delivered
  std::vector<std::vector<uint8_t>> rows;    // the delivered bytes
  // The packed rows as a picture (packed delivery only).
  Picture picture(uint32_t width) const;
};

// Decodes `rows` rows of `width` from the bytes.
Decoded decode(const std::vector<uint8_t>& data, uint32_t width, int32_t rows,
               rx::CcittDecodeParams params);

// Run row values (the 16-bit fields) of a delivered run row.
std::vector<uint16_t> run_values(const std::vector<uint8_t>& run_row);

}  // namespace ccitt_test
