// Slicing by eight: table k holds the CRC contribution of a byte followed
// by k zero bytes, so eight bytes fold in with eight independent lookups.
#include "filters/codecs/crc32.h"

#include <array>
#include <cstring>

namespace rx::codec {
namespace {

constexpr uint32_t kPolynomial = 0xEDB88320u;

using Tables = std::array<std::array<uint32_t, 256>, 8>;

constexpr Tables make_tables() {
  Tables t{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? kPolynomial ^ (c >> 1) : c >> 1;
    t[0][n] = c;
  }
  for (uint32_t n = 0; n < 256; ++n)
    for (size_t k = 1; k < 8; ++k) t[k][n] = t[0][t[k - 1][n] & 0xFF] ^ (t[k - 1][n] >> 8);
  return t;
}

constexpr Tables kTables = make_tables();
static_assert(kTables[0][1] == 0x77073096u);
static_assert(kTables[0][255] == 0x2D02EF8Du);

inline uint32_t byte_step(uint32_t c, uint8_t b) { return kTables[0][(c ^ b) & 0xFF] ^ (c >> 8); }

}  // namespace

uint32_t crc32_bytewise(uint32_t crc, const uint8_t* data, size_t size) {
  uint32_t c = ~crc;
  for (size_t i = 0; i < size; ++i) c = byte_step(c, data[i]);
  return ~c;
}

uint32_t crc32_update(uint32_t crc, const uint8_t* data, size_t size) {
  uint32_t c = ~crc;
  const uint8_t* p = data;
  const uint8_t* const end = data + size;
  // The engine targets little-endian hosts: the low word of an 8-byte load
  // holds the first four bytes.
  while (end - p >= 8) {
    uint32_t lo, hi;
    std::memcpy(&lo, p, 4);
    std::memcpy(&hi, p + 4, 4);
    lo ^= c;
    c = kTables[7][lo & 0xFF] ^ kTables[6][(lo >> 8) & 0xFF] ^ kTables[5][(lo >> 16) & 0xFF] ^
        kTables[4][lo >> 24] ^ kTables[3][hi & 0xFF] ^ kTables[2][(hi >> 8) & 0xFF] ^
        kTables[1][(hi >> 16) & 0xFF] ^ kTables[0][hi >> 24];
    p += 8;
  }
  while (p < end) c = byte_step(c, *p++);
  return ~c;
}

}  // namespace rx::codec
