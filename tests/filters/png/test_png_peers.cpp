// Interoperability, pixel for pixel: files that Pillow, ImageMagick and
// libpng write load with the peers' pixels (after the engine's
// conversions), and libpng and Pillow read every file we write with ours.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include "filters/png/png_harness.h"
#include "filters/raster_samples.h"
#include "support/engine_fixture.h"

#if defined(RX_HAVE_PEER_LIBPNG)
#include <png.h>
#endif

namespace {

using pngt::Bytes;
namespace fs = std::filesystem;

class PngPeers : public EngineTest {};

// Directly and through the load pipeline.
TEST_F(PngPeers, PeerFilesLoadWithTheirPixels) {
  const auto files = rast::peer_samples("png", ".png");
  ASSERT_GE(files.size(), 40u);
  for (fs::path p : files) {
    const Bytes file = bmpt::slurp(p);
    bmpt::Stream s(file);
    ASSERT_EQ(rx::png_read(&s.io, nullptr, 1, 1), 0) << p.filename();
    RX_HIMAGE image = 0;
    ASSERT_EQ(RX_image_load_memory(file.data(), static_cast<int32_t>(file.size()), 1, 1, &image), 0)
        << p.filename();
    const Bytes want = bmpt::slurp(p.replace_extension(".rgb"));
    EXPECT_EQ(bmpt::rgb_of(s.image), want) << p.filename();
    EXPECT_EQ(bmpt::rgb_of(bmpt::image_of_handle(image)), want) << p.filename();
    RX_image_delete(image);
  }
}

TEST_F(PngPeers, DamagedFilesGiveOnlyAnError) { rast::bad_files_fail("png"); }

// An image to write: a pattern over every depth we write.
bmpt::Image pattern(int32_t width, int32_t height, int32_t bits, uint32_t seed) {
  std::mt19937 rng(seed);
  bmpt::Image im;
  RPb_DIB_init(&im.header, width, height, bits, 0, 0, 0);
  for (uint32_t i = 0; i < 256; ++i)
    im.palette[i] = RX_RGBQUAD{uint8_t(rng()), uint8_t(rng()), uint8_t(rng()), 0};
  for (int32_t r = 0; r < height; ++r) {
    Bytes row(rx::dib_stride(bits, width), 0);
    for (size_t k = 0; k < (static_cast<size_t>(width) * bits + 7) / 8; ++k)
      row[k] = static_cast<uint8_t>(k % 5 == 0 ? rng() : r * 3 + k / 3);
    // Padding bits past the last pixel stay clear, as in an engine image.
    const size_t used = static_cast<size_t>(width) * bits;
    if (used % 8) row[used / 8] &= static_cast<uint8_t>(0xFF00 >> (used % 8));
    im.rows.push_back(row);
  }
  return im;
}

Bytes written(const bmpt::Image& im) {
  bmpt::Stream s(Bytes{}, 1 << 22);
  s.image = im;
  EXPECT_EQ(rx::png_write(&s.io, nullptr, 0, 1, 0), 0);
  return s.written();
}

// Pillow reads every kind of file we write with the pixels we meant.
TEST_F(PngPeers, PillowReadsOurFiles) {
  if (std::system("/usr/bin/python3 -c 'import PIL' 2>/dev/null") != 0)
    GTEST_SKIP() << "python3 with PIL is not installed";
  rast::PeerDir peers("png");
  for (int bits : {1, 4, 8, 24}) {
    for (int32_t width : {1, 31, 3000}) {
      const bmpt::Image im = pattern(width, 7, bits, static_cast<uint32_t>(bits * width));
      const std::string name = "w" + std::to_string(bits) + "_" + std::to_string(width);
      peers.keep(name + ".png", written(im), bmpt::rgb_of(im));
    }
  }
  EXPECT_EQ(peers.check("pillow_reads_png.py"), 0) << "files in " << peers.dir;
  peers.done(!HasFailure());
}

#if defined(RX_HAVE_PEER_LIBPNG)

TEST_F(PngPeers, LibpngReadsOurFiles) {
  for (int bits : {1, 4, 8, 24}) {
    for (int32_t width : {1, 31, 3000}) {
      const bmpt::Image im = pattern(width, 9, bits, static_cast<uint32_t>(bits + width));
      const Bytes file = written(im);
      png_image image{};
      image.version = PNG_IMAGE_VERSION;
      ASSERT_NE(png_image_begin_read_from_memory(&image, file.data(), file.size()), 0) << image.message;
      image.format = PNG_FORMAT_RGB;
      Bytes rgb(PNG_IMAGE_SIZE(image));
      ASSERT_NE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr), 0) << image.message;
      EXPECT_EQ(rgb, bmpt::rgb_of(im)) << bits << " " << width;
    }
  }
}

// Samples of one pixel, and what the engine's image shows for them.
struct Kind {
  int colour, depth;
};

uint32_t reduce16(uint32_t v) { return (v + 128) / 257; }
uint32_t white8(uint32_t v, uint32_t a) { return v * a / 255 - a + 255; }
uint32_t white16(uint32_t v, uint32_t a) { return static_cast<uint32_t>(uint64_t{v} * a / 65535) - a + 65535; }

std::array<uint8_t, 3> shown(const Kind& k, const uint32_t* s, const Bytes& plte) {
  const uint32_t top = (1u << k.depth) - 1;
  auto c = [](uint32_t v) { return static_cast<uint8_t>(v); };
  switch (k.colour) {
    case 0: {
      const uint32_t v = k.depth == 16 ? reduce16(s[0]) : s[0] * 255 / top;
      return {c(v), c(v), c(v)};
    }
    case 3: return {plte[3 * s[0]], plte[3 * s[0] + 1], plte[3 * s[0] + 2]};
    case 2:
      if (k.depth == 16) return {c(reduce16(s[0])), c(reduce16(s[1])), c(reduce16(s[2]))};
      return {c(s[0]), c(s[1]), c(s[2])};
    case 4: {
      const uint32_t v = k.depth == 16 ? reduce16(white16(s[0], s[1])) : white8(s[0], s[1]);
      return {c(v), c(v), c(v)};
    }
    default:
      if (k.depth == 16)
        return {c(reduce16(white16(s[0], s[3]))), c(reduce16(white16(s[1], s[3]))), c(reduce16(white16(s[2], s[3])))};
      return {c(white8(s[0], s[3])), c(white8(s[1], s[3])), c(white8(s[2], s[3]))};
  }
}

// libpng writes every colour type and depth, interlaced and not, with its
// adaptive filters; we load them with the pixels that follow from the
// samples.
TEST_F(PngPeers, LibpngFilesOfEveryKind) {
  const int width = 45, height = 21;
  for (Kind k : {Kind{0, 1}, {0, 2}, {0, 4}, {0, 8}, {0, 16}, {3, 1}, {3, 2}, {3, 4}, {3, 8},
                 {2, 8}, {2, 16}, {4, 8}, {4, 16}, {6, 8}, {6, 16}}) {
    for (int interlace : {PNG_INTERLACE_NONE, PNG_INTERLACE_ADAM7}) {
      const int channels = k.colour == 2 ? 3 : k.colour == 4 ? 2 : k.colour == 6 ? 4 : 1;
      const uint32_t top = (1u << k.depth) - 1;
      std::mt19937 rng(static_cast<uint32_t>(k.colour * 100 + k.depth));
      Bytes plte;
      for (int i = 0; i < 3 * 256; ++i) plte.push_back(static_cast<uint8_t>(rng()));
      // Steps that zlib compresses (it would store noise, which we refuse),
      // with noise in the low byte of 16-bit samples.
      std::vector<uint32_t> samples;
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
          for (int ch = 0; ch < channels; ++ch)
            samples.push_back(static_cast<uint32_t>((x / 3 * 9 + y * 5 + ch * 40) % 281) * top / 280 ^
                              (k.depth == 16 ? rng() % 256 : 0));
      Bytes file;
      png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
      png_infop info = png_create_info_struct(png);
      png_set_write_fn(png, &file, [](png_structp p, png_bytep data, size_t n) {
        auto* out = static_cast<Bytes*>(png_get_io_ptr(p));
        out->insert(out->end(), data, data + n);
      }, [](png_structp) {});
      png_set_IHDR(png, info, width, height, k.depth, k.colour, interlace, PNG_COMPRESSION_TYPE_DEFAULT,
                   PNG_FILTER_TYPE_DEFAULT);
      if (k.colour == 3) {
        std::vector<png_color> colours(1u << k.depth);
        for (size_t i = 0; i < colours.size(); ++i) colours[i] = {plte[3 * i], plte[3 * i + 1], plte[3 * i + 2]};
        png_set_PLTE(png, info, colours.data(), static_cast<int>(colours.size()));
      }
      png_write_info(png, info);
      const size_t row_bytes = (static_cast<size_t>(width) * channels * k.depth + 7) / 8;
      std::vector<Bytes> rows(height, Bytes(row_bytes, 0));
      for (int y = 0; y < height; ++y)
        for (int i = 0; i < width * channels; ++i) {
          const uint32_t v = samples[static_cast<size_t>(y) * width * channels + i];
          if (k.depth == 16) {
            rows[y][2 * i] = static_cast<uint8_t>(v >> 8);
            rows[y][2 * i + 1] = static_cast<uint8_t>(v);
          } else {
            const size_t bit = static_cast<size_t>(i) * k.depth;
            rows[y][bit / 8] |= static_cast<uint8_t>(v << (8 - k.depth - bit % 8));
          }
        }
      std::vector<png_bytep> pointers;
      for (Bytes& r : rows) pointers.push_back(r.data());
      png_write_image(png, pointers.data());
      png_write_end(png, info);
      png_destroy_write_struct(&png, &info);

      Bytes want;
      for (size_t i = 0; i < samples.size(); i += channels) {
        const auto px = shown(k, &samples[i], plte);
        want.insert(want.end(), px.begin(), px.end());
      }
      RX_HIMAGE image = 0;
      ASSERT_EQ(RX_image_load_memory(file.data(), static_cast<int32_t>(file.size()), 1, 1, &image), 0)
          << k.colour << " " << k.depth << " " << interlace << " code " << error_codes().front();
      EXPECT_EQ(bmpt::rgb_of(bmpt::image_of_handle(image)), want) << k.colour << " " << k.depth << " " << interlace;
      RX_image_delete(image);
    }
  }
}

#endif

}  // namespace
