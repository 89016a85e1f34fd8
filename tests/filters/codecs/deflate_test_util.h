// Test helpers for deflate data: a bit writer for hand-made streams, and a
// plain reader of fixed-Huffman blocks that lists what a stream says
// (literals and copies), written straight from the format description so
// that it shares nothing with the codecs under test.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace deflate_test {

using Bytes = std::vector<uint8_t>;

// Least significant bit first, as deflate packs its fields.
struct BitWriter {
  Bytes bytes;
  uint32_t used = 0;  // bits used in the last byte
  void bits(uint32_t value, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
      if (used == 0) bytes.push_back(0);
      bytes.back() |= static_cast<uint8_t>(((value >> i) & 1) << used);
      used = (used + 1) % 8;
    }
  }
  // Huffman codes go out most significant bit first.
  void code(uint32_t value, uint32_t length) {
    for (uint32_t i = length; i-- > 0;) bits((value >> i) & 1, 1);
  }
  void align() { used = 0; }
};

// Fixed-code symbols: literal/length symbol s, distance code d.
inline void fixed_symbol(BitWriter& w, uint32_t s) {
  if (s < 144) w.code(0x30 + s, 8);
  else if (s < 256) w.code(0x190 + s - 144, 9);
  else if (s < 280) w.code(s - 256, 7);
  else w.code(0xC0 + s - 280, 8);
}

struct Token {
  uint32_t length;    // 0: a literal
  uint32_t value;     // the literal, or the distance
  bool operator==(const Token&) const = default;
};
inline Token lit(uint8_t b) { return {0, b}; }
inline Token copy(uint32_t length, uint32_t distance) { return {length, distance}; }

// The tokens of a stream of fixed-Huffman blocks; `ok` is false when the
// stream is anything else or malformed.
std::vector<Token> fixed_tokens(const Bytes& stream, bool* ok, uint32_t* blocks = nullptr);

// The bytes the tokens stand for.
Bytes expand(const std::vector<Token>& tokens);

std::string describe(const std::vector<Token>& tokens);

}  // namespace deflate_test
