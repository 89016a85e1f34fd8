// The bi-level fax code tables: the run-length codes of both colours, the
// end-of-line code and the two-dimensional mode codes, as the public fax
// coding standards define them, and the decoding tables built from them at
// compile time.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace rx::ccitt {

// A code: its bits, right-aligned, and their number.
struct Code {
  uint16_t bits;
  uint8_t length;
};

// Builds a code from its written form, e.g. C("00110101").
consteval Code C(const char* s) {
  uint16_t bits = 0;
  uint8_t length = 0;
  for (; s[length] != 0; ++length) bits = static_cast<uint16_t>(bits << 1 | (s[length] == '1'));
  return Code{bits, length};
}

// Terminating codes, runs 0..63.
inline constexpr std::array<Code, 64> kWhiteTerm = {
    C("00110101"), C("000111"),   C("0111"),     C("1000"),     C("1011"),     C("1100"),
    C("1110"),     C("1111"),     C("10011"),    C("10100"),    C("00111"),    C("01000"),
    C("001000"),   C("000011"),   C("110100"),   C("110101"),   C("101010"),   C("101011"),
    C("0100111"),  C("0001100"),  C("0001000"),  C("0010111"),  C("0000011"),  C("0000100"),
    C("0101000"),  C("0101011"),  C("0010011"),  C("0100100"),  C("0011000"),  C("00000010"),
    C("00000011"), C("00011010"), C("00011011"), C("00010010"), C("00010011"), C("00010100"),
    C("00010101"), C("00010110"), C("00010111"), C("00101000"), C("00101001"), C("00101010"),
    C("00101011"), C("00101100"), C("00101101"), C("00000100"), C("00000101"), C("00001010"),
    C("00001011"), C("01010010"), C("01010011"), C("01010100"), C("01010101"), C("00100100"),
    C("00100101"), C("01011000"), C("01011001"), C("01011010"), C("01011011"), C("01001010"),
    C("01001011"), C("00110010"), C("00110011"), C("00110100")};

inline constexpr std::array<Code, 64> kBlackTerm = {
    C("0000110111"),   C("010"),          C("11"),           C("10"),
    C("011"),          C("0011"),         C("0010"),         C("00011"),
    C("000101"),       C("000100"),       C("0000100"),      C("0000101"),
    C("0000111"),      C("00000100"),     C("00000111"),     C("000011000"),
    C("0000010111"),   C("0000011000"),   C("0000001000"),   C("00001100111"),
    C("00001101000"),  C("00001101100"),  C("00000110111"),  C("00000101000"),
    C("00000010111"),  C("00000011000"),  C("000011001010"), C("000011001011"),
    C("000011001100"), C("000011001101"), C("000001101000"), C("000001101001"),
    C("000001101010"), C("000001101011"), C("000011010010"), C("000011010011"),
    C("000011010100"), C("000011010101"), C("000011010110"), C("000011010111"),
    C("000001101100"), C("000001101101"), C("000011011010"), C("000011011011"),
    C("000001010100"), C("000001010101"), C("000001010110"), C("000001010111"),
    C("000001100100"), C("000001100101"), C("000001010010"), C("000001010011"),
    C("000000100100"), C("000000110111"), C("000000111000"), C("000000100111"),
    C("000000101000"), C("000001011000"), C("000001011001"), C("000000101011"),
    C("000000101100"), C("000001011010"), C("000001100110"), C("000001100111")};

// Make-up codes of each colour, runs 64, 128 ... 1728 (index run / 64 - 1).
inline constexpr std::array<Code, 27> kWhiteMakeup = {
    C("11011"),     C("10010"),     C("010111"),    C("0110111"),   C("00110110"),
    C("00110111"),  C("01100100"),  C("01100101"),  C("01101000"),  C("01100111"),
    C("011001100"), C("011001101"), C("011010010"), C("011010011"), C("011010100"),
    C("011010101"), C("011010110"), C("011010111"), C("011011000"), C("011011001"),
    C("011011010"), C("011011011"), C("010011000"), C("010011001"), C("010011010"),
    C("011000"),    C("010011011")};

inline constexpr std::array<Code, 27> kBlackMakeup = {
    C("0000001111"),    C("000011001000"),  C("000011001001"),  C("000001011011"),
    C("000000110011"),  C("000000110100"),  C("000000110101"),  C("0000001101100"),
    C("0000001101101"), C("0000001001010"), C("0000001001011"), C("0000001001100"),
    C("0000001001101"), C("0000001110010"), C("0000001110011"), C("0000001110100"),
    C("0000001110101"), C("0000001110110"), C("0000001110111"), C("0000001010010"),
    C("0000001010011"), C("0000001010100"), C("0000001010101"), C("0000001011010"),
    C("0000001011011"), C("0000001100100"), C("0000001100101")};

// Extended make-up codes shared by both colours, runs 1792 ... 2560.
inline constexpr std::array<Code, 13> kExtendedMakeup = {
    C("00000001000"),  C("00000001100"),  C("00000001101"),  C("000000010010"),
    C("000000010011"), C("000000010100"), C("000000010101"), C("000000010110"),
    C("000000010111"), C("000000011100"), C("000000011101"), C("000000011110"),
    C("000000011111")};

inline constexpr Code kEol = C("000000000001");
inline constexpr uint32_t kEolBits = 12;

// Two-dimensional mode codes. Vertical codes by offset a1 - b1 + 3.
inline constexpr Code kPass = C("0001");
inline constexpr Code kHorizontal = C("001");
inline constexpr std::array<Code, 7> kVertical = {C("0000010"), C("000010"), C("010"), C("1"),
                                                  C("011"),     C("000011"), C("0000011")};

inline constexpr uint32_t kMaxMakeup = 2560;
// Runs at least this long are coded with the 2560 make-up code first.
inline constexpr uint32_t kLongRun = kMaxMakeup + 64;

// ---- Decoding tables --------------------------------------------------------

// What the next bits of the data start with.
enum Kind : uint8_t {
  kBad = 0,       // no code starts with these bits
  kTerm = 1,      // a terminating code: the run ends
  kMakeup = 2,    // a make-up code: a terminating code follows
  kZeros = 3,     // eleven or more zero bits: an end-of-line code, fill or the end of the data
  // two-dimensional modes
  kModePass = 4,
  kModeHorizontal = 5,
  kModeVertical = 6,  // value = offset + 3
};

struct Entry {
  uint16_t value;  // run length, or vertical offset + 3
  uint8_t length;  // bits of the code
  uint8_t kind;
};

// A run table indexed by the next `Bits` bits of the data.
template <uint32_t Bits>
using RunTable = std::array<Entry, size_t{1} << Bits>;

inline constexpr uint32_t kWhiteBits = 12;  // longest white code
inline constexpr uint32_t kBlackBits = 13;  // longest black code
inline constexpr uint32_t kModeBits = 7;    // longest mode code

template <uint32_t Bits, size_t N>
constexpr void table_fill(RunTable<Bits>& t, const std::array<Code, N>& codes, uint32_t first,
                          uint32_t step, Kind kind) {
  for (size_t i = 0; i < N; ++i) {
    const Code c = codes[i];
    const uint32_t shift = Bits - c.length;
    for (uint32_t low = 0; low < (1u << shift); ++low)
      t[(uint32_t{c.bits} << shift) | low] =
          Entry{static_cast<uint16_t>(first + step * i), c.length, kind};
  }
}

// Any index whose top eleven bits are zero is an end-of-line code or the
// fill before one: no run code has more than seven leading zeros.
template <uint32_t Bits>
constexpr void table_zeros(RunTable<Bits>& t) {
  for (uint32_t i = 0; i < (1u << (Bits - 11)); ++i) t[i] = Entry{0, 11, kZeros};
}

template <uint32_t Bits>
constexpr RunTable<Bits> run_table(const std::array<Code, 64>& term,
                                   const std::array<Code, 27>& makeup) {
  RunTable<Bits> t{};
  table_fill<Bits>(t, term, 0, 1, kTerm);
  table_fill<Bits>(t, makeup, 64, 64, kMakeup);
  table_fill<Bits>(t, kExtendedMakeup, 1792, 64, kMakeup);
  table_zeros<Bits>(t);
  return t;
}

constexpr RunTable<kModeBits> mode_table() {
  RunTable<kModeBits> t{};
  table_fill<kModeBits>(t, std::array<Code, 1>{kPass}, 0, 0, kModePass);
  table_fill<kModeBits>(t, std::array<Code, 1>{kHorizontal}, 0, 0, kModeHorizontal);
  table_fill<kModeBits>(t, kVertical, 0, 1, kModeVertical);
  // Seven zeros: an end-of-line code when the next bits are zero too.
  t[0] = Entry{0, 7, kZeros};
  return t;
}

inline constexpr RunTable<kWhiteBits> kWhiteTable = run_table<kWhiteBits>(kWhiteTerm, kWhiteMakeup);
inline constexpr RunTable<kBlackBits> kBlackTable = run_table<kBlackBits>(kBlackTerm, kBlackMakeup);
inline constexpr RunTable<kModeBits> kModeTable = mode_table();

// ---- Checks of the tables ---------------------------------------------------

// A code set decodes unambiguously when no code is a prefix of another.
template <size_t N>
constexpr bool prefix_free(const std::array<Code, N>& codes) {
  for (size_t i = 0; i < N; ++i)
    for (size_t j = 0; j < N; ++j) {
      if (i == j || codes[i].length > codes[j].length) continue;
      if ((codes[j].bits >> (codes[j].length - codes[i].length)) == codes[i].bits) return false;
    }
  return true;
}

template <size_t A, size_t B, size_t C3>
constexpr auto join(const std::array<Code, A>& a, const std::array<Code, B>& b,
                    const std::array<Code, C3>& c) {
  std::array<Code, A + B + C3 + 1> out{};
  size_t n = 0;
  for (const Code& x : a) out[n++] = x;
  for (const Code& x : b) out[n++] = x;
  for (const Code& x : c) out[n++] = x;
  out[n] = kEol;
  return out;
}

static_assert(prefix_free(join(kWhiteTerm, kWhiteMakeup, kExtendedMakeup)));
static_assert(prefix_free(join(kBlackTerm, kBlackMakeup, kExtendedMakeup)));
static_assert(prefix_free(join(kVertical, std::array<Code, 1>{kPass},
                               std::array<Code, 1>{kHorizontal})));

// Filling a table never overwrote one code with another: every code is
// found where it belongs.
template <uint32_t Bits, size_t N>
constexpr bool codes_found(const RunTable<Bits>& t, const std::array<Code, N>& codes,
                           uint32_t first, uint32_t step) {
  for (size_t i = 0; i < N; ++i) {
    const Entry e = t[uint32_t{codes[i].bits} << (Bits - codes[i].length)];
    if (e.length != codes[i].length || e.value != first + step * i) return false;
  }
  return true;
}
static_assert(codes_found<kWhiteBits>(kWhiteTable, kWhiteTerm, 0, 1));
static_assert(codes_found<kWhiteBits>(kWhiteTable, kWhiteMakeup, 64, 64));
static_assert(codes_found<kWhiteBits>(kWhiteTable, kExtendedMakeup, 1792, 64));
static_assert(codes_found<kBlackBits>(kBlackTable, kBlackTerm, 0, 1));
static_assert(codes_found<kBlackBits>(kBlackTable, kBlackMakeup, 64, 64));
static_assert(codes_found<kBlackBits>(kBlackTable, kExtendedMakeup, 1792, 64));
static_assert(codes_found<kModeBits>(kModeTable, kVertical, 0, 1));

// ---- Run finding and bit order ------------------------------------------------

// For each byte value, the number of leading 0 bits and of leading 1 bits.
constexpr std::array<uint8_t, 256> leading(uint32_t bit) {
  std::array<uint8_t, 256> t{};
  for (uint32_t b = 0; b < 256; ++b) {
    uint8_t n = 0;
    while (n < 8 && ((b >> (7 - n)) & 1) == bit) ++n;
    t[b] = n;
  }
  return t;
}
inline constexpr std::array<uint8_t, 256> kLeadingZeros = leading(0);
inline constexpr std::array<uint8_t, 256> kLeadingOnes = leading(1);

constexpr std::array<uint8_t, 256> reversal() {
  std::array<uint8_t, 256> t{};
  for (uint32_t b = 0; b < 256; ++b) {
    uint32_t r = 0;
    for (uint32_t k = 0; k < 8; ++k) r |= ((b >> k) & 1) << (7 - k);
    t[b] = static_cast<uint8_t>(r);
  }
  return t;
}
// Each byte value with its bits in the opposite order.
inline constexpr std::array<uint8_t, 256> kBitReverse = reversal();
static_assert(kBitReverse[0x01] == 0x80 && kBitReverse[0xC4] == 0x23);

}  // namespace rx::ccitt
