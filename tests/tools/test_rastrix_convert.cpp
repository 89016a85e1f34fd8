// `rastrix info` and single-file `rastrix convert` on real files: what
// reaches standard output, how failures are reported, and that a failed
// conversion never leaves an output behind.
#include <sys/stat.h>

#include <regex>
#include <sstream>

#include "tools/cli_runner.h"

namespace {

class RastrixConvert : public CliTest {
 protected:
  // Temporary files that outlived a run.
  std::vector<std::string> leftovers() const {
    std::vector<std::string> found;
    for (const std::string& name : files_under())
      if (name.find(".rastrix-tmp") != std::string::npos) found.push_back(name);
    return found;
  }
};

const std::regex kStackEntry(R"(  #\d+ \S+:\d+ code -\d+ \(-?\d+, -?\d+\) .+)");

TEST_F(RastrixConvert, InfoDescribesEachFileOnOneTabSeparatedLine) {
  write("a.bmp", bmp_bytes(5, 3));
  write("b.bmp", bmp_bytes(17, 2));
  const CliRun r = run({"info", "a.bmp", "b.bmp"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "a.bmp\t2\tBMP\tUncompressed\t5\t3\t8\t1\n"
            "b.bmp\t2\tBMP\tUncompressed\t17\t2\t8\t1\n");
  EXPECT_EQ(r.err, "");
}

TEST_F(RastrixConvert, InfoOnAMissingFileReportsTheErrorStackAndGoesOn) {
  write("a.bmp", bmp_bytes(5, 3));
  const CliRun r = run({"info", "missing.bmp", "a.bmp"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "a.bmp\t2\tBMP\tUncompressed\t5\t3\t8\t1\n");
  std::istringstream lines(r.err);
  std::string headline, entry;
  std::getline(lines, headline);
  EXPECT_NE(headline.find("'missing.bmp'"), std::string::npos) << r.err;
  ASSERT_TRUE(std::getline(lines, entry)) << r.err;
  EXPECT_TRUE(std::regex_match(entry, kStackEntry)) << entry;
}

TEST_F(RastrixConvert, InfoEscapesNamesInJsonAndTabSeparatedOutput) {
  const std::string name = "q\"b\\\t\x01\xE5\x86\x99.bmp";  // quote, backslash, tab, ^A, 写
  write(name, bmp_bytes(4, 4));
  const CliRun json = run({"info", "--json", name});
  EXPECT_EQ(json.status, 0) << json.err;
  EXPECT_EQ(json.out,
            "{\"path\":\"q\\\"b\\\\\\t\\u0001\xE5\x86\x99.bmp\",\"format\":2,"
            "\"format_name\":\"BMP\",\"compression\":\"Uncompressed\",\"width\":4,"
            "\"height\":4,\"bits\":8,\"pages\":1}\n");
  const CliRun tsv = run({"info", name});
  EXPECT_EQ(tsv.out.substr(0, tsv.out.find(".bmp")), "q\"b\\\\\\t\x01\xE5\x86\x99");
}

TEST_F(RastrixConvert, ConvertKeepsTheImageAndPicksTheFormatByExtensionOrName) {
  write("a.bmp", bmp_bytes(7, 5));
  EXPECT_EQ(run({"convert", "a.bmp", "b.dib"}).status, 0);
  EXPECT_EQ(run({"convert", "--format", "bMp", "a.bmp", "c.img"}).status, 0);
  EXPECT_EQ(run({"convert", "-f", "2", "a.bmp", "d"}).status, 0);
  const CliRun r = run({"info", "b.dib", "c.img", "d"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "b.dib\t2\tBMP\tUncompressed\t7\t5\t8\t1\n"
            "c.img\t2\tBMP\tUncompressed\t7\t5\t8\t1\n"
            "d\t2\tBMP\tUncompressed\t7\t5\t8\t1\n");
  EXPECT_TRUE(leftovers().empty());
}

TEST_F(RastrixConvert, JapaneseNamesRoundTrip) {
  write("写真.bmp", bmp_bytes(6, 2));
  std::filesystem::create_directory(at("結果"));
  const CliRun c = run({"convert", "写真.bmp", "結果/画像.bmp"});
  EXPECT_EQ(c.status, 0) << c.err;
  const CliRun r = run({"info", "--json", "結果/画像.bmp"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(r.out.starts_with("{\"path\":\"結果/画像.bmp\",")) << r.out;
  EXPECT_NE(r.out.find("\"width\":6,\"height\":2"), std::string::npos) << r.out;
}

TEST_F(RastrixConvert, AFailedConversionLeavesNoOutputNotEvenAPartialOne) {
  const std::string good = bmp_bytes(40, 40);
  write("garbage.bmp", "this is not an image at all");
  write("truncated.bmp", good.substr(0, good.size() / 2));
  write("a.bmp", good);
  write("kept.bmp", "an older file");
  const std::vector<std::vector<std::string>> cases = {
      {"convert", "garbage.bmp", "out1.bmp"},
      {"convert", "truncated.bmp", "out2.bmp"},
      {"convert", "missing.bmp", "out3.bmp"},
      {"convert", "a.bmp", "out5.unknownext"},
      {"convert", "a.bmp", "no-such-folder/out6.bmp"},
      {"convert", "garbage.bmp", "kept.bmp"},
  };
  for (const auto& args : cases) {
    const CliRun r = run(args);
    EXPECT_EQ(r.status, 1) << args[args.size() - 2];
    EXPECT_NE(r.err.find("'" + args[args.size() - 2] + "'"), std::string::npos) << r.err;
    EXPECT_TRUE(std::regex_search(r.err, kStackEntry)) << r.err;
  }
  const CliRun page = run({"convert", "-p", "2", "a.bmp", "out4.bmp"});
  EXPECT_EQ(page.status, 1);
  EXPECT_NE(page.err.find("cannot load page 2 of 'a.bmp': the file has 1 page"), std::string::npos)
      << page.err;
  EXPECT_EQ(files_under(),
            (std::vector<std::string>{"a.bmp", "garbage.bmp", "kept.bmp", "truncated.bmp"}));
  EXPECT_EQ(read("kept.bmp"), "an older file");
}

TEST_F(RastrixConvert, OutputsNeverReplaceFoldersOrSpecialFiles) {
  write("a.bmp", bmp_bytes(3, 3));
  std::filesystem::create_directory(at("folder.bmp"));
  ASSERT_EQ(mkfifo(at("pipe.bmp").c_str(), 0600), 0);
  for (const char* out : {"folder.bmp", "pipe.bmp"}) {
    const CliRun r = run({"convert", "a.bmp", out});
    EXPECT_EQ(r.status, 1) << out;
    EXPECT_NE(r.err.find("is not a regular file"), std::string::npos) << r.err;
  }
  EXPECT_TRUE(std::filesystem::is_directory(at("folder.bmp")));
  EXPECT_TRUE(std::filesystem::is_fifo(at("pipe.bmp")));
  EXPECT_TRUE(leftovers().empty());
}

TEST_F(RastrixConvert, ConvertNeverWritesOntoItsOwnInput) {
  write("a.bmp", bmp_bytes(3, 3));
  const std::string before = read("a.bmp");
  const CliRun r = run({"convert", "a.bmp", "./a.bmp"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("the output is the input"), std::string::npos) << r.err;
  EXPECT_EQ(read("a.bmp"), before);
}

}  // namespace
