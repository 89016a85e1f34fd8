#include "filters/codecs/deflate_test_util.h"

#include <sstream>

namespace deflate_test {
namespace {

struct BitReader {
  const Bytes& b;
  size_t pos = 0;  // in bits
  bool over = false;
  uint32_t bit() {
    if (pos / 8 >= b.size()) {
      over = true;
      return 0;
    }
    const uint32_t v = (b[pos / 8] >> (pos % 8)) & 1;
    ++pos;
    return v;
  }
  uint32_t bits(uint32_t n) {
    uint32_t v = 0;
    for (uint32_t i = 0; i < n; ++i) v |= bit() << i;
    return v;
  }
  uint32_t code(uint32_t n, uint32_t start = 0) {
    uint32_t v = start;
    for (uint32_t i = 0; i < n; ++i) v = v << 1 | bit();
    return v;
  }
};

constexpr uint32_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                      31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr uint32_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                       2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr uint32_t kDistBase[30] = {1,    2,    3,    4,    5,    7,     9,     13,    17,  25,
                                    33,   49,   65,   97,   129,  193,   257,   385,   513, 769,
                                    1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr uint32_t kDistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                     6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// Fixed literal/length code: 7 bits first, then 8 or 9 as the value says.
uint32_t litlen_symbol(BitReader& r) {
  const uint32_t v7 = r.code(7);
  if (v7 <= 0x17) return 256 + v7;
  const uint32_t v8 = r.code(1, v7);
  if (v8 >= 0x30 && v8 <= 0xBF) return v8 - 0x30;
  if (v8 >= 0xC0 && v8 <= 0xC7) return 280 + v8 - 0xC0;
  return 144 + r.code(1, v8) - 0x190;
}

}  // namespace

std::vector<Token> fixed_tokens(const Bytes& stream, bool* ok, uint32_t* blocks) {
  std::vector<Token> out;
  BitReader r{stream};
  *ok = false;
  if (blocks) *blocks = 0;
  for (bool last = false; !last;) {
    last = r.bits(1) == 1;
    if (r.bits(2) != 1) return out;
    if (blocks) ++*blocks;
    for (;;) {
      const uint32_t s = litlen_symbol(r);
      if (r.over || s > 285) return out;
      if (s < 256) {
        out.push_back(lit(static_cast<uint8_t>(s)));
        continue;
      }
      if (s == 256) break;
      const uint32_t length = kLengthBase[s - 257] + r.bits(kLengthExtra[s - 257]);
      const uint32_t d = r.code(5);
      if (d >= 30) return out;
      out.push_back(copy(length, kDistBase[d] + r.bits(kDistExtra[d])));
    }
  }
  *ok = !r.over;
  return out;
}

Bytes expand(const std::vector<Token>& tokens) {
  Bytes b;
  for (const Token& t : tokens) {
    if (t.length == 0) {
      b.push_back(static_cast<uint8_t>(t.value));
      continue;
    }
    if (t.value == 0 || t.value > b.size()) return {};
    for (uint32_t i = 0; i < t.length; ++i) b.push_back(b[b.size() - t.value]);
  }
  return b;
}

std::string describe(const std::vector<Token>& tokens) {
  std::ostringstream s;
  for (const Token& t : tokens) {
    if (t.length == 0) s << "'" << static_cast<char>(t.value) << "' ";
    else s << "(" << t.length << "," << t.value << ") ";
  }
  return s.str();
}

}  // namespace deflate_test
