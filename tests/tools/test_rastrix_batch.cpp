// Batch conversion (`convert --to`): which files a batch takes, where the
// outputs go, what it leaves alone, and that worker processes and
// failures do not lose or half-write files.
#include "tools/cli_runner.h"

namespace {

using Names = std::vector<std::string>;

class RastrixBatch : public CliTest {
 protected:
  // A folder tree with images at three depths, hidden entries, a file that
  // is not an image by name, and a link to a folder.
  void make_tree() {
    for (const char* name : {"tree/x.bmp", "tree/s1/y.BMP", "tree/s1/s2/z.bmp",
                             "tree/.hidden.bmp", "tree/.cache/h.bmp"})
      write(name, bmp_bytes(3, 2));
    write("tree/notes.txt", "not an image");
    std::filesystem::create_directory_symlink("s1", at("tree/link"));
  }
};

TEST_F(RastrixBatch, RecursionKeepsTheHierarchyUnderTheOutputFolder) {
  make_tree();
  const CliRun r = run({"convert", "--to", "dib", "-o", "out", "-r", "tree"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(files_under("out"), (Names{"s1/s2/z.dib", "s1/y.dib", "x.dib"}));
  const CliRun info = run({"info", "out/s1/s2/z.dib"});
  EXPECT_EQ(info.out, "out/s1/s2/z.dib\t2\tBMP\tUncompressed\t3\t2\t8\t1\n");
}

TEST_F(RastrixBatch, WithoutRecursionAFolderGivesOnlyItsOwnImages) {
  make_tree();
  const CliRun r = run({"convert", "--to", "dib", "tree"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(std::filesystem::exists(at("tree/x.dib")));
  EXPECT_FALSE(std::filesystem::exists(at("tree/s1/y.dib")));
  EXPECT_FALSE(std::filesystem::exists(at("tree/.hidden.dib")));
}

TEST_F(RastrixBatch, FilesNamedDirectlyAreTakenWhateverTheirName) {
  write("picture.data", bmp_bytes(2, 2));
  write(".hidden.bmp", bmp_bytes(2, 2));
  const CliRun r = run({"convert", "--to", "dib", "-o", "out", "picture.data", ".hidden.bmp"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(files_under("out"), (Names{".hidden.dib", "picture.dib"}));
}

TEST_F(RastrixBatch, NoOverwriteSkipsExistingOutputs) {
  write("a.bmp", bmp_bytes(2, 2));
  write("b.bmp", bmp_bytes(2, 2));
  write("out/a.dib", "older");
  const CliRun r = run({"convert", "--to", ".dib", "-no", "out", "a.bmp", "b.bmp"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(read("out/a.dib"), "older");
  EXPECT_EQ(read("out/b.dib").substr(0, 2), "BM");

  const CliRun again = run({"convert", "--to", "dib", "-o", "out", "a.bmp"});
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(read("out/a.dib").substr(0, 2), "BM") << "without -n an output is replaced";
}

TEST_F(RastrixBatch, AnInputIsNeverConvertedOntoItself) {
  write("a.bmp", bmp_bytes(2, 2));
  const std::string before = read("a.bmp");
  const CliRun r = run({"convert", "--to", "bmp", "a.bmp"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(read("a.bmp"), before);
}

TEST_F(RastrixBatch, InputsThatWouldShareAnOutputAreNotBothConverted) {
  write("a.bmp", bmp_bytes(2, 2));
  write("sub/a.bmp", bmp_bytes(5, 5));
  const CliRun r = run({"convert", "--to", "dib", "-o", "out", "a.bmp", "sub/a.bmp", "a.bmp"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("'sub/a.bmp'"), std::string::npos) << r.err;
  const CliRun info = run({"info", "out/a.dib"});
  EXPECT_EQ(info.out, "out/a.dib\t2\tBMP\tUncompressed\t2\t2\t8\t1\n") << "the first input wins";
}

TEST_F(RastrixBatch, WorkersConvertEveryGoodFileAndReportTheBadOnes) {
  Names expected;
  for (int i = 0; i < 9; ++i) {
    const std::string name = "in/f" + std::to_string(i);
    write(name + ".bmp", bmp_bytes(i + 1, 3));
    expected.push_back("f" + std::to_string(i) + ".dib");
  }
  write("in/broken.bmp", "BM but nothing else");
  const CliRun r = run({"convert", "--to", "dib", "-j", "3", "-o", "out", "in", "missing.bmp"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("'in/broken.bmp'"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("'missing.bmp'"), std::string::npos) << r.err;
  EXPECT_EQ(files_under("out"), expected) << "no output, temporary or partial, for a failure";
  const CliRun info = run({"info", "out/f8.dib"});
  EXPECT_EQ(info.out, "out/f8.dib\t2\tBMP\tUncompressed\t9\t3\t8\t1\n");
}

TEST_F(RastrixBatch, OnATerminalAProgressLineCountsEveryOutcome) {
  write("a.bmp", bmp_bytes(2, 2));
  write("b.bmp", bmp_bytes(2, 2));
  write("c.bmp", "broken");
  write("out/a.dib", "older");
  const CliRun r = run_on_terminal({"convert", "--to", "dib", "-n", "-j", "2", "-o", "out",
                                    "a.bmp", "b.bmp", "c.bmp"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("\r\033[Krastrix: 0/3 done"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("rastrix: 3/3 done, 1 failed, 1 skipped\r\n"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("'c.bmp'"), std::string::npos) << r.err;
}

TEST_F(RastrixBatch, WithoutATerminalThereIsNoProgressLine) {
  write("a.bmp", bmp_bytes(2, 2));
  const CliRun r = run({"convert", "--to", "dib", "a.bmp"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
}

TEST_F(RastrixBatch, JapaneseNamesAndFoldersMapThrough) {
  write("写真/夏/海.bmp", bmp_bytes(4, 4));
  const CliRun r = run({"convert", "--to", "dib", "-r", "-j", "2", "-o", "出力", "写真"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(files_under("出力"), Names{"夏/海.dib"});
}

}  // namespace
