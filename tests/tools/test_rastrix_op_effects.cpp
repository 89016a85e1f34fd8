// The effect rows of `rastrix convert`: what each reads from its argument,
// its defaults, and the values it refuses before the engine sees them.
#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

#include "command_line.h"
#include "operations.h"

namespace {

using rxcli::Command;
using rxcli::Operation;

Command parse(std::vector<std::string> args) { return rxcli::parse_command_line(args); }

Operation one(const std::string& option, const std::string& value) {
  const Command c = parse({"convert", "in.bmp", option, value, "out.bmp"});
  const auto* r = std::get_if<rxcli::ConvertRequest>(&c);
  if (r == nullptr || r->operations.size() != 1) {
    ADD_FAILURE() << option << " " << value << " refused";
    return {};
  }
  return r->operations[0];
}

bool refused(const std::string& option, const std::string& value) {
  const Command c = parse({"convert", "in.bmp", option, value, "out.bmp"});
  return std::holds_alternative<rxcli::UsageError>(c);
}

TEST(RastrixOpEffects, StrengthsTilesAndLevelsInTheirRanges) {
  EXPECT_EQ(one("--blur", "2").args.n[0], 2);
  EXPECT_EQ(one("--diffuse", "16").args.n[0], 16);
  EXPECT_EQ(one("--posterize", "2").args.n[0], 2);
  EXPECT_EQ(one("--posterise", "256").def->name, "posterize");
  for (const char* bad : {"0", "3", "1.5", "x", ""}) EXPECT_TRUE(refused("--blur", bad)) << bad;
  for (const char* bad : {"0", "17", "-1"}) EXPECT_TRUE(refused("--diffuse", bad)) << bad;
  for (const char* bad : {"1", "257", "many"}) EXPECT_TRUE(refused("--posterize", bad)) << bad;
}

TEST(RastrixOpEffects, DirectionsWithNormalisersLengthsAndBlocks) {
  const Operation emboss = one("--emboss", "3");
  EXPECT_EQ(emboss.args.n[0], 3);
  EXPECT_EQ(emboss.args.number, 1.0) << "the normaliser defaults to 1";
  const Operation stitch = one("--stitch", "8:0.5");
  EXPECT_EQ(stitch.args.n[0], 8);
  EXPECT_EQ(stitch.args.number, 0.5);
  for (const char* bad : {"0", "9", "3:", "3:inf", "3:x", ":1"})
    EXPECT_TRUE(refused("--emboss", bad)) << bad;

  const Operation motion = one("--motion", "16:7");
  EXPECT_EQ(motion.args.n[0], 16);
  EXPECT_EQ(motion.args.n[1], 7);
  for (const char* bad : {"5", "0:3", "17:3", "5:9", "5:0"}) EXPECT_TRUE(refused("--motion", bad)) << bad;

  const Operation twist = one("--twist", "4");
  EXPECT_EQ(twist.args.n[0], 4);
  EXPECT_EQ(twist.args.n[1], 8) << "blocks of 8 unless told";
  EXPECT_EQ(one("--twist", "2:3").args.n[1], 3);
  for (const char* bad : {"0", "5", "2:0", "2:-1"}) EXPECT_TRUE(refused("--twist", bad)) << bad;
}

TEST(RastrixOpEffects, TextureNamesAFileAndDespeckleTakesNothing) {
  EXPECT_EQ(one("--texture", "canvas.bmp").args.file, "canvas.bmp");
  const Command c = parse({"convert", "in.bmp", "--despeckle", "out.bmp"});
  const auto* r = std::get_if<rxcli::ConvertRequest>(&c);
  ASSERT_NE(r, nullptr);
  ASSERT_EQ(r->operations.size(), 1u);
  EXPECT_EQ(r->operations[0].def->name, "despeckle");
}

}  // namespace
