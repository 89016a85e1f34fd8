// `rastrix render`: each option sets a display attribute, and the saved
// surface shows what a screen of that depth would show. Outputs are read
// back with a small BMP reader of the test's own.
#include <cstring>

#include "tools/cli_runner.h"

namespace {

using Rgb = uint32_t;  // 0xRRGGBB

void put16(std::string& s, uint32_t v) {
  s += char(v & 255);
  s += char((v >> 8) & 255);
}
void put32(std::string& s, uint32_t v) {
  put16(s, v & 0xFFFF);
  put16(s, v >> 16);
}

// A 24-bit BMP of the given pixels, rows top first.
std::string bmp24(int32_t w, int32_t h, const std::vector<Rgb>& px) {
  const uint32_t stride = (uint32_t(w) * 3 + 3) / 4 * 4;
  std::string s = "BM";
  put32(s, 54 + stride * uint32_t(h));
  put32(s, 0);
  put32(s, 54);
  for (uint32_t v : {40u, uint32_t(w), uint32_t(h)}) put32(s, v);
  put16(s, 1);
  put16(s, 24);
  for (uint32_t v : {0u, stride * uint32_t(h), 2835u, 2835u, 0u, 0u}) put32(s, v);
  for (int32_t y = h - 1; y >= 0; --y) {
    std::string row;
    for (int32_t x = 0; x < w; ++x) {
      const Rgb c = px[size_t(y * w + x)];
      row += char(c & 255);
      row += char((c >> 8) & 255);
      row += char((c >> 16) & 255);
    }
    row.resize(stride, '\0');
    s += row;
  }
  return s;
}

// A 1-bit BMP (0 black, 1 white) from rows of '0' and '1'.
std::string bmp1(const std::vector<std::string>& rows) {
  const int32_t w = int32_t(rows[0].size()), h = int32_t(rows.size());
  const uint32_t stride = (uint32_t(w) + 31) / 32 * 4;
  std::string s = "BM";
  put32(s, 62 + stride * uint32_t(h));
  put32(s, 0);
  put32(s, 62);
  for (uint32_t v : {40u, uint32_t(w), uint32_t(h)}) put32(s, v);
  put16(s, 1);
  put16(s, 1);
  for (uint32_t v : {0u, stride * uint32_t(h), 2835u, 2835u, 2u, 0u}) put32(s, v);
  put32(s, 0);
  put32(s, 0xFFFFFF);
  for (int32_t y = h - 1; y >= 0; --y) {
    std::string row(stride, '\0');
    for (int32_t x = 0; x < w; ++x)
      if (rows[size_t(y)][size_t(x)] == '1') row[size_t(x / 8)] = char(row[size_t(x / 8)] | (0x80 >> (x % 8)));
    s += row;
  }
  return s;
}

// What a BMP file shows: its size, depth and every pixel's colour.
struct Picture {
  int32_t w = 0, h = 0, bits = 0;
  std::vector<Rgb> px;
  Rgb at(int32_t x, int32_t y) const { return px[size_t(y * w + x)]; }
};

uint32_t get32(const std::string& s, size_t at) {
  uint32_t v;
  std::memcpy(&v, s.data() + at, 4);
  return v;
}

Picture picture(const std::string& s) {
  Picture p;
  if (s.size() < 54 || s.compare(0, 2, "BM") != 0) return p;
  const uint32_t offset = get32(s, 10);
  p.w = int32_t(get32(s, 18));
  p.h = int32_t(get32(s, 22));
  p.bits = uint8_t(s[28]);
  const uint32_t stride = (uint32_t(p.w) * uint32_t(p.bits) + 31) / 32 * 4;
  for (int32_t y = 0; y < p.h; ++y) {
    const size_t row = offset + stride * size_t(p.h - 1 - y);
    for (int32_t x = 0; x < p.w; ++x) {
      uint32_t index = 0;
      if (p.bits == 24) {
        p.px.push_back(get32(s, row + 3 * size_t(x)) & 0xFFFFFF);
        continue;
      }
      const uint8_t b = uint8_t(s[row + size_t(x) * size_t(p.bits) / 8]);
      if (p.bits == 8) index = b;
      if (p.bits == 4) index = (x & 1) ? b & 15 : b >> 4;
      if (p.bits == 1) index = (b >> (7 - x % 8)) & 1;
      p.px.push_back(get32(s, 54 + 4 * index) & 0xFFFFFF);
    }
  }
  return p;
}

class RastrixRender : public CliTest {
 protected:
  Picture render(const std::vector<std::string>& options, const std::string& input = "in.bmp") {
    std::vector<std::string> args = {"render"};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(input);
    args.push_back("out.bmp");
    const CliRun r = run(args);
    EXPECT_EQ(r.status, 0) << r.err;
    return picture(read("out.bmp"));
  }
};

constexpr Rgb kRed = 0xFF0000, kBlue = 0x0000FF, kGreen = 0x00FF00, kWhite = 0xFFFFFF;

TEST_F(RastrixRender, ActualSizeOnATrueColourSurfaceKeepsEveryPixel) {
  const std::vector<Rgb> px = {kRed, 0x123456, kBlue, 0x808080, 0xFEDCBA, 0x010203};
  write("in.bmp", bmp24(3, 2, px));
  const Picture p = render({});
  EXPECT_EQ((std::vector<int32_t>{p.w, p.h, p.bits}), (std::vector<int32_t>{3, 2, 24}));
  EXPECT_EQ(p.px, px);
  // A 32-bit surface is saved at 24 bits with the same colours.
  EXPECT_EQ(render({"--depth", "32"}).px, px);
}

TEST_F(RastrixRender, FitCentresInsideTheSurfaceWithTheBackgroundAround) {
  write("in.bmp", bmp24(4, 4, std::vector<Rgb>(16, kRed)));
  const Picture p = render({"--size", "8x4", "--depth", "8", "--fit", "0", "--aspect", "1", "--centre",
                            "--background", "00ff00"});
  EXPECT_EQ((std::vector<int32_t>{p.w, p.h, p.bits}), (std::vector<int32_t>{8, 4, 8}));
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 8; ++x) EXPECT_EQ(p.at(x, y), x >= 2 && x < 6 ? kRed : kGreen) << x << "," << y;
}

TEST_F(RastrixRender, ZoomEnlargesFromTheTopLeftCorner) {
  write("in.bmp", bmp24(4, 2, {kRed, kBlue, kGreen, kWhite, 0, 0, 0, 0}));
  // The 4 x 2 image stretched to the 8 x 4 surface and doubled: device
  // column x shows image column x / 4.
  const Picture p = render({"--size", "8x4", "--zoom", "200"});
  for (int32_t x = 0; x < 8; ++x) EXPECT_EQ(p.at(x, 0), x < 4 ? kRed : kBlue) << x;
  EXPECT_EQ(p.at(7, 3), kBlue);
}

TEST_F(RastrixRender, ColourOptionsReachTheDisplay) {
  write("in.bmp", bmp24(2, 1, {kRed, 0x404040}));
  EXPECT_EQ(render({"--brightness", "-255"}).px, (std::vector<Rgb>{0, 0}));
  EXPECT_EQ(render({"--contrast", "2"}).px, (std::vector<Rgb>{kRed, 0x808080}));
  EXPECT_EQ(render({"--gamma", "2"}).px, (std::vector<Rgb>{kRed, 0x101010}));
  EXPECT_EQ(render({"--rop", "330008"}).px, (std::vector<Rgb>{0x00FFFF, 0xBFBFBF}));
  EXPECT_EQ(render({"--transparent", "ff0000"}).px, (std::vector<Rgb>{kWhite, 0x404040}));
  // On 16 colours, red shows in the 16-colour palette: (255, 0, 0) where
  // the dither passes, mid-grey 64 mostly black.
  const Picture sixteen = render({"--depth", "4"});
  EXPECT_EQ(sixteen.bits, 4);
  EXPECT_EQ(sixteen.at(0, 0), kRed);
}

TEST_F(RastrixRender, OneBitPagesInGreyTurnedAndOnPrinters) {
  // 8 x 8 in four 4 x 4 cells holding 0, 8, 16 and 16 black pixels.
  write("in.bmp", bmp1({"11110000", "11110000", "11111111", "11111111", "00000000", "00000000", "00000000",
                        "00000000"}));
  // Reduced to 2 x 2 in greys: (16 - k) x 15 / 16, times 17.
  const Picture g = render({"--size", "2x2", "--fit", "0", "--alias", "2,75"});
  EXPECT_EQ(g.px, (std::vector<Rgb>{0xFFFFFF, 0x777777, 0x000000, 0x000000}));
  // Turned a quarter clockwise: the top row becomes the right column.
  const Picture t = render({"--rotate", "1"});
  EXPECT_EQ((std::vector<int32_t>{t.w, t.h}), (std::vector<int32_t>{8, 8}));
  EXPECT_EQ(t.at(7, 0), kWhite);
  EXPECT_EQ(t.at(7, 4), 0u);
  EXPECT_EQ(t.at(0, 0), 0u);
  // A printer page is 24 bits.
  const Picture p = render({"--printer"});
  EXPECT_EQ(p.bits, 24);
  EXPECT_EQ(p.at(5, 0), 0u);
  EXPECT_EQ(p.at(0, 0), kWhite);
}

TEST_F(RastrixRender, EngineRefusalsFailWithoutAnOutput) {
  write("in.bmp", bmp24(2, 2, std::vector<Rgb>(4, kRed)));
  const CliRun r = run({"render", "--rotate", "1", "in.bmp", "out.bmp"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("code -200"), std::string::npos) << r.err;
  const CliRun missing = run({"render", "nothing.bmp", "out.bmp"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(files_under(), std::vector<std::string>{"in.bmp"});
}

TEST_F(RastrixRender, BadOptionsAreUsageErrors) {
  write("in.bmp", bmp24(1, 1, {kRed}));
  const std::vector<std::vector<std::string>> cases = {
      {"render"}, {"render", "in.bmp"}, {"render", "--fit", "4", "in.bmp", "o.bmp"},
      {"render", "--fit", "1", "--zoom", "50", "in.bmp", "o.bmp"}, {"render", "--zoom", "0", "in.bmp", "o.bmp"},
      {"render", "--depth", "7", "in.bmp", "o.bmp"}, {"render", "--alias", "5", "in.bmp", "o.bmp"},
      {"render", "--alias", "1,101", "in.bmp", "o.bmp"}, {"render", "--transparent", "zz0000", "in.bmp", "o.bmp"},
      {"render", "--background", "12345", "in.bmp", "o.bmp"}, {"render", "--size", "0x5", "in.bmp", "o.bmp"},
      {"render", "--size", "70000x5", "in.bmp", "o.bmp"}, {"render", "--gamma", "x", "in.bmp", "o.bmp"},
      {"render", "--rop", "1FFFFFFFF", "in.bmp", "o.bmp"}, {"render", "--printer", "--depth", "8", "in.bmp", "o.bmp"},
      {"render", "--rotate", "4", "in.bmp", "o.bmp"}, {"render", "--dither", "3", "in.bmp", "o.bmp"}};
  for (const auto& args : cases) {
    const CliRun r = run(args);
    EXPECT_EQ(r.status, 2) << args.back();
    EXPECT_NE(r.err.find("rastrix render --help"), std::string::npos) << r.err;
  }
  EXPECT_EQ(files_under(), std::vector<std::string>{"in.bmp"});
  for (const std::vector<std::string>& args : {std::vector<std::string>{"render", "--help"}, {"help", "render"}}) {
    const CliRun h = run(args);
    EXPECT_EQ(h.status, 0);
    for (const char* name : {"RX_display_fit_set", "RX_display_zoom_set", "RX_display_alias_set", "--printer"})
      EXPECT_NE(h.out.find(name), std::string::npos) << name;
  }
}

}  // namespace
