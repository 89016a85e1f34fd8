// The JPEG writer's kernels at every level this processor has, against the
// plain ones: rows of blocks through the transform and quantiser, image
// rows through colour conversion and box sampling, and blocks through the
// Huffman coder, on random data with the extreme values mixed in and on
// blocks whose bits are worked out by hand. Also the
// splice of a band coded apart, which must give the bytes of coding it in
// place, and the reader's colour terms for every chroma value.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "IO/io_rec.h"
#include "IO/iobuffer.h"
#include "SUPPORT/kernels.h"
#include "SUPPORT/mem_tag.h"
#include "filters/jpeg/jpeg_color.h"
#include "filters/jpeg/jpeg_enc_kernels.h"
#include "filters/jpeg/jpeg_tables.h"
#include "support/engine_fixture.h"

namespace {

namespace enc = rx::jpeg::enc;
using rx::KernelLevel;

// The levels above the plain one that this processor runs.
std::vector<KernelLevel> fast_levels() {
  std::vector<KernelLevel> out;
  for (KernelLevel l : {KernelLevel::kSse2, KernelLevel::kAvx2})
    if (l <= rx::kernel_level_supported()) out.push_back(l);
  return out;
}

const char* name(KernelLevel l) { return l == KernelLevel::kAvx2 ? "avx2" : "sse2"; }

int8_t sample(std::mt19937& rng, int mode) {
  switch (mode) {
    case 0: return static_cast<int8_t>(rng());
    case 1: return rng() & 1 ? int8_t{127} : int8_t{-128};  // the widest swings
    case 2: return static_cast<int8_t>(static_cast<int>(rng() % 9) - 4);  // nearly flat
    default: return int8_t{-128};
  }
}

// ---- Transform and quantisation -------------------------------------------------

TEST(JpegEncodeKernels, BlockRowsMatchThePlainKernel) {
  std::mt19937 rng(41);
  for (int t = 0; t < 600; ++t) {
    const int32_t count = 1 + static_cast<int32_t>(rng() % 19);  // whole groups of 8 and tails
    const int32_t stride = 8 * count + 8 * static_cast<int32_t>(rng() % 3);
    std::vector<int8_t> src(static_cast<size_t>(stride) * 8);
    const int mode = t % 4;
    for (int8_t& s : src) s = sample(rng, mode);
    int32_t divisors[64];
    for (int32_t& d : divisors) d = t % 3 == 0 ? 1 : (t % 3 == 1 ? 1 + static_cast<int32_t>(rng() % 255) : 255);
    enc::QuantTable q;
    enc::quant_table_make(divisors, &q);
    // Blocks land in MCUs of `group` blocks of this component among others.
    const int32_t group = 1 << (t % 3), per_mcu = group + 2;
    const int32_t mcus = (count + group - 1) / group;
    const size_t size = static_cast<size_t>(mcus) * per_mcu * 64 + 64;
    std::vector<int16_t> want(size, 0x5A5A), got(size, 0x5A5A);
    const enc::BlockSink plain{want.data() + 64, group, per_mcu * 64};
    enc::block_row_reference(src.data(), stride, count, q, plain);
    for (KernelLevel l : fast_levels()) {
      std::fill(got.begin(), got.end(), int16_t{0x5A5A});
      const enc::BlockSink sink{got.data() + 64, group, per_mcu * 64};
      enc::encode_kernels(l).blocks(src.data(), stride, count, q, sink);
      ASSERT_EQ(want, got) << name(l) << " row " << t << " of " << count << " blocks";
    }
  }
}

// ---- Colour conversion and box sampling ----------------------------------------

struct SamplerBuffers {
  std::vector<int8_t> band[3];
  std::vector<uint16_t> acc[3];
  std::vector<uint8_t> plane[3];
};

// A sampler laid out as the writer lays it out for these factors.
enc::RowSampler sampler(const int32_t h[3], const int32_t v[3], int32_t components, int32_t bits,
                        int32_t width, const RX_RGBQUAD* palette, SamplerBuffers& buf) {
  enc::RowSampler s{};
  s.components = components;
  s.bits = bits;
  s.palette = palette;
  s.hmax = *std::max_element(h, h + components);
  s.vmax = *std::max_element(v, v + components);
  s.padded_width = (width + 8 * s.hmax - 1) / (8 * s.hmax) * 8 * s.hmax;
  s.last_x = width - 1;
  for (int c = 0; c < components; ++c) {
    enc::SampleBand& b = s.comp[c];
    b.h = h[c], b.v = v[c];
    b.sx = s.hmax / h[c], b.sy = s.vmax / v[c];
    b.width = s.padded_width / b.sx;
    b.rows = 8 * v[c];
    const auto box = static_cast<uint32_t>(b.sx * b.sy);
    b.reciprocal = ((1u << 16) + box - 1) / box;
    buf.band[c].assign(static_cast<size_t>(b.width) * b.rows, 0);
    buf.acc[c].assign(static_cast<size_t>(b.width), 0);
    buf.plane[c].assign(static_cast<size_t>(s.padded_width) + 64, 0);
    b.band = buf.band[c].data();
    b.acc = buf.acc[c].data();
    s.plane[c] = buf.plane[c].data();
  }
  if (bits == 8) enc::sampler_palette_prepare(&s);
  return s;
}

TEST(JpegEncodeKernels, RowSamplingMatchesThePlainKernel) {
  const uint8_t layouts[][3] = {{0x11, 0x11, 0x11}, {0x21, 0x11, 0x11}, {0x12, 0x11, 0x11},
                                {0x22, 0x11, 0x11}, {0x22, 0x21, 0x21}, {0x42, 0x11, 0x11},
                                {0x24, 0x11, 0x11}, {0x41, 0x11, 0x11}, {0x14, 0x11, 0x11},
                                {0x41, 0x21, 0x21}, {0x14, 0x12, 0x12}};
  std::mt19937 rng(8);
  std::vector<RX_RGBQUAD> colours(256), greys(256);
  for (int i = 0; i < 256; ++i) {
    colours[i] = {uint8_t(rng()), uint8_t(rng()), uint8_t(rng()), 0};
    greys[i] = {uint8_t(i), uint8_t(i), uint8_t(i), 0};
  }
  colours[0] = {0, 0, 0, 0};
  colours[255] = {255, 255, 255, 0};
  for (const auto& l : layouts) {
    for (int32_t bits : {24, 8, 1 /* grey palette, one component */}) {
      for (int32_t width : {1, 5, 15, 16, 17, 31, 33, 64, 100, 257}) {
        const int32_t components = bits == 1 ? 1 : 3;
        const int32_t depth = bits == 1 ? 8 : bits;
        int32_t h[3], v[3];
        for (int c = 0; c < 3; ++c) h[c] = l[c] >> 4, v[c] = l[c] & 15;
        if (components == 1) h[0] = v[0] = 1;
        const RX_RGBQUAD* palette = bits == 1 ? greys.data() : colours.data();
        const int32_t rows = 8 * *std::max_element(v, v + components);
        const size_t row_bytes = static_cast<size_t>(depth / 8) * width + 64;
        std::vector<std::vector<uint8_t>> image(static_cast<size_t>(rows), std::vector<uint8_t>(row_bytes));
        for (int32_t r = 0; r < rows; ++r)
          for (auto& b : image[r]) b = r % 5 == 0 ? 255 : (r % 5 == 1 ? 0 : uint8_t(rng()));
        SamplerBuffers plain_buf, fast_buf;
        enc::RowSampler plain = sampler(h, v, components, depth, width, palette, plain_buf);
        for (const auto& row : image) enc::row_sample_reference(&plain, row.data());
        for (KernelLevel lv : fast_levels()) {
          enc::RowSampler fast = sampler(h, v, components, depth, width, palette, fast_buf);
          for (const auto& row : image) enc::encode_kernels(lv).sample(&fast, row.data());
          for (int c = 0; c < components; ++c)
            ASSERT_EQ(plain_buf.band[c], fast_buf.band[c])
                << name(lv) << " layout " << int(l[0]) << " bits " << bits << " width " << width
                << " component " << c;
        }
      }
    }
  }
}

// Hand-worked: a 2x1 luma box of (255, 0, 0) and (0, 0, 255) pixels.
TEST(JpegEncodeKernels, ColourConversionTellingValues) {
  const enc::Ycc red = enc::ycc_of(0, 0, 255), blue = enc::ycc_of(255, 0, 0);
  EXPECT_EQ(red.y, 77);   // (77 255 + 128) >> 8
  EXPECT_EQ(red.cb, 85);  // (32768 - 43 255) >> 8
  EXPECT_EQ(red.cr, 255);
  EXPECT_EQ(blue.y, 29);
  EXPECT_EQ(blue.cb, 255);
  EXPECT_EQ(blue.cr, 107);  // (32768 - 21 255) >> 8
  for (KernelLevel lv : fast_levels()) {
    const int32_t h[3] = {2, 1, 1}, v[3] = {1, 1, 1};
    SamplerBuffers buf;
    enc::RowSampler s = sampler(h, v, 3, 24, 16, nullptr, buf);
    std::vector<uint8_t> row(3 * 16 + 64, 0);
    for (int x = 0; x < 16; ++x) row[3 * x + (x % 2 ? 0 : 2)] = 255;  // red, blue, red, ...
    for (int r = 0; r < 8; ++r) enc::encode_kernels(lv).sample(&s, row.data());
    EXPECT_EQ(buf.band[0][0], 77 - 128) << name(lv);
    EXPECT_EQ(buf.band[0][1], 29 - 128) << name(lv);
    EXPECT_EQ(buf.band[1][0], (85 + 255) / 2 - 128) << name(lv) << ": the box average truncates";
    EXPECT_EQ(buf.band[2][0], (255 + 107) / 2 - 128) << name(lv);
  }
}

// ---- Huffman coding ---------------------------------------------------------------

class JpegEncodeBits : public EngineTest {
 protected:
  // Codes the blocks with `coder` and returns the bytes, padding included.
  // With `split` > 0, the blocks from `split` on are coded raw apart and
  // spliced in, as the helper thread's band is.
  // With `rest`, the blocks from the first on are coded by `rest` instead.
  using Rest = std::function<void(enc::BitWriter&, int32_t*)>;
  std::vector<uint8_t> code(enc::BlockEncodeFn coder, const std::vector<std::array<int16_t, 64>>& blocks,
                            size_t split = 0, const Rest& rest = nullptr) {
    std::vector<uint8_t> mem(1 << 20);
    IO_REC io{};
    RPb_IO_inst_lookup(&io);
    rx::io_memory_attach(&io, mem.data(), static_cast<int32_t>(mem.size()), 0);
    rx::TagGuard tag;
    rx::IO_BUFFER out{};
    EXPECT_EQ(rx::io_buffer_open(&io, tag.tag(), &out, 10000, rx::kIoBufferWrite), 0);
    auto bw = std::make_unique<enc::BitWriter>();
    bw->out = &out;
    int32_t predictor = 0;
    const size_t direct = rest ? 1 : (split == 0 ? blocks.size() : split);
    for (size_t i = 0; i < direct; ++i)
      coder(*bw, blocks[i].data(), &predictor, enc::kDcLuminanceCodes, enc::kAcLuminanceCodes);
    if (rest) rest(*bw, &predictor);
    if (split != 0) {
      // Raw, with the bit position after every block noted; spliced in
      // pieces of a few blocks, as the helper's bands are.
      auto raw = std::make_unique<enc::BitWriter>();
      std::vector<uint8_t> raw_bytes(blocks.size() * enc::BitWriter::kRawBlockBytes +
                                     enc::BitWriter::kRawSlack);
      raw->raw_start(raw_bytes.data());
      std::vector<int64_t> ends;
      for (size_t i = split; i < blocks.size(); ++i) {
        coder(*raw, blocks[i].data(), &predictor, enc::kDcLuminanceCodes, enc::kAcLuminanceCodes);
        ends.push_back(raw->raw_bits());
      }
      EXPECT_EQ(raw->raw_finish(), ends.back());
      // In runs of a few blocks, as the bands are.
      int64_t from = 0;
      for (size_t n = 0; n < ends.size(); n += 5) {
        const auto count = static_cast<int32_t>(std::min<size_t>(5, ends.size() - n));
        from = bw->splice_blocks(raw_bytes.data(), from, ends.data() + n, count);
      }
      EXPECT_EQ(from, ends.back());
    }
    bw->finish();
    EXPECT_FALSE(bw->failed);
    EXPECT_EQ(rx::io_buffer_close(&out), 1);
    mem.resize(static_cast<size_t>(rx::io_data_length_get(&io)));
    return mem;
  }
  // Blocks coded by the plain coder; every coder this processor has must
  // write the same bits.
  std::vector<uint8_t> hand_worked(const std::vector<std::array<int16_t, 64>>& blocks) {
    const std::vector<uint8_t> plain = code(enc::block_encode_reference, blocks);
    for (KernelLevel lv : fast_levels()) EXPECT_EQ(code(enc::encode_kernels(lv).code, blocks), plain) << name(lv);
    return plain;
  }
};

TEST_F(JpegEncodeBits, DcOnlyBlockIsDcCodeThenEob) {
  std::array<int16_t, 64> b{};
  b[0] = 5;  // category 3: 100, bits 101; EOB 1010; padding 111111
  EXPECT_EQ(hand_worked({b}), (std::vector<uint8_t>{0x96, 0xBF}));
  b[0] = -5;  // again relative to a predictor of 0: bits of -6 are 010
  EXPECT_EQ(hand_worked({b}), (std::vector<uint8_t>{0x8A, 0xBF}));
  std::array<int16_t, 64> zero{};
  EXPECT_EQ(hand_worked({b, b}), (std::vector<uint8_t>{0x8A, 0x8A}))
      << "the second DC codes the difference 0 (00), then EOB; no padding needed";
  EXPECT_EQ(hand_worked({zero}), (std::vector<uint8_t>{0x28 | 0x03}));  // 00 1010 11
}

TEST_F(JpegEncodeBits, LastPositionEndsWithoutEob) {
  std::array<int16_t, 64> b{};
  b[63] = 1;  // DC 00; 62 zeros: three ZRL, then run 14 size 1, and no EOB
  const auto bytes = hand_worked({b});
  const auto& ac = enc::kAcLuminanceCodes;
  std::string bits = "00" "11111111001" "11111111001" "11111111001";
  for (int i = ac.length(0xE1) - 1; i >= 0; --i) bits += char('0' + (ac.code(0xE1) >> i & 1));
  bits += "1";
  while (bits.size() % 8) bits += '1';
  std::vector<uint8_t> want;
  for (size_t i = 0; i < bits.size(); i += 8) {
    want.push_back(static_cast<uint8_t>(std::stoi(bits.substr(i, 8), nullptr, 2)));
    if (want.back() == 0xFF) want.push_back(0x00);
  }
  EXPECT_EQ(bytes, want);
}

TEST_F(JpegEncodeBits, FfBytesAreStuffed) {
  std::array<int16_t, 64> b{};
  b[0] = 2047;  // DC category 11: 111111110 then 11111111111
  const auto bytes = hand_worked({b});
  // 111111110 11111111111 1010 (EOB): FF 7F FA, the FF stuffed
  EXPECT_EQ(bytes, (std::vector<uint8_t>{0xFF, 0x00, 0x7F, 0xFA}));
}

std::vector<std::array<int16_t, 64>> random_blocks(std::mt19937& rng, int n) {
  std::vector<std::array<int16_t, 64>> out(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    auto& b = out[static_cast<size_t>(i)];
    b.fill(0);
    const int kind = i % 6;
    const int density = kind == 0 ? 1 : (kind == 1 ? 4 : (kind == 2 ? 20 : 64));
    for (int k = 0; k < 64; ++k) {
      if (static_cast<int>(rng() % 64) >= density) continue;
      const int spread = kind == 3 ? 1023 : (kind == 4 ? 2 : 60);
      b[k] = static_cast<int16_t>(static_cast<int>(rng() % (2 * spread + 1)) - spread);
    }
    if (kind == 5) {  // extremes: widest DC swing, widest AC values, last position set
      b[0] = static_cast<int16_t>(i % 12 == 5 ? -1024 : 1016);
      b[1] = 1023;
      b[17] = -1023;
      b[63] = static_cast<int16_t>(i % 4 == 1 ? -1 : 0);
    }
  }
  return out;
}

TEST_F(JpegEncodeBits, EveryCoderWritesThePlainCodersBits) {
  std::mt19937 rng(23);
  const auto blocks = random_blocks(rng, 3000);
  const auto plain = code(enc::block_encode_reference, blocks);
  for (KernelLevel lv : fast_levels())
    EXPECT_EQ(code(enc::encode_kernels(lv).code, blocks), plain) << name(lv);
}

// Runs of zeros around the ZRL boundaries: 15, 16, 17, 31, 32, 47 and 48
// zeros before a value, and blocks ending at every distance from 63.
TEST_F(JpegEncodeBits, ZeroRunsAtTheirLimits) {
  std::vector<std::array<int16_t, 64>> blocks;
  for (int run : {15, 16, 17, 31, 32, 33, 47, 48, 62}) {
    std::array<int16_t, 64> b{};
    b[0] = static_cast<int16_t>(run);
    b[1 + run] = -3;
    blocks.push_back(b);
  }
  for (int end = 40; end < 64; ++end) {
    std::array<int16_t, 64> b{};
    b[end] = 1;
    blocks.push_back(b);
  }
  const auto plain = code(enc::block_encode_reference, blocks);
  for (KernelLevel lv : fast_levels())
    EXPECT_EQ(code(enc::encode_kernels(lv).code, blocks), plain) << name(lv);
}

// The band coders keep up to 64 bits waiting within a block, where the
// block coders keep 32: the same bytes, stuffing and hand-overs whatever
// the bit offset a band starts at, and in raw writers the same bit
// position after every block.
TEST_F(JpegEncodeBits, BandCodersWriteTheBlockCodersBits) {
  std::mt19937 rng(31);
  auto blocks = random_blocks(rng, 2400);
  for (size_t i = 600; i < 660; ++i) {  // 0xFF bytes at every bit offset
    blocks[i].fill(0);
    blocks[i][0] = static_cast<int16_t>(i % 2 ? 2047 : 0);
    blocks[i][1 + i % 7] = static_cast<int16_t>(i % 3 ? 255 : -256);
  }
  const auto plain = code(enc::block_encode_reference, blocks);
  const int8_t component[1] = {0};
  const enc::HuffCodeTable* dc[3] = {&enc::kDcLuminanceCodes};
  const enc::HuffCodeTable* ac[3] = {&enc::kAcLuminanceCodes};
  for (KernelLevel lv : fast_levels()) {
    // Two bands after a first block that leaves the bits at an odd offset.
    const auto banded = code(enc::block_encode_reference, blocks, 0, [&](enc::BitWriter& bw, int32_t* predictor) {
      for (const int32_t first : {1, 1201}) {
        const int32_t count = first == 1 ? 1200 : static_cast<int32_t>(blocks.size()) - first;
        const enc::BandBlocks band{blocks[static_cast<size_t>(first)].data(), count, 1, component, dc, ac, nullptr};
        enc::encode_kernels(lv).band(bw, band, predictor);
      }
    });
    EXPECT_EQ(banded, plain) << name(lv);
    // Raw: the bit position after each block.
    std::vector<uint8_t> raw_bytes(blocks.size() * enc::BitWriter::kRawBlockBytes + enc::BitWriter::kRawSlack);
    auto raw = std::make_unique<enc::BitWriter>();
    raw->raw_start(raw_bytes.data());
    std::vector<int64_t> expected;
    int32_t predictor = 0;
    for (const auto& b : blocks) {
      enc::block_encode_reference(*raw, b.data(), &predictor, enc::kDcLuminanceCodes, enc::kAcLuminanceCodes);
      expected.push_back(raw->raw_bits());
    }
    raw->raw_start(raw_bytes.data());
    std::vector<int64_t> ends(blocks.size());
    predictor = 0;
    const enc::BandBlocks band{blocks[0].data(), static_cast<int32_t>(blocks.size()), 1, component, dc, ac, ends.data()};
    enc::encode_kernels(lv).band(*raw, band, &predictor);
    EXPECT_EQ(ends, expected) << name(lv);
  }
}

TEST_F(JpegEncodeBits, SplicedBandsGiveTheBytesOfCodingInPlace) {
  std::mt19937 rng(29);
  auto blocks = random_blocks(rng, 400);
  // A DC of 2047 codes as 111111110 11111111111: 0xFF bytes to stuff, at
  // whatever bit offset the splice puts them.
  for (size_t i = 198; i < 218; ++i) {
    blocks[i].fill(0);
    blocks[i][0] = static_cast<int16_t>(i % 2 && i < 216 ? 2047 : 0);
  }
  for (enc::BlockEncodeFn coder : {enc::block_encode_reference, enc::encode_kernels(rx::kernel_level_supported()).code}) {
    const auto whole = code(coder, blocks);
    for (size_t split : {size_t{1}, size_t{7}, size_t{150}, size_t{201}, size_t{399}})
      EXPECT_EQ(code(coder, blocks, split), whole) << "split at " << split;
  }
}

// ---- The reader's colour terms ----------------------------------------------------

// Every Cb and Cr value, at every offset within a vector of terms, through
// the fast colour rows and the plain one: the terms the vector paths look
// up sixteen at a time must be the plain tables' entries, the two fixed
// ends included.
TEST(JpegColourTerms, EveryChromaValueGivesThePlainRow) {
  namespace jp = rx::jpeg;
  for (const int32_t half : {1, 2}) {
    for (int32_t shift = 0; shift < 16; ++shift) {
      const int32_t columns = 256 + shift;
      const int32_t width = columns * half;
      std::vector<int8_t> y(static_cast<size_t>(width) + 32), cb(columns + 32), cr(columns + 32);
      for (int32_t i = 0; i < columns; ++i) {
        cb[static_cast<size_t>(i)] = static_cast<int8_t>(i - shift);
        cr[static_cast<size_t>(i)] = static_cast<int8_t>(255 - (i - shift) * 7);
      }
      for (int32_t x = 0; x < width; ++x) y[static_cast<size_t>(x)] = static_cast<int8_t>(x * 37);
      std::vector<int16_t> scratch(3 * (static_cast<size_t>(columns) + 16));
      jp::ChromaTerms terms{nullptr, nullptr, scratch.data(), scratch.data() + columns + 16,
                            scratch.data() + 2 * (columns + 16)};
      const jp::ColourRow in{{y.data(), cb.data(), cr.data()}, {half, 1, 1}, half, &terms};
      std::vector<uint8_t> plain(3 * static_cast<size_t>(width));
      jp::colour_row_reference(in, plain.data(), width);
      for (KernelLevel lv : fast_levels()) {
        std::vector<uint8_t> fast(plain.size());
        terms.cb = terms.cr = nullptr;
        jp::colour_row_choose(in.h, in.hmax, lv)(in, fast.data(), width);
        EXPECT_EQ(fast, plain) << name(lv) << " half " << half << " shift " << shift;
      }
    }
  }
}

}  // namespace
