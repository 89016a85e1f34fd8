// The writer's deflater: exact bytes and exact match choices worked out by
// hand for short inputs (read back with a plain fixed-code reader written
// for the tests), the chain pool, distance, lazy and chunk limits, and zlib
// inflating whatever it makes.
#include <gtest/gtest.h>
#include <zlib.h>

#include <memory>
#include <random>
#include <string>

#include "filters/codecs/deflate.h"
#include "filters/codecs/deflate_test_util.h"

namespace {

using namespace rx::codec;
using namespace deflate_test;

Bytes to_bytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

// Compresses `data` in chunks of `chunk` bytes (at most 8,192).
Bytes compress(const Bytes& data, size_t chunk = kDeflateChunkBytes) {
  auto d = std::make_unique<FixedDeflater>();
  deflate_fixed_begin(d.get());
  Bytes out;
  Bytes room(kDeflateChunkOutBytes);
  for (size_t at = 0; at < data.size(); at += chunk) {
    const size_t n = std::min(chunk, data.size() - at);
    const size_t made = deflate_fixed_chunk(d.get(), data.data() + at, n, room.data());
    EXPECT_LE(made + 8, kDeflateChunkOutBytes);
    out.insert(out.end(), room.begin(), room.begin() + static_cast<ptrdiff_t>(made));
  }
  const size_t made = deflate_fixed_finish(d.get(), room.data());
  out.insert(out.end(), room.begin(), room.begin() + static_cast<ptrdiff_t>(made));
  return out;
}

Bytes zlib_raw_inflate(const Bytes& in, size_t size) {
  z_stream z{};
  inflateInit2(&z, -15);
  Bytes out(size + 1);
  z.next_in = const_cast<Bytef*>(in.data());
  z.avail_in = static_cast<uInt>(in.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  const int rc = inflate(&z, Z_FINISH);
  out.resize(z.total_out);
  inflateEnd(&z);
  return rc == Z_STREAM_END ? out : Bytes{};
}

std::vector<Token> tokens_of(const Bytes& data) {
  bool ok = false;
  uint32_t blocks = 0;
  const std::vector<Token> t = fixed_tokens(compress(data), &ok, &blocks);
  EXPECT_TRUE(ok);
  EXPECT_EQ(blocks, 1u);
  EXPECT_EQ(expand(t), data);
  return t;
}

// Bits, first to last: block header 1 10; 'a' 10010001, 'b' 10010010,
// 'c' 10010011 (0x30 + byte, 8 bits); length 6 = symbol 260, 0000100;
// distance 3 = code 2, 00010; end of block 0000000; packed from the least
// significant bit of each byte.
TEST(Deflate, HandWorkedBytes) {
  EXPECT_EQ(compress(Bytes{}), (Bytes{0x03, 0x00}));
  EXPECT_EQ(compress(Bytes{'a'}), (Bytes{0x4B, 0x04, 0x00}));
  EXPECT_EQ(compress(Bytes{0, 1, 2, 3}), (Bytes{0x63, 0x60, 0x64, 0x62, 0x06, 0x00}));
  const Bytes abc = to_bytes("abcabcabc");
  const Bytes made = compress(abc);
  EXPECT_EQ(made, (Bytes{0x4B, 0x4C, 0x4A, 0x86, 0x20, 0x00}));
  EXPECT_EQ(zlib_raw_inflate(made, abc.size()), abc);
}

TEST(Deflate, LazyStep) {
  // At 9, "abc" matches 3 bytes at 0; at 10, "bcde" matches 4 at 4: 'a'
  // goes out alone and the longer match is taken.
  EXPECT_EQ(tokens_of(to_bytes("abcXbcdeYabcde")),
            (std::vector<Token>{lit('a'), lit('b'), lit('c'), lit('X'), lit('b'), lit('c'), lit('d'),
                                lit('e'), lit('Y'), lit('a'), copy(4, 6)}));
  // Equal lengths keep the first match; a match runs into itself.
  EXPECT_EQ(tokens_of(to_bytes("abcabcabc")), (std::vector<Token>{lit('a'), lit('b'), lit('c'), copy(6, 3)}));
  // Among equal candidates the most recent wins.
  EXPECT_EQ(tokens_of(to_bytes("xyz1xyz2xyz")),
            (std::vector<Token>{lit('x'), lit('y'), lit('z'), lit('1'), copy(3, 4), lit('2'), copy(3, 4)}));
}

// "q" and 248 or 249 'b's, then a 'w'; 258 'b's; "q" and 300 'b's. At the
// last 'q' the match with the first run is 249 or 250 bytes long; the 'b'
// after it would match 258.
std::vector<Token> lazy_limit_case(size_t run) {
  Bytes data{'q'};
  data.insert(data.end(), run, 'b');
  data.push_back('w');
  data.insert(data.end(), 258, 'b');
  data.push_back('q');
  data.insert(data.end(), 300, 'b');
  return tokens_of(data);
}

const Token* token_at(const std::vector<Token>& tokens, size_t position) {
  size_t at = 0;
  for (const Token& t : tokens) {
    if (at == position) return &t;
    at += t.length == 0 ? 1 : t.length;
  }
  return nullptr;
}

TEST(Deflate, LazyStepStopsAt250) {
  const std::vector<Token> shorter = lazy_limit_case(248);
  const size_t q1 = 1 + 248 + 1 + 258;
  ASSERT_NE(token_at(shorter, q1), nullptr);
  EXPECT_EQ(*token_at(shorter, q1), lit('q'));
  EXPECT_EQ(token_at(shorter, q1 + 1)->length, 258u);
  const std::vector<Token> longer = lazy_limit_case(249);
  const size_t q2 = 1 + 249 + 1 + 258;
  ASSERT_NE(token_at(longer, q2), nullptr);
  EXPECT_EQ(*token_at(longer, q2), copy(250, q2));
}

// Three letters, a filler in which no three bytes repeat (a de Bruijn
// sequence over 11 letters), and the three letters again. They match
// while the pool still holds the first position: it is emptied when the
// 1,025th position joins a chain.
Bytes pool_case(size_t filler) {
  // De Bruijn sequence B(11, 3) by the standard recursion.
  std::string seq;
  std::vector<int> a(3 * 11, 0);
  auto db = [&](auto&& self, int t, int p) -> void {
    if (t > 3) {
      if (3 % p == 0)
        for (int j = 1; j <= p; ++j) seq += static_cast<char>('a' + a[j]);
      return;
    }
    a[t] = a[t - p];
    self(self, t + 1, p);
    for (int j = a[t - p] + 1; j < 11; ++j) {
      a[t] = j;
      self(self, t + 1, t);
    }
  };
  db(db, 1, 1);
  Bytes data = to_bytes("XYZ");
  data.insert(data.end(), seq.begin(), seq.begin() + static_cast<ptrdiff_t>(filler));
  data.insert(data.end(), {'X', 'Y', 'Z'});
  return data;
}

TEST(Deflate, ChainPoolIsEmptiedWhenFull) {
  const std::vector<Token> kept = tokens_of(pool_case(1021));   // 1,024 positions before
  EXPECT_EQ(kept.back(), copy(3, 1024));
  const std::vector<Token> lost = tokens_of(pool_case(1022));   // 1,025
  EXPECT_EQ(lost.back(), lit('Z'));
  EXPECT_EQ(lost.size(), 1022u + 6);
}

// "QRS", a run of 'z' (a few long matches, so the pool keeps "QRS"), and
// "QRS" again exactly 32,768 or 32,769 bytes after the first.
TEST(Deflate, DistanceLimit) {
  for (size_t gap : {32768u, 32769u}) {
    Bytes data = to_bytes("QRS");
    data.insert(data.end(), gap - 3, 'z');
    data.insert(data.end(), {'Q', 'R', 'S'});
    const std::vector<Token> t = tokens_of(data);
    if (gap == 32768) EXPECT_EQ(t.back(), copy(3, 32768));
    else EXPECT_EQ(t.back(), lit('S'));
  }
}

// The compressor sees one chunk at a time: no match reaches past its end.
TEST(Deflate, MatchesStopAtChunkEnds) {
  const Bytes data(3 * kDeflateChunkBytes + 500, 'a');
  bool ok = false;
  const std::vector<Token> t = fixed_tokens(compress(data), &ok);
  ASSERT_TRUE(ok);
  size_t at = 0;
  for (const Token& k : t) {
    const size_t end = at + (k.length == 0 ? 1 : k.length);
    EXPECT_EQ(at / kDeflateChunkBytes, (end - 1) / kDeflateChunkBytes) << "token at " << at;
    at = end;
  }
  // Smaller chunks change the matches but not the data.
  EXPECT_EQ(zlib_raw_inflate(compress(data, 100), data.size()), data);
}

TEST(Deflate, ZlibInflatesEverythingItMakes) {
  std::mt19937 rng(9);
  for (size_t size : {1u, 2u, 3u, 258u, 259u, 8191u, 8192u, 8193u, 40000u, 100000u}) {
    for (int kind = 0; kind < 4; ++kind) {
      Bytes data(size);
      for (size_t i = 0; i < size; ++i) {
        switch (kind) {
          case 0: data[i] = static_cast<uint8_t>(rng()); break;                  // noise
          case 1: data[i] = static_cast<uint8_t>(i / 1000); break;               // runs
          case 2: data[i] = static_cast<uint8_t>((i % 300) / 3 + rng() % 2); break;  // image-like
          default: data[i] = static_cast<uint8_t>("abcdefgh"[rng() % 8]); break;
        }
      }
      const Bytes made = compress(data);
      EXPECT_EQ(zlib_raw_inflate(made, data.size()), data) << size << " " << kind;
      // Noise costs 9 bits a byte at most.
      EXPECT_LE(made.size(), size * 9 / 8 + 4) << size << " " << kind;
    }
  }
}

}  // namespace
