// Scrambling with a password: the passes worked by hand on lines short
// enough to follow, round trips at every depth and in both 1-bit formats,
// rectangles, refusals in their order, and stops at every line.
#include <string>

#include "IMG_PROC/op_images.h"

using namespace iptest;

namespace {

class Encrypt : public EngineTest {};

// Bytes 2 and 3: stride (2 + 3) / 2 = 2.
const char kTwoThree[] = "\x02\x03";

RX_HIMAGE sample(int32_t bits, bool runs = false, int32_t width = 29, int32_t height = 13) {
  const int32_t levels = bits == 1 ? 2 : bits == 4 ? 16 : 256;
  return make_fn(bits, width, height, [&](int32_t x, int32_t y) { return uint8_t((x * 7 + y * 13 + x * y) % levels); },
                 runs);
}

}  // namespace

TEST_F(Encrypt, OneRowWorkedByHand) {
  // One row of five 8-bit pixels: column lines are single bytes, so only
  // the two row passes (row 0: c0 = 2) and the mixing pass act.
  // row pass: table of 2 columns  10 20 / 30 40 / 50  read by columns
  //           -> 10 30 50 20 40; rotated by -2, byte j = byte (j - 2) mod 5
  //           -> 20 40 10 30 50
  // mixing:   xor 2, 3, 2, 3, 2 -> 22 43 8 29 48
  // row pass: -> 22 8 48 43 29 -> 43 29 22 8 48
  RX_HIMAGE image = make(8, {{10, 20, 30, 40, 50}});
  ASSERT_EQ(RX_IP_encrypt(image, nullptr, 0, kTwoThree), 0);
  EXPECT_EQ(rows_of(image), (Rows{{43, 29, 22, 8, 48}}));
  ASSERT_EQ(RX_IP_decrypt(image, nullptr, 0, kTwoThree), 0);
  EXPECT_EQ(rows_of(image), (Rows{{10, 20, 30, 40, 50}}));
}

TEST_F(Encrypt, ColumnPassesUseTheImageColumnNumber) {
  // Column 1 of a 2 x 5 image alone: its passes take c(1 mod 2) = 3; the row
  // lines are one byte, so rows do not move and mixing xors byte 0 with 2.
  // column pass: 10 20 30 40 50 -> 10 30 50 20 40 -> byte (j - 3) mod 5
  //              -> 50 20 40 10 30
  // mixing:      -> 48 22 42 8 28
  // column pass: -> 48 42 28 22 8 -> 28 22 8 48 42
  RX_HIMAGE image = make(8, {{1, 10}, {2, 20}, {3, 30}, {4, 40}, {5, 50}});
  const int32_t rect[] = {1, 0, 1, 4};
  ASSERT_EQ(RX_IP_encrypt(image, rect, 0, kTwoThree), 0);
  EXPECT_EQ(rows_of(image), (Rows{{1, 28}, {2, 22}, {3, 8}, {4, 48}, {5, 42}}));
}

TEST_F(Encrypt, ColourLinesMixTheChannelsAndNegativeBytesRotateBack) {
  // Password bytes 5 and -1: stride 4 / 2 = 2. One row of two 24-bit
  // pixels, bytes 1 2 3 | 4 5 6.
  // columns: x 0: 1 2 3 -> 1 3 2 -> by -5 (= +1 mod 3) -> 3 2 1
  //          x 1: 4 5 6 -> 4 6 5 -> by +1 -> 6 5 4
  // row 0:   3 2 1 6 5 4 -> 3 1 5 2 6 4 -> by -5 (= +1 mod 6) -> 1 5 2 6 4 3
  // mixing:  xor 5, 255, ... -> 4 250 7 249 1 252
  // columns: 4 250 7 -> 4 7 250 -> 7 250 4;  249 1 252 -> 249 252 1 -> 252 1 249
  // row 0:   7 250 4 252 1 249 -> 7 4 1 250 252 249 -> 4 1 250 252 249 7
  RX_HIMAGE image = make(24, {{1, 2, 3, 4, 5, 6}});
  ASSERT_EQ(RX_IP_encrypt(image, nullptr, 0, "\x05\xff"), 0);
  EXPECT_EQ(rows_of(image), (Rows{{4, 1, 250, 252, 249, 7}}));
}

TEST_F(Encrypt, StrideLongerThanTheLineOnlyRotatesAndMixes) {
  // "ab": stride (97 + 98) / 2 = 97, so the three-byte row is not
  // transposed. Row 0 rotates by -97 (= -1 mod 3): 1 2 3 -> 3 1 2; xor 97,
  // 98, 97 -> 98 99 99; rotate again -> 99 98 99.
  RX_HIMAGE image = make(8, {{1, 2, 3}});
  ASSERT_EQ(RX_IP_encrypt(image, nullptr, 0, "ab"), 0);
  EXPECT_EQ(rows_of(image), (Rows{{99, 98, 99}}));
}

TEST_F(Encrypt, RoundTripsAtEveryDepthAndFormat) {
  const struct {
    int32_t bits;
    bool runs;
  } kinds[] = {{1, false}, {1, true}, {4, false}, {8, false}, {24, false}};
  const std::string long_password(5000, 'q');
  for (const auto& k : kinds)
    for (const char* password : {"secret", "\x7f", long_password.c_str()}) {
      SCOPED_TRACE(testing::Message() << k.bits << (k.runs ? " runs" : "") << ", password length "
                                      << std::string(password).size());
      RX_HIMAGE image = sample(k.bits, k.runs);
      const Snapshot before = snapshot(image);
      ASSERT_EQ(RX_IP_encrypt(image, nullptr, 0, password), 0);
      const Snapshot scrambled = snapshot(image);
      EXPECT_NE(scrambled.rows, before.rows);
      EXPECT_EQ(scrambled.compression, before.compression);
      ASSERT_EQ(RX_IP_decrypt(image, nullptr, 0, password), 0);
      EXPECT_EQ(snapshot(image), before);
    }
}

TEST_F(Encrypt, AnotherPasswordLeavesThePictureScrambled) {
  for (int32_t bits : {1, 8, 24}) {
    RX_HIMAGE image = sample(bits);
    const Rows before = rows_of(image);
    ASSERT_EQ(RX_IP_encrypt(image, nullptr, 0, "secret"), 0);
    ASSERT_EQ(RX_IP_decrypt(image, nullptr, 0, "secreu"), 0);
    EXPECT_NE(rows_of(image), before) << bits;
  }
}

TEST_F(Encrypt, OnlyTheRectangleChanges) {
  for (int32_t bits : {1, 4, 8, 24}) {
    SCOPED_TRACE(bits);
    RX_HIMAGE image = sample(bits);
    const Rows before = rows_of(image);
    const int32_t rect[] = {3, 2, 17, 9};
    ASSERT_EQ(RX_IP_encrypt(image, rect, 0, "pass word"), 0);
    const Rows after = rows_of(image);
    const int32_t bpp = bits == 24 ? 3 : 1;
    bool inside_changed = false;
    for (int32_t y = 0; y < 13; ++y)
      for (int32_t x = 0; x < 29 * bpp; ++x) {
        const bool inside = y >= 2 && y <= 9 && x / bpp >= 3 && x / bpp <= 17;
        if (!inside) ASSERT_EQ(after[y][x], before[y][x]) << x << ", " << y;
        else inside_changed |= after[y][x] != before[y][x];
      }
    EXPECT_TRUE(inside_changed);
    // Rectangles reaching past the image are clamped alike both ways.
    const int32_t wide[] = {-5, 4, 400, 300};
    ASSERT_EQ(RX_IP_encrypt(image, wide, 0, "x"), 0);
    ASSERT_EQ(RX_IP_decrypt(image, wide, 0, "x"), 0);
    ASSERT_EQ(RX_IP_decrypt(image, rect, 0, "pass word"), 0);
    EXPECT_EQ(rows_of(image), before);
  }
}

TEST_F(Encrypt, RefusalsComeInOrderAndChangeNothing) {
  struct Case {
    int32_t bits;
    const char* password;
    int32_t method;
    Codes want;
  };
  const Case cases[] = {
      {16, "", 1, {RXE_BIT_COUNT_UNSUPPORTED, 16, 0}},
      {8, "", 1, {RXE_INVALID_PASSWORD_LENGTH, 0, 0}},
      {8, nullptr, 0, {RXE_INVALID_PASSWORD_LENGTH, 0, 0}},
      // Signed sums of 0 and below give no stride: -128 + 1, and 1 - 1.
      {8, "\x80\x01", 0, {RXE_INVALID_PASSWORD_LENGTH, 2, -127}},
      {8, "\x01\xff", 0, {RXE_INVALID_PASSWORD_LENGTH, 2, 0}},
      // 1 + 1 - 1 = 1 over three bytes is a stride of 0 too.
      {8, "\x01\x01\xff", 0, {RXE_INVALID_PASSWORD_LENGTH, 3, 1}},
      {24, "key", 1, {RXE_INVALID_ENCRYPTION_MODE, 1, 0}},
      {1, "key", -1, {RXE_INVALID_ENCRYPTION_MODE, -1, 0}},
  };
  for (const Case& c : cases)
    for (bool decrypt : {false, true}) {
      RX_HIMAGE image = c.bits == 16 ? make16(5, 4, RX_BI_RGB, [](int32_t x, int32_t y) { return uint16_t(x + 9 * y); })
                                     : sample(c.bits);
      const Snapshot before = snapshot(image);
      const int32_t blocks = rx::mem_live_block_count();
      const int32_t n = decrypt ? RX_IP_decrypt(image, nullptr, c.method, c.password)
                                : RX_IP_encrypt(image, nullptr, c.method, c.password);
      EXPECT_EQ(n, 1);
      EXPECT_EQ(first_error(), c.want) << c.bits << " " << c.method;
      EXPECT_EQ(snapshot(image), before);
      EXPECT_EQ(rx::mem_live_block_count(), blocks);
    }
  EXPECT_EQ(RX_IP_encrypt(0, nullptr, 0, "key"), 1);
  EXPECT_EQ(first_error(), (Codes{RXE_INVALID_HANDLE, 0, 0}));
}

TEST_F(Encrypt, StatusCallbackHearsEveryLineAndCanStop) {
  // 6 x 4 rectangle: 2 x 6 column lines and 3 x 4 row lines, 24 in all,
  // which is 3 x (3 - 0) + 2 x (5 - 0) + 5.
  const int32_t total = 24;
  {
    RX_HIMAGE image = sample(8, false, 6, 4);
    StatusLog log;
    ASSERT_EQ(RX_IP_encrypt(image, nullptr, 0, "key"), 0);
    ASSERT_EQ(log.calls.size(), size_t(total));
    for (int32_t i = 0; i < total; ++i) EXPECT_EQ(log.calls[i], std::make_pair(i + 1, total));
  }
  for (bool runs : {false, true})
    for (int32_t stop = 1; stop <= total; ++stop) {
      SCOPED_TRACE(testing::Message() << "stop after line " << stop << (runs ? " runs" : ""));
      RX_HIMAGE image = sample(1, runs, 6, 4);
      const Snapshot before = snapshot(image);
      const int32_t blocks = rx::mem_live_block_count();
      {
        StatusLog log;
        log.stop_after = stop;
        EXPECT_EQ(RX_IP_decrypt(image, nullptr, 0, "key"), 1);
        EXPECT_EQ(first_error(), (Codes{RXE_INTERRUPTED_BY_USER, stop, total}));
        EXPECT_EQ(log.calls.size(), size_t(stop));
      }
      // The stop leaves the image partly unscrambled but in its format.
      EXPECT_EQ(compression_of(image), before.compression);
      EXPECT_EQ(rx::mem_live_block_count(), blocks);
    }
}
