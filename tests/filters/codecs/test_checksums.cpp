// CRC-32 and Adler-32 against their published check values and against
// zlib, including the sums' overflow edges and continuation in pieces.
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>
#include <vector>

#include "filters/codecs/adler32.h"
#include "filters/codecs/crc32.h"

namespace {

using namespace rx::codec;
using Bytes = std::vector<uint8_t>;

const uint8_t* u8(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

Bytes random_bytes(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes b(n);
  for (auto& x : b) x = static_cast<uint8_t>(rng());
  return b;
}

TEST(Checksums, PublishedCheckValues) {
  const std::string nine = "123456789";
  EXPECT_EQ(crc32_update(0, u8(nine), 9), 0xCBF43926u);
  EXPECT_EQ(crc32_bytewise(0, u8(nine), 9), 0xCBF43926u);
  EXPECT_EQ(crc32_update(0, nullptr, 0), 0u);
  // "IEND" with no data: the CRC every PNG ends with.
  EXPECT_EQ(crc32_update(0, u8("IEND"), 4), 0xAE426082u);
  EXPECT_EQ(adler32_update(1, u8("Wikipedia"), 9), 0x11E60398u);
  EXPECT_EQ(adler32_bytewise(1, u8("Wikipedia"), 9), 0x11E60398u);
  EXPECT_EQ(adler32_update(1, nullptr, 0), 1u);
}

// Every length around the vector and reduction steps, at every alignment,
// matches zlib; fast and plain forms agree.
TEST(Checksums, MatchZlibAtEveryLengthAndOffset) {
  const Bytes data = random_bytes(20000, 7);
  for (size_t offset = 0; offset < 16; ++offset) {
    for (size_t n : {0, 1, 7, 8, 9, 31, 32, 33, 63, 64, 4095, 4096, 4097, 5551, 5552, 5553, 11104, 19000}) {
      const uint8_t* p = data.data() + offset;
      const auto z = static_cast<uInt>(n);
      EXPECT_EQ(crc32_update(0, p, n), crc32(0, p, z)) << offset << " " << n;
      EXPECT_EQ(crc32_bytewise(0, p, n), crc32(0, p, z)) << offset << " " << n;
      EXPECT_EQ(adler32_update(1, p, n), adler32(1, p, z)) << offset << " " << n;
      EXPECT_EQ(adler32_bytewise(1, p, n), adler32(1, p, z)) << offset << " " << n;
    }
  }
}

// All-0xFF data drive both Adler sums to their largest values before each
// reduction.
TEST(Checksums, AdlerSumsDoNotOverflow) {
  const Bytes ones(200000, 0xFF);
  for (size_t n : {5552, 5553, 4096 * 3 + 17, 65521, 65522, 200000})
    EXPECT_EQ(adler32_update(1, ones.data(), n), adler32(1, ones.data(), static_cast<uInt>(n))) << n;
}

TEST(Checksums, ContinueAcrossPieces) {
  const Bytes data = random_bytes(50000, 11);
  uint32_t crc = 0, adler = 1;
  std::mt19937 rng(3);
  for (size_t at = 0; at < data.size();) {
    const size_t n = std::min<size_t>(rng() % 9000, data.size() - at);
    crc = crc32_update(crc, data.data() + at, n);
    adler = adler32_update(adler, data.data() + at, n);
    at += n;
  }
  EXPECT_EQ(crc, crc32(0, data.data(), static_cast<uInt>(data.size())));
  EXPECT_EQ(adler, adler32(1, data.data(), static_cast<uInt>(data.size())));
}

}  // namespace
