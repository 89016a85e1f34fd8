// The fixed tables the JPEG writer and reader share: zig-zag order, the
// DCT post-scale table, the example quantisation and Huffman tables of
// ITU-T T.81 Annex K, and the tag ids of the header fields.
#pragma once

#include <array>
#include <cstdint>

namespace rx::jpeg {

// Entry k is the natural (row-major) index of the k-th coefficient in
// zig-zag order.
inline constexpr std::array<uint8_t, 64> kZigzag = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

// P(u, v) = floor(4096 / (8 a(u) a(v))), a(0) = 1, a(k) = sqrt(2) cos(k pi / 16),
// row u, column v, as the engine has always computed it: (4, 4) is 511
// while (0, 4) and (4, 0) are 512.
inline constexpr std::array<int32_t, 64> kPostScale = {
    512,  369,  391,  435,  512,  651,  946,  1855,  //
    369,  266,  282,  313,  369,  469,  682,  1337,  //
    391,  282,  299,  333,  391,  498,  724,  1420,  //
    435,  313,  333,  370,  435,  554,  804,  1578,  //
    512,  369,  391,  435,  511,  651,  946,  1855,  //
    651,  469,  498,  554,  651,  829,  1204, 2361,  //
    946,  682,  724,  804,  946,  1204, 1748, 3428,  //
    1855, 1337, 1420, 1578, 1855, 2361, 3428, 6726};

// Base quantisation tables, natural order (T.81 Tables K.1 and K.2).
inline constexpr std::array<uint8_t, 64> kBaseLuminance = {
    16, 11, 10, 16, 24,  40,  51,  61,   //
    12, 12, 14, 19, 26,  58,  60,  55,   //
    14, 13, 16, 24, 40,  57,  69,  56,   //
    14, 17, 22, 29, 51,  87,  80,  62,   //
    18, 22, 37, 56, 68,  109, 103, 77,   //
    24, 35, 55, 64, 81,  104, 113, 92,   //
    49, 64, 78, 87, 103, 121, 120, 101,  //
    72, 92, 95, 98, 112, 100, 103, 99};

inline constexpr std::array<uint8_t, 64> kBaseChrominance = {
    17, 18, 24, 47, 99, 99, 99, 99,  //
    18, 21, 26, 66, 99, 99, 99, 99,  //
    24, 26, 56, 99, 99, 99, 99, 99,  //
    47, 66, 99, 99, 99, 99, 99, 99,  //
    99, 99, 99, 99, 99, 99, 99, 99,  //
    99, 99, 99, 99, 99, 99, 99, 99,  //
    99, 99, 99, 99, 99, 99, 99, 99,  //
    99, 99, 99, 99, 99, 99, 99, 99};

// A Huffman table as it stands in a DHT segment: 16 counts of
// codes by length, then the symbol values.
struct HuffmanSpec {
  std::array<uint8_t, 16> bits;
  const uint8_t* values;
  int count;  // number of values
};

inline constexpr uint8_t kDcValues[12] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};

inline constexpr uint8_t kAcLuminanceValues[162] = {
    0x01, 0x02, 0x03, 0x00, 0x04, 0x11, 0x05, 0x12, 0x21, 0x31, 0x41, 0x06, 0x13, 0x51, 0x61,
    0x07, 0x22, 0x71, 0x14, 0x32, 0x81, 0x91, 0xa1, 0x08, 0x23, 0x42, 0xb1, 0xc1, 0x15, 0x52,
    0xd1, 0xf0, 0x24, 0x33, 0x62, 0x72, 0x82, 0x09, 0x0a, 0x16, 0x17, 0x18, 0x19, 0x1a, 0x25,
    0x26, 0x27, 0x28, 0x29, 0x2a, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3a, 0x43, 0x44, 0x45,
    0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5a, 0x63, 0x64,
    0x65, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a, 0x83,
    0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99,
    0x9a, 0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4, 0xb5, 0xb6,
    0xb7, 0xb8, 0xb9, 0xba, 0xc2, 0xc3, 0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca, 0xd2, 0xd3,
    0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda, 0xe1, 0xe2, 0xe3, 0xe4, 0xe5, 0xe6, 0xe7, 0xe8,
    0xe9, 0xea, 0xf1, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa};

inline constexpr uint8_t kAcChrominanceValues[162] = {
    0x00, 0x01, 0x02, 0x03, 0x11, 0x04, 0x05, 0x21, 0x31, 0x06, 0x12, 0x41, 0x51, 0x07, 0x61,
    0x71, 0x13, 0x22, 0x32, 0x81, 0x08, 0x14, 0x42, 0x91, 0xa1, 0xb1, 0xc1, 0x09, 0x23, 0x33,
    0x52, 0xf0, 0x15, 0x62, 0x72, 0xd1, 0x0a, 0x16, 0x24, 0x34, 0xe1, 0x25, 0xf1, 0x17, 0x18,
    0x19, 0x1a, 0x26, 0x27, 0x28, 0x29, 0x2a, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3a, 0x43, 0x44,
    0x45, 0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5a, 0x63,
    0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a,
    0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97,
    0x98, 0x99, 0x9a, 0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4,
    0xb5, 0xb6, 0xb7, 0xb8, 0xb9, 0xba, 0xc2, 0xc3, 0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca,
    0xd2, 0xd3, 0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda, 0xe2, 0xe3, 0xe4, 0xe5, 0xe6, 0xe7,
    0xe8, 0xe9, 0xea, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa};

// T.81 Tables K.3 to K.6.
inline constexpr HuffmanSpec kDcLuminance = {{0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0},
                                             kDcValues, 12};
inline constexpr HuffmanSpec kDcChrominance = {{0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0},
                                               kDcValues, 12};
inline constexpr HuffmanSpec kAcLuminance = {
    {0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7d}, kAcLuminanceValues, 162};
inline constexpr HuffmanSpec kAcChrominance = {
    {0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77}, kAcChrominanceValues, 162};

constexpr int spec_total(const HuffmanSpec& s) {
  int n = 0;
  for (uint8_t b : s.bits) n += b;
  return n;
}
static_assert(spec_total(kDcLuminance) == 12 && spec_total(kDcChrominance) == 12);
static_assert(spec_total(kAcLuminance) == 162 && spec_total(kAcChrominance) == 162);

// Tag ids under which the reader reports the header fields and the writer
// offers them, so both sides of the exchange name a field alike. Fields
// that repeat per table, component or scan position step by one from their
// base.
namespace tag {
inline constexpr int32_t kJfifIdent = 200, kJfifVersion = 201, kJfifUnits = 202;
inline constexpr int32_t kXDensity = 203, kYDensity = 204, kThumbWidth = 205;
inline constexpr int32_t kThumbHeight = 206, kComment = 207, kQuant = 208;
inline constexpr int32_t kPrecision = 212, kLines = 213, kSamples = 214, kCount = 215;
inline constexpr int32_t kCompId = 216, kCompSampling = 219, kCompQuant = 225;
inline constexpr int32_t kScanCount = 228, kScanSelector = 229, kScanTables = 232;
inline constexpr int32_t kSpectralStart = 235, kSpectralEnd = 236, kApprox = 237;
inline constexpr int32_t kApp1 = 238;  // APP1..APP15 in turn
inline constexpr int32_t kTypeAscii = 2, kTypeBytes = 13;
// Each per-component range holds three ids, so only three components have
// ids of their own.
inline constexpr int kPerComponent = 3;
}  // namespace tag

// The fixed-point constants of the fast DCT, scaled by 4096.
inline constexpr int32_t kC4 = 2896;      // cos(pi/4)
inline constexpr int32_t kS8 = 1567;      // sin(pi/8)
inline constexpr int32_t kCmS8 = 2216;    // cos(pi/8) - sin(pi/8)
inline constexpr int32_t kCpS8 = 5351;    // cos(pi/8) + sin(pi/8)
inline constexpr int32_t kS8C4 = 1108;    // sin(pi/8) cos(pi/4)
inline constexpr int32_t kC8 = 3784;      // cos(pi/8)
inline constexpr int32_t kC4Half = 1448;  // cos(pi/4) / 2

}  // namespace rx::jpeg
