// GIF files that Pillow, ImageMagick and GraphicsMagick made (and a few
// made by hand, tests/interop/make_gif_samples.py) load page by page as
// their makers composite them: the same colour wherever the maker's frame
// is opaque, the image's transparent colour wherever it is clear.
#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>

#include "extensions/rxlzw_harness.h"

namespace {

using namespace rxlzw_test;

struct Expected {
  int32_t width = 0, height = 0;
  Bytes rgba;
};

bool expected_read(const std::string& path, Expected* e) {
  const Bytes b = file_bytes(path);
  if (b.size() < 4) return false;
  e->width = b[0] | b[1] << 8;
  e->height = b[2] | b[3] << 8;
  e->rgba.assign(b.begin() + 4, b.end());
  return e->rgba.size() == size_t(e->width) * e->height * 4;
}

std::vector<std::string> samples() {
  std::vector<std::string> names;
  if (DIR* d = opendir(RX_TEST_DATA_DIR "/gif")) {
    while (dirent* e = readdir(d)) {
      const std::string n = e->d_name;
      if (n.size() > 4 && n.substr(n.size() - 4) == ".gif") names.push_back(n.substr(0, n.size() - 4));
    }
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// "" when the page matches, else where it first differs.
std::string page_mismatch(const Rgb& got, const Expected& want) {
  if (got.width != want.width || got.height != want.height)
    return "size " + std::to_string(got.width) + "x" + std::to_string(got.height);
  for (size_t i = 0; i < got.pixels.size(); ++i) {
    const uint8_t* w = &want.rgba[4 * i];
    const uint32_t rgb = uint32_t(w[0]) << 16 | w[1] << 8 | w[2];
    const bool clear = w[3] == 0;
    const bool ok = clear ? got.transparent && got.pixels[i] == got.key
                          : got.pixels[i] == rgb && !(got.transparent && got.pixels[i] == got.key);
    if (!ok)
      return "pixel " + std::to_string(i % got.width) + "," + std::to_string(i / got.width);
  }
  return "";
}

class GifPeers : public RxlzwTest {};

TEST_F(GifPeers, EveryPageLoadsAsItsMakerCompositesIt) {
  const std::vector<std::string> names = samples();
  ASSERT_GE(names.size(), 12u);
  for (const std::string& name : names) {
    const Bytes file = file_bytes(RX_TEST_DATA_DIR "/gif/" + name + ".gif");
    int32_t pages = 0;
    ASSERT_EQ(RX_memory_page_count_get(file.data(), int32_t(file.size()), &pages), 0) << name;
    int32_t expected_pages = 0;
    Expected want;
    while (expected_read(RX_TEST_DATA_DIR "/gif/" + name + "." + std::to_string(expected_pages) +
                             ".rgba",
                         &want))
      ++expected_pages;
    EXPECT_EQ(pages, expected_pages) << name;
    for (int32_t page = 1; page <= expected_pages; ++page) {
      ASSERT_TRUE(expected_read(RX_TEST_DATA_DIR "/gif/" + name + "." + std::to_string(page - 1) +
                                    ".rgba",
                                &want));
      RX_HIMAGE image = 0;
      ASSERT_EQ(RX_image_load_memory(file.data(), int32_t(file.size()), page, 1, &image), 0)
          << name << " page " << page;
      EXPECT_EQ(page_mismatch(rgb_of(image), want), "") << name << " page " << page;
      RX_image_delete(image);
    }
  }
}

}  // namespace
