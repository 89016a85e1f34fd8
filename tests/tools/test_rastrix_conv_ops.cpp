// The convolution and edge rows of `rastrix convert`: how they read their
// arguments and what they refuse.
#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

#include "command_line.h"
#include "operations.h"

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

}  // namespace
