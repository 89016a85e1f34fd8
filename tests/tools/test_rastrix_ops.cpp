// `rastrix convert` with image operations on small pictures whose results
// are worked out by hand, alone and in batches; and `rastrix ops`.
#include <sstream>

#include "tools/cli_runner.h"

namespace {

using Pixels = std::vector<std::vector<uint32_t>>;  // [row from the top][column], 0xRRGGBB

void put16(std::string& s, uint32_t v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& s, uint32_t v) {
  put16(s, v & 0xFFFF);
  put16(s, v >> 16);
}
uint32_t get(const std::string& s, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(s.at(at + static_cast<size_t>(i)));
  return v;
}

// A 24-bit BMP of the pixels, bottom-up, rows padded to four bytes.
std::string bmp24(const Pixels& px) {
  const uint32_t w = static_cast<uint32_t>(px[0].size()), h = static_cast<uint32_t>(px.size());
  const uint32_t stride = (w * 3 + 3) / 4 * 4;
  std::string s = "BM";
  put32(s, 54 + stride * h);
  put32(s, 0);
  put32(s, 54);
  for (const uint32_t v : {40u, w, h}) put32(s, v);
  put16(s, 1);
  put16(s, 24);
  for (const uint32_t v : {0u, stride * h, 2835u, 2835u, 0u, 0u}) put32(s, v);
  for (uint32_t y = h; y-- > 0;) {
    for (const uint32_t c : px[y]) {
      s += static_cast<char>(c & 0xFF);
      s += static_cast<char>((c >> 8) & 0xFF);
      s += static_cast<char>(c >> 16);
    }
    s.append(stride - w * 3, '\0');
  }
  return s;
}

struct Picture {
  int bits = 0;
  Pixels px;
};

// Reads an uncompressed bottom-up BMP of 1, 4, 8 or 24 bits into colours.
Picture read_bmp(const std::string& s) {
  Picture p;
  const uint32_t offset = get(s, 10, 4), header = get(s, 14, 4);
  const uint32_t w = get(s, 18, 4), h = get(s, 22, 4);
  p.bits = static_cast<int>(get(s, 28, 2));
  const uint32_t stride = (w * static_cast<uint32_t>(p.bits) + 31) / 32 * 4;
  for (uint32_t y = 0; y < h; ++y) {
    const size_t row = offset + static_cast<size_t>(h - 1 - y) * stride;
    std::vector<uint32_t> line;
    for (uint32_t x = 0; x < w; ++x) {
      if (p.bits == 24) {
        line.push_back(get(s, row + x * 3, 3));
        continue;
      }
      const uint32_t bit = x * static_cast<uint32_t>(p.bits);
      const uint32_t byte = static_cast<uint8_t>(s.at(row + bit / 8));
      const uint32_t index = (byte >> (8 - p.bits - bit % 8)) & ((1u << p.bits) - 1);
      line.push_back(get(s, 14 + header + index * 4, 3));
    }
    p.px.push_back(line);
  }
  return p;
}

// 3 x 2:  A B C
//         D E F
constexpr uint32_t A = 0x102030, B = 0x405060, C = 0x708090, D = 0xA0B0C0, E = 0xD0E0F0,
                   F = 0xC86432;
const Pixels kSix = {{A, B, C}, {D, E, F}};

class RastrixOps : public CliTest {
 protected:
  Picture convert(const std::vector<std::string>& ops, const Pixels& in = kSix) {
    write("in.bmp", bmp24(in));
    std::vector<std::string> args = {"convert", "in.bmp"};
    args.insert(args.end(), ops.begin(), ops.end());
    args.push_back("out.bmp");
    const CliRun r = run(args);
    EXPECT_EQ(r.status, 0) << r.err;
    if (r.status != 0) return {};
    return read_bmp(read("out.bmp"));
  }
};

TEST_F(RastrixOps, QuarterTurnsAndMirrors) {
  // Clockwise: the left column, read bottom up, becomes the top row.
  EXPECT_EQ(convert({"--rotate", "90"}).px, (Pixels{{D, A}, {E, B}, {F, C}}));
  EXPECT_EQ(convert({"--rotate", "-90"}).px, (Pixels{{C, F}, {B, E}, {A, D}}));
  EXPECT_EQ(convert({"--mirror"}).px, (Pixels{{C, B, A}, {F, E, D}}));
  EXPECT_EQ(convert({"--flip"}).px, (Pixels{{D, E, F}, {A, B, C}}));
  EXPECT_EQ(convert({"--rotate", "0"}).px, kSix);
  EXPECT_EQ(convert({"--rotate", "360"}).px, kSix);
}

TEST_F(RastrixOps, OperationsApplyInTheOrderGiven) {
  // Crop the top-left 2 x 1, then turn: A over B. The other way round,
  // the turned picture's top-left 2 x 1 is D A.
  EXPECT_EQ(convert({"--crop", "2x1+0+0", "--rotate", "90"}).px, (Pixels{{A}, {B}}));
  EXPECT_EQ(convert({"--rotate", "90", "--crop", "2x1+0+0"}).px, (Pixels{{D, A}}));
}

TEST_F(RastrixOps, CropClampsIntoThePicture) {
  EXPECT_EQ(convert({"--crop", "10x10+1+1"}).px, (Pixels{{E, F}}));
  EXPECT_EQ(convert({"--crop", "5x5+7+9"}).px, (Pixels{{F}}));
}

TEST_F(RastrixOps, ResizeByReplicateAndBySizeOrPercentage) {
  EXPECT_EQ(convert({"--resize", "200%"}).px,
            (Pixels{{A, A, B, B, C, C}, {A, A, B, B, C, C}, {D, D, E, E, F, F}, {D, D, E, E, F, F}}));
  // 3 -> 6 wide keeps the aspect: 2 -> 4 high.
  EXPECT_EQ(convert({"--resize", "6x"}).px.size(), 4u);
  // Half of 3 x 2 rounds to 2 x 1; replicate takes columns 0 and 1.5 -> 1.
  EXPECT_EQ(convert({"--resize", "50%"}).px, (Pixels{{A, B}}));
}

TEST_F(RastrixOps, BilinearHalfwayBetweenTwoColumns) {
  // 2 -> 4 wide: s = (x + 0.5) / 2 - 0.5 = 0, 0.25, 0.75, 1 (last column
  // kept), so 0, 25, 75, 100 per channel after truncation.
  const Pixels in = {{0x000000, 0x646464}};
  EXPECT_EQ(convert({"--resize", "4x1:bilinear"}, in).px,
            (Pixels{{0x000000, 0x191919, 0x4B4B4B, 0x646464}}));
}

TEST_F(RastrixOps, GreyWeighsRedGreenAndBlue) {
  // (200 * 77 + 100 * 151 + 50 * 28) >> 8 = 31900 >> 8 = 124.
  const Picture p = convert({"--gray"}, {{0xC86432}});
  EXPECT_EQ(p.bits, 8);
  EXPECT_EQ(p.px, (Pixels{{0x7C7C7C}}));
}

TEST_F(RastrixOps, DitherToOneBitAndInvert) {
  // Diffusion to one bit from 24: grey 124 (below 128) is black, 200 white.
  const Picture p = convert({"--dither", "diffusion"}, {{0xC86432, 0xC8C8C8}});
  EXPECT_EQ(p.bits, 1);
  EXPECT_EQ(p.px, (Pixels{{0x000000, 0xFFFFFF}}));
  EXPECT_EQ(convert({"--invert"}, {{0x102030}}).px, (Pixels{{0xEFDFCF}}));
}

TEST_F(RastrixOps, ColourReductionKeepsFewColoursExactly) {
  const Picture p = convert({"--colours", "8"});
  EXPECT_EQ(p.bits, 4);  // 16 colours or fewer fit in 4 bits
  EXPECT_EQ(p.px.size(), 2u);
}

TEST_F(RastrixOps, AFailedOperationFailsTheFileAndWritesNothing) {
  write("in.bmp", bmp_bytes(4, 4));  // 8-bit grey: median cut takes 24-bit only
  const CliRun r = run({"convert", "in.bmp", "--mirror", "--colours", "16:median-cut", "out.bmp"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("cannot apply '--colours 16:median-cut' to 'in.bmp'"), std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("  #0 "), std::string::npos) << r.err;  // the engine's stack follows
  EXPECT_EQ(files_under(), (std::vector<std::string>{"in.bmp"}));
}

TEST_F(RastrixOps, MergeCombinesASecondFile) {
  write("b.bmp", bmp24({{0x010101}}));
  EXPECT_EQ(convert({"--merge", "add@1,0:b.bmp"}, {{0x101010, 0xFFFFF0}}).px,
            (Pixels{{0x101010, 0xFFFFF1}}));
  const CliRun r = run({"convert", "in.bmp", "--merge", "add:missing.bmp", "out.bmp"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("cannot apply '--merge add:missing.bmp'"), std::string::npos) << r.err;
}

TEST_F(RastrixOps, BatchesApplyTheOperationsInEveryWorker) {
  write("in/a.bmp", bmp24(kSix));
  write("in/b.bmp", bmp24({{A, B}}));
  write("in/c.bmp", bmp24({{C}, {D}}));
  const CliRun r = run({"convert", "--to", "bmp", "-o", "out", "-j", "2", "--mirror", "in"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(read_bmp(read("out/a.bmp")).px, (Pixels{{C, B, A}, {F, E, D}}));
  EXPECT_EQ(read_bmp(read("out/b.bmp")).px, (Pixels{{B, A}}));
  EXPECT_EQ(read_bmp(read("out/c.bmp")).px, (Pixels{{C}, {D}}));
}

TEST_F(RastrixOps, ScrambleAndUnscrambleWithTheSamePassword) {
  EXPECT_NE(convert({"--scramble", "secret"}).px, kSix);
  EXPECT_EQ(convert({"--scramble", "secret", "--unscramble", "secret"}).px, kSix);
  EXPECT_NE(convert({"--scramble", "secret", "--unscramble", "secreT"}).px, kSix);
  // Deskew reads 1-bit pages only; the file fails and nothing is written.
  write("in.bmp", bmp24(kSix));
  const CliRun r = run({"convert", "in.bmp", "--deskew", "1", "out.bmp"});
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("deskew"), std::string::npos) << r.err;
}

TEST_F(RastrixOps, OpsListsEveryOperationAndHelpExplainsThem) {
  const CliRun r = run({"ops"});
  EXPECT_EQ(r.status, 0);
  std::istringstream lines(r.out);
  std::string line;
  size_t count = 0;
  while (std::getline(lines, line)) {
    ++count;
    EXPECT_TRUE(line.starts_with("--")) << line;
    EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 2) << line;
  }
  EXPECT_GE(count, 15u);
  EXPECT_NE(r.out.find("--rotate\tDEGREES[:expand]\t"), std::string::npos);
  const CliRun help = run({"convert", "--help"});
  EXPECT_NE(help.out.find("  --resize SIZE[:METHOD]\n"), std::string::npos) << help.out;
  EXPECT_NE(help.out.find("  --grey (or --gray)\n"), std::string::npos);
  EXPECT_NE(r.out.find("--scramble\tPASSWORD\t"), std::string::npos);
  EXPECT_NE(r.out.find("--deskew\tLEAST[:expand]\t"), std::string::npos);
}

}  // namespace
