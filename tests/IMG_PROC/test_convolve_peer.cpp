// Convolutions give exactly what Pillow's kernel filter gives for the same
// kernel, scale and edge rule, on grey and colour images, and our edge map
// kernel of the same weights matches its edge filter.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "IMG_PROC/op_images.h"

using namespace iptest;
namespace fs = std::filesystem;

namespace {

class ConvolvePeer : public EngineTest {};

// Pixels as Pillow's raw decoder reads them: red first for RGB.
std::vector<uint8_t> raw_of(RX_HIMAGE image, bool rgb) {
  std::vector<uint8_t> out;
  for (auto row : rows_of(image)) {
    if (rgb)
      for (size_t i = 0; i + 2 < row.size(); i += 3) std::swap(row[i], row[i + 2]);
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

void write(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

struct Case {
  int32_t size, scale;
  std::vector<int32_t> k;
};

}  // namespace

TEST_F(ConvolvePeer, PillowKernelFilterAgrees) {
  if (std::system("/usr/bin/python3 -c 'import PIL' 2>/dev/null") != 0)
    GTEST_SKIP() << "python3 with PIL is not installed";
  auto pattern = [](int32_t x, int32_t y) { return uint8_t((x * 29 + y * 71 + x * y * 13) ^ (y << 3)); };
  const Case cases[] = {
      {3, 1, {-1, -1, -1, -1, 8, -1, -1, -1, -1}},
      {3, 16, {1, 2, 1, 2, 4, 2, 1, 2, 1}},
      {3, 4, {3, -1, 0, 2, 1, -4, 0, 5, -2}},  // no symmetry: orientation shows
      {3, 1, {1, 1, 1, 0, 0, 0, -1, -1, -1}},
      {5, 8, {0, 1, 0, 2, -1, 3, 0, 0, 1, 0, -2, 1, 4, 1, 0, 0, 2, -1, 0, 3, 1, 0, 0, 1, -1}},
  };
  const fs::path dir = fs::temp_directory_path() / ("rastrix_convolve_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::ofstream list(dir / "cases.txt");
  int n = 0;
  const int32_t width = 37, height = 23;
  for (const bool rgb : {false, true}) {
    auto run = [&](const std::vector<int32_t>& k, int32_t size, double normaliser, const std::string& args) {
      RX_HIMAGE image = make_fn(rgb ? 24 : 8, width, height, pattern);
      const std::string name = "case" + std::to_string(n++);
      write(dir / (name + ".in"), raw_of(image, rgb));
      const int32_t border = size / 2;
      const int32_t rect[4] = {border, border, width - 1 - border, height - 1 - border};
      ASSERT_EQ(RX_IP_convolve(image, rect, k.data(), size, size, normaliser, 7, 0, 0), 0) << args;
      write(dir / (name + ".out"), raw_of(image, rgb));
      list << name << (rgb ? " RGB " : " L ") << width << ' ' << height << ' ' << args << '\n';
      RX_image_delete(image);
    };
    for (const Case& c : cases) {
      std::ostringstream args;
      args << c.size << ' ' << c.scale;
      for (int32_t v : c.k) args << ' ' << v;
      run(c.k, c.size, 1.0 / c.scale, args.str());
    }
    run({-1, -1, -1, -1, 8, -1, -1, -1, -1}, 3, 1.0, "find_edges");
  }
  list.close();
  const std::string check = "/usr/bin/python3 " RX_TEST_DATA_DIR "/../interop/pillow_convolve.py ";
  EXPECT_EQ(std::system((check + dir.string()).c_str()), 0) << "cases in " << dir;
  if (!HasFailure()) fs::remove_all(dir);
}
