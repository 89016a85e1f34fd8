// Reading an XBM's text: lines, the space-separated words on them, and
// the hexadecimal digits of its array, which come bit-reversed so that a
// byte's leftmost pixel lands in its most significant bit.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "IO/iobuffer.h"

namespace rx {

// The longest line kept; the rest of a longer line is dropped.
inline constexpr uint32_t kXbmLineBytes = 32000;

// Each hexadecimal digit's value with its four bits reversed; 16 for
// every other character.
inline constexpr uint8_t kXbmNotDigit = 16;
struct XbmDigits {
  std::array<uint8_t, 256> v{};
  constexpr XbmDigits() {
    for (auto& x : v) x = kXbmNotDigit;
    for (int d = 0; d < 16; ++d) {
      const auto r = static_cast<uint8_t>((d & 1) << 3 | (d & 2) << 1 | (d & 4) >> 1 | (d & 8) >> 3);
      v[static_cast<uint8_t>("0123456789abcdef"[d])] = r;
      v[static_cast<uint8_t>("0123456789ABCDEF"[d])] = r;
    }
  }
};
inline constexpr XbmDigits kXbmDigits;

// Reads one line into `line` (at most kXbmLineBytes - 1 characters kept),
// without its line feed and a carriage return before it. False at the end
// of the data when no character was read.
bool xbm_line_read(IO_BUFFER* in, char* line, uint32_t* length);

// The `index`-th word of a line; words are separated by spaces (tabs are
// part of a word). Empty when there is no such word.
std::string_view xbm_word(std::string_view line, uint32_t index);

}  // namespace rx
