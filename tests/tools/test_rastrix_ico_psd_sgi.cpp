// `rastrix info` and `rastrix convert` on icon, PSD and SGI files that
// other programs wrote: the description of each kind of file, its pixels
// (through a BMP the test decodes itself, against the pixels the peers
// read), its other pages, and a round trip through our own writer.
#include <cstdint>
#include <fstream>
#include <iterator>

#include "tools/cli_runner.h"

namespace {

namespace fs = std::filesystem;

std::string slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t le(const std::string& b, size_t at, int bytes) {
  uint32_t v = 0;
  for (int k = bytes - 1; k >= 0; --k) v = v << 8 | uint8_t(b.at(at + k));
  return v;
}

// The pixels of an uncompressed 1-, 4-, 8- or 24-bit BMP as RGB triples,
// top row first; "" when the file is not one.
std::string bmp_rgb(const std::string& f) {
  if (f.size() < 54 || f.compare(0, 2, "BM") != 0 || le(f, 30, 4) != 0) return "";
  const auto width = int32_t(le(f, 18, 4)), height = int32_t(le(f, 22, 4));
  const uint32_t bits = le(f, 28, 2), offset = le(f, 10, 4);
  const uint32_t stride = (bits * uint32_t(width) + 31) / 32 * 4;
  const int32_t rows = height < 0 ? -height : height;
  if (offset + uint64_t(stride) * rows > f.size()) return "";
  std::string rgb;
  for (int32_t y = 0; y < rows; ++y) {
    const size_t row = offset + size_t(stride) * size_t(height < 0 ? y : rows - 1 - y);
    for (int32_t x = 0; x < width; ++x) {
      size_t bgr = row + 3 * size_t(x);
      if (bits != 24) {
        const uint32_t byte = uint8_t(f.at(row + x * bits / 8));
        const uint32_t index = byte >> (8 - bits - x * bits % 8) & ((1u << bits) - 1);
        bgr = 54 + 4 * size_t(index);
      }
      rgb += {f.at(bgr + 2), f.at(bgr + 1), f.at(bgr)};
    }
  }
  return rgb;
}

class RastrixIcoPsdSgi : public CliTest {
 protected:
  static fs::path sample(const std::string& name) {
    const std::string ext = name.substr(name.rfind('.') + 1);
    return fs::path(RX_TEST_DATA_DIR) / ext / "peer" / name;
  }
  // The pixels peers read in a sample (page N from NAME.pN.rgb).
  static std::string peer_rgb(const std::string& name, int page = 1) {
    fs::path p = sample(name);
    p.replace_extension(page == 1 ? ".rgb" : ".p" + std::to_string(page) + ".rgb");
    return slurp(p);
  }
  // Converts IN (page PAGE) to a BMP and decodes it.
  std::string as_rgb(const std::string& in, int page = 1) {
    const CliRun r = run({"convert", "-p", std::to_string(page), in, "out.bmp"});
    EXPECT_EQ(r.status, 0) << in << ": " << r.err;
    return bmp_rgb(read("out.bmp"));
  }
};

TEST_F(RastrixIcoPsdSgi, InfoDescribesEachKind) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"im_4bit_32_16.ico", "17\tICO\tUncompressed\t32\t32\t4\t2"},
      {"pil_1bit.ico", "17\tICO\tUncompressed\t16\t16\t1\t3"},
      {"im_bitmap_packbits.psd", "36\tPSD\tPackbits\t19\t11\t1\t1"},
      {"im_grey_raw.psd", "36\tPSD\tUncompressed\t19\t11\t8\t1"},
      {"im_indexed_packbits.psd", "36\tPSD\tPackbits\t19\t11\t8\t1"},
      {"im_cmyk_raw.psd", "36\tPSD\tUncompressed\t19\t11\t24\t1"},
      {"im_rgba_packbits.psd", "36\tPSD\tPackbits\t19\t11\t24\t1"},
      {"pil_grey_plain.sgi", "38\tSGI\tUncompressed\t23\t9\t8\t1"},
      {"im_rgb_rle.sgi", "38\tSGI\tRLE\t23\t9\t24\t1"},
  };
  for (const auto& [name, line] : cases) {
    write(name, slurp(sample(name)));
    const CliRun r = run({"info", name});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, name + "\t" + line + "\n");
  }
}

// Every sample's pixels are the reader tests'; here the page option
// reaches the reader.
TEST_F(RastrixIcoPsdSgi, ConvertKeepsThePeersPixelsOfEveryPage) {
  write("pil_1bit.ico", slurp(sample("pil_1bit.ico")));
  for (int page = 1; page <= 3; ++page) EXPECT_EQ(as_rgb("pil_1bit.ico", page), peer_rgb("pil_1bit.ico", page)) << page;
  const CliRun past = run({"convert", "-p", "4", "pil_1bit.ico", "past.bmp"});
  EXPECT_EQ(past.status, 1);
  EXPECT_FALSE(fs::exists(at("past.bmp")));
}

// Peer file -> our writer (format from the extension) -> BMP: the pixels
// the peers read survive.
TEST_F(RastrixIcoPsdSgi, ConvertWritesEachFormat) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"im_4bit_32_16.ico", "ico"}, {"pil_1bit.ico", "ico"},  {"im_bitmap_raw.psd", "psd"},
      {"im_indexed_packbits.psd", "psd"}, {"im_rgb_packbits.psd", "psd"}, {"pil_grey_plain.sgi", "sgi"},
      {"im_rgb_rle.sgi", "sgi"},          {"im_cmyk_raw.psd", "sgi"},     {"gm_rgb_rle.sgi", "psd"},
  };
  for (const auto& [name, ext] : cases) {
    write(name, slurp(sample(name)));
    const std::string ours = "ours." + ext;
    const CliRun w = run({"convert", name, ours});
    ASSERT_EQ(w.status, 0) << name << " -> " << ours << ": " << w.err;
    const CliRun i = run({"info", ours});
    EXPECT_EQ(i.out.substr(0, i.out.find('\t', ours.size() + 1)),
              ours + "\t" + (ext == "ico" ? "17" : ext == "psd" ? "36" : "38"));
    EXPECT_EQ(as_rgb(ours), peer_rgb(name)) << name << " -> " << ours;
  }
}

}  // namespace
