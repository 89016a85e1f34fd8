// The command line itself: what is refused as bad usage, and the help,
// version and format listings that scripts and people read.
#include <regex>

#include "tools/cli_runner.h"

namespace {

class RastrixUsage : public CliTest {};

TEST_F(RastrixUsage, BadCommandLinesExitTwoWithAReasonAndTouchNothing) {
  write("a.bmp", bmp_bytes(2, 2));
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"frobnicate"},
      {"--verbose"},
      {"help", "nosuch"},
      {"info"},
      {"info", "--bogus", "a.bmp"},
      {"info", "--json=yes", "a.bmp"},
      {"formats", "extra"},
      {"convert"},
      {"convert", "a.bmp"},
      {"convert", "a.bmp", "b.bmp", "c.bmp"},
      {"convert", "-q"},
      {"convert", "-q", "0", "a.bmp", "b.bmp"},
      {"convert", "-q", "101", "a.bmp", "b.bmp"},
      {"convert", "--quality=9x", "a.bmp", "b.bmp"},
      {"convert", "-p", "0", "a.bmp", "b.bmp"},
      {"convert", "-p", "99999999999", "a.bmp", "b.bmp"},
      {"convert", "-f", "70000", "a.bmp", "b.bmp"},
      {"convert", "--format", "nosuch", "a.bmp", "b.bmp"},
      {"convert", "-f", "2", "--format", "bmp", "a.bmp", "b.bmp"},
      {"convert", "-n", "a.bmp", "b.bmp"},
      {"convert", "-o", "out", "a.bmp", "b.bmp"},
      {"convert", "--to", "dib"},
      {"convert", "--to", "", "a.bmp"},
      {"convert", "--to", "a/b", "a.bmp"},
      {"convert", "--to", "dib", "-j", "0", "a.bmp"},
      {"convert", "--to", "dib", "-f", "2", "a.bmp"},
      {"convert", "--to", "dib", "--recursive=1", "a.bmp"},
  };
  for (const auto& args : cases) {
    std::string line;
    for (const std::string& a : args) line += a + " ";
    const CliRun r = run(args);
    EXPECT_EQ(r.status, 2) << line;
    EXPECT_TRUE(r.out.empty()) << line;
    EXPECT_NE(r.err.find("rastrix: "), std::string::npos) << line;
    EXPECT_NE(r.err.find("--help"), std::string::npos) << line;
  }
  EXPECT_EQ(files_under(), std::vector<std::string>{"a.bmp"});
}

TEST_F(RastrixUsage, AnOutputFolderThatIsAFileIsBadUsage) {
  write("a.bmp", bmp_bytes(2, 2));
  write("out", "not a folder");
  const CliRun r = run({"convert", "--to", "dib", "-o", "out", "a.bmp"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("'out' is not a folder"), std::string::npos) << r.err;
  EXPECT_EQ(read("out"), "not a folder");
}

TEST_F(RastrixUsage, HelpIsReachableEveryWayAndExplainsExitStatus) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{"--help"}, {"-h"}, {"help"}}) {
    const CliRun r = run(args);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Exit status"), std::string::npos);
    EXPECT_NE(r.out.find("Error Not Found"), std::string::npos);
  }
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"convert", "--help"}, {"help", "convert"}, {"convert", "a", "-h"}}) {
    const CliRun r = run(args);
    EXPECT_EQ(r.status, 0);
    for (const char* option : {"--to", "-o", "-r", "-n", "-j", "-q", "-p", "--format", "hidden"})
      EXPECT_NE(r.out.find(option), std::string::npos) << option;
  }
  const CliRun info = run({"info", "--help"});
  EXPECT_EQ(info.status, 0);
  EXPECT_NE(info.out.find("format_name"), std::string::npos);
}

TEST_F(RastrixUsage, VersionAndFormatsPrintOnStandardOutput) {
  const CliRun v = run({"--version"});
  EXPECT_EQ(v.status, 0);
  EXPECT_TRUE(std::regex_match(v.out, std::regex("rastrix [0-9]+\\.[0-9]+\\.[0-9]+\n")))
      << v.out;

  const CliRun f = run({"formats"});
  EXPECT_EQ(f.status, 0);
  EXPECT_NE(f.out.find("2\tBMP\tload\tsave\n"), std::string::npos);
  EXPECT_NE(f.out.find("21\tJPG\tload\tsave\n"), std::string::npos);
  EXPECT_EQ(f.out.find("UNKNOWN"), std::string::npos) << "code 0 is not a format";
}

}  // namespace
