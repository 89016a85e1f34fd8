// `rastrix convert --max-pixels`: a file that claims more pixels than the
// limit is refused before it is decoded, with a message that names the
// option; a larger limit, or 0, lets it through.
#include "tools/cli_runner.h"

namespace {

class RastrixLimits : public CliTest {};

TEST_F(RastrixLimits, AnImageAboveTheLimitIsRefusedWithTheOptionNamed) {
  write("wide.bmp", bmp_bytes(300, 200));  // 60,000 pixels
  const CliRun r = run({"convert", "--max-pixels", "59999", "wide.bmp", "out.bmp"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("code -3405 (300, 200)"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("300 x 200 pixels, more than the limit of 59999 pixels; raise it with "
                       "--max-pixels"),
            std::string::npos)
      << r.err;
  EXPECT_TRUE(files_under() == std::vector<std::string>{"wide.bmp"}) << "no output";
  for (const char* limit : {"60000", "0"}) {
    const CliRun ok = run({"convert", "--max-pixels", limit, "wide.bmp", "out.bmp"});
    EXPECT_EQ(ok.status, 0) << limit << ok.err;
  }
}

TEST_F(RastrixLimits, BatchesAndTheirWorkersKeepTheLimit) {
  write("in/small.bmp", bmp_bytes(10, 10));
  write("in/big.bmp", bmp_bytes(300, 200));
  const CliRun r = run({"convert", "--to", "bmp", "-o", "out", "-j", "2", "--max-pixels", "1000",
                        "in"});
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.err.find("'in/big.bmp'"), std::string::npos) << r.err;
  EXPECT_TRUE(files_under("out") == std::vector<std::string>{"small.bmp"});
}

TEST_F(RastrixLimits, TheLimitMustBeAWholeNumber) {
  for (const char* bad : {"-1", "lots", ""}) {
    const CliRun r = run({"convert", "--max-pixels", bad, "a.bmp", "b.bmp"});
    EXPECT_EQ(r.status, 2) << bad;
    EXPECT_NE(r.err.find("--max-pixels"), std::string::npos) << r.err;
  }
}

}  // namespace
