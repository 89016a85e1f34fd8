// The operation options of `rastrix convert`: how each row reads its
// argument, what it refuses, and that operations keep their order.
#include <gtest/gtest.h>

#include <limits>
#include <set>
#include <string>
#include <variant>
#include <vector>

#include "command_line.h"
#include "operations.h"

namespace {

using rxcli::Command;
using rxcli::Operation;

Command parse(std::vector<std::string> args) { return rxcli::parse_command_line(args); }

// The operations of a single conversion `convert in.bmp OPTIONS out.bmp`;
// fails the test when the line is refused.
std::vector<Operation> ops_of(std::vector<std::string> options) {
  std::vector<std::string> args = {"convert", "in.bmp"};
  args.insert(args.end(), options.begin(), options.end());
  args.push_back("out.bmp");
  const Command c = parse(args);
  const auto* r = std::get_if<rxcli::ConvertRequest>(&c);
  if (r == nullptr) {
    const auto* e = std::get_if<rxcli::UsageError>(&c);
    ADD_FAILURE() << "refused: " << (e ? e->message : "?");
    return {};
  }
  return r->operations;
}

Operation one(const std::string& option, const std::string& value) {
  const std::vector<Operation> ops = ops_of({option, value});
  return ops.size() == 1 ? ops[0] : Operation{};
}

// The message of a refused `convert` line, empty when it was taken.
std::string refusal(const std::string& option, const std::string& value) {
  const Command c = parse({"convert", "in.bmp", option, value, "out.bmp"});
  const auto* e = std::get_if<rxcli::UsageError>(&c);
  return e ? e->message : std::string();
}

TEST(RastrixOpTable, OperationsKeepTheOrderGivenAmongOtherOptions) {
  const std::vector<Operation> ops =
      ops_of({"--rotate", "90", "-q", "80", "--resize", "50%:bilinear", "--colours=16:octree",
              "--dither", "bayer", "--mirror"});
  ASSERT_EQ(ops.size(), 5u);
  EXPECT_EQ(ops[0].def->name, "rotate");
  EXPECT_EQ(ops[0].args.number, 90.0);
  EXPECT_EQ(ops[1].def->name, "resize");
  EXPECT_TRUE(ops[1].args.percent);
  EXPECT_EQ(ops[1].args.number, 50.0);
  EXPECT_EQ(ops[1].args.n[2], RX_RESIZE_BILINEAR);
  EXPECT_EQ(ops[2].def->name, "colours");
  EXPECT_EQ(ops[2].args.n[0], 16);
  EXPECT_EQ(ops[2].args.n[1], 0);  // octree
  EXPECT_EQ(ops[3].def->name, "dither");
  EXPECT_EQ(ops[3].args.n[0], 1);  // bayer
  EXPECT_EQ(ops[3].args.n[1], 1);  // one bit unless told
  EXPECT_EQ(ops[4].def->name, "mirror");
  EXPECT_EQ(ops[2].spelling, "--colours 16:octree");
}

TEST(RastrixOpTable, BatchesCarryTheOperations) {
  const Command c = parse({"convert", "--to", "bmp", "--grey", "-j", "2", "--flip", "a", "b"});
  const auto* b = std::get_if<rxcli::BatchRequest>(&c);
  ASSERT_NE(b, nullptr);
  ASSERT_EQ(b->operations.size(), 2u);
  EXPECT_EQ(b->operations[0].def->name, "grey");
  EXPECT_EQ(b->operations[1].def->name, "flip");
  EXPECT_EQ(b->jobs, 2);
}

TEST(RastrixOpTable, AliasesReachTheSameRow) {
  EXPECT_EQ(ops_of({"--gray"}).at(0).def->name, "grey");
  EXPECT_EQ(one("--colors", "32").def->name, "colours");
  EXPECT_EQ(ops_of({"--equalise"}).at(0).def->name, "equalize");
}

TEST(RastrixOpTable, CropIsWidthHeightAndCornerGivingInclusiveCorners) {
  const Operation op = one("--crop", "30x20+5+7");
  EXPECT_EQ(op.args.n[0], 5);
  EXPECT_EQ(op.args.n[1], 7);
  EXPECT_EQ(op.args.n[2], 34);
  EXPECT_EQ(op.args.n[3], 26);
  // A far corner past the int range stays at its end; the engine clamps.
  const Operation far = one("--crop", "2147483647x2+2147483647+0");
  EXPECT_EQ(far.args.n[2], std::numeric_limits<int32_t>::max());
  EXPECT_EQ(far.args.n[3], 1);
  for (const char* bad : {"0x5+0+0", "5x5", "5x5+1", "5x5+-1+0", "x5+0+0", "5+5x1+1", "5x5+0+0+0"})
    EXPECT_NE(refusal("--crop", bad), "") << bad;
}

TEST(RastrixOpTable, ResizeSizesAndMethods) {
  const Operation both = one("--resize", "640x480:average");
  EXPECT_EQ(both.args.n[0], 640);
  EXPECT_EQ(both.args.n[1], 480);
  EXPECT_EQ(both.args.n[2], RX_RESIZE_AVERAGE);
  const Operation wide = one("--resize", "200x");
  EXPECT_EQ(wide.args.n[0], 200);
  EXPECT_EQ(wide.args.n[1], 0);
  EXPECT_EQ(wide.args.n[2], RX_RESIZE_REPLICATE);
  EXPECT_EQ(one("--resize", "x50").args.n[1], 50);
  EXPECT_EQ(one("--resize", "12.5%").args.number, 12.5);
  for (const char* bad : {"0x5", "5x0", "x", "50", "0%", "-5%", "nan%", "1e9%", "50%:nearest", "5x5:",
                          "2147483648x1"})
    EXPECT_NE(refusal("--resize", bad), "") << bad;
}

TEST(RastrixOpTable, RotateTakesFiniteAnglesAndExpand) {
  const Operation turn = one("--rotate", "-7.5:expand");
  EXPECT_EQ(turn.args.number, -7.5);
  EXPECT_EQ(turn.args.n[0], 1);
  EXPECT_EQ(one("--rotate", "1e9").args.number, 1e9);
  for (const char* bad : {"nan", "inf", "-inf", "", "90deg", "90:grow", "1e999"})
    EXPECT_NE(refusal("--rotate", bad), "") << bad;
}

TEST(RastrixOpTable, ColourCountsFollowTheMethodsRanges) {
  EXPECT_EQ(one("--colours", "8").args.n[0], 8);
  EXPECT_EQ(one("--colours", "256:popularity").args.n[1], 2);
  EXPECT_EQ(one("--colours", "16:median-cut").args.n[1], 1);
  for (const char* bad : {"7", "257", "0", "15:median-cut", "15:popularity", "16:kmeans", "16:"})
    EXPECT_NE(refusal("--colours", bad), "") << bad;
}

TEST(RastrixOpTable, DitherMethodsAndDepths) {
  const Operation diffusion = one("--dither", "diffusion:4");
  EXPECT_EQ(diffusion.args.n[0], 0);
  EXPECT_EQ(diffusion.args.n[1], 4);
  EXPECT_EQ(one("--dither", "halftone").args.n[1], 1);
  for (const char* bad : {"halftone:4", "bayer:2", "bayer:8", "floyd", ""})
    EXPECT_NE(refusal("--dither", bad), "") << bad;
}

TEST(RastrixOpTable, PromoteContrastAndBrightnessArguments) {
  EXPECT_EQ(one("--promote", "24").args.n[0], RX_PROMOTE_24);
  EXPECT_EQ(one("--promote", "4").args.n[0], RX_PROMOTE_4);
  EXPECT_NE(refusal("--promote", "16"), "");
  EXPECT_NE(refusal("--promote", "1"), "");
  EXPECT_EQ(one("--contrast", "1.5").args.number, 1.5);
  EXPECT_NE(refusal("--contrast", "-1"), "");
  EXPECT_EQ(one("--brightness", "-255").args.number, -255.0);
  EXPECT_NE(refusal("--brightness", "256"), "");
}

TEST(RastrixOpTable, MergeNamesItsOperationPlaceAndFile) {
  const Operation op = one("--merge", "xor@-3,4:logo:2.bmp");
  EXPECT_EQ(op.args.n[0], RX_MERGE_XOR);
  EXPECT_EQ(op.args.n[1], -3);
  EXPECT_EQ(op.args.n[2], 4);
  EXPECT_EQ(op.args.file, "logo:2.bmp");  // only the first colon separates
  const Operation plain = one("--merge", "offset-add:a.bmp");
  EXPECT_EQ(plain.args.n[0], RX_MERGE_OFFSET_ADD);
  EXPECT_EQ(plain.args.n[1], 0);
  for (const char* bad : {"add", "add:", "blend:a.bmp", "add@1:a.bmp", "add@1,x:a.bmp"})
    EXPECT_NE(refusal("--merge", bad), "") << bad;
}

TEST(RastrixOpTable, OptionsWithoutArgumentsRefuseOne) {
  const Command c = parse({"convert", "in.bmp", "--flip=1", "out.bmp"});
  const auto* e = std::get_if<rxcli::UsageError>(&c);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->message, "option '--flip' takes no value");
  // A refusal names the option and what it needs.
  EXPECT_EQ(refusal("--promote", "16"), "option '--promote' needs a depth of 4, 8 or 24 bits");
}

TEST(RastrixOpTable, EveryRowIsCompleteAndNoNameIsTakenTwice) {
  std::set<std::string> names = {"help", "format", "quality", "page", "to", "out-dir", "recursive",
                                 "no-overwrite", "jobs", "max-pixels"};
  for (const rxcli::OperationDef& d : rxcli::operation_table()) {
    EXPECT_TRUE(names.insert(std::string(d.name)).second) << d.name;
    if (!d.alias.empty()) {
      EXPECT_TRUE(names.insert(std::string(d.alias)).second) << d.alias;
    }
    EXPECT_FALSE(d.summary.empty()) << d.name;
    EXPECT_NE(d.parse, nullptr) << d.name;
    EXPECT_NE(d.apply, nullptr) << d.name;
  }
}

TEST(RastrixOpTable, OpsIsACommandOfItsOwn) {
  EXPECT_TRUE(std::holds_alternative<rxcli::OpsRequest>(parse({"ops"})));
  EXPECT_TRUE(std::holds_alternative<rxcli::UsageError>(parse({"ops", "x"})));
  const Command h = parse({"help", "ops"});
  ASSERT_TRUE(std::holds_alternative<rxcli::HelpRequest>(h));
  EXPECT_EQ(std::get<rxcli::HelpRequest>(h).topic, rxcli::HelpTopic::Ops);
}

TEST(RastrixOpTable, ScrambleTakesThePasswordWholeAndDeskewItsLeastAngle) {
  const std::vector<Operation> ops =
      ops_of({"--scramble", "a:b c", "--unscramble=x", "--deskew", "1", "--deskew=0.5:expand"});
  ASSERT_EQ(ops.size(), 4u);
  EXPECT_EQ(ops[0].def->name, "scramble");
  EXPECT_EQ(ops[0].args.password, "a:b c");
  EXPECT_EQ(ops[1].def->name, "unscramble");
  EXPECT_EQ(ops[1].args.password, "x");
  EXPECT_EQ(ops[2].args.number, 1.0);
  EXPECT_EQ(ops[2].args.n[0], 0);
  EXPECT_EQ(ops[3].args.number, 0.5);
  EXPECT_EQ(ops[3].args.n[0], 1);
  EXPECT_EQ(refusal("--scramble", ""), "option '--scramble' needs a password");
  for (const char* bad : {"", "x", "-1", "89", "1:grow", "nan", "1:expand:expand"})
    EXPECT_NE(refusal("--deskew", bad), "") << bad;
}

}  // namespace
