// The LZW decoder's two ways of writing a string, copied from where it
// stands earlier in the output or walked back code by code, give the
// coded bytes back whole and in pieces of every size, across Clear codes
// and strings that straddle two reads.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "lzw.h"

namespace {

using Bytes = std::vector<uint8_t>;

bool collect(void* user, const uint8_t* bytes, size_t n) {
  static_cast<Bytes*>(user)->insert(static_cast<Bytes*>(user)->end(), bytes, bytes + n);
  return true;
}

Bytes coded(const rxlzw::LzwVariant& v, const Bytes& plain) {
  Bytes out;
  rxlzw::LzwEncoder e;
  e.reset(v, collect, &out, 37);
  EXPECT_TRUE(e.write(plain.data(), plain.size()) && e.finish());
  return out;
}

// Decodes in reads of `piece` bytes (the last read asks one byte more, to
// see the End code).
Bytes decoded(const rxlzw::LzwVariant& v, const Bytes& code, size_t total, size_t piece, bool copying) {
  rxlzw::LzwDecoder d;
  d.reset(v, code.data(), code.size());
  d.copying_set(copying);
  Bytes out(total + 1);
  size_t at = 0;
  while (at <= total) {
    const size_t want = std::min(piece, total + 1 - at);
    const size_t got = d.read(out.data() + at, want);
    at += got;
    if (got < want) break;
  }
  EXPECT_EQ(d.state(), rxlzw::LzwDecoder::State::kEnd);
  out.resize(at);
  return out;
}

// Noise (short strings), one value repeated (strings that grow by one
// each code, each defined by its own use), and a repeating pattern longer
// than the table holds (Clear codes on the way).
std::vector<Bytes> samples(int bits) {
  std::mt19937 rng(7);
  const uint8_t top = uint8_t((1 << bits) - 1);
  Bytes noise(20000), run(30000, top), pattern(70000);
  for (auto& b : noise) b = uint8_t(rng() & top);
  for (size_t i = 0; i < pattern.size(); ++i) pattern[i] = uint8_t((i * i / 7 + i / 13) & top);
  return {noise, run, pattern, Bytes{1}, Bytes{}};
}

TEST(RxlzwCodec, CopiedAndWalkedStringsGiveTheCodedBytesBack) {
  for (const rxlzw::LzwVariant v : {rxlzw::kTiffLzw, rxlzw::gif_lzw(8), rxlzw::gif_lzw(2)}) {
    for (const Bytes& plain : samples(v.min_bits)) {
      const Bytes code = coded(v, plain);
      for (size_t piece : {size_t{1}, size_t{3}, size_t{255}, size_t{4097}, plain.size() + 1})
        for (bool copying : {true, false})
          EXPECT_EQ(decoded(v, code, plain.size(), piece, copying), plain)
              << "min bits " << v.min_bits << ", " << plain.size() << " bytes in reads of " << piece
              << (copying ? ", copying" : ", walking");
    }
  }
}

// A hand-coded TIFF strip: Clear, 'a' (97), 258 ("aa", defined by its own
// use), End, in 9-bit codes from the highest bit: 256 = 100000000,
// 97 = 001100001, 258 = 100000010, 257 = 100000001, then 4 zero bits:
// 10000000 00011000 01100000 01010000 00010000.
TEST(RxlzwCodec, ACodeUsedAsItIsDefined) {
  const Bytes fixed = {0x80, 0x18, 0x60, 0x50, 0x10};
  for (bool copying : {true, false}) {
    rxlzw::LzwDecoder d;
    d.reset(rxlzw::kTiffLzw, fixed.data(), fixed.size());
    d.copying_set(copying);
    Bytes out(8);
    EXPECT_EQ(d.read(out.data(), out.size()), 3u);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 3), (Bytes{97, 97, 97}));
    EXPECT_EQ(d.state(), rxlzw::LzwDecoder::State::kEnd);
  }
}

}  // namespace
