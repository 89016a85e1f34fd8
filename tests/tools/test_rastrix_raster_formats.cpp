// `rastrix formats`, `info` and `convert` with the PCX and DCX, TGA, XBM
// and Sun raster formats, on the peer samples under tests/data.
#include <fstream>
#include <iterator>

#include "filters/raster_samples.h"
#include "tools/cli_runner.h"

namespace {

class RastrixRasterFormats : public CliTest {
 protected:
  // Copies a peer sample into the scratch folder.
  void sample(const std::string& format, const std::string& name) const {
    std::ifstream f(std::string(RX_TEST_DATA_DIR) + "/" + format + "/peer/" + name, std::ios::binary);
    write(name, std::string(std::istreambuf_iterator<char>(f), {}));
  }
  std::string rgb(const std::string& format, const std::string& name) const {
    std::ifstream f(std::string(RX_TEST_DATA_DIR) + "/" + format + "/peer/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
  }
};

TEST_F(RastrixRasterFormats, FormatsSayWhichLoadAndWhichSave) {
  const CliRun r = run({"formats"});
  EXPECT_EQ(r.status, 0) << r.err;
  for (const char* line : {"2\tBMP\tload\tsave\n", "8\tDCX\tload\tsave\n", "31\tPCX\tload\tsave\n",
                           "37\tRAS\tload\tsave\n", "39\tTGA\tload\tsave\n", "43\tXBM\tload\tsave\n",
                           "13\tGEM\t-\t-\n", "1\tATT\t-\t-\n"})
    EXPECT_NE(r.out.find(line), std::string::npos) << line << r.out;
}

TEST_F(RastrixRasterFormats, InfoDescribesEachFormat) {
  sample("pcx", "im_8.pcx");
  sample("dcx", "im_2pages.dcx");
  sample("tga", "im_24_rle.tga");
  sample("xbm", "nb_x10.xbm");
  sample("sun", "nb_8_rle.ras");
  const CliRun r = run({"info", "im_8.pcx", "im_2pages.dcx", "im_24_rle.tga", "nb_x10.xbm", "nb_8_rle.ras"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "im_8.pcx\t31\tPCX\tRLE\t29\t7\t8\t1\n"
            "im_2pages.dcx\t8\tDCX\tRLE\t29\t7\t8\t2\n"
            "im_24_rle.tga\t39\tTGA\tRLE\t29\t7\t24\t1\n"
            "nb_x10.xbm\t43\tXBM\tUncompressed\t29\t7\t1\t1\n"
            "nb_8_rle.ras\t37\tRAS\tRLE\t29\t7\t8\t1\n");
}

// Through every writer and back to a format the peers' pixels can be
// compared in: the pixels stay the same.
TEST_F(RastrixRasterFormats, ConvertKeepsThePixels) {
  sample("dcx", "im_2pages.dcx");
  ASSERT_EQ(run({"convert", "-p", "2", "im_2pages.dcx", "p2.pcx"}).status, 0);
  ASSERT_EQ(run({"convert", "--format", "ras", "p2.pcx", "p2.sun"}).status, 0);
  ASSERT_EQ(run({"convert", "p2.sun", "p2.tga"}).status, 0) << "by the extension TGA";
  ASSERT_EQ(run({"convert", "-f", "8", "p2.tga", "back.dcx"}).status, 0);
  ASSERT_EQ(run({"convert", "back.dcx", "back.tga"}).status, 0);
  const CliRun info = run({"info", "p2.pcx", "p2.sun", "p2.tga", "back.dcx"});
  EXPECT_EQ(info.out,
            "p2.pcx\t31\tPCX\tRLE\t29\t7\t8\t1\n"
            "p2.sun\t37\tRAS\tRLE\t29\t7\t8\t1\n"
            "p2.tga\t39\tTGA\tUncompressed\t29\t7\t8\t1\n"
            "back.dcx\t8\tDCX\tRLE\t29\t7\t8\t1\n");
  // The TGA files have the same pixels: both are plain, colour-mapped,
  // from the same palette.
  EXPECT_EQ(read("p2.tga"), read("back.tga"));
  sample("xbm", "nb.xbm");
  ASSERT_EQ(run({"convert", "nb.xbm", "nb.pcx"}).status, 0);
  ASSERT_EQ(run({"convert", "nb.pcx", "again.xbm"}).status, 0);
  EXPECT_EQ(run({"info", "again.xbm"}).out, "again.xbm\t43\tXBM\tUncompressed\t29\t7\t1\t1\n");
  // Saving to ".ras" picks the earlier CALS row, which has no writer.
  EXPECT_EQ(run({"convert", "p2.tga", "x.ras"}).status, 1);

  // The peers read every converted file with the pixels they read in the
  // samples.
  RX_NEED_PEER(rast::have_peers(), rast::kPeerReaders);
  rast::PeerDir peers("cli_convert");
  const std::string page2 = rgb("dcx", "im_2pages.p2.rgb");
  const auto bytes = [](const std::string& s) { return rast::Bytes(s.begin(), s.end()); };
  for (const char* name : {"p2.pcx", "p2.tga", "back.dcx"}) peers.keep(name, bytes(read(name)), bytes(page2));
  peers.keep("p2.ras", bytes(read("p2.sun")), bytes(page2));
  peers.keep("again.xbm", bytes(read("again.xbm")), bytes(rgb("xbm", "nb.rgb")));
  const int status = peers.check();
  EXPECT_EQ(status, 0) << peers.dir;
  peers.done(status == 0);
}

}  // namespace
