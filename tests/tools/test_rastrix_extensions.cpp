// The extension modules of the rastrix command: the ones shipped beside it
// are loaded into its engine and its workers' engines, `--no-extensions`
// runs the bare engine, and `rastrix extensions` lists what was loaded.
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "tools/cli_runner.h"

namespace {

namespace fs = std::filesystem;

const fs::path kShippedDir = fs::path(RASTRIX_CLI).parent_path() / "extensions";
const fs::path kGifSample = fs::path(RX_TEST_DATA_DIR) / "gif" / "pillow_animated.gif";

// What the LZW module adds: item 0 the TIFF codec, item 1 the GIF filter.
std::string lzw_listing(const fs::path& module) {
  return module.string() + "\n\tcodec\t8\tLZW\tdecode,encode\n\tfilter\t14\tGIF\tread,write\n";
}

class RastrixExtensions : public CliTest {
 protected:
  void gif_copy(const std::string& name) const { fs::copy_file(kGifSample, at(name)); }
};

TEST_F(RastrixExtensions, ListsTheShippedModulesWithTheirCodecsAndFilters) {
  const CliRun r = run({"extensions"});
  EXPECT_EQ(r.status, 0) << r.err;
  // RX16's one filter has a code without a format name and does nothing
  // with files.
  EXPECT_EQ(r.out, (kShippedDir / "librx16.so").string() + "\n\tfilter\t48\tUNKNOWN\t-\n" +
                       lzw_listing(kShippedDir / "librxlzw.so"));
  EXPECT_EQ(r.err, "");

  const CliRun bare = run({"--no-extensions", "extensions"});
  EXPECT_EQ(bare.status, 0);
  EXPECT_EQ(bare.out, "");
  EXPECT_EQ(bare.err, "");
}

TEST_F(RastrixExtensions, GifFilesLoadAndSaveOnlyWithTheModule) {
  gif_copy("a.gif");
  // Four frames, each a page (the sample script made four).
  const CliRun info = run({"info", "a.gif"});
  EXPECT_EQ(info.status, 0) << info.err;
  EXPECT_EQ(info.out.rfind("a.gif\t14\tGIF\tLZW\t", 0), 0u) << info.out;
  EXPECT_EQ(info.out.substr(info.out.size() - 3), "\t4\n") << info.out;

  const CliRun to_bmp = run({"convert", "a.gif", "a.bmp"});
  EXPECT_EQ(to_bmp.status, 0) << to_bmp.err;
  const CliRun to_gif = run({"convert", "a.bmp", "b.gif"});
  EXPECT_EQ(to_gif.status, 0) << to_gif.err;
  EXPECT_EQ(read("b.gif").substr(0, 4), "GIF8");

  const CliRun bare = run({"--no-extensions", "convert", "a.gif", "c.bmp"});
  EXPECT_EQ(bare.status, 1);
  EXPECT_NE(bare.err.find("code -500"), std::string::npos) << bare.err;
  const CliRun bare_save = run({"--no-extensions", "convert", "a.bmp", "c.gif"});
  EXPECT_EQ(bare_save.status, 1);
  EXPECT_NE(bare_save.err.find("code -500"), std::string::npos) << bare_save.err;
  EXPECT_FALSE(fs::exists(at("c.bmp")));
  EXPECT_FALSE(fs::exists(at("c.gif")));
}

TEST_F(RastrixExtensions, WorkersLoadTheModulesToo) {
  fs::create_directory(at("in"));
  for (const char* name : {"in/a.gif", "in/b.gif", "in/c.gif"}) gif_copy(name);
  const CliRun r = run({"convert", "--to", "bmp", "-j", "2", "in"});
  EXPECT_EQ(r.status, 0) << r.err;
  for (const char* name : {"in/a.bmp", "in/b.bmp", "in/c.bmp"})
    EXPECT_EQ(read(name).substr(0, 2), "BM") << name;
  fs::create_directory(at("bare"));
  for (const char* name : {"bare/a.gif", "bare/b.gif"}) gif_copy(name);
  const CliRun bare = run({"--no-extensions", "convert", "--to", "bmp", "-j", "2", "bare"});
  EXPECT_EQ(bare.status, 1);
  EXPECT_EQ(files_under("bare"), (std::vector<std::string>{"a.gif", "b.gif"}));
}

TEST_F(RastrixExtensions, TheGlobalOptionGoesBeforeTheCommand) {
  EXPECT_EQ(run({"--no-extensions"}).status, 2);
  EXPECT_EQ(run({"extensions", "extra"}).status, 2);
  EXPECT_EQ(run({"info", "--no-extensions", "x.gif"}).status, 2);
  const CliRun help = run({"help", "extensions"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--no-extensions"), std::string::npos);
}

// A copy of rastrix with a folder of its own: a file there that is no
// module is reported and left out, the others still load.
TEST_F(RastrixExtensions, AModuleThatWillNotLoadIsReportedAndLeftOut) {
  fs::create_directories(at("bin/extensions"));
  fs::copy_file(RASTRIX_CLI, at("bin/rastrix"));
  fs::copy_file(kShippedDir / "librxlzw.so", at("bin/extensions/librxlzw.so"));
  std::ofstream(at("bin/extensions/libbroken.so")) << "not a library";
  std::ofstream(at("bin/extensions/notes.txt")) << "not a module, not tried";
  const std::string command = "cd '" + dir_.string() + "' && bin/rastrix extensions >out 2>err";
  EXPECT_EQ(std::system(command.c_str()), 0);
  EXPECT_EQ(read("out"), lzw_listing(fs::canonical(at("bin/extensions/librxlzw.so"))));
  const std::string err = read("err");
  EXPECT_NE(err.find("libbroken.so' not loaded"), std::string::npos) << err;
  EXPECT_NE(err.find("code -500"), std::string::npos) << err;
  EXPECT_EQ(err.find("notes.txt"), std::string::npos) << err;
}

}  // namespace
