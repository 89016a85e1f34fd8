// The convolution and edge rows of `rastrix convert`: how they read their
// arguments, what they refuse, and runs on small grey pictures worked out
// by hand.
#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

#include "command_line.h"
#include "operations.h"
#include "tools/cli_runner.h"

namespace {

using rxcli::Command;
using rxcli::Operation;

// The one operation of `convert in.bmp OPTION VALUE out.bmp`, or the
// refusal's message.
std::variant<Operation, std::string> read(const std::string& option, const std::string& value) {
  const std::vector<std::string> args = {"convert", "in.bmp", option, value, "out.bmp"};
  const Command c = rxcli::parse_command_line(args);
  if (const auto* e = std::get_if<rxcli::UsageError>(&c)) return e->message;
  const auto& ops = std::get<rxcli::ConvertRequest>(c).operations;
  if (ops.size() != 1) return std::string("not one operation");
  return ops[0];
}

Operation taken(const std::string& option, const std::string& value) {
  auto r = read(option, value);
  if (const auto* m = std::get_if<std::string>(&r)) {
    ADD_FAILURE() << option << " " << value << " refused: " << *m;
    return {};
  }
  return std::get<Operation>(r);
}

bool refused(const std::string& option, const std::string& value) {
  return std::holds_alternative<std::string>(read(option, value));
}

TEST(RastrixConvOps, StrengthsAndOperators) {
  EXPECT_EQ(taken("--sharpen", "7").args.n[0], 7);
  EXPECT_EQ(taken("--smooth", "1").args.n[0], 1);
  for (const char* bad : {"0", "8", "x", "", "3.5"}) EXPECT_TRUE(refused("--sharpen", bad)) << bad;
  for (const char* bad : {"0", "5", "-1"}) EXPECT_TRUE(refused("--smooth", bad)) << bad;
  EXPECT_EQ(taken("--edges", "gradient").args.n[0], RX_EDGE_GRADIENT);
  EXPECT_EQ(taken("--edges", "fixed").args.n[0], RX_EDGE_FIXED_5X5);
  EXPECT_EQ(taken("--edges", "diagonal-down").args.n[0], RX_EDGE_DIAGONAL_DOWN);
  EXPECT_TRUE(refused("--edges", "9"));
  EXPECT_EQ(std::get<std::string>(read("--edges", "roberts")),
            "option '--edges' knows the operators gradient, sobel, laplace, fixed, horizontal, vertical, "
            "diagonal-up and diagonal-down, not 'roberts'");
}

TEST(RastrixConvOps, ConvolveKernelsNormalisersAndModes) {
  const Operation fixed = taken("--convolve", "fixed5");
  EXPECT_EQ(fixed.args.n[0], 5);
  EXPECT_EQ(fixed.args.n[1], 5);
  EXPECT_TRUE(fixed.args.kernel.empty());
  EXPECT_EQ(fixed.args.number, 1.0);
  EXPECT_EQ(fixed.args.n[2], RX_KERNEL_RESULT_POSITIVE);
  EXPECT_EQ(fixed.args.n[3], 0);

  const Operation given = taken("--convolve", "3x2=1,-2,3,0,5,-6:0.125:offset");
  EXPECT_EQ(given.args.n[0], 3);
  EXPECT_EQ(given.args.n[1], 2);
  EXPECT_EQ(given.args.kernel, (std::vector<int32_t>{1, -2, 3, 0, 5, -6}));
  EXPECT_EQ(given.args.number, 0.125);
  EXPECT_EQ(given.args.n[2], RX_KERNEL_RESULT_OFFSET);

  const Operation added = taken("--convolve", "fixed3:0.5:add");
  EXPECT_EQ(added.args.n[3], 1);
  EXPECT_EQ(added.args.n[2], RX_KERNEL_RESULT_POSITIVE);

  for (const char* bad : {"fixed4", "3x3=1,2,3", "3x3=1,2,3,4,5,6,7,8,9,10", "17x1=1", "0x1=",
                          "3x1=1,,2", "1x1=1:zero", "1x1=1:1:sideways", "1x1=1:nan", "2x1=1,9999999",
                          "x=1", "fixed3:"})
    EXPECT_TRUE(refused("--convolve", bad)) << bad;
  EXPECT_EQ(std::get<std::string>(read("--convolve", "2x2=1,2,3")),
            "option '--convolve' needs 4 elements for a 2x2 kernel, not 3");
}

using Grey = std::vector<std::vector<uint8_t>>;  // [row from the top][column]

uint32_t le32(const std::string& s, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(s.at(at + static_cast<size_t>(i)));
  return v;
}

// An 8-bit grey BMP of the pixels.
std::string grey_bmp(const Grey& px) {
  const auto w = static_cast<int32_t>(px[0].size()), h = static_cast<int32_t>(px.size());
  std::string s = bmp_bytes(w, h);
  const size_t offset = le32(s, 10), stride = (static_cast<size_t>(w) + 3) / 4 * 4;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      s[offset + static_cast<size_t>(h - 1 - y) * stride + static_cast<size_t>(x)] = static_cast<char>(px[y][x]);
  return s;
}

// The grey levels of an 8-bit BMP, through its palette.
Grey grey_of(const std::string& s) {
  const size_t offset = le32(s, 10), header = le32(s, 14);
  const auto w = static_cast<int32_t>(le32(s, 18)), h = static_cast<int32_t>(le32(s, 22));
  EXPECT_EQ(static_cast<uint8_t>(s.at(28)), 8);
  const size_t stride = (static_cast<size_t>(w) + 3) / 4 * 4;
  Grey out(h);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const auto index = static_cast<uint8_t>(s.at(offset + static_cast<size_t>(h - 1 - y) * stride + static_cast<size_t>(x)));
      out[y].push_back(static_cast<uint8_t>(s.at(14 + header + index * 4u)));
    }
  return out;
}

class RastrixConvRuns : public CliTest {
 protected:
  Grey convert(const std::vector<std::string>& ops, const Grey& in) {
    write("in.bmp", grey_bmp(in));
    std::vector<std::string> args = {"convert", "in.bmp"};
    args.insert(args.end(), ops.begin(), ops.end());
    args.push_back("out.bmp");
    const CliRun r = run(args);
    EXPECT_EQ(r.status, 0) << r.err;
    return r.status == 0 ? grey_of(read("out.bmp")) : Grey{};
  }
};

TEST_F(RastrixConvRuns, SharpenSmoothConvolveAndEdges) {
  const Grey spot = {{50, 50, 50}, {50, 100, 50}, {50, 50, 50}};
  // The 3 x 3 kernel times 1/8, added (worked out in the engine's tests).
  EXPECT_EQ(convert({"--sharpen", "1"}, spot), (Grey{{62, 38, 62}, {25, 125, 25}, {62, 38, 62}}));
  // Box of 3: the middle column sees 100 once, the sides twice (mirrored):
  // (8 x 50 + 100) / 9 = 55, (7 x 50 + 200) / 9 = 61.1 -> 61 in the middle
  // row; the top and bottom rows leave out the row beyond:
  // (5 x 50 + 100) / 9 = 38.9 -> 38 and (4 x 50 + 200) / 9 = 44.4 -> 44.
  EXPECT_EQ(convert({"--smooth", "1"}, spot), (Grey{{44, 38, 44}, {61, 55, 61}, {44, 38, 44}}));
  // A column sum 1 1 1 down the middle: 50 + 100 = 150 top, 200, 150.
  EXPECT_EQ(convert({"--convolve", "1x3=1,1,1"}, spot), (Grey{{100, 150, 100}, {150, 200, 150}, {100, 150, 100}}));
  // The same halved and added to the pixel: 50 + 50, 100 + 100 -> 200.
  EXPECT_EQ(convert({"--convolve", "1x3=1,1,1:0.5:add"}, spot), (Grey{{100, 125, 100}, {125, 200, 125}, {100, 125, 100}}));
  // Laplace: |8 x 130 - 8 x 50| / 8 = 80 at the centre; the border stays.
  EXPECT_EQ(convert({"--edges", "laplace"}, {{50, 50, 50}, {50, 130, 50}, {50, 50, 50}}),
            (Grey{{50, 50, 50}, {50, 80, 50}, {50, 50, 50}}));
}

}  // namespace
