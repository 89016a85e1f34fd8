// The GIF writer of the LZW extension module: the bytes of a small file
// worked out by hand, the depths it refuses, frames added to an existing
// file, and Pillow reading every kind of file we write with the pixels we
// meant (tests/interop/pillow_reads_gif.py).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "extensions/rxlzw_harness.h"
#include "SUPPORT/image_rec.h"
#include "support/peers.h"

namespace {

using namespace rxlzw_test;
namespace fs = std::filesystem;

// A palette image given by its index function, independent of the engine.
struct Picture {
  int32_t width, height, bits;
  uint32_t seed;
  int32_t entries() const { return 1 << bits; }
  uint8_t index(int32_t x, int32_t y) const {
    return static_cast<uint8_t>((x * 7 + y * 3 + (x * y) % 5 + seed) % entries());
  }
  RX_RGBQUAD colour(int32_t i) const {
    return RX_RGBQUAD{uint8_t(255 - i), uint8_t(i * 91 + seed), uint8_t(i * 37 + seed * 3), 0};
  }
  // RGB triples top row first, as a reader shows the picture.
  Bytes rgb() const {
    Bytes out;
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x) {
        const RX_RGBQUAD q = colour(index(x, y));
        out.insert(out.end(), {q.rgbRed, q.rgbGreen, q.rgbBlue});
      }
    return out;
  }
  RX_HIMAGE image() const {
    const size_t stride = (size_t(bits) * width + 31) / 32 * 4;
    Bytes dib(sizeof(RX_BITMAPINFOHEADER) + entries() * sizeof(RX_RGBQUAD) + stride * height);
    RX_BITMAPINFOHEADER h{};
    h.biSize = sizeof h;
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = uint16_t(bits);
    std::memcpy(dib.data(), &h, sizeof h);
    for (int32_t i = 0; i < entries(); ++i) {
      const RX_RGBQUAD q = colour(i);
      std::memcpy(&dib[sizeof h + i * sizeof q], &q, sizeof q);
    }
    uint8_t* rows = &dib[sizeof h + entries() * sizeof(RX_RGBQUAD)];
    for (int32_t y = 0; y < height; ++y) {
      uint8_t* row = rows + size_t(height - 1 - y) * stride;  // bottom-up
      for (int32_t x = 0; x < width; ++x) {
        const int32_t bit = x * bits;
        row[bit / 8] |= uint8_t(index(x, y) << (8 - bits - bit % 8));
      }
    }
    RX_HIMAGE image = 0;
    EXPECT_EQ(RX_image_create_from_DIB(dib.data(), dib.size(), &image), 0);
    return image;
  }
};

void transparent_set(RX_HIMAGE image, RX_RGBQUAD q) {
  rx::DISPLAY_ATTR& d = rx::record_of(image)->display;
  d.transparent_color[0] = q.rgbBlue;
  d.transparent_color[1] = q.rgbGreen;
  d.transparent_color[2] = q.rgbRed;
  d.transparent_on = 1;
}

Bytes saved(RX_HIMAGE image, Bytes existing = {}) {
  const int32_t valid = int32_t(existing.size());
  existing.resize(1 << 20);
  int32_t size = 0;
  EXPECT_EQ(RX_image_save_memory(image, existing.data(), valid, int32_t(existing.size()), 0, 0,
                                 RX_FORMAT_GIF, &size),
            0);
  existing.resize(size_t(size));
  return existing;
}

class GifWrite : public RxlzwTest {
 protected:
  void TearDown() override {
    RX_image_control_set(RX_OPTION_GIF_INTERLACE, 0);
    RxlzwTest::TearDown();
  }
};

// Two by two, one bit: the header, table and descriptor bytes by hand.
TEST_F(GifWrite, SmallFileHasTheHandWorkedHeaderBytes) {
  const Picture p{2, 2, 1, 0};
  RX_HIMAGE image = p.image();
  const Bytes file = saved(image);
  const RX_RGBQUAD c0 = p.colour(0), c1 = p.colour(1);
  const Bytes head = {'G', 'I', 'F', '8', '7', 'a', 2, 0, 2, 0,
                      0x80,  // global table of 2^(0+1) entries, 1 bit of colour resolution
                      0, 0,  c0.rgbRed, c0.rgbGreen, c0.rgbBlue, c1.rgbRed, c1.rgbGreen,
                      c1.rgbBlue, 0x2C, 0, 0, 0, 0, 2, 0, 2, 0,
                      0x00,  // no local table, not interlaced
                      2};    // the smallest code size GIF allows
  ASSERT_GT(file.size(), head.size() + 2);
  EXPECT_EQ(Bytes(file.begin(), file.begin() + head.size()), head);
  EXPECT_EQ(file[file.size() - 2], 0) << "block terminator";
  EXPECT_EQ(file.back(), 0x3B) << "trailer";

  // With the interlace option, and a transparent colour, which needs 89a.
  ASSERT_EQ(RX_image_control_set(RX_OPTION_GIF_INTERLACE, 1), 0);
  transparent_set(image, c1);
  const Bytes marked = saved(image);
  ASSERT_GT(marked.size(), 40u);
  EXPECT_EQ(std::string(marked.begin(), marked.begin() + 6), "GIF89a");
  const Bytes control = {0x21, 0xF9, 4, 1, 0, 0, 1, 0};  // transparent index 1
  EXPECT_EQ(Bytes(marked.begin() + 19, marked.begin() + 27), control);
  EXPECT_EQ(marked[27], 0x2C);
  EXPECT_EQ(marked[36], 0x40) << "interlaced";
  RX_image_delete(image);
}

TEST_F(GifWrite, DeepImagesAreRefusedAndTheTargetKept) {
  RX_HIMAGE image = 0;
  const Picture base{5, 4, 4, 2};
  RX_HIMAGE small = base.image();
  const Bytes before = saved(small);

  // A 24-bit image of 3 x 2.
  Bytes dib(sizeof(RX_BITMAPINFOHEADER) + 2 * 12, 0x40);
  RX_BITMAPINFOHEADER h{};
  h.biSize = sizeof h;
  h.biWidth = 3;
  h.biHeight = 2;
  h.biPlanes = 1;
  h.biBitCount = 24;
  std::memcpy(dib.data(), &h, sizeof h);
  ASSERT_EQ(RX_image_create_from_DIB(dib.data(), dib.size(), &image), 0);
  Bytes block = before;
  block.resize(4096, 0xEE);
  int32_t size = 0;
  EXPECT_EQ(RX_image_save_memory(image, block.data(), int32_t(before.size()), int32_t(block.size()),
                                 0, 0, RX_FORMAT_GIF, &size),
            1);
  EXPECT_EQ(error_codes(), std::vector<int32_t>{RXE_INVALID_BITCOUNT_FOR_FORMAT});
  EXPECT_EQ(Bytes(block.begin(), block.begin() + before.size()), before) << "the GIF there is kept";
  RX_image_delete(image);
  RX_image_delete(small);
}

// A save into an existing GIF adds a frame with its own table; a larger
// frame grows the screen. Our reader composites them as a viewer does.
TEST_F(GifWrite, SavingIntoAGifAddsAFrame) {
  const Picture first{6, 5, 4, 1}, second{9, 3, 8, 4};
  RX_HIMAGE a = first.image(), b = second.image();
  const Bytes file = saved(b, saved(a));
  EXPECT_EQ(file[6], 9) << "screen width grown";
  EXPECT_EQ(file[8], 5) << "screen height kept";
  int32_t pages = 0;
  ASSERT_EQ(RX_memory_page_count_get(file.data(), int32_t(file.size()), &pages), 0);
  EXPECT_EQ(pages, 2);
  RX_HIMAGE back = 0;
  ASSERT_EQ(RX_image_load_memory(file.data(), int32_t(file.size()), 2, 1, &back), 0);
  const Rgb got = rgb_of(back);
  ASSERT_EQ(got.width, 9);
  ASSERT_EQ(got.height, 5);
  const Bytes a_rgb = first.rgb(), b_rgb = second.rgb();
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 9; ++x) {
      const uint8_t* w = &b_rgb[3 * (y * 9 + x)];
      EXPECT_EQ(got.pixels[y * 9 + x], uint32_t(w[0]) << 16 | w[1] << 8 | w[2]) << x << "," << y;
    }
  for (int32_t x = 0; x < 6; ++x) {  // the first frame shows below the second
    const uint8_t* w = &a_rgb[3 * (4 * 6 + x)];
    EXPECT_EQ(got.pixels[4 * 9 + x], uint32_t(w[0]) << 16 | w[1] << 8 | w[2]) << x;
  }
  RX_image_delete(back);
  RX_image_delete(a);
  RX_image_delete(b);
}

// A frame that does not fit the block leaves the GIF there as it was:
// its screen, its version and its trailer.
TEST_F(GifWrite, AFailedAppendKeepsTheGifThere) {
  const Picture small{3, 2, 1, 5}, large{40, 30, 8, 6};
  RX_HIMAGE a = small.image(), b = large.image();
  const Bytes before = saved(a);
  transparent_set(b, large.colour(2));  // asks for 89a on an 87a file
  for (int32_t room : {0, 5, 30, 200}) {
    Bytes block = before;
    block.resize(before.size() + size_t(room), 0xEE);
    int32_t size = 0;
    EXPECT_EQ(RX_image_save_memory(b, block.data(), int32_t(before.size()), int32_t(block.size()),
                                   0, 0, RX_FORMAT_GIF, &size),
              1)
        << room;
    EXPECT_EQ(Bytes(block.begin(), block.begin() + before.size()), before) << room;
    int32_t pages = 0;
    EXPECT_EQ(RX_memory_page_count_get(block.data(), int32_t(block.size()), &pages), 0) << room;
    EXPECT_EQ(pages, 1) << room;
  }
  RX_image_delete(a);
  RX_image_delete(b);
}

// Pillow reads every kind of file we write with the pixels we meant.
TEST_F(GifWrite, PillowReadsOurFiles) {
  RX_NEED_PEER(RX_PEER_PYTHON[0] != '\0', "python3 with PIL");
  const fs::path dir = fs::temp_directory_path() / ("rastrix_gif_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  auto keep = [&](const std::string& name, const Bytes& b) { file_put((dir / name).string(), b); };
  for (int32_t interlace : {0, 1}) {
    ASSERT_EQ(RX_image_control_set(RX_OPTION_GIF_INTERLACE, uint32_t(interlace)), 0);
    for (int32_t bits : {1, 4, 8})
      for (int32_t width : {1, 31, 300}) {
        // 300 x 300 at 8 bits fills the code table and clears it again.
        const Picture p{width, width == 300 && bits == 8 ? 300 : 13, bits, uint32_t(bits + width)};
        RX_HIMAGE image = p.image();
        const std::string name = "w" + std::to_string(bits) + "_" + std::to_string(width) + "_i" +
                                 std::to_string(interlace);
        keep(name + ".gif", saved(image));
        keep(name + ".0.rgb", p.rgb());
        RX_image_delete(image);
      }
  }
  ASSERT_EQ(RX_image_control_set(RX_OPTION_GIF_INTERLACE, 0), 0);
  // A transparent colour becomes the frame's transparent index.
  const Picture t{17, 9, 8, 3};
  RX_HIMAGE image = t.image();
  transparent_set(image, t.colour(5));
  keep("transparent.gif", saved(image));
  keep("transparent.0.rgb", t.rgb());
  keep("transparent.transparency", Bytes{'5'});
  RX_image_delete(image);
  // Two frames of the same size: Pillow shows the second over the first.
  const Picture one{12, 10, 4, 9}, two{12, 10, 8, 21};
  RX_HIMAGE i1 = one.image(), i2 = two.image();
  keep("frames.gif", saved(i2, saved(i1)));
  keep("frames.0.rgb", one.rgb());
  keep("frames.1.rgb", two.rgb());
  RX_image_delete(i1);
  RX_image_delete(i2);

  const std::string check =
      std::string(RX_PEER_PYTHON) + " " RX_TEST_DATA_DIR "/../interop/pillow_reads_gif.py ";
  EXPECT_EQ(std::system((check + dir.string()).c_str()), 0) << "files in " << dir;
  if (!HasFailure()) fs::remove_all(dir);
}

// A save by file name picks the module's GIF writer over the placeholder
// the built-in row holds.
TEST_F(GifWrite, SaveByFileNameChoosesTheModule) {
  const Picture p{4, 3, 8, 6};
  RX_HIMAGE image = p.image();
  const std::string path = testing::TempDir() + "/rxlzw_by_name.GIF";
  ASSERT_EQ(RX_image_save_file(image, path.c_str(), RX_FORMAT_UNKNOWN), 0);
  const Bytes file = file_bytes(path);
  ASSERT_GT(file.size(), 6u);
  EXPECT_EQ(std::string(file.begin(), file.begin() + 6), "GIF87a");
  std::remove(path.c_str());
  RX_image_delete(image);
}

}  // namespace
