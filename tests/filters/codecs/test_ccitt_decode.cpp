// The decoders on data that ends early, breaks the rules or is hostile:
// rows must always come out whole and in order, and every stop has its
// code. Also the two row forms (packed and run rows) and the variants'
// framing rules.
#include <gtest/gtest.h>

#include <chrono>

#include "IO/io_rec.h"
#include "SUPPORT/runs.h"
#include "filters/codecs/ccitt_bits.h"
#include "filters/codecs/ccitt_harness.h"
#include "rastrix/rpb.h"
#include "support/engine_fixture.h"
#include "support/files.h"

using namespace ccitt_test;
using rx::CcittDecodeParams;

namespace {

const std::string kEol = "000000000001";

CcittDecodeParams dec(int32_t variant, int32_t polarity = 0) {
  CcittDecodeParams s;
  s.variant = variant;
  s.polarity = polarity;
  return s;
}

std::vector<uint8_t> white_row(uint32_t stride) { return std::vector<uint8_t>(stride, 0); }

}  // namespace

class CcittDecode : public EngineTest {};

TEST_F(CcittDecode, RunRowsFollowThePolarity) {
  // Black 2..5 of 8, then a row starting black (0..2), in Group 4.
  const auto data = bits("001" "0111" "011" "1" "000010" "0000010" "1");
  CcittDecodeParams d = dec(12, 1);
  d.run_rows = 1;
  Decoded white_set = decode(data, 8, 2, d);
  ASSERT_EQ(white_set.rows.size(), 2u);
  // Set bits white: the first run of set bits is the white run.
  EXPECT_EQ(run_values(white_set.rows[0]), (std::vector<uint16_t>{12, 2, 6, 8, 8, 8}));
  EXPECT_EQ(run_values(white_set.rows[1]), (std::vector<uint16_t>{12, 0, 3, 8, 8, 8}));
  d.polarity = 0;
  Decoded black_set = decode(data, 8, 2, d);
  EXPECT_EQ(run_values(black_set.rows[0]), (std::vector<uint16_t>{14, 0, 2, 6, 8, 8, 8}));
  EXPECT_EQ(run_values(black_set.rows[1]), (std::vector<uint16_t>{10, 3, 8, 8, 8}));
}

TEST_F(CcittDecode, RowsGoOutUnderTheirIndexesAndEndOfDataLeavesTheRestWhite) {
  // One black-at-0 row, then EOFB; five rows asked for from row 10.
  CcittDecodeParams d = dec(12);
  d.first_row = 10;
  const Decoded got = decode(bits("001" "00110101" "010" "1" + kEol + kEol), 8, 5, d);
  EXPECT_EQ(got.indexes, (std::vector<int32_t>{10, 11, 12, 13, 14}));
  EXPECT_EQ(std::vector<int32_t>({got.code, got.result.end_of_data, got.result.exhausted,
                                  got.result.rows_decoded}),
            std::vector<int32_t>({0, 1, 0, 1}));
  EXPECT_EQ(got.rows[0][0], 0x80);
  for (size_t i = 1; i < 5; ++i) EXPECT_EQ(got.rows[i], white_row(4));
  // The RTC of Group 3 ends the data the same way.
  const Decoded g3 = decode(bits("10011" + kEol + kEol + kEol), 8, 3, dec(3));
  EXPECT_EQ(g3.result.end_of_data, 1);
  EXPECT_EQ(g3.result.rows_decoded, 1);
  EXPECT_EQ(g3.rows.size(), 3u);
}

TEST_F(CcittDecode, DataThatRunsOutIsReportedAndTheRowsStillComeOut) {
  // Horizontal mode cut after its first run.
  const Decoded got = decode(bits("1" "001" "0111"), 8, 3, dec(12));
  EXPECT_EQ(std::vector<int32_t>({got.code, got.result.exhausted, got.result.rows_decoded}),
            std::vector<int32_t>({0, 1, 2}));
  ASSERT_EQ(got.rows.size(), 3u);
  for (const auto& r : got.rows) EXPECT_EQ(r, white_row(4));
  // No data at all.
  for (int32_t variant : {2, 3, 4, 10, 11, 12}) {
    const Decoded none = decode({}, 8, 2, dec(variant));
    EXPECT_EQ(none.result.exhausted, 1) << variant;
    EXPECT_EQ(none.rows.size(), 2u) << variant;
  }
  // A megabyte of zero bits is fill that never ends.
  const auto start = std::chrono::steady_clock::now();
  const Decoded zeros = decode(std::vector<uint8_t>(1 << 20, 0), 1728, 4, dec(3));
  EXPECT_EQ(zeros.result.exhausted, 1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST_F(CcittDecode, UnknownCodesStopWithBadDecodingState) {
  // The two-dimensional extension code, then a black code that does not
  // exist.
  const std::vector<std::string> bad = {"0000001" "111", "001" "1000" "000000001111"};
  for (const std::string& b : bad) {
    CcittDecodeParams d = dec(12);
    const Decoded got = decode(bits(b), 8, 3, d);
    EXPECT_EQ(got.code, RXE_GROUP_4_BAD_DECODING_STATE) << b;
    EXPECT_EQ(got.rows.size(), 3u) << "all rows still delivered";
  }
  // Black 0..2 as reference, then VL1 from b1 = 0.
  EXPECT_EQ(decode(bits("001" "00110101" "11" "1" "010"), 8, 2, dec(12)).code,
            RXE_GROUP_4_BAD_DECODING_STATE);
  // A white code that does not exist in one-dimensional data.
  EXPECT_EQ(decode(bits("000000001"), 8, 1, dec(2)).code, RXE_GROUP_4_BAD_DECODING_STATE);
}

TEST_F(CcittDecode, RunsPastTheWidthAreCut) {
  // White 10 in a row of 8, then the next byte-aligned row: black 8.
  const Decoded mh = decode(bits("00111000" "00110101" "000101"), 8, 2, dec(2));
  EXPECT_EQ(mh.code, 0);
  EXPECT_EQ(mh.rows[0][0], 0x00);
  EXPECT_EQ(mh.rows[1][0], 0xFF);
  // A 2560 make-up chain far past the width.
  std::string longrun;
  for (int i = 0; i < 1000; ++i) longrun += "000000011111";
  const Decoded far = decode(bits(longrun + "00110101"), 16, 1, dec(2));
  EXPECT_EQ(far.code, 0);
  EXPECT_EQ(far.rows[0], white_row(4));
  // Vertical right of the row end is cut at the end.
  const Decoded vr = decode(bits("001" "1000" "011" "0000011"), 8, 1, dec(12));
  EXPECT_EQ(vr.code, 0);
  EXPECT_EQ(vr.rows[0][0], 0x1E);
}

TEST_F(CcittDecode, EolsFrameGroupThreeRows) {
  // An EOL before the first row is passed over, searched for when asked,
  // and an EOL inside a row ends it with the rest white.
  const std::string row = "1011" "10" "10100";  // 4 white, 3 black, 9 white
  Decoded got = decode(bits(kEol + row + kEol + row), 16, 2, dec(3));
  EXPECT_EQ(got.code, 0);
  EXPECT_EQ(got.rows[0][0], 0x0E);
  EXPECT_EQ(got.rows[1][0], 0x0E);
  CcittDecodeParams first = dec(3);
  first.eol_first = 1;
  got = decode(bits("1111" "1111" + kEol + row), 16, 1, first);
  EXPECT_EQ(got.rows[0][0], 0x0E) << "leading bits before the first EOL are skipped";
  // Row 1: white 4, black 3, then an EOL; row 2 follows it.
  got = decode(bits("1011" "10" + kEol + row), 16, 2, dec(3));
  EXPECT_EQ(got.code, 0);
  EXPECT_EQ(got.rows[0][0], 0x0E);
  EXPECT_EQ(got.rows[0][1], 0x00);
  EXPECT_EQ(got.rows[1][0], 0x0E);
  // Garbage between rows is skipped up to the next EOL.
  got = decode(bits(row + "1101" + kEol + row), 16, 2, dec(4));
  EXPECT_EQ(got.rows[1][0], 0x0E);
  // Fill zeros of any length before an EOL.
  got = decode(bits(row + std::string(100, '0') + kEol + row), 16, 2, dec(3));
  EXPECT_EQ(got.rows[1][0], 0x0E);
  // 120 reads as 3; 121 as 12.
  EXPECT_EQ(decode(bits(kEol + row + kEol + row), 16, 2, dec(120)).rows[1][0], 0x0E);
  EXPECT_EQ(decode(bits("001" "0111" "011" "1"), 8, 1, dec(121)).rows[0][0], 0x3C);
}

TEST_F(CcittDecode, EndlessEolsEndTheData) {
  std::string eols;
  for (int i = 0; i < 20000; ++i) eols += kEol;
  const auto start = std::chrono::steady_clock::now();
  for (int32_t variant : {2, 3, 4, 10, 11, 12}) {
    const Decoded got = decode(bits(eols), 1728, 1000, dec(variant));
    EXPECT_EQ(got.code, 0) << variant;
    EXPECT_EQ(got.result.end_of_data, 1) << variant;
    EXPECT_EQ(got.rows.size(), 1000u) << variant;
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST_F(CcittDecode, TwoDimensionalGroupThreeSwitchesOnTheTagBit) {
  // Row 1 (1D): black 2..5; row 2 (2D): the same, V0 V0 V0; row 3 (1D): white.
  const std::string data = kEol + "1" "0111" "011" "0111" + kEol + "0" "111" + kEol + "1" "10011";
  const Decoded got = decode(bits(data), 8, 3, dec(10));
  EXPECT_EQ(got.code, 0);
  EXPECT_EQ(got.rows[0][0], 0x3C);
  EXPECT_EQ(got.rows[1][0], 0x3C);
  EXPECT_EQ(got.rows[2][0], 0x00);
}

TEST_F(CcittDecode, DecoderRefusesBadArguments) {
  for (int32_t variant : {0, 1, 5, 100, 101, 110, 111, 122})
    EXPECT_EQ(decode(bits("1"), 8, 1, dec(variant)).code, RXE_PARAMETERS_OUT_OF_LIMITS) << variant;
  const std::pair<int32_t, int32_t> sizes[] = {{0, 1}, {70000, 1}, {8, -1}};
  for (const auto& [width, rows] : sizes)
    EXPECT_EQ(decode(bits("1"), uint32_t(width), rows, dec(12)).code, RXE_PARAMETERS_OUT_OF_LIMITS) << width;
  CcittDecodeParams runs = dec(12), far = dec(12);
  runs.run_rows = 1;
  far.first_row = INT32_MAX;
  EXPECT_EQ(decode(bits("1"), 40000, 1, runs).code, RXE_PARAMETERS_OUT_OF_LIMITS);
  EXPECT_EQ(decode(bits("1"), 8, 2, far).code, RXE_PARAMETERS_OUT_OF_LIMITS);
}

TEST_F(CcittDecode, AFailedDeliveryStopsDecoding) {
  IO_REC io{};
  int calls = 0;
  io.cb_data[RX_CBD_RASTER_SET] = reinterpret_cast<uintptr_t>(&calls);
  io.raster_set = [](IO_REC* r, const uint8_t*, int32_t, int32_t) {
    ++*reinterpret_cast<int*>(r->cb_data[RX_CBD_RASTER_SET]);
    return 7;
  };
  rx::CcittDecodeParams d = dec(12);
  d.width = 8;
  d.rows = 5;
  const auto data = bits("11111");
  EXPECT_NE(rx::ccitt_decode(&io, d, data.data(), 1, nullptr, nullptr), 0);
  EXPECT_EQ(calls, 1);
}

TEST_F(CcittDecode, EveryVariantRoundTripsPagesAndNoise) {
  const Picture pages[] = {text_page(1000, 300, 11), noise(333, 40, 50, 2), noise(77, 30, 3, 5),
                           noise(2700, 3, 1, 9)};
  for (const Picture& p : pages) {
    for (int32_t variant : {2, 3, 4, 10, 11, 12}) {
      for (int32_t fill_order : {1, 2}) {
        const rx::CcittEncodeParams e{
            .variant = variant, .fill_order = fill_order, .polarity = 0, .k = 3, .eol_first = 1, .fill = 1};
        int32_t code = -1;
        const auto coded = encode(p, e, &code);
        ASSERT_EQ(code, 0);
        CcittDecodeParams d = dec(variant);
        d.fill_order = fill_order;
        const Decoded back = decode(coded, p.width, static_cast<int32_t>(p.rows.size()), d);
        EXPECT_EQ(back.code, 0);
        EXPECT_EQ(back.result.exhausted, 0);
        EXPECT_TRUE(back.picture(p.width) == p) << variant << " width " << p.width;
      }
    }
  }
}

// A small block refilled from the stream decodes as the whole data does,
// and the refills stop at the byte count the caller gave.
TEST_F(CcittDecode, RefilledBlocksDecodeLikeOneBlock) {
  const Picture page = noise(700, 40, 30, 8);
  for (int32_t fill_order : {1, 2}) {
    std::vector<uint8_t> coded = encode(page, {.variant = 12, .fill_order = fill_order, .polarity = 0});
    for (uint32_t capacity : {1u, 5u, 64u}) {
      IO_REC io;
      rx::io_from_template(&io);
      rx::io_memory_attach(&io, coded.data(), static_cast<int32_t>(coded.size()),
                           static_cast<int32_t>(coded.size()));
      Decoded d;
      io.raster_set = [](IO_REC* r, const uint8_t* row, int32_t, int32_t n) {
        reinterpret_cast<Decoded*>(r->cb_data[RX_CBD_RASTER_SET])->rows.emplace_back(row, row + n);
        return 0;
      };
      io.cb_data[RX_CBD_RASTER_SET] = reinterpret_cast<uintptr_t>(&d);
      std::vector<uint8_t> block(capacity);
      const int32_t first = RPb_IO_read(&io, block.data(), static_cast<int32_t>(capacity));
      rx::ccitt::Source more{block.data(), capacity, &io,
                             static_cast<int64_t>(coded.size()) - first};
      CcittDecodeParams s = dec(12);
      s.fill_order = fill_order;
      s.width = 700;
      s.rows = 40;
      EXPECT_EQ(rx::ccitt_decode(&io, s, block.data(), static_cast<uint32_t>(first), &more,
                                 &d.result), 0);
      EXPECT_EQ(d.result.exhausted, 0);
      EXPECT_TRUE(d.picture(700) == page) << capacity << " fill order " << fill_order;
      // Half the data given: the decoder runs out and says so.
      rx::io_memory_attach(&io, coded.data(), static_cast<int32_t>(coded.size()),
                           static_cast<int32_t>(coded.size()));
      RPb_IO_read(&io, block.data(), static_cast<int32_t>(capacity));
      more.available = static_cast<int64_t>(coded.size() / 2) - first;
      d.rows.clear();
      EXPECT_EQ(rx::ccitt_decode(&io, s, block.data(), static_cast<uint32_t>(first), &more,
                                 &d.result), 0);
      EXPECT_EQ(d.result.exhausted, 1);
      EXPECT_EQ(d.rows.size(), 40u);
    }
  }
}

// Found by fuzzing: a horizontal mode whose first run reaches the end of a
// one-pixel row, then the data ends. The row must not gain a change at the
// width (its run row would overrun the row buffer).
TEST_F(CcittDecode, ARowCutShortAtItsEndGainsNoChange) {
  const std::vector<uint8_t> data = file_bytes(std::string(RX_TEST_DATA_DIR) +
                                               "/ccitt/bad/fuzz_h_cut_at_width.raw");
  ASSERT_EQ(data.size(), 2u);
  for (int32_t polarity : {0, 1}) {
    CcittDecodeParams d = dec(121, polarity);
    d.fill_order = 2;
    d.run_rows = 1;
    const Decoded got = decode(data, 1, 57, d);
    EXPECT_EQ(got.code, 0);
    EXPECT_EQ(got.result.exhausted, 1);
    ASSERT_EQ(got.rows.size(), 57u);
    // Rows: white (a pass), black (VL1, V0), then cut: black to the end.
    const std::vector<uint16_t> black =
        polarity ? std::vector<uint16_t>{10, 0, 1, 1, 1} : std::vector<uint16_t>{8, 1, 1, 1};
    EXPECT_EQ(run_values(got.rows[1]), black);
    EXPECT_EQ(run_values(got.rows[2]), run_values(got.rows[1]));
    for (const auto& row : got.rows)
      EXPECT_EQ(rx::run_row_check(row.data(), row.size(), 1), row.size());
  }
}

// The bit reader can hold a whole 64-bit word; skipping all of it must
// leave nothing behind (a plain shift by 64 would leave the word as it was
// on this processor, and the decoder would read the same bits again).
TEST(CcittBits, SkippingAllSixtyFourBitsEmptiesTheWord) {
  const uint8_t data[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  rx::ccitt::BitReader bits(data, sizeof data, nullptr, false);
  ASSERT_TRUE(bits.ensure(64));
  ASSERT_EQ(bits.count(), 64u);
  bits.skip(64);
  EXPECT_EQ(bits.count(), 0u);
  EXPECT_EQ(bits.word(), 0u);
  EXPECT_FALSE(bits.ensure(1));
}
