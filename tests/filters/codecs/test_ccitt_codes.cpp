// Rows coded by hand from the fax code tables, checked in both directions:
// the encoder must write exactly these bits and the decoder must read them
// back into the same picture. Pictures here have set bits black
// (polarity 0), as a page is usually thought of.
#include <gtest/gtest.h>

#include <algorithm>

#include "IO/io_rec.h"
#include "filters/codecs/ccitt_harness.h"
#include "support/engine_fixture.h"

using namespace ccitt_test;
using rx::CcittDecodeParams;
using rx::CcittEncodeParams;

namespace {

const std::string kEol = "000000000001";
const std::string kEofb = kEol + kEol;

std::string times(int n, const std::string& s) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

CcittEncodeParams enc(int32_t variant) {
  CcittEncodeParams s;
  s.variant = variant;
  s.polarity = 0;
  s.end_of_data = 0;
  return s;
}

CcittDecodeParams dec(int32_t variant) {
  CcittDecodeParams s;
  s.variant = variant;
  s.polarity = 0;
  return s;
}

class CcittCodes : public EngineTest {
 protected:
  // The encoder writes `expected` and the decoder reads it back.
  void both_ways(const Picture& p, const CcittEncodeParams& e, const std::string& expected,
                 int32_t decode_variant = 0) {
    int32_t code = -1;
    const std::vector<uint8_t> out = encode(p, e, &code);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(bit_string(out), bit_string(bits(expected)));
    CcittDecodeParams d = dec(decode_variant != 0 ? decode_variant : e.variant);
    const Decoded back = decode(bits(expected), p.width, static_cast<int32_t>(p.rows.size()), d);
    EXPECT_EQ(back.code, 0);
    EXPECT_EQ(back.result.exhausted, 0);
    EXPECT_TRUE(back.picture(p.width) == p);
  }
};

}  // namespace

TEST_F(CcittCodes, OneDimensionalRunsUseMakeupAndTerminatingCodes) {
  // A white row of 1728: make-up 1728, then terminating 0.
  both_ways(Picture(1728, 1), enc(2), "010011011" "00110101");
  // A run of 2561: the 2560 make-up code, then terminating 1.
  both_ways(Picture(2561, 1), enc(2), "000000011111" "000111");
  // 4 white, 3 black, 9 white.
  Picture p(16, 1);
  p.span(0, 4, 7);
  both_ways(p, enc(2), "1011" "10" "10100");
  // A row that starts black begins with an empty white run.
  Picture b(8, 1);
  b.span(0, 0, 2);
  both_ways(b, enc(2), "00110101" "11" "1110");
  // 3000 black: 2560, then make-up 384 and terminating 56 (black codes).
  Picture black(3000, 1);
  black.span(0, 0, 3000);
  both_ways(black, enc(2), "00110101" "000000011111" "000000110100" "000000101000");
  // 2624 white is 2560 + 64: 2560, then make-up 64 and terminating 0.
  both_ways(Picture(2624, 1), enc(2), "000000011111" "11011" "00110101");
}

TEST_F(CcittCodes, ModifiedHuffmanRowsStartOnByteBoundaries) {
  Picture p(8, 2);
  p.span(1, 7, 8);
  // Row 1: white 8. Row 2: white 7, black 1.
  both_ways(p, enc(2), "10011000" "1111" "010");
}

TEST_F(CcittCodes, GroupThreeEndsRowsWithEolsAndTheDataWithRtc) {
  CcittEncodeParams e = enc(3);
  e.end_of_data = 1;
  both_ways(Picture(8, 1), e, "10011" + kEol + times(6, kEol));
  // Fill: 3 bits are free after the row, so the EOL field is 3 + 16 bits.
  e.fill = 1;
  e.end_of_data = 0;
  both_ways(Picture(8, 1), e, "10011" + std::string(18, '0') + "1");
  // An EOL before the first row starts on an empty byte: 16 bits.
  e.eol_first = 1;
  both_ways(Picture(8, 1), e, std::string(15, '0') + "1" "10011" + std::string(18, '0') + "1");
  // With 4 bits free, the field is 4 + 8 bits: the bare EOL.
  e.eol_first = 0;
  both_ways(Picture(4, 1), e, "1011" + kEol);
  // A full byte leaves 8 free: 16 bits.
  Picture q(12, 1);
  q.span(0, 11, 12);
  both_ways(q, e, "01000" "010" + std::string(15, '0') + "1");
}

TEST_F(CcittCodes, AlignedGroupThreeUsesWideEolFieldsAndThirtyTwoBitRtc) {
  CcittEncodeParams e = enc(4);
  both_ways(Picture(8, 1), e, "10011" + std::string(26, '0') + "1");
  e.end_of_data = 1;
  both_ways(Picture(8, 1), e,
            "10011" + std::string(26, '0') + "1" + times(6, std::string(31, '0') + "1"));
}

TEST_F(CcittCodes, TwoDimensionalGroupThreeTagsEveryRow) {
  CcittEncodeParams e = enc(10);
  e.k = 2;
  e.end_of_data = 1;
  // Row 1 one-dimensional, row 2 two-dimensional (a V0 against row 1), row
  // 3 one-dimensional again.
  both_ways(Picture(8, 3), e,
            kEol + "1" "10011" + kEol + "0" "1" + kEol + "1" "10011" + times(6, kEol + "1"));
  // Aligned: each EOL ends on a byte, the tag bit follows it.
  CcittEncodeParams a = enc(11);
  a.k = 2;
  both_ways(Picture(8, 2), a,
            std::string(15, '0') + "1" "1" "10011" + std::string(17, '0') + "1" "0" "1");
}

TEST_F(CcittCodes, GroupFourCodesRowsAgainstTheRowAbove) {
  CcittEncodeParams e = enc(12);
  e.end_of_data = 1;
  // All-white rows are one V0 each.
  both_ways(Picture(16, 3), e, "111" + kEofb);
  // Black 2..5 under white: horizontal (white 2, black 4) then V0; the same
  // row again is V0 V0 V0.
  Picture h(8, 2);
  h.span(0, 2, 6);
  h.span(1, 2, 6);
  both_ways(h, e, "001" "0111" "011" "1" "111" + kEofb);
  // A white row under black 2..3: pass mode, then V0.
  Picture p(8, 2);
  p.span(0, 2, 4);
  both_ways(p, e, "001" "0111" "11" "1" "0001" "1" + kEofb);
  // Black 3..4 under black 2..5: VR1, VL1, V0.
  Picture v(8, 2);
  v.span(0, 2, 6);
  v.span(1, 3, 5);
  both_ways(v, e, "001" "0111" "011" "1" "011" "010" "1" + kEofb);
  // Offsets 2 and 3 each way: black 5..10 under black 3..7 gives VR2 and
  // VR3; black 0..4 under black 3..7 gives VL3 and VL3.
  Picture w(16, 2);
  w.span(0, 3, 7);
  w.span(1, 5, 10);
  both_ways(w, e, "001" "1000" "011" "1" "000011" "0000011" "1" + kEofb);
  Picture l(16, 2);
  l.span(0, 3, 7);
  l.span(1, 0, 4);
  both_ways(l, e, "001" "1000" "011" "1" "0000010" "0000010" "1" + kEofb);
}

TEST_F(CcittCodes, FillOrderTwoReversesEveryByte) {
  const Picture page = text_page(300, 120, 7);
  for (int32_t variant : {2, 3, 4, 10, 11, 12}) {
    CcittEncodeParams e = enc(variant);
    e.end_of_data = 1;
    const std::vector<uint8_t> msb = encode(page, e);
    e.fill_order = 2;
    std::vector<uint8_t> lsb = encode(page, e);
    ASSERT_EQ(lsb.size(), msb.size()) << variant;
    for (uint8_t& b : lsb) {
      uint8_t r = 0;
      for (int k = 0; k < 8; ++k) r |= static_cast<uint8_t>(((b >> k) & 1) << (7 - k));
      b = r;
    }
    EXPECT_EQ(lsb, msb) << variant;
    CcittDecodeParams d = dec(variant);
    d.fill_order = 2;
    std::vector<uint8_t> reversed = encode(page, e);
    EXPECT_TRUE(decode(reversed, 300, 120, d).picture(300) == page) << variant;
  }
}

TEST_F(CcittCodes, PolarityComplementsRowsInBothDirections) {
  const Picture page = text_page(200, 60, 3);
  CcittEncodeParams e = enc(12);
  const std::vector<uint8_t> black_set = encode(page, e);
  e.polarity = 1;
  EXPECT_EQ(encode(page.inverted(), e), black_set);
  CcittDecodeParams d = dec(12);
  d.polarity = 1;
  EXPECT_TRUE(decode(black_set, 200, 60, d).picture(200) == page.inverted());
  // Rows narrower than a byte are complemented too.
  Picture narrow(5, 1);
  narrow.span(0, 1, 2);
  const std::vector<uint8_t> coded = encode(narrow, enc(2));
  EXPECT_EQ(bit_string(coded), bit_string(bits("000111" "010" "1000")));
  CcittDecodeParams mh = dec(2);
  mh.polarity = 1;
  EXPECT_TRUE(decode(coded, 5, 1, mh).picture(5) == narrow.inverted());
}

TEST_F(CcittCodes, FramedVariantsGoThroughTheFramingWriter) {
  struct Collected {
    std::vector<uint8_t> bytes;
  } got;
  CcittEncodeParams e = enc(100);
  e.end_of_data = 1;
  e.framer = [](void* user, const uint8_t* b, uint32_t n) {
    auto* c = static_cast<Collected*>(user);
    c->bytes.insert(c->bytes.end(), b, b + n);
    return true;
  };
  e.framer_user = &got;
  const Picture p(8, 2);
  EXPECT_TRUE(encode(p, e).empty()) << "nothing reaches the stream";
  EXPECT_EQ(bit_string(got.bytes), bit_string(bits(times(2, "10011" + kEol) + times(6, kEol))));
  got.bytes.clear();
  e.variant = 111;
  encode(p, e);
  EXPECT_EQ(bit_string(got.bytes), bit_string(bits("11" + kEofb)));
  // Without a framing writer the bytes go to the stream.
  e.framer = nullptr;
  EXPECT_EQ(bit_string(encode(p, e)), bit_string(bits("11" + kEofb)));
}

TEST_F(CcittCodes, EncoderRefusesWhatItCannotCode) {
  const Picture p(8, 1);
  for (int32_t variant : {0, 1, 5, 13, 102, 120, 121}) {
    int32_t code = 0;
    encode(p, enc(variant), &code);
    EXPECT_EQ(code, RXE_PARAMETERS_OUT_OF_LIMITS) << variant;
  }
  CcittEncodeParams k0 = enc(10);
  k0.k = 0;
  int32_t code = 0;
  encode(p, k0, &code);
  EXPECT_EQ(code, RXE_PARAMETERS_OUT_OF_LIMITS);
  std::vector<uint8_t> block(64);
  IO_REC io;
  rx::io_from_template(&io);
  rx::io_memory_attach(&io, block.data(), 64, 0);
  RX_BITMAPINFOHEADER h{40, 8, 1, 1, 8, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(rx::ccitt_encode(&io, enc(12), h, 0, 1, nullptr), RXE_BIT_COUNT_UNSUPPORTED);
  h.biBitCount = 1;
  h.biWidth = 0;
  EXPECT_EQ(rx::ccitt_encode(&io, enc(12), h, 0, 1, nullptr), RXE_PARAMETERS_OUT_OF_LIMITS);
}

TEST_F(CcittCodes, ShortWriteIsReported) {
  std::vector<uint8_t> block(4);
  IO_REC io;
  rx::io_from_template(&io);
  rx::io_memory_attach(&io, block.data(), 4, 0);
  io.raster_get = [](IO_REC*, uint8_t* row, int32_t, int32_t n) {
    std::fill(row, row + n, uint8_t{0x5A});
    return 0;
  };
  RX_BITMAPINFOHEADER h{40, 64, 64, 1, 1, 0, 0, 0, 0, 2, 2};
  EXPECT_EQ(rx::ccitt_encode(&io, enc(12), h, 0, 64, nullptr), RXE_CANT_WRITE_PIXEL_DATA);
}
